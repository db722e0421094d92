#include "printing/fieldpreview.h"

#include "core/lists.h"
#include "platform/events.h"
#include "platform/text.h"
#include "printing/htmlfile.h"
#include "printing/previewwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace {

constexpr int controlTop = 18;
constexpr int lineHeight = 20;

int captionWidthOf(const QString& name)
{
    return gbkLength(name) * 7;
}

// A shown copy of a hidden template: its name and font, placed in the group.
template <typename T>
T* cloneOf(QWidget* templateControl, QGroupBox* group)
{
    auto* clone = new T(group);
    clone->setObjectName(templateControl->objectName());
    clone->setFont(templateControl->font());
    clone->resize(templateControl->size());
    return clone;
}

} // namespace

QStringList previewOptions(const PreviewedItem& item, const QVector<Programme>& programmes)
{
    const QString column = trimBlanks(item.column).toLower();
    if (column == QLatin1String("bm1") || column == QLatin1String("bm2") || column == QLatin1String("bm3")) {
        QStringList names;
        for (const Programme& programme : programmes)
            names << programme.name;
        return names;
    }
    if (column == QLatin1String("xb"))
        return {QStringLiteral("男"), QStringLiteral("女")};
    return item.presets.split(QStringLiteral("||"));
}

QVector<QRect> previewOptionGeometries(int captionWidth, const QStringList& options, int clientWidth)
{
    QVector<QRect> places;
    int line = 1;
    for (const QString& option : options) {
        const int width = gbkLength(option) * 8 + 14;
        int left = places.isEmpty() ? captionWidth + 26 : places.last().right() + 1 + 10;
        if (!places.isEmpty() && left + width > clientWidth) {
            left = places.first().left();
            ++line;
        }
        places.push_back(QRect(left, (line - 1) * lineHeight + controlTop, width, lineHeight));
    }
    return places;
}

FieldPreview::FieldPreview(QGroupBox* previewGroup) : QObject(previewGroup), group(previewGroup)
{
    caption = new QLabel(group);
    caption->setObjectName(QStringLiteral("标签14_预览项目名"));
    caption->setGeometry(20, controlTop, 0, 22);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    editTemplate = new QLineEdit(group);
    editTemplate->setObjectName(QStringLiteral("编辑框_表单_预览_模板"));
    editTemplate->setGeometry(0, controlTop, 160, 22);
    radioTemplate = new QRadioButton(group);
    radioTemplate->setObjectName(QStringLiteral("单选框_表单_预览_模板"));
    radioTemplate->setGeometry(0, controlTop, 60, lineHeight);
    checkTemplate = new QCheckBox(group);
    checkTemplate->setObjectName(QStringLiteral("选择框_表单_预览_模板"));
    checkTemplate->setGeometry(0, controlTop, 60, lineHeight);
    listTemplate = new QComboBox(group);
    listTemplate->setObjectName(QStringLiteral("组合框_表单_预览_模板"));
    listTemplate->setGeometry(0, controlTop, 160, 22);
    for (QWidget* hidden : {editTemplate, radioTemplate, checkTemplate, listTemplate})
        hidden->hide();
}

void FieldPreview::clearClones()
{
    qDeleteAll(clones);
    clones.clear();
}

void FieldPreview::setCaption(const QString& text)
{
    caption->setText(text);
    processPendingMessages();
}

void FieldPreview::previewItem(AppState& state, const PreviewedItem& item)
{
    if (state.programmeList.isEmpty())
        loadProgrammeList(state);
    clearClones();

    const int captionWidth = captionWidthOf(item.name);
    caption->resize(captionWidth, caption->height());
    caption->setText(item.name + QLatin1Char(':'));
    const int left = captionWidth + 26;
    const QStringList options = previewOptions(item, state.programmeList);

    if (item.typeName == QStringLiteral("单行文本框")) {
        auto* box = cloneOf<QLineEdit>(editTemplate, group);
        box->move(left, controlTop);
        box->setText(item.presets);
        clones << box;
    } else if (item.typeName == QStringLiteral("多行文本框")) {
        auto* box = cloneOf<QPlainTextEdit>(editTemplate, group);
        box->setProperty("tag", QStringLiteral("yl"));
        box->setGeometry(left, controlTop, editTemplate->width(), 50);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setPlainText(item.presets);
        clones << box;
    } else if (item.typeName == QStringLiteral("单选框") || item.typeName == QStringLiteral("多选框")) {
        const bool radio = item.typeName == QStringLiteral("单选框");
        const QVector<QRect> places = previewOptionGeometries(captionWidth, options, group->contentsRect().width());
        for (int k = 0; k < options.size(); ++k) {
            QAbstractButton* option = radio ? static_cast<QAbstractButton*>(cloneOf<QRadioButton>(radioTemplate, group))
                                            : cloneOf<QCheckBox>(checkTemplate, group);
            option->setText(options[k]);
            option->setGeometry(places[k]);
            clones << option;
        }
    } else if (item.typeName == QStringLiteral("选择列表框")) {
        auto* selector = cloneOf<QComboBox>(listTemplate, group);
        selector->move(left, controlTop);
        selector->addItems(options);
        clones << selector;
    }
    for (QWidget* clone : clones)
        clone->show();
}

QString fieldTemplateEntries(const QVector<FormItem>& items)
{
    QString entries;
    for (const FormItem& item : items)
        entries += QStringLiteral("<dl><dt><label>") + item.nam
                   + QStringLiteral(":</label></dt><dd><input name=\"xm\"  class=\"small\" type=\"text\" value=\"[!--")
                   + item.zd + QStringLiteral("--]\" /></dd></dl>");
    return entries;
}

void writeFieldTemplate(AppState& state)
{
    QString page = readHtmlFile(state.programFile(QStringLiteral("mb/zd_mb.htm")));
    if (state.formItems.isEmpty())
        loadFormItems(state);
    page.replace(QStringLiteral("allname"), fieldTemplateEntries(state.formItems), Qt::CaseSensitive);

    const QString path = state.programFile(QStringLiteral("zd_mb.htm"));
    writeHtmlFile(path, page);

    const bool wasOpen = printPreviewWindow() != nullptr;
    PrintPreviewWindow& window = openPrintPreview(state);
    if (!wasOpen)
        window.showDocumentOnly();
    window.showFile(path);
}
