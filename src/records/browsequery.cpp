#include "records/browsequery.h"

#include "platform/dates.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"
#include "store/schema.h"

#include <QStringList>

namespace {

bool sameColumn(const QString& column, const char* name)
{
    return column.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

bool isOneOf(const QString& column, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (sameColumn(column, name))
            return true;
    return false;
}

SelectorEntry entry(const char* text, std::optional<int> code = std::nullopt)
{
    return {QString::fromUtf8(text), code};
}

// The entry's 1-based position in the list, when there is one.
template <typename Entry>
const Entry* atPosition(const QVector<Entry>& list, const std::optional<int>& position)
{
    if (!position || *position < 1 || *position > list.size())
        return nullptr;
    return &list.at(*position - 1);
}

bool isComparison(const QString& text)
{
    return text == QLatin1String(">=") || text == QLatin1String("=") || text == QLatin1String("<=");
}


} // namespace

QVector<SelectorEntry> fieldSelectorEntries(const QVector<FormItem>& items)
{
    QVector<SelectorEntry> entries{entry("无", ItemCode::None)};
    for (int i = 0; i < items.size(); ++i)
        entries.push_back({items.at(i).nam, i + 1});
    entries << entry("时间", ItemCode::Time) << entry("审核", ItemCode::Review) << entry("付款", ItemCode::Payment)
            << entry("照片", ItemCode::Photo) << entry("来源", ItemCode::Source);
    return entries;
}

QString columnForItemCode(const QVector<FormItem>& items, int code)
{
    if (code >= 1 && code <= 100)
        return code <= items.size() ? items.at(code - 1).zd : QString();
    switch (code) {
    case ItemCode::Time:
        return QStringLiteral("dtime");
    case ItemCode::Review:
        return QStringLiteral("sh");
    case ItemCode::Payment:
        return QStringLiteral("fk");
    case ItemCode::Photo:
        return QStringLiteral("imgid");
    case ItemCode::Source:
        return QStringLiteral("ly");
    default:
        return QString();
    }
}

ConditionChoices conditionChoicesFor(const QString& column, const AppState& lists)
{
    using Content = ConditionChoices::Content;
    const QVector<SelectorEntry> comparisons{entry(">="), entry("="), entry("<=")};
    if (sameColumn(column, "imgid"))
        return {{entry("有照", 1), entry("无照", 0)}, Content::Hidden};
    if (sameColumn(column, "ly"))
        return {{entry("网上报名", 1), entry("本机录入", 0)}, Content::Hidden};
    if (sameColumn(column, "fk"))
        return {{entry("待付款", 0), entry("已付款", 1), entry("付款审核失败", -1)}, Content::Hidden};
    if (sameColumn(column, "sh"))
        return {{entry("待审核", 0), entry("通过审核", 1), entry("审核未通过", -1)}, Content::Hidden};
    if (sameColumn(column, "dtime"))
        return {comparisons, Content::CurrentTime};
    if (sameColumn(column, "nl"))
        return {comparisons, Content::Kept};
    if (sameColumn(column, "dd")) {
        ConditionChoices choices{{}, Content::Hidden};
        for (int i = 0; i < lists.categoryList.size(); ++i)
            choices.entries.push_back({lists.categoryList.at(i).name, i + 1});
        return choices;
    }
    if (isOneOf(column, {"bm1", "bm2", "bm3"})) {
        ConditionChoices choices{{}, Content::Hidden};
        for (int i = 0; i < lists.programmeList.size(); ++i)
            choices.entries.push_back({lists.programmeList.at(i).name, i + 1});
        return choices;
    }
    if (sameColumn(column, "xb"))
        return {{entry("男", 1), entry("女", 2)}, Content::Hidden};
    return {{entry("包含")}, Content::Kept};
}

std::optional<QString> conditionFragment(const ConditionRow& row, const QVector<FormItem>& items, const AppState& lists)
{
    if (row.fieldPosition <= 0)
        return QString();
    const QString column = columnForItemCode(items, row.fieldCode);
    if (!isRegistrationColumn(column))
        return std::nullopt;

    if (sameColumn(column, "imgid"))
        return column + (row.conditionText == QStringLiteral("有照") ? QStringLiteral("<>0") : QStringLiteral("=0"));
    if (sameColumn(column, "dtime")) {
        if (!isComparison(row.conditionText))
            return std::nullopt;
        return column + row.conditionText + sqlDate(textToDateOrEarliest(row.content));
    }
    if (sameColumn(column, "nl")) {
        const QString age = trimBlanks(row.content);
        if (!isComparison(row.conditionText) || !isPlainNumber(age))
            return std::nullopt;
        return column + row.conditionText + age;
    }
    if (sameColumn(column, "dd")) {
        const Category* category = atPosition(lists.categoryList, row.conditionCode);
        return category ? column + QLatin1Char('=') + sqlInteger(category->id) : QString();
    }
    if (isOneOf(column, {"bm1", "bm2", "bm3"})) {
        const Programme* programme = atPosition(lists.programmeList, row.conditionCode);
        if (!programme)
            return QString();
        if (sameColumn(column, "bm3"))
            return column + QStringLiteral(" like ") + sqlText(QStringLiteral("%[^]%1[^]%").arg(programme->id));
        return column + QLatin1Char('=') + sqlInteger(programme->id);
    }
    if (sameColumn(column, "xb"))
        return column + (row.conditionText == QStringLiteral("男") ? QStringLiteral("=1") : QStringLiteral("=2"));
    if (isOneOf(column, {"sh", "fk", "ly"}))
        return row.conditionCode ? column + QLatin1Char('=') + sqlInteger(*row.conditionCode) : QString();
    // The operator's %, _ and [ stay wildcards; quotes are doubled.
    return column + QStringLiteral(" like ") + sqlText(QLatin1Char('%') + trimBlanks(row.content) + QLatin1Char('%'));
}

std::optional<QString> browseWhere(const QVector<ConditionRow>& rows, bool recycleBin, const QVector<FormItem>& items,
                                   const AppState& lists)
{
    QStringList conditions;
    for (const ConditionRow& row : rows) {
        const std::optional<QString> fragment = conditionFragment(row, items, lists);
        if (!fragment)
            return std::nullopt;
        if (!fragment->isEmpty())
            conditions << *fragment;
    }
    conditions << (recycleBin ? QStringLiteral(" status=0 ") : QStringLiteral(" status=1 "));
    return QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
}

QString columnListOf(const QVector<FormItem>& items)
{
    QStringList columns;
    for (const FormItem& item : items)
        if (isRegistrationColumn(item.zd))
            columns << item.zd;
    return columns.join(QLatin1Char(','));
}

QString browseQuery(const QString& columnList, const QString& where)
{
    // Without form items the list still shows the fixed columns.
    const QString items = columnList.isEmpty() ? QString() : columnList + QLatin1Char(',');
    return QStringLiteral("select  id,") + items + QStringLiteral("dtime,sh,fk from bmb ") + where
           + QStringLiteral(" order by dtime desc");
}

QString pageInfoText(int currentPage, int pageCount, int recordCount)
{
    return QStringLiteral("%1/%2  Tol:%3").arg(qMax(currentPage, 0)).arg(pageCount).arg(recordCount);
}

int pageSizeFromText(const QString& text)
{
    const int size = clampToInt(textToNumber(text));
    return size >= 1 ? size : defaultPageSize;
}
