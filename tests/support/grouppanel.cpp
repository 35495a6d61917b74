#include "tests/support/grouppanel.h"

#include "tests/support/panelfolder.h"
#include "tests/support/station.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

GroupPanel::GroupPanel(quint16 brokerPort, QByteArray more) : m_more(std::move(more)), m_brokerPort(brokerPort) {}

GroupPanel::~GroupPanel() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool GroupPanel::start(QString* why) {
    const QByteArray grupo =
        "[grupo]\r\nbroker=127.0.0.1:" + QByteArray::number(m_brokerPort) + "\r\nnome=" + kGroup + "\r\n" + m_more;
    PanelFolder installed;
    if (!installPanelFolder(m_dir.path(), grupo, "N", "N", &installed, why)) return false;
    m_port = installed.port;
    QStringList env = QProcessEnvironment::systemEnvironment().toStringList();
    env << QStringLiteral("QT_QPA_PLATFORM=offscreen") << QStringLiteral("PAINEL_ERRORS=stderr")
        << QStringLiteral("PAINEL_LOG_CALLS=1");
    m_process.setEnvironment(env);
    m_process.setWorkingDirectory(m_dir.path());
    m_process.start(m_dir.filePath(QStringLiteral("painel")), {});
    if (!m_process.waitForStarted(10000) || !waitListening(m_process, m_port, 30000)) {
        if (why) *why = QStringLiteral("the panel did not start listening: ") + errors();
        return false;
    }
    const QDeadlineTimer deadline(15000);
    while (!errors().contains(QStringLiteral("painel: grupo: conectado"))) {
        if (deadline.hasExpired() || !running()) {
            if (why) *why = QStringLiteral("the panel did not join the broker: ") + errors();
            return false;
        }
        m_process.waitForReadyRead(100);
    }
    return true;
}

QString GroupPanel::errors() {
    m_errors += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_errors;
}

QList<ShownLine> GroupPanel::shown() {
    static const QRegularExpression line(
        QStringLiteral(R"re(^painel: chamada (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) (\S+) "(.*)" \d+ ms$)re"));
    QList<ShownLine> lines;
    for (const QString& l : errors().split(u'\n')) {
        const QRegularExpressionMatch m = line.match(l);
        if (!m.hasMatch()) continue;
        lines.append({QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), m.captured(2),
                      m.captured(3)});
    }
    return lines;
}

int GroupPanel::countShown(const QString& message) {
    int n = 0;
    for (const ShownLine& l : shown()) n += l.message == message;
    return n;
}
