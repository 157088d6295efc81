#include "HttpTestServer.h"

namespace rubbly::test {

HttpTestServer::HttpTestServer()
{
    if (!listen(QHostAddress::LocalHost, 0))
        qFatal("HttpTestServer: cannot listen on 127.0.0.1");
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection())
            serve(socket);
    });
}

QUrl HttpTestServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
}

void HttpTestServer::serve(QTcpSocket* socket)
{
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        // The request is read once its head is complete; only the path of its first line counts.
        if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
            return;
        const QString path = QString::fromLatin1(socket->readAll().split(' ').value(1));
        ++m_counts[path];
        const Response response = m_routes.value(path, Response{404, "not found"});
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\nConnection: close\r\n";
        if (response.sendLength)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        for (const auto& [name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        socket->write(head + "\r\n");
        if (response.endless) {
            const auto more = [socket, body = response.body] {
                while (socket->bytesToWrite() < 256 * 1024)
                    socket->write(body);
            };
            connect(socket, &QTcpSocket::bytesWritten, socket, more);
            more();
            return;
        }
        if (response.holdAfter >= 0) {
            socket->write(response.body.left(response.holdAfter));
            m_held.append({socket, response.body.mid(response.holdAfter)});
            return;
        }
        socket->write(response.body);
        socket->disconnectFromHost();
    });
}

void HttpTestServer::release()
{
    for (const auto& [socket, rest] : std::exchange(m_held, {})) {
        if (socket) {
            socket->write(rest);
            socket->disconnectFromHost();
        }
    }
}

} // namespace rubbly::test
