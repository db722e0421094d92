#pragma once
// The statements that change the ticked registrations: review and payment
// states, the recycle bin and permanent deletion. Each acts on an id list.

#include "records/browsequery.h"

#include <QString>
#include <QVector>

// The entries of the status selector, in order; position 0 changes nothing,
// 1-3 set the review state, 4-6 the payment state, to the entry's code.
const QVector<SelectorEntry>& statusEntries();

// "update bmb set fk=1 where id in (12,15,20)"; empty for a position that
// changes nothing.
QString statusChangeStatement(int position, int code, const QVector<int>& ids);

// Moves the registrations into the recycle bin, or back out of it.
QString recycleStatement(bool intoRecycleBin, const QVector<int>& ids);

QString deleteRegistrationsStatement(const QVector<int>& ids);
QString deleteAttachmentsStatement(const QVector<int>& ids);
