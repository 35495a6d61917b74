#pragma once
// xCripto: decoding of the credentials that config.ini may hold in encoded form (user name,
// password, database path and the key itself).

#include <QString>

// The built-in key with which the [sgbd] chave value is encoded.
inline constexpr char16_t kChaveFixa[] = u"ravoske";

// Decodes text with key. Of the key only its length L and the low 8 bits of its first two
// characters (k1, and k2 or 0 for a one-character key) count. Character i of the text (from 1)
// uses the counter n = i mod 13; a character equal in all 16 bits to the stop value
// (222 - k1 - k2) ends the result; otherwise the result gets the character
// (low 8 bits of c) + L - n + k2 - k1 - 16, all modulo 65536. An empty key returns the text as
// it is. Keeps no state and cannot fail.
QString Descriptografar(const QString& texto, const QString& chave);
