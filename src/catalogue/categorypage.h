#pragma once
// The 报名项目分类 page: the categories programmes are grouped into (table dd),
// listed, added, changed and deleted. The in-memory categoryList is not
// touched here: changes reach the form at the next start.

#include "catalogue/statements.h"
#include "core/appstate.h"

#include <QWidget>

class AnchorLayout;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;


class CategoryPage : public QWidget {
    Q_OBJECT
public:
    CategoryPage(AppState& state, const QSize& size);

    void registerAnchors(AnchorLayout& anchors);

    void fillCategoryPage();
    void showCategory();
    void addCategory();
    void modifyCategory();
    void deleteCategory();

signals:
    // A short hint for pane 1 of the status bar (missing input).
    void hintShown(const QString& text);

private:
    // The id of the selected row, or 0 when no row is selected.
    int selectedCategoryId() const;
    CategoryValues enteredValues() const;
    bool refuseEmptyName(const QString& hint);

    AppState& state;
    QWidget* lowerGroup = nullptr;
    QTreeWidget* list = nullptr;
    QLineEdit* nameBox = nullptr;
    QLineEdit* orderBox = nullptr;
    QPlainTextEdit* descriptionBox = nullptr;
    QCheckBox* enabledBox = nullptr;
    QPushButton* buttons[3] = {};
};
