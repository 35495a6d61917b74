#pragma once
// The speech engine's voice object, the program's "SAPI.SpVoice". The receive cycle creates one
// for every spoken announcement and releases it when the cycle ends.

#include <QString>
#include <functional>
#include <memory>

// The program identifier the voice is known by; errors name it.
inline constexpr char kSpVoiceProgId[] = "SAPI.SpVoice";

class IVoice {
public:
    virtual ~IVoice();
    // Speaks text. With flags 0 the call returns when the whole text has been spoken.
    // Throws EVoiceError when the text cannot be spoken.
    virtual void Speak(const QString& text, int flags) = 0;
};

using VoiceFactory = std::function<std::unique_ptr<IVoice>()>;

// Creates a voice of the system's speech engine (espeak-ng, Brazilian Portuguese, default rate
// and volume, to the default sound device). Throws EVoiceError naming the reason and
// "SAPI.SpVoice" when the engine or its Portuguese data is missing.
std::unique_ptr<IVoice> createSpVoice();
