// A message box that nobody closes, on a panel with nobody in front of it: the box serves the event
// queue for as long as it is open, so the calls that come meanwhile are handled inside its loop.
// They must nest and unwind among themselves, and a counter call must not keep the listener off
// past its cycle: the panel goes on taking every call, however long the box stays open. The boxes
// here are real ones, opened by the window's own error report.

#include "calls/listener.h"
#include "display/panel.h"
#include "tests/support/cyclefixture.h"
#include "tests/support/rawstation.h"
#include "media/mediaplayer.h"
#include "tools/testmedia.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <functional>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

namespace {

class ErrorBoxTest : public CycleFixture {
protected:
    void SetUp() override {
        CycleFixture::SetUp();
        qunsetenv("PAINEL_ERRORS");
        useMessageBoxes();
    }

    // Runs `whileOpen` inside the loop of the first message box that opens, then closes the box.
    // Returns once that has happened (false when no box opened in time).
    bool onceABoxIsOpen(const std::function<void(QMessageBox*)>& whileOpen, int timeoutMs = 120000) {
        bool done = false;
        QTimer watch;
        watch.setInterval(50);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            watch.stop();
            const QPointer<QMessageBox> open(box);
            whileOpen(box);
            if (open) open->accept();
            done = true;
        });
        watch.start();
        return QTest::qWaitFor([&] { return done; }, timeoutMs);
    }

    static bool sameBoxOpen(QMessageBox* box) { return QApplication::activeModalWidget() == box; }
};

TEST_F(ErrorBoxTest, ABoxLeftOpenDoesNotDeafenThePanelAfterABusySpell) {
    startPanel({"0", "1", "N", "S"});
    ASSERT_TRUE(sendCall(port(), "cr*2JOANA")); // a misspelt prefix: an error, and its box

    constexpr int kSpell = 40;
    QString boxText;
    bool openThroughout = true;
    qint64 lastShownAfterMs = -1;
    const bool boxed = onceABoxIsOpen([&](QMessageBox* box) {
        boxText = box->text();
        // A spell of calls from separate stations, 0.1 s apart, then one more.
        std::atomic<bool> sent = false;
        std::atomic<qint64> lastSentAt = -1;
        QElapsedTimer clock;
        clock.start();
        const quint16 panel = port();
        std::thread stations([&] {
            for (int i = 1; i <= kSpell + 1; ++i) {
                RawStation s;
                const QByteArray message = i <= kSpell ? "MD*7P" + QByteArray::number(i) : QByteArray("MD*9ULTIMO");
                if (s.connectTo(panel) && s.send(message) && i > kSpell) lastSentAt = clock.elapsed();
                s.waitClosed(0);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                if (i <= kSpell) s.reset(); // nothing more to say; the connection goes with the thread
            }
            sent = true;
        });
        const bool shown = QTest::qWaitFor([&] { return window->Panel8->text() == u"Consultório 9"; }, 60000);
        if (shown) lastShownAfterMs = clock.elapsed() - lastSentAt;
        (void)QTest::qWaitFor([&] { return sent.load(); }, 10000);
        stations.join();
        openThroughout = sameBoxOpen(box);
    });
    ASSERT_TRUE(boxed) << "no box opened for the failed call";
    EXPECT_EQ(boxText, QStringLiteral("'cr' is not a valid integer value."));
    EXPECT_TRUE(openThroughout) << "the box was closed by something else";
    ASSERT_GE(lastShownAfterMs, 0) << "the last call was never shown while the box stayed open";
    // Its turn comes once the spell has unwound; from there it takes one cycle. The spell itself
    // lasts about 4 s of sending and two nestings of 2-second pauses.
    EXPECT_LT(lastShownAfterMs, 10000);
    std::printf("last call shown %lld ms after it was sent, with the box open\n", (long long)lastShownAfterMs);
    EXPECT_EQ(window->xsenha, QStringLiteral("ULTIMO"));
    EXPECT_EQ(voice.spoken.size(), kSpell + 1);
    QTRY_COMPARE_WITH_TIMEOUT(window->ServerSocket1->readDepth(), 0, 10000);
}

// The video's replay timer firing on a closed video device (its file spoilt and the reopen by
// double-click failed, say) during a counter call's 1-second pause, when the listener is off.
TEST_F(ErrorBoxTest, ABoxRaisedByATimerDuringACounterCallKeepsNoListenerOff) {
    startPanel({"0", "1", "N", "S"});
    window->Timer2->setInterval(300);
    bool counterStarted = false;
    QObject::connect(window->ServerSocket1, &TServerSocket::ActiveChanged, [&](bool on) {
        if (!on && !counterStarted) {
            counterStarted = true;
            window->Timer2->start(); // fires inside the counter call's pause
        }
    });
    ASSERT_TRUE(sendCall(port(), "03015A"));

    bool listening = false;
    bool nextCallShown = false;
    QString boxText;
    const bool boxed = onceABoxIsOpen([&](QMessageBox* box) {
        boxText = box->text();
        window->Timer2->stop();
        listening = QTest::qWaitFor([&] { return window->ServerSocket1->Active(); }, 10000);
        if (sendCall(port(), "MD*7DEPOIS"))
            nextCallShown = QTest::qWaitFor([&] { return window->xsenha == u"DEPOIS"; }, 10000);
        EXPECT_TRUE(sameBoxOpen(box));
    });
    ASSERT_TRUE(counterStarted);
    ASSERT_TRUE(boxed) << "no box opened for the timer's error";
    EXPECT_EQ(boxText, QStringLiteral("No MCI device open."));
    EXPECT_TRUE(listening) << "the counter call's listener stayed off while the box was open";
    EXPECT_TRUE(nextCallShown);
    EXPECT_EQ(voice.spoken.first(), QStringLiteral("Senha A 15, Guichê 3"));
}

// An error raised by a timer while a medium's open waits for it to load: that wait holds the
// sockets back, so its box waits for the open to end; opened after it, the box leaves the panel
// taking calls.
TEST_F(ErrorBoxTest, ABoxRaisedWhileAMediumLoadsLeavesThePanelListening) {
    QString why;
    const QString video = dir.file(QStringLiteral("VIDEO.WMV"));
    if (!testmedia::writeTestVideo(video, 5, false, &why)) GTEST_SKIP() << why.toStdString();
    startPanel({"0", "1", "N", "S"});
    bool openedDuringLoad = false;
    QTimer::singleShot(0, window.get(), [&] {
        window->errorReport().showError(QStringLiteral("Erro durante a carga"));
    });
    QTimer spy;
    QObject::connect(&spy, &QTimer::timeout, [&] {
        if (window->VIDEO1->isOpen() || !QApplication::activeModalWidget()) return;
        openedDuringLoad = true;
        QApplication::activeModalWidget()->close();
    });
    spy.start(20);
    window->VIDEO1->Open(); // the timer fires inside the open's wait
    spy.stop();
    EXPECT_FALSE(openedDuringLoad) << "a box opened while the medium was loading";
    QString boxText;
    bool shown = false;
    const bool boxed = onceABoxIsOpen([&](QMessageBox* box) {
        boxText = box->text();
        if (sendCall(port(), "MD*7DURANTE")) shown = QTest::qWaitFor([&] { return window->xsenha == u"DURANTE"; }, 10000);
    }, 10000);
    ASSERT_TRUE(boxed) << "the box never opened";
    EXPECT_EQ(boxText, QStringLiteral("Erro durante a carga."));
    EXPECT_TRUE(shown) << "a call was not shown while the box was open";
}

} // namespace
