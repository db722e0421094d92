// The Jet dialect on SQLite: lexing, rewriting, Jet LIKE and the date function.
#include "support/testsupport.h"

#include "platform/sqlengine.h"

#include <QtTest>

#include <sqlite3.h>

using namespace sqlengine;

namespace {

// Runs a one-value select on an in-memory database with the Jet functions.
struct Scratch {
    sqlite3* db = nullptr;
    Scratch()
    {
        sqlite3_open(":memory:", &db);
        registerJetFunctions(db);
    }
    ~Scratch() { sqlite3_close(db); }

    // The value as text ("NULL" for a null); the error text when it fails.
    QString value(const QString& sql)
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
            return QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
        QString out;
        if (sqlite3_step(stmt) != SQLITE_ROW)
            out = QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
        else if (sqlite3_column_type(stmt, 0) == SQLITE_NULL)
            out = QStringLiteral("NULL");
        else
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        return out;
    }
};

} // namespace

class SqlEngineTest : public QObject {
    Q_OBJECT

private slots:
    void lexerReadsQuotesDatesAndSymbols()
    {
        const Lexed lexed = tokenize(QStringLiteral("select x from t where a='it''s; #1#' and d>=#2013-05-01# or n<>1.5"));
        QVERIFY(lexed.ok());
        QStringList texts;
        QList<TokenKind> kinds;
        for (const Token& t : lexed.tokens) {
            texts << t.text;
            kinds << t.kind;
        }
        QCOMPARE(texts, (QStringList{"select", "x", "from", "t", "where", "a", "=", "'it''s; #1#'", "and", "d",
                                     ">=", "#2013-05-01#", "or", "n", "<>", "1.5"}));
        QCOMPARE(kinds[7], TokenKind::String);
        QCOMPARE(kinds[11], TokenKind::Date);
        QCOMPARE(kinds[15], TokenKind::Number);

        QVERIFY(!tokenize(QStringLiteral("select 'open")).ok());
        QVERIFY(!tokenize(QStringLiteral("select * from t where d=#2013-05-01")).ok());
    }

    void rewrite_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite");
        QTest::newRow("delete star") << "delete * from admin  where id=3" << "delete from admin  where id=3";
        QTest::newRow("DELETE STAR") << "DELETE * FROM dd WHERE id=5" << "DELETE FROM dd WHERE id=5";
        QTest::newRow("mixed case, blanks") << "Delete  *   From fj where uid in (1,2)"
                                            << "Delete  From fj where uid in (1,2)";
        QTest::newRow("select star untouched") << "select * from admin order by id" << "select * from admin order by id";
        QTest::newRow("quoted text untouched") << "select 'delete * from #x#' from t" << "select 'delete * from #x#' from t";
        QTest::newRow("iso literal") << "select  id from bmb  where dtime>=#2013-05-01 00:00:00# and  status=1 "
                                     << "select  id from bmb  where dtime>='2013-05-01 00:00:00' and  status=1 ";
        QTest::newRow("date-to-text literal") << "where dtime<=#2013年5月6日14时3分#"
                                              << "where dtime<='2013-05-06 14:03:00'";
        QTest::newRow("month first") << "where d=#5/1/2013 8:30#" << "where d='2013-05-01 08:30:00'";
    }

    void rewrite()
    {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        const Rewritten out = rewriteJetSql(jet);
        QVERIFY2(out.ok(), qPrintable(out.error));
        QCOMPARE(out.sql, sqlite);
        // The tokens point into the rewritten text.
        for (const Token& t : out.tokens)
            QCOMPARE(out.sql.mid(t.begin, t.length), t.text);
    }

    void rewriteRefusesDateLiteralThatIsNoDate()
    {
        QVERIFY(!rewriteJetSql(QStringLiteral("select * from bmb where dtime>=#abc#")).ok());
        QVERIFY(!rewriteJetSql(QStringLiteral("select * from bmb where dtime>=#2013-02-30 00:00:00#")).ok());
        QVERIFY(!rewriteJetSql(QStringLiteral("select * from bmb where dtime>=##")).ok());
    }

    void jetLikePatterns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::newRow("caret element") << "^3^^7^" << "%[^]7[^]%" << true;
        QTest::newRow("caret not inside 17") << "^17^" << "%[^]7[^]%" << false;
        QTest::newRow("caret first element") << "^7^^12^" << "%[^]7[^]%" << true;
        QTest::newRow("caret class is no negation") << "a" << "[^]" << false;
        QTest::newRow("case-insensitive") << "Zhang San" << "%SAN" << true;
        QTest::newRow("case-insensitive beyond ascii") << "ÄBC" << "äbc" << true;
        QTest::newRow("percent in middle") << "王小明" << "王%明" << true;
        QTest::newRow("underscore one character") << "王小明" << "王_明" << true;
        QTest::newRow("underscore not two") << "王小小明" << "王_明" << false;
        QTest::newRow("class") << "cat" << "[bc]at" << true;
        QTest::newRow("class miss") << "rat" << "[bc]at" << false;
        QTest::newRow("range") << "x7y" << "x[0-9]y" << true;
        QTest::newRow("range case-insensitive") << "Q" << "[a-z]" << true;
        QTest::newRow("range miss") << "x-y" << "x[0-9]y" << false;
        QTest::newRow("negated class") << "xay" << "x[!0-9]y" << true;
        QTest::newRow("negated class miss") << "x5y" << "x[!0-9]y" << false;
        QTest::newRow("literal star and question mark") << "a*b?" << "a*b?" << true;
        QTest::newRow("star is no wildcard") << "axxb" << "a*b" << false;
        QTest::newRow("empty class matches nothing") << "ab" << "a[]b" << true;
        QTest::newRow("unclosed bracket literal") << "a[b" << "%[b" << true;
        QTest::newRow("whole text") << "abc" << "ab" << false;
        QTest::newRow("backtracking") << "aXbXbc" << "a%b%c" << true;
        QTest::newRow("empty text") << "" << "%" << true;
    }

    void jetLikePatterns()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        QCOMPARE(jetLike(pattern, text), matches);
    }

    void likeIsSqliteLike()
    {
        Scratch s;
        QCOMPARE(s.value("select '^3^^7^' like '%[^]7[^]%'"), QString("1"));
        QCOMPARE(s.value("select '^17^' like '%[^]7[^]%'"), QString("0"));
        QCOMPARE(s.value("select 'ABC' like 'a_c'"), QString("1"));
        QCOMPARE(s.value("select NULL like 'a'"), QString("NULL"));
        // A double is compared in the form statements write it, without ".0".
        QCOMPARE(s.value("select 20.0 like '20'"), QString("1"));
        QCOMPARE(s.value("select 'a%b' like 'a!%b' escape '!'"), QString("1"));
        QCOMPARE(s.value("select 'axb' like 'a!%b' escape '!'"), QString("0"));
    }

    void jetDateFunction()
    {
        Scratch s;
        QCOMPARE(s.value("select jetdate('2013年5月6日14时3分9秒')"), QString("2013-05-06 14:03:09"));
        QCOMPARE(s.value("select jetdate('2013年5月6日')"), QString("2013-05-06 00:00:00"));
        QCOMPARE(s.value("select jetdate('2013-5-6 7:08')"), QString("2013-05-06 07:08:00"));
        QCOMPARE(s.value("select jetdate('2013-05-06 14:03:09')"), QString("2013-05-06 14:03:09"));
        QCOMPARE(s.value("select jetdate(0)"), QString("1899-12-30 00:00:00"));
        QCOMPARE(s.value("select jetdate(1.5)"), QString("1899-12-31 12:00:00"));
        QCOMPARE(s.value("select jetdate(NULL)"), QString("NULL"));
        QVERIFY(s.value("select jetdate('abc')").startsWith("error: "));
        QVERIFY(s.value("select jetdate('')").startsWith("error: "));
        QVERIFY(s.value("select jetdate('2013年2月30日')").startsWith("error: "));
    }

    // Jet's dates run from 100-01-01 (day -657434) to 9999-12-31 (day 2958465).
    void datesOutsideJetsRangeAreNoDates_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored");   // empty: no date
        QTest::newRow("first day") << "-657434" << "0100-01-01 00:00:00";
        QTest::newRow("day before") << "-657435" << "";
        QTest::newRow("far before") << "-3000000" << "";
        QTest::newRow("last day") << "2958465" << "9999-12-31 00:00:00";
        QTest::newRow("last day, late") << "2958465.99998" << "9999-12-31 23:59:58";
        QTest::newRow("day after") << "2958466" << "";
        QTest::newRow("far after") << "3000000" << "";
        QTest::newRow("first day as text") << "'0100-01-01'" << "0100-01-01 00:00:00";
        QTest::newRow("text before") << "'0099-12-31 23:59:59'" << "";
        QTest::newRow("short year") << "'99年12月31日'" << "";
        QTest::newRow("last moment as text") << "'9999年12月31日23时59分59秒'" << "9999-12-31 23:59:59";
    }

    void datesOutsideJetsRangeAreNoDates()
    {
        QFETCH(QString, value);
        QFETCH(QString, stored);
        Scratch s;
        const QString converted = s.value("select jetdate(" + value + ")");
        if (stored.isEmpty())
            QVERIFY2(converted.startsWith("error: "), qPrintable(converted));
        else
            QCOMPARE(converted, stored);
        if (value.startsWith('\'')) {
            const QString literal = '#' + value.mid(1, value.size() - 2) + '#';
            QCOMPARE(rewriteJetSql("select " + literal).ok(), !stored.isEmpty());
        }
    }

    void dateLiteralsOutsideJetsRangeAreRefused()
    {
        for (const char* literal : {"#1/1/0099#", "#12/31/0099 23:59#", "#0050-06-01#"})
            QVERIFY2(!rewriteJetSql(QString("select * from bmb where dtime>") + literal).ok(), literal);
        QVERIFY(rewriteJetSql("select * from bmb where dtime>#1/1/0100#").ok());
    }
};

BRENVO_TEST(SqlEngineTest)
#include "test_sqlengine.moc"
