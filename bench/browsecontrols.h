#pragma once
// The browse page and its search controls, worked as an operator works them.

#include "benchsupport.h"

#include "records/browsepage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <memory>

namespace bench {

struct BrowseControls {
    std::unique_ptr<BrowsePage> page;

    template <typename T>
    T* find(const char* name) const
    {
        T* widget = page->findChild<T*>(QString::fromUtf8(name));
        check(widget != nullptr, name);
        return widget;
    }

    void setCondition(int row, const char* field, const char* condition, const char* content = "")
    {
        auto* fields = find<QComboBox>(qPrintable(QStringLiteral("组合框_信息浏览_条件_字段%1").arg(row)));
        fields->setCurrentIndex(fields->findText(QString::fromUtf8(field)));
        check(fields->currentIndex() >= 0, field);
        auto* conditions = find<QComboBox>(qPrintable(QStringLiteral("组合框_信息浏览_条件_条件%1").arg(row)));
        conditions->setCurrentIndex(conditions->findText(QString::fromUtf8(condition)));
        check(conditions->currentIndex() >= 0, condition);
        find<QLineEdit>(qPrintable(QStringLiteral("编辑框_信息浏览_条件_内容%1").arg(row)))->setText(QString::fromUtf8(content));
    }

    void clearConditions()
    {
        for (int row = 1; row <= 3; ++row)
            find<QComboBox>(qPrintable(QStringLiteral("组合框_信息浏览_条件_字段%1").arg(row)))->setCurrentIndex(0);
    }

    // The total of the page label "2/5  Tol:230".
    int listedTotal() const
    {
        const QString label = find<QLabel>("标签_页码")->text();
        return label.mid(label.indexOf(QStringLiteral("Tol:")) + 4).toInt();
    }
};

} // namespace bench
