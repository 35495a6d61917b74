#include "tests/support/ownbroker.h"

#include "tests/support/freeport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>

OwnBroker::OwnBroker() = default;

OwnBroker::~OwnBroker() { kill(); }

bool OwnBroker::start() {
    if (m_process.state() != QProcess::NotRunning) return true;
    if (m_port == 0) m_port = freeTcpPort();
    if (m_port == 0) return false;
    const QString config = m_dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write("listener " + QByteArray::number(m_port) + " 127.0.0.1\nallow_anonymous true\npersistence false\n");
    f.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("mosquitto.log")), QIODevice::Append);
    m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config});
    if (!m_process.waitForStarted(5000)) return false;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(500)) return true;
        QThread::msleep(50);
    }
    return false;
}

bool OwnBroker::kill() {
    if (m_process.state() == QProcess::NotRunning) return false;
    m_process.kill();
    return m_process.waitForFinished(5000);
}

bool OwnBroker::publish(const QString& topic, const QByteArray& payload) const {
    QProcess pub;
    pub.start(QStringLiteral("mosquitto_pub"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                                 QString::number(m_port), QStringLiteral("-t"), topic, QStringLiteral("-s")});
    if (!pub.waitForStarted(5000)) return false;
    pub.write(payload);
    pub.closeWriteChannel();
    return pub.waitForFinished(10000) && pub.exitStatus() == QProcess::NormalExit && pub.exitCode() == 0;
}
