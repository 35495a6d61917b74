// Configuration rules: the integer rule, the code page, config.ini and configserver.txt.

#include "base/codepage.h"
#include "base/errors.h"
#include "config/inifile.h"
#include "base/intrule.h"
#include "base/textfile.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

namespace {

struct IntCase {
    const char* text;
    bool ok;
    std::int32_t value;
};

// Every text either reads as its value or fails with the rule's message naming the text.
void expectIntRule(const IntCase& c) {
    const QString text = QString::fromUtf8(c.text);
    const auto v = tryStrToInt(text);
    EXPECT_EQ(v.has_value(), c.ok) << c.text;
    if (c.ok && v) {
        EXPECT_EQ(*v, c.value) << c.text;
        EXPECT_EQ(StrToInt(text), c.value) << c.text;
        return;
    }
    try {
        StrToInt(text);
        ADD_FAILURE() << c.text << ": no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("'%1' is not a valid integer value").arg(text)) << c.text;
    }
}

TEST(IntRule, AcceptsAndRejectsAsTheRuleSays) {
    const IntCase cases[] = {
        {"2411", true, 2411},          {" 2411", true, 2411},         {"   7", true, 7},
        {"+5", true, 5},               {"-5", true, -5},              {"007", true, 7},
        {"$1F", true, 31},             {"x1f", true, 31},             {"X10", true, 16},
        {"0x10", true, 16},            {"0X10", true, 16},            {"-$10", true, -16},
        {"2411 ", false, 0},           {"", false, 0},                {" ", false, 0},
        {"+", false, 0},               {"-", false, 0},               {"$", false, 0},
        {"0x", false, 0},              {"-$", false, 0},              {"12a", false, 0},
        {"$1G", false, 0},             {"--5", false, 0},             {"$-5", false, 0},
        {"\t5", false, 0},             {"5\n", false, 0},             {"1 2", false, 0},
        {"cr", false, 0},              {"１２", false, 0},
    };
    for (const auto& c : cases) expectIntRule(c);
}

// The edges of the 32-bit range in every notation. Unsigned hexadecimal digits are the 32-bit
// pattern; after a sign they are a magnitude and the value must fit like a decimal one.
TEST(IntRule, ValuesMustFitIn32Bits) {
    const IntCase cases[] = {
        {"2147483647", true, INT32_MAX},   {"+2147483647", true, INT32_MAX},
        {"2147483648", false, 0},          {"+2147483648", false, 0},
        {"-2147483648", true, INT32_MIN},  {"-2147483649", false, 0},
        {"4294967295", false, 0},          {"-4294967295", false, 0},
        {"99999999999999999999999", false, 0}, {"-0000002147483648", true, INT32_MIN},
        {"$7FFFFFFF", true, INT32_MAX},    {"$80000000", true, INT32_MIN},
        {"$FFFFFFFF", true, -1},           {"0xffffffff", true, -1},
        {"$00000000FFFFFFFF", true, -1},   {"$100000000", false, 0},
        {"x1FFFFFFFF", false, 0},          {"$FFFFFFFFFFFFFFFFFFFF", false, 0},
        {"-$0", true, 0},                  {"+$0", true, 0},
        {"-$1", true, -1},                 {"-$7FFFFFFF", true, -INT32_MAX},
        {"-$80000000", true, INT32_MIN},   {"-0X0000080000000", true, INT32_MIN},
        {"-$80000001", false, 0},          {"-$FFFFFFFF", false, 0},
        {"-x100000000", false, 0},         {"-0x100000001", false, 0},
        {"+$7FFFFFFF", true, INT32_MAX},   {"+$80000000", false, 0},
        {"+$FFFFFFFF", false, 0},          {"  -$80000001", false, 0},
    };
    for (const auto& c : cases) expectIntRule(c);
}

TEST(CodePage, RoundTripsEveryByte) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(char(b));
    EXPECT_EQ(cp1252::encode(cp1252::decode(all)), all);
}

TEST(CodePage, PortugueseAndWindowsOnlyCharacters) {
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"RECEP\xC7\xC3O", QStringLiteral("RECEPÇÃO")},
        {"Consult\xF3rio", QStringLiteral("Consultório")},
        {"\x80 \x93x\x94", QString::fromUtf8("€ “x”")},
        {"\x81", QString(QChar(0x81))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp1252::decode(c.bytes), c.text);
        EXPECT_EQ(cp1252::encode(c.text), c.bytes);
    }
    EXPECT_EQ(cp1252::encode(QStringLiteral("a\u4E2Db")), QByteArray("a?b"));
    EXPECT_FALSE(cp1252::canEncode(QStringLiteral("\u4E2D")));
    EXPECT_TRUE(cp1252::canEncode(QStringLiteral("Guichê")));
}

QByteArray utf16le(const QString& s, bool bom = true) {
    QByteArray out = bom ? QByteArray("\xFF\xFE", 2) : QByteArray();
    for (QChar c : s) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

QByteArray utf16be(const QString& s) {
    QByteArray out("\xFE\xFF", 2);
    for (QChar c : s) {
        out.append(char(c.unicode() >> 8));
        out.append(char(c.unicode() & 0xFF));
    }
    return out;
}

TEST(IniFile, ValuesByTheReadingRules) {
    TestDir dir;
    const QString path = dir.write("config.ini",
                                   "[Fonte]\r\n"
                                   "TamanhoFonteNome = 40 \r\n"
                                   "[sgbd]\r\n"
                                   "usuario=operador\r\n"
                                   "senha=\r\n"
                                   "cripto=  S  \r\n"
                                   "chave=\"S\"\r\n"
                                   "fatura='a=b=c'\r\n"
                                   "q1=\"unbalanced\r\n"
                                   "q2=\"\"\r\n"
                                   "usuario=second\r\n"
                                   "acento=Recep\xE7\xE3o\r\n"
                                   "[definicao]\n"
                                   "repetirvideo=s\n");
    const TIniFile ini(path);
    const struct {
        const char* section;
        const char* key;
        const char* def;
        QString expected;
    } cases[] = {
        {"fonte", "tamanhofontenome", "36", "40"},
        {"FONTE", "TAMANHOFONTENOME", "36", "40"},
        {"fonte", "tamanhofonteservico", "32", "32"},
        {"sgbd", "usuario", "", "operador"},
        {"sgbd", "senha", "x", ""},
        {"sgbd", "cripto", "", "S"},
        {"sgbd", "chave", "", "S"},
        {"sgbd", "fatura", "", "a=b=c"},
        {"sgbd", "q1", "", "\"unbalanced"},
        {"sgbd", "q2", "d", ""},
        {"sgbd", "acento", "", QStringLiteral("Recepção")},
        {"definicao", "repetirvideo", "", "s"},
        {"nosection", "usuario", "dflt", "dflt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini.ReadString(c.section, c.key, c.def), c.expected) << c.section << "/" << c.key;
}

TEST(IniFile, MissingFileGivesDefaults) {
    TestDir dir;
    const TIniFile ini(dir.file("config.ini"));
    EXPECT_EQ(ini.ReadString("fonte", "tamanhofontenome", "36"), "36");
}

TEST(IniFile, CutsValuesAt2047Characters) {
    TestDir dir;
    const QByteArray longValue(5000, 'a');
    const TIniFile ini(dir.write("config.ini", "[sgbd]\nfatura=" + longValue + "\n"));
    EXPECT_EQ(ini.ReadString("sgbd", "fatura", "").size(), 2047);
}

TEST(IniFile, Utf16WithByteOrderMark) {
    TestDir dir;
    const QString text = QStringLiteral("[sgbd]\r\nusuario=José\r\n");
    const TIniFile le(dir.write("le.ini", utf16le(text)));
    const TIniFile be(dir.write("be.ini", utf16be(text)));
    EXPECT_EQ(le.ReadString("sgbd", "usuario", ""), QStringLiteral("José"));
    EXPECT_EQ(be.ReadString("sgbd", "usuario", ""), QStringLiteral("José"));
}

TEST(ConfigServerTxt, LineEndsAndMarksReadTheSame) {
    TestDir dir;
    const QStringList expected = {"2411", "1", "S", "S"};
    const QByteArray variants[] = {
        "2411\r\n1\r\nS\r\nS\r\n", "2411\n1\nS\nS\n",  "2411\r1\rS\rS",
        "\xEF\xBB\xBF" "2411\r\n1\r\nS\r\nS", utf16le("2411\r\n1\r\nS\r\nS\r\n"),
        utf16be("2411\n1\nS\nS"),
    };
    int i = 0;
    for (const QByteArray& bytes : variants) {
        const QString path = dir.write(QString("c%1.txt").arg(i++), bytes);
        EXPECT_EQ(loadTextLines(path), expected) << bytes.toHex().toStdString();
    }
}

TEST(ConfigServerTxt, LinesAreTakenWholeWithTheirBlanks) {
    const struct {
        QString text;
        QStringList lines;
    } cases[] = {
        {"", {}},
        {"2411", {"2411"}},
        {"2411\r\n", {"2411"}},
        {"2411\r\n\r\n", {"2411", ""}},
        {"2411\n1\nN \n", {"2411", "1", "N "}},
        {"\n\n", {"", ""}},
        {"a\r\rb", {"a", "", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitLines(c.text), c.lines) << c.text.toStdString();
}

TEST(ConfigServerTxt, MissingFileNamesThePathAndTheReason) {
    TestDir dir;
    const QString path = dir.file("configserver.txt");
    try {
        loadTextLines(path);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(path));
    }
}

} // namespace
