#pragma once
// The one way a value enters a statement text. Every literal piece of a
// statement goes through these, so a value typed by an operator can never
// end its literal, and the statement text stays letter for letter what it
// must be for ordinary input.

#include <QDateTime>
#include <QString>
#include <QVector>

// 'value' with embedded quotes doubled.
QString sqlText(const QString& value);
QString sqlInteger(qint64 value);
// 1 or 0, as the status and switch columns hold a yes or no.
QString sqlFlag(bool on);
// C's "%.13g", as statements write numbers.
QString sqlNumber(double value);
// #yyyy-MM-dd HH:mm:ss#
QString sqlDate(const QDateTime& moment);
// 12,15,20
QString sqlIdList(const QVector<int>& ids);
