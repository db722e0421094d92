#include "web/requestguard.h"

#include "web/webservice.h"

#include <QSslSocket>
#include <QTimer>

#include <memory>

namespace {

// Headers larger than this are no browser's.
constexpr qsizetype maxHeaderBytes = 32 * 1024;
// What is read and dropped after a refusal, so the browser gets to read the
// answer; a client sending more is cut off.
constexpr qint64 maxDrainedBytes = 16 * 1024 * 1024;
constexpr int drainMs = 20000;

QByteArray headerValue(const QByteArray& headers, const QByteArray& name)
{
    for (const QByteArray& line : headers.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

QByteArray responseBytes(const WebReply& reply)
{
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(reply.status)
                       + (reply.status == 413 ? " Payload Too Large\r\n" : " Bad Request\r\n");
    for (const auto& [name, value] : reply.headers)
        bytes += name + ": " + value + "\r\n";
    bytes += "Content-Type: " + reply.contentType + "\r\nContent-Length: " + QByteArray::number(reply.body.size())
             + "\r\nConnection: close\r\n\r\n" + reply.body;
    return bytes;
}

} // namespace

RequestFraming::Verdict RequestFraming::take(const QByteArray& bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        if (inBody) {
            const qint64 taken = qMin<qint64>(bodyRemaining, bytes.size() - at);
            bodyRemaining -= taken;
            at += taken;
            inBody = bodyRemaining > 0;
            continue;
        }
        const qsizetype before = headerBytes.size();
        headerBytes += bytes.mid(at);
        const qsizetype end = headerBytes.indexOf("\r\n\r\n");
        if (end < 0) {
            if (headerBytes.size() > maxHeaderBytes)
                return Verdict::TooLarge;
            return Verdict::Continue;
        }
        at += end + 4 - before;
        const QByteArray headers = headerBytes.left(end);
        headerBytes.clear();
        if (!headerValue(headers, "Transfer-Encoding").isEmpty())
            return Verdict::NotAccepted;
        const QByteArray lengthText = headerValue(headers, "Content-Length");
        bool ok = true;
        const qint64 length = lengthText.isEmpty() ? 0 : lengthText.toLongLong(&ok);
        if (!ok || length < 0)
            return Verdict::NotAccepted;
        const bool plainForm = headerValue(headers, "Content-Type").toLower().startsWith("application/x-www-form-urlencoded");
        if (length > maxRequestBytes || (plainForm && length > maxFormBytes)) {
            refusedRemaining = length - (bytes.size() - at);
            return Verdict::TooLarge;
        }
        bodyRemaining = length;
        inBody = length > 0;
    }
    return Verdict::Continue;
}

GuardedServer::GuardedServer(QObject* parent) : QTcpServer(parent)
{
    // A burst of applicants waits in the queue instead of being turned away.
    setListenBacklogSize(1024);
}

void GuardedServer::setTls(const QSslConfiguration& configuration)
{
    tls = configuration;
    tlsSet = true;
}

void GuardedServer::incomingConnection(qintptr descriptor)
{
    QTcpSocket* socket = nullptr;
    if (tlsSet) {
        auto* secure = new QSslSocket(this);
        if (!secure->setSocketDescriptor(descriptor)) {
            delete secure;
            return;
        }
        secure->setSslConfiguration(tls);
        secure->startServerEncryption();
        socket = secure;
    } else {
        socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
    }
    // Connected before the HTTP server takes the socket, so the guard sees
    // every chunk before the server's reader does.
    watch(socket);
    addPendingConnection(socket);
}

void GuardedServer::watch(QTcpSocket* socket)
{
    auto framing = std::make_shared<RequestFraming>();
    auto refused = std::make_shared<bool>(false);
    auto toDrop = std::make_shared<qint64>(0);
    connect(socket, &QTcpSocket::readyRead, socket, [socket, framing, refused, toDrop] {
        if (*refused) {
            *toDrop -= socket->readAll().size();
            if (*toDrop <= 0)
                socket->disconnectFromHost();
            return;
        }
        const RequestFraming::Verdict verdict = framing->take(socket->peek(socket->bytesAvailable()));
        if (verdict == RequestFraming::Verdict::Continue)
            return;
        // The server's reader finds nothing more on this connection: the
        // refusal is written here, and the rest of the body is read and
        // dropped so the browser, still sending, gets to read the answer.
        *refused = true;
        socket->readAll();
        socket->write(responseBytes(refusedBodyReply(verdict == RequestFraming::Verdict::TooLarge ? 413 : 400)));
        *toDrop = framing->refusedBodyToCome();
        if (*toDrop <= 0 || *toDrop > maxDrainedBytes)
            socket->disconnectFromHost();
        else
            QTimer::singleShot(drainMs, socket, [socket] { socket->abort(); });
    });
}
