#pragma once
// How stored registration values read in the record list: ids as names, codes
// as words, multi-choice values as lists.

#include "core/appstate.h"

#include <QString>
#include <QStringList>

// A multi-choice value stored as ^A^^B^ gives A and B; any other value is
// one choice as it stands.
QStringList multiChoiceValues(const QString& value);

// The text a form item's stored value shows in the list.
QString displayValue(const AppState& lists, const QString& column, const QString& value);

// Review (sh) and payment (fk) states as read from the record.
QString reviewWord(const QString& sh);
QString paymentWord(const QString& fk);
