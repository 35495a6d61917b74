// The database server stops under an open calls list and starts again: the list fails with the
// client library's text, the connection is dropped, and the next open connects again. The
// test runs a server of its own, never the one the other tests share.

#include "config/errors.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "db/transaction.h"
#include "tests/support/firebird.h"
#include "tests/support/printers.h"
#include "tests/support/tempdir.h"

#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <ibase.h>

namespace {

class LostConnection : public testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(QStringLiteral("/usr/sbin/firebird")))
            GTEST_SKIP()
                << "no Firebird server program (/usr/sbin/firebird, package firebird3.0-server)";
        server = own.start();
        name = server.databaseName(dir.file(QStringLiteral("fatura.FDB")));
    }

    void fill(int calls) {
        FbSession station = FbSession::create(name, server.params());
        station.createSchema();
        station.addCounter(1, QStringLiteral("CAIXA"), QStringLiteral("CX"));
        station.execute(
            QStringLiteral(
                "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                "INSERT INTO GUICHELISTA (INDICE, CODIGOPAC, DATA, GUICHE, SENHA, "
                "NR_GUICHE_CHAMOU, "
                "DATAUSER2) VALUES (:I, :I, CURRENT_DATE, 1, :I, 'GUICHÊ ' || :I, "
                "DATEADD(:I SECOND TO CAST(CURRENT_DATE AS TIMESTAMP))); I = I + 1; END END")
                .arg(calls));
        Fatura.setDatabaseName(name);
        Fatura.params() = server.params();
    }

    std::optional<EDatabaseError> requeryError() {
        try {
            GUICHELISTA.requery();
        } catch (const EDatabaseError& e) {
            return e;
        }
        return std::nullopt;
    }

    TestDir dir;
    OwnServer own{dir.file(QStringLiteral("server"))};
    FbServer server;
    QString name;
    Database Fatura{testClient()};
    Transaction TransFatura{Fatura};
    CallsQuery GUICHELISTA{Fatura, TransFatura};
};

bool isLostConnectionCode(long code) {
    return code == isc_net_read_err || code == isc_net_write_err || code == isc_network_error ||
           code == isc_lost_db_connection;
}

TEST_F(LostConnection, RequeriesFailWhileDownAndTheListShowsAgainAfterRestart) {
    fill(3);
    GUICHELISTA.open();
    ASSERT_EQ(GUICHELISTA.rowCount(), 3);

    own.stop();
    const auto first = requeryError();
    ASSERT_TRUE(first.has_value()) << "a re-query against a stopped server succeeded";
    EXPECT_TRUE(isLostConnectionCode(first->code())) << first->code() << " " << first->what();
    EXPECT_FALSE(first->text().isEmpty());
    EXPECT_FALSE(first->text().endsWith(QLatin1Char('.'))) << first->what();
    EXPECT_FALSE(GUICHELISTA.isActive());
    EXPECT_EQ(GUICHELISTA.rowCount(), 0);
    EXPECT_FALSE(Fatura.connected()) << "a lost connection is dropped";
    EXPECT_FALSE(TransFatura.active());

    const auto second = requeryError();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->code(), isc_network_error) << second->what();
    EXPECT_TRUE(second->text().startsWith(
        QStringLiteral("Unable to complete network request to host \"127.0.0.1\"")))
        << second->what();

    own.start(); // same port, same password
    GUICHELISTA.requery();
    EXPECT_TRUE(Fatura.connected());
    EXPECT_TRUE(TransFatura.active());
    ASSERT_EQ(GUICHELISTA.rowCount(), 3);
    EXPECT_EQ(
        GUICHELISTA.displayText(0, GUICHELISTA.fieldIndex(QStringLiteral("NR_GUICHE_CHAMOU"))),
        QStringLiteral("GUICHÊ 3"));
}

TEST_F(LostConnection, FailedFetchIsNeverTakenForTheEndOfTheList) {
    fill(20000);
    GUICHELISTA.setFetchStep(12);
    QSignalSpy failures(&GUICHELISTA, &CallsQuery::fetchFailed);
    GUICHELISTA.open();
    ASSERT_EQ(GUICHELISTA.rowCount(), 12);

    own.stop();
    while (GUICHELISTA.canFetchMore())
        GUICHELISTA.fetchMore();
    ASSERT_EQ(failures.count(), 1) << "rows held: " << GUICHELISTA.rowCount();
    EXPECT_FALSE(failures.first().first().toString().isEmpty());
    EXPECT_FALSE(GUICHELISTA.atEnd());
    EXPECT_FALSE(GUICHELISTA.isActive()) << "a list that failed to fetch is closed, not complete";
    EXPECT_EQ(GUICHELISTA.rowCount(), 0);
    EXPECT_FALSE(Fatura.connected());

    own.start();
    GUICHELISTA.open();
    while (GUICHELISTA.canFetchMore())
        GUICHELISTA.fetchMore();
    EXPECT_EQ(GUICHELISTA.rowCount(), 20000);
    EXPECT_EQ(failures.count(), 1);
}

} // namespace
