#pragma once
// Formats of the clock strip: the locale's time with hours, minutes and seconds (its long format
// without a time zone) and its numeric short date. A locale with no regional formats of its own
// (the C locale) gets 24-hour "HH:mm:ss" and "dd/MM/yyyy", as a Brazilian clinic reads them.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

QString clockTimeText(const QTime& time, const QLocale& locale);
QString clockDateText(const QDate& date, const QLocale& locale);
