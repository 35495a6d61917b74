#include "tests/support/soundspans.h"

#include "base/wavefile.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kFull = 32768.0;

// A second-order notch at one pitch (the audio cookbook's biquad), to take the tone out.
class Notch {
public:
    Notch(double hz, int rate, double q = 4.0) {
        const double w = 2 * std::numbers::pi * hz / rate;
        const double alpha = std::sin(w) / (2 * q);
        const double a0 = 1 + alpha;
        m_b0 = 1 / a0;
        m_b1 = -2 * std::cos(w) / a0;
        m_b2 = 1 / a0;
        m_a1 = m_b1;
        m_a2 = (1 - alpha) / a0;
    }
    double operator()(double x) {
        const double y = m_b0 * x + m_b1 * m_x1 + m_b2 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
        m_x2 = m_x1, m_x1 = x, m_y2 = m_y1, m_y1 = y;
        return y;
    }

private:
    double m_b0, m_b1, m_b2, m_a1, m_a2;
    double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
};

// The amplitude of one pitch in a frame (Goertzel), as a fraction of full scale.
double amplitudeAt(const short* frame, int n, double hz, int rate) {
    const double coeff = 2 * std::cos(2 * std::numbers::pi * hz / rate);
    double s1 = 0, s2 = 0;
    for (int i = 0; i < n; ++i) {
        const double s = frame[i] / kFull + coeff * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2 * std::sqrt(std::max(0.0, power)) / n;
}

// Runs of loud frames, joined across gaps shorter than `gap`, without the shortest.
std::vector<SoundSpan> spans(const std::vector<bool>& loud, double frameSeconds, double gap, double shortest) {
    std::vector<SoundSpan> out;
    for (std::size_t i = 0; i < loud.size(); ++i) {
        if (!loud[i]) continue;
        const double start = double(i) * frameSeconds;
        const double end = start + frameSeconds;
        if (!out.empty() && start - out.back().end < gap) out.back().end = end;
        else out.push_back({start, end});
    }
    std::erase_if(out, [&](const SoundSpan& s) { return s.length() < shortest; });
    return out;
}

} // namespace

HeardSounds findSounds(const std::vector<short>& samples, int rate, const SoundThresholds& t) {
    const int frame = std::max(1, rate / 100);
    const std::size_t frames = samples.size() / std::size_t(frame);
    std::vector<bool> tone(frames), speech(frames);
    Notch notch(t.toneHz, rate);
    for (std::size_t f = 0; f < frames; ++f) {
        const short* at = samples.data() + f * std::size_t(frame);
        tone[f] = amplitudeAt(at, frame, t.toneHz, rate) > t.toneLevel;
        double sum = 0;
        for (int i = 0; i < frame; ++i) {
            const double y = notch(at[i] / kFull);
            sum += y * y;
        }
        speech[f] = std::sqrt(sum / frame) > t.speechLevel;
    }
    // Where the tone starts or stops the notch rings for some milliseconds: those frames are not
    // taken for speech.
    std::vector<bool> heardSpeech = speech;
    for (std::size_t f = 1; f < frames; ++f)
        if (tone[f] != tone[f - 1])
            for (std::size_t g = f >= 2 ? f - 2 : 0; g < std::min(frames, f + 2); ++g) heardSpeech[g] = false;
    const double frameSeconds = double(frame) / rate;
    return {spans(tone, frameSeconds, t.toneGap, t.shortest), spans(heardSpeech, frameSeconds, t.speechGap, t.shortest)};
}

QByteArray toneWave(double seconds, double hz) {
    constexpr int kRate = 22050;
    const auto n = std::size_t(seconds * kRate);
    const std::size_t fade = kRate / 100;
    std::vector<short> samples(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double edge = double(std::min({i, n - 1 - i, fade})) / double(fade);
        const double envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * edge);
        samples[i] = short(std::lround(0.3 * envelope * 32767 * std::sin(2 * std::numbers::pi * hz * double(i) / kRate)));
    }
    return pcmWaveFile(samples, kRate);
}
