// Lists are loaded only when empty: a filled list stays as it was read.
#include "support/openstate.h"

#include "core/lists.h"

#include <QtTest>

class EnsureListsTest : public QObject {
    Q_OBJECT
private slots:
    void aFilledListIsNotReadAgain()
    {
        OpenState open;
        ensureFormItems(open.state);
        QCOMPARE(open.state.formItems.size(), 15);
        QVERIFY(open.run("UPDATE style SET status=0 where zd='xm'"));
        ensureFormItems(open.state);
        QCOMPARE(open.state.formItems.size(), 15);
        open.state.formItems.clear();
        ensureFormItems(open.state);
        QCOMPARE(open.state.formItems.size(), 14);

        QVERIFY(open.run("INSERT INTO dd (serverid,name,sx,status,xx) values (1,'甲',1,1,'')"));
        QVERIFY(open.run("INSERT INTO zy (serverid,name,sx,status,ddid) values (1,'会计',1,1,0)"));
        ensureCategoryList(open.state);
        ensureProgrammeList(open.state);
        QVERIFY(open.run("INSERT INTO dd (serverid,name,sx,status,xx) values (2,'乙',2,1,'')"));
        QVERIFY(open.run("INSERT INTO zy (serverid,name,sx,status,ddid) values (2,'护理',2,1,0)"));
        ensureCategoryList(open.state);
        ensureProgrammeList(open.state);
        QCOMPARE(open.state.categoryList.size(), 1);
        QCOMPARE(open.state.programmeList.size(), 1);
        QVERIFY(open.reporter.messages.isEmpty());
    }
};

BRENVO_TEST(EnsureListsTest)
#include "test_ensurelists.moc"
