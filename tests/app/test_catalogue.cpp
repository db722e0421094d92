#include "appfixture.h"

#include "app/outlookmenu.h"
#include "app/startpage.h"
#include "catalogue/categorypage.h"
#include "catalogue/deadlinebox.h"
#include "catalogue/programmepage.h"
#include "core/lists.h"

#include <QAction>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

QAction* menuItem(MainWindow& window, const QString& caption)
{
    for (QAction* menu : window.menuBar()->actions())
        for (QAction* item : menu->menu()->actions())
            if (item->text() == caption)
                return item;
    return nullptr;
}

} // namespace

class CatalogueAppTest : public QObject {
    Q_OBJECT
private slots:
    // An operator keeps the categories: the entry opens the page with the
    // list, a new category is listed and stored, a missing name is hinted in
    // pane 1, and the form's category names stay as loaded until the next start.
    void anOperatorMaintainsTheCategories()
    {
        AppFixture app;
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("UPDATE xx SET dd=1")));
        QVERIFY(app.execute(QStringLiteral("INSERT INTO dd (serverid,name,sx,status) values (0,'北京',1,1)")));
        QVERIFY(app.start());
        loadCategoryList(*app.state);

        app.window->outlookMenu()->clickEntry(1, 0);
        QCOMPARE(app.window->pages()->currentIndex(), app.pageNumber<CategoryPage>());
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_多地点"));
        QCOMPARE(list->topLevelItemCount(), 1);

        app.find<QLineEdit>(QStringLiteral("编辑框_多地点_名称"))->setText(QStringLiteral("上海"));
        app.find<QLineEdit>(QStringLiteral("编辑框_多地点_顺序"))->setText(QStringLiteral("2"));
        app.find<QPushButton>(QStringLiteral("按钮_多地_添加"))->click();
        QCOMPARE(app.statusText(), QStringLiteral("保存成功"));
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(app.queryValue(QStringLiteral("select name from dd where id=2")), QStringLiteral("上海"));

        app.find<QPushButton>(QStringLiteral("按钮_多地_添加"))->click();
        QCOMPARE(app.window->statusPane(1)->text(), QStringLiteral("信息没有填写完全"));
        QCOMPARE(app.messages.texts(), QStringList({"信息没有填写完全"}));

        list->setCurrentItem(list->topLevelItem(0));
        app.messages.setAnswer(AnswerYes);
        app.find<QPushButton>(QStringLiteral("按钮_多地_删除"))->click();
        QCOMPARE(app.statusText(), QStringLiteral("北京  删除成功"));
        QCOMPARE(app.queryValue(QStringLiteral("select count(*) from dd")), QStringLiteral("1"));
        // The in-memory list is not reloaded by this page.
        QCOMPARE(categoryName(*app.state, 1), QStringLiteral("北京"));
        QCOMPARE(categoryName(*app.state, 2), QString());

        // Through the menu bar as well.
        app.window->selectPage<StartPage>();
        menuItem(*app.window, QStringLiteral("报名项目分类"))->trigger();
        QCOMPARE(app.window->pages()->currentIndex(), app.pageNumber<CategoryPage>());
        QCOMPARE(list->topLevelItemCount(), 1);
    }

    // An operator keeps the programmes: the entry opens the page with the
    // deadline at the current moment, a programme added with its category and
    // fee is known to the lookups at once, and the category choice shows only
    // with the multi-location switch on.
    void anOperatorMaintainsTheProgrammes()
    {
        AppFixture app;
        QVERIFY(app.start());
        auto* label = app.find<QLabel>(QStringLiteral("标签75"));
        auto* selector = app.find<QComboBox>(QStringLiteral("组合框_专业_多点"));
        QVERIFY(label->isHidden() && selector->isHidden());

        QVERIFY(app.execute(QStringLiteral("UPDATE xx SET dd=1")));
        QVERIFY(app.execute(QStringLiteral("INSERT INTO dd (serverid,name,sx,status) values (9,'北京',1,1)")));
        QVERIFY(app.start());
        label = app.find<QLabel>(QStringLiteral("标签75"));
        selector = app.find<QComboBox>(QStringLiteral("组合框_专业_多点"));
        QVERIFY(!label->isHidden() && !selector->isHidden());

        menuItem(*app.window, QStringLiteral("报名项目/专业"))->trigger();
        QCOMPARE(app.window->pages()->currentIndex(), app.pageNumber<ProgrammePage>());
        QVERIFY(app.window->outlookMenu()->isEntryHidden(1, 0) == false);
        auto* deadline = app.find<DeadlineBox>(QStringLiteral("编辑框_专业_日期"));
        QVERIFY(qAbs(QDateTime::fromString(deadline->text(), QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                         .secsTo(QDateTime::currentDateTime())) < 5);
        QCOMPARE(selector->count(), 1);

        app.find<QPushButton>(QStringLiteral("按钮_专业_添加专业"))->click();
        QCOMPARE(app.window->statusPane(1)->text(), QStringLiteral("专业信息没有填写完全"));

        selector->setCurrentIndex(0);
        app.find<QLineEdit>(QStringLiteral("编辑框_专业_名称"))->setText(QStringLiteral("会计"));
        app.find<QLineEdit>(QStringLiteral("编辑框_专业_费用"))->setText(QStringLiteral("1200"));
        deadline->setText(QStringLiteral("2013-09-01 08:00:00"));
        app.find<QPushButton>(QStringLiteral("按钮_专业_添加专业"))->click();
        QCOMPARE(app.statusText(), QStringLiteral("专业保存成功"));
        QCOMPARE(app.queryValue(QStringLiteral("select serplaid||'/'||ddid||'/'||jzrq from zy where name='会计'")),
                 QStringLiteral("9/1/2013-09-01 08:00:00"));
        const int id = app.queryValue(QStringLiteral("select id from zy where name='会计'")).toInt();
        QCOMPARE(programmeName(*app.state, id), QStringLiteral("会计"));
        QCOMPARE(programmeFee(*app.state, id), QStringLiteral("1200"));
        QCOMPARE(programmeFee(*app.state, id + 1), QString());

        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_专业"));
        list->setCurrentItem(list->topLevelItem(0));
        app.find<QLineEdit>(QStringLiteral("编辑框_专业_费用"))->setText(QStringLiteral("1500"));
        app.find<QPushButton>(QStringLiteral("按钮_专业_修改专业"))->click();
        QCOMPARE(app.statusText(), QStringLiteral("会计 修改成功"));
        QCOMPARE(programmeFee(*app.state, id), QStringLiteral("1500"));
    }
};

BRENVO_TEST(CatalogueAppTest)
#include "test_catalogue.moc"
