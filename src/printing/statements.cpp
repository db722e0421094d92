#include "printing/statements.h"

#include "platform/dates.h"
#include "platform/sqlliteral.h"
#include "printing/templatecodec.h"

QString templateRowsStatement()
{
    return QStringLiteral("select * from dy order by sx");
}

QString enabledTemplatesStatement()
{
    return QStringLiteral("select * from dy where status=1 order by sx");
}

QString templateByIdStatement(int id)
{
    return QStringLiteral("select * from dy where id=") + sqlInteger(id);
}

QString insertTemplateStatement(const QString& title, const QString& content, const QDateTime& added, bool enabled,
                                double order)
{
    return QStringLiteral("INSERT INTO dy  (nam,xx,dtime,status,sx) values (") + sqlText(title) + QLatin1Char(',')
           + sqlText(encodeTemplateText(content)) + QLatin1Char(',') + sqlText(dateToText(added)) + QLatin1Char(',')
           + sqlFlag(enabled) + QLatin1Char(',') + sqlNumber(order) + QLatin1Char(')');
}

QString updateTemplateStatement(int id, const QString& title, const QString& content, bool enabled, double order)
{
    return QStringLiteral("UPDATE dy SET nam=") + sqlText(title) + QStringLiteral(",xx=")
           + sqlText(encodeTemplateText(content)) + QStringLiteral(",status=")
           + sqlFlag(enabled) + QStringLiteral(",sx=") + sqlNumber(order)
           + QStringLiteral("  where id=") + sqlInteger(id);
}

QString deleteTemplateStatement(int id)
{
    return QStringLiteral("delete * from dy  where id=") + sqlInteger(id);
}

QString registrationToPrintStatement(int registrationId)
{
    return QStringLiteral("select * from bmb  where id =") + sqlInteger(registrationId);
}
