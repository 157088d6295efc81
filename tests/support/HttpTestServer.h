#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace rubbly::test {

// A tiny HTTP/1.1 server on 127.0.0.1 for update tests: one canned answer per path, then the
// connection closes. Unknown paths get 404.
class HttpTestServer final : public QTcpServer {
    Q_OBJECT
public:
    // No Content-Type: the updater never reads one.
    // Every member has an initializer, so a brace list may stop after any of them.
    struct Response {
        int status = 200;
        QByteArray body{};
        // false: no Content-Length; the body ends when the connection closes.
        bool sendLength = true;
        // At least 0: send the head and this many bytes of the body, the rest only on release().
        qsizetype holdAfter = -1;
        QList<QPair<QByteArray, QByteArray>> headers{};
        // After the head, the body again and again for as long as the client reads.
        bool endless = false;
    };

    HttpTestServer();
    QUrl url(const QString& path = QStringLiteral("/")) const;
    void route(const QString& path, Response response) { m_routes.insert(path, std::move(response)); }
    int requestCount(const QString& path) const { return m_counts.value(path); }
    // Sends what the held answers kept back and closes their connections.
    void release();

private:
    void serve(QTcpSocket* socket);
    QHash<QString, Response> m_routes;
    QHash<QString, int> m_counts;
    QList<QPair<QPointer<QTcpSocket>, QByteArray>> m_held;
};

} // namespace rubbly::test
