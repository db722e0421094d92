#pragma once
// The schema operations that work on a SQLite handle. Used only inside the
// store, so no SQLite type reaches the headers the rest of the program reads.

#include <QString>

struct sqlite3;

// Creates every table and index on an empty database.
bool createSchema(sqlite3* db, QString* error);

// Brings a zhao.dat written by an earlier version to the current schema: drops
// stored triggers that call jetdate (no other SQLite client has it, so those
// triggers made every insert fail there), declares the date-time columns with
// text affinity and rewrites the day numbers they hold as date texts. Nothing
// changes in a current file.
bool upgradeSchema(sqlite3* db, QString* error);

// Creates TEMP triggers that turn a text written into a date-time column into
// yyyy-MM-dd HH:mm:ss and make the statement fail for a text that is no date.
// They last as long as the connection and are never stored in the file.
// Needs sqlengine::registerJetFunctions on db.
bool installDateConversion(sqlite3* db, QString* error);

// True for the declared type of a date-time column.
bool isDateTimeDeclaration(const char* declaredType);

// Looks for the first table or column of the program's schema that db lacks.
// True when one is missing: table names it, column is empty when the whole
// table is missing. A failed read of the schema counts as nothing missing;
// the caller's own reads report it.
bool findMissingSchemaPart(sqlite3* db, QString* table, QString* column);
