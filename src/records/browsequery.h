#pragma once
// The texts behind the browse page: the entries of its condition rows, the
// WHERE clause they make, the query, the page information and the page size.
// Plain functions of values, so the statements can be checked letter by letter.

#include "core/appstate.h"

#include <QString>
#include <QVector>

#include <optional>

// Codes carried by the entries of a field selector: the n-th form item is n.
namespace ItemCode {
enum : int { None = -1, Time = 101, Review = 102, Payment = 103, Photo = 104, Source = 105 };
}

struct SelectorEntry {
    QString text;
    std::optional<int> code;
};

// "无", every form item's caption, then 时间, 审核, 付款, 照片, 来源.
QVector<SelectorEntry> fieldSelectorEntries(const QVector<FormItem>& items);

// The bmb column an item code stands for; empty for any other code.
QString columnForItemCode(const QVector<FormItem>& items, int code);

// What a condition row offers once its field is chosen.
struct ConditionChoices {
    enum class Content { Hidden, Kept, CurrentTime };
    QVector<SelectorEntry> entries;
    Content content = Content::Kept;
};
ConditionChoices conditionChoicesFor(const QString& column, const AppState& lists);

// One condition row as the operator has set it.
struct ConditionRow {
    int fieldPosition = 0;  // 0 = "无"
    int fieldCode = ItemCode::None;
    QString conditionText;
    std::optional<int> conditionCode;
    QString content;
};

// The row's condition: empty text when the row sets none (its field is "无",
// or the category or programme it names is not in the list); nothing when its
// content cannot enter a statement (an age that is no number, a column bmb
// does not have), which makes the whole search fail.
// Items are the form items the field codes count; lists gives the categories
// and programmes the condition codes count.
std::optional<QString> conditionFragment(const ConditionRow& row, const QVector<FormItem>& items, const AppState& lists);

// " where " + the rows' conditions and the status condition, joined by " and ";
// nothing when a row's condition cannot be written.
std::optional<QString> browseWhere(const QVector<ConditionRow>& rows, bool recycleBin, const QVector<FormItem>& items,
                                   const AppState& lists);

// The form items' columns for the list query, in form order, joined by ",".
// Items whose column is not one of bmb's are left out.
QString columnListOf(const QVector<FormItem>& items);

QString browseQuery(const QString& columnList, const QString& where);

// "2/5  Tol:230"; a page number below 1 (no current page) reads 0.
QString pageInfoText(int currentPage, int pageCount, int recordCount);

// Rows per page when the setting gives none.
constexpr int defaultPageSize = 50;
// The page size box read as a number, integer part; a text that gives no
// whole number of at least 1 means the default.
int pageSizeFromText(const QString& text);
