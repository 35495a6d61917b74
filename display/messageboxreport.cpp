#include "display/messageboxreport.h"

#include "media/quietloop.h"

#include <QMessageBox>
#include <QScopedValueRollback>
#include <QTimer>

void MessageBoxErrorReport::showError(const QString& text) { show(errorReportText(text), true); }

void MessageBoxErrorReport::showMessage(const QString& text) { show(text, false); }

void MessageBoxErrorReport::show(const QString& text, bool stopIcon) {
    logError(text);
    if (m_open || qEnvironmentVariable("PAINEL_ERRORS") == u"stderr") return;
    if ((m_busy && m_busy()) || QuietLoop::running()) {
        if (m_held.isEmpty()) {
            m_held = text;
            m_heldStop = stopIcon;
        }
        if (QuietLoop::running()) retryLater();
        return;
    }
    openBox(text, stopIcon);
}

// A wait that holds the sockets back (a medium's open) ends by itself, and tells nobody: the held
// box looks again shortly.
void MessageBoxErrorReport::retryLater() {
    QTimer::singleShot(kRetryMs, &m_context, [this] { showHeld(); });
}

void MessageBoxErrorReport::openBox(const QString& text, bool stopIcon) {
    QScopedValueRollback<bool> open(m_open, true);
    QMessageBox box(stopIcon ? QMessageBox::Critical : QMessageBox::NoIcon, applicationTitle(), text,
                    QMessageBox::Ok);
    box.exec();
}

void MessageBoxErrorReport::release() {
    if (m_held.isEmpty()) return;
    QTimer::singleShot(0, &m_context, [this] { showHeld(); });
}

void MessageBoxErrorReport::showHeld() {
    if (m_held.isEmpty()) return;
    if (QuietLoop::running()) {
        retryLater();
        return;
    }
    if (m_busy && m_busy()) return; // the next release tries again
    const QString text = std::exchange(m_held, QString());
    if (!m_open) openBox(text, m_heldStop);
}
