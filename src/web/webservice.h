#pragma once
// The web page's requests and replies, apart from any socket: what each
// address answers, the checks a public page needs, and the registrations
// stored through the same model as the add page.

#include "core/appstate.h"
#include "web/guards.h"
#include "web/webform.h"
#include "web/websettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

struct WebRequest {
    QByteArray method;   // GET, POST, …
    QString path;
    QList<QPair<QByteArray, QByteArray>> query;
    QList<QPair<QByteArray, QByteArray>> headers;  // names in any case
    QByteArray body;
    QString peerAddress;

    QByteArray header(const QByteArray& name) const;
    QByteArray queryValue(const QByteArray& name) const;
};

struct WebReply {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
};

// The largest request body, and the largest form without a file.
constexpr qint64 maxRequestBytes = 6 * 1024 * 1024;
constexpr qint64 maxFormBytes = 64 * 1024;

// The headers every reply carries: a policy that allows only the program's
// own resources, and no sniffing, framing or referrer.
QList<QPair<QByteArray, QByteArray>> securityHeaders();

// The reply to a body refused before it is read: too large, or sent in a
// way the page never sends.
WebReply refusedBodyReply(int status);

class WebService {
public:
    WebService(AppState& state, const WebSettings& settings, bool secure,
               std::function<QDateTime()> clock = &QDateTime::currentDateTime);

    WebReply handle(const WebRequest& request);

private:
    WebReply formPageReply(const QByteArray& token);
    WebReply sendForm(const WebRequest& request);
    WebReply receipt(const WebRequest& request);
    WebReply statusPageReply(const WebRequest& request);
    WebReply failure();
    bool loadForm(WebForm& form);
    QString clientAddress(const WebRequest& request) const;
    bool tokenAccepted(const WebRequest& request, const QString& fieldToken) const;
    QByteArray receiptSignature(int number) const;
    QByteArray tokenCookie(const QByteArray& token) const;

    AppState& state;
    WebSettings settings;
    bool secure;
    std::function<QDateTime()> clock;
    FormTokens tokens;
    QByteArray receiptSecret;
    RegistrationLimit registrations;
    RegistrationLimit lookups;
    WebForm loadedForm;
    QElapsedTimer formAge;  // since loadedForm was read; invalid before
};
