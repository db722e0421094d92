#include "web/webservice.h"

#include "web/qrcode.h"
#include "web/requestbody.h"
#include "web/webpages.h"
#include "web/webstore.h"

#include "photos/photostore.h"

#include <QFile>

#include <QMessageAuthenticationCode>

namespace {

WebReply htmlReply(int status, const QByteArray& body)
{
    WebReply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

const QByteArray tokenCookieName = "brenvo_form";

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
            {"Referrer-Policy", "no-referrer"},
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
      tokens(FormTokens::withRandomSecret()),
      receiptSecret(randomSecret()),
      registrations(settings.registrationsPerWindow, qint64(settings.windowMinutes) * 60),
      // Looking up states takes a number and a proof: enough tries for typing
      // mistakes, too few to guess.
      lookups(3 * settings.registrationsPerWindow, qint64(settings.windowMinutes) * 60)
{
}

QString WebService::clientAddress(const WebRequest& request) const
{
    if (settings.behindProxy) {
        const QByteArray forwarded = request.header("X-Real-IP").trimmed();
        if (!forwarded.isEmpty())
            return QString::fromLatin1(forwarded);
    }
    return request.peerAddress;
}

QByteArray WebService::tokenCookie(const QByteArray& token) const
{
    return tokenCookieName + '=' + token + "; Path=/; HttpOnly; SameSite=Strict" + (secure ? "; Secure" : "");
}

bool WebService::tokenAccepted(const WebRequest& request, const QString& fieldToken) const
{
    const QByteArray field = fieldToken.toLatin1();
    const QByteArray cookie = cookieValue(request.header("Cookie"), tokenCookieName);
    return !field.isEmpty() && field == cookie && tokens.isValid(field, clock());
}

QByteArray WebService::receiptSignature(int number) const
{
    return QMessageAuthenticationCode::hash(QByteArray::number(number), receiptSecret, QCryptographicHash::Sha256)
        .toHex()
        .left(32);
}

WebReply WebService::failure()
{
    return htmlReply(503, messagePage(QStringLiteral("网上报名"), QStringLiteral("暂时无法报名"),
                                      QStringLiteral("系统暂时无法处理，请稍后再试。")));
}

bool WebService::loadForm(WebForm& form)
{
    // Read again at most every two seconds: a change at a desk shows on the
    // next page, and a busy page does not read the form for every applicant.
    constexpr qint64 formLifetimeMs = 2000;
    if (!formAge.isValid() || formAge.elapsed() > formLifetimeMs) {
        if (!loadWebForm(state, clock(), loadedForm)) {
            formAge.invalidate();
            return false;
        }
        formAge.start();
    }
    form = loadedForm;
    return true;
}

WebReply WebService::handle(const WebRequest& request)
{
    WebReply reply;
    if (request.path == QLatin1String("/style.css") && request.method == "GET") {
        reply.contentType = "text/css; charset=utf-8";
        reply.body = styleSheet();
        reply.headers << qMakePair(QByteArray("Cache-Control"), QByteArray("max-age=3600"));
    } else if (request.path == QLatin1String("/") && request.method == "GET") {
        reply = formPageReply(tokens.make(clock()));
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
    if (reply.contentType.startsWith("text/html"))
        reply.headers << qMakePair(QByteArray("Cache-Control"), QByteArray("no-store"));
    reply.headers << securityHeaders();
    return reply;
}

WebReply WebService::formPageReply(const QByteArray& token)
{
    FormPageView view;
    if (!loadForm(view.form))
        return failure();
    view.token = token;
    WebReply reply = htmlReply(200, formPage(view));
    reply.headers << qMakePair(QByteArray("Set-Cookie"), tokenCookie(token));
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
    const QDateTime now = clock();
    const QString address = clientAddress(request);
    FormPageView view;
    if (!loadForm(view.form))
        return failure();
    if (!registrations.allows(address, now))
        return htmlReply(429, messagePage(view.form.unitName, QStringLiteral("提交过于频繁"),
                                          QStringLiteral("同一网络地址短时间内提交的报名过多，请稍后再试。")));

    WebRegistration sent = registrationFromPost(view.form, state.categoryList, state.programmeList, *posted, now);
    const UploadedFile photo = posted->files.value(QStringLiteral("photo"));
    QString storedPhoto;
    if (view.form.photo && !photo.bytes.isEmpty() && sent.problems.isEmpty()) {
        QString problem;
        storedPhoto = storeUploadedPhoto(state, photo.bytes, now, &problem);
        if (storedPhoto.isEmpty())
            sent.problems.insert(QStringLiteral("photo"), problem);
    }
    if (!sent.problems.isEmpty()) {
        view.entered = posted->fields;
        view.problems = sent.problems;
        view.notice = QStringLiteral("报名没有提交，请按提示修改后再提交。");
        view.token = posted->value(QStringLiteral("csrf")).toLatin1();
        return htmlReply(422, formPage(view));
    }
    int number = 0;
    const StoreResult result = storeWebRegistration(state, view.form, sent.registration, storedPhoto, &number);
    if (result != StoreResult::Stored && !storedPhoto.isEmpty())
        QFile::remove(photoPath(state.programDir, storedPhoto));
    if (result == StoreResult::Failed)
        return failure();
    if (result == StoreResult::Duplicate)
        return htmlReply(200, messagePage(view.form.unitName, QStringLiteral("已经报过名"),
                                          QStringLiteral("已有相同的报名，报名号为 %1，不必再次提交。如需更改，请与招生办联系。")
                                              .arg(number)));
    registrations.record(address, now);
    WebReply reply = htmlReply(303, QByteArray());
    reply.headers << qMakePair(QByteArray("Location"), "/receipt?n=" + QByteArray::number(number)
                                                           + "&s=" + receiptSignature(number));
    return reply;
}

WebReply WebService::receipt(const WebRequest& request)
{
    bool ok = false;
    const int number = request.queryValue("n").toInt(&ok);
    WebForm form;
    if (!loadForm(form))
        return failure();
    const auto notFound = [&form] {
        return htmlReply(404, messagePage(form.unitName, QStringLiteral("没有这张回执"),
                                          QStringLiteral("回执链接无效或已过期，可在“查询报名状态”中查询。")));
    };
    if (!ok || request.queryValue("s") != receiptSignature(number))
        return notFound();
    const std::optional<StoredRegistration> stored = readStoredRegistration(state, form, number);
    if (!stored)
        return notFound();
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
    view.token = tokens.make(clock());
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
    reply.headers << qMakePair(QByteArray("Set-Cookie"), tokenCookie(view.token));
    return reply;
}
