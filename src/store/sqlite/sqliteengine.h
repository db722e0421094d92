#pragma once
// The engine of a desk alone: zhao.dat, a SQLite file that reads the Jet
// dialect through platform/sqlengine.

#include "store/engine.h"

struct sqlite3;

namespace store {

class SqliteEngine : public Engine {
public:
    ~SqliteEngine() override;

    // Opens an existing zhao.dat for reading and writing; a missing file, an
    // empty file or one that is no database fails with the reason in error.
    static std::unique_ptr<SqliteEngine> open(const QString& path, QString& error, ErrorKind& kind);

    sqlengine::Rewritten rewrite(const QString& jetSql) override;
    bool run(const QString& sql, Columns& columns, std::vector<Row>& rows) override;
    bool readIds(const QString& sql, std::vector<qint64>& ids) override;
    bool countByValue(const QString& sql, std::vector<std::pair<QString, qint64>>& counts) override;
    std::unique_ptr<RowReader> rowReader(const QString& table, const QString& columnList) override;
    bool updateById(const QString& table, const QString& column, qint64 id, const QVariant& value,
                    bool& rowExisted) override;
    bool nullsSortFirst() const override { return true; }
    qint64 changeCounter() const override;
    qint64 lastInsertId() const override;
    bool textIndexBuilt() const override { return textIndexReady; }
    bool buildTextIndex(const std::function<void(qint64, qint64)>& progress) override;
    bool begin() override;
    // BEGIN IMMEDIATE holds the whole file already.
    bool lockRow(const QString&, qint64) override { return true; }
    bool commit() override;
    bool rollback() override;
    // SQLite numbers a new row after the largest id by itself.
    bool continueIdsAfterLargest(const QString&) override { return true; }
    QString errorText() const override { return error; }
    ErrorKind errorKind() const override { return kind; }

private:
    friend class SqliteRowReader;
    explicit SqliteEngine(sqlite3* db) : db(db) {}
    bool fail();
    bool succeed();
    bool plain(const char* sql);

    bool fillTextIndex(const std::function<void(qint64, qint64)>& progress);

    sqlite3* db = nullptr;
    bool textIndexReady = false;
    QString error;
    ErrorKind kind = ErrorKind::None;
};

} // namespace store
