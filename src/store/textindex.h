#pragma once
// The index of the text items the office searches (姓名, 身份证号, 联系电话, …):
// for every registration, the pairs of adjacent characters of each item. A
// search "item like 'pattern'" needs only the rows holding every pair of the
// pattern's plain runs (sqlengine::likeRequiredPairs); the LIKE itself still
// decides, so the index narrows the rows a search reads and never changes
// its result. On a desk's zhao.dat it is an FTS5 table kept by stored
// triggers written in plain SQL (any SQLite client with FTS5 keeps it in
// step); on a server a GIN index over an array of the pairs.

#include "platform/sqlengine.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace textindex {

// The columns of bmb the index holds.
const QStringList& columns();

// The like conditions of a statement whose rows an index may narrow: in the
// where clause of "select … from bmb where …" that joins plain conditions
// with and only (no or, not, parentheses or case), a bare indexed column, like,
// one quoted pattern with two plain characters side by side and no escape.
// Each is the index of the column's token; the like follows it, the pattern
// the like.
std::vector<size_t> narrowableLikes(const std::vector<sqlengine::Token>& tokens);

// The quoted pattern of a like token as the text it stands for.
QString patternOf(const sqlengine::Token& quoted);

// The statement with narrowing(column, pairs) written before the column of
// each narrowable like; unchanged when there is none.
QString narrowed(const QString& sql, QString (*narrowing)(const QString& column, const QStringList& pairs));

// --- the desk's file (SQLite)

// The statements that make the index on a database without it: the table of
// positions, the FTS5 table, the view it is checked against, the triggers.
// The rows already stored are not in it yet (buildStatement fills it).
QStringList sqliteCreateStatements();
// True when the statements of sqliteCreateStatements ran on the file.
QString sqlitePresenceQuery();
// Fills the index with the rows whose id is above ?1 and at most ?2.
QString sqliteFillStatement();
// Empties the index (before filling it anew).
QString sqliteClearStatement();
// Merges the index into one segment after a build.
QString sqliteOptimizeStatement();
// Fails (SQLITE_CORRUPT) when the index does not hold exactly the pairs of
// the stored rows.
QString sqliteCheckStatement();
// "id in (select rowid from … match …) and " for a like on column.
QString sqliteNarrowing(const QString& column, const QStringList& pairs);

// --- a server (PostgreSQL)

// The function that gives a text's pairs, and the index over the columns'
// pairs; each made only where it is missing.
QStringList postgresStatements();
// "brenvo_pairs(CAST(column AS text)) @> ARRAY[…] AND " for a like on column.
QString postgresNarrowing(const QString& column, const QStringList& pairs);

} // namespace textindex
