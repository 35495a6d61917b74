// Panels of a group as real processes around a real broker (mosquitto): a call to any panel is
// shown on all of them, each once; the broker's loss costs only the fan-out; nothing stale or
// malformed on the topic is ever shown.

#include "group/groupmessage.h"
#include "tests/support/grouppanel.h"
#include "tests/support/ownbroker.h"
#include "tests/support/qtapp.h"
#include "tests/support/station.h"

#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

class PanelGroup : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        if (!broker.start()) GTEST_SKIP() << "no mosquitto broker could be started (mosquitto, mosquitto-clients)";
    }

    // Starts n panels of the group.
    void startPanels(int n, const QByteArray& more = {}) {
        for (int i = 0; i < n; ++i) {
            panels.push_back(std::make_unique<GroupPanel>(broker.port(), more));
            QString why;
            const bool started = panels.back()->start(&why);
            ASSERT_TRUE(started) << "panel " << i << ": " << why.toStdString();
        }
    }

    // Calls panel i from a station and waits until the station's connection is closed.
    void call(size_t i, const QByteArray& message) {
        TestStation station;
        ASSERT_TRUE(station.connectTo(panels[i]->port()));
        station.send(message);
        EXPECT_TRUE(station.waitClosed(15000)) << message.toStdString() << " not served";
    }

    bool waitShownEverywhere(const QString& message, int timeoutMs = 10000) {
        return QTest::qWaitFor(
            [&] {
                for (auto& p : panels)
                    if (p->countShown(message) == 0) return false;
                return true;
            },
            timeoutMs);
    }

    static QString topic() { return QStringLiteral("painel/%1/chamadas").arg(QString::fromLatin1(GroupPanel::kGroup)); }

    std::string allErrors() {
        std::string all;
        for (size_t i = 0; i < panels.size(); ++i) all += "--- panel " + std::to_string(i) + ":\n" + panels[i]->errors().toStdString();
        return all;
    }

    OwnBroker broker;
    std::vector<std::unique_ptr<GroupPanel>> panels;
};

TEST_F(PanelGroup, ACallToAnyPanelIsShownOnAllOfThemOnce) {
    ASSERT_NO_FATAL_FAILURE(startPanels(3));
    const QStringList messages{"MD*41ANA SOUTO", "RE*LUIS MOTA", "CR*2BIA LIMA"};
    for (int i = 0; i < 3; ++i) call(size_t(i), messages[i].toLatin1());
    call(1, "refresh");
    for (const QString& m : messages + QStringList{"refresh"}) EXPECT_TRUE(waitShownEverywhere(m)) << m.toStdString() << allErrors();
    QTest::qWait(1500); // a call delivered twice would come meanwhile
    for (size_t p = 0; p < panels.size(); ++p) {
        for (int i = 0; i < messages.size(); ++i) {
            int own = 0;
            int fromGroup = 0;
            for (const ShownLine& l : panels[p]->shown()) {
                if (l.message != messages[i]) continue;
                own += !l.station.startsWith(QStringLiteral("grupo:"));
                fromGroup += l.station.startsWith(QStringLiteral("grupo:"));
            }
            // Its own station's call once, as read; every other panel's once, from the group.
            EXPECT_EQ(own, int(p) == i ? 1 : 0) << "panel " << p << ", " << messages[i].toStdString();
            EXPECT_EQ(fromGroup, int(p) == i ? 0 : 1) << "panel " << p << ", " << messages[i].toStdString();
        }
        EXPECT_EQ(panels[p]->countShown(QStringLiteral("refresh")), 1) << "panel " << p;
    }
}

// A counter call switches the listener off for its cycle, on every panel; a call from the group
// that comes meanwhile (published here straight to the broker, as a panel whose listener is on
// would) waits, as a station's would, and is shown after it: not inside its pause.
TEST_F(PanelGroup, ACallThatComesDuringACounterCallWaitsForItsCycle) {
    ASSERT_NO_FATAL_FAILURE(startPanels(2));
    TestStation counter;
    ASSERT_TRUE(counter.connectTo(panels[0]->port()));
    counter.send("01015");
    QTest::qWait(300);
    GroupCall after;
    after.origin = QStringLiteral("5b0e6c2f-3d0a-4a55");
    after.seq = 1;
    after.sentAtMs = QDateTime::currentMSecsSinceEpoch();
    after.station = QStringLiteral("192.168.10.30");
    after.message = "MD*41DEPOIS DO GUICHE";
    ASSERT_TRUE(broker.publish(topic(), encodeGroupCall(after)));
    ASSERT_TRUE(waitShownEverywhere(QStringLiteral("MD*41DEPOIS DO GUICHE"))) << allErrors();
    for (size_t p = 0; p < panels.size(); ++p) {
        QDateTime counterAt, afterAt;
        for (const ShownLine& l : panels[p]->shown()) {
            if (l.message == u"01015") counterAt = l.at;
            if (l.message == u"MD*41DEPOIS DO GUICHE") afterAt = l.at;
        }
        ASSERT_TRUE(counterAt.isValid()) << "panel " << p << allErrors();
        // The counter call's pause (1 s) and its pause after the re-query (2 s) come between.
        EXPECT_GE(counterAt.msecsTo(afterAt), 2500) << "panel " << p << allErrors();
    }
}

TEST_F(PanelGroup, ABrokerLostCostsOnlyTheFanOutAndComesBackBySelf) {
    ASSERT_NO_FATAL_FAILURE(startPanels(2));
    ASSERT_TRUE(broker.kill());
    for (int i = 0; i < 3; ++i) call(0, "MD*41SEM BROKER " + QByteArray::number(i));
    EXPECT_TRUE(QTest::qWaitFor([&] { return panels[0]->countShown(QStringLiteral("MD*41SEM BROKER 2")) == 1; }, 10000));
    EXPECT_EQ(panels[1]->countShown(QStringLiteral("MD*41SEM BROKER 0")), 0);
    for (auto& p : panels)
        EXPECT_TRUE(QTest::qWaitFor([&] { return p->errors().contains(QStringLiteral("perdi a conexão com o broker")); }, 5000))
            << allErrors();

    ASSERT_TRUE(broker.start());
    for (auto& p : panels)
        EXPECT_TRUE(QTest::qWaitFor([&] { return p->errors().contains(QStringLiteral("de novo conectado")); }, 20000))
            << allErrors();
    call(0, "MD*41DE VOLTA");
    EXPECT_TRUE(waitShownEverywhere(QStringLiteral("MD*41DE VOLTA"))) << allErrors();
    for (auto& p : panels) {
        // Reported once each, the loss and the return.
        EXPECT_EQ(p->errors().count(QStringLiteral("perdi a conexão com o broker")), 1) << allErrors();
        EXPECT_EQ(p->errors().count(QStringLiteral("de novo conectado")), 1) << allErrors();
        EXPECT_TRUE(p->running());
    }
}

// A panel stopped (its process frozen, its connection to the broker kept) while calls are
// published shows none of them when it comes back, since they are older than the validity; the
// calls after it are shown as usual.
TEST_F(PanelGroup, APanelCutOffWhileCallsArePublishedShowsNoneOfThemLater) {
    ASSERT_NO_FATAL_FAILURE(startPanels(2, "validade=2\r\n"));
    ASSERT_EQ(::kill(pid_t(panels[1]->pid()), SIGSTOP), 0);
    for (int i = 0; i < 3; ++i) call(0, "MD*41ENQUANTO PARADO " + QByteArray::number(i));
    QTest::qWait(3000);
    ASSERT_EQ(::kill(pid_t(panels[1]->pid()), SIGCONT), 0);
    call(0, "MD*41DEPOIS");
    EXPECT_TRUE(waitShownEverywhere(QStringLiteral("MD*41DEPOIS"))) << allErrors();
    QTest::qWait(500);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(panels[1]->countShown(QStringLiteral("MD*41ENQUANTO PARADO %1").arg(i)), 0) << allErrors();
    EXPECT_TRUE(panels[1]->errors().contains(QStringLiteral("mais que a validade de 2 s"))) << allErrors();
}

TEST_F(PanelGroup, WhatIsNotACallOnTheTopicIsIgnoredWithALine) {
    ASSERT_NO_FATAL_FAILURE(startPanels(2));
    GroupCall tooLong;
    tooLong.origin = QStringLiteral("abc");
    tooLong.seq = 1;
    tooLong.sentAtMs = QDateTime::currentMSecsSinceEpoch();
    tooLong.station = QStringLiteral("10.0.0.1");
    tooLong.message = "MD*41" + QByteArray(200, 'X');
    const struct {
        QByteArray payload;
        const char* line; // nullptr: a fault of a kind already reported this minute, counted
    } cases[] = {
        {"MD*41ANA SOUTO", "não é uma chamada de painel"},
        {"MD*41" + QByteArray(100000, 'A'), "grande demais (100005 bytes"},
        {encodeGroupCall(tooLong), nullptr},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(broker.publish(topic(), c.payload));
        if (!c.line) continue;
        for (auto& p : panels)
            EXPECT_TRUE(QTest::qWaitFor([&] { return p->errors().contains(QString::fromUtf8(c.line)); }, 5000))
                << c.line << allErrors();
    }
    call(0, "MD*41DEPOIS");
    EXPECT_TRUE(waitShownEverywhere(QStringLiteral("MD*41DEPOIS"))) << allErrors();
    for (auto& p : panels) {
        EXPECT_EQ(p->shown().size(), 1) << "only the call after them is shown" << allErrors();
        EXPECT_EQ(p->errors().count(QStringLiteral("painel: grupo: ignorada")), 2) << allErrors();
        EXPECT_TRUE(p->running());
    }
}

} // namespace
