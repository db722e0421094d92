#include "records/browsepage.h"

#include "platform/anchors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

BrowsePage::BrowsePage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    QWidget* page = this;
    const int width = page->width();
    const int height = page->height();

    recycleBin = new QCheckBox(QStringLiteral("显示回收站"), page);
    recycleBin->setObjectName(QStringLiteral("选择框_信息浏览_显示回收站"));
    recycleBin->setGeometry(8, 6, 100, 24);

    list = new QTreeWidget(page);
    list->setObjectName(QStringLiteral("超级列表框_信息浏览"));
    list->setGeometry(6, 36, width - 12, height - 36 - 54);
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setHeaderLabels({QString()});

    // The bottom row stands 24 pixels above the bottom of the page area.
    const int rowY = height - 24 - 24;
    auto* pageSizeLabel = new QLabel(QStringLiteral("每页数量"), page);
    pageSizeLabel->setGeometry(8, rowY, 56, 24);
    pageSizeBox = new QLineEdit(page);
    pageSizeBox->setObjectName(QStringLiteral("编辑框_信息浏览_每页数量"));
    pageSizeBox->setGeometry(66, rowY, 50, 24);
    auto* printLabel = new QLabel(QStringLiteral("打印:"), page);
    printLabel->setGeometry(130, rowY, 36, 24);
    print = new QComboBox(page);
    print->setObjectName(QStringLiteral("组合框_信息浏览_打印"));
    print->setGeometry(166, rowY, 120, 24);

    QWidget* row[] = {pageSizeLabel, pageSizeBox, printLabel, print};
    std::copy(std::begin(row), std::end(row), bottomRow);
}

void BrowsePage::registerAnchors(AnchorLayout& anchors)
{
    anchors.anchor(list, {true, true, true, true});
    for (QWidget* control : bottomRow)
        anchors.anchor(control, {true, false, false, true});
}

void BrowsePage::setRecycleBinShown(bool shown)
{
    recycleBin->setChecked(shown);
}

int BrowsePage::rowCount() const
{
    return list->topLevelItemCount();
}
