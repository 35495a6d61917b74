// The receive cycle on its own, against a host that records what the cycle asks of it: the steps of
// every form in their order, the switches, what a failure at each step leaves behind, media
// failures reported after the call, and a cycle nested inside another's pause. No window, no
// sockets, no database and no real pause: these run in milliseconds.

#include "base/errorreport.h"
#include "base/errors.h"
#include "calls/grammar.h"
#include "calls/receivecycle.h"
#include "tests/support/printers.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

namespace {

// One log of everything, in order: the host's steps, the voice's, the reports.
struct Log {
    QStringList steps;
    void operator<<(const QString& step) { steps << step; }
};

class LoggingVoice : public IVoice {
public:
    explicit LoggingVoice(Log& log, bool fail) : m_log(log), m_fail(fail) {}
    ~LoggingVoice() override { m_log << QStringLiteral("voice released"); }
    void Speak(const QString& text, int flags) override {
        m_log << QStringLiteral("speak %1 (%2)").arg(text).arg(flags);
        if (m_fail) throw EVoiceError(QStringLiteral("no sound output device"));
    }

private:
    Log& m_log;
    bool m_fail;
};

class LogReport : public IErrorReport {
public:
    explicit LogReport(Log& log) : m_log(log) {}
    void showError(const QString& text) override { m_log << QStringLiteral("error: ") + errorReportText(text); }
    void showMessage(const QString& text) override { m_log << QStringLiteral("message: ") + text; }

private:
    Log& m_log;
};

class RecordingHost : public CycleHost {
public:
    explicit RecordingHost(Log& log) : m_log(log) {}

    QStringList lines{"2411", "1", "S", "S"};
    bool videoFile = true;
    bool videoIsOpen = true;
    QString failAt;                         // the step that fails, the first time it runs
    std::function<void(int)> onPause;       // runs inside a pause

    QString configLine(int index) const override { return lines.value(index); }
    int nameFontSize() const override { return 36; }
    int serviceFontSize() const override { return 32; }
    bool videoFileExists() const override { return videoFile; }
    bool videoOpen() const override { return videoIsOpen; }
    void holdVideo() override { step("video pause"); }
    void resumeVideo() override { step("video play"); }
    void resetCallLines() override { step("reset lines"); }
    void showCall(const CallResult& call) override { step("show " + call.xsenha); }
    void playNotification() override { step("notify"); }
    std::unique_ptr<IVoice> createVoice() override {
        step("voice");
        return std::make_unique<LoggingVoice>(m_log, failAt == u"speak");
    }
    void requery() override { step("requery"); }
    void pause(int seconds) override {
        m_log << QStringLiteral("pause %1").arg(seconds);
        if (onPause) onPause(seconds);
    }
    void switchListener(bool on) override { step(on ? "listener on" : "listener off"); }
    void restartListener() override { step("restart"); }

private:
    void step(const QString& name) {
        m_log << name;
        if (name != failAt || m_failed) return;
        m_failed = true;
        if (name.startsWith(u"video") || name == u"notify") throw EMCIDeviceError(QStringLiteral("No MCI device open"));
        if (name == u"voice") throw EVoiceError(QStringLiteral("Cannot create \"SAPI.SpVoice\": no engine"));
        if (name == u"requery") throw EDatabaseError(QStringLiteral("Error reading data from the connection"));
        throw ESocketError(QStringLiteral("Cannot listen on port 2411: The address is protected"));
    }
    Log& m_log;
    bool m_failed = false;
};

QStringList runCycle(RecordingHost& host, Log& log, const QString& message) {
    LogReport report(log);
    ReceiveCycle(host, [&] {
        log << QStringLiteral("read");
        return message;
    }).run(report);
    return log.steps;
}

struct FormCase {
    const char* name;
    QString message;
    QStringList lines;
    bool videoFile;
    QStringList expected;
};

TEST(ReceiveCycle, TheStepsOfEveryFormInTheirOrder) {
    const QString counterSpeech = QStringLiteral("speak Senha A 15, Guichê 3 (0)");
    const QString mdSpeech = QStringLiteral("speak ANA favor comparecer ao consultório 7 (0)");
    const FormCase cases[] = {
        {"counter call", "03015A", {"2411", "1", "S", "S"}, true,
         {"video pause", "reset lines", "read", "listener off", "notify", "show A", "pause 1", "voice", counterSpeech,
          "requery", "pause 2", "restart", "video play", "voice released"}},
        {"consulting room", "MD*7ANA", {"2411", "1", "S", "S"}, true,
         {"video pause", "reset lines", "read", "notify", "show ANA", "voice", mdSpeech, "requery", "pause 2",
          "restart", "video play", "voice released"}},
        {"refresh", "refresh", {"2411", "1", "S", "S"}, true,
         {"video pause", "reset lines", "read", "listener off", "requery", "listener on", "restart", "video play"}},
        {"no video file", "RE*LUIS", {"2411", "1", "S", "S"}, false,
         {"reset lines", "read", "notify", "show LUIS", "voice", "speak LUIS favor comparecer a recepção (0)",
          "requery", "pause 2", "restart", "voice released"}},
        {"sound switch N, voice switch s", "MD*7ANA", {"2411", "1", "N", "s"}, false,
         {"reset lines", "read", "show ANA", "requery", "pause 2", "restart"}},
        {"three lines: the voice line is missing", "AC*LIA", {"2411", "1", "n"}, false,
         {"reset lines", "read", "notify", "show LIA", "requery", "pause 2", "restart"}},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.name);
        Log log;
        RecordingHost host(log);
        host.lines = c.lines;
        host.videoFile = c.videoFile;
        EXPECT_EQ(runCycle(host, log, c.message), c.expected);
    }
}

// A counter call whose numbers are not a whole number starts no notification, even with the
// sound switch on: it fails before, with the listener off, which it switches on again.
TEST(ReceiveCycle, AFailingCounterCallStartsNoNotification) {
    Log log;
    RecordingHost host(log);
    EXPECT_EQ(runCycle(host, log, "cr*2JOANA"),
              (QStringList{"video pause", "reset lines", "read", "listener off", "restart", "video play",
                           "error: 'cr' is not a valid integer value."}));
}

struct FailureCase {
    const char* step;
    QString message;
    QStringList before;  // the steps up to and with the failing one
    QString error;
};

// Whatever step fails, the cycle ends there, restarts the listener (on again, the stations whose
// message was read closed) and resumes the video (an open one; a closed one is left alone) before
// the error is reported; the voice is released when the cycle ends, after that.
TEST(ReceiveCycle, AFailureAtAnyStepRestoresTheListenerAndTheVideo) {
    const FailureCase cases[] = {
        {"voice", "MD*7ANA", {"video pause", "reset lines", "read", "notify", "show ANA", "voice"},
         "Cannot create \"SAPI.SpVoice\": no engine."},
        {"speak", "MD*7ANA",
         {"video pause", "reset lines", "read", "notify", "show ANA", "voice",
          "speak ANA favor comparecer ao consultório 7 (0)"},
         "no sound output device."},
        {"requery", "RE*LUIS",
         {"video pause", "reset lines", "read", "notify", "show LUIS", "voice",
          "speak LUIS favor comparecer a recepção (0)", "requery"},
         "Error reading data from the connection."},
        {"listener off", "03015A", {"video pause", "reset lines", "read", "listener off"},
         "Cannot listen on port 2411: The address is protected."},
        {"restart", "refresh",
         {"video pause", "reset lines", "read", "listener off", "requery", "listener on", "restart"},
         "Cannot listen on port 2411: The address is protected."},
    };
    for (const FailureCase& c : cases) {
        for (const bool videoOpen : {true, false}) {
            SCOPED_TRACE(std::string(c.step) + (videoOpen ? ", video open" : ", video closed"));
            Log log;
            RecordingHost host(log);
            host.failAt = c.step;
            host.videoIsOpen = videoOpen;
            QStringList expected = c.before;
            // A closed video is neither paused nor resumed: its failure was reported when it closed.
            if (!videoOpen) expected.removeAll(QStringLiteral("video pause"));
            const bool spoke = expected.contains(u"voice") && QString(c.step) != u"voice";
            expected << "restart";
            if (videoOpen) expected << "video play";
            expected << "error: " + c.error;
            if (spoke) expected << "voice released";
            EXPECT_EQ(runCycle(host, log, c.message), expected);
        }
    }
}

// A notification sound or video step that fails does not cost the call: the call is shown,
// spoken and re-read, and the failure reported when the cycle is over.
TEST(ReceiveCycle, MediaFailuresAreReportedOnceTheCallIsOver) {
    for (const QString step : {"notify", "video pause", "video play"}) {
        SCOPED_TRACE(step.toStdString());
        Log log;
        RecordingHost host(log);
        host.failAt = step;
        const QStringList steps = runCycle(host, log, "MD*7ANA");
        EXPECT_EQ(steps.mid(steps.size() - 3),
                  (QStringList{"video play", "voice released", "error: No MCI device open."}));
        EXPECT_TRUE(steps.contains("speak ANA favor comparecer ao consultório 7 (0)"));
        EXPECT_TRUE(steps.contains("restart"));
        EXPECT_EQ(steps.count("error: No MCI device open."), 1);
    }
}

// Another station's call during the 2-second pause runs a whole cycle of its own inside it; the
// first then restarts the listener and resumes the video once more, its voice released last.
TEST(ReceiveCycle, ACycleNestedInsideAPauseRunsToItsEndFirst) {
    Log log;
    RecordingHost host(log);
    host.videoFile = false;
    bool nested = false;
    host.onPause = [&](int seconds) {
        if (seconds != 2 || std::exchange(nested, true)) return;
        runCycle(host, log, "MD*8BIA");
    };
    EXPECT_EQ(runCycle(host, log, "MD*7ANA"),
              (QStringList{"reset lines", "read", "notify", "show ANA", "voice",
                           "speak ANA favor comparecer ao consultório 7 (0)", "requery", "pause 2",
                           "reset lines", "read", "notify", "show BIA", "voice",
                           "speak BIA favor comparecer ao consultório 8 (0)", "requery", "pause 2", "restart",
                           "voice released", "restart", "voice released"}));
}

} // namespace
