#include "appfixture.h"

#include "app/outlookmenu.h"
#include "app/statements.h"
#include "app/unitinfo.h"
#include "platform/inifile.h"

#include <QAction>
#include <QCheckBox>
#include <QMenuBar>

namespace {

struct UnitPage {
    AppFixture app;
    UnitPage()
    {
        QVERIFY(app.start());
        app.window->outlookMenu()->clickEntry(1, 5);
        app.messages.clear();
    }
    QLineEdit* box(const char* name) { return app.find<QLineEdit>(QString::fromUtf8(name)); }
    QComboBox* selector(const char* name) { return app.find<QComboBox>(QString::fromUtf8(name)); }
    void save() { app.find<QPushButton>(QStringLiteral("按钮13_确定"))->click(); }
};

} // namespace

class UnitInfoTest : public QObject {
    Q_OBJECT
private slots:
    void statementsAreWrittenLetterByLetter()
    {
        const UnitInfoValues values{QStringLiteral("一中"), QStringLiteral("路1号"), QStringLiteral("123"), QStringLiteral("456"),
                                    QStringLiteral("a@b.c"), QStringLiteral("789"), 1, 0, 1, 0};
        QCOMPARE(insertUnitInfoStatement(values),
                 QStringLiteral("INSERT INTO xx  (mc,dz,dh,qq,email,cz,dd,bmsh,fksh,pho) values "
                                "('一中','路1号','123','456','a@b.c','789',1,0,1,0)"));
        QCOMPARE(updateUnitInfoStatement(values),
                 QStringLiteral("UPDATE xx SET mc='一中',dz='路1号',dh='123',qq='456',email='a@b.c',cz='789',"
                                "dd=1,bmsh=0,fksh=1,pho=0"));
        QCOMPARE(categoryItemStatusStatement(1), QStringLiteral("UPDATE style SET status=1 where zd='dd'"));
        QCOMPARE(switchSelectorPosition(1), 0);
        QCOMPARE(switchSelectorPosition(0), 1);
        QCOMPARE(switchSelectorPosition(2), 1);
        QCOMPARE(switchSelectorPosition(-1), 1);
    }

    void savingStoresTrimmedTextsAndTheSwitches()
    {
        UnitPage page;
        page.box("编辑框13_名称")->setText(QStringLiteral("　实验'中学 "));
        page.box("编辑框13_电话")->setText(QStringLiteral("010-1234"));
        page.selector("组合框_单位信息_审核状态")->setCurrentIndex(0);
        page.selector("组合框_单位信息_拍照功能")->setCurrentIndex(0);
        page.save();
        QVERIFY(page.app.messages.messages().isEmpty());
        QCOMPARE(page.app.queryValue(QStringLiteral("select mc from xx")), QStringLiteral("实验'中学"));
        QCOMPARE(page.app.queryValue(QStringLiteral("select dh from xx")), QStringLiteral("010-1234"));
        QCOMPARE(page.app.queryValue(QStringLiteral("select bmsh from xx")), QStringLiteral("1"));
        QCOMPARE(page.app.queryValue(QStringLiteral("select pho from xx")), QStringLiteral("1"));
        QCOMPARE(page.app.queryValue(QStringLiteral("select fksh from xx")), QStringLiteral("0"));
        QCOMPARE(page.app.statusText(), QStringLiteral("dd修改成功"));
        QCOMPARE(page.app.state->unitSettings.review, 1);
        QCOMPARE(page.app.state->unitSettings.photo, 1);
        QCOMPARE(page.box("编辑框13_名称")->text(), QStringLiteral("实验'中学"));
    }

    void anEmptyUnitTableGetsItsRowInserted()
    {
        UnitPage page;
        QVERIFY(page.app.execute(QStringLiteral("delete * from xx")));
        page.box("编辑框13_名称")->setText(QString());
        page.save();
        QCOMPARE(page.app.queryValue(QStringLiteral("select count(*) from xx")), QStringLiteral("1"));
        QCOMPARE(page.app.queryValue(QStringLiteral("select mc from xx")), QString());
        page.save();
        QCOMPARE(page.app.queryValue(QStringLiteral("select count(*) from xx")), QStringLiteral("1"));
    }

    void anEmptyUnitTableLeavesTheSwitchesOff()
    {
        AppFixture app;
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("UPDATE xx SET dd=1,bmsh=1")));
        QVERIFY(app.start());
        QCOMPARE(app.state->unitSettings.multiLocation, 1);
        QVERIFY(app.execute(QStringLiteral("delete * from xx")));
        QVERIFY(app.start());
        QCOMPARE(app.state->unitSettings.multiLocation, 0);
        QCOMPARE(app.state->unitSettings.review, 0);
    }

    void switchesShowOnlyOneAsOn()
    {
        UnitPage page;
        QVERIFY(page.app.execute(QStringLiteral("UPDATE xx SET dd=1,bmsh=2,fksh=-1,pho=0")));
        page.app.window->outlookMenu()->clickEntry(1, 5);
        QCOMPARE(page.selector("组合框_单位信息_多地点")->currentText(), QStringLiteral("启用"));
        QCOMPARE(page.selector("组合框_单位信息_审核状态")->currentText(), QStringLiteral("关闭(默认)"));
        QCOMPARE(page.selector("组合框_单位信息_交费状态")->currentText(), QStringLiteral("关闭(默认)"));
        QCOMPARE(page.selector("组合框_单位信息_拍照功能")->currentText(), QStringLiteral("关闭(默认)"));
        QCOMPARE(page.app.state->unitSettings.review, 2);
    }

    void multiLocationDrivesTheCategoryItemAndEntryAtOnce()
    {
        UnitPage page;
        OutlookMenu* menu = page.app.window->outlookMenu();
        QVERIFY(menu->isEntryHidden(1, 0));
        page.selector("组合框_单位信息_多地点")->setCurrentIndex(0);
        page.save();
        QCOMPARE(page.app.queryValue(QStringLiteral("select status from style where zd='dd'")), QStringLiteral("1"));
        QVERIFY(!menu->isEntryHidden(1, 0));
        QVERIFY(page.app.window->categoryMenuItem()->isVisible());

        page.selector("组合框_单位信息_多地点")->setCurrentIndex(1);
        page.save();
        QCOMPARE(page.app.queryValue(QStringLiteral("select status from style where zd='dd'")), QStringLiteral("0"));
        QVERIFY(menu->isEntryHidden(1, 0));
        QVERIFY(!page.app.window->categoryMenuItem()->isVisible());
    }

    void savingIsRefusedBelowTheManagingGroups()
    {
        UnitPage page;
        page.app.state->currentOperator.group = 6;
        page.box("编辑框13_名称")->setText(QStringLiteral("changed"));
        page.save();
        QCOMPARE(page.app.messages.texts(), QStringList({QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。")}));
        QCOMPARE(page.app.queryValue(QStringLiteral("select mc from xx")), QString());
    }

    void theSyncPageShowsTheStoredSettingsReadOnly()
    {
        AppFixture app;
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("UPDATE sync SET url='http://x',name='root',pass='k',bmbnum=80")));
        app.window->navigate(1, 6);
        QCOMPARE(app.window->pages()->currentIndex(), app.pageNumber<SyncPage>());
        QCOMPARE(app.find<QLineEdit>(QStringLiteral("编辑框_同步_url"))->text(), QStringLiteral("http://x"));
        QCOMPARE(app.find<QLineEdit>(QStringLiteral("编辑框_同步_name"))->text(), QStringLiteral("root"));
        QCOMPARE(app.find<QLineEdit>(QStringLiteral("编辑框_同步_pass"))->text(), QStringLiteral("k"));
        QCOMPARE(app.find<QLineEdit>(QStringLiteral("编辑框_同步_报名表单次同步数量"))->text(), QStringLiteral("80"));
        QVERIFY(app.find<QLineEdit>(QStringLiteral("编辑框_同步_url"))->isReadOnly());
        QCOMPARE(app.find<QComboBox>(QStringLiteral("组合框_同步项目"))->count(), 4);
    }

    void freshSettingsGiveTheDefaults()
    {
        AppFixture app;
        QVERIFY(app.start());
        QCOMPARE(app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->text(), QStringLiteral("50"));
        QCOMPARE(app.state->pageSize, 50);
        QCOMPARE(app.find<QComboBox>(QStringLiteral("组合框_添加_审核状态"))->currentIndex(), 0);
        QCOMPARE(app.find<QComboBox>(QStringLiteral("组合框_添加_财务状态"))->currentIndex(), 0);
        QCOMPARE(app.find<QComboBox>(QStringLiteral("组合框_添加_打印"))->currentText(), QStringLiteral("不需打印"));
        QVERIFY(!app.find<QCheckBox>(QStringLiteral("选择框_表单紧凑排列"))->isChecked());
    }

    void settingsSurviveARestart()
    {
        AppFixture app;
        QVERIFY(app.start());
        app.find<QComboBox>(QStringLiteral("组合框_添加_审核状态"))->setCurrentIndex(2);
        app.find<QComboBox>(QStringLiteral("组合框_添加_财务状态"))->setCurrentIndex(3);
        app.find<QCheckBox>(QStringLiteral("选择框_表单紧凑排列"))->setChecked(true);
        app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->setText(QStringLiteral("20"));
        app.closeWindow();

        QVERIFY(app.start());
        QCOMPARE(app.find<QComboBox>(QStringLiteral("组合框_添加_审核状态"))->currentText(), QStringLiteral("通过"));
        QCOMPARE(app.find<QComboBox>(QStringLiteral("组合框_添加_财务状态"))->currentText(), QStringLiteral("审核未通过"));
        QVERIFY(app.find<QCheckBox>(QStringLiteral("选择框_表单紧凑排列"))->isChecked());
        QCOMPARE(app.state->pageSize, 20);

        app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->setText(QStringLiteral("abc"));
        app.closeWindow();
        QCOMPARE(readIniValue(app.iniPath(), QStringLiteral("prepage"), QString()), QStringLiteral("abc"));
        QVERIFY(app.start());
        QCOMPARE(app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->text(), QStringLiteral("abc"));
        QCOMPARE(app.state->pageSize, 50);
    }

    void printChoicesFollowTheEnabledTemplates()
    {
        AppFixture app;
        QVERIFY(app.start());
        for (int i = 1; i <= 4; ++i)
            QVERIFY(app.execute(QStringLiteral("INSERT INTO dy (nam,xx,dtime,status,sx) values ('T%1','',"
                                               "'2013年5月6日',1,%1)").arg(i)));
        writeIniValue(app.iniPath(), QStringLiteral("add_dy"), QStringLiteral("4"));
        QVERIFY(app.start());
        auto* addChoice = app.find<QComboBox>(QStringLiteral("组合框_添加_打印"));
        QStringList entries;
        for (int i = 0; i < addChoice->count(); ++i)
            entries << addChoice->itemText(i) + QLatin1Char('=') + addChoice->itemData(i).toString();
        QCOMPARE(entries, QStringList({QStringLiteral("不需打印=0"), QStringLiteral("打印前2项=-2"), QStringLiteral("打印前3项=-3"),
                                       QStringLiteral("打印本列全部=-1"), QStringLiteral("-T1=1"), QStringLiteral("-T2=2"),
                                       QStringLiteral("-T3=3"), QStringLiteral("-T4=4")}));
        QCOMPARE(addChoice->currentIndex(), 4);
        QCOMPARE(app.find<QComboBox>(QStringLiteral("组合框_信息浏览_打印"))->currentIndex(), 0);
        QCOMPARE(app.find<QComboBox>(QStringLiteral("组合框_信息浏览_打印"))->count(), 8);
    }
};

BRENVO_TEST(UnitInfoTest)
#include "test_unitinfo.moc"
