#pragma once
// Files the program writes for itself, and the file-system steps that must be
// whole or not at all.

#include <QByteArray>
#include <QFile>
#include <QLockFile>
#include <QString>

#include <memory>

// A new name in the system temporary directory: the tick count and a counter
// in lower-case hexadecimal, ".tmp", then the given suffix (".htm", ".bmp").
QString uniqueTempFileName(const QString& suffix);

// Why the system refused a file operation, in words for the operator, from
// the C library's error number (errno) just after the failure: "磁盘空间不足",
// "没有写入权限", "文件夹不存在" and the like.
QString fileErrorText(int errorNumber);

// Puts source in place of target in one step: at every moment target is
// either the old file or the new one, even if the process is killed. Both
// must be on the same file system. On failure error gets the system's reason.
bool replaceFile(const QString& source, const QString& target, QString* error = nullptr);

// Swaps two paths (files or directories) in one step. False, with nothing
// changed, when the file system cannot do it; the caller then moves them one
// after the other.
bool exchangePaths(const QString& first, const QString& second);

// Opens path for writing as a new file, refused when anything is there
// already, a symbolic link included (never followed to its target). On
// failure `exists` tells whether something was there, error the reason.
bool createNewFile(QFile& file, const QString& path, bool* exists, QString* error);

// A second name for a file, sharing its bytes where the file system allows,
// else a copy. The new name must not exist yet.
bool keepCopyOf(const QString& file, const QString& copy);

// A lock file in directory, held for as long as the returned object lives,
// so that a second copy of the program started on the same directory notices.
// A lock file nobody holds any more is taken over: one left by a process that
// has ended, or one copied along with the directory.
// Neither held nor held elsewhere: the directory allows no lock file (it is
// read-only), so a second copy cannot be noticed there.
struct DirectoryLock {
    std::unique_ptr<QLockFile> lock;  // empty unless held
    bool heldElsewhere = false;       // another running process holds it
};
DirectoryLock lockDirectory(const QString& directory, const QString& lockFileName);

// What tells one file from another at the same path: its device and inode.
// Empty when there is no file. A file replaced by a rename gets another one.
QByteArray fileIdentity(const QString& path);

// How many files this process may have open at once (its soft limit).
int openFileLimit();
