#include "records/statements.h"

#include "platform/sqlliteral.h"

QString registrationByIdStatement(int id)
{
    return QStringLiteral("select * from bmb where id=") + sqlInteger(id);
}

QString registrationCategoryStatement(int id)
{
    return QStringLiteral("select dd from bmb where id=") + sqlInteger(id);
}
