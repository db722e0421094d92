#include "app/mainwindow.h"

#include "app/aboutwindow.h"
#include "app/datafolder.h"
#include "app/lifecycle.h"
#include "app/outlookmenu.h"
#include "app/unitinfo.h"
#include "catalogue/categorypage.h"
#include "catalogue/programmepage.h"
#include "form/addpage.h"
#include "form/designer.h"
#include "platform/events.h"
#include "platform/links.h"
#include "platform/messagebox.h"
#include "printing/previewwindow.h"
#include "printing/printchoices.h"
#include "printing/templatespage.h"
#include "records/browsepage.h"
#include "records/editwindow.h"
#include "records/export.h"
#include "records/statisticspage.h"

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

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

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
    state.reporter = this;
}

MainWindow::~MainWindow()
{
    stopLaterDatabaseCheck();
    // The print window reports through this window and reads the shared state.
    closePrintPreview();
    state.reporter = nullptr;
}

void MainWindow::showResult(const QString& text)
{
    panes[2]->setText(text);
}

int MainWindow::showMessage(const QString& text, int style, const QString& title)
{
    return messageBox(text, style, title);
}

QLabel* MainWindow::statusPane(int pane) const
{
    return pane >= 0 && pane < 4 ? panes[pane] : nullptr;
}

void MainWindow::buildMenuBar()
{
    QMenu* menus[3] = {};
    for (int i = 0; i < 3; ++i)
        menus[i] = menuBar()->addMenu(text(menuTitles[i]));
    for (const Route& route : routes()) {
        QAction* item = nullptr;
        if (route.menuCaption) {
            item = menus[route.menu]->addAction(text(route.menuCaption), this, [this, &route] { run(route); });
            item->setObjectName(QStringLiteral("菜单_") + item->text().remove(QLatin1Char(' ')).remove(QLatin1Char('/')));
        }
        menuActions.push_back(item);
    }
}

QAction* MainWindow::menuAction(const Route& route) const
{
    return menuActions.value(int(&route - routes().data()));
}

QAction* MainWindow::categoryMenuItem() const
{
    for (const Route& route : routes())
        if (route.caption && route.group == 1 && route.entry == 0)
            return menuAction(route);
    return nullptr;
}

void MainWindow::buildToolBar()
{
    toolBar = addToolBar(QStringLiteral("工具条1"));
    toolBar->setObjectName(QStringLiteral("工具条1"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setIconSize(QSize(24, 24));
    QVector<const Route*> buttons;
    for (const Route& route : routes())
        if (route.toolSlot > 0)
            buttons.push_back(&route);
    std::sort(buttons.begin(), buttons.end(), [](const Route* a, const Route* b) { return a->toolSlot < b->toolSlot; });
    int previousGroup = buttons.isEmpty() ? 0 : buttons.first()->toolSlot / 10;
    for (const Route* route : buttons) {
        if (route->toolSlot / 10 != previousGroup)
            toolBar->addSeparator();
        previousGroup = route->toolSlot / 10;
        QAction* action = toolBar->addAction(style()->standardIcon(route->icon), text(route->toolCaption), this,
                                             [this, route] { run(*route); });
        action->setToolTip(text(route->toolButtonTip ? route->toolButtonTip : route->toolCaption));
    }
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
    for (const char* title : outlookGroupTitles)
        menu->addGroup(text(title));
    for (const Route& route : routes())
        if (route.caption)
            menu->addEntry(route.group, text(route.caption), route.toolTip ? text(route.toolTip) : QString());
    connect(menu, &OutlookMenu::entryClicked, this, &MainWindow::navigate);

    tabs = new QTabWidget(frame);
    tabs->setObjectName(QStringLiteral("选择夹1"));
    tabs->setGeometry(162, 10, frame->width() - 168, frame->height() - 16);
    // Pages change only through the navigation, so the tabs themselves are not shown.
    tabs->tabBar()->hide();
    tabs->setDocumentMode(true);
    buildPages(tabs->size());
}

void MainWindow::buildPages(const QSize& pageSize)
{
    for (const PageDeclaration* declared : declaredPages()) {
        QWidget* page = declared->make(state, pageSize);
        tabs->addTab(page, text(declared->tabText));
        page->setGeometry(QRect(QPoint(0, 0), pageSize));
    }

    // What the pages tell the window and each other.
    auto* browse = page<BrowsePage>();
    editor = new RecordEditor(state, *browse, this);
    page<StatisticsPage>()->setBrowseFilter([browse] { return browse->buildBrowseWhere(); });
    connect(page<UnitInfoPage>(), &UnitInfoPage::multiLocationApplied, this, &MainWindow::setCategoryEntryVisible);
    connect(page<DesignerPage>(), &DesignerPage::multiLocationChanged, this, &MainWindow::setCategoryEntryVisible);
    connect(page<TemplatesPage>(), &TemplatesPage::templatesChanged, this,
            [this, browse] { fillPrintChoices(state, page<AddPage>()->printSelector(), browse->printSelector()); });
    auto showHint = [this](const QString& hint) { panes[1]->setText(hint); };
    connect(page<ProgrammePage>(), &ProgrammePage::hintShown, this, showHint);
    connect(page<CategoryPage>(), &CategoryPage::hintShown, this, showHint);
}

void MainWindow::registerAnchors()
{
    const AnchorFlags all{true, true, true, true};
    anchors.anchor(findChild<QGroupBox*>(QStringLiteral("分组框1")), all);
    anchors.anchor(menu, {true, true, false, true});
    anchors.anchor(tabs, all);
    for (const PageDeclaration* declared : declaredPages())
        if (declared->anchor)
            declared->anchor(*tabs->widget(declared->number), anchors);
}

void MainWindow::selectPage(int page)
{
    tabs->setCurrentIndex(page);
}

void MainWindow::run(const Route& route)
{
    if (route.group >= 0)
        menu->setCurrentEntry(route.group, route.entry);
    if (route.page.number >= 0)
        selectPage(route.page.number);
    if (route.loader)
        (this->*route.loader)();
    if (route.command)
        route.command(*this);
    if (route.group == 1)
        processPendingMessages();
}

void MainWindow::navigate(int group, int entry)
{
    for (const Route& route : routes())
        if (route.caption && route.group == group && route.entry == entry) {
            run(route);
            return;
        }
}

void MainWindow::showBrowse(bool recycleBin)
{
    const int browse = tabs->indexOf(page<BrowsePage>());
    for (const Route& route : routes())
        if (route.page.number == browse && (route.caption != nullptr) != recycleBin) {
            run(route);
            return;
        }
}

void MainWindow::closeFromMenu()
{
    onMainWindowClosing();
    close();
}

void MainWindow::exitProgram()
{
    onMainWindowClosing();
    endProgram(state, 0);
}

void MainWindow::exportToSpreadsheet()
{
    const BrowsePage* browse = page<BrowsePage>();
    if (tabs->currentWidget() != browse || browse->rowCount() == 0) {
        messageBox(QStringLiteral("请先筛选要导出的数据"), MessageStyle::SystemModal);
        return;
    }
    exportListToSpreadsheet(state, browse->recordList(), browse->currentPageNumber(), browse->pageCountNumber(), this);
}

void MainWindow::openHelp()
{
    openWithDesktop(shippedPage(QStringLiteral("help.htm")));
}

void MainWindow::openWebsite()
{
    openWithDesktop(shippedPage(QStringLiteral("brenvo.htm")));
}

void MainWindow::showAbout()
{
    AboutWindow about(databaseInUseText(state.serverConnection), state.programDir, this);
    about.exec();
}

void MainWindow::setCategoryEntryVisible(bool visible)
{
    menu->setEntryHidden(1, 0, !visible);
    categoryMenuItem()->setVisible(visible);
    page<ProgrammePage>()->setCategoryChoiceVisible(visible);
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
