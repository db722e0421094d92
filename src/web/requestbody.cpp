#include "web/requestbody.h"

#include <QUrlQuery>

#include <optional>

namespace {

// A parameter of a header value: boundary=…, name="…", filename="…".
QByteArray headerParameter(const QByteArray& header, const QByteArray& parameter)
{
    for (QByteArray part : header.split(';')) {
        part = part.trimmed();
        const int equals = part.indexOf('=');
        if (equals < 0 || part.left(equals).trimmed().toLower() != parameter)
            continue;
        QByteArray value = part.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QByteArray();
}

std::optional<PostedForm> parseUrlEncoded(const QByteArray& body)
{
    PostedForm form;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const int equals = pair.indexOf('=');
        QByteArray name = equals < 0 ? pair : pair.left(equals);
        QByteArray value = equals < 0 ? QByteArray() : pair.mid(equals + 1);
        name.replace('+', ' ');
        value.replace('+', ' ');
        form.fields[QString::fromUtf8(QByteArray::fromPercentEncoding(name))]
            << QString::fromUtf8(QByteArray::fromPercentEncoding(value));
    }
    return form;
}

std::optional<PostedForm> parseMultipart(const QByteArray& boundary, const QByteArray& body)
{
    if (boundary.isEmpty())
        return std::nullopt;
    const QByteArray delimiter = "--" + boundary;
    PostedForm form;
    qsizetype at = body.indexOf(delimiter);
    if (at < 0)
        return std::nullopt;
    while (true) {
        at += delimiter.size();
        if (body.mid(at, 2) == "--")
            return form;   // the closing delimiter
        if (body.mid(at, 2) != "\r\n")
            return std::nullopt;
        at += 2;
        const qsizetype headersEnd = body.indexOf("\r\n\r\n", at);
        if (headersEnd < 0)
            return std::nullopt;
        QByteArray disposition;
        for (const QByteArray& line : body.mid(at, headersEnd - at).split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == "content-disposition")
                disposition = line.mid(colon + 1).trimmed();
        }
        const qsizetype contentStart = headersEnd + 4;
        const qsizetype next = body.indexOf("\r\n" + delimiter, contentStart);
        if (next < 0)
            return std::nullopt;
        const QByteArray content = body.mid(contentStart, next - contentStart);
        const QString name = QString::fromUtf8(headerParameter(disposition, "name"));
        if (disposition.contains("filename=")) {
            const QString fileName = QString::fromUtf8(headerParameter(disposition, "filename"));
            if (!fileName.isEmpty() || !content.isEmpty())
                form.files.insert(name, {fileName, content});
        } else {
            form.fields[name] << QString::fromUtf8(content);
        }
        at = next + 2;
    }
}

} // namespace

std::optional<PostedForm> parsePostedForm(const QByteArray& contentType, const QByteArray& body)
{
    const QByteArray kind = contentType.split(';').value(0).trimmed().toLower();
    if (kind == "application/x-www-form-urlencoded")
        return parseUrlEncoded(body);
    if (kind == "multipart/form-data")
        return parseMultipart(headerParameter(contentType, "boundary"), body);
    return std::nullopt;
}

QByteArray cookieValue(const QByteArray& cookieHeader, const QByteArray& name)
{
    for (const QByteArray& part : cookieHeader.split(';')) {
        const QByteArray cookie = part.trimmed();
        if (cookie.startsWith(name + '='))
            return cookie.mid(name.size() + 1);
    }
    return QByteArray();
}
