#include "store/textindex.h"

#include "platform/sqlliteral.h"

namespace textindex {

using sqlengine::Token;
using sqlengine::TokenKind;

namespace {

// Texts up to this many characters are held pair by pair; a longer one is
// held as the one word longWord, which every search on its column reads.
constexpr int longestPairedText = 1000;
const char* const longWord = "longtext";

// The pairs of a text in SQL, as the words FTS5's unicode61 tokenizer reads:
// "张小 小明 明4 42". A pair with a separator (a blank, a stroke) reads as one
// letter or none, which no search asks for.
QString sqlitePairsOf(const QString& value)
{
    return QStringLiteral("CASE WHEN length(%1) > %2 THEN '%3' ELSE (SELECT group_concat(substr(%1, n, 2), ' ') "
                          "FROM bmb_text_at WHERE n < length(%1)) END")
        .arg(value)
        .arg(longestPairedText + 1)
        .arg(QLatin1String(longWord));
}

QString pairsOfColumns(const QString& prefix, bool named = false)
{
    QStringList values;
    for (const QString& column : columns())
        values << sqlitePairsOf(prefix + column) + (named ? QStringLiteral(" AS ") + column : QString());
    return values.join(QStringLiteral(", "));
}

bool isTable(const Token& t, const char* name)
{
    return t.kind == TokenKind::Name && t.is(name);
}

} // namespace

const QStringList& columns()
{
    static const QStringList all = {
        QStringLiteral("xm"),  QStringLiteral("zj"),  QStringLiteral("lx1"), QStringLiteral("lx2"),
        QStringLiteral("lx3"), QStringLiteral("mz"),  QStringLiteral("kz1"), QStringLiteral("kz2"),
        QStringLiteral("kz3"), QStringLiteral("kz4"), QStringLiteral("kz5"), QStringLiteral("kz6"),
        QStringLiteral("kz7"), QStringLiteral("kz8"), QStringLiteral("kz9"), QStringLiteral("kz10"),
    };
    return all;
}

QString patternOf(const Token& quoted)
{
    QString text = quoted.text.mid(1, quoted.text.size() - 2);
    text.replace(QLatin1String("''"), QLatin1String("'"));
    return text;
}

std::vector<size_t> narrowableLikes(const std::vector<Token>& tokens)
{
    if (tokens.empty() || !tokens[0].is("select"))
        return {};
    size_t k = 1;
    for (int depth = 0; k < tokens.size(); ++k) {
        if (tokens[k].is("("))
            ++depth;
        else if (tokens[k].is(")"))
            --depth;
        else if (depth == 0 && tokens[k].is("from"))
            break;
    }
    if (k + 2 >= tokens.size() || !isTable(tokens[k + 1], "bmb") || !tokens[k + 2].is("where"))
        return {};
    const size_t begin = k + 3;
    size_t end = begin;
    while (end < tokens.size() && !tokens[end].is("order") && !tokens[end].is("limit") && !tokens[end].is("group")
           && !tokens[end].is(";"))
        ++end;
    for (size_t i = begin; i < end; ++i) {
        const Token& t = tokens[i];
        if (t.is("(") || t.is(")") || t.is("or") || t.is("not") || t.is("case") || t.is("escape") || t.is("select"))
            return {};
    }
    std::vector<size_t> likes;
    for (size_t i = begin + 1; i + 1 < end; ++i) {
        if (!tokens[i].is("like") || tokens[i + 1].kind != TokenKind::String)
            continue;
        const Token& column = tokens[i - 1];
        if (column.kind != TokenKind::Name || !columns().contains(column.text, Qt::CaseInsensitive)
            || (i >= 2 && tokens[i - 2].is(".")))
            continue;
        if (!sqlengine::likeRequiredPairs(patternOf(tokens[i + 1])).isEmpty())
            likes.push_back(i - 1);
    }
    return likes;
}

QString narrowed(const QString& sql, QString (*narrowing)(const QString& column, const QStringList& pairs))
{
    const sqlengine::Lexed lexed = sqlengine::tokenize(sql);
    if (!lexed.ok())
        return sql;
    const std::vector<size_t> likes = narrowableLikes(lexed.tokens);
    QString out = sql;
    for (auto at = likes.rbegin(); at != likes.rend(); ++at) {
        const Token& column = lexed.tokens[*at];
        const QStringList pairs = sqlengine::likeRequiredPairs(patternOf(lexed.tokens[*at + 2]));
        out.insert(column.begin, narrowing(column.text, pairs));
    }
    return out;
}

QStringList sqliteCreateStatements()
{
    const QString list = columns().join(QStringLiteral(", "));
    const QString insertNew =
        QStringLiteral("INSERT INTO bmb_text (rowid, %1) VALUES (new.id, %2);").arg(list, pairsOfColumns(QStringLiteral("new.")));
    const QString deleteOld = QStringLiteral("INSERT INTO bmb_text (bmb_text, rowid, %1) VALUES ('delete', old.id, %2);")
                                  .arg(list, pairsOfColumns(QStringLiteral("old.")));
    return {
        QStringLiteral("CREATE TABLE bmb_text_at (n INTEGER PRIMARY KEY)"),
        QStringLiteral("WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < %1) "
                       "INSERT INTO bmb_text_at (n) SELECT n FROM k")
            .arg(longestPairedText),
        QStringLiteral("CREATE VIEW bmb_text_source AS SELECT id, %1 FROM bmb").arg(pairsOfColumns(QString(), true)),
        QStringLiteral("CREATE VIRTUAL TABLE bmb_text USING fts5(%1, content='bmb_text_source', content_rowid='id', "
                       "tokenize='unicode61 remove_diacritics 0', detail='column', columnsize=0)")
            .arg(list),
        QStringLiteral("CREATE TRIGGER bmb_text_insert AFTER INSERT ON bmb BEGIN %1 END").arg(insertNew),
        QStringLiteral("CREATE TRIGGER bmb_text_delete AFTER DELETE ON bmb BEGIN %1 END").arg(deleteOld),
        QStringLiteral("CREATE TRIGGER bmb_text_update AFTER UPDATE OF id, %1 ON bmb BEGIN %2 %3 END")
            .arg(list, deleteOld, insertNew),
    };
}

QString sqlitePresenceQuery()
{
    return QStringLiteral("SELECT count(*) = 4 FROM sqlite_master WHERE name IN "
                          "('bmb_text', 'bmb_text_insert', 'bmb_text_delete', 'bmb_text_update')");
}

QString sqliteFillStatement()
{
    return QStringLiteral("INSERT INTO bmb_text (rowid, %1) SELECT id, %2 FROM bmb WHERE id > ?1 AND id <= ?2")
        .arg(columns().join(QStringLiteral(", ")), pairsOfColumns(QString()));
}

QString sqliteClearStatement()
{
    return QStringLiteral("INSERT INTO bmb_text (bmb_text) VALUES ('delete-all')");
}

QString sqliteOptimizeStatement()
{
    return QStringLiteral("INSERT INTO bmb_text (bmb_text) VALUES ('optimize')");
}

QString sqliteCheckStatement()
{
    return QStringLiteral("INSERT INTO bmb_text (bmb_text, rank) VALUES ('integrity-check', 1)");
}

QString sqliteNarrowing(const QString& column, const QStringList& pairs)
{
    QStringList quoted;
    for (const QString& pair : pairs)
        quoted << QLatin1Char('"') + pair + QLatin1Char('"');
    const QString query = QStringLiteral("%1 : ((%2) OR %3)")
                              .arg(column.toLower(), quoted.join(QStringLiteral(" AND ")), QLatin1String(longWord));
    return QStringLiteral("id in (select rowid from bmb_text where bmb_text match %1) and ").arg(sqlText(query));
}

QStringList postgresStatements()
{
    QStringList expressions;
    for (const QString& column : columns())
        expressions << QStringLiteral("brenvo_pairs(CAST(%1 AS text))").arg(column);
    return {
        QStringLiteral("DO $$ BEGIN IF to_regprocedure('brenvo_pairs(text)') IS NULL THEN "
                       "CREATE FUNCTION brenvo_pairs(t text) RETURNS text[] LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE "
                       "AS $f$SELECT array_agg(DISTINCT lower(substr(t, i, 2))) "
                       "FROM generate_series(1, length(t) - 1) AS i$f$; END IF; END $$"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS bmb_pairs ON bmb USING gin (%1)")
            .arg(expressions.join(QStringLiteral(", "))),
    };
}

QString postgresNarrowing(const QString& column, const QStringList& pairs)
{
    QStringList quoted;
    for (const QString& pair : pairs)
        quoted << sqlText(pair);
    return QStringLiteral("brenvo_pairs(CAST(%1 AS text)) @> ARRAY[%2] AND ")
        .arg(column.toLower(), quoted.join(QLatin1Char(',')));
}

} // namespace textindex
