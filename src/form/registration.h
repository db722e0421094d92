#pragma once
// A new registration: the values read from the built form turned into one
// INSERT for bmb, with the required checks, and the photo attached after it.

#include "core/appstate.h"

#include <QDateTime>
#include <QStringList>
#include <QVector>

#include <variant>

// Separates a programme's name from its ids in an option caption: the
// caption is name + separator + id + separator + serverid.
extern const QString programmeIdSeparator;

// What the operator entered for one built item, read from its controls.
struct EnteredItem {
    QString text;               // the edit box's text, or the select list's text
    QStringList optionCaptions; // radio buttons or check boxes in option order
    QVector<bool> ticked;       // parallel to optionCaptions
    QStringList optionKept;     // parallel to optionCaptions: the stored value an option keeps, empty for offered ones
    int listIndex = -1;         // the select list's chosen entry, -1 none
    int listData = -1;          // its item data: a 1-based position in categoryList / programmeList
    QStringList listKept;       // the chosen entry keeps a stored value: it and, for dd and bm1-bm3, the server id
};

// The initial review and payment states: the switches and the item data of
// the entries chosen on the add page (-1 when none is chosen).
struct InitialStates {
    int reviewSwitch = 0;
    int paymentSwitch = 0;
    int reviewData = -1;
    int paymentData = -1;
};

struct InsertOutcome {
    QString sql;       // empty when a check failed
    QString message;   // the item's caption + "没有填写" / "没有选择"
    QString focusTag;  // tag of the control that takes the focus after the message
};

struct ColumnValue {
    QString column;
    QString value;  // as the statement writes it
};

// The bmb columns and values of the entries (parallel to items), in form
// order, a programme's or category's server column after its own. An item
// whose column is no column of bmb is left out, so a damaged form definition
// cannot reach into a statement. With checkRequired the first required item
// left empty gives its message instead.
std::variant<QVector<ColumnValue>, InsertOutcome> itemValues(const QVector<FormItem>& items,
                                                             const QVector<EnteredItem>& entries,
                                                             const QVector<Category>& categories,
                                                             const QVector<Programme>& programmes, bool checkRequired);

// The INSERT of a new registration (entries parallel to items).
InsertOutcome buildInsertSql(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                             const QVector<Category>& categories, const QVector<Programme>& programmes,
                             const InitialStates& states, const QDateTime& now);

// The UPDATE of a stored registration from the edit window's entries;
// required items are not enforced there. Empty when no item is written.
QString buildEditUpdateSql(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                           const QVector<Category>& categories, const QVector<Programme>& programmes, int recordId);

// How a stored value shows in the built controls of its item.
struct StoredEntry {
    QString text;           // edit box text, or a select list's text
    QVector<bool> ticked;   // parallel to the item's option captions
    int selectId = -1;      // a select list of categories or programmes: the id whose entry is selected
};

// The value V of the item's column as its controls show it. optionCaptions
// are the captions the form built for the item's options.
StoredEntry storedEntry(const FormItem& item, const QString& value, const QStringList& optionCaptions);

// The highest bmb id, 0 when there is none or the query failed (the error
// has then been shown).
int newestRegistrationId(AppState& state);

// Stores the add page's pending photo as the fj row of the registration this
// desk just saved (and on the server, for a desk of one) and links it through
// imgid, reporting each step in the status bar; false when a step failed.
bool attachPendingPhoto(AppState& state, int registration, const QString& pendingPhoto);
