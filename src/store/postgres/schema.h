#pragma once
// The program's tables on a PostgreSQL server.

#include <QStringList>

namespace postgres {

// The statements that set up an empty server database with the tables,
// columns, indexes and seeded rows of a new zhao.dat: ids are identity keys,
// texts citext (compared without regard to case, as Jet compares), numbers
// double precision, date-times timestamp(0) held to Jet's range
// 0100-01-01 00:00:00 … 9999-12-31 23:59:59. Run them in order, in one
// transaction; the first creates the citext extension (trusted: the database
// owner may create it). The database should be UTF8 with a UTF-8 LC_CTYPE
// (C.UTF-8 or a language's), so that citext and ~* fold letters beyond ASCII.
QStringList schemaStatements();

// The server's own table of the photo files (name as fj stores it, the file's
// bytes), so a desk needs nothing but the server; made also in a database
// set up before it existed.
QString photoFileTableStatement();

// The indexes, later columns and tables of schemaStatements, each created only where
// it is missing: run on a database set up by an earlier version.
QStringList missingSchemaStatements();

} // namespace postgres
