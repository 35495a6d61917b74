// The calls list read from a real Firebird database, opened embedded and through the test
// server: what is listed, in which order, how other connections' changes show, how rows are
// fetched, and every failure's message.

#include "base/errors.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "db/fbclient.h"
#include "db/transaction.h"
#include "tests/support/firebird.h"
#include "tests/support/printers.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

namespace {

enum class Access { Embedded, Server };

std::string accessName(const testing::TestParamInfo<Access>& info) {
    return info.param == Access::Embedded ? "Embedded" : "Server";
}

// A fresh database with the calling system's tables and two counters, and the three objects
// the main window holds, built as it builds them.
class CallsList : public testing::TestWithParam<Access> {
protected:
    void SetUp() override {
        if (GetParam() == Access::Server) {
            server = sharedServer();
            if (!server)
                GTEST_SKIP() << "no Firebird test server: PAINEL_FB_SERVER_PORT is not set "
                                "(tools/test.sh starts one with tests/support/fbserver.sh)";
        }
        path = dir.file(QStringLiteral("fatura.FDB"));
        name = server ? server->databaseName(path) : path;
        params = server ? server->params() : embeddedParams();
        station = std::make_unique<FbSession>(FbSession::create(name, params));
        station->createSchema();
        station->addCounter(1, QStringLiteral("RECEPÇÃO - GUICHE 1"), QStringLiteral("REC"));
        station->addCounter(2, QStringLiteral("TRIAGEM"), std::nullopt);
        build();
    }

    void build() {
        Fatura = std::make_unique<Database>(testClient());
        Fatura->setDatabaseName(name);
        Fatura->params() = params;
        TransFatura = std::make_unique<Transaction>(*Fatura);
        GUICHELISTA = std::make_unique<CallsQuery>(*Fatura, *TransFatura);
    }

    void release() {
        GUICHELISTA.reset();
        TransFatura.reset();
        Fatura.reset();
    }

    void TearDown() override { release(); }

    // Fetches every remaining row.
    void fetchAll() {
        while (GUICHELISTA->canFetchMore())
            GUICHELISTA->fetchMore();
    }

    int column(const char* field) const { return GUICHELISTA->fieldIndex(QLatin1String(field)); }

    // One field of every row, as the grid shows it.
    QStringList shown(const char* field) {
        fetchAll();
        QStringList texts;
        for (int row = 0; row < GUICHELISTA->rowCount(); ++row)
            texts << GUICHELISTA->data(GUICHELISTA->index(row, column(field))).toString();
        return texts;
    }

    // The attachments other than the station's own.
    int otherAttachments() {
        return station
            ->scalar(
                QStringLiteral("SELECT CAST(COUNT(*) AS INTEGER) FROM MON$ATTACHMENTS WHERE "
                               "MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0"))
            .toInt();
    }

    // The transaction and the statement that the list's attachment holds.
    QVariant listTransaction() {
        return ofListAttachment(QStringLiteral("MON$TRANSACTION_ID"),
                                QStringLiteral("MON$TRANSACTIONS"));
    }
    QVariant listStatements() {
        return ofListAttachment(QStringLiteral("MON$STATEMENT_ID"),
                                QStringLiteral("MON$STATEMENTS"));
    }
    QVariant ofListAttachment(const QString& column, const QString& table) {
        return station->scalar(
            QStringLiteral(
                "SELECT CAST(LIST(X.%1) AS VARCHAR(200)) FROM %2 X JOIN MON$ATTACHMENTS A "
                "ON A.MON$ATTACHMENT_ID = X.MON$ATTACHMENT_ID WHERE "
                "A.MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND A.MON$SYSTEM_FLAG = 0")
                .arg(column, table));
    }

    QString openError() {
        try {
            GUICHELISTA->open();
            return QStringLiteral("<opened>");
        } catch (const EDatabaseError& e) {
            EXPECT_FALSE(GUICHELISTA->isActive()) << "the list stays closed after a failure";
            EXPECT_EQ(GUICHELISTA->rowCount(), 0);
            return e.text();
        }
    }

    TestDir dir;
    std::optional<FbServer> server;
    QString path, name;
    QStringList params;
    std::unique_ptr<FbSession> station;
    std::unique_ptr<Database> Fatura;
    std::unique_ptr<Transaction> TransFatura;
    std::unique_ptr<CallsQuery> GUICHELISTA;
};

TEST_P(CallsList, EmptyDayOpensAnEmptyList) {
    GUICHELISTA->open();
    EXPECT_TRUE(Fatura->connected());
    EXPECT_TRUE(TransFatura->active());
    EXPECT_TRUE(GUICHELISTA->isActive());
    EXPECT_EQ(GUICHELISTA->rowCount(), 0);
    EXPECT_EQ(GUICHELISTA->columnCount(), 9);
    EXPECT_EQ(GUICHELISTA->recordNumber(0), 0);
    EXPECT_FALSE(GUICHELISTA->canFetchMore());
    EXPECT_TRUE(GUICHELISTA->atEnd());
}

TEST_P(CallsList, NewestFirstWithEveryField) {
    station->addCall({.indice = 7,
                      .codigopac = 1001,
                      .guiche = 1,
                      .senha = 12,
                      .status = "A",
                      .chamou = "1",
                      .order = 100});
    station->addCall(
        {.indice = 8, .codigopac = 1002, .guiche = 2, .senha = 13, .chamou = "2", .order = 300});
    station->addCall(
        {.indice = 9, .codigopac = 1003, .guiche = 1, .senha = 14, .status = "F", .order = 200});
    const QString before = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    GUICHELISTA->open();
    const QString after = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    ASSERT_EQ(GUICHELISTA->rowCount(), 3);
    EXPECT_EQ(shown("INDICE"), QStringList({"8", "9", "7"}));
    EXPECT_EQ(shown("CODIGOPAC"), QStringList({"1002", "1003", "1001"}));
    EXPECT_EQ(shown("GUICHE"), QStringList({"2", "1", "1"}));
    EXPECT_EQ(shown("SENHA"), QStringList({"13", "14", "12"}));
    EXPECT_EQ(shown("STATUS"), QStringList({"", "F", "A"}));
    EXPECT_EQ(shown("NOMEGUICHE"),
              QStringList({"TRIAGEM", "RECEPÇÃO - GUICHE 1", "RECEPÇÃO - GUICHE 1"}));
    EXPECT_EQ(shown("SENHA1"), QStringList({"", "REC-14", "REC-12"}));
    EXPECT_EQ(shown("NR_GUICHE_CHAMOU"), QStringList({"2", "", "1"}));
    for (const QString& day : shown("DATA"))
        EXPECT_TRUE(day == before || day == after) << day.toStdString();

    EXPECT_EQ(GUICHELISTA->recordNumber(0), 1);
    EXPECT_EQ(GUICHELISTA->recordNumber(2), 3);
    EXPECT_EQ(GUICHELISTA->recordNumber(3), 0);
    EXPECT_EQ(GUICHELISTA->headerData(2, Qt::Vertical).toInt(), 3);
    const auto labels = [&](const char* f) {
        return GUICHELISTA->headerData(column(f), Qt::Horizontal).toString();
    };
    EXPECT_EQ(labels("NR_GUICHE_CHAMOU"), QStringLiteral("NR_GUICHE_CHAMOU"));
    EXPECT_EQ(labels("NOMEGUICHE"), QStringLiteral("Guiche"));
    EXPECT_EQ(labels("SENHA1"), QStringLiteral("Senha"));
    EXPECT_EQ(labels("CODIGOPAC"), QStringLiteral("Pront."));
    EXPECT_EQ(GUICHELISTA->fieldIndex(QStringLiteral("NO_SUCH_FIELD")), -1);

    const QVariant null = GUICHELISTA->value(0, column("SENHA1"));
    EXPECT_TRUE(null.isNull()) << "a counter without a short name gives a null SENHA1";
    EXPECT_EQ(GUICHELISTA->data(GUICHELISTA->index(1, column("SENHA")), Qt::EditRole).toInt(), 14);
    EXPECT_EQ(GUICHELISTA->value(1, column("DATA")).toDateTime().time(), QTime(0, 0));
}

TEST_P(CallsList, OnlyTodaysCallsOfKnownCounters) {
    const struct {
        int indice;
        int day;
        int secondsIntoDay;
        int guiche;
        bool listed;
    } calls[] = {
        {1, 0, 0, 1, true},      // today, counter 1
        {2, 0, 0, 2, true},      // today, counter 2 (no short name)
        {3, -1, 0, 1, false},    // yesterday
        {4, 1, 0, 1, false},     // tomorrow
        {5, 0, 36000, 1, false}, // today at 10:00: DATA must be the day at midnight
        {6, 0, 0, 99, false},    // a counter that GUICHE does not hold
        {7, -365, 0, 1, false},  // a year ago
    };
    QStringList expected;
    for (const auto& c : calls) {
        station->addCall({.indice = c.indice,
                          .day = c.day,
                          .secondsIntoDay = c.secondsIntoDay,
                          .guiche = c.guiche,
                          .senha = c.indice,
                          .order = c.indice});
        if (c.listed) expected.prepend(QString::number(c.indice));
    }
    GUICHELISTA->open();
    EXPECT_EQ(shown("INDICE"), expected);
}

TEST_P(CallsList, Windows1252TextReadsBackRight) {
    const QString counter = QStringLiteral("CONSULTÓRIO ÇÃO àéîõü ¿ ÿ");
    const QString call = QStringLiteral("Nº 3 – SALA Ã “B” €");
    station->addCounter(3, counter, QStringLiteral("AÇÃO"));
    station->addCall({.indice = 1, .guiche = 3, .senha = 5, .status = "Ç", .chamou = call});
    GUICHELISTA->open();
    EXPECT_EQ(shown("NOMEGUICHE"), QStringList{counter});
    EXPECT_EQ(shown("NR_GUICHE_CHAMOU"), QStringList{call});
    EXPECT_EQ(shown("SENHA1"), QStringList{QStringLiteral("AÇÃO-5")});
    EXPECT_EQ(shown("STATUS"), QStringList{QStringLiteral("Ç")});
    // One byte per character in the database: stored as Windows-1252, not UTF-8.
    EXPECT_EQ(
        station->scalar(QStringLiteral("SELECT OCTET_LENGTH(NR_GUICHE_CHAMOU) FROM GUICHELISTA"))
            .toInt(),
        call.size());
}

TEST_P(CallsList, CommittedRowShowsAtTheNextRequery) {
    station->addCall({.indice = 1, .guiche = 1, .senha = 1, .order = 1});
    GUICHELISTA->open();
    ASSERT_EQ(shown("INDICE"), QStringList{"1"});

    station->addCall({.indice = 2, .guiche = 1, .senha = 2, .order = 2});
    EXPECT_EQ(shown("INDICE"), QStringList{"1"}) << "the open list is not read again by itself";
    GUICHELISTA->requery();
    EXPECT_EQ(shown("INDICE"), QStringList({"2", "1"}));
}

TEST_P(CallsList, UncommittedChangeShowsItsLastCommittedValues) {
    station->addCall({.indice = 1, .guiche = 1, .senha = 1, .chamou = "ANTES", .order = 1});
    GUICHELISTA->open();
    station->begin();
    station->execute(QStringLiteral("UPDATE GUICHELISTA SET NR_GUICHE_CHAMOU = 'DEPOIS'"));
    station->addCall({.indice = 2, .guiche = 1, .senha = 2, .order = 2});

    GUICHELISTA->requery(); // does not wait for the station's transaction
    EXPECT_EQ(shown("NR_GUICHE_CHAMOU"), QStringList{"ANTES"});

    station->commit();
    GUICHELISTA->requery();
    EXPECT_EQ(shown("NR_GUICHE_CHAMOU"), QStringList({"", "DEPOIS"}));
}

TEST_P(CallsList, OpenWhileOpenRunsNoQueryAndCloseWhileClosedDoesNothing) {
    station->addCall({.indice = 1, .guiche = 1, .senha = 1, .order = 1});
    GUICHELISTA->close();
    EXPECT_FALSE(GUICHELISTA->isActive());
    GUICHELISTA->open();
    station->addCall({.indice = 2, .guiche = 1, .senha = 2, .order = 2});
    QSignalSpy resets(GUICHELISTA.get(), &QAbstractItemModel::modelReset);
    GUICHELISTA->open();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(shown("INDICE"), QStringList{"1"});

    GUICHELISTA->close();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(GUICHELISTA->rowCount(), 0);
    EXPECT_FALSE(GUICHELISTA->canFetchMore());
    GUICHELISTA->close();
    EXPECT_EQ(resets.count(), 1);
    GUICHELISTA->open();
    EXPECT_EQ(resets.count(), 2);
    EXPECT_EQ(shown("INDICE"), QStringList({"2", "1"}));
}

TEST_P(CallsList, OneTransactionAndOnePreparedStatementServeEveryRequery) {
    station->addCall({.indice = 1, .guiche = 1, .senha = 1, .order = 1});
    GUICHELISTA->open();
    const QVariant transaction = listTransaction();
    const QVariant statement = listStatements();
    ASSERT_FALSE(transaction.isNull());
    ASSERT_FALSE(statement.isNull());
    EXPECT_FALSE(statement.toString().contains(',')) << statement.toString().toStdString();
    for (int i = 0; i < 5; ++i)
        GUICHELISTA->requery();
    EXPECT_EQ(listTransaction(), transaction);
    EXPECT_EQ(listStatements(), statement);
    EXPECT_EQ(otherAttachments(), 1);
}

TEST_P(CallsList, ShutdownCommitsTheTransactionAndDetaches) {
    // A database trigger counts the commits of the transactions named in WATCHED. A sequence
    // counts them, since a read-only transaction can move a sequence but writes no row; a
    // transaction that is rolled back, or never ended, is not counted.
    station->execute(QStringLiteral("CREATE TABLE WATCHED (TRANSACTION_ID BIGINT)"));
    station->execute(QStringLiteral("CREATE SEQUENCE WATCHED_COMMITS"));
    station->execute(QStringLiteral(
        "CREATE TRIGGER COUNT_COMMITS ON TRANSACTION COMMIT AS DECLARE N BIGINT; BEGIN "
        "IF (EXISTS (SELECT 1 FROM WATCHED WHERE TRANSACTION_ID = CURRENT_TRANSACTION)) THEN "
        "N = GEN_ID(WATCHED_COMMITS, 1); END"));
    const auto commits = [&] { return station->scalar(QStringLiteral("SELECT CAST(GEN_ID(WATCHED_COMMITS, 0) AS INTEGER) FROM RDB$DATABASE")); };
    GUICHELISTA->open();
    EXPECT_EQ(otherAttachments(), 1);
    const QVariant transaction = listTransaction();
    ASSERT_FALSE(transaction.isNull());
    station->execute(QStringLiteral("INSERT INTO WATCHED VALUES (%1)").arg(transaction.toString()));
    GUICHELISTA->requery();
    EXPECT_EQ(commits().toInt(), 0) << "a re-query ends no transaction";
    release();
    EXPECT_EQ(otherAttachments(), 0);
    EXPECT_TRUE(listTransaction().isNull());
    EXPECT_EQ(commits().toInt(), 1);
}

TEST_P(CallsList, RowsAreFetchedAsTheyAreAsked) {
    station->execute(QStringLiteral(
        "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 2500) DO BEGIN "
        "INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA, DATAUSER2) VALUES "
        "(:I, :I, CURRENT_DATE, 1, :I, DATEADD(:I SECOND TO CAST(CURRENT_DATE AS TIMESTAMP))); "
        "I = I + 1; END END"));
    GUICHELISTA->setFetchStep(12);
    QSignalSpy inserted(GUICHELISTA.get(), &QAbstractItemModel::rowsInserted);
    GUICHELISTA->open();
    EXPECT_EQ(GUICHELISTA->rowCount(), 12) << "opening fetches one step";
    EXPECT_EQ(GUICHELISTA->blockCount(), 1);
    EXPECT_TRUE(GUICHELISTA->canFetchMore());
    GUICHELISTA->fetchMore();
    EXPECT_EQ(GUICHELISTA->rowCount(), 24);
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted.last().at(1).toInt(), 12);
    EXPECT_EQ(inserted.last().at(2).toInt(), 23);

    GUICHELISTA->setFetchStep(1000);
    std::vector<int> counts;
    while (GUICHELISTA->canFetchMore()) {
        GUICHELISTA->fetchMore();
        counts.push_back(GUICHELISTA->rowCount());
    }
    EXPECT_EQ(counts, (std::vector<int>{1024, 2024, 2500}));
    EXPECT_EQ(GUICHELISTA->blockCount(), 3);
    for (int row : {0, 999, 1000, 2499}) {
        EXPECT_EQ(GUICHELISTA->value(row, column("INDICE")).toInt(), 2500 - row);
        EXPECT_EQ(GUICHELISTA->recordNumber(row), row + 1);
    }
    GUICHELISTA->close();
    EXPECT_EQ(GUICHELISTA->blockCount(), 0);
}

TEST_P(CallsList, DatabaseNameIsMissing) {
    Fatura->setDatabaseName(QString());
    EXPECT_EQ(openError(), QStringLiteral("Database name is missing"));
    EXPECT_FALSE(Fatura->connected());
}

TEST_P(CallsList, DiscardedConnectionIsNotAssigned) {
    GUICHELISTA->open();
    Fatura->discard();
    EXPECT_FALSE(GUICHELISTA->isActive());
    EXPECT_FALSE(Fatura->connected());
    EXPECT_EQ(openError(), QStringLiteral("Database not assigned"));
    EXPECT_EQ(openError(), QStringLiteral("Database not assigned"));
    EXPECT_EQ(otherAttachments(), 0);
}

TEST_P(CallsList, MissingDatabaseFile) {
    const QString missing = dir.file(QStringLiteral("nao-existe.FDB"));
    Fatura->setDatabaseName(server ? server->databaseName(missing) : missing);
    EXPECT_EQ(openError(), QStringLiteral("I/O error during \"open\" operation for file \"%1\"\n"
                                          "Error while trying to open file\n"
                                          "No such file or directory")
                               .arg(missing));
    EXPECT_FALSE(Fatura->connected());
}

// The folder names of a Brazilian clinic: the server (or the embedded engine) finds the file on a
// file system whose names are UTF-8, and a file it cannot find is named right in the error.
TEST_P(CallsList, ADatabasePathWithAccentsIsFound) {
    const QString plain = dir.file(QStringLiteral("outra.FDB"));
    {
        FbSession other = FbSession::create(server ? server->databaseName(plain) : plain, params);
        other.createSchema();
        other.addCounter(1, QStringLiteral("CAIXA"), QStringLiteral("CX"));
        other.addCall({.indice = 1, .codigopac = 1, .guiche = 1, .senha = 7, .order = 1});
    }
    const QString folder = dir.file(QStringLiteral("Clínica São João/Conceição"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString accented = folder + QStringLiteral("/fatura.FDB");
    ASSERT_TRUE(QFile::rename(plain, accented));

    Fatura->setDatabaseName(server ? server->databaseName(accented) : accented);
    GUICHELISTA->open();
    EXPECT_EQ(shown("SENHA1"), QStringList{QStringLiteral("CX-7")});
    release();
    build();

    const QString missing = folder + QStringLiteral("/não-existe.FDB");
    Fatura->setDatabaseName(server ? server->databaseName(missing) : missing);
    EXPECT_TRUE(openError().startsWith(
        QStringLiteral("I/O error during \"open\" operation for file \"%1\"").arg(missing)));
}

TEST_P(CallsList, RefusedPassword) {
    if (!server) GTEST_SKIP() << "the embedded engine does not check passwords";
    Fatura->params()[1] = QStringLiteral("password=errada");
    EXPECT_EQ(openError(), QStringLiteral("Your user name and password are not defined. Ask your "
                                          "database administrator to set up a Firebird login"));
    EXPECT_FALSE(Fatura->connected());
    Fatura->params() = params;
    GUICHELISTA->open();
    EXPECT_TRUE(GUICHELISTA->isActive());
}

TEST_P(CallsList, MissingTableFailsAtPrepareAndTheNextOpenPreparesAgain) {
    station->execute(QStringLiteral("DROP TABLE GUICHE"));
    const QString text = openError();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Dynamic SQL Error\nSQL error code = -204\n"
                                               "Table unknown\nGUICHE\n")))
        << text.toStdString();
    EXPECT_TRUE(Fatura->connected()) << "only a lost connection is dropped";
    station->runScript(QStringLiteral("CREATE TABLE GUICHE (INDICE INTEGER, NOME VARCHAR(40), "
                                      "APELIDO VARCHAR(20));"));
    station->addCounter(1, QStringLiteral("CAIXA"), QStringLiteral("CX"));
    station->addCall({.indice = 1, .guiche = 1, .senha = 3});
    GUICHELISTA->open();
    EXPECT_EQ(shown("SENHA1"), QStringList{"CX-3"});
}

INSTANTIATE_TEST_SUITE_P(Firebird, CallsList, testing::Values(Access::Embedded, Access::Server),
                         accessName);

// Columns whose types do not fit the fields, in a database of their own.
class ColumnTypes : public CallsList {
protected:
    void SetUp() override {}
    void createWith(const QString& file, const QString& from, const QString& to) {
        path = dir.file(file);
        name = path;
        params = embeddedParams();
        station = std::make_unique<FbSession>(FbSession::create(name, params));
        QFile schema(sourceDir() + QStringLiteral("/db/schema.sql"));
        ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(schema.readAll());
        ASSERT_TRUE(text.contains(from)) << from.toStdString();
        station->runScript(QString(text).replace(from, to));
        station->addCounter(1, QStringLiteral("CAIXA"), QStringLiteral("CX"));
        build();
    }
};

TEST_F(ColumnTypes, TypeMismatchNamesTheFieldAndBothTypes) {
    const struct {
        const char* from;
        const char* to;
        const char* error; // empty: the column fits
    } cases[] = {
        {"CODIGOPAC INTEGER", "CODIGOPAC VARCHAR(10)",
         "Type mismatch for field 'Pront.', expecting: Integer actual: String"},
        {"SENHA INTEGER", "SENHA BIGINT",
         "Type mismatch for field 'Senha', expecting: Integer actual: LargeInt"},
        {"INDICE INTEGER NOT NULL PRIMARY KEY,\n  CODIGOPAC",
         "INDICE NUMERIC(9,2) NOT NULL,\n  CODIGOPAC",
         "Type mismatch for field 'Indice', expecting: Integer actual: BCD"},
        {"NR_GUICHE_CHAMOU VARCHAR(50)", "NR_GUICHE_CHAMOU INTEGER",
         "Type mismatch for field 'NR_GUICHE_CHAMOU', expecting: String actual: Integer"},
        {"STATUS CHAR(1)", "STATUS DOUBLE PRECISION",
         "Type mismatch for field 'Status', expecting: String actual: Float"},
        {"DATA TIMESTAMP", "DATA DATE", ""},
        {"SENHA INTEGER", "SENHA SMALLINT", ""},
        {"STATUS CHAR(1)", "STATUS VARCHAR(1)", ""},
        {"NR_GUICHE_CHAMOU VARCHAR(50)", "NR_GUICHE_CHAMOU CHAR(60)", ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        release();
        station.reset();
        createWith(QStringLiteral("tipos%1.FDB").arg(++n), QString::fromUtf8(c.from),
                   QString::fromUtf8(c.to));
        station->addCall({.indice = 1, .codigopac = 2, .guiche = 1, .senha = 3});
        EXPECT_EQ(openError(), QString::fromUtf8(*c.error ? c.error : "<opened>"));
        if (!*c.error) {
            EXPECT_EQ(shown("SENHA1"), QStringList{"CX-3"});
        }
    }
}

TEST_F(ColumnTypes, ColumnPutRightIsSeenAtTheNextOpen) {
    createWith(QStringLiteral("corrigido.FDB"), QStringLiteral("NR_GUICHE_CHAMOU VARCHAR(50)"),
               QStringLiteral("NR_GUICHE_CHAMOU INTEGER"));
    station->addCall({.indice = 1, .guiche = 1, .senha = 3});
    EXPECT_EQ(openError(),
              QStringLiteral(
                  "Type mismatch for field 'NR_GUICHE_CHAMOU', expecting: String actual: Integer"));
    station->execute(
        QStringLiteral("ALTER TABLE GUICHELISTA ALTER NR_GUICHE_CHAMOU TYPE VARCHAR(50)"));
    station->execute(QStringLiteral("UPDATE GUICHELISTA SET NR_GUICHE_CHAMOU = 'SALA 2'"));
    GUICHELISTA->open();
    EXPECT_EQ(shown("NR_GUICHE_CHAMOU"), QStringList{"SALA 2"});
}

// A computed INDICE that divides by zero for one call: the error comes while that row is
// fetched, after the first rows were shown.
TEST_F(ColumnTypes, FailedFetchClosesTheListAndKeepsTheConnection) {
    createWith(
        QStringLiteral("computed.FDB"),
        QStringLiteral("INDICE INTEGER NOT NULL PRIMARY KEY,\n  CODIGOPAC INTEGER NOT NULL,"),
        QStringLiteral("CODIGOPAC INTEGER NOT NULL,\n"
                       "  INDICE COMPUTED BY (CAST(100 / (CODIGOPAC - 5) AS INTEGER)),"));
    station->execute(QStringLiteral(
        "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 30) DO BEGIN "
        "INSERT INTO GUICHELISTA (CODIGOPAC, DATA, GUICHE, SENHA, DATAUSER2) VALUES "
        "(:I, CURRENT_DATE, 1, :I, DATEADD(:I SECOND TO CAST(CURRENT_DATE AS TIMESTAMP))); "
        "I = I + 1; END END"));
    GUICHELISTA->setFetchStep(12);
    QSignalSpy failures(GUICHELISTA.get(), &CallsQuery::fetchFailed);
    GUICHELISTA->open();
    EXPECT_EQ(GUICHELISTA->rowCount(), 12);
    while (GUICHELISTA->canFetchMore())
        GUICHELISTA->fetchMore();
    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures.first().first().toString(),
              QStringLiteral("arithmetic exception, numeric overflow, or string truncation\n"
                             "Integer divide by zero.  The code attempted to divide an integer "
                             "value by an integer divisor of zero"));
    EXPECT_FALSE(GUICHELISTA->isActive());
    EXPECT_FALSE(GUICHELISTA->atEnd());
    EXPECT_EQ(GUICHELISTA->rowCount(), 0);
    EXPECT_TRUE(Fatura->connected()) << "only a lost connection is dropped";

    station->execute(QStringLiteral("DELETE FROM GUICHELISTA WHERE CODIGOPAC = 5"));
    GUICHELISTA->open();
    while (GUICHELISTA->canFetchMore())
        GUICHELISTA->fetchMore();
    EXPECT_EQ(GUICHELISTA->rowCount(), 29);
    EXPECT_EQ(failures.count(), 1);
}

TEST(Dialect, LoweredToTheDatabasesOwn) {
    TestDir dir;
    for (int dialect : {1, 3}) {
        const QString path = dir.file(QStringLiteral("d%1.FDB").arg(dialect));
        FbSession::create(path, embeddedParams(), dialect).detach();
        Database Fatura(testClient());
        Fatura.setDatabaseName(path);
        Fatura.params() = embeddedParams();
        EXPECT_EQ(Fatura.dialect(), 3);
        Fatura.connect();
        EXPECT_EQ(Fatura.dialect(), dialect);
        Fatura.connect(); // already connected: nothing happens
        EXPECT_TRUE(Fatura.connected());
    }
}

// Another process, isql-fb, writes into the database file that this process holds open with
// the embedded engine: the private root's SuperClassic mode lets both open it.
TEST(EmbeddedSharing, AnotherProcessWritesWhileTheListIsOpen) {
    TestDir dir;
    const QString path = dir.file(QStringLiteral("fatura.FDB"));
    {
        FbSession station = FbSession::create(path, embeddedParams());
        station.createSchema();
        station.addCounter(1, QStringLiteral("CAIXA"), QStringLiteral("CX"));
    }
    Database Fatura(testClient());
    Fatura.setDatabaseName(path);
    Fatura.params() = embeddedParams();
    Transaction TransFatura(Fatura);
    CallsQuery GUICHELISTA(Fatura, TransFatura);
    GUICHELISTA.open();
    EXPECT_EQ(GUICHELISTA.rowCount(), 0);

    QProcess isql;
    isql.start(QStringLiteral("isql-fb"),
               {QStringLiteral("-q"), QStringLiteral("-user"), QStringLiteral("SYSDBA"), path});
    ASSERT_TRUE(isql.waitForStarted());
    isql.write("INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA) "
               "VALUES (1, 1, CURRENT_DATE, 1, 9);\nCOMMIT;\nQUIT;\n");
    isql.closeWriteChannel();
    ASSERT_TRUE(isql.waitForFinished(60000));
    EXPECT_EQ(isql.exitCode(), 0) << isql.readAllStandardError().toStdString();

    GUICHELISTA.requery();
    ASSERT_EQ(GUICHELISTA.rowCount(), 1);
    EXPECT_EQ(GUICHELISTA.displayText(0, GUICHELISTA.fieldIndex(QStringLiteral("SENHA1"))),
              QStringLiteral("CX-9"));
}

} // namespace
