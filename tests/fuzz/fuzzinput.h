#pragma once
// Helpers shared by the fuzz targets: the fuzzer's bytes taken as the inputs of a parser, and the
// check that stops the run on a broken property.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Stops the run with a message: libFuzzer keeps the input as a crash artifact.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

inline void check(bool holds, const char* what) {
    if (!holds) fail(what);
}

// The fuzzer's input, consumed piece by piece.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size)
        : m_data(reinterpret_cast<const char*>(data)), m_size(qsizetype(size)) {}

    bool empty() const { return m_pos >= m_size; }
    qsizetype remaining() const { return m_size - m_pos; }

    // One byte, 0 when the input is used up.
    std::uint8_t byte() { return empty() ? 0 : std::uint8_t(m_data[m_pos++]); }

    // Up to n bytes.
    QByteArrayView bytes(qsizetype n) {
        n = qMin(n, remaining());
        const QByteArrayView out(m_data + m_pos, n);
        m_pos += n;
        return out;
    }
    QByteArrayView rest() { return bytes(remaining()); }

    // Up to n UTF-16 code units, two bytes each (little-endian): any 16-bit value, lone
    // surrogates and NULs included.
    QString utf16(qsizetype n) {
        QString out;
        while (n-- > 0 && remaining() >= 2) {
            const char16_t lo = byte();
            const char16_t hi = byte();
            out.append(QChar(char16_t(lo | (hi << 8))));
        }
        return out;
    }
    QString utf16Rest() { return utf16(remaining() / 2); }

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

} // namespace fuzz
