// Keyset record sets and their paging, as the browse list uses them.
#include "support/testsupport.h"

#include "store/database.h"

#include <QtTest>

namespace {

struct BrowseStore {
    TestProgramDir dir;
    Database db;
    bool ready = false;

    // rows registrations, xm "r1".."rN", r1 the oldest.
    explicit BrowseStore(int rows)
    {
        createConnection(db.connection);
        createRecordSet(db.sharedRecordSet);
        createRecordSet(db.browseRecordSet);
        ready = db.connection->openDatabase(connectionStringFor(dir.path()));
        for (int i = 1; ready && i <= rows; ++i)
            ready = db.execute(QStringLiteral("INSERT INTO bmb  (status,xm,dtime,sh,fk) values (1,'r%1','%2',0,0)")
                                   .arg(i)
                                   .arg(QDateTime(QDate(2013, 1, 1), QTime(0, 0)).addSecs(i * 60)
                                            .toString("yyyy年M月d日H时m分")));
    }
    bool browse(const QString& where = QStringLiteral("  status=1 "))
    {
        return db.connection->openQuery(*db.browseRecordSet,
                                        "select  id,xm,dtime,sh,fk from bmb  where " + where + " order by dtime desc");
    }
    RecordSet& rs() { return *db.browseRecordSet; }
    QStringList readPage(int size)
    {
        QStringList names;
        for (int i = 0; i < size && !rs().atEnd(); ++i, rs().moveNext())
            names << rs().readText("xm");
        return names;
    }
};

} // namespace

class PagingTest : public QObject {
    Q_OBJECT

private slots:
    void pagesOf120RowsAt50()
    {
        BrowseStore s(120);
        QVERIFY2(s.ready, qPrintable(s.db.lastErrorText()));
        QVERIFY(s.browse());
        QCOMPARE(s.rs().getPageSize(), 10);
        s.rs().setPageSize(50);
        QCOMPARE(s.rs().recordCount(), 120);
        QCOMPARE(s.rs().getPageCount(), 3);
        QCOMPARE(s.rs().getAbsolutePage(), 1);
        QCOMPARE(s.readPage(50).first(), QString("r120"));   // newest first
        QCOMPARE(s.rs().getAbsolutePage(), 2);

        s.rs().setAbsolutePage(3);
        QCOMPARE(s.rs().getAbsolutePage(), 3);
        const QStringList last = s.readPage(50);
        QCOMPARE(last.size(), 20);
        QCOMPARE(last.first(), QString("r20"));
        QCOMPARE(last.last(), QString("r1"));
        QVERIFY(s.rs().atEnd());
        QCOMPARE(s.rs().getAbsolutePage(), -1);

        s.rs().setAbsolutePage(2);
        QCOMPARE(s.readPage(1), QStringList{"r70"});
        s.rs().setPageSize(0);   // a size below 1 keeps the old one
        QCOMPARE(s.rs().getPageSize(), 50);
        s.rs().setAbsolutePage(4);   // no such page: on no row
        QVERIFY(s.rs().atEnd());
        // A page size typed far too large is one page, not an overflow.
        s.rs().setPageSize(2147483647);
        QCOMPARE(s.rs().getPageCount(), 1);
        s.rs().setAbsolutePage(1);
        QCOMPARE(s.readPage(200).size(), 120);
    }

    void emptyResultHasNoPages()
    {
        BrowseStore s(3);
        QVERIFY(s.ready);
        QVERIFY(s.browse("  status=0 "));
        QVERIFY(s.rs().atEnd());
        QCOMPARE(s.rs().recordCount(), 0);
        QCOMPARE(s.rs().getPageCount(), 0);
        QCOMPARE(s.rs().getAbsolutePage(), -1);
    }

    void pageShownAgainAfterAnUpdateIsFresh()
    {
        BrowseStore s(12);
        QVERIFY(s.ready);
        QVERIFY(s.browse());
        s.rs().setPageSize(5);
        s.rs().setAbsolutePage(2);
        QCOMPARE(s.rs().readInteger("sh"), 0);
        const int id = s.rs().readInteger("id");

        // A status change from the shared record set, as the browse page does it.
        QVERIFY(s.db.execute(QStringLiteral("update bmb set sh=-1 where id in (%1)").arg(id)));
        QVERIFY(s.db.execute(QStringLiteral("delete * from bmb where id in (%1)").arg(id - 1)));
        QVERIFY(s.db.execute("INSERT INTO bmb  (status,xm,dtime) values (1,'late','2014年1月1日')"));
        s.rs().setAbsolutePage(2);
        QCOMPARE(s.rs().readInteger("id"), id);
        QCOMPARE(s.rs().readInteger("sh"), -1);
        QCOMPARE(s.rs().readText("xm"), QString("r7"));
        s.rs().moveNext();
        // The deleted row keeps its place and reads as empty values.
        QCOMPARE(s.rs().readText("xm"), QString());
        QCOMPARE(s.rs().readInteger("id"), 0);
        // The keys were fixed at open: the later row is not among them.
        QCOMPARE(s.rs().recordCount(), 12);
    }

    void otherSelectsAreReadWhole()
    {
        BrowseStore s(12);
        QVERIFY(s.ready);
        // An alias that shadows a column orders by the alias (the id), not by
        // the column's text, where r9 would come first.
        QVERIFY(s.db.openShared("select id as xm, xm as nam from bmb order by xm desc"));
        QCOMPARE(s.db.shared().recordCount(), 12);
        QCOMPARE(s.db.shared().readText("nam"), QString("r12"));
        // "order by 1" is the first result column, the text.
        QVERIFY(s.db.openShared("select xm from bmb order by 1 desc"));
        QCOMPARE(s.db.shared().readText("xm"), QString("r9"));
        QVERIFY(s.db.openShared("SELECT MAX(id) AS id FROM bmb"));
        QCOMPARE(s.db.shared().readInteger("id"), 12);
        QVERIFY(s.db.openShared("select distinct status from bmb"));
        QCOMPARE(s.db.shared().recordCount(), 1);
        QVERIFY(s.db.openShared("select xm from bmb where sh=0 group by xm order by xm"));
        QCOMPARE(s.db.shared().recordCount(), 12);
    }
};

BRENVO_TEST(PagingTest)
#include "test_paging.moc"
