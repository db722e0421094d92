#include "records/export.h"

#include "core/appstate.h"
#include "form/importfile.h"
#include "platform/events.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "records/browsepage.h"
#include "records/exportprogress.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QStandardPaths>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTreeWidget>
#include <QUrl>

#include <xlsxwriter.h>

#include <cerrno>
#include <memory>

ExportTable exportTableOf(const QTreeWidget& list)
{
    ExportTable table;
    const int columns = list.columnCount();
    for (int column = 0; column < columns; ++column) {
        table.captions << list.headerItem()->text(column);
        table.columnPixels << (list.isColumnHidden(column) ? 0 : list.columnWidth(column));
    }
    const int rows = list.topLevelItemCount();
    table.rows.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const QTreeWidgetItem* item = list.topLevelItem(row);
        QStringList cells;
        for (int column = 0; column < columns; ++column)
            cells << item->text(column);
        table.rows << cells;
    }
    return table;
}

QString exportSheetName(int currentPage, int pageCount)
{
    return QStringLiteral("Brenvo报名 第%1页 共%2页").arg(currentPage).arg(pageCount);
}

int spreadsheetColumnWidth(int pixels)
{
    return pixels / 6;
}

int exportBarWidth(int row, int rows)
{
    if (rows <= 0)
        return 0;
    return int(qint64(exportBarFullWidth) * row / rows);
}

std::optional<QString> exportPercentText(int row, int rows)
{
    if (rows <= 0 || row % 10 != 0)
        return std::nullopt;
    // In whole numbers, so 290 of 1000 reads 29% and not the 28% that
    // 0.29 × 100 in floating point gives.
    return QString::number(qint64(row) * 100 / rows) + QLatin1Char('%');
}

namespace {

// Excel's built-in text format, "@".
constexpr uint8_t textFormat = 49;

// A workbook given up on before it is closed is freed without writing anything.
struct WorkbookDiscarder {
    void operator()(lxw_workbook* workbook) const { lxw_workbook_free(workbook); }
};

QByteArray utf8(const QString& text)
{
    return text.toUtf8();
}

// The writer's own failures that leave no system error behind.
QString writerErrorText(lxw_error error)
{
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足");
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("文件无法建立");
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("临时文件无法读写");
    default:
        return QStringLiteral("表格写入出错（") + QString::fromUtf8(lxw_strerror(error)) + QStringLiteral("）");
    }
}

// The workbook is built in memory and written to disk when it is closed, so
// a full disk or a folder that cannot be written shows there.
bool writeWorkbook(const QString& path, const ExportTable& table, const QString& sheetName,
                   const std::function<void(int row)>& afterRow, WorkbookError& error)
{
    std::unique_ptr<lxw_workbook, WorkbookDiscarder> workbook(workbook_new(utf8(path).constData()));
    if (!workbook) {
        error.writerUnavailable = true;
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), utf8(sheetName).constData());
    if (!sheet) {
        error.reason = QStringLiteral("工作表无法建立");
        return false;
    }

    // Every cell is text ("@") with a thin border, so ids, dates and numbers
    // keep the form the list shows; the header is bold 12 and centred.
    lxw_format* header = workbook_add_format(workbook.get());
    format_set_num_format_index(header, textFormat);
    format_set_font_size(header, 12);
    format_set_bold(header);
    format_set_border(header, LXW_BORDER_THIN);
    format_set_align(header, LXW_ALIGN_CENTER);
    format_set_align(header, LXW_ALIGN_VERTICAL_CENTER);
    lxw_format* cell = workbook_add_format(workbook.get());
    format_set_num_format_index(cell, textFormat);
    format_set_border(cell, LXW_BORDER_THIN);

    const int columns = table.captions.size();
    for (int column = 0; column < columns; ++column) {
        worksheet_write_string(sheet, 0, lxw_col_t(column), utf8(table.captions[column]).constData(), header);
        if (!table.rows.isEmpty())
            worksheet_set_column(sheet, lxw_col_t(column), lxw_col_t(column),
                                 spreadsheetColumnWidth(table.columnPixels.value(column)), nullptr);
    }
    for (int row = 0; row < table.rows.size(); ++row) {
        const QStringList& cells = table.rows[row];
        for (int column = 0; column < columns; ++column) {
            const QString text = cells.value(column);
            if (text.isEmpty()) {
                worksheet_write_blank(sheet, lxw_row_t(row + 1), lxw_col_t(column), cell);
                continue;
            }
            const lxw_error written =
                worksheet_write_string(sheet, lxw_row_t(row + 1), lxw_col_t(column), utf8(text).constData(), cell);
            if (written == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
                error.reason = exportCellTooLongText(row + 1, table.captions.value(column));
                return false;
            }
            if (written != LXW_NO_ERROR) {
                error.reason = writerErrorText(written);
                return false;
            }
        }
        if (afterRow)
            afterRow(row + 1);
    }

    errno = 0;
    const lxw_error closed = workbook_close(workbook.release());
    const int systemError = errno;
    if (closed == LXW_NO_ERROR)
        return true;
    error.reason = systemError != 0 ? fileErrorText(systemError) : writerErrorText(closed);
    // What a full disk let through is no workbook.
    QFile::remove(path);
    return false;
}

} // namespace

bool writeExportWorkbook(const QString& path, const ExportTable& table, const QString& sheetName,
                         const std::function<void(int row)>& afterRow, WorkbookError* error)
{
    WorkbookError failure;
    const bool written = writeWorkbook(path, table, sheetName, afterRow, failure);
    if (!written && error)
        *error = failure;
    return written;
}

QString exportCellTooLongText(int row, const QString& caption)
{
    return QStringLiteral("第%1行“%2”一栏超过32767个字符，表格的一格放不下").arg(row).arg(caption);
}

QString exportOpenedText(const QString& path)
{
    return QStringLiteral("导出完成：") + path;
}

QString exportNotOpenedText(const QString& path)
{
    return QStringLiteral("没有能打开表格的程序，工作簿已保存在：") + path;
}

QString exportNotWrittenText(const QString& path, const QString& reason)
{
    return QStringLiteral("导出失败：工作簿无法写入 ") + path + QStringLiteral("\n原因：") + reason;
}

QString exportNotReadText(const QString& reason)
{
    return QStringLiteral("导出失败：查找结果无法读取\n原因：") + reason;
}

QString exportListToSpreadsheet(AppState& state, const QTreeWidget& list, int currentPage, int pageCount, QWidget* parent)
{
    const ExportTable table = exportTableOf(list);
    const int rows = table.rows.size();

    QPointer<ExportProgressWindow> progress = new ExportProgressWindow(parent);
    progress->show();
    progress->setStatusText(QStringLiteral("导出EXCEL初始化..."));
    processPendingMessages();

    progress->setStatusText(QStringLiteral("共%1条数据  正在导出请稍后...").arg(rows));
    progress->setBarWidth(0);
    const auto afterRow = [&](int row) {
        if (progress) {
            if (progress->barWidth() < exportBarFullWidth)
                progress->setBarWidth(exportBarWidth(row, rows));
            if (const auto percent = exportPercentText(row, rows))
                progress->setPercentText(*percent);
        }
        processPendingMessages();
    };

    const QString path = uniqueTempFileName(QStringLiteral(".xlsx"));
    WorkbookError error;
    if (!writeExportWorkbook(path, table, exportSheetName(currentPage, pageCount), afterRow, &error)) {
        if (error.writerUnavailable) {
            timedMessageBox(QStringLiteral("您需要在计算机上安装EXCEL程序才能进行导出操作！"), MessageStyle::SystemModal,
                            QStringLiteral("本机没有安装Excel"), 3000);
            if (progress)
                progress->setStatusText(QStringLiteral("失败：本机没有安装Excel."));
            state.showResult(QStringLiteral("导出失败：本机没有安装Excel"));
        } else {
            const QString text = exportNotWrittenText(QDir::toNativeSeparators(path), error.reason);
            messageBox(text, MessageStyle::Error | MessageStyle::SystemModal);
            if (progress)
                progress->setStatusText(QStringLiteral("失败：") + error.reason);
            state.showResult(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        }
        if (progress)
            progress->showCloseButton();
        return {};
    }

    const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    // Without an application for the workbook the operator still finds it.
    state.showResult(opened ? exportOpenedText(path) : exportNotOpenedText(path));
    processPendingMessages();
    if (progress) {
        progress->showCloseButton();
        progress->setStatusText(QStringLiteral("导出完成"));
        progress->close();
    }
    return path;
}

namespace {

std::function<QString()>& exportDialogOverride()
{
    static std::function<QString()> choose;
    return choose;
}

QString askForExportFile(QWidget* parent)
{
    if (exportDialogOverride())
        return exportDialogOverride()();
    return QFileDialog::getSaveFileName(parent, QStringLiteral("导出全部结果"),
                                        allResultsDefaultPath(QDateTime::currentDateTime()),
                                        QStringLiteral("Excel 工作簿(*.xlsx);;CSV 文件(*.csv)"));
}

} // namespace

bool writeExportCsv(const QString& path, const ExportTable& table, QString* error)
{
    QVector<QStringList> rows{table.captions};
    rows += table.rows;
    return writeCsvFile(path, rows, int(table.captions.size()), error);
}

QString allResultsDefaultPath(const QDateTime& now)
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .filePath(QStringLiteral("报名_") + now.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral(".xlsx"));
}

ExportFileDialogOverride::ExportFileDialogOverride(std::function<QString()> choose)
    : previous(std::move(exportDialogOverride()))
{
    exportDialogOverride() = std::move(choose);
}

ExportFileDialogOverride::~ExportFileDialogOverride()
{
    exportDialogOverride() = std::move(previous);
}

QString exportAllResults(AppState& state, BrowsePage& browse, QWidget* parent)
{
    if (browse.resultCount() == 0) {
        messageBox(QStringLiteral("请先筛选要导出的数据"), MessageStyle::SystemModal);
        return {};
    }
    const QString path = askForExportFile(parent);
    if (path.isEmpty())
        return {};

    QPointer<ExportProgressWindow> progress = new ExportProgressWindow(parent);
    progress->show();
    const int total = browse.resultCount();
    progress->setStatusText(QStringLiteral("共%1条数据  正在导出请稍后...").arg(total));
    progress->setBarWidth(0);
    processPendingMessages();
    // Reading fills the first half of the bar, writing the second.
    const auto showProgress = [&](int done, int all) {
        if (!progress || done % 200 != 0)
            return;
        progress->setBarWidth(exportBarWidth(done, all));
        processPendingMessages();
    };

    const auto fail = [&](const QString& text, const QString& reason) {
        messageBox(text, MessageStyle::Error | MessageStyle::SystemModal);
        state.showResult(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        if (progress) {
            progress->setStatusText(QStringLiteral("失败：") + reason);
            progress->showCloseButton();
        }
        return QString();
    };

    ExportTable table = exportTableOf(browse.recordList());
    QString reason;
    if (!browse.allResultRows(table.rows, [&](int row, int rows) { showProgress(row, 2 * rows); }, &reason))
        return fail(exportNotReadText(reason), reason);
    const int rows = table.rows.size();
    bool written = false;
    if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        written = writeExportCsv(path, table, &reason);
    } else {
        WorkbookError error;
        written = writeExportWorkbook(path, table, QStringLiteral("Brenvo报名"),
                                      [&](int row) { showProgress(rows + row, 2 * rows); }, &error);
        reason = error.writerUnavailable ? QStringLiteral("表格写入程序无法启动") : error.reason;
    }
    if (!written)
        return fail(exportNotWrittenText(QDir::toNativeSeparators(path), reason), reason);
    state.showResult(QStringLiteral("导出完成：") + QDir::toNativeSeparators(path));
    if (progress) {
        progress->setBarWidth(exportBarFullWidth);
        progress->setStatusText(QStringLiteral("导出完成"));
        progress->close();
    }
    return path;
}
