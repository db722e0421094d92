#include "app/mainwindow.h"

#include "app/aboutwindow.h"
#include "app/accounts.h"
#include "app/outlookmenu.h"
#include "app/unitinfo.h"
#include "form/addpage.h"
#include "platform/events.h"
#include "platform/files.h"
#include "platform/links.h"
#include "platform/messagebox.h"
#include "records/browsepage.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>

namespace {

constexpr int designedWidth = 800;
constexpr int designedHeight = 600;
constexpr int paneWidths[4] = {120, 50, 0, 130};

const char* const pageTabTexts[] = {"添加", "浏览", "专业", "分类", "统计", "子账号",
                                    "default", "单位", "网络", "表单", "打印"};

// The main group boxes of these pages fill their page (x = 6, y = 0).
const char* const pageGroupBoxes[] = {"分组框_添加", "分组框_专业", "分组框_分类",
                                      "分组框_子账号", "分组框_表单", "分组框_打印"};

} // namespace

MainWindow::MainWindow(AppState& appState) : state(appState)
{
    loadBuiltInResources();
    setWindowTitle(QStringLiteral("Brenvo zozarozed 2013"));
    resize(designedWidth, designedHeight);
    buildMenuBar();
    buildToolBar();
    buildStatusBar();
    buildCentralArea();
    state.showResult = [this](const QString& text) { panes[2]->setText(text); };
}

MainWindow::~MainWindow()
{
    state.showResult = nullptr;
}

QLabel* MainWindow::statusPane(int pane) const
{
    return pane >= 0 && pane < 4 ? panes[pane] : nullptr;
}

void MainWindow::buildMenuBar()
{
    QMenu* daily = menuBar()->addMenu(QStringLiteral("日常操作"));
    daily->addAction(QStringLiteral("添加信息"), this, [this] { runCommand(0, 0); });
    daily->addAction(QStringLiteral("信息浏览"), this, [this] { showBrowse(false); });
    daily->addAction(QStringLiteral("回收站"), this, [this] { showBrowse(true); });
    daily->addAction(QStringLiteral("数据统计"), this, [this] { runCommand(0, 2); });

    QMenu* settings = menuBar()->addMenu(QStringLiteral("报名设置"));
    categoryItem = settings->addAction(QStringLiteral("报名项目分类"), this, [this] { runCommand(1, 0); });
    settings->addAction(QStringLiteral("报名项目/专业"), this, [this] { runCommand(1, 1); });
    settings->addAction(QStringLiteral("表单设计"), this, [this] { runCommand(1, 2); });
    settings->addAction(QStringLiteral("打印模板"), this, [this] { runCommand(1, 3); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    help->addAction(QStringLiteral("帮助文件"), this, [this] { openWithDesktop(state.programFile(QStringLiteral("help.htm"))); });
    help->addAction(QStringLiteral("网    站"), this, [this] { openWithDesktop(state.programFile(QStringLiteral("brenvo.htm"))); });
    help->addAction(QStringLiteral("关    于"), this, [this] { showAbout(); });

    for (QAction* action : menuBar()->actions())
        for (QAction* item : action->menu()->actions())
            item->setObjectName(QStringLiteral("菜单_") + item->text().remove(QLatin1Char(' ')).remove(QLatin1Char('/')));
}

void MainWindow::buildToolBar()
{
    toolBar = addToolBar(QStringLiteral("工具条1"));
    toolBar->setObjectName(QStringLiteral("工具条1"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setIconSize(QSize(24, 24));
    auto add = [this](QStyle::StandardPixmap icon, const QString& caption, const QString& tip, auto handler) {
        QAction* action = toolBar->addAction(style()->standardIcon(icon), caption, this, handler);
        action->setToolTip(tip.isEmpty() ? caption : tip);
    };
    add(QStyle::SP_FileDialogNewFolder, QStringLiteral("正式报名"), QStringLiteral("添加正式报名"), [this] { runCommand(0, 0); });
    add(QStyle::SP_FileDialogDetailedView, QStringLiteral("信息浏览"), QStringLiteral("浏览已报名信息"), [this] { showBrowse(false); });
    add(QStyle::SP_TrashIcon, QStringLiteral("回收站"), QString(), [this] { showBrowse(true); });
    toolBar->addSeparator();
    add(QStyle::SP_FileDialogInfoView, QStringLiteral("信息统计"), QString(), [this] { runCommand(0, 2); });
    toolBar->addSeparator();
    add(QStyle::SP_FileDialogListView, QStringLiteral("表单设计"), QStringLiteral("自定义报名表报名项目"), [this] { runCommand(1, 2); });
    add(QStyle::SP_FileIcon, QStringLiteral("打印模板"), QStringLiteral("自定义打印模板"), [this] { runCommand(1, 3); });
    add(QStyle::SP_DialogSaveButton, QStringLiteral("导出EXCEL"), QString(), [this] { exportToSpreadsheet(); });
    toolBar->addSeparator();
    add(QStyle::SP_DialogCloseButton, QStringLiteral("退出系统"), QString(), [this] {
        onMainWindowClosing();
        endProgram(state, 0);
    });
}

void MainWindow::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("状态条1"));
    bar->setSizeGripEnabled(false);
    for (int pane = 0; pane < 4; ++pane) {
        panes[pane] = new QLabel(bar);
        panes[pane]->setObjectName(QStringLiteral("状态条1_%1").arg(pane));
        panes[pane]->setFrameShape(QFrame::Panel);
        panes[pane]->setFrameShadow(QFrame::Sunken);
        if (paneWidths[pane] > 0)
            panes[pane]->setFixedWidth(paneWidths[pane]);
        bar->addWidget(panes[pane]);
    }
    panes[1]->setText(QStringLiteral("提示："));
    panes[3]->setText(QStringLiteral("招生报名管理 专业版"));
    onMainWindowResized();
}

void MainWindow::buildCentralArea()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    // Hidden windows are not laid out, so the designed client area is set
    // here; the anchors then follow the real sizes once the window shows.
    const int top = menuBar()->sizeHint().height() + toolBar->sizeHint().height();
    const int centralHeight = designedHeight - top - statusBar()->sizeHint().height();
    central->setGeometry(0, top, designedWidth, centralHeight);

    auto* frame = new QGroupBox(central);
    frame->setObjectName(QStringLiteral("分组框1"));
    frame->setGeometry(2, 0, designedWidth - 4, centralHeight - 2);

    menu = new OutlookMenu(frame);
    menu->setObjectName(QStringLiteral("卷帘式菜单1"));
    menu->setGeometry(6, 14, 150, frame->height() - 20);
    const int daily = menu->addGroup(QStringLiteral("日常操作"));
    menu->addEntry(daily, QStringLiteral("添加信息"));
    menu->addEntry(daily, QStringLiteral("信息浏览"), QStringLiteral("浏览报名信息"));
    menu->addEntry(daily, QStringLiteral("数据统计"));
    const int system = menu->addGroup(QStringLiteral("系统管理"));
    menu->addEntry(system, QStringLiteral("报名项目分类"), QStringLiteral("报名专业/报名项目分类"));
    menu->addEntry(system, QStringLiteral("报名项目"), QStringLiteral("报名项目/专业设置"));
    menu->addEntry(system, QStringLiteral("表单设置"));
    menu->addEntry(system, QStringLiteral("打印模板"));
    menu->addEntry(system, QStringLiteral("帐户管理"), QStringLiteral("添加系统管理员"));
    menu->addEntry(system, QStringLiteral("单位信息"), QStringLiteral("单位信息"));
    menu->addEntry(system, QStringLiteral("网络同步"), QStringLiteral("从网络版下载数据到本地"));
    const int data = menu->addGroup(QStringLiteral("数据管理"));
    menu->addEntry(data, QStringLiteral("数据备份"));
    menu->addEntry(data, QStringLiteral("退出系统"), QStringLiteral("退出系统"));
    connect(menu, &OutlookMenu::entryClicked, this, &MainWindow::navigate);

    tabs = new QTabWidget(frame);
    tabs->setObjectName(QStringLiteral("选择夹1"));
    tabs->setGeometry(162, 10, frame->width() - 168, frame->height() - 16);
    // Pages change only through the navigation, so the tabs themselves are not shown.
    tabs->tabBar()->hide();
    tabs->setDocumentMode(true);
    const QSize pageSize(tabs->width(), tabs->height());
    for (const char* text : pageTabTexts) {
        auto* page = new QWidget;
        tabs->addTab(page, QString::fromUtf8(text));
        page->setGeometry(QRect(QPoint(0, 0), pageSize));
    }
    struct EmptyGroup {
        int page;
        const char* name;
        const char* title;
        QRect designed;
    };
    // Pages whose content comes with their own subsystems show their frames.
    const QRect fill(6, 0, pageSize.width() - 6, pageSize.height());
    const EmptyGroup groups[] = {
        {Page::Programmes, "分组框_专业", "报名项目/专业", fill},
        {Page::Categories, "分组框_分类", "报名项目分类", fill},
        {Page::Statistics, "分组框_统计1", "统计条件", QRect(6, 0, pageSize.width() - 6, 96)},
        {Page::Statistics, "分组框_统计2", "统计图表", QRect(6, 100, pageSize.width() - 6, pageSize.height() - 100)},
        {Page::Designer, "分组框_表单", "表单设置", fill},
        {Page::Templates, "分组框_打印", "打印模板", fill},
    };
    for (const EmptyGroup& group : groups) {
        auto* box = new QGroupBox(QString::fromUtf8(group.title), tabs->widget(group.page));
        box->setObjectName(QString::fromUtf8(group.name));
        box->setGeometry(group.designed);
    }

    addPage = std::make_unique<AddPage>(state, tabs->widget(Page::Add));
    browsePage = std::make_unique<BrowsePage>(state, tabs->widget(Page::Browse));
    accounts = std::make_unique<AccountsPage>(state, tabs->widget(Page::Accounts));
    buildStartPage(tabs->widget(Page::Start));
    unitInfo = std::make_unique<UnitInfoPage>(state, tabs->widget(Page::Unit));
    sync = std::make_unique<SyncPage>(state, tabs->widget(Page::Sync));
    connect(unitInfo.get(), &UnitInfoPage::multiLocationApplied, this, &MainWindow::setCategoryEntryVisible);
}

void MainWindow::buildStartPage(QWidget* page)
{
    auto* picture = new QLabel(page);
    picture->setObjectName(QStringLiteral("图片框2"));
    const QPixmap pixmap(QStringLiteral(":/start/start.png"));
    picture->setPixmap(pixmap);
    picture->setGeometry(20, 20, pixmap.width(), pixmap.height());
    makeLinkLabel(QStringLiteral("透明标签6"), QStringLiteral("帮助文件"), state.programFile(QStringLiteral("help.htm")), page)
        ->setGeometry(24, 30 + pixmap.height(), 80, 20);
    makeLinkLabel(QStringLiteral("透明标签7"), QStringLiteral("访问网站"), state.programFile(QStringLiteral("brenvo.htm")), page)
        ->setGeometry(114, 30 + pixmap.height(), 80, 20);
}

void MainWindow::registerAnchors()
{
    const QSize pageSize = tabs->widget(Page::Start)->size();
    for (const char* name : pageGroupBoxes)
        if (auto* group = tabs->findChild<QGroupBox*>(QString::fromUtf8(name)))
            group->setGeometry(6, 0, pageSize.width() - 6, pageSize.height());

    const AnchorFlags all{true, true, true, true};
    anchors.anchor(findChild<QGroupBox*>(QStringLiteral("分组框1")), all);
    anchors.anchor(menu, {true, true, false, true});
    anchors.anchor(tabs, all);
    for (const char* name : pageGroupBoxes)
        if (auto* group = tabs->findChild<QGroupBox*>(QString::fromUtf8(name)))
            anchors.anchor(group, all);
    anchors.anchor(tabs->findChild<QGroupBox*>(QStringLiteral("分组框_统计1")), {true, true, true, false});
    anchors.anchor(tabs->findChild<QGroupBox*>(QStringLiteral("分组框_统计2")), all);
    addPage->registerAnchors(anchors);
    browsePage->registerAnchors(anchors);
    accounts->registerAnchors(anchors);
}

void MainWindow::selectPage(int page)
{
    tabs->setCurrentIndex(page);
}

void MainWindow::runCommand(int group, int entry)
{
    menu->setCurrentEntry(group, entry);
    navigate(group, entry);
}

void MainWindow::navigate(int group, int entry)
{
    switch (group * 100 + entry) {
    case 0: // 添加信息
        state.addPageActive = true;
        addPage->prepareForNewRegistration();
        selectPage(Page::Add);
        break;
    case 1: // 信息浏览
        showBrowse(false);
        break;
    case 2: // 数据统计
        selectPage(Page::Statistics);
        break;
    case 100: // 报名项目分类
        selectPage(Page::Categories);
        break;
    case 101: // 报名项目
        selectPage(Page::Programmes);
        break;
    case 102: // 表单设置
        selectPage(Page::Designer);
        break;
    case 103: // 打印模板
        selectPage(Page::Templates);
        break;
    case 104: // 帐户管理
        selectPage(Page::Accounts);
        accounts->loadAccountList();
        break;
    case 105: // 单位信息
        selectPage(Page::Unit);
        unitInfo->showUnitInfo();
        break;
    case 106: // 网络同步
        sync->showSyncSettings();
        selectPage(Page::Sync);
        break;
    case 200: // 数据备份: copying the program directory is the backup
        break;
    case 201: // 退出系统
        onMainWindowClosing();
        close();
        break;
    default:
        break;
    }
    if (group == 1)
        processPendingMessages();
}

void MainWindow::showBrowse(bool recycleBin)
{
    menu->setCurrentEntry(0, 1);
    state.addPageActive = false;
    selectPage(Page::Browse);
    browsePage->setRecycleBinShown(recycleBin);
}

void MainWindow::exportToSpreadsheet()
{
    if (tabs->currentIndex() != Page::Browse || browsePage->rowCount() == 0) {
        messageBox(QStringLiteral("请先筛选要导出的数据"), MessageStyle::SystemModal);
        return;
    }
}

void MainWindow::showAbout()
{
    AboutWindow about(this);
    about.exec();
}

void MainWindow::setCategoryEntryVisible(bool visible)
{
    menu->setEntryHidden(1, 0, !visible);
    categoryItem->setVisible(visible);
    for (const char* name : {"标签75", "组合框_专业_多点"})
        if (auto* control = tabs->findChild<QWidget*>(QString::fromUtf8(name)))
            control->setVisible(visible);
}

void MainWindow::setSyncEntryVisible(bool visible)
{
    menu->setEntryHidden(1, 6, !visible);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    onMainWindowResized();
}

void MainWindow::onMainWindowResized()
{
    if (panes[2])
        panes[2]->setFixedWidth(qMax(0, width() - paneWidths[0] - paneWidths[1] - paneWidths[3]));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    onMainWindowClosing();
    event->accept();
}
