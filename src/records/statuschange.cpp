#include "records/statuschange.h"

#include "platform/sqlliteral.h"

namespace {

QString idCondition(const char* column, const QVector<int>& ids)
{
    return QStringLiteral(" where %1 in (").arg(QLatin1String(column)) + sqlIdList(ids) + QLatin1Char(')');
}

} // namespace

const QVector<SelectorEntry>& statusEntries()
{
    static const QVector<SelectorEntry> entries{
        {QStringLiteral("不修改状态"), 0},  {QStringLiteral("审核:待审核≡"), 0}, {QStringLiteral("审核:通过√"), 1},
        {QStringLiteral("审核:未通过×"), -1}, {QStringLiteral("缴费:待审核≡"), 0}, {QStringLiteral("缴费:通过√"), 1},
        {QStringLiteral("缴费:未通过×"), -1},
    };
    return entries;
}

QString statusChangeStatement(int position, int code, const QVector<int>& ids)
{
    QString beginning;
    if (position >= 1 && position <= 3)
        beginning = QStringLiteral("update bmb set sh=");
    else if (position >= 4 && position <= 6)
        beginning = QStringLiteral("update bmb set fk=");
    else
        return QString();
    return beginning + sqlInteger(code) + idCondition("id", ids);
}

QString recycleStatement(bool intoRecycleBin, const QVector<int>& ids)
{
    return QStringLiteral("update bmb set status=") + (intoRecycleBin ? QLatin1Char('0') : QLatin1Char('1'))
           + idCondition("id", ids);
}

QString deleteRegistrationsStatement(const QVector<int>& ids)
{
    return QStringLiteral("delete * from bmb") + idCondition("id", ids);
}

QString deleteAttachmentsStatement(const QVector<int>& ids)
{
    return QStringLiteral("delete * from fj") + idCondition("uid", ids);
}
