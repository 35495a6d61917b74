#pragma once
// Readable test failure output for Qt values.

#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i) *os << ", ";
        PrintTo(list[i], os);
    }
    *os << '}';
}

inline void PrintTo(const QVariant& value, std::ostream* os) {
    if (value.isNull())
        *os << "null";
    else
        PrintTo(value.toString(), os);
}

inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}
