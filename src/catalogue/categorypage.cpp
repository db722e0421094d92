#include "catalogue/categorypage.h"

#include "catalogue/pageparts.h"
#include "core/permissions.h"
#include "platform/anchors.h"
#include "platform/messagebox.h"
#include "platform/text.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

const QString enabledText = QStringLiteral("启用");
const QString disabledText = QStringLiteral("未启用");

} // namespace

CategoryPage::CategoryPage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    const int width = size.width() - 6;
    const int height = size.height();
    auto* frame = new QGroupBox(QStringLiteral("报名项目分类"), this);
    frame->setObjectName(QStringLiteral("分组框_分类"));
    frame->setGeometry(6, 0, width, height);

    constexpr int lowerHeight = 150;
    list = makeCatalogueList(frame, QStringLiteral("超级列表框_多地点"),
                             {QStringLiteral("名称"), QStringLiteral("顺序"), QStringLiteral("简介"), QStringLiteral("状态")},
                             {50, 150, 60, 240, 60});
    list->setGeometry(8, 20, width - 16, height - 20 - lowerHeight - 12);
    connect(list, &QTreeWidget::itemSelectionChanged, this, &CategoryPage::showCategory);

    auto* lower = new QGroupBox(frame);
    lower->setObjectName(QStringLiteral("分组框_分类_下"));
    lower->setGeometry(8, height - lowerHeight - 8, width - 16, lowerHeight);
    lowerGroup = lower;

    makeFieldLabel(lower, QStringLiteral("名称"), 4, 18, 40);
    nameBox = new QLineEdit(lower);
    nameBox->setObjectName(QStringLiteral("编辑框_多地点_名称"));
    nameBox->setGeometry(48, 18, 180, 22);
    makeFieldLabel(lower, QStringLiteral("顺序"), 232, 18, 40);
    orderBox = new QLineEdit(lower);
    orderBox->setObjectName(QStringLiteral("编辑框_多地点_顺序"));
    orderBox->setGeometry(276, 18, 60, 22);
    enabledBox = new QCheckBox(enabledText, lower);
    enabledBox->setObjectName(QStringLiteral("选择框_多地点_启用"));
    enabledBox->setGeometry(352, 18, 70, 22);
    enabledBox->setChecked(true);
    makeFieldLabel(lower, QStringLiteral("简介"), 4, 48, 40);
    descriptionBox = new QPlainTextEdit(lower);
    descriptionBox->setObjectName(QStringLiteral("编辑框_多地点_简介"));
    descriptionBox->setGeometry(48, 48, lower->width() - 48 - 112, lowerHeight - 48 - 10);

    const char* const names[] = {"按钮_多地_添加", "按钮_多地_修改", "按钮_多地_删除"};
    makeButtonColumn(lower, names, buttons);
    connect(buttons[0], &QPushButton::clicked, this, &CategoryPage::addCategory);
    connect(buttons[1], &QPushButton::clicked, this, &CategoryPage::modifyCategory);
    connect(buttons[2], &QPushButton::clicked, this, &CategoryPage::deleteCategory);
}

void CategoryPage::registerAnchors(AnchorLayout& anchors)
{
    // The page's frame fills the page.
    anchors.anchor(findChild<QGroupBox*>(QStringLiteral("分组框_分类"), Qt::FindDirectChildrenOnly), {true, true, true, true});
    anchors.anchor(list, {true, true, true, true});
    anchors.anchor(lowerGroup, {true, false, true, true});
    anchors.anchor(descriptionBox, {true, true, true, false});
    for (QWidget* button : buttons)
        anchors.anchor(button, {false, true, true, false});
}

void CategoryPage::fillCategoryPage()
{
    list->clear();
    if (!state.db.openShared(categoryRowsStatement()))
        return;
    QList<QTreeWidgetItem*> items;
    for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext()) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString::number(items.size() + 1));
        item->setData(0, Qt::UserRole, rows.readInteger(0));
        item->setText(1, rows.readText("name"));
        item->setText(2, rows.readText("sx"));
        item->setText(3, rows.readText("xx"));
        item->setText(4, rows.readInteger("status") == 1 ? enabledText : disabledText);
        items << item;
    }
    addRowsLettingMessagesRun(list, items);
}

// From the row's cells, not from the database.
void CategoryPage::showCategory()
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty())
        return;
    const QTreeWidgetItem* row = selected.first();
    nameBox->setText(row->text(1));
    orderBox->setText(row->text(2));
    descriptionBox->setPlainText(row->text(3));
    enabledBox->setChecked(row->text(4) == enabledText);
}

int CategoryPage::selectedCategoryId() const
{
    return selectedRowId(list);
}

CategoryValues CategoryPage::enteredValues() const
{
    return {nameBox->text(), textToNumber(orderBox->text()), enabledBox->isChecked(), descriptionBox->toPlainText()};
}

bool CategoryPage::refuseEmptyName(const QString& hint)
{
    if (!trimBlanks(nameBox->text()).isEmpty())
        return false;
    emit hintShown(hint);
    messageBox(QStringLiteral("信息没有填写完全"), MessageStyle::Plain, QStringLiteral("错误"));
    return true;
}

void CategoryPage::addCategory()
{
    if (!guardManage(state) || refuseEmptyName(QStringLiteral("信息没有填写完全")))
        return;
    CategoryValues values = enteredValues();
    values.name = trimBlanks(values.name);
    if (!executeReported(state, insertCategoryStatement(values))) {
        state.showResult(QStringLiteral("添加失败"));
        return;
    }
    state.showResult(QStringLiteral("保存成功"));
    fillCategoryPage();
    nameBox->clear();
}

void CategoryPage::modifyCategory()
{
    if (!guardManage(state))
        return;
    const int id = selectedCategoryId();
    if (id == 0) {
        messageBox(QStringLiteral("请先选中要修改项目"));
        return;
    }
    if (refuseEmptyName(QStringLiteral("没有填写完全")))
        return;
    // The name is stored as typed, the description trimmed.
    CategoryValues values = enteredValues();
    values.description = trimBlanks(values.description);
    const QString name = nameBox->text();
    if (!executeReported(state, updateCategoryStatement(id, values))) {
        state.showResult(name + QStringLiteral(" 修改失败"));
        return;
    }
    state.showResult(name + QStringLiteral(" 修改成功"));
    fillCategoryPage();
    nameBox->clear();
}

void CategoryPage::deleteCategory()
{
    const int id = selectedCategoryId();
    if (id == 0) {
        messageBox(QStringLiteral("请先选中要删除的项目"));
        return;
    }
    // The question comes before the permission test.
    if (messageBox(QStringLiteral("确定删除吗？"), MessageStyle::YesNo | MessageStyle::SystemModal) != AnswerYes)
        return;
    if (!guardManage(state))
        return;
    const QString name = nameBox->text();
    if (!executeReported(state, deleteCategoryStatement(id))) {
        state.showResult(name + QStringLiteral(" 删除失败"));
        return;
    }
    delete list->selectedItems().first();
    state.showResult(name + QStringLiteral("  删除成功"));
}
