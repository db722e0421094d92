#pragma once
// The tables of zhao.dat and the content of a newly shipped database.

#include <QString>
#include <QVariant>

#include <utility>
#include <vector>

// The program's tables as every engine declares them: the SQLite file and the
// PostgreSQL server database are built from the same lists.
namespace schema {

// Column kinds as the statements give them values: unquoted integers,
// unquoted numbers, quoted texts and date-times.
enum class Kind { Integer, Number, Text, DateTime };

struct Column {
    const char* name;
    Kind kind;
    const char* defaultValue = nullptr;   // SQL literal; nullptr: the kind's usual default
    // A column databases of earlier versions lack: opening one adds it, and
    // its absence is no damage.
    bool addedLater = false;
};

struct Table {
    const char* name;
    std::vector<Column> columns;   // besides the key id, which every table has
};

const std::vector<Table>& tables();

// CREATE INDEX statements on the columns the browse and statistics pages
// filter and sort on; plain SQL that every engine reads.
const std::vector<QString>& indexStatements();

// The web page's signing secrets (receipt links, form tokens), by name: one
// table every instance of the page serving the database shares. Plain SQL
// every engine reads but the key, declared as the engine declares its ids;
// made where it is missing whenever a database is opened.
QString webSecretTableStatement(const QString& idDeclaration);

// The unique index on bmb's save keys (rows without a key left out); a
// statement that does nothing where the index is there.
QString saveKeyIndexStatement();

// A row of a newly made database: column names with their values (QString,
// int or double), in the order they are inserted.
struct SeedRow {
    const char* table;
    std::vector<std::pair<const char*, QVariant>> values;
};

// The founder account admin / 472915, one xx row with every switch off, one
// sync row and the style rows of the fixed columns.
std::vector<SeedRow> seedRows();

} // namespace schema

// Writes a new zhao.dat at path with the schema and the seeded rows
// (founder account admin / 472915, one xx row, one sync row, the style rows
// of the fixed columns). Fails if the file exists.
bool createShippedDatabase(const QString& path, QString* error);

// True for the name of a column of bmb, without regard to case. Column names
// taken from style.zd are checked with it before they enter a statement.
bool isRegistrationColumn(const QString& name);
