#include "app/statements.h"

#include "platform/sqlliteral.h"

namespace {

QString digestClause(const QString& digest)
{
    return digest.isEmpty() ? QString() : QStringLiteral(",pw=") + sqlText(digest);
}

} // namespace

QString loginAccountsStatement()
{
    return QStringLiteral("select * from admin where status=1 order by id");
}

QString accountByNameStatement(const QString& name)
{
    return QStringLiteral("select * from admin where nam=") + sqlText(name);
}

QString accountRowsStatement()
{
    return QStringLiteral("select * from admin order by id");
}

QString accountByIdStatement(int id)
{
    return QStringLiteral("select * from admin where id=") + sqlInteger(id);
}

QString insertAccountStatement(const QString& name, int groupCode, bool enabled, const QString& digest)
{
    return QStringLiteral("INSERT INTO admin  (nam,admgroup,status,pw) values (") + sqlText(name) + QLatin1Char(',')
           + sqlInteger(groupCode) + QLatin1Char(',') + sqlFlag(enabled) + QLatin1Char(',') + sqlText(digest)
           + QLatin1Char(')');
}

QString updateOwnAccountStatement(int id, const QString& name, const QString& digest)
{
    return QStringLiteral("UPDATE admin SET nam=") + sqlText(name) + digestClause(digest) + QStringLiteral(" where id=")
           + sqlInteger(id);
}

QString updateAccountStatement(int id, const QString& name, int groupCode, bool enabled, const QString& digest)
{
    return QStringLiteral("UPDATE admin SET nam=") + sqlText(name) + QStringLiteral(",admgroup=") + sqlInteger(groupCode)
           + QStringLiteral(",status=") + sqlFlag(enabled) + digestClause(digest) + QStringLiteral(" where id=")
           + sqlInteger(id);
}

QString deleteAccountStatement(int id)
{
    return QStringLiteral("delete * from admin  where id=") + sqlInteger(id);
}

QString unitInfoStatement()
{
    return QStringLiteral("select * from xx");
}

QString unitSettingsStatement()
{
    return QStringLiteral("select * from xx ");
}

QString syncSettingsStatement()
{
    return QStringLiteral("select * from sync ");
}

QString insertUnitInfoStatement(const UnitInfoValues& v)
{
    return QStringLiteral("INSERT INTO xx  (mc,dz,dh,qq,email,cz,dd,bmsh,fksh,pho) values (") + sqlText(v.name)
           + QLatin1Char(',') + sqlText(v.address) + QLatin1Char(',') + sqlText(v.telephone) + QLatin1Char(',')
           + sqlText(v.qq) + QLatin1Char(',') + sqlText(v.email) + QLatin1Char(',') + sqlText(v.fax) + QLatin1Char(',')
           + sqlInteger(v.multiLocation) + QLatin1Char(',') + sqlInteger(v.review) + QLatin1Char(',')
           + sqlInteger(v.payment) + QLatin1Char(',') + sqlInteger(v.photo) + QLatin1Char(')');
}

QString updateUnitInfoStatement(const UnitInfoValues& v)
{
    return QStringLiteral("UPDATE xx SET mc=") + sqlText(v.name) + QStringLiteral(",dz=") + sqlText(v.address)
           + QStringLiteral(",dh=") + sqlText(v.telephone) + QStringLiteral(",qq=") + sqlText(v.qq)
           + QStringLiteral(",email=") + sqlText(v.email) + QStringLiteral(",cz=") + sqlText(v.fax)
           + QStringLiteral(",dd=") + sqlInteger(v.multiLocation) + QStringLiteral(",bmsh=")
           + sqlInteger(v.review) + QStringLiteral(",fksh=") + sqlInteger(v.payment)
           + QStringLiteral(",pho=") + sqlInteger(v.photo);
}

QString categoryItemStatusStatement(int multiLocation)
{
    return QStringLiteral("UPDATE style SET status=") + sqlInteger(multiLocation) + QStringLiteral(" where zd='dd'");
}

UnitSettings unitSettingsOf(const RecordSet& row)
{
    return {row.readInteger("dd"), row.readInteger("bmsh"), row.readInteger("fksh"), row.readInteger("pho")};
}
