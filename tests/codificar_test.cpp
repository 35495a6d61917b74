// The administrator's encoding tool: the encoder against Descriptografar, the config.ini editing
// and the tool itself.

#include "base/codepage.h"
#include "config/inifile.h"
#include "config/xcripto.h"
#include "tests/support/qtprint.h"
#include "tests/support/tempdir.h"
#include "tools/cripto/credentialencoder.h"
#include "tools/cripto/iniedit.h"

#include <QProcess>
#include <QStringEncoder>
#include <gtest/gtest.h>
#include <vector>

namespace {

using Reason = EncodeFailure::Reason;

QString u16(std::initializer_list<char16_t> codes) {
    QString s;
    for (char16_t c : codes) s.append(QChar(c));
    return s;
}

const QString kFixa = QString::fromUtf16(kChaveFixa);

// Keys of one and two characters, long keys, keys whose first two characters add up to more
// than 222 (the stop value wraps to U+FEE0..U+FFFF) and keys with characters above U+00FF.
const QStringList kKeys = {
    "K",         "7",  "k9",  "AJ", "MP",  kFixa,       "SEGREDO",   "Chave-Secreta-2024",
    "uma chave bem comprida para o painel da clinica", "zz", "~}", u16({0xFF, 0xFE}),
    u16({0x0141, 0x20AC}), QString(300, u'x'),
};

// Ordinary user names, passwords, database paths and keys.
const QStringList kPlains = {
    "SYSDBA", "operador", "joao.silva", "masterkey", "S3nh@#2024!", "minha senha",
    "C:\\Dados\\clinica.fdb", "servidor/3050:/var/lib/firebird/data/clinica.fdb",
    "192.168.0.10:C:\\Sistemas\\Banco\\FATURA.FDB", "Recepção", "ravoske", "a=b;c'd\"e", "x", "",
};

QByteArray utf16le(const QString& s) {
    QStringEncoder enc(QStringEncoder::Utf16LE);
    return QByteArray("\xFF\xFE", 2) + QByteArray(enc.encode(s));
}

// The characters a config.ini of the storage can hold: every Windows-1252 byte as the panel
// decodes it, or (with a byte-order mark) U+0000 to U+01FF, which covers every low byte twice.
std::vector<char16_t> storableCharacters(IniStorage storage) {
    std::vector<char16_t> out;
    if (storage == IniStorage::Unicode) {
        for (char16_t c = 0; c < 0x200; ++c) out.push_back(c);
        return out;
    }
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        out.push_back(cp1252::decode(QByteArrayView(&byte, 1)).at(0).unicode());
    }
    return out;
}

// Characters that, stored at position i (1-based) of an m-character value, stay in the value
// and make Descriptografar give plain[i - 1] there.
std::vector<char16_t> workingCharacters(const QString& plain, qsizetype i, const QString& key,
                                        IniStorage storage) {
    const qsizetype m = plain.size();
    // A filler for the positions before i that does not stop the decoding.
    QString prefix;
    for (char16_t f : {u'A', u'B'}) {
        if (Descriptografar(QString(f), key).size() == 1) {
            prefix = QString(i - 1, QChar(f));
            break;
        }
    }
    std::vector<char16_t> out;
    for (char16_t c : storableCharacters(storage)) {
        if (c == 0 || c == '\n' || c == '\r') continue;
        if ((i == 1 || i == m) && (c == ' ' || c == '\t')) continue;
        const QString decoded = Descriptografar(prefix + QChar(c), key);
        if (decoded.size() == i && decoded.back() == plain[i - 1]) out.push_back(c);
    }
    return out;
}

bool allVisible(const std::vector<char16_t>& cs) {
    for (char16_t c : cs)
        if (QChar(c).isPrint() && !QChar(c).isSpace()) return false;
    return true;
}

// Writes usuario=<encoded> into a config.ini of the storage and reads it back as the panel does.
QString throughConfigIni(const TestDir& dir, const QString& encoded, IniStorage storage) {
    const QString text = "[sgbd]\r\nusuario=" + encoded + "\r\ncripto=S\r\n";
    const QByteArray bytes = storage == IniStorage::Ansi ? cp1252::encode(text) : utf16le(text);
    const TIniFile ini(dir.write("config.ini", bytes));
    return ini.ReadString("sgbd", "usuario", "<missing>");
}

TEST(EncodeCredential, RoundTripsOrRefusesExactlyWhenNoCharacterWorks) {
    TestDir dir;
    int encoded = 0, refused = 0;
    for (const IniStorage storage : {IniStorage::Ansi, IniStorage::Unicode}) {
        for (const QString& key : kKeys) {
            for (const QString& plain : kPlains) {
                const auto what = [&] {
                    return (storage == IniStorage::Ansi ? "ANSI, key " : "Unicode, key ") +
                           key.left(20).toStdString() + ", text " + plain.toStdString();
                };
                const EncodeResult r = encodeCredential(plain, key, storage);

                // The first position that no storable character can give.
                qsizetype firstImpossible = 0;
                std::vector<std::vector<char16_t>> working;
                for (qsizetype i = 1; i <= plain.size(); ++i) {
                    working.push_back(workingCharacters(plain, i, key, storage));
                    if (working.back().empty() && firstImpossible == 0) firstImpossible = i;
                }
                if (firstImpossible > 0) {
                    ASSERT_FALSE(r.ok()) << what();
                    EXPECT_EQ(r.failure->position, firstImpossible) << what();
                    EXPECT_EQ(r.failure->character, plain[firstImpossible - 1].unicode()) << what();
                    ++refused;
                    continue;
                }
                ASSERT_TRUE(r.ok()) << what() << ": " << r.failure->message().toStdString();
                ++encoded;
                EXPECT_EQ(Descriptografar(r.text, key), plain) << what();
                EXPECT_EQ(throughConfigIni(dir, r.text, storage), r.text) << what();
                if (storage == IniStorage::Ansi) {
                    EXPECT_TRUE(cp1252::canEncode(r.text)) << what();
                }
                // A visible character wherever one would do.
                for (qsizetype i = 1; i <= plain.size(); ++i) {
                    const bool visible = QChar(r.text[i - 1]).isPrint() && !QChar(r.text[i - 1]).isSpace();
                    EXPECT_EQ(visible, !allVisible(working[i - 1]) ) << what() << " position " << i;
                    EXPECT_EQ(r.invisible.contains(i), !visible) << what() << " position " << i;
                }
            }
        }
    }
    // Both outcomes occur in the table.
    EXPECT_GT(encoded, 100);
    EXPECT_GT(refused, 20);
}

TEST(EncodeCredential, OrdinaryTextsWithOrdinaryKeys) {
    // What an administrator relies on: upper-case keys in an ANSI config.ini, and any of these
    // keys in a UTF-16 one.
    const struct {
        QString plain;
        QString key;
        IniStorage storage;
        bool visible = true;
    } cases[] = {
        {"SYSDBA", "ABC", IniStorage::Ansi},
        {"S3NH@ FORTE!", "ABC", IniStorage::Ansi},
        {"s3nh@ forte!", "azul1234", IniStorage::Ansi, false}, // the blank becomes U+000F
        {"operador", "azul1234", IniStorage::Ansi},
        {"ABC", kFixa, IniStorage::Ansi},
        {"operador", "SEGREDO", IniStorage::Unicode},
        {"masterkey", "k9", IniStorage::Unicode},
        {"C:\\Dados\\clinica.fdb", "Chave-Secreta-2024", IniStorage::Unicode},
        {"servidor/3050:/var/lib/firebird/data/clinica.fdb", "zz", IniStorage::Unicode},
        {"segredo", kFixa, IniStorage::Unicode},
        {"Recepção", "uma chave bem comprida para o painel da clinica", IniStorage::Unicode},
    };
    for (const auto& c : cases) {
        const EncodeResult r = encodeCredential(c.plain, c.key, c.storage);
        ASSERT_TRUE(r.ok()) << c.plain.toStdString() << ": " << r.failure->message().toStdString();
        EXPECT_EQ(Descriptografar(r.text, c.key), c.plain);
        EXPECT_EQ(r.invisible.isEmpty(), c.visible) << c.plain.toStdString();
    }
}

TEST(EncodeCredential, AnsiFriendlyKeysEncodeEveryAsciiText) {
    // With (second character - first character) + length between 27 and 34 the encoded
    // characters of printable ASCII stay within U+000E..U+007F, all storable in Windows-1252;
    // with the first two characters adding up to 209 or more the stop value is below U+000E
    // (or wraps above U+FEDF) and is never met.
    for (const QString& key : {QString("az"), QString("azul1234"), QString("by-chave"), QString("fzzzzzzzz")}) {
        for (char16_t p = 0x20; p < 0x7F; ++p) {
            const QString plain(13, QChar(p)); // every position of the counter cycle
            const EncodeResult r = encodeCredential(plain, key, IniStorage::Ansi);
            ASSERT_TRUE(r.ok()) << key.toStdString() << " '" << char(p) << "': " << r.failure->message().toStdString();
            EXPECT_EQ(Descriptografar(r.text, key), plain);
        }
    }
}

TEST(EncodeCredential, Refusals) {
    const struct {
        QString plain;
        QString key;
        IniStorage storage;
        Reason reason;
        qsizetype position;
        const char* inMessage;
    } cases[] = {
        {"abc", "", IniStorage::Unicode, Reason::EmptyKey, 0, "chave não pode ser vazia"},
        {QString(2048, u'a'), "ABC", IniStorage::Unicode, Reason::TooLong, 0, "2047"},
        // Key "!~": position 2 gives only U+004D..U+014C, so a blank is out of reach.
        {"a b", "!~", IniStorage::Unicode, Reason::OutOfRange, 2, "de U+004D a U+014C"},
        // Key "MP": stop = 222 - 77 - 80 = 65 'A'; '5' at position 1 needs low byte
        // 53 + 12 = 65, and Windows-1252 has no other character with that low byte.
        {"5", "MP", IniStorage::Ansi, Reason::StopValue, 1, "U+0041"},
        // Key "SEGREDO": 'o' at position 1 needs low byte 111 + 24 = 0x87, which no
        // Windows-1252 byte gives (byte 0x87 reads as U+2021).
        {"operador", "SEGREDO", IniStorage::Ansi, Reason::NotStorable, 1, "0x87"},
        // Key "A~": offset 2 - 1 + 61 - 16 = 46 at position 1; '8' (56) needs 10, a line feed.
        {"8", "A~", IniStorage::Ansi, Reason::NotStorable, 1, "quebra de linha"},
        // ... and '7' (55) needs 9, a tab, which reading drops at the start of a value.
        {"7", "A~", IniStorage::Ansi, Reason::NotStorable, 1, "começo do valor"},
        // Key "AJ": offsets -6 and -7; "! " needs the apostrophe (39) at both ends.
        {"! ", "AJ", IniStorage::Ansi, Reason::Quotes, 0, "'''"},
    };
    for (const auto& c : cases) {
        const EncodeResult r = encodeCredential(c.plain, c.key, c.storage);
        ASSERT_FALSE(r.ok()) << c.plain.left(10).toStdString();
        EXPECT_TRUE(r.text.isEmpty());
        EXPECT_EQ(r.failure->reason, c.reason) << c.plain.left(10).toStdString();
        EXPECT_EQ(r.failure->position, c.position) << c.plain.left(10).toStdString();
        EXPECT_TRUE(r.failure->message().contains(QString::fromUtf8(c.inMessage)))
            << r.failure->message().toStdString();
    }
    // With a byte-order mark the same texts encode (U+01xx characters stand in).
    for (const auto& [plain, key] : {std::pair<QString, QString>{"5", "MP"}, {"operador", "SEGREDO"},
                                     {"8", "A~"}, {"7", "A~"}, {"! ", "AJ"}}) {
        const EncodeResult r = encodeCredential(plain, key, IniStorage::Unicode);
        ASSERT_TRUE(r.ok()) << plain.toStdString();
        EXPECT_EQ(Descriptografar(r.text, key), plain);
    }
}

TEST(IniDocument, SetValueWhereThePanelReadsIt) {
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        // Replaces the first matching key of the first matching section, names in any case.
        {"[SGBD]\r\nUsuario = velho\r\nusuario=segundo\r\n",
         "[SGBD]\r\nusuario=NOVO\r\nusuario=segundo\r\n"},
        // Adds after the section's last line, before the blank lines that end it.
        {"[fonte]\r\na=1\r\n[sgbd]\r\ncripto=S\r\n\r\n[definicao]\r\nrepetirvideo=S\r\n",
         "[fonte]\r\na=1\r\n[sgbd]\r\ncripto=S\r\nusuario=NOVO\r\n\r\n[definicao]\r\nrepetirvideo=S\r\n"},
        // A second [sgbd] is not read by the panel: the first one gets the value.
        {"[sgbd]\nfatura=x\n[outra]\n[sgbd]\nusuario=y\n", "[sgbd]\nfatura=x\nusuario=NOVO\n[outra]\n[sgbd]\nusuario=y\n"},
        // A key outside any section does not count.
        {"usuario=solto\n[fonte]\na=1\n", "usuario=solto\n[fonte]\na=1\n\n[sgbd]\nusuario=NOVO\n"},
        {"", "[sgbd]\r\nusuario=NOVO\r\n"},
    };
    for (const auto& c : cases) {
        IniDocument doc = IniDocument::fromBytes(c.before);
        doc.setValue("sgbd", "usuario", "NOVO");
        EXPECT_EQ(doc.toBytes(), QByteArray(c.after)) << c.before;
    }
}

TEST(IniDocument, KeepsTheFileEncoding) {
    TestDir dir;
    const QString value = u16({0x0192, 0x20AC, 'a', 0x00E7}); // ƒ € a ç: all in Windows-1252
    const QString text = QStringLiteral("[sgbd]\r\nfatura=Recepção\r\n");
    QStringEncoder be(QStringEncoder::Utf16BE);
    const QByteArray variants[] = {cp1252::encode(text), "\xEF\xBB\xBF" + text.toUtf8(), utf16le(text),
                                   QByteArray("\xFE\xFF", 2) + QByteArray(be.encode(text))};
    const IniDocument::Encoding expected[] = {IniDocument::Encoding::Ansi, IniDocument::Encoding::Utf8Bom,
                                              IniDocument::Encoding::Utf16LE, IniDocument::Encoding::Utf16BE};
    for (int i = 0; i < 4; ++i) {
        IniDocument doc = IniDocument::fromBytes(variants[i]);
        EXPECT_EQ(doc.encoding, expected[i]);
        doc.setValue("sgbd", "senha", value);
        const QByteArray bytes = doc.toBytes();
        EXPECT_EQ(bytes.left(2), variants[i].left(2));
        const TIniFile ini(dir.write(QString("c%1.ini").arg(i), bytes));
        EXPECT_EQ(ini.ReadString("sgbd", "senha", ""), value) << i;
        EXPECT_EQ(ini.ReadString("sgbd", "fatura", ""), QStringLiteral("Recepção")) << i;
    }
}

// The tool itself.

struct ToolRun {
    int exitCode;
    QString out;
    QString err;
};

ToolRun codificar(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(QStringLiteral(CODIFICAR_PATH), args);
    EXPECT_TRUE(p.waitForStarted());
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(Codificar, PreparesAConfigIniThePanelDecodes) {
    TestDir dir;
    const QString ini = dir.write("config.ini", "[fonte]\r\ntamanhofontenome=40\r\n\r\n[sgbd]\r\ncripto=S\r\n");
    const QString key = "ABC";
    ASSERT_EQ(codificar({"--chave", key, "--ini", ini, "--campo", "usuario", "SYSDBA"}).exitCode, 0);
    ASSERT_EQ(codificar({"--chave", key, "--ini", ini, "--campo", "senha"}, "S3NH@ FORTE!\n").exitCode, 0);
    const ToolRun r = codificar({"--chave-fixa", "--ini", ini, "--campo", "chave", key});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Conferido"));

    // Read back as the panel's start-up does with cripto "S" and a stored key.
    const TIniFile cfg(ini);
    EXPECT_EQ(cfg.ReadString("fonte", "tamanhofontenome", ""), "40");
    EXPECT_EQ(cfg.ReadString("sgbd", "cripto", ""), "S");
    const QString decodedKey = Descriptografar(cfg.ReadString("sgbd", "chave", ""), kFixa);
    EXPECT_EQ(decodedKey, key);
    EXPECT_EQ(Descriptografar(cfg.ReadString("sgbd", "usuario", ""), decodedKey), "SYSDBA");
    EXPECT_EQ(Descriptografar(cfg.ReadString("sgbd", "senha", ""), decodedKey), "S3NH@ FORTE!");
    EXPECT_NE(cfg.ReadString("sgbd", "usuario", ""), "SYSDBA");
}

TEST(Codificar, Utf16ConfigIni) {
    TestDir dir;
    const QString ini = dir.file("config.ini");
    const ToolRun r = codificar({"--chave", "SEGREDO", "--utf16", "--ini", ini, "--campo", "fatura",
                             "servidor/3050:/dados/clinica.fdb"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(fileBytes(ini).startsWith("\xFF\xFE"));
    EXPECT_EQ(Descriptografar(TIniFile(ini).ReadString("sgbd", "fatura", ""), "SEGREDO"),
              "servidor/3050:/dados/clinica.fdb");
    // The file keeps its encoding on the next run, without --utf16.
    ASSERT_EQ(codificar({"--chave", "SEGREDO", "--ini", ini, "--campo", "usuario", "operador"}).exitCode, 0);
    EXPECT_EQ(Descriptografar(TIniFile(ini).ReadString("sgbd", "usuario", ""), "SEGREDO"), "operador");
}

TEST(Codificar, PrintsTheLineWithoutAFile) {
    const ToolRun r = codificar({"--chave", "ABC", "--campo", "usuario", "SYSDBA"});
    ASSERT_EQ(r.exitCode, 0);
    const EncodeResult expected = encodeCredential("SYSDBA", "ABC", IniStorage::Ansi);
    EXPECT_TRUE(r.out.contains("usuario=" + expected.text + "\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("ANSI"));
}

TEST(Codificar, RefusesAndLeavesTheFileAlone) {
    TestDir dir;
    const QByteArray before = "[sgbd]\r\nusuario=antigo\r\n";
    const QString ini = dir.write("config.ini", before);
    const struct {
        QStringList args;
        int exitCode;
        const char* inMessage;
    } cases[] = {
        {{"--chave", "SEGREDO", "--ini", ini, "--campo", "usuario", "operador"}, 1, "--utf16"},
        {{"--chave", "!~", "--ini", ini, "--campo", "usuario", "a b"}, 1, "posição 2"},
        {{"--chave", "", "--ini", ini, "--campo", "usuario", "x"}, 1, "vazia"},
        {{"--ini", ini, "--campo", "usuario", "x"}, 2, "--chave"},
        {{"--chave", "A", "--chave-fixa", "x"}, 2, "--chave"},
        {{"--chave", "ABC", "--ini", ini, "x"}, 2, "--campo"},
        {{"--chave", "ABC", "--ini", ini, "--campo", "nome", "x"}, 2, "usuario, senha, fatura ou chave"},
        {{"--chave", "ABC", "--ini", ini, "--campo", "chave", "x"}, 2, "--chave-fixa"},
        {{"--chave", "ABC", "--utf16", "--ini", ini, "--campo", "senha", "x"}, 2, "ANSI"},
    };
    for (const auto& c : cases) {
        const ToolRun r = codificar(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.inMessage))) << r.err.toStdString();
        EXPECT_EQ(fileBytes(ini), before);
    }
}

} // namespace
