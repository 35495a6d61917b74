// The video beside the call, through the main window: paused during a call, resumed after it,
// looped by the replay timer, reopened by a double-click.

#include "db/callsquery.h"
#include "media/mediaplayer.h"
#include "display/panel.h"
#include "tests/support/startupfixture.h"
#include "tests/support/station.h"
#include "tools/testmedia.h"

#include <QAbstractItemModel>
#include <QTest>
#include <QTimer>

namespace {

class VideoAreaTest : public StartupFixture {
protected:
    void startWithVideo(const QByteArray& repetirvideo, int seconds = 2) {
        QString why;
        if (!testmedia::writeTestVideo(exeDir.file("VIDEO.WMV"), seconds, false, &why)) GTEST_SKIP() << why.toStdString();
        writeIni(iniWithDatabase("[definicao]\r\nrepetirvideo=" + repetirvideo + "\r\n"));
        writeConfigServer(configServer("N", "S"));
        startUp();
        ASSERT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
        video = window->VIDEO1;
        QTRY_COMPARE_WITH_TIMEOUT(video->Mode(), MediaMode::Playing, 5000);
    }
    TMediaPlayer* video = nullptr;
};

TEST_F(VideoAreaTest, ACallPausesTheVideoAndResumesItFromTheSamePlace) {
    startWithVideo("N", 6);
    QTest::qWait(500);
    MediaMode modeDuringCall = MediaMode::NotReady;
    qint64 positionDuringCall = -1;
    voice.onSpeak = [&](const QString&) {
        modeDuringCall = video->Mode();
        positionDuringCall = video->Position();
    };
    ASSERT_TRUE(sendCall(port, "MD*7ANA"));
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
    EXPECT_EQ(modeDuringCall, MediaMode::Paused);
    // After the cycle the video plays on from where it was paused.
    QTRY_COMPARE_WITH_TIMEOUT(video->Mode(), MediaMode::Playing, 5000);
    EXPECT_GE(video->Position(), positionDuringCall);
    EXPECT_LT(video->Position(), positionDuringCall + 1500);
}

TEST_F(VideoAreaTest, SinglePlayStandsAtTheEndUntilTheNextCall) {
    startWithVideo("N");
    QTRY_VERIFY_WITH_TIMEOUT(video->Mode() != MediaMode::Playing, 8000);
    QTest::qWait(1500);
    EXPECT_NE(video->Mode(), MediaMode::Playing); // no replay timer
    ASSERT_TRUE(sendCall(port, "RE*ANA"));
    QTRY_COMPARE_WITH_TIMEOUT(video->Mode(), MediaMode::Playing, 6000);
    EXPECT_LT(video->Position(), 1500); // from the beginning
}

TEST_F(VideoAreaTest, LoopModeRestartsTheVideoWithinAboutASecondOfItsEnd) {
    startWithVideo("S");
    QTRY_VERIFY_WITH_TIMEOUT(video->Mode() != MediaMode::Playing, 8000);
    QTRY_COMPARE_WITH_TIMEOUT(video->Mode(), MediaMode::Playing, 2500);
    EXPECT_LT(video->Position(), 1500);
}

TEST_F(VideoAreaTest, ADoubleClickReopensTheVideoStandingAtItsBeginning) {
    startWithVideo("N", 4);
    QTest::qWait(700);
    QTest::mouseDClick(window->PanelVideo, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(video->isOpen());
    EXPECT_NE(video->Mode(), MediaMode::Playing);
    EXPECT_EQ(video->Position(), 0);
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
}

// The refresh has no speech to look in on: the video is seen while the calls list is re-read.
TEST_F(VideoAreaTest, ARefreshPausesAndResumesTheVideoToo) {
    startWithVideo("N", 6);
    QTest::qWait(300);
    QVector<MediaMode> modesAtRequery;
    qint64 positionAtRequery = -1;
    QObject::connect(window->GUICHELISTA.get(), &QAbstractItemModel::modelReset, [&] {
        modesAtRequery.append(video->Mode());
        positionAtRequery = video->Position();
    });
    ASSERT_TRUE(sendCall(port, "refresh"));
    QTRY_VERIFY_WITH_TIMEOUT(!modesAtRequery.isEmpty(), 5000);
    for (const MediaMode mode : std::as_const(modesAtRequery)) EXPECT_EQ(mode, MediaMode::Paused);
    QTRY_COMPARE_WITH_TIMEOUT(video->Mode(), MediaMode::Playing, 5000);
    EXPECT_GE(video->Position(), positionAtRequery - 50);
    EXPECT_LT(video->Position(), positionAtRequery + 1500);
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
}

TEST_F(VideoAreaTest, AVideoRemovedAtRunTimeIsLeftAlone) {
    startWithVideo("N", 6);
    QFile::remove(exeDir.file("VIDEO.WMV"));
    ASSERT_TRUE(sendCall(port, "RE*ANA"));
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
    // Without the file the cycle makes no video call: the video plays on.
    EXPECT_EQ(video->Mode(), MediaMode::Playing);
    EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
}

} // namespace
