#include "cataloguefixture.h"

#include "catalogue/deadlinebox.h"
#include "catalogue/programmepage.h"
#include "core/lists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

namespace {

const QStringList zyColumns = {"id",     "serverid", "serplaid", "name", "xuefei", "renshu", "yibaoming",
                               "jzrq",   "yjh",      "jieshao",  "sx",   "status", "ddid"};

// Categories 北京 (id 1, server id 7) and 上海 (id 2); programmes 会计 (id 1,
// order 2, category 1, with fee and deadline) and 文秘 (id 2, order 1, with
// quota, no deadline, no category, disabled). programmeList is not loaded.
struct ProgrammeFixture : CatalogueState {
    ProgrammePage page{state, QSize(622, 482)};
    ProgrammeFixture()
    {
        QVERIFY(run(QStringLiteral("INSERT INTO dd (serverid,name,sx,status) values (7,'北京',1,1)")));
        QVERIFY(run(QStringLiteral("INSERT INTO dd (serverid,name,sx,status) values (0,'上海',2,0)")));
        QVERIFY(run(QStringLiteral("INSERT INTO zy (name,xuefei,renshu,jzrq,yjh,jieshao,sx,status,ddid) "
                                       "values ('会计',1200,0,'2013-09-01 08:30:00','夜班','两年',2,1,1)")));
        QVERIFY(run(QStringLiteral("INSERT INTO zy (name,xuefei,renshu,sx,status,ddid) values ('文秘',0,30,1,0,0)")));
        page.fillProgrammePage();
    }
    template <typename T>
    T* find(const char* name) { return page.findChild<T*>(QString::fromUtf8(name)); }
    QTreeWidget* list() { return find<QTreeWidget>("超级列表框_专业"); }
    QComboBox* category() { return find<QComboBox>("组合框_专业_多点"); }
    QLineEdit* box(const char* name) { return find<QLineEdit>(name); }
    QLineEdit* name() { return box("编辑框_专业_名称"); }
    DeadlineBox* deadline() { return find<DeadlineBox>("编辑框_专业_日期"); }
    QPlainTextEdit* introduction() { return find<QPlainTextEdit>("编辑框_专业_介绍"); }
    QCheckBox* enabled() { return find<QCheckBox>("选择框_专业_启用"); }
    void click(const char* button) { find<QPushButton>(button)->click(); }
    void selectRow(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
    QString zy() { return table(QStringLiteral("zy"), zyColumns); }
    QString lastRow()
    {
        const QStringList rows = zy().split(QLatin1Char(';'), Qt::SkipEmptyParts);
        return rows.isEmpty() ? QString() : rows.last();
    }
    QStringList row(int n)
    {
        QStringList cells;
        for (int column = 0; column < list()->columnCount(); ++column)
            cells << list()->topLevelItem(n)->text(column);
        return cells;
    }
    QStringList listedProgrammes()
    {
        QStringList names;
        for (const Programme& programme : state.programmeList)
            names << programme.name;
        return names;
    }
};

} // namespace

class ProgrammePageTest : public QObject {
    Q_OBJECT
private slots:
    void theListAndTheCategorySelectorShowEverything()
    {
        ProgrammeFixture f;
        QStringList headers;
        for (int column = 0; column < f.list()->columnCount(); ++column)
            headers << f.list()->headerItem()->text(column);
        QCOMPARE(headers, QStringList({"", "名称", "费用", "人数", "已报名", "截止日期", "简介", "详细介绍", "顺序", "状态", "多地点"}));
        // Fee and quota 0 and the zero deadline show as empty cells.
        QCOMPARE(f.row(0), QStringList({"1", "文秘", "", "30", "0", "", "", "", "1", "未启用", "0"}));
        QCOMPARE(f.row(1), QStringList({"2", "会计", "1200", "", "0", "2013年9月1日8时30分", "夜班", "两年", "2", "启用", "1"}));
        QCOMPARE(f.list()->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 1);

        QCOMPARE(f.category()->count(), 2);
        QCOMPARE(f.category()->itemText(1), QStringLiteral("上海"));
        QCOMPARE(f.category()->itemData(1).toInt(), 2);
        QCOMPARE(f.category()->currentIndex(), -1);
        QCOMPARE(f.page.chosenCategoryServerId(), 0);
    }

    void selectingARowFillsTheBoxesWithoutChoosingACategory()
    {
        ProgrammeFixture f;
        f.selectRow(1);
        QCOMPARE(f.name()->text(), QStringLiteral("会计"));
        QCOMPARE(f.box("编辑框_专业_费用")->text(), QStringLiteral("1200"));
        QCOMPARE(f.box("编辑框_专业_人数")->text(), QString());
        QCOMPARE(f.deadline()->text(), QStringLiteral("2013-09-01 08:30:00"));
        QCOMPARE(f.box("编辑框_专业_简介")->text(), QStringLiteral("夜班"));
        QCOMPARE(f.introduction()->toPlainText(), QStringLiteral("两年"));
        QCOMPARE(f.box("编辑框_专业_顺序")->text(), QStringLiteral("2"));
        QCOMPARE(f.category()->currentText(), QStringLiteral("北京"));
        QVERIFY(f.enabled()->isChecked());
        // Set by program, the selector does not count as a choice.
        QCOMPARE(f.page.chosenCategoryServerId(), 0);

        f.selectRow(0);
        QCOMPARE(f.box("编辑框_专业_费用")->text(), QString());
        QCOMPARE(f.deadline()->text(), QString());
        QCOMPARE(f.category()->currentIndex(), -1);
        QVERIFY(!f.enabled()->isChecked());
    }

    void addStoresTheBoxesAndReloadsTheProgrammeList()
    {
        ProgrammeFixture f;
        f.name()->setText(QStringLiteral(" 法律 "));
        f.box("编辑框_专业_费用")->setText(QStringLiteral("abc"));
        f.box("编辑框_专业_人数")->setText(QStringLiteral("25"));
        f.deadline()->setText(QStringLiteral(" 2014-01-02 03:04:05 "));
        f.box("编辑框_专业_简介")->setText(QStringLiteral(" 短 "));
        f.introduction()->setPlainText(QStringLiteral(" 长 "));
        f.box("编辑框_专业_顺序")->setText(QStringLiteral("abc"));
        f.click("按钮_专业_添加专业");
        QVERIFY(f.messages.messages().isEmpty());
        // No category chosen: ddid -1.
        QCOMPARE(f.lastRow(), QStringLiteral("3|0|0| 法律 |0|25|0|2014-01-02 03:04:05|短|长|0|1|-1"));
        QCOMPARE(f.boxReporter.result, QStringLiteral("专业保存成功"));
        QCOMPARE(f.list()->topLevelItemCount(), 3);
        QCOMPARE(f.name()->text(), QString());
        // Order 0 comes first.
        QCOMPARE(f.listedProgrammes(), QStringList({" 法律 ", "文秘", "会计"}));

        // An empty or unreadable deadline is stored as none.
        for (const char* text : {"", "next week", "1999-12-31 00:00:00"}) {
            f.name()->setText(QStringLiteral("夜校"));
            f.deadline()->setText(QString::fromUtf8(text));
            f.click("按钮_专业_添加专业");
            QVERIFY2(f.lastRow().contains(QStringLiteral("|1899-12-30 00:00:00|")), text);
        }
        QVERIFY(f.messages.messages().isEmpty());
    }

    void aChosenCategoryGivesItsIdAndServerId()
    {
        ProgrammeFixture f;
        f.category()->setCurrentIndex(0);
        QCOMPARE(f.page.chosenCategoryServerId(), 7);
        f.name()->setText(QStringLiteral("法律"));
        f.click("按钮_专业_添加专业");
        QCOMPARE(f.lastRow().section(QLatin1Char('|'), 2, 2), QStringLiteral("7"));
        QCOMPARE(f.lastRow().section(QLatin1Char('|'), 12, 12), QStringLiteral("1"));

        // The server id stays until another category is chosen, also when a row sets the selector.
        f.selectRow(0);
        QCOMPARE(f.page.chosenCategoryServerId(), 7);
        f.category()->setCurrentIndex(1);
        QCOMPARE(f.page.chosenCategoryServerId(), 0);
    }

    void modifyStoresTextsAsTypedAndEmptyBoxesAsZero()
    {
        ProgrammeFixture f;
        f.selectRow(0);  // 文秘: no fee, no deadline, no category
        f.name()->setText(QStringLiteral(" 文秘 "));
        f.box("编辑框_专业_简介")->setText(QStringLiteral(" 短 "));
        f.click("按钮_专业_修改专业");
        QVERIFY(f.messages.messages().isEmpty());
        QCOMPARE(f.zy().section(QLatin1Char(';'), 1, 1), QStringLiteral("2|0|0| 文秘 |0|30|0|1899-12-30 00:00:00| 短 ||1|0|0"));
        QCOMPARE(f.boxReporter.result, QStringLiteral(" 文秘  修改成功"));
        QCOMPARE(f.name()->text(), QString());
        QCOMPARE(f.listedProgrammes(), QStringList({" 文秘 ", "会计"}));

        // With the category shown for the row, modify keeps it; a readable deadline is written as typed.
        f.selectRow(1);
        f.deadline()->setText(QStringLiteral("2015年6月7日"));
        f.click("按钮_专业_修改专业");
        QCOMPARE(f.zy().section(QLatin1Char(';'), 0, 0),
                 QStringLiteral("1|0|0|会计|1200|0|0|2015-06-07 00:00:00|夜班|两年|2|1|1"));
    }

    void refusalsStoreNothing()
    {
        ProgrammeFixture f;
        QSignalSpy hints(&f.page, &ProgrammePage::hintShown);
        const QString before = f.zy();
        f.name()->setText(QStringLiteral("  "));
        f.click("按钮_专业_添加专业");
        QCOMPARE(f.messages.messages().at(0).title, QStringLiteral("错误"));
        QCOMPARE(hints.size(), 1);
        QCOMPARE(hints.at(0).at(0).toString(), QStringLiteral("专业信息没有填写完全"));
        // The missing name still reloads the in-memory list.
        QCOMPARE(f.listedProgrammes(), QStringList({"文秘", "会计"}));

        f.name()->setText(QStringLiteral("法律"));
        f.click("按钮_专业_修改专业");
        f.click("按钮_专业_删除专业");
        QCOMPARE(f.messages.texts(), QStringList({"专业信息没有填写完全", "请先选中要修改项目", "请先选中要删除的项目"}));
        QCOMPARE(f.zy(), before);
    }

    void groupsWithoutManagementAreRefusedBeforeAnything_data()
    {
        QTest::addColumn<int>("groupCode");
        QTest::newRow("超级审核组") << 4;
        QTest::newRow("审核组") << 5;
        QTest::newRow("财务组") << 6;
    }

    void groupsWithoutManagementAreRefusedBeforeAnything()
    {
        QFETCH(int, groupCode);
        ProgrammeFixture f;
        f.state.currentOperator.group = groupCode;
        const QString before = f.zy();
        f.name()->setText(QStringLiteral("法律"));
        f.click("按钮_专业_添加专业");
        f.selectRow(0);
        f.click("按钮_专业_修改专业");
        f.click("按钮_专业_删除专业");
        QCOMPARE(f.messages.texts(), QStringList({permissionRefusal(), permissionRefusal(), permissionRefusal()}));
        QCOMPARE(f.zy(), before);
        QCOMPARE(f.list()->topLevelItemCount(), 2);
        QVERIFY(f.state.programmeList.isEmpty());
    }

    void deleteAsksAndRemovesTheRow()
    {
        ProgrammeFixture f;
        f.messages.setAnswer(AnswerNo);
        const QString before = f.zy();
        f.selectRow(1);
        f.click("按钮_专业_删除专业");
        QCOMPARE(f.messages.texts(), QStringList({"确定删除吗？"}));
        QCOMPARE(f.messages.messages().at(0).style, 4 | 4096);
        QCOMPARE(f.zy(), before);
        QVERIFY(f.state.programmeList.isEmpty());

        f.messages.setAnswer(AnswerYes);
        f.selectRow(1);
        f.click("按钮_专业_删除专业");
        QVERIFY(!f.zy().contains(QStringLiteral("会计")));
        QCOMPARE(f.boxReporter.result, QStringLiteral("会计 专业删除成功"));
        QCOMPARE(f.list()->topLevelItemCount(), 1);
        QCOMPARE(f.listedProgrammes(), QStringList({"文秘"}));
        QCOMPARE(programmeName(f.state, 1), QString());
    }

    void failuresShowTheDatabaseError()
    {
        ProgrammeFixture f;
        f.category()->setCurrentIndex(0);
        QVERIFY(f.run(QStringLiteral("DROP TABLE dd")));
        f.category()->setCurrentIndex(1);
        QCOMPARE(f.messages.messages().size(), 1);
        QCOMPARE(f.messages.messages().at(0).style, 16);
        QCOMPARE(f.page.chosenCategoryServerId(), 7);

        f.messages.clear();
        QVERIFY(f.run(QStringLiteral("DROP TABLE zy")));
        f.name()->setText(QStringLiteral("法律"));
        f.click("按钮_专业_添加专业");
        QCOMPARE(f.boxReporter.result, QStringLiteral("添加失败"));
        f.selectRow(0);
        f.name()->setText(QStringLiteral("法律"));
        f.click("按钮_专业_修改专业");
        QCOMPARE(f.boxReporter.result, QStringLiteral("法律 修改失败"));
        f.click("按钮_专业_删除专业");
        QCOMPARE(f.boxReporter.result, QStringLiteral("法律 删除失败"));
        QCOMPARE(f.list()->topLevelItemCount(), 2);
    }
};

BRENVO_TEST(ProgrammePageTest)
#include "test_programmepage.moc"
