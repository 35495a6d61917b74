#pragma once
// Readable test failure output for colours (Qt GUI).

#include <QColor>
#include <ostream>

inline void PrintTo(const QColor& c, std::ostream* os) {
    *os << "rgb(" << c.red() << ',' << c.green() << ',' << c.blue() << ')';
}
