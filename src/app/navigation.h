#pragma once
// The one table of routes behind the outlook menu, the menu bar, the tool bar
// and navigate: a command is one row, wherever it appears.

#include <QStyle>
#include <QVector>

class MainWindow;

// The pages of 选择夹1, in tab order.
namespace Page {
enum : int { Add = 0, Browse, Programmes, Categories, Statistics, Accounts, Start, Unit, Sync, Designer, Templates };
}

struct Route {
    // Outlook menu: the entry's address and caption. A route without a caption
    // only marks the entry at its address as current (回收站 marks 信息浏览).
    int group = -1;
    int entry = -1;
    const char* caption = nullptr;
    const char* toolTip = nullptr;
    // Menu bar: the menu's position in menuTitles and the item's caption.
    int menu = -1;
    const char* menuCaption = nullptr;
    // Tool bar: buttons in slot order; a new tens digit starts a new group
    // after a separator. 0 = not on the tool bar.
    int toolSlot = 0;
    const char* toolCaption = nullptr;
    const char* toolButtonTip = nullptr;
    QStyle::StandardPixmap icon = QStyle::SP_CustomBase;
    // The page shown (-1: none), then what runs.
    int page = -1;
    void (MainWindow::*loader)() = nullptr;
    // A window or command of its own, opened here: the row is all the main
    // window needs to know of it.
    void (*command)(MainWindow& window) = nullptr;
};

const QVector<Route>& routes();
extern const char* const outlookGroupTitles[3];
extern const char* const menuTitles[3];
