#pragma once
// SQLite that reads the Jet dialect the program writes its statements in.
//
// The program builds Jet SQL texts (`delete * from`, `#…#` date literals,
// Jet's LIKE with bracket classes). This engine rewrites only what SQLite
// reads differently and supplies the functions SQLite lacks:
//   - `delete * from` becomes `delete from`;
//   - a `#…#` literal becomes the quoted text 'yyyy-MM-dd HH:mm:ss';
//   - `like` is Jet's: case-insensitive, `%`, `_`, `[abc]`, `[a-z]`, `[!…]`,
//     and `[^]` matches a literal caret;
//   - `jetdate(value)` turns a date text (2013年5月6日14时3分9秒, 2013-05-06,
//     2013-05-06 14:03:09, …) into yyyy-MM-dd HH:mm:ss and raises an error for
//     a value that is no date; the store's TEMP triggers of the date-time
//     columns call it, nothing stored in a database file does.
// Dates are Jet's: 100-01-01 00:00:00 to 9999-12-31 23:59:59; a text, literal
// or day number outside that range is no date.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace sqlengine {

enum class TokenKind {
    Name,       // a word: keyword or identifier, also [bracketed] and "quoted" identifiers
    Number,     // 12, 1.5, .5, 1e3
    String,     // a single-quoted text, doubled quotes inside
    Date,       // a #…# literal (in a rewritten text: already a quoted ISO text)
    Symbol,     // operators and punctuation: ( ) , ; * = <> >= <= || …
    Parameter,  // ? ?1 :name @name $name
};

struct Token {
    TokenKind kind = TokenKind::Symbol;
    int begin = 0;   // offset into the text the token was read from
    int length = 0;
    QString text;    // the token as written

    // Case-insensitive comparison of a Name or Symbol token with a word.
    bool is(const char* word) const;
};

struct Lexed {
    std::vector<Token> tokens;
    QString error;   // empty when the text could be read
    bool ok() const { return error.isEmpty(); }
};

// Splits a statement into tokens; blanks are skipped. Fails on an unclosed
// quote, an unclosed #…# or an unclosed [ identifier.
Lexed tokenize(const QString& sql);

struct Rewritten {
    QString sql;                 // the text to hand to SQLite
    std::vector<Token> tokens;   // the tokens of sql (offsets into sql)
    QString error;               // empty when the rewrite succeeded
    bool ok() const { return error.isEmpty(); }
};

// Appends text to out.sql as one token of the given kind.
void appendToken(Rewritten& out, TokenKind kind, const QString& text);

// Rewrites a Jet statement for SQLite. Blanks and everything that needs no
// rewrite stay letter for letter. A #…# literal that is no date fails.
Rewritten rewriteJetSql(const QString& jetSql);

// The moment a #…# literal stands for: the forms textToDate reads, and Jet's
// month-first m/d/yyyy [h:mm[:ss]].
std::optional<QDateTime> parseDateLiteral(const QString& content);

// A value read as a date: the forms textToDate reads; nothing for any other text.
std::optional<QString> dateTextToIso(const QString& text);

// A number of days since the zero date (the fraction is the time of day), the
// way Jet turns a number into a date-time. Nothing when out of range.
std::optional<QDateTime> serialToDate(double serial);

// Jet's LIKE on whole texts; exposed for the tests and for callers that match
// outside SQL. Case-insensitive; an unclosed [ matches itself literally.
bool jetLike(const QString& pattern, const QString& text);

// One pattern of Jet's LIKE, read once and matched against many texts.
class JetLikePattern {
public:
    explicit JetLikePattern(const QString& pattern);
    ~JetLikePattern();
    JetLikePattern(JetLikePattern&&) noexcept;
    JetLikePattern& operator=(JetLikePattern&&) noexcept;
    bool matches(const QString& text) const;

private:
    struct Compiled;
    std::unique_ptr<Compiled> compiled;
};

// The pairs of adjacent characters (case-folded, two letters each) that every
// text the Jet LIKE pattern matches holds, taken from its runs of plain
// characters; no pair for a term shorter than two. A character is plain when
// nothing but itself and its other case folds to it: digits, ASCII letters but
// k and s (the Kelvin sign and the long s fold to them), and letters without
// case (Chinese characters). Each distinct pair once, in pattern order.
QStringList likeRequiredPairs(const QString& pattern);

// Registers like(pattern, text), like(pattern, text, escape) and jetdate(value)
// on the connection. False when SQLite refuses.
bool registerJetFunctions(sqlite3* db);

} // namespace sqlengine
