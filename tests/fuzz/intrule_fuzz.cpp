// libFuzzer target for the integer rule. Any text is either a whole number by the rule or
// refused with the exact message; an accepted text has the rule's shape and the value its digits
// say (hexadecimal digits alone as the 32-bit pattern, after a sign as a signed value that must
// fit); and every 32-bit value written in decimal or as "$" and hexadecimal reads back as itself,
// and its negation with a sign before "$" too.

#include "base/errors.h"
#include "base/intrule.h"
#include "tests/fuzz/fuzzinput.h"

#include <QRegularExpression>

namespace {

// The value of the digits by a second, plainer reading: as a 64-bit number, base 10 or 16.
// Empty when there are too many digits for that (the rule refuses those anyway).
std::optional<std::int64_t> reference(const QString& text) {
    static const QRegularExpression shape(
        QStringLiteral("^ *([+-]?)(\\$|0[xX]|[xX])?([0-9a-fA-F]+)\\z"));
    const auto m = shape.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const bool hex = m.capturedLength(2) > 0;
    const QString digits = m.captured(3);
    if (!hex && digits.contains(QRegularExpression(QStringLiteral("[a-fA-F]")))) return std::nullopt;
    bool ok = false;
    const qint64 magnitude = digits.toLongLong(&ok, hex ? 16 : 10);
    if (!ok) return std::nullopt;
    // Unsigned hexadecimal digits are the 32-bit pattern; after a sign, digits of either base
    // are a magnitude and the signed value must fit.
    if (hex && m.capturedLength(1) == 0) {
        if (magnitude > 0xFFFFFFFFll) return std::nullopt;
        return std::int32_t(std::uint32_t(magnitude));
    }
    const qint64 v = m.captured(1) == u"-" ? -magnitude : magnitude;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    // The first four bytes as a value that must read back from its own notations.
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits = (bits << 8) | in.byte();
    const auto value = std::int32_t(bits);
    fuzz::check(tryStrToInt(QString::number(value)) == value, "decimal round trip");
    fuzz::check(tryStrToInt(QStringLiteral("$") + QString::number(bits, 16)) == value, "$hex round trip");
    fuzz::check(tryStrToInt(QStringLiteral("  0X") + QString::number(bits, 16).toUpper()) == value,
                "0X hex round trip with leading blanks");
    // A sign before hexadecimal digits gives the signed value those digits spell.
    const qint64 wide = value;
    const QString magnitude = QString::number(wide < 0 ? -wide : wide, 16);
    fuzz::check(tryStrToInt((wide < 0 ? QStringLiteral("-$") : QStringLiteral("+$")) + magnitude) == value,
                "signed hex round trip");

    // The rest, once as 8-bit text (the common case: digits and signs) and once as UTF-16.
    const QByteArrayView rest = in.rest();
    fuzz::Input again(reinterpret_cast<const std::uint8_t*>(rest.data()), std::size_t(rest.size()));
    for (const QString& text : {QString::fromLatin1(rest), again.utf16Rest()}) {
        const std::optional<std::int32_t> got = tryStrToInt(text);
        const std::optional<std::int64_t> want = reference(text);
        fuzz::check(got.has_value() == want.has_value(), "accepts exactly the rule's texts");
        if (got) fuzz::check(*got == *want, "the value of the digits");
        try {
            const std::int32_t v = StrToInt(text);
            fuzz::check(got == v, "StrToInt agrees with tryStrToInt");
        } catch (const EConvertError& e) {
            fuzz::check(!got, "StrToInt fails only where tryStrToInt does");
            fuzz::check(e.text() == QStringLiteral("'%1' is not a valid integer value").arg(text),
                        "the exact failure message");
        }
    }
    return 0;
}
