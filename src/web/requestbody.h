#pragma once
// What a browser sends with a form: application/x-www-form-urlencoded or
// multipart/form-data, read into fields and files.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

struct UploadedFile {
    QString fileName;
    QByteArray bytes;
};

struct PostedForm {
    QHash<QString, QStringList> fields;   // every value of a name, in order
    QHash<QString, UploadedFile> files;   // a file input; absent when none was chosen

    QString value(const QString& name) const { return fields.value(name).value(0); }
};

// The form the body holds, by its Content-Type; nothing when the body does
// not read as the kind it claims.
std::optional<PostedForm> parsePostedForm(const QByteArray& contentType, const QByteArray& body);

// The cookie's value in a Cookie header; empty when it is not there.
QByteArray cookieValue(const QByteArray& cookieHeader, const QByteArray& name);
