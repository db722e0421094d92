#pragma once
// The tables of zhao.dat and the content of a newly shipped database.

#include <QString>

// Writes a new zhao.dat at path with the schema and the seeded rows
// (founder account admin / 472915, one xx row, one sync row, the style rows
// of the fixed columns). Fails if the file exists.
bool createShippedDatabase(const QString& path, QString* error);

// True for the name of a column of bmb, without regard to case. Column names
// taken from style.zd are checked with it before they enter a statement.
bool isRegistrationColumn(const QString& name);
