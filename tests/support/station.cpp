#include "tests/support/station.h"
#include "tests/support/rawstation.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QNetworkProxy>
#include <QProcess>
#include <QTest>

bool TestStation::connectTo(quint16 port, int timeoutMs) {
    m_socket = std::make_unique<QTcpSocket>();
    // Binding would otherwise look up the system's proxies, on a thread that stays to the end.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    const QByteArray source = m_source.isEmpty() ? nextLoopbackSource() : m_source;
    if (!m_socket->bind(QHostAddress(QString::fromLatin1(source)))) return false;
    m_socket->connectToHost(QHostAddress::LocalHost, port);
    return m_socket->waitForConnected(timeoutMs);
}

void TestStation::send(const QByteArray& bytes) {
    m_socket->write(bytes);
    m_socket->waitForBytesWritten(2000);
}

bool TestStation::waitClosed(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_socket->state() == QAbstractSocket::UnconnectedState) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (m_socket->state() != QAbstractSocket::UnconnectedState) m_socket->waitForDisconnected(20);
    }
    return m_socket->state() == QAbstractSocket::UnconnectedState;
}

bool sendCall(quint16 port, const QByteArray& message) {
    // Kept open for the rest of the run, as a real station leaves its connection to the panel.
    static auto* const stations = new QList<TestStation*>;
    auto* s = new TestStation;
    stations->append(s);
    if (!s->connectTo(port)) return false;
    s->send(message);
    return true;
}

bool waitListening(const QProcess& panel, quint16 port, int timeoutMs) {
    const bool done = QTest::qWaitFor(
        [&] {
            if (panel.state() == QProcess::NotRunning) return true;
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(200);
        },
        timeoutMs);
    return done && panel.state() == QProcess::Running;
}
