// The listener on its own: accepting, reading, switching off and on.

#include "calls/listener.h"
#include "base/errors.h"
#include "tests/support/qtapp.h"
#include "tests/support/rawstation.h"
#include "tests/support/station.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <thread>
#include <vector>

namespace {

class ListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        listener.Port = 0;
        listener.SetActive(true);
        port = listener.listeningPort();
        listener.Port = port; // later switch-ons listen on the same port
    }
    TServerSocket listener;
    quint16 port = 0;
};

TEST_F(ListenerTest, EveryReadEventDeliversWhatHasArrived) {
    QByteArray got;
    QObject::connect(&listener, &TServerSocket::ClientRead,
                     [&](QObject*, QTcpSocket* s) { got += s->readAll(); });
    TestStation station;
    ASSERT_TRUE(station.connectTo(port));
    station.send("MD*41ANA SOUTO");
    QTRY_COMPARE_WITH_TIMEOUT(got, QByteArray("MD*41ANA SOUTO"), 3000);
}

TEST_F(ListenerTest, SwitchingOffClosesEveryConnectionAndRefusesNewOnes) {
    TestStation a, b;
    ASSERT_TRUE(a.connectTo(port));
    ASSERT_TRUE(b.connectTo(port));
    QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 2, 3000);
    listener.SetActive(false);
    EXPECT_FALSE(listener.Active());
    EXPECT_TRUE(a.waitClosed(TServerSocket::kFreshMs + 2000));
    EXPECT_TRUE(b.waitClosed(TServerSocket::kFreshMs + 2000));
    TestStation late;
    EXPECT_FALSE(late.connectTo(port));
    EXPECT_EQ(late.error(), QAbstractSocket::ConnectionRefusedError);
}

TEST_F(ListenerTest, OnAgainListensOnTheSamePortAtOnce) {
    QSignalSpy reads(&listener, &TServerSocket::ClientRead);
    for (int i = 0; i < 3; ++i) {
        TestStation s;
        ASSERT_TRUE(s.connectTo(port));
        s.send("x");
        QTRY_COMPARE_WITH_TIMEOUT(reads.count(), i + 1, 3000);
        EXPECT_EQ(listener.connectionCount(), 1);
        listener.SetActive(false);
        listener.SetActive(true);
        EXPECT_EQ(listener.listeningPort(), port);
        EXPECT_TRUE(s.waitClosed(3000));
    }
}

TEST_F(ListenerTest, SwitchingTwiceTheSameWayDoesNothing) {
    listener.SetActive(true);
    EXPECT_TRUE(listener.Active());
    listener.SetActive(false);
    listener.SetActive(false);
    EXPECT_FALSE(listener.Active());
}

TEST_F(ListenerTest, APortInUseFailsWithTheSocketLayersReason) {
    TServerSocket second;
    second.Port = port;
    try {
        second.SetActive(true);
        FAIL() << "listened twice on one port";
    } catch (const ESocketError& e) {
        EXPECT_TRUE(e.text().contains(QString::number(port))) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QStringLiteral("address is already in use"))) << e.text().toStdString();
    }
    EXPECT_FALSE(second.Active());
}

TEST_F(ListenerTest, TheConnectionStaysValidWhileItsHandlerRuns) {
    bool stillValid = false;
    QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) {
        QPointer<QTcpSocket> guard(s);
        s->readAll();
        listener.SetActive(false); // closes this very connection
        QTest::qWait(50);          // events are served, deferred deletions included
        stillValid = !guard.isNull() && s->state() == QAbstractSocket::UnconnectedState;
    });
    TestStation station;
    ASSERT_TRUE(station.connectTo(port));
    station.send("refresh");
    QTRY_VERIFY_WITH_TIMEOUT(stillValid, 3000);
    EXPECT_TRUE(station.waitClosed(3000));
}

TEST_F(ListenerTest, AStationThatLeavesIsForgotten) {
    {
        TestStation s;
        ASSERT_TRUE(s.connectTo(port));
        QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 1, 3000);
        s.socket().disconnectFromHost();
        s.waitClosed(3000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 0, 3000);
}

// A station whose message has reached the panel but not yet been read when another station's
// cycle switches the listener off: already accepted or still in the system's backlog, still
// connected or closed right after sending. Its message is read once the listener is on again;
// connections without a message are closed as before.
TEST_F(ListenerTest, AMessageWaitingAtTheSwitchOffIsReadWhenTheListenerIsOnAgain) {
    const struct {
        const char* name;
        bool acceptedFirst;
        bool closesAfterSending;
    } cases[] = {{"accepted", true, false},
                 {"in the backlog", false, false},
                 {"accepted, then closed by the station", true, true},
                 {"in the backlog, then closed by the station", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray got;
        const auto reading = QObject::connect(&listener, &TServerSocket::ClientRead,
                                              [&](QObject*, QTcpSocket* s) { got += s->readAll(); });
        TestStation idle, caller;
        ASSERT_TRUE(idle.connectTo(port));
        ASSERT_TRUE(caller.connectTo(port));
        if (c.acceptedFirst) QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 2, 3000);
        caller.send("MD*7ANA"); // on loopback the bytes are at the panel's end when this returns
        if (c.closesAfterSending) caller.socket().disconnectFromHost();
        listener.SetActive(false);
        EXPECT_TRUE(idle.waitClosed(TServerSocket::kFreshMs + 2000)); // fresh: closed once it stays silent
        QTest::qWait(200);
        EXPECT_TRUE(got.isEmpty()) << "read while the listener was off";
        listener.SetActive(true);
        QTRY_COMPARE_WITH_TIMEOUT(got, QByteArray("MD*7ANA"), 3000);
        QObject::disconnect(reading);
        listener.SetActive(false);
        listener.SetActive(true);
        QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 0, 3000);
    }
}

// A station sends its message right after connecting; a switch-off in between must not cost the
// call. A connection that has sent nothing for longer is closed at once, as before.
TEST_F(ListenerTest, AStationThatHasJustConnectedMaySendAfterTheSwitchOff) {
    QByteArray got;
    QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) { got += s->readAll(); });
    TestStation idle, caller, silent;
    ASSERT_TRUE(idle.connectTo(port));
    QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 1, 3000);
    QTest::qWait(TServerSocket::kFreshMs + 100);
    ASSERT_TRUE(caller.connectTo(port));
    ASSERT_TRUE(silent.connectTo(port));
    QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 3, 3000);

    listener.SetActive(false);
    EXPECT_TRUE(idle.waitClosed(TServerSocket::kFreshMs / 2)) << "an old silent connection is closed at once";
    caller.send("MD*7ANA");
    listener.SetActive(true);
    QTRY_COMPARE_WITH_TIMEOUT(got, QByteArray("MD*7ANA"), 3000);
    // The one that never sends is closed when its time is up.
    EXPECT_TRUE(silent.waitClosed(TServerSocket::kFreshMs + 1000));
    EXPECT_EQ(caller.socket().state(), QAbstractSocket::ConnectedState);
}

// Stations that call at the same moment wait in the backlog until the panel accepts them, and a
// switch-off or a restart of the listener meanwhile reads each of their messages instead of
// resetting them.
TEST_F(ListenerTest, ABurstOfStationsWaitsInTheBacklogAndEveryMessageIsRead) {
    for (const bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "restart" : "switch-off and on");
        QList<QByteArray> got;
        const auto reading = QObject::connect(&listener, &TServerSocket::ClientRead,
                                              [&](QObject*, QTcpSocket* s) { got.append(s->readAll()); });
        constexpr int kBurst = 40;
        std::vector<std::unique_ptr<RawStation>> stations;
        for (int i = 0; i < kBurst; ++i) { // the panel serves no event meanwhile
            stations.push_back(std::make_unique<RawStation>());
            ASSERT_TRUE(stations.back()->connectTo(port, 1000)) << "station " << i << " not taken into the backlog";
            ASSERT_TRUE(stations.back()->send("MD*7S" + QByteArray::number(i)));
        }
        if (restart) {
            listener.Restart();
        } else {
            listener.SetActive(false);
            listener.SetActive(true);
        }
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), kBurst, 5000);
        for (int i = 0; i < kBurst; ++i) EXPECT_TRUE(got.contains("MD*7S" + QByteArray::number(i))) << i;
        listener.Restart(); // every message read: each station is let go in order
        for (int i = 0; i < kBurst; ++i) {
            EXPECT_TRUE(stations[i]->waitClosed(3000)) << i;
            EXPECT_FALSE(stations[i]->wasReset()) << i;
        }
        QObject::disconnect(reading);
    }
}

// A restart closes the stations' connections and keeps the listening socket: it listens on
// throughout, and says so by Restarted() rather than by switching.
TEST_F(ListenerTest, ARestartClosesTheConnectionsAndGoesOnListening) {
    QStringList switches;
    QObject::connect(&listener, &TServerSocket::ActiveChanged, [&](bool on) { switches << (on ? "on" : "off"); });
    QObject::connect(&listener, &TServerSocket::Restarted, [&] { switches << "restart"; });
    TestStation old;
    ASSERT_TRUE(old.connectTo(port));
    QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 1, 3000);
    QTest::qWait(TServerSocket::kFreshMs + 100);
    listener.Restart();
    EXPECT_TRUE(listener.Active());
    EXPECT_TRUE(old.waitClosed(3000));
    EXPECT_EQ(switches, QStringList{"restart"});
    // Off, a restart switches it on.
    listener.SetActive(false);
    listener.Restart();
    EXPECT_TRUE(listener.Active());
    EXPECT_EQ(switches, (QStringList{"restart", "off", "on"}));
}

// One read event is one message: a piece that arrives while the first piece's handler runs is a
// message of its own, with a read event of its own inside that handler; a message cut at the
// read's limit has the rest dropped, with no read events.
TEST_F(ListenerTest, EveryPieceThatArrivesAfterARead) {
    const struct {
        const char* name;
        QByteArray first, second;
        QList<QByteArray> expected;
    } cases[] = {
        {"a short message, then another piece", "MD*7ANA", "MD*8BIA", {"MD*7ANA", "MD*8BIA"}},
        {"a message cut at the limit", QByteArray(12, 'A') + "BBBB", "MD*8BIA", {QByteArray(12, 'A')}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QList<QByteArray> got;
        RawStation station;
        int nestedDepth = 0;
        const auto reading = QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) {
            got.append(listener.readMessage(s, 12));
            if (got.size() == 1) {
                // The station sends its next piece while this read event is being handled.
                EXPECT_TRUE(station.send(c.second));
                const QDeadlineTimer pause(500);
                while (!pause.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            } else {
                nestedDepth = listener.readDepth();
            }
        });
        ASSERT_TRUE(station.connectTo(port));
        ASSERT_TRUE(station.send(c.first));
        QTRY_VERIFY_WITH_TIMEOUT(!got.isEmpty() && listener.readDepth() == 0, 5000);
        QTest::qWait(200);
        EXPECT_EQ(got, c.expected);
        if (c.expected.size() == 2) {
            EXPECT_EQ(nestedDepth, 2);
        }
        QObject::disconnect(reading);
        listener.Restart();
    }
}

// A switch-on that fails (the port taken for a moment) is tried again every second until it
// succeeds; the failure is raised once.
TEST_F(ListenerTest, AFailedSwitchOnIsRetriedUntilThePortIsFree) {
    QSignalSpy on(&listener, &TServerSocket::ActiveChanged);
    listener.SetActive(false);
    auto holder = std::make_unique<TServerSocket>();
    holder->Port = port;
    holder->SetActive(true);
    int raised = 0;
    for (int i = 0; i < 3; ++i) {
        try {
            listener.SetActive(true);
        } catch (const ESocketError& e) {
            ++raised;
            EXPECT_TRUE(e.text().startsWith(QStringLiteral("Cannot listen on port %1: ").arg(port))) << e.what();
        }
        QTest::qWait(300);
    }
    EXPECT_EQ(raised, 1);
    EXPECT_TRUE(listener.retrying());
    EXPECT_FALSE(listener.Active());
    QTest::qWait(TServerSocket::kListenRetryMs + 200);
    EXPECT_FALSE(listener.Active()) << "listening while the port is taken";
    holder.reset();
    QTRY_VERIFY_WITH_TIMEOUT(listener.Active(), 3 * TServerSocket::kListenRetryMs);
    EXPECT_FALSE(listener.retrying());
    EXPECT_EQ(listener.listeningPort(), port);
    QByteArray got;
    QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) { got += s->readAll(); });
    TestStation station;
    ASSERT_TRUE(station.connectTo(port));
    station.send("MD*7ANA");
    QTRY_COMPARE_WITH_TIMEOUT(got, QByteArray("MD*7ANA"), 3000);
}

// Each read handler serves the event queue for a while, as a cycle's pause does, so the reads of
// other stations nest inside it: never deeper than the limit, and every message is read. Messages
// held while the listener was off nest the same way once it is on again.
TEST_F(ListenerTest, ReadHandlersNestNoDeeperThanTheLimitAndEveryMessageIsRead) {
    for (const bool heldFirst : {false, true}) {
        SCOPED_TRACE(heldFirst ? "held while off" : "arriving");
        QList<QByteArray> got;
        int deepest = 0;
        const auto reading = QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) {
            got.append(s->readAll());
            deepest = std::max(deepest, listener.readDepth());
            const QDeadlineTimer pause(300);
            while (!pause.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        });
        if (heldFirst) {
            // Connected and sent while the listener was on, read only after a switch-off.
            std::vector<std::unique_ptr<RawStation>> early;
            for (int i = 0; i < 2 * TServerSocket::kMaxConnections / 3; ++i) {
                early.push_back(std::make_unique<RawStation>());
                ASSERT_TRUE(early.back()->connectTo(port, 1000));
                ASSERT_TRUE(early.back()->send("H" + QByteArray::number(i)));
            }
            listener.SetActive(false);
            QTest::qWait(100);
            EXPECT_TRUE(got.isEmpty());
            listener.SetActive(true);
            QTRY_COMPARE_WITH_TIMEOUT(got.size(), int(early.size()), 20000);
        } else {
            std::vector<std::unique_ptr<RawStation>> stations;
            for (int i = 0; i < 2 * TServerSocket::kMaxConnections / 3; ++i) {
                stations.push_back(std::make_unique<RawStation>());
                ASSERT_TRUE(stations.back()->connectTo(port, 1000));
                ASSERT_TRUE(stations.back()->send("A" + QByteArray::number(i)));
            }
            QTRY_COMPARE_WITH_TIMEOUT(got.size(), int(stations.size()), 20000);
        }
        EXPECT_EQ(deepest, TServerSocket::kMaxNesting);
        QTRY_COMPARE_WITH_TIMEOUT(listener.readDepth(), 0, 5000);
        QObject::disconnect(reading);
        listener.SetActive(false);
        listener.SetActive(true);
    }
}

TEST_F(ListenerTest, AReadThatNestsClosesTheConnectionsOfTheHandlersItNestsIn) {
    // Three stations, each calling during the previous one's pause and read inside it. Until the
    // handlers return no restart closes anything: the outer stations learn that they are done
    // from the nested reads. A handler that has not read its message yet keeps its connection.
    std::vector<std::unique_ptr<RawStation>> stations(3);
    QList<bool> outerAsExpected; // at the start of each nested handler
    int unreadOuter = -1;        // the station whose handler leaves its message unread
    const auto reading = QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) {
        const int depth = listener.readDepth();
        if (depth - 1 != unreadOuter) listener.readMessage(s, 1024);
        bool expected = true;
        for (int i = 0; i + 1 < depth; ++i)
            expected = expected && (i != unreadOuter) == stations[size_t(i)]->waitClosed(200);
        if (depth > 1) outerAsExpected.append(expected);
        if (depth < int(stations.size())) {
            stations[size_t(depth)] = std::make_unique<RawStation>();
            EXPECT_TRUE(stations[size_t(depth)]->connectTo(port, 1000));
            EXPECT_TRUE(stations[size_t(depth)]->send("N" + QByteArray::number(depth)));
        }
        const QDeadlineTimer pause(depth < int(stations.size()) ? 1500 : 100);
        while (!pause.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    });
    for (const int unread : {-1, 1}) {
        SCOPED_TRACE(unread < 0 ? "every message read" : "the middle one unread");
        unreadOuter = unread;
        outerAsExpected.clear();
        stations[0] = std::make_unique<RawStation>();
        ASSERT_TRUE(stations[0]->connectTo(port, 1000));
        ASSERT_TRUE(stations[0]->send("N0"));
        QTRY_COMPARE_WITH_TIMEOUT(outerAsExpected.size(), 2, 10000);
        EXPECT_EQ(outerAsExpected, QList<bool>({true, true}));
        QTRY_COMPARE_WITH_TIMEOUT(listener.readDepth(), 0, 10000);
        // The innermost station is done only at the restart.
        EXPECT_FALSE(stations[2]->waitClosed(100));
        listener.Restart();
        EXPECT_TRUE(stations[2]->waitClosed(2000));
    }
    QObject::disconnect(reading);
}

TEST_F(ListenerTest, ConnectionsThatSendNothingCannotCrowdOutAStation) {
    constexpr int kExtra = 20;
    std::vector<std::unique_ptr<TestStation>> silent;
    for (int i = 0; i < TServerSocket::kMaxConnections + kExtra; ++i) {
        silent.push_back(std::make_unique<TestStation>());
        ASSERT_TRUE(silent.back()->connectTo(port));
        if (i < TServerSocket::kMaxConnections)
            QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), i + 1, 3000);
        else // the oldest makes room for the newest
            ASSERT_TRUE(silent[i - TServerSocket::kMaxConnections]->waitClosed(TServerSocket::kFreshMs + 2000)) << i;
    }
    EXPECT_EQ(listener.connectionCount(), TServerSocket::kMaxConnections);
    EXPECT_EQ(silent.back()->socket().state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(silent[kExtra]->socket().state(), QAbstractSocket::ConnectedState);

    QByteArray got;
    QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) { got += s->readAll(); });
    TestStation caller;
    ASSERT_TRUE(caller.connectTo(port));
    caller.send("MD*7ANA");
    QTRY_COMPARE_WITH_TIMEOUT(got, QByteArray("MD*7ANA"), 3000);
    EXPECT_LE(listener.connectionCount(), TServerSocket::kMaxConnections);
}

// Making room at the connection limit closes the connection silent longest that has no message
// waiting, sparing one that has just connected and is about to send.
TEST_F(ListenerTest, MakingRoomSparesAStationThatHasJustConnected) {
    QList<QByteArray> got;
    QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) { got.append(s->readAll()); });
    QElapsedTimer clock;
    clock.start();
    RawStation fresh; // the oldest connection, silent so far
    ASSERT_TRUE(fresh.connectTo(port));
    QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 1, 3000);
    // The others have called and been read: silent since.
    std::vector<std::unique_ptr<RawStation>> callers;
    for (int i = 1; i < TServerSocket::kMaxConnections; ++i) {
        callers.push_back(std::make_unique<RawStation>());
        ASSERT_TRUE(callers.back()->connectTo(port, 1000));
        ASSERT_TRUE(callers.back()->send("C" + QByteArray::number(i)));
    }
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), TServerSocket::kMaxConnections - 1, 3000);
    RawStation newcomer;
    ASSERT_TRUE(newcomer.connectTo(port));
    QTRY_VERIFY_WITH_TIMEOUT(callers.front()->waitClosed(0), 3000);
    if (clock.elapsed() >= TServerSocket::kFreshMs)
        GTEST_SKIP() << "the machine took " << clock.elapsed() << " ms: the first station is no longer fresh";
    EXPECT_EQ(listener.connectionCount(), TServerSocket::kMaxConnections);
    ASSERT_TRUE(fresh.send("MD*7ANA"));
    QTRY_VERIFY_WITH_TIMEOUT(got.contains("MD*7ANA"), 3000);
}

// The highest descriptor number in use.
int highestDescriptor() {
    int highest = 2;
    for (const QString& name : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System))
        highest = std::max(highest, name.toInt());
    return highest;
}

TEST_F(ListenerTest, RunningOutOfDescriptorsDoesNotStopTheListenerForGood) {
    QStringList errors;
    QObject::connect(&listener, &TServerSocket::ClientError, [&](const QString& text) { errors.append(text); });
    QByteArray got;
    QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) { got += s->readAll(); });

    // Every descriptor but one taken: the station's end of the connection gets that one, and the
    // panel's accept finds none.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = rlim_t(highestDescriptor() + 32);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> fillers;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);
    ::close(fillers.back());
    fillers.pop_back();
    const auto release = [&] {
        for (int fd : fillers) ::close(fd);
        fillers.clear();
        ::setrlimit(RLIMIT_NOFILE, &saved);
    };

    RawStation station; // plain socket: a Qt socket would itself want more than the one descriptor
    const bool connected = station.connectTo(port);
    QTest::qWait(3 * TServerSocket::kAcceptRetryMs);
    const int acceptedMeanwhile = listener.connectionCount();
    release();
    ASSERT_TRUE(connected);
    EXPECT_EQ(acceptedMeanwhile, 0);
    ASSERT_EQ(errors.size(), 1) << "the failure is reported once, not at every retry";
    EXPECT_FALSE(errors.first().isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 1, 5000);
    ASSERT_TRUE(station.send("MD*7ANA"));
    QTRY_COMPARE_WITH_TIMEOUT(got, QByteArray("MD*7ANA"), 3000);
    EXPECT_EQ(errors.size(), 1);
}

} // namespace

namespace {

// A read takes every byte of the message, also the part that reached the system's buffer after
// the socket last looked (a message sent in two segments); only what is past the limit is cut.
TEST_F(ListenerTest, AReadTakesTheWholeMessageAndCutsOnlyPastTheLimit) {
    constexpr qint64 kLimit = 16;
    const struct {
        const char* name;
        QByteArray first, rest, read;
    } cases[] = {
        {"the rest in the system's buffer", "MD*7ANA ", "SOUTO", "MD*7ANA SOUTO"},
        {"longer than the limit", "MD*7MARIA ", "APARECIDA DOS SANTOS", "MD*7MARIA APARECIDA DOS SANTOS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QList<QByteArray> got;
        RawStation station;
        const auto reading = QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) {
            if (got.isEmpty()) {
                // Sent while the handler runs: it is in the system's buffer, not the socket's.
                station.send(c.rest);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            got.append(listener.readMessage(s, kLimit));
        });
        ASSERT_TRUE(station.connectTo(port));
        ASSERT_TRUE(station.send(c.first));
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), 1, 3000);
        QTest::qWait(200);
        EXPECT_EQ(got, QList<QByteArray>{c.read.left(kLimit)});
        QObject::disconnect(reading);
    }
}

// The retries of a failed switch-on end once the listener is on, or is switched off.
TEST_F(ListenerTest, TheSwitchOnRetryEndsWhenTheListenerIsOnOrSwitchedOff) {
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "switched on directly" : "switched off");
        listener.SetActive(false);
        {
            TServerSocket holder;
            holder.Port = port;
            holder.SetActive(true);
            EXPECT_THROW(listener.SetActive(true), ESocketError);
            EXPECT_TRUE(listener.retrying());
        }
        listener.SetActive(on);
        EXPECT_EQ(listener.Active(), on);
        EXPECT_FALSE(listener.retrying());
        QTest::qWait(TServerSocket::kListenRetryMs + 300);
        EXPECT_EQ(listener.Active(), on) << "a retry ran after it had ended";
    }
}

// At the connection limit, with every connection fresh (connected, its call on the way), no
// connection is closed to make room: the next station waits in the backlog, and every call is
// read once the fresh ones have sent.
TEST_F(ListenerTest, AtTheLimitTheNextStationWaitsAndNoFreshConnectionIsClosed) {
    QList<QByteArray> got;
    QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) { got.append(s->readAll()); });
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<RawStation>> fresh;
    for (int i = 0; i < TServerSocket::kMaxConnections; ++i) {
        fresh.push_back(std::make_unique<RawStation>());
        ASSERT_TRUE(fresh.back()->connectTo(port, 1000));
    }
    QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), TServerSocket::kMaxConnections, 3000);
    RawStation late;
    ASSERT_TRUE(late.connectTo(port)); // completed by the system, in the backlog
    ASSERT_TRUE(late.send("LATE"));
    QTest::qWait(200);
    if (clock.elapsed() >= TServerSocket::kFreshMs)
        GTEST_SKIP() << "the machine took " << clock.elapsed() << " ms: the stations are no longer fresh";
    for (std::size_t i = 0; i < fresh.size(); ++i) EXPECT_FALSE(fresh[i]->waitClosed(0)) << "station " << i << " closed";
    for (std::size_t i = 0; i < fresh.size(); ++i) ASSERT_TRUE(fresh[i]->send("F" + QByteArray::number(qulonglong(i))));
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), TServerSocket::kMaxConnections + 1, 10000);
    EXPECT_TRUE(got.contains("LATE"));
    for (std::size_t i = 0; i < fresh.size(); ++i) EXPECT_TRUE(got.contains("F" + QByteArray::number(qulonglong(i))));
}

} // namespace

namespace {

// Stations of the clinic and strangers, each from an address of its own on the loopback network.
TEST_F(ListenerTest, OnlyListedStationsAreReadAndAStrangerIsReportedOnceAnHour) {
    listener.Stations = StationList::parse(QStringLiteral("127.0.0.20, 127.0.1.0/24"));
    QStringList read, refused;
    QObject::connect(&listener, &TServerSocket::ClientRead,
                     [&](QObject*, QTcpSocket* s) { read << QString::fromLatin1(listener.readMessage(s, 100)); });
    QObject::connect(&listener, &TServerSocket::Refused, [&](const QString& text) { refused << text; });
    const struct {
        const char* from;
        bool served;
    } cases[] = {{"127.0.0.20", true}, {"127.0.1.7", true}, {"127.0.0.21", false}, {"127.0.2.1", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        read.clear();
        RawStation station(c.from);
        ASSERT_TRUE(station.connectTo(port, 1000));
        ASSERT_TRUE(station.send(QByteArray("from ") + c.from));
        if (c.served) {
            QTRY_COMPARE_WITH_TIMEOUT(read, QStringList{QStringLiteral("from %1").arg(QLatin1String(c.from))}, 5000);
            EXPECT_EQ(listener.connectionCount(), 1);
            listener.Restart();
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(station.waitClosed(10), 5000);
            QTest::qWait(100);
            EXPECT_TRUE(read.isEmpty());
            EXPECT_EQ(listener.connectionCount(), 0);
        }
    }
    ASSERT_EQ(refused.size(), 2);
    EXPECT_TRUE(refused[0].startsWith(QStringLiteral("Conexão recusada de 127.0.0.21: o endereço não está em [definicao] estacoes")))
        << refused[0].toStdString();
    EXPECT_TRUE(refused[1].startsWith(QStringLiteral("Conexão recusada de 127.0.2.1:")));
    // A scanner knocking a thousand times writes no more lines, and the clinic's station is served.
    for (int i = 0; i < 1000; ++i) {
        RawStation stranger("127.0.0.21");
        ASSERT_TRUE(stranger.connectTo(port, 1000));
        if (i % 50 == 0) QCoreApplication::processEvents();
    }
    read.clear();
    RawStation station("127.0.0.20");
    ASSERT_TRUE(station.connectTo(port, 1000));
    ASSERT_TRUE(station.send("after the scan"));
    QTRY_COMPARE_WITH_TIMEOUT(read, QStringList{QStringLiteral("after the scan")}, 10000);
    EXPECT_EQ(refused.size(), 2);
}

TEST_F(ListenerTest, AnAddressPastItsShareOfConnectionsLeavesTheOtherStationsServed) {
    QStringList read, refused;
    QObject::connect(&listener, &TServerSocket::ClientRead,
                     [&](QObject*, QTcpSocket* s) { read << QString::fromLatin1(listener.readMessage(s, 100)); });
    QObject::connect(&listener, &TServerSocket::Refused, [&](const QString& text) { refused << text; });
    // A station gone wrong opens connection after connection and sends nothing.
    std::vector<std::unique_ptr<RawStation>> stuck;
    for (int i = 0; i < 3 * TServerSocket::kMaxPerAddress; ++i) {
        stuck.push_back(std::make_unique<RawStation>("127.0.0.30"));
        ASSERT_TRUE(stuck.back()->connectTo(port, 1000));
    }
    QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), TServerSocket::kMaxPerAddress, 5000);
    int closed = 0;
    for (const auto& s : stuck) closed += s->waitClosed(50);
    EXPECT_EQ(closed, 2 * TServerSocket::kMaxPerAddress);
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused[0].startsWith(QStringLiteral("Conexões recusadas de 127.0.0.30: o endereço já tem 8 conexões abertas")))
        << refused[0].toStdString();
    RawStation other("127.0.0.31");
    ASSERT_TRUE(other.connectTo(port, 1000));
    ASSERT_TRUE(other.send("another station"));
    QTRY_COMPARE_WITH_TIMEOUT(read, QStringList{QStringLiteral("another station")}, 5000);
}

// A station that resets its connection before the panel has accepted it leaves a connection
// without an address: it counts against no address and is reported as no one's refusal. What it
// sent is read, unless a list of stations says who may call: then it is closed unread.
TEST_F(ListenerTest, ConnectionsResetBeforeTheirAcceptCountAgainstNoAddress) {
    QStringList read, refused;
    QObject::connect(&listener, &TServerSocket::ClientRead,
                     [&](QObject*, QTcpSocket* s) { read << QString::fromLatin1(listener.readMessage(s, 100)); });
    QObject::connect(&listener, &TServerSocket::Refused, [&](const QString& text) { refused << text; });
    const auto sendAndReset = [this](const QByteArray& message) {
        RawStation gone("127.0.0.50");
        ASSERT_TRUE(gone.connectTo(port, 1000));
        if (!message.isEmpty()) {
            ASSERT_TRUE(gone.send(message));
        }
        gone.reset(); // before the event loop has run: the panel has not accepted it yet
    };
    for (int i = 0; i < 3 * TServerSocket::kMaxPerAddress; ++i) sendAndReset({});
    sendAndReset("sent and gone");
    QTRY_COMPARE_WITH_TIMEOUT(read, QStringList{QStringLiteral("sent and gone")}, 5000);
    listener.Stations = StationList::parse(QStringLiteral("127.0.0.50"));
    sendAndReset("gone without an address");
    RawStation station("127.0.0.50");
    ASSERT_TRUE(station.connectTo(port, 1000));
    ASSERT_TRUE(station.send("a listed station"));
    QTRY_COMPARE_WITH_TIMEOUT(read.size(), 2, 5000);
    EXPECT_EQ(read.last(), QStringLiteral("a listed station"));
    EXPECT_TRUE(refused.isEmpty()) << refused.join(u'\n').toStdString();
}

} // namespace
