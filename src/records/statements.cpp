#include "records/statements.h"

#include "platform/sqlliteral.h"
#include "store/database.h"

#include <QStringList>

QString registrationByIdStatement(int id)
{
    return QStringLiteral("select * from bmb where id=") + sqlInteger(id);
}

QString registrationCategoryStatement(int id)
{
    return QStringLiteral("select dd from bmb where id=") + sqlInteger(id);
}

QString rowFingerprint(const RecordSet& row)
{
    QStringList values;
    const QStringList columns = row.columnNames();
    for (int c = 0; c < columns.size(); ++c)
        values << row.readText(c);
    // A separator no typed value holds.
    return values.join(QChar(0x1f));
}
