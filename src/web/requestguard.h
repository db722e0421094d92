#pragma once
// The listening socket of the web page. Each connection is watched before
// the HTTP server reads it: a request whose body would be too large is
// answered at its headers and never buffered, and chunked bodies (which the
// page never sends) are refused, so a client cannot make the program hold
// more than one request's limit.

#include <QByteArray>
#include <QSslConfiguration>
#include <QTcpServer>

class QTcpSocket;

// Follows the requests on one connection through their headers and bodies.
class RequestFraming {
public:
    enum class Verdict { Continue, TooLarge, NotAccepted };
    // Takes bytes as they arrive; the verdict of the first request in them
    // that must be refused, or Continue.
    Verdict take(const QByteArray& bytes);
    // After a refusal: the bytes of the refused body still to come.
    qint64 refusedBodyToCome() const { return refusedRemaining; }

private:
    QByteArray headerBytes;     // of the request being read, before its blank line
    qint64 bodyRemaining = 0;
    bool inBody = false;
    qint64 refusedRemaining = 0;
};

class GuardedServer : public QTcpServer {
    Q_OBJECT
public:
    explicit GuardedServer(QObject* parent = nullptr);
    // Connections are encrypted with this configuration once it is set.
    void setTls(const QSslConfiguration& configuration);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void watch(QTcpSocket* socket);
    QSslConfiguration tls;
    bool tlsSet = false;
};
