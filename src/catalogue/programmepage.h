#pragma once
// The 报名项目/专业 page: the programmes applicants register for (table zy),
// listed, added, changed and deleted, with their category and deadline.
// Every change reloads the in-memory programmeList.

#include "catalogue/statements.h"
#include "core/appstate.h"

#include <QWidget>

class AnchorLayout;
class DeadlineBox;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;


// The deadline as add and modify write it: the text when it reads as a date
// from 2000 on, otherwise the zero date "1899年12月30日" (no deadline).
QString deadlineForStatement(const QString& boxText);
// The 截止日期 cell: the date-to-text form, empty before 2000.
QString deadlineCellText(const QDateTime& deadline);
// A quota or fee cell: the value when above 0, else empty.
QString positiveCellText(int value);

class ProgrammePage : public QWidget {
    Q_OBJECT
public:
    ProgrammePage(AppState& state, const QSize& size);

    void registerAnchors(AnchorLayout& anchors);

    // What the navigation runs: the deadline box set to now, then the lists filled.
    void loadProgrammePage();
    void fillProgrammePage();
    void showProgramme();
    void addProgramme();
    void modifyProgramme();
    void deleteProgramme();
    void onProgrammeCategoryChosen();

    // The category selector and its label follow the multi-location switch.
    void setCategoryChoiceVisible(bool visible);

    // The server id of the category last chosen in the selector, written as serplaid.
    int chosenCategoryServerId() const { return chosenServerId; }
    DeadlineBox* deadlineBox() const { return deadline; }

signals:
    // A short hint for pane 1 of the status bar (missing input).
    void hintShown(const QString& text);

private:
    // The id of the selected row, or 0 when no row is selected.
    int selectedProgrammeId() const;
    // The box values; the texts as typed and the category as `noCategory` when none is chosen.
    ProgrammeValues enteredValues(int noCategory) const;
    bool refuseEmptyName();

    AppState& state;
    int chosenServerId = 0;
    QWidget* lowerGroup = nullptr;
    QTreeWidget* list = nullptr;
    QLabel* categoryLabel = nullptr;
    QComboBox* categorySelector = nullptr;
    QLineEdit* nameBox = nullptr;
    QLineEdit* feeBox = nullptr;
    QLineEdit* quotaBox = nullptr;
    QLineEdit* orderBox = nullptr;
    QLineEdit* summaryBox = nullptr;
    DeadlineBox* deadline = nullptr;
    QPlainTextEdit* introductionBox = nullptr;
    QCheckBox* enabledBox = nullptr;
    QPushButton* buttons[3] = {};
};
