#pragma once
// The main window: tool bar, outlook menu, the page area 选择夹1, menu bar
// and status bar; start-up and closing; navigation between the pages.

#include "app/appstate.h"
#include "platform/anchors.h"

#include <QMainWindow>

#include <memory>

class QLabel;
class QTabWidget;
class QToolBar;
class QAction;
class OutlookMenu;
class AccountsPage;
class UnitInfoPage;
class SyncPage;
class AddPage;
class BrowsePage;

namespace Page {
enum : int { Add = 0, Browse, Programmes, Categories, Statistics, Accounts, Start, Unit, Sync, Designer, Templates };
}

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppState& state);
    ~MainWindow() override;

    // The start-up steps; false when the program is ending instead.
    bool onMainWindowCreated();

    void navigate(int group, int entry);
    void selectPage(int page);
    void showBrowse(bool recycleBin);
    void exportToSpreadsheet();
    void showAbout();

    AppState& appState() { return state; }
    OutlookMenu* outlookMenu() const { return menu; }
    QTabWidget* pages() const { return tabs; }
    QLabel* statusPane(int pane) const;
    QAction* categoryMenuItem() const { return categoryItem; }
    AccountsPage* accountsPage() const { return accounts.get(); }
    UnitInfoPage* unitInfoPage() const { return unitInfo.get(); }
    SyncPage* syncPage() const { return sync.get(); }

    // Shows or hides the 报名项目分类 entry, its menu-bar item and the
    // programme page's category controls together.
    void setCategoryEntryVisible(bool visible);
    void setSyncEntryVisible(bool visible);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenuBar();
    void buildToolBar();
    void buildStatusBar();
    void buildCentralArea();
    void buildStartPage(QWidget* page);
    void registerAnchors();
    void onMainWindowClosing();
    void onMainWindowResized();
    // A menu-bar or tool-bar command: marks the entry current, then runs it.
    void runCommand(int group, int entry);

    AppState& state;
    OutlookMenu* menu = nullptr;
    QTabWidget* tabs = nullptr;
    QToolBar* toolBar = nullptr;
    QAction* categoryItem = nullptr;
    QLabel* panes[4] = {};
    AnchorLayout anchors;
    bool closingDone = false;
    std::unique_ptr<AddPage> addPage;
    std::unique_ptr<BrowsePage> browsePage;
    std::unique_ptr<AccountsPage> accounts;
    std::unique_ptr<UnitInfoPage> unitInfo;
    std::unique_ptr<SyncPage> sync;
};
