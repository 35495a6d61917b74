#include "display/colors.h"

#include <QGuiApplication>

namespace colors {

QColor buttonFace() { return QGuiApplication::palette().color(QPalette::Button); }
QColor window() { return QGuiApplication::palette().color(QPalette::Base); }
QColor windowText() { return QGuiApplication::palette().color(QPalette::Text); }
QColor highlight() { return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight); }
QColor highlightText() {
    return QGuiApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
}

} // namespace colors
