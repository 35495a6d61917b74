// The kiosk window on a real X server, with and without a window manager: without one it fills
// the screen by itself; with one it is maximised, and restored it has a client area of 986 x 749
// centred on the screen. Runs its own Xvfb and, for the second case, openbox.

#include "display/tprincipal.h"
#include "display/windowmanager.h"
#include "tests/support/printers.h"
#include "tests/support/recordingreport.h"
#include "tests/support/tempdir.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr QSize kScreen(1280, 1024);

// Stops a program started for the test: TERM, a wait, then KILL.
void stop(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// An X server of the test's own with the application on it, both made afresh for every test.
class KioskWindowTest : public testing::Test {
protected:
    void SetUp() override {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        ASSERT_FALSE(program.isEmpty()) << "Xvfb is not installed (tools/deps.sh installs it)";
        xvfb.start(program, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                             QStringLiteral("%1x%2x24").arg(kScreen.width()).arg(kScreen.height())});
        QByteArray display;
        for (int i = 0; i < 100 && !display.endsWith('\n') && xvfb.state() != QProcess::NotRunning; ++i)
            if (xvfb.waitForReadyRead(100)) display += xvfb.readAllStandardOutput();
        ASSERT_TRUE(display.endsWith('\n')) << "Xvfb did not start: " << xvfb.readAllStandardError().toStdString();
        qputenv("DISPLAY", ":" + display.trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }

    void TearDown() override {
        window.reset();
        app.reset(); // before its X server goes
        stop(wm);
        stop(xvfb);
    }

    void startApplication(bool withWindowManager) {
        if (withWindowManager) {
            const QString program = QStandardPaths::findExecutable(QStringLiteral("openbox"));
            ASSERT_FALSE(program.isEmpty()) << "openbox is not installed (tools/deps.sh installs it)";
            // Managing the screen before the panel starts, as at a kiosk's login: openbox runs its
            // start-up command once it has taken the screen (it announces itself a moment before).
            const QString ready = dir.file(QStringLiteral("openbox-ready"));
            wm.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            wm.start(program, {QStringLiteral("--sm-disable"), QStringLiteral("--startup"),
                               QStringLiteral("touch ") + ready});
            ASSERT_TRUE(wm.waitForStarted(5000));
            QDeadlineTimer deadline(10000);
            while (!QFileInfo::exists(ready) && !deadline.hasExpired()) QThread::msleep(20);
            ASSERT_TRUE(QFileInfo::exists(ready)) << "openbox did not start";
        }
        static int argc = 1;
        static char name[] = "windowmanager_test";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        EXPECT_EQ(windowManagerRunning(), withWindowManager);
        available = QGuiApplication::primaryScreen()->availableGeometry();
        ASSERT_EQ(available.size(), kScreen);
    }

    void showKiosk() {
        TPrincipal::Environment env;
        env.errors = &report;
        window = std::make_unique<TPrincipal>(env);
        window->showKiosk();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 5000));
    }

    TestDir dir;
    QProcess xvfb, wm;
    std::unique_ptr<QApplication> app;
    RecordingErrorReport report;
    std::unique_ptr<TPrincipal> window;
    QRect available;
};

TEST_F(KioskWindowTest, WithoutAWindowManagerTheWindowFillsTheScreen) {
    startApplication(false);
    EXPECT_FALSE(windowManagerRunning());
    showKiosk();
    QTest::qWait(300); // nobody is going to move it
    EXPECT_EQ(window->geometry(), available);
    EXPECT_EQ(window->frameGeometry(), available) << "no frame without a window manager";
}

TEST_F(KioskWindowTest, WithAWindowManagerItIsMaximisedAndRestoresTo986By749Centred) {
    startApplication(true);
    showKiosk();
    // Maximised by the window manager: the client area is the screen less the title bar.
    QTRY_VERIFY_WITH_TIMEOUT(window->isMaximized(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(window->frameGeometry() == available, 5000);
    EXPECT_LT(window->geometry().height(), available.height()) << "the title bar is the window manager's";

    window->showNormal();
    const QRect restored = centredOn(available, QSize(986, 749));
    EXPECT_EQ(restored, QRect(147, 137, 986, 749));
    QTRY_COMPARE_WITH_TIMEOUT(window->geometry(), restored, 5000);
    EXPECT_FALSE(window->isMaximized());
}

TEST_F(KioskWindowTest, AWindowManagerThatHasGoneIsNotOne) {
    startApplication(true);
    stop(wm);
    // openbox leaves nothing behind that still claims the screen.
    QTRY_VERIFY_WITH_TIMEOUT(!windowManagerRunning(), 5000);
    showKiosk();
    QTest::qWait(300);
    EXPECT_EQ(window->geometry(), available);
}

} // namespace
