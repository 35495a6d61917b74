// Long names on the screen of a waiting room, read back from a real X server (Xvfb) filled by the
// window: with [fonte] ajustar=S a name wider than its line is drawn whole, without cutting; without
// it the name is cut as always; a short name looks the same either way, and the call after a fitted
// name is drawn at the configured size again.
//
// The screen is 1366 x 768, or what PAINEL_TEST_SCREEN says ("1920x1080"): ctest runs the tests
// once for each.

#include "display/panel.h"
#include "tests/support/cyclefixture.h"
#include "tests/support/xvfb.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

QSize screenUnderTest() {
    const QByteArray asked = qgetenv("PAINEL_TEST_SCREEN");
    const QList<QByteArray> wh = asked.split('x');
    if (wh.size() == 2) return {wh[0].toInt(), wh[1].toInt()};
    return {1366, 768};
}

// The X server, started before the tests' application connects to it. It outlives the
// application, which the test support deletes when the tests have run.
std::unique_ptr<XvfbServer> g_server;

class XServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        g_server = std::make_unique<XvfbServer>(screenUnderTest());
        ASSERT_FALSE(g_server->display().isEmpty()) << g_server->why().toStdString();
        qputenv("DISPLAY", g_server->display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
        ensureApp();
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }
};

const auto* const g_xserver = ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

const QByteArray kLongName = "MD*41MARIA APARECIDA DOS SANTOS OLIVEIRA DE SOUZA"; // after twenty blanks
const QByteArray kShortName = "MD*7ANA SOUTO";

// Where the red ink of a call line lies in a picture of it; empty when there is none. The line's
// background is sky blue (blue 240): a pixel with much less blue is red, or blends into it.
QRect inkOf(const QImage& line) {
    QRect ink;
    for (int y = 0; y < line.height(); ++y)
        for (int x = 0; x < line.width(); ++x)
            if (qBlue(line.pixel(x, y)) < 180) ink |= QRect(x, y, 1, 1);
    return ink;
}

// Two texts drawn at one size in one place: their ink alike to a pixel at every edge. (Drawn after a
// text of another size, the same text may differ in the shades of its edges, not in its size.)
bool sameInk(const QRect& a, const QRect& b) {
    return std::abs(a.left() - b.left()) <= 1 && std::abs(a.right() - b.right()) <= 1 &&
           std::abs(a.top() - b.top()) <= 1 && std::abs(a.bottom() - b.bottom()) <= 1;
}

class FittedNameTest : public CycleFixture {
protected:
    // The window on the whole screen, as a kiosk has it, started with this config.ini.
    void start(int nameSize, const QByteArray& ajustar) {
        iniExtra = "[fonte]\r\ntamanhofontenome=" + QByteArray::number(nameSize) + "\r\n" + ajustar;
        pause = [](int) {}; // the panel's 2 seconds of each call are not waited for
        startPanel({"0", "1", "N", "N"});
        window->showKiosk();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_EQ(window->Panel3->width(), screenUnderTest().width()); // no video: the full width
    }

    // What the screen shows of Panel3 once the call has been handled.
    QImage call(const QByteArray& message) {
        TestStation station;
        EXPECT_TRUE(station.connectTo(port()));
        station.send(message);
        EXPECT_TRUE(station.waitClosed(10000)) << message.toStdString();
        // The panels painted and the X server showing them: on a busy machine that takes a while,
        // so the line is read until two readings 200 ms apart agree.
        QImage shown = grabLine();
        for (int tries = 0; tries < 25; ++tries) {
            QTest::qWait(200);
            const QImage again = grabLine();
            if (again == shown && !inkOf(again).isEmpty()) break;
            shown = again;
        }
        return shown;
    }

    QImage grabLine() const {
        const TPanel& line = *window->Panel3;
        const QPoint at = line.mapToGlobal(QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, at.x(), at.y(), line.width(), line.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(FittedNameTest, ALongNameFitsWholeWithAjustarAndIsCutWithout) {
    const QSize screen = screenUnderTest();
    // The package's sample size on a TV of 1366 pixels: the name fits once its twenty blanks are
    // left out. A larger size on the wider screen: the name must be drawn smaller to fit.
    const bool wide = screen.width() >= 1920;
    const int nameSize = wide ? 56 : 36;
    SCOPED_TRACE(QStringLiteral("%1x%2, %3 pt").arg(screen.width()).arg(screen.height()).arg(nameSize).toStdString());

    start(nameSize, "");
    const QImage cutLong = call(kLongName);
    const QImage plainShort = call(kShortName);
    const QRect cut = inkOf(cutLong);
    const QRect shortInk = inkOf(plainShort);
    ASSERT_FALSE(cut.isEmpty());
    ASSERT_FALSE(shortInk.isEmpty());
    // Cut as always: pushed right by its blanks, it runs into the right edge.
    EXPECT_EQ(cut.right(), cutLong.width() - 1);
    EXPECT_GT(cut.left(), 0);

    start(nameSize, "ajustar=S\r\n");
    EXPECT_TRUE(sameInk(inkOf(call(kShortName)), shortInk)); // a short name as without ajustar
    const QImage fittedLong = call(kLongName);
    const QImage shortAfter = call(kShortName);
    const QRect fitted = inkOf(fittedLong);
    ASSERT_FALSE(fitted.isEmpty());
    // Whole and centred: clear of both edges, the margins alike to a pixel or two, and filling
    // the line with what a size one pixel larger would not leave.
    EXPECT_GT(fitted.left(), 0);
    EXPECT_LT(fitted.right(), fittedLong.width() - 1);
    EXPECT_LE(std::abs(fitted.left() - (fittedLong.width() - 1 - fitted.right())), 2);
    if (wide) {
        EXPECT_LT(fitted.height(), cut.height()); // drawn smaller
        EXPECT_GT(fitted.width(), fittedLong.width() * 95 / 100);
    } else {
        EXPECT_EQ(fitted.height(), cut.height()); // at its own size
    }
    // The next call starts from the configured size again.
    EXPECT_TRUE(sameInk(inkOf(shortAfter), shortInk));
}

} // namespace
