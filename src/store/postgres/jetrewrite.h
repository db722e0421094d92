#pragma once
// Jet statements for PostgreSQL.
//
// The program writes every statement in the Jet dialect. This rewrite turns
// one into a statement PostgreSQL runs with Jet's meaning, on a database made
// by postgres::schemaStatements (text columns citext, date-time columns
// timestamp); everything else stays letter for letter:
//   - `delete * from` becomes `delete from`;
//   - a `#…#` literal becomes TIMESTAMP 'yyyy-MM-dd HH:mm:ss';
//   - a like on a text item in a plain search of bmb is preceded by the test
//     of the item's pairs of characters, which the server's index answers
//     (store/textindex.h);
//   - `x like 'pattern'` becomes `x ~* 'regex'` (`not like`: `!~*`), Jet's
//     pattern as an anchored case-insensitive POSIX regular expression; a
//     column name on the left is read as text, as Jet compares numbers with
//     a pattern; the pattern must be one quoted text;
//   - a quoted text written into a date-time column by INSERT INTO t (…)
//     VALUES (…) or UPDATE t SET c=… (2013年5月6日14时3分9秒, ISO, …) becomes a
//     TIMESTAMP literal; a text that is no date fails, as Jet fails.
// Dates are Jet's: 100-01-01 00:00:00 to 9999-12-31 23:59:59.
// The regular expressions and quoted texts rely on the server's default
// standard_conforming_strings = on (a backslash in a quoted text is itself).
// Letters beyond ASCII match without regard to case when the database's
// LC_CTYPE is a UTF-8 locale (C.UTF-8, zh_CN.UTF-8, …), not C.

#include "platform/sqlengine.h"

#include <QString>

namespace postgres {

// The rewritten text with its tokens (offsets into it), or the reason the
// statement cannot run.
sqlengine::Rewritten rewriteJetSql(const QString& jetSql);

// A Jet LIKE pattern as a POSIX regular expression that `~*` matches against
// the same texts sqlengine::jetLike matches: anchored at both ends, `%` any
// run, `_` one character, `[abc]`, `[a-z]`, `[!abc]`, `[^]` a literal caret,
// `[]` nothing at all, an unclosed `[` itself, every other character itself.
QString likePatternToRegex(const QString& pattern);

} // namespace postgres
