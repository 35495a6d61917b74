// The media player when GStreamer lacks the decoder a medium needs. The WMV video decoder is
// ruled out for this whole executable (a plug-in feature of rank NONE is never picked), as on a
// machine without gstreamer1.0-libav.

#include "base/errors.h"
#include "media/mediaplayer.h"
#include "tests/support/mediaapp.h"
#include "tests/support/mediawait.h"
#include "tests/support/tempdir.h"
#include "tools/testmedia.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

std::string str(const QString& s) { return s.toStdString(); }

class MissingPluginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Read when GStreamer starts, which is with the first media object of the process.
        ASSERT_EQ(QCoreApplication::instance(), nullptr) << "GStreamer may have started already";
        qputenv("GST_PLUGIN_FEATURE_RANK", QByteArrayLiteral("avdec_wmv2:NONE"));
        ensureMediaApp();
    }

    QString video(bool withSound) {
        const QString path = dir.file(withSound ? QStringLiteral("AV.WMV") : QStringLiteral("VIDEO.WMV"));
        return testmedia::writeTestVideo(path, 2, withSound, &why) ? path : QString();
    }

    TestDir dir;
    QString why;
};

TEST_F(MissingPluginTest, AVideoWithoutItsDecoderFailsToOpenWithTheMediaSystemsReason) {
    const QString path = video(false);
    if (path.isEmpty()) GTEST_SKIP() << "no test video: " << str(why);

    TMediaPlayer p;
    p.setFileName(path);
    QString reason;
    try {
        p.Open();
        ADD_FAILURE() << "opened";
    } catch (const EMCIDeviceError& e) {
        reason = e.text();
    }
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_NE(str(reason), "Unknown error code");
    EXPECT_FALSE(p.isOpen());
    EXPECT_EQ(p.DeviceID(), 0);
    EXPECT_EQ(p.Mode(), MediaMode::NotReady);
    try {
        p.Play();
        ADD_FAILURE() << "played";
    } catch (const EMCIDeviceError& e) {
        EXPECT_EQ(str(e.text()), "No MCI device open");
    }
    // Nothing plays: the device does not stand at "playing" with nothing to play.
    EXPECT_EQ(p.Mode(), MediaMode::NotReady);
}

// The sound of a video whose picture cannot be decoded still plays; the device then has no video.
TEST_F(MissingPluginTest, AVideoWithSoundPlaysItsSoundWithoutPicture) {
    const QString path = video(true);
    if (path.isEmpty()) GTEST_SKIP() << "no test video: " << str(why);

    TMediaPlayer p;
    NoticeLog log(p);
    p.setFileName(path);
    p.Open();
    EXPECT_TRUE(p.isOpen());
    EXPECT_FALSE(p.Capabilities().hasVideo);
    EXPECT_FALSE(p.Capabilities().canStep);

    p.Play();
    EXPECT_EQ(p.Mode(), MediaMode::Playing);
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.Position() >= 300; }, 20000));
    EXPECT_TRUE(log.waitFor(MediaNotify::Successful));
    EXPECT_EQ(p.Mode(), MediaMode::Stopped);
    EXPECT_EQ(p.Error(), MediaError::None);
}

}  // namespace
