#pragma once
// Where sounds start and end in a recording of the waiting room: the notification sound, a
// steady tone of a known pitch that the audio tests give the panel as its NOTIFY.WAV, and
// speech, everything else that is loud enough.

#include <QByteArray>
#include <vector>

struct SoundSpan {
    double start = 0; // seconds from the first sample
    double end = 0;
    double length() const { return end - start; }
};

struct HeardSounds {
    std::vector<SoundSpan> tone;   // the notification sound
    std::vector<SoundSpan> speech; // the voice
};

struct SoundThresholds {
    double toneHz = 5000;        // the pitch of the notification tone
    double toneLevel = 0.05;     // the tone's amplitude, a fraction of full scale, that counts
    double speechLevel = 0.012;  // root mean square of the rest, a fraction of full scale
    double speechGap = 0.8;      // pauses within one announcement are shorter (seconds)
    double toneGap = 0.1;
    double shortest = 0.04;      // shorter spans are clicks, not sounds
};

// Looks at the samples (16-bit mono) 10 ms at a time: the tone's amplitude at its pitch, and
// the loudness of what is left once that pitch is taken out (but for the frames where the tone
// starts or stops).
HeardSounds findSounds(const std::vector<short>& samples, int sampleRate, const SoundThresholds& t = {});

// The notification tone for the audio tests: a sine of the thresholds' pitch at 30% of full
// scale (so that it and the voice together do not clip), with 10 ms fades, as a WAV file.
QByteArray toneWave(double seconds, double hz = SoundThresholds{}.toneHz);
