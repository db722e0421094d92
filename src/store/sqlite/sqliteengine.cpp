#include "store/sqlite/sqliteengine.h"

#include "platform/dates.h"
#include "platform/text.h"
#include "store/sqliteschema.h"
#include "store/textindex.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <string>
#include <unordered_map>

namespace store {

namespace {

// How long a statement waits for a file another program holds.
constexpr int busyTimeoutMs = 2000;

ErrorKind kindOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return ErrorKind::None;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ErrorKind::Busy;
    case SQLITE_FULL:
        return ErrorKind::DiskFull;
    case SQLITE_READONLY:
        return ErrorKind::ReadOnly;
    case SQLITE_PERM:
        return ErrorKind::NoPermission;
    case SQLITE_IOERR:
        return ErrorKind::DiskError;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return ErrorKind::Damaged;
    case SQLITE_CANTOPEN:
        return ErrorKind::Unreachable;
    case SQLITE_NOMEM:
        return ErrorKind::OutOfMemory;
    default:
        return ErrorKind::Other;
    }
}

sqlite3_stmt* prepareText(sqlite3* db, const QString& sql, unsigned flags = 0)
{
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db, utf8.constData(), int(utf8.size()), flags, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return stmt;
}

// Copies the current row of a stepped statement.
void copyRow(sqlite3_stmt* stmt, int columns, Row& row)
{
    row.clear(size_t(columns));
    for (int i = 0; i < columns; ++i) {
        Cell& cell = row.cells[size_t(i)];
        switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_INTEGER:
            cell.type = CellType::Integer;
            cell.integer = sqlite3_column_int64(stmt, i);
            break;
        case SQLITE_FLOAT:
            cell.type = CellType::Number;
            cell.number = sqlite3_column_double(stmt, i);
            break;
        case SQLITE_TEXT: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            row.setText(size_t(i), text, sqlite3_column_bytes(stmt, i));
            break;
        }
        case SQLITE_BLOB: {
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, i));
            row.setText(size_t(i), bytes, sqlite3_column_bytes(stmt, i), CellType::Bytes);
            break;
        }
        default:
            break;
        }
    }
}

Columns columnsOf(sqlite3_stmt* stmt)
{
    Columns columns;
    const int n = sqlite3_column_count(stmt);
    columns.isDate.assign(size_t(n), false);
    for (int i = 0; i < n; ++i) {
        columns.names << QString::fromUtf8(sqlite3_column_name(stmt, i));
        columns.isDate[size_t(i)] = isDateTimeDeclaration(sqlite3_column_decltype(stmt, i));
    }
    return columns;
}

bool bindVariant(sqlite3_stmt* stmt, int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return sqlite3_bind_null(stmt, index) == SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return sqlite3_bind_int64(stmt, index, value.toLongLong()) == SQLITE_OK;
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(stmt, index, value.toDouble()) == SQLITE_OK;
    case QMetaType::QDateTime: {
        const QByteArray text = isoDateText(value.toDateTime()).toUtf8();
        return sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    case QMetaType::QDate: {
        const QByteArray text = isoDateText(QDateTime(value.toDate(), QTime(0, 0))).toUtf8();
        return sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob(stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    }
}

} // namespace

class SqliteRowReader : public RowReader {
public:
    SqliteRowReader(SqliteEngine& engine, sqlite3_stmt* stmt) : engine(engine), stmt(stmt), cols(columnsOf(stmt)) {}
    ~SqliteRowReader() override { sqlite3_finalize(stmt); }
    const Columns& columns() const override { return cols; }
    Result read(qint64 id, const std::vector<qint64>&, Row& row) override
    {
        sqlite3_reset(stmt);
        sqlite3_bind_int64(stmt, 1, id);
        const int rc = sqlite3_step(stmt);
        Result result = Result::Failed;
        if (rc == SQLITE_ROW) {
            copyRow(stmt, int(cols.names.size()), row);
            result = Result::Found;
        } else if (rc == SQLITE_DONE) {
            result = Result::Missing;
        } else {
            engine.fail();
        }
        sqlite3_reset(stmt);
        return result;
    }

private:
    SqliteEngine& engine;
    sqlite3_stmt* stmt;
    Columns cols;
};

SqliteEngine::~SqliteEngine()
{
    sqlite3_close_v2(db);
}

std::unique_ptr<SqliteEngine> SqliteEngine::open(const QString& path, QString& error, ErrorKind& kind)
{
    if (sqlite3_initialize() != SQLITE_OK) {
        error = QStringLiteral("SQLite cannot start");
        kind = ErrorKind::Other;
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    auto refuse = [&](const QString& text, int code) {
        error = text + QStringLiteral(": ") + path;
        kind = kindOf(code);
        sqlite3_close_v2(db);
        return nullptr;
    };
    if (rc != SQLITE_OK)
        return refuse(db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc)), rc);
    // Before the first read: a file another program holds for a moment is
    // waited for rather than failing at once with "database is locked".
    sqlite3_busy_timeout(db, busyTimeoutMs);
    // SQLite takes an empty file for an empty database; here it is none.
    if (QFileInfo(path).size() == 0)
        return refuse(QString::fromUtf8(sqlite3_errstr(SQLITE_NOTADB)), SQLITE_NOTADB);
    // Reading the schema shows whether the file really is a database.
    sqlite3_stmt* check = prepareText(db, QStringLiteral("select count(*) from sqlite_master"));
    const int checked = check ? sqlite3_step(check) : SQLITE_ERROR;
    sqlite3_finalize(check);
    if (checked != SQLITE_ROW)
        return refuse(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_extended_errcode(db));
    if (!sqlengine::registerJetFunctions(db))
        return refuse(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_extended_errcode(db));
    QString schemaError;
    if (!upgradeSchema(db, &schemaError) || !installDateConversion(db, &schemaError))
        return refuse(schemaError, sqlite3_extended_errcode(db));
    std::unique_ptr<SqliteEngine> engine(new SqliteEngine(db));
    Columns columns;
    std::vector<Row> rows;
    engine->textIndexReady = engine->run(textindex::sqlitePresenceQuery(), columns, rows) && rows.size() == 1
                             && rows[0].cells[0].integer == 1;
    // FTS5 reads its settings when a statement first names its table; done
    // now, a later write that meets the file held by another program says so
    // rather than that the table could not be made.
    if (engine->textIndexReady && !engine->run(QStringLiteral("select rowid from bmb_text limit 0"), columns, rows)) {
        error = engine->errorText() + QStringLiteral(": ") + path;
        kind = engine->errorKind();
        return nullptr;
    }
    return engine;
}

bool SqliteEngine::fail()
{
    const int code = sqlite3_extended_errcode(db);
    error = QString::fromUtf8(sqlite3_errmsg(db));
    kind = code == SQLITE_OK ? ErrorKind::Other : kindOf(code);
    return false;
}

bool SqliteEngine::succeed()
{
    error.clear();
    kind = ErrorKind::None;
    return true;
}

sqlengine::Rewritten SqliteEngine::rewrite(const QString& jetSql)
{
    return sqlengine::rewriteJetSql(textIndexReady ? textindex::narrowed(jetSql, textindex::sqliteNarrowing) : jetSql);
}

namespace {

// Prepares exactly one statement. SQLite may end a statement where the
// tokenizer does not (a $name(…) parameter swallows a quote); what it leaves
// over must be blanks.
sqlite3_stmt* prepareOne(sqlite3* db, const QString& sql, bool& trailingText)
{
    trailingText = false;
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db, utf8.constData(), int(utf8.size()), 0, &stmt, &tail) != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    const sqlengine::Lexed rest =
        sqlengine::tokenize(QString::fromUtf8(tail, int(utf8.constData() + utf8.size() - tail)));
    if (!rest.ok() || !rest.tokens.empty()) {
        sqlite3_finalize(stmt);
        trailingText = true;
        return nullptr;
    }
    return stmt;
}

} // namespace

bool SqliteEngine::run(const QString& sql, Columns& columns, std::vector<Row>& rows)
{
    columns = Columns();
    rows.clear();
    bool trailingText = false;
    sqlite3_stmt* stmt = prepareOne(db, sql, trailingText);
    if (!stmt) {
        if (trailingText || sqlite3_errcode(db) == SQLITE_OK) {
            error = trailingText ? QStringLiteral("only one statement can run at a time; text follows the first statement")
                                 : QStringLiteral("the statement is empty");
            kind = ErrorKind::Other;
            return false;
        }
        return fail();
    }
    columns = columnsOf(stmt);
    const int n = int(columns.names.size());
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        rows.emplace_back();
        copyRow(stmt, n, rows.back());
    }
    if (rc != SQLITE_DONE) {
        fail();
        sqlite3_finalize(stmt);
        rows.clear();
        return false;
    }
    sqlite3_finalize(stmt);
    return succeed();
}

bool SqliteEngine::readIds(const QString& sql, std::vector<qint64>& ids)
{
    ids.clear();
    sqlite3_stmt* stmt = prepareText(db, sql);
    if (!stmt)
        return fail();
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(stmt, 0));
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        ids.clear();
        return fail();
    }
    return succeed();
}

bool SqliteEngine::countByValue(const QString& sql, std::vector<std::pair<QString, qint64>>& counts)
{
    counts.clear();
    sqlite3_stmt* stmt = prepareText(db, sql);
    if (!stmt)
        return fail();
    // SQLite groups by sorting every row; counting in a hash as the rows go
    // by reads them once.
    std::unordered_map<std::string, qint64> byText;
    qint64 nulls = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        switch (sqlite3_column_type(stmt, 0)) {
        case SQLITE_NULL:
            ++nulls;
            break;
        case SQLITE_FLOAT:
            ++byText[numberToText(sqlite3_column_double(stmt, 0)).toStdString()];
            break;
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            ++byText[std::string(text, size_t(sqlite3_column_bytes(stmt, 0)))];
            break;
        }
        }
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return fail();
    counts.reserve(byText.size() + 1);
    for (const auto& [text, count] : byText)
        counts.emplace_back(QString::fromUtf8(text.data(), qsizetype(text.size())), count);
    if (nulls > 0)
        counts.emplace_back(QString(), nulls);
    return succeed();
}

std::unique_ptr<RowReader> SqliteEngine::rowReader(const QString& table, const QString& columnList)
{
    sqlite3_stmt* stmt = prepareText(db, QStringLiteral("select") + columnList + QStringLiteral("from ") + table
                                             + QStringLiteral(" where id=?"),
                                     SQLITE_PREPARE_PERSISTENT);
    if (!stmt) {
        fail();
        return nullptr;
    }
    succeed();
    return std::make_unique<SqliteRowReader>(*this, stmt);
}

bool SqliteEngine::updateById(const QString& table, const QString& column, qint64 id, const QVariant& value,
                              bool& rowExisted)
{
    rowExisted = false;
    QString quoted = column;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    sqlite3_stmt* stmt = prepareText(db, QStringLiteral("update %1 set \"%2\"=? where id=?").arg(table, quoted));
    if (!stmt)
        return fail();
    bindVariant(stmt, 1, value);
    sqlite3_bind_int64(stmt, 2, id);
    const int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return fail();
    rowExisted = sqlite3_changes(db) > 0;
    return succeed();
}

qint64 SqliteEngine::changeCounter() const
{
    return qint64(sqlite3_total_changes(db));
}

qint64 SqliteEngine::lastInsertId() const
{
    return qint64(sqlite3_last_insert_rowid(db));
}

bool SqliteEngine::plain(const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK ? succeed() : fail();
}

bool SqliteEngine::begin()
{
    return plain("BEGIN IMMEDIATE");
}

bool SqliteEngine::commit()
{
    return plain("COMMIT");
}

bool SqliteEngine::rollback()
{
    return plain("ROLLBACK");
}

} // namespace store
