#include "display/clockformat.h"

#include <QList>

namespace {

const QString kTime24 = QStringLiteral("HH:mm:ss");
const QString kNumericDate = QStringLiteral("dd/MM/yyyy");

// One piece of a format: a run of one field letter ("HH", "t"), a quoted literal with its
// quotes, or a single other character.
struct Piece {
    QString text;
    bool quoted = false;
    QChar field() const { return quoted || text.isEmpty() || !text[0].isLetter() ? QChar() : text[0]; }
};

QList<Piece> pieces(const QString& format) {
    QList<Piece> out;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype end = i + 1;
        if (c == u'\'') {
            // Up to the closing quote; a doubled quote inside stands for one quote.
            while (end < format.size()) {
                if (format[end] == u'\'' && (end + 1 >= format.size() || format[end + 1] != u'\'')) break;
                end += format[end] == u'\'' ? 2 : 1;
            }
            end = qMin(end + 1, format.size());
            out.append({format.mid(i, end - i), true});
        } else {
            if (c.isLetter())
                while (end < format.size() && format[end] == c) ++end;
            out.append({format.mid(i, end - i), false});
        }
        i = end;
    }
    return out;
}

QString joined(const QList<Piece>& list) {
    QString s;
    for (const Piece& p : list) s += p.text;
    return s;
}

bool isFiller(const Piece& p) {
    return !p.quoted && p.text.size() == 1 && QStringLiteral(" ,;()[]").contains(p.text[0]);
}

bool hasField(const QList<Piece>& list, const QString& letters) {
    for (const Piece& p : list)
        if (!p.field().isNull() && letters.contains(p.field())) return true;
    return false;
}

// Whether the time fits at its widest: two-digit hours (every digit of the faces used is as wide
// as another), both before and after noon for a 12-hour format.
bool timeFits(const QLocale& locale, const QString& format, const TextFits& fits) {
    for (const QTime& t : {QTime(10, 58, 58), QTime(22, 58, 58)})
        if (!fits(locale.toString(t, format))) return false;
    return true;
}

} // namespace

QString withoutTimeZone(const QString& format) {
    QList<Piece> list = pieces(format);
    for (qsizetype i = 0; i < list.size();) {
        if (list[i].field() != u't') {
            ++i;
            continue;
        }
        list.removeAt(i);
        // An opening bracket just before and a closing one just after go with it, and of two
        // blanks that it stood between one goes.
        if (i > 0 && i < list.size() && !list[i - 1].quoted && !list[i].quoted &&
            ((list[i - 1].text == u"(" && list[i].text == u")") ||
             (list[i - 1].text == u"[" && list[i].text == u"]"))) {
            list.removeAt(i);
            list.removeAt(--i);
        }
        if (i > 0 && i < list.size() && list[i - 1].text == u" " && list[i].text == u" ") list.removeAt(i);
    }
    // Blanks, commas and brackets left dangling at either end.
    while (!list.isEmpty() && isFiller(list.first())) list.removeFirst();
    while (!list.isEmpty() && isFiller(list.last())) list.removeLast();
    return joined(list);
}

QString clockTimeFormat(const QLocale& locale, const TextFits& fits) {
    const QString format = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    const QList<Piece> list = pieces(format);
    const bool complete = hasField(list, QStringLiteral("hH")) && hasField(list, QStringLiteral("m")) &&
                          hasField(list, QStringLiteral("s"));
    if (complete && timeFits(locale, format, fits)) return format;
    return kTime24;
}

QString clockDateFormat(const QLocale& locale, const TextFits& fits) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const QList<Piece> list = pieces(format);
    bool numeric = hasField(list, QStringLiteral("d")) && hasField(list, QStringLiteral("M")) &&
                   hasField(list, QStringLiteral("y"));
    for (const Piece& p : list)
        if ((p.field() == u'd' || p.field() == u'M') && p.text.size() > 2) numeric = false; // names
    // Two-digit day and month: the widest date.
    if (numeric && fits(locale.toString(QDate(2028, 12, 28), format))) return format;
    return kNumericDate;
}

QString clockTimeText(const QTime& time, const QLocale& locale, const TextFits& fits) {
    return locale.toString(time, clockTimeFormat(locale, fits));
}

QString clockDateText(const QDate& date, const QLocale& locale, const TextFits& fits) {
    return locale.toString(date, clockDateFormat(locale, fits));
}
