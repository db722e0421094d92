#pragma once
// Pieces the two catalogue pages are built from: the list, field labels,
// the button column and the selected row's id.

#include <QStringList>

class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QWidget;

// A report list with an untitled row-number column first.
QTreeWidget* makeCatalogueList(QWidget* parent, const QString& name, const QStringList& headers, const QVector<int>& widths);

// A caption right-aligned in front of a field.
QLabel* makeFieldLabel(QWidget* parent, const QString& text, int x, int y, int width);

// The add, modify and delete buttons, one below the other at the right of `parent`.
void makeButtonColumn(QWidget* parent, const char* const names[3], QPushButton* buttons[3]);

// The item value of the selected row, or 0 when no row is selected.
int selectedRowId(const QTreeWidget* list);
