#pragma once
// Samples as a WAV file: 16-bit PCM, one channel.

#include <QByteArray>
#include <vector>

QByteArray pcmWaveFile(const std::vector<short>& samples, int sampleRate);
