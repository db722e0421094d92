// The Jet statements of the program as PostgreSQL reads them; no server needed.
#include "support/testsupport.h"

#include "store/postgres/jetrewrite.h"

#include <QtTest>

class PgRewriteTest : public QObject {
    Q_OBJECT

private slots:
    void rewrite_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("postgres");
        auto row = [](const char* name, const QString& jet, const QString& postgres) {
            QTest::newRow(name) << jet << postgres;
        };
        row("select untouched", "select * from admin order by id", "select * from admin order by id");
        row("count untouched", "select count(*) from bmb  where status=1 and sh=-1",
            "select count(*) from bmb  where status=1 and sh=-1");
        row("max id untouched", "SELECT MAX(id) AS id FROM fj", "SELECT MAX(id) AS id FROM fj");
        row("id list untouched", "update bmb set fk=1 where id in (12,15,20)", "update bmb set fk=1 where id in (12,15,20)");
        row("delete star", "delete * from admin  where id=3", "delete from admin  where id=3");
        row("DELETE STAR", "DELETE * FROM dd WHERE id=5", "DELETE FROM dd WHERE id=5");
        row("delete star blanks", "Delete  *   From fj where uid in (1,2)", "Delete  From fj where uid in (1,2)");
        row("quoted text untouched", "select 'delete * from #x# like [^]' from t",
            "select 'delete * from #x# like [^]' from t");
        row("date literal", "select  id,xm,dtime,sh,fk from bmb  where dtime>=#2013-05-01 00:00:00# and  status=1  order by dtime desc",
            "select  id,xm,dtime,sh,fk from bmb  where dtime>=TIMESTAMP '2013-05-01 00:00:00' and  status=1  order by dtime desc");
        row("date-to-text literal", "where dtime<=#2013年5月6日14时3分#", "where dtime<=TIMESTAMP '2013-05-06 14:03:00'");
        row("month-first literal", "where d=#5/1/2013 8:30#", "where d=TIMESTAMP '2013-05-01 08:30:00'");
        row("earliest literal", "where dtime>=#0100-01-01 00:00:00#", "where dtime>=TIMESTAMP '0100-01-01 00:00:00'");
        row("like caret element", "select count(*) from bmb where status=1 and bm3 like '%[^]7[^]%'",
            "select count(*) from bmb where status=1 and CAST(bm3 AS text) ~* '^.*[\\^]7[\\^].*$'");
        row("like browse", "select  id,xm,dtime,sh,fk from bmb  where xm like '%王%' and  status=1  order by dtime desc",
            "select  id,xm,dtime,sh,fk from bmb  where CAST(xm AS text) ~* '^.*王.*$' and  status=1  order by dtime desc");
        row("LIKE upper case", "where kz3 LIKE '%[^]体育[^]%'", "where CAST(kz3 AS text) ~* '^.*[\\^]体育[\\^].*$'");
        row("not like", "where xm not like 'a_' and x=1", "where CAST(xm AS text) !~* '^a.$' and x=1");
        row("NOT  LIKE blanks", "where xm NOT  LIKE 'a'", "where CAST(xm AS text) !~* '^a$'");
        row("qualified column", "where bmb.xm like 'a%'", "where CAST(bmb.xm AS text) ~* '^a.*$'");
        row("expression operand", "where (xm) like 'a'", "where (xm) ~* '^a$'");
        row("text operand", "where 'abc' like 'A%'", "where 'abc' ~* '^A.*$'");
        row("case operand", "where case when a=1 then 'x' else 'y' end like 'x'",
            "where case when a=1 then 'x' else 'y' end ~* '^x$'");
        row("quote in pattern", "where xm like '%O''Brien%'", "where CAST(xm AS text) ~* '^.*O''Brien.*$'");
        row("insert date text", "INSERT INTO bmb  (status,xm,dtime,sh,fk) values (1,'张三','2013年5月6日14时3分9秒',1,1)",
            "INSERT INTO bmb  (status,xm,dtime,sh,fk) values (1,'张三',TIMESTAMP '2013-05-06 14:03:09',1,1)");
        row("insert template", "INSERT INTO dy  (nam,xx,dtime,status,sx) values ('表','%3Chtml%3E','2013年5月6日',1,0)",
            "INSERT INTO dy  (nam,xx,dtime,status,sx) values ('表','%3Chtml%3E',TIMESTAMP '2013-05-06 00:00:00',1,0)");
        row("insert programme",
            "INSERT INTO zy  (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) values "
            "(0,0,'美术',1200,30,0,'1899年12月30日','','',1,1,1)",
            "INSERT INTO zy  (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) values "
            "(0,0,'美术',1200,30,0,TIMESTAMP '1899-12-30 00:00:00','','',1,1,1)");
        row("insert iso text, names in any case", "Insert Into DY (NAM,DTime) Values ('2013-05-06','2013-5-6 8:09')",
            "Insert Into DY (NAM,DTime) Values ('2013-05-06',TIMESTAMP '2013-05-06 08:09:00')");
        row("insert with nested commas", "INSERT INTO bmb (nl,dtime) values (round(1,2),'2013年5月6日')",
            "INSERT INTO bmb (nl,dtime) values (round(1,2),TIMESTAMP '2013-05-06 00:00:00')");
        row("insert of several rows", "INSERT INTO dy (dtime,nam) values ('2013年1月2日','a'), ('2013年1月3日','b')",
            "INSERT INTO dy (dtime,nam) values (TIMESTAMP '2013-01-02 00:00:00','a'), (TIMESTAMP '2013-01-03 00:00:00','b')");
        row("insert date literal", "INSERT INTO bmb (dtime) values (#2013-05-06#)",
            "INSERT INTO bmb (dtime) values (TIMESTAMP '2013-05-06 00:00:00')");
        row("date text into a text column", "INSERT INTO bmb  (xm,kz1) values ('2013年5月6日','x')",
            "INSERT INTO bmb  (xm,kz1) values ('2013年5月6日','x')");
        row("dtime of another table is text", "INSERT INTO admin (nam) values ('2013年5月6日')",
            "INSERT INTO admin (nam) values ('2013年5月6日')");
        row("update programme",
            "UPDATE zy SET serplaid=0,name='美术',xuefei=1300,renshu=30,jzrq='2013年9月1日',yjh='',jieshao='',sx=1,"
            "status=1,ddid=1 WHERE id=1",
            "UPDATE zy SET serplaid=0,name='美术',xuefei=1300,renshu=30,jzrq=TIMESTAMP '2013-09-01 00:00:00',yjh='',"
            "jieshao='',sx=1,status=1,ddid=1 WHERE id=1");
        row("update date text, blanks", "UPDATE bmb SET dtime = '2014-01-02 03:04:05'  where id=1",
            "UPDATE bmb SET dtime = TIMESTAMP '2014-01-02 03:04:05'  where id=1");
        row("update where text stays", "UPDATE dy SET nam='2013年5月6日' where nam='2013年5月6日'",
            "UPDATE dy SET nam='2013年5月6日' where nam='2013年5月6日'");
        row("update date expression stays", "UPDATE bmb SET dtime=dtime where id=1", "UPDATE bmb SET dtime=dtime where id=1");
        row("update of text columns", "UPDATE bmb SET xm='李四',kz3='^体育^' where id=5",
            "UPDATE bmb SET xm='李四',kz3='^体育^' where id=5");
        row("comment kept", "select 1 -- like it\n from t", "select 1 -- like it\n from t");
    }

    void rewrite()
    {
        QFETCH(QString, jet);
        QFETCH(QString, postgres);
        const sqlengine::Rewritten out = postgres::rewriteJetSql(jet);
        QVERIFY2(out.ok(), qPrintable(out.error));
        QCOMPARE(out.sql, postgres);
        // The tokens are the rewritten text's, in order and without gaps but blanks.
        const sqlengine::Lexed relexed = sqlengine::tokenize(out.sql);
        QVERIFY(!out.tokens.empty());
        int end = 0;
        for (const sqlengine::Token& t : out.tokens) {
            QCOMPARE(out.sql.mid(t.begin, t.length), t.text);
            QVERIFY(t.begin >= end);
            QVERIFY(out.sql.mid(end, t.begin - end).trimmed().isEmpty()
                    || out.sql.mid(end, t.begin - end).contains(QLatin1String("--")));
            end = t.begin + t.length;
        }
        QVERIFY(out.sql.mid(end).trimmed().isEmpty());
        QVERIFY(relexed.ok());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::newRow("literal no date") << "select * from bmb where dtime>=#abc#";
        QTest::newRow("literal 30 February") << "select * from bmb where dtime>=#2013-02-30 00:00:00#";
        QTest::newRow("empty literal") << "select * from bmb where dtime>=##";
        QTest::newRow("literal before Jet's dates") << "select * from bmb where dtime>=#0099-12-31#";
        QTest::newRow("insert text no date") << "INSERT INTO bmb  (status,xm,dtime,sh,fk) values (1,'a','不是日期',1,1)";
        QTest::newRow("insert empty date text") << "INSERT INTO dy  (nam,xx,dtime,status,sx) values ('a','b','',1,0)";
        QTest::newRow("insert date text too early") << "INSERT INTO dy (dtime) values ('99年12月31日')";
        QTest::newRow("insert date text too late") << "INSERT INTO dy (dtime) values ('10000-01-01')";
        QTest::newRow("update text no date") << "UPDATE zy SET name='a',jzrq='明天' WHERE id=1";
        QTest::newRow("update 31 April") << "UPDATE bmb SET dtime='2013年4月31日' where id=1";
        QTest::newRow("pattern is a column") << "select * from bmb where xm like kz1";
        QTest::newRow("pattern is a number") << "select * from bmb where nl like 18";
        QTest::newRow("pattern is built") << "select * from bmb where xm like '%' || kz1";
        QTest::newRow("pattern missing") << "select * from bmb where xm like";
        QTest::newRow("escape clause") << "select * from bmb where xm like 'a!%' escape '!'";
        QTest::newRow("unclosed quote") << "select * from bmb where xm='a";
    }

    void refusals()
    {
        QFETCH(QString, jet);
        const sqlengine::Rewritten out = postgres::rewriteJetSql(jet);
        QVERIFY2(!out.ok(), qPrintable(out.sql));
        QVERIFY(out.sql.isEmpty());
    }

    void likePatterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("regex");
        QTest::newRow("caret element") << "%[^]7[^]%" << "^.*[\\^]7[\\^].*$";
        QTest::newRow("runs of percent") << "%%a%%%" << "^.*a.*$";
        QTest::newRow("underscore") << "王_明" << "^王.明$";
        QTest::newRow("class") << "[bc]at" << "^[bc]at$";
        QTest::newRow("range") << "x[0-9]y" << "^x[0-9]y$";
        QTest::newRow("range folded") << "[A-Z]" << "^[a-z]$";
        QTest::newRow("negated class") << "x[!0-9]y" << "^x[^0-9]y$";
        QTest::newRow("negated nothing") << "[!]" << "^.$";
        QTest::newRow("reversed range") << "[z-a]" << "^(?!)$";
        QTest::newRow("negated reversed range") << "[!z-a]" << "^.$";
        QTest::newRow("reversed range beside a member") << "[z-ab]" << "^[b]$";
        QTest::newRow("dash at the end") << "[a-]" << "^[a\\-]$";
        QTest::newRow("dash at the start") << "[-a]" << "^[\\-a]$";
        QTest::newRow("caret first is a member") << "[^a]" << "^[\\^a]$";
        QTest::newRow("brackets in a class") << "[[]" << "^[\\[]$";
        QTest::newRow("backslash in a class") << "[\\]" << "^[\\\\]$";
        QTest::newRow("wildcards in a class") << "[%_]" << "^[%_]$";
        QTest::newRow("empty class") << "a[]b" << "^ab$";
        QTest::newRow("empty class between runs") << "%[]%" << "^.*$";
        QTest::newRow("unclosed bracket") << "%[b" << "^.*\\[b$";
        QTest::newRow("closing bracket alone") << "a]" << "^a\\]$";
        QTest::newRow("regex operators") << "a*b?c+d.e|f(g)h{2}i$j^k\\l" << "^a\\*b\\?c\\+d\\.e\\|f\\(g\\)h\\{2\\}i\\$j\\^k\\\\l$";
        QTest::newRow("other marks stay") << "a'b-c,#d" << "^a'b-c,#d$";
        QTest::newRow("beyond the basic plane") << "𠀀_" << "^𠀀.$";
        QTest::newRow("empty pattern") << "" << "^$";
    }

    void likePatterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, regex);
        QCOMPARE(postgres::likePatternToRegex(pattern), regex);
    }
};

BRENVO_TEST(PgRewriteTest)
#include "test_pgrewrite.moc"
