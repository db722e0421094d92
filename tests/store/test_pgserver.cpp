// The server database and the rewritten Jet statements on a real PostgreSQL
// server (the throwaway cluster of scripts/test); skipped without one.
#include "support/pgtestdatabase.h"
#include "support/testsupport.h"

#include "platform/sqlengine.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"
#include "store/postgres/jetrewrite.h"
#include "store/postgres/schema.h"
#include "store/schema.h"
#include "store/textindex.h"

#include <QtTest>

#include <map>

namespace {

QString joined(const QVector<QStringList>& rows)
{
    QStringList lines;
    for (const QStringList& row : rows)
        lines << row.join(QLatin1Char('|'));
    return lines.join(QLatin1Char('\n'));
}

// Sets up the program's tables; the error text when it fails.
QString createSchema(PgSession& session)
{
    QStringList statements = postgres::schemaStatements();
    statements.prepend(QStringLiteral("BEGIN"));
    statements.append(QStringLiteral("COMMIT"));
    for (const QString& sql : statements) {
        const PgSession::Result result = session.run(sql);
        if (!result.ok)
            return sql + QStringLiteral(" -> ") + result.error;
    }
    return QString();
}

// A Jet statement as the server engine runs it: the rows, or nothing when the
// rewrite or the server refuses it (the reason in *error).
std::optional<QVector<QStringList>> runJet(PgSession& session, const QString& jet, QString* error)
{
    const sqlengine::Rewritten rewritten = postgres::rewriteJetSql(jet);
    if (!rewritten.ok()) {
        *error = rewritten.error;
        return std::nullopt;
    }
    PgSession::Result result = session.run(rewritten.sql);
    if (!result.ok) {
        *error = rewritten.sql + QStringLiteral(" -> ") + result.error;
        return std::nullopt;
    }
    return result.rows;
}

QString typeOf(schema::Kind kind)
{
    switch (kind) {
    case schema::Kind::Integer:
        return QStringLiteral("int4");
    case schema::Kind::Number:
        return QStringLiteral("float8");
    case schema::Kind::Text:
        return QStringLiteral("citext");
    case schema::Kind::DateTime:
        break;
    }
    return QStringLiteral("timestamp");
}

QString seedText(const QVariant& value)
{
    return value.typeId() == QMetaType::Double ? numberToText(value.toDouble()) : value.toString();
}

} // namespace

class PgServerTest : public QObject {
    Q_OBJECT

private slots:
    void schemaHasTheTablesColumnsIndexesAndRowsOfANewDatabase()
    {
        TestPgDatabase db;
        BRENVO_REQUIRE_PG(db);
        PgSession session(db.connectionString());
        QVERIFY2(session.isOpen(), qPrintable(session.openError()));
        const QString failure = createSchema(session);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        QStringList expectedColumns;
        for (const schema::Table& table : schema::tables()) {
            expectedColumns << QStringLiteral("%1.id int4 NO").arg(table.name);
            for (const schema::Column& column : table.columns)
                expectedColumns << QStringLiteral("%1.%2 %3 YES").arg(table.name, column.name, typeOf(column.kind));
        }
        // The server's own table of photo files.
        expectedColumns << QStringLiteral("photofile.id int4 NO") << QStringLiteral("photofile.name text NO")
                        << QStringLiteral("photofile.bytes bytea YES");
        // And the web page's signing secrets.
        expectedColumns << QStringLiteral("websecret.id int4 NO") << QStringLiteral("websecret.name text NO")
                        << QStringLiteral("websecret.secret text NO");
        expectedColumns.sort();
        const PgSession::Result columns = session.run(
            "select table_name || '.' || column_name || ' ' || udt_name || ' ' || is_nullable "
            "from information_schema.columns where table_schema = 'public' order by 1");
        QVERIFY2(columns.ok, qPrintable(columns.error));
        QStringList actualColumns;
        for (const QStringList& row : columns.rows)
            actualColumns << row.first();
        QCOMPARE(actualColumns, expectedColumns);

        const PgSession::Result identities = session.run(
            "select count(*) from information_schema.columns where table_schema = 'public' and column_name = 'id' "
            "and is_identity = 'YES'");
        QCOMPARE(joined(identities.rows), QString::number(schema::tables().size() + 2));   // and photofile, websecret

        QStringList expectedIndexes;
        for (const QString& statement : schema::indexStatements())
            expectedIndexes << statement.section(QLatin1Char(' '), 2, 2) + QStringLiteral(" ON public.")
                                   + statement.section(QLatin1Char(' '), 4);
        expectedIndexes << QStringLiteral("photofile_name_key ON public.photofile (name)")
                        << QStringLiteral("websecret_name_key ON public.websecret (name)")
                        << QStringLiteral("bmb_savekey ON public.bmb (savekey) WHERE (savekey <> ''::citext)");
        expectedIndexes.sort();
        const PgSession::Result indexes = session.run(
            "select indexname || ' ON public.' || tablename || ' ' || substring(indexdef from '\\(.*\\)') "
            "from pg_indexes where schemaname = 'public' and indexname not like '%_pkey' and indexname <> 'bmb_pairs' "
            "order by 1");
        QVERIFY2(indexes.ok, qPrintable(indexes.error));
        QCOMPARE(joined(indexes.rows), expectedIndexes.join(QLatin1Char('\n')));
        // The searches' index of the text items, one entry list per item.
        const PgSession::Result pairs = session.run(
            "select count(*) from pg_indexes, regexp_matches(indexdef, 'brenvo_pairs', 'g') where indexname = 'bmb_pairs'");
        QCOMPARE(joined(pairs.rows), QString::number(textindex::columns().size()));

        // The seeded rows, table by table in the order they were inserted.
        std::map<QString, QStringList> expectedRows;
        std::map<QString, QStringList> columnsOf;
        for (const schema::SeedRow& row : schema::seedRows()) {
            QStringList names;
            QStringList values;
            for (const auto& [name, value] : row.values) {
                names << name;
                values << seedText(value);
            }
            columnsOf[row.table] = names;
            expectedRows[row.table] << values.join(QLatin1Char('|'));
        }
        for (const auto& [table, rows] : expectedRows) {
            const PgSession::Result stored = session.run(
                QStringLiteral("select %1 from %2 order by id").arg(columnsOf[table].join(QLatin1Char(',')), table));
            QVERIFY2(stored.ok, qPrintable(stored.error));
            QCOMPARE(joined(stored.rows), rows.join(QLatin1Char('\n')));
        }
        QCOMPARE(joined(session.run("select nam, pw from admin where id = 1").rows),
                 "admin|" + passwordDigest("472915"));

        // Date-times hold Jet's range, also when written without the rewrite.
        const struct {
            const char* moment;
            bool accepted;
        } moments[] = {{"0100-01-01 00:00:00", true},
                       {"0099-12-31 23:59:59", false},
                       {"9999-12-31 23:59:59", true},
                       {"10000-01-01 00:00:00", false},
                       {"0050-06-01 00:00:00 BC", false}};
        for (const auto& m : moments)
            for (const char* column : {"bmb (dtime)", "dy (dtime)", "zy (jzrq)"}) {
                const QString sql = QStringLiteral("INSERT INTO %1 VALUES (TIMESTAMP '%2')").arg(column, m.moment);
                QVERIFY2(session.run(sql).ok == m.accepted, qPrintable(sql));
            }
    }

    // Jet's LIKE through the rewrite on the server matches exactly the texts
    // sqlengine::jetLike matches.
    void likeAgreesWithJetLike()
    {
        TestPgDatabase db;
        BRENVO_REQUIRE_PG(db);
        PgSession session(db.connectionString());
        const QString failure = createSchema(session);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        const QStringList texts = {
            "^3^^7^", "^17^",  "^7^^12^", "Zhang San", "ÄBC", "äbc",  "王小明", "王小小明", "cat",  "Cat",   "rat",
            "x7y",    "x-y",   "xay",     "xAy",       "a*b?", "axxb", "ab",     "a[b",     "abc",  "aXbXbc", "",
            "a\nb",   "^",     "a\\b",    "a.b",       "a'b",  "_",    "Q",      "%",       "[",    "]",     "-",
            "b",      "z",     "ΣΑΣ",     "Ωmega",     "𠀀x",  "a+b",  "(a)",    "a{2}",    "a|b",  "$x",    "aa",
        };
        for (const QString& text : texts) {
            const PgSession::Result inserted =
                session.run(QStringLiteral("INSERT INTO dd (name) VALUES (%1)").arg(sqlText(text)));
            QVERIFY2(inserted.ok, qPrintable(inserted.error));
        }
        const QStringList patterns = {
            "%[^]7[^]%", "[^]",     "%SAN",   "äbc",     "ÄB%",   "王%明",   "王_明",   "[bc]at",  "[A-Z]",   "[a-z]",
            "[!a-z]",    "x[0-9]y", "x[!0-9]y", "x[a]y", "a*b?",  "a*b",    "a[]b",    "%[b",     "ab",      "a%b%c",
            "%",         "_",       "a_b",    "[z-a]",   "[!z-a]", "[!]",    "[a-]",    "[-a]",    "a\\b",    "a.b",
            "a'b",       "[[]",     "]",      "[%]",     "[_]",   "%[!a-z]%", "[^a]",   "%a%",     "σ%",      "ω%",
            "𠀀_",        "a+b",     "(a)",    "a{2}",    "a|b",   "$x",     "a[a-a]", "%[^]%",   "[\\]",    "%[%",
            "",          "%%",      "_%_",    "[a-z][a-z]",
        };
        for (const QString& pattern : patterns) {
            QStringList expected;
            for (const QString& text : texts)
                if (sqlengine::jetLike(pattern, text))
                    expected << text;
            QString error;
            const auto rows = runJet(session, "select name from dd where name like " + sqlText(pattern) + " order by id",
                                     &error);
            QVERIFY2(rows, qPrintable(pattern + ": " + error));
            QStringList matched;
            for (const QStringList& row : *rows)
                matched << row.first();
            QVERIFY2(matched == expected, qPrintable(QStringLiteral("%1: server [%2], jetLike [%3]")
                                                         .arg(pattern, matched.join(", "), expected.join(", "))));
            const auto negated = runJet(session, "select count(*) from dd where name not like " + sqlText(pattern),
                                        &error);
            QVERIFY2(negated, qPrintable(pattern + ": " + error));
            QCOMPARE(joined(*negated), QString::number(texts.size() - expected.size()));
        }
    }

    // The statements of the program's pages, in order, on one database.
    void programStatementsRunWithJetMeaning()
    {
        TestPgDatabase db;
        BRENVO_REQUIRE_PG(db);
        PgSession session(db.connectionString());
        const QString failure = createSchema(session);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        const QString digest = passwordDigest("secret");
        const QString refused = QStringLiteral("<refused>");
        const struct {
            QString jet;
            QString rows;   // rows joined by newlines, columns by |; <refused> when it must fail
        } steps[] = {
            {"INSERT INTO admin  (nam,admgroup,status,pw) values ('张三',2,1,'" + digest + "')", ""},
            {"select * from admin where nam='ADMIN'", "1|admin|1|1|" + passwordDigest("472915")},
            {"select id from admin where status=1 order by id", "1\n2"},
            {"UPDATE admin SET nam='张三丰',admgroup=5,status=0 where id=2", ""},
            {"select * from admin where status=1 order by id", "1|admin|1|1|" + passwordDigest("472915")},
            {"UPDATE xx SET mc='学校',dz='',dh='',qq='',email='',cz='',dd=1,bmsh=1,fksh=0,pho=0", ""},
            {"select mc,dd,bmsh,fksh,pho from xx ", "学校|1|1|0|0"},
            {"select count(*) from style where zd='XM'", "1"},
            {"INSERT INTO dd  (serverid,name,sx,status,xx) values (0,'本部',1,1,'')", ""},
            {"INSERT INTO zy  (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
             "values (0,0,'美术',1200,30,0,'1899年12月30日','','',1.5,1,1)",
             ""},
            {"UPDATE zy SET serplaid=0,name='美术',xuefei=1300,renshu=30,jzrq='2013年9月1日',yjh='',jieshao='',"
             "sx=1.5,status=1,ddid=1 WHERE id=1",
             ""},
            {"select name,xuefei,jzrq,sx from zy order by sx", "美术|1300|2013-09-01 00:00:00|1.5"},
            {"UPDATE zy SET jzrq='明天' WHERE id=1", refused},
            {"INSERT INTO bmb  (status,xm,xb,nl,dd,bm1,bm3,kz3,dtime,sh,fk) values "
             "(1,'王小明',1,18,1,3,'^3^^7^','^体育^^音乐^','2013年5月6日14时3分9秒',0,0)",
             ""},
            {"INSERT INTO bmb  (status,xm,xb,nl,bm1,bm3,kz3,dtime,sh,fk) values "
             "(1,'Zhang San',2,20,7,'^17^','^美术^','2013-05-07 08:00',1,1)",
             ""},
            {"INSERT INTO bmb  (status,xm,dtime,sh,fk) values (1,'x','2013年2月30日',1,1)", refused},
            {"select count(*) from bmb ", "2"},
            {"select  id,xm,dtime,sh,fk from bmb  where dtime>=#2013-05-01 00:00:00# and  status=1  order by dtime desc",
             "2|Zhang San|2013-05-07 08:00:00|1|1\n1|王小明|2013-05-06 14:03:09|0|0"},
            {"select  id,xm from bmb  where dtime<=#2013年5月6日14时3分9秒# and  status=1  order by dtime desc",
             "1|王小明"},
            {"select count(*) from bmb where bm3 like '%[^]7[^]%'", "1"},
            {"select id from bmb where bm3 like '%[^]17[^]%'", "2"},
            {"select count(*) from bmb where status=1 and kz3 like '%[^]体育[^]%'", "1"},
            {"select  id,xm from bmb  where xm like '%SAN%' and  status=1  order by dtime desc", "2|Zhang San"},
            {"select id from bmb where xm not like 'zhang%' order by id", "1"},
            {"select id from bmb where xm='zhang san'", "2"},
            {"select count(*) from bmb where nl like '%8%'", "1"},
            {"select count(*) from bmb where dtime like '2013-05-06%'", "1"},
            {"select dd, count(*) from bmb group by dd order by dd", "0|1\n1|1"},
            {"UPDATE bmb SET dtime='2014年1月2日',xm='O''Brien' where id=1", ""},
            {"select xm,dtime,status,imgid,bm3server from bmb where id=1", "O'Brien|2014-01-02 00:00:00|1|0|0"},
            {"INSERT INTO fj  (uid,filename,status) values (1,'5\\0123456789abcdef0123456789abcdef.jpg',1)", ""},
            {"SELECT MAX(id) AS id FROM fj", "1"},
            {"UPDATE bmb SET imgid=1 where id=1", ""},
            {"select * from fj where uid= 1", "1|1|5\\0123456789abcdef0123456789abcdef.jpg|1"},
            {"delete * from fj where id=1", ""},
            {"INSERT INTO fj  (uid,filename,status) values (2,'b.jpg',1)", ""},
            {"SELECT MAX(id) AS id FROM fj", "2"},
            {"INSERT INTO dy  (nam,xx,dtime,status,sx) values ('报名表','%3Chtml%3E','2013年5月6日14时',1,1)", ""},
            {"UPDATE dy SET nam='报名表',xx='%3Chtml%3E',status=1,sx=2  where id=1", ""},
            {"select nam,dtime,sx from dy where status=1 order by sx", "报名表|2013-05-06 14:00:00|2"},
            {"update bmb set sh=-1 where id in (2)", ""},
            {"update bmb set fk=1 where id in (1,2)", ""},
            {"update bmb set status=0 where id in (2)", ""},
            {"select count(*) from bmb  where dtime>=#2013-05-07 00:00:00# and  status=0  and sh=-1", "1"},
            {"delete * from bmb where id in (1,2)", ""},
            {"DELETE * FROM zy WHERE id=1", ""},
            {"INSERT INTO zy  (name) values ('默认')", ""},
            {"select id,jzrq,xuefei,yjh,status from zy", "2|1899-12-30 00:00:00|0||0"},
            {"DELETE * FROM dd WHERE id=1", ""},
            {"delete * from dy  where id=1", ""},
            {"delete * from admin  where id=2", ""},
            {"select count(*) from bmb", "0"},
            {"select count(*) from admin", "1"},
            {"INSERT INTO bmb  (xm) values ('new')", ""},
            {"select id from bmb order by id desc ", "3"},
            {"select 1; select 2", refused},
        };
        for (const auto& step : steps) {
            QString error;
            const auto rows = runJet(session, step.jet, &error);
            if (step.rows == refused) {
                QVERIFY2(!rows, qPrintable(step.jet));
                continue;
            }
            QVERIFY2(rows, qPrintable(step.jet + ": " + error));
            QVERIFY2(joined(*rows) == step.rows,
                     qPrintable(QStringLiteral("%1\n got: %2\nwant: %3").arg(step.jet, joined(*rows), step.rows)));
        }
    }

    // Each test database is its own and is gone afterwards.
    void testDatabasesAreFreshAndDropped()
    {
        QString name;
        {
            TestPgDatabase first;
            BRENVO_REQUIRE_PG(first);
            TestPgDatabase second;
            QVERIFY2(second.isReady(), qPrintable(second.error()));
            QVERIFY(first.name() != second.name());
            PgSession session(first.connectionString());
            QCOMPARE(joined(session.run("select current_database()").rows), first.name());
            QCOMPARE(joined(session.run("select count(*) from pg_tables where schemaname = 'public'").rows),
                     QString("0"));
            name = first.name();
        }
        PgSession admin(qEnvironmentVariable("BRENVO_TEST_PG"));
        QCOMPARE(joined(admin.run("select count(*) from pg_database where datname = " + sqlText(name)).rows),
                 QString("0"));
    }
};

BRENVO_TEST(PgServerTest)
#include "test_pgserver.moc"
