#include "app/outlookmenu.h"

#include <QListWidget>

OutlookMenu::OutlookMenu(QWidget* parent) : QToolBox(parent)
{
    setStyleSheet(QStringLiteral(
        "QToolBox::tab { background: #d7e4f4; border: 1px solid #9db7d8; border-radius: 3px;"
        " color: #1d3f6e; font-weight: bold; padding-left: 8px; }"
        "QToolBox::tab:selected { background: #b9d0ee; }"
        "QListWidget { background: #f4f8fd; border: none; }"
        "QListWidget::item { padding: 6px 4px; }"
        "QListWidget::item:selected { background: #3d7cc9; color: white; }"));
}

int OutlookMenu::addGroup(const QString& caption)
{
    auto* list = new QListWidget(this);
    list->setFrameShape(QFrame::NoFrame);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    const int group = int(lists.size());
    lists.push_back(list);
    connect(list, &QListWidget::itemClicked, this, [this, group, list](QListWidgetItem* item) {
        clickEntry(group, list->row(item));
    });
    addItem(list, caption);
    return group;
}

void OutlookMenu::addEntry(int group, const QString& caption, const QString& toolTip)
{
    auto* item = new QListWidgetItem(caption, groupList(group));
    item->setToolTip(toolTip);
}

QListWidget* OutlookMenu::groupList(int group) const
{
    return group >= 0 && group < lists.size() ? lists.at(group) : nullptr;
}

void OutlookMenu::setCurrentEntry(int group, int entry)
{
    for (QListWidget* list : lists)
        list->clearSelection();
    QListWidget* list = groupList(group);
    if (!list || !list->item(entry))
        return;
    current = {group, entry};
    setCurrentIndex(group);
    list->setCurrentRow(entry);
}

void OutlookMenu::setEntryHidden(int group, int entry, bool hidden)
{
    if (QListWidget* list = groupList(group))
        if (QListWidgetItem* item = list->item(entry))
            item->setHidden(hidden);
}

bool OutlookMenu::isEntryHidden(int group, int entry) const
{
    QListWidget* list = groupList(group);
    QListWidgetItem* item = list ? list->item(entry) : nullptr;
    return !item || item->isHidden();
}

QString OutlookMenu::entryCaption(int group, int entry) const
{
    QListWidget* list = groupList(group);
    QListWidgetItem* item = list ? list->item(entry) : nullptr;
    return item ? item->text() : QString();
}

int OutlookMenu::entryCount(int group) const
{
    QListWidget* list = groupList(group);
    return list ? list->count() : 0;
}

int OutlookMenu::visibleEntryCount(int group) const
{
    int visible = 0;
    for (int entry = 0; entry < entryCount(group); ++entry)
        visible += isEntryHidden(group, entry) ? 0 : 1;
    return visible;
}

void OutlookMenu::clickEntry(int group, int entry)
{
    if (isEntryHidden(group, entry))
        return;
    setCurrentEntry(group, entry);
    emit entryClicked(group, entry);
}
