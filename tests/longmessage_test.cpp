// What one message can cost the panel. A station that sends a message of 1 MiB at once, or one that
// never stops sending it in small pieces, holds the panel for one ordinary cycle: the panel reads kMaxMessageChars characters,
// shows and speaks them, drops the rest and closes the connection at the end of the cycle (no further read
// event comes from a connection while its own cycle runs).
// Nothing after the last of them is shown, spoken or handled as a message of its own.

#include "calls/grammar.h"
#include "calls/listener.h"
#include "display/panel.h"
#include "tests/support/cyclefixture.h"
#include "tests/support/rawstation.h"

#include <QElapsedTimer>
#include <atomic>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr int kMaxChars = int(kMaxMessageChars);
constexpr qint64 kMiB = 1024 * 1024;

// A call of exactly kMaxChars characters, then pieces that would be calls of their own ("MD*8ZZ...", a
// counter call "ZZ...") if anything after the cut were handled.
QByteArray callThenTail(qint64 size) {
    QByteArray bytes = "MD*7" + QByteArray(kMaxChars - 4, 'A');
    while (bytes.size() < size) bytes += "MD*8ZZZZZZZZ";
    bytes.truncate(size);
    return bytes;
}

enum class Sending { OneMebibyte, NeverStops };

struct Case {
    const char* name;
    Sending sending;
};

class LongMessageTest : public CycleFixture, public ::testing::WithParamInterface<Case> {};

TEST_P(LongMessageTest, HoldsThePanelForOneOrdinaryCycleAndShowsOnlyTheLongestMessage) {
    startPanel({"0", "1", "N", "S"});
    QStringList seen; // what the call lines held at each announcement
    voice.onSpeak = [&](const QString&) {
        seen << window->Panel3->text() << window->Panel7->text() << window->Panel8->text() << window->xsenha;
    };

    // The station runs on a thread of its own, so that its sending never waits for the panel.
    std::atomic<bool> done = false;
    std::atomic<bool> connected = false;
    std::atomic<qint64> closedAfterMs = -1;
    const quint16 panelPort = port();
    const Sending sending = GetParam().sending;
    std::thread station([&] {
        RawStation s;
        QElapsedTimer clock;
        clock.start();
        if (s.connectTo(panelPort)) {
            connected = true;
            if (sending == Sending::OneMebibyte) {
                s.send(callThenTail(kMiB), 60000);
                if (s.waitClosed(60000)) closedAfterMs = clock.elapsed();
            } else {
                // Pieces of about 1000 bytes, a few milliseconds apart, as a slow network delivers them,
                // until the panel closes the connection.
                const QByteArray first = callThenTail(1000);
                const QByteArray piece = callThenTail(kMaxChars + 960).mid(kMaxChars); // "MD*8ZZ..."
                s.send(first);
                while (clock.elapsed() < 60000) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    if (!s.send(piece, 100) && s.waitClosed(0)) {
                        closedAfterMs = clock.elapsed();
                        break;
                    }
                }
            }
        }
        done = true;
    });
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, 70000);
    station.join();
    ASSERT_TRUE(finished);
    ASSERT_TRUE(connected);

    // The panel let the station go at the end of the message's own cycle: its 2-second pause and
    // little more, far from a minute.
    ASSERT_GE(closedAfterMs, 0) << "the panel never closed the connection";
    EXPECT_LT(closedAfterMs, 10000);
    std::printf("%s: connection closed after %lld ms\n", GetParam().name, (long long)closedAfterMs.load());

    const QString name(kMaxChars - 4, u'A');
    ASSERT_EQ(voice.spoken.size(), 1) << voice.spoken.join('|').left(300).toStdString();
    EXPECT_EQ(voice.spoken.first(), name + QStringLiteral(" favor comparecer ao consultório 7"));
    for (const QString& text : std::as_const(seen)) EXPECT_FALSE(text.contains(u'Z'));
    EXPECT_EQ(window->xsenha, name);
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').left(300).toStdString();

    // The panel is free again: the next call is shown.
    ASSERT_TRUE(sendCall(port(), "MD*9FIM"));
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 2, 10000);
    EXPECT_EQ(voice.spoken.last(), QStringLiteral("FIM favor comparecer ao consultório 9"));
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("Consultório 9"));
}

INSTANTIATE_TEST_SUITE_P(Sending, LongMessageTest,
                         ::testing::Values(Case{"one message of 1 MiB", Sending::OneMebibyte},
                                           Case{"a station that never stops sending", Sending::NeverStops}),
                         [](const auto& info) {
                             return info.param.sending == Sending::OneMebibyte ? std::string("OneMebibyte")
                                                                               : std::string("NeverStops");
                         });

} // namespace
