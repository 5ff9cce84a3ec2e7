#pragma once

// A small real HTTP/1.1 server on 127.0.0.1 for tests. It serves fixed responses by path and
// files from a folder, counts every request, and can misbehave on purpose: wrong status,
// lying Content-Length, endless bodies, stalls, delays and redirects. It runs on the thread
// that creates it, so the test must spin an event loop (waitFor) while a download is in flight.
// Every connection is closed after its response.

#include "test_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <utility>

namespace tj::test {

struct HttpTestResponse
{
    enum class Behaviour {
        Normal, // headers and body, then close
        StallBeforeHeaders, // accept the request and never answer
        StallAfterHeaders, // headers and the first bodyBytesSent bytes, then silence
        Endless, // headers without a length, then data until the client leaves
    };

    // Every member has an initializer, so a designated initializer may name only what it changes.
    int status = 200;
    QByteArray body{};
    QList<std::pair<QByteArray, QByteArray>> headers{};
    Behaviour behaviour = Behaviour::Normal;
    // Sent as Content-Length instead of the body's size; -1 sends the true size.
    qint64 declaredLength = -1;
    bool sendContentLength = true;
    // Only this many body bytes go out (then close, or silence when stalling); -1 for all.
    qint64 bodyBytesSent = -1;
    // The answer starts this long after the request arrived.
    int delayMs = 0;

    static HttpTestResponse ok(QByteArray content) { return {.body = std::move(content)}; }
    static HttpTestResponse withStatus(int code, QByteArray content = "error page")
    {
        return {.status = code, .body = std::move(content)};
    }
    static HttpTestResponse redirect(const QByteArray &location, int code = 302)
    {
        return {.status = code, .headers = {{QByteArrayLiteral("Location"), location}}};
    }
    static HttpTestResponse behaving(Behaviour how) { return {.behaviour = how}; }
};

class HttpTestServer
{
public:
    HttpTestServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                accept(socket);
        });
    }

    // Listens on a free port of 127.0.0.1.
    bool start() { return m_server.listen(QHostAddress::LocalHost, 0); }
    // "http://127.0.0.1:PORT", without a trailing slash.
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    QUrl url(const QString &path) const { return QUrl(baseUrl() + path); }

    // A fixed answer for a path (decoded, without query); replaces an earlier one.
    void route(const QString &path, HttpTestResponse response) { m_routes.insert(path, std::move(response)); }
    void removeRoute(const QString &path) { m_routes.remove(path); }
    // Paths without a route are looked up as files under folder; missing files are 404.
    void serveFolder(const QString &folder) { m_folder = folder; }

    int requestCount() const { return int(m_requests.size()); }
    int requestCount(const QString &path) const { return int(m_requests.count(path)); }
    const QStringList &requestedPaths() const { return m_requests; }
    // Connections for path that have closed, from either side: nothing more can pass on them.
    int closedCount(const QString &path) const { return int(m_closed.count(path)); }
    void clearRequests() { m_requests.clear(); }

private:
    static constexpr qint64 kEndlessChunk = 64 * 1024;
    // An endless body stops here anyway, so a broken client can't keep a test running.
    static constexpr qint64 kEndlessLimit = 1024LL * 1024 * 1024;

    void accept(QTcpSocket *socket)
    {
        auto head = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            if (const QVariant path = socket->property("path"); path.isValid())
                m_closed.append(path.toString());
            socket->deleteLater();
        });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
            if (socket->property("path").isValid())
                return; // answered: whatever else comes is ignored
            head->append(socket->readAll());
            if (!head->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> line = head->left(head->indexOf("\r\n")).split(' ');
            const QString path = line.size() < 2 ? QString() : QUrl::fromPercentEncoding(line[1].split('?').first());
            m_requests.append(path);
            socket->setProperty("path", path);
            answer(socket, responseFor(path));
        });
    }

    HttpTestResponse responseFor(const QString &path) const
    {
        if (const auto it = m_routes.constFind(path); it != m_routes.cend())
            return *it;
        if (!m_folder.isEmpty() && !path.split(QLatin1Char('/')).contains(QStringLiteral(".."))) {
            QFile file(QDir(m_folder).filePath(path.mid(1)));
            if (QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly))
                return HttpTestResponse::ok(file.readAll());
        }
        return HttpTestResponse::withStatus(404, "not found");
    }

    void answer(QTcpSocket *socket, HttpTestResponse response)
    {
        using B = HttpTestResponse::Behaviour;
        if (response.behaviour == B::StallBeforeHeaders)
            return;
        if (response.delayMs > 0) {
            const int delay = response.delayMs;
            response.delayMs = 0;
            QTimer::singleShot(delay, socket, [this, socket, response] { answer(socket, response); });
            return;
        }
        static const QHash<int, QByteArray> reasons{{200, "OK"}, {302, "Found"}, {404, "Not Found"}};
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ';
        head += reasons.value(response.status, "Status") + "\r\n";
        if (response.behaviour != B::Endless && response.sendContentLength) {
            const qint64 length = response.declaredLength >= 0 ? response.declaredLength : response.body.size();
            head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        }
        for (const auto &[name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head);

        if (response.behaviour == B::Endless) {
            auto sent = std::make_shared<qint64>(0);
            auto feed = [socket, sent] {
                while (socket->bytesToWrite() < 4 * kEndlessChunk && *sent < kEndlessLimit) {
                    socket->write(QByteArray(kEndlessChunk, 'x'));
                    *sent += kEndlessChunk;
                }
            };
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, feed);
            feed();
            return;
        }
        socket->write(response.bodyBytesSent >= 0 ? response.body.left(response.bodyBytesSent) : response.body);
        if (response.behaviour == B::Normal)
            socket->disconnectFromHost();
    }

    QHash<QString, HttpTestResponse> m_routes;
    QString m_folder;
    QStringList m_requests;
    QStringList m_closed;
    // Last, so its connections close while the members their handlers use still exist.
    QTcpServer m_server;
};

}
