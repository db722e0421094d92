// Opening zhao.dat, the one-statement rule, error reporting, date columns,
// quoting and the conversions of the readers.
#include "support/testsupport.h"

#include "platform/dates.h"
#include "platform/text.h"
#include "store/database.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <sqlite3.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

struct OpenStore {
    TestProgramDir dir;
    Database db;
    bool opened = false;
    OpenStore()
    {
        createConnection(db.connection);
        createRecordSet(db.sharedRecordSet);
        createRecordSet(db.browseRecordSet);
        opened = db.connection->openDatabase(connectionStringFor(dir.path()));
    }
    int count(const QString& sql)
    {
        return db.openShared(sql) ? db.shared().readInteger(0) : -1;
    }
    QString text(const QString& sql, const char* column)
    {
        return db.openShared(sql) ? db.shared().readText(column) : QStringLiteral("<failed>");
    }
};

// A second connection to the file that holds an exclusive lock, as another
// program writing to zhao.dat does, until it commits.
struct OtherProgramLock {
    sqlite3* db = nullptr;
    explicit OtherProgramLock(const QString& path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~OtherProgramLock() { sqlite3_close(db); }
    bool begin() { return sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK; }
    bool commit() { return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK; }
};

} // namespace

class DatabaseTest : public QObject {
    Q_OBJECT

private slots:
    void opensThroughTheJetConnectionString()
    {
        OpenStore s;
        QVERIFY2(s.opened, qPrintable(s.db.lastErrorText()));
        QVERIFY(s.db.connection->isOpen());
        QVERIFY(s.db.lastErrorText().isEmpty());
        s.db.connection->closeDatabase();
        QVERIFY(!s.db.connection->isOpen());
        QVERIFY(!s.db.openShared("select * from admin"));
        QVERIFY(s.db.shared().atEnd());
    }

    void missingOrDamagedFileFailsWithAMessage()
    {
        TestProgramDir empty(false);
        DbConnection connection;
        QVERIFY(!connection.openDatabase(connectionStringFor(empty.path())));
        QVERIFY(!connection.lastErrorText().isEmpty());
        QVERIFY2(!QFile::exists(empty.databasePath()), "opening must never create the file");

        QFile damaged(empty.databasePath());
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, 'x'));
        damaged.close();
        QVERIFY(!connection.openDatabase(connectionStringFor(empty.path())));
        QVERIFY2(connection.lastErrorText().contains("not a database"), qPrintable(connection.lastErrorText()));

        // An empty file would silently become an empty database.
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.close();
        QVERIFY(!connection.openDatabase(connectionStringFor(empty.path())));
        QCOMPARE(QFileInfo(empty.databasePath()).size(), 0);
    }

    void oneStatementPerCall()
    {
        OpenStore s;
        QVERIFY(!s.db.execute("update admin set status=0; delete * from admin"));
        QVERIFY(!s.db.lastErrorText().isEmpty());
        QCOMPARE(s.count("select count(*) from admin where status=1"), 1);   // nothing ran
        QVERIFY(!s.db.execute("update admin set status=0;;"));
        QVERIFY(!s.db.execute("   "));
        QVERIFY(s.db.execute("update admin set nam='a;b' ; "));   // one trailing ; and quoted ;
        QCOMPARE(s.text("select nam from admin", "nam"), QString("a;b"));
    }

    void failedStatementThenWorkingQuery()
    {
        OpenStore s;
        QVERIFY(s.db.openShared("select * from admin"));
        QVERIFY(!s.db.execute("UPDATE admin SET nosuch='x' where id=1"));
        QVERIFY2(s.db.lastErrorText().contains("nosuch"), qPrintable(s.db.lastErrorText()));
        QVERIFY(!s.db.shared().isOpen());
        QVERIFY(s.db.shared().atEnd());
        QCOMPARE(s.db.shared().recordCount(), 0);

        QVERIFY(s.db.openShared("select * from admin where nam='admin'"));
        QVERIFY(s.db.lastErrorText().isEmpty());
        QCOMPARE(s.db.shared().readText("nam"), QString("admin"));

        // A write that touches no row is a success, and leaves the target closed.
        QVERIFY(s.db.execute("delete * from admin  where id=999"));
        QVERIFY(!s.db.shared().isOpen());
        // A select through executeStatement opens the target with its rows.
        QVERIFY(s.db.execute("select count(*) from admin"));
        QVERIFY(s.db.shared().isOpen());
        QCOMPARE(s.db.shared().readInteger(0), 1);
    }

    void dateColumnsStoreIsoAndRejectNonDates()
    {
        OpenStore s;
        const QStringList written = {"2013年5月6日14时3分9秒", "2013-10-01 08:00:00", "2013年9月30日23时", "2013年5月6日"};
        for (const QString& w : written)
            QVERIFY2(s.db.execute("INSERT INTO bmb  (status,xm,dtime) values (1,'" + w + "','" + w + "')"),
                     qPrintable(s.db.lastErrorText()));

        QCOMPARE(s.text("select * from bmb where xm='2013年5月6日14时3分9秒'", "dtime"), QString("2013-05-06 14:03:09"));
        QCOMPARE(s.db.shared().readDateTime("dtime"), QDateTime(QDate(2013, 5, 6), QTime(14, 3, 9)));
        QCOMPARE(s.text("select * from bmb where xm='2013年5月6日'", "dtime"), QString("2013-05-06 00:00:00"));

        // Ordered and compared as moments, not as the texts that were written.
        QVERIFY(s.db.openShared("select  id,xm,dtime from bmb  where  status=1  order by dtime desc"));
        QStringList order;
        for (RecordSet& r = s.db.shared(); !r.atEnd(); r.moveNext())
            order << r.readText("dtime");
        QCOMPARE(order, (QStringList{"2013-10-01 08:00:00", "2013-09-30 23:00:00", "2013-05-06 14:03:09",
                                     "2013-05-06 00:00:00"}));
        QCOMPARE(s.count("select count(*) from bmb where dtime>=#2013-05-06 00:00:01# and dtime<#2013-10-01#"), 2);
        QCOMPARE(s.count("select count(*) from bmb where dtime=#2013年9月30日23时#"), 1);

        QVERIFY(!s.db.execute("INSERT INTO bmb  (status,xm,dtime) values (1,'bad','abc')"));
        QVERIFY(s.db.lastErrorText().contains("abc"));
        QVERIFY(!s.db.execute("UPDATE bmb SET dtime='next week' where xm='2013年5月6日'"));
        QVERIFY(!s.db.execute("INSERT INTO dy  (nam,xx,dtime,status,sx) values ('t','','',1,0)"));
        QCOMPARE(s.count("select count(*) from bmb"), 4);
        QCOMPARE(s.text("select * from bmb where xm='2013年5月6日'", "dtime"), QString("2013-05-06 00:00:00"));

        // A programme written without a deadline has the zero date.
        QVERIFY(s.db.execute("INSERT INTO zy  (name) values ('x')"));
        QVERIFY(s.db.openShared("select * from zy"));
        QCOMPARE(s.db.shared().readDateTime("jzrq"), zeroDate());
    }

    void quotedTextRoundTrips()
    {
        OpenStore s;
        const QStringList values = {"O'Brien", "''", "50%_off [x]", "王小明　", " 前后有空格 ", "it's 100%"};
        for (const QString& v : values)
            QVERIFY2(s.db.execute("INSERT INTO dd  (serverid,name,sx,status,xx) values (0,'" + quoteForSql(v)
                                  + "',0,1,'" + quoteForSql(v) + "')"),
                     qPrintable(s.db.lastErrorText()));
        QVERIFY(s.db.openShared("select * from dd order by id"));
        QStringList back;
        for (RecordSet& r = s.db.shared(); !r.atEnd(); r.moveNext())
            back << r.readText("name");
        QCOMPARE(back, values);
        QCOMPARE(s.count("select count(*) from dd where name like '%" + quoteForSql("'") + "%'"), 3);
        QCOMPARE(s.count("select count(*) from dd where name='" + quoteForSql("O'BRIEN") + "'"), 1);
    }

    void readersGiveTheEmptyValueOfTheirKind()
    {
        OpenStore s;
        QVERIFY(s.db.execute("INSERT INTO bmb  (status,xm,nl,dtime,kz1,kz2) values (1,NULL,NULL,NULL,'abc','12')"));
        QVERIFY(s.db.execute("INSERT INTO bmb  (status,xm,nl) values (1,'x',20)"));
        QVERIFY(s.db.execute("INSERT INTO bmb  (status,xm,nl) values (1,'y',2.5)"));
        QVERIFY(s.db.openShared("select * from bmb order by id"));
        RecordSet& r = s.db.shared();
        for (const FieldRef& f : {FieldRef("xm"), FieldRef("nl"), FieldRef("dtime"), FieldRef("nosuch"), FieldRef(99)}) {
            QCOMPARE(r.readText(f), QString());
            QCOMPARE(r.readInteger(f), 0);
            QCOMPARE(r.readNumber(f), 0.0);
            QCOMPARE(r.readDateTime(f), zeroDate());
            QCOMPARE(r.readBytes(f), QByteArray());
        }
        QCOMPARE(r.readInteger("kz1"), 0);   // text that is no number
        QCOMPARE(r.readDateTime("kz1"), zeroDate());
        QCOMPARE(r.readInteger("KZ2"), 12);  // names without regard to case
        QCOMPARE(r.readText(0), QString("1"));
        r.moveNext();
        QCOMPARE(r.readText("nl"), QString("20"));
        QCOMPARE(r.readInteger("nl"), 20);
        r.moveNext();
        QCOMPARE(r.readText("nl"), QString("2.5"));
        QCOMPARE(r.readInteger("nl"), 2);     // half to even, as Jet rounds
        r.moveNext();
        QVERIFY(r.atEnd());
        QCOMPARE(r.readText("xm"), QString());
    }

    void updateCurrentRowNeedsAnOptimisticKeyset()
    {
        OpenStore s;
        QVERIFY(s.db.openShared("select * from admin where nam='admin'"));
        QVERIFY(!s.db.shared().updateCurrentRow("status", 0));
        QVERIFY(!s.db.lastErrorText().isEmpty());

        QVERIFY(s.db.openShared("select * from admin where nam='admin'", LockMode::Optimistic));
        QVERIFY2(s.db.shared().updateCurrentRow("status", 0), qPrintable(s.db.lastErrorText()));
        QVERIFY(s.db.lastErrorText().isEmpty());
        QCOMPARE(s.db.shared().readInteger("status"), 0);
        QVERIFY(!s.db.shared().updateCurrentRow("nosuch", 1));
        QCOMPARE(s.count("select count(*) from admin where status=0"), 1);

        QVERIFY(s.db.openShared("select count(*) from admin", LockMode::Optimistic));
        QVERIFY(!s.db.shared().updateCurrentRow("status", 1));
    }

    // Text a date-time column refuses, and the boundaries of Jet's range it takes.
    void dateColumnsTakeOnlyDatesInJetsRange_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("year alone into dtime") << "INSERT INTO bmb  (status,xm,dtime) values (1,'n','2013')" << false;
        QTest::newRow("year alone by update") << "UPDATE bmb SET dtime='2013' where xm='kept'" << false;
        QTest::newRow("number into dtime") << "UPDATE bmb SET dtime=41400 where xm='kept'" << false;
        QTest::newRow("year alone into a template") << "INSERT INTO dy  (nam,xx,dtime,status,sx) values ('t','','2013',1,0)"
                                                   << false;
        QTest::newRow("year alone as a deadline") << "UPDATE zy SET jzrq='2013' WHERE id=1" << false;
        QTest::newRow("before the year 100") << "UPDATE bmb SET dtime='0099-12-31 23:59:59' where xm='kept'" << false;
        QTest::newRow("two-digit year") << "UPDATE bmb SET dtime='99年12月31日' where xm='kept'" << false;
        QTest::newRow("literal before the year 100") << "UPDATE bmb SET dtime=#0099-12-31# where xm='kept'" << false;
        QTest::newRow("first day of Jet") << "UPDATE bmb SET dtime='0100-01-01' where xm='kept'" << true;
        QTest::newRow("last moment of Jet") << "UPDATE bmb SET dtime='9999年12月31日23时59分59秒' where xm='kept'" << true;
        QTest::newRow("month-first literal") << "UPDATE bmb SET dtime=#12/31/9999# where xm='kept'" << true;
    }

    void dateColumnsTakeOnlyDatesInJetsRange()
    {
        QFETCH(QString, statement);
        QFETCH(bool, accepted);
        OpenStore s;
        QVERIFY(s.db.execute("INSERT INTO bmb  (status,xm,dtime) values (1,'kept','2013年5月6日')"));
        QVERIFY(s.db.execute("INSERT INTO zy  (name,jzrq) values ('x','2013-09-01')"));
        QCOMPARE(s.db.execute(statement), accepted);
        QCOMPARE(s.db.lastErrorText().isEmpty(), accepted);
        QCOMPARE(s.count("select count(*) from bmb"), 1);
        QCOMPARE(s.count("select count(*) from dy"), 0);
        QCOMPARE(s.text("select * from zy", "jzrq"), QString("2013-09-01 00:00:00"));
        if (!accepted)
            QCOMPARE(s.text("select * from bmb", "dtime"), QString("2013-05-06 00:00:00"));
        else
            QVERIFY(s.text("select * from bmb", "dtime").contains(QRegularExpression("^(0100|9999)-")));
    }

    // SQLite would run the statement up to the NUL or up to the end it finds
    // itself, and drop the rest silently; each of these would delete rows.
    void textAfterTheStatementIsRefused_data()
    {
        QTest::addColumn<QString>("statement");
        const QChar nul(u'\0');
        QTest::newRow("after a NUL") << QString("delete * from bmb where status=1") + nul + " and id=2";
        QTest::newRow("a quoted NUL") << "delete * from bmb where xm='" + quoteForSql(QString("a") + nul + "b") + "' or 1=1";
        QTest::newRow("NUL at the end") << QString("delete * from bmb where status=1") + nul;
        QTest::newRow("$name(...) swallowing a quote")
            << QString("delete * from bmb where status=1 or $x(a'); and id=2 --'");
        QTest::newRow("$name(...) then a second statement")
            << QString("update bmb set xm='' where id=$x(a'); delete from bmb --')");
    }

    void textAfterTheStatementIsRefused()
    {
        QFETCH(QString, statement);
        OpenStore s;
        QVERIFY(s.db.execute("INSERT INTO bmb  (status,xm) values (1,'a')"));
        QVERIFY(s.db.execute("INSERT INTO bmb  (status,xm) values (1,'b')"));
        QVERIFY(!s.db.execute(statement));
        QVERIFY(!s.db.lastErrorText().isEmpty());
        QCOMPARE(s.count("select count(*) from bmb where xm<>''"), 2);
        QVERIFY(!s.db.openShared(statement));
        QCOMPARE(s.count("select count(*) from bmb where xm<>''"), 2);
        // A trailing semicolon and comments stay allowed.
        QVERIFY2(s.db.execute("update bmb set sh=1 where id=1 ; -- reviewed"), qPrintable(s.db.lastErrorText()));
    }

    void rowReadWhileAnotherProgramHoldsTheFileIsAnError()
    {
        OpenStore s;
        for (const char* name : {"a", "b", "c"})
            QVERIFY(s.db.execute(QString("INSERT INTO bmb  (status,xm) values (1,'%1')").arg(name)));
        QVERIFY(s.db.openShared("select * from bmb order by id", LockMode::Optimistic));
        RecordSet& r = s.db.shared();
        QCOMPARE(r.readText("xm"), QString("a"));

        OtherProgramLock other(s.dir.databasePath());
        QVERIFY(other.begin());
        r.moveNext();
        QVERIFY(r.atEnd());
        QVERIFY(r.readFailed());
        QVERIFY2(s.db.lastErrorText().contains("locked"), qPrintable(s.db.lastErrorText()));
        QCOMPARE(r.readText("xm"), QString());
        // Nothing can be written over the unread row.
        QVERIFY(!r.updateCurrentRow("xm", QString()));
        r.moveNext();
        QVERIFY(r.atEnd());
        QVERIFY(other.commit());

        // The failure lasts until the record set is opened again.
        QVERIFY(r.atEnd());
        QVERIFY(s.db.openShared("select * from bmb order by id"));
        QVERIFY(!r.readFailed());
        r.moveNext();
        QCOMPARE(r.readText("xm"), QString("b"));
    }

    void aFileHeldForAMomentIsWaitedFor()
    {
        TestProgramDir dir;
        std::promise<void> locked;
        std::thread otherProgram([&dir, &locked] {
            OtherProgramLock other(dir.databasePath());
            const bool began = other.begin();
            locked.set_value();
            if (began) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                other.commit();
            }
        });
        locked.get_future().wait();
        DbConnection connection;
        const bool opened = connection.openDatabase(connectionStringFor(dir.path()));
        otherProgram.join();
        QVERIFY2(opened, qPrintable(connection.lastErrorText()));
    }

    void programDirectoryWithSeparatorsInItsNameOpens_data()
    {
        QTest::addColumn<QString>("directoryName");
        QTest::newRow("semicolon") << "报名;2013";
        QTest::newRow("semicolon and equals") << "a;Data Source=x";
        QTest::newRow("double quotes") << "\"quoted\";x";
        QTest::newRow("single quote") << "it's";
        QTest::newRow("ordinary") << "brenvo";
    }

    void programDirectoryWithSeparatorsInItsNameOpens()
    {
        QFETCH(QString, directoryName);
        TestProgramDir parent(false);
        const QString directory = parent.file(directoryName);
        QVERIFY(QDir().mkpath(directory));
        QString error;
        QVERIFY2(createShippedDatabase(directory + "/zhao.dat", &error), qPrintable(error));
        DbConnection connection;
        QVERIFY2(connection.openDatabase(connectionStringFor(directory)), qPrintable(connection.lastErrorText()));
        RecordSet admin;
        QVERIFY(connection.openQuery(admin, "select * from admin"));
        QCOMPARE(admin.readText("nam"), QString("admin"));
    }

    void ordinaryConnectionStringIsUnchanged()
    {
        QCOMPARE(connectionStringFor("/opt/brenvo"),
                 QString("provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/brenvo\\zhao.dat;Jet OLEDB:Database Password="));
    }
};

BRENVO_TEST(DatabaseTest)
#include "test_database.moc"
