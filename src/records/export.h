#pragma once
// The browse list, as shown, copied into a spreadsheet workbook: the header
// row of column captions, then one row per list row, every cell as text.

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>

class BrowsePage;
class QDateTime;
class QTreeWidget;
class QWidget;
struct AppState;

// What the list shows: captions, column widths in pixels and the cell texts.
struct ExportTable {
    QStringList captions;
    QVector<int> columnPixels;
    QVector<QStringList> rows;
};

// Read once before writing, so nothing that runs between rows can change
// what is exported.
ExportTable exportTableOf(const QTreeWidget& list);

// "Brenvo报名 第2页 共3页"
QString exportSheetName(int currentPage, int pageCount);
// The spreadsheet's column width for a list column: pixels / 6, truncated.
int spreadsheetColumnWidth(int pixels);
// The width of the progress bar after `row` of `rows` rows, 0..258.
int exportBarWidth(int row, int rows);
// "33%" after every tenth row; nothing after the others.
std::optional<QString> exportPercentText(int row, int rows);

constexpr int exportBarFullWidth = 258;

// Why a workbook was not written.
struct WorkbookError {
    // The spreadsheet writer itself could not start: nothing was tried on disk.
    bool writerUnavailable = false;
    // What went wrong, for the operator ("磁盘空间不足").
    QString reason;
};

// Writes the table to a new workbook at path. afterRow runs after each row
// with its 1-based number. On failure gives false with the cause in error.
bool writeExportWorkbook(const QString& path, const ExportTable& table, const QString& sheetName,
                         const std::function<void(int row)>& afterRow, WorkbookError* error);

// Why a workbook was not written: a cell of the row (1-based, below the
// header) holds more characters than a spreadsheet cell can.
QString exportCellTooLongText(int row, const QString& caption);

// What the export tells the operator, once the workbook is written.
QString exportOpenedText(const QString& path);
QString exportNotOpenedText(const QString& path);
// What the export tells the operator when the workbook could not be written.
QString exportNotWrittenText(const QString& path, const QString& reason);
// What 导出全部结果 tells the operator when the search's rows could not be read.
QString exportNotReadText(const QString& reason);

// The tool-bar export of the list on show: the progress window, the
// workbook in the temporary directory, then the desktop's default
// application opens it. Gives the workbook's path, or empty text when none
// was written.
QString exportListToSpreadsheet(AppState& state, const QTreeWidget& list, int currentPage, int pageCount,
                            QWidget* parent);

// Writes the table as CSV: UTF-8 with a byte-order mark, so spreadsheet
// programs read the Chinese texts; every field quoted, rows ended by CR LF,
// a text a spreadsheet would run as a formula kept as text (csvCell).
bool writeExportCsv(const QString& path, const ExportTable& table, QString* error);

// 报名_<yyyyMMdd_HHmmss>.xlsx in the documents folder.
QString allResultsDefaultPath(const QDateTime& now);

// While one exists, the save dialog of 导出全部结果 is not shown: `choose`
// answers instead (empty: cancelled), so the export runs without a person.
class ExportFileDialogOverride {
public:
    explicit ExportFileDialogOverride(std::function<QString()> choose);
    ~ExportFileDialogOverride();
    ExportFileDialogOverride(const ExportFileDialogOverride&) = delete;
    ExportFileDialogOverride& operator=(const ExportFileDialogOverride&) = delete;

private:
    std::function<QString()> previous;
};

// 导出全部结果: every row of the browse search, all pages, to a file the
// operator names: .csv as CSV, anything else as a workbook. Gives the path
// written, or empty text.
QString exportAllResults(AppState& state, BrowsePage& browse, QWidget* parent);
