// The listener on its own: accepting, reading, switching off and on.

#include "calls/listener.h"
#include "config/errors.h"
#include "tests/support/qtapp.h"
#include "tests/support/rawstation.h"
#include "tests/support/station.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
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
    EXPECT_TRUE(a.waitClosed(3000));
    EXPECT_TRUE(b.waitClosed(3000));
    TestStation late;
    EXPECT_FALSE(late.connectTo(port));
    EXPECT_EQ(late.error(), QAbstractSocket::ConnectionRefusedError);
}

TEST_F(ListenerTest, OnAgainListensOnTheSamePortAtOnce) {
    for (int i = 0; i < 3; ++i) {
        TestStation s;
        ASSERT_TRUE(s.connectTo(port));
        s.send("x");
        QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), 1, 3000);
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
        EXPECT_TRUE(idle.waitClosed(3000));
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
// restart of the listener meanwhile reads each of their messages instead of resetting them.
TEST_F(ListenerTest, ABurstOfStationsWaitsInTheBacklogAndEveryMessageIsRead) {
    QList<QByteArray> got;
    QObject::connect(&listener, &TServerSocket::ClientRead, [&](QObject*, QTcpSocket* s) { got.append(s->readAll()); });
    constexpr int kBurst = 40;
    std::vector<std::unique_ptr<RawStation>> stations;
    for (int i = 0; i < kBurst; ++i) { // the panel serves no event meanwhile
        stations.push_back(std::make_unique<RawStation>());
        ASSERT_TRUE(stations.back()->connectTo(port, 1000)) << "station " << i << " not taken into the backlog";
        ASSERT_TRUE(stations.back()->send("MD*7S" + QByteArray::number(i)));
    }
    listener.SetActive(false);
    listener.SetActive(true);
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), kBurst, 5000);
    for (int i = 0; i < kBurst; ++i) EXPECT_TRUE(got.contains("MD*7S" + QByteArray::number(i))) << i;
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

TEST_F(ListenerTest, ConnectionsThatSendNothingCannotCrowdOutAStation) {
    constexpr int kExtra = 20;
    std::vector<std::unique_ptr<TestStation>> silent;
    for (int i = 0; i < TServerSocket::kMaxConnections + kExtra; ++i) {
        silent.push_back(std::make_unique<TestStation>());
        ASSERT_TRUE(silent.back()->connectTo(port));
        if (i < TServerSocket::kMaxConnections)
            QTRY_COMPARE_WITH_TIMEOUT(listener.connectionCount(), i + 1, 3000);
        else // the oldest makes room for the newest
            ASSERT_TRUE(silent[i - TServerSocket::kMaxConnections]->waitClosed(3000)) << i;
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
