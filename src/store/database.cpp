#include "store/database.h"

#include "platform/dates.h"
#include "platform/sqlengine.h"
#include "platform/text.h"
#include "store/databaseerror.h"
#include "store/sqliteschema.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <set>
#include <vector>

using sqlengine::Token;
using sqlengine::TokenKind;

namespace {

// One column value of a row; texts and blobs live in the row's buffer.
struct Cell {
    int type = SQLITE_NULL;
    qint64 integer = 0;
    double number = 0.0;
    int offset = 0;
    int length = 0;
};

struct Row {
    std::vector<Cell> cells;
    QByteArray buffer;
};

// Copies the current row of a stepped statement.
void copyRow(sqlite3_stmt* stmt, int columns, Row& row)
{
    row.cells.resize(size_t(columns));
    row.buffer.clear();
    for (int i = 0; i < columns; ++i) {
        Cell& cell = row.cells[size_t(i)];
        cell.type = sqlite3_column_type(stmt, i);
        switch (cell.type) {
        case SQLITE_INTEGER:
            cell.integer = sqlite3_column_int64(stmt, i);
            break;
        case SQLITE_FLOAT:
            cell.number = sqlite3_column_double(stmt, i);
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            const void* data = cell.type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(stmt, i))
                                                        : sqlite3_column_blob(stmt, i);
            cell.length = sqlite3_column_bytes(stmt, i);
            cell.offset = int(row.buffer.size());
            if (cell.length > 0)
                row.buffer.append(static_cast<const char*>(data), cell.length);
            break;
        }
        default:
            break;
        }
    }
}

bool looksStoredDate(const char* s, int n)
{
    return n == 19 && s[4] == '-' && s[7] == '-' && s[10] == ' ' && s[13] == ':' && s[16] == ':';
}

QString cellText(const Row& row, const Cell& cell)
{
    return QString::fromUtf8(row.buffer.constData() + cell.offset, cell.length);
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

struct RecordSetState;

struct ConnectionState {
    sqlite3* db = nullptr;
    QString error;
    int errorCode = SQLITE_OK;   // SQLite's extended code of error; SQLITE_OK for the program's own texts
    std::set<RecordSetState*> liveRecordSets;   // closed before the handle goes

    void fail(const QString& text, int code = SQLITE_OK)
    {
        error = text;
        errorCode = code;
    }
    void failFromSqlite() { fail(QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_extended_errcode(db)); }
    void succeed() { fail(QString()); }
};

struct RecordSetState {
    ConnectionState* owner = nullptr;
    bool open = false;
    LockMode mode = LockMode::ReadOnly;
    int pageSize = 10;
    int position = 0;

    QStringList columns;
    std::vector<bool> dateColumn;

    // Keyset: the ids in query order and the statement that reads one row.
    bool keyset = false;
    QString table;
    std::vector<qint64> ids;
    sqlite3_stmt* rowStatement = nullptr;
    Row cached;
    int cachedPosition = -1;
    qint64 cachedChanges = -1;
    bool cachedMissing = false;
    bool readFailed = false;

    // Any other select: every row read at open.
    std::vector<Row> rows;

    ~RecordSetState() { close(); }

    int count() const { return keyset ? int(ids.size()) : int(rows.size()); }

    void close()
    {
        if (rowStatement)
            sqlite3_finalize(rowStatement);
        rowStatement = nullptr;
        if (owner)
            owner->liveRecordSets.erase(this);
        owner = nullptr;
        open = false;
        keyset = false;
        table.clear();
        columns.clear();
        dateColumn.clear();
        std::vector<qint64>().swap(ids);
        std::vector<Row>().swap(rows);
        cached = Row();
        cachedPosition = -1;
        cachedMissing = false;
        readFailed = false;
        position = 0;
    }

    // The row under the cursor; nullptr when there is none, when it was
    // deleted, or when it could not be read (readFailed, the error on owner).
    const Row* currentRow()
    {
        if (!open || readFailed || position < 0 || position >= count())
            return nullptr;
        if (!keyset)
            return &rows[size_t(position)];
        // A row is read when the cursor reaches it, and read again after any
        // write through this connection, so a page shown again is fresh.
        const qint64 changes = owner ? qint64(sqlite3_total_changes(owner->db)) : -1;
        if (cachedPosition != position || cachedChanges != changes) {
            cachedPosition = position;
            cachedChanges = changes;
            cachedMissing = true;
            sqlite3_reset(rowStatement);
            sqlite3_bind_int64(rowStatement, 1, ids[size_t(position)]);
            const int rc = sqlite3_step(rowStatement);
            if (rc == SQLITE_ROW) {
                copyRow(rowStatement, int(columns.size()), cached);
                cachedMissing = false;
            } else if (rc != SQLITE_DONE) {
                // Empty values here could be saved back over the real ones.
                readFailed = true;
                owner->failFromSqlite();
            }
            sqlite3_reset(rowStatement);
        }
        return cachedMissing ? nullptr : &cached;
    }

    int columnIndex(const FieldRef& field) const
    {
        if (field.position >= 0)
            return field.position < columns.size() ? field.position : -1;
        for (int i = 0; i < columns.size(); ++i)
            if (columns.at(i).compare(field.name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }

    // The cell of the current row for field, with its row; nullptr when absent.
    const Cell* cell(const FieldRef& field, const Row** rowOut, bool* isDate = nullptr)
    {
        const Row* row = currentRow();
        if (!row)
            return nullptr;
        const int index = columnIndex(field);
        if (index < 0 || size_t(index) >= row->cells.size())
            return nullptr;
        *rowOut = row;
        if (isDate)
            *isDate = dateColumn[size_t(index)];
        return &row->cells[size_t(index)];
    }

    void takeColumns(sqlite3_stmt* stmt)
    {
        const int n = sqlite3_column_count(stmt);
        columns.clear();
        dateColumn.assign(size_t(n), false);
        for (int i = 0; i < n; ++i) {
            columns << QString::fromUtf8(sqlite3_column_name(stmt, i));
            dateColumn[size_t(i)] = isDateTimeDeclaration(sqlite3_column_decltype(stmt, i));
        }
    }
};

// ---------------------------------------------------------------------------
// Telling a plain one-table select

bool isAggregateName(const Token& t)
{
    static const char* const names[] = {"count", "sum", "avg", "min", "max", "total", "group_concat"};
    for (const char* n : names)
        if (t.is(n))
            return true;
    return false;
}

struct PlainSelect {
    QString table;
    QString columnList;   // the text between select and from
    QString rest;         // everything after the table name
};

// A select whose rows are rows of one table, one to one: a list of plain
// column names (or *), one table, and at most where / order by / limit after
// it. Such a result can be kept as the ids of its rows.
std::optional<PlainSelect> plainSelect(const QString& sql, const std::vector<Token>& tokensIn)
{
    std::vector<Token> tokens = tokensIn;
    if (!tokens.empty() && tokens.back().is(";"))
        tokens.pop_back();
    if (tokens.size() < 4 || !tokens[0].is("select"))
        return std::nullopt;

    // Column list: item (, item)* where item is *, name, name.name or name.*
    size_t k = 1;
    for (;;) {
        if (k >= tokens.size())
            return std::nullopt;
        if (tokens[k].is("*")) {
            ++k;
        } else if (tokens[k].kind == TokenKind::Name && !tokens[k].is("from") && !tokens[k].is("distinct")
                   && !tokens[k].is("all")) {
            ++k;
            if (k + 1 < tokens.size() && tokens[k].is(".")
                && (tokens[k + 1].kind == TokenKind::Name || tokens[k + 1].is("*")))
                k += 2;
        } else {
            return std::nullopt;
        }
        if (k < tokens.size() && tokens[k].is(",")) {
            ++k;
            continue;
        }
        break;
    }
    if (k + 1 >= tokens.size() || !tokens[k].is("from") || tokens[k + 1].kind != TokenKind::Name)
        return std::nullopt;
    const Token& from = tokens[k];
    const Token& table = tokens[k + 1];
    const size_t restStart = k + 2;
    if (restStart < tokens.size()) {
        const Token& next = tokens[restStart];
        if (!next.is("where") && !next.is("order") && !next.is("limit"))
            return std::nullopt;
    }

    int depth = 0;
    bool inOrderBy = false;
    bool orderItemStart = false;
    for (size_t i = restStart; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.is("(")) {
            ++depth;
        } else if (t.is(")")) {
            --depth;
        } else if (isAggregateName(t) && i + 1 < tokens.size() && tokens[i + 1].is("(")) {
            return std::nullopt;
        } else if (depth == 0) {
            if (t.is("group") || t.is("having") || t.is("union") || t.is("intersect") || t.is("except")
                || t.is("window"))
                return std::nullopt;
            if (t.is("order") && i + 1 < tokens.size() && tokens[i + 1].is("by")) {
                inOrderBy = true;
                orderItemStart = true;
                ++i;
                continue;
            }
            if (t.is("limit"))
                inOrderBy = false;
            if (inOrderBy && orderItemStart && t.kind == TokenKind::Number)
                return std::nullopt;   // "order by 2" names a result column
        }
        orderItemStart = inOrderBy && depth == 0 && t.is(",");
    }

    PlainSelect plain;
    plain.table = table.text;
    const int listBegin = tokens[0].begin + tokens[0].length;
    plain.columnList = sql.mid(listBegin, from.begin - listBegin);
    const int restBegin = table.begin + table.length;
    const int restEnd = tokens.back().begin + tokens.back().length;
    plain.rest = sql.mid(restBegin, restEnd - restBegin);
    return plain;
}

} // namespace

// ---------------------------------------------------------------------------

struct RecordSet::Impl : RecordSetState {};
struct DbConnection::Impl : ConnectionState {
    // Rewrites and prepares exactly one statement.
    sqlite3_stmt* prepareOne(const QString& jetSql, sqlengine::Rewritten& rewritten);
    bool openOn(RecordSetState& rs, sqlite3_stmt* stmt, const sqlengine::Rewritten& rewritten, LockMode mode);
    void closeAll();
};

namespace {

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

} // namespace

sqlite3_stmt* DbConnection::Impl::prepareOne(const QString& jetSql, sqlengine::Rewritten& rewritten)
{
    if (!db) {
        fail(QStringLiteral("the database is not open"));
        return nullptr;
    }
    // SQLite stops reading at a NUL, so whatever follows it would be dropped
    // silently; a quoted value holding one refuses its whole statement.
    if (jetSql.contains(QChar(u'\0'))) {
        fail(QStringLiteral("the statement contains a NUL character"));
        return nullptr;
    }
    rewritten = sqlengine::rewriteJetSql(jetSql);
    if (!rewritten.ok()) {
        fail(rewritten.error);
        return nullptr;
    }
    const std::vector<Token>& tokens = rewritten.tokens;
    if (tokens.empty() || tokens.front().is(";")) {
        fail(QStringLiteral("the statement is empty"));
        return nullptr;
    }
    // One statement per call: nothing but one ";" may follow the first statement.
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].is(";") && i + 1 != tokens.size()) {
            fail(QStringLiteral("only one statement can run at a time; text follows the first statement"));
            return nullptr;
        }
    }
    const QByteArray utf8 = rewritten.sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db, utf8.constData(), int(utf8.size()), 0, &stmt, &tail) != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        if (sqlite3_errcode(db) == SQLITE_OK)
            fail(QStringLiteral("the statement is empty"));
        else
            failFromSqlite();
        return nullptr;
    }
    // SQLite may end the statement where the tokens above do not (a $name(…)
    // parameter swallows a quote); what it left over must be blanks.
    const sqlengine::Lexed rest =
        sqlengine::tokenize(QString::fromUtf8(tail, int(utf8.constData() + utf8.size() - tail)));
    if (!rest.ok() || !rest.tokens.empty()) {
        sqlite3_finalize(stmt);
        fail(QStringLiteral("only one statement can run at a time; text follows the first statement"));
        return nullptr;
    }
    return stmt;
}

bool DbConnection::Impl::openOn(RecordSetState& rs, sqlite3_stmt* stmt, const sqlengine::Rewritten& rewritten,
                                LockMode mode)
{
    rs.close();
    rs.mode = mode;

    if (const std::optional<PlainSelect> plain = plainSelect(rewritten.sql, rewritten.tokens)) {
        sqlite3_stmt* keys = prepareText(db, QStringLiteral("select id from ") + plain->table + plain->rest);
        sqlite3_stmt* row = keys ? prepareText(db,
                                               QStringLiteral("select") + plain->columnList + QStringLiteral("from ")
                                                   + plain->table + QStringLiteral(" where id=?"),
                                               SQLITE_PREPARE_PERSISTENT)
                                 : nullptr;
        if (keys && row) {
            sqlite3_finalize(stmt);
            std::vector<qint64> ids;
            ids.reserve(256);
            int rc;
            while ((rc = sqlite3_step(keys)) == SQLITE_ROW)
                ids.push_back(sqlite3_column_int64(keys, 0));
            if (rc != SQLITE_DONE) {
                failFromSqlite();
                sqlite3_finalize(keys);
                sqlite3_finalize(row);
                return false;
            }
            sqlite3_finalize(keys);
            rs.keyset = true;
            rs.table = plain->table;
            rs.ids = std::move(ids);
            rs.rowStatement = row;
            rs.takeColumns(row);
            rs.owner = this;
            liveRecordSets.insert(&rs);
            rs.open = true;
            succeed();
            return true;
        }
        // Not keyed by id after all (no id column, an alias in the clauses):
        // read it whole like any other select.
        sqlite3_finalize(keys);
        sqlite3_finalize(row);
    }

    rs.takeColumns(stmt);
    const int columns = int(rs.columns.size());
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        rs.rows.emplace_back();
        copyRow(stmt, columns, rs.rows.back());
    }
    if (rc != SQLITE_DONE) {
        failFromSqlite();
        sqlite3_finalize(stmt);
        rs.close();
        return false;
    }
    sqlite3_finalize(stmt);
    rs.owner = this;
    liveRecordSets.insert(&rs);
    rs.open = true;
    succeed();
    return true;
}

void DbConnection::Impl::closeAll()
{
    while (!liveRecordSets.empty())
        (*liveRecordSets.begin())->close();
    if (db)
        sqlite3_close_v2(db);
    db = nullptr;
}

// ---------------------------------------------------------------------------
// RecordSet

RecordSet::RecordSet() : d(std::make_unique<Impl>()) {}
RecordSet::~RecordSet() = default;

bool RecordSet::isOpen() const
{
    return d->open;
}

void RecordSet::close()
{
    d->close();
}

bool RecordSet::atEnd() const
{
    if (!d->open || d->position >= d->count())
        return true;
    // A keyset row is read here, so a failure stops the caller before it
    // takes the row's values.
    d->currentRow();
    return d->readFailed;
}

bool RecordSet::readFailed() const
{
    return d->readFailed;
}

void RecordSet::moveNext()
{
    if (d->open && !d->readFailed && d->position < d->count())
        ++d->position;
}

int RecordSet::recordCount() const
{
    return d->open ? d->count() : 0;
}

QString RecordSet::readText(const FieldRef& field) const
{
    const Row* row = nullptr;
    bool isDate = false;
    const Cell* c = d->cell(field, &row, &isDate);
    if (!c)
        return QString();
    // A day number in a date-time column (left by an earlier version or another
    // client) reads as the date it stands for.
    if (isDate && (c->type == SQLITE_INTEGER || c->type == SQLITE_FLOAT)) {
        const double serial = c->type == SQLITE_INTEGER ? double(c->integer) : c->number;
        const std::optional<QDateTime> moment = sqlengine::serialToDate(serial);
        return isoDateText(moment.value_or(zeroDate()));
    }
    switch (c->type) {
    case SQLITE_INTEGER:
        return QString::number(c->integer);
    case SQLITE_FLOAT:
        return numberToText(c->number);
    case SQLITE_TEXT: {
        if (isDate && !looksStoredDate(row->buffer.constData() + c->offset, c->length)) {
            // Written by another client, without the conversion: give it in
            // the stored form when it is a date.
            const QString text = cellText(*row, *c);
            return sqlengine::dateTextToIso(text).value_or(text);
        }
        return cellText(*row, *c);
    }
    case SQLITE_BLOB:
        return cellText(*row, *c);
    default:
        return QString();
    }
}

namespace {

// Rounds half to even, as Jet converts a number to an integer; nothing when
// the value is outside the 32-bit range.
std::optional<int> toInt32(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);
    if (rounded < double(std::numeric_limits<int>::min()) || rounded > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(rounded);
}

std::optional<double> textToDouble(const QString& text)
{
    bool ok = false;
    const double value = trimBlanks(text).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

int RecordSet::readInteger(const FieldRef& field) const
{
    const Row* row = nullptr;
    const Cell* c = d->cell(field, &row);
    if (!c)
        return 0;
    switch (c->type) {
    case SQLITE_INTEGER:
        return (c->integer >= std::numeric_limits<int>::min() && c->integer <= std::numeric_limits<int>::max())
                   ? int(c->integer)
                   : 0;
    case SQLITE_FLOAT:
        return toInt32(c->number).value_or(0);
    case SQLITE_TEXT: {
        const std::optional<double> value = textToDouble(cellText(*row, *c));
        return value ? toInt32(*value).value_or(0) : 0;
    }
    default:
        return 0;
    }
}

double RecordSet::readNumber(const FieldRef& field) const
{
    const Row* row = nullptr;
    const Cell* c = d->cell(field, &row);
    if (!c)
        return 0.0;
    switch (c->type) {
    case SQLITE_INTEGER:
        return double(c->integer);
    case SQLITE_FLOAT:
        return c->number;
    case SQLITE_TEXT:
        return textToDouble(cellText(*row, *c)).value_or(0.0);
    default:
        return 0.0;
    }
}

QDateTime RecordSet::readDateTime(const FieldRef& field) const
{
    const Row* row = nullptr;
    const Cell* c = d->cell(field, &row);
    if (!c)
        return zeroDate();
    switch (c->type) {
    case SQLITE_INTEGER:
        return sqlengine::serialToDate(double(c->integer)).value_or(zeroDate());
    case SQLITE_FLOAT:
        return sqlengine::serialToDate(c->number).value_or(zeroDate());
    case SQLITE_TEXT:
        return textToDate(cellText(*row, *c)).value_or(zeroDate());
    default:
        return zeroDate();
    }
}

QByteArray RecordSet::readBytes(const FieldRef& field) const
{
    const Row* row = nullptr;
    const Cell* c = d->cell(field, &row);
    if (!c)
        return QByteArray();
    switch (c->type) {
    case SQLITE_BLOB:
        return row->buffer.mid(c->offset, c->length);
    case SQLITE_TEXT:
        return toGbk(cellText(*row, *c));
    default:
        return QByteArray();
    }
}

QStringList RecordSet::columnNames() const
{
    return d->columns;
}

void RecordSet::setPageSize(int rows)
{
    if (rows >= 1)
        d->pageSize = rows;
}

int RecordSet::getPageSize() const
{
    return d->pageSize;
}

int RecordSet::getPageCount() const
{
    if (!d->open)
        return 0;
    return int((qint64(d->count()) + d->pageSize - 1) / d->pageSize);
}

int RecordSet::getAbsolutePage() const
{
    if (atEnd())
        return -1;
    return d->position / d->pageSize + 1;
}

void RecordSet::setAbsolutePage(int page)
{
    if (!d->open)
        return;
    // A page that does not exist leaves the cursor on no row.
    if (page < 1 || page > getPageCount())
        d->position = d->count();
    else
        d->position = int(qint64(page - 1) * d->pageSize);
    d->cachedPosition = -1;
}

bool RecordSet::updateCurrentRow(const QString& column, const QVariant& value)
{
    ConnectionState* owner = d->owner;
    if (!d->open || !owner || d->readFailed)   // after a failed read lastErrorText keeps its cause
        return false;
    if (d->mode != LockMode::Optimistic) {
        owner->fail(QStringLiteral("the record set is read-only"));
        return false;
    }
    if (!d->keyset) {
        owner->fail(QStringLiteral("the record set cannot be updated: it is not a one-table select"));
        return false;
    }
    if (atEnd()) {
        owner->fail(QStringLiteral("no current row to update"));
        return false;
    }
    QString quoted = column;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    sqlite3_stmt* stmt = prepareText(owner->db, QStringLiteral("update %1 set \"%2\"=? where id=?").arg(d->table, quoted));
    if (!stmt) {
        owner->failFromSqlite();
        return false;
    }
    bindVariant(stmt, 1, value);
    sqlite3_bind_int64(stmt, 2, d->ids[size_t(d->position)]);
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        owner->failFromSqlite();
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_finalize(stmt);
    d->cachedPosition = -1;
    if (sqlite3_changes(owner->db) == 0) {
        owner->fail(QStringLiteral("the current row no longer exists"));
        return false;
    }
    owner->succeed();
    return true;
}

// ---------------------------------------------------------------------------
// DbConnection

DbConnection::DbConnection() : d(std::make_unique<Impl>()) {}

DbConnection::~DbConnection()
{
    d->closeAll();
}

namespace {

// The Data Source of a connection string of key=value pairs split by ";". As
// in OLE DB, a value may stand between double or single quotes, so it can
// hold ";", with its own quote doubled inside.
QString dataSourceOf(const QString& connectionString)
{
    const qsizetype n = connectionString.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype eq = connectionString.indexOf(QLatin1Char('='), i);
        const qsizetype semicolon = connectionString.indexOf(QLatin1Char(';'), i);
        if (eq < 0)
            break;
        if (semicolon >= 0 && semicolon < eq) {   // a part without "="
            i = semicolon + 1;
            continue;
        }
        const QString key = connectionString.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && connectionString.at(i) == QLatin1Char(' '))
            ++i;
        QString value;
        if (i < n && (connectionString.at(i) == QLatin1Char('"') || connectionString.at(i) == QLatin1Char('\''))) {
            const QChar quote = connectionString.at(i);
            for (++i; i < n; ++i) {
                const QChar c = connectionString.at(i);
                if (c == quote) {
                    ++i;
                    if (i >= n || connectionString.at(i) != quote)
                        break;   // the closing quote; a doubled one stands for itself
                }
                value += c;
            }
            const qsizetype end = connectionString.indexOf(QLatin1Char(';'), i);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype end = connectionString.indexOf(QLatin1Char(';'), i);
            value = connectionString.mid(i, (end < 0 ? n : end) - i).trimmed();
            i = end < 0 ? n : end + 1;
        }
        if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0) {
            value.replace(QLatin1Char('\\'), QLatin1Char('/'));
            return value;
        }
    }
    return QString();
}

// How long a statement waits for a file another program holds.
constexpr int busyTimeoutMs = 2000;

} // namespace

bool DbConnection::openDatabase(const QString& connectionString)
{
    d->closeAll();
    const QString path = dataSourceOf(connectionString);
    if (path.isEmpty()) {
        d->fail(QStringLiteral("the connection string names no data source"));
        return false;
    }
    const QByteArray file = path.toUtf8();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        d->fail((db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc)))
                    + QStringLiteral(": ") + path,
                rc);
        sqlite3_close_v2(db);
        return false;
    }
    // Before the first read: a file another program holds for a moment is
    // waited for rather than failing at once with "database is locked".
    sqlite3_busy_timeout(db, busyTimeoutMs);
    // SQLite takes an empty file for an empty database; here it is none.
    if (QFileInfo(path).size() == 0) {
        d->fail(QString::fromUtf8(sqlite3_errstr(SQLITE_NOTADB)) + QStringLiteral(": ") + path, SQLITE_NOTADB);
        sqlite3_close_v2(db);
        return false;
    }
    // Reading the schema shows whether the file really is a database.
    sqlite3_stmt* check = prepareText(db, QStringLiteral("select count(*) from sqlite_master"));
    const int checked = check ? sqlite3_step(check) : SQLITE_ERROR;
    if (checked != SQLITE_ROW) {
        d->fail(QString::fromUtf8(sqlite3_errmsg(db)) + QStringLiteral(": ") + path, sqlite3_extended_errcode(db));
        sqlite3_finalize(check);
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_finalize(check);
    if (!sqlengine::registerJetFunctions(db)) {
        d->fail(QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_close_v2(db);
        return false;
    }
    QString error;
    if (!upgradeSchema(db, &error) || !installDateConversion(db, &error)) {
        d->fail(error + QStringLiteral(": ") + path);
        sqlite3_close_v2(db);
        return false;
    }
    d->db = db;
    d->succeed();
    return true;
}

void DbConnection::closeDatabase()
{
    d->closeAll();
}

bool DbConnection::isOpen() const
{
    return d->db != nullptr;
}

bool DbConnection::openQuery(RecordSet& recordSet, const QString& sql, LockMode mode)
{
    recordSet.close();
    sqlengine::Rewritten rewritten;
    sqlite3_stmt* stmt = d->prepareOne(sql, rewritten);
    if (!stmt)
        return false;
    if (sqlite3_column_count(stmt) == 0) {
        // A statement without rows runs and leaves the record set closed.
        const int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) {
            d->failFromSqlite();
            return false;
        }
        d->succeed();
        return true;
    }
    return d->openOn(*recordSet.d, stmt, rewritten, mode);
}

bool DbConnection::executeStatement(const QString& sql, std::unique_ptr<RecordSet>& target)
{
    // The object is kept and emptied rather than replaced, so references to
    // it held elsewhere stay valid; what it held is released either way.
    if (!target)
        target = std::make_unique<RecordSet>();
    target->close();
    target->d->pageSize = 10;
    target->d->mode = LockMode::ReadOnly;

    sqlengine::Rewritten rewritten;
    sqlite3_stmt* stmt = d->prepareOne(sql, rewritten);
    if (!stmt)
        return false;
    if (sqlite3_column_count(stmt) > 0)
        return d->openOn(*target->d, stmt, rewritten, LockMode::ReadOnly);
    const int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        d->failFromSqlite();
        return false;
    }
    d->succeed();
    return true;
}

QString DbConnection::lastErrorText() const
{
    return d->error;
}

int DbConnection::lastErrorCode() const
{
    return d->errorCode;
}

// ---------------------------------------------------------------------------

bool createConnection(std::unique_ptr<DbConnection>& connection)
{
    if (sqlite3_initialize() != SQLITE_OK)
        return false;
    connection = std::make_unique<DbConnection>();
    return true;
}

bool createRecordSet(std::unique_ptr<RecordSet>& recordSet)
{
    if (sqlite3_initialize() != SQLITE_OK)
        return false;
    recordSet = std::make_unique<RecordSet>();
    return true;
}

QString connectionStringFor(const QString& programDirectory)
{
    QString dataSource = programDirectory + QStringLiteral("\\zhao.dat");
    // Quoted only when it must be, so an ordinary path reads as it always did.
    if (dataSource.contains(QLatin1Char(';')) || dataSource.contains(QLatin1Char('"'))
        || dataSource.startsWith(QLatin1Char('\'')) || dataSource.startsWith(QLatin1Char(' '))) {
        dataSource.replace(QLatin1Char('"'), QLatin1String("\"\""));
        dataSource = QLatin1Char('"') + dataSource + QLatin1Char('"');
    }
    // zhao.dat has no database password: SQLite keeps none.
    return QStringLiteral("provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + dataSource
        + QStringLiteral(";Jet OLEDB:Database Password=");
}

bool Database::openShared(const QString& sql, LockMode mode)
{
    if (!connection)
        return false;
    if (!sharedRecordSet)
        sharedRecordSet = std::make_unique<RecordSet>();
    return connection->openQuery(*sharedRecordSet, sql, mode);
}

bool Database::execute(const QString& sql)
{
    if (!connection)
        return false;
    return connection->executeStatement(sql, sharedRecordSet);
}

QString Database::lastErrorText() const
{
    return connection ? connection->lastErrorText() : QString();
}

int Database::lastErrorCode() const
{
    return connection ? connection->lastErrorCode() : 0;
}

QString Database::lastErrorForOperator() const
{
    return operatorErrorText(lastErrorCode(), lastErrorText());
}
