#include "cataloguefixture.h"

#include "catalogue/categorypage.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

namespace {

const QStringList ddColumns = {QStringLiteral("id"), QStringLiteral("serverid"), QStringLiteral("name"),
                               QStringLiteral("sx"), QStringLiteral("status"), QStringLiteral("xx")};

// The page with two categories: 上海 (id 1, order 2, disabled) and 北京 (id 2, order 1).
struct CategoryFixture : CatalogueState {
    CategoryPage page{state, QSize(622, 482)};
    CategoryFixture()
    {
        QVERIFY(run(QStringLiteral("INSERT INTO dd (serverid,name,sx,status,xx) values (5,'上海',2,0,'东')")));
        QVERIFY(run(QStringLiteral("INSERT INTO dd (serverid,name,sx,status,xx) values (0,'北京',1,1,'')")));
        page.fillCategoryPage();
    }
    template <typename T>
    T* find(const char* name) { return page.findChild<T*>(QString::fromUtf8(name)); }
    QTreeWidget* list() { return find<QTreeWidget>("超级列表框_多地点"); }
    QLineEdit* name() { return find<QLineEdit>("编辑框_多地点_名称"); }
    QLineEdit* order() { return find<QLineEdit>("编辑框_多地点_顺序"); }
    QPlainTextEdit* description() { return find<QPlainTextEdit>("编辑框_多地点_简介"); }
    QCheckBox* enabled() { return find<QCheckBox>("选择框_多地点_启用"); }
    void click(const char* button) { find<QPushButton>(button)->click(); }
    void selectRow(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
    QString dd() { return table(QStringLiteral("dd"), ddColumns); }
    QStringList row(int n)
    {
        QStringList cells;
        for (int column = 0; column < list()->columnCount(); ++column)
            cells << list()->topLevelItem(n)->text(column);
        return cells;
    }
};

} // namespace

class CategoryPageTest : public QObject {
    Q_OBJECT
private slots:
    void theListShowsEveryCategoryInOrderAndSelectingFillsTheBoxes()
    {
        CategoryFixture f;
        QTreeWidget* list = f.list();
        const QStringList headers = {list->headerItem()->text(0), list->headerItem()->text(1), list->headerItem()->text(2),
                                     list->headerItem()->text(3), list->headerItem()->text(4)};
        QCOMPARE(headers, QStringList({QString(), "名称", "顺序", "简介", "状态"}));
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(f.row(0), QStringList({"1", "北京", "1", "", "启用"}));
        QCOMPARE(f.row(1), QStringList({"2", "上海", "2", "东", "未启用"}));
        QCOMPARE(list->topLevelItem(0)->data(0, Qt::UserRole).toInt(), 2);

        // The boxes come from the row's cells, not from the database.
        QVERIFY(f.run(QStringLiteral("UPDATE dd SET name='changed' where id=1")));
        f.selectRow(1);
        QCOMPARE(f.name()->text(), QStringLiteral("上海"));
        QCOMPARE(f.order()->text(), QStringLiteral("2"));
        QCOMPARE(f.description()->toPlainText(), QStringLiteral("东"));
        QVERIFY(!f.enabled()->isChecked());
        f.selectRow(0);
        QVERIFY(f.enabled()->isChecked());
    }

    void addStoresTheNameTrimmedAndTheOrderAsANumber_data()
    {
        QTest::addColumn<QString>("orderText");
        QTest::addColumn<QString>("storedOrder");
        QTest::newRow("not a number") << "abc" << "0";
        QTest::newRow("empty") << "" << "0";
        QTest::newRow("whole") << "3" << "3";
        QTest::newRow("fraction with blanks") << " 2.5 " << "2.5";
    }

    void addStoresTheNameTrimmedAndTheOrderAsANumber()
    {
        QFETCH(QString, orderText);
        QFETCH(QString, storedOrder);
        CategoryFixture f;
        f.name()->setText(QStringLiteral("　 广州 "));
        f.order()->setText(orderText);
        f.description()->setPlainText(QStringLiteral(" 南方 "));
        f.enabled()->setChecked(false);
        f.click("按钮_多地_添加");
        QVERIFY(f.messages.messages().isEmpty());
        QVERIFY(f.dd().endsWith(QStringLiteral("3|0|广州|") + storedOrder + QStringLiteral("|0| 南方 ;")));
        QCOMPARE(f.boxReporter.result, QStringLiteral("保存成功"));
        QCOMPARE(f.list()->topLevelItemCount(), 3);
        QCOMPARE(f.name()->text(), QString());
    }

    void modifyStoresTheNameAsTypedAndTheDescriptionTrimmed()
    {
        CategoryFixture f;
        f.selectRow(1);
        f.name()->setText(QStringLiteral(" 上海 "));
        f.order()->setText(QStringLiteral("x"));
        f.description()->setPlainText(QStringLiteral("  东部  "));
        f.enabled()->setChecked(true);
        f.click("按钮_多地_修改");
        QVERIFY(f.messages.messages().isEmpty());
        QCOMPARE(f.dd(), QStringLiteral("1|5| 上海 |0|1|东部;2|0|北京|1|1|;"));
        QCOMPARE(f.boxReporter.result, QStringLiteral(" 上海  修改成功"));
        QCOMPARE(f.name()->text(), QString());
        // Refilled: the new order puts 上海 first.
        QCOMPARE(f.row(0).at(1), QStringLiteral(" 上海 "));
    }

    void refusalsStoreNothing()
    {
        CategoryFixture f;
        QSignalSpy hints(&f.page, &CategoryPage::hintShown);
        const QString before = f.dd();
        f.name()->setText(QStringLiteral(" 　 "));
        f.click("按钮_多地_添加");
        // Modify and delete need a selected row.
        f.name()->setText(QStringLiteral("深圳"));
        f.click("按钮_多地_修改");
        f.click("按钮_多地_删除");
        f.selectRow(0);
        f.name()->clear();
        f.click("按钮_多地_修改");
        QCOMPARE(f.dd(), before);
        QCOMPARE(f.messages.texts(),
                 QStringList({"信息没有填写完全", "请先选中要修改项目", "请先选中要删除的项目", "信息没有填写完全"}));
        QCOMPARE(f.messages.messages().at(0).title, QStringLiteral("错误"));
        QCOMPARE(hints.size(), 2);
        QCOMPARE(hints.at(0).at(0).toString(), QStringLiteral("信息没有填写完全"));
        QCOMPARE(hints.at(1).at(0).toString(), QStringLiteral("没有填写完全"));
        QCOMPARE(f.boxReporter.result, QString());
    }

    void groupsWithoutManagementAreRefused_data()
    {
        QTest::addColumn<int>("groupCode");
        QTest::newRow("超级审核组") << 4;
        QTest::newRow("审核组") << 5;
        QTest::newRow("财务组") << 6;
    }

    void groupsWithoutManagementAreRefused()
    {
        QFETCH(int, groupCode);
        CategoryFixture f;
        f.state.currentOperator.group = groupCode;
        const QString before = f.dd();
        f.name()->setText(QStringLiteral("深圳"));
        f.click("按钮_多地_添加");
        f.selectRow(0);
        f.name()->setText(QStringLiteral("深圳"));
        f.click("按钮_多地_修改");
        f.click("按钮_多地_删除");
        QCOMPARE(f.dd(), before);
        // Deleting asks first, then refuses.
        QCOMPARE(f.messages.texts(), QStringList({permissionRefusal(), permissionRefusal(), "确定删除吗？", permissionRefusal()}));
        QCOMPARE(f.messages.messages().at(0).style, 48 | 4096);
        QCOMPARE(f.messages.messages().at(2).style, 4 | 4096);
        QCOMPARE(f.list()->topLevelItemCount(), 2);
        QCOMPARE(f.boxReporter.result, QString());
    }

    void answeringNoToTheDeleteQuestionChangesNothing()
    {
        for (int groupCode : {1, 5}) {
            CategoryFixture f;
            f.state.currentOperator.group = groupCode;
            f.messages.setAnswer(AnswerNo);
            const QString before = f.dd();
            f.selectRow(0);
            f.click("按钮_多地_删除");
            QCOMPARE(f.messages.texts(), QStringList({"确定删除吗？"}));
            QCOMPARE(f.dd(), before);
            QCOMPARE(f.list()->topLevelItemCount(), 2);
        }
    }

    void deleteRemovesTheRowAndLeavesProgrammesAlone()
    {
        CategoryFixture f;
        QVERIFY(f.run(QStringLiteral("INSERT INTO zy (name,ddid) values ('会计',2)")));
        f.selectRow(0);
        f.click("按钮_多地_删除");
        QCOMPARE(f.dd(), QStringLiteral("1|5|上海|2|0|东;"));
        QCOMPARE(f.boxReporter.result, QStringLiteral("北京  删除成功"));
        // The row goes without a reload: the remaining row keeps its number.
        QCOMPARE(f.list()->topLevelItemCount(), 1);
        QCOMPARE(f.row(0).at(0), QStringLiteral("2"));
        QCOMPARE(f.table(QStringLiteral("zy"), {QStringLiteral("ddid")}), QStringLiteral("2;"));
    }
};

BRENVO_TEST(CategoryPageTest)
#include "test_categorypage.moc"
