// The receive cycle through real sockets: what a station's message does to the panels, the
// listener's behaviour for each form, nesting inside the pause, framing, and recovery after a
// failed cycle.

#include "calls/grammar.h"
#include "calls/listener.h"
#include "db/callsquery.h"
#include "display/memo.h"
#include "display/panel.h"
#include "tests/support/cyclefixture.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class ReceiveCycleTest : public CycleFixture {};

TEST_F(ReceiveCycleTest, ACallReachesThePanelsAndTheStationIsClosedAtTheEnd) {
    startPanel({"0", "1", "N", "S"});
    TestStation station;
    ASSERT_TRUE(station.connectTo(port()));
    station.send(QByteArray("MD*41ANA SOUTO"));
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
    EXPECT_EQ(window->Panel3->text(), QString(20, u' ') + QStringLiteral("ANA SOUTO"));
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("RECEPÇÃO - GUICHE 1"));
    EXPECT_EQ(voice.spoken.first(), QStringLiteral("ANA SOUTO favor comparecer a Recepção, Guiche 1"));
    EXPECT_EQ(window->xsenha, QStringLiteral("ANA SOUTO"));
    // The connection stays open through the 2-second pause, then the listener restart closes it.
    EXPECT_EQ(station.socket().state(), QAbstractSocket::ConnectedState);
    EXPECT_TRUE(station.waitClosed(5000));
    EXPECT_TRUE(window->ServerSocket1->Active());
    EXPECT_EQ(voice.alive, 0); // the voice is released when the cycle ends
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
}

TEST_F(ReceiveCycleTest, MessagesAreDecodedFromTheEightBitCodePage) {
    startPanel({"0", "1", "N", "S"});
    ASSERT_TRUE(sendCall(port(), QByteArray("RE*JO\xC3O CONCEI\xC7\xC3O")));
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
    EXPECT_EQ(window->xsenha, QStringLiteral("JOÃO CONCEIÇÃO"));
    EXPECT_EQ(voice.spoken.first(), QStringLiteral("JOÃO CONCEIÇÃO favor comparecer a recepção"));
}

// [definicao] privacidade=S: the window's calls show and speak the private form of the name.
TEST_F(ReceiveCycleTest, WithPrivacidadeTheNameIsShownAndSpokenInItsPrivateForm) {
    iniExtra = "[definicao]\r\nprivacidade=S\r\n";
    startPanel({"0", "1", "N", "S"});
    ASSERT_TRUE(sendCall(port(), QByteArray("AC*MARIA APARECIDA DOS SANTOS OLIVEIRA")));
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
    EXPECT_EQ(window->Panel7->text(), QStringLiteral("MARIA A. S. O."));
    EXPECT_EQ(voice.spoken.first(), QStringLiteral("MARIA A. S. O.\r favor comparecer a recepção"));
}

TEST_F(ReceiveCycleTest, RefreshClosesEveryConnectionAndChangesNoPanel) {
    startPanel({"0", "1", "S", "S"});
    window->Panel3->setText("A 15");
    window->Panel8->setText(QStringLiteral("Guichê 3"));
    window->Panel3->setFontPoints(36);
    window->Panel7->show();
    // What the listener and the list go through, in order.
    QStringList steps;
    const auto step = [&](const char* what) {
        if (steps.isEmpty() || steps.last() != QLatin1String(what)) steps << QLatin1String(what);
    };
    QObject::connect(window->ServerSocket1, &TServerSocket::ActiveChanged, [&](bool on) { step(on ? "on" : "off"); });
    QObject::connect(window->ServerSocket1, &TServerSocket::Restarted, [&] { step("restart"); });
    QObject::connect(window->GUICHELISTA.get(), &QAbstractItemModel::modelReset, [&] { step("re-query"); });
    TestStation idle1, idle2, caller;
    ASSERT_TRUE(idle1.connectTo(port()));
    ASSERT_TRUE(idle2.connectTo(port()));
    ASSERT_TRUE(caller.connectTo(port()));
    caller.send("refresh");
    EXPECT_TRUE(caller.waitClosed(3000));
    // Connected just before: closed once they have stayed silent for the fresh period.
    EXPECT_TRUE(idle1.waitClosed(TServerSocket::kFreshMs + 2000));
    EXPECT_TRUE(idle2.waitClosed(TServerSocket::kFreshMs + 2000));
    EXPECT_EQ(window->Panel3->text(), QStringLiteral("A 15"));
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("Guichê 3"));
    EXPECT_EQ(window->Panel3->fontPoints(), 140);
    EXPECT_TRUE(window->Panel7->isHidden());
    EXPECT_TRUE(voice.spoken.isEmpty());
    EXPECT_TRUE(window->ServerSocket1->Active());
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
    // Off around the re-query, on, then the restart that ends every cycle.
    QTRY_COMPARE_WITH_TIMEOUT(steps, (QStringList{"off", "re-query", "on", "restart"}), 3000);
}

// A message that arrives in two pieces, the second while the first piece's cycle runs, is two
// calls: the second is handled inside the first one's pause, as another station's would be.
TEST_F(ReceiveCycleTest, AMessageInTwoPiecesIsTwoCalls) {
    startPanel({"0", "1", "N", "S"});
    TestStation station;
    ASSERT_TRUE(station.connectTo(port()));
    // The second piece goes while the first is being spoken.
    voice.onSpeak = [&](const QString& text) {
        if (text.startsWith(u"ANA")) station.send("MD*8BIA");
    };
    station.send("MD*7ANA");
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 2, 5000);
    EXPECT_EQ(voice.spoken, (QStringList{QStringLiteral("ANA favor comparecer ao consultório 7"),
                                         QStringLiteral("BIA favor comparecer ao consultório 8")}));
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("Consultório 8"));
    EXPECT_TRUE(station.waitClosed(5000));
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
}

TEST_F(ReceiveCycleTest, NotRefreshRequestsAreCounterCallsThatFail) {
    startPanel({"0", "1", "N", "S"});
    const struct {
        QByteArray message;
        QString error;
    } cases[] = {{"Refresh", "'Re' is not a valid integer value."},
                 {"refresh ", "'re' is not a valid integer value."},
                 {"refresh\r\n", "'re' is not a valid integer value."}};
    for (const auto& c : cases) {
        report.errors.clear();
        ASSERT_TRUE(sendCall(port(), c.message));
        QTRY_COMPARE_WITH_TIMEOUT(report.errors.size(), 1, 5000);
        EXPECT_EQ(report.errors.first(), c.error);
        // Whatever step failed, the listener is on again when the error is shown.
        EXPECT_TRUE(window->ServerSocket1->Active());
    }
    EXPECT_TRUE(voice.spoken.isEmpty());
}

TEST_F(ReceiveCycleTest, ACounterCallRefusesStationsUntilItsCycleEnds) {
    startPanel({"0", "1", "N", "S"});
    QStringList seen;
    bool refusedDuringPause = false;
    voice.onSpeak = [&](const QString&) {
        seen.append(window->Panel3->text());
        TestStation late;
        refusedDuringPause = !late.connectTo(port(), 1000) && late.error() == QAbstractSocket::ConnectionRefusedError;
    };
    TestStation station;
    ASSERT_TRUE(station.connectTo(port()));
    station.send("03015A");
    // The station is closed as soon as the form handling starts.
    EXPECT_TRUE(station.waitClosed(1500));
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
    EXPECT_TRUE(refusedDuringPause);
    EXPECT_EQ(voice.spoken.first(), QStringLiteral("Senha A 15, Guichê 3"));
    EXPECT_EQ(seen, QStringList{"A 15"});
    QTRY_VERIFY_WITH_TIMEOUT(window->ServerSocket1->Active(), 5000);
    TestStation after;
    EXPECT_TRUE(after.connectTo(port()));
}

TEST_F(ReceiveCycleTest, ASecondStationDuringThePauseIsHandledNested) {
    startPanel({"0", "1", "N", "S"});
    QStringList switches;
    QObject::connect(window->ServerSocket1, &TServerSocket::ActiveChanged,
                     [&](bool on) { switches.append(on ? "on" : "off"); });
    QObject::connect(window->ServerSocket1, &TServerSocket::Restarted, [&] { switches.append("restart"); });
    TestStation first, second;
    QElapsedTimer clock;
    qint64 nestedSpokenAt = -1;
    voice.onSpeak = [&](const QString& text) {
        if (text.startsWith(u"BIA")) nestedSpokenAt = clock.elapsed();
    };
    ASSERT_TRUE(first.connectTo(port()));
    clock.start();
    first.send("MD*7ANA");
    // During the first call's 2-second pause another station calls.
    QTimer::singleShot(600, [&] {
        ASSERT_TRUE(second.connectTo(port()));
        second.send("MD*8BIA");
    });
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 2, 5000);
    EXPECT_LT(nestedSpokenAt, 2000); // handled at once, inside the first call's pause
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("Consultório 8"));
    EXPECT_TRUE(first.waitClosed(4000));
    EXPECT_TRUE(second.waitClosed(4000));
    // The nested cycle restarts the listener, then the outer cycle restarts it once more; the
    // listening socket stays open through both.
    QTRY_COMPARE_WITH_TIMEOUT(switches, (QStringList{"restart", "restart"}), 4000);
    EXPECT_TRUE(window->ServerSocket1->Active());
}

TEST_F(ReceiveCycleTest, TwoMessagesBeforeTheReadAreOneMessage) {
    startPanel({"0", "1", "N", "S"});
    TestStation station;
    ASSERT_TRUE(station.connectTo(port()));
    station.send("MD*7ANA");
    station.send("MD*8BIA");
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
    EXPECT_EQ(voice.spoken.first(), QStringLiteral("ANAMD*8BIA favor comparecer ao consultório 7"));
}

TEST_F(ReceiveCycleTest, AnOverLongMessageIsCutAndTheRestDropped) {
    startPanel({"0", "1", "N", "S"});
    TestStation station;
    ASSERT_TRUE(station.connectTo(port()));
    station.send("RE*" + QByteArray(200000, 'A'));
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
    EXPECT_EQ(window->xsenha.size(), kMaxMessageChars - 3);
    EXPECT_TRUE(station.waitClosed(5000));
    QTest::qWait(300);
    EXPECT_EQ(voice.spoken.size(), 1); // the rest of the message started no further call
}

TEST_F(ReceiveCycleTest, AFailingSpeechStillLeavesTheListenerOn) {
    startPanel({"0", "1", "N", "S"});
    voice.failSpeak = QStringLiteral("no audio device");
    ASSERT_TRUE(sendCall(port(), "MD*7ANA"));
    QTRY_COMPARE_WITH_TIMEOUT(report.errors.size(), 1, 5000);
    EXPECT_EQ(report.errors.first(), QStringLiteral("no audio device."));
    EXPECT_TRUE(window->ServerSocket1->Active());
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("Consultório 7")); // what was set stays
    TestStation next;
    EXPECT_TRUE(next.connectTo(port()));
}

struct SwitchCase {
    QStringList lines;
    bool speaks;
};

TEST_F(ReceiveCycleTest, TheVoiceSwitchIsExactlyS) {
    const SwitchCase cases[] = {{{"0", "1", "N", "S"}, true},  {{"0", "1", "N", "s"}, false},
                                {{"0", "1", "N", "S "}, false}, {{"0", "1", "N"}, false},
                                {{"0", "1", "N", ""}, false}};
    // The pause is only recorded: the re-query and the pause happen whether the call is spoken
    // or not.
    QList<int> pauses;
    pause = [&](int seconds) { pauses << seconds; };
    for (const SwitchCase& c : cases) {
        pauses.clear();
        startPanel(c.lines);
        ASSERT_TRUE(sendCall(port(), "RE*ANA"));
        QTRY_COMPARE_WITH_TIMEOUT(pauses, QList<int>{2}, 5000);
        EXPECT_EQ(window->Panel8->text(), QStringLiteral("Recepção"));
        EXPECT_EQ(voice.created, c.speaks ? 1 : 0) << c.lines.join('|').toStdString();
        EXPECT_EQ(voice.spoken.size(), c.speaks ? 1 : 0) << c.lines.join('|').toStdString();
        stopPanel();
    }
}

} // namespace
