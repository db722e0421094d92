#include "web/httpserver.h"

#include "web/requestguard.h"
#include "web/webpages.h"
#include "web/webservice.h"

#include <QSslSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace {

// What is read and dropped after a refusal, so the browser gets to read the
// answer; a client sending more is cut off.
constexpr qint64 maxDrainedBytes = 16 * 1024 * 1024;
constexpr int drainMs = 20000;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 303: return "See Other";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 413: return "Payload Too Large";
    case 422: return "Unprocessable Entity";
    case 429: return "Too Many Requests";
    case 503: return "Service Unavailable";
    default: return "Unknown";
    }
}

QByteArray responseBytes(const WebReply& reply, bool withBody, bool closing)
{
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    for (const auto& [name, value] : reply.headers)
        bytes += name + ": " + value + "\r\n";
    bytes += "Content-Type: " + reply.contentType + "\r\nContent-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    if (closing)
        bytes += "Connection: close\r\n";
    return bytes + "\r\n" + (withBody ? reply.body : QByteArray());
}

WebRequest webRequestOf(const HttpRequest& http, const QString& peerAddress)
{
    WebRequest web;
    web.method = http.method;
    const qsizetype mark = http.target.indexOf('?');
    web.path = QUrl::fromPercentEncoding(mark < 0 ? http.target : http.target.left(mark));
    if (mark >= 0)
        for (const auto& [name, value] : QUrlQuery(QString::fromUtf8(http.target.mid(mark + 1))).queryItems(QUrl::FullyDecoded))
            web.query << qMakePair(name.toUtf8(), value.toUtf8());
    web.headers = http.headers;
    web.body = http.body;
    web.peerAddress = peerAddress;
    return web;
}

} // namespace

// One client connection: its requests one at a time, each answered once,
// and a deadline for whatever the client is expected to do next.
class HttpConnection : public QObject {
public:
    HttpConnection(WebServer* server, QTcpSocket* socket, quint64 id, const QString& address)
        : id(id), server(server), socket(socket), address(address)
    {
        socket->setParent(this);
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, this, [this] { deadlinePassed(); });
        connect(socket, &QTcpSocket::readyRead, this, [this] { readMore(); });
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        deadline.start(server->bounds.headerMs);
    }
    ~HttpConnection() override { server->ended(id, address); }

    const quint64 id;

    void answer(const WebReply& reply)
    {
        socket->write(responseBytes(reply, !head, !keepAlive));
        socket->flush();
        processing = false;
        ++answered;
        deadline.start(server->bounds.idleMs);
        if (!keepAlive) {
            socket->disconnectFromHost();
            return;
        }
        socket->read(1);
        socket->setReadBufferSize(0);
        QMetaObject::invokeMethod(this, [this] { readMore(); }, Qt::QueuedConnection);
    }

private:
    void readMore()
    {
        if (refused) {
            toDrop -= socket->readAll().size();
            if (toDrop <= 0)
                socket->disconnectFromHost();
            return;
        }
        while (!processing && socket->bytesAvailable() > 0) {
            const bool wasIdle = framing.idle();
            const QByteArray available = socket->peek(socket->bytesAvailable());
            const qsizetype used = framing.takeUntilRequest(available);
            if (framing.verdict() != RequestFraming::Verdict::Continue) {
                refuse();
                return;
            }
            if (wasIdle && answered > 0 && !framing.idle())
                deadline.start(server->bounds.headerMs);
            if (framing.readingBody()) {
                if (!bodyWindow) {
                    bodyWindow = true;
                    bodyBytesInWindow = 0;
                    deadline.start(server->bounds.bodyWindowMs);
                }
                bodyBytesInWindow += used;
                if (framing.expectsContinue()) {
                    socket->write("HTTP/1.1 100 Continue\r\n\r\n");
                    framing.continueSent();
                }
            }
            if (std::optional<HttpRequest> request = framing.nextRequest()) {
                // The request's last byte stays in the socket, whose buffer is
                // limited to it: the socket reads nothing more, and so does
                // not notice a client that has closed its sending side, until
                // this request is answered.
                socket->read(used - 1);
                socket->setReadBufferSize(1);
                processing = true;
                bodyWindow = false;
                deadline.stop();
                keepAlive = request->keepsAlive();
                head = request->method == "HEAD";
                if (head)
                    request->method = "GET";
                server->dispatch(this, webRequestOf(*request, address));
                return;
            }
            socket->read(used);
        }
    }

    // The refusal is written at once, and the rest of the body read and
    // dropped so the browser, still sending, gets to read the answer.
    void refuse()
    {
        refused = true;
        socket->readAll();
        const int status = framing.verdict() == RequestFraming::Verdict::TooLarge ? 413 : 400;
        socket->write(responseBytes(refusedBodyReply(status), true, true));
        toDrop = framing.refusedBodyToCome();
        if (toDrop <= 0 || toDrop > maxDrainedBytes)
            socket->disconnectFromHost();
        else
            deadline.start(drainMs);
    }

    void deadlinePassed()
    {
        if (processing)
            return;
        if (bodyWindow && !refused && bodyBytesInWindow >= server->bounds.minBodyBytes) {
            bodyBytesInWindow = 0;
            deadline.start(server->bounds.bodyWindowMs);
            return;
        }
        socket->abort();
        deleteLater();
    }

    WebServer* server;
    QTcpSocket* socket;
    QString address;
    RequestFraming framing;
    QTimer deadline;
    bool processing = false;
    bool keepAlive = true;
    bool head = false;
    bool refused = false;
    bool bodyWindow = false;
    qint64 bodyBytesInWindow = 0;
    qint64 toDrop = 0;
    int answered = 0;
};

WebServer::WebServer(WebService& service, const ServerLimits& limits, QObject* parent)
    : QTcpServer(parent), service(service), bounds(limits), databaseWork(new QObject)
{
    // A burst of applicants waits in the queue instead of being turned away.
    setListenBacklogSize(1024);
    databaseWork->moveToThread(&databaseThread);
    connect(&databaseThread, &QThread::finished, databaseWork, &QObject::deleteLater);
    databaseThread.start();
    // Out of file descriptors: accepting again at once would only spin.
    connect(this, &QTcpServer::acceptError, this, [this] {
        pauseAccepting();
        QTimer::singleShot(1000, this, [this] { acceptAgainLater(); });
    });
}

WebServer::~WebServer()
{
    close();
    databaseThread.quit();
    databaseThread.wait();
    const QList<HttpConnection*> open = connections.values();
    qDeleteAll(open);
}

void WebServer::setTls(const QSslConfiguration& configuration)
{
    tls = configuration;
    tlsSet = true;
}

void WebServer::incomingConnection(qintptr descriptor)
{
    QTcpSocket* socket = tlsSet ? new QSslSocket : new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    const QString address = socket->peerAddress().toString();
    if (bounds.connectionsPerAddress > 0 && perAddress.value(address) >= bounds.connectionsPerAddress) {
        if (!tlsSet) {
            WebReply busy;
            busy.status = 503;
            busy.body = messagePage(QStringLiteral("网上报名"), QStringLiteral("系统繁忙"), QStringLiteral("同时打开的连接过多，请稍后再试。"));
            busy.headers << securityHeaders();
            socket->write(responseBytes(busy, true, true));
            socket->flush();
        }
        socket->abort();
        delete socket;
        return;
    }
    ++perAddress[address];
    auto* connection = new HttpConnection(this, socket, ++lastId, address);
    connections.insert(connection->id, connection);
    if (connections.size() >= bounds.connections)
        pauseAccepting();
    if (tlsSet) {
        auto* secure = static_cast<QSslSocket*>(socket);
        secure->setSslConfiguration(tls);
        secure->startServerEncryption();
    }
}

void WebServer::dispatch(HttpConnection* connection, const WebRequest& request)
{
    bool refresh = false;
    if (const std::optional<WebReply> reply = service.answerAtOnce(request, &refresh)) {
        if (refresh && !refreshPosted) {
            refreshPosted = true;
            QMetaObject::invokeMethod(databaseWork, [this] {
                service.refreshForm();
                QMetaObject::invokeMethod(this, [this] { refreshPosted = false; }, Qt::QueuedConnection);
            });
        }
        connection->answer(*reply);
        return;
    }
    const quint64 id = connection->id;
    QMetaObject::invokeMethod(databaseWork, [this, id, request] {
        const WebReply reply = service.handle(request);
        QMetaObject::invokeMethod(this, [this, id, reply] { answer(id, reply); }, Qt::QueuedConnection);
    });
}

void WebServer::answer(quint64 connectionId, const WebReply& reply)
{
    if (HttpConnection* connection = connections.value(connectionId))
        connection->answer(reply);
}

void WebServer::ended(quint64 connectionId, const QString& address)
{
    connections.remove(connectionId);
    if (--perAddress[address] <= 0)
        perAddress.remove(address);
    acceptAgainLater();
}

void WebServer::acceptAgainLater()
{
    if (isListening() && connections.size() < bounds.connections)
        resumeAccepting();
}
