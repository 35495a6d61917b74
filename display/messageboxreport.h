#pragma once
// The program's error report: message boxes with a stop icon, OK and the application's title.

#include "base/errorreport.h"

#include <QObject>
#include <QString>
#include <functional>

// Message boxes. At most one box is open at a time: an error raised while one is open (by a call
// handled inside the box's loop, say) goes to standard error only, so that a long outage cannot
// pile up boxes. With the environment variable PAINEL_ERRORS=stderr no box is shown at all.
//
// A box serves the event queue until somebody presses OK, which on a panel nobody watches may be
// never. So no box is opened while the program is busy with something that must end soon (a
// call being handled: its listener would stay off, or the calls nested in it could not unwind):
// the error goes to standard error at once, and its box is shown once the program is no longer
// busy, from the event loop. Of the errors held meanwhile the first is shown; the rest are on
// standard error only, as errors raised while a box is open. Nor is a box opened while a medium's
// open waits for it to load (a quiet loop, which holds the sockets back): it is shown once that
// wait is over.
class MessageBoxErrorReport : public IErrorReport {
public:
    void showError(const QString& text) override;
    void showMessage(const QString& text) override;
    bool boxOpen() const { return m_open; }

    // While busy() holds, boxes are held back.
    void holdWhile(std::function<bool()> busy) { m_busy = std::move(busy); }
    // Tells that busy() may no longer hold: the box held back, if any, is shown from the event
    // loop once it does not.
    void release();
    bool holding() const { return !m_held.isEmpty(); }

private:
    void show(const QString& text, bool stopIcon);
    void openBox(const QString& text, bool stopIcon);
    void showHeld();
    void retryLater();
    static constexpr int kRetryMs = 100;

    bool m_open = false;
    std::function<bool()> m_busy;
    QString m_held; // the text of the box held back
    bool m_heldStop = true;
    QObject m_context; // the held box's delivery goes with the report
};
