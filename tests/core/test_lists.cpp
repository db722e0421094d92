// The shared lists and their lookups, the permission guards and the
// reporting of failed statements, on a freshly shipped database.
#include "support/openstate.h"

#include "core/lists.h"
#include "core/permissions.h"

#include <QtTest>

class ListsTest : public QObject {
    Q_OBJECT
private slots:
    void formItemsAreTheEnabledItemsInOrderAtMostTwentyOne()
    {
        OpenState open;
        QVERIFY(open.run("UPDATE style SET status=1"));
        QVERIFY(open.run("UPDATE style SET sx=-5 where zd='kz9'"));
        QVERIFY(open.run("UPDATE style SET nam='备注', val='a||b', lx=3, bt=1 where zd='kz9'"));
        loadFormItems(open.state);
        QCOMPARE(open.state.formItems.size(), maxFormItems);
        const FormItem& first = open.state.formItems.first();
        QCOMPARE(first.zd, QStringLiteral("kz9"));
        QCOMPARE(first.nam, QStringLiteral("备注"));
        QCOMPARE(first.val, QStringLiteral("a||b"));
        QCOMPARE(first.lx, int(ItemType::Check));
        QCOMPARE(first.bt, 1);
        QVERIFY(first.currentValue.isEmpty());

        QVERIFY(open.run("UPDATE style SET status=0"));
        QVERIFY(open.run("UPDATE style SET status=1 where zd='xm' or zd='nl'"));
        loadFormItems(open.state);
        QCOMPARE(open.state.formItems.size(), 2);
    }

    void listsKeepDatabaseOrderWithEveryStatusAndLookUpByFirstId()
    {
        OpenState open;
        QVERIFY(open.run("INSERT INTO dd (serverid,name,sx,status,xx) values (9,'南校',2,1,'')"));
        QVERIFY(open.run("INSERT INTO dd (serverid,name,sx,status,xx) values (0,'北校',1,0,'')"));
        QVERIFY(open.run("INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                         "values (4,9,'会计',1200,30,0,'2013-09-01 00:00:00','','',1,1,1)"));
        QVERIFY(open.run("INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                         "values (0,0,'烹饪',800,0,0,'1899-12-30 00:00:00','','',0,0,-1)"));
        loadCategoryList(open.state);
        loadProgrammeList(open.state);

        QCOMPARE(open.state.categoryList.size(), 2);
        QCOMPARE(open.state.categoryList.at(0).name, QStringLiteral("北校"));
        QCOMPARE(open.state.categoryList.at(0).status, 0);
        QCOMPARE(open.state.categoryList.at(1).serverId, 9);
        QCOMPARE(open.state.programmeList.size(), 2);
        const Programme& accounting = open.state.programmeList.at(1);
        QCOMPARE(accounting.name, QStringLiteral("会计"));
        QCOMPARE(accounting.ddid, 1);
        QCOMPARE(accounting.serverId, 4);
        QCOMPARE(accounting.renshu, 30);
        QCOMPARE(accounting.jzrq, QDateTime(QDate(2013, 9, 1), QTime(0, 0)));

        const int south = open.state.categoryList.at(1).id;
        QCOMPARE(categoryName(open.state, south), QStringLiteral("南校"));
        QCOMPARE(programmeName(open.state, accounting.id), QStringLiteral("会计"));
        QCOMPARE(programmeFee(open.state, accounting.id), QStringLiteral("1200"));
        for (int absent : {0, -1, 999}) {
            QVERIFY(categoryName(open.state, absent).isEmpty());
            QVERIFY(programmeName(open.state, absent).isEmpty());
            QVERIFY(programmeFee(open.state, absent).isEmpty());
        }
        QVERIFY(open.reporter.messages.isEmpty());
    }

    void aFailedLoadLeavesTheListEmptyAndShowsTheDatabaseError()
    {
        OpenState open;
        open.state.programmeList.push_back({});
        QVERIFY(open.run("drop table zy"));
        loadProgrammeList(open.state);
        QVERIFY(open.state.programmeList.isEmpty());
        QCOMPARE(open.reporter.messages.size(), 1);
        QVERIFY(open.reporter.messages.first().contains(QStringLiteral("zy")));
        QCOMPARE(open.reporter.styles.first(), int(MessageStyle::Error));

        QVERIFY(!executeReported(open.state, QStringLiteral("UPDATE zy SET name='x'"), MessageStyle::SystemModal));
        QCOMPARE(open.reporter.styles.last(), MessageStyle::Error | MessageStyle::SystemModal);
    }

    void guardsRefuseTheGroupsBelowTheirRule()
    {
        OpenState open;
        const struct {
            int group;
            bool manage, deletePermanently;
        } cases[] = {{1, true, true}, {2, true, true}, {4, false, false}, {5, false, false}, {6, false, false}, {0, false, false}};
        for (const auto& c : cases) {
            open.reporter.messages.clear();
            open.state.currentOperator.group = c.group;
            QCOMPARE(guardManage(open.state), c.manage);
            QCOMPARE(guardDeletePermanently(open.state), c.deletePermanently);
            const int refusals = (c.manage ? 0 : 1) + (c.deletePermanently ? 0 : 1);
            QCOMPARE(open.reporter.messages.size(), refusals);
            for (const QString& text : open.reporter.messages)
                QCOMPARE(text, QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。"));
        }
    }
};

BRENVO_TEST(ListsTest)
#include "test_lists.moc"
