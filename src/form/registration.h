#pragma once
// A new registration: the values read from the built form turned into one
// INSERT for bmb, with the required checks, and the photo attached after it.

#include "core/appstate.h"

#include <QDateTime>
#include <QStringList>
#include <QVector>

// Separates a programme's name from its ids in an option caption: the
// caption is name + separator + id + separator + serverid.
extern const QString programmeIdSeparator;

// What the operator entered for one built item, read from its controls.
struct EnteredItem {
    QString text;               // the edit box's text, or the select list's text
    QStringList optionCaptions; // radio buttons or check boxes in option order
    QVector<bool> ticked;       // parallel to optionCaptions
    int listIndex = -1;         // the select list's chosen entry, -1 none
    int listData = -1;          // its item data: a 1-based position in categoryList / programmeList
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

// The statement for the entries of formItems (entries parallel to items).
InsertOutcome buildInsertSql(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                             const QVector<Category>& categories, const QVector<Programme>& programmes,
                             const InitialStates& states, const QDateTime& now);

// The highest bmb id, 0 when there is none or the query failed (the error
// has then been shown).
int newestRegistrationId(AppState& state);

// Stores pendingPhotoFile as the fj row of the newest registration and links
// it through imgid, reporting each step in the status bar.
void attachPendingPhoto(AppState& state);
