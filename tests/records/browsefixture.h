#pragma once
// The browse page on its own over a test database.

#include "platform/dates.h"
#include "platform/messagebox.h"
#include "records/browsepage.h"
#include "support/openstate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

// The browse page over a fresh database of its own, the founder logged in;
// status pane 2 is recorded, and every message box, the page's own and the
// reported ones, is recorded in order and answered.
struct BrowseFixture : OpenState, Reporter {
    MessageRecorder messages;
    std::unique_ptr<BrowsePage> page;
    QString result;

    BrowseFixture()
    {
        state.reporter = this;
        state.currentOperator = {1, QStringLiteral("admin"), 1};
        page = std::make_unique<BrowsePage>(state, QSize(628, 470));
        page->pageSizeEditor()->setText(QStringLiteral("50"));
    }

    void showResult(const QString& text) override { result = text; }
    int showMessage(const QString& text, int style, const QString& title) override
    {
        return messageBox(text, style, title);
    }

    bool execute(const QString& sql)
    {
        const bool ok = state.db.execute(sql);
        if (!ok)
            qWarning("%s: %s", qPrintable(sql), qPrintable(state.db.lastErrorText()));
        return ok;
    }

    // `count` registrations named 学生<n>, one minute apart from 2013-05-01
    // 08:00, the n-th registered n minutes later; every one a man of 20.
    bool addRegistrations(int count, int status = 1, int firstNumber = 1)
    {
        for (int n = firstNumber; n < firstNumber + count; ++n) {
            const QString when = isoDateText(QDateTime(QDate(2013, 5, 1), QTime(8, 0)).addSecs(60 * n));
            if (!execute(QStringLiteral("insert into bmb (xm,xb,nl,dtime,sh,fk,status) values ('学生%1',1,20,'%2',0,0,%3)")
                             .arg(n)
                             .arg(when)
                             .arg(status)))
                return false;
        }
        return true;
    }

    template <typename T>
    T* find(const char* name) const
    {
        T* widget = page->findChild<T*>(QString::fromUtf8(name));
        if (!widget)
            qWarning("no control named %s", name);
        return widget;
    }

    QTreeWidget* list() const { return find<QTreeWidget>("超级列表框_信息浏览"); }
    QString label() const { return find<QLabel>("标签_页码")->text(); }
    bool previousEnabled() const { return find<QPushButton>("按钮_上一页")->isEnabled(); }
    bool nextEnabled() const { return find<QPushButton>("按钮_下一页")->isEnabled(); }
    // A row the list does not have reads as empty text and id -1, so the check fails instead of the executable.
    QString cell(int row, int column) const
    {
        const QTreeWidgetItem* item = list()->topLevelItem(row);
        return item ? item->text(column) : QString();
    }
    int rowId(int row) const
    {
        const QTreeWidgetItem* item = list()->topLevelItem(row);
        return item ? item->data(0, Qt::UserRole).toInt() : -1;
    }

    // The list column captioned `caption`.
    int column(const QString& caption) const
    {
        const QTreeWidgetItem* header = list()->headerItem();
        for (int c = 0; c < header->columnCount(); ++c)
            if (header->text(c) == caption)
                return c;
        return -1;
    }

    // Sets condition row `row` (1-3) to the field captioned `field`, the
    // condition `condition` and the content `content`.
    void setCondition(int row, const QString& field, const QString& condition = QString(), const QString& content = QString())
    {
        auto* fields = find<QComboBox>(qPrintable(QStringLiteral("组合框_信息浏览_条件_字段%1").arg(row)));
        fields->setCurrentIndex(fields->findText(field));
        auto* conditions = find<QComboBox>(qPrintable(QStringLiteral("组合框_信息浏览_条件_条件%1").arg(row)));
        if (!condition.isEmpty())
            conditions->setCurrentIndex(conditions->findText(condition));
        find<QLineEdit>(qPrintable(QStringLiteral("编辑框_信息浏览_条件_内容%1").arg(row)))->setText(content);
    }

    void search() { find<QPushButton>("按钮_信息浏览")->click(); }

    void tick(std::initializer_list<int> rows)
    {
        for (int row : rows) {
            if (QTreeWidgetItem* item = list()->topLevelItem(row))
                item->setCheckState(0, Qt::Checked);
            else
                QTest::qFail(qPrintable(QStringLiteral("no list row %1 to tick").arg(row)), __FILE__, __LINE__);
        }
    }

    // Chooses the status selector's entry as the operator does.
    void chooseStatus(const QString& entry)
    {
        auto* selector = find<QComboBox>("组合框_信息浏览_状态");
        selector->setCurrentIndex(selector->findText(entry));
        emit selector->activated(selector->currentIndex());
    }

    QString value(const QString& sql) { return OpenState::value(qPrintable(sql)); }
};

