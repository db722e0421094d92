#include "appfixture.h"

#include "app/outlookmenu.h"
#include "platform/inifile.h"
#include "records/browsepage.h"

#include <QAction>
#include <QCheckBox>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeWidget>

class BrowseNavigationTest : public QObject {
    Q_OBJECT
private slots:
    // An operator browses the registrations page by page with the remembered
    // page size, narrows them by a condition, then looks into the recycle bin.
    void browsingAndTheRecycleBinFromTheMenus()
    {
        AppFixture app;
        writeIniValue(app.iniPath(), QStringLiteral("prepage"), QStringLiteral("4"));
        QVERIFY(app.start());
        for (int n = 1; n <= 10; ++n)
            QVERIFY(app.execute(QStringLiteral("insert into bmb (xm,xb,nl,dtime,status) values ('学生%1',%2,%3,'2013-05-0%4 08:00:00',%5)")
                                    .arg(n)
                                    .arg(n % 2 + 1)
                                    .arg(15 + n)
                                    .arg(n % 9 + 1)
                                    .arg(n <= 9 ? 1 : 0)));

        QAction* browse = nullptr;
        for (QAction* action : app.find<QToolBar>(QStringLiteral("工具条1"))->actions())
            if (action->text() == QStringLiteral("信息浏览"))
                browse = action;
        QVERIFY(browse);
        browse->trigger();
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_信息浏览"));
        auto* label = app.find<QLabel>(QStringLiteral("标签_页码"));
        QCOMPARE(app.window->pages()->currentIndex(), app.pageNumber<BrowsePage>());
        QCOMPARE(label->text(), QStringLiteral("1/3  Tol:9"));
        QCOMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("第一志愿"));
        QCOMPARE(app.find<QPushButton>(QStringLiteral("按钮_信息浏览"))->text(), QStringLiteral("查 找"));

        auto* fields = app.find<QComboBox>(QStringLiteral("组合框_信息浏览_条件_字段1"));
        fields->setCurrentIndex(fields->findText(QStringLiteral("年龄")));
        auto* conditions = app.find<QComboBox>(QStringLiteral("组合框_信息浏览_条件_条件1"));
        conditions->setCurrentIndex(conditions->findText(QStringLiteral(">=")));
        app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_条件_内容1"))->setText(QStringLiteral("21"));
        app.find<QPushButton>(QStringLiteral("按钮_信息浏览"))->click();
        QCOMPARE(label->text(), QStringLiteral("1/1  Tol:4"));
        QCOMPARE(list->topLevelItemCount(), 4);

        app.window->outlookMenu()->clickEntry(0, 0);
        for (QAction* menu : app.window->menuBar()->actions())
            for (QAction* item : menu->menu()->actions())
                if (item->text() == QStringLiteral("回收站"))
                    item->trigger();
        QVERIFY(app.find<QCheckBox>(QStringLiteral("选择框_信息浏览_显示回收站"))->isChecked());
        QCOMPARE(app.find<QPushButton>(QStringLiteral("按钮_信息浏览"))->text(), QStringLiteral("查找(回收站)"));
        // Entering again starts from "无": the age condition is gone.
        QCOMPARE(fields->currentIndex(), 0);
        QCOMPARE(label->text(), QStringLiteral("1/1  Tol:1"));
        QVERIFY(list->topLevelItem(0));
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("学生10"));

        // A page size below 1 means the default: the rows are listed, not an empty page.
        app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->setText(QStringLiteral("0"));
        app.find<QPushButton>(QStringLiteral("按钮_信息浏览"))->click();
        QCOMPARE(label->text(), QStringLiteral("1/1  Tol:1"));
        QCOMPARE(list->topLevelItemCount(), 1);

        app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->setText(QStringLiteral("30"));
        app.closeWindow();
        QCOMPARE(readIniValue(app.iniPath(), QStringLiteral("prepage"), QString()), QStringLiteral("30"));
    }

    // An operator marks a registration paid, moves another to the recycle bin,
    // finds it there and restores it; an auditor may not delete for good.
    void statusChangesAndTheRecycleBinThroughTheMainWindow()
    {
        AppFixture app;
        QVERIFY(app.start());
        for (int n = 1; n <= 3; ++n)
            QVERIFY(app.execute(QStringLiteral("insert into bmb (xm,dtime,status) values ('学生%1','2013-05-0%1 08:00:00',1)").arg(n)));
        app.window->showBrowse(false);
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_信息浏览"));
        QCOMPARE(list->topLevelItemCount(), 3);
        const int paid = list->topLevelItem(0)->data(0, Qt::UserRole).toInt();
        list->topLevelItem(0)->setCheckState(0, Qt::Checked);
        auto* status = app.find<QComboBox>(QStringLiteral("组合框_信息浏览_状态"));
        status->setCurrentIndex(5);
        emit status->activated(5);
        QCOMPARE(app.statusText(), QStringLiteral("修改成功"));
        QCOMPARE(app.queryValue(QStringLiteral("select fk from bmb where id=%1").arg(paid)), QStringLiteral("1"));

        QVERIFY(list->topLevelItem(2));
        const int recycled = list->topLevelItem(2)->data(0, Qt::UserRole).toInt();
        list->topLevelItem(2)->setCheckState(0, Qt::Checked);
        app.find<QPushButton>(QStringLiteral("按钮_信息浏览_删除"))->click();
        QCOMPARE(app.statusText(), QStringLiteral("删除成功"));
        QCOMPARE(list->topLevelItemCount(), 2);

        app.window->showBrowse(true);
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->data(0, Qt::UserRole).toInt(), recycled);
        list->topLevelItem(0)->setCheckState(0, Qt::Checked);
        app.state->currentOperator.group = 5;
        app.find<QPushButton>(QStringLiteral("按钮_信息浏览_永久删除"))->click();
        QCOMPARE(app.messages.texts(), QStringList({QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。")}));
        app.find<QPushButton>(QStringLiteral("按钮_信息浏览_还原"))->click();
        QCOMPARE(app.statusText(), QStringLiteral("还原成功"));
        app.window->showBrowse(false);
        QCOMPARE(list->topLevelItemCount(), 3);
    }
};

BRENVO_TEST(BrowseNavigationTest)
#include "test_browse.moc"
