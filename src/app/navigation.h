#pragma once
// The one table of routes behind the outlook menu, the menu bar, the tool bar
// and navigate: a command is one row, wherever it appears, and a page of
// 选择夹1 is declared in the row of the entry that opens it.

#include <QStyle>
#include <QVector>

class AnchorLayout;
class MainWindow;
class QSize;
class QWidget;
struct AppState;

// A page of 选择夹1: its number (its place among the tabs), its tab text, how
// it is made at the size of the page area and, for a page whose controls
// follow the window's size, how they are anchored.
struct PageDeclaration {
    int number = -1;
    const char* tabText = nullptr;
    QWidget* (*make)(AppState& state, const QSize& size) = nullptr;
    void (*anchor)(QWidget& page, AnchorLayout& anchors) = nullptr;
};

// Page P, made by P(state, size).
template <class P>
PageDeclaration pageOf(int number, const char* tabText)
{
    return {number, tabText, [](AppState& state, const QSize& size) -> QWidget* { return new P(state, size); }, nullptr};
}

// Page P, whose registerAnchors anchors its controls.
template <class P>
PageDeclaration anchoredPageOf(int number, const char* tabText)
{
    PageDeclaration page = pageOf<P>(number, tabText);
    page.anchor = [](QWidget& widget, AnchorLayout& anchors) { static_cast<P&>(widget).registerAnchors(anchors); };
    return page;
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
    // The page shown: the one this row declares, or, with only its number,
    // one that another row declares; none when the number is -1.
    PageDeclaration page;
    // Then what runs: a command of the main window's own, or anything else
    // (a page's loader, a window of its own) through the window.
    void (MainWindow::*loader)() = nullptr;
    void (*command)(MainWindow& window) = nullptr;
};

const QVector<Route>& routes();
// The pages the routes declare, in the order of their numbers.
QVector<const PageDeclaration*> declaredPages();
extern const char* const outlookGroupTitles[3];
extern const char* const menuTitles[3];
