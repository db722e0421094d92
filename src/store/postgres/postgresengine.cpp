#include "store/postgres/postgresengine.h"

#include "platform/dates.h"
#include "platform/sockets.h"
#include "store/postgres/jetrewrite.h"
#include "store/postgres/schema.h"

#include <libpq-fe.h>

#include <QDeadlineTimer>

#include <cstdlib>
#include <unordered_map>

namespace store {

namespace {

// Type ids of the server's built-in types (pg_type.oid; fixed for every server).
enum : Oid {
    BoolType = 16,
    ByteaType = 17,
    Int8Type = 20,
    Int2Type = 21,
    Int4Type = 23,
    Float4Type = 700,
    Float8Type = 701,
    DateType = 1082,
    TimestampType = 1114,
    TimestampTzType = 1184,
    NumericType = 1700,
};

// Taken by the desk that sets up an empty database, so a second desk starting
// at the same moment waits and then finds the tables there.
constexpr qint64 setUpLockKey = 0x4272656e766f;   // "Brenvo"

ErrorKind kindOfState(const QByteArray& state)
{
    if (state.startsWith("08") || state.startsWith("57P"))
        return ErrorKind::Unreachable;
    if (state == "53100")
        return ErrorKind::DiskFull;
    if (state == "53200")
        return ErrorKind::OutOfMemory;
    if (state == "25006")
        return ErrorKind::ReadOnly;
    if (state == "42501")
        return ErrorKind::NoPermission;
    if (state == "40001" || state == "40P01" || state == "55P03" || state == "57014")
        return ErrorKind::Busy;
    if (state == "58030")
        return ErrorKind::DiskError;
    if (state == "XX001" || state == "XX002")
        return ErrorKind::Damaged;
    return ErrorKind::Other;
}

// A failed connection by its cause. libpq gives the server's refusal only as
// text, so its messages are read; what is not recognised counts as out of reach.
ErrorKind kindOfConnectFailure(pg_conn* conn, const QString& message)
{
    if (message.contains(QLatin1String("timeout expired")))
        return ErrorKind::NoAnswer;
    if (PQconnectionNeedsPassword(conn) || message.contains(QLatin1String("password authentication failed"))
        || message.contains(QLatin1String("no password supplied"))
        || (message.contains(QLatin1String("role \"")) && message.contains(QLatin1String("does not exist"))))
        return ErrorKind::WrongPassword;
    if (message.contains(QLatin1String("database \"")) && message.contains(QLatin1String("does not exist")))
        return ErrorKind::NoDatabase;
    // Values libpq refuses before it connects (sslmode, a port that is no number).
    if (PQsocket(conn) < 0 && message.startsWith(QLatin1String("invalid ")))
        return ErrorKind::BadSetting;
    return ErrorKind::Unreachable;
}

Columns columnsOf(const PGresult* result)
{
    Columns columns;
    const int n = PQnfields(result);
    columns.isDate.assign(size_t(n), false);
    for (int j = 0; j < n; ++j) {
        columns.names << QString::fromUtf8(PQfname(result, j));
        const Oid type = PQftype(result, j);
        columns.isDate[size_t(j)] = type == TimestampType || type == TimestampTzType || type == DateType;
    }
    return columns;
}

// Row i from column firstColumn on.
void copyRow(const PGresult* result, int i, Row& row, int firstColumn = 0)
{
    const int n = PQnfields(result);
    row.clear(size_t(n - firstColumn));
    for (int j = firstColumn; j < n; ++j) {
        if (PQgetisnull(result, i, j))
            continue;
        const char* value = PQgetvalue(result, i, j);
        const int length = PQgetlength(result, i, j);
        const size_t at = size_t(j - firstColumn);
        Cell& cell = row.cells[at];
        switch (PQftype(result, j)) {
        case BoolType:
            cell.type = CellType::Integer;
            cell.integer = value[0] == 't' ? 1 : 0;
            break;
        case Int2Type:
        case Int4Type:
        case Int8Type:
            cell.type = CellType::Integer;
            cell.integer = std::strtoll(value, nullptr, 10);
            break;
        case Float4Type:
        case Float8Type:
        case NumericType:
            cell.type = CellType::Number;
            cell.number = std::strtod(value, nullptr);
            break;
        case ByteaType: {
            size_t size = 0;
            unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &size);
            row.setText(at, reinterpret_cast<const char*>(bytes), int(size), CellType::Bytes);
            PQfreemem(bytes);
            break;
        }
        default:
            row.setText(at, value, length);
            break;
        }
    }
}

// The statement with " RETURNING id" after its last token (before a final
// ";" and any comment), so the id of the row it writes comes back with it.
QString returningId(const QString& sql)
{
    const sqlengine::Lexed lexed = sqlengine::tokenize(sql);
    auto last = lexed.tokens.rbegin();
    while (last != lexed.tokens.rend() && last->is(";"))
        ++last;
    if (last == lexed.tokens.rend())
        return sql;
    return sql.left(last->begin + last->length) + QStringLiteral(" RETURNING id");
}

bool startsWith(const QString& sql, const char* word)
{
    const sqlengine::Lexed lexed = sqlengine::tokenize(sql);
    return !lexed.tokens.empty() && lexed.tokens.front().is(word);
}

// One value as a text parameter; bytes as binary.
struct Parameter {
    QByteArray bytes;
    bool null = false;
    bool binary = false;
};

Parameter parameterOf(const QVariant& value)
{
    Parameter p;
    if (!value.isValid() || value.isNull()) {
        p.null = true;
        return p;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        p.bytes = value.toBool() ? "1" : "0";
        break;
    case QMetaType::QDateTime:
        p.bytes = isoDateText(value.toDateTime()).toUtf8();
        break;
    case QMetaType::QDate:
        p.bytes = isoDateText(QDateTime(value.toDate(), QTime(0, 0))).toUtf8();
        break;
    case QMetaType::QByteArray:
        p.bytes = value.toByteArray();
        p.binary = true;
        break;
    default:
        p.bytes = value.toString().toUtf8();
        break;
    }
    return p;
}

} // namespace

class PostgresRowReader : public RowReader {
public:
    // statement: the select of the id, then the columns, ending in "where id".
    PostgresRowReader(PostgresEngine& engine, const QString& statement, Columns columns)
        : engine(engine), statement((statement + QStringLiteral(" = any($1::bigint[])")).toUtf8()),
          cols(std::move(columns))
    {
    }
    const Columns& columns() const override { return cols; }

    // A round trip costs more than reading a page of rows, so the rows ahead
    // come in the same statement and are kept until the next write.
    Result read(qint64 id, const std::vector<qint64>& ahead, Row& row) override
    {
        if (readAt != engine.changeCounter())
            readAhead.clear();
        auto kept = readAhead.find(id);
        if (kept == readAhead.end()) {
            readAhead.clear();
            readAt = engine.changeCounter();
            QByteArray keys = "{" + QByteArray::number(id);
            for (qint64 next : ahead)
                keys += ',' + QByteArray::number(next);
            keys += '}';
            const char* values[] = {keys.constData()};
            PGresult* result = engine.exec(statement, true, 1, values);
            if (!engine.check(result, true))
                return Result::Failed;
            for (int r = 0; r < PQntuples(result); ++r)
                copyRow(result, r, readAhead[std::strtoll(PQgetvalue(result, r, 0), nullptr, 10)], 1);
            PQclear(result);
            kept = readAhead.find(id);
            if (kept == readAhead.end())
                return Result::Missing;
        }
        row = std::move(kept->second);
        readAhead.erase(kept);
        return Result::Found;
    }

private:
    PostgresEngine& engine;
    QByteArray statement;
    Columns cols;
    std::unordered_map<qint64, Row> readAhead;
    qint64 readAt = -1;
};

PostgresEngine::~PostgresEngine()
{
    PQfinish(conn);
}

std::unique_ptr<PostgresEngine> PostgresEngine::open(const QString& connectionString, const ServerLimits& limits,
                                                     QString& error, ErrorKind& kind)
{
    const QByteArray given = connectionString.toUtf8();
    // A setting libpq cannot read (a misspelt keyword, a missing "=") is said
    // as such, not as a server out of reach.
    char* parseError = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(given.constData(), &parseError);
    if (!parsed) {
        error = parseError ? QString::fromUtf8(parseError).trimmed() : QStringLiteral("out of memory");
        kind = parseError ? ErrorKind::BadSetting : ErrorKind::OutOfMemory;
        PQfreemem(parseError);
        return nullptr;
    }
    PQconninfoFree(parsed);
    // Texts travel as UTF-8, date-times read back as yyyy-MM-dd HH:mm:ss and
    // a backslash in a quoted text is itself, as the rewrite expects. Given
    // with the connection, they hold again when it is made anew. The server
    // ends a statement at the limit itself, so a slow one fails cleanly
    // before the desk stops waiting for it.
    const QByteArray connectTimeout = QByteArray::number(limits.connectSeconds);
    const QByteArray options = "-c DateStyle=ISO,YMD -c standard_conforming_strings=on -c statement_timeout="
                               + QByteArray::number(qint64(limits.statementSeconds) * 1000);
    const char* const keywords[] = {"dbname", "connect_timeout", "client_encoding", "options", nullptr};
    const char* const values[] = {given.constData(), connectTimeout.constData(), "UTF8", options.constData(), nullptr};
    pg_conn* conn = PQconnectdbParams(keywords, values, 1);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        error = conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : QStringLiteral("out of memory");
        kind = conn ? kindOfConnectFailure(conn, error) : ErrorKind::OutOfMemory;
        PQfinish(conn);
        return nullptr;
    }
    std::unique_ptr<PostgresEngine> engine(new PostgresEngine(conn, limits));
    // The server's words between statements come as notices; a fatal one
    // says it ends the session. Other notices are no operator's business.
    PQsetNoticeReceiver(
        conn,
        [](void* self, const PGresult* notice) {
            const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
            if (severity && (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0))
                static_cast<PostgresEngine*>(self)->sessionEnded = true;
        },
        engine.get());
    if (!engine->setUpIfEmpty()) {
        error = engine->error.isEmpty() ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : engine->error;
        kind = engine->error.isEmpty() ? ErrorKind::Other : engine->kind;
        return nullptr;
    }
    engine->changes = 0;
    return engine;
}

bool PostgresEngine::check(pg_result* result, bool rowsExpected)
{
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_TUPLES_OK || (!rowsExpected && status == PGRES_COMMAND_OK)) {
        error.clear();
        kind = ErrorKind::None;
        return true;
    }
    if (result) {
        error = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
        kind = kindOfState(QByteArray(PQresultErrorField(result, PG_DIAG_SQLSTATE)));
        PQclear(result);
    } else if (!noResultError.isEmpty()) {
        error = noResultError;
        kind = noResultKind;
    } else {
        error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        kind = ErrorKind::Unreachable;
    }
    if (PQstatus(conn) != CONNECTION_OK && kind != ErrorKind::NoAnswer)
        kind = ErrorKind::Unreachable;
    if (error.isEmpty())
        error = QStringLiteral("the server gave no answer");
    return false;
}

pg_result* PostgresEngine::exec(const QByteArray& sql, bool resendable, int count, const char* const* values,
                                const int* lengths, const int* formats)
{
    noResultError.clear();
    if (!connectionUsable()) {
        // Whatever the lost connection had open the server has undone.
        const bool transactionLost = inTransaction;
        if (!reconnect())
            return nullptr;
        if (transactionLost) {
            noResultError = QStringLiteral("the connection to the server was lost; the transaction was undone");
            noResultKind = ErrorKind::Unreachable;
            return nullptr;
        }
    }
    PGresult* result = sendAndWait(sql, count, values, lengths, formats);
    // Lost while this statement ran: one that changes nothing when sent twice
    // goes out once more on a new connection. A write does not, as it may
    // have run before the answer was lost; it fails, and the next statement
    // goes out on a new connection.
    // One given up waiting is not: the server is slow to answer at all.
    const bool failed = !result || PQresultStatus(result) == PGRES_FATAL_ERROR;
    if (resendable && failed && !abandoned && !inTransaction && !connectionUsable() && reconnect()) {
        PQclear(result);
        result = sendAndWait(sql, count, values, lengths, formats);
    }
    return result;
}

pg_result* PostgresEngine::sendAndWait(const QByteArray& sql, int count, const char* const* values, const int* lengths,
                                       const int* formats)
{
    noResultError.clear();
    if (!PQsendQueryParams(conn, sql.constData(), count, nullptr, values, lengths, formats, 0))
        return nullptr;
    // A little longer than the server's own limit, so a slow statement is
    // ended by the server, and only a server that does not answer at all by
    // the desk.
    const QDeadlineTimer deadline((qint64(limits.statementSeconds) + 5) * 1000);
    PGresult* last = nullptr;
    for (;;) {
        while (!PQisBusy(conn)) {
            PGresult* next = PQgetResult(conn);
            if (!next)
                return last;
            PQclear(last);
            last = next;
        }
        if (deadline.hasExpired()) {
            PQclear(last);
            abandoned = true;
            noResultError = QStringLiteral("the server did not answer within %1 seconds").arg(limits.statementSeconds);
            noResultKind = ErrorKind::NoAnswer;
            return nullptr;
        }
        if (waitUntilReadable(PQsocket(conn), int(qMin<qint64>(deadline.remainingTime(), 1000))))
            PQconsumeInput(conn);
    }
}

bool PostgresEngine::connectionUsable()
{
    if (abandoned || PQstatus(conn) != CONNECTION_OK)
        return false;
    // A server that ends a session sends a fatal error and closes the
    // socket; reading them now tells the connection is gone. An open
    // connection has nothing to read between statements, or a notice.
    for (int reads = 0; reads < 16 && waitUntilReadable(PQsocket(conn), 0); ++reads)
        // PQisBusy reads what came: the server's farewell reaches sessionEnded.
        if (!PQconsumeInput(conn) || (PQisBusy(conn), sessionEnded) || PQstatus(conn) != CONNECTION_OK)
            return false;
    return true;
}

bool PostgresEngine::reconnect()
{
    PQreset(conn);
    abandoned = false;
    sessionEnded = false;
    // The server undid whatever transaction the lost connection had open.
    inTransaction = false;
    if (PQstatus(conn) == CONNECTION_OK)
        return true;
    noResultError = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    noResultKind = kindOfConnectFailure(conn, noResultError);
    return false;
}

bool PostgresEngine::command(const char* sql, bool resendable)
{
    PGresult* result = exec(sql, resendable);
    if (!check(result, false))
        return false;
    PQclear(result);
    return true;
}

bool PostgresEngine::setUpIfEmpty()
{
    if (!begin())
        return false;
    const QByteArray lock = "SELECT pg_advisory_xact_lock(" + QByteArray::number(setUpLockKey) + ")";
    PGresult* present = nullptr;
    bool ok = command(lock.constData());
    if (ok) {
        present = exec("SELECT to_regclass('bmb') IS NOT NULL", true);
        ok = check(present, true);
    }
    const bool hasTables = ok && PQntuples(present) == 1 && PQgetvalue(present, 0, 0)[0] == 't';
    if (ok)
        PQclear(present);
    if (ok && !hasTables)
        for (const QString& statement : postgres::schemaStatements())
            if (!(ok = command(statement.toUtf8().constData())))
                break;
    // What a database set up by an earlier version lacks.
    if (ok && hasTables) {
        QStringList lacking = postgres::missingSchemaStatements();
        lacking << postgres::photoFileTableStatement();
        for (const QString& statement : std::as_const(lacking))
            if (!(ok = command(statement.toUtf8().constData())))
                break;
    }
    if (!ok) {
        const QString failure = error;
        const ErrorKind failureKind = kind;
        rollback();
        error = failure;
        kind = failureKind;
        return false;
    }
    return commit();
}

sqlengine::Rewritten PostgresEngine::rewrite(const QString& jetSql)
{
    return postgres::rewriteJetSql(jetSql);
}

bool PostgresEngine::run(const QString& sql, Columns& columns, std::vector<Row>& rows)
{
    columns = Columns();
    rows.clear();
    const bool insert = startsWith(sql, "insert");
    const QByteArray text = (insert ? returningId(sql) : sql).toUtf8();
    PGresult* result = exec(text, startsWith(sql, "select"));
    if (!check(result, false))
        return false;
    if (PQresultStatus(result) == PGRES_COMMAND_OK) {
        ++changes;
    } else if (insert) {
        ++changes;
        if (PQntuples(result) > 0)
            insertedId = std::strtoll(PQgetvalue(result, PQntuples(result) - 1, 0), nullptr, 10);
    } else {
        columns = columnsOf(result);
        const int count = PQntuples(result);
        rows.resize(size_t(count));
        for (int i = 0; i < count; ++i)
            copyRow(result, i, rows[size_t(i)]);
    }
    PQclear(result);
    return true;
}

bool PostgresEngine::readIds(const QString& sql, std::vector<qint64>& ids)
{
    ids.clear();
    PGresult* result = exec(sql.toUtf8(), true);
    if (!check(result, true))
        return false;
    const int count = PQntuples(result);
    ids.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        ids.push_back(std::strtoll(PQgetvalue(result, i, 0), nullptr, 10));
    PQclear(result);
    return true;
}

bool PostgresEngine::countByValue(const QString& sql, std::vector<std::pair<QString, qint64>>& counts)
{
    counts.clear();
    // The server groups by hashing.
    PGresult* result = exec((QStringLiteral("select v,count(*) from (") + sql + QStringLiteral(") as q(v) group by v")).toUtf8(), true);
    if (!check(result, true))
        return false;
    const int groups = PQntuples(result);
    counts.reserve(size_t(groups));
    for (int i = 0; i < groups; ++i)
        counts.emplace_back(PQgetisnull(result, i, 0) ? QString() : QString::fromUtf8(PQgetvalue(result, i, 0), PQgetlength(result, i, 0)),
                            std::strtoll(PQgetvalue(result, i, 1), nullptr, 10));
    PQclear(result);
    return true;
}

std::unique_ptr<RowReader> PostgresEngine::rowReader(const QString& table, const QString& columnList)
{
    const QString select = QStringLiteral("select") + columnList + QStringLiteral("from ") + table;
    // The columns are learnt from a statement that reads no row.
    PGresult* shape = exec((select + QStringLiteral(" where false")).toUtf8(), true);
    if (!check(shape, true))
        return nullptr;
    Columns columns = columnsOf(shape);
    PQclear(shape);
    return std::make_unique<PostgresRowReader>(
        *this, QStringLiteral("select id,") + columnList + QStringLiteral("from ") + table + QStringLiteral(" where id"),
        std::move(columns));
}

bool PostgresEngine::updateById(const QString& table, const QString& column, qint64 id, const QVariant& value,
                                bool& rowExisted)
{
    rowExisted = false;
    QString quoted = column.toLower();
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    const QByteArray sql = QStringLiteral("update %1 set \"%2\"=$1 where id=$2").arg(table, quoted).toUtf8();
    const Parameter p = parameterOf(value);
    const QByteArray key = QByteArray::number(id);
    const char* values[] = {p.null ? nullptr : p.bytes.constData(), key.constData()};
    const int lengths[] = {int(p.bytes.size()), int(key.size())};
    const int formats[] = {p.binary ? 1 : 0, 0};
    PGresult* result = exec(sql, false, 2, values, lengths, formats);
    if (!check(result, false))
        return false;
    rowExisted = std::strtoll(PQcmdTuples(result), nullptr, 10) > 0;
    ++changes;
    PQclear(result);
    return true;
}

bool PostgresEngine::continueIdsAfterLargest(const QString& table)
{
    const QByteArray sql = QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), coalesce(max(id), 0) + 1, "
                                          "false) FROM %1")
                               .arg(table)
                               .toUtf8();
    PGresult* result = exec(sql, false);
    if (!check(result, true))
        return false;
    PQclear(result);
    return true;
}

bool PostgresEngine::begin()
{
    // A BEGIN whose answer was lost began nothing that outlives the connection.
    inTransaction = command("BEGIN", true);
    return inTransaction;
}

bool PostgresEngine::lockRow(const QString& table, qint64 id)
{
    const QByteArray sql = QStringLiteral("SELECT id FROM %1 WHERE id=%2 FOR UPDATE").arg(table).arg(id).toUtf8();
    PGresult* result = exec(sql, false);
    if (!check(result, true))
        return false;
    PQclear(result);
    return true;
}

bool PostgresEngine::commit()
{
    PGresult* result = exec("COMMIT", false);
    inTransaction = false;
    if (!check(result, false))
        return false;
    // A transaction in which a statement failed is rolled back by its COMMIT.
    const bool committed = qstrcmp(PQcmdStatus(result), "COMMIT") == 0;
    PQclear(result);
    if (!committed) {
        error = QStringLiteral("the transaction was rolled back: a statement in it failed");
        kind = ErrorKind::Other;
    }
    return committed;
}

bool PostgresEngine::rollback()
{
    // A transaction lost with its connection is undone already.
    if (!inTransaction)
        return connectionUsable() || reconnect();
    if (!connectionUsable())
        return reconnect();
    inTransaction = false;
    return command("ROLLBACK");
}

} // namespace store
