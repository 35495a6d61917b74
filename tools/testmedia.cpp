#include "tools/testmedia.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <cmath>
#include <numbers>

namespace testmedia {

namespace {

constexpr int kSampleRate = 22050;
constexpr int kFfmpegTimeoutMs = 120000;

void appendLE32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void appendLE16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void setWhy(QString* why, const QString& text) {
    if (why) *why = text;
}

}  // namespace

QByteArray chimeWav(int durationMs) {
    static constexpr double kTones[] = {659.25, 830.61, 987.77};
    constexpr int kToneCount = 3;
    const int samples = qMax(1, int(qint64(kSampleRate) * qMax(1, durationMs) / 1000));
    const int perTone = qMax(1, samples / kToneCount);

    QByteArray pcm;
    pcm.reserve(samples * 2);
    for (int i = 0; i < samples; ++i) {
        const int tone = qMin(i / perTone, kToneCount - 1);
        const double t = double(i - tone * perTone) / kSampleRate;
        const double attack = qMin(1.0, t / 0.005);
        const double envelope = attack * std::exp(-4.0 * t);
        const double v = 0.6 * envelope * std::sin(2.0 * std::numbers::pi * kTones[tone] * t);
        appendLE16(pcm, quint16(qint16(qRound(v * 32767.0))));
    }

    QByteArray wav;
    wav.append("RIFF", 4);
    appendLE32(wav, quint32(36 + pcm.size()));
    wav.append("WAVE", 4);
    wav.append("fmt ", 4);
    appendLE32(wav, 16);
    appendLE16(wav, 1);  // PCM
    appendLE16(wav, 1);  // mono
    appendLE32(wav, kSampleRate);
    appendLE32(wav, kSampleRate * 2);  // bytes per second
    appendLE16(wav, 2);                // bytes per sample frame
    appendLE16(wav, 16);               // bits per sample
    wav.append("data", 4);
    appendLE32(wav, quint32(pcm.size()));
    wav.append(pcm);
    return wav;
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
