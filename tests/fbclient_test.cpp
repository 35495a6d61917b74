// The database layer's parts that need no database: loading the client library, the parameter
// blocks, the fields' display and the record blocks.

#include "base/errors.h"
#include "db/database.h"
#include "db/fbclient.h"
#include "db/fields.h"
#include "db/recordbuffer.h"
#include "db/transaction.h"
#include "tests/support/printers.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

namespace {

const QString kMissingLibraryText = QStringLiteral(
    "Error reading Fatura.ServerType: InterBase library libfbclient.so.2 not found in the path. "
    "Please install InterBase to use this functionality");

// Sets PAINEL_FBCLIENT for one test.
class LibraryOverride {
public:
    explicit LibraryOverride(const QString& value) {
        qputenv("PAINEL_FBCLIENT", value.toLocal8Bit());
    }
    ~LibraryOverride() { qunsetenv("PAINEL_FBCLIENT"); }
};

QString loadError() {
    try {
        FbClient client;
        return QStringLiteral("<loaded %1>").arg(client.library());
    } catch (const EDatabaseError& e) {
        return e.text();
    }
}

TEST(ClientLibrary, LoadsTheInstalledClient) {
    qunsetenv("PAINEL_FBCLIENT");
    EXPECT_EQ(FbClient::libraryName(), QStringLiteral("libfbclient.so.2"));
    FbClient client;
    EXPECT_EQ(client.library(), QStringLiteral("libfbclient.so.2"));
    EXPECT_NE(client.resolve("isc_dsql_execute_immediate"), nullptr);
    EXPECT_EQ(client.resolve("no_such_entry_point"), nullptr);
}

TEST(ClientLibrary, MissingLibraryGivesTheInstallMessage) {
    TestDir dir;
    LibraryOverride missing(dir.file(QStringLiteral("libfbclient.so.2")));
    EXPECT_EQ(loadError(), kMissingLibraryText);
}

TEST(ClientLibrary, LibraryWithoutTheEntryPointsIsNotAClient) {
    LibraryOverride other(QStringLiteral("libz.so.1"));
    EXPECT_EQ(loadError(),
              QString(kMissingLibraryText)
                  .replace(QLatin1String("libfbclient.so.2"), QLatin1String("libz.so.1")));
}

TEST(ConnectionParameters, BuiltInLinesAndName) {
    FbClient client;
    Database Fatura(client);
    EXPECT_EQ(Fatura.params(), QStringList({"user_name=sysdba", "password=tavelo37"}));
    EXPECT_EQ(Fatura.databaseName(), QStringLiteral("servidor/3050:/dados/fatura.FDB"));
    EXPECT_FALSE(Fatura.connected());
    EXPECT_EQ(Fatura.dialect(), 3);
    Transaction TransFatura(Fatura);
    EXPECT_EQ(TransFatura.params(), QStringList({"read_committed", "rec_version", "nowait", "read"}));
    EXPECT_FALSE(TransFatura.active());
}

TEST(ConnectionParameters, TheAttachAddsTheConnectTimeOutAndTheUtf8NameMark) {
    FbClient client;
    Database Fatura(client);
    Fatura.params() = QStringList{"user_name=SYSDBA", "password=pw"};
    const QByteArray lines = Database::parameterBlock(Fatura.params());
    for (const auto& [bound, seconds] : {std::pair{1500, 2}, {5000, 5}, {300, 1}, {65000, 65}}) {
        Fatura.setTimeout(std::chrono::milliseconds(bound));
        QByteArray expected = lines;
        expected += QByteArray::fromHex("3904") + QByteArray(1, char(seconds)) + QByteArray::fromHex("000000");
        expected += QByteArray::fromHex("4d00");
        EXPECT_EQ(Fatura.attachBlock().toHex(' '), expected.toHex(' ')) << bound;
    }
}

TEST(ConnectionParameters, DatabaseParameterBlock) {
    const struct {
        QStringList lines;
        QByteArray block;
    } cases[] = {
        {{"user_name=sysdba", "password=tavelo37"},
         QByteArray("\x01\x1c\x06sysdba\x1d\x08tavelo37")},
        {{"password=x", "user_name=ab"},
         QByteArray("\x01\x1d\x01x\x1c\x02"
                    "ab")},
        {{"user_name=", "password="}, QByteArray("\x01\x1c\x00\x1d\x00", 5)},
        {{"user_name=JOSÉ", "password=çã"}, QByteArray("\x01\x1c\x04JOS\xc9\x1d\x02\xe7\xe3")},
        {{"user_name=a=b"},
         QByteArray("\x01\x1c\x03"
                    "a=b")},
        {{"role=x", "user_name"}, QByteArray("\x01")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Database::parameterBlock(c.lines).toHex(' '), c.block.toHex(' '))
            << c.lines.join('|').toStdString();
}

TEST(ConnectionParameters, OverlongTextIsCutToWhatALengthByteHolds) {
    const QByteArray block =
        Database::parameterBlock({QStringLiteral("password=") + QString(300, QLatin1Char('p'))});
    ASSERT_EQ(block.size(), 1 + 2 + 255);
    EXPECT_EQ(quint8(block[2]), 255);
}

TEST(TransactionParameters, BlockFollowsTheLines) {
    EXPECT_EQ(Transaction::parameterBlock({"read_committed", "rec_version", "nowait"}).toHex(' '),
              QByteArray("\x03\x0f\x11\x07").toHex(' '));
    EXPECT_EQ(Transaction::parameterBlock({"concurrency", "wait", "read"}).toHex(' '),
              QByteArray("\x03\x02\x06\x08").toHex(' '));
    try {
        Transaction::parameterBlock({"read_commited"});
        FAIL() << "a misspelt parameter was accepted";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Invalid transaction parameter read_commited"));
    }
}

TEST(Fields, CallsListFieldsInQueryOrder) {
    QStringList names, labels, types;
    for (const Field& f : callsListFields()) {
        names << f.name;
        labels << f.displayLabel;
        types << fieldTypeName(f.type);
    }
    EXPECT_EQ(names, QStringList({"INDICE", "CODIGOPAC", "DATA", "GUICHE", "SENHA", "STATUS",
                                  "NOMEGUICHE", "SENHA1", "NR_GUICHE_CHAMOU"}));
    EXPECT_EQ(labels, QStringList({"Indice", "Pront.", "Data", "Guiche", "Senha", "Status",
                                   "Guiche", "Senha", "NR_GUICHE_CHAMOU"}));
    EXPECT_EQ(types, QStringList({"Integer", "Integer", "DateTime", "Integer", "Integer", "String",
                                  "String", "String", "String"}));
}

TEST(Fields, DisplayText) {
    const auto& f = callsListFields();
    const QDateTime march7(QDate(2024, 3, 7), QTime(0, 0), Qt::UTC);
    const struct {
        const Field& field;
        QVariant value;
        const char* text;
    } cases[] = {
        {f[0], 42, "42"},
        {f[0], -7, "-7"},
        {f[0], QVariant(), ""},
        {f[2], march7, "07/03/2024"},
        {f[2], QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59), Qt::UTC), "31/12/1999"},
        {f[2], QVariant(), ""},
        {f[7], QStringLiteral("REC-12"), "REC-12"},
        {f[7], QVariant(), ""},
        {f[6], QStringLiteral("RECEPÇÃO "), "RECEPÇÃO "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(displayText(c.field, c.value), QString::fromUtf8(c.text)) << c.text;
}

TEST(Fields, DateTimeFormats) {
    const QDateTime t(QDate(2005, 1, 9), QTime(8, 5, 3), Qt::UTC);
    const struct {
        const char* format;
        const char* text;
    } cases[] = {
        {"dd/mm/yyyy", "09/01/2005"},
        {"d/m/yy", "9/1/05"},
        {"yyyy-mm-dd", "2005-01-09"},
        {"hh:nn:ss", "08:05:03"},
        {"h:n", "8:5"},
        {"DD/MM/YYYY", "09/01/2005"},
        {"[dd.mm]", "[09.01]"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatDateTime(QString::fromUtf8(c.format), t), QString::fromUtf8(c.text))
            << c.format;
}

TEST(RecordBlocks, AllocatedAThousandRecordsAtATime) {
    RecordBuffer records(3);
    const struct {
        int size;
        int blocks;
    } steps[] = {{0, 0}, {1, 1}, {1000, 1}, {1001, 2}, {2000, 2}, {2500, 3}};
    for (const auto& step : steps) {
        while (records.size() < step.size) {
            QVariant* r = records.append();
            r[0] = records.size();
            r[2] = QStringLiteral("r%1").arg(records.size());
        }
        EXPECT_EQ(records.blockCount(), step.blocks) << step.size;
    }
    for (int i : {0, 999, 1000, 2499}) {
        EXPECT_EQ(records.value(i, 0).toInt(), i + 1);
        EXPECT_TRUE(records.value(i, 1).isNull());
        EXPECT_EQ(records.value(i, 2).toString(), QStringLiteral("r%1").arg(i + 1));
    }
    records.clear();
    EXPECT_EQ(records.size(), 0);
    EXPECT_EQ(records.blockCount(), 0);
}

} // namespace
