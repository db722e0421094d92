#pragma once
// The database at start: checked before it is opened, an unusable file
// reported in Chinese with the offer to restore the newest backup, a
// read-only one said at once.

#include "core/appstate.h"

struct DatabaseOpening {
    QString loginBlockedReason;  // why nobody can log in; empty when the database is open
    bool readOnly = false;
};

DatabaseOpening openCheckedDatabase(AppState& state);

// Offers the newest backup that passes its verification; true when the
// operator took it and it is in place.
bool offerRestoreOfNewestBackup(const AppState& state);
