// Decoding of encoded credentials.

#include "config/xcripto.h"
#include "tests/support/qtprint.h"

#include <gtest/gtest.h>

namespace {

QString u16(std::initializer_list<char16_t> codes) {
    QString s;
    for (char16_t c : codes) s.append(QChar(c));
    return s;
}

struct Case {
    QString text;
    QString key;
    QString expected;
    const char* why;
};

// Values worked out by hand from the rule
//   out = (c & 0xFF) + L - n + k2 - k1 - 16 (mod 65536), stop = 222 - k1 - k2 (mod 65536).
TEST(Descriptografar, HandWorkedValues) {
    const Case cases[] = {
        // Key "ab": L = 2, k1 = 97, k2 = 98, stop = 222 - 195 = 27.
        //   'x' (120), n = 1: 120 + 2 - 1 + 98 - 97 - 16 = 106 'j'
        //   'y' (121), n = 2: 121 + 2 - 2 + 1 - 16       = 106 'j'
        //   'z' (122), n = 3: 122 + 2 - 3 + 1 - 16       = 106 'j'
        {"xyz", "ab", "jjj", "three positions of the counter"},
        // Key "ravoske": L = 7, k1 = 114 'r', k2 = 97 'a', so out = c - 26 - n; stop = 11.
        //   'H' 72 - 27 = 45 '-', 'e' 101 - 28 = 73 'I', 'l' 108 - 29 = 79 'O',
        //   'l' 108 - 30 = 78 'N', 'o' 111 - 31 = 80 'P'
        {"Hello", QString::fromUtf16(kChaveFixa), "-IONP", "the fixed key"},
        // Key "K": one character, so k2 = 0; L = 1, k1 = 75: out = c + 1 - n - 75 - 16 = c - 90 - n.
        //   '{' 123 - 91 = 32, '|' 124 - 92 = 32, '}' 125 - 93 = 32
        {"{|}", "K", "   ", "one-character key uses 0 for k2"},
        //   'A' 65 - 91 = -26, which wraps to 65510 = U+FFE6
        {"A", "K", u16({0xFFE6}), "result below zero wraps modulo 65536"},
        // U+0141: only its low 8 bits 0x41 = 65 count: 65 + 2 - 1 + 1 - 16 = 51 '3' (key "ab").
        {u16({0x0141}), "ab", "3", "character above U+00FF contributes its low 8 bits"},
        // U+011B has the low 8 bits of the stop value 27 but differs in full: 27 - 14 = 13.
        {u16({0x011B}), "ab", u16({0x000D}), "stop compared on all 16 bits"},
        // The stop value 27 ends the result: 'x' gives 'j', then U+001B stops.
        {u16({'x', 'y', 0x1B, 'z'}), "ab", "jj", "stop drops the rest"},
        {u16({0x1B, 'x'}), "ab", "", "stop as the first character"},
        // Key "zz": k1 + k2 = 244 > 222, stop = 222 - 244 = -22 = U+FFEA.
        //   'a' 97 + 2 - 1 + 0 - 16 = 82 'R', then U+FFEA stops.
        {u16({'a', 0xFFEA, 'b'}), "zz", "R", "stop wraps to U+FFEA"},
        // With the same key the low 8 bits 0xEA of 'ê' (U+00EA) do not stop: 234 - 15 = 219.
        {u16({0x00EA}), "zz", u16({219}), "wrapped stop is not met by its low byte"},
        // Only the low 8 bits of the key's characters count: U+0161 acts as 'a' (0x61) and
        // U+0162 as 'b' (0x62), giving the same values as key "ab".
        {"xyz", u16({0x0161, 0x0162}), "jjj", "key characters above U+00FF"},
        // Only the first two key characters and the length count.
        {"xyz", "abQ", "kkk", "longer key: L = 3 adds one"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Descriptografar(c.text, c.key), c.expected) << c.why;
}

TEST(Descriptografar, EdgeCases) {
    // An empty key returns the text unchanged, stop characters and all.
    const QString odd = u16({'a', 0x1B, 0xFFEA, 0x0000, 0xD800});
    EXPECT_EQ(Descriptografar(odd, ""), odd);
    EXPECT_EQ(Descriptografar("", ""), "");

    // An empty text gives the empty string for any key.
    for (const QString& key : {QString("a"), QString("ab"), QString::fromUtf16(kChaveFixa)})
        EXPECT_EQ(Descriptografar("", key), "") << key.toStdString();

    // k2 is 0 for a one-character key: key "K" differs from key "K" followed by U+0000
    // only in its length, which adds one to every character.
    EXPECT_EQ(Descriptografar("{|}", QString("K") + QChar(0)), "!!!");
}

TEST(Descriptografar, CounterRunsOneToTwelveThenZero) {
    // Key "ab" maps 'x' (120) to 120 + 2 - n + 1 - 16 = 107 - n: 106 down to 95 for n = 1..12,
    // then 107 for n = 0 (the 13th character) and 106 again for the 14th.
    const QString out = Descriptografar(QString(27, u'x'), "ab");
    ASSERT_EQ(out.size(), 27);
    for (int i = 1; i <= 27; ++i) {
        const int n = i % 13;
        EXPECT_EQ(out[i - 1].unicode(), 107 - n) << "character " << i;
    }
}

TEST(Descriptografar, KeyLengthCountsModulo65536) {
    // A key of 65538 characters behaves as a key of length 2 with the same first two characters.
    const QString longKey = QString("ab") + QString(65536, u'q');
    const QString text = "Descriptografar 0123456789 çãé";
    EXPECT_EQ(Descriptografar(text, longKey), Descriptografar(text, "ab"));
    // A key of 65536 characters has L = 0: every character is two lower than with key "ab"
    // ('x', n = 1: 120 + 0 - 1 + 1 - 16 = 104 'h', and so on).
    const QString zeroLength = QString("ab") + QString(65534, u'q');
    EXPECT_EQ(Descriptografar("xyz", zeroLength), "hhh");
}

} // namespace
