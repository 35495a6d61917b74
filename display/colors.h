#pragma once
// Colours of the window. Colour values are 0x00BBGGRR numbers, as the design lists them.

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace colors {

inline QColor fromValue(std::uint32_t v) {
    return QColor::fromRgb(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

inline const QColor skyBlue = fromValue(0x00F0CAA6);
inline const QColor navy = fromValue(0x00800000);
inline const QColor red = fromValue(0x000000FF);
inline const QColor white = fromValue(0x00FFFFFF);
inline const QColor black = fromValue(0x00000000);
inline const QColor silver = fromValue(0x00C0C0C0);
inline const QColor band = fromValue(14876641); // RGB 225, 255, 226

// System colours, from the platform's palette.
QColor buttonFace();
QColor window();
QColor windowText();
QColor highlight();
QColor highlightText();

} // namespace colors
