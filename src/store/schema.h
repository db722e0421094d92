#pragma once
// The tables of zhao.dat and the content of a newly shipped database.

#include <QString>

struct sqlite3;

// Creates every table, index and date-conversion trigger on an empty database.
bool createSchema(sqlite3* db, QString* error);

// Writes a new zhao.dat at path with the schema and the seeded rows
// (founder account admin / 472915, one xx row, one sync row, the style rows
// of the fixed columns). Fails if the file exists.
bool createShippedDatabase(const QString& path, QString* error);
