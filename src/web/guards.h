#pragma once
// What keeps a public form usable: tokens that tie a sent form to a page
// this program served (against forms posted from other sites), and a limit
// on registrations per client address.

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>

// 32 random bytes from the system's generator, for signing.
QByteArray randomSecret();

// True when both are the same bytes, compared in full whatever differs
// first, so the time taken tells nothing.
bool sameBytes(const QByteArray& given, const QByteArray& expected);

// A token is a moment and an HMAC of it under the secret kept in the
// database; it is valid for `lifetime` after the moment, and never without
// a secret. The page carries it in a hidden field and in a cookie, and both
// must agree.
class FormTokens {
public:
    explicit FormTokens(QByteArray secret = QByteArray(), qint64 lifetimeSeconds = 4 * 3600);

    QByteArray make(const QDateTime& now) const;
    bool isValid(const QByteArray& token, const QDateTime& now) const;

private:
    QByteArray signature(const QByteArray& moment) const;
    QByteArray secret;
    qint64 lifetimeSeconds;
};

// At most `limit` registrations per address within a sliding window.
class RegistrationLimit {
public:
    RegistrationLimit(int limit, qint64 windowSeconds) : limit(limit), windowSeconds(windowSeconds) {}

    bool allows(const QString& address, const QDateTime& now);
    void record(const QString& address, const QDateTime& now);

private:
    // Drops the moments that have left the window: of one address, or of all.
    void forgetOld(QVector<qint64>& moments, qint64 now) const;
    void forgetAllOld(qint64 now);
    int limit;
    qint64 windowSeconds;
    QHash<QString, QVector<qint64>> recent;  // seconds since the epoch, oldest first
    int recordsSinceSweep = 0;
};
