#include "records/statistics.h"

#include "platform/sqlengine.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"
#include "store/schema.h"

#include <vector>

namespace {

const QString choiceSeparator = QStringLiteral("||");

bool isChoiceExtension(const FormItem& item)
{
    return item.zd.startsWith(QLatin1String("kz"), Qt::CaseInsensitive) && item.val.contains(choiceSeparator);
}

bool isCountable(const FormItem& item)
{
    const QString column = item.zd.toLower();
    const bool offered = column == QLatin1String("xb") || column == QLatin1String("nl") || column == QLatin1String("dd")
                         || column.startsWith(QLatin1String("bm")) || isChoiceExtension(item);
    // A column name from the form's definition enters statements only when
    // bmb has it.
    return offered && isRegistrationColumn(item.zd);
}

template <typename Entry>
QVector<StatisticsCategory> categoriesOf(const QVector<Entry>& list)
{
    QVector<StatisticsCategory> categories;
    for (const Entry& entry : list)
        categories.push_back({entry.name, QString::number(entry.id)});
    return categories;
}

} // namespace

QVector<StatisticsItem> statisticsItems(const QVector<FormItem>& items)
{
    QVector<StatisticsItem> offered;
    for (int position = 0; position < items.size(); ++position) {
        const FormItem& item = items[position];
        if (!isCountable(item))
            continue;
        QString text = item.nam;
        if (item.lx == ItemType::Check)
            text += QStringLiteral("(多选)");
        offered.push_back({text, position + 1});
    }
    offered.push_back({QStringLiteral("审核"), ItemCode::Review});
    offered.push_back({QStringLiteral("付款"), ItemCode::Payment});
    return offered;
}

bool isMultiChoiceCode(const QVector<FormItem>& items, int code)
{
    return code >= 1 && code <= items.size() && items[code - 1].lx == ItemType::Check;
}

QVector<StatisticsCategory> statisticsCategories(const QString& column, const QString& presetValues,
                                                 const AppState& lists)
{
    const QString name = column.toLower();
    QVector<StatisticsCategory> categories;
    if (name == QLatin1String("nl")) {
        for (int age = 1; age <= 100; ++age)
            categories.push_back({QString::number(age), QString::number(age)});
    } else if (name == QLatin1String("dd")) {
        categories = categoriesOf(lists.categoryList);
    } else if (name == QLatin1String("bm1") || name == QLatin1String("bm2") || name == QLatin1String("bm3")) {
        categories = categoriesOf(lists.programmeList);
    } else if (name == QLatin1String("xb")) {
        categories = {{QStringLiteral("男"), QStringLiteral("1")}, {QStringLiteral("女"), QStringLiteral("2")}};
    } else if (name == QLatin1String("sh") || name == QLatin1String("fk")) {
        categories = {{QStringLiteral("待审核"), QStringLiteral("0")},
                      {QStringLiteral("审核通过"), QStringLiteral("1")},
                      {QStringLiteral("未通过"), QStringLiteral("-1")}};
    } else if (name.startsWith(QLatin1String("kz"))) {
        for (const QString& choice : presetValues.split(choiceSeparator))
            categories.push_back({choice, choice});
    }
    return categories;
}

std::optional<QString> statisticsStatement(const QString& column, const QVector<StatisticsCategory>& categories,
                                           bool multiChoice, const std::optional<QString>& filter)
{
    if (categories.isEmpty())
        return std::nullopt;
    // A value holding several choices counts under each of them: the few
    // distinct values are matched after one pass over the values
    // (countCategories), rather than every value against every choice.
    if (multiChoice)
        return QStringLiteral("select ") + column + QStringLiteral(" from bmb") + filter.value_or(QString());
    // The registrations are grouped by their value in one pass; each
    // category adds up the groups it matches.
    const QString groups = QStringLiteral("select ") + column + QStringLiteral(",count(*) as n from bmb")
                           + filter.value_or(QString()) + QStringLiteral(" group by ") + column;
    const bool textColumn = column.startsWith(QLatin1String("kz"), Qt::CaseInsensitive);
    QStringList sums;
    for (const StatisticsCategory& category : categories) {
        QString match;
        if (textColumn) {
            match = column + QLatin1Char('=') + sqlText(category.value);
        } else if (isPlainNumber(category.value)) {
            match = column + QLatin1Char('=') + category.value;
        } else {
            return std::nullopt;
        }
        sums << QStringLiteral("sum(case when ") + match + QStringLiteral(" then n else 0 end)");
    }
    return QStringLiteral("select ") + sums.join(QLatin1Char(',')) + QStringLiteral(" from (") + groups
           + QStringLiteral(") as g");
}

bool countCategories(AppState& state, QVector<StatisticsCategory>& categories, const QString& statement,
                     bool multiChoice, const std::function<void(const QString& error)>& onFailure)
{
    for (StatisticsCategory& category : categories)
        category.count = 0;
    std::vector<std::pair<QString, qint64>> values;
    const bool counted = multiChoice ? state.db.connection && state.db.connection->countByValue(statement, values)
                                     : state.db.execute(statement);
    if (!counted) {
        if (onFailure)
            onFailure(state.db.lastErrorForOperator());
        return false;
    }
    if (!multiChoice) {
        RecordSet& result = state.db.shared();
        if (!result.atEnd())
            for (int i = 0; i < categories.size(); ++i)
                categories[i].count = result.readInteger(i);
        return true;
    }
    // One choice as a whole caret-delimited element, as LIKE '%[^]choice[^]%'
    // finds it ([^] is a literal caret); NULL holds no choice.
    std::vector<sqlengine::JetLikePattern> choices;
    choices.reserve(size_t(categories.size()));
    for (const StatisticsCategory& category : categories)
        choices.emplace_back(QStringLiteral("%[^]") + category.value + QStringLiteral("[^]%"));
    for (const auto& [value, n] : values)
        if (!value.isNull())
            for (int i = 0; i < categories.size(); ++i)
                if (choices[size_t(i)].matches(value))
                    categories[i].count += int(n);
    return true;
}

QColor sliceColour(int slice)
{
    static const QColor colours[9] = {{0, 0, 128},   {255, 255, 0}, {144, 0, 255}, {128, 0, 0},    {128, 128, 128},
                                      {255, 0, 0},   {255, 0, 255}, {255, 128, 0}, {255, 255, 255}};
    int k = slice % 10;
    if (k <= 0)
        k = 1;
    return colours[k - 1];
}

double chartScaleMaximum(const QVector<ChartValue>& values, double start)
{
    double maximum = start;
    for (const ChartValue& entry : values)
        if (entry.value > maximum)
            maximum = entry.value;
    return maximum;
}
