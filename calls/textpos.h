#pragma once
// Pieces of a call message taken by 1-based positions, and texts put together from pieces.
// A position counts UTF-16 code units, the characters of the decoded message. Taking a piece
// never fails: where the text is shorter the piece is shorter, or empty. The pieces are views
// into the text; they cost no copy.

#include <QString>
#include <QStringView>
#include <initializer_list>

namespace textpos {

// T[first..last]: empty when last < first or the text ends before first.
constexpr QStringView range(QStringView text, qsizetype first, qsizetype last) {
    if (first < 1) first = 1;
    if (last > text.size()) last = text.size();
    if (last < first) return {};
    return text.sliced(first - 1, last - first + 1);
}

// T[first..]: from first to the end of the text.
constexpr QStringView from(QStringView text, qsizetype first) {
    return range(text, first, text.size());
}

// True when T[pos] exists and is one of the ASCII digits lo to hi.
constexpr bool digitAt(QStringView text, qsizetype pos, char16_t lo = u'0', char16_t hi = u'9') {
    if (pos < 1 || pos > text.size()) return false;
    const char16_t c = text[pos - 1].unicode();
    return c >= lo && c <= hi;
}

// The pieces one after another, in one allocation.
inline QString concat(std::initializer_list<QStringView> pieces) {
    qsizetype size = 0;
    for (QStringView p : pieces)
        size += p.size();
    QString out;
    out.reserve(size);
    for (QStringView p : pieces)
        out.append(p);
    return out;
}

} // namespace textpos
