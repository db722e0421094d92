// The in-memory lists the forms are built from: what the loaders read, the
// 21-item limit, and loading only when empty.
#include "support/testsupport.h"

#include "core/lists.h"

#include <QtTest>

namespace {

struct RecordingReporter : Reporter {
    QStringList messages;
    void showResult(const QString&) override {}
    int showMessage(const QString& text, int, const QString&) override
    {
        messages << text;
        return 1;
    }
};

struct OpenState {
    TestProgramDir dir;
    AppState state;
    RecordingReporter reporter;
    OpenState()
    {
        createConnection(state.db.connection);
        createRecordSet(state.db.sharedRecordSet);
        createRecordSet(state.db.browseRecordSet);
        state.db.connection->openDatabase(connectionStringFor(dir.path()));
        state.reporter = &reporter;
    }
    bool execute(const char* sql) { return state.db.execute(QString::fromUtf8(sql)); }
};

} // namespace

class ListsTest : public QObject {
    Q_OBJECT
private slots:
    void formItemsAreTheEnabledItemsInOrderAtMostTwentyOne()
    {
        OpenState s;
        loadFormItems(s.state);
        QCOMPARE(s.state.formItems.size(), 15);
        const FormItem& gender = s.state.formItems[3];
        QCOMPARE(gender.zd, QStringLiteral("xb"));
        QCOMPARE(gender.nam, QStringLiteral("性别"));
        QCOMPARE(gender.lx, 2);
        QCOMPARE(gender.val, QStringLiteral("男||女"));
        QCOMPARE(gender.bt, 1);
        QVERIFY(gender.id > 0);

        QVERIFY(s.execute("UPDATE style SET status=1"));
        QVERIFY(s.execute("UPDATE style SET sx=-10 where zd='jj'"));
        loadFormItems(s.state);
        QCOMPARE(s.state.formItems.size(), maxFormItems);
        QCOMPARE(s.state.formItems.first().zd, QStringLiteral("jj"));
        QCOMPARE(s.state.formItems.last().zd, QStringLiteral("kz8"));
        QVERIFY(s.reporter.messages.isEmpty());
    }

    void categoriesAndProgrammesAreEveryRowInOrder()
    {
        OpenState s;
        QVERIFY(s.execute("INSERT INTO dd (serverid,name,sx,status) values (9,'郊区',2,0)"));
        QVERIFY(s.execute("INSERT INTO dd (serverid,name,sx,status) values (8,'城区',1,1)"));
        QVERIFY(s.execute("INSERT INTO zy (serverid,name,sx,status,ddid,xuefei,renshu,jzrq) values (5,'会计',2,1,2,1200,30,'2013-09-01 00:00:00')"));
        QVERIFY(s.execute("INSERT INTO zy (serverid,name,sx,status,ddid,xuefei) values (6,'停招',1,0,1,800)"));
        loadCategoryList(s.state);
        loadProgrammeList(s.state);
        QCOMPARE(s.state.categoryList.size(), 2);
        QCOMPARE(s.state.categoryList[0].name, QStringLiteral("城区"));
        QCOMPARE(s.state.categoryList[1].status, 0);
        QCOMPARE(s.state.categoryList[1].serverId, 9);
        QCOMPARE(s.state.programmeList.size(), 2);
        const Programme& accounting = s.state.programmeList[1];
        QCOMPARE(accounting.name, QStringLiteral("会计"));
        QCOMPARE(accounting.ddid, 2);
        QCOMPARE(accounting.xuefei, 1200);
        QCOMPARE(accounting.renshu, 30);
        QCOMPARE(accounting.jzrq, QDateTime(QDate(2013, 9, 1), QTime(0, 0)));
        QCOMPARE(programmeFee(s.state, accounting.id), QStringLiteral("1200"));
        QCOMPARE(categoryName(s.state, s.state.categoryList[1].id), QStringLiteral("郊区"));
    }

    void ensureLoadsOnlyAnEmptyList()
    {
        OpenState s;
        ensureFormItems(s.state);
        QCOMPARE(s.state.formItems.size(), 15);
        QVERIFY(s.execute("UPDATE style SET status=0 where zd='xm'"));
        ensureFormItems(s.state);
        QCOMPARE(s.state.formItems.size(), 15);
        s.state.formItems.clear();
        ensureFormItems(s.state);
        QCOMPARE(s.state.formItems.size(), 14);

        QVERIFY(s.execute("INSERT INTO dd (serverid,name,sx,status) values (1,'甲',1,1)"));
        ensureCategoryList(s.state);
        QCOMPARE(s.state.categoryList.size(), 1);
        QVERIFY(s.execute("INSERT INTO dd (serverid,name,sx,status) values (2,'乙',2,1)"));
        ensureCategoryList(s.state);
        QCOMPARE(s.state.categoryList.size(), 1);
    }

    void aFailedReadLeavesTheListEmptyAndSaysWhy()
    {
        OpenState s;
        loadFormItems(s.state);
        s.state.db.connection->closeDatabase();
        loadFormItems(s.state);
        QVERIFY(s.state.formItems.isEmpty());
        QCOMPARE(s.reporter.messages.size(), 1);
    }
};

BRENVO_TEST(ListsTest)
#include "test_lists.moc"
