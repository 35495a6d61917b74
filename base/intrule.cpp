#include "base/intrule.h"

#include "base/errors.h"

std::optional<std::int32_t> tryStrToInt(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ') ++i;
    bool hasSign = false;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        hasSign = true;
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n) return std::nullopt;
    // Hexadecimal digits alone are the 32-bit pattern ("$FFFFFFFF" is -1). With a sign in front
    // they are a magnitude like decimal digits, and the signed value must lie in the 32-bit range:
    // "-$80000000" is the lowest, "-$80000001", "-$FFFFFFFF" and "+$80000000" are out of range.
    const bool pattern = base == 16 && !hasSign;
    const std::uint64_t limit = pattern ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        else return std::nullopt;
        value = value * std::uint64_t(base) + std::uint64_t(digit);
        if (value > limit) return std::nullopt;
    }
    auto bits = static_cast<std::uint32_t>(value);
    if (negative) bits = ~bits + 1u;
    return static_cast<std::int32_t>(bits);
}

std::int32_t StrToInt(const QString& text) {
    if (const auto v = tryStrToInt(text)) return *v;
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
