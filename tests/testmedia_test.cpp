// The notification chime that the package ships as NOTIFY.WAV and the tests play: a WAV file the
// panel's player reads, two tones one after the other with harmonics (no bare sine), at a
// comfortable level, starting and ending without a click.

#include "tools/testmedia.h"

#include <QtEndian>
#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 22050;

struct Wav {
    quint16 format = 0, channels = 0, bits = 0;
    quint32 rate = 0;
    std::vector<double> samples; // -1 to 1
};

Wav parse(const QByteArray& bytes) {
    Wav w;
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    if (bytes.size() < 44 || bytes.left(4) != "RIFF" || bytes.mid(8, 8) != "WAVEfmt " || bytes.mid(36, 4) != "data")
        return w;
    EXPECT_EQ(u32(4), quint32(bytes.size() - 8)) << "RIFF size";
    EXPECT_EQ(u32(40), quint32(bytes.size() - 44)) << "data size";
    w.format = u16(20);
    w.channels = u16(22);
    w.rate = u32(24);
    w.bits = u16(34);
    for (int at = 44; at + 1 < bytes.size(); at += 2)
        w.samples.push_back(qFromLittleEndian<qint16>(bytes.constData() + at) / 32768.0);
    return w;
}

// The amplitude of one frequency in a stretch of the sound, from `from` to `to` seconds.
double amplitude(const std::vector<double>& s, double hz, double from, double to) {
    const auto first = std::size_t(from * kRate), last = std::min(s.size(), std::size_t(to * kRate));
    std::complex<double> sum = 0;
    for (std::size_t n = first; n < last; ++n)
        sum += s[n] * std::polar(1.0, -2.0 * std::numbers::pi * hz * double(n) / kRate);
    return 2.0 * std::abs(sum) / double(last - first);
}

double decibels(double level) { return 20.0 * std::log10(level); }

TEST(NotificationChime, IsAMonoPcmWavOfTheLengthAsked) {
    for (int ms : {300, 800, 1400}) {
        const Wav w = parse(testmedia::chimeWav(ms));
        EXPECT_EQ(w.format, 1) << ms;
        EXPECT_EQ(w.channels, 1) << ms;
        EXPECT_EQ(w.bits, 16) << ms;
        EXPECT_EQ(w.rate, quint32(kRate)) << ms;
        EXPECT_EQ(w.samples.size(), std::size_t(kRate * ms / 1000)) << ms;
    }
}

TEST(NotificationChime, TwoTonesWithHarmonicsAtAComfortableLevel) {
    const Wav w = parse(testmedia::chimeWav(1400));
    ASSERT_EQ(w.samples.size(), std::size_t(kRate * 14 / 10));
    const double e5 = 659.25, c5 = 523.25;
    // First the higher tone alone, then the lower one over what is left of it.
    const double early = amplitude(w.samples, e5, 0.05, 0.45), earlyLow = amplitude(w.samples, c5, 0.05, 0.45);
    const double late = amplitude(w.samples, c5, 0.65, 1.05), lateHigh = amplitude(w.samples, e5, 0.65, 1.05);
    EXPECT_GT(early, 10 * earlyLow);
    EXPECT_GT(late, 3 * lateHigh);
    // Not a bare sine: each tone has its octave, softer.
    const double octave = amplitude(w.samples, 2 * e5, 0.05, 0.45);
    EXPECT_GT(octave, 0.1 * early);
    EXPECT_LT(octave, 0.6 * early);
    EXPECT_GT(amplitude(w.samples, 2 * c5, 0.65, 1.05), 0.1 * late);

    double peak = 0, energy = 0;
    for (double v : w.samples) {
        peak = std::max(peak, std::abs(v));
        energy += v * v;
    }
    const double rms = std::sqrt(energy / double(w.samples.size()));
    // Clearly heard over a waiting room's loudspeakers at an ordinary volume, far from clipping.
    EXPECT_GT(decibels(peak), -13.0);
    EXPECT_LT(decibels(peak), -7.0);
    EXPECT_GT(decibels(rms), -26.0);
    EXPECT_LT(decibels(rms), -14.0);
    // It dies away, and the ends are silent: no click when it starts or stops.
    EXPECT_LT(amplitude(w.samples, c5, 1.25, 1.35), 0.5 * late);
    const std::size_t ms = kRate / 1000;
    double start = 0, end = 0;
    for (std::size_t i = 0; i < ms; ++i) {
        start = std::max(start, std::abs(w.samples[i]));
        end = std::max(end, std::abs(w.samples[w.samples.size() - 1 - i]));
    }
    EXPECT_LT(start, 0.1 * peak) << "the first millisecond";
    EXPECT_LT(end, 0.1 * peak) << "the last millisecond";
}

} // namespace
