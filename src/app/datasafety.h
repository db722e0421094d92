#pragma once
// The data at start: one run of the program per program directory; a missing
// zhao.dat replaced from what a restore set aside or from a backup; the
// database checked before it is opened, a damaged one reported in Chinese
// with the offer to restore the newest backup, one held by another program
// named as such, a read-only one said at once.

#include "core/appstate.h"

// Claims the program directory for this run (state.instanceLock) and clears
// what restores that did not finish left there. False when another run holds
// it: the operator has been told.
bool claimProgramDirectory(AppState& state);

// The message for a second start on a directory where the program runs.
QString alreadyRunningText(const QString& programDir);

// The lock file a run holds in its program directory.
QString instanceLockFileName();

// zhao.dat is missing: offers the newest usable database a restore set aside,
// then the newest usable backup. True when zhao.dat is in place afterwards.
bool offerRecoveryOfMissingDatabase(const AppState& state);

struct DatabaseOpening {
    QString loginBlockedReason;  // why nobody can log in; empty when the database is open
    bool readOnly = false;
    bool heldByAnotherProgram = false;  // waited for in vain; the program ends
    bool operatorQuit = false;  // the server did not answer and the operator chose 退出; the program ends
    // Only the header, tables and columns were checked, as the last run closed
    // cleanly and nothing has changed the file since: the pages are checked
    // after login.
    bool pagesUnchecked = false;
};

// Checks zhao.dat and opens it: page by page unless the last run left the
// clean-close mark for the file as it is now (the mark is taken away, so a run
// that ends without closing leaves none).
DatabaseOpening openCheckedDatabase(AppState& state);

// Builds the index of the text items a file of an earlier version lacks,
// with a progress window; a failure is said, and searches read every row.
void buildTextIndexWithProgress(DbConnection& connection);

// The mark a clean close leaves for the next start: zhao.dat's stamp as this
// run left it, in the file named by cleanCloseFileName().
void leaveCleanCloseMark(const AppState& state);
QString cleanCloseFileName();

// The libpq connection string of [server] connection in the settings file;
// empty when the desk keeps its own zhao.dat.
QString serverConnectionSetting(const QString& iniPath);
// [server] connecttimeout and statementtimeout, in seconds (10 and 30 when
// not given).
store::ServerLimits serverLimitsSetting(const QString& iniPath);
// Connects to the server several desks share: empty when connected,
// otherwise why nobody can log in.
QString connectToServer(AppState& state);
// connectToServer at start: a server that does not answer is offered 重试
// and 退出; any other failure is said, and 登录 tries again.
DatabaseOpening openServerDatabase(AppState& state);

// Offers the newest backup that passes its verification, after situation (a
// line saying why, or nothing); true when the operator took it and it is in place.
bool offerRestoreOfNewestBackup(const AppState& state, const QString& situation = {});
