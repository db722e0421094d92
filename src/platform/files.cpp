#include "platform/files.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

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

void openWithDesktop(const QString& fileOrAddress)
{
    const QUrl url = QFileInfo::exists(fileOrAddress) ? QUrl::fromLocalFile(fileOrAddress) : QUrl(fileOrAddress);
    QDesktopServices::openUrl(url);
}
