#include "form/designer.h"

#include "core/lists.h"
#include "core/permissions.h"
#include "platform/anchors.h"
#include "platform/events.h"
#include "platform/messagebox.h"
#include "platform/text.h"
#include "printing/fieldpreview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

const char* const typeNames[] = {"单行文本框", "多行文本框", "单选框", "多选框", "选择列表框"};

struct Rule {
    const char* text;
    const char* code;
};
const Rule rules[ruleCount] = {
    {"任意字符", "*"}, {"6到16位任意字符", "*6-16"}, {"数字", "n"},     {"6到16位数字", "n6-16"}, {"字符串类型", "s"},
    {"6到18位字符串", "s6-18"}, {"邮政编码", "p"},   {"手机号码", "m"}, {"email", "e"},          {"网址", "url"},
};

struct ListColumn {
    const char* header;
    int width;  // 0: hidden, holding values the selection copies back
};
const ListColumn listColumns[] = {{"", 30},      {"项目名", 120}, {"启用", 50},     {"顺序", 50},     {"类型", 80},
                                  {"预设值", 100}, {"必填", 50},   {"验证规则", 0}, {"输入提示", 0}, {"字段", 0}};
enum Column { Number, Caption, Enabled, Order, Type, Preset, Required, RuleCode, Hint, Field };

bool isOneOf(const QString& zd, std::initializer_list<const char*> columns)
{
    for (const char* column : columns)
        if (zd == QLatin1String(column))
            return true;
    return false;
}

} // namespace

QString typeName(int code)
{
    return code >= 0 && code < int(std::size(typeNames)) ? QString::fromUtf8(typeNames[code]) : QString();
}

int typeCodeOfName(const QString& name, int previous)
{
    for (int code = 0; code < int(std::size(typeNames)); ++code)
        if (name == QString::fromUtf8(typeNames[code]))
            return code;
    return previous;
}

QVector<int> allowedTypes(const QString& zd)
{
    if (zd == QLatin1String("dd"))
        return {ItemType::List};
    if (zd == QLatin1String("xb"))
        return {ItemType::Radio};
    if (isOneOf(zd, {"bm1", "bm2"}))
        return {ItemType::Radio, ItemType::List};
    if (zd == QLatin1String("bm3"))
        return {ItemType::Radio, ItemType::Check, ItemType::List};
    if (isOneOf(zd, {"xm", "nl", "mz", "zj"}))
        return {ItemType::Text};
    return {ItemType::Text, ItemType::MultiLineText, ItemType::Radio, ItemType::Check, ItemType::List};
}

QString ruleEntryText(int entry)
{
    return entry >= 0 && entry < ruleCount ? QString::fromUtf8(rules[entry].text) : QString();
}

QString ruleCode(int entry)
{
    return entry >= 0 && entry < ruleCount ? QString::fromUtf8(rules[entry].code) : QString();
}

QString typeRefusal(const QString& zd, int type)
{
    if (zd == QLatin1String("xb") && type != ItemType::Radio)
        return QStringLiteral("类型选择错误：性别必须设置成单选框");
    if (isOneOf(zd, {"bm1", "bm2", "bm3"}) && type < ItemType::Radio)
        return QStringLiteral("类型选择错误：只能设置成单选框，多选框，选择列表框");
    if (zd == QLatin1String("dd") && type != ItemType::List)
        return QStringLiteral("类型选择错误：本项必须为选择列表框");
    return {};
}

bool orderShouldBeNegative(const QString& zd, double order)
{
    return order > 0.0000001 && isOneOf(zd, {"bm1", "bm2", "bm3", "dd"});
}

QStringList freeItemColumns()
{
    QStringList columns;
    for (int n = 1; n <= 10; ++n)
        columns << QStringLiteral("kz%1").arg(n);
    return columns;
}

DesignerPage::DesignerPage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    const int width = size.width() - 6;
    const int height = size.height();
    auto* group = new QGroupBox(QStringLiteral("表单设置"), this);
    group->setObjectName(QStringLiteral("分组框_表单"));
    group->setGeometry(6, 0, width, height);
    frame = group;

    list = new QTreeWidget(group);
    list->setObjectName(QStringLiteral("超级列表框_表单"));
    list->setGeometry(8, 20, width - 16, height - 20 - 286);
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setColumnCount(int(std::size(listColumns)));
    QStringList headers;
    for (const ListColumn& c : listColumns)
        headers << QString::fromUtf8(c.header);
    list->setHeaderLabels(headers);
    list->header()->setStretchLastSection(false);
    for (int c = 0; c < int(std::size(listColumns)); ++c) {
        list->setColumnWidth(c, listColumns[c].width);
        list->setColumnHidden(c, listColumns[c].width == 0);
    }
    connect(list, &QTreeWidget::itemSelectionChanged, this, &DesignerPage::showSelectedItem);

    auto* edit = new QGroupBox(QStringLiteral("项目设置"), group);
    edit->setObjectName(QStringLiteral("分组框_表单_编辑"));
    edit->setGeometry(8, height - 262, width - 16, 170);
    editGroup = edit;
    auto label = [edit](const char* text, int x, int y, int w) {
        auto* l = new QLabel(QString::fromUtf8(text), edit);
        l->setGeometry(x, y, w, 22);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    auto lineEdit = [edit](const char* objectName, int x, int y, int w) {
        auto* box = new QLineEdit(edit);
        box->setObjectName(QString::fromUtf8(objectName));
        box->setGeometry(x, y, w, 22);
        return box;
    };

    enabledBox = new QCheckBox(QStringLiteral("启用"), edit);
    enabledBox->setObjectName(QStringLiteral("选择框_表单_启用"));
    enabledBox->setGeometry(16, 20, 56, 22);
    label("名称", 72, 20, 40);
    name = lineEdit("编辑框_表单_名称", 116, 20, 150);
    label("顺序", 270, 20, 40);
    order = lineEdit("编辑框_表单_顺序", 314, 20, 70);
    requiredBox = new QCheckBox(QStringLiteral("必填"), edit);
    requiredBox->setObjectName(QStringLiteral("选择框_表单_必填"));
    requiredBox->setGeometry(392, 20, 50, 22);

    label("类型", 72, 48, 40);
    type = new QComboBox(edit);
    type->setObjectName(QStringLiteral("组合框_表单_类型"));
    type->setGeometry(116, 48, 150, 22);
    label("验证", 270, 48, 40);
    rule = new QComboBox(edit);
    rule->setObjectName(QStringLiteral("组合框_表单_验证"));
    rule->setGeometry(314, 48, 138, 22);
    rule->setEditable(true);
    rule->setInsertPolicy(QComboBox::NoInsert);
    for (int entry = 0; entry < ruleCount; ++entry)
        rule->addItem(ruleEntryText(entry));
    rule->setCurrentIndex(-1);
    connect(rule, &QComboBox::currentIndexChanged, this, &DesignerPage::applyRuleCode);
    connect(rule, &QComboBox::activated, this, &DesignerPage::applyRuleCode);

    label("预设值", 52, 76, 60);
    preset = lineEdit("编辑框_表单_预设值", 116, 76, edit->width() - 116 - 12);
    label("输入提示", 40, 104, 72);
    hint = lineEdit("编辑框14_输入提示", 116, 104, edit->width() - 116 - 12);

    // The row's identity, shown only: the save writes to the selected row.
    QLabel* idLabel = label("id", edit->width() - 168, 20, 24);
    idBox = lineEdit("编辑框_表单_id", edit->width() - 140, 20, 40);
    idBox->setReadOnly(true);
    QLabel* columnLabel = label("字段", edit->width() - 98, 20, 32);
    column = lineEdit("编辑框_表单_字段", edit->width() - 62, 20, 50);
    column->setReadOnly(true);

    const char* const names[] = {"按钮_表单_添加项目", "按钮_表单_修改项目", "按钮_表单_预览", "按钮_模板变量"};
    const char* const captions[] = {"添加项目", "修改项目", "预  览", "模板变量"};
    QPushButton* buttons[4] = {};
    for (int i = 0; i < 4; ++i) {
        buttons[i] = new QPushButton(QString::fromUtf8(captions[i]), edit);
        buttons[i]->setObjectName(QString::fromUtf8(names[i]));
        buttons[i]->setGeometry(edit->width() - 356 + i * 86, 134, 80, 26);
    }
    connect(buttons[0], &QPushButton::clicked, this, &DesignerPage::addFormItem);
    connect(buttons[1], &QPushButton::clicked, this, &DesignerPage::saveItemChanges);
    previewCommand = buttons[2];
    fieldTemplateCommand = buttons[3];
    rightButtons = {idLabel, idBox, columnLabel, column, buttons[0], buttons[1], buttons[2], buttons[3]};

    preview = new QGroupBox(QStringLiteral("预览"), group);
    preview->setObjectName(QStringLiteral("分组框14_预览"));
    preview->setGeometry(8, height - 88, width - 16 - 96, 80);
    auto* add = new QPushButton(QStringLiteral("添加项目"), group);
    add->setObjectName(QStringLiteral("按钮14_添加项目"));
    add->setGeometry(width - 94, height - 60, 86, 28);
    connect(add, &QPushButton::clicked, this, &DesignerPage::addFormItem);
    addBesidePreview = add;

    fieldPreview = new FieldPreview(preview);
    connect(name, &QLineEdit::textChanged, this, [this](const QString& text) {
        fieldPreview->setCaption(text);
        processPendingMessages();
    });
    connect(this, &DesignerPage::itemPreviewRequested, this, &DesignerPage::previewItem);
    connect(previewCommand, &QPushButton::clicked, this, [this] {
        if (!selectedRow()) {
            messageBox(QStringLiteral("请选中需要预览的项目"), MessageStyle::SystemModal);
            return;
        }
        previewItem();
    });
    connect(fieldTemplateCommand, &QPushButton::clicked, this, [this] { writeFieldTemplate(state); });
}

void DesignerPage::previewItem()
{
    fieldPreview->previewItem(state, {name->text(), column->text(), type->currentText(), preset->text()});
}

void DesignerPage::registerAnchors(AnchorLayout& anchors)
{
    // The page's frame fills the page.
    anchors.anchor(findChild<QGroupBox*>(QStringLiteral("分组框_表单"), Qt::FindDirectChildrenOnly), {true, true, true, true});
    anchors.anchor(list, {true, true, true, true});
    anchors.anchor(editGroup, {true, false, true, true});
    anchors.anchor(preset, {true, true, true, false});
    anchors.anchor(hint, {true, true, true, false});
    for (QWidget* control : std::as_const(rightButtons))
        anchors.anchor(control, {false, true, true, false});
    anchors.anchor(preview, {true, false, true, true});
    anchors.anchor(addBesidePreview, {false, false, true, true});
}

void DesignerPage::loadDesignerList()
{
    list->clear();
    if (!openReported(state, styleRowsStatement()))
        return;
    // Every row is read before pending messages run: a handler running in
    // between may reopen the shared record set.
    QList<QTreeWidgetItem*> items;
    for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext()) {
        auto* row = new QTreeWidgetItem;
        row->setText(Number, QString::number(items.size() + 1));
        row->setData(Number, Qt::UserRole, rows.readInteger("id"));
        row->setText(Caption, rows.readText("nam"));
        row->setText(Enabled, rows.readInteger("status") == 1 ? QStringLiteral("启用") : QString());
        row->setText(Order, rows.readText("sx"));
        row->setText(Type, typeName(rows.readInteger("lx")));
        row->setText(Preset, rows.readText("val"));
        row->setText(Required, rows.readInteger("bt") == 1 ? QStringLiteral("必填") : QString());
        row->setText(RuleCode, rows.readText("yz"));
        row->setText(Hint, rows.readText("ts"));
        row->setText(Field, rows.readText("zd"));
        items << row;
    }
    for (QTreeWidgetItem* row : items) {
        list->addTopLevelItem(row);
        processPendingMessages();
    }
}

QTreeWidgetItem* DesignerPage::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void DesignerPage::selectRowWithId(int id)
{
    for (int n = 0; n < list->topLevelItemCount(); ++n)
        if (list->topLevelItem(n)->data(Number, Qt::UserRole).toInt() == id) {
            list->setCurrentItem(list->topLevelItem(n));
            return;
        }
}

void DesignerPage::showSelectedItem()
{
    const QTreeWidgetItem* row = selectedRow();
    if (!row)
        return;
    name->setText(row->text(Caption));
    order->setText(row->text(Order));
    preset->setText(row->text(Preset));
    rule->setEditText(row->text(RuleCode));
    hint->setText(row->text(Hint));
    column->setText(row->text(Field));

    shownTypeCode = typeCodeOfName(row->text(Type), shownTypeCode);
    QStringList names;
    const QVector<int> codes = allowedTypes(row->text(Field));
    for (int code : codes)
        names << typeName(code);
    fillTypeChoices(names, codes);
    type->setCurrentIndex(type->findData(shownTypeCode));

    enabledBox->setChecked(row->text(Enabled) == QStringLiteral("启用"));
    requiredBox->setChecked(row->text(Required) == QStringLiteral("必填"));
    idBox->setText(QString::number(row->data(Number, Qt::UserRole).toInt()));
    emit itemPreviewRequested();
}

void DesignerPage::fillTypeChoices(const QStringList& names, const QVector<int>& codes)
{
    type->clear();
    for (int i = 0; i < names.size() && i < codes.size(); ++i)
        type->addItem(names[i], codes[i]);
}

void DesignerPage::applyRuleCode()
{
    const int entry = rule->currentIndex();
    if (entry >= 0 && entry < ruleCount)
        rule->setEditText(ruleCode(entry));
}

void DesignerPage::saveItemChanges()
{
    if (!guardManage(state))
        return;
    if (!selectedRow()) {
        messageBox(QStringLiteral("请先选中要修改项目"));
        return;
    }
    // A row whose stored type is not offered for its column shows no type:
    // the operator chooses one rather than a code being made up.
    if (type->currentIndex() < 0) {
        messageBox(QStringLiteral("请选择类型"));
        type->setFocus();
        return;
    }
    const int typeCode = type->currentData().toInt();
    const QString zd = column->text();
    if (const QString refusal = typeRefusal(zd, typeCode); !refusal.isEmpty()) {
        messageBox(refusal);
        return;
    }
    if (orderShouldBeNegative(zd, textToNumber(order->text()))) {
        messageBox(QStringLiteral("顺序优化建议：最好将本顺序设置为负值，使之排在表单的最前列。"));
        order->setFocus();
        return;
    }
    const int id = qRound(textToNumber(idBox->text()));
    if (id < 0) {
        messageBox(QStringLiteral("有误，请联系客服"));
        return;
    }
    const QString caption = name->text();
    StyleRowChanges changes;
    changes.id = id;
    changes.nam = caption;
    changes.lx = typeCode;
    changes.val = preset->text();
    changes.required = requiredBox->isChecked();
    changes.yz = rule->currentText();
    changes.order = order->text();
    changes.ts = hint->text();
    changes.enabled = enabledBox->isChecked();
    const std::optional<QString> statement = updateStyleStatement(changes);
    if (!statement) {
        messageBox(QStringLiteral("顺序必须是数字"), MessageStyle::Error);
        state.showResult(caption + QStringLiteral(" 修改失败"));
        order->setFocus();
        return;
    }
    if (!executeReported(state, *statement)) {
        state.showResult(caption + QStringLiteral(" 修改失败"));
        return;
    }
    processPendingMessages();
    state.showResult(caption + QStringLiteral(" 修改成功"));
    const bool isCategoryItem = zd == QLatin1String("dd");
    if (isCategoryItem)
        state.unitSettings.multiLocation = changes.enabled ? 1 : 0;
    loadDesignerList();
    loadFormItems(state);

    if (isCategoryItem) {
        if (executeReported(state, multiLocationStatement(changes.enabled), MessageStyle::SystemModal)) {
            state.showResult(QStringLiteral("专业分类修改成功"));
            emit multiLocationChanged(changes.enabled);
        } else {
            state.showResult(state.db.lastErrorForOperator());
        }
    }
    selectRowWithId(id);
}

void DesignerPage::addFormItem()
{
    if (!guardManage(state))
        return;
    if (!openReported(state, unusedStyleItemsStatement()))
        return;
    // The first unused free item in column order.
    int chosenId = 0;
    int chosenRank = int(freeItemColumns().size());
    QString chosenName;
    for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext()) {
        const int rank = int(freeItemColumns().indexOf(rows.readText("zd")));
        if (rank >= 0 && rank < chosenRank) {
            chosenRank = rank;
            chosenId = rows.readInteger("id");
            chosenName = rows.readText("nam");
        }
    }
    if (chosenId == 0) {
        messageBox(QStringLiteral("十个扩展项目都已启用，没有可以添加的项目"));
        return;
    }
    if (!executeReported(state, enableStyleStatement(chosenId))) {
        state.showResult(chosenName + QStringLiteral(" 添加失败"));
        return;
    }
    state.showResult(chosenName + QStringLiteral(" 添加成功"));
    loadDesignerList();
    loadFormItems(state);
    selectRowWithId(chosenId);
    name->setFocus();
    name->selectAll();
}
