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
#include <QMutex>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

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
// own resources, and no sniffing, framing or referrer to other sites.
QList<QPair<QByteArray, QByteArray>> securityHeaders();

// The reply to a body refused before it is read: too large, or sent in a
// way the page never sends.
WebReply refusedBodyReply(int status);

// The page's work is shared between two threads: the one serving the
// connections answers what needs no database (the stylesheet, the form as
// last read) through answerAtOnce, and one other thread runs handle for
// everything else, so no connection waits on the database.
class WebService {
public:
    WebService(AppState& state, const WebSettings& settings, bool secure,
               std::function<QDateTime()> clock = &QDateTime::currentDateTime);

    WebReply handle(const WebRequest& request);
    // The reply when the request needs no database, from any thread;
    // `refresh` is set when the form shown is due to be read again (through
    // refreshForm, on the database's thread).
    std::optional<WebReply> answerAtOnce(const WebRequest& request, bool* refresh) const;
    void refreshForm();

private:
    WebReply formPageReply(const WebForm& form, const QByteArray& token, const WebRequest& request) const;
    WebReply sendForm(const WebRequest& request);
    WebReply receipt(const WebRequest& request);
    WebReply statusPageReply(const WebRequest& request);
    WebReply finished(const WebRequest& request, WebReply reply) const;
    static WebReply failure();
    // The database as it is now: opened again when its file was replaced,
    // the signing secrets read from it. False when it cannot serve.
    bool databaseReady();
    bool loadForm(WebForm& form);
    QString clientAddress(const WebRequest& request) const;
    bool overHttps(const WebRequest& request) const;
    bool fromThisSite(const WebRequest& request) const;
    bool tokenAccepted(const WebRequest& request, const QString& fieldToken) const;
    QByteArray makeToken() const;
    QByteArray receiptSignature(int number, const QDateTime& created) const;
    QByteArray tokenCookie(const QByteArray& token, const WebRequest& request) const;

    AppState& state;
    WebSettings settings;
    bool secure;
    std::function<QDateTime()> clock;
    QByteArray openedFile;     // the identity of zhao.dat as opened; empty on a server
    QByteArray receiptSecret;  // empty until read from the database
    RegistrationLimit registrations;
    RegistrationLimit lookups;
    // What both threads read, set on the database's thread.
    mutable QMutex published;
    FormTokens tokens;
    std::optional<WebForm> loadedForm;
    QElapsedTimer formAge;  // since loadedForm was read
};
