// The listener on its own: accepting, reading, switching off and on.

#include "calls/listener.h"
#include "config/errors.h"
#include "tests/support/qtapp.h"
#include "tests/support/station.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

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

} // namespace
