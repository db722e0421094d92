#pragma once
// The one way the program talks to zhao.dat: a connection, record sets and
// the operations every subsystem uses. Statements are Jet SQL texts; the
// engine behind them rewrites them into its own dialect (store/engine.h).

#include "store/engine.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>

enum class LockMode { ReadOnly, Optimistic };

// A column addressed by name (without regard to case) or by 0-based position.
struct FieldRef {
    FieldRef(const char* columnName) : name(QString::fromUtf8(columnName)) {}
    FieldRef(const QString& columnName) : name(columnName) {}
    FieldRef(int columnPosition) : position(columnPosition) {}
    QString name;
    int position = -1;
};

class DbConnection;

// The result of a query. A one-table select keeps only the row ids in query
// order (a keyset) and reads a row's values when the cursor reaches it, so
// values read after an update are fresh; any other select is read whole. An
// ordered one starts with its count and its first ids, and reads the rest of
// its ids when the cursor first goes past them; rows of equal order keep the
// order of their ids.
class RecordSet {
public:
    RecordSet();
    ~RecordSet();
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;

    bool isOpen() const;
    void close();
    // True past the last row, and whenever the record set cannot answer:
    // closed, or a row could not be read.
    bool atEnd() const;
    void moveNext();
    int recordCount() const;
    // True once reading a row failed (the file locked by another program, an
    // I/O error, a damaged page). The connection's lastErrorText() says why,
    // atEnd() is true from then on and the readers give empty values, so a
    // loop stops and nothing is taken for the row's real values. Lasts until
    // the record set is closed or opened again, or a page is turned to.
    bool readFailed() const;

    // Each reader gives the empty value of its kind (empty text, 0, 0.0, the
    // zero date, empty bytes) for NULL, a missing column or a value that does
    // not convert; check atEnd() (or readFailed()) first, as an unreadable row
    // also gives empty values. Date-time columns read as text give
    // yyyy-MM-dd HH:mm:ss.
    QString readText(const FieldRef& field) const;
    int readInteger(const FieldRef& field) const;
    double readNumber(const FieldRef& field) const;
    QDateTime readDateTime(const FieldRef& field) const;
    QByteArray readBytes(const FieldRef& field) const;
    QStringList columnNames() const;

    // Paging over the keys, as the browse list uses it. Pages count from 1;
    // getAbsolutePage gives -1 when the cursor is on no row.
    void setPageSize(int rows);
    int getPageSize() const;
    int getPageCount() const;
    int getAbsolutePage() const;
    void setAbsolutePage(int page);

    // Writes one column of the current row (optimistic record sets only).
    bool updateCurrentRow(const QString& column, const QVariant& value);

private:
    friend class DbConnection;
    struct Impl;
    std::unique_ptr<Impl> d;
};

class DbConnection {
public:
    DbConnection();
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // "provider=…;Data Source=<dir>\zhao.dat;Jet OLEDB:Database Password=…",
    // a value holding ; or a quote between double quotes (doubled inside);
    // never creates a missing file; a file that is no database fails here.
    // A file another program holds is waited for a short while.
    bool openDatabase(const QString& connectionString);
    // A PostgreSQL server several desks share, by a libpq connection string;
    // an empty database is set up on the way.
    bool openServer(const QString& connectionString, const store::ServerLimits& limits = {});
    void closeDatabase();
    bool isOpen() const;

    // Statements run one at a time: text after the first statement, or a NUL
    // character anywhere, makes the call fail without running anything.
    bool openQuery(RecordSet& recordSet, const QString& sql, LockMode mode = LockMode::ReadOnly);
    // Runs one statement; its result replaces target (a closed record set for a
    // write). On failure target holds a fresh closed record set.
    bool executeStatement(const QString& sql, std::unique_ptr<RecordSet>& target);
    // The rows of a select counted by the value of its first column read as
    // text (a null QString for NULL): one pass, no sorting. Statements as
    // for openQuery.
    bool countByValue(const QString& sql, std::vector<std::pair<QString, qint64>>& counts);
    // The engine's message for the last failure; empty after a success.
    QString lastErrorText() const;
    store::ErrorKind lastErrorKind() const;

    // The id of the row the last INSERT through this connection wrote, never
    // another connection's: what "the newest row" means for this desk.
    qint64 lastInsertId() const;

    // After rows were written with ids of their own, new rows of table are
    // numbered after the largest id.
    bool continueIdsAfterLargest(const QString& table);

    // The index the searches of text items read (store/textindex.h): false
    // while a file of an earlier version has none yet, and its searches read
    // every row.
    bool textIndexBuilt() const;
    // Makes it anew from the stored rows, telling progress(done, total) as it
    // goes; nothing changes when it fails.
    bool buildTextIndex(const std::function<void(qint64, qint64)>& progress);

    // Statements between begin and commit take effect together or not at all.
    bool beginTransaction();
    // Inside a transaction: no other connection writes the row until it ends.
    bool lockRow(const QString& table, qint64 id);
    bool commitTransaction();
    bool rollbackTransaction();

private:
    friend class RecordSet;
    struct Impl;
    std::unique_ptr<Impl> d;
};

bool createConnection(std::unique_ptr<DbConnection>& connection);
bool createRecordSet(std::unique_ptr<RecordSet>& recordSet);

// The connection string of the program directory's zhao.dat; any directory
// name, also one holding ; or quotes, reads back whole.
QString connectionStringFor(const QString& programDirectory);

// The connection and the two record sets the whole program shares.
struct Database {
    std::unique_ptr<DbConnection> connection;
    std::unique_ptr<RecordSet> sharedRecordSet;
    std::unique_ptr<RecordSet> browseRecordSet;

    // Closes sharedRecordSet and opens sql in it.
    bool openShared(const QString& sql, LockMode mode = LockMode::ReadOnly);
    // executeStatement with sharedRecordSet as the target.
    bool execute(const QString& sql);
    QString lastErrorText() const;
    // The last failure as the operator reads it (see store/databaseerror.h).
    QString lastErrorForOperator() const;
    RecordSet& shared() { return *sharedRecordSet; }
};
