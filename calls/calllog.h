#pragma once
// The line written on standard error for every call shown, when the environment variable
// PAINEL_LOG_CALLS is 1: for the clinic's journal and for measurements. It names the patient, so
// it is off unless asked for.
//
//   painel: chamada 2026-12-10 14:03:07.412 192.168.10.21 "MD*41ANA SOUTO" 4 ms
//
// local date and time the call reached the screen, the station's address, the message as read
// (quotes, backslashes and control characters written as \", \\ and \xNN), and the milliseconds
// from its read to the screen.

#include <QDateTime>
#include <QString>

QString callLogLine(const QDateTime& shownAt, const QString& station, const QString& message, qint64 readToScreenMs);

// True when PAINEL_LOG_CALLS is 1 (read once).
bool callLogEnabled();
