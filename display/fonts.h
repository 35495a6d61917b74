#pragma once
// Fonts of the window's design: sizes in points at 96 dots per inch, faces mapped to the ones
// Debian has (Arial: Liberation Sans; Impact: Liberation Sans Narrow bold; MS Sans Serif:
// Liberation Sans).

#include <QFont>
#include <QString>

// The em height in pixels of a font of the given points at 96 dpi (140 pt: 187 px).
int pointsToPixels(int points);

// The face installed here that stands in for a design face.
QString faceFor(const QString& designFace);

QFont designFont(const QString& designFace, int points, bool bold);

// Changes the size of a font in points, keeping the rest.
void setFontPoints(QFont& font, int points);
