// The database credentials of config.ini: stored as they are or encoded, with the key taken from
// config.ini or asked for once.

#include "config/credentials.h"
#include "config/xcripto.h"
#include "db/database.h"
#include "tests/support/startupfixture.h"
#include "tools/cripto/credentialencoder.h"

#include <QRegularExpression>

namespace {

QString encode(const QString& plain, const QString& key) {
    const EncodeResult r = encodeCredential(plain, key, IniStorage::Unicode);
    EXPECT_TRUE(r.ok()) << plain.toStdString() << " with " << key.toStdString();
    return r.text;
}

const QString kKey = QStringLiteral("chave9");
const QString kFixed = QString::fromUtf16(kChaveFixa);

struct CredentialRow {
    const char* what;
    QString sgbd;          // the [sgbd] section's lines, without fatura
    QString fatura;        // as stored
    QString typed;         // what the operator types at the prompt
    QStringList params;    // the connection's lines afterwards
    QString path;          // the database path afterwards
    int prompts;
};

QString iniText(const CredentialRow& row) {
    return QStringLiteral("[sgbd]\r\n") + row.sgbd + QStringLiteral("fatura=") + row.fatura + QStringLiteral("\r\n");
}

TEST(Credentials, EveryCaseOfCripto) {
    const QStringList builtIn = {"user_name=sysdba", "password=tavelo37"};
    const QString chave = encode(kKey, kFixed);
    const QString user = encode("operador", kKey), pass = encode("s3nha!", kKey), path = encode("/dados/clinica.fdb", kKey);
    const CredentialRow rows[] = {
        {"cripto S with chave", "usuario=" + user + "\r\nsenha=" + pass + "\r\ncripto=S\r\nchave=" + chave + "\r\n",
         "/dados/clinica.fdb", "", {"user_name=operador", "password=s3nha!"}, "/dados/clinica.fdb", 0},
        {"cripto T with chave", "usuario=" + user + "\r\nsenha=" + pass + "\r\ncripto=T\r\nchave=" + chave + "\r\n",
         path, "", {"user_name=operador", "password=s3nha!"}, "/dados/clinica.fdb", 0},
        {"cripto T, key asked", "usuario=" + user + "\r\nsenha=" + pass + "\r\ncripto=T\r\n", path, kKey,
         {"user_name=operador", "password=s3nha!"}, "/dados/clinica.fdb", 1},
        {"cripto S, prompt closed empty", "usuario=abc\r\nsenha=def\r\ncripto=S\r\nchave=\r\n", "/x.fdb", "",
         {"user_name=abc", "password=def"}, "/x.fdb", 1},
        {"cripto s is not encoded", "usuario=abc\r\nsenha=def\r\ncripto=s\r\nchave=" + chave + "\r\n", path, kKey,
         {"user_name=abc", "password=def"}, path, 0},
        {"cripto with blanks and quotes", "usuario=" + user + "\r\nsenha=" + pass + "\r\ncripto= \"S\" \r\nchave=" + chave + "\r\n",
         "/p.fdb", "", {"user_name=operador", "password=s3nha!"}, "/p.fdb", 0},
        {"cripto empty", "usuario=abc\r\nsenha=\r\n", "/p.fdb", "", {"user_name=abc", "password="}, "/p.fdb", 0},
        {"no usuario keeps the built-in lines, whatever cripto says", "cripto=T\r\nsenha=zzz\r\n", path, kKey,
         builtIn, path, 0},
        {"no usuario, no senha line", "", "/p.fdb", "", builtIn, "/p.fdb", 0},
    };
    for (const CredentialRow& row : rows) {
        SCOPED_TRACE(row.what);
        TestDir dir;
        QByteArray bytes("\xFF\xFE", 2);
        const QString text = iniText(row);
        bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        const TIniFile ini(dir.write("config.ini", bytes));
        QStringList params = builtIn;
        int prompts = 0;
        const auto result = applyDatabaseSettings(ini, params, [&] {
            ++prompts;
            return row.typed;
        });
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(params, row.params);
        EXPECT_EQ(*result, row.path);
        EXPECT_EQ(prompts, row.prompts);
    }
}

TEST(Credentials, ANonEmptyChaveNeverAsksEvenWhenWrong) {
    TestDir dir;
    const TIniFile ini(dir.write("config.ini", "[sgbd]\r\nusuario=abc\r\ncripto=S\r\nchave=zz\r\nfatura=/p.fdb\r\n"));
    QStringList params = {"user_name=sysdba", "password=tavelo37"};
    int prompts = 0;
    applyDatabaseSettings(ini, params, [&] {
        ++prompts;
        return QString();
    });
    EXPECT_EQ(prompts, 0);
    EXPECT_EQ(params[0], QStringLiteral("user_name=") + Descriptografar("abc", Descriptografar("zz", kFixed)));
}

TEST(Credentials, AnEmptyFaturaGivesNoPath) {
    TestDir dir;
    const TIniFile ini(dir.write("config.ini", "[sgbd]\r\nusuario=abc\r\n"));
    QStringList params = {"user_name=sysdba", "password=tavelo37"};
    EXPECT_FALSE(applyDatabaseSettings(ini, params, [] { return QString(); }).has_value());
    EXPECT_EQ(params[0], QStringLiteral("user_name=abc"));
}

class EncodedStartUpTest : public StartupFixture {};

TEST_F(EncodedStartUpTest, AnEncodedPathOpensTheDatabaseOnlyWithTheRightKey) {
    const QString encodedPath = encode(database, kKey);
    const QString ini = QStringLiteral("[sgbd]\r\nusuario=") + encode("SYSDBA", kKey) + QStringLiteral("\r\nsenha=") +
                        encode("masterkey", kKey) + QStringLiteral("\r\ncripto=T\r\nfatura=") + encodedPath + QStringLiteral("\r\n");
    writeConfigServer(configServer());
    const struct {
        QString typed;
        bool opens;
    } cases[] = {{kKey, true}, {QStringLiteral("xyz"), false}, {QString(), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        report = RecordingErrorReport{};
        keyPrompts = 0;
        keyTyped = c.typed;
        writeIniUtf16(ini);
        startUp();
        EXPECT_EQ(keyPrompts, 1);
        EXPECT_EQ(window->Fatura->connected(), c.opens) << report.errors.join('|').toStdString();
        EXPECT_EQ(report.errors.isEmpty(), c.opens);
        if (c.opens) {
            EXPECT_EQ(window->Fatura->databaseName(), database);
        }
        window.reset();
    }
}

} // namespace
