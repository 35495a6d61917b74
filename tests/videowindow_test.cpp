// The video drawn by GStreamer into the picture's own window, on a real X server (a private
// Xvfb): the picture moves while the video plays and stands still when it is paused, keeps its
// aspect inside the area with black borders, follows the area, lets double-clicks through to the
// display, and a video larger than its picture is decoded at a reduced size.

#include "media/mediaplayer.h"
#include "media/videopicture.h"
#include "tests/support/countingdisplay.h"
#include "tests/support/mediaapp.h"
#include "tests/support/mediawait.h"
#include "tests/support/tempdir.h"
#include "tests/support/xvfb.h"
#include "tools/testmedia.h"

#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::string str(const QString& s) { return s.toStdString(); }

// The X server and the application on it, for the whole test program.
class XServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        server = std::make_unique<XvfbServer>(QSize(986, 749));
        ASSERT_FALSE(server->display().isEmpty()) << str(server->why());
        qputenv("DISPLAY", server->display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
        app = ensureMediaApp();
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }
    void TearDown() override {
        delete app;
        server.reset();
    }
    static inline std::unique_ptr<XvfbServer> server;
    static inline QApplication* app = nullptr;
};

const auto* const g_xserver = ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

// What the X server shows of a widget.
QImage onScreen(const QWidget& w) {
    const QPoint at = w.mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), w.width(), w.height()).toImage().convertToFormat(
        QImage::Format_RGB32);
}

bool isBlack(QRgb c) { return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16; }

// Whether a rectangle of the image is black all over.
bool blackAt(const QImage& image, const QRect& r) {
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (!isBlack(image.pixel(x, y))) return false;
    return true;
}

// How many distinct colours a rectangle holds (a picture has many, a plain area one).
int coloursAt(const QImage& image, const QRect& r) {
    QSet<QRgb> seen;
    for (int y = r.top(); y <= r.bottom(); y += 2)
        for (int x = r.left(); x <= r.right(); x += 2) seen.insert(image.pixel(x, y));
    return int(seen.size());
}

class VideoWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        display.setStyleSheet(QStringLiteral("background: silver"));
        display.resize(594, 382);
        player = new TMediaPlayer(&display);
        player->setGeometry(0, 352, 594, 30);
        player->setDisplay(&display);
        display.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
    }

    // Opens a generated video of the given size; false (with videoWhy) without ffmpeg.
    bool open(QSize size, int seconds = 4) {
        const QString path = dir.file(QStringLiteral("VIDEO.WMV"));
        if (!testmedia::writeTestVideo(path, seconds, size, &videoWhy)) return false;
        player->setFileName(path);
        player->Open();
        picture = display.findChild<TVideoPicture*>();
        return picture != nullptr;
    }

    // Waits until the picture has had n more frames.
    bool framesPass(quint64 n) {
        const quint64 before = player->FramesShown();
        return QTest::qWaitFor([&] { return player->FramesShown() >= before + n; }, 10000);
    }

    TestDir dir;
    QString videoWhy;
    CountingDisplay display;
    TMediaPlayer* player = nullptr;
    TVideoPicture* picture = nullptr;
};

TEST_F(VideoWindowTest, ThePictureMovesWhilePlayingAndStandsStillWhenPaused) {
    if (!open(QSize(320, 240))) GTEST_SKIP() << "no test video: " << str(videoWhy);
    ASSERT_NE(picture->drawingWindow(), 0u);
    EXPECT_TRUE(picture->isVisible());
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 594, 352));

    player->Play();
    ASSERT_TRUE(framesPass(10));
    const QImage a = onScreen(*picture);
    ASSERT_TRUE(framesPass(10));
    const QImage b = onScreen(*picture);
    EXPECT_NE(a, b) << "the picture does not move while the video plays";

    // 4:3 in 594 x 352: 469 x 352 in the middle, black at both sides, the pattern inside.
    for (const QImage& shot : {a, b}) {
        EXPECT_TRUE(blackAt(shot, QRect(0, 0, 50, 352)));
        EXPECT_TRUE(blackAt(shot, QRect(544, 0, 50, 352)));
        EXPECT_GT(coloursAt(shot, QRect(100, 40, 394, 272)), 20);
    }

    player->Pause();
    ASSERT_EQ(player->Mode(), MediaMode::Paused);
    QTest::qWait(200);
    const QImage held = onScreen(*picture);
    QTest::qWait(500);
    EXPECT_EQ(onScreen(*picture), held) << "the picture moves while the video is paused";
    EXPECT_GT(coloursAt(held, QRect(100, 40, 394, 272)), 20);

    // Uncovered, it still shows the frame it stands on.
    QWidget cover(&display);
    cover.setAutoFillBackground(true);
    cover.setGeometry(picture->geometry());
    cover.show();
    QTest::qWait(200);
    cover.hide();
    QTest::qWait(300);
    EXPECT_EQ(onScreen(*picture), held);

    player->Pause();
    ASSERT_TRUE(framesPass(10));
    EXPECT_NE(onScreen(*picture), held);
}

TEST_F(VideoWindowTest, AReopenedVideoStandsStillOnItsFirstFrame) {
    if (!open(QSize(320, 240))) GTEST_SKIP() << "no test video: " << str(videoWhy);
    player->Play();
    ASSERT_TRUE(framesPass(20));
    player->Open();
    QTest::qWait(300);
    const QImage first = onScreen(*picture);
    QTest::qWait(500);
    EXPECT_EQ(onScreen(*picture), first);
    EXPECT_GT(coloursAt(first, QRect(100, 40, 394, 272)), 20);
    EXPECT_EQ(player->Position(), 0);

    player->Close();
    EXPECT_FALSE(picture->isVisible());
}

TEST_F(VideoWindowTest, ThePictureFollowsTheAreaAndKeepsItsAspect) {
    if (!open(QSize(640, 360))) GTEST_SKIP() << "no test video: " << str(videoWhy);
    player->Play();
    ASSERT_TRUE(framesPass(5));
    // 16:9 in 594 x 352: 594 x 334, black above and below.
    QImage shot = onScreen(*picture);
    EXPECT_TRUE(blackAt(shot, QRect(0, 0, 594, 6)));
    EXPECT_TRUE(blackAt(shot, QRect(0, 346, 594, 6)));
    EXPECT_GT(coloursAt(shot, QRect(50, 40, 494, 272)), 20);

    // A narrower area: the picture is 400 wide, 225 high, black above and below.
    display.resize(400, 382);
    player->setGeometry(0, 352, 400, 30);
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 400, 352));
    ASSERT_TRUE(framesPass(10));
    QTest::qWait(100);
    shot = onScreen(*picture);
    EXPECT_EQ(shot.size(), QSize(400, 352));
    EXPECT_TRUE(blackAt(shot, QRect(0, 0, 400, 55)));
    EXPECT_TRUE(blackAt(shot, QRect(0, 297, 400, 55)));
    EXPECT_GT(coloursAt(shot, QRect(20, 80, 360, 190)), 20);
}

TEST_F(VideoWindowTest, AVideoLargerThanThePictureIsDecodedAtAReducedSize) {
    struct Case {
        QSize video;
        QSize decoded;
    };
    // Halved as long as the result still covers the 594 x 352 picture.
    const Case cases[] = {
        {QSize(640, 360), QSize(640, 360)},
        {QSize(1280, 720), QSize(640, 360)},
        {QSize(1920, 1080), QSize(960, 540)},
        {QSize(2560, 1440), QSize(640, 360)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(c.video.width()).arg(c.video.height()).toStdString());
        if (!open(c.video, 1)) GTEST_SKIP() << "no test video: " << str(videoWhy);
        EXPECT_EQ(player->VideoSize(), c.decoded);
    }
}

TEST_F(VideoWindowTest, ADoubleClickOnThePictureIsTheDisplays) {
    if (!open(QSize(320, 240), 1)) GTEST_SKIP() << "no test video: " << str(videoWhy);
    ASSERT_NE(picture->windowHandle(), nullptr) << "the picture has no window of its own";
    QTest::mouseDClick(picture->windowHandle(), Qt::LeftButton, {}, QPoint(300, 200));
    EXPECT_EQ(display.doubleClicks, 1);
}

}  // namespace
