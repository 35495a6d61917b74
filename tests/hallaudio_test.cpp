// The announcement as the waiting room hears it: a real panel process plays into a PulseAudio
// server of the test's own with a null sink in place of loudspeakers (tests/support/
// pulseserver.sh, started by tools/test.sh), and the sink's monitor is recorded. The chime
// (NOTIFY.WAV, a tone the recording tells from speech) goes through GStreamer, the speech
// through espeak-ng's own output. Without the server the tests skip.

#include "calls/espeakvoice.h"
#include "calls/grammar.h"
#include "calls/pronunciationfile.h"
#include "tests/support/hallpanel.h"
#include "tests/support/notifysocket.h"
#include "tests/support/ownsoundserver.h"
#include "tests/support/pulsehall.h"
#include "tests/support/qtapp.h"
#include "tests/support/soundspans.h"
#include "tests/support/station.h"
#include "media/mediaplayer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

// How much earlier than a message a sound may seem to start: the times of the recording come
// from the arrival of its samples, which the sink renders some milliseconds ahead.
constexpr double kEarly = 0.1;

// A sound's start and end on the steady clock.
struct Heard {
    double start, end;
    double length() const { return end - start; }
};

class WaitingRoom : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApp();
        QString why;
        const QString runtime = pulseRuntime(&why);
        if (runtime.isEmpty()) GTEST_SKIP() << why.toStdString();
        sink = std::make_unique<HallSink>(runtime);
        recording = std::make_unique<HallRecording>(*sink);
        ASSERT_TRUE(recording->waitFlowing(10, &why)) << why.toStdString();
    }

    void startPanel(HallPanelSetup setup = {}) {
        panel = std::make_unique<HallPanel>(*sink, std::move(setup));
        QString why;
        ASSERT_TRUE(panel->start(&why)) << why.toStdString();
    }

    // Sends a call as a station does and waits until its cycle has ended (the panel closes the
    // connection at its end). The time the message was written.
    double call(const QByteArray& message) {
        TestStation station;
        // A counter call's cycle refuses stations until it ends: they try again.
        EXPECT_TRUE(QTest::qWaitFor([&] { return station.connectTo(panel->port(), 1000); }, 30000))
            << message.toStdString();
        const double sent = steadySeconds();
        station.send(message);
        EXPECT_TRUE(station.waitClosed(40000)) << message.toStdString() << " did not end";
        return sent;
    }

    void listen(double seconds) { QTest::qWait(int(seconds * 1000)); }

    // The tone and the speech heard between two instants.
    std::vector<Heard> heard(bool tone, double from, double to = 1e300) const {
        const HeardSounds sounds = findSounds(recording->samples(), HallRecording::kRate);
        std::vector<Heard> out;
        for (const SoundSpan& s : tone ? sounds.tone : sounds.speech) {
            const Heard h{recording->timeOf(s.start), recording->timeOf(s.end)};
            if (h.start >= from && h.start < to) out.push_back(h);
        }
        return out;
    }

    // How long the engine's speech of the announcement lasts, measured as the recording is.
    double spokenLength(const QByteArray& message) {
        const EspeakVoice::Samples s = voice.synthesizeToSamples(parseCall(QString::fromLatin1(message), 0, 0).announcement);
        const std::vector<SoundSpan> speech = findSounds(s.data, s.sampleRate).speech;
        return speech.empty() ? 0 : speech.back().end - speech.front().start;
    }

    void expectLengthOfSpeech(const Heard& speech, const QByteArray& message) {
        const double engine = spokenLength(message);
        EXPECT_NEAR(speech.length(), engine, 0.2 * engine)
            << message.toStdString() << ": heard " << speech.length() << " s, the engine's synthesis " << engine << " s";
    }

    std::unique_ptr<HallSink> sink;
    std::unique_ptr<HallRecording> recording;
    std::unique_ptr<HallPanel> panel;
    EspeakVoice voice;
};

// The start-up chime, then every form: the chime and the speech in the order of its cycle, the
// speech as long as the engine's, and a name of the clinic's pronuncia.txt said as it says.
TEST_F(WaitingRoom, TheStartUpChimeThenEveryFormInTheOrderOfItsCycle) {
    const QByteArray lexicon = "ZE=José Sebastião da Silva Xavier\n";
    setClinicLexicon(parsePronunciationFile(lexicon, QStringLiteral("pronuncia.txt")).entries);
    const double started = steadySeconds();
    HallPanelSetup setup;
    setup.pronuncia = lexicon;
    startPanel(setup);
    listen(1.5);
    const QByteArray messages[] = {"03015AE",       "MD*41THIAGO SOUZA", "CR*2JENNIFER LIMA", "CR*MICHAEL",
                                   "MD*7WALTER",    "MD*12ANA SOUTO",    "AC*LUIS MOTA",      "RE*ZE"};
    std::vector<double> sent;
    // Calls during which the chime stood still at its start and was started again (GStreamer's
    // PulseAudio sink, on a busy machine): heard late, in its own or the next call's window.
    std::vector<bool> restarted;
    const auto stoodStill = [&] { return panel->errors().count(QStringLiteral("stood still")); };
    for (const QByteArray& m : messages) {
        const qsizetype before = stoodStill();
        sent.push_back(call(m));
        restarted.push_back(stoodStill() > before);
    }
    listen(0.5);
    const double tone = panel->setup().toneSeconds;
    const std::vector<Heard> startup = heard(true, started, sent.front() - kEarly);
    ASSERT_EQ(startup.size(), 1u) << "the start-up chime";
    EXPECT_NEAR(startup[0].length(), tone, 0.15);
    EXPECT_TRUE(heard(false, started, sent.front() - kEarly).empty()) << "speech before the first call";

    for (std::size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(messages[i].toStdString());
        // A call's sounds, from a little before its message was written (the recording's times
        // are good to some milliseconds) to the next call.
        const double next = i + 1 < sent.size() ? sent[i + 1] - kEarly : 1e300;
        const std::vector<Heard> chime = heard(true, sent[i] - kEarly, next);
        const std::vector<Heard> speech = heard(false, sent[i] - kEarly, next);
        ASSERT_EQ(speech.size(), 1u);
        expectLengthOfSpeech(speech[0], messages[i]);
        if (restarted[i] || (i > 0 && restarted[i - 1])) continue;
        ASSERT_EQ(chime.size(), 1u) << "no chime heard with the call; the panel wrote: " << panel->errors().toStdString();
        EXPECT_LT(chime[0].start - sent[i], 0.5) << "the chime comes with the call";
        EXPECT_NEAR(chime[0].length(), tone, 0.15);
        if (classifyCall(QString::fromLatin1(messages[i])) == CallKind::Counter) {
            // The counter call pauses a second between its repaint and the speech: the chime is
            // heard first, the speech more than a second after the message.
            EXPECT_LT(chime[0].start, speech[0].start);
            EXPECT_GE(speech[0].start - sent[i], 1.0);
        } else {
            // The speech comes right after the repaint, while the chime sounds (the chime's
            // media pipeline may even make it heard a little after the speech starts).
            EXPECT_LT(speech[0].start - sent[i], 0.5);
            EXPECT_LT(speech[0].start, chime[0].end);
        }
    }
    EXPECT_LE(std::count(restarted.begin(), restarted.end(), true), 2) << panel->errors().toStdString();
    // The clinic's entry makes the last name much longer than the engine says it without.
    const double withEntry = spokenLength("RE*ZE");
    setClinicLexicon({});
    EXPECT_GT(withEntry, spokenLength("RE*ZE") + 1.0);
    EXPECT_TRUE(panel->running()) << panel->errors().toStdString();
}

// A station's call that arrives while the panel speaks waits for the end of the speech: the
// first announcement is heard whole, then the second call's chime and speech.
TEST_F(WaitingRoom, ACallDuringAnotherCallsSpeechDoesNotCutItOff) {
    startPanel();
    listen(1.5);
    const QByteArray first = "MD*41MARIA APARECIDA DA CONCEICAO DOS SANTOS OLIVEIRA";
    const QByteArray second = "RE*JOAO PEDRO";
    TestStation a;
    ASSERT_TRUE(a.connectTo(panel->port()));
    const double sent = steadySeconds();
    a.send(first);
    // Once the first speech is heard, the second station calls.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !heard(false, sent).empty(); }, 10000)) << "no speech heard";
    listen(0.5);
    TestStation b;
    ASSERT_TRUE(b.connectTo(panel->port()));
    const double secondSent = steadySeconds();
    b.send(second);
    EXPECT_TRUE(b.waitClosed(40000));
    EXPECT_TRUE(a.waitClosed(40000));
    listen(0.5);

    // The second call's cycle starts as soon as the first speech has ended, so that the two
    // speeches are heard almost as one: together they last as long as both. Had the second
    // call cut the first speech off, half a second into it, they would last little more than
    // the second.
    const std::vector<Heard> speech = heard(false, sent - kEarly);
    ASSERT_GE(speech.size(), 1u);
    const double firstLength = spokenLength(first), secondLength = spokenLength(second);
    EXPECT_LT(speech.front().start, secondSent);
    EXPECT_LT(secondSent - speech.front().start, 0.3 * firstLength) << "the second call came late in the speech";
    const double both = speech.back().end - speech.front().start;
    EXPECT_GT(both, 0.85 * (firstLength + secondLength)) << "heard " << both << " s";
    EXPECT_LT(both, 1.15 * (firstLength + secondLength) + 0.5) << "heard " << both << " s";
    // The second call is spoken after the first: the speech goes on past the first's length.
    EXPECT_GT(both, firstLength + 0.5 * secondLength) << "heard " << both << " s";
    // And it has its chime too, once the first speech is over (the first chime had ended long
    // before, while the thread was speaking).
    const std::vector<Heard> chimes = heard(true, sent - kEarly);
    ASSERT_EQ(chimes.size(), 2u) << "chimes heard";
    EXPECT_GT(chimes.back().start, speech.front().start + 0.8 * firstLength);
}

TEST_F(WaitingRoom, ARefreshMakesNoSound) {
    startPanel();
    listen(1.5);
    const double sent = call("refresh");
    listen(2.5);
    EXPECT_TRUE(heard(true, sent - kEarly).empty());
    EXPECT_TRUE(heard(false, sent - kEarly).empty());
    EXPECT_TRUE(panel->running());
}

// Sound switch "N": no chime at start-up nor with the call, and the call is still spoken.
TEST_F(WaitingRoom, SoundSwitchNGivesSpeechWithoutAChime) {
    const double started = steadySeconds();
    HallPanelSetup setup;
    setup.soundSwitch = "N";
    startPanel(setup);
    listen(1.5);
    const QByteArray message = "MD*7ANA SOUTO";
    const double sent = call(message);
    listen(0.5);
    EXPECT_TRUE(heard(true, started).empty());
    const std::vector<Heard> speech = heard(false, sent - kEarly);
    ASSERT_EQ(speech.size(), 1u);
    EXPECT_LT(speech[0].start - sent, 0.5);
    expectLengthOfSpeech(speech[0], message);
}

} // namespace

// The chime played again from its end, call after call, each time with the announcement spoken
// right after it as in the forms that do not pause: every play is heard. (GStreamer's
// PulseAudio sink can stay at the start when set playing again, about one play in ten; the
// device thought it playing, and the chime was never heard again. Such a play is now started
// again once the speech has ended.)
TEST_F(WaitingRoom, TheChimePlayedAgainFromItsEndIsHeardEveryTime) {
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("NOTIFY.WAV"));
    {
        QFile out(wav);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(toneWave(1.2)) > 0);
    }
    // GStreamer in this process plays into the test's sink.
    for (const QString& e : sink->environment({})) {
        const qsizetype eq = e.indexOf(QLatin1Char('='));
        qputenv(e.left(eq).toLocal8Bit().constData(), e.mid(eq + 1).toLocal8Bit());
    }
    TMediaPlayer player;
    player.setFileName(wav);
    player.setAutoRewind(true);
    player.Open();
    constexpr int kPlays = 20;
    std::vector<double> played;
    int unfinished = 0;
    for (int i = 0; i < kPlays; ++i) {
        played.push_back(steadySeconds());
        player.Play();
        voice.Speak(QStringLiteral("Thiago Souza favor comparecer ao consultório 7"), 0);
        if (!QTest::qWaitFor([&] { return player.Mode() == MediaMode::Stopped; }, 6000)) ++unfinished;
        listen(0.2); // a gap between the tones, which the recording tells apart
    }
    player.Close();
    listen(0.3);
    EXPECT_EQ(unfinished, 0) << "plays that did not reach their end, of " << kPlays;
    for (int i = 0; i < kPlays; ++i) {
        const double next = i + 1 < kPlays ? played[i + 1] - kEarly : 1e300;
        const std::vector<Heard> chime = heard(true, played[i] - kEarly, next);
        // A play that stood still may have sounded for some milliseconds before its new start.
        EXPECT_GE(chime.size(), 1u) << "play " << i + 1 << " of " << kPlays;
    }
}

namespace {

// When each call reached the screen, from the panel's line per call shown.
class ShownCalls {
public:
    explicit ShownCalls(HallPanel& panel) : m_panel(panel) {}
    bool shown(const QByteArray& message) {
        return m_panel.errors().contains(QStringLiteral(" \"%1\" ").arg(QString::fromLatin1(message)));
    }

private:
    HallPanel& m_panel;
};

// The sound server hangs (SIGSTOP) during a stream of calls: every call is still shown at the pace
// of a healthy panel, the outage is reported once, and the sound is back by itself once the server
// answers again, and once more after it was killed and a new one started.
TEST(SoundServerFaults, AHungOrRestartedSoundServerCostsTheSoundNotTheCalls) {
    ensureApp();
    OwnSoundServer server;
    const QString runtime = server.start();
    if (runtime.isEmpty()) GTEST_SKIP() << "no PulseAudio server could be started (pulseaudio, pulseaudio-utils)";
    HallSink sink(runtime);
    HallPanelSetup setup;
    setup.toneSeconds = 0.5;
    setup.environment << QStringLiteral("PAINEL_LOG_CALLS=1");
    HallPanel panel(sink, setup);
    QString why;
    ASSERT_TRUE(panel.start(&why)) << why.toStdString();
    ShownCalls calls(panel);
    const auto send = [&](const QByteArray& message) {
        TestStation station;
        EXPECT_TRUE(QTest::qWaitFor([&] { return station.connectTo(panel.port(), 1000); }, 20000));
        station.send(message);
        QElapsedTimer shown;
        shown.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls.shown(message); }, 20000))
            << message.toStdString() << " not shown: " << panel.errors().toStdString();
        return shown.elapsed();
    };
    send("MD*7ANTES");
    QTest::qWait(4000);

    ASSERT_TRUE(server.signal(SIGSTOP));
    for (int i = 1; i <= 6; ++i) {
        const qint64 ms = send("MD*7PARADO" + QByteArray::number(i));
        std::printf("sound server hung: call %d on screen %lld ms after its message\n", i, (long long)ms);
        // The first call's chime and announcement wait for the output at most their bounds (the
        // announcement's length and a margin), which the second call may find still running; from
        // then on the calls are shown at once.
        EXPECT_LT(ms, i <= 2 ? 9000 : 1000) << "call " << i << ": " << panel.errors().toStdString();
        QTest::qWait(1500);
    }
    EXPECT_EQ(panel.errors().count(QStringLiteral("a saída de som não respondeu")), 1) << panel.errors().toStdString();

    // Continued, then killed and a new one started: each time the next calls are heard again.
    for (const bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "a new server" : "continued");
        if (restart) {
            ASSERT_TRUE(server.kill());
            QTest::qWait(500);
            ASSERT_FALSE(server.start().isEmpty());
        } else {
            ASSERT_TRUE(server.signal(SIGCONT));
        }
        QTest::qWait(3000);
        HallRecording recording(sink);
        ASSERT_TRUE(recording.waitFlowing(10, &why)) << why.toStdString();
        bool heard = false;
        for (int i = 0; i < 4 && !heard; ++i) {
            const double sent = steadySeconds();
            send("MD*7DEPOIS" + QByteArray::number(i));
            QTest::qWait(5000);
            const HeardSounds sounds = findSounds(recording.samples(), HallRecording::kRate);
            for (const SoundSpan& s : sounds.tone) heard = heard || recording.timeOf(s.start) >= sent - kEarly;
        }
        EXPECT_TRUE(heard) << "no chime heard again: " << panel.errors().toStdString();
        EXPECT_TRUE(panel.running());
    }
}

// Spoken calls queued one behind the other: each is read in the pause of the one before, while
// the window's thread still beats between them. The gap between two beats is at most one call's
// chime and speech (about 3 s here), never that of the whole queue (before: two calls made one gap
// of 6 s, and twenty would outlast the unit's watchdog).
TEST(SoundServerFaults, SpokenCallsQueuedOneBehindTheOtherKeepTheWatchdogBeating) {
    ensureApp();
    OwnSoundServer server;
    const QString runtime = server.start();
    if (runtime.isEmpty()) GTEST_SKIP() << "no PulseAudio server could be started (pulseaudio, pulseaudio-utils)";
    HallSink sink(runtime);
    QTemporaryDir notifyDir;
    const QString notifyPath = notifyDir.filePath(QStringLiteral("notify"));
    NotifySocket systemd(notifyPath);
    ASSERT_TRUE(systemd.bound());
    HallPanelSetup setup;
    setup.toneSeconds = 0.5;
    setup.environment << QStringLiteral("NOTIFY_SOCKET=") + notifyPath << QStringLiteral("WATCHDOG_USEC=300000")
                      << QStringLiteral("PAINEL_LOG_CALLS=1");
    HallPanel panel(sink, setup);
    QString why;
    ASSERT_TRUE(panel.start(&why)) << why.toStdString();
    systemd.receive(500);
    const NotifySocket::Clock::time_point from = NotifySocket::Clock::now();
    std::vector<std::unique_ptr<TestStation>> stations;
    for (const char* message : {"MD*7ANA SOUZA", "MD*7BETO LIMA", "MD*7CARLA DIAS", "MD*7DAVI ROCHA"}) {
        stations.push_back(std::make_unique<TestStation>());
        ASSERT_TRUE(stations.back()->connectTo(panel.port()));
        stations.back()->send(message);
        QTest::qWait(300);
    }
    for (auto& station : stations) EXPECT_TRUE(station->waitClosed(30000)) << panel.errors().toStdString();
    EXPECT_EQ(panel.errors().count(QStringLiteral("painel: chamada ")), 4) << panel.errors().toStdString();
    std::vector<NotifySocket::Clock::time_point> beats = systemd.beats();
    std::erase_if(beats, [&](auto at) { return at < from; });
    ASSERT_GE(beats.size(), 2u);
    std::chrono::milliseconds longest{0};
    for (size_t i = 1; i < beats.size(); ++i)
        longest = std::max(longest, std::chrono::duration_cast<std::chrono::milliseconds>(beats[i] - beats[i - 1]));
    std::printf("four spoken calls queued: longest gap between beats %lld ms\n", (long long)longest.count());
    EXPECT_LT(longest.count(), 5000);
}

} // namespace
