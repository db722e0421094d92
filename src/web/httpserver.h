#pragma once
// The HTTP side: each request the server has read is handed to the web
// service and its reply written back.

#include <QAbstractHttpServer>

class WebService;

class WebHttpServer : public QAbstractHttpServer {
public:
    explicit WebHttpServer(WebService& service, QObject* parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    WebService& service;
};
