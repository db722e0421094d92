#include "platform/files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

QString uniqueTempFileName(const QString& suffix)
{
    static unsigned counter = 0;
    const QDir temp(QDir::tempPath());
    QString name;
    do {
        name = temp.filePath(QString::number(QDateTime::currentMSecsSinceEpoch(), 16)
                             + QString::number(++counter, 16) + QStringLiteral(".tmp") + suffix);
    } while (QFileInfo::exists(name));
    return name;
}

QString fileErrorText(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("磁盘空间不足");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("超出磁盘配额");
#endif
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case EROFS:
        return QStringLiteral("磁盘只能读不能写");
    case ENOENT:
        return QStringLiteral("文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一项不是文件夹");
    case EISDIR:
        return QStringLiteral("已有同名的文件夹");
    case ENAMETOOLONG:
        return QStringLiteral("路径太长");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件太多");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    default:
        return QStringLiteral("系统错误 %1（%2）").arg(errorNumber).arg(QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

bool replaceFile(const QString& source, const QString& target, QString* error)
{
    // rename(2) replaces an existing target atomically.
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0)
        return true;
    if (error)
        *error = fileErrorText(errno);
    return false;
}

bool exchangePaths(const QString& first, const QString& second)
{
    return ::renameat2(AT_FDCWD, QFile::encodeName(first).constData(), AT_FDCWD,
                       QFile::encodeName(second).constData(), RENAME_EXCHANGE)
           == 0;
}

bool createNewFile(QFile& file, const QString& path, bool* exists, QString* error)
{
    // O_EXCL refuses any name already taken, a dangling link as well.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    *exists = descriptor < 0 && errno == EEXIST;
    if (descriptor < 0) {
        if (error)
            *error = fileErrorText(errno);
        return false;
    }
    if (file.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(descriptor);
    if (error)
        *error = file.errorString();
    return false;
}

bool keepCopyOf(const QString& file, const QString& copy)
{
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(copy).constData()) == 0)
        return true;
    return QFile::copy(file, copy);
}

namespace {

// A whole lock file (its holder wrote it) that no open file holds locked: its
// holder has ended, or the file is a copy. QLockFile only sees whether the
// process it names still runs.
bool removeIfAbandoned(const QString& path)
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (!QLockFile(path).getLockInfo(&pid, &host, &application))
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Removed while locked here, so that no new holder locks it meanwhile.
    const bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(QFile::encodeName(path).constData()) == 0;
    ::close(fd);
    return removed;
}

} // namespace

DirectoryLock lockDirectory(const QString& directory, const QString& lockFileName)
{
    DirectoryLock result;
    const QString path = QDir(directory).filePath(lockFileName);
    auto lock = std::make_unique<QLockFile>(path);
    // A lock counts as stale only when nobody holds it, however old it is.
    lock->setStaleLockTime(0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (lock->tryLock(0)) {
            result.lock = std::move(lock);
            return result;
        }
        if (lock->error() != QLockFile::LockFailedError)
            return result;
        if (attempt > 0 || !removeIfAbandoned(path))
            break;
    }
    result.heldElsewhere = true;
    return result;
}

QByteArray fileIdentity(const QString& path)
{
    struct stat facts {};
    if (::stat(QFile::encodeName(path).constData(), &facts) != 0)
        return QByteArray();
    return QByteArray::number(quint64(facts.st_dev)) + ':' + QByteArray::number(quint64(facts.st_ino));
}

int openFileLimit()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1 << 20;
    return int(qMin<rlim_t>(limit.rlim_cur, 1 << 20));
}
