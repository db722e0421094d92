#include "platform/files.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

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
