#include "tools/testmedia.h"

#include "base/wavefile.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <cmath>
#include <numbers>
#include <vector>

namespace testmedia {

namespace {

constexpr int kSampleRate = 22050;
constexpr int kFfmpegTimeoutMs = 120000;

void setWhy(QString* why, const QString& text) {
    if (why) *why = text;
}

}  // namespace

QByteArray chimeWav(int durationMs) {
    // Two struck tones a major third apart, E5 then C5 ("ding-dong"), the second struck at 38% of
    // the length and ringing on to the end over the fading first. Each tone is a fundamental with
    // two softer harmonics that die away faster, as a struck bar sounds; the first 8 ms rise
    // smoothly and the last 40 ms fade out, so the sound neither clicks in nor clicks off.
    static constexpr double kTones[] = {659.25, 523.25};
    static constexpr struct {
        double ratio, level, decay; // harmonic of the fundamental, its level, its decay per second
    } kPartials[] = {{1.0, 1.0, 3.0}, {2.0, 0.28, 6.0}, {3.0, 0.08, 9.0}};
    constexpr double kPeak = 0.33; // about -10 dB below full scale
    constexpr double kAttack = 0.008, kRelease = 0.040;
    const int samples = qMax(1, int(qint64(kSampleRate) * qMax(1, durationMs) / 1000));
    const double length = double(samples) / kSampleRate;
    const double strikes[] = {0.0, length * 0.38};

    std::vector<double> wave(std::size_t(samples), 0.0);
    double peak = 0;
    for (int i = 0; i < samples; ++i) {
        const double now = double(i) / kSampleRate;
        double v = 0;
        for (int tone = 0; tone < 2; ++tone) {
            const double t = now - strikes[tone];
            if (t < 0) continue;
            const double attack = t < kAttack ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / kAttack) : 1.0;
            for (const auto& p : kPartials)
                v += attack * p.level * std::exp(-p.decay * t) *
                     std::sin(2.0 * std::numbers::pi * kTones[tone] * p.ratio * t);
        }
        const double left = length - now;
        if (left < kRelease) v *= qMax(0.0, left / kRelease);
        wave[std::size_t(i)] = v;
        peak = qMax(peak, std::abs(v));
    }

    std::vector<short> pcm;
    pcm.reserve(wave.size());
    for (double v : wave) pcm.push_back(short(qRound(v * (peak > 0 ? kPeak / peak : 0) * 32767.0)));
    return pcmWaveFile(pcm, kSampleRate);
}

bool writeChimeWav(const QString& path, int durationMs, QString* why) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setWhy(why, f.errorString());
        return false;
    }
    const QByteArray wav = chimeWav(durationMs);
    if (f.write(wav) != wav.size()) {
        setWhy(why, f.errorString());
        return false;
    }
    return true;
}

QString ffmpegProgram() { return QStandardPaths::findExecutable(QStringLiteral("ffmpeg")); }

namespace {

bool runFfmpeg(const QString& path, int seconds, bool withSound, QSize size, QString* why) {
    const QString ffmpeg = ffmpegProgram();
    if (ffmpeg.isEmpty()) {
        setWhy(why, QStringLiteral("ffmpeg is not installed"));
        return false;
    }
    const QString length = QString::number(qMax(1, seconds));
    QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                     QStringLiteral("-y"),       QStringLiteral("-f"),        QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("testsrc=duration=%1:size=%2x%3:rate=25").arg(length).arg(size.width()).arg(size.height())};
    if (withSound)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:duration=%1").arg(length) << QStringLiteral("-c:a")
             << QStringLiteral("wmav2");
    args << QStringLiteral("-c:v") << QStringLiteral("wmv2") << QStringLiteral("-f") << QStringLiteral("asf") << path;

    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(ffmpeg, args);
    if (!p.waitForFinished(kFfmpegTimeoutMs)) {
        p.kill();
        p.waitForFinished();
        setWhy(why, QStringLiteral("ffmpeg did not finish: ") + p.errorString());
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        setWhy(why, QStringLiteral("ffmpeg failed: ") + QString::fromLocal8Bit(p.readAll()).trimmed());
        return false;
    }
    return true;
}

}  // namespace

bool writeTestVideo(const QString& path, int seconds, bool withSound, QString* why) {
    return runFfmpeg(path, seconds, withSound, QSize(320, 240), why);
}

bool writeTestVideo(const QString& path, int seconds, QSize size, QString* why) {
    return runFfmpeg(path, seconds, false, size, why);
}

}  // namespace testmedia
