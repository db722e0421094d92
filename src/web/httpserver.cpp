#include "web/httpserver.h"

#include "web/webservice.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QUrlQuery>

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Post:
        return "POST";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    default:
        return "OTHER";
    }
}

} // namespace

WebHttpServer::WebHttpServer(WebService& service, QObject* parent) : QAbstractHttpServer(parent), service(service) {}

bool WebHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    WebRequest web;
    web.method = methodName(request.method());
    web.path = request.url().path();
    for (const auto& [name, value] : request.query().queryItems(QUrl::FullyDecoded))
        web.query << qMakePair(name.toUtf8(), value.toUtf8());
    web.headers = request.headers();
    web.body = request.body();
    web.peerAddress = request.remoteAddress().toString();
    const bool head = web.method == "HEAD";
    if (head)
        web.method = "GET";
    const WebReply reply = service.handle(web);

    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(QHttpServerResponder::StatusCode(reply.status));
    for (const auto& [name, value] : reply.headers)
        responder.writeHeader(name, value);
    responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeBody(head ? QByteArray() : reply.body);
    return true;
}

void WebHttpServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}
