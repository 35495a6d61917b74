#include "calls/listener.h"

#include "config/errors.h"

#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTcpServer>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

TServerSocket::TServerSocket(QObject* parent) : QObject(parent), m_server(new QTcpServer(this)) {
    setObjectName(QStringLiteral("ServerSocket1"));
    m_clock.start();
    m_server->setListenBacklogSize(kBacklog);
    connect(m_server, &QTcpServer::newConnection, this, &TServerSocket::acceptPending);
    connect(m_server, &QTcpServer::acceptError, this, &TServerSocket::onAcceptError);
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_acceptRetry.setSingleShot(true);
    m_acceptRetry.setInterval(kAcceptRetryMs);
    connect(&m_acceptRetry, &QTimer::timeout, this, [this] {
        if (m_server->isListening() && !m_full) m_server->resumeAccepting();
    });
}

TServerSocket::~TServerSocket() {
    m_server->close();
    // A connection being deleted reports its end: its handlers go first, so that they neither
    // change the list being walked nor look at the connection half destroyed.
    for (QTcpSocket* s : std::exchange(m_clients, {})) {
        s->disconnect(this);
        delete s;
    }
    for (const auto& s : std::exchange(m_retired, {})) delete s.data();
    delete m_wakeNotifier;
    ::close(m_wakeFd);
}

bool TServerSocket::Active() const { return m_server->isListening(); }

quint16 TServerSocket::listeningPort() const { return m_server->serverPort(); }

void TServerSocket::SetActive(bool active) {
    if (active == Active()) return;
    if (!active) {
        // Connections that the system has completed but the panel not yet accepted would be reset
        // with the listening socket, messages and all: take them first.
        takeBacklog();
        m_server->close();
        m_acceptRetry.stop();
        const auto clients = m_clients;
        for (QTcpSocket* s : clients) {
            if (messageWaiting(s)) continue;
            if (isFresh(s)) closeIfSilentLater(s);
            else retire(s);
        }
        sweep();
        Q_EMIT ActiveChanged(false);
        return;
    }
    if (Port < 0 || Port > 65535)
        throw ESocketError(QStringLiteral("Port %1 is not a valid TCP port").arg(Port));
    if (!m_server->listen(QHostAddress::AnyIPv4, quint16(Port)))
        throw ESocketError(QStringLiteral("Cannot listen on port %1: %2").arg(Port).arg(m_server->errorString()));
    m_full = false;
    checkFull();
    Q_EMIT ActiveChanged(true);
    deliverHeldMessages();
}

void TServerSocket::acceptPending() {
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        m_acceptFailing = false;
        if (m_clients.size() >= kMaxConnections) makeRoom();
        if (m_clients.size() >= kMaxConnections) {
            // Every connection holds a message not yet read: this station is turned away.
            s->abort();
            s->deleteLater();
            continue;
        }
        s->setParent(nullptr);
        s->setReadBufferSize(kReadBufferSize);
        m_clients.append(s);
        m_acceptedAt.insert(s, m_clock.elapsed());
        connect(s, &QTcpSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] {
            // A station may send its message and close at once: while the listener is off its
            // message waits in the connection for the read event.
            if (messageWaiting(s)) return;
            retire(s);
            sweep();
        });
        connect(s, &QTcpSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError e) {
            // A station closing its end is the normal course of a call, not an error.
            if (e != QAbstractSocket::RemoteHostClosedError && m_clients.contains(s))
                Q_EMIT ClientError(s->errorString());
        });
    }
    checkFull();
    sweep();
}

void TServerSocket::takeBacklog() {
    if (!m_server->isListening()) return;
    // Each turn accepts all it finds; the bound keeps a failing accept from looping.
    bool timedOut = false;
    for (int i = 0; i < 8 && m_server->waitForNewConnection(0, &timedOut) && !timedOut; ++i) {
    }
    acceptPending();
}

// Closes the oldest connection that has no message waiting, if there is one. Messages wait only
// while the listener is off or the nested reads unwind, so there nearly always is.
void TServerSocket::makeRoom() {
    for (QTcpSocket* s : std::as_const(m_clients)) {
        if (!messageWaiting(s)) {
            retire(s);
            return;
        }
    }
}

void TServerSocket::onAcceptError() {
    // The socket layer stops accepting after a failure. After accepts that ran out of descriptors
    // it also reports the end of the next batch of accepts as one: only a connection still
    // waiting to be accepted makes it a failure.
    pollfd listening{int(m_server->socketDescriptor()), POLLIN, 0};
    if (::poll(&listening, 1, 0) != 1) {
        m_server->resumeAccepting();
        return;
    }
    if (!m_acceptFailing) {
        m_acceptFailing = true;
        Q_EMIT ClientError(m_server->errorString());
    }
    m_acceptRetry.start();
}

// Pauses accepting while every connection has a message waiting and there is no room for more:
// the next stations wait in the backlog. Accepting resumes as soon as one can be closed.
void TServerSocket::checkFull() {
    bool full = m_clients.size() >= kMaxConnections;
    for (QTcpSocket* s : std::as_const(m_clients)) {
        if (!full) break;
        if (!messageWaiting(s)) full = false;
    }
    if (full == m_full || !m_server->isListening()) return;
    m_full = full;
    if (full) m_server->pauseAccepting();
    else m_server->resumeAccepting();
}

// While the listener is off a message waits until it is on again. Once the read handlers have
// nested kMaxNesting deep, messages wait until every handler has returned: the cycles whose pauses
// are over then end one after the other instead of each taking in the next message, and the
// waiting messages nest anew from the bottom.
bool TServerSocket::mayRead() const { return Active() && !m_unwinding; }

void TServerSocket::onReadyRead(QTcpSocket* socket) {
    if (!m_clients.contains(socket)) return;
    if (!mayRead()) return;
    m_delivered.insert(socket);
    checkFull();
    m_reading.append(socket);
    if (m_reading.size() >= kMaxNesting) m_unwinding = true;
    const auto done = qScopeGuard([this, socket] {
        m_reading.removeOne(socket);
        sweep();
        if (m_reading.isEmpty()) {
            m_unwinding = false;
            deliverHeldMessages();
        }
    });
    Q_EMIT ClientRead(this, socket);
}

// Held messages are delivered one at a time through the wake-up descriptor, whose notices, unlike
// posted events and timers, are also served inside a read handler that a wake-up started: each
// delivery asks for the next before its handler runs, so the next one nests inside its pause.
void TServerSocket::deliverHeldMessages() {
    if (nextHeld()) wake();
}

void TServerSocket::wake() {
    if (!m_wakeNotifier) { // made at first use, when the event loop surely exists
        m_wakeNotifier = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
        connect(m_wakeNotifier, &QSocketNotifier::activated, this, &TServerSocket::deliverOneHeld);
    }
    const quint64 one = 1;
    if (::write(m_wakeFd, &one, sizeof one) < 0) {
        // The counter is full: a wake-up is pending anyway.
    }
}

QTcpSocket* TServerSocket::nextHeld() const {
    for (QTcpSocket* s : m_clients)
        if (messageWaiting(s) && s->bytesAvailable() > 0) return s; // the rest comes by itself
    return nullptr;
}

void TServerSocket::deliverOneHeld() {
    quint64 count = 0;
    if (::read(m_wakeFd, &count, sizeof count) < 0) return;
    if (!mayRead()) return; // the next switch-on or the last handler's return wakes again
    QTcpSocket* next = nextHeld();
    if (!next) return;
    for (QTcpSocket* s : std::as_const(m_clients)) {
        if (s != next && messageWaiting(s) && s->bytesAvailable() > 0) {
            wake();
            break;
        }
    }
    onReadyRead(next);
}

bool TServerSocket::isFresh(QTcpSocket* socket) const {
    return !m_delivered.contains(socket) && m_clock.elapsed() - m_acceptedAt.value(socket) < kFreshMs;
}

void TServerSocket::closeIfSilentLater(QTcpSocket* socket) {
    QTimer::singleShot(kFreshMs, this, [this, p = QPointer<QTcpSocket>(socket)] {
        if (!p || m_delivered.contains(p) || messageWaiting(p)) return;
        retire(p);
        sweep();
    });
}

bool TServerSocket::messageWaiting(QTcpSocket* socket) const {
    if (!m_clients.contains(socket) || m_delivered.contains(socket)) return false;
    if (socket->bytesAvailable() > 0) return true;
    int pending = 0;
    const qintptr fd = socket->socketDescriptor();
    return fd >= 0 && ::ioctl(int(fd), FIONREAD, &pending) == 0 && pending > 0;
}

void TServerSocket::retire(QTcpSocket* socket) {
    if (!m_clients.removeOne(socket)) return;
    m_delivered.remove(socket);
    m_acceptedAt.remove(socket);
    socket->disconnect(this);
    socket->abort();
    m_retired.append(socket);
    checkFull();
}

// Deletes the closed connections whose read handler is not running.
void TServerSocket::sweep() {
    const auto retired = std::exchange(m_retired, {});
    for (const auto& s : retired) {
        if (!s) continue;
        if (m_reading.contains(s.data())) m_retired.append(s);
        else s->deleteLater();
    }
}
