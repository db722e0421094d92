#include "platform/sqlengine.h"

#include "platform/dates.h"
#include "platform/text.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace sqlengine {

bool Token::is(const char* word) const
{
    if (kind != TokenKind::Name && kind != TokenKind::Symbol)
        return false;
    const qsizetype n = qsizetype(std::strlen(word));
    if (text.size() != n)
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        const ushort c = text.at(i).unicode();
        const ushort w = ushort(static_cast<unsigned char>(word[i]));
        const ushort lc = (c >= 'A' && c <= 'Z') ? ushort(c + 32) : c;
        const ushort lw = (w >= 'A' && w <= 'Z') ? ushort(w + 32) : w;
        if (lc != lw)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Lexer

namespace {

bool isBlankChar(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f' || u == '\v';
}

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool isNameStart(QChar c)
{
    const ushort u = c.unicode();
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_')
        return true;
    return u >= 0x80 && (c.isLetterOrNumber() || c.isSurrogate());
}

bool isNamePart(QChar c)
{
    return isNameStart(c) || isDigit(c) || c.unicode() == '$';
}

// Reads a quoted run starting at i (text[i] is the opening quote) up to the
// closing quote; a doubled closing quote stands for itself. Returns the index
// after the closing quote, or -1 when the text ends first.
qsizetype skipQuoted(const QString& text, qsizetype i, QChar close, bool doubling)
{
    const qsizetype n = text.size();
    for (qsizetype j = i + 1; j < n; ++j) {
        if (text.at(j) == close) {
            if (doubling && j + 1 < n && text.at(j + 1) == close) {
                ++j;
                continue;
            }
            return j + 1;
        }
    }
    return -1;
}

} // namespace

Lexed tokenize(const QString& sql)
{
    Lexed out;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto push = [&](TokenKind kind, qsizetype begin, qsizetype end) {
        Token t;
        t.kind = kind;
        t.begin = int(begin);
        t.length = int(end - begin);
        t.text = sql.mid(begin, end - begin);
        out.tokens.push_back(std::move(t));
    };

    while (i < n) {
        const QChar c = sql.at(i);
        const ushort u = c.unicode();
        if (isBlankChar(c)) {
            ++i;
            continue;
        }
        // Comments count as blanks.
        if (u == '-' && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (u == '/' && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            continue;
        }
        if (u == '\'') {
            const qsizetype end = skipQuoted(sql, i, QLatin1Char('\''), true);
            if (end < 0) {
                out.error = QStringLiteral("unterminated quoted text in the statement");
                return out;
            }
            push(TokenKind::String, i, end);
            i = end;
            continue;
        }
        if (u == '"' || u == '`' || u == '[') {
            const QChar close = u == '[' ? QLatin1Char(']') : c;
            const qsizetype end = skipQuoted(sql, i, close, u != '[');
            if (end < 0) {
                out.error = QStringLiteral("unterminated quoted name in the statement");
                return out;
            }
            push(TokenKind::Name, i, end);
            i = end;
            continue;
        }
        if (u == '#') {
            const qsizetype end = sql.indexOf(QLatin1Char('#'), i + 1);
            if (end < 0) {
                out.error = QStringLiteral("unterminated #date# literal in the statement");
                return out;
            }
            push(TokenKind::Date, i, end + 1);
            i = end + 1;
            continue;
        }
        if (isDigit(c) || (u == '.' && i + 1 < n && isDigit(sql.at(i + 1)))) {
            qsizetype j = i;
            while (j < n) {
                const QChar d = sql.at(j);
                if (isDigit(d) || d == QLatin1Char('.') || isNameStart(d)) {
                    // An exponent may carry a sign: 1e+5, 2.5E-3.
                    if ((d == QLatin1Char('e') || d == QLatin1Char('E')) && j + 1 < n
                        && (sql.at(j + 1) == QLatin1Char('+') || sql.at(j + 1) == QLatin1Char('-')))
                        ++j;
                    ++j;
                } else {
                    break;
                }
            }
            push(TokenKind::Number, i, j);
            i = j;
            continue;
        }
        if (isNameStart(c)) {
            qsizetype j = i + 1;
            while (j < n && isNamePart(sql.at(j)))
                ++j;
            push(TokenKind::Name, i, j);
            i = j;
            continue;
        }
        if (u == '?' || ((u == ':' || u == '@' || u == '$') && i + 1 < n && isNamePart(sql.at(i + 1)))) {
            qsizetype j = i + 1;
            while (j < n && isNamePart(sql.at(j)))
                ++j;
            push(TokenKind::Parameter, i, j);
            i = j;
            continue;
        }
        static const char* const pairs[] = {"<>", "<=", ">=", "!=", "==", "||", "<<", ">>", "->"};
        qsizetype len = 1;
        if (i + 1 < n) {
            for (const char* p : pairs) {
                if (u == ushort(p[0]) && sql.at(i + 1).unicode() == ushort(p[1])) {
                    len = 2;
                    break;
                }
            }
        }
        // Keep a surrogate pair together so a stray character stays one token.
        if (len == 1 && c.isHighSurrogate() && i + 1 < n && sql.at(i + 1).isLowSurrogate())
            len = 2;
        push(TokenKind::Symbol, i, i + len);
        i += len;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Dates

namespace {

// Jet keeps dates from 100-01-01 to 9999-12-31; anything outside is no date.
std::optional<QDateTime> withinJetRange(const std::optional<QDateTime>& moment)
{
    if (!moment || !moment->isValid() || moment->date().year() < 100 || moment->date().year() > 9999)
        return std::nullopt;
    return moment;
}

} // namespace

std::optional<QString> dateTextToIso(const QString& text)
{
    const std::optional<QDateTime> moment = withinJetRange(textToDate(text));
    if (!moment)
        return std::nullopt;
    return isoDateText(*moment);
}

std::optional<QDateTime> parseDateLiteral(const QString& content)
{
    if (std::optional<QDateTime> moment = textToDate(content))
        return withinJetRange(moment);
    // Jet reads a slashed date with the month first.
    static const QRegularExpression monthFirst(QStringLiteral(
        "^(\\d{1,2})/(\\d{1,2})/(\\d{4})(?:\\s+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?)?$"));
    const QRegularExpressionMatch m = monthFirst.match(content.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    auto part = [&m](int k) { return m.captured(k).isEmpty() ? 0 : m.captured(k).toInt(); };
    const QDate date(part(3), part(1), part(2));
    const QTime time(part(4), part(5), part(6));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return withinJetRange(QDateTime(date, time));
}

std::optional<QDateTime> serialToDate(double serial)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6)
        return std::nullopt;
    const double whole = std::trunc(serial);
    const double fraction = std::fabs(serial - whole);
    const qint64 seconds = qint64(std::llround(fraction * 86400.0));
    return withinJetRange(zeroDate().addDays(qint64(whole)).addSecs(seconds));
}

// ---------------------------------------------------------------------------
// Rewriting

void appendToken(Rewritten& out, TokenKind kind, const QString& text)
{
    Token t;
    t.kind = kind;
    t.begin = int(out.sql.size());
    t.length = int(text.size());
    t.text = text;
    out.sql += text;
    out.tokens.push_back(std::move(t));
}

Rewritten rewriteJetSql(const QString& jetSql)
{
    Rewritten out;
    Lexed lexed = tokenize(jetSql);
    if (!lexed.ok()) {
        out.error = lexed.error;
        return out;
    }
    const std::vector<Token>& in = lexed.tokens;
    out.sql.reserve(jetSql.size() + 16);
    out.tokens.reserve(in.size());
    qsizetype copied = 0;   // source text up to here is in out.sql
    auto put = [&](const Token& source, TokenKind kind, const QString& text) {
        out.sql += QStringView(jetSql).mid(copied, source.begin - copied);
        appendToken(out, kind, text);
        copied = source.begin + source.length;
    };

    for (size_t k = 0; k < in.size(); ++k) {
        const Token& t = in[k];
        if (t.kind == TokenKind::Date) {
            const QString content = t.text.mid(1, t.text.size() - 2);
            const std::optional<QDateTime> moment = parseDateLiteral(content);
            if (!moment) {
                out.error = QStringLiteral("the date literal %1 is no valid date").arg(t.text);
                out.sql.clear();
                out.tokens.clear();
                return out;
            }
            put(t, TokenKind::Date, QLatin1Char('\'') + isoDateText(*moment) + QLatin1Char('\''));
            continue;
        }
        put(t, t.kind, t.text);
        // Jet's "delete * from": drop the asterisk and the blanks after it.
        if (t.is("delete") && k + 2 < in.size() && in[k + 1].is("*") && in[k + 2].is("from")) {
            const Token& star = in[++k];
            out.sql += QStringView(jetSql).mid(copied, star.begin - copied);
            copied = in[k + 1].begin;
        }
    }
    out.sql += QStringView(jetSql).mid(copied);
    return out;
}

// ---------------------------------------------------------------------------
// Jet LIKE

namespace {

char32_t foldChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// Decodes UTF-8 into folded code points; invalid bytes stand for themselves.
void decodeFolded(const unsigned char* s, int n, std::u32string& out)
{
    out.clear();
    out.reserve(size_t(n));
    int i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(foldChar(b));
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        if ((b & 0xE0) == 0xC0) {
            extra = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            cp = b & 0x07;
        } else {
            out.push_back(b);
            ++i;
            continue;
        }
        bool good = i + extra < n;
        for (int k = 1; good && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                good = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (!good) {
            out.push_back(b);
            ++i;
            continue;
        }
        out.push_back(foldChar(cp));
        i += extra + 1;
    }
}

void foldQString(const QString& text, std::u32string& out)
{
    const QByteArray utf8 = text.toUtf8();
    decodeFolded(reinterpret_cast<const unsigned char*>(utf8.constData()), int(utf8.size()), out);
}

struct PatternItem {
    enum Kind { Any, One, Literal, Class } kind = Literal;
    char32_t ch = 0;                                  // Literal
    bool negated = false;                             // Class
    std::vector<std::pair<char32_t, char32_t>> ranges; // Class, folded
};

struct CompiledPattern {
    std::u32string source;
    char32_t escape = 0;   // 0: none
    std::vector<PatternItem> items;
};

// Pattern items: % any run, _ one character, [..] one character of a class
// ([!..] not of it; a - between two characters is a range; [] is empty and
// matches nothing, i.e. no character at all), everything else itself.
// An unclosed [ stands for itself.
void compilePattern(const std::u32string& p, char32_t escape, CompiledPattern& out)
{
    out.source = p;
    out.escape = escape;
    out.items.clear();
    const size_t n = p.size();
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = p[i];
        PatternItem item;
        if (escape != 0 && c == escape && i + 1 < n) {
            item.ch = p[++i];
            out.items.push_back(item);
            continue;
        }
        if (c == U'%') {
            if (out.items.empty() || out.items.back().kind != PatternItem::Any) {
                item.kind = PatternItem::Any;
                out.items.push_back(item);
            }
            continue;
        }
        if (c == U'_') {
            item.kind = PatternItem::One;
            out.items.push_back(item);
            continue;
        }
        if (c == U'[') {
            const size_t close = p.find(U']', i + 1);
            if (close == std::u32string::npos) {
                item.ch = c;
                out.items.push_back(item);
                continue;
            }
            if (close == i + 1) {   // [] matches the empty text
                i = close;
                continue;
            }
            item.kind = PatternItem::Class;
            size_t j = i + 1;
            if (p[j] == U'!') {
                item.negated = true;
                ++j;
            }
            while (j < close) {
                const char32_t lo = p[j];
                if (j + 2 < close && p[j + 1] == U'-') {
                    item.ranges.emplace_back(lo, p[j + 2]);
                    j += 3;
                } else {
                    item.ranges.emplace_back(lo, lo);
                    ++j;
                }
            }
            out.items.push_back(std::move(item));
            i = close;
            continue;
        }
        item.ch = c;
        out.items.push_back(item);
    }
}

bool matchOne(const PatternItem& item, char32_t c)
{
    switch (item.kind) {
    case PatternItem::One:
        return true;
    case PatternItem::Literal:
        return item.ch == c;
    case PatternItem::Class: {
        bool inside = false;
        for (const auto& r : item.ranges) {
            if (c >= r.first && c <= r.second) {
                inside = true;
                break;
            }
        }
        return inside != item.negated;
    }
    case PatternItem::Any:
        break;
    }
    return false;
}

// Every item but Any takes exactly one character, so one back-tracking point
// (the last %) is enough.
bool matchCompiled(const CompiledPattern& pattern, const std::u32string& text)
{
    const std::vector<PatternItem>& items = pattern.items;
    size_t pi = 0;
    size_t ti = 0;
    size_t starItem = size_t(-1);
    size_t starText = 0;
    while (ti < text.size()) {
        if (pi < items.size() && items[pi].kind == PatternItem::Any) {
            starItem = pi++;
            starText = ti;
        } else if (pi < items.size() && matchOne(items[pi], text[ti])) {
            ++pi;
            ++ti;
        } else if (starItem != size_t(-1)) {
            pi = starItem + 1;
            ti = ++starText;
        } else {
            return false;
        }
    }
    while (pi < items.size() && items[pi].kind == PatternItem::Any)
        ++pi;
    return pi == items.size();
}

// The text of a value as Jet would compare it: doubles without a trailing ".0".
bool valueText(sqlite3_value* value, std::u32string& out)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return false;
    case SQLITE_FLOAT: {
        const QByteArray text = numberToText(sqlite3_value_double(value)).toLatin1();
        decodeFolded(reinterpret_cast<const unsigned char*>(text.constData()), int(text.size()), out);
        return true;
    }
    default: {
        const unsigned char* s = sqlite3_value_text(value);
        decodeFolded(s, sqlite3_value_bytes(value), out);
        return true;
    }
    }
}

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL
        || (argc == 3 && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        std::u32string e;
        valueText(argv[2], e);
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = e[0];
    }

    auto* cached = static_cast<CompiledPattern*>(sqlite3_get_auxdata(ctx, 0));
    std::u32string patternText;
    valueText(argv[0], patternText);
    if (!cached || cached->source != patternText || cached->escape != escape) {
        auto fresh = std::make_unique<CompiledPattern>();
        compilePattern(patternText, escape, *fresh);
        cached = fresh.get();
        sqlite3_set_auxdata(ctx, 0, fresh.release(),
                            [](void* p) { delete static_cast<CompiledPattern*>(p); });
        // SQLite may drop the aux data at once; read it back.
        cached = static_cast<CompiledPattern*>(sqlite3_get_auxdata(ctx, 0));
        if (!cached) {
            CompiledPattern local;
            compilePattern(patternText, escape, local);
            std::u32string text;
            valueText(argv[1], text);
            sqlite3_result_int(ctx, matchCompiled(local, text) ? 1 : 0);
            return;
        }
    }
    thread_local std::u32string text;
    valueText(argv[1], text);
    sqlite3_result_int(ctx, matchCompiled(*cached, text) ? 1 : 0);
}

void jetDateFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* value = argv[0];
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        if (const std::optional<QDateTime> moment = serialToDate(sqlite3_value_double(value))) {
            const QByteArray iso = isoDateText(*moment).toUtf8();
            sqlite3_result_text(ctx, iso.constData(), int(iso.size()), SQLITE_TRANSIENT);
            return;
        }
        break;
    }
    case SQLITE_TEXT: {
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                               sqlite3_value_bytes(value));
        if (const std::optional<QString> iso = dateTextToIso(text)) {
            const QByteArray utf8 = iso->toUtf8();
            sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            return;
        }
        const QByteArray message =
            QStringLiteral("data type mismatch: '%1' is no date").arg(text.left(60)).toUtf8();
        sqlite3_result_error(ctx, message.constData(), int(message.size()));
        return;
    }
    default:
        break;
    }
    sqlite3_result_error(ctx, "data type mismatch: the value is no date", -1);
}

} // namespace

bool jetLike(const QString& pattern, const QString& text)
{
    std::u32string p;
    std::u32string t;
    foldQString(pattern, p);
    foldQString(text, t);
    CompiledPattern compiled;
    compilePattern(p, 0, compiled);
    return matchCompiled(compiled, t);
}

struct JetLikePattern::Compiled {
    CompiledPattern pattern;
};

JetLikePattern::JetLikePattern(const QString& pattern) : compiled(std::make_unique<Compiled>())
{
    std::u32string p;
    foldQString(pattern, p);
    compilePattern(p, 0, compiled->pattern);
}

JetLikePattern::~JetLikePattern() = default;
JetLikePattern::JetLikePattern(JetLikePattern&&) noexcept = default;
JetLikePattern& JetLikePattern::operator=(JetLikePattern&&) noexcept = default;

bool JetLikePattern::matches(const QString& text) const
{
    thread_local std::u32string t;
    foldQString(text, t);
    return matchCompiled(compiled->pattern, t);
}

namespace {

bool isPlainSearchChar(char32_t folded)
{
    if (folded < 0x80)
        return (folded >= '0' && folded <= '9') || (folded >= 'a' && folded <= 'z' && folded != 'k' && folded != 's');
    const QChar::Category category = QChar::category(folded);
    return (category == QChar::Letter_Other || category == QChar::Number_DecimalDigit)
        && QChar::toCaseFolded(folded) == folded;
}

} // namespace

QStringList likeRequiredPairs(const QString& pattern)
{
    std::u32string folded;
    foldQString(pattern, folded);
    CompiledPattern compiled;
    compilePattern(folded, 0, compiled);
    QStringList pairs;
    const PatternItem* previous = nullptr;
    for (const PatternItem& item : compiled.items) {
        const bool plain = item.kind == PatternItem::Literal && isPlainSearchChar(item.ch);
        if (plain && previous) {
            const char32_t pair[] = {previous->ch, item.ch};
            const QString text = QString::fromUcs4(pair, 2);
            if (!pairs.contains(text))
                pairs << text;
        }
        previous = plain ? &item : nullptr;
    }
    return pairs;
}

bool registerJetFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    return sqlite3_create_function_v2(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr, nullptr)
               == SQLITE_OK
        && sqlite3_create_function_v2(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr, nullptr)
               == SQLITE_OK
        && sqlite3_create_function_v2(db, "jetdate", 1, flags, nullptr, jetDateFunction, nullptr, nullptr,
                                      nullptr)
               == SQLITE_OK;
}

} // namespace sqlengine
