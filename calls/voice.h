#pragma once
// The speech engine's voice object. A new one is made for every spoken announcement and released
// when the receive cycle ends.

#include <QString>
#include <functional>
#include <memory>

class IVoice {
public:
    virtual ~IVoice() = default;
    // Speaks the text and returns when all of it has been spoken (flags 0). Throws EVoiceError.
    virtual void Speak(const QString& text, int flags) = 0;
};

// Makes a voice object; throws EVoiceError when the engine cannot be created.
using VoiceFactory = std::function<std::unique_ptr<IVoice>()>;
