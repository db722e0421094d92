#pragma once
// Counting the registrations per value of one item: the items offered, the
// categories of each, their counting statements and the counts. Plain
// functions of values, so the statements can be checked letter by letter.

#include "core/appstate.h"
#include "records/browsequery.h"

#include <QColor>
#include <QString>
#include <QVector>

#include <functional>
#include <optional>

struct StatisticsItem {
    QString text;
    int code = 0;
};

// The form items that can be counted (gender, age, category, programmes and
// the extension items with choices), "(多选)" after check-box items, then
// 审核 and 付款. The codes are the browse page's item codes, which
// columnForItemCode (records/browsequery.h) resolves to a column.
QVector<StatisticsItem> statisticsItems(const QVector<FormItem>& items);

// True when the code is a form item of the check-box type, whose values hold
// several choices between carets.
bool isMultiChoiceCode(const QVector<FormItem>& items, int code);

// One row of the result: what it shows, the value it compares and its count.
struct StatisticsCategory {
    QString label;
    QString value;
    int count = 0;
};

// The categories of a column; the extension items take their choices from
// the item's preset values. Empty for a column without categories.
QVector<StatisticsCategory> statisticsCategories(const QString& column, const QString& presetValues,
                                                 const AppState& lists);

// The one statement counting every category: its column i is the count of
// category i. For a check-box item (multiChoice) it selects the item's values
// instead; countCategories counts them per distinct value in one pass and adds
// each value's count to every category among its choices. filter is the browse page's WHERE clause
// (starting " where ") when the count is restricted to what the browse
// conditions select. None when there is no category, or a value that stands
// unquoted (every column but the extension items) is not a number.
std::optional<QString> statisticsStatement(const QString& column, const QVector<StatisticsCategory>& categories,
                                           bool multiChoice, const std::optional<QString>& filter);

// Runs the statement and fills in the counts. A statement that fails leaves
// every count at 0, is reported through onFailure with the database's message
// and gives false.
bool countCategories(AppState& state, QVector<StatisticsCategory>& categories, const QString& statement,
                     bool multiChoice, const std::function<void(const QString& error)>& onFailure);

// The counts a chart draws.
struct ChartValue {
    QString label;
    double value = 0;
};

// Slice i (from 1) of the pie: ten colours, repeating.
QColor sliceColour(int slice);
// The largest value, or start when no value exceeds it.
double chartScaleMaximum(const QVector<ChartValue>& values, double start);
