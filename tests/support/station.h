#pragma once
// A calling station for tests: connects to the panel on loopback and sends bytes.

#include <QByteArray>
#include <QTcpSocket>
#include <memory>
#include <utility>

class TestStation {
public:
    // Calls from source (an address of 127.0.0.0/8), or from nextLoopbackSource() (rawstation.h).
    explicit TestStation(QByteArray source = {}) : m_source(std::move(source)) {}
    // Connects (blocking, on loopback). Returns false when the panel refused.
    bool connectTo(quint16 port, int timeoutMs = 2000);
    void send(const QByteArray& bytes);
    // True once the panel has closed this connection (events are served while waiting).
    bool waitClosed(int timeoutMs);
    QAbstractSocket::SocketError error() const { return m_socket ? m_socket->error() : QAbstractSocket::UnknownSocketError; }
    QTcpSocket& socket() { return *m_socket; }

private:
    QByteArray m_source;
    std::unique_ptr<QTcpSocket> m_socket;
};

// Connects, sends one message and leaves the connection to the panel. Returns false when refused.
bool sendCall(quint16 port, const QByteArray& message);

class QProcess;
// Waits until the panel's process listens on the loopback port (true), or has ended, or the time
// is up (false).
bool waitListening(const QProcess& panel, quint16 port, int timeoutMs);
