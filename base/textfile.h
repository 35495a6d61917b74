#pragma once
// Reading a whole text file: a byte-order mark selects UTF-8 or UTF-16 (either byte order);
// without one the bytes are in the 8-bit code page.

#include <QByteArray>
#include <QString>
#include <QStringList>

QString decodeText(const QByteArray& bytes);

// Splits at CR LF, a lone LF or a lone CR. A line end at the very end starts no further line.
QStringList splitLines(const QString& text);

// Reads and splits a file; throws EFOpenError "Cannot open file "%s". %s" with the file's
// full path and the system's reason.
QStringList loadTextLines(const QString& path);
