#include "printing/templatespage.h"

#include "core/permissions.h"
#include "platform/anchors.h"
#include "platform/dates.h"
#include "platform/events.h"
#include "platform/messagebox.h"
#include "platform/text.h"
#include "printing/fieldpreview.h"
#include "printing/htmlfile.h"
#include "printing/previewwindow.h"
#include "printing/templatecodec.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

QString templateListDate(const QDateTime& added)
{
    return added.date().year() < 2000 ? QString() : dateToText(added);
}

TemplatesPage::TemplatesPage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    const int width = size.width() - 6;
    const int height = size.height();
    auto* frame = new QGroupBox(QStringLiteral("打印模板"), this);
    frame->setObjectName(QStringLiteral("分组框_打印"));
    frame->setGeometry(6, 0, width, height);
    group = frame;

    list = new QTreeWidget(frame);
    list->setObjectName(QStringLiteral("超级列表框_打印"));
    list->setGeometry(8, 20, width - 16, 140);
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setHeaderLabels({QString(), QStringLiteral("短标题"), QStringLiteral("标题"), QStringLiteral("时间"),
                           QStringLiteral("顺序"), QStringLiteral("启用")});
    const int widths[] = {40, 90, 160, 160, 50, 60};
    for (int column = 0; column < 6; ++column)
        list->setColumnWidth(column, widths[column]);
    connect(list, &QTreeWidget::itemSelectionChanged, this, &TemplatesPage::showTemplate);

    auto label = [frame](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, frame);
        l->setGeometry(x, y, w, 22);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    auto edit = [frame](const char* name, int x, int y, int w) {
        auto* box = new QLineEdit(frame);
        box->setObjectName(QString::fromUtf8(name));
        box->setGeometry(x, y, w, 22);
        return box;
    };

    enabledBox = new QCheckBox(QStringLiteral("启用"), frame);
    enabledBox->setObjectName(QStringLiteral("选择框_打印_启用"));
    enabledBox->setGeometry(14, 168, 60, 22);
    enabledBox->setChecked(true);
    label(QStringLiteral("标题名："), 74, 168, 60);
    titleBox = edit("编辑框_打印_标题名", 136, 168, 200);
    label(QStringLiteral("顺序："), 340, 168, 50);
    orderBox = edit("编辑框_打印_顺序", 392, 168, 60);
    auto* hint = new QLabel(QStringLiteral("(越小越靠前)"), frame);
    hint->setGeometry(456, 168, 100, 22);

    label(QStringLiteral("时间："), 74, 196, 60);
    timeBox = edit("编辑框_打印_时间", 136, 196, 200);
    timeBox->setReadOnly(true);
    label(QStringLiteral("短标题："), 340, 196, 50);
    shortTitleBox = edit("编辑框_打印_短标题", 392, 196, 160);
    shortTitleBox->setReadOnly(true);

    auto* contentLabel = new QLabel(QStringLiteral("模板内容："), frame);
    contentLabel->setGeometry(14, 224, 100, 20);
    contentBox = new QPlainTextEdit(frame);
    contentBox->setObjectName(QStringLiteral("编辑框_打印_内容"));
    contentBox->setGeometry(8, 246, width - 16, height - 246 - 42);
    contentBox->setLineWrapMode(QPlainTextEdit::NoWrap);

    struct ButtonSpec {
        const char* name;
        const char* caption;
        std::function<void()> handler;
    };
    const ButtonSpec buttonRows[5] = {
        {"按钮_打印_预览", "预  览", [this] { previewTemplateSource(); }},
        {"按钮_打印_添加", "添  加", [this] { addTemplate(); }},
        {"按钮_打印_修改", "修  改", [this] { modifyTemplate(); }},
        {"按钮_打印_删除", "删  除", [this] { deleteTemplate(); }},
        {"按钮_模板变量", "模板变量", [this] { writeFieldTemplate(state); }},
    };
    for (int i = 0; i < 5; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(buttonRows[i].caption), frame);
        button->setObjectName(QString::fromUtf8(buttonRows[i].name));
        button->setGeometry(width - 8 - (5 - i) * 86, height - 36, 80, 28);
        connect(button, &QPushButton::clicked, this, buttonRows[i].handler);
        buttons[i] = button;
    }
}

void TemplatesPage::registerAnchors(AnchorLayout& anchors)
{
    // The page's frame fills the page.
    anchors.anchor(findChild<QGroupBox*>(QStringLiteral("分组框_打印"), Qt::FindDirectChildrenOnly), {true, true, true, true});
    anchors.anchor(list, {true, true, true, false});
    anchors.anchor(contentBox, {true, true, true, true});
    for (QWidget* button : buttons)
        anchors.anchor(button, {false, false, true, true});
}

void TemplatesPage::loadTemplateList()
{
    list->clear();
    if (!state.db.openShared(templateRowsStatement()))
        return;
    // Every row is read before pending messages run: a handler running in
    // between may reopen the shared record set.
    QVector<QTreeWidgetItem*> items;
    for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext()) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString::number(items.size() + 1));
        item->setData(0, Qt::UserRole, rows.readInteger("id"));
        item->setText(1, rows.readText("mark"));
        item->setText(2, rows.readText("nam"));
        item->setText(3, templateListDate(rows.readDateTime("dtime")));
        item->setText(4, rows.readText("sx"));
        item->setText(5, rows.readInteger("status") == 1 ? QStringLiteral("启用") : QStringLiteral("未启用"));
        items.push_back(item);
    }
    for (int n = 0; n < items.size(); ++n) {
        list->insertTopLevelItem(n, items[n]);
        processPendingMessages();
    }
}

int TemplatesPage::selectedTemplateId() const
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->data(0, Qt::UserRole).toInt();
}

void TemplatesPage::showTemplate()
{
    const int id = selectedTemplateId();
    if (id == 0 || !state.db.openShared(templateByIdStatement(id)))
        return;
    RecordSet& row = state.db.shared();
    if (row.atEnd())
        return;
    enabledBox->setChecked(row.readInteger("status") == 1);
    timeBox->setText(row.readText("dtime"));
    orderBox->setText(row.readText("sx"));
    titleBox->setText(row.readText("nam"));
    shortTitleBox->setText(row.readText("mark"));
    contentBox->setPlainText(decodeTemplateText(row.readText("xx")));
}

bool TemplatesPage::readFilledBoxes(QString& content, QString& title)
{
    content = trimBlanks(contentBox->toPlainText());
    title = trimBlanks(titleBox->text());
    QWidget* empty = content.isEmpty() ? static_cast<QWidget*>(contentBox) : title.isEmpty() ? titleBox : nullptr;
    if (!empty)
        return true;
    messageBox(QStringLiteral("填写错误，请全部填写后再试"));
    empty->setFocus();
    return false;
}

void TemplatesPage::finishWrite(bool succeeded, const QString& successText, const QString& failureText)
{
    state.showResult(titleBox->text() + (succeeded ? successText : failureText));
    if (!succeeded)
        return;
    loadTemplateList();
    titleBox->clear();
    emit templatesChanged();
}

void TemplatesPage::addTemplate()
{
    if (!guardManage(state))
        return;
    QString content, title;
    if (!readFilledBoxes(content, title))
        return;
    const QString sql = insertTemplateStatement(title, content, QDateTime::currentDateTime(), enabledBox->isChecked(),
                                                textToNumber(orderBox->text()));
    finishWrite(executeReported(state, sql), QStringLiteral(" 添加成功"), QStringLiteral(" 添加失败"));
}

void TemplatesPage::modifyTemplate()
{
    if (!guardManage(state))
        return;
    // Without a selected row the update would address no template and still report success.
    const int id = selectedTemplateId();
    if (id == 0) {
        messageBox(QStringLiteral("请先选中要修改项目"));
        return;
    }
    QString content, title;
    if (!readFilledBoxes(content, title))
        return;
    const QString sql =
        updateTemplateStatement(id, title, content, enabledBox->isChecked(), textToNumber(orderBox->text()));
    finishWrite(executeReported(state, sql), QStringLiteral(" 修改成功"), QStringLiteral(" 修改失败"));
}

void TemplatesPage::deleteTemplate()
{
    if (!guardManage(state))
        return;
    const int id = selectedTemplateId();
    if (id == 0) {
        messageBox(QStringLiteral("请选中删除的项目"));
        return;
    }
    finishWrite(executeReported(state, deleteTemplateStatement(id)), QStringLiteral(" 删除成功"),
                QStringLiteral(" 删除失败"));
}

void TemplatesPage::previewTemplateSource()
{
    PrintPreviewWindow& window = openPrintPreview(state);
    const QString path = state.programFile(QStringLiteral("pre.htm"));
    writeHtmlFile(path, contentBox->toPlainText());
    window.showFile(path);
}
