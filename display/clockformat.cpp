#include "display/clockformat.h"

namespace {

bool hasOwnFormats(const QLocale& locale) { return locale.language() != QLocale::C; }

} // namespace

QString clockTimeText(const QTime& time, const QLocale& locale) {
    if (!hasOwnFormats(locale)) return time.toString(QStringLiteral("HH:mm:ss"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    // The long format may name the time zone ("t"); the clock strip has no room for it.
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    if (!format.contains(QLatin1Char('s'))) format = QStringLiteral("HH:mm:ss");
    return locale.toString(time, format);
}

QString clockDateText(const QDate& date, const QLocale& locale) {
    if (!hasOwnFormats(locale)) return date.toString(QStringLiteral("dd/MM/yyyy"));
    return locale.toString(date, QLocale::ShortFormat);
}
