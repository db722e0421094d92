#include "records/recorddisplay.h"

#include "core/lists.h"
#include "platform/text.h"

namespace {

bool isColumn(const QString& column, const char* name)
{
    return column.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

bool isMultiChoice(const QString& value)
{
    return value.size() >= 2 && value.startsWith(QLatin1Char('^')) && value.endsWith(QLatin1Char('^'));
}

// An id as stored: a number, integer part taken; 0 when it is none. Most are
// plain integers, read without going through a floating-point number.
int storedId(const QString& value)
{
    bool integer = false;
    const int id = value.toInt(&integer);
    return integer ? id : clampToInt(textToNumber(value));
}

} // namespace

QStringList multiChoiceValues(const QString& value)
{
    if (!isMultiChoice(value))
        return {value};
    return value.mid(1, value.size() - 2).split(QStringLiteral("^^"));
}

QString displayValue(const AppState& lists, const QString& column, const QString& value)
{
    if (isColumn(column, "bm1") || isColumn(column, "bm2"))
        return programmeName(lists, storedId(value));
    if (isColumn(column, "bm3")) {
        if (value.isEmpty())
            return QString();
        QStringList names;
        for (const QString& id : multiChoiceValues(value))
            names << programmeName(lists, storedId(id));
        return names.join(QLatin1Char(','));
    }
    if (isColumn(column, "dd"))
        return categoryName(lists, storedId(value));
    if (column.startsWith(QLatin1String("kz"), Qt::CaseInsensitive))
        return multiChoiceValues(value).join(QLatin1Char(','));
    if (isColumn(column, "xb")) {
        if (value == QLatin1String("1"))
            return QStringLiteral("男");
        return value == QLatin1String("2") ? QStringLiteral("女") : QString();
    }
    return value;
}

QString reviewWord(const QString& sh)
{
    if (sh == QLatin1String("1"))
        return QStringLiteral("通过");
    return sh == QLatin1String("-1") ? QStringLiteral("审核未通过") : QStringLiteral("待审核");
}

QString paymentWord(const QString& fk)
{
    if (fk == QLatin1String("1"))
        return QStringLiteral("已缴费");
    return fk == QLatin1String("-1") ? QStringLiteral("审核未通过") : QStringLiteral("待缴费");
}
