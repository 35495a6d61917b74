#include "display/fonts.h"

#include <algorithm>
#include <cmath>

int pointsToPixels(int points) {
    return int(std::lround(double(points) * 96.0 / 72.0));
}

QString faceFor(const QString& designFace) {
    if (designFace.compare(u"Impact", Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans Narrow");
    if (designFace.compare(u"Arial", Qt::CaseInsensitive) == 0 ||
        designFace.compare(u"MS Sans Serif", Qt::CaseInsensitive) == 0 ||
        designFace.compare(u"System", Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans");
    return designFace;
}

QFont designFont(const QString& designFace, int points, bool bold) {
    QFont font(faceFor(designFace));
    font.setStyleHint(QFont::SansSerif);
    setFontPoints(font, points);
    font.setBold(bold || designFace.compare(u"Impact", Qt::CaseInsensitive) == 0);
    return font;
}

void setFontPoints(QFont& font, int points) {
    // A size of zero or below, or an absurd one, falls back to the smallest readable size or is
    // capped, so that a bad font size in config.ini cannot break painting.
    const int px = pointsToPixels(points);
    font.setPixelSize(std::clamp(px, 1, 2000));
}
