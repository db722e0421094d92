#pragma once
// What the web page reads from and writes to the desks' database.

#include "core/appstate.h"
#include "web/webform.h"

#include <QByteArray>
#include <QPair>

#include <optional>

// The form as the page offers it now: the unit's name and switches, the
// enabled items, categories and programmes, read afresh so a change made at
// a desk shows at once. False when the database could not be read.
bool loadWebForm(AppState& state, const QDateTime& now, WebForm& form);

// The largest photo an applicant may send.
constexpr qint64 maxPhotoBytes = 5 * 1024 * 1024;

// A photo as sent: a JPEG or PNG of at most maxPhotoBytes and 40 million
// pixels, decoded scaled and turned upright and written anew
// as a JPEG in the photo store. Gives the stored name, or empty with the
// problem shown beside the field.
QString storeUploadedPhoto(AppState& state, const QByteArray& bytes, const QDateTime& now, QString* problem);

// Whether the registration repeats a live one, by the duplicate rule of the
// add page; nothing when the lookup failed.
std::optional<bool> repeatsLiveRegistration(AppState& state, const WebForm& form, const Registration& registration);

// Stores the registration with its photo (empty for none) in one
// transaction; `number` is its id.
bool storeWebRegistration(AppState& state, const WebForm& form, const Registration& registration, const QString& photo,
                          int* number);

// The receipt's rows: each item's caption and its value as stored, as the
// desks show it; the review and payment words. Nothing when there is no
// live registration of that number.
struct StoredRegistration {
    QVector<QPair<QString, QString>> values;
    QString review;
    QString payment;
    QDateTime created;
};
std::optional<StoredRegistration> readStoredRegistration(AppState& state, const WebForm& form, int number);

// The states of registration `number` when `proof` is its 证件号码 or
// 联系电话 (blanks and case ignored); nothing otherwise.
std::optional<QPair<QString, QString>> registrationStates(AppState& state, int number, const QString& proof);

// The secret `name` (receipts, form tokens) kept in table websecret, the
// same for every instance serving the database and across restarts; made
// when it is missing. Empty when the database could not be read.
QByteArray signingSecret(AppState& state, const QString& name);

// Opens zhao.dat again when the file at its path is no longer the one
// opened (a desk restored a backup by renaming a file into place);
// `openedFile` is the identity of the file opened. False when it cannot be
// opened again. A server database is left to the store's own reconnecting.
bool reopenIfReplaced(AppState& state, QByteArray& openedFile);
