#pragma once
// A registration as a value: read from the built form (or from elsewhere),
// checked for its required items and turned into the INSERT or UPDATE of
// bmb; and the photo attached after a new one.

#include "core/appstate.h"
#include "store/saveonce.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <QVector>

#include <optional>
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

// A programme or category chosen for a registration.
struct ChosenId {
    qint64 id = 0;
    qint64 serverId = 0;
};

// A stored category or programme the form no longer offers, written back
// as it was: the stored id text and server id text.
struct KeptIds {
    QString id;
    QString serverId;
};

// The value of one item: nothing chosen; a text (text items, single
// choices); a number (the age); the gender code (0 none, 1 男, 2 女);
// several choices; the chosen programmes or category; a kept stored choice.
using ItemValue = std::variant<std::monostate, QString, double, int, QStringList, QVector<ChosenId>, KeptIds>;

// A registration as a plain value, whatever it was entered with: the form
// items' values by bmb column, and what a new one is stored with besides.
struct Registration {
    QHash<QString, ItemValue> values;
    QDateTime time;   // dtime
    int review = 1;   // sh
    int payment = 1;  // fk
    bool fromWeb = false;  // ly: sent by an applicant from the web page
    QString saveKey;       // savekey: the key of the save that writes it; empty writes none

    // The value of a text column, empty when it holds none.
    QString text(const QString& column) const;
};

// The first required item (in form order) the registration leaves empty:
// its 1-based position and the message naming it.
struct RegistrationProblem {
    int position = 0;
    QString message;  // nam + "没有填写" / "没有选择"
};

std::optional<RegistrationProblem> checkRequired(const QVector<FormItem>& items, const Registration& registration);

// The bmb columns and literals of the items, in form order, a programme's
// or category's server column after its own. An item whose column is no
// column of bmb is left out, so a damaged form definition cannot reach into
// a statement.
QVector<ColumnValue> registrationColumns(const QVector<FormItem>& items, const Registration& registration);

// The INSERT of a new registration, and the UPDATE of the stored one `recordId`
// (empty when no item is written).
QString registrationInsert(const QVector<FormItem>& items, const Registration& registration);
QString registrationUpdate(const QVector<FormItem>& items, const Registration& registration, int recordId);

// Several new registrations in few statements: one INSERT for each run of
// up to rowsPerStatement registrations, in order, that give the same
// columns; each row is the one registrationInsert writes for it alone.
struct RegistrationsInsert {
    QString sql;
    int rows = 0;
};
QVector<RegistrationsInsert> registrationInserts(const QVector<FormItem>& items, const QVector<Registration>& registrations,
                                                 int rowsPerStatement);

// The registration the built controls hold (entries parallel to items).
Registration registrationFromEntries(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                                     const QVector<Category>& categories, const QVector<Programme>& programmes);

// The control that takes the focus after the message of the required item
// at `position`.
QString requiredFocusTag(int position, const FormItem& item, const EnteredItem& entry);

// A new registration is stored at `now` with the initial states.
void setNewRegistrationStates(Registration& registration, const InitialStates& states, const QDateTime& now);

// The INSERT of a new registration (entries parallel to items); a required
// item left empty gives its message and the tag of the control to focus.
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

// Stores a new registration and its photo (empty for none) in one
// transaction, once under registration.saveKey (store/saveonce.h); what a
// try that is made again would have said is not shown. storedRow: the
// registration's id when stored.
SaveResult storeNewRegistration(AppState& state, const QVector<FormItem>& items, const Registration& registration,
                                const QString& photo);

// Stores the add page's pending photo as the fj row of the registration this
// desk just saved (and on the server, for a desk of one) and links it through
// imgid, reporting each step in the status bar; false when a step failed.
bool attachPendingPhoto(AppState& state, int registration, const QString& pendingPhoto);
