#include "appfixture.h"

#include "app/aboutwindow.h"
#include "app/accounts.h"
#include "app/outlookmenu.h"
#include "app/startpage.h"
#include "app/unitinfo.h"
#include "catalogue/categorypage.h"
#include "catalogue/programmepage.h"
#include "form/addpage.h"
#include "form/designer.h"
#include "printing/templatespage.h"
#include "records/browsepage.h"
#include "records/statisticspage.h"
#include "photos/photostore.h"
#include "platform/inifile.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolBar>
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

QAction* toolButton(MainWindow& window, const QString& caption)
{
    for (QAction* action : window.findChild<QToolBar*>(QStringLiteral("工具条1"))->actions())
        if (action->text() == caption)
            return action;
    return nullptr;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void toolBarHasItsButtonsAndSeparatorsInPlace()
    {
        AppFixture app;
        QVERIFY(app.start());
        const QList<QAction*> actions = app.find<QToolBar>(QStringLiteral("工具条1"))->actions();
        QCOMPARE(actions.size(), 11);
        const QStringList captions = {QStringLiteral("正式报名"), QStringLiteral("信息浏览"), QStringLiteral("回收站"), QString(),
                                      QStringLiteral("信息统计"), QString(), QStringLiteral("表单设计"), QStringLiteral("打印模板"),
                                      QStringLiteral("导出EXCEL"), QString(), QStringLiteral("退出系统")};
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions.at(i)->isSeparator(), captions.at(i).isEmpty());
            QCOMPARE(actions.at(i)->text(), captions.at(i));
        }
        QCOMPARE(actions.at(0)->toolTip(), QStringLiteral("添加正式报名"));
        QCOMPARE(actions.at(1)->toolTip(), QStringLiteral("浏览已报名信息"));
        QCOMPARE(actions.at(6)->toolTip(), QStringLiteral("自定义报名表报名项目"));
        QCOMPARE(actions.at(7)->toolTip(), QStringLiteral("自定义打印模板"));
    }

    void theTabsAndTheStatusBarHaveTheirTexts()
    {
        AppFixture app;
        QVERIFY(app.start());
        QTabWidget* tabs = app.window->pages();
        const QStringList texts = {QStringLiteral("添加"), QStringLiteral("浏览"), QStringLiteral("专业"), QStringLiteral("分类"),
                                   QStringLiteral("统计"), QStringLiteral("子账号"), QStringLiteral("default"), QStringLiteral("单位"),
                                   QStringLiteral("网络"), QStringLiteral("表单"), QStringLiteral("打印")};
        QCOMPARE(tabs->count(), texts.size());
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(tabs->tabText(i), texts.at(i));
        // Each page at its number, whichever route declares it.
        MainWindow& window = *app.window;
        const QList<QWidget*> pages = {window.page<AddPage>(),       window.page<BrowsePage>(),    window.page<ProgrammePage>(),
                                       window.page<CategoryPage>(),  window.page<StatisticsPage>(), window.page<AccountsPage>(),
                                       window.page<StartPage>(),     window.page<UnitInfoPage>(),  window.page<SyncPage>(),
                                       window.page<DesignerPage>(),  window.page<TemplatesPage>()};
        for (int i = 0; i < pages.size(); ++i)
            QCOMPARE(tabs->widget(i), pages.at(i));
        QCOMPARE(app.window->statusPane(1)->text(), QStringLiteral("提示："));
        QCOMPARE(app.window->statusPane(0)->width(), 120);
        QCOMPARE(app.window->statusPane(3)->width(), 130);
    }

    void statusPaneTwoTakesTheRestOfTheWidth()
    {
        AppFixture app;
        QVERIFY(app.start());
        app.window->showNormal();
        for (int width : {900, 640, 1200}) {
            app.window->resize(width, 600);
            QCoreApplication::processEvents();
            QCOMPARE(app.window->statusPane(2)->width(), app.window->width() - 300);
        }
    }

    void hiddenEntriesFollowTheSwitchAndTheSetting()
    {
        AppFixture app;
        QVERIFY(app.start());
        OutlookMenu* menu = app.window->outlookMenu();
        QVERIFY(menu->isEntryHidden(1, 0));
        QCOMPARE(menu->visibleEntryCount(1), 5);
        QVERIFY(!menuItem(*app.window, QStringLiteral("报名项目分类"))->isVisible());
        QVERIFY(menu->isEntryHidden(1, 6));

        // A hidden entry cannot be reached.
        app.window->selectPage<StartPage>();
        menu->clickEntry(1, 0);
        QCOMPARE(app.window->pages()->currentIndex(), app.pageNumber<StartPage>());

        writeIniValue(app.iniPath(), QStringLiteral("sync_web"), QStringLiteral("1"));
        QVERIFY(app.execute(QStringLiteral("UPDATE xx SET dd=1")));
        QVERIFY(app.start());
        menu = app.window->outlookMenu();
        QVERIFY(!menu->isEntryHidden(1, 0));
        QVERIFY(!menu->isEntryHidden(1, 6));
        QCOMPARE(menu->visibleEntryCount(1), 7);
        QVERIFY(menuItem(*app.window, QStringLiteral("报名项目分类"))->isVisible());

        writeIniValue(app.iniPath(), QStringLiteral("sync_web"), QStringLiteral("yes"));
        QVERIFY(app.start());
        QVERIFY(app.window->outlookMenu()->isEntryHidden(1, 6));
    }

    void browseUnticksAndRecycleBinTicksTheBox()
    {
        AppFixture app;
        QVERIFY(app.start());
        auto* recycle = app.find<QCheckBox>(QStringLiteral("选择框_信息浏览_显示回收站"));
        OutlookMenu* menu = app.window->outlookMenu();

        menuItem(*app.window, QStringLiteral("回收站"))->trigger();
        QVERIFY(recycle->isChecked());
        QCOMPARE(app.window->pages()->currentIndex(), app.pageNumber<BrowsePage>());
        QCOMPARE(menu->currentGroup(), 0);
        QCOMPARE(menu->currentEntry(), 1);
        menu->clickEntry(0, 1);
        QVERIFY(!recycle->isChecked());

        toolButton(*app.window, QStringLiteral("回收站"))->trigger();
        QVERIFY(recycle->isChecked());
        menuItem(*app.window, QStringLiteral("信息浏览"))->trigger();
        QVERIFY(!recycle->isChecked());
        toolButton(*app.window, QStringLiteral("回收站"))->trigger();
        toolButton(*app.window, QStringLiteral("信息浏览"))->trigger();
        QVERIFY(!recycle->isChecked());
        QVERIFY(!app.state->addPageActive);
    }

    void entriesSelectTheirPagesAndKeepTheCurrentEntry()
    {
        AppFixture app;
        QVERIFY(app.start());
        OutlookMenu* menu = app.window->outlookMenu();
        const struct {
            int group, entry, page;
        } routes[] = {{0, 0, app.pageNumber<AddPage>()},       {0, 2, app.pageNumber<StatisticsPage>()},
                      {1, 1, app.pageNumber<ProgrammePage>()}, {1, 2, app.pageNumber<DesignerPage>()},
                      {1, 3, app.pageNumber<TemplatesPage>()}, {1, 4, app.pageNumber<AccountsPage>()},
                      {1, 5, app.pageNumber<UnitInfoPage>()}};
        for (const auto& route : routes) {
            menu->clickEntry(route.group, route.entry);
            QCOMPARE(app.window->pages()->currentIndex(), route.page);
            QCOMPARE(menu->currentGroup(), route.group);
            QCOMPARE(menu->currentEntry(), route.entry);
        }
        menuItem(*app.window, QStringLiteral("打印模板"))->trigger();
        QCOMPARE(app.window->pages()->currentIndex(), app.pageNumber<TemplatesPage>());
        QCOMPARE(menu->currentEntry(), 3);
        toolButton(*app.window, QStringLiteral("正式报名"))->trigger();
        QCOMPARE(app.window->pages()->currentIndex(), app.pageNumber<AddPage>());
        QCOMPARE(menu->currentGroup(), 0);
        QCOMPARE(menu->currentEntry(), 0);
        QVERIFY(app.state->addPageActive);
        QCOMPARE(app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->text(), QStringLiteral("确  定"));
    }

    void addInformationForgetsThePendingPhoto()
    {
        AppFixture app;
        QVERIFY(app.start());
        const QString chosen = writePicture(app.dir.file(QStringLiteral("a.jpg")), Qt::red);
        PhotoFileDialogOverride dialog([&chosen] { return chosen; });
        app.find<QPushButton>(QStringLiteral("按钮_选择图片"))->click();
        QVERIFY(!app.window->page<AddPage>()->pendingPhoto().isEmpty());
        QVERIFY(!app.find<QLabel>(QStringLiteral("图片框_添加"))->pixmap().isNull());
        app.window->outlookMenu()->clickEntry(0, 0);
        QVERIFY(app.window->page<AddPage>()->pendingPhoto().isEmpty());
        QVERIFY(app.find<QLabel>(QStringLiteral("图片框_添加"))->pixmap().isNull());
    }

    void exportIsRefusedOffTheBrowsePageOrWithoutRows()
    {
        AppFixture app;
        QVERIFY(app.start());
        app.window->outlookMenu()->clickEntry(1, 4);
        toolButton(*app.window, QStringLiteral("导出EXCEL"))->trigger();
        QCOMPARE(app.messages.texts(), QStringList({QStringLiteral("请先筛选要导出的数据")}));
        QCOMPARE(app.messages.messages().at(0).style, 4096);

        app.window->outlookMenu()->clickEntry(0, 1);
        toolButton(*app.window, QStringLiteral("导出EXCEL"))->trigger();
        QCOMPARE(app.messages.messages().size(), 2);
    }

    void resizingKeepsListsFillingAndButtonsAtTheEdges()
    {
        AppFixture app;
        QVERIFY(app.start());
        app.window->showNormal();
        app.window->resize(800, 600);
        app.window->outlookMenu()->clickEntry(1, 4);
        QCoreApplication::processEvents();
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_子账号"));
        auto* lower = app.find<QGroupBox>(QStringLiteral("分组框_子账号_下"));
        auto* add = app.find<QPushButton>(QStringLiteral("按钮_子账号_添加"));
        auto* frame = app.find<QGroupBox>(QStringLiteral("分组框_子账号"));
        const int listRight = frame->width() - list->geometry().right();
        const int lowerBottom = frame->height() - lower->geometry().bottom();
        const int addRight = lower->width() - add->geometry().right();
        const QSize listSize = list->size();

        app.window->resize(1100, 800);
        QCoreApplication::processEvents();
        QCOMPARE(list->width(), listSize.width() + 300);
        QCOMPARE(list->height(), listSize.height() + 200);
        QCOMPARE(frame->width() - list->geometry().right(), listRight);
        QCOMPARE(frame->height() - lower->geometry().bottom(), lowerBottom);
        QCOMPARE(lower->width() - add->geometry().right(), addRight);
        QCOMPARE(frame->x(), 6);
        QCOMPARE(frame->y(), 0);
        QCOMPARE(frame->height(), frame->parentWidget()->height());
        QCOMPARE(frame->width(), frame->parentWidget()->width() - 6);
    }

    void theAboutWindowShowsItsTextsAndClosesByItsLabel()
    {
        QCOMPARE(databaseInUseText(QString()), QStringLiteral("数据库：本机 zhao.dat"));
        const QString longFolder = QStringLiteral("/home/operator/.local/share/") + QString(80, QLatin1Char('x'))
            + QStringLiteral("/brenvo");
        AboutWindow about(databaseInUseText(QStringLiteral("host=10.0.0.5 dbname=brenvo password=secret user=desk")),
                          longFolder);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QStringList texts;
        for (QLabel* label : about.findChildren<QLabel*>())
            texts << label->text();
        QVERIFY(texts.contains(QStringLiteral("V2013 Beat1")));
        QVERIFY(texts.contains(QStringLiteral("专业版")));
        QVERIFY(texts.contains(QStringLiteral("数据库：服务器 host=10.0.0.5 dbname=brenvo user=desk")));
        // A folder too long for the window keeps its start and its end in
        // view and is whole in the tip.
        auto* folder = about.findChild<QLabel*>(QStringLiteral("标签_数据文件夹"));
        QVERIFY(folder->text().startsWith(QStringLiteral("数据文件夹：/home/")));
        QVERIFY(folder->text().endsWith(QStringLiteral("x/brenvo")));
        QVERIFY(folder->fontMetrics().horizontalAdvance(folder->text()) <= folder->width());
        QCOMPARE(folder->toolTip(), QStringLiteral("数据文件夹：") + longFolder);
        auto* close = about.findChild<QLabel*>(QStringLiteral("透明标签1"));
        QCOMPARE(close->text(), QStringLiteral("确  定"));
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
};

BRENVO_TEST(MainWindowTest)
#include "test_mainwindow.moc"
