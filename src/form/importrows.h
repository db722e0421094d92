#pragma once
// Registrations from the rows of a spreadsheet: each column matched to a
// form item (or to the time and the two states), each row converted as the
// add page converts what is entered, checked, and stored together.

#include "core/appstate.h"
#include "form/duplicates.h"
#include "form/importfile.h"
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
    bool date1904 = false; // day numbers count from 1904 (ImportFileReader::date1904)
};

// One data row of the file and what becomes of it.
struct ImportRow {
    int line = 0;        // its row in the file, the header being row 1
    QStringList cells;   // as read
    Registration registration;
    QString problem;     // why it is not stored; empty when it is
};

// The row converted and checked for its required items; columns are the
// matches (matchImportColumns), parallel to cells. A time no registration
// can have (before 1900, over a year after `now`), an age outside 0 to 150
// and a NUL character in an imported cell are problems of the row.
ImportRow convertImportRow(const ImportContext& context, const QStringList& columns, const QStringList& cells, int line);

// Looks up the stored registration each of several repeats (nothing where
// none), as findLikelyDuplicates does; false when the lookup failed.
using StoredDuplicateLookup =
    std::function<bool(const QVector<Registration>& registrations, QVector<std::optional<LikelyDuplicate>>& found)>;

// The rows of a file to be stored so far, by what they are compared by
// (duplicateKeys): a 64-bit digest of each key, with the row's line. Kept
// across batches, it costs a few bytes a row instead of the row's texts.
using ImportFileKeys = QHash<quint64, int>;

// Marks the rows that repeat a stored registration (`stored` looks them up
// together) or an earlier row of the file that will be stored (`seen`, which
// the rows to be stored are added to): "与第N号报名重复", or "与第N行重复"
// for a row of the file, which comes first. Rows with a problem already are
// left as they are. False when the lookup failed (nothing is marked).
bool markImportDuplicates(QVector<ImportRow>& rows, const QVector<FormItem>& items, const StoredDuplicateLookup& stored,
                          ImportFileKeys& seen);

// What the INSERT writes for each import target (importTargets), as text
// without quotes; an item of several columns (a programme and its server
// id) joins them with " / ".
QStringList storedValuesOf(const QVector<FormItem>& items, const Registration& registration);

// "导入 N 条，跳过 M 条"
QString importSummary(int stored, int skipped);

// <folder>/<name>_未导入.csv beside the source file; the n-th other name
// (n ≥ 2) <name>_未导入(n).csv.
QString skippedFilePath(const QString& sourcePath, int n = 1);

// What the operator chose to import.
struct ImportRequest {
    QString path;
    CsvEncoding encoding = CsvEncoding::Utf8;
    QStringList header;    // the file's first row
    QStringList columns;   // per column of the file its target, empty for none
    bool allowDuplicates = false;
    ImportContext context;
    ImportLimits limits;
};

// How far an import is: bytes of the file read (of `total`), rows stored
// and skipped.
struct ImportProgress {
    qint64 done = 0;
    qint64 total = 0;
    int stored = 0;
    int skipped = 0;
};

struct ImportOutcome {
    enum class Result { Stored, Cancelled, Failed };
    Result result = Result::Failed;
    int stored = 0;
    int skipped = 0;
    QString skippedPath;  // the file of the skipped rows, empty when none
    QString error;        // why it failed; empty when the error has been shown
};

// Rows converted and stored per batch: what the import holds in memory.
constexpr int importBatchRows = 500;

// Imports a file: a thread of its own reads and converts its rows while
// this one checks them for duplicates and stores them, a batch at a time,
// in one transaction; the skipped rows go to a new file beside it
// (skippedFilePath, never an existing file or link), each with its reason.
// keepGoing runs at the start, after every batch and while waiting for one;
// when it answers false the import stops, nothing is stored and no file of
// skipped rows is left, as after a failure.
ImportOutcome importRegistrations(AppState& state, const ImportRequest& request,
                                  const std::function<bool(const ImportProgress&)>& keepGoing);
