#pragma once
// Where the announcement's samples are played: the sound device, through a thread of its own.
// A sound server that hangs (stopped, or wedged by its driver or another client) would hold the
// window's thread for as long as it hangs, with the clock stopped and the calls unread; here only
// the output's thread waits for it. The window's thread waits for the play at most the
// announcement's own length and a margin, and then goes on: what is left of it is not played
// once the server answers again.
//
// While the output's thread is still held by an earlier play, a new play is not even tried. The
// first play that could not be heard raises; the next ones raise nothing until a play has been
// heard again, so that an outage is reported once, not at every call. The sound comes back by
// itself: each play opens the device anew (the default one, or PAINEL_AUDIO_DEVICE: an ALSA or
// PulseAudio device name), so a sound server that answers again or was started anew is found.

#include <chrono>
#include <memory>
#include <vector>

class SpeechOutput {
public:
    static SpeechOutput& instance();

    // The longest the window's thread waits for a play of that length.
    static std::chrono::milliseconds boundFor(std::chrono::milliseconds length);
    static constexpr std::chrono::milliseconds kMargin{2000};

    // Plays 16-bit mono samples at the rate and returns once they have been played. Throws
    // ENoSoundDevice when no sound device can be opened, EVoiceError when the output did not
    // end the play within boundFor (the sound server does not answer); neither again until a
    // play has been heard.
    void play(const std::vector<short>& samples, int rate);

    SpeechOutput(const SpeechOutput&) = delete;
    SpeechOutput& operator=(const SpeechOutput&) = delete;

private:
    struct Shared;
    SpeechOutput();
    ~SpeechOutput();
    std::shared_ptr<Shared> m_shared;
    bool m_reported = false; // an outage has been raised and no play heard since
};
