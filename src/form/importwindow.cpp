#include "form/importwindow.h"

#include "core/lists.h"
#include "platform/events.h"
#include "platform/messagebox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
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

    chooseButton = new QPushButton(QStringLiteral("选择文件…"), this);
    chooseButton->setObjectName(QStringLiteral("按钮_导入_选择文件"));
    chooseButton->setGeometry(16, 14, 100, 28);
    connect(chooseButton, &QPushButton::clicked, this, &ImportWindow::onChooseFileClicked);
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
    progress->setGeometry(16, 488, 510, 20);
    progress->setValue(0);
    cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("按钮_导入_取消"));
    cancelButton->setGeometry(536, 484, 100, 28);
    cancelButton->setEnabled(false);
    connect(cancelButton, &QPushButton::clicked, this, &ImportWindow::cancelImport);
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
    const QString shownPath = QDir::toNativeSeparators(path);
    CsvEncoding chosenEncoding = CsvEncoding::Utf8;
    if (QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) != 0) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            messageBox(QStringLiteral("无法读取文件 ") + shownPath + QStringLiteral("：\n") + file.errorString(),
                       MessageStyle::Error);
            return false;
        }
        const CsvEncodingGuess guess = guessCsvEncoding(file);
        chosenEncoding = guess.encoding;
        if (!guess.certain) {
            const CsvEncoding other = guess.encoding == CsvEncoding::Utf8 ? CsvEncoding::Gbk : CsvEncoding::Utf8;
            const QString question = QStringLiteral("文件 %1 的编码无法识别：它像是%2，但第%3行不是有效的%2。\n按%4读取吗？")
                                         .arg(shownPath, csvEncodingName(guess.encoding))
                                         .arg(guess.badLine)
                                         .arg(csvEncodingName(other));
            if (messageBox(question, MessageStyle::YesNo | MessageStyle::Exclamation) != AnswerYes)
                return false;
            chosenEncoding = other;
        }
    }
    ImportTable read;
    QString error;
    if (!readImportRows(path, chosenEncoding, importPreviewRows + 1, read, &error)) {
        messageBox(QStringLiteral("无法读取文件 ") + shownPath + QStringLiteral("：\n") + error, MessageStyle::Error);
        return false;
    }
    if (read.rows.isEmpty()) {
        messageBox(QStringLiteral("文件中没有数据：") + shownPath, MessageStyle::Exclamation);
        return false;
    }
    sourcePath = path;
    encoding = chosenEncoding;
    table = read;
    fileLabel->setText(shownPath);
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
    const QStringList header = table.rows.first().cells;
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
            QDateTime::currentDateTime(), table.date1904};
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
        rows << convertImportRow(converting, columns, table.rows.at(r).cells, table.rows.at(r).line);
    return rows;
}

bool ImportWindow::markDuplicates(QVector<ImportRow>& rows)
{
    if (allowDuplicates->isChecked())
        return true;
    ImportFileKeys seen;
    return markImportDuplicates(
        rows, state.formItems,
        [this](const QVector<Registration>& registrations, QVector<std::optional<LikelyDuplicate>>& found) {
            return findLikelyDuplicates(state, state.formItems, registrations, found);
        },
        seen);
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

void ImportWindow::setRunning(bool isRunning)
{
    running = isRunning;
    cancelRequested = false;
    chooseButton->setEnabled(!running);
    startButton->setEnabled(!running);
    selectorPanel->setEnabled(!running);
    allowDuplicates->setEnabled(!running);
    cancelButton->setEnabled(running);
}

void ImportWindow::cancelImport()
{
    cancelRequested = true;
}

void ImportWindow::reject()
{
    // Closing the window while the import runs cancels it first.
    if (running)
        cancelImport();
    else
        QDialog::reject();
}

bool ImportWindow::showProgress(const ImportProgress& done)
{
    // A thousandth of the file per step, so files of any size fit the bar.
    progress->setRange(0, 1000);
    progress->setValue(done.total > 0 ? int(qMin<qint64>(1000, done.done * 1000 / done.total)) : 0);
    resultLabel->setText(QStringLiteral("正在导入：已导入 %1 条，跳过 %2 条").arg(done.stored).arg(done.skipped));
    // User input too, so that 取消 can be clicked; the rest of the window is
    // disabled meanwhile.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !cancelRequested;
}

int ImportWindow::startImport()
{
    if (sourcePath.isEmpty()) {
        messageBox(QStringLiteral("请先选择要导入的文件"), MessageStyle::Exclamation);
        return -1;
    }
    ImportRequest request;
    request.path = sourcePath;
    request.encoding = encoding;
    request.header = table.rows.first().cells;
    request.columns = chosenColumns();
    request.allowDuplicates = allowDuplicates->isChecked();
    request.context = context();
    setRunning(true);
    const ImportOutcome outcome =
        importRegistrations(state, request, [this](const ImportProgress& done) { return showProgress(done); });
    setRunning(false);

    if (outcome.result != ImportOutcome::Result::Stored) {
        const QString text = outcome.result == ImportOutcome::Result::Cancelled
                                 ? QStringLiteral("导入已取消，没有导入任何报名")
                                 : QStringLiteral("导入失败，没有导入任何报名");
        state.showResult(text);
        resultLabel->setText(text);
        progress->setValue(0);
        if (!outcome.error.isEmpty())
            messageBox(QStringLiteral("无法导入文件 ") + QDir::toNativeSeparators(sourcePath) + QStringLiteral("：\n")
                           + outcome.error,
                       MessageStyle::Error);
        return -1;
    }
    progress->setValue(progress->maximum());
    const QString result = importSummary(outcome.stored, outcome.skipped);
    state.showResult(result);
    resultLabel->setText(outcome.skippedPath.isEmpty()
                             ? result
                             : result + QStringLiteral("；未导入的行在 ") + QDir::toNativeSeparators(outcome.skippedPath));
    messageBox(result, MessageStyle::Information);
    // The rows are stored: the same file is not imported twice by a second click.
    sourcePath.clear();
    startButton->setEnabled(false);
    return outcome.stored;
}
