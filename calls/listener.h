#pragma once
// The TCP listener of the calling stations: IPv4, every local address or the one given, backlog
// kBacklog, the stations allowed by address. It accepts
// connections by itself and keeps the list of open ones; the program only reads from them, once
// per read event (ClientRead), through readMessage(). Switching it off closes the listening socket
// and the open connections, after it has taken every connection whose handshake was under way (a
// station that connects in those few milliseconds is refused a second later); switching it on
// listens again on the same port at once. Restarting it closes the open connections and keeps the
// listening socket, so that stations waiting in its backlog are served, not reset.
//
// A connection closed while its read handler runs stays a valid object until its read handler has
// returned: closed connections are kept aside and deleted only then.
//
// Framing: one read event is one message. Bytes that arrive on a connection after its message was
// read start a read event of their own, and so a message of their own, whether the connection is
// read at once or held (below): a message that arrives in two pieces with a read event in between
// is two messages. A read takes every byte that has arrived, in the socket's buffer and in the
// system's; a message longer than a read takes (maxBytes) is cut there: the rest of it, and
// whatever the connection sends after, is dropped without read events.
//
// What a panel left alone on an open network needs besides:
// - A message that has arrived but not yet been read is never lost: when the listener is switched
//   off or restarted (by another station's cycle), its connection stays, and its read event comes
//   as soon as the listener is on again. So does a station that connected less than kFreshMs
//   before and has not sent yet: its message is on its way (the station sends it right after
//   connecting, and nothing tells it that the panel closed the connection meanwhile). Such a
//   connection is closed kFreshMs after the switch-off if it has sent nothing by then. Every other
//   connection is closed: those whose message has been read and those that have sent nothing for
//   longer.
// - Read handlers nest (a cycle's pause serves the next station's read), but at most kMaxNesting
//   deep: under a steady stream of calls the nesting would otherwise grow with every call, and the
//   stack with it, until the process crashed. Once that deep, messages wait until every handler
//   has returned, and then nest anew. A read that nests closes the connections of the handlers it
//   nests in whose message has been read, as a restart would: their stations are done, and are not
//   kept waiting until every cycle nested inside theirs has ended.
// - At most kMaxConnections are open at once: to make room, the connection silent longest among
//   those whose message has been read or that have sent nothing past their fresh period is
//   closed. Connections that send nothing cannot use up the descriptors. A connection with a
//   message waiting, or fresh, is never closed to make room: when none may go, accepting pauses
//   until one is closed, and new stations wait in the backlog (kBacklog of them; past it the
//   system answers their connects later). A station that connected is never reset unread.
// - When accepting fails (no descriptor left, say) the listener accepts again shortly; it never
//   stops accepting for good. The failure is reported once until an accept succeeds again.
// - When switching on fails (the port taken for a moment, no descriptor left), the listener tries
//   again every kListenRetryMs until it succeeds. The failure is raised once; switching on again
//   while it retries raises nothing.

#include "calls/stationlist.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTcpSocket>
#include <QTimer>

class QSocketNotifier;
class QTcpServer;

class TServerSocket : public QObject {
    Q_OBJECT
public:
    explicit TServerSocket(QObject* parent = nullptr);
    ~TServerSocket() override;

    int Port = 2411;
    // The local address listened on; every IPv4 address of the machine by default. Takes effect at
    // the next switch-on.
    QHostAddress Address = QHostAddress::AnyIPv4;
    // The stations that may call. A connection from any other address is closed at once, unread,
    // and reported (Refused) at most once an hour per address.
    StationList Stations;

    bool Active() const;
    // Throws ESocketError with the socket layer's reason when the port cannot be listened on (then
    // retries by itself). Switching off when off, or on when on, does nothing.
    void SetActive(bool active);
    // Closes the open connections as a switch-off does and goes on listening; switches on when off.
    void Restart();
    // True while a failed switch-on is being retried.
    bool retrying() const { return m_listenRetry.isActive(); }

    // The message of a read event: at most maxBytes of what has arrived on the connection (the
    // socket's buffer and the system's). When more had arrived the message is cut: the rest, and
    // all that comes later, is dropped.
    QByteArray readMessage(QTcpSocket* socket, qint64 maxBytes);

    // The port actually listened on (differs from Port when Port is 0).
    quint16 listeningPort() const;
    int connectionCount() const { return int(m_clients.size()); }
    // Read handlers running now, one inside the other.
    int readDepth() const { return int(m_reading.size()); }

    // Largest number of bytes a connection buffers before the panel reads it; a station that
    // sends more waits (TCP flow control) until the read.
    static constexpr qint64 kReadBufferSize = 64 * 1024;
    // Largest number of connections open at once.
    static constexpr int kMaxConnections = 64;
    // Largest number of connections open at once from one address: a station sends one call per
    // connection and the panel closes it at the end of the call's cycle, so a station has one or
    // two open; a machine that calls for several counters has a few more. Past it, that address's
    // new connections are closed at once, unread, and reported (Refused): a station gone wrong
    // cannot take the connections that the other stations need.
    static constexpr int kMaxPerAddress = 8;
    // Deepest nesting of read handlers.
    static constexpr int kMaxNesting = 16;
    // Connections the system completes before the panel accepts them. With a handful, a burst of
    // stations overflows it: the system then leaves the surplus half open, the stations send
    // into them, and the next switch-off resets them with their calls.
    static constexpr int kBacklog = kMaxConnections;
    // Wait before accepting again after a failed accept.
    static constexpr int kAcceptRetryMs = 200;
    // Wait before listening again after a failed switch-on.
    static constexpr int kListenRetryMs = 1000;
    // How long a new connection may take to send its message before a switch-off closes it, or
    // it may be closed to make room: a station sends right after connecting, but on a busy
    // machine its message may take a while.
    static constexpr int kFreshMs = 3000;
    // How long switching off waits for handshakes under way to complete (a local network's round
    // trip is well under it).
    static constexpr int kHandshakeWaitMs = 3;

Q_SIGNALS:
    // A message arrived on a connection. Handlers run one after another on the UI thread and may
    // nest (a handler that serves the event queue lets another connection's read run inside it).
    void ClientRead(QObject* sender, QTcpSocket* socket);
    // The listener was switched on or off.
    void ActiveChanged(bool active);
    // The listener closed its connections and went on listening.
    void Restarted();
    // The socket layer reported an error on a client connection (a reset, say).
    void ClientError(const QString& text);
    // A connection was refused (not a listed station, or too many from its address): a line for the
    // journal, at most once an hour per address and reason.
    void Refused(const QString& text);

private:
    bool listen();
    void closeConnections();
    void acceptPending();
    bool admit(QTcpSocket* socket);
    void takeBacklog();
    void makeRoom();
    void onAcceptError();
    void onReadyRead(QTcpSocket* socket);
    void read(QTcpSocket* socket);
    void closeOuterConnections();
    void checkFull();
    bool mayRead() const;
    void deliverHeldMessages();
    void deliverOneHeld();
    QTcpSocket* nextHeld() const;
    void wake();
    bool messageWaiting(QTcpSocket* socket) const;
    bool closable(QTcpSocket* socket) const;
    static int kernelBytes(QTcpSocket* socket);
    bool isFresh(QTcpSocket* socket) const;
    void closeIfSilentLater(QTcpSocket* socket);
    void retire(QTcpSocket* socket);
    void sweep();

    QTcpServer* m_server;
    QList<QTcpSocket*> m_clients;      // oldest first
    QSet<QTcpSocket*> m_delivered;     // open connections that have had a read event
    QSet<QTcpSocket*> m_unread;        // delivered, their handler has not read yet
    QSet<QTcpSocket*> m_cut;           // their message was cut: the rest is dropped
    QHash<QTcpSocket*, qint64> m_acceptedAt;   // on m_clock, in milliseconds
    QHash<QTcpSocket*, qint64> m_lastActivity; // accepted or last bytes, on m_clock
    QElapsedTimer m_clock;
    QList<QPointer<QTcpSocket>> m_retired;
    QList<QTcpSocket*> m_reading;      // connections whose read handler runs, outermost first
    int m_wakeFd = -1;                 // eventfd: a message is to be delivered
    QSocketNotifier* m_wakeNotifier = nullptr;
    QTimer m_acceptRetry;
    QTimer m_listenRetry;
    QTimer m_recheck; // accepting paused: when a fresh connection may go
    RefusalReports m_refusals;
    bool m_acceptFailing = false;
    bool m_full = false;               // accepting paused: no room for another connection
    bool m_unwinding = false;          // nested kMaxNesting deep: no read until all have returned
};
