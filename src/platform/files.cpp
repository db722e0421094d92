#include "platform/files.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

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
