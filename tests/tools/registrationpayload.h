#pragma once
// The registration the crash test's writer stores as number n: every column
// follows from n, so a reader can tell a whole row from a torn one.

#include "platform/sqlliteral.h"

#include <QString>
#include <QStringList>

namespace payload {

inline QString name(qint64 n) { return QStringLiteral("考生%1").arg(n); }
inline int age(qint64 n) { return int(n % 90); }
inline QString nation(qint64 n) { return QStringLiteral("民族%1").arg(n * 7919 % 100003); }
// Long enough that a row spills over more than one page.
inline QString profile(qint64 n) { return QStringLiteral("简介%1;").arg(n).repeated(400); }
inline QString choices(qint64 n) { return QStringLiteral("^%1^^%2^").arg(n % 7).arg(n % 11); }
inline QString photoFile(qint64 n) { return QStringLiteral("5\\%1.jpg").arg(n, 32, 16, QLatin1Char('0')); }
// The bytes of registration n's photo: its number among every byte value.
inline QByteArray photoBytes(qint64 n)
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i) + QByteArray::number(n);
    return bytes;
}
// Written in the date-to-text form; the store keeps it as yyyy-MM-dd HH:mm:ss.
inline const char* entryTimeText() { return "2013年5月6日14时3分9秒"; }
inline const char* storedEntryTime() { return "2013-05-06 14:03:09"; }

// saveKey: the key the save carries; empty for none.
inline QString insertStatement(qint64 n, const QString& saveKey = QString())
{
    return QStringLiteral("INSERT INTO bmb (savekey,xm,nl,mz,jj,kz3,dtime,status,sh,fk) values (") + sqlText(saveKey) + ","
           + sqlText(name(n)) + ","
           + sqlInteger(age(n)) + "," + sqlText(nation(n)) + "," + sqlText(profile(n)) + "," + sqlText(choices(n)) + ","
           + sqlText(QString::fromUtf8(entryTimeText())) + ",1,0,0)";
}

// The registration number a stored name stands for; -1 for any other text.
inline qint64 numberOf(const QString& storedName)
{
    if (!storedName.startsWith(QStringLiteral("考生")))
        return -1;
    bool ok = false;
    const qint64 n = storedName.mid(2).toLongLong(&ok);
    return ok ? n : -1;
}

} // namespace payload
