#include "tools/sendcall.h"

#include "base/codepage.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <stdexcept>

void sendCallMessage(const QString& host, quint16 port, const QString& message, const QString& source,
                     int timeoutMs) {
    if (!cp1252::canEncode(message))
        throw std::runtime_error("a mensagem tem caracteres que o painel não aceita (fora do Windows-1252)");
    QTcpSocket socket;
    // A station reaches the panel directly: no proxy of the system's is looked up for it.
    socket.setProxy(QNetworkProxy::NoProxy);
    if (!source.isEmpty()) {
        const QHostAddress from(source);
        if (from.isNull())
            throw std::runtime_error(QStringLiteral("--de precisa de um endereço IP: %1").arg(source).toStdString());
        if (!socket.bind(from))
            throw std::runtime_error(QStringLiteral("não consegui enviar do endereço %1: %2")
                                         .arg(source, socket.errorString())
                                         .toStdString());
    }
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(timeoutMs)) {
        const QString where = QStringLiteral("%1:%2").arg(host).arg(port);
        if (socket.error() == QAbstractSocket::ConnectionRefusedError)
            throw std::runtime_error(
                QStringLiteral("o painel em %1 recusou a chamada (está ocupado com uma chamada de guichê "
                               "ou não está escutando); tente de novo em alguns segundos")
                    .arg(where).toStdString());
        throw std::runtime_error(
            QStringLiteral("não consegui alcançar o painel em %1: %2").arg(where, socket.errorString()).toStdString());
    }
    socket.write(cp1252::encode(message));
    if (!socket.waitForBytesWritten(timeoutMs))
        throw std::runtime_error(QStringLiteral("a chamada não foi enviada: %1").arg(socket.errorString()).toStdString());
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
}
