#pragma once
// Every statement the login window, the account page and the unit pages
// run, built apart from their windows so each can be checked without one.

#include "core/appstate.h"

#include <QString>

QString loginAccountsStatement();
QString accountByNameStatement(const QString& name);

QString accountRowsStatement();
QString accountByIdStatement(int id);
QString insertAccountStatement(const QString& name, int groupCode, bool enabled, const QString& digest);
// One's own account: name, and the password when a new one is given (digest
// not empty); group and enabled state are never touched.
QString updateOwnAccountStatement(int id, const QString& name, const QString& digest);
QString updateAccountStatement(int id, const QString& name, int groupCode, bool enabled, const QString& digest);
QString deleteAccountStatement(int id);

// The ten values the unit page saves, in statement order.
struct UnitInfoValues {
    QString name, address, telephone, qq, email, fax;
    int multiLocation = 0, review = 0, payment = 0, photo = 0;
};

// The unit's one row of xx; the stored texts differ by a trailing blank.
QString unitInfoStatement();
QString unitSettingsStatement();
// The four switches as the row of unitSettingsStatement gives them.
UnitSettings unitSettingsOf(const RecordSet& row);
QString syncSettingsStatement();
QString insertUnitInfoStatement(const UnitInfoValues& values);
// Updates every row of xx: the table holds one.
QString updateUnitInfoStatement(const UnitInfoValues& values);
QString categoryItemStatusStatement(int multiLocation);
