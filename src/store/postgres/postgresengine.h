#pragma once
// The engine of several desks: one PostgreSQL database reached through
// libpq, statements rewritten by postgres::rewriteJetSql.

#include "store/engine.h"

struct pg_conn;
struct pg_result;

namespace store {

class PostgresEngine : public Engine {
public:
    ~PostgresEngine() override;

    // Connects with a libpq connection string (host=… port=… dbname=… user=…;
    // passwords from libpq's own password file). A database without the
    // program's tables is set up here, once, even when several desks start
    // at the same moment. Connecting and each statement are given up after
    // their limits.
    static std::unique_ptr<PostgresEngine> open(const QString& connectionString, const ServerLimits& limits,
                                                QString& error, ErrorKind& kind);

    sqlengine::Rewritten rewrite(const QString& jetSql) override;
    bool run(const QString& sql, Columns& columns, std::vector<Row>& rows) override;
    bool readIds(const QString& sql, std::vector<qint64>& ids) override;
    bool countByValue(const QString& sql, std::vector<std::pair<QString, qint64>>& counts) override;
    std::unique_ptr<RowReader> rowReader(const QString& table, const QString& columnList) override;
    bool updateById(const QString& table, const QString& column, qint64 id, const QVariant& value,
                    bool& rowExisted) override;
    bool nullsSortFirst() const override { return false; }
    qint64 changeCounter() const override { return changes; }
    qint64 lastInsertId() const override { return insertedId; }
    // The server's index is made with its tables (postgres::schemaStatements).
    bool textIndexBuilt() const override { return true; }
    bool buildTextIndex(const std::function<void(qint64, qint64)>& progress) override;
    bool begin() override;
    bool lockRow(const QString& table, qint64 id) override;
    bool commit() override;
    bool rollback() override;
    bool continueIdsAfterLargest(const QString& table) override;
    QString errorText() const override { return error; }
    ErrorKind errorKind() const override { return kind; }

private:
    friend class PostgresRowReader;
    PostgresEngine(pg_conn* conn, const ServerLimits& limits) : conn(conn), limits(limits) {}
    // Takes a result: true when it is one of the expected statuses,
    // otherwise the server's error is kept. The result is freed unless kept.
    bool check(pg_result* result, bool rowsExpected);
    // Every statement goes through here. A connection the server closed
    // before the statement is made anew and the statement sent on it, as
    // nothing of it reached the server; a transaction that was open on it is
    // gone, so then the statement fails. resendable: sending it twice changes
    // nothing (a read, BEGIN), so it goes out once more when the connection
    // is lost while it runs.
    pg_result* exec(const QByteArray& sql, bool resendable, int count = 0, const char* const* values = nullptr,
                    const int* lengths = nullptr, const int* formats = nullptr);
    // Sends one statement and waits for its answer at most the statement
    // limit; nullptr when it could not be sent or no answer came in time.
    pg_result* sendAndWait(const QByteArray& sql, int count, const char* const* values, const int* lengths,
                           const int* formats);
    // False when the server closed the connection since the last statement
    // (it restarted, or ended this session), or no answer came in time.
    bool connectionUsable();
    bool reconnect();
    bool command(const char* sql, bool resendable = false);
    bool setUpIfEmpty();

    pg_conn* conn = nullptr;
    ServerLimits limits;
    // A statement was given up waiting: its answer may still come, so the
    // connection is not used again.
    bool abandoned = false;
    // The server said it ends this session.
    bool sessionEnded = false;
    // Why the last statement got no result, when not libpq's own text.
    QString noResultError;
    ErrorKind noResultKind = ErrorKind::Unreachable;
    QString error;
    ErrorKind kind = ErrorKind::None;
    qint64 changes = 0;
    qint64 insertedId = 0;
    bool inTransaction = false;
};

} // namespace store
