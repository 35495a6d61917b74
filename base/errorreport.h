#pragma once
// The standard error report: every event handler runs its body through guarded(), so that no
// exception crosses the event loop. The error's text is shown by the report (the program's are
// message boxes: display/messageboxreport.h), with "." added when its last character has a higher
// code than ".", and written to standard error as one line, so that a panel without a person in
// front of it leaves a trace in the system journal.

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

// Runs body; an error it raises is handed to the report (after onError, when given, has run).
// Returns true when body completed.
bool guarded(IErrorReport& report, const std::function<void()>& body,
             const std::function<void()>& onError = {});

// The application's title, the caption of every box.
QString applicationTitle();
