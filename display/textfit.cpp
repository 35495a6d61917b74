#include "display/textfit.h"

#include <QFontMetrics>

namespace {

// The ink of the text at a pixel size, with the room it needs: a pixel on either side.
QRect inkAt(QFont font, int pixels, const QString& text) {
    font.setPixelSize(pixels);
    return QFontMetrics(font).tightBoundingRect(text);
}

} // namespace

std::optional<FittedText> fitText(const QFont& font, const QString& text, int width) {
    if (QFontMetrics(font).horizontalAdvance(text) <= width) return std::nullopt;
    qsizetype lead = 0;
    while (lead < text.size() && text[lead].isSpace()) ++lead;
    const QString inked = text.sliced(lead);
    const auto fits = [&](int pixels) { return inkAt(font, pixels, inked).width() + 2 <= width; };
    const int full = font.pixelSize();
    int low = (full + 1) / 2;
    if (full < 1 || inked.isEmpty() || !fits(low)) return std::nullopt;
    // The largest size that fits, by halving the range between one that fits and the font's own.
    int high = full;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (fits(mid)) low = mid;
        else high = mid - 1;
    }
    QFont fitted = font;
    fitted.setPixelSize(low);
    return FittedText{fitted, inked, inkAt(font, low, inked)};
}
