// Faults at run time, each during calls: the database server killed and started again, the media
// files removed or spoilt, the speech engine failing. Each ends in the error report with the
// listener on again, and the panel goes on showing calls.

#include "calls/listener.h"
#include "db/callsquery.h"
#include "db/database.h"
#include "base/errorreport.h"
#include "display/panel.h"
#include "media/mediaplayer.h"
#include "tests/support/cyclefixture.h"
#include "tests/support/firebird.h"
#include "tests/support/mediawait.h"
#include "tests/support/rawstation.h"
#include "tools/testmedia.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QScopeGuard>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <QTest>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

class FaultsTest : public CycleFixture {
protected:
    static void SetUpTestSuite() { ensureApp(); }

    // Sends a call and waits until it has been spoken (the call is on the panels by then).
    void call(const QByteArray& message) {
        const qsizetype before = voice.spoken.size();
        ASSERT_TRUE(sendCall(port(), message)) << message.constData();
        QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), before + 1, 10000);
    }

    // Waits until the cycles have run out: the listener is on and the clock is served.
    void settle() {
        QTRY_VERIFY_WITH_TIMEOUT(window->ServerSocket1->Active(), 10000);
        window->Panel1->setText(QStringLiteral("--"));
        QTRY_VERIFY_WITH_TIMEOUT(window->Panel1->text() != u"--", 3000);
    }
};

// The process id of a server that OwnServer started in `root`.
pid_t serverPid(const QString& root) {
    QFile f(root + QStringLiteral("/server.pid"));
    return f.open(QIODevice::ReadOnly) ? pid_t(f.readAll().trimmed().toInt()) : 0;
}

// The panel reading its calls list from a Firebird server of the test's own, with three calls
// today, after one call handled while the server was well.
class ServerFaultsTest : public FaultsTest {
protected:
    void SetUp() override {
        FaultsTest::SetUp();
        if (!QFile::exists(QStringLiteral("/usr/sbin/firebird")))
            GTEST_SKIP() << "no Firebird server program (/usr/sbin/firebird, package firebird3.0-server)";
        server = own.start();
        const QString name = server.databaseName(dir.file(QStringLiteral("fatura.FDB")));
        {
            FbSession station = FbSession::create(name, server.params());
            station.createSchema();
            station.addCounter(1, QStringLiteral("CAIXA"), QStringLiteral("CX"));
            for (int i = 1; i <= 3; ++i)
                station.addCall({.indice = i, .codigopac = i, .guiche = 1, .senha = i, .order = i});
        }
        useDatabase(name, server.params());
        startPanel({"0", "1", "N", "S"});
        ASSERT_EQ(window->GUICHELISTA->rowCount(), 3);
    }

    const QString root = dir.file(QStringLiteral("server"));
    OwnServer own{root};
    FbServer server;
};

TEST_F(ServerFaultsTest, TheDatabaseServerKilledAndStartedAgainDuringCalls) {
    call("MD*7ANTES");
    settle();
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();

    // Killed outright, with no chance to tell its clients.
    const pid_t pid = serverPid(root);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !RawStation().connectTo(quint16(server.port), 200); }, 10000))
        << "the server still answers";
    own.stop(); // only forgets the dead server, however soon the system reaps it

    // While it is down every call is still shown and spoken; its re-query fails with the client
    // library's text, and the listener is on again.
    for (const QByteArray& message : {QByteArray("MD*7DURANTE1"), QByteArray("MD*7DURANTE2")}) {
        const qsizetype errorsBefore = report.errors.size();
        call(message);
        QTRY_COMPARE_WITH_TIMEOUT(report.errors.size(), errorsBefore + 1, 10000);
        EXPECT_FALSE(report.errors.last().isEmpty());
        EXPECT_TRUE(window->ServerSocket1->Active());
        EXPECT_EQ(window->GUICHELISTA->rowCount(), 0);
        EXPECT_EQ(window->xsenha, QString::fromLatin1(message.mid(4)));
    }
    EXPECT_TRUE(report.errors.last().startsWith(QStringLiteral("Unable to complete network request to host \"127.0.0.1\"")))
        << report.errors.last().toStdString();

    // Started again: the first re-query after it connects anew and the list shows again.
    own.start();
    const qsizetype errorsBefore = report.errors.size();
    call("MD*7DEPOIS");
    settle();
    EXPECT_EQ(report.errors.size(), errorsBefore) << report.errors.join('|').toStdString();
    EXPECT_EQ(window->GUICHELISTA->rowCount(), 3);
    EXPECT_EQ(voice.spoken.size(), 4);
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("Consultório 7"));
}

// The server stopped (SIGSTOP) in the middle of a stream of calls: its sockets stay open and say
// nothing, as with a hung server, a host that lost power or a cut cable. Every call is still shown
// and spoken, the panel never stands still for much longer than the database bound, only the
// first call after the server stopped waits for it (the outage is reported once), and once the
// server answers again the list is back at the next re-query.
TEST_F(ServerFaultsTest, TheDatabaseServerHangingDuringAStreamOfCalls) {
    constexpr qint64 kBoundMs = 4000;
    window->Fatura->setTimeout(std::chrono::milliseconds(kBoundMs));
    call("MD*7ANTES");
    settle();

    // How long the event loop stood still (the clock with it), and when each call reached the
    // screen: its panels are set and painted right before it is spoken.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, longestStill = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestStill = std::max(longestStill, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    ticker.start(20);
    QHash<QString, qint64> shownAt;
    voice.onSpeak = [&](const QString&) { shownAt.insert(window->xsenha, clock.elapsed()); };

    const pid_t pid = serverPid(root);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    const auto continueServer = qScopeGuard([pid] { ::kill(pid, SIGCONT); });
    // A station every 2.5 s, from a thread of its own.
    constexpr int kCalls = 5;
    QHash<QString, qint64> sentAt;
    std::mutex sentLock;
    std::thread stations([&, panel = port()] {
        for (int i = 1; i <= kCalls; ++i) {
            const QByteArray message = "MD*7PARADO" + QByteArray::number(i);
            {
                const std::lock_guard guard(sentLock);
                sentAt.insert(QString::fromLatin1(message.mid(4)), clock.elapsed());
            }
            RawStation s;
            if (s.connectTo(panel, 10000)) s.send(message);
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        }
    });
    const bool allShown = QTest::qWaitFor([&] { return shownAt.size() == kCalls; }, 60000);
    stations.join();
    ASSERT_TRUE(allShown) << shownAt.size() << " of " << kCalls << " calls shown while the server hung";
    settle();
    ticker.stop();
    std::printf("server hung: the event loop stood still %lld ms at most (bound %lld ms)\n",
                (long long)longestStill, (long long)kBoundMs);
    for (int i = 1; i <= kCalls; ++i) {
        const QString key = QStringLiteral("PARADO%1").arg(i);
        const qint64 delay = shownAt.value(key) - sentAt.value(key);
        std::printf("  %s on screen %lld ms after its message\n", qPrintable(key), (long long)delay);
        EXPECT_LT(delay, 2 * kBoundMs + 2000) << qPrintable(key);
        // The first call's re-query waits the bound; it was over before the third was sent.
        if (i >= 3) {
            EXPECT_LT(delay, kBoundMs) << qPrintable(key) << " waited for the hung server";
        }
    }
    EXPECT_LT(longestStill, kBoundMs + 2000);
    EXPECT_EQ(report.errors, QStringList{errorReportText(window->Fatura->timeoutError().text())});
    EXPECT_EQ(window->GUICHELISTA->rowCount(), 0);
    EXPECT_TRUE(window->ServerSocket1->Active());
    EXPECT_EQ(voice.spoken.size(), kCalls + 1);

    // The server answers again: the list is back at the next re-query.
    ::kill(pid, SIGCONT);
    const qint64 answeredAt = clock.elapsed();
    call("MD*7DEPOIS");
    QTRY_COMPARE_WITH_TIMEOUT(window->GUICHELISTA->rowCount(), 3, 10000);
    std::printf("list back %lld ms after the server answered again\n", (long long)(clock.elapsed() - answeredAt));
    settle();
    EXPECT_EQ(window->GUICHELISTA->rowCount(), 3);
}

// After a power cut the panel's machine boots before its database server: start-up reports the
// failure and goes on, the listener is on and calls are shown; the list appears at the first
// re-query after the server is up.
TEST_F(ServerFaultsTest, TheDatabaseServerDownAtStartUpCostsOnlyTheList) {
    stopPanel();
    own.stop();
    startPanel({"0", "1", "N", "S"});
    ASSERT_EQ(report.errors.size(), 1) << report.errors.join('|').toStdString();
    EXPECT_TRUE(report.errors.first().startsWith(QStringLiteral("Unable to complete network request")))
        << report.errors.first().toStdString();
    ASSERT_TRUE(window->ServerSocket1->Active());
    EXPECT_FALSE(window->GUICHELISTA->isActive());
    call("MD*7SEMBANCO");
    EXPECT_EQ(window->xsenha, QStringLiteral("SEMBANCO"));
    settle();

    own.start();
    call("MD*7COMBANCO");
    settle();
    EXPECT_EQ(window->GUICHELISTA->rowCount(), 3);
    EXPECT_TRUE(window->ServerSocket1->Active());
}

class MediaFaultsTest : public FaultsTest {
protected:
    void SetUp() override {
        FaultsTest::SetUp();
        QString why;
        video = dir.file(QStringLiteral("VIDEO.WMV"));
        if (!testmedia::writeTestVideo(video, 20, false, &why)) GTEST_SKIP() << why.toStdString();
        notify = dir.file(QStringLiteral("NOTIFY.WAV"));
        ASSERT_TRUE(testmedia::writeChimeWav(notify, 300, &why)) << why.toStdString();
    }

    // Started up with both media files (the sound opened only when it is there at start-up), the
    // video in loop mode.
    void startWithMedia(bool openSound = true) {
        iniExtra = "[definicao]\r\nrepetirvideo=S\r\n";
        if (!openSound) {
            ASSERT_TRUE(QFile::remove(notify));
        }
        startPanel({"0", "1", "S", "S"});
        if (!openSound) {
            ASSERT_TRUE(testmedia::writeChimeWav(notify, 300));
        }
        ASSERT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->VIDEO1->Mode() == MediaMode::Playing; }, 10000));
    }

    QString video;
    QString notify;
};

TEST_F(MediaFaultsTest, TheVideoFileRemovedWhilePlayingIsLeftAlone) {
    startWithMedia();
    QList<MediaMode> atSpeech;
    voice.onSpeak = [&](const QString&) { atSpeech.append(window->VIDEO1->Mode()); };
    call("MD*7COM");
    settle();
    ASSERT_TRUE(QFile::remove(video));
    call("MD*7SEM");
    settle();
    // With the file the cycle paused the video; without it, it made no media call at all.
    EXPECT_EQ(atSpeech, (QList<MediaMode>{MediaMode::Paused, MediaMode::Playing}));
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
    EXPECT_EQ(window->xsenha, QStringLiteral("SEM"));
}

TEST_F(MediaFaultsTest, AVideoFileSpoiltThenReopenedFailsAndCallsAreStillShown) {
    startWithMedia();
    {
        QFile f(video);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(64 * 1024, '\x5A'));
    }
    window->PanelVideoDblClick(window->PanelVideo);
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_FALSE(report.errors.first().isEmpty());
    EXPECT_NE(report.errors.first(), QStringLiteral("No MCI device open."));
    EXPECT_FALSE(window->VIDEO1->isOpen());
    // In loop mode the replay ticks find the device closed: said once, not every second.
    QTRY_COMPARE_WITH_TIMEOUT(report.errors.size(), 2, 5000);
    EXPECT_EQ(report.errors.last(), QStringLiteral("No MCI device open."));
    QTest::qWait(2500);
    EXPECT_EQ(report.errors.size(), 2);

    // A call still shows and speaks, and the closed video costs it no error.
    call("MD*8BIA");
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("Consultório 8"));
    settle();
    EXPECT_EQ(report.errors.size(), 2) << report.errors.join('|').toStdString();
    EXPECT_TRUE(window->ServerSocket1->Active());
    EXPECT_EQ(voice.spoken.last(), QStringLiteral("BIA favor comparecer ao consultório 8"));
}

TEST_F(MediaFaultsTest, TheNotificationSoundMissingOrUnopenedCostsNoCall) {
    const struct {
        const char* name;
        bool openAtStartup;
        QStringList errors;
    } cases[] = {{"removed while open", true, {}},
                 {"never opened", false, {QStringLiteral("No MCI device open.")}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startWithMedia(c.openAtStartup);
        if (c.openAtStartup) {
            ASSERT_TRUE(QFile::remove(notify));
        }
        call("RE*LUIS");
        EXPECT_EQ(window->Panel8->text(), QStringLiteral("Recepção"));
        settle();
        EXPECT_EQ(report.errors, c.errors);
        call("RE*LIA");
        settle();
        EXPECT_EQ(voice.spoken.last(), QStringLiteral("LIA favor comparecer a recepção"));
        stopPanel();
        ASSERT_TRUE(testmedia::writeChimeWav(notify, 300));
    }
}

TEST_F(FaultsTest, TheSpeechEngineFailingCostsOnlyThatAnnouncement) {
    const struct {
        const char* name;
        QString failCreate;
        QString failSpeak;
    } cases[] = {{"the engine cannot be made", QStringLiteral("no speech engine"), {}},
                 {"speaking fails", {}, QStringLiteral("no audio device")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startPanel({"0", "1", "N", "S"});
        voice.failCreate = c.failCreate;
        voice.failSpeak = c.failSpeak;
        ASSERT_TRUE(sendCall(port(), "MD*7ANA"));
        QTRY_COMPARE_WITH_TIMEOUT(report.errors.size(), 1, 10000);
        EXPECT_EQ(report.errors.first(), (c.failCreate.isEmpty() ? c.failSpeak : c.failCreate) + u'.');
        EXPECT_EQ(window->Panel8->text(), QStringLiteral("Consultório 7"));
        EXPECT_TRUE(window->ServerSocket1->Active());
        voice.failCreate.clear();
        voice.failSpeak.clear();
        call("MD*8BIA");
        EXPECT_EQ(window->Panel8->text(), QStringLiteral("Consultório 8"));
        settle();
        EXPECT_EQ(report.errors.size(), 1);
        stopPanel();
    }
}

} // namespace
