#pragma once
// The one rule by which every whole number of the configuration and of call messages is read.

#include <QString>
#include <cstdint>
#include <optional>

// Optional leading spaces, an optional "+" or "-", then decimal digits, or hexadecimal digits
// after "$", "x", "X", "0x" or "0X"; nothing after the digits; the value fits in 32 bits.
// Unsigned hexadecimal digits are the 32-bit pattern, up to FFFFFFFF ("$FFFFFFFF" is -1); after a
// sign, hexadecimal digits are a magnitude like decimal ones and the signed value must lie in
// -2147483648 to 2147483647 ("-$80000000" is the lowest; "-$FFFFFFFF" and "+$80000000" are out of
// range). Empty when the text breaks the rule.
std::optional<std::int32_t> tryStrToInt(const QString& text);

// As tryStrToInt; throws EConvertError "'%s' is not a valid integer value".
std::int32_t StrToInt(const QString& text);
