#pragma once
// An error report that records what the panel would show in its message boxes.

#include "base/errorreport.h"

#include <QStringList>

class RecordingErrorReport : public IErrorReport {
public:
    void showError(const QString& text) override { errors.append(errorReportText(text)); }
    void showMessage(const QString& text) override { messages.append(text); }
    QStringList errors;
    QStringList messages;
};
