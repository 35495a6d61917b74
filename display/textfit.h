#pragma once
// Fitting a call line's text to its panel: a long name drawn smaller so that it is seen whole
// instead of cut ([fonte] ajustar).

#include <QFont>
#include <QRect>
#include <QString>

#include <optional>

// How a text that fits is drawn: the font at its fitted size, the text without its leading
// blanks, and where its ink lies when drawn from the origin at the font's baseline.
struct FittedText {
    QFont font;
    QString text;
    QRect ink;
};

// For a text whose advance at the given font is wider than width: the largest pixel size, from
// the font's own down to half of it, at which the ink of the text without its leading blanks
// (the twenty blanks of a destination call's name line among them) fits with a pixel to spare
// on either side. The font's own size comes first, so a name that fits once its blanks are left
// out keeps its size. Nothing when the text is no wider than width, or is too wide even at
// half the size: it is then drawn as it is, and cut.
std::optional<FittedText> fitText(const QFont& font, const QString& text, int width);
