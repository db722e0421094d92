#include "store/postgres/jetrewrite.h"

#include "store/schema.h"
#include "store/textindex.h"

#include "platform/dates.h"
#include "platform/sqlliteral.h"

#include <QDateTime>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace postgres {

using sqlengine::Rewritten;
using sqlengine::Token;
using sqlengine::TokenKind;

namespace {

// ---------------------------------------------------------------------------
// LIKE patterns

// Characters a regular expression reads as operators, outside and inside a
// bracket expression; they are written with a backslash before them.
const char* const specialOutside = "\\^$.|?*+()[]{}";
const char* const specialInside = "\\^-[]";

// Jet compares without regard to case; a range's ends are compared folded,
// as sqlengine::jetLike folds the whole pattern.
char32_t foldChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

void appendChar(QString& out, char32_t c, const char* special)
{
    if (c != 0 && c < 0x80 && std::strchr(special, char(c)))
        out += QLatin1Char('\\');
    out += QString::fromUcs4(&c, 1);
}

// A bracket class of Jet (members without the brackets and without the !)
// as a regular expression for one character.
QString classToRegex(const std::u32string& members, bool negated)
{
    std::vector<std::pair<char32_t, char32_t>> ranges;
    const size_t n = members.size();
    for (size_t j = 0; j < n;) {
        if (j + 2 < n && members[j + 1] == U'-') {
            ranges.emplace_back(foldChar(members[j]), foldChar(members[j + 2]));
            j += 3;
        } else {
            ranges.emplace_back(foldChar(members[j]), foldChar(members[j]));
            ++j;
        }
    }
    QString body;
    for (const auto& [low, high] : ranges) {
        // A range whose ends are the wrong way round holds no character.
        if (low > high)
            continue;
        appendChar(body, low, specialInside);
        if (high != low) {
            body += QLatin1Char('-');
            appendChar(body, high, specialInside);
        }
    }
    if (body.isEmpty())
        // No character at all: the negation takes any one, the class none.
        return negated ? QStringLiteral(".") : QStringLiteral("(?!)");
    return QLatin1Char('[') + (negated ? QStringLiteral("^") : QString()) + body + QLatin1Char(']');
}

// ---------------------------------------------------------------------------
// Statement shapes

QString unquoted(const Token& t)
{
    QString text = t.text.mid(1, t.text.size() - 2);
    text.replace(QLatin1String("''"), QLatin1String("'"));
    return text;
}

// A name as the schema spells it: brackets and double quotes taken off.
QString bareName(const Token& t)
{
    if (t.kind != TokenKind::Name)
        return QString();
    const QChar first = t.text.front();
    if (first == QLatin1Char('[') || first == QLatin1Char('"') || first == QLatin1Char('`'))
        return t.text.mid(1, t.text.size() - 2);
    return t.text;
}

bool isDateTimeColumn(const QString& table, const QString& column)
{
    for (const schema::Table& t : schema::tables()) {
        if (table.compare(QLatin1String(t.name), Qt::CaseInsensitive) != 0)
            continue;
        for (const schema::Column& c : t.columns)
            if (c.kind == schema::Kind::DateTime && column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
                return true;
    }
    return false;
}

constexpr size_t none = size_t(-1);

// The ) that closes the ( at open; none when the text ends first.
size_t closingParenthesis(const std::vector<Token>& in, size_t open)
{
    int depth = 0;
    for (size_t k = open; k < in.size(); ++k) {
        if (in[k].is("("))
            ++depth;
        else if (in[k].is(")") && --depth == 0)
            return k;
    }
    return none;
}

// The items of a comma-separated list between begin and end (exclusive), as
// [first, last] token ranges; commas inside parentheses belong to an item.
std::vector<std::pair<size_t, size_t>> listItems(const std::vector<Token>& in, size_t begin, size_t end)
{
    std::vector<std::pair<size_t, size_t>> items;
    int depth = 0;
    size_t first = begin;
    for (size_t k = begin; k < end; ++k) {
        if (in[k].is("("))
            ++depth;
        else if (in[k].is(")"))
            --depth;
        else if (depth == 0 && in[k].is(",")) {
            items.emplace_back(first, k - 1);
            first = k + 1;
        }
    }
    if (begin < end)
        items.emplace_back(first, end - 1);
    return items;
}

// Marks a value that is one quoted text written into a date-time column.
void markDateText(const std::vector<Token>& in, const QString& table, const Token& column,
                  std::pair<size_t, size_t> value, std::vector<bool>& marks)
{
    if (value.first == value.second && in[value.first].kind == TokenKind::String
        && isDateTimeColumn(table, bareName(column)))
        marks[value.first] = true;
}

// INSERT INTO t (c1, c2, …) VALUES (v1, v2, …)[, (…)]
void markInsertedDateTexts(const std::vector<Token>& in, std::vector<bool>& marks)
{
    if (in.size() < 4 || !in[0].is("insert") || !in[1].is("into") || in[2].kind != TokenKind::Name
        || !in[3].is("("))
        return;
    const QString table = bareName(in[2]);
    const size_t columnsEnd = closingParenthesis(in, 3);
    if (columnsEnd == none)
        return;
    std::vector<size_t> columns;
    for (const auto& [first, last] : listItems(in, 4, columnsEnd)) {
        if (first != last || in[first].kind != TokenKind::Name)
            return;
        columns.push_back(first);
    }
    size_t k = columnsEnd + 1;
    if (k >= in.size() || !in[k].is("values"))
        return;
    ++k;
    while (k < in.size() && in[k].is("(")) {
        const size_t tupleEnd = closingParenthesis(in, k);
        if (tupleEnd == none)
            return;
        const auto values = listItems(in, k + 1, tupleEnd);
        for (size_t i = 0; i < values.size() && i < columns.size(); ++i)
            markDateText(in, table, in[columns[i]], values[i], marks);
        k = tupleEnd + 1;
        if (k < in.size() && in[k].is(","))
            ++k;
    }
}

// UPDATE t SET c1=v1, c2=v2 … [WHERE …]
void markUpdatedDateTexts(const std::vector<Token>& in, std::vector<bool>& marks)
{
    if (in.size() < 4 || !in[0].is("update") || in[1].kind != TokenKind::Name || !in[2].is("set"))
        return;
    const QString table = bareName(in[1]);
    size_t end = 3;
    int depth = 0;
    for (; end < in.size(); ++end) {
        const Token& t = in[end];
        if (t.is("("))
            ++depth;
        else if (t.is(")"))
            --depth;
        else if (depth == 0 && (t.is("where") || t.is("from") || t.is("returning") || t.is(";")))
            break;
    }
    for (const auto& [first, last] : listItems(in, 3, end))
        if (first + 2 <= last && in[first].kind == TokenKind::Name && in[first + 1].is("="))
            markDateText(in, table, in[first], {first + 2, last}, marks);
}

// The first token of the operand on the left of a like at index like (its
// last token is right before the like or the not of not like) when that
// operand is a column name, plain or qualified; none otherwise.
size_t likeColumnOperand(const std::vector<Token>& in, size_t like)
{
    const size_t op = (like > 0 && in[like - 1].is("not")) ? like - 1 : like;
    if (op == 0)
        return none;
    const Token& last = in[op - 1];
    // "case … end like" compares the whole case expression.
    if (last.kind != TokenKind::Name || last.is("end") || last.is("not"))
        return none;
    if (op >= 3 && in[op - 2].is(".") && in[op - 3].kind == TokenKind::Name)
        return op - 3;
    return op - 1;
}

// Writes the rewritten text: the source between tokens (blanks, comments)
// as it was, each token as given.
struct Writer {
    const QString& source;
    Rewritten& out;
    qsizetype copied = 0;   // source text up to here is in out.sql

    void copyUpTo(qsizetype position)
    {
        out.sql += QStringView(source).mid(copied, position - copied);
        copied = position;
    }
    void add(TokenKind kind, const QString& text) { sqlengine::appendToken(out, kind, text); }
    // Writes text in place of the source tokens from first to last.
    void replace(const Token& first, const Token& last, TokenKind kind, const QString& text)
    {
        copyUpTo(first.begin);
        add(kind, text);
        copied = last.begin + last.length;
    }
    void keep(const Token& t) { replace(t, t, t.kind, t.text); }
};

QString timestampLiteral(const QString& isoText)
{
    return QStringLiteral("TIMESTAMP ") + sqlText(isoText);
}

Rewritten failed(const QString& error)
{
    Rewritten out;
    out.error = error;
    return out;
}

} // namespace

QString likePatternToRegex(const QString& pattern)
{
    const std::u32string p = pattern.toStdU32String();
    QString out = QStringLiteral("^");
    bool afterAny = false;
    for (size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (c == U'%') {
            if (!afterAny)
                out += QLatin1String(".*");
            afterAny = true;
            continue;
        }
        if (c == U'[') {
            const size_t close = p.find(U']', i + 1);
            if (close == i + 1) {   // [] matches the empty text
                i = close;
                continue;
            }
            if (close != std::u32string::npos) {
                const bool negated = p[i + 1] == U'!';
                const size_t first = i + 1 + (negated ? 1 : 0);
                out += classToRegex(p.substr(first, close - first), negated);
                i = close;
                afterAny = false;
                continue;
            }
        }
        afterAny = false;
        if (c == U'_')
            out += QLatin1Char('.');
        else
            appendChar(out, c, specialOutside);
    }
    out += QLatin1Char('$');
    return out;
}

Rewritten rewriteJetSql(const QString& jetSqlAsGiven)
{
    // A search of the text items reads only the rows that hold its pairs.
    const QString jetSql = textindex::narrowed(jetSqlAsGiven, textindex::postgresNarrowing);
    const sqlengine::Lexed lexed = sqlengine::tokenize(jetSql);
    if (!lexed.ok())
        return failed(lexed.error);
    const std::vector<Token>& in = lexed.tokens;

    std::vector<bool> dateTexts(in.size(), false);
    markInsertedDateTexts(in, dateTexts);
    markUpdatedDateTexts(in, dateTexts);
    // Column operands of like, read as text: from their first token to the
    // token before the like (or not).
    std::vector<size_t> castEnds(in.size(), none);
    for (size_t k = 0; k < in.size(); ++k) {
        if (!in[k].is("like"))
            continue;
        const size_t first = likeColumnOperand(in, k);
        if (first != none)
            castEnds[first] = in[k - 1].is("not") ? k - 2 : k - 1;
    }

    Rewritten out;
    out.sql.reserve(jetSql.size() + 32);
    out.tokens.reserve(in.size() + 8);
    Writer w{jetSql, out};
    size_t castClose = none;
    for (size_t k = 0; k < in.size(); ++k) {
        const Token& t = in[k];
        if (castEnds[k] != none) {
            w.copyUpTo(t.begin);
            w.add(TokenKind::Name, QStringLiteral("CAST"));
            w.add(TokenKind::Symbol, QStringLiteral("("));
            castClose = castEnds[k];
        }

        if (t.kind == TokenKind::Date) {
            const std::optional<QDateTime> moment = sqlengine::parseDateLiteral(t.text.mid(1, t.text.size() - 2));
            if (!moment)
                return failed(QStringLiteral("the date literal %1 is no valid date").arg(t.text));
            w.replace(t, t, TokenKind::Date, timestampLiteral(isoDateText(*moment)));
        } else if (dateTexts[k]) {
            const QString text = unquoted(t);
            const std::optional<QString> iso = sqlengine::dateTextToIso(text);
            if (!iso)
                return failed(QStringLiteral("data type mismatch: '%1' is no date").arg(text.left(60)));
            w.replace(t, t, TokenKind::Date, timestampLiteral(*iso));
        } else if (t.is("like") || (t.is("not") && k + 1 < in.size() && in[k + 1].is("like"))) {
            const bool negated = t.is("not");
            const size_t like = negated ? k + 1 : k;
            const size_t pattern = like + 1;
            if (pattern >= in.size() || in[pattern].kind != TokenKind::String)
                return failed(QStringLiteral("the pattern after LIKE must be one quoted text"));
            if (pattern + 1 < in.size()) {
                const Token& after = in[pattern + 1];
                if (after.is("escape"))
                    return failed(QStringLiteral("LIKE … ESCAPE is not Jet SQL"));
                if (after.is("||") || after.is("&") || after.is("+"))
                    return failed(QStringLiteral("the pattern after LIKE must be one quoted text"));
            }
            w.replace(t, in[like], TokenKind::Symbol, negated ? QStringLiteral("!~*") : QStringLiteral("~*"));
            w.replace(in[pattern], in[pattern], TokenKind::String,
                      sqlText(likePatternToRegex(unquoted(in[pattern]))));
            k = pattern;
        } else {
            w.keep(t);
            // Jet's "delete * from": drop the asterisk and the blanks after it.
            if (t.is("delete") && k + 2 < in.size() && in[k + 1].is("*") && in[k + 2].is("from")) {
                w.copyUpTo(in[k + 1].begin);
                w.copied = in[k + 2].begin;
                ++k;
            }
        }

        if (k == castClose) {
            out.sql += QLatin1Char(' ');
            w.add(TokenKind::Name, QStringLiteral("AS"));
            out.sql += QLatin1Char(' ');
            w.add(TokenKind::Name, QStringLiteral("text"));
            w.add(TokenKind::Symbol, QStringLiteral(")"));
            castClose = none;
        }
    }
    w.copyUpTo(jetSql.size());
    return out;
}

} // namespace postgres
