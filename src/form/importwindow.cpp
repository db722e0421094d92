#include "form/importwindow.h"

#include "core/lists.h"
#include "platform/events.h"
#include "platform/messagebox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTreeWidget>

namespace {

std::function<QString()>& importDialogOverride()
{
    static std::function<QString()> choose;
    return choose;
}

constexpr int selectorWidth = 116;

// The preview's first columns, shown before a file is chosen too: the row of
// the file and its problem, where the operator sees it first.
QStringList previewLeadingCaptions()
{
    return {QStringLiteral("行"), QStringLiteral("问题")};
}

} // namespace

ImportFileDialogOverride::ImportFileDialogOverride(std::function<QString()> choose)
    : previous(std::move(importDialogOverride()))
{
    importDialogOverride() = std::move(choose);
}

ImportFileDialogOverride::~ImportFileDialogOverride()
{
    importDialogOverride() = std::move(previous);
}

ImportWindow::ImportWindow(AppState& appState, QWidget* parent) : QDialog(parent), state(appState)
{
    setWindowTitle(QStringLiteral("导入报名"));
    setModal(true);
    setFixedSize(760, 540);
    ensureCategoryList(state);
    ensureProgrammeList(state);
    ensureFormItems(state);

    auto* choose = new QPushButton(QStringLiteral("选择文件…"), this);
    choose->setObjectName(QStringLiteral("按钮_导入_选择文件"));
    choose->setGeometry(16, 14, 100, 28);
    connect(choose, &QPushButton::clicked, this, &ImportWindow::onChooseFileClicked);
    fileLabel = new QLabel(QStringLiteral("请选择要导入的表格文件（.xlsx 或 .csv），第一行为表头"), this);
    fileLabel->setObjectName(QStringLiteral("标签_导入_文件"));
    fileLabel->setGeometry(124, 14, 620, 28);

    auto* matchLabel = new QLabel(QStringLiteral("各列对应的报名项目（可更改，选“不导入”则跳过该列）："), this);
    matchLabel->setGeometry(16, 48, 728, 20);
    auto* scroll = new QScrollArea(this);
    scroll->setGeometry(16, 70, 728, 70);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    selectorPanel = new QWidget;
    selectorPanel->resize(0, 50);
    scroll->setWidget(selectorPanel);

    preview = new QTreeWidget(this);
    preview->setObjectName(QStringLiteral("超级列表框_导入_预览"));
    preview->setGeometry(16, 148, 728, 300);
    preview->setRootIsDecorated(false);
    preview->setAlternatingRowColors(true);
    preview->setHeaderLabels(previewLeadingCaptions());

    allowDuplicates = new QCheckBox(QStringLiteral("允许重复（不检查与已有报名或文件中的重复）"), this);
    allowDuplicates->setObjectName(QStringLiteral("选择框_导入_允许重复"));
    allowDuplicates->setGeometry(16, 456, 420, 24);
    connect(allowDuplicates, &QCheckBox::toggled, this, &ImportWindow::refreshPreview);

    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("进度条_导入"));
    progress->setGeometry(16, 488, 600, 20);
    progress->setValue(0);
    startButton = new QPushButton(QStringLiteral("开始导入"), this);
    startButton->setObjectName(QStringLiteral("按钮_导入_开始"));
    startButton->setGeometry(644, 484, 100, 28);
    startButton->setEnabled(false);
    connect(startButton, &QPushButton::clicked, this, &ImportWindow::startImport);
    resultLabel = new QLabel(this);
    resultLabel->setObjectName(QStringLiteral("标签_导入_结果"));
    resultLabel->setGeometry(16, 512, 728, 22);
}

void ImportWindow::onChooseFileClicked()
{
    const QString path = importDialogOverride()
                             ? importDialogOverride()()
                             : QFileDialog::getOpenFileName(this, QStringLiteral("导入报名"), QString(),
                                                            QStringLiteral("表格文件(*.xlsx *.csv);;Excel 工作簿(*.xlsx);;CSV 文件(*.csv)"));
    if (!path.isEmpty())
        openFile(path);
}

bool ImportWindow::openFile(const QString& path)
{
    ImportTable read;
    QString error;
    if (!readImportFile(path, read, &error)) {
        messageBox(QStringLiteral("无法读取文件 ") + QDir::toNativeSeparators(path) + QStringLiteral("：\n") + error,
                   MessageStyle::Error);
        return false;
    }
    if (read.rows.isEmpty()) {
        messageBox(QStringLiteral("文件中没有数据：") + QDir::toNativeSeparators(path), MessageStyle::Exclamation);
        return false;
    }
    sourcePath = path;
    table = read;
    fileLabel->setText(QDir::toNativeSeparators(path) + QStringLiteral("（%1 行）").arg(table.rows.size() - 1));
    resultLabel->clear();
    progress->setValue(0);
    buildSelectors();
    refreshPreview();
    startButton->setEnabled(true);
    return true;
}

QComboBox* ImportWindow::columnSelector(int column) const
{
    return selectors.value(column);
}

void ImportWindow::buildSelectors()
{
    qDeleteAll(selectorPanel->children());
    selectors.clear();
    const QStringList header = table.rows.first();
    const QStringList matches = matchImportColumns(header, state.formItems);
    const QVector<ImportTarget> targets = importTargets(state.formItems);
    for (int c = 0; c < header.size(); ++c) {
        auto* caption = new QLabel(header.at(c), selectorPanel);
        caption->setGeometry(c * selectorWidth + 4, 2, selectorWidth - 8, 20);
        caption->setToolTip(header.at(c));
        auto* selector = new QComboBox(selectorPanel);
        selector->setObjectName(QStringLiteral("组合框_导入_匹配"));
        selector->setProperty("tag", QString::number(c));
        selector->setGeometry(c * selectorWidth + 4, 24, selectorWidth - 8, 24);
        selector->addItem(QStringLiteral("不导入"), QString());
        for (const ImportTarget& target : targets)
            selector->addItem(target.caption, target.column);
        selector->setCurrentIndex(qMax(0, selector->findData(matches.value(c))));
        connect(selector, &QComboBox::currentIndexChanged, this, &ImportWindow::refreshPreview);
        caption->show();
        selector->show();
        selectors << selector;
    }
    selectorPanel->resize(qMax(1, int(header.size())) * selectorWidth + 4, 50);
}

ImportContext ImportWindow::context() const
{
    const UnitSettings& switches = state.unitSettings;
    return {state.formItems, state.categoryList, state.programmeList, {switches.review, switches.payment, 0, 0},
            QDateTime::currentDateTime()};
}

QStringList ImportWindow::chosenColumns() const
{
    QStringList columns;
    for (const QComboBox* selector : selectors)
        columns << selector->currentData().toString();
    return columns;
}

QVector<ImportRow> ImportWindow::convertRows(int limit) const
{
    const ImportContext converting = context();
    const QStringList columns = chosenColumns();
    QVector<ImportRow> rows;
    for (int r = 1; r < table.rows.size() && rows.size() < limit; ++r)
        rows << convertImportRow(converting, columns, table.rows.at(r), r + 1);
    return rows;
}

bool ImportWindow::markDuplicates(QVector<ImportRow>& rows)
{
    if (allowDuplicates->isChecked())
        return true;
    return markImportDuplicates(rows, state.formItems,
                                [this](const QVector<Registration>& registrations, QVector<std::optional<LikelyDuplicate>>& found) {
                                    return findLikelyDuplicates(state, state.formItems, registrations, found);
                                });
}

void ImportWindow::refreshPreview()
{
    preview->clear();
    if (table.rows.isEmpty())
        return;
    QStringList captions = previewLeadingCaptions();
    for (const ImportTarget& target : importTargets(state.formItems))
        captions << target.caption;
    preview->setHeaderLabels(captions);
    QVector<ImportRow> rows = convertRows(importPreviewRows);
    markDuplicates(rows);
    for (const ImportRow& row : rows) {
        auto* item = new QTreeWidgetItem(preview, QStringList{QString::number(row.line), row.problem}
                                                      + storedValuesOf(state.formItems, row.registration));
        item->setForeground(1, Qt::red);
    }
    for (int c = 0; c < captions.size(); ++c)
        preview->resizeColumnToContents(c);
}

int ImportWindow::startImport()
{
    if (sourcePath.isEmpty()) {
        messageBox(QStringLiteral("请先选择要导入的文件"), MessageStyle::Exclamation);
        return -1;
    }
    startButton->setEnabled(false);
    QVector<ImportRow> rows = convertRows(int(table.rows.size()));
    const auto failedImport = [this] {
        const QString text = QStringLiteral("导入失败，没有导入任何报名");
        state.showResult(text);
        resultLabel->setText(text);
        startButton->setEnabled(true);
        return -1;
    };
    if (!markDuplicates(rows))
        return failedImport();
    const int toStore = int(std::count_if(rows.begin(), rows.end(), [](const ImportRow& row) { return row.problem.isEmpty(); }));
    const int skipped = int(rows.size()) - toStore;
    progress->setRange(0, qMax(1, toStore));
    progress->setValue(0);
    const bool stored = storeImportedRows(state, state.formItems, rows, [this](int done) {
        progress->setValue(done);
        if (done % 100 == 0)
            processPendingMessages();
    });
    if (!stored)
        return failedImport();
    progress->setValue(progress->maximum());

    QString result = importSummary(toStore, skipped);
    state.showResult(result);
    if (skipped > 0) {
        int columns = 0;
        const QVector<QStringList> skippedRows = skippedFileRows(table.rows.first(), rows, &columns);
        const QString skippedPath = skippedFilePath(sourcePath);
        QString error;
        if (writeCsvFile(skippedPath, skippedRows, columns, &error))
            resultLabel->setText(result + QStringLiteral("；未导入的行在 ") + QDir::toNativeSeparators(skippedPath));
        else
            messageBox(QStringLiteral("未导入的行无法写入 ") + QDir::toNativeSeparators(skippedPath)
                           + QStringLiteral("：") + error,
                       MessageStyle::Error);
    } else {
        resultLabel->setText(result);
    }
    messageBox(result, MessageStyle::Information);
    // The rows are stored: the same file is not imported twice by a second click.
    sourcePath.clear();
    return toStore;
}
