#include "calls/listener.h"

#include "base/errors.h"

#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTcpServer>

#include <algorithm>
#include <linux/filter.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// From now on the listening socket drops requests for new connections (a segment with SYN and
// without ACK): the station's system asks again a second later and is then refused, or served if
// the listener is on again. Handshakes under way complete into the backlog. Closing a listening
// socket resets every connection in its backlog, and a station that has completed its handshake
// has its message on the way: taking the backlog first leaves only the handshakes that complete
// between the last accept and the close, and this leaves none.
void dropNewHandshakes(int listeningFd) {
    static sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 13),     // the TCP header's flags
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, 0x12),  // SYN and ACK
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0x02, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0),               // SYN alone: dropped
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF),      // everything else: kept whole
    };
    const sock_fprog program{sizeof code / sizeof code[0], code};
    ::setsockopt(listeningFd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

} // namespace

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
    m_recheck.setSingleShot(true);
    connect(&m_recheck, &QTimer::timeout, this, &TServerSocket::checkFull);
    m_listenRetry.setInterval(kListenRetryMs);
    connect(&m_listenRetry, &QTimer::timeout, this, [this] {
        if (listen()) m_listenRetry.stop();
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
    if (!active) m_listenRetry.stop(); // off is off, also while a switch-on was being retried
    if (active == Active()) return;
    if (!active) {
        // Connections that the system has completed but the panel not yet accepted would be reset
        // with the listening socket, messages and all: take them first, and the handshakes that
        // were under way, which complete within a network's round trip.
        const int fd = int(m_server->socketDescriptor());
        dropNewHandshakes(fd);
        takeBacklog();
        pollfd late{fd, POLLIN, 0};
        if (::poll(&late, 1, kHandshakeWaitMs) > 0) takeBacklog();
        m_server->close();
        m_acceptRetry.stop();
        closeConnections();
        Q_EMIT ActiveChanged(false);
        return;
    }
    if (Port < 0 || Port > 65535)
        throw ESocketError(QStringLiteral("Port %1 is not a valid TCP port").arg(Port));
    if (listen()) {
        m_listenRetry.stop();
        return;
    }
    if (m_listenRetry.isActive()) return;
    m_listenRetry.start();
    if (Address == QHostAddress(QHostAddress::AnyIPv4))
        throw ESocketError(QStringLiteral("Cannot listen on port %1: %2").arg(Port).arg(m_server->errorString()));
    throw ESocketError(QStringLiteral("Cannot listen on %1 port %2: %3")
                           .arg(Address.toString()).arg(Port).arg(m_server->errorString()));
}

bool TServerSocket::listen() {
    if (!m_server->listen(Address, quint16(Port))) return false;
    m_full = false;
    checkFull();
    Q_EMIT ActiveChanged(true);
    deliverHeldMessages();
    return true;
}

void TServerSocket::Restart() {
    if (!Active()) {
        SetActive(true);
        return;
    }
    closeConnections();
    Q_EMIT Restarted();
    deliverHeldMessages();
}

void TServerSocket::closeConnections() {
    const auto clients = m_clients;
    for (QTcpSocket* s : clients) {
        if (messageWaiting(s)) continue;
        if (isFresh(s)) closeIfSilentLater(s);
        else retire(s);
    }
    sweep();
}

QByteArray TServerSocket::readMessage(QTcpSocket* socket, qint64 maxBytes) {
    m_unread.remove(socket);
    QByteArray message = socket->read(maxBytes);
    // The bytes already in the system's buffer belong to the message as well: the socket takes
    // them into its own only at its next notice. Only what is past the limit is cut.
    while (message.size() < maxBytes && socket->bytesAvailable() == 0 && kernelBytes(socket) > 0) {
        if (!socket->waitForReadyRead(0) || socket->bytesAvailable() == 0) break;
        message += socket->read(maxBytes - message.size());
    }
    if (socket->bytesAvailable() > 0 || messageWaiting(socket)) {
        m_cut.insert(socket);
        socket->readAll();
    }
    return message;
}

void TServerSocket::acceptPending() {
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        m_acceptFailing = false;
        if (!admit(s)) continue;
        // A station accepted is kept: past the limit, accepting pauses below and the next stations
        // wait in the backlog, never reset with their calls.
        if (m_clients.size() >= kMaxConnections) makeRoom();
        s->setParent(nullptr);
        s->setReadBufferSize(kReadBufferSize);
        m_clients.append(s);
        m_acceptedAt.insert(s, m_clock.elapsed());
        m_lastActivity.insert(s, m_clock.elapsed());
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

// A connection from an address that may not call, or from one that has its share of connections
// open, is closed before anything is read from it.
bool TServerSocket::admit(QTcpSocket* socket) {
    const auto drop = [socket] {
        socket->setParent(nullptr);
        socket->abort();
        socket->deleteLater();
    };
    const QHostAddress peer = socket->peerAddress();
    if (peer.isNull()) {
        // Reset by the station before it was accepted: its address went with it, but what it sent
        // is still there to read. It counts against no address; with a list of stations it cannot
        // be told from a stranger's connection, and is closed unread without a report.
        if (Stations.allowsEveryAddress()) return true;
        drop();
        return false;
    }
    int reason = 0;
    if (!Stations.allows(peer)) {
        reason = 1;
    } else {
        int open = 0;
        for (const QTcpSocket* c : std::as_const(m_clients)) open += c->peerAddress() == peer;
        if (open >= kMaxPerAddress) reason = 2;
    }
    if (reason == 0) return true;
    drop();
    if (m_refusals.shouldReport(peer, reason, m_clock.elapsed())) {
        const QString who = QHostAddress(peer.toIPv4Address()).toString();
        Q_EMIT Refused(reason == 1
                           ? QStringLiteral("Conexão recusada de %1: o endereço não está em [definicao] estacoes "
                                            "do config.ini (aviso repetido no máximo uma vez por hora)")
                                 .arg(who)
                           : QStringLiteral("Conexões recusadas de %1: o endereço já tem %2 conexões abertas com "
                                            "o painel, o máximo por estação (aviso repetido no máximo uma vez por hora)")
                                 .arg(who)
                                 .arg(kMaxPerAddress));
    }
    return false;
}

void TServerSocket::takeBacklog() {
    if (!m_server->isListening()) return;
    // Each turn accepts all it finds; the bound keeps a failing accept from looping.
    bool timedOut = false;
    for (int i = 0; i < 8 && m_server->waitForNewConnection(0, &timedOut) && !timedOut; ++i) {
    }
    acceptPending();
}

// Closes the connection silent longest among those that may go: read already, or silent past
// their fresh period. One with a message waiting, or that has just connected and is about to send
// its call, is never closed to make room.
void TServerSocket::makeRoom() {
    QTcpSocket* chosen = nullptr;
    for (QTcpSocket* s : std::as_const(m_clients))
        if (closable(s) && (!chosen || m_lastActivity.value(s) < m_lastActivity.value(chosen))) chosen = s;
    if (chosen) retire(chosen);
}

bool TServerSocket::closable(QTcpSocket* socket) const {
    return !messageWaiting(socket) && !m_unread.contains(socket) && !isFresh(socket);
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

// Pauses accepting while there is no room for more and none of the connections may be closed
// to make it: the next stations wait in the backlog. Accepting resumes as soon as one can go.
void TServerSocket::checkFull() {
    bool full = m_clients.size() >= kMaxConnections;
    for (QTcpSocket* s : std::as_const(m_clients)) {
        if (!full) break;
        if (closable(s)) full = false;
    }
    if (full) {
        // A fresh connection that stays silent may go once it is no longer fresh: look again then.
        qint64 soonest = -1;
        for (QTcpSocket* s : std::as_const(m_clients))
            if (isFresh(s)) {
                const qint64 at = m_acceptedAt.value(s) + kFreshMs;
                if (soonest < 0 || at < soonest) soonest = at;
            }
        if (soonest >= 0) m_recheck.start(int(std::max<qint64>(0, soonest - m_clock.elapsed())) + 10);
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

// Bytes arrived. They are not read here but through the wake-up descriptor: the socket layer
// signals a connection again only once its own signal has returned, so a message read inside it
// would keep the next piece of the same connection from ever being signalled.
void TServerSocket::onReadyRead(QTcpSocket* socket) {
    if (!m_clients.contains(socket)) return;
    m_lastActivity.insert(socket, m_clock.elapsed());
    if (m_cut.contains(socket)) {
        socket->readAll();
        return;
    }
    checkFull();
    deliverHeldMessages();
}

void TServerSocket::read(QTcpSocket* socket) {
    closeOuterConnections();
    m_delivered.insert(socket);
    m_unread.insert(socket);
    checkFull();
    m_reading.append(socket);
    if (m_reading.size() >= kMaxNesting) m_unwinding = true;
    const auto done = qScopeGuard([this, socket] {
        // A handler that did not take its message has had it all the same: one read event is one
        // message, and unread bytes would only deliver it again.
        if (m_unread.remove(socket) && m_clients.contains(socket)) socket->readAll();
        m_reading.removeOne(socket);
        sweep();
        if (m_reading.isEmpty()) m_unwinding = false;
        deliverHeldMessages();
    });
    Q_EMIT ClientRead(this, socket);
}

// A read that nests inside the pause of other handlers closes the connections of those whose
// message has been read: their station's call has been shown, spoken and the list read again. Left
// to the restarts at the ends of their cycles, they would stay open until every cycle nested inside
// had ended, which under a steady stream of calls is a minute and more.
void TServerSocket::closeOuterConnections() {
    const auto outer = m_reading;
    for (QTcpSocket* s : outer)
        if (!m_unread.contains(s) && !messageWaiting(s)) retire(s);
}

// Messages are delivered one at a time through the wake-up descriptor, whose notices, unlike
// posted events and timers, are also served inside a read handler that a wake-up started: each
// delivery asks for the next before its handler runs, so the next one nests inside its pause.
void TServerSocket::deliverHeldMessages() {
    if (mayRead() && nextHeld()) wake();
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
        if (!m_unread.contains(s) && messageWaiting(s) && s->bytesAvailable() > 0) return s; // the rest comes by itself
    return nullptr;
}

void TServerSocket::deliverOneHeld() {
    quint64 count = 0;
    if (::read(m_wakeFd, &count, sizeof count) < 0) return;
    if (!mayRead()) return; // the next switch-on or the last handler's return wakes again
    QTcpSocket* next = nextHeld();
    if (!next) return;
    for (QTcpSocket* s : std::as_const(m_clients)) {
        if (s != next && !m_unread.contains(s) && messageWaiting(s) && s->bytesAvailable() > 0) {
            wake();
            break;
        }
    }
    read(next);
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

// Bytes have arrived on the connection that no read event has taken yet.
bool TServerSocket::messageWaiting(QTcpSocket* socket) const {
    if (!m_clients.contains(socket) || m_cut.contains(socket)) return false;
    return socket->bytesAvailable() > 0 || kernelBytes(socket) > 0;
}

// Bytes the system holds for the connection that the socket has not taken yet.
int TServerSocket::kernelBytes(QTcpSocket* socket) {
    int pending = 0;
    const qintptr fd = socket->socketDescriptor();
    return fd >= 0 && ::ioctl(int(fd), FIONREAD, &pending) == 0 ? pending : 0;
}

void TServerSocket::retire(QTcpSocket* socket) {
    if (!m_clients.removeOne(socket)) return;
    m_delivered.remove(socket);
    m_unread.remove(socket);
    m_cut.remove(socket);
    m_acceptedAt.remove(socket);
    m_lastActivity.remove(socket);
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
