// The announcement of a call: the notification sound by its switch, the speech by its switch, and
// their order with the panels, the re-query of the list and the pause.

#include "calls/listener.h"
#include "db/callsquery.h"
#include "display/panel.h"
#include "media/mediaplayer.h"
#include "tests/support/firebird.h"
#include "tests/support/startupfixture.h"
#include "tests/support/station.h"
#include "tools/testmedia.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

class AnnouncementTest : public StartupFixture {
protected:
    void startWith(const QByteArray& configLines, bool withSound) {
        if (withSound) {
            ASSERT_TRUE(testmedia::writeChimeWav(exeDir.file("NOTIFY.WAV"), 1500));
        }
        writeIni(iniWithDatabase());
        writeConfigServer(configLines);
        startUp();
        ASSERT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
    }
    QByteArray lines(const QList<QByteArray>& rest) const {
        QByteArray out = QByteArray::number(port) + "\r\n1";
        for (const QByteArray& l : rest) out += "\r\n" + l;
        return out + "\r\n";
    }
};

TEST_F(AnnouncementTest, SpeechComesAfterThePanelsAndBeforeTheRequeryAndThePause) {
    startWith(lines({"N", "S"}), false);
    FbSession station(database, embeddedParams());
    station.addCounter(1, "RECEPCAO", QStringLiteral("REC"));
    station.addCall({.indice = 1, .guiche = 1, .senha = 7, .chamou = QStringLiteral("41")});
    QString panelAtSpeech;
    int rowsAtSpeech = -1;
    QElapsedTimer clock;
    qint64 spokeAt = -1;
    voice.onSpeak = [&](const QString&) {
        panelAtSpeech = window->Panel8->text();
        rowsAtSpeech = window->GUICHELISTA->rowCount();
        spokeAt = clock.elapsed();
    };
    TestStation caller;
    ASSERT_TRUE(caller.connectTo(port));
    clock.start();
    caller.send("MD*41ANA SOUTO");
    ASSERT_TRUE(caller.waitClosed(6000));
    const qint64 closedAt = clock.elapsed();
    EXPECT_EQ(voice.spoken, QStringList{QStringLiteral("ANA SOUTO favor comparecer a Recepção, Guiche 1")});
    EXPECT_EQ(panelAtSpeech, QStringLiteral("RECEPÇÃO - GUICHE 1"));
    EXPECT_EQ(rowsAtSpeech, 0);                      // the list is read again only after the speech
    EXPECT_EQ(window->GUICHELISTA->rowCount(), 1);   // ... and then shows the new call
    EXPECT_GE(closedAt - spokeAt, 2000);             // the 2-second pause follows
}

TEST_F(AnnouncementTest, ACounterCallPausesASecondBeforeItSpeaks) {
    startWith(lines({"N", "S"}), false);
    QElapsedTimer clock;
    qint64 spokeAt = -1;
    voice.onSpeak = [&](const QString&) { spokeAt = clock.elapsed(); };
    TestStation caller;
    ASSERT_TRUE(caller.connectTo(port));
    clock.start();
    caller.send("12007B");
    QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
    EXPECT_EQ(voice.spoken.first(), QStringLiteral("Senha B 7, Guichê 12"));
    EXPECT_GE(spokeAt, 1000);
}

struct SoundRow {
    QList<QByteArray> lines; // after the port and reserved lines
    bool sounds;
};

TEST_F(AnnouncementTest, TheNotificationFollowsTheSoundSwitch) {
    // The voice is on, so that the sound can be looked at while the call is spoken.
    const SoundRow rows[] = {{{"S", "S"}, true}, {{"N", "S"}, false}, {{"n", "S"}, true},
                             {{"N ", "S"}, true}};
    for (const SoundRow& row : rows) {
        SCOPED_TRACE(QByteArray(lines(row.lines)).toStdString());
        report = RecordingErrorReport{};
        voice = VoiceLog{};
        startWith(lines(row.lines), true);
        EXPECT_EQ(window->Som1->isOpen(), row.sounds);
        if (row.sounds) {
            // Let the start-up sound end, then a call plays it again from the start.
            QTRY_VERIFY_WITH_TIMEOUT(window->Som1->Mode() != MediaMode::Playing, 8000);
        }
        MediaMode modeAtSpeech = MediaMode::NotReady;
        qint64 positionAtSpeech = -1;
        voice.onSpeak = [&](const QString&) {
            modeAtSpeech = window->Som1->Mode();
            positionAtSpeech = window->Som1->Position();
        };
        ASSERT_TRUE(sendCall(port, "RE*ANA"));
        QTRY_COMPARE_WITH_TIMEOUT(voice.spoken.size(), 1, 5000);
        if (row.sounds) {
            EXPECT_EQ(modeAtSpeech, MediaMode::Playing);
            EXPECT_LT(positionAtSpeech, 1000);
        }
        EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('|').toStdString();
        window.reset();
    }
}

TEST_F(AnnouncementTest, SoundOnWithoutTheFileStillShowsAndSpeaksTheCallThenReportsIt) {
    startWith(lines({"S", "S"}), false);
    EXPECT_FALSE(window->Som1->isOpen());
    ASSERT_TRUE(sendCall(port, "RE*ANA"));
    QTRY_COMPARE_WITH_TIMEOUT(report.errors.size(), 1, 8000);
    EXPECT_EQ(report.errors.first(), QStringLiteral("No MCI device open."));
    // The missing sound costs the call nothing: it is shown and spoken, and the failure is
    // reported once the cycle is over, with the listener on again.
    EXPECT_EQ(window->xsenha, QStringLiteral("ANA"));
    EXPECT_EQ(window->Panel8->text(), QStringLiteral("Recepção"));
    EXPECT_EQ(voice.spoken, QStringList{QStringLiteral("ANA favor comparecer a recepção")});
    EXPECT_TRUE(window->ServerSocket1->Active());
    TestStation next;
    EXPECT_TRUE(next.connectTo(port));
}

TEST_F(AnnouncementTest, ANotificationDuringThePreviousSoundLetsItPlayOn) {
    startWith(lines({"S", "N"}), true);
    // The start-up sound is still playing when the call comes.
    ASSERT_EQ(window->Som1->Mode(), MediaMode::Playing);
    QTest::qWait(300);
    const qint64 before = window->Som1->Position();
    ASSERT_TRUE(sendCall(port, "RE*ANA"));
    QTRY_COMPARE_WITH_TIMEOUT(window->Panel8->text(), QStringLiteral("Recepção"), 5000);
    EXPECT_GE(window->Som1->Position(), before); // not restarted
}

TEST_F(AnnouncementTest, AFailingVoiceEndsTheCycleWithItsReason) {
    startWith(lines({"N", "S"}), false);
    voice.failCreate = QStringLiteral("Cannot create \"SAPI.SpVoice\": no engine");
    ASSERT_TRUE(sendCall(port, "RE*ANA"));
    QTRY_COMPARE_WITH_TIMEOUT(report.errors.size(), 1, 5000);
    EXPECT_EQ(report.errors.first(), QStringLiteral("Cannot create \"SAPI.SpVoice\": no engine."));
    EXPECT_TRUE(window->ServerSocket1->Active());
}

} // namespace
