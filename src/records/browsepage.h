#pragma once
// The browse page's frame: the record list, the recycle-bin switch, the page
// size and the print choice.

#include "core/appstate.h"

#include <QWidget>

class AnchorLayout;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QTreeWidget;

class BrowsePage : public QWidget {
    Q_OBJECT
public:
    BrowsePage(AppState& state, const QSize& size);

    void registerAnchors(AnchorLayout& anchors);
    void setRecycleBinShown(bool shown);
    int rowCount() const;
    // The record list as shown, for the export.
    const QTreeWidget& recordList() const { return *list; }
    int currentPageNumber() const { return currentPage; }
    int pageCountNumber() const { return pageCount; }
    QLineEdit* pageSizeEditor() const { return pageSizeBox; }
    QComboBox* printSelector() const { return print; }

private:
    AppState& state;
    int pageCount = 0;
    int currentPage = 0;
    QTreeWidget* list = nullptr;
    QCheckBox* recycleBin = nullptr;
    QLineEdit* pageSizeBox = nullptr;
    QComboBox* print = nullptr;
    QWidget* bottomRow[4] = {};
};
