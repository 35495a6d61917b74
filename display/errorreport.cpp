#include "display/errorreport.h"

#include "config/errors.h"

#include <QMessageBox>
#include <QScopedValueRollback>
#include <QTimer>
#include <cstdio>

QString applicationTitle() { return QStringLiteral("Painel de Chamadas"); }

QString errorReportText(const QString& text) {
    if (!text.isEmpty() && text.back().unicode() > u'.') return text + u'.';
    return text;
}

void logError(const QString& text) {
    QString line = text;
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    std::fprintf(stderr, "painel: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void MessageBoxErrorReport::showError(const QString& text) { show(errorReportText(text), true); }

void MessageBoxErrorReport::showMessage(const QString& text) { show(text, false); }

void MessageBoxErrorReport::show(const QString& text, bool stopIcon) {
    logError(text);
    if (m_open || qEnvironmentVariable("PAINEL_ERRORS") == u"stderr") return;
    if (m_busy && m_busy()) {
        if (m_held.isEmpty()) {
            m_held = text;
            m_heldStop = stopIcon;
        }
        return;
    }
    openBox(text, stopIcon);
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
    if (m_held.isEmpty() || (m_busy && m_busy())) return; // the next release tries again
    const QString text = std::exchange(m_held, QString());
    if (!m_open) openBox(text, m_heldStop);
}

bool guarded(IErrorReport& report, const std::function<void()>& body,
             const std::function<void()>& onError) {
    QString text;
    try {
        body();
        return true;
    } catch (const EPainelError& e) {
        text = e.text();
    } catch (const std::exception& e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Erro desconhecido");
    }
    if (onError) {
        try {
            onError();
        } catch (const EPainelError& e) {
            logError(e.text());
        } catch (const std::exception& e) {
            logError(QString::fromLocal8Bit(e.what()));
        }
    }
    report.showError(text);
    return false;
}
