#pragma once
// The receive cycle: what the panel does with every call message a station sends. One cycle is
// run for every read event of the listener:
//
//   1. video pause (when VIDEO.WMV exists)       6. the form: panels, notification, repaint
//   2. Panel3 at 140 points, Panel7 hidden            (a counter call first switches the listener
//   3. the message read                               off and ends with a pause of 1 second)
//   4. "refresh": listener off, re-query,        7. speech (voice switch "S")
//      listener on; on at step 9                  8. re-query, pause of 2 seconds
//   5. (steps 6 to 8 for every other form)       9. listener restart; 10. video resume
//
// Order within the form: a counter call switches the listener off, reads its numbers (which may
// fail) and only then starts the notification; every other form starts the notification first.
// The panels are set and the window repainted before the speech, so the call is on screen while
// it is spoken; the notification is not waited for.
//
// A failing step ends the cycle there; what was already shown stays. The panel must neither go
// deaf nor leave the video paused: the listener is restarted as at step 9 (on again, the
// connections whose message was read closed) and the video resumed, then the error is reported.
// A failing notification sound or video step does not cost the call: its error is kept and
// reported once the cycle is over. The voice object lives until the cycle ends (after the
// re-query, the pause and the restart).
//
// The cycle's own state (its voice, the media errors) lives in the cycle object, on the stack of
// the read handler: a cycle that runs inside another's pause has its own.

#include "calls/privatename.h"
#include "calls/voice.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class IErrorReport;
struct CallResult;

// What the cycle asks of the panel. The main window is one; tests record the calls.
class CycleHost {
public:
    // Line i (from 0) of configserver.txt: 2 is the sound switch, 3 the voice switch.
    virtual QString configLine(int index) const = 0;
    // config.ini's font sizes of names and of the destination line.
    virtual int nameFontSize() const = 0;
    virtual int serviceFontSize() const = 0;
    // How the calls show and speak names (config.ini's [definicao] privacidade).
    virtual NameForm nameForm() const { return NameForm::Full; }

    virtual bool videoFileExists() const = 0;
    virtual bool videoOpen() const = 0;
    virtual void holdVideo() = 0;   // the video pause operation (a paused video resumes)
    virtual void resumeVideo() = 0; // the video play operation

    virtual void resetCallLines() = 0;                 // Panel3 at 140 points, Panel7 hidden
    virtual void showCall(const CallResult& call) = 0; // xsenha, the call lines, a repaint
    virtual void playNotification() = 0;
    virtual std::unique_ptr<IVoice> createVoice() = 0;
    virtual void requery() = 0;
    virtual void pause(int seconds) = 0;

    virtual void switchListener(bool on) = 0;
    virtual void restartListener() = 0;
    // A "refresh" has re-read the list.
    virtual void refreshed() {}

protected:
    ~CycleHost() = default;
};

class ReceiveCycle {
public:
    // readMessage reads the message of this read event and decodes it (step 3).
    ReceiveCycle(CycleHost& host, std::function<QString()> readMessage);
    ~ReceiveCycle();

    // Runs the cycle; every error goes to the report, none is raised.
    void run(IErrorReport& report);

private:
    void steps();
    QString form(const QString& text);
    void notify();
    void mediaStep(const std::function<void()>& step);
    void restore(IErrorReport& report);

    CycleHost& m_host;
    std::function<QString()> m_readMessage;
    std::unique_ptr<IVoice> m_voice;
    QStringList m_mediaErrors;
};
