#include "base/wavefile.h"

#include <QtEndian>
#include <cstring>

namespace {

// The 44 bytes before the samples: the RIFF chunk, the format chunk and the data chunk's head.
struct WaveHeader {
    char riff[4];
    quint32 riffSize;
    char wave[4];
    char fmt[4];
    quint32 fmtSize;
    quint16 format, channels;
    quint32 rate, byteRate;
    quint16 blockAlign, bits;
    char data[4];
    quint32 dataSize;
};
static_assert(sizeof(WaveHeader) == 44);

} // namespace

QByteArray pcmWaveFile(const std::vector<short>& samples, int sampleRate) {
    const auto dataBytes = quint32(samples.size() * sizeof(qint16));
    WaveHeader h{};
    std::memcpy(h.riff, "RIFF", 4);
    std::memcpy(h.wave, "WAVE", 4);
    std::memcpy(h.fmt, "fmt ", 4);
    std::memcpy(h.data, "data", 4);
    h.riffSize = qToLittleEndian(quint32(36 + dataBytes));
    h.fmtSize = qToLittleEndian(quint32(16));
    h.format = qToLittleEndian(quint16(1)); // PCM
    h.channels = qToLittleEndian(quint16(1));
    h.rate = qToLittleEndian(quint32(sampleRate));
    h.byteRate = qToLittleEndian(quint32(sampleRate * 2));
    h.blockAlign = qToLittleEndian(quint16(2));
    h.bits = qToLittleEndian(quint16(16));
    h.dataSize = qToLittleEndian(dataBytes);
    QByteArray out(reinterpret_cast<const char*>(&h), sizeof h);
    out.reserve(int(sizeof h + dataBytes));
    for (const short s : samples) {
        const qint16 le = qToLittleEndian(qint16(s));
        out.append(reinterpret_cast<const char*>(&le), sizeof le);
    }
    return out;
}
