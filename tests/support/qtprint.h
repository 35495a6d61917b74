#pragma once
// Readable QString values in GoogleTest failure messages: the text in UTF-8, with every
// character outside printable ASCII written as its code (\u00E7).

#include <QString>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"';
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7F && u != u'\\') {
            *os << char(u);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            *os << "\\u" << hex[u >> 12] << hex[(u >> 8) & 15] << hex[(u >> 4) & 15] << hex[u & 15];
        }
    }
    *os << '"';
}
