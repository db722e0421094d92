#pragma once
// The browse page: up to three search conditions, the recycle-bin switch, the
// record list one page at a time with its check boxes, the status, recycle-bin
// and deletion operations on the ticked rows, the page size and the print
// choice. The browse record set it opens is shared with the operations that
// act on the listed records.

#include "core/appstate.h"
#include "records/browsequery.h"

#include <QVector>
#include <QWidget>

#include <functional>
#include <optional>

class AnchorLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class BrowsePage : public QWidget {
    Q_OBJECT
public:
    static constexpr int conditionRows = 3;

    BrowsePage(AppState& state, const QSize& size);

    void registerAnchors(AnchorLayout& anchors);

    // Entering the page from the navigation: the lists it needs, the columns,
    // the field selectors, the recycle-bin switch, then the search.
    void enter(bool recycleBin);
    void setRecycleBinShown(bool shown);

    void buildBrowseColumns();
    void fillFieldSelectors();
    void onFieldChanged(int row);
    // The WHERE clause of the conditions on show; nothing when one of them
    // cannot be written into a statement.
    std::optional<QString> buildBrowseWhere() const;
    void runBrowseSearch();
    void showPageInfo();
    void previousPage();
    void nextPage();
    void onRecycleToggled();

    // The page on show read again.
    void fillBrowsePage();
    // Every row of the current search, all pages, numbered and worded as the
    // list shows them; afterRow runs after each. The page on show stays.
    // False, with no rows and the cause for the operator in failure, when a
    // row could not be read.
    bool allResultRows(QVector<QStringList>& rows, const std::function<void(int row, int rows)>& afterRow,
                       QString* failure);
    // How many registrations the current search found; 0 before a search.
    int resultCount() const;
    // The page on show again, its rows read afresh (after a change elsewhere).
    void refreshCurrentPage();
    void checkAll();
    void invertChecks();
    void clearChecks();
    // The ids of the ticked rows, from the last row to the first.
    QVector<int> tickedIds() const;

    // What the ticked registrations undergo; each reports in the status bar.
    void applyStatusChange();
    void moveToRecycleBin();
    void restoreFromRecycleBin();
    void deletePermanently();

    int rowCount() const;
    // The record list as shown, for the export and the edit window.
    const QTreeWidget& recordList() const { return *list; }
    // The id of the list's current row; 0 when there is none.
    int currentRecordId() const;
    int currentPageNumber() const { return currentPage; }
    int pageCountNumber() const { return pageCount; }
    const QString& columnList() const { return browseColumnList; }
    QLineEdit* pageSizeEditor() const { return pageSizeBox; }
    QComboBox* printSelector() const { return print; }

private:
    // Shows page `page` of the search on show; one that cannot be read is
    // said, and the page on show stays.
    void turnToPage(int page);
    // The list rows of a page of records; false, with none, when a row
    // cannot be read.
    bool readPage(RecordSet& records, int page, QList<QTreeWidgetItem*>& rows) const;
    void buildConditionRows();
    void buildBottomRows(int height);
    ConditionRow conditionRow(int row) const;
    // The list texts of the record at the cursor, numbered `number`.
    QStringList rowTexts(const RecordSet& records, qint64 number) const;
    void setChecks(const std::function<bool(bool)>& newState);
    // The ids of the ticked rows, last row first, each row leaving the list.
    QVector<int> takeTickedRows();
    // Runs a statement on the ticked registrations whose rows have left the
    // list; reports `done` or `failed`.
    bool changeTakenRows(const QString& sql, const char* done, const char* failed);

    AppState& state;
    // The form items the columns were built from; conditions and rows read
    // them, so a form reloaded elsewhere cannot shift the list's columns.
    QVector<FormItem> listItems;
    // Parallel to listItems: whether the item's column is in the query (an
    // item without a column of bmb shows an empty cell).
    QVector<bool> itemsInQuery;
    QString browseColumnList;
    int pageCount = 0;
    int currentPage = 0;

    QComboBox* fieldSelectors[conditionRows] = {};
    QComboBox* conditionSelectors[conditionRows] = {};
    QLineEdit* contentBoxes[conditionRows] = {};
    QCheckBox* recycleBin = nullptr;
    QPushButton* searchButton = nullptr;
    QTreeWidget* list = nullptr;
    QPushButton* restoreButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QComboBox* statusSelector = nullptr;
    QLineEdit* pageSizeBox = nullptr;
    QComboBox* print = nullptr;
    QLabel* pageLabel = nullptr;
    QPushButton* previousButton = nullptr;
    QPushButton* nextButton = nullptr;
    QVector<QWidget*> bottomControls;
};
