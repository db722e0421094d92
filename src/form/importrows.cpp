#include "form/importrows.h"

#include "form/formlayout.h"
#include "platform/dates.h"
#include "platform/files.h"
#include "platform/messagestyle.h"
#include "platform/text.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

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

// The time of a cell: a spreadsheet's day number or a date text.
std::optional<QDateTime> cellTime(const QString& text, bool date1904)
{
    if (isPlainNumber(text))
        return spreadsheetDayTime(textToNumber(text), date1904);
    return textToDate(text);
}

// The earliest and latest time a registration can have.
QDateTime earliestRegistrationTime()
{
    return QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC);
}

QDateTime latestRegistrationTime(const QDateTime& now)
{
    return QDateTime(now.date().addYears(1), now.time(), Qt::UTC);
}

bool isPossibleRegistrationTime(const QDateTime& time, const QDateTime& now)
{
    const QDateTime wallClock(time.date(), time.time(), Qt::UTC);
    return wallClock >= earliestRegistrationTime() && wallClock <= latestRegistrationTime(now);
}

constexpr double oldestAge = 150;

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
        const double age = textToNumber(text);
        if (!(age >= 0 && age <= oldestAge)) {
            *problem = item.nam + QStringLiteral("不可能是%1（应在0到%2之间）").arg(text).arg(oldestAge);
            return {};
        }
        return age;
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
        // A NUL would end the text in many a program, and no statement takes it.
        if (cell.contains(QChar(0))) {
            row.problem = QStringLiteral("第%1列含有空字符（NUL）").arg(c + 1);
        } else if (column == QLatin1String("dtime")) {
            if (cell.isEmpty())
                continue;
            const auto time = cellTime(cell, context.date1904);
            if (!time)
                row.problem = QStringLiteral("时间无法识别：") + cell;
            else if (!isPossibleRegistrationTime(*time, context.now))
                row.problem = QStringLiteral("时间不可能：%1（应在%2到%3之间）")
                                  .arg(cell, dateToText(earliestRegistrationTime()),
                                       dateToText(latestRegistrationTime(context.now)));
            else
                registration.time = *time;
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

namespace {

quint64 keyDigest(const QString& key)
{
    return quint64(qHash(key, size_t(0x9e3779b97f4a7c15ULL)));
}

} // namespace

bool markImportDuplicates(QVector<ImportRow>& rows, const QVector<FormItem>& items, const StoredDuplicateLookup& stored,
                          ImportFileKeys& seen)
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

    for (int r = 0; r < rows.size(); ++r) {
        ImportRow& row = rows[r];
        if (!row.problem.isEmpty())
            continue;
        QVector<quint64> keys;
        for (const QString& key : duplicateKeys(items, row.registration))
            keys << keyDigest(key);
        for (const quint64 key : keys)
            if (const auto earlier = seen.constFind(key); earlier != seen.constEnd()) {
                row.problem = QStringLiteral("与第%1行重复").arg(*earlier);
                break;
            }
        if (row.problem.isEmpty() && storedDuplicate.at(r))
            row.problem = QStringLiteral("与第%1号报名重复").arg(storedDuplicate.at(r)->id);
        if (row.problem.isEmpty())
            for (const quint64 key : keys)
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

QString skippedFilePath(const QString& sourcePath, int n)
{
    const QFileInfo source(sourcePath);
    const QString suffix = n > 1 ? QStringLiteral("_未导入(%1).csv").arg(n) : QStringLiteral("_未导入.csv");
    return source.dir().filePath(source.completeBaseName() + suffix);
}

namespace {

// The rows of a file in batches, from the thread that reads and converts
// them to the one that stores them; at most two wait, so memory stays
// proportional to a batch whatever the size of the file.
struct ImportBatch {
    QVector<ImportRow> rows;
    qint64 done = 0;
    qint64 total = 0;
    bool last = false;
    QString error;
};

class BatchQueue {
public:
    void put(ImportBatch batch)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return stopped || batches.size() < 2; });
        if (stopped)
            return;
        batches.push_back(std::move(batch));
        changed.notify_all();
    }
    // The next batch, waiting at most `wait`; false when none came.
    bool take(ImportBatch& batch, std::chrono::milliseconds wait)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!changed.wait_for(lock, wait, [this] { return !batches.empty(); }))
            return false;
        batch = std::move(batches.front());
        batches.pop_front();
        changed.notify_all();
        return true;
    }
    void stop()
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
        changed.notify_all();
    }
    bool isStopped()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return stopped;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<ImportBatch> batches;
    bool stopped = false;
};

// Reads the file after its header row, converts each row and hands them on.
void readAndConvert(const ImportRequest& request, BatchQueue& queue)
{
    ImportFileReader reader(request.path, request.encoding, request.limits);
    ImportContext context = request.context;
    ImportBatch batch;
    ImportLine line;
    bool header = true;
    while (!queue.isStopped() && reader.next(line)) {
        if (header) {
            header = false;
            context.date1904 = reader.date1904();
            continue;
        }
        batch.rows << convertImportRow(context, request.columns, line.cells, line.line);
        if (batch.rows.size() == importBatchRows) {
            batch.done = reader.bytesRead();
            batch.total = reader.bytesTotal();
            queue.put(std::exchange(batch, {}));
        }
    }
    batch.done = reader.bytesRead();
    batch.total = reader.bytesTotal();
    batch.error = reader.error();
    batch.last = true;
    queue.put(std::move(batch));
}

// The file of skipped rows: made new at the first skipped row, under the
// first name nothing has (no existing file, no link), and removed again when
// the import stores nothing.
class SkippedRowsFile {
public:
    SkippedRowsFile(const QString& sourcePath, const QStringList& header)
        : sourcePath(sourcePath), headerWidth(int(header.size())), header(header)
    {
    }
    ~SkippedRowsFile()
    {
        if (!kept && file.isOpen()) {
            file.close();
            QFile::remove(createdPath);
        }
    }

    // The row as read, padded to the header, its reason after it, then any
    // cells it has beyond the header.
    bool write(const ImportRow& row, QString* error)
    {
        if (!file.isOpen() && !create(error))
            return false;
        QStringList cells = row.cells.mid(0, headerWidth);
        while (cells.size() < headerWidth)
            cells << QString();
        cells << row.problem << row.cells.mid(headerWidth);
        return put(csvRow(cells), error);
    }
    bool flush(QString* error) { return !file.isOpen() || file.flush() || fail(error); }
    // The rows are stored: the file stays.
    void keep() { kept = true; }
    // The file made, or the name last tried.
    QString path() const { return createdPath; }

private:
    bool create(QString* error)
    {
        bool exists = true;
        for (int n = 1; exists && n <= 100; ++n) {
            createdPath = skippedFilePath(sourcePath, n);
            if (createNewFile(file, createdPath, &exists, error))
                return put(QByteArray(csvByteOrderMark) + csvRow(QStringList(header) << QStringLiteral("未导入原因")), error);
        }
        if (exists && error)
            *error = QStringLiteral("同名的文件已有100个");
        return false;
    }
    bool put(const QByteArray& bytes, QString* error)
    {
        return file.write(bytes) == bytes.size() || fail(error);
    }
    bool fail(QString* error)
    {
        if (error)
            *error = file.errorString();
        return false;
    }

    const QString sourcePath;
    const int headerWidth;
    const QStringList header;
    QFile file;
    QString createdPath;
    bool kept = false;
};

} // namespace

ImportOutcome importRegistrations(AppState& state, const ImportRequest& request,
                                  const std::function<bool(const ImportProgress&)>& keepGoing)
{
    ImportOutcome outcome;
    ImportProgress progress;
    if (!keepGoing(progress)) {
        outcome.result = ImportOutcome::Result::Cancelled;
        return outcome;
    }
    if (!state.db.connection->beginTransaction()) {
        state.showMessage(state.db.lastErrorForOperator(), MessageStyle::Error);
        return outcome;
    }
    BatchQueue queue;
    std::thread reading(readAndConvert, std::cref(request), std::ref(queue));
    SkippedRowsFile skippedRows(request.path, request.header);
    ImportFileKeys seen;
    const QVector<FormItem>& items = request.context.items;
    const StoredDuplicateLookup lookup = [&state, &items](const QVector<Registration>& registrations,
                                                          QVector<std::optional<LikelyDuplicate>>& found) {
        return findLikelyDuplicates(state, items, registrations, found);
    };

    // One batch checked, stored and its skipped rows written; false ends the import.
    const auto storeBatch = [&](ImportBatch& batch) {
        if (!batch.error.isEmpty()) {
            outcome.error = batch.error;
            return false;
        }
        if (!request.allowDuplicates && !markImportDuplicates(batch.rows, items, lookup, seen))
            return false;
        QVector<Registration> registrations;
        for (const ImportRow& row : batch.rows) {
            if (row.problem.isEmpty()) {
                registrations << row.registration;
                continue;
            }
            QString error;
            if (!skippedRows.write(row, &error)) {
                outcome.error = QStringLiteral("未导入的行无法写入 ") + QDir::toNativeSeparators(skippedRows.path())
                                + QStringLiteral("：") + error;
                return false;
            }
            ++progress.skipped;
        }
        for (const RegistrationsInsert& insert : registrationInserts(items, registrations, importRowsPerStatement)) {
            if (!executeReported(state, insert.sql))
                return false;
            progress.stored += insert.rows;
        }
        progress.done = batch.done;
        progress.total = batch.total;
        return true;
    };

    bool finished = false;
    bool going = true;
    while (going && !finished) {
        ImportBatch batch;
        if (queue.take(batch, std::chrono::milliseconds(50))) {
            going = storeBatch(batch);
            finished = batch.last;
            if (!going)
                break;
        }
        if (!keepGoing(progress)) {
            outcome.result = ImportOutcome::Result::Cancelled;
            going = false;
        }
    }
    queue.stop();
    reading.join();

    if (going) {
        QString error;
        if (!skippedRows.flush(&error)) {
            outcome.error = QStringLiteral("未导入的行无法写入 ") + QDir::toNativeSeparators(skippedRows.path())
                            + QStringLiteral("：") + error;
        } else if (!state.db.connection->commitTransaction()) {
            state.showMessage(state.db.lastErrorForOperator(), MessageStyle::Error);
        } else {
            skippedRows.keep();
            outcome.result = ImportOutcome::Result::Stored;
            outcome.stored = progress.stored;
            outcome.skipped = progress.skipped;
            outcome.skippedPath = progress.skipped > 0 ? skippedRows.path() : QString();
            return outcome;
        }
    }
    state.db.connection->rollbackTransaction();
    return outcome;
}
