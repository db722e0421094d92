#pragma once
// The door between the store and a database engine. DbConnection and
// RecordSet (store/database.h) keep the program's rules: Jet statements one
// at a time, keyset record sets and their paging, the readers' conversions.
// An engine turns a Jet statement into its own dialect and runs it. Two live
// beside this file: sqlite/ (zhao.dat, a desk alone) and postgres/ (a server
// several desks share).

#include "platform/sqlengine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace store {

enum class CellType { Null, Integer, Number, Text, Bytes };

// One value of a row; texts (UTF-8) and bytes live in the row's buffer.
struct Cell {
    CellType type = CellType::Null;
    qint64 integer = 0;
    double number = 0.0;
    int offset = 0;
    int length = 0;
};

struct Row {
    std::vector<Cell> cells;
    QByteArray buffer;

    void clear(size_t columns)
    {
        cells.assign(columns, Cell());
        buffer.clear();
    }
    void setText(size_t column, const char* data, int length, CellType type = CellType::Text)
    {
        Cell& cell = cells[column];
        cell.type = type;
        cell.offset = int(buffer.size());
        cell.length = length;
        if (length > 0)
            buffer.append(data, length);
    }
};

struct Columns {
    QStringList names;
    std::vector<bool> isDate;   // date-time columns, whatever the engine stores them as
};

// What went wrong, as far as the operator is concerned.
enum class ErrorKind {
    None,
    Busy,          // another program or desk holds the data
    DiskFull,
    ReadOnly,      // the file or the account may not be written
    NoPermission,
    DiskError,
    Damaged,       // the file is damaged or no database
    Unreachable,   // the file cannot be opened or the server cannot be reached
    OutOfMemory,
    Other,         // a fault in the statement itself
    WrongPassword, // the server refused the account or its password
    NoDatabase,    // the server has no database of the name given
    BadSetting,    // the connection setting itself is wrong
    NoAnswer,      // the server did not answer within its limit
};

// True when the connection went while a statement was under way: whether a
// write in it took effect is not known from here.
inline bool connectionWasLost(ErrorKind kind)
{
    return kind == ErrorKind::Unreachable || kind == ErrorKind::NoAnswer;
}

// How long a desk waits for a server: to connect, and for each statement.
struct ServerLimits {
    int connectSeconds = 10;
    int statementSeconds = 30;
};

// Reads rows of one table by id, again and again: the cursor of a keyset.
class RowReader {
public:
    virtual ~RowReader() = default;
    enum class Result { Found, Missing, Failed };
    virtual const Columns& columns() const = 0;
    // ahead: the ids the cursor reaches next, which an engine that pays a
    // round trip per statement may read together with this one.
    virtual Result read(qint64 id, const std::vector<qint64>& ahead, Row& row) = 0;
};

class Engine {
public:
    virtual ~Engine() = default;

    // The statement in this engine's dialect, with its tokens; an error when
    // the Jet text cannot be written in it.
    virtual sqlengine::Rewritten rewrite(const QString& jetSql) = 0;
    // Runs one rewritten statement; a select's columns and rows are read whole.
    virtual bool run(const QString& sql, Columns& columns, std::vector<Row>& rows) = 0;
    // The first column of every row of a rewritten select, as integers.
    virtual bool readIds(const QString& sql, std::vector<qint64>& ids) = 0;
    // The rows of a rewritten select counted by the text of their first
    // column (a null QString for NULL), in no particular order: one pass
    // over the rows, without sorting them.
    virtual bool countByValue(const QString& sql, std::vector<std::pair<QString, qint64>>& counts) = 0;
    // A reader of "select <columnList> from <table> where id=…"; nullptr when
    // the statement is not one of this table (the error says why).
    virtual std::unique_ptr<RowReader> rowReader(const QString& table, const QString& columnList) = 0;
    // Sets one column of the row with the id; rowExisted is false when there
    // is no such row.
    virtual bool updateById(const QString& table, const QString& column, qint64 id, const QVariant& value,
                            bool& rowExisted) = 0;

    // True when NULL sorts before every value in an ascending order, false
    // when after.
    virtual bool nullsSortFirst() const = 0;

    // Grows with every write through this connection, so a keyset knows to
    // read its rows again.
    virtual qint64 changeCounter() const = 0;
    // The id of the row the last INSERT on this connection wrote; 0 when none.
    virtual qint64 lastInsertId() const = 0;

    // After rows were written with ids of their own (a restore), new rows of
    // table continue after the largest id.
    virtual bool continueIdsAfterLargest(const QString& table) = 0;

    // The index of the text items (store/textindex.h). False while a file
    // of an earlier version has none yet: its searches read every row.
    virtual bool textIndexBuilt() const = 0;
    // Makes the index anew from the stored rows, telling progress(done,
    // total) as it goes; nothing changes when it fails.
    virtual bool buildTextIndex(const std::function<void(qint64, qint64)>& progress) = 0;

    virtual bool begin() = 0;
    // Inside a transaction: holds the row with the id against other
    // connections' writes until the transaction ends, so what is read of it
    // next stays true until then.
    virtual bool lockRow(const QString& table, qint64 id) = 0;
    virtual bool commit() = 0;
    virtual bool rollback() = 0;

    // The engine's own text and its kind for the last failure.
    virtual QString errorText() const = 0;
    virtual ErrorKind errorKind() const = 0;
};

} // namespace store
