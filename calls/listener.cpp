#include "calls/listener.h"

#include "config/errors.h"

#include <QScopeGuard>
#include <QTcpServer>

TServerSocket::TServerSocket(QObject* parent) : QObject(parent), m_server(new QTcpServer(this)) {
    setObjectName(QStringLiteral("ServerSocket1"));
    m_server->setListenBacklogSize(5);
    connect(m_server, &QTcpServer::newConnection, this, &TServerSocket::acceptPending);
}

TServerSocket::~TServerSocket() {
    m_server->close();
    for (QTcpSocket* s : std::as_const(m_clients)) delete s;
    for (const auto& s : std::as_const(m_retired)) delete s.data();
}

bool TServerSocket::Active() const { return m_server->isListening(); }

quint16 TServerSocket::listeningPort() const { return m_server->serverPort(); }

void TServerSocket::SetActive(bool active) {
    if (active == Active()) return;
    if (!active) {
        m_server->close();
        const auto clients = m_clients;
        for (QTcpSocket* s : clients) retire(s);
        sweep();
        Q_EMIT ActiveChanged(false);
        return;
    }
    if (Port < 0 || Port > 65535)
        throw ESocketError(QStringLiteral("Port %1 is not a valid TCP port").arg(Port));
    if (!m_server->listen(QHostAddress::AnyIPv4, quint16(Port)))
        throw ESocketError(QStringLiteral("Cannot listen on port %1: %2").arg(Port).arg(m_server->errorString()));
    Q_EMIT ActiveChanged(true);
}

void TServerSocket::acceptPending() {
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        s->setParent(nullptr);
        s->setReadBufferSize(kReadBufferSize);
        m_clients.append(s);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] {
            retire(s);
            sweep();
        });
        connect(s, &QTcpSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError e) {
            // A station closing its end is the normal course of a call, not an error.
            if (e != QAbstractSocket::RemoteHostClosedError && m_clients.contains(s))
                Q_EMIT ClientError(s->errorString());
        });
    }
}

void TServerSocket::onReadyRead(QTcpSocket* socket) {
    if (!m_clients.contains(socket)) return;
    ++m_readDepth;
    const auto done = qScopeGuard([this] {
        --m_readDepth;
        sweep();
    });
    Q_EMIT ClientRead(this, socket);
}

void TServerSocket::retire(QTcpSocket* socket) {
    if (!m_clients.removeOne(socket)) return;
    socket->disconnect(this);
    socket->abort();
    m_retired.append(socket);
}

void TServerSocket::sweep() {
    if (m_readDepth > 0) return;
    const auto retired = std::exchange(m_retired, {});
    for (const auto& s : retired)
        if (s) s->deleteLater();
}
