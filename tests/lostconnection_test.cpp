// The database server stops under an open calls list and starts again, hangs without a word,
// or ends the panel's attachment: the list fails with the client library's text (or, past the
// bound, the panel's own), the connection is dropped, and a later open connects again. The tests
// run a server of their own, never the one the other tests share.

#include "base/errors.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "db/fbclient.h"
#include "db/transaction.h"
#include "tests/support/firebird.h"
#include "tests/support/printers.h"
#include "tests/support/tempdir.h"

#include <QElapsedTimer>
#include <cstdio>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <csignal>
#include <gtest/gtest.h>
#include <ibase.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <sys/resource.h>
#include <unistd.h>

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

    // The server process, stopped (as a hung server or a host that lost power: its sockets stay
    // open and say nothing) or continued.
    void freeze(bool stopped) {
        QFile f(dir.file(QStringLiteral("server/server.pid")));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const pid_t pid = pid_t(f.readAll().trimmed().toInt());
        ASSERT_GT(pid, 0);
        ASSERT_EQ(::kill(pid, stopped ? SIGSTOP : SIGCONT), 0);
        frozen = stopped;
    }

    void TearDown() override {
        if (frozen) freeze(false);
    }

    // The error of a re-query and how long it held the thread.
    std::pair<std::optional<EDatabaseError>, qint64> timedRequery() {
        QElapsedTimer clock;
        clock.start();
        auto error = requeryError();
        return {error, clock.elapsed()};
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
    bool frozen = false;
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

// What "no longer than the bound" allows for a loaded machine; without the bound these calls
// wait for as long as the server stays stopped (minutes), so the margin cannot hide the fault.
constexpr qint64 kBoundMs = 1500;
constexpr qint64 kSlackMs = 3000;

TEST_F(LostConnection, AServerThatStopsAnsweringCostsTheBoundAndTheListComesBackAfterIt) {
    fill(3);
    Fatura.setTimeout(std::chrono::milliseconds(kBoundMs));
    GUICHELISTA.open();
    ASSERT_EQ(GUICHELISTA.rowCount(), 3);

    freeze(true);
    // The re-query is abandoned at the bound with the panel's own text; the attachment, of no
    // use after that, is dropped.
    const auto [first, firstMs] = timedRequery();
    ASSERT_TRUE(first.has_value()) << "a re-query against a hung server succeeded";
    EXPECT_EQ(first->text(), Fatura.timeoutError().text());
    EXPECT_EQ(first->text(),
              QStringLiteral("O banco de dados não respondeu em 2 segundos: a conexão foi desfeita e será "
                             "refeita na próxima leitura da lista"));
    EXPECT_GE(firstMs, kBoundMs - 100);
    EXPECT_LT(firstMs, kBoundMs + kSlackMs);
    EXPECT_FALSE(Fatura.connected());
    EXPECT_FALSE(TransFatura.active());
    EXPECT_EQ(GUICHELISTA.rowCount(), 0);

    // Once abandoned, the server is not waited for the whole bound again: the attach goes on in
    // the background and each re-query gives up after a moment, without a new report.
    for (int i = 0; i < 3; ++i) {
        const auto [again, againMs] = timedRequery();
        ASSERT_TRUE(again.has_value());
        EXPECT_LT(againMs, kBoundMs) << "re-query " << i << " waited the bound again";
        EXPECT_FALSE(Fatura.connected());
    }
    EXPECT_TRUE(Fatura.unanswered());

    // Back at the first re-query after the server answers (the background attach takes a
    // moment to finish).
    freeze(false);
    QElapsedTimer answered;
    answered.start();
    std::optional<EDatabaseError> error;
    do {
        error = requeryError();
    } while (error && Fatura.unanswered() && answered.elapsed() < kSlackMs);
    EXPECT_FALSE(error.has_value()) << error->what();
    EXPECT_TRUE(Fatura.connected());
    EXPECT_FALSE(Fatura.unanswered());
    EXPECT_EQ(GUICHELISTA.rowCount(), 3);
}

// Each call of a slow server answers within the bound, but a re-query makes several: the bound
// holds for the whole re-query, not for each of its calls.
namespace slow {
constexpr int kDelayMs = 600;
decltype(FbClient::dsql_execute) execute = nullptr;
decltype(FbClient::dsql_fetch) fetch = nullptr;
decltype(FbClient::dsql_prepare) prepare = nullptr;
void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(kDelayMs)); }
ISC_STATUS ISC_EXPORT slowExecute(ISC_STATUS* s, isc_tr_handle* t, isc_stmt_handle* h, unsigned short v, const XSQLDA* d) {
    const ISC_STATUS r = execute(s, t, h, v, d);
    pause();
    return r;
}
ISC_STATUS ISC_EXPORT slowFetch(ISC_STATUS* s, isc_stmt_handle* h, unsigned short v, const XSQLDA* d) {
    const ISC_STATUS r = fetch(s, h, v, d);
    pause();
    return r;
}
ISC_STATUS ISC_EXPORT slowPrepare(ISC_STATUS* s, isc_tr_handle* t, isc_stmt_handle* h, unsigned short l, const ISC_SCHAR* q,
                                  unsigned short dialect, XSQLDA* d) {
    const ISC_STATUS r = prepare(s, t, h, l, q, dialect, d);
    pause();
    return r;
}
} // namespace slow

TEST_F(LostConnection, OneBoundForTheWholeRequeryOfASlowServer) {
    fill(3);
    Fatura.setTimeout(std::chrono::milliseconds(kBoundMs));
    FbClient& client = Fatura.client();
    slow::execute = std::exchange(client.dsql_execute, &slow::slowExecute);
    slow::fetch = std::exchange(client.dsql_fetch, &slow::slowFetch);
    slow::prepare = std::exchange(client.dsql_prepare, &slow::slowPrepare);
    const auto restore = qScopeGuard([&] {
        client.dsql_execute = slow::execute;
        client.dsql_fetch = slow::fetch;
        client.dsql_prepare = slow::prepare;
    });
    // Prepare, execute and four fetches at 600 ms each: 3.6 s of calls, each within the bound.
    const auto [error, ms] = timedRequery();
    ASSERT_TRUE(error.has_value()) << "a re-query of " << ms << " ms was not abandoned";
    EXPECT_EQ(error->text(), Fatura.timeoutError().text());
    EXPECT_LT(ms, kBoundMs + slow::kDelayMs + 500);
}

TEST_F(LostConnection, ScrollingAHungListIsBoundedToo) {
    fill(500);
    Fatura.setTimeout(std::chrono::milliseconds(kBoundMs));
    GUICHELISTA.setFetchStep(12);
    QSignalSpy failures(&GUICHELISTA, &CallsQuery::fetchFailed);
    GUICHELISTA.open();
    ASSERT_EQ(GUICHELISTA.rowCount(), 12);

    freeze(true);
    QElapsedTimer clock;
    clock.start();
    while (GUICHELISTA.canFetchMore() && failures.isEmpty())
        GUICHELISTA.fetchMore();
    EXPECT_LT(clock.elapsed(), kBoundMs + kSlackMs);
    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures.first().first().toString(), Fatura.timeoutError().text());
    EXPECT_FALSE(GUICHELISTA.isActive());
    EXPECT_FALSE(Fatura.connected());

    freeze(false);
    GUICHELISTA.open();
    while (GUICHELISTA.canFetchMore())
        GUICHELISTA.fetchMore();
    EXPECT_EQ(GUICHELISTA.rowCount(), 500);
}

// A listening socket that the system accepts connections on and nobody ever answers: a host
// whose database server hangs before it says a word.
class SilentHost {
public:
    SilentHost() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(m_fd, 16) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~SilentHost() { ::close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

TEST(BoundedAttach, AHostThatAcceptsAndNeverAnswersCostsTheBound) {
    SilentHost host;
    ASSERT_GT(host.port(), 0);
    Database Fatura{testClient()};
    Transaction TransFatura{Fatura};
    CallsQuery GUICHELISTA{Fatura, TransFatura};
    Fatura.setTimeout(std::chrono::milliseconds(kBoundMs));
    Fatura.setDatabaseName(QStringLiteral("127.0.0.1/%1:/dados/fatura.FDB").arg(host.port()));
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        try {
            GUICHELISTA.open();
            FAIL() << "the open succeeded";
        } catch (const EDatabaseError& e) {
            // Later opens wait for the attach still in flight, which the client library's own
            // connect time-out may end first, with its own text.
            if (i == 0) {
                EXPECT_EQ(e.text(), Fatura.timeoutError().text());
            }
        }
        if (i == 0) {
            EXPECT_GE(clock.elapsed(), kBoundMs - 100);
        }
        EXPECT_LT(clock.elapsed(), kBoundMs + kSlackMs) << i;
        EXPECT_FALSE(Fatura.connected());
    }
}

// The bytes of address space the process holds.
rlim_t addressSpace() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    return rlim_t(statm.readAll().split(' ').value(0).toULongLong()) * rlim_t(::sysconf(_SC_PAGESIZE));
}

// No thread can be made for the attach (no address space left for its stack): it fails in the
// panel's own words, and the next attach is not kept waiting for one that never started.
TEST(BoundedAttach, AnAttachWithoutAThreadFailsAndTheNextOneRuns) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer holds the address space that the limit takes away";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FbClient& client = testClient();
            BoundedAttach attach(client);
            const QByteArray name = QFile::encodeName(QStringLiteral("/nonexistent/painel/fatura.FDB"));
            const QByteArray dpb(1, char(isc_dpb_version1));
            rlimit old{};
            ::getrlimit(RLIMIT_AS, &old);
            rlimit tight = old;
            tight.rlim_cur = addressSpace() + 2 * 1024 * 1024; // less than a thread's stack
            ::setrlimit(RLIMIT_AS, &tight);
            QString failure;
            try {
                attach.attach(name, dpb, std::chrono::milliseconds(1000));
            } catch (const EDatabaseError& e) {
                failure = e.text();
            } catch (const std::exception& e) {
                failure = QStringLiteral("not the panel's error: ") + QString::fromLocal8Bit(e.what());
            }
            ::setrlimit(RLIMIT_AS, &old);
            const BoundedAttach::Result next = attach.attach(name, dpb, std::chrono::milliseconds(5000));
            std::fprintf(stderr, "%s|%d|%d\n", failure.toLocal8Bit().constData(), int(next.timedOut),
                         int(next.status.failed()));
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "Não foi possível iniciar a conexão ao banco de dados: .*\\|0\\|1");
}

TEST_F(LostConnection, TheServerEndingTheAttachmentIsALostConnection) {
    fill(3);
    GUICHELISTA.open();
    ASSERT_EQ(GUICHELISTA.rowCount(), 3);

    // An administrator ends every other attachment, the panel's among them.
    FbSession admin(name, server.params());
    admin.execute(QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION"));
    admin.detach();

    // The first re-query finds the attachment gone and drops it; the second connects anew.
    if (const auto error = requeryError()) {
        EXPECT_FALSE(Fatura.connected()) << "an attachment ended by the server was kept: " << error->what();
        EXPECT_EQ(GUICHELISTA.rowCount(), 0);
        GUICHELISTA.requery();
    }
    EXPECT_TRUE(Fatura.connected());
    EXPECT_EQ(GUICHELISTA.rowCount(), 3);
}

TEST_F(LostConnection, TheCallsListTransactionDoesNotHoldBackTheDatabase) {
    fill(3);
    GUICHELISTA.open();
    FbSession station(name, server.params());
    for (int i = 0; i < 300; ++i) {
        station.execute(QStringLiteral("UPDATE GUICHE SET NOME = 'CAIXA %1' WHERE INDICE = 1").arg(i));
        if (i % 100 == 0) GUICHELISTA.requery();
    }
    const qint64 next = station.scalar(QStringLiteral("SELECT CAST(MON$NEXT_TRANSACTION AS INTEGER) FROM MON$DATABASE")).toLongLong();
    const qint64 oldest = station.scalar(QStringLiteral("SELECT CAST(MON$OLDEST_ACTIVE AS INTEGER) FROM MON$DATABASE")).toLongLong();
    EXPECT_GT(next, 300);
    EXPECT_LT(next - oldest, 50) << "next " << next << ", oldest active " << oldest;
    EXPECT_TRUE(TransFatura.active()) << "the list keeps its one transaction";
    EXPECT_EQ(GUICHELISTA.rowCount(), 3);
}

} // namespace
