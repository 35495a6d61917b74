#pragma once
// The voice of the espeak-ng speech engine: Brazilian Portuguese, default rate and volume. It
// synthesises each announcement to samples, which the speech output plays to the sound device
// (calls/speechoutput.h); tests and measurements take the samples themselves.
//
// espeak-ng is one engine per process: it is initialised once (again only when another data
// folder is asked for) and every voice object uses it. Everything runs on one thread. The
// environment variable PAINEL_AUDIO_DEVICE names the output device (an ALSA or PulseAudio device
// name) instead of the default one.

#include "calls/voice.h"
#include "base/errors.h"

#include <QString>
#include <QStringList>
#include <vector>

// Speaking failed because no sound output device could be opened.
class ENoSoundDevice : public EVoiceError {
    using EVoiceError::EVoiceError;
};

class EspeakVoice : public IVoice {
public:
    // dataPath: the folder holding espeak-ng-data, or that folder itself; empty: the engine's
    // own default (which honours ESPEAK_DATA_PATH). Throws EVoiceError naming "SAPI.SpVoice" and
    // the reason when the engine cannot start or has no Brazilian Portuguese voice there.
    explicit EspeakVoice(const QString& dataPath = QString());

    // Speaks naturalReading(text) with the clinic's lexicon and returns when it has been spoken,
    // or when the sound output has not ended it within its length and a margin. flags must be 0
    // (the synchronous default). Throws EVoiceError with the reason: ENoSoundDevice when no
    // sound device could be opened, else synthesis failed or the output did not answer (see
    // SpeechOutput for when an outage is raised).
    void Speak(const QString& text, int flags) override;

    enum class Reading {
        Natural, // as Speak gives it to the engine (naturalReading with the clinic's lexicon)
        AsGiven, // the text exactly as passed
    };

    struct Samples {
        std::vector<short> data; // 16-bit mono
        int sampleRate = 0;      // per second
        double seconds() const { return sampleRate > 0 ? double(data.size()) / sampleRate : 0.0; }
    };

    // Synthesises the text to samples instead of the sound device. Throws EVoiceError.
    Samples synthesizeToSamples(const QString& text, Reading reading = Reading::Natural);

    // The engine's phonemes for the text as it says them (espeak-ng's ASCII phoneme names, as
    // "espeak-ng -x" prints them), one clause after the other separated by " | ", to compare how
    // texts are read. Synthesises the text to samples, so throws EVoiceError like
    // synthesizeToSamples.
    QString phonemes(const QString& text, Reading reading = Reading::Natural);
    QStringList phonemeClauses(const QString& text, Reading reading = Reading::Natural);

    // The data folder the engine reads (espeak-ng-data).
    QString dataFolder() const;

    static constexpr char kVoiceName[] = "pt-br";
    static constexpr char kDictionary[] = "pt_dict";
};
