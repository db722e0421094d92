#include "form/statements.h"

#include "platform/sqlliteral.h"
#include "platform/text.h"

std::optional<QString> updateStyleStatement(const StyleRowChanges& row)
{
    if (!isPlainNumber(row.order))
        return std::nullopt;
    return QStringLiteral("UPDATE style SET nam=") + sqlText(row.nam) + QStringLiteral(",lx=") + sqlInteger(row.lx)
           + QStringLiteral(",val=") + sqlText(row.val) + QStringLiteral(",bt=") + sqlFlag(row.required)
           + QStringLiteral(",yz=") + sqlText(row.yz) + QStringLiteral(",sx=") + trimBlanks(row.order)
           + QStringLiteral(",ts=") + sqlText(row.ts) + QStringLiteral(",status=") + sqlFlag(row.enabled)
           + QStringLiteral(" where id=") + sqlInteger(row.id);
}

QString enableStyleStatement(int id)
{
    return QStringLiteral("UPDATE style SET status=1 where id=") + sqlInteger(id);
}

QString styleRowsStatement()
{
    return QStringLiteral("select * from style order by sx");
}

QString unusedStyleItemsStatement()
{
    return QStringLiteral("select id,zd,nam from style where status=0");
}

QString multiLocationStatement(bool enabled)
{
    return QStringLiteral("UPDATE xx SET dd=") + sqlFlag(enabled);
}
