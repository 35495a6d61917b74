#pragma once
// Readable test failure output for Qt text: QString and QStringView print as quoted UTF-8, with
// control characters, lone surrogates and non-ASCII characters shown as \uXXXX escapes.

#include <QString>
#include <QStringView>
#include <cstdio>
#include <ostream>

inline void PrintTo(QStringView text, std::ostream* os) {
    *os << '"';
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u < 0x7F && u != u'"' && u != u'\\') {
            *os << char(u);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(u));
            *os << buf;
        }
    }
    *os << '"';
}

inline void PrintTo(const QString& text, std::ostream* os) {
    PrintTo(QStringView(text), os);
}
