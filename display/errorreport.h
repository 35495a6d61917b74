#pragma once
// The standard error report: every event handler runs its body through guarded(), so that no
// exception crosses the event loop. The error's text is shown in a message box (stop icon, OK,
// the application's title), with "." added when its last character has a higher code than ".",
// and written to standard error as one line, so that a panel without a person in front of it
// leaves a trace in the system journal.

#include <QObject>
#include <QString>
#include <functional>

class IErrorReport {
public:
    virtual ~IErrorReport() = default;
    // An error: a stop-icon box with OK.
    virtual void showError(const QString& text) = 0;
    // A plain notice with OK (used for "Não encontrei arquivo config.ini").
    virtual void showMessage(const QString& text) = 0;
};

// The text as the report shows it.
QString errorReportText(const QString& text);

// Writes one line to standard error.
void logError(const QString& text);

// Message boxes. At most one box is open at a time: an error raised while one is open (by a call
// handled inside the box's loop, say) goes to standard error only, so that a long outage cannot
// pile up boxes. With the environment variable PAINEL_ERRORS=stderr no box is shown at all.
//
// A box serves the event queue until somebody presses OK, which on a panel nobody watches may be
// never. So no box is opened while the program is busy with something that must end soon (a
// call being handled: its listener would stay off, or the calls nested in it could not unwind):
// the error goes to standard error at once, and its box is shown once the program is no longer
// busy, from the event loop. Of the errors held meanwhile the first is shown; the rest are on
// standard error only, as errors raised while a box is open.
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

    bool m_open = false;
    std::function<bool()> m_busy;
    QString m_held; // the text of the box held back
    bool m_heldStop = true;
    QObject m_context; // the held box's delivery goes with the report
};

// Runs body; an error it raises is handed to the report (after onError, when given, has run).
// Returns true when body completed.
bool guarded(IErrorReport& report, const std::function<void()>& body,
             const std::function<void()>& onError = {});

// The application's title, the caption of every box.
QString applicationTitle();
