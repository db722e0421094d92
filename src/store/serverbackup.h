#pragma once
// Moving an office onto a server and back, with the archive of 数据备份 as
// the bridge: a desk's archive loads into a server database, and a backup
// taken on a server desk is the very archive a single desk writes (a zhao.dat
// made from the server's rows, the photo files, the settings file and the
// manifest), so it restores onto a single desk as any other.

#include "store/backup.h"

class DbConnection;

// Writes an archive of the server's data into folder: its rows in a new
// zhao.dat, the photo files of its photofile table, and deskDir's settings.
BackupResult writeServerBackup(DbConnection& server, const QString& deskDir, const QString& folder, BackupKind kind,
                               const BackupProgress& progress = {});

// Puts a staged (verified) archive in place of the server's data in one
// transaction: every row of its zhao.dat with its id, and the photo files its
// fj rows name. On failure the server keeps what it had and error says why
// (Chinese, for the operator).
bool restoreIntoServer(const StagedBackup& staged, DbConnection& server, QString* error);
