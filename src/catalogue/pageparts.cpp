#include "catalogue/pageparts.h"

#include "platform/events.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

QTreeWidget* makeCatalogueList(QWidget* parent, const QString& name, const QStringList& headers, const QVector<int>& widths)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setAllColumnsShowFocus(true);
    list->setHeaderLabels(QStringList{QString()} + headers);
    for (int column = 0; column < widths.size(); ++column)
        list->setColumnWidth(column, widths[column]);
    return list;
}

QLabel* makeFieldLabel(QWidget* parent, const QString& text, int x, int y, int width)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(x, y, width, 22);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

void makeButtonColumn(QWidget* parent, const char* const names[3], QPushButton* buttons[3])
{
    const char* const captions[] = {"添    加", "修    改", "删    除"};
    for (int i = 0; i < 3; ++i) {
        buttons[i] = new QPushButton(QString::fromUtf8(captions[i]), parent);
        buttons[i]->setObjectName(QString::fromUtf8(names[i]));
        buttons[i]->setGeometry(parent->width() - 96, 18 + i * 36, 84, 28);
    }
}

void addRowsLettingMessagesRun(QTreeWidget* list, const QList<QTreeWidgetItem*>& rows)
{
    for (QTreeWidgetItem* row : rows) {
        list->addTopLevelItem(row);
        processPendingMessages();
    }
}

int selectedRowId(const QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->data(0, Qt::UserRole).toInt();
}
