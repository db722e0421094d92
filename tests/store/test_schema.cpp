// The shipped zhao.dat: its seeded rows, its defaults, and the statement
// texts the program's pages run against it.
#include "support/testsupport.h"

#include "platform/text.h"
#include "store/database.h"
#include "store/schema.h"

#include <QFile>
#include <QtTest>

namespace {

struct ShippedStore {
    TestProgramDir dir;
    Database db;
    bool opened = false;
    ShippedStore()
    {
        createConnection(db.connection);
        createRecordSet(db.sharedRecordSet);
        opened = db.connection->openDatabase(connectionStringFor(dir.path()));
    }
    RecordSet& open(const QString& sql)
    {
        if (!db.openShared(sql))
            qWarning("%s: %s", qPrintable(sql), qPrintable(db.lastErrorText()));
        return db.shared();
    }
};

} // namespace

class SchemaTest : public QObject {
    Q_OBJECT

private slots:
    void seededRows()
    {
        ShippedStore s;
        QVERIFY(s.opened);
        RecordSet& admin = s.open("select * from admin where nam='admin'");
        QCOMPARE(admin.recordCount(), 1);
        QCOMPARE(admin.readInteger("admgroup"), 1);
        QCOMPARE(admin.readInteger("status"), 1);
        QCOMPARE(admin.readText("pw"), passwordDigest("472915"));

        RecordSet& xx = s.open("select * from xx");
        QCOMPARE(xx.recordCount(), 1);
        for (const char* sw : {"dd", "bmsh", "fksh", "pho"})
            QCOMPARE(xx.readInteger(sw), 0);
        QCOMPARE(s.open("select * from sync ").readInteger("bmbnum"), 50);

        RecordSet& style = s.open("select * from style order by sx");
        QStringList columns;
        for (; !style.atEnd(); style.moveNext())
            columns << style.readText("zd");
        QCOMPARE(columns, (QStringList{"dd", "bm1", "bm2", "bm3", "xm", "xb", "nl", "mz", "zj", "lx1", "lx2", "lx3",
                                       "kz1", "kz2", "kz3", "kz4", "kz5", "kz6", "kz7", "kz8", "kz9", "kz10", "jj"}));
        RecordSet& xb = s.open("select * from style where zd='xb'");
        QCOMPARE(xb.readText("nam"), QString("性别"));
        QCOMPARE(xb.readInteger("lx"), 2);
        QCOMPARE(xb.readText("val"), QString("男||女"));
        QCOMPARE(xb.readInteger("bt"), 1);
        RecordSet& dd = s.open("select * from style where zd='dd'");
        QCOMPARE(dd.readText("sx"), QString("-3"));
        QCOMPARE(dd.readText("ts"), QString("请选择报名分类"));
        QCOMPARE(dd.readInteger("status"), 0);
        QCOMPARE(s.open("select * from style where status=1 order by sx").recordCount(), 15);
    }

    void shippedDatabaseIsNeverOverwritten()
    {
        TestProgramDir dir(false);
        QFile existing(dir.databasePath());
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep me");
        existing.close();
        QString error;
        QVERIFY(!createShippedDatabase(dir.databasePath(), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("keep me"));
    }

    void defaultsAndAutoNumbers()
    {
        ShippedStore s;
        QVERIFY(s.db.execute("INSERT INTO bmb  (xm) values ('x')"));
        RecordSet& r = s.open("select * from bmb");
        QCOMPARE(r.readInteger("status"), 1);
        QCOMPARE(r.readText("bm3"), QString("0"));
        QCOMPARE(r.readText("bm3server"), QString("0"));
        QCOMPARE(r.readText("kz1"), QString());
        QCOMPARE(r.readInteger("imgid"), 0);
        // Ids are never given again, even after the newest row is deleted.
        QVERIFY(s.db.execute("INSERT INTO bmb  (xm) values ('y')"));
        QVERIFY(s.db.execute("delete * from bmb where id in (2)"));
        QVERIFY(s.db.execute("INSERT INTO bmb  (xm) values ('z')"));
        QCOMPARE(s.open("select id from bmb order by id desc ").readInteger("id"), 3);
    }

    // The statements of the accounts, unit, form, registration, browse,
    // status, statistics, template, category, programme and photo pages.
    void statementTextsOfThePages()
    {
        ShippedStore s;
        const QString digest = passwordDigest("secret");
        const QStringList statements = {
            "INSERT INTO admin  (nam,admgroup,status,pw) values ('张三',2,1,'" + digest + "')",
            "UPDATE admin SET nam='张三丰',admgroup=5,status=1 where id=2",
            "UPDATE xx SET mc='学校',dz='',dh='',qq='',email='',cz='',dd=1,bmsh=1,fksh=0,pho=0",
            "UPDATE style SET status=1 where zd='dd'",
            "UPDATE style SET nam='姓名',lx=0,val='',bt=1,yz='*',sx=-4,ts='',status=1 where id=5",
            "INSERT INTO dd  (serverid,name,sx,status,xx) values (0,'本部',1,1,'')",
            "UPDATE dd SET name='本部',sx=2,status=1,xx='主校区' WHERE id=1",
            "INSERT INTO zy  (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
            "values (0,0,'美术',1200,30,0,'2013-09-01 00:00:00','','',1,1,1)",
            "UPDATE zy SET serplaid=0,name='美术',xuefei=1300,renshu=30,jzrq='2013年9月1日',yjh='',jieshao='',"
            "sx=1,status=1,ddid=1 WHERE id=1",
            "INSERT INTO bmb  (status,xm,xb,dd,ddserver,bm3,bm3server,dtime,sh,fk) "
            "values (1,'王小明',1,1,0,'^3^^7^','^0^^0^','2013年5月6日14时3分9秒',1,1)",
            "INSERT INTO bmb  (status,xm,xb,nl,bm3,dtime,sh,fk) values (1,'Abc',2,17,'^17^','2013年5月7日',0,0)",
            "INSERT INTO fj  (uid,filename,status) values (1,'5\\0123456789abcdef0123456789abcdef.jpg',1)",
            "UPDATE bmb SET imgid=1 where id=1",
            "UPDATE bmb SET xm='abc',xb=2 where id=2",
            "update bmb set sh=-1 where id in (2)",
            "update bmb set fk=1 where id in (1,2)",
            "update bmb set status=0 where id in (2)",
            "update bmb set status=1 where id in (2)",
            "INSERT INTO dy  (nam,xx,dtime,status,sx) values ('报名表','%3Chtml%3E','2013年5月6日14时',1,1)",
            "UPDATE dy SET nam='报名表',xx='%3Chtml%3E',status=1,sx=2  where id=1",
        };
        for (const QString& sql : statements)
            QVERIFY2(s.db.execute(sql), qPrintable(sql + " -> " + s.db.lastErrorText()));

        auto count = [&s](const QString& sql) { return s.open(sql).readInteger(0); };
        QCOMPARE(count("select count(*) from bmb where bm3 like '%[^]7[^]%'"), 1);
        QCOMPARE(count("select count(*) from bmb  where xm like '%ABC%' and  status=1 "), 1);
        QCOMPARE(count("select count(*) from bmb  where dtime>=#2013-05-07 00:00:00# and  status=1  and sh=-1"), 1);
        QCOMPARE(count("select count(*) from bmb where fk=1"), 2);
        QCOMPARE(s.open("SELECT MAX(id) AS id FROM fj").readInteger("id"), 1);
        QCOMPARE(s.open("select * from fj where uid= 1").readText("filename"),
                 QString("5\\0123456789abcdef0123456789abcdef.jpg"));
        QCOMPARE(s.open("select * from zy order by sx").readText("jzrq"), QString("2013-09-01 00:00:00"));
        QCOMPARE(s.open("select * from dy where status=1 order by sx").readText("dtime"), QString("2013-05-06 14:00:00"));
        QCOMPARE(s.open("select * from admin where status=1 order by id").recordCount(), 2);

        RecordSet& page = s.open("select  id,xm,xb,nl,dtime,sh,fk from bmb  where xm like '%abc%' and  status=1  order by dtime desc");
        QCOMPARE(page.recordCount(), 1);
        QCOMPARE(page.readText("nl"), QString("17"));

        for (const QString& sql : {QString("delete * from fj where uid in (1,2)"), QString("delete * from bmb where id in (1,2)"),
                                   QString("DELETE * FROM zy WHERE id=1"), QString("DELETE * FROM dd WHERE id=1"),
                                   QString("delete * from dy  where id=1"), QString("delete * from admin  where id=2")})
            QVERIFY2(s.db.execute(sql), qPrintable(sql + " -> " + s.db.lastErrorText()));
        for (const char* table : {"bmb", "fj", "zy", "dd", "dy"})
            QCOMPARE(count(QString("select count(*) from ") + table), 0);
        QCOMPARE(count("select count(*) from admin"), 1);
    }

    void registrationColumnsAreTheColumnsOfBmb()
    {
        for (const char* name : {"xm", "XM", "Kz10", "dtime", "bm3server", "id"})
            QVERIFY2(isRegistrationColumn(name), name);
        for (const char* name : {"", "nam", "kz11", "bmb", "xm,pw", "xm ", "(select pw from admin)"})
            QVERIFY2(!isRegistrationColumn(name), name);
    }
};

BRENVO_TEST(SchemaTest)
#include "test_schema.moc"
