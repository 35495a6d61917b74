#pragma once
// Media files made on the spot: the notification chime as a PCM WAV file, written directly (the
// package's NOTIFY.WAV, and the tests' and the demo's), and a test-pattern video as WMV (Windows
// Media video in an ASF file), made by ffmpeg.

#include <QByteArray>
#include <QSize>
#include <QString>

namespace testmedia {

// The notification chime: two struck tones with their harmonics, E5 then C5, peaking about 10 dB
// below full scale, as 16-bit mono PCM at 22050 Hz in a WAV file of the given length.
QByteArray chimeWav(int durationMs);
bool writeChimeWav(const QString& path, int durationMs, QString* why = nullptr);

// The ffmpeg program on the PATH; empty when there is none.
QString ffmpegProgram();

// A moving test pattern, 320 x 240 at 25 frames per second, in WMV. With sound, a steady tone
// goes with it. False, with the reason in why, when ffmpeg is missing or fails.
bool writeTestVideo(const QString& path, int seconds, bool withSound, QString* why = nullptr);
// The same pattern at another size, without sound.
bool writeTestVideo(const QString& path, int seconds, QSize size, QString* why = nullptr);

}  // namespace testmedia
