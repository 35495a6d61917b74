#include "base/errorreport.h"

#include "base/errors.h"

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
