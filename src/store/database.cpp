#include "store/database.h"

#include "platform/dates.h"
#include "platform/sqlengine.h"
#include "platform/text.h"
#include "store/databaseerror.h"
#include "store/keyset.h"
#include "store/postgres/postgresengine.h"
#include "store/sqlite/sqliteengine.h"

#include <cmath>
#include <limits>
#include <set>
#include <vector>

using sqlengine::Token;
using sqlengine::TokenKind;
using store::Cell;
using store::CellType;
using store::Row;

namespace {

// The ids an ordered keyset reads at open and at least at each later read:
// the first pages of any page size the browse list offers.
constexpr int firstIdsRead = 500;

bool looksStoredDate(const char* s, int n)
{
    return n == 19 && s[4] == '-' && s[7] == '-' && s[10] == ' ' && s[13] == ':' && s[16] == ':';
}

QString cellText(const Row& row, const Cell& cell)
{
    return QString::fromUtf8(row.buffer.constData() + cell.offset, cell.length);
}

struct RecordSetState;

struct ConnectionState {
    std::unique_ptr<store::Engine> engine;
    QString error;
    store::ErrorKind errorKind = store::ErrorKind::None;
    std::set<RecordSetState*> liveRecordSets;   // closed before the engine goes

    void fail(const QString& text, store::ErrorKind kind = store::ErrorKind::Other)
    {
        error = text;
        errorKind = kind;
    }
    void failFromEngine() { fail(engine->errorText(), engine->errorKind()); }
    void succeed() { fail(QString(), store::ErrorKind::None); }
};

struct RecordSetState {
    ConnectionState* owner = nullptr;
    bool open = false;
    LockMode mode = LockMode::ReadOnly;
    int pageSize = 10;
    int position = 0;

    QStringList columns;
    std::vector<bool> dateColumn;

    // Keyset: the ids in query order, read as the cursor reaches them
    // (store/keyset.h), and the reader of one row.
    bool keyset = false;
    QString table;
    store::KeysetIds keys;
    std::unique_ptr<store::RowReader> rowReader;
    Row cached;
    int cachedPosition = -1;
    qint64 cachedChanges = -1;
    bool cachedMissing = false;
    bool readFailed = false;

    // Any other select: every row read at open.
    std::vector<Row> rows;

    ~RecordSetState() { close(); }

    int count() const { return keyset ? keys.count() : int(rows.size()); }

    // True when the id at position is read; false past the last one or when
    // reading it failed (readFailed, the error on owner).
    bool idRead(int at)
    {
        if (keys.reach(at, pageSize))
            return true;
        if (keys.failed()) {
            readFailed = true;
            owner->failFromEngine();
        }
        return false;
    }

    void close()
    {
        rowReader.reset();
        if (owner)
            owner->liveRecordSets.erase(this);
        owner = nullptr;
        open = false;
        keyset = false;
        table.clear();
        columns.clear();
        dateColumn.clear();
        keys.clear();
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
        const qint64 changes = owner ? owner->engine->changeCounter() : -1;
        if (cachedPosition != position || cachedChanges != changes) {
            if (!idRead(position))
                return nullptr;
            cachedPosition = position;
            cachedChanges = changes;
            cachedMissing = true;
            const std::vector<qint64> ahead = keys.after(position, size_t(std::max(pageSize, 50)));
            switch (rowReader->read(keys.at(position), ahead, cached)) {
            case store::RowReader::Result::Found:
                cachedMissing = false;
                break;
            case store::RowReader::Result::Missing:
                break;
            case store::RowReader::Result::Failed:
                // Empty values here could be saved back over the real ones.
                readFailed = true;
                owner->failFromEngine();
                break;
            }
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

    void takeColumns(const store::Columns& taken)
    {
        columns = taken.names;
        dateColumn = taken.isDate;
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
    // Ordered and nothing after the order: the rest up to "order by".
    std::optional<QString> filterBeforeOrder;
    // Ordered by one plain column: the order a keyset can continue.
    std::optional<store::SeekOrder> seek;
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
    std::optional<size_t> orderAt;
    bool limited = false;
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
                orderAt = i;
                inOrderBy = true;
                orderItemStart = true;
                ++i;
                continue;
            }
            if (t.is("limit")) {
                inOrderBy = false;
                limited = true;
            }
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
    if (orderAt && !limited) {
        plain.filterBeforeOrder = sql.mid(restBegin, tokens[*orderAt].begin - restBegin);
        // "order by column [asc|desc]", nothing else
        const size_t first = *orderAt + 2;
        const size_t items = tokens.size() - first;
        const bool direction = items == 2 && (tokens[first + 1].is("asc") || tokens[first + 1].is("desc"));
        if ((items == 1 || direction) && tokens[first].kind == TokenKind::Name && !tokens[first].is("asc")
            && !tokens[first].is("desc")) {
            store::SeekOrder seek;
            seek.table = plain.table;
            seek.column = tokens[first].text;
            seek.descending = direction && tokens[first + 1].is("desc");
            if (tokens[restStart].is("where")) {
                const int filterBegin = tokens[restStart].begin + tokens[restStart].length;
                seek.filter = sql.mid(filterBegin, tokens[*orderAt].begin - filterBegin).trimmed();
            }
            plain.seek = seek;
        }
    }
    return plain;
}

} // namespace

// ---------------------------------------------------------------------------

struct RecordSet::Impl : RecordSetState {};
struct DbConnection::Impl : ConnectionState {
    // Rewrites exactly one statement for the engine.
    bool rewriteOne(const QString& jetSql, sqlengine::Rewritten& rewritten);
    // Runs a rewritten statement into rs: a plain one-table select as a
    // keyset, any other select read whole, a write leaving rs closed.
    bool runInto(RecordSetState& rs, const sqlengine::Rewritten& rewritten, LockMode mode);
    bool openKeyset(RecordSetState& rs, const PlainSelect& plain);
    void attach(RecordSetState& rs);
    void closeAll();
};

bool DbConnection::Impl::rewriteOne(const QString& jetSql, sqlengine::Rewritten& rewritten)
{
    if (!engine) {
        fail(QStringLiteral("the database is not open"));
        return false;
    }
    // SQLite stops reading at a NUL, so whatever follows it would be dropped
    // silently; a quoted value holding one refuses its whole statement.
    if (jetSql.contains(QChar(u'\0'))) {
        fail(QStringLiteral("the statement contains a NUL character"));
        return false;
    }
    rewritten = engine->rewrite(jetSql);
    if (!rewritten.ok()) {
        fail(rewritten.error);
        return false;
    }
    const std::vector<Token>& tokens = rewritten.tokens;
    if (tokens.empty() || tokens.front().is(";")) {
        fail(QStringLiteral("the statement is empty"));
        return false;
    }
    // One statement per call: nothing but one ";" may follow the first statement.
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].is(";") && i + 1 != tokens.size()) {
            fail(QStringLiteral("only one statement can run at a time; text follows the first statement"));
            return false;
        }
    }
    return true;
}

void DbConnection::Impl::attach(RecordSetState& rs)
{
    rs.owner = this;
    liveRecordSets.insert(&rs);
    rs.open = true;
    succeed();
}

bool DbConnection::Impl::openKeyset(RecordSetState& rs, const PlainSelect& plain)
{
    QString idQuery = QStringLiteral("select id from ") + plain.table + plain.rest;
    if (plain.filterBeforeOrder) {
        // On a large table reading every id is most of the work of a query, so
        // an ordered one starts with its count and the first ids, enough for
        // the first pages. Ties are ordered by id, so ids read at any later
        // time agree with them on the order.
        idQuery += QStringLiteral(",id");
        if (!rs.keys.open(*engine, idQuery,
                          QStringLiteral("select count(*) from ") + plain.table + *plain.filterBeforeOrder, plain.seek,
                          firstIdsRead))
            return false;
    } else if (!rs.keys.openWhole(*engine, idQuery)) {
        return false;
    }
    std::unique_ptr<store::RowReader> reader = engine->rowReader(plain.table, plain.columnList);
    if (!reader) {
        rs.keys.clear();
        return false;
    }
    rs.keyset = true;
    rs.table = plain.table;
    rs.takeColumns(reader->columns());
    rs.rowReader = std::move(reader);
    attach(rs);
    return true;
}

bool DbConnection::Impl::runInto(RecordSetState& rs, const sqlengine::Rewritten& rewritten, LockMode mode)
{
    rs.close();
    rs.mode = mode;
    // Not keyed by id after all (no id column, an alias in the clauses): read
    // it whole like any other select.
    if (const std::optional<PlainSelect> plain = plainSelect(rewritten.sql, rewritten.tokens))
        if (openKeyset(rs, *plain))
            return true;

    store::Columns columns;
    std::vector<Row> rows;
    if (!engine->run(rewritten.sql, columns, rows)) {
        failFromEngine();
        return false;
    }
    if (columns.names.isEmpty()) {
        // A statement without rows leaves the record set closed.
        succeed();
        return true;
    }
    rs.takeColumns(columns);
    rs.rows = std::move(rows);
    attach(rs);
    return true;
}

void DbConnection::Impl::closeAll()
{
    while (!liveRecordSets.empty())
        (*liveRecordSets.begin())->close();
    engine.reset();
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
    // takes the row's values; reading the rest of the ids may find fewer.
    d->currentRow();
    return d->readFailed || d->position >= d->count();
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
    if (isDate && (c->type == CellType::Integer || c->type == CellType::Number)) {
        const double serial = c->type == CellType::Integer ? double(c->integer) : c->number;
        const std::optional<QDateTime> moment = sqlengine::serialToDate(serial);
        return isoDateText(moment.value_or(zeroDate()));
    }
    switch (c->type) {
    case CellType::Integer:
        return QString::number(c->integer);
    case CellType::Number:
        return numberToText(c->number);
    case CellType::Text: {
        if (isDate && !looksStoredDate(row->buffer.constData() + c->offset, c->length)) {
            // Written by another client, without the conversion: give it in
            // the stored form when it is a date.
            const QString text = cellText(*row, *c);
            return sqlengine::dateTextToIso(text).value_or(text);
        }
        return cellText(*row, *c);
    }
    case CellType::Bytes:
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
    case CellType::Integer:
        return (c->integer >= std::numeric_limits<int>::min() && c->integer <= std::numeric_limits<int>::max())
                   ? int(c->integer)
                   : 0;
    case CellType::Number:
        return toInt32(c->number).value_or(0);
    case CellType::Text: {
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
    case CellType::Integer:
        return double(c->integer);
    case CellType::Number:
        return c->number;
    case CellType::Text:
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
    case CellType::Integer:
        return sqlengine::serialToDate(double(c->integer)).value_or(zeroDate());
    case CellType::Number:
        return sqlengine::serialToDate(c->number).value_or(zeroDate());
    case CellType::Text:
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
    case CellType::Bytes:
        return row->buffer.mid(c->offset, c->length);
    case CellType::Text:
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
    // A page turned to is read anew, also after a read that failed.
    d->readFailed = false;
    d->keys.retryAfterFailure();
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
    bool rowExisted = false;
    const bool written =
        owner->engine->updateById(d->table, column, d->keys.at(d->position), value, rowExisted);
    d->cachedPosition = -1;
    if (!written) {
        owner->failFromEngine();
        return false;
    }
    if (!rowExisted) {
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

} // namespace

bool DbConnection::openDatabase(const QString& connectionString)
{
    d->closeAll();
    const QString path = dataSourceOf(connectionString);
    if (path.isEmpty()) {
        d->fail(QStringLiteral("the connection string names no data source"));
        return false;
    }
    QString error;
    store::ErrorKind kind = store::ErrorKind::None;
    d->engine = store::SqliteEngine::open(path, error, kind);
    if (!d->engine) {
        d->fail(error, kind);
        return false;
    }
    d->succeed();
    return true;
}

bool DbConnection::openServer(const QString& connectionString, const store::ServerLimits& limits)
{
    d->closeAll();
    QString error;
    store::ErrorKind kind = store::ErrorKind::None;
    d->engine = store::PostgresEngine::open(connectionString, limits, error, kind);
    if (!d->engine) {
        d->fail(error, kind);
        return false;
    }
    d->succeed();
    return true;
}

void DbConnection::closeDatabase()
{
    d->closeAll();
}

bool DbConnection::isOpen() const
{
    return d->engine != nullptr;
}

bool DbConnection::openQuery(RecordSet& recordSet, const QString& sql, LockMode mode)
{
    recordSet.close();
    sqlengine::Rewritten rewritten;
    return d->rewriteOne(sql, rewritten) && d->runInto(*recordSet.d, rewritten, mode);
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
    return d->rewriteOne(sql, rewritten) && d->runInto(*target->d, rewritten, LockMode::ReadOnly);
}

bool DbConnection::countByValue(const QString& sql, std::vector<std::pair<QString, qint64>>& counts)
{
    counts.clear();
    sqlengine::Rewritten rewritten;
    if (!d->rewriteOne(sql, rewritten))
        return false;
    // The engine may read the select inside a statement of its own.
    QString select = rewritten.sql;
    if (rewritten.tokens.back().is(";"))
        select.truncate(rewritten.tokens.back().begin);
    if (!d->engine->countByValue(select, counts)) {
        d->failFromEngine();
        return false;
    }
    d->succeed();
    return true;
}

bool DbConnection::continueIdsAfterLargest(const QString& table)
{
    if (!d->engine)
        return false;
    if (!d->engine->continueIdsAfterLargest(table)) {
        d->failFromEngine();
        return false;
    }
    d->succeed();
    return true;
}

qint64 DbConnection::lastInsertId() const
{
    return d->engine ? d->engine->lastInsertId() : 0;
}

namespace {

bool reported(ConnectionState& connection, bool ok)
{
    if (ok)
        connection.succeed();
    else
        connection.failFromEngine();
    return ok;
}

} // namespace

bool DbConnection::textIndexBuilt() const
{
    return d->engine && d->engine->textIndexBuilt();
}

bool DbConnection::buildTextIndex(const std::function<void(qint64, qint64)>& progress)
{
    if (!d->engine) {
        d->fail(QStringLiteral("the database is not open"));
        return false;
    }
    return reported(*d, d->engine->buildTextIndex(progress));
}

bool DbConnection::beginTransaction()
{
    return d->engine && reported(*d, d->engine->begin());
}

bool DbConnection::lockRow(const QString& table, qint64 id)
{
    return d->engine && reported(*d, d->engine->lockRow(table, id));
}

bool DbConnection::commitTransaction()
{
    return d->engine && reported(*d, d->engine->commit());
}

bool DbConnection::rollbackTransaction()
{
    return d->engine && reported(*d, d->engine->rollback());
}

store::ErrorKind DbConnection::lastErrorKind() const
{
    return d->errorKind;
}

QString DbConnection::lastErrorText() const
{
    return d->error;
}

// ---------------------------------------------------------------------------

bool createConnection(std::unique_ptr<DbConnection>& connection)
{
    connection = std::make_unique<DbConnection>();
    return true;
}

bool createRecordSet(std::unique_ptr<RecordSet>& recordSet)
{
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

QString Database::lastErrorForOperator() const
{
    return operatorErrorText(connection ? connection->lastErrorKind() : store::ErrorKind::None, lastErrorText());
}
