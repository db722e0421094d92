#include "platform/sqlliteral.h"

#include "platform/dates.h"
#include "platform/text.h"

#include <QStringList>

QString sqlText(const QString& value)
{
    return QLatin1Char('\'') + quoteForSql(value) + QLatin1Char('\'');
}

QString sqlInteger(qint64 value)
{
    return QString::number(value);
}

QString sqlFlag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString sqlNumber(double value)
{
    return numberToText(value);
}

QString sqlDate(const QDateTime& moment)
{
    return QLatin1Char('#') + isoDateText(moment) + QLatin1Char('#');
}

QString sqlIdList(const QVector<int>& ids)
{
    QStringList texts;
    texts.reserve(ids.size());
    for (int id : ids)
        texts << QString::number(id);
    return texts.join(QLatin1Char(','));
}
