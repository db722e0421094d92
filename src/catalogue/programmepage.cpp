#include "catalogue/programmepage.h"

#include "catalogue/deadlinebox.h"
#include "catalogue/pageparts.h"
#include "core/lists.h"
#include "core/permissions.h"
#include "platform/anchors.h"
#include "platform/dates.h"
#include "platform/messagebox.h"
#include "platform/text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {

const QString enabledText = QStringLiteral("启用");
const QString disabledText = QStringLiteral("未启用");
constexpr int firstDeadlineYear = 2000;

// Columns of 超级列表框_专业.
enum Column : int { Name = 1, Fee, Quota, Registered, Deadline, Summary, Introduction, Order, Status, CategoryId };

} // namespace

QString deadlineForStatement(const QString& boxText)
{
    const std::optional<QDateTime> moment = textToDate(boxText);
    if (!moment || moment->date().year() < firstDeadlineYear)
        return dateToText(zeroDate());
    return boxText;
}

QString deadlineCellText(const QDateTime& deadline)
{
    return deadline.date().year() < firstDeadlineYear ? QString() : dateToText(deadline);
}

QString positiveCellText(int value)
{
    return value > 0 ? QString::number(value) : QString();
}

ProgrammePage::ProgrammePage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    const int width = size.width() - 6;
    const int height = size.height();
    auto* frame = new QGroupBox(QStringLiteral("报名项目/专业"), this);
    frame->setObjectName(QStringLiteral("分组框_专业"));
    frame->setGeometry(6, 0, width, height);

    constexpr int lowerHeight = 190;
    list = makeCatalogueList(frame, QStringLiteral("超级列表框_专业"),
                             {QStringLiteral("名称"), QStringLiteral("费用"), QStringLiteral("人数"), QStringLiteral("已报名"),
                              QStringLiteral("截止日期"), QStringLiteral("简介"), QStringLiteral("详细介绍"),
                              QStringLiteral("顺序"), QStringLiteral("状态"), QStringLiteral("多地点")},
                             {50, 120, 50, 50, 50, 150, 100, 120, 40, 50, 50});
    list->setGeometry(8, 20, width - 16, height - 20 - lowerHeight - 12);
    connect(list, &QTreeWidget::itemSelectionChanged, this, &ProgrammePage::showProgramme);

    auto* lower = new QGroupBox(frame);
    lower->setObjectName(QStringLiteral("分组框_专业_下"));
    lower->setGeometry(8, height - lowerHeight - 8, width - 16, lowerHeight);
    lowerGroup = lower;
    const int fieldsRight = lower->width() - 112;

    auto lineEdit = [lower](const char* name, int x, int y, int w) {
        auto* box = new QLineEdit(lower);
        box->setObjectName(QString::fromUtf8(name));
        box->setGeometry(x, y, w, 22);
        return box;
    };

    categoryLabel = makeFieldLabel(lower, QStringLiteral("分类"), 4, 18, 56);
    categoryLabel->setObjectName(QStringLiteral("标签75"));
    categorySelector = new QComboBox(lower);
    categorySelector->setObjectName(QStringLiteral("组合框_专业_多点"));
    categorySelector->setGeometry(64, 18, 130, 22);
    connect(categorySelector, &QComboBox::currentIndexChanged, this, &ProgrammePage::onProgrammeCategoryChosen);
    makeFieldLabel(lower, QStringLiteral("名称"), 198, 18, 56);
    nameBox = lineEdit("编辑框_专业_名称", 258, 18, 170);
    enabledBox = new QCheckBox(enabledText, lower);
    enabledBox->setObjectName(QStringLiteral("选择框_专业_启用"));
    enabledBox->setGeometry(440, 18, 60, 22);
    enabledBox->setChecked(true);

    makeFieldLabel(lower, QStringLiteral("费用"), 4, 48, 56);
    feeBox = lineEdit("编辑框_专业_费用", 64, 48, 70);
    makeFieldLabel(lower, QStringLiteral("人数"), 138, 48, 56);
    quotaBox = lineEdit("编辑框_专业_人数", 198, 48, 70);
    makeFieldLabel(lower, QStringLiteral("顺序"), 272, 48, 56);
    orderBox = lineEdit("编辑框_专业_顺序", 332, 48, 60);

    makeFieldLabel(lower, QStringLiteral("截至日期"), 4, 78, 56);
    deadline = new DeadlineBox(lower);
    deadline->setObjectName(QStringLiteral("编辑框_专业_日期"));
    deadline->setGeometry(64, 78, 160, 22);
    makeFieldLabel(lower, QStringLiteral("简介"), 226, 78, 28);
    summaryBox = lineEdit("编辑框_专业_简介", 258, 78, fieldsRight - 258);

    makeFieldLabel(lower, QStringLiteral("介绍"), 4, 108, 56);
    introductionBox = new QPlainTextEdit(lower);
    introductionBox->setObjectName(QStringLiteral("编辑框_专业_介绍"));
    introductionBox->setGeometry(64, 108, fieldsRight - 64, lowerHeight - 108 - 10);

    const char* const names[] = {"按钮_专业_添加专业", "按钮_专业_修改专业", "按钮_专业_删除专业"};
    makeButtonColumn(lower, names, buttons);
    connect(buttons[0], &QPushButton::clicked, this, &ProgrammePage::addProgramme);
    connect(buttons[1], &QPushButton::clicked, this, &ProgrammePage::modifyProgramme);
    connect(buttons[2], &QPushButton::clicked, this, &ProgrammePage::deleteProgramme);
}

void ProgrammePage::registerAnchors(AnchorLayout& anchors)
{
    // The page's frame fills the page.
    anchors.anchor(findChild<QGroupBox*>(QStringLiteral("分组框_专业"), Qt::FindDirectChildrenOnly), {true, true, true, true});
    anchors.anchor(list, {true, true, true, true});
    anchors.anchor(lowerGroup, {true, false, true, true});
    anchors.anchor(summaryBox, {true, true, true, false});
    anchors.anchor(introductionBox, {true, true, true, false});
    for (QWidget* button : buttons)
        anchors.anchor(button, {false, true, true, false});
}

void ProgrammePage::setCategoryChoiceVisible(bool visible)
{
    categoryLabel->setVisible(visible);
    categorySelector->setVisible(visible);
}

void ProgrammePage::loadProgrammePage()
{
    deadline->setDeadlineBox();
    fillProgrammePage();
}

void ProgrammePage::fillProgrammePage()
{
    list->clear();
    if (state.db.openShared(programmeRowsStatement())) {
        QList<QTreeWidgetItem*> items;
        for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext()) {
            auto* item = new QTreeWidgetItem;
            item->setText(0, QString::number(items.size() + 1));
            item->setData(0, Qt::UserRole, rows.readInteger(0));
            item->setText(Name, rows.readText("name"));
            item->setText(Fee, positiveCellText(rows.readInteger("xuefei")));
            item->setText(Quota, positiveCellText(rows.readInteger("renshu")));
            item->setText(Registered, QString::number(rows.readInteger("yibaoming")));
            item->setText(Deadline, deadlineCellText(rows.readDateTime("jzrq")));
            item->setText(Summary, rows.readText("yjh"));
            item->setText(Introduction, rows.readText("jieshao"));
            item->setText(Order, rows.readText("sx"));
            item->setText(Status, rows.readInteger("status") == 1 ? enabledText : disabledText);
            item->setText(CategoryId, QString::number(rows.readInteger("ddid")));
            items << item;
        }
        addRowsLettingMessagesRun(list, items);
    }

    // Filled by program: no category counts as chosen until the operator picks one.
    const QSignalBlocker quiet(categorySelector);
    categorySelector->clear();
    if (!state.db.openShared(categoryChoicesStatement()))
        return;
    for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext())
        categorySelector->addItem(rows.readText("name"), rows.readInteger("id"));
    categorySelector->setCurrentIndex(-1);
}

// From the row's cells, not from the database.
void ProgrammePage::showProgramme()
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty())
        return;
    const QTreeWidgetItem* row = selected.first();
    nameBox->setText(row->text(Name));
    feeBox->setText(row->text(Fee));
    quotaBox->setText(row->text(Quota));
    if (const std::optional<QDateTime> moment = textToDate(row->text(Deadline)))
        deadline->setDeadlineBox(*moment);
    else
        deadline->clear();
    summaryBox->setText(row->text(Summary));
    introductionBox->setPlainText(row->text(Introduction));
    orderBox->setText(row->text(Order));
    {
        // Shows the row's category without counting as the operator's choice.
        const QSignalBlocker quiet(categorySelector);
        categorySelector->setCurrentIndex(categorySelector->findData(int(textToNumber(row->text(CategoryId)))));
    }
    enabledBox->setChecked(row->text(Status) == enabledText);
}

void ProgrammePage::onProgrammeCategoryChosen()
{
    const int id = categorySelector->currentData().toInt();
    if (id < 1)
        return;
    if (!openReported(state, categoryServerIdStatement(id)))
        return;
    if (!state.db.shared().atEnd())
        chosenServerId = state.db.shared().readInteger("serverid");
}

int ProgrammePage::selectedProgrammeId() const
{
    return selectedRowId(list);
}

ProgrammeValues ProgrammePage::enteredValues(int noCategory) const
{
    ProgrammeValues v;
    v.categoryServerId = chosenServerId;
    v.name = nameBox->text();
    v.fee = textToNumber(feeBox->text());
    v.quota = textToNumber(quotaBox->text());
    v.deadline = deadline->text();
    v.summary = summaryBox->text();
    v.introduction = introductionBox->toPlainText();
    v.order = textToNumber(orderBox->text());
    v.enabled = enabledBox->isChecked();
    v.categoryId = categorySelector->currentIndex() < 0 ? noCategory : categorySelector->currentData().toInt();
    return v;
}

bool ProgrammePage::refuseEmptyName()
{
    if (!trimBlanks(nameBox->text()).isEmpty())
        return false;
    const QString missing = QStringLiteral("专业信息没有填写完全");
    emit hintShown(missing);
    messageBox(missing, MessageStyle::Plain, QStringLiteral("错误"));
    loadProgrammeList(state);
    return true;
}

void ProgrammePage::addProgramme()
{
    if (!guardManage(state) || refuseEmptyName())
        return;
    // The name is stored as typed, the other texts trimmed.
    ProgrammeValues values = enteredValues(-1);
    values.deadline = deadlineForStatement(trimBlanks(values.deadline));
    values.summary = trimBlanks(values.summary);
    values.introduction = trimBlanks(values.introduction);
    if (!executeReported(state, insertProgrammeStatement(values))) {
        state.showResult(QStringLiteral("添加失败"));
        return;
    }
    state.showResult(QStringLiteral("专业保存成功"));
    fillProgrammePage();
    nameBox->clear();
    loadProgrammeList(state);
}

void ProgrammePage::modifyProgramme()
{
    if (!guardManage(state))
        return;
    const int id = selectedProgrammeId();
    if (id == 0) {
        messageBox(QStringLiteral("请先选中要修改项目"));
        return;
    }
    if (refuseEmptyName())
        return;
    ProgrammeValues values = enteredValues(0);
    values.deadline = deadlineForStatement(values.deadline);
    const QString name = nameBox->text();
    if (executeReported(state, updateProgrammeStatement(id, values))) {
        state.showResult(name + QStringLiteral(" 修改成功"));
        fillProgrammePage();
        nameBox->clear();
    } else {
        state.showResult(name + QStringLiteral(" 修改失败"));
    }
    loadProgrammeList(state);
}

void ProgrammePage::deleteProgramme()
{
    if (!guardManage(state))
        return;
    const int id = selectedProgrammeId();
    if (id == 0) {
        messageBox(QStringLiteral("请先选中要删除的项目"));
        return;
    }
    if (messageBox(QStringLiteral("确定删除吗？"), MessageStyle::YesNo | MessageStyle::SystemModal) != AnswerYes)
        return;
    const QString name = nameBox->text();
    if (executeReported(state, deleteProgrammeStatement(id))) {
        delete list->selectedItems().first();
        state.showResult(name + QStringLiteral(" 专业删除成功"));
    } else {
        state.showResult(name + QStringLiteral(" 删除失败"));
    }
    loadProgrammeList(state);
}
