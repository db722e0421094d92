#pragma once
// The page's HTTP server: it reads the requests itself (requestguard.h),
// bounds what each connection may cost in time and number, answers what
// needs no database at once and hands the rest to the web service on a
// thread of its own.

#include <QHash>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QThread>

class HttpConnection;
class WebService;
struct WebReply;
struct WebRequest;

struct ServerLimits {
    int headerMs = 10000;          // from the connection or a request's first byte to its blank line
    int idleMs = 15000;            // a kept-alive connection waiting for its next request
    int bodyWindowMs = 10000;      // a body must bring minBodyBytes in every such window
    qint64 minBodyBytes = 40 * 1024;
    int connections = 1000;        // open at once, in all
    int connectionsPerAddress = 64; // from one client address; 0 for no limit (behind a proxy)
};

class WebServer : public QTcpServer {
    Q_OBJECT
public:
    WebServer(WebService& service, const ServerLimits& limits, QObject* parent = nullptr);
    ~WebServer() override;
    // Connections are encrypted with this configuration once it is set.
    void setTls(const QSslConfiguration& configuration);
    const ServerLimits& limits() const { return bounds; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    friend class HttpConnection;
    void dispatch(HttpConnection* connection, const WebRequest& request);
    void answer(quint64 connectionId, const WebReply& reply);
    void ended(quint64 connectionId, const QString& address);
    void acceptAgainLater();

    WebService& service;
    ServerLimits bounds;
    QSslConfiguration tls;
    bool tlsSet = false;
    QThread databaseThread;
    QObject* databaseWork;  // lives on databaseThread; jobs are posted to it
    QHash<quint64, HttpConnection*> connections;
    QHash<QString, int> perAddress;
    quint64 lastId = 0;
    bool refreshPosted = false;
};
