#pragma once
// Pieces the two catalogue pages are built from: the list, field labels,
// the button column and the selected row's id.

#include <QStringList>

class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// A report list with an untitled row-number column first.
QTreeWidget* makeCatalogueList(QWidget* parent, const QString& name, const QStringList& headers, const QVector<int>& widths);

// A caption right-aligned in front of a field.
QLabel* makeFieldLabel(QWidget* parent, const QString& text, int x, int y, int width);

// The add, modify and delete buttons, one below the other at the right of `parent`.
void makeButtonColumn(QWidget* parent, const char* const names[3], QPushButton* buttons[3]);

// Adds the rows, letting pending messages run after each. The rows are read
// whole beforehand: a handler running in between may reopen the shared record set.
void addRowsLettingMessagesRun(QTreeWidget* list, const QList<QTreeWidgetItem*>& rows);

// The item value of the selected row, or 0 when no row is selected.
int selectedRowId(const QTreeWidget* list);
