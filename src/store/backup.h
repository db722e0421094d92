#pragma once
// Backups of the program's data: one zip archive holding a consistent copy of
// zhao.dat (SQLite's online backup, safe while the program has the file
// open), every file of photo/, duzarizered.ini and manifest.json (time,
// program version, row counts, the size and a SHA-256 checksum of each file).
// A restore checks every entry's size against the manifest and the free disk
// space before it writes anything, then verifies the whole archive in a
// staging directory before it touches the current data.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <functional>
#include <memory>
#include <utility>

enum class BackupKind { Manual, Automatic };

// A file of a backup as its manifest lists it.
struct BackupEntry {
    QString name;    // archive entry ("zhao.dat", "photo/2013-05/x.jpg")
    QString sha256;  // hexadecimal
    qint64 size = -1;  // bytes; -1 in manifests written before sizes were recorded
};

struct BackupManifest {
    QDateTime created;
    QString programVersion;
    QVector<std::pair<QString, qint64>> rowCounts;    // table, rows; by table name
    QVector<BackupEntry> files;
    QString dataFingerprint;  // of the data backed up, see dataFingerprint()

    qint64 rowsOf(const QString& table) const;
    int photoCount() const;
};

// Called with the work done and the work there is (0 <= done <= total).
using BackupProgress = std::function<void(qint64 done, qint64 total)>;

struct BackupResult {
    bool ok = false;
    QString archivePath;
    QString error;  // Chinese, for the operator
    BackupManifest manifest;
};

// Where backups go unless the operator chooses another folder.
QString defaultBackupFolder(const QString& programDir);

// zhao_yyyyMMdd_HHmmss.zip, or zhao_auto_… for an automatic backup.
QString backupFileName(const QDateTime& moment, BackupKind kind);

struct BackupFile {
    QString path;
    QDateTime moment;  // from the name
    BackupKind kind = BackupKind::Manual;
};
// The backups in folder (by their names), newest first.
QVector<BackupFile> listBackups(const QString& folder);

// Writes a new archive of programDir's data into folder (created if missing).
BackupResult writeBackup(const QString& programDir, const QString& folder, BackupKind kind,
                         const BackupProgress& progress = {});

// A checksum of the data as it stands: the stamp of zhao.dat (its size, time
// and change counter) and the names, sizes and times of the photo files. The settings file is left out: the
// program writes it at every start and exit.
QString dataFingerprint(const QString& programDir);

// True when the data differs from what the newest backup in folder holds (or
// there is none).
bool changedSinceLastBackup(const QString& programDir, const QString& folder);

// Removes the oldest automatic backups in folder beyond keep; manual backups stay.
void pruneAutomaticBackups(const QString& folder, int keep);

// At exit: an automatic backup when anything changed since the last one,
// keeping the newest ten automatic ones. Nothing to do counts as success.
// beforeWriting runs once it is clear that a backup will be written.
BackupResult automaticBackupIfChanged(const QString& programDir, const std::function<void()>& beforeWriting = {});

// An archive unpacked and verified in a directory beside the program's data
// (so that putting it in place is a rename on the same file system).
struct StagedBackup {
    bool ok = false;
    QString error;  // Chinese, for the operator
    BackupManifest manifest;
    std::unique_ptr<QTemporaryDir> dir;
};

// Unpacks archive into a staging directory in programDir and verifies it:
// every file is listed in the manifest with its size and a matching checksum,
// zhao.dat is there, passes PRAGMA integrity_check and has the program's
// tables. Before anything is written, every entry's size is checked against
// the manifest and all of them against the free space of programDir's disk;
// no entry is unpacked beyond its size. Nothing of the current data is touched.
StagedBackup stageBackup(const QString& archive, const QString& programDir);

// Whether needed bytes can be unpacked onto a disk with available bytes free
// and still leave the program a margin to run there; an unknown free space
// (available < 0) is not held against the restore.
bool leavesEnoughFreeSpace(qint64 needed, qint64 available);

// Puts a verified backup in place of zhao.dat, photo/ and duzarizered.ini.
// zhao.dat is replaced in one step, so a program killed meanwhile leaves the
// old file or the new one, never none. The program's connection to zhao.dat
// must be closed. keepReplacedDatabase leaves the replaced file beside it as
// zhao.dat.before-restore-<time> (a damaged file someone may still want to
// rescue).
bool applyStagedBackup(StagedBackup& staged, const QString& programDir, bool keepReplacedDatabase,
                       QString* error);

// The databases a restore set aside in programDir (zhao.dat.before-restore-*),
// newest first.
QStringList setAsideDatabases(const QString& programDir);

// Puts a database a restore set aside back as programDir's zhao.dat, which is
// missing; on failure error gets the system's reason.
bool putBackSetAsideDatabase(const QString& setAside, const QString& programDir, QString* error);

// Removes the staging directories of restores that did not finish (the
// program was killed while unpacking or swapping). Only to be called while no
// restore can be running in programDir. A restore killed between moving the
// current photos away and putting the backup's photos in place is finished
// first, so that photo/ is never lost with its staging directory.
void removeUnfinishedRestores(const QString& programDir);

// What a backup holds, for the confirmation before a restore.
QString backupSummaryText(const BackupManifest& manifest);

// A size as the operator reads it ("820 KB", "1.5 MB", "2.0 GB").
QString fileSizeText(qint64 bytes);
