#pragma once
// Registrations from the rows of a spreadsheet: each column matched to a
// form item (or to the time and the two states), each row converted as the
// add page converts what is entered, checked, and stored together.

#include "core/appstate.h"
#include "form/duplicates.h"
#include "form/registration.h"

#include <functional>

// Where a column of the file can go: a form item's column, or dtime, sh, fk.
struct ImportTarget {
    QString column;
    QString caption;
};

// The form items in form order, then 时间, 审核状态 and 付款状态.
QVector<ImportTarget> importTargets(const QVector<FormItem>& items);

// Per header cell the column it goes to, empty when none: a target whose
// caption or column name equals the header, blanks trimmed and case ignored.
// A target takes the first column that names it only.
QStringList matchImportColumns(const QStringList& headers, const QVector<FormItem>& items);

// What the conversion needs besides the row.
struct ImportContext {
    QVector<FormItem> items;
    QVector<Category> categories;
    QVector<Programme> programmes;
    InitialStates states;  // the states of a row that gives none
    QDateTime now;         // the time of a row that gives none
};

// One data row of the file and what becomes of it.
struct ImportRow {
    int line = 0;        // its row in the file, the header being row 1
    QStringList cells;   // as read
    Registration registration;
    QString problem;     // why it is not stored; empty when it is
};

// The row converted and checked for its required items; columns are the
// matches (matchImportColumns), parallel to cells.
ImportRow convertImportRow(const ImportContext& context, const QStringList& columns, const QStringList& cells, int line);

// Looks up the stored registration each of several repeats (nothing where
// none), as findLikelyDuplicates does; false when the lookup failed.
using StoredDuplicateLookup =
    std::function<bool(const QVector<Registration>& registrations, QVector<std::optional<LikelyDuplicate>>& found)>;

// Marks the rows that repeat a stored registration (`stored` looks them up
// together) or an earlier row of the file that will be stored: "与第N号报名重复",
// or "与第N行重复" for a row of the file, which comes first. Rows with a
// problem already are left as they are. False when the lookup failed
// (nothing is marked).
bool markImportDuplicates(QVector<ImportRow>& rows, const QVector<FormItem>& items, const StoredDuplicateLookup& stored);

// What the INSERT writes for each import target (importTargets), as text
// without quotes; an item of several columns (a programme and its server
// id) joins them with " / ".
QStringList storedValuesOf(const QVector<FormItem>& items, const Registration& registration);

// "导入 N 条，跳过 M 条"
QString importSummary(int stored, int skipped);

// <folder>/<name>_未导入.csv beside the source file.
QString skippedFilePath(const QString& sourcePath);
// The skipped rows as they were read, each with its reason as an extra last
// column, under the file's header and "未导入原因".
QVector<QStringList> skippedFileRows(const QStringList& header, const QVector<ImportRow>& rows, int* columns);

// Stores every row without a problem in one transaction, each as
// registrationInsert writes it (several in one statement); afterRow runs
// after each stored row with its 1-based count. A failure stores none (the
// error has then been shown) and gives false.
bool storeImportedRows(AppState& state, const QVector<FormItem>& items, const QVector<ImportRow>& rows,
                       const std::function<void(int stored)>& afterRow);
