#pragma once
// Helpers of the data-safety tests: reading a database and a directory tree
// whole, so that two copies can be compared.

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QStringList>

#include <sqlite3.h>

// Every row of every table, each value with its type, table by table in id order.
inline QStringList dumpDatabase(const QString& path)
{
    QStringList lines;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return {QStringLiteral("cannot open ") + path};
    }
    QStringList tables;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    for (const QString& table : tables) {
        const QByteArray sql = QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table).toUtf8();
        sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QString line = table;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i)
                line += QStringLiteral("|%1:%2").arg(sqlite3_column_type(stmt, i))
                            .arg(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i))));
            lines << line;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close_v2(db);
    return lines;
}

// Relative path -> SHA-256 of every file under dir ("<dir>" for a directory).
inline QMap<QString, QByteArray> treeContents(const QString& dir, const QStringList& skipPrefixes = {})
{
    QMap<QString, QByteArray> contents;
    const QDir base(dir);
    QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString relative = base.relativeFilePath(it.filePath());
        bool skipped = false;
        for (const QString& prefix : skipPrefixes)
            skipped = skipped || relative.startsWith(prefix);
        if (skipped)
            continue;
        if (it.fileInfo().isDir()) {
            contents.insert(relative, "<dir>");
            continue;
        }
        QFile file(it.filePath());
        file.open(QIODevice::ReadOnly);
        contents.insert(relative, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
    }
    return contents;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs statements on a database with a plain SQLite connection.
inline bool runSql(const QString& path, const QStringList& statements)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    for (const QString& sql : statements)
        ok = ok && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    return ok;
}
