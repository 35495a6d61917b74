// The panel under abuse on loopback, in this process: many stations calling at once, random
// bytes, empty connections, connections that send nothing and stay open, connections reset in
// the middle of a message, a message of 1 MiB, a burst of refresh requests and counter calls with
// bad numbers, all at the same time from threads of their own. Afterwards the window is alive,
// the listener takes the next call within a cycle, the clock ticks, descriptors and memory are
// back near where they were, and every well-formed call that reached the panel was shown and
// spoken. A call reached the panel when its connection was accepted, every byte went out and the
// panel ended the connection in order. A station that connects and is slow to send may find its
// connection closed by another station's cycle first (the listener's restart closes every
// connection with no message): the panel's system then answers its bytes with a reset, and the
// station knows its call did not get through.
//
// The panel runs in this process (the cycle fixture) so that the test sees what it showed and
// spoke (fake voice) and what it reported (recording error report); the stations use plain
// sockets on threads of their own, so that they never wait for the panel's event loop.

#include "calls/listener.h"
#include "display/panel.h"
#include "tests/support/cyclefixture.h"
#include "tests/support/procstats.h"
#include "tests/support/rawstation.h"

#include <QElapsedTimer>
#include <QSet>
#include <QRegularExpression>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <QTest>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// How long a station waits for the panel to close its connection. Counter calls hold the listener
// off for three seconds each, during which nothing else is read: the stations queue behind them.
constexpr int kPatienceMs = 60000;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true; // keeps freed memory in quarantine: RSS says nothing
#else
constexpr bool kAddressSanitizer = false;
#endif

// What the stations did, filled by their threads.
struct Tally {
    std::mutex lock;
    std::atomic<int> attempts = 0;
    std::atomic<int> refused = 0;
    std::vector<QString> sentCalls; // well-formed calls that reached the panel: their expected speech
    int refusedCalls = 0;           // well-formed calls whose connection was refused
    int cutOffCalls = 0;            // well-formed calls answered with a reset
    int slowCalls = 0;              // well-formed calls whose connection the panel kept over a minute

    void sent(const QString& speech, bool closedInTime) {
        const std::lock_guard<std::mutex> guard(lock);
        sentCalls.push_back(speech);
        if (!closedInTime) ++slowCalls;
    }
    void notSent(bool refused) {
        const std::lock_guard<std::mutex> guard(lock);
        ++(refused ? refusedCalls : cutOffCalls);
    }
};

class AbuseTest : public CycleFixture {
protected:
    // Runs body on a thread of its own; the threads are joined by joinAll().
    void spawn(std::function<void()> body) { m_threads.emplace_back(std::move(body)); }

    bool joinAll(int timeoutMs) {
        const bool done = QTest::qWaitFor([&] { return m_running == 0; }, timeoutMs);
        for (std::thread& t : m_threads) t.join();
        m_threads.clear();
        return done;
    }

    // One connection: connect, then what `use` does with it (when refused, `refused`).
    void station(const std::function<void(RawStation&)>& use, const std::function<void()>& refused = {}) {
        ++m_running;
        const quint16 panelPort = port();
        spawn([this, panelPort, use, refused] {
            RawStation s;
            ++tally.attempts;
            if (s.connectTo(panelPort, 5000)) {
                use(s);
            } else {
                ++tally.refused;
                if (refused) refused();
            }
            --m_running;
        });
    }

    // A well-formed call from a station that leaves its connection to the panel.
    void wellFormed(const QByteArray& message, const QString& speech) {
        station(
            [this, message, speech](RawStation& s) {
                const bool sent = s.send(message);
                const bool closed = s.waitClosed(kPatienceMs);
                if (sent && !s.wasReset()) tally.sent(speech, closed);
                else tally.notSent(false);
            },
            [this] { tally.notSent(true); });
    }

    Tally tally;

private:
    std::vector<std::thread> m_threads;
    std::atomic<int> m_running = 0;
};

TEST_F(AbuseTest, ThePanelSurvivesEverythingAtOnceAndShowsEveryCallThatWasSent) {
    startPanel({"0", "1", "N", "S"});
    // A first call brings in what the panel allocates once (fonts, the statement, ...).
    wellFormed("MD*7AQUECIMENTO", "AQUECIMENTO favor comparecer ao consultório 7");
    ASSERT_TRUE(joinAll(20000));
    QTRY_COMPARE_WITH_TIMEOUT(window->ServerSocket1->connectionCount(), 0, 10000);
    QTest::qWait(200);
    const int fdsBefore = procstats::openDescriptors();
    const qint64 rssBefore = procstats::residentKiB();
    tally.sentCalls.clear();
    voice.spoken.clear();
    report.errors.clear();

    QElapsedTimer clock;
    clock.start();
    std::mt19937 random(20240601); // fixed: the same abuse every run
    const auto abuseWave = [&](int wave) {
        // Many stations at once.
        for (int i = 0; i < 12; ++i) {
            const QString name = QStringLiteral("W%1C%2").arg(wave).arg(i);
            wellFormed("MD*7" + name.toLatin1(), name + QStringLiteral(" favor comparecer ao consultório 7"));
        }
        // A counter call that holds the listener off for its cycle.
        const int ticket = 100 + wave;
        wellFormed("03" + QByteArray::number(ticket) + "T", QStringLiteral("Senha T %1, Guichê 3").arg(ticket));
        // Random bytes.
        for (int i = 0; i < 8; ++i) {
            QByteArray junk(int(random() % 3000) + 1, Qt::Uninitialized);
            for (char& c : junk) c = char(random());
            station([junk](RawStation& s) { s.send(junk, 2000); s.waitClosed(kPatienceMs); });
        }
        // Empty connections, and connections reset in the middle of a message.
        for (int i = 0; i < 8; ++i) station([](RawStation& s) { s.close(); });
        for (int i = 0; i < 6; ++i)
            station([](RawStation& s) {
                s.send("MD*7METADE");
                s.reset();
            });
        // Counter calls with bad numbers, and a burst of refresh requests.
        for (const char* bad : {"AB015X", "0A015X", "03X15Y", "1", "", " +", "+-015X", "-"})
            station([bad](RawStation& s) { s.send(bad, 2000); s.waitClosed(kPatienceMs); });
        for (int i = 0; i < 10; ++i)
            station([](RawStation& s) { s.send("refresh", 2000); s.waitClosed(kPatienceMs); });
    };

    // Silent connections for the whole run, and one message of 1 MiB.
    std::atomic<bool> over = false;
    for (int i = 0; i < 8; ++i)
        station([&over](RawStation& s) {
            while (!over && !s.waitClosed(100)) {
            }
        });
    station([](RawStation& s) {
        s.send("RE*" + QByteArray(1024 * 1024, 'B'), kPatienceMs);
        s.waitClosed(kPatienceMs);
    });
    for (int wave = 0; wave < 4; ++wave) {
        abuseWave(wave);
        QTest::qWait(1500); // the panel serves its queue meanwhile
    }
    over = true;
    ASSERT_TRUE(joinAll(kPatienceMs + 30000)) << "stations still waiting";

    // Every well-formed call that reached the panel was shown and spoken.
    QTRY_VERIFY_WITH_TIMEOUT(window->ServerSocket1->Active(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(window->ServerSocket1->connectionCount(), 0, 30000);
    for (const QString& speech : tally.sentCalls)
        EXPECT_TRUE(voice.spoken.contains(speech)) << "sent but not shown: " << speech.toStdString();
    EXPECT_GE(tally.sentCalls.size(), 40u) << "too few calls got through";
    EXPECT_EQ(tally.slowCalls, 0) << "calls that waited over a minute";

    // Only the errors that such stations earn.
    static const QRegularExpression expected(
        QStringLiteral("^('.*' is not a valid integer value\\.|The remote host closed the connection\\.|"
                       "Connection reset by peer\\.|Network operation timed out\\.)$"),
        QRegularExpression::DotMatchesEverythingOption);
    for (const QString& e : std::as_const(report.errors))
        EXPECT_TRUE(expected.match(e).hasMatch()) << "unexpected error: " << e.toStdString();

    const qint64 abuseMs = clock.elapsed();
    // Alive: the window is up, the clock ticks, the next call is shown within a cycle.
    EXPECT_TRUE(window->isVisible());
    window->Panel1->setText(QStringLiteral("--"));
    QTRY_VERIFY_WITH_TIMEOUT(window->Panel1->text() != u"--", 3000);
    const qsizetype spokenBefore = voice.spoken.size();
    {
        TestStation last;
        ASSERT_TRUE(last.connectTo(port()));
        last.send("MD*9FIM");
        QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), spokenBefore + 1, 5000);
        EXPECT_EQ(window->Panel8->text(), QStringLiteral("Consultório 9"));
        EXPECT_TRUE(last.waitClosed(5000));
    }

    // Back near where it was: descriptors exactly, memory within a few MiB.
    QTRY_COMPARE_WITH_TIMEOUT(window->ServerSocket1->connectionCount(), 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(procstats::openDescriptors() <= fdsBefore, 5000);
    const int fdsAfter = procstats::openDescriptors();
    const qint64 rssAfter = procstats::residentKiB();
    if (!kAddressSanitizer) {
        EXPECT_LT(rssAfter - rssBefore, 16 * 1024) << "KiB more resident memory";
    }

    std::printf("abuse: %d connections tried, %d refused; well-formed calls: %zu reached the panel and "
                "were all shown, %d refused, %d cut off before they got through; %lld errors reported\n",
                tally.attempts.load(), tally.refused.load(), tally.sentCalls.size(), tally.refusedCalls,
                tally.cutOffCalls, (long long)report.errors.size());
    std::printf("abuse: %lld ms from the first abuse to the last call shown\n", (long long)abuseMs);
    std::printf("abuse: descriptors %d before, %d after; resident memory %lld KiB before, %lld KiB after\n",
                fdsBefore, fdsAfter, (long long)rssBefore, (long long)rssAfter);
}

// Sixteen stations calling without pause, a spell of 150 junk messages 20 ms apart from one
// station, then a burst of 60 calls at once: no station that connected and sent is reset with its
// call unread, and every call is spoken.
TEST_F(AbuseTest, JunkAndABurstCostNoStationItsCall) {
    pause = [](int seconds) { QTest::qWait(seconds * 250); }; // cycles at a quarter of their pace
    startPanel({"0", "1", "N", "S"});
    const quint16 panel = port();
    // One call; its name is what is spoken.
    const auto call = [this, panel](const QByteArray& name) {
        RawStation s;
        if (!s.connectRetrying(panel, 10000)) {
            tally.notSent(true);
            return;
        }
        const bool sent = s.send("MD*7" + name);
        const bool closed = s.waitClosed(kPatienceMs);
        if (sent && !s.wasReset()) tally.sent(QString::fromLatin1(name), closed);
        else tally.notSent(false);
    };
    // The panel runs on this thread: it serves its event queue while the stations' threads run.
    std::atomic<int> running = 0;
    std::vector<std::thread> threads;
    const auto start = [&](std::function<void()> body) {
        ++running;
        threads.emplace_back([&running, body = std::move(body)] {
            body();
            --running;
        });
    };
    const auto waitAll = [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return running == 0; }, 5 * kPatienceMs));
        for (std::thread& t : threads) t.join();
        threads.clear();
    };
    std::atomic<bool> stop = false;
    for (int st = 0; st < 16; ++st)
        start([&, st] {
            for (int i = 0; !stop; ++i) call("S" + QByteArray::number(st) + "N" + QByteArray::number(i));
        });
    std::atomic<bool> junkDone = false;
    start([&] {
        std::mt19937 random(7);
        for (int i = 0; i < 150; ++i) {
            RawStation s;
            QByteArray bytes(int(random() % 60) + 1, Qt::Uninitialized);
            for (char& c : bytes) c = char(random() % 256);
            if (s.connectTo(panel, 2000)) s.send(bytes);
            std::this_thread::sleep_for(20ms);
        }
        junkDone = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return junkDone.load(); }, kPatienceMs));
    for (int i = 0; i < 60; ++i) start([&, i] { call("B" + QByteArray::number(i)); });
    QTest::qWait(2000);
    stop = true;
    waitAll();
    QTRY_COMPARE_WITH_TIMEOUT(window->ServerSocket1->readDepth(), 0, 20000);
    EXPECT_EQ(tally.cutOffCalls, 0) << "stations reset with their call unread";
    EXPECT_EQ(tally.refusedCalls, 0);
    EXPECT_EQ(tally.slowCalls, 0);
    const QSet<QString> spoken(voice.spoken.begin(), voice.spoken.end());
    int missing = 0;
    for (const QString& name : tally.sentCalls) missing += !spoken.contains(name + QStringLiteral(" favor comparecer ao consultório 7"));
    EXPECT_EQ(missing, 0) << "of " << tally.sentCalls.size() << " calls sent";
    std::printf("%zu calls sent through junk and a burst, %d reset, %d not spoken\n", tally.sentCalls.size(),
                tally.cutOffCalls, missing);
}

} // namespace
