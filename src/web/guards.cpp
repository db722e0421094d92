#include "web/guards.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

FormTokens::FormTokens(QByteArray secret, qint64 lifetimeSeconds)
    : secret(std::move(secret)), lifetimeSeconds(lifetimeSeconds)
{
}

QByteArray randomSecret()
{
    QByteArray secret(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(secret.data()), int(secret.size() / 4));
    return secret;
}

bool sameBytes(const QByteArray& given, const QByteArray& expected)
{
    int difference = given.size() == expected.size() ? 0 : 1;
    for (qsizetype i = 0; i < qMin(given.size(), expected.size()); ++i)
        difference |= given.at(i) ^ expected.at(i);
    return difference == 0;
}

QByteArray FormTokens::signature(const QByteArray& moment) const
{
    return QMessageAuthenticationCode::hash(moment, secret, QCryptographicHash::Sha256)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QByteArray FormTokens::make(const QDateTime& now) const
{
    const QByteArray moment = QByteArray::number(now.toSecsSinceEpoch());
    return moment + '.' + signature(moment);
}

bool FormTokens::isValid(const QByteArray& token, const QDateTime& now) const
{
    const int dot = token.indexOf('.');
    if (dot <= 0)
        return false;
    const QByteArray moment = token.left(dot);
    bool ok = false;
    const qint64 made = moment.toLongLong(&ok);
    const qint64 age = now.toSecsSinceEpoch() - made;
    const QByteArray expected = signature(moment);
    return ok && !secret.isEmpty() && sameBytes(token.mid(dot + 1), expected) && age >= 0 && age <= lifetimeSeconds;
}

void RegistrationLimit::forgetOld(QVector<qint64>& moments, qint64 now) const
{
    const auto kept = std::find_if(moments.begin(), moments.end(),
                                   [&](qint64 moment) { return now - moment < windowSeconds; });
    moments.erase(moments.begin(), kept);
}

void RegistrationLimit::forgetAllOld(qint64 now)
{
    for (auto it = recent.begin(); it != recent.end();) {
        forgetOld(it.value(), now);
        it = it.value().isEmpty() ? recent.erase(it) : std::next(it);
    }
}

bool RegistrationLimit::allows(const QString& address, const QDateTime& now)
{
    const auto found = recent.find(address);
    if (found == recent.end())
        return true;
    forgetOld(found.value(), now.toSecsSinceEpoch());
    return found.value().size() < limit;
}

void RegistrationLimit::record(const QString& address, const QDateTime& now)
{
    const qint64 moment = now.toSecsSinceEpoch();
    recent[address] << moment;
    // Now and then the addresses that have gone quiet are let go.
    if (++recordsSinceSweep >= 1000) {
        recordsSinceSweep = 0;
        forgetAllOld(moment);
    }
}
