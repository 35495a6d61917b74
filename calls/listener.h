#pragma once
// The TCP listener of the calling stations: IPv4, every local address, backlog 5. It accepts
// connections by itself and keeps the list of open ones; the program only reads from them, once
// per read event (ClientRead). Switching it off closes the listening socket and every open
// connection; switching it on listens again on the same port at once.
//
// A connection closed while its read handler runs stays a valid object until every read handler
// has returned: closed connections are kept aside and deleted only then.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

class QTcpServer;

class TServerSocket : public QObject {
    Q_OBJECT
public:
    explicit TServerSocket(QObject* parent = nullptr);
    ~TServerSocket() override;

    int Port = 2411;

    bool Active() const;
    // Throws ESocketError with the socket layer's reason when the port cannot be listened on.
    // Switching off when off, or on when on, does nothing.
    void SetActive(bool active);

    // The port actually listened on (differs from Port when Port is 0).
    quint16 listeningPort() const;
    int connectionCount() const { return int(m_clients.size()); }

    // Largest number of bytes a connection buffers before the panel reads it; a station that
    // sends more waits (TCP flow control) until the read.
    static constexpr qint64 kReadBufferSize = 64 * 1024;

Q_SIGNALS:
    // Data arrived on a connection. Handlers run one after another on the UI thread and may
    // nest (a handler that serves the event queue lets another connection's read run inside it).
    void ClientRead(QObject* sender, QTcpSocket* socket);
    // The listener was switched on or off.
    void ActiveChanged(bool active);
    // The socket layer reported an error on a client connection (a reset, say).
    void ClientError(const QString& text);

private:
    void acceptPending();
    void onReadyRead(QTcpSocket* socket);
    void retire(QTcpSocket* socket);
    void sweep();

    QTcpServer* m_server;
    QList<QTcpSocket*> m_clients;
    QList<QPointer<QTcpSocket>> m_retired;
    int m_readDepth = 0;
};
