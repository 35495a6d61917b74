#include "calls/calllog.h"

QString callLogLine(const QDateTime& shownAt, const QString& station, const QString& message, qint64 readToScreenMs) {
    QString quoted;
    quoted.reserve(message.size() + 2);
    for (const QChar c : message) {
        if (c == u'"' || c == u'\\') {
            quoted += u'\\';
            quoted += c;
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            quoted += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        } else {
            quoted += c;
        }
    }
    return QStringLiteral("chamada %1 %2 \"%3\" %4 ms")
        .arg(shownAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), station.isEmpty() ? QStringLiteral("-") : station,
             quoted)
        .arg(readToScreenMs);
}

bool callLogEnabled() {
    static const bool enabled = qEnvironmentVariable("PAINEL_LOG_CALLS") == u"1";
    return enabled;
}
