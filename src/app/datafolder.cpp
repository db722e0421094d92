#include "app/datafolder.h"

#include "app/datasafety.h"
#include "store/backup.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

const QString installedMarkerName = QStringLiteral("installed");

namespace {

// What the program ships for its data folder: the placeholder photo and the
// field page template, both read from the data folder.
const QStringList shippedDataFiles = {QStringLiteral("photo/noimg.jpg"), QStringLiteral("mb/zd_mb.htm")};

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

bool seedFile(const QString& from, const QString& to, QString* error)
{
    if (QFileInfo::exists(to) || !QFileInfo::exists(from))
        return true;
    if (QDir().mkpath(QFileInfo(to).absolutePath()) && QFile::copy(from, to))
        return true;
    *error = QStringLiteral("无法写入数据文件夹：") + shown(to);
    return false;
}

// A folder without zhao.dat but with a backup or a copy a restore set aside
// is left to the recovery offered at the start; a desk whose settings name a
// server needs none.
bool needsNewDatabase(const QString& folder)
{
    return !QFileInfo::exists(QDir(folder).filePath(QStringLiteral("zhao.dat")))
        && serverConnectionSetting(QDir(folder).filePath(QStringLiteral("duzarizered.ini"))).isEmpty()
        && listBackups(defaultBackupFolder(folder)).isEmpty() && setAsideDatabases(folder).isEmpty();
}

} // namespace

QString chooseDataFolder(const DataFolderFacts& facts)
{
    if (!facts.namedFolder.isEmpty())
        return QDir::cleanPath(QDir(facts.workingDir).absoluteFilePath(facts.namedFolder));
    if (facts.installed)
        return QDir::cleanPath(facts.userDataHome + QStringLiteral("/brenvo"));
    return QDir::cleanPath(facts.programDir);
}

DataFolderFacts currentDataFolderFacts(const QString& namedFolder)
{
    DataFolderFacts facts;
    facts.namedFolder = namedFolder;
    facts.workingDir = QDir::currentPath();
    facts.programDir = QCoreApplication::applicationDirPath();
    facts.installed = QFileInfo::exists(QDir(facts.programDir).filePath(installedMarkerName));
    facts.userDataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return facts;
}

bool prepareDataFolder(const DataFolderFacts& facts, const QString& dataFolder, QString* error)
{
    const QDir folder(dataFolder);
    if (folder == QDir(facts.programDir))
        return true;
    if (!facts.namedFolder.isEmpty() && !QFileInfo(dataFolder).isDir()) {
        *error = QStringLiteral("数据文件夹不存在：") + shown(dataFolder);
        return false;
    }
    if (!QDir().mkpath(dataFolder)) {
        *error = QStringLiteral("无法建立数据文件夹：") + shown(dataFolder);
        return false;
    }
    for (const QString& name : shippedDataFiles)
        if (!seedFile(QDir(facts.programDir).filePath(name), folder.filePath(name), error))
            return false;
    if (needsNewDatabase(dataFolder)) {
        QString reason;
        if (!createShippedDatabase(folder.filePath(QStringLiteral("zhao.dat")), &reason)) {
            *error = QStringLiteral("无法在数据文件夹中建立数据库：") + shown(folder.filePath(QStringLiteral("zhao.dat")))
                + QStringLiteral("\n") + reason;
            return false;
        }
    }
    return true;
}

QString shippedPage(const QString& name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}
