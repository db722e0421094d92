#include "catalogue/statements.h"

#include "platform/sqlliteral.h"

QString categoryRowsStatement()
{
    return QStringLiteral("select * from dd order by sx");
}

QString categoryChoicesStatement()
{
    return QStringLiteral("select * from dd  order by sx");
}

QString categoryServerIdStatement(int categoryId)
{
    return QStringLiteral("select serverid from dd where id=") + sqlInteger(categoryId);
}

QString insertCategoryStatement(const CategoryValues& values)
{
    return QStringLiteral("INSERT INTO dd  (serverid,name,sx,status,xx) values (0,") + sqlText(values.name)
           + QLatin1Char(',') + sqlNumber(values.order) + QLatin1Char(',') + sqlFlag(values.enabled) + QLatin1Char(',')
           + sqlText(values.description) + QLatin1Char(')');
}

QString updateCategoryStatement(int id, const CategoryValues& values)
{
    return QStringLiteral("UPDATE dd SET name=") + sqlText(values.name) + QStringLiteral(",sx=") + sqlNumber(values.order)
           + QStringLiteral(",status=") + sqlFlag(values.enabled) + QStringLiteral(",xx=") + sqlText(values.description)
           + QStringLiteral(" WHERE id=") + sqlInteger(id);
}

QString deleteCategoryStatement(int id)
{
    return QStringLiteral("DELETE * FROM dd WHERE id=") + sqlInteger(id);
}

QString programmeRowsStatement()
{
    return QStringLiteral("select * from zy order by sx");
}

QString insertProgrammeStatement(const ProgrammeValues& v)
{
    return QStringLiteral("INSERT INTO zy  (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                          "values (0,")
           + sqlInteger(v.categoryServerId) + QLatin1Char(',') + sqlText(v.name) + QLatin1Char(',') + sqlNumber(v.fee)
           + QLatin1Char(',') + sqlNumber(v.quota) + QStringLiteral(",0,") + sqlText(v.deadline) + QLatin1Char(',')
           + sqlText(v.summary) + QLatin1Char(',') + sqlText(v.introduction) + QLatin1Char(',') + sqlNumber(v.order)
           + QLatin1Char(',') + sqlFlag(v.enabled) + QLatin1Char(',') + sqlInteger(v.categoryId) + QLatin1Char(')');
}

QString updateProgrammeStatement(int id, const ProgrammeValues& v)
{
    return QStringLiteral("UPDATE zy SET serplaid=") + sqlInteger(v.categoryServerId) + QStringLiteral(",name=")
           + sqlText(v.name) + QStringLiteral(",xuefei=") + sqlNumber(v.fee) + QStringLiteral(",renshu=")
           + sqlNumber(v.quota) + QStringLiteral(",jzrq=") + sqlText(v.deadline) + QStringLiteral(",yjh=")
           + sqlText(v.summary) + QStringLiteral(",jieshao=") + sqlText(v.introduction) + QStringLiteral(",sx=")
           + sqlNumber(v.order) + QStringLiteral(",status=") + sqlFlag(v.enabled) + QStringLiteral(",ddid=")
           + sqlInteger(v.categoryId) + QStringLiteral(" WHERE id=") + sqlInteger(id);
}

QString deleteProgrammeStatement(int id)
{
    return QStringLiteral("DELETE * FROM zy WHERE id=") + sqlInteger(id);
}
