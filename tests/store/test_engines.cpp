// What every engine behind the store must do alike: the desk's own zhao.dat
// and a PostgreSQL server, through the same DbConnection and RecordSet.
#include "support/pgtestdatabase.h"
#include "support/testsupport.h"

#include "platform/sqlliteral.h"
#include "store/database.h"
#include "tools/registrationpayload.h"

#include <QProcess>
#include <QtTest>

#include <functional>

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
    explicit Desk(const QString& serverConnection)
    {
        createConnection(db.connection);
        createRecordSet(db.sharedRecordSet);
        opened = db.connection->openServer(serverConnection);
    }
    QString text(const QString& sql)
    {
        return db.openShared(sql) && !db.shared().atEnd() ? db.shared().readText(0) : QStringLiteral("<none>");
    }
};

// The ids a search form selects, read whole in the order of the browse list.
QVector<qint64> wholeResult(Desk& desk, const QString& where)
{
    QVector<qint64> ids;
    // An expression in the column list: no keyset, every row read at once.
    if (!desk.db.openShared(QStringLiteral("select id+0 as k from bmb ") + where + QStringLiteral(" order by dtime desc, id")))
        return ids;
    for (RecordSet& rows = desk.db.shared(); !rows.atEnd(); rows.moveNext())
        ids << rows.readInteger(0);
    return ids;
}

// The ids of one page of list, each put at its position in seen.
void readPage(RecordSet& list, int page, QVector<qint64>& seen)
{
    list.setAbsolutePage(page);
    const qsizetype first = qsizetype(page - 1) * list.getPageSize();
    for (int i = 0; i < list.getPageSize() && !list.atEnd(); ++i, list.moveNext())
        if (first + i < seen.size())
            seen[first + i] = list.readInteger("id");
}

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

    // Every search form the browse page builds gives, page by page in any
    // order of paging, the rows and count of the whole result read at once
    // in its order (ties by id, NULL dates where the engine sorts them), and
    // a result another desk changed meanwhile ends up whole as it now is.
    void everySearchFormPagesAsTheWholeResult()
    {
        QFETCH_GLOBAL(EngineKind, kind);
        EngineUnderTest engine(kind);
        Desk desk(engine);
        Desk other(engine);
        QVERIFY(desk.opened && other.opened);
        // Many registrations share a minute; some have no date at all.
        QVERIFY(desk.db.connection->beginTransaction());
        for (int n = 0; n < 2600; ++n) {
            const QString when = n % 61 == 0 ? QStringLiteral("null")
                                             : QStringLiteral("'2013-05-0%1 08:%2:00'").arg(1 + n % 4).arg(n % 9, 2, 10, QLatin1Char('0'));
            QVERIFY2(desk.db.execute(QStringLiteral("INSERT INTO bmb  (xm,xb,sh,bm3,dtime,status) values ('学生%1',%2,%3,'^%4^^%5^',%6,%7)")
                                         .arg(n)
                                         .arg(1 + n % 2)
                                         .arg(n % 3 - 1)
                                         .arg(n % 11)
                                         .arg(n % 7)
                                         .arg(when)
                                         .arg(n % 13 == 0 ? 0 : 1)),
                     qPrintable(desk.db.lastErrorText()));
        }
        QVERIFY(desk.db.connection->commitTransaction());

        const char* const forms[] = {
            " where  status=1 ",
            " where  status=0 ",
            " where xm like '%1%' and  status=1 ",
            " where xb=1 and sh=0 and  status=1 ",
            " where bm3 like '%[^]7[^]%' and  status=1 ",
            " where dtime>=#2013-05-03 00:00:00# and  status=1 ",
            " where xm like '%没有这个人%' and  status=1 ",
        };
        // Page numbers in the order they are shown, for a result of `pages` pages.
        const struct {
            const char* name;
            std::function<QVector<int>(int pages)> order;
        } pagings[] = {
            {"forward", [](int pages) { QVector<int> p; for (int i = 1; i <= pages; ++i) p << i; return p; }},
            {"backward from the last", [](int pages) { QVector<int> p; for (int i = pages; i >= 1; --i) p << i; return p; }},
            {"last, then from the first", [](int pages) { QVector<int> p{pages}; for (int i = 1; i < pages; ++i) p << i; return p; }},
            {"middle first", [](int pages) { QVector<int> p{(pages + 1) / 2}; for (int i = 1; i <= pages; ++i) p << i; return p; }},
        };
        for (const char* form : forms) {
            const QString where = QString::fromUtf8(form);
            const QVector<qint64> whole = wholeResult(other, where);
            for (int pageSize : {50, 7, 1000}) {
                for (const auto& paging : pagings) {
                    const QString what = QStringLiteral("%1 / %2 per page / %3").arg(where.trimmed()).arg(pageSize).arg(QString::fromUtf8(paging.name));
                    QVERIFY(desk.db.openShared(QStringLiteral("select  id,xm,dtime,sh,fk from bmb ") + where + QStringLiteral(" order by dtime desc")));
                    RecordSet& list = desk.db.shared();
                    list.setPageSize(pageSize);
                    QVERIFY2(list.recordCount() == whole.size(), qPrintable(what));
                    QVERIFY2(list.getPageCount() == (whole.size() + pageSize - 1) / pageSize, qPrintable(what));
                    QVector<qint64> seen(whole.size(), -1);
                    for (int page : paging.order(list.getPageCount()))
                        readPage(list, page, seen);
                    QVERIFY2(seen == whole, qPrintable(what));
                    QVERIFY2(!list.readFailed(), qPrintable(what));
                }
            }
        }

        // The last page is read, then another desk adds and removes rows in
        // the middle: paging from the first page gives the result as it is now.
        const QString live = QStringLiteral(" where  status=1 ");
        QVERIFY(desk.db.openShared(QStringLiteral("select  id,xm,dtime,sh,fk from bmb ") + live + QStringLiteral(" order by dtime desc")));
        RecordSet& list = desk.db.shared();
        list.setPageSize(50);
        QVector<qint64> seen(list.recordCount(), -1);
        readPage(list, list.getPageCount(), seen);
        for (const char* sql : {"INSERT INTO bmb  (xm,dtime,status) values ('新1','2013-05-02 08:04:30',1)",
                                "INSERT INTO bmb  (xm,dtime,status) values ('新2','2013-05-02 08:04:30',1)",
                                "delete * from bmb where xm='学生1002'"})
            QVERIFY(other.db.execute(QString::fromUtf8(sql)));
        const QVector<qint64> now = wholeResult(other, live);
        QCOMPARE(now.size(), seen.size() + 1);
        for (int page = 1; page <= list.getPageCount(); ++page) {
            seen.resize(list.recordCount());
            readPage(list, page, seen);
        }
        QCOMPARE(list.recordCount(), now.size());
        QCOMPARE(seen, now);
    }

    // A search of a text item reads the rows its index narrows to and gives
    // exactly what the plain LIKE gives (the like in parentheses, which no
    // index narrows): the same rows, count and pages, for every search form,
    // terms of one, two and more characters, wildcards, case, quotes, and
    // letters whose case folds onto another (the Kelvin sign onto k).
    void textSearchesGiveWhatThePlainLikeGives()
    {
        QFETCH_GLOBAL(EngineKind, kind);
        EngineUnderTest engine(kind);
        Desk desk(engine);
        QVERIFY(desk.opened);
        const QStringList family{"王", "李", "张", "刘", "Ab", "o'"};
        const QStringList given{"小明", "丽", "伟", "明明", "BC", "\u212Ael"};
        const QStringList hobbies{"^体育^", "^音乐^^美术^", "^计算机^", ""};
        QStringList odd{"O'Brien", "ABC", "abc", "\u212Aelvin", "\u017Fam", "100%满", "a_b", "[王]", "王_明", "王小明42",
                        "小明王", "KE", "Sam"};
        quint32 random = 20130506;
        auto next = [&random](int below) { random = random * 1103515245u + 12345u; return int((random >> 8) % quint32(below)); };
        QVERIFY(desk.db.connection->beginTransaction());
        for (int n = 0; n < 500; ++n) {
            const QString name = n < odd.size() ? odd.at(n)
                                                : family.at(next(family.size())) + given.at(next(given.size())) + QString::number(n % 13);
            const QString address = n % 97 == 5 ? QString(1200, QChar(u'路')) + QStringLiteral("小明") : QStringLiteral("城区%1号").arg(n);
            QVERIFY2(desk.db.execute(QStringLiteral("INSERT INTO bmb (xm,zj,lx1,lx2,kz3,dtime,status) values (%1,'3301%2','138%3','%4','%5','2013-05-%6 08:%7:00',%8)")
                                         .arg(n == 499 ? QStringLiteral("null") : sqlText(name))
                                         .arg(100000000000LL + next(899999999))
                                         .arg(10000000 + next(89999999))
                                         .arg(address, hobbies.at(n % 4))
                                         .arg(1 + n % 28, 2, 10, QLatin1Char('0'))
                                         .arg(n % 60, 2, 10, QLatin1Char('0'))
                                         .arg(n % 17 == 0 ? 0 : 1)),
                     qPrintable(desk.db.lastErrorText()));
        }
        QVERIFY(desk.db.connection->commitTransaction());

        const struct {
            const char* column;
            const char* term;
        } terms[] = {
            {"xm", "王"}, {"xm", "小明"}, {"xm", "王小明"}, {"xm", "小明1"}, {"xm", "明1"}, {"xm", "o''b"}, {"xm", "ab"},
            {"xm", "AB"}, {"xm", "ke"}, {"xm", "sa"}, {"xm", "100%"}, {"xm", "a_b"}, {"xm", "[王李]小"}, {"xm", "王_明"},
            {"xm", "小%1"}, {"xm", "%"}, {"xm", ""}, {"xm", "[!王]小明"}, {"xm", "王[]小"}, {"xm", "[王]"}, {"xm", "明王"},
            {"zj", "330112"}, {"zj", "12"}, {"lx1", "138"}, {"lx1", "5678"}, {"kz3", "体育"}, {"kz3", "^体"},
            {"lx2", "小明"}, {"lx2", "区1"},
        };
        const char* const forms[] = {"%%1%", "%1%", "%1"};   // inside, at the start, the whole text
        for (const auto& t : terms) {
            for (const char* form : forms) {
                const QString condition = QStringLiteral("%1 like '%2'").arg(QLatin1String(t.column), QString::fromUtf8(form).arg(QString::fromUtf8(t.term)));
                const QVector<qint64> plain = wholeResult(desk, QStringLiteral(" where (") + condition + QStringLiteral(") and  status=1 "));
                QVERIFY2(desk.db.openShared(QStringLiteral("select  id,xm,dtime,sh,fk from bmb  where ") + condition
                                            + QStringLiteral(" and  status=1  order by dtime desc")),
                         qPrintable(condition + desk.db.lastErrorText()));
                RecordSet& list = desk.db.shared();
                list.setPageSize(7);
                QVERIFY2(list.recordCount() == plain.size(), qPrintable(condition));
                QVERIFY2(list.getPageCount() == (plain.size() + 6) / 7, qPrintable(condition));
                QVector<qint64> seen(plain.size(), -1);
                for (int page = 1; page <= list.getPageCount(); ++page)
                    readPage(list, page, seen);
                QVERIFY2(seen == plain, qPrintable(condition));
            }
        }
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
        twoDesksSave(engine.server->connectionString(), [] {});
    }

    // The same while the server restarts in the middle: each registration is
    // stored exactly once, and none the desk was told had failed was stored
    // (tried again, it would meet its own key).
    void twoDesksSavingThroughARestartStoreEachOnce()
    {
        QFETCH_GLOBAL(EngineKind, kind);
        if (kind != EngineKind::Server)
            QSKIP("one desk alone has its own zhao.dat");
        if (!TestPgDatabase().configured())
            QSKIP(qPrintable(TestPgDatabase::skipReason()));
        TestPgCluster server;
        QVERIFY2(server.isReady(), qPrintable(server.error()));
        Desk setUp(server.connectionString());
        QVERIFY(setUp.opened);
        twoDesksSave(server.connectionString(), [&server, &setUp] {
            // Some registrations stored before the restart, the rest after it.
            QTRY_VERIFY_WITH_TIMEOUT(setUp.text(QStringLiteral("select count(*) from bmb")).toInt() > 50, 60000);
            QVERIFY2(server.halt(), qPrintable(server.error()));
            QThread::msleep(500);
            QVERIFY2(server.resume(), qPrintable(server.error()));
        });
    }

private:
    void twoDesksSave(const QString& serverConnection, const std::function<void()>& meanwhile)
    {
        const qint64 firsts[] = {1000000, 2000000};
        QProcess desks[2];
        for (int k = 0; k < 2; ++k) {
            desks[k].start(QStringLiteral(REGISTRATION_WRITER), {QStringLiteral("--server"), serverConnection,
                                                                 QString::number(firsts[k]), QStringLiteral("300")});
            QVERIFY2(desks[k].waitForStarted(), qPrintable(desks[k].errorString()));
        }
        meanwhile();
        Desk check(serverConnection);
        for (int k = 0; k < 2; ++k) {
            QVERIFY(desks[k].waitForFinished(180000));
            QVERIFY2(desks[k].exitCode() == 0, desks[k].readAllStandardError().constData());
            const QList<QByteArray> printed = desks[k].readAllStandardOutput().split('\n');
            QCOMPARE(printed.size(), 301);
            for (int i = 0; i < 300; ++i)
                QCOMPARE(check.text(QStringLiteral("select xm from bmb where id=") + QString::fromLatin1(printed.at(i))),
                         payload::name(firsts[k] + i));
        }
        QCOMPARE(check.text(QStringLiteral("select count(*) from bmb")), QStringLiteral("600"));
        QCOMPARE(check.text(QStringLiteral("select count(distinct xm) from bmb")), QStringLiteral("600"));
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
