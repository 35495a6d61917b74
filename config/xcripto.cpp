#include "config/xcripto.h"

QString Descriptografar(const QString& texto, const QString& chave) {
    if (chave.isEmpty()) return texto;

    // Unsigned 16-bit arithmetic throughout: every sum wraps modulo 65536.
    const auto length = static_cast<char16_t>(chave.size());
    const char16_t k1 = chave[0].unicode() & 0xFF;
    const char16_t k2 = chave.size() > 1 ? chave[1].unicode() & 0xFF : 0;
    const auto stop = static_cast<char16_t>(222 - k1 - k2);

    QString result;
    result.reserve(texto.size());
    char16_t n = 0;
    for (const QChar c : texto) {
        n = n >= 12 ? 0 : n + 1;
        if (c.unicode() == stop) break;
        result.append(QChar(static_cast<char16_t>((c.unicode() & 0xFF) + length - n + k2 - k1 - 16)));
    }
    return result;
}
