#pragma once
// The one rule by which every whole number of the configuration and of call messages is read.

#include <QString>
#include <cstdint>
#include <optional>

// Optional leading spaces, an optional "+" or "-", then decimal digits, or hexadecimal digits
// after "$", "x", "X", "0x" or "0X"; nothing after the digits; the value fits in 32 bits
// (hexadecimal up to FFFFFFFF, read as the 32-bit pattern). Empty when the text breaks the rule.
std::optional<std::int32_t> tryStrToInt(const QString& text);

// As tryStrToInt; throws EConvertError "'%s' is not a valid integer value".
std::int32_t StrToInt(const QString& text);
