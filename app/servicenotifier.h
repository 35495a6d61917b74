#pragma once
// The panel as a systemd service of Type=notify: it tells systemd when start-up is over (READY=1)
// and, all along, that its window's thread is alive (WATCHDOG=1). The beat comes from a timer of
// the window's thread, so it stops exactly when that thread stands still: a thread frozen past the
// unit's WatchdogSec gets the panel restarted. Timers are served inside every modal loop (the key
// prompt, a message box), so an open prompt or box goes on beating.
//
// A beat that is due is also sent each time the thread turns to its event queue. Qt serves a
// timer only when no socket notice is waiting, so calls queued one behind the other (each read in
// the pause of the one before, then spoken) would starve the timer for as long as the queue lasts:
// twenty spoken calls outlast a WatchdogSec of two minutes, and the panel would be restarted in a
// busy hour. With the beat at each turn, the longest gap is one call's spoken part.
//
// Until it is ready, each beat also extends systemd's start time-out: the key prompt may wait for
// an operator for hours, and the first attach may be slow, and neither must get the panel killed
// at start-up; a start-up whose thread freezes stops extending it, and is killed.
//
// After start-up it beats only while the panel can take calls (the listener on, off for a call,
// or being switched on again): a panel that cannot listen is not working, and systemd restarts
// it. A start-up that ended before the listener (a configuration error, say) is not made ready
// at all: the beats stop, systemd's start time-out ends the start as failed, and its restart
// limit, not an endless loop, ends the attempts.
//
// With NOTIFY_SOCKET not set (started by hand, by the autostart entry) nothing is sent.

#include <QObject>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

class ServiceNotifier : public QObject {
    Q_OBJECT
public:
    explicit ServiceNotifier(QObject* parent = nullptr);

    // Beats from now on, extending the start time-out until ready().
    void start();
    // Start-up is over; from now on the beat goes while working() holds.
    void ready(std::function<bool()> working);
    // Start-up failed for good: no more beats, and systemd is not told that the panel is ready.
    void failed();

    // Beat when the unit sets no watchdog.
    static constexpr int kPlainBeatMs = 10000;
    // What each beat before ready() adds to the start time-out.
    static constexpr int kStartExtensionMs = 30000;

private:
    void beat();
    void beatIfDue();
    QTimer m_beat;
    QElapsedTimer m_sinceBeat;
    bool m_ready = false;
    std::function<bool()> m_working;
};
