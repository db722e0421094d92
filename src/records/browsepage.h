#pragma once
// The browse page's frame: the record list, the recycle-bin switch, the page
// size and the print choice.

#include "app/appstate.h"

#include <QObject>

class AnchorLayout;
class QCheckBox;
class QTreeWidget;
class QWidget;

class BrowsePage : public QObject {
    Q_OBJECT
public:
    BrowsePage(AppState& state, QWidget* page);

    void registerAnchors(AnchorLayout& anchors);
    void setRecycleBinShown(bool shown);
    int rowCount() const;

private:
    AppState& state;
    QTreeWidget* list = nullptr;
    QCheckBox* recycleBin = nullptr;
    QWidget* bottomRow[4] = {};
};
