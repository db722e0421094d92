#pragma once
// The outlook-style menu: groups of entries, one group open at a time, the
// current entry drawn highlighted. Entries keep their (group, entry) address
// when others are hidden.

#include <QToolBox>
#include <QVector>

class QListWidget;

class OutlookMenu : public QToolBox {
    Q_OBJECT
public:
    explicit OutlookMenu(QWidget* parent = nullptr);

    int addGroup(const QString& caption);
    void addEntry(int group, const QString& caption, const QString& toolTip = QString());

    // Marks (group, entry) as current without running it.
    void setCurrentEntry(int group, int entry);
    int currentGroup() const { return current.first; }
    int currentEntry() const { return current.second; }

    void setEntryHidden(int group, int entry, bool hidden);
    bool isEntryHidden(int group, int entry) const;
    QString entryCaption(int group, int entry) const;
    int entryCount(int group) const;
    int visibleEntryCount(int group) const;

    // What a click on a visible entry does; tests use it as the operator would.
    void clickEntry(int group, int entry);

signals:
    void entryClicked(int group, int entry);

private:
    QListWidget* groupList(int group) const;
    QVector<QListWidget*> lists;
    QPair<int, int> current{-1, -1};
};
