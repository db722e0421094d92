// What every engine behind the store must do alike: the desk's own zhao.dat
// and a PostgreSQL server, through the same DbConnection and RecordSet.
#include "support/pgtestdatabase.h"
#include "support/testsupport.h"

#include "store/database.h"
#include "tools/registrationpayload.h"

#include <QProcess>
#include <QtTest>

#include <thread>

namespace {

enum class EngineKind { Sqlite, Server };

} // namespace

Q_DECLARE_METATYPE(EngineKind)

namespace {

// A program directory's zhao.dat, or a fresh database on the test server.
struct EngineUnderTest {
    TestProgramDir dir;
    std::unique_ptr<TestPgDatabase> server;
    EngineKind kind;

    explicit EngineUnderTest(EngineKind kind) : kind(kind)
    {
        if (kind == EngineKind::Server)
            server = std::make_unique<TestPgDatabase>();
    }
    bool open(DbConnection& connection) const
    {
        return kind == EngineKind::Sqlite ? connection.openDatabase(connectionStringFor(dir.path()))
                                          : connection.openServer(server->connectionString());
    }
};

struct Desk {
    Database db;
    bool opened = false;
    explicit Desk(const EngineUnderTest& engine)
    {
        createConnection(db.connection);
        createRecordSet(db.sharedRecordSet);
        opened = engine.open(*db.connection);
    }
    QString text(const QString& sql)
    {
        return db.openShared(sql) && !db.shared().atEnd() ? db.shared().readText(0) : QStringLiteral("<none>");
    }
};

} // namespace

class EngineTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data()
    {
        QTest::addColumn<EngineKind>("kind");
        QTest::newRow("zhao.dat") << EngineKind::Sqlite;
        QTest::newRow("server") << EngineKind::Server;
    }

    void init()
    {
        QFETCH_GLOBAL(EngineKind, kind);
        if (kind == EngineKind::Server) {
            TestPgDatabase probe;
            if (!probe.configured())
                QSKIP(qPrintable(TestPgDatabase::skipReason()));
        }
    }

    // The statements of the program read and write alike on both engines:
    // the seeded rows, date texts, Jet's LIKE, keysets with paging, updates
    // through a record set.
    void statementsRecordSetsAndPaging()
    {
        QFETCH_GLOBAL(EngineKind, kind);
        EngineUnderTest engine(kind);
        Desk desk(engine);
        QVERIFY2(desk.opened, qPrintable(desk.db.lastErrorText()));
        QCOMPARE(desk.text(QStringLiteral("select nam from admin where id=1")), QStringLiteral("admin"));

        for (int n = 1; n <= 12; ++n)
            QVERIFY2(desk.db.execute(QStringLiteral("INSERT INTO bmb  (xm,nl,bm3,dtime,status) values ('Wang %1',%1,'^3^^7^','2013年5月%1日14时3分9秒',1)")
                                         .arg(n)),
                     qPrintable(desk.db.lastErrorText()));
        QCOMPARE(desk.text(QStringLiteral("select dtime from bmb where nl=6")), QStringLiteral("2013-05-06 14:03:09"));
        QCOMPARE(desk.text(QStringLiteral("select count(*) from bmb where xm like '%WANG 1_%' and bm3 like '%[^]7[^]%'")),
                 QStringLiteral("3"));
        QCOMPARE(desk.text(QStringLiteral("select count(*) from bmb where dtime>=#2013-05-10 00:00:00#")), QStringLiteral("3"));
        QVERIFY(!desk.db.execute(QStringLiteral("update bmb set dtime='no date' where id=1")));
        QVERIFY(!desk.db.execute(QStringLiteral("update bmb set sh=1; delete * from bmb")));

        QVERIFY(desk.db.openShared(QStringLiteral("select id,xm,dtime from bmb where status=1 order by dtime desc"),
                                   LockMode::Optimistic));
        RecordSet& rows = desk.db.shared();
        rows.setPageSize(5);
        QCOMPARE(rows.recordCount(), 12);
        QCOMPARE(rows.getPageCount(), 3);
        rows.setAbsolutePage(3);
        QCOMPARE(rows.readText("xm"), QStringLiteral("Wang 2"));
        QCOMPARE(rows.readDateTime("dtime"), QDateTime(QDate(2013, 5, 2), QTime(14, 3, 9)));
        QVERIFY2(rows.updateCurrentRow(QStringLiteral("xm"), QStringLiteral("Li")), qPrintable(desk.db.lastErrorText()));
        QCOMPARE(rows.readText("xm"), QStringLiteral("Li"));
        QVERIFY(desk.db.execute(QStringLiteral("delete * from bmb where xm='li'")));
        QCOMPARE(desk.text(QStringLiteral("select count(*) from bmb")), QStringLiteral("11"));
    }

    // A long ordered result shows its count and first pages before the rest
    // of its ids is read; ties keep one order throughout, and what another
    // desk wrote meanwhile is in the whole list once it is read.
    void longOrderedResultsArePagedThroughWhole()
    {
        QFETCH_GLOBAL(EngineKind, kind);
        EngineUnderTest engine(kind);
        Desk desk(engine);
        Desk other(engine);
        QVERIFY(desk.opened && other.opened);
        constexpr int rows = 1300;   // beyond the first ids a keyset reads
        QVERIFY(desk.db.connection->beginTransaction());
        for (int n = 0; n < rows; ++n)
            QVERIFY(desk.db.execute(QStringLiteral("INSERT INTO bmb  (xm,dtime,status) values ('%1','2013-05-0%2 08:00:00',1)")
                                        .arg(n)
                                        .arg(1 + n % 3)));
        QVERIFY(desk.db.connection->commitTransaction());

        QVERIFY(desk.db.openShared(QStringLiteral("select xm,dtime from bmb where status=1 order by dtime desc")));
        RecordSet& list = desk.db.shared();
        list.setPageSize(100);
        QCOMPARE(list.recordCount(), rows);
        QCOMPARE(list.getPageCount(), 13);
        QStringList seen;
        for (; !list.atEnd() && seen.size() < 300; list.moveNext())
            seen << list.readText("xm");
        QVERIFY(other.db.execute(QStringLiteral("INSERT INTO bmb  (xm,dtime,status) values ('late','2013-05-01 00:00:00',1)")));
        for (; !list.atEnd(); list.moveNext())
            seen << list.readText("xm");
        QCOMPARE(seen.size(), rows + 1);
        QCOMPARE(seen.last(), QStringLiteral("late"));
        seen.removeLast();
        QStringList expected;
        for (int day = 3; day >= 1; --day)
            for (int n = 0; n < rows; ++n)
                if (1 + n % 3 == day)
                    expected << QString::number(n);
        QCOMPARE(seen, expected);
        list.setAbsolutePage(14);
        QCOMPARE(list.readText("xm"), QStringLiteral("late"));
    }

    // Each desk finds the row it inserted itself, never another desk's newer
    // one; work inside a transaction is undone as a whole.
    void eachConnectionKnowsItsOwnInsertAndTransactionsUndo()
    {
        QFETCH_GLOBAL(EngineKind, kind);
        EngineUnderTest engine(kind);
        Desk first(engine);
        Desk second(engine);
        QVERIFY(first.opened && second.opened);
        QVERIFY(first.db.execute(QStringLiteral("INSERT INTO bmb  (xm) values ('first')")));
        QVERIFY(second.db.execute(QStringLiteral("INSERT INTO bmb  (xm) values ('second')")));
        const qint64 mine = first.db.connection->lastInsertId();
        QCOMPARE(first.text(QStringLiteral("select xm from bmb where id=%1").arg(mine)), QStringLiteral("first"));
        QVERIFY(second.db.connection->lastInsertId() > mine);

        QVERIFY(first.db.connection->beginTransaction());
        QVERIFY(first.db.execute(QStringLiteral("INSERT INTO fj (uid,filename,status) values (%1,'5\\x.jpg',1)").arg(mine)));
        QVERIFY(first.db.execute(QStringLiteral("update bmb set imgid=%1 where id=%2").arg(first.db.connection->lastInsertId()).arg(mine)));
        QVERIFY(first.db.connection->rollbackTransaction());
        QCOMPARE(first.text(QStringLiteral("select count(*) from fj")), QStringLiteral("0"));
        QCOMPARE(first.text(QStringLiteral("select imgid from bmb where id=%1").arg(mine)), QStringLiteral("0"));
    }

    // Two desks that start at once on an empty server set it up once.
    void anEmptyDatabaseIsSetUpOnceByDesksStartingTogether()
    {
        QFETCH_GLOBAL(EngineKind, kind);
        if (kind != EngineKind::Server)
            QSKIP("a zhao.dat is shipped set up");
        EngineUnderTest engine(kind);
        BRENVO_REQUIRE_PG(*engine.server);
        bool opened[4] = {};
        std::vector<std::thread> desks;
        for (bool& ok : opened)
            desks.emplace_back([&engine, &ok] {
                DbConnection connection;
                ok = engine.open(connection);
            });
        for (std::thread& desk : desks)
            desk.join();
        for (bool ok : opened)
            QVERIFY(ok);
        Desk desk(engine);
        QCOMPARE(desk.text(QStringLiteral("select count(*) from admin")), QStringLiteral("1"));
        QCOMPARE(desk.text(QStringLiteral("select count(*) from xx")), QStringLiteral("1"));
    }

    // Two desks on one server each store 300 registrations at the same time,
    // every one with its photo row. Each desk's newest registration is its
    // own, and every imgid names that registration's own photo.
    void twoDesksSavingAtOnceKeepTheirOwnRows()
    {
        QFETCH_GLOBAL(EngineKind, kind);
        if (kind != EngineKind::Server)
            QSKIP("one desk alone has its own zhao.dat");
        EngineUnderTest engine(kind);
        BRENVO_REQUIRE_PG(*engine.server);
        const qint64 firsts[] = {1000000, 2000000};
        QProcess desks[2];
        for (int k = 0; k < 2; ++k) {
            desks[k].start(QStringLiteral(REGISTRATION_WRITER), {QStringLiteral("--server"), engine.server->connectionString(),
                                                                 QString::number(firsts[k]), QStringLiteral("300")});
            QVERIFY2(desks[k].waitForStarted(), qPrintable(desks[k].errorString()));
        }
        Desk check(engine);
        for (int k = 0; k < 2; ++k) {
            QVERIFY(desks[k].waitForFinished(120000));
            QVERIFY2(desks[k].exitCode() == 0, desks[k].readAllStandardError().constData());
            const QList<QByteArray> printed = desks[k].readAllStandardOutput().split('\n');
            QCOMPARE(printed.size(), 301);
            for (int i = 0; i < 300; ++i)
                QCOMPARE(check.text(QStringLiteral("select xm from bmb where id=") + QString::fromLatin1(printed.at(i))),
                         payload::name(firsts[k] + i));
        }
        QCOMPARE(check.text(QStringLiteral("select count(*) from bmb")), QStringLiteral("600"));
        QVERIFY(check.db.openShared(QStringLiteral("select bmb.id, fj.uid, fj.filename, bmb.xm from bmb left join fj on fj.id=bmb.imgid")));
        int linked = 0;
        for (RecordSet& rows = check.db.shared(); !rows.atEnd(); rows.moveNext(), ++linked) {
            QCOMPARE(rows.readInteger(1), rows.readInteger(0));
            QCOMPARE(rows.readText(2), payload::photoFile(payload::numberOf(rows.readText(3))));
        }
        QCOMPARE(linked, 600);
        // Each registration's own photo file, byte for byte, on the server.
        QVERIFY(check.db.openShared(QStringLiteral("select bmb.xm, photofile.bytes from bmb, fj, photofile "
                                                   "where fj.id=bmb.imgid and photofile.name=fj.filename")));
        int photos = 0;
        for (RecordSet& rows = check.db.shared(); !rows.atEnd(); rows.moveNext(), ++photos)
            QCOMPARE(rows.readBytes(1), payload::photoBytes(payload::numberOf(rows.readText(0))));
        QCOMPARE(photos, 600);
    }
};

BRENVO_TEST(EngineTest)
#include "test_engines.moc"
