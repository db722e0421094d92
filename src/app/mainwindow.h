#pragma once
// The main window: tool bar, outlook menu, the page area 选择夹1, menu bar
// and status bar; start-up and closing; navigation between the pages through
// the route table (app/navigation.h).

#include "app/navigation.h"
#include "core/appstate.h"
#include "platform/anchors.h"

#include <QMainWindow>
#include <QTabWidget>
#include <QThread>

#include <memory>

class CheckStop;

class QLabel;
class QToolBar;
class QAction;
class OutlookMenu;
class RecordEditor;

class MainWindow : public QMainWindow, public Reporter {
    Q_OBJECT
public:
    explicit MainWindow(AppState& state);
    ~MainWindow() override;

    // The start-up steps; false when the program is ending instead.
    bool onMainWindowCreated();

    // An outlook entry: shows its page and runs its loader.
    void navigate(int group, int entry);
    // Makes page n of 选择夹1 current, or the page of class P.
    void selectPage(int page);
    template <class P>
    void selectPage()
    {
        tabs->setCurrentWidget(page<P>());
    }
    void showBrowse(bool recycleBin);

    // The window's own commands in the route table.
    void openBackupWindow();
    void closeFromMenu();
    void exitProgram();
    void exportToSpreadsheet();
    void openHelp();
    void openWebsite();
    void showAbout();

    // Reporter: pane 2 and message boxes.
    void showResult(const QString& text) override;
    int showMessage(const QString& text, int style, const QString& title) override;

    AppState& appState() { return state; }
    OutlookMenu* outlookMenu() const { return menu; }
    QTabWidget* pages() const { return tabs; }
    // The page of class P among the pages the routes declare.
    template <class P>
    P* page() const
    {
        for (int number = 0; number < tabs->count(); ++number)
            if (auto* found = qobject_cast<P*>(tabs->widget(number)))
                return found;
        return nullptr;
    }
    QLabel* statusPane(int pane) const;
    QAction* categoryMenuItem() const;
    RecordEditor* recordEditor() const { return editor; }

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
    void buildPages(const QSize& pageSize);
    void registerAnchors();
    void onMainWindowClosing();
    // The page-by-page check of zhao.dat that a start after a clean close
    // leaves until the operator has logged in; it runs beside the operator's
    // work and says so only when it finds the file damaged.
    void startLaterDatabaseCheck();
    void stopLaterDatabaseCheck();
    void onMainWindowResized();
    // Marks the route's outlook entry current, shows its page, runs its loader.
    void run(const Route& route);
    QAction* menuAction(const Route& route) const;

    AppState& state;
    OutlookMenu* menu = nullptr;
    QTabWidget* tabs = nullptr;
    QToolBar* toolBar = nullptr;
    QVector<QAction*> menuActions;  // parallel to routes(); null where a route has no menu item
    QLabel* panes[4] = {};
    AnchorLayout anchors;
    bool closingDone = false;
    std::unique_ptr<QThread> laterCheck;
    std::shared_ptr<CheckStop> stopLaterCheck;
    // The later check found zhao.dat damaged: the close leaves no clean-close
    // mark, so the next start checks it before anyone logs in.
    bool laterCheckFoundDamage = false;
    RecordEditor* editor = nullptr;  // the browse list's edit window
};
