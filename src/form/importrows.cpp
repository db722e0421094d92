#include "form/importrows.h"

#include "form/formlayout.h"
#include "platform/dates.h"
#include "platform/messagestyle.h"
#include "platform/text.h"
#include "store/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// Rows stored by one INSERT: a statement each would cost a round of
// rewriting, preparing and locking per row.
constexpr int importRowsPerStatement = 100;

const char* const stateColumns[3][2] = {{"dtime", "时间"}, {"sh", "审核状态"}, {"fk", "付款状态"}};

// Several choices in one cell, separated as spreadsheets are typed.
QStringList splitChoices(const QString& cell)
{
    static const QRegularExpression separators(QStringLiteral("[;；、,]"));
    QStringList choices;
    for (const QString& part : cell.split(separators))
        if (const QString choice = trimBlanks(part); !choice.isEmpty())
            choices << choice;
    return choices;
}

// A state text or its code; nothing when it is neither.
std::optional<int> stateCode(const QString& column, const QString& text)
{
    if (text == QLatin1String("0") || text == QLatin1String("1") || text == QLatin1String("-1"))
        return text.toInt();
    const bool review = column == QLatin1String("sh");
    const QStringList waiting = review ? QStringList{QStringLiteral("待审核"), QStringLiteral("请选审核状态"), QStringLiteral("未审核")}
                                       : QStringList{QStringLiteral("待缴费"), QStringLiteral("请选缴费状态"), QStringLiteral("未缴费")};
    const QStringList done = review ? QStringList{QStringLiteral("通过"), QStringLiteral("审核通过"), QStringLiteral("已审核")}
                                    : QStringList{QStringLiteral("已缴费")};
    if (waiting.contains(text))
        return 0;
    if (done.contains(text))
        return 1;
    if (text == QStringLiteral("审核未通过") || text == QStringLiteral("未通过"))
        return -1;
    return std::nullopt;
}

// The time of a cell: a spreadsheet's day number (days since 1899-12-30,
// the fraction the time of day) or a date text.
std::optional<QDateTime> cellTime(const QString& text)
{
    if (isPlainNumber(text)) {
        const double days = textToNumber(text);
        if (days < 1 || days > 2958465)
            return std::nullopt;
        return zeroDate().addSecs(qint64(std::llround(days * 86400.0)));
    }
    return textToDate(text);
}

// An item's value from its cell; a problem text when the cell cannot be one.
ItemValue cellValue(const ImportContext& context, const FormItem& item, const QString& cell, QString* problem)
{
    const QString text = trimBlanks(cell);
    const QStringList options = item.val.isEmpty() ? QStringList() : item.val.split(QStringLiteral("||"));
    auto programmeIds = [&](const QString& name) -> std::optional<ChosenId> {
        for (const Programme& programme : context.programmes)
            if (programme.status > 0 && programme.name == name)
                return ChosenId{programme.id, programme.serverId};
        *problem = QStringLiteral("未知的报名项目：") + name;
        return std::nullopt;
    };
    auto offered = [&](const QString& choice) {
        if (options.contains(choice))
            return true;
        *problem = item.nam + QStringLiteral("没有这个选项：") + choice;
        return false;
    };

    if (item.zd == QLatin1String("xb")) {
        if (text.isEmpty())
            return 0;
        if (text == QStringLiteral("男") || text == QLatin1String("1"))
            return 1;
        if (text == QStringLiteral("女") || text == QLatin1String("2"))
            return 2;
        *problem = item.nam + QStringLiteral("只能是男或女：") + text;
        return {};
    }
    if (item.zd == QLatin1String("nl") && (item.lx == ItemType::Text || item.lx == ItemType::MultiLineText)) {
        if (text.isEmpty())
            return {};
        if (!isPlainNumber(text)) {
            *problem = item.nam + QStringLiteral("不是数字：") + text;
            return {};
        }
        return textToNumber(text);
    }
    if (item.zd == QLatin1String("dd")) {
        if (text.isEmpty())
            return {};
        if (text == QStringLiteral("全部"))
            return QVector<ChosenId>{ChosenId()};
        for (const Category& category : context.categories)
            if (category.status > 0 && category.name == text)
                return QVector<ChosenId>{{category.id, category.serverId}};
        *problem = QStringLiteral("未知的报名分类：") + text;
        return {};
    }
    if (isProgrammeColumn(item.zd)) {
        QVector<ChosenId> chosen;
        const QStringList names = item.lx == ItemType::Check ? splitChoices(text) : QStringList{text};
        for (const QString& name : names) {
            if (name.isEmpty())
                continue;
            const auto ids = programmeIds(name);
            if (!ids)
                return {};
            chosen << *ids;
        }
        if (chosen.isEmpty() && item.lx != ItemType::Check)
            return {};
        return chosen;
    }
    switch (item.lx) {
    case ItemType::Radio:
        if (text.isEmpty() || !offered(text))
            return {};
        return text;
    case ItemType::Check: {
        const QStringList chosen = splitChoices(text);
        for (const QString& choice : chosen)
            if (!offered(choice))
                return {};
        return chosen;
    }
    case ItemType::List:
        if (text.isEmpty())
            return {};
        if (!options.isEmpty() && !offered(text))
            return {};
        return text;
    default:
        return text;
    }
}

QString unquoted(const QString& literal)
{
    if (literal.size() >= 2 && literal.startsWith(QLatin1Char('\'')) && literal.endsWith(QLatin1Char('\'')))
        return literal.mid(1, literal.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    return literal;
}

} // namespace

QVector<ImportTarget> importTargets(const QVector<FormItem>& items)
{
    QVector<ImportTarget> targets;
    for (const FormItem& item : items)
        if (isRegistrationColumn(item.zd))
            targets.push_back({item.zd, item.nam});
    for (const auto& state : stateColumns)
        targets.push_back({QString::fromLatin1(state[0]), QString::fromUtf8(state[1])});
    return targets;
}

QStringList matchImportColumns(const QStringList& headers, const QVector<FormItem>& items)
{
    const QVector<ImportTarget> targets = importTargets(items);
    QStringList matches;
    QStringList taken;
    for (const QString& header : headers) {
        const QString name = trimBlanks(header);
        QString match;
        for (const ImportTarget& target : targets) {
            const bool named = name.compare(target.caption, Qt::CaseInsensitive) == 0
                               || name.compare(target.column, Qt::CaseInsensitive) == 0;
            if (named && !taken.contains(target.column)) {
                match = target.column;
                taken << match;
                break;
            }
        }
        matches << match;
    }
    return matches;
}

ImportRow convertImportRow(const ImportContext& context, const QStringList& columns, const QStringList& cells, int line)
{
    ImportRow row;
    row.line = line;
    row.cells = cells;
    Registration& registration = row.registration;
    setNewRegistrationStates(registration, context.states, context.now);
    // Items the file gives no column hold what an untouched control holds.
    for (const FormItem& item : context.items)
        registration.values.insert(item.zd, cellValue(context, item, QString(), &row.problem));

    for (int c = 0; c < columns.size() && row.problem.isEmpty(); ++c) {
        const QString& column = columns.at(c);
        const QString cell = trimBlanks(cells.value(c));
        if (column.isEmpty())
            continue;
        if (column == QLatin1String("dtime")) {
            if (cell.isEmpty())
                continue;
            if (const auto time = cellTime(cell))
                registration.time = *time;
            else
                row.problem = QStringLiteral("时间无法识别：") + cell;
        } else if (column == QLatin1String("sh") || column == QLatin1String("fk")) {
            if (cell.isEmpty())
                continue;
            if (const auto code = stateCode(column, cell))
                (column == QLatin1String("sh") ? registration.review : registration.payment) = *code;
            else
                row.problem = (column == QLatin1String("sh") ? QStringLiteral("审核状态无法识别：")
                                                             : QStringLiteral("付款状态无法识别："))
                              + cell;
        } else {
            for (const FormItem& item : context.items)
                if (item.zd == column)
                    registration.values.insert(column, cellValue(context, item, cell, &row.problem));
        }
    }
    if (row.problem.isEmpty())
        if (const auto missing = checkRequired(context.items, registration))
            row.problem = missing->message;
    return row;
}

bool markImportDuplicates(QVector<ImportRow>& rows, const QVector<FormItem>& items, const StoredDuplicateLookup& stored)
{
    // The stored registrations are looked up together first, for every row
    // that may still be stored; a row that repeats an earlier one of the file
    // is marked as such all the same.
    QVector<int> asked;
    QVector<Registration> registrations;
    for (int r = 0; r < rows.size(); ++r)
        if (rows.at(r).problem.isEmpty() && !duplicateKeys(items, rows.at(r).registration).isEmpty()) {
            asked << r;
            registrations << rows.at(r).registration;
        }
    QVector<std::optional<LikelyDuplicate>> found;
    if (!registrations.isEmpty() && !stored(registrations, found))
        return false;
    QVector<std::optional<LikelyDuplicate>> storedDuplicate(rows.size());
    for (int k = 0; k < asked.size(); ++k)
        storedDuplicate[asked.at(k)] = found.value(k);

    QHash<QString, int> seen;  // key -> row in the file
    for (int r = 0; r < rows.size(); ++r) {
        ImportRow& row = rows[r];
        if (!row.problem.isEmpty())
            continue;
        const QStringList keys = duplicateKeys(items, row.registration);
        for (const QString& key : keys)
            if (const auto earlier = seen.constFind(key); earlier != seen.constEnd()) {
                row.problem = QStringLiteral("与第%1行重复").arg(*earlier);
                break;
            }
        if (row.problem.isEmpty() && storedDuplicate.at(r))
            row.problem = QStringLiteral("与第%1号报名重复").arg(storedDuplicate.at(r)->id);
        if (row.problem.isEmpty())
            for (const QString& key : keys)
                seen.insert(key, row.line);
    }
    return true;
}

QStringList storedValuesOf(const QVector<FormItem>& items, const Registration& registration)
{
    QStringList values;
    for (const FormItem& item : items) {
        if (!isRegistrationColumn(item.zd))
            continue;
        QStringList parts;
        for (const ColumnValue& pair : registrationColumns({item}, registration))
            parts << unquoted(pair.value);
        values << parts.join(QStringLiteral(" / "));
    }
    values << isoDateText(registration.time) << QString::number(registration.review)
           << QString::number(registration.payment);
    return values;
}

QString importSummary(int stored, int skipped)
{
    return QStringLiteral("导入 %1 条，跳过 %2 条").arg(stored).arg(skipped);
}

QString skippedFilePath(const QString& sourcePath)
{
    const QFileInfo source(sourcePath);
    return source.dir().filePath(source.completeBaseName() + QStringLiteral("_未导入.csv"));
}

QVector<QStringList> skippedFileRows(const QStringList& header, const QVector<ImportRow>& rows, int* columns)
{
    int width = int(header.size());
    for (const ImportRow& row : rows)
        width = qMax(width, int(row.cells.size()));
    auto padded = [width](QStringList cells) {
        while (cells.size() < width)
            cells << QString();
        return cells;
    };
    QVector<QStringList> out{padded(header) << QStringLiteral("未导入原因")};
    for (const ImportRow& row : rows)
        if (!row.problem.isEmpty())
            out << (padded(row.cells) << row.problem);
    *columns = width + 1;
    return out;
}

bool storeImportedRows(AppState& state, const QVector<FormItem>& items, const QVector<ImportRow>& rows,
                       const std::function<void(int stored)>& afterRow)
{
    QVector<Registration> registrations;
    for (const ImportRow& row : rows)
        if (row.problem.isEmpty())
            registrations << row.registration;
    if (!state.db.connection->beginTransaction()) {
        state.showMessage(state.db.lastErrorForOperator(), MessageStyle::Error);
        return false;
    }
    int stored = 0;
    for (const RegistrationsInsert& insert : registrationInserts(items, registrations, importRowsPerStatement)) {
        if (!executeReported(state, insert.sql)) {
            state.db.connection->rollbackTransaction();
            return false;
        }
        if (afterRow)
            for (int r = 0; r < insert.rows; ++r)
                afterRow(++stored);
    }
    if (!state.db.connection->commitTransaction()) {
        state.showMessage(state.db.lastErrorForOperator(), MessageStyle::Error);
        state.db.connection->rollbackTransaction();
        return false;
    }
    return true;
}
