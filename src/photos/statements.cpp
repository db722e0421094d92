#include "photos/statements.h"

#include "platform/sqlliteral.h"

QString photoRowsStatement(int registrationId)
{
    return QStringLiteral("select * from fj where uid=") + sqlInteger(registrationId);
}

QString photoFileOfStatement(int registrationId)
{
    return QStringLiteral("select * from fj where uid= ") + sqlInteger(registrationId);
}

QString enabledPhotoRowStatement(int registrationId)
{
    return QStringLiteral("SELECT * FROM fj where status=1 and  uid=") + sqlInteger(registrationId);
}

QString insertPhotoRowStatement(int registrationId, const QString& storedName)
{
    return QStringLiteral("INSERT INTO fj  (uid,filename,status) values (") + sqlInteger(registrationId)
           + QLatin1Char(',') + sqlText(storedName) + QStringLiteral(",1)");
}

QString replacePhotoFileStatement(int registrationId, const QString& storedName)
{
    return QStringLiteral("UPDATE fj SET filename=") + sqlText(storedName) + QStringLiteral(" where uid=")
           + sqlInteger(registrationId);
}

QString deletePhotoRowStatement(int photoRowId)
{
    return QStringLiteral("delete * from fj where id=") + sqlInteger(photoRowId);
}

QString linkPhotoStatement(int registrationId, qint64 photoRowId)
{
    return QStringLiteral("UPDATE bmb SET imgid=") + sqlInteger(photoRowId) + QStringLiteral(" where id=")
           + sqlInteger(registrationId);
}

QString clearPhotoMarkStatement(int registrationId)
{
    return QStringLiteral("UPDATE bmb SET imgid=0 where id=") + sqlInteger(registrationId);
}

QString photoBytesStatement(const QString& storedName)
{
    return QStringLiteral("select bytes from photofile where name=") + sqlText(storedName);
}

QString photoOnServerStatement(const QString& storedName)
{
    return QStringLiteral("select id from photofile where name=") + sqlText(storedName);
}

QString insertPhotoBytesRowStatement(const QString& storedName)
{
    return QStringLiteral("INSERT INTO photofile (name) values (") + sqlText(storedName) + QLatin1Char(')');
}
