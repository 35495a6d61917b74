#pragma once
// The 8-bit code page of call messages, configuration files without a byte-order mark and
// database text: Windows-1252, the code page of Portuguese-language Windows.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace cp1252 {

// Every byte maps to one character; the five bytes that Windows-1252 leaves undefined map to
// the control characters of the same code, as Windows does.
QString decode(QByteArrayView bytes);

// The bytes as UTF-8 when they are valid UTF-8, otherwise in the code page: for texts that may
// come either way (a file written on Linux or on Windows, a server's messages).
QString decodeUtf8OrCodePage(QByteArrayView bytes);

// Characters outside the code page become "?".
QByteArray encode(QStringView text);

// True when every character of the text has a byte in the code page.
bool canEncode(QStringView text);

} // namespace cp1252
