#include "web/webservice.h"

#include "web/qrcode.h"
#include "web/requestbody.h"
#include "web/webpages.h"
#include "web/webstore.h"

#include "photos/photostore.h"
#include "platform/files.h"

#include <QFile>
#include <QHostAddress>
#include <QMessageAuthenticationCode>
#include <QUrl>

namespace {

WebReply htmlReply(int status, const QByteArray& body)
{
    WebReply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

const QByteArray tokenCookieName = "brenvo_form";

// The form is read again at most every two seconds: a change at a desk shows
// on the next page, and a busy page does not read it for every applicant.
constexpr qint64 formLifetimeMs = 2000;

WebReply styleReply()
{
    WebReply reply;
    reply.contentType = "text/css; charset=utf-8";
    reply.body = styleSheet();
    reply.headers << qMakePair(QByteArray("Cache-Control"), QByteArray("max-age=3600"));
    return reply;
}

} // namespace

QByteArray WebRequest::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return QByteArray();
}

QByteArray WebRequest::queryValue(const QByteArray& name) const
{
    for (const auto& [key, value] : query)
        if (key == name)
            return value;
    return QByteArray();
}

QList<QPair<QByteArray, QByteArray>> securityHeaders()
{
    return {{"Content-Security-Policy",
             "default-src 'none'; style-src 'self'; img-src 'self' data:; form-action 'self'; "
             "frame-ancestors 'none'; base-uri 'none'"},
            {"X-Content-Type-Options", "nosniff"},
            // Not no-referrer: under it browsers send "Origin: null" with the
            // page's own forms, which the origin check must refuse.
            {"Referrer-Policy", "same-origin"},
            {"X-Frame-Options", "DENY"}};
}

WebReply refusedBodyReply(int status)
{
    const QString text = status == 413 ? QStringLiteral("提交的内容过大：照片不能超过 5 MB，填写的文字不能超过 64 KB。")
                                       : QStringLiteral("无法处理这次提交，请返回报名页面重新填写。");
    WebReply reply = htmlReply(status, messagePage(QStringLiteral("网上报名"), QStringLiteral("无法提交"), text));
    reply.headers << securityHeaders();
    return reply;
}

WebService::WebService(AppState& state, const WebSettings& settings, bool secure, std::function<QDateTime()> clock)
    : state(state),
      settings(settings),
      secure(secure),
      clock(std::move(clock)),
      openedFile(state.serverConnection.isEmpty() ? fileIdentity(state.programFile(QStringLiteral("zhao.dat"))) : QByteArray()),
      registrations(settings.registrationsPerWindow, qint64(settings.windowMinutes) * 60),
      // Looking up states takes a number and a proof: enough tries for typing
      // mistakes, too few to guess.
      lookups(3 * settings.registrationsPerWindow, qint64(settings.windowMinutes) * 60)
{
}

QString WebService::clientAddress(const WebRequest& request) const
{
    if (settings.behindProxy) {
        // Only an address counts: anything else would make a limit key of its own.
        QHostAddress forwarded;
        if (forwarded.setAddress(QString::fromLatin1(request.header("X-Real-IP").trimmed())))
            return forwarded.toString();
    }
    return request.peerAddress;
}

bool WebService::overHttps(const WebRequest& request) const
{
    return secure
           || (settings.behindProxy && request.header("X-Forwarded-Proto").trimmed().compare("https", Qt::CaseInsensitive) == 0);
}

bool WebService::fromThisSite(const WebRequest& request) const
{
    QByteArray origin = request.header("Origin");
    if (origin.isEmpty()) {
        const QByteArray referer = request.header("Referer");
        if (referer.isEmpty())
            return true;
        const QUrl url(QString::fromLatin1(referer));
        origin = (url.scheme() + QStringLiteral("://") + url.host()
                  + (url.port() >= 0 ? QLatin1Char(':') + QString::number(url.port()) : QString()))
                     .toLatin1();
    }
    const QByteArray host = request.header("Host");
    return !host.isEmpty() && origin.compare((overHttps(request) ? "https://" : "http://") + host, Qt::CaseInsensitive) == 0;
}

QByteArray WebService::tokenCookie(const QByteArray& token, const WebRequest& request) const
{
    return tokenCookieName + '=' + token + "; Path=/; HttpOnly; SameSite=Strict" + (overHttps(request) ? "; Secure" : "");
}

QByteArray WebService::makeToken() const
{
    QMutexLocker lock(&published);
    return tokens.make(clock());
}

bool WebService::tokenAccepted(const WebRequest& request, const QString& fieldToken) const
{
    const QByteArray field = fieldToken.toLatin1();
    const QByteArray cookie = cookieValue(request.header("Cookie"), tokenCookieName);
    QMutexLocker lock(&published);
    return !field.isEmpty() && sameBytes(field, cookie) && tokens.isValid(field, clock()) && fromThisSite(request);
}

QByteArray WebService::receiptSignature(int number, const QDateTime& created) const
{
    const QByteArray signedText = QByteArray::number(number) + '.' + created.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
    return QMessageAuthenticationCode::hash(signedText, receiptSecret, QCryptographicHash::Sha256).toHex().left(32);
}

WebReply WebService::failure()
{
    return htmlReply(503, messagePage(QStringLiteral("网上报名"), QStringLiteral("暂时无法报名"),
                                      QStringLiteral("系统暂时无法处理，请稍后再试。")));
}

bool WebService::databaseReady()
{
    QByteArray opened = openedFile;
    if (!reopenIfReplaced(state, opened))
        return false;
    if (opened != openedFile) {
        openedFile = opened;
        receiptSecret.clear();
        QMutexLocker lock(&published);
        loadedForm.reset();
    }
    if (!receiptSecret.isEmpty())
        return true;
    const QByteArray formSecret = signingSecret(state, QStringLiteral("form"));
    const QByteArray receipts = signingSecret(state, QStringLiteral("receipt"));
    if (formSecret.isEmpty() || receipts.isEmpty())
        return false;
    receiptSecret = receipts;
    QMutexLocker lock(&published);
    tokens = FormTokens(formSecret);
    return true;
}

bool WebService::loadForm(WebForm& form)
{
    {
        QMutexLocker lock(&published);
        if (loadedForm && formAge.elapsed() <= formLifetimeMs) {
            form = *loadedForm;
            return true;
        }
    }
    WebForm fresh;
    if (!loadWebForm(state, clock(), fresh))
        return false;
    QMutexLocker lock(&published);
    loadedForm = fresh;
    formAge.start();
    form = fresh;
    return true;
}

void WebService::refreshForm()
{
    WebForm form;
    if (databaseReady())
        loadForm(form);
}

WebReply WebService::finished(const WebRequest& request, WebReply reply) const
{
    if (reply.contentType.startsWith("text/html"))
        reply.headers << qMakePair(QByteArray("Cache-Control"), QByteArray("no-store"));
    reply.headers << securityHeaders();
    if (overHttps(request))
        reply.headers << qMakePair(QByteArray("Strict-Transport-Security"), QByteArray("max-age=31536000"));
    return reply;
}

std::optional<WebReply> WebService::answerAtOnce(const WebRequest& request, bool* refresh) const
{
    if (request.method != "GET")
        return std::nullopt;
    if (request.path == QLatin1String("/style.css"))
        return finished(request, styleReply());
    if (request.path != QLatin1String("/"))
        return std::nullopt;
    std::optional<WebForm> form;
    {
        QMutexLocker lock(&published);
        form = loadedForm;
        *refresh = formAge.isValid() && formAge.elapsed() > formLifetimeMs;
    }
    // The form as last read, also while a desk holds the database.
    if (!form)
        return std::nullopt;
    return finished(request, formPageReply(*form, makeToken(), request));
}

WebReply WebService::handle(const WebRequest& request)
{
    WebReply reply;
    if (request.path == QLatin1String("/style.css") && request.method == "GET") {
        reply = styleReply();
    } else if (!databaseReady()) {
        reply = failure();
    } else if (request.path == QLatin1String("/") && request.method == "GET") {
        WebForm form;
        reply = loadForm(form) ? formPageReply(form, makeToken(), request) : failure();
    } else if (request.path == QLatin1String("/") && request.method == "POST") {
        reply = sendForm(request);
    } else if (request.path == QLatin1String("/receipt") && request.method == "GET") {
        reply = receipt(request);
    } else if (request.path == QLatin1String("/status") && (request.method == "GET" || request.method == "POST")) {
        reply = statusPageReply(request);
    } else {
        reply = htmlReply(404, messagePage(QStringLiteral("网上报名"), QStringLiteral("页面不存在"),
                                           QStringLiteral("没有这个页面。")));
    }
    return finished(request, reply);
}

WebReply WebService::formPageReply(const WebForm& form, const QByteArray& token, const WebRequest& request) const
{
    FormPageView view;
    view.form = form;
    view.token = token;
    WebReply reply = htmlReply(200, formPage(view));
    reply.headers << qMakePair(QByteArray("Set-Cookie"), tokenCookie(token, request));
    return reply;
}

WebReply WebService::sendForm(const WebRequest& request)
{
    const std::optional<PostedForm> posted = parsePostedForm(request.header("Content-Type"), request.body);
    if (!posted)
        return refusedBodyReply(400);
    qint64 textBytes = 0;
    for (const QStringList& values : posted->fields)
        for (const QString& value : values)
            textBytes += value.toUtf8().size();
    if (textBytes > maxFormBytes)
        return refusedBodyReply(413);
    if (!tokenAccepted(request, posted->value(QStringLiteral("csrf"))))
        return htmlReply(403, messagePage(QStringLiteral("网上报名"), QStringLiteral("页面已过期"),
                                          QStringLiteral("报名页面已过期或不是从本站打开的，请重新打开报名页面后再填写提交。")));
    // Whole seconds, as the database keeps the time and the receipt signs it.
    const QDateTime now = QDateTime::fromSecsSinceEpoch(clock().toSecsSinceEpoch());
    const QString address = clientAddress(request);
    FormPageView view;
    if (!loadForm(view.form))
        return failure();
    if (!registrations.allows(address, now))
        return htmlReply(429, messagePage(view.form.unitName, QStringLiteral("提交过于频繁"),
                                          QStringLiteral("同一网络地址短时间内提交的报名过多，请稍后再试。")));
    // Every send from here on counts, stored or not: refusals and repeats
    // are what a flood consists of.
    registrations.record(address, now);

    WebRegistration sent = registrationFromPost(view.form, state.categoryList, state.programmeList, *posted, now);
    const UploadedFile photo = posted->files.value(QStringLiteral("photo"));
    const auto refused = [&] {
        view.entered = posted->fields;
        view.problems = sent.problems;
        view.notice = QStringLiteral("报名没有提交，请按提示修改后再提交。");
        view.token = posted->value(QStringLiteral("csrf")).toLatin1();
        return htmlReply(422, formPage(view));
    };
    if (!sent.problems.isEmpty())
        return refused();
    // The duplicate rule is asked before a photo costs anything, and the
    // answer names no registration: an ID number alone must not reveal one.
    const std::optional<bool> repeated = repeatsLiveRegistration(state, view.form, sent.registration);
    if (!repeated)
        return failure();
    if (*repeated)
        return htmlReply(200, messagePage(view.form.unitName, QStringLiteral("已经报过名"),
                                          QStringLiteral("已有相同信息的报名，不必再次提交。如需查询或更改，请与招生办联系。")));
    QString storedPhoto;
    if (view.form.photo && !photo.bytes.isEmpty()) {
        QString problem;
        storedPhoto = storeUploadedPhoto(state, photo.bytes, now, &problem);
        if (storedPhoto.isEmpty()) {
            sent.problems.insert(QStringLiteral("photo"), problem);
            return refused();
        }
    }
    int number = 0;
    if (!storeWebRegistration(state, view.form, sent.registration, storedPhoto, &number)) {
        if (!storedPhoto.isEmpty())
            QFile::remove(photoPath(state.programDir, storedPhoto));
        return failure();
    }
    WebReply reply = htmlReply(303, QByteArray());
    reply.headers << qMakePair(QByteArray("Location"), "/receipt?n=" + QByteArray::number(number)
                                                           + "&s=" + receiptSignature(number, now));
    return reply;
}

WebReply WebService::receipt(const WebRequest& request)
{
    bool ok = false;
    const int number = request.queryValue("n").toInt(&ok);
    WebForm form;
    if (!loadForm(form))
        return failure();
    const std::optional<StoredRegistration> stored = ok ? readStoredRegistration(state, form, number) : std::nullopt;
    // Signed with the registration's creation time: a link never shows
    // another registration that later got the same number.
    if (!stored || !sameBytes(request.queryValue("s"), receiptSignature(number, stored->created)))
        return htmlReply(404, messagePage(form.unitName, QStringLiteral("没有这张回执"),
                                          QStringLiteral("回执链接无效或已过期，可在“查询报名状态”中查询。")));
    ReceiptView view{form.unitName, number, stored->values, stored->review, stored->payment,
                     qrCodeSvg(QString::number(number))};
    return htmlReply(200, receiptPage(view));
}

WebReply WebService::statusPageReply(const WebRequest& request)
{
    StatusView view;
    WebForm form;
    if (!loadForm(form))
        return failure();
    view.unitName = form.unitName;
    view.token = makeToken();
    if (request.method == "POST") {
        const std::optional<PostedForm> posted = parsePostedForm(request.header("Content-Type"), request.body);
        if (!posted)
            return refusedBodyReply(400);
        if (!tokenAccepted(request, posted->value(QStringLiteral("csrf"))))
            return htmlReply(403, messagePage(form.unitName, QStringLiteral("页面已过期"),
                                              QStringLiteral("查询页面已过期，请重新打开后再查询。")));
        view.number = posted->value(QStringLiteral("number")).trimmed();
        view.proof = posted->value(QStringLiteral("proof")).trimmed();
        const QString address = clientAddress(request);
        const QDateTime now = clock();
        if (!lookups.allows(address, now)) {
            view.problem = QStringLiteral("查询次数过多，请稍后再试。");
        } else {
            lookups.record(address, now);
            if (const auto states = registrationStates(state, view.number.toInt(), view.proof)) {
                view.found = true;
                view.review = states->first;
                view.payment = states->second;
            } else {
                view.problem = QStringLiteral("没有找到这条报名，请核对报名号和证件号码（或联系电话）。");
            }
        }
    }
    WebReply reply = htmlReply(200, statusPage(view));
    reply.headers << qMakePair(QByteArray("Set-Cookie"), tokenCookie(view.token, request));
    return reply;
}
