#include "records/browsepage.h"

#include "core/lists.h"
#include "core/permissions.h"
#include "platform/anchors.h"
#include "platform/dates.h"
#include "platform/messagebox.h"
#include "printing/rendering.h"
#include "records/recorddisplay.h"
#include "records/statuschange.h"
#include "store/schema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int numberColumnWidth = 50;
constexpr int valueColumnWidth = 80;

QString numbered(const char* prefix, int row)
{
    return QString::fromUtf8(prefix) + QString::number(row + 1);
}

QPushButton* makeButton(const char* name, const char* caption, QWidget* parent, const QRect& geometry)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(geometry);
    return button;
}

} // namespace

BrowsePage::BrowsePage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    buildConditionRows();

    list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("超级列表框_信息浏览"));
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setUniformRowHeights(true);
    list->setHeaderLabels({QStringLiteral("序号")});
    // The list fills the page between the conditions and the two bottom rows.
    list->setGeometry(6, 60, width() - 12, height() - 60 - 84);

    buildBottomRows(height());
}

void BrowsePage::buildConditionRows()
{
    // Rows 1 and 2 side by side, row 3 below row 1 beside the search controls.
    const QPoint origins[conditionRows] = {{6, 4}, {312, 4}, {6, 32}};
    for (int row = 0; row < conditionRows; ++row) {
        const QPoint at = origins[row];
        fieldSelectors[row] = new QComboBox(this);
        fieldSelectors[row]->setObjectName(numbered("组合框_信息浏览_条件_字段", row));
        fieldSelectors[row]->setGeometry(at.x(), at.y(), 86, 24);
        conditionSelectors[row] = new QComboBox(this);
        conditionSelectors[row]->setObjectName(numbered("组合框_信息浏览_条件_条件", row));
        conditionSelectors[row]->setGeometry(at.x() + 88, at.y(), 96, 24);
        contentBoxes[row] = new QLineEdit(this);
        contentBoxes[row]->setObjectName(numbered("编辑框_信息浏览_条件_内容", row));
        contentBoxes[row]->setGeometry(at.x() + 186, at.y(), 114, 24);
        connect(fieldSelectors[row], &QComboBox::currentIndexChanged, this, [this, row] { onFieldChanged(row); });
    }

    recycleBin = new QCheckBox(QStringLiteral("显示回收站"), this);
    recycleBin->setObjectName(QStringLiteral("选择框_信息浏览_显示回收站"));
    recycleBin->setGeometry(312, 32, 96, 24);
    // Only the operator's click runs the search here; the navigation sets the
    // box and then runs onRecycleToggled itself.
    connect(recycleBin, &QCheckBox::clicked, this, &BrowsePage::onRecycleToggled);

    searchButton = makeButton("按钮_信息浏览", "查 找", this, {412, 32, 100, 24});
    connect(searchButton, &QPushButton::clicked, this, &BrowsePage::runBrowseSearch);
}

void BrowsePage::buildBottomRows(int height)
{
    // The lower row stands 24 pixels above the bottom of the page area.
    const int lowerY = height - 24 - 24;
    const int upperY = lowerY - 30;

    auto* checkAllButton = makeButton("按钮_信息浏览_全选", "全选", this, {6, upperY, 56, 24});
    auto* invertButton = makeButton("按钮_信息浏览_反选", "反选", this, {64, upperY, 56, 24});
    auto* clearButton = makeButton("按钮_信息浏览_取消", "取消", this, {122, upperY, 56, 24});
    connect(checkAllButton, &QPushButton::clicked, this, &BrowsePage::checkAll);
    connect(invertButton, &QPushButton::clicked, this, &BrowsePage::invertChecks);
    connect(clearButton, &QPushButton::clicked, this, &BrowsePage::clearChecks);
    statusSelector = new QComboBox(this);
    statusSelector->setObjectName(QStringLiteral("组合框_信息浏览_状态"));
    statusSelector->setGeometry(186, upperY, 136, 24);
    for (const SelectorEntry& entry : statusEntries())
        statusSelector->addItem(entry.text, entry.code.value_or(0));
    // Every choice of the operator applies, even of the entry already shown.
    connect(statusSelector, &QComboBox::activated, this, &BrowsePage::applyStatusChange);
    restoreButton = makeButton("按钮_信息浏览_还原", "还原", this, {330, upperY, 70, 24});
    restoreButton->hide();
    deleteButton = makeButton("按钮_信息浏览_删除", "删除", this, {404, upperY, 70, 24});
    auto* deleteForGoodButton = makeButton("按钮_信息浏览_永久删除", "永久删除", this, {478, upperY, 80, 24});
    connect(restoreButton, &QPushButton::clicked, this, &BrowsePage::restoreFromRecycleBin);
    connect(deleteButton, &QPushButton::clicked, this, &BrowsePage::moveToRecycleBin);
    connect(deleteForGoodButton, &QPushButton::clicked, this, &BrowsePage::deletePermanently);

    auto* pageSizeLabel = new QLabel(QStringLiteral("每页数量"), this);
    pageSizeLabel->setGeometry(6, lowerY, 56, 24);
    pageSizeBox = new QLineEdit(this);
    pageSizeBox->setObjectName(QStringLiteral("编辑框_信息浏览_每页数量"));
    pageSizeBox->setGeometry(62, lowerY, 50, 24);
    auto* printLabel = new QLabel(QStringLiteral("打印:"), this);
    printLabel->setGeometry(122, lowerY, 36, 24);
    print = new QComboBox(this);
    print->setObjectName(QStringLiteral("组合框_信息浏览_打印"));
    print->setGeometry(158, lowerY, 120, 24);
    // Picking a print choice prints the ticked registrations in list order.
    connect(print, &QComboBox::activated, this, [this] {
        QVector<int> ids = tickedIds();
        std::reverse(ids.begin(), ids.end());
        printCheckedRecords(state, *print, ids);
    });
    pageLabel = new QLabel(this);
    pageLabel->setObjectName(QStringLiteral("标签_页码"));
    pageLabel->setGeometry(288, lowerY, 110, 24);
    previousButton = makeButton("按钮_上一页", "上一页", this, {404, lowerY, 70, 24});
    nextButton = makeButton("按钮_下一页", "下一页", this, {478, lowerY, 70, 24});
    previousButton->setEnabled(false);
    nextButton->setEnabled(false);
    connect(previousButton, &QPushButton::clicked, this, &BrowsePage::previousPage);
    connect(nextButton, &QPushButton::clicked, this, &BrowsePage::nextPage);

    bottomControls = {checkAllButton, invertButton, clearButton, statusSelector, restoreButton,
                      deleteButton,   deleteForGoodButton, pageSizeLabel, pageSizeBox, printLabel,
                      print,          pageLabel,    previousButton, nextButton};
}

void BrowsePage::registerAnchors(AnchorLayout& anchors)
{
    anchors.anchor(list, {true, true, true, true});
    for (QWidget* control : bottomControls)
        anchors.anchor(control, {true, false, false, true});
}

void BrowsePage::enter(bool recycleBinShown)
{
    if (state.programmeList.isEmpty())
        loadProgrammeList(state);
    if (state.categoryList.isEmpty())
        loadCategoryList(state);
    buildBrowseColumns();
    fillFieldSelectors();
    setRecycleBinShown(recycleBinShown);
    onRecycleToggled();
}

void BrowsePage::setRecycleBinShown(bool shown)
{
    recycleBin->setChecked(shown);
}

void BrowsePage::buildBrowseColumns()
{
    list->clear();
    loadFormItems(state);
    listItems = state.formItems;

    QStringList captions{QStringLiteral("序号")};
    for (const FormItem& item : listItems)
        captions << item.nam;
    captions << QStringLiteral("时间") << QStringLiteral("审核状态") << QStringLiteral("付款状态");
    list->setColumnCount(captions.size());
    list->setHeaderLabels(captions);
    list->setColumnWidth(0, numberColumnWidth);
    for (int column = 1; column < captions.size(); ++column)
        list->setColumnWidth(column, valueColumnWidth);

    browseColumnList = columnListOf(listItems);
    itemsInQuery.clear();
    for (const FormItem& item : listItems)
        itemsInQuery << isRegistrationColumn(item.zd);
}

void BrowsePage::fillFieldSelectors()
{
    const QVector<SelectorEntry> entries = fieldSelectorEntries(listItems);
    for (int row = 0; row < conditionRows; ++row) {
        QComboBox* selector = fieldSelectors[row];
        {
            const QSignalBlocker quiet(selector);
            selector->clear();
            for (const SelectorEntry& entry : entries)
                selector->addItem(entry.text, entry.code ? QVariant(*entry.code) : QVariant());
            selector->setCurrentIndex(0);
        }
        onFieldChanged(row);
    }
}

void BrowsePage::onFieldChanged(int row)
{
    QComboBox* conditions = conditionSelectors[row];
    conditions->clear();
    const QComboBox* field = fieldSelectors[row];
    const QString column = field->currentIndex() < 0 ? QString() : columnForItemCode(listItems, field->currentData().toInt());
    const ConditionChoices choices = conditionChoicesFor(column, state);
    for (const SelectorEntry& entry : choices.entries)
        conditions->addItem(entry.text, entry.code ? QVariant(*entry.code) : QVariant());

    QLineEdit* content = contentBoxes[row];
    content->setVisible(choices.content != ConditionChoices::Content::Hidden);
    if (choices.content == ConditionChoices::Content::CurrentTime)
        content->setText(dateToText(QDateTime::currentDateTime()));
    if (conditions->count() > 0)
        conditions->setCurrentIndex(0);
}

ConditionRow BrowsePage::conditionRow(int row) const
{
    ConditionRow condition;
    condition.fieldPosition = fieldSelectors[row]->currentIndex();
    condition.fieldCode = fieldSelectors[row]->currentData().toInt();
    condition.conditionText = conditionSelectors[row]->currentText();
    const QVariant code = conditionSelectors[row]->currentData();
    if (code.isValid())
        condition.conditionCode = code.toInt();
    condition.content = contentBoxes[row]->text();
    return condition;
}

std::optional<QString> BrowsePage::buildBrowseWhere() const
{
    QVector<ConditionRow> rows;
    for (int row = 0; row < conditionRows; ++row)
        rows << conditionRow(row);
    return browseWhere(rows, recycleBin->isChecked(), listItems, state);
}

void BrowsePage::runBrowseSearch()
{
    const std::optional<QString> where = buildBrowseWhere();
    state.pageSize = pageSizeFromText(pageSizeBox->text());
    if (!where || !state.db.browseRecordSet || !state.db.connection) {
        // A rejected search lists nothing and offers no paging; the label
        // says so instead of showing the previous result's pages.
        if (state.db.browseRecordSet)
            state.db.browseRecordSet->close();
        list->clear();
        pageCount = 0;
        currentPage = 0;
        pageLabel->setText(pageInfoText(0, 0, 0));
        previousButton->setEnabled(false);
        nextButton->setEnabled(false);
        return;
    }
    // Opened beside the search on show, which stays when this one cannot be
    // read: a server out of reach is no empty result.
    auto found = std::make_unique<RecordSet>();
    QList<QTreeWidgetItem*> rows;
    if (!state.db.connection->openQuery(*found, browseQuery(browseColumnList, *where))
        || !readPage(*found, 1, rows)) {
        state.showMessage(state.db.lastErrorForOperator(), MessageStyle::Error);
        return;
    }
    std::swap(state.db.browseRecordSet, found);
    showPageInfo();
    list->clear();
    list->addTopLevelItems(rows);
}

void BrowsePage::showPageInfo()
{
    RecordSet* records = state.db.browseRecordSet.get();
    if (!records)
        return;
    records->setPageSize(state.pageSize);
    pageCount = records->getPageCount();
    currentPage = records->getAbsolutePage();
    pageLabel->setText(pageInfoText(currentPage, pageCount, records->isOpen() ? records->recordCount() : 0));
    previousButton->setEnabled(pageCount >= 2 && currentPage >= 2);
    nextButton->setEnabled(pageCount >= 2 && currentPage != pageCount);
}

void BrowsePage::previousPage()
{
    turnToPage(currentPage - 1);
}

void BrowsePage::nextPage()
{
    turnToPage(currentPage + 1);
}

void BrowsePage::turnToPage(int page)
{
    RecordSet* records = state.db.browseRecordSet.get();
    if (!records)
        return;
    QList<QTreeWidgetItem*> rows;
    if (records->isOpen() && !readPage(*records, page, rows)) {
        // The page on show stays, and the next turn reads again.
        records->setAbsolutePage(currentPage);
        state.showMessage(state.db.lastErrorForOperator(), MessageStyle::Error);
        return;
    }
    showPageInfo();
    list->clear();
    list->addTopLevelItems(rows);
}

void BrowsePage::onRecycleToggled()
{
    const bool shown = recycleBin->isChecked();
    QPalette palette = recycleBin->palette();
    const QColor textColour = shown ? QColor(255, 0, 0) : QColor(0, 0, 0);
    palette.setColor(QPalette::WindowText, textColour);
    palette.setColor(QPalette::ButtonText, textColour);
    recycleBin->setPalette(palette);
    searchButton->setText(shown ? QStringLiteral("查找(回收站)") : QStringLiteral("查 找"));
    restoreButton->setVisible(shown);
    deleteButton->setEnabled(!shown);
    runBrowseSearch();
}

QStringList BrowsePage::rowTexts(const RecordSet& records, qint64 number) const
{
    // Columns of the query: id, the listed items, then dtime, sh and fk.
    QStringList texts;
    texts.reserve(listItems.size() + 4);
    texts << QString::number(number);
    int next = 1;
    for (int i = 0; i < listItems.size(); ++i)
        texts << (itemsInQuery[i] ? displayValue(state, listItems[i].zd, records.readText(next++)) : QString());
    texts << records.readText(next) << reviewWord(records.readText(next + 1)) << paymentWord(records.readText(next + 2));
    return texts;
}

bool BrowsePage::readPage(RecordSet& records, int page, QList<QTreeWidgetItem*>& rows) const
{
    records.setPageSize(state.pageSize);
    records.setAbsolutePage(page);
    const int shownPage = records.getAbsolutePage();
    const qint64 firstNumber = qint64(page - 1) * state.pageSize + 1;
    for (int r = 0; r < state.pageSize && !records.atEnd(); ++r, records.moveNext()) {
        // A registration deleted for good since the search keeps its place in
        // the pages but has no row to show.
        const int id = records.readInteger(0);
        if (id == 0)
            continue;
        auto* row = new QTreeWidgetItem(rowTexts(records, firstNumber + r));
        row->setData(0, Qt::UserRole, id);
        row->setCheckState(0, Qt::Unchecked);
        rows << row;
    }
    if (records.readFailed()) {
        qDeleteAll(rows);
        rows.clear();
        return false;
    }
    // The cursor back at the page's start, where the page label reads it.
    records.setAbsolutePage(shownPage);
    return true;
}

void BrowsePage::fillBrowsePage()
{
    turnToPage(currentPage);
}

int BrowsePage::resultCount() const
{
    const RecordSet* records = state.db.browseRecordSet.get();
    return records && records->isOpen() ? records->recordCount() : 0;
}

bool BrowsePage::allResultRows(QVector<QStringList>& rows, const std::function<void(int row, int rows)>& afterRow,
                               QString* failure)
{
    rows.clear();
    RecordSet* records = state.db.browseRecordSet.get();
    if (!records || !records->isOpen())
        return true;
    const int total = records->recordCount();
    rows.reserve(total);
    // One transaction around the reading: the rows of one moment, and the
    // file locked once rather than once per row. Where none can begin (a
    // file opened read-only) each row is read on its own.
    DbConnection& connection = *state.db.connection;
    const bool inTransaction = connection.beginTransaction();
    records->setAbsolutePage(1);
    for (qint64 number = 1; !records->atEnd(); ++number, records->moveNext()) {
        if (records->readInteger(0) != 0)
            rows << rowTexts(*records, number);
        if (afterRow)
            afterRow(int(number), total);
    }
    // A row that could not be read ends the loop early: what came before is
    // not every result.
    const bool complete = !records->readFailed();
    if (!complete && failure)
        *failure = state.db.lastErrorForOperator();
    if (inTransaction)
        connection.commitTransaction();
    if (currentPage >= 1)
        records->setAbsolutePage(currentPage);
    if (!complete)
        rows.clear();
    return complete;
}

void BrowsePage::setChecks(const std::function<bool(bool)>& newState)
{
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = list->topLevelItem(r);
        row->setCheckState(0, newState(row->checkState(0) == Qt::Checked) ? Qt::Checked : Qt::Unchecked);
    }
}

void BrowsePage::checkAll()
{
    setChecks([](bool) { return true; });
}

void BrowsePage::invertChecks()
{
    setChecks([](bool ticked) { return !ticked; });
}

void BrowsePage::clearChecks()
{
    setChecks([](bool) { return false; });
}

QVector<int> BrowsePage::tickedIds() const
{
    QVector<int> ids;
    for (int r = list->topLevelItemCount() - 1; r >= 0; --r) {
        const QTreeWidgetItem* row = list->topLevelItem(r);
        if (row->checkState(0) == Qt::Checked)
            ids << row->data(0, Qt::UserRole).toInt();
    }
    return ids;
}

QVector<int> BrowsePage::takeTickedRows()
{
    QVector<int> ids;
    for (int r = list->topLevelItemCount() - 1; r >= 0; --r) {
        if (list->topLevelItem(r)->checkState(0) != Qt::Checked)
            continue;
        std::unique_ptr<QTreeWidgetItem> row(list->takeTopLevelItem(r));
        ids << row->data(0, Qt::UserRole).toInt();
    }
    return ids;
}

void BrowsePage::applyStatusChange()
{
    const int position = statusSelector->currentIndex();
    const QVector<int> ids = tickedIds();
    if (ids.isEmpty()) {
        messageBox(QStringLiteral("请勾选待修改项目"), MessageStyle::Error);
        return;
    }
    const QString sql = statusChangeStatement(position, statusSelector->currentData().toInt(), ids);
    if (sql.isEmpty())
        return;
    if (!executeReported(state, sql)) {
        state.showResult(QStringLiteral("修改失败"));
        return;
    }
    state.showResult(QStringLiteral("修改成功"));
    refreshCurrentPage();
}

void BrowsePage::refreshCurrentPage()
{
    // The keyset reads the changed rows afresh.
    turnToPage(currentPage);
}

int BrowsePage::currentRecordId() const
{
    const QTreeWidgetItem* row = list->currentItem();
    return row ? row->data(0, Qt::UserRole).toInt() : 0;
}

bool BrowsePage::changeTakenRows(const QString& sql, const char* done, const char* failed)
{
    const bool ok = executeReported(state, sql);
    state.showResult(QString::fromUtf8(ok ? done : failed));
    return ok;
}

void BrowsePage::moveToRecycleBin()
{
    const QVector<int> ids = takeTickedRows();
    if (!ids.isEmpty())
        changeTakenRows(recycleStatement(true, ids), "删除成功", "删除失败");
}

void BrowsePage::restoreFromRecycleBin()
{
    if (!recycleBin->isChecked())
        return;
    const QVector<int> ids = takeTickedRows();
    if (!ids.isEmpty())
        changeTakenRows(recycleStatement(false, ids), "还原成功", "还原失败");
}

void BrowsePage::deletePermanently()
{
    if (!guardDeletePermanently(state))
        return;
    const int answer = messageBox(QStringLiteral("是否永久删除您选择的数据"),
                                  MessageStyle::YesNo | MessageStyle::Exclamation | MessageStyle::SystemModal,
                                  QStringLiteral("警告"));
    if (answer != AnswerYes)
        return;
    const QVector<int> ids = takeTickedRows();
    if (ids.isEmpty())
        return;
    if (changeTakenRows(deleteRegistrationsStatement(ids), "删除成功", "删除失败"))
        changeTakenRows(deleteAttachmentsStatement(ids), "附件删除成功", "附件删除失败");
}

int BrowsePage::rowCount() const
{
    return list->topLevelItemCount();
}
