#pragma once
// Formats of the clock strip. The time is the locale's long time format without its time zone,
// the date the locale's short date format, each where it fits its panel: a time with hours,
// minutes and seconds, a date of numbers only. Where the locale's format does not fit (a 12-hour
// time with AM/PM at the clock's size, or a locale with no regional formats of its own such as C,
// whose short date names the month), the clock shows "HH:mm:ss" in 24 hours and the date
// "dd/MM/yyyy", as a Brazilian clinic reads them.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <functional>

// Whether a text fits the panel it is meant for.
using TextFits = std::function<bool(const QString& text)>;

// A time or date format without its time zone fields ("t" to "tttt") and the blanks, commas and
// brackets left around them. Text in single quotes is literal and stays as it is.
QString withoutTimeZone(const QString& format);

// The format the clock shows: the locale's own where it fits, else the 24-hour or numeric one.
QString clockTimeFormat(const QLocale& locale, const TextFits& fits);
QString clockDateFormat(const QLocale& locale, const TextFits& fits);

QString clockTimeText(const QTime& time, const QLocale& locale, const TextFits& fits);
QString clockDateText(const QDate& date, const QLocale& locale, const TextFits& fits);
