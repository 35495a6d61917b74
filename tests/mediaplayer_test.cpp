// The media player on the real media system (GStreamer, null audio sink): playback of a sound and
// a video, the device rules the panel relies on, the failures, and the button bar.

#include "base/errors.h"
#include "media/mediaplayer.h"
#include "media/videopicture.h"
#include "tests/support/countingdisplay.h"
#include "tests/support/mediaapp.h"
#include "tests/support/mediawait.h"
#include "tests/support/procstats.h"
#include "tests/support/tempdir.h"
#include "tools/testmedia.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>
#include <memory>

namespace {

constexpr int kChimeMs = 1500;
// How far a position read may lag one read just before it.
constexpr qint64 kJitterMs = 50;
const QString kNoDevice = QStringLiteral("No MCI device open");

std::string str(const QString& s) { return s.toStdString(); }

using Op = std::function<void(TMediaPlayer&)>;

struct NamedOp {
    const char* name;
    Op op;
};

class MediaPlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureMediaApp(); }

    QString chime(const QString& name = QStringLiteral("NOTIFY.WAV")) {
        const QString path = dir.file(name);
        QString why;
        EXPECT_TRUE(testmedia::writeChimeWav(path, kChimeMs, &why)) << str(why);
        return path;
    }

    // Empty when ffmpeg cannot make the video; videoWhy then says why.
    QString video(int seconds = 2, const QString& name = QStringLiteral("VIDEO.WMV")) {
        const QString path = dir.file(name);
        return testmedia::writeTestVideo(path, seconds, false, &videoWhy) ? path : QString();
    }

    // An open player on the chime.
    std::unique_ptr<TMediaPlayer> openChime() {
        auto p = std::make_unique<TMediaPlayer>();
        p->setFileName(chime());
        p->Open();
        return p;
    }

    TestDir dir;
    QString videoWhy;
};

// Plays the medium from the start until the position has passed ms.
bool playPast(TMediaPlayer& p, qint64 ms) {
    p.Play();
    return QTest::qWaitFor([&] { return p.Position() >= ms; }, 20000);
}

// Plays the medium through to its end.
bool playToEnd(TMediaPlayer& p, NoticeLog& log) {
    const int before = log.count(MediaNotify::Successful);
    p.Play();
    return log.waitFor(MediaNotify::Successful, before + 1);
}

QString expectRaises(const Op& op, TMediaPlayer& p) {
    try {
        op(p);
    } catch (const EMCIDeviceError& e) {
        return e.text();
    }
    return QStringLiteral("(nothing raised)");
}

// The look of the bar's buttons, in their order: Play Pause Stop Next Prev Step Back Record
// Eject; "+" enabled, "-" greyed. A greyed button stays a working button ("!" if it is not).
QString barState(const TMediaPlayer& p) {
    static const char* names[] = {"btnPlay", "btnPause",  "btnStop",  "btnNext", "btnPrev",
                                  "btnStep", "btnBack", "btnRecord", "btnEject"};
    QString out;
    for (const char* n : names) {
        auto* b = p.findChild<QAbstractButton*>(QString::fromLatin1(n));
        out += !b ? QChar('?') : !b->isEnabled() ? QChar('!') : b->property("greyed").toBool() ? QChar('-') : QChar('+');
    }
    return out;
}

void click(TMediaPlayer& p, const char* name) {
    auto* b = p.findChild<QAbstractButton*>(QString::fromLatin1(name));
    ASSERT_NE(b, nullptr) << name;
    b->click();
}

// How many of this process's open files are the given file.
int openHandles(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    int n = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget() == target) ++n;
    return n;
}

// ---------------------------------------------------------------------------------------------
// Playback of the sound

TEST_F(MediaPlayerTest, OpensAWavAndPlaysItOnceToItsEnd) {
    TMediaPlayer p;
    NoticeLog log(p);
    p.setFileName(chime());
    p.Open();

    EXPECT_TRUE(p.isOpen());
    EXPECT_NE(p.DeviceID(), 0);
    EXPECT_TRUE(p.Capabilities().canPlay);
    EXPECT_FALSE(p.Capabilities().hasVideo);
    EXPECT_FALSE(p.Capabilities().canStep);
    EXPECT_FALSE(p.Capabilities().canRecord);
    EXPECT_FALSE(p.Capabilities().canEject);
    EXPECT_TRUE(p.AutoRewind());
    EXPECT_EQ(p.Mode(), MediaMode::Stopped);
    EXPECT_EQ(p.Position(), 0);
    EXPECT_NEAR(p.Length(), kChimeMs, 50);

    p.Play();
    EXPECT_EQ(p.Mode(), MediaMode::Playing);
    const QVector<qint64> seen = log.positionsUntil(MediaNotify::Successful);
    ASSERT_EQ(log.kinds(), QVector<MediaNotify>{MediaNotify::Successful});
    EXPECT_EQ(p.NotifyValue(), MediaNotify::Successful);
    EXPECT_EQ(p.Mode(), MediaMode::Stopped);
    EXPECT_GE(p.Position(), p.Length() - kJitterMs);
    EXPECT_EQ(p.Error(), MediaError::None);
    // It went through the medium once, forwards.
    for (int i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1] - kJitterMs) << i;

    // And it stays at its end.
    log.waitFor(MediaNotify::Successful, 2, 500);
    EXPECT_EQ(log.kinds().size(), 1);
    EXPECT_EQ(p.Mode(), MediaMode::Stopped);
}

TEST_F(MediaPlayerTest, APlayWhileTheSoundPlaysLetsItPlayOn) {
    auto p = openChime();
    NoticeLog log(*p);
    ASSERT_TRUE(playPast(*p, 300));

    const qint64 before = p->Position();
    p->Play();
    EXPECT_EQ(p->Mode(), MediaMode::Playing);
    const QVector<qint64> seen = log.positionsUntil(MediaNotify::Successful);

    // The first play is taken over by the second, which ends at the end of the medium.
    EXPECT_EQ(log.kinds(), (QVector<MediaNotify>{MediaNotify::Superseded, MediaNotify::Successful}));
    ASSERT_FALSE(seen.isEmpty());
    for (int i = 0; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], before - kJitterMs) << "restarted at sample " << i;
        if (i > 0) {
            EXPECT_GE(seen[i], seen[i - 1] - kJitterMs) << i;
        }
    }
}

TEST_F(MediaPlayerTest, APlayAfterTheEndPlaysFromTheBeginning) {
    auto p = openChime();
    NoticeLog log(*p);
    ASSERT_TRUE(playToEnd(*p, log));
    const qint64 end = p->Position();
    ASSERT_GE(end, p->Length() - kJitterMs);

    p->Play();
    EXPECT_EQ(p->Mode(), MediaMode::Playing);
    EXPECT_LT(p->Position(), p->Length() / 2);
    const QVector<qint64> seen = log.positionsUntil(MediaNotify::Successful, 2);
    EXPECT_EQ(log.kinds(), (QVector<MediaNotify>{MediaNotify::Successful, MediaNotify::Successful}));
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_LT(seen.first(), p->Length() / 2);
    EXPECT_GE(p->Position(), p->Length() - kJitterMs);
}

// The thread was busy (a spoken call blocks it) while the sound ended: the end's notice is still
// waiting for the event loop when the next call plays the sound. It plays from the beginning, as
// after any end, and does not take the ended sound for one still playing.
TEST_F(MediaPlayerTest, APlayAfterAnEndNotYetNoticedPlaysFromTheBeginning) {
    auto p = openChime();
    NoticeLog log(*p);
    p->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(kChimeMs + 800)); // no event served
    p->Play();
    EXPECT_EQ(p->Mode(), MediaMode::Playing);
    EXPECT_LT(p->Position(), p->Length() / 2);
    ASSERT_TRUE(log.waitFor(MediaNotify::Successful, 2));
    EXPECT_EQ(log.kinds(), (QVector<MediaNotify>{MediaNotify::Successful, MediaNotify::Successful}));
}

TEST_F(MediaPlayerTest, WithoutAutoRewindAPlayAtTheEndPlaysNothing) {
    auto p = openChime();
    NoticeLog log(*p);
    ASSERT_TRUE(playToEnd(*p, log));
    const qint64 end = p->Position();

    p->setAutoRewind(false);
    p->Play();
    EXPECT_EQ(p->Mode(), MediaMode::Stopped);
    EXPECT_EQ(p->Position(), end);
}

TEST_F(MediaPlayerTest, PauseHoldsThePositionAndASecondPauseResumesFromIt) {
    auto p = openChime();
    NoticeLog log(*p);
    ASSERT_TRUE(playPast(*p, 300));

    p->Pause();
    EXPECT_EQ(p->Mode(), MediaMode::Paused);
    const qint64 held = p->Position();
    QTest::qWait(300);  // time passes; the position must not
    EXPECT_EQ(p->Mode(), MediaMode::Paused);
    EXPECT_NEAR(p->Position(), held, kJitterMs);

    p->Pause();
    EXPECT_EQ(p->Mode(), MediaMode::Playing);
    EXPECT_GE(p->Position(), held - kJitterMs);
    EXPECT_TRUE(QTest::qWaitFor([&] { return p->Position() >= held + 200; }, 20000));
    EXPECT_TRUE(log.waitFor(MediaNotify::Successful));
}

// Pause, PauseOnly and Resume in the modes where they do something else than toggle.
TEST_F(MediaPlayerTest, PauseAndResumeInOtherModes) {
    struct Case {
        const char* name;
        Op setUp;
        Op op;
        MediaMode mode;
    };
    const Op fresh = [](TMediaPlayer&) {};
    const Op ended = [](TMediaPlayer& p) {
        NoticeLog log(p);
        p.Play();
        ASSERT_TRUE(log.waitFor(MediaNotify::Successful));
    };
    const Op paused = [](TMediaPlayer& p) {
        ASSERT_TRUE(playPast(p, 200));
        p.PauseOnly();
    };
    const Case cases[] = {
        {"pause on a stopped medium", fresh, [](TMediaPlayer& p) { p.Pause(); }, MediaMode::Stopped},
        {"pause on an ended medium", ended, [](TMediaPlayer& p) { p.Pause(); }, MediaMode::Stopped},
        {"pause-only on a stopped medium", fresh, [](TMediaPlayer& p) { p.PauseOnly(); }, MediaMode::Stopped},
        {"pause-only on a paused medium", paused, [](TMediaPlayer& p) { p.PauseOnly(); }, MediaMode::Paused},
        {"resume on a stopped medium plays", fresh, [](TMediaPlayer& p) { p.Resume(); }, MediaMode::Playing},
        {"resume on an ended medium plays", ended, [](TMediaPlayer& p) { p.Resume(); }, MediaMode::Playing},
        {"resume on a paused medium", paused, [](TMediaPlayer& p) { p.Resume(); }, MediaMode::Playing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto p = openChime();
        c.setUp(*p);
        const qint64 before = p->Position();
        c.op(*p);
        EXPECT_EQ(p->Mode(), c.mode);
        if (c.mode != MediaMode::Playing) {
            EXPECT_NEAR(p->Position(), before, kJitterMs);
        }
        EXPECT_EQ(p->Error(), MediaError::None);
    }
}

TEST_F(MediaPlayerTest, RewindStopsAtTheStart) {
    struct Case {
        const char* name;
        Op setUp;
        MediaNotify notice;  // what the play in progress ends with
    };
    const Case cases[] = {
        {"playing", [](TMediaPlayer& p) { ASSERT_TRUE(playPast(p, 300)); }, MediaNotify::Aborted},
        {"paused",
         [](TMediaPlayer& p) {
             ASSERT_TRUE(playPast(p, 300));
             p.Pause();
         },
         MediaNotify::Aborted},
        {"ended",
         [](TMediaPlayer& p) {
             NoticeLog log(p);
             p.Play();
             ASSERT_TRUE(log.waitFor(MediaNotify::Successful));
         },
         MediaNotify::Successful},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto p = openChime();
        c.setUp(*p);
        ASSERT_GT(p->Position(), 0);
        p->Rewind();
        EXPECT_EQ(p->Mode(), MediaMode::Stopped);
        EXPECT_EQ(p->Position(), 0);
        EXPECT_EQ(p->NotifyValue(), c.notice);

        NoticeLog log(*p);
        p->Play();
        EXPECT_EQ(p->Mode(), MediaMode::Playing);
        EXPECT_LT(p->Position(), p->Length() / 2);
        EXPECT_TRUE(log.waitFor(MediaNotify::Successful));
    }
}

TEST_F(MediaPlayerTest, NextStandsAtTheEndAndTheNextPlayStartsOver) {
    auto p = openChime();
    NoticeLog log(*p);
    p->Next();
    EXPECT_EQ(p->Mode(), MediaMode::Stopped);
    EXPECT_EQ(p->Position(), p->Length());

    p->Play();
    EXPECT_EQ(p->Mode(), MediaMode::Playing);
    EXPECT_LT(p->Position(), p->Length() / 2);
    EXPECT_TRUE(log.waitFor(MediaNotify::Successful));
}

// ---------------------------------------------------------------------------------------------
// Open, close, failures

TEST_F(MediaPlayerTest, OperationsOnAClosedPlayerRaiseNoMciDeviceOpen) {
    const NamedOp ops[] = {
        {"Play", [](TMediaPlayer& p) { p.Play(); }},
        {"Pause", [](TMediaPlayer& p) { p.Pause(); }},
        {"PauseOnly", [](TMediaPlayer& p) { p.PauseOnly(); }},
        {"Resume", [](TMediaPlayer& p) { p.Resume(); }},
        {"Rewind", [](TMediaPlayer& p) { p.Rewind(); }},
        {"Stop", [](TMediaPlayer& p) { p.Stop(); }},
        {"Next", [](TMediaPlayer& p) { p.Next(); }},
        {"Previous", [](TMediaPlayer& p) { p.Previous(); }},
        {"Step", [](TMediaPlayer& p) { p.Step(); }},
        {"Back", [](TMediaPlayer& p) { p.Back(); }},
        {"StartRecording", [](TMediaPlayer& p) { p.StartRecording(); }},
        {"Eject", [](TMediaPlayer& p) { p.Eject(); }},
    };
    const NamedOp states[] = {
        {"never opened", [](TMediaPlayer&) {}},
        {"opened and closed",
         [](TMediaPlayer& p) {
             p.Open();
             ASSERT_TRUE(p.isOpen());
             p.Close();
         }},
        {"failed to open",
         [](TMediaPlayer& p) {
             p.setFileName(p.FileName() + QStringLiteral(".missing.wav"));
             EXPECT_THROW(p.Open(), EMCIDeviceError);
         }},
    };
    const QString path = chime();
    for (const NamedOp& state : states) {
        for (const NamedOp& op : ops) {
            SCOPED_TRACE(std::string(state.name) + ", " + op.name);
            TMediaPlayer p;
            NoticeLog log(p);
            p.setFileName(path);
            state.op(p);
            const MediaError errorBefore = p.Error();
            EXPECT_EQ(str(expectRaises(op.op, p)), str(kNoDevice));
            EXPECT_FALSE(p.isOpen());
            EXPECT_EQ(p.DeviceID(), 0);
            EXPECT_EQ(p.Mode(), MediaMode::NotReady);
            EXPECT_EQ(p.Error(), errorBefore);
            EXPECT_TRUE(log.kinds().isEmpty());
            EXPECT_NO_THROW(p.Close());
        }
    }
}

TEST_F(MediaPlayerTest, AMediumThatCannotBePlayedFailsToOpenWithTheMediaSystemsReason) {
    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator gen(4711);
    for (char& c : noise) c = char(gen.bounded(256));
    struct Case {
        const char* name;
        QString path;
        const char* exactText;  // when the media system has no reason of its own
    };
    const Case cases[] = {
        {"missing file", dir.file(QStringLiteral("NOTHERE.WAV")), nullptr},
        {"random bytes named .wmv", dir.write(QStringLiteral("NOISE.WMV"), noise), nullptr},
        {"text named .wav", dir.write(QStringLiteral("TEXT.WAV"), "not a sound\r\n"), nullptr},
        {"empty file name", QString(), "Unknown error code"},
    };
    const QString good = chime();
    for (const Case& c : cases) {
        for (bool wasOpen : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (wasOpen ? ", player open before" : ", player closed before"));
            TMediaPlayer p;
            if (wasOpen) {
                p.setFileName(good);
                p.Open();
                ASSERT_TRUE(p.isOpen());
            }
            p.setFileName(c.path);
            QString reason;
            try {
                p.Open();
                ADD_FAILURE() << "opened";
            } catch (const EMCIDeviceError& e) {
                reason = e.text();
            }
            EXPECT_FALSE(reason.isEmpty());
            EXPECT_NE(str(reason), str(kNoDevice));
            if (c.exactText) {
                EXPECT_EQ(str(reason), c.exactText);
            }
            EXPECT_FALSE(p.isOpen());
            EXPECT_EQ(p.DeviceID(), 0);
            EXPECT_NE(p.Error(), MediaError::None);
            EXPECT_EQ(str(p.ErrorMessage()), str(reason));
            EXPECT_EQ(str(expectRaises([](TMediaPlayer& q) { q.Play(); }, p)), str(kNoDevice));
        }
    }
}

TEST_F(MediaPlayerTest, ReopenLeavesTheMediumStoppedAtTheBeginning) {
    const NamedOp states[] = {
        {"stopped", [](TMediaPlayer&) {}},
        {"playing", [](TMediaPlayer& p) { ASSERT_TRUE(playPast(p, 300)); }},
        {"paused",
         [](TMediaPlayer& p) {
             ASSERT_TRUE(playPast(p, 300));
             p.Pause();
         }},
        {"ended",
         [](TMediaPlayer& p) {
             NoticeLog log(p);
             p.Play();
             ASSERT_TRUE(log.waitFor(MediaNotify::Successful));
         }},
    };
    for (const NamedOp& state : states) {
        SCOPED_TRACE(state.name);
        auto p = openChime();
        state.op(*p);
        const int firstId = p->DeviceID();

        p->Open();
        EXPECT_TRUE(p->isOpen());
        EXPECT_NE(p->DeviceID(), 0);
        EXPECT_NE(p->DeviceID(), firstId);
        EXPECT_EQ(p->Mode(), MediaMode::Stopped);
        EXPECT_EQ(p->Position(), 0);

        NoticeLog log(*p);
        p->Play();
        EXPECT_LT(p->Position(), p->Length() / 2);
        EXPECT_TRUE(log.waitFor(MediaNotify::Successful));
    }
}

TEST_F(MediaPlayerTest, ClosingLetsTheFileGo) {
    const QString path = chime();
    for (bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroying the player" : "Close");
        auto p = std::make_unique<TMediaPlayer>();
        p->setFileName(path);
        p->Open();
        ASSERT_TRUE(playPast(*p, 100));
        ASSERT_GE(openHandles(path), 1) << "the media system does not hold the file open";
        if (destroy) {
            p.reset();
        } else {
            p->Close();
            EXPECT_FALSE(p->isOpen());
            EXPECT_EQ(p->DeviceID(), 0);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return openHandles(path) == 0; }, 20000));
    }
}

// A medium closed leaves nothing of its own behind: reopened and played again and again (the
// chime of every call, a medium brought back after a fault), the process's descriptors stay
// where they were. A pipeline kept alive holds a pair of sockets for its bus.
TEST_F(MediaPlayerTest, OpenPlayAndCloseAgainAndAgainHoldNoDescriptors) {
    TMediaPlayer p;
    NoticeLog log(p);
    p.setFileName(chime());
    const auto round = [&] {
        p.Open();
        ASSERT_TRUE(playToEnd(p, log));
        p.Close();
    };
    ASSERT_NO_FATAL_FAILURE(round()); // what the media system opens once for the process
    const int before = procstats::openDescriptors();
    for (int i = 0; i < 4; ++i) ASSERT_NO_FATAL_FAILURE(round());
    EXPECT_TRUE(QTest::qWaitFor([&] { return procstats::openDescriptors() <= before; }, 5000))
        << "descriptors: " << before << " before, " << procstats::openDescriptors() << " after four more rounds";
}

// Open waits for the medium while serving timers, but no socket read (a call message) starts
// inside it; a player call that a timer makes meanwhile is dropped, not reported.
TEST_F(MediaPlayerTest, OpenServesNoSocketReadAndDropsCallsMadeInsideIt) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket station;
    station.connectToHost(QHostAddress::LocalHost, server.serverPort());
    ASSERT_TRUE(server.waitForNewConnection(5000));
    QTcpSocket* connection = server.nextPendingConnection();
    ASSERT_NE(connection, nullptr);

    TMediaPlayer p;
    p.setFileName(chime());
    bool opening = false;
    bool readInsideOpen = false;
    bool readAfterOpen = false;
    QStringList raisedInsideOpen;
    int ticksInsideOpen = 0;
    QObject::connect(connection, &QTcpSocket::readyRead, [&] { (opening ? readInsideOpen : readAfterOpen) = true; });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!opening) return;
        ++ticksInsideOpen;
        try {
            p.Play();
        } catch (const EPainelError& e) {
            raisedInsideOpen.append(e.text());
        }
    });

    station.write("MD*41ANA SOUTO");
    ASSERT_TRUE(station.waitForBytesWritten(5000));
    tick.start(0);
    opening = true;
    p.Open();
    opening = false;
    tick.stop();

    EXPECT_TRUE(p.isOpen());
    EXPECT_GE(ticksInsideOpen, 1) << "the open did not wait on the event loop";
    EXPECT_FALSE(readInsideOpen);
    EXPECT_TRUE(raisedInsideOpen.isEmpty()) << str(raisedInsideOpen.join(QStringLiteral("; ")));
    EXPECT_EQ(p.Mode(), MediaMode::Stopped);
    EXPECT_EQ(p.Position(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return readAfterOpen; }, 20000));
}

// ---------------------------------------------------------------------------------------------
// Video

TEST_F(MediaPlayerTest, VideoFramesReachTheDisplayAboveTheBar) {
    const QString path = video();
    if (path.isEmpty()) GTEST_SKIP() << "no test video: " << str(videoWhy);

    CountingDisplay display;
    display.resize(594, 400);
    TMediaPlayer player(&display);
    player.setGeometry(0, 370, 594, 30);
    player.setDisplay(&display);
    display.show();
    player.setFileName(path);
    player.Open();

    EXPECT_TRUE(player.Capabilities().hasVideo);
    EXPECT_TRUE(player.Capabilities().canStep);
    auto* picture = display.findChild<TVideoPicture*>();
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(picture->isVisible());
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 594, 370));

    for (const char* round : {"first open", "reopened"}) {
        SCOPED_TRACE(round);
        if (std::string(round) == "reopened") player.Open();
        const quint64 before = player.FramesShown();
        NoticeLog log(player);
        player.Play();
        EXPECT_TRUE(QTest::qWaitFor([&] { return player.FramesShown() >= before + 10; }, 20000));
        EXPECT_EQ(player.VideoSize(), QSize(320, 240));
        EXPECT_TRUE(log.waitFor(MediaNotify::Successful));
        // Two seconds at 25 frames a second, from the first frame to the last.
        EXPECT_GE(player.FramesShown(), before + 45);
    }

    // The picture follows the display and the bar.
    display.resize(700, 500);
    player.setGeometry(0, 470, 700, 30);
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 700, 470));

    // A double-click on the picture is the display's.
    QTest::mouseDClick(display.windowHandle(), Qt::LeftButton, {}, QPoint(300, 200));
    EXPECT_GE(display.doubleClicks, 1);
    EXPECT_TRUE(picture->geometry().contains(QPoint(300, 200)));

    player.Close();
    EXPECT_FALSE(picture->isVisible());
}

TEST_F(MediaPlayerTest, ThePictureIsMadeAtTheFirstOpen) {
    const QString path = video();
    if (path.isEmpty()) GTEST_SKIP() << "no test video: " << str(videoWhy);

    // Given a display before any open: no picture yet (a panel without a video never needs one).
    QWidget display;
    display.resize(400, 300);
    TMediaPlayer player;
    player.setDisplay(&display);
    display.show();
    EXPECT_EQ(display.findChild<TVideoPicture*>(), nullptr);
    EXPECT_EQ(player.FramesShown(), 0u);

    // The open makes it, filling the display, and the frames reach it.
    player.setFileName(path);
    player.Open();
    auto* picture = display.findChild<TVideoPicture*>();
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(picture->isVisible());
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 400, 300));
    const quint64 before = player.FramesShown();
    player.Play();
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.FramesShown() >= before + 5; }, 20000));
}

// A bar that is a child of the display stands along its bottom edge: the picture leaves room
// for it even before the display's layout has placed it (the main window opens its video before
// it is first shown).
TEST_F(MediaPlayerTest, ThePictureLeavesRoomForTheBarBeforeTheBarIsPlaced) {
    const QString path = video();
    if (path.isEmpty()) GTEST_SKIP() << "no test video: " << str(videoWhy);
    QWidget display;
    display.resize(594, 382);
    TMediaPlayer player(&display);
    player.resize(594, 30);  // still at the top: no layout has run
    player.setDisplay(&display);
    player.setFileName(path);
    player.Open();
    auto* picture = display.findChild<TVideoPicture*>();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 594, 352));
    player.move(0, 352);
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 594, 352));
}

TEST_F(MediaPlayerTest, StepAndBackMoveAHeldVideoByAFrame) {
    const QString path = video();
    if (path.isEmpty()) GTEST_SKIP() << "no test video: " << str(videoWhy);
    TMediaPlayer player;
    player.setFileName(path);
    player.Open();
    ASSERT_TRUE(playPast(player, 500));

    const qint64 before = player.Position();
    player.Step();
    EXPECT_EQ(player.Mode(), MediaMode::Paused);
    const qint64 stepped = player.Position();
    EXPECT_GT(stepped, before);
    EXPECT_LE(stepped, before + 200);
    player.Back();
    player.Back();
    EXPECT_EQ(player.Mode(), MediaMode::Paused);
    EXPECT_LT(player.Position(), stepped);
    EXPECT_EQ(player.Error(), MediaError::None);

    // A sound has no frames to step by: the device says so and nothing moves.
    auto sound = openChime();
    sound->Step();
    EXPECT_EQ(sound->Error(), MediaError::Unsupported);
    EXPECT_EQ(sound->Mode(), MediaMode::Stopped);
    EXPECT_EQ(sound->Position(), 0);
}

// A medium that ends before its stated length (a cut-off file) still counts as ended.
TEST_F(MediaPlayerTest, ACutOffVideoEndsAndTheNextPlayStartsOver) {
    const QString path = video(4);
    if (path.isEmpty()) GTEST_SKIP() << "no test video: " << str(videoWhy);
    QFile f(path);
    ASSERT_TRUE(f.resize(f.size() * 6 / 10));

    TMediaPlayer player;
    NoticeLog log(player);
    player.setFileName(path);
    player.Open();
    ASSERT_TRUE(playToEnd(player, log));
    EXPECT_EQ(player.Mode(), MediaMode::Stopped);
    const qint64 end = player.Position();
    ASSERT_GT(end, 0);

    player.Play();
    EXPECT_EQ(player.Mode(), MediaMode::Playing);
    EXPECT_LT(player.Position(), end / 2);
    EXPECT_TRUE(log.waitFor(MediaNotify::Successful, 2));
}

// ---------------------------------------------------------------------------------------------
// The button bar

TEST_F(MediaPlayerTest, TheBarGreysItselfAfterPressesAndCapabilities) {
    TMediaPlayer p;
    QStringList reported;
    p.setErrorHandler([&](const EPainelError& e) { reported.append(e.text()); });
    NoticeLog log(p);

    struct Step {
        const char* what;
        std::function<void()> act;
        const char* bar;  // Play Pause Stop Next Prev Step Back Record Eject
        MediaMode mode;
    };
    const Step steps[] = {
        {"as built", [] {}, "+++++++++", MediaMode::NotReady},
        {"press Play while closed", [&] { click(p, "btnPlay"); }, "+++++++++", MediaMode::NotReady},
        {"open a sound",
         [&] {
             p.setFileName(chime());
             p.Open();
         },
         "+--++----", MediaMode::Stopped},
        // The program's own calls leave the look as it is; greyed buttons still work.
        {"the program plays", [&] { p.Play(); }, "+--++----", MediaMode::Playing},
        {"press the greyed Pause: it pauses", [&] { click(p, "btnPause"); }, "+++++----", MediaMode::Paused},
        {"the program resumes", [&] { p.Pause(); }, "+++++----", MediaMode::Playing},
        {"the program pauses", [&] { p.Pause(); }, "+++++----", MediaMode::Paused},
        {"the program rewinds", [&] { p.Rewind(); }, "+++++----", MediaMode::Stopped},
        {"press Play", [&] { click(p, "btnPlay"); }, "-++++----", MediaMode::Playing},
        {"press Pause", [&] { click(p, "btnPause"); }, "+++++----", MediaMode::Paused},
        {"press Pause again", [&] { click(p, "btnPause"); }, "-++++----", MediaMode::Playing},
        {"press Stop", [&] { click(p, "btnStop"); }, "+--++----", MediaMode::Stopped},
        {"the program plays again", [&] { p.Play(); }, "+--++----", MediaMode::Playing},
        {"press the greyed Stop: it stops", [&] { click(p, "btnStop"); }, "+--++----", MediaMode::Stopped},
        {"press Play and let it end",
         [&] {
             click(p, "btnPlay");
             EXPECT_EQ(barState(p), QStringLiteral("-++++----"));
             EXPECT_TRUE(log.waitFor(MediaNotify::Successful));
         },
         "+--++----", MediaMode::Stopped},
        {"press Prev", [&] { click(p, "btnPrev"); }, "+--++----", MediaMode::Stopped},
        {"press Next", [&] { click(p, "btnNext"); }, "+--++----", MediaMode::Stopped},
        {"press Play at the end", [&] { click(p, "btnPlay"); }, "-++++----", MediaMode::Playing},
        {"the program pauses while Play is greyed", [&] { p.Pause(); }, "-++++----", MediaMode::Paused},
        {"press the greyed Play: it resumes", [&] { click(p, "btnPlay"); }, "-++++----", MediaMode::Playing},
        {"close", [&] { p.Close(); }, "+++++++++", MediaMode::NotReady},
        {"press Pause while closed", [&] { click(p, "btnPause"); }, "+++++++++", MediaMode::NotReady},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(str(barState(p)), s.bar);
        EXPECT_EQ(p.Mode(), s.mode);
    }
    // Each press on the closed player was reported through the handler, and nothing else was.
    EXPECT_EQ(reported, (QStringList{kNoDevice, kNoDevice}));
}

// A greyed button is drawn exactly as the style draws a disabled one, and unlike an enabled one.
TEST_F(MediaPlayerTest, AGreyedButtonLooksDisabled) {
    auto p = openChime();
    p->show();
    auto* pause = p->findChild<QAbstractButton*>(QStringLiteral("btnPause"));
    ASSERT_NE(pause, nullptr);
    ASSERT_TRUE(pause->property("greyed").toBool());
    const QImage greyed = pause->grab().toImage();
    pause->setProperty("greyed", false);
    const QImage enabled = pause->grab().toImage();
    pause->setEnabled(false);
    const QImage disabled = pause->grab().toImage();
    pause->setEnabled(true);
    EXPECT_EQ(greyed, disabled);
    EXPECT_NE(greyed, enabled);
}

TEST_F(MediaPlayerTest, TheBarOfAVideoStepsAndReportsWithoutAHandler) {
    const QString path = video();
    if (path.isEmpty()) GTEST_SKIP() << "no test video: " << str(videoWhy);
    TMediaPlayer p;
    p.setFileName(path);
    p.Open();
    EXPECT_EQ(str(barState(p)), "+--++++--");

    click(p, "btnStep");
    EXPECT_EQ(p.Mode(), MediaMode::Paused);
    EXPECT_GT(p.Position(), 0);
    EXPECT_EQ(str(barState(p)), "+++++++--");
    click(p, "btnBack");
    EXPECT_EQ(p.Position(), 0);
    click(p, "btnPlay");
    EXPECT_EQ(str(barState(p)), "-++++++--");

    // Without a handler an error a press raises stays inside the bar.
    p.Close();
    EXPECT_NO_THROW(click(p, "btnPlay"));
    EXPECT_FALSE(p.isOpen());
}

}  // namespace
