#include "store/serverbackup.h"

#include "platform/sqlliteral.h"
#include "store/database.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

const QString settingsFile = QStringLiteral("duzarizered.ini");

// photo/<stored name> below dir, a stored name's backslashes as folders; empty
// for a name that would lead out of the photo folder.
QString photoFileIn(const QString& dir, const QString& storedName)
{
    QString relative = storedName;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    relative = QDir::cleanPath(relative);
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) || relative == QLatin1String("..")
        || relative.startsWith(QLatin1String("../")))
        return QString();
    return QDir(dir).filePath(QStringLiteral("photo/") + relative);
}

QString literalOf(const RecordSet& row, const schema::Column& column)
{
    const QString name = QString::fromLatin1(column.name);
    switch (column.kind) {
    case schema::Kind::Integer:
        return sqlInteger(row.readInteger(name));
    case schema::Kind::Number:
        return sqlNumber(row.readNumber(name));
    case schema::Kind::DateTime:
        return sqlDate(row.readDateTime(name));
    case schema::Kind::Text:
        break;
    }
    return sqlText(row.readText(name));
}

// Every row of the program's tables from `from` in place of `to`'s, ids kept.
bool copyRows(DbConnection& from, DbConnection& to, QString* failure)
{
    RecordSet rows;
    std::unique_ptr<RecordSet> result;
    for (const schema::Table& table : schema::tables()) {
        const QString name = QString::fromLatin1(table.name);
        QStringList columns{QStringLiteral("id")};
        for (const schema::Column& column : table.columns)
            columns << QString::fromLatin1(column.name);
        const QString insert = QStringLiteral("INSERT INTO %1 (%2) values (").arg(name, columns.join(QLatin1Char(',')));
        if (!to.executeStatement(QStringLiteral("delete * from ") + name, result)
            || !from.openQuery(rows, QStringLiteral("select * from %1 order by id").arg(name))) {
            *failure = to.lastErrorText().isEmpty() ? from.lastErrorText() : to.lastErrorText();
            return false;
        }
        for (; !rows.atEnd(); rows.moveNext()) {
            QStringList values{sqlInteger(rows.readInteger("id"))};
            for (const schema::Column& column : table.columns)
                values << literalOf(rows, column);
            if (!to.executeStatement(insert + values.join(QLatin1Char(',')) + QLatin1Char(')'), result)) {
                *failure = to.lastErrorText();
                return false;
            }
        }
        if (rows.readFailed()) {
            *failure = from.lastErrorText();
            return false;
        }
        if (!to.continueIdsAfterLargest(name)) {
            *failure = to.lastErrorText();
            return false;
        }
    }
    return true;
}

// The photo files the fj rows name, from dir's photo folder into the
// server's photofile table (emptied first).
bool loadPhotoFiles(DbConnection& server, const QString& dir, const QStringList& storedNames, QString* failure)
{
    std::unique_ptr<RecordSet> result;
    RecordSet row;
    if (!server.executeStatement(QStringLiteral("delete * from photofile"), result)) {
        *failure = server.lastErrorText();
        return false;
    }
    for (const QString& name : storedNames) {
        QFile file(photoFileIn(dir, name));
        if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
            continue;   // a photo the desk had lost stays lost, as on the desk
        const QString selected = QStringLiteral("select bytes from photofile where name=") + sqlText(name);
        if (!server.executeStatement(QStringLiteral("INSERT INTO photofile (name) values (") + sqlText(name)
                                         + QLatin1Char(')'),
                                     result)
            || !server.openQuery(row, selected, LockMode::Optimistic)
            || !row.updateCurrentRow(QStringLiteral("bytes"), file.readAll())) {
            *failure = server.lastErrorText();
            return false;
        }
    }
    return true;
}

QStringList photoNamesOf(DbConnection& connection, QString* failure)
{
    QStringList names;
    RecordSet rows;
    if (!connection.openQuery(rows, QStringLiteral("select filename from fj"))) {
        *failure = connection.lastErrorText();
        return names;
    }
    for (; !rows.atEnd(); rows.moveNext())
        if (!names.contains(rows.readText("filename")))
            names << rows.readText("filename");
    return names;
}

BackupResult failedWith(const QString& text)
{
    BackupResult result;
    result.error = text;
    return result;
}

} // namespace

BackupResult writeServerBackup(DbConnection& server, const QString& deskDir, const QString& folder, BackupKind kind,
                               const BackupProgress& progress)
{
    QTemporaryDir snapshot;
    QString failure;
    if (!snapshot.isValid() || !createShippedDatabase(QDir(snapshot.path()).filePath(QStringLiteral("zhao.dat")), &failure))
        return failedWith(QStringLiteral("无法创建备份用的数据库文件，没有备份。") + failure);
    {
        DbConnection file;
        if (!file.openDatabase(connectionStringFor(snapshot.path())) || !file.beginTransaction()
            || !copyRows(server, file, &failure) || !file.commitTransaction())
            return failedWith(QStringLiteral("从服务器读取数据失败，没有备份。（%1）")
                                  .arg(failure.isEmpty() ? file.lastErrorText() : failure));
    }
    RecordSet photos;
    if (!server.openQuery(photos, QStringLiteral("select name,bytes from photofile")))
        return failedWith(QStringLiteral("从服务器读取照片失败，没有备份。（%1）").arg(server.lastErrorText()));
    for (; !photos.atEnd(); photos.moveNext()) {
        const QString path = photoFileIn(snapshot.path(), photos.readText("name"));
        if (path.isEmpty())
            continue;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        const QByteArray bytes = photos.readBytes("bytes");
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return failedWith(QStringLiteral("无法写出照片 %1，没有备份。").arg(QDir::toNativeSeparators(path)));
    }
    if (photos.readFailed())
        return failedWith(QStringLiteral("从服务器读取照片失败，没有备份。（%1）").arg(server.lastErrorText()));
    const QString settings = QDir(deskDir).filePath(settingsFile);
    if (QFileInfo::exists(settings))
        QFile::copy(settings, QDir(snapshot.path()).filePath(settingsFile));
    return writeBackup(snapshot.path(), folder, kind, progress);
}

bool restoreIntoServer(const StagedBackup& staged, DbConnection& server, QString* error)
{
    if (!staged.ok || !staged.dir) {
        *error = staged.error;
        return false;
    }
    DbConnection file;
    if (!file.openDatabase(connectionStringFor(staged.dir->path()))) {
        *error = QStringLiteral("无法打开备份中的数据库，没有恢复。（%1）").arg(file.lastErrorText());
        return false;
    }
    QString failure;
    const QStringList photoNames = photoNamesOf(file, &failure);
    if (!failure.isEmpty() || !server.beginTransaction()) {
        *error = QStringLiteral("没有恢复。（%1）").arg(failure.isEmpty() ? server.lastErrorText() : failure);
        return false;
    }
    if (!copyRows(file, server, &failure) || !loadPhotoFiles(server, staged.dir->path(), photoNames, &failure)
        || !server.commitTransaction()) {
        const QString reason = failure.isEmpty() ? server.lastErrorText() : failure;
        server.rollbackTransaction();
        *error = QStringLiteral("把备份写入服务器失败，服务器上的数据没有改变。（%1）").arg(reason);
        return false;
    }
    return true;
}
