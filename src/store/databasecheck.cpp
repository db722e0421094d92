#include "store/databasecheck.h"

#include "store/sqlite/sqliteengine.h"
#include "store/sqliteschema.h"
#include "store/textindex.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int headerSize = 100;

DatabaseCheck found(DatabaseProblem problem)
{
    DatabaseCheck check;
    check.problem = problem;
    return check;
}

DatabaseProblem problemOfResult(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DatabaseProblem::Locked;
    case SQLITE_NOTADB:
        return DatabaseProblem::NotADatabase;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return DatabaseProblem::NotReadable;
    default:
        return DatabaseProblem::Damaged;
    }
}

quint32 bigEndian(const QByteArray& bytes, int at, int length)
{
    quint32 value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

// The header's own page count, when the header says it is current, against
// the file's size: a copy cut short is caught even where the lost pages would
// only be read later.
bool shorterThanHeaderSays(const QByteArray& header, qint64 fileSize)
{
    quint32 pageSize = bigEndian(header, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 changeCounter = bigEndian(header, 24, 4);
    const quint32 pageCount = bigEndian(header, 28, 4);
    const quint32 validFor = bigEndian(header, 92, 4);
    if (pageCount == 0 || validFor != changeCounter)
        return false;
    return qint64(pageCount) * qint64(pageSize) > fileSize;
}

bool effectiveAccess(const QString& path, int mode)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
}

// Runs the check statement; SQLITE_ROW with "ok" is a sound file. The schema
// check reads only the schema, which a header gone wrong already fails.
DatabaseCheck runIntegrityCheck(sqlite3* db, CheckDepth depth)
{
    const char* sql = depth == CheckDepth::Full    ? "PRAGMA integrity_check(1)"
                      : depth == CheckDepth::Quick ? "PRAGMA quick_check(1)"
                                                   : "SELECT 'ok' WHERE (SELECT count(*) FROM sqlite_master) >= 0";
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt);
    DatabaseCheck check;
    if (rc == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        if (!text || qstrcmp(text, "ok") != 0)
            check.problem = DatabaseProblem::Damaged;
    } else {
        check.problem = problemOfResult(rc == SQLITE_ERROR ? sqlite3_extended_errcode(db) : rc);
    }
    sqlite3_finalize(stmt);
    return check;
}

// A journal left by a program that ended in the middle of a write makes a
// read-only connection fail; a writing connection rolls it back on its first
// read, which brings the file back to its last whole state.
bool rollBackHotJournal(const QString& path, int busyTimeoutMs)
{
    sqlite3* db = nullptr;
    const QByteArray file = path.toUtf8();
    bool ok = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_busy_timeout(db, busyTimeoutMs);
        ok = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3_close_v2(db);
    return ok;
}

// FTS5 checks its index against the rows only inside a write transaction,
// which is rolled back: nothing is written. A file that cannot be written,
// or one without the index, is not checked here.
bool textIndexDamaged(const QString& path, int busyTimeoutMs)
{
    if (!effectiveAccess(path, W_OK))
        return false;
    sqlite3* db = nullptr;
    const QByteArray name = path.toUtf8();
    bool damaged = false;
    if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, busyTimeoutMs);
        sqlite3_stmt* present = nullptr;
        const QByteArray presence = textindex::sqlitePresenceQuery().toUtf8();
        const bool indexed = sqlite3_prepare_v2(db, presence.constData(), -1, &present, nullptr) == SQLITE_OK
                             && sqlite3_step(present) == SQLITE_ROW && sqlite3_column_int(present, 0) == 1;
        sqlite3_finalize(present);
        if (indexed && sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK) {
            const QByteArray check = textindex::sqliteCheckStatement().toUtf8();
            const int rc = sqlite3_exec(db, check.constData(), nullptr, nullptr, nullptr);
            damaged = (rc & 0xff) == SQLITE_CORRUPT;
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    sqlite3_close_v2(db);
    return damaged;
}

} // namespace

bool repairTextIndex(const QString& path, QString* error)
{
    QString reason;
    store::ErrorKind kind = store::ErrorKind::None;
    const std::unique_ptr<store::SqliteEngine> engine = store::SqliteEngine::open(path, reason, kind);
    if (engine && engine->buildTextIndex([](qint64, qint64) {}))
        return true;
    if (error)
        *error = engine ? engine->errorText() : reason;
    return false;
}

QString textIndexDamageWords()
{
    return QStringLiteral("检索索引与数据不符");
}

void CheckStop::request()
{
    stopped = true;
    const std::lock_guard<std::mutex> lock(mutex);
    if (interrupt)
        interrupt();
}

void CheckStop::whileRunning(std::function<void()> interruption)
{
    const std::lock_guard<std::mutex> lock(mutex);
    interrupt = std::move(interruption);
    if (interrupt && stopped)
        interrupt();
}

DatabaseCheck checkDatabaseFile(const QString& path, CheckDepth depth, int busyTimeoutMs, CheckStop* stop)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return found(DatabaseProblem::NotAFile);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return found(DatabaseProblem::NotReadable);
    const QByteArray header = file.read(headerSize);
    file.close();
    if (header.size() < headerSize || !header.startsWith(QByteArray("SQLite format 3", 16)))
        return found(DatabaseProblem::NotADatabase);

    DatabaseCheck check;
    for (int attempt = 0; attempt < 2; ++attempt) {
        sqlite3* db = nullptr;
        const QByteArray name = path.toUtf8();
        const int opened = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        if (opened != SQLITE_OK) {
            sqlite3_close_v2(db);
            return found(problemOfResult(opened));
        }
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, busyTimeoutMs);
        if (stop)
            stop->whileRunning([db] { sqlite3_interrupt(db); });
        check = runIntegrityCheck(db, depth);
        if (stop)
            stop->whileRunning({});
        const bool hotJournal = sqlite3_extended_errcode(db) == SQLITE_READONLY_ROLLBACK;
        if (check.usable() && findMissingSchemaPart(db, &check.table, &check.column))
            check.problem = check.column.isEmpty() ? DatabaseProblem::MissingTable : DatabaseProblem::MissingColumn;
        sqlite3_close_v2(db);
        if (!hotJournal || attempt > 0 || !rollBackHotJournal(path, busyTimeoutMs))
            break;
    }
    // Read again: a rollback above may have changed the header and the size.
    if (check.usable() && file.open(QIODevice::ReadOnly) && shorterThanHeaderSays(file.read(headerSize), file.size()))
        check.problem = DatabaseProblem::Damaged;
    file.close();
    if (check.usable())
        check.readOnly = !effectiveAccess(path, W_OK) || !effectiveAccess(info.absolutePath(), W_OK | X_OK);
    if (check.usable() && depth == CheckDepth::Full && !(stop && stop->requested()))
        check.textIndexDamaged = textIndexDamaged(path, busyTimeoutMs);
    return check;
}

QString databaseFileStamp(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray header = file.read(headerSize);
    if (header.size() < headerSize)
        return {};
    return QStringLiteral("%1 %2 %3")
        .arg(file.size())
        .arg(QFileInfo(file).lastModified().toMSecsSinceEpoch())
        .arg(bigEndian(header, 24, 4));
}

QString databaseProblemText(const DatabaseCheck& check, const QString& path)
{
    const QString file = QDir::toNativeSeparators(path);
    switch (check.problem) {
    case DatabaseProblem::None:
        return {};
    case DatabaseProblem::NotAFile:
        return QStringLiteral("数据库 %1 不是一个文件（可能是同名的文件夹），程序无法使用它。").arg(file);
    case DatabaseProblem::NotReadable:
        return QStringLiteral("数据库文件 %1 无法读取（没有读取权限或磁盘出错），程序无法使用它。").arg(file);
    case DatabaseProblem::Locked:
        return QStringLiteral("数据库文件 %1 正被其他程序占用，程序无法使用它。请关闭占用它的程序后重新启动本程序。")
            .arg(file);
    case DatabaseProblem::NotADatabase:
        return QStringLiteral("文件 %1 不是数据库（可能是别的文件或已完全损坏），程序无法使用它。").arg(file);
    case DatabaseProblem::Damaged:
        return QStringLiteral("数据库文件 %1 已损坏，程序无法使用它。").arg(file);
    case DatabaseProblem::MissingTable:
        return QStringLiteral("数据库文件 %1 缺少数据表 %2，不是本程序的数据库，程序无法使用它。").arg(file, check.table);
    case DatabaseProblem::MissingColumn:
        return QStringLiteral("数据库文件 %1 的数据表 %2 缺少列 %3，不是本程序的数据库，程序无法使用它。")
            .arg(file, check.table, check.column);
    }
    return {};
}

QString databaseProblemWords(const DatabaseCheck& check)
{
    switch (check.problem) {
    case DatabaseProblem::None:
        return {};
    case DatabaseProblem::NotAFile:
        return QStringLiteral("不是一个文件");
    case DatabaseProblem::NotReadable:
        return QStringLiteral("无法读取");
    case DatabaseProblem::Locked:
        return QStringLiteral("正被其他程序占用");
    case DatabaseProblem::NotADatabase:
        return QStringLiteral("不是数据库");
    case DatabaseProblem::Damaged:
        return QStringLiteral("已损坏");
    case DatabaseProblem::MissingTable:
        return QStringLiteral("缺少数据表 %1").arg(check.table);
    case DatabaseProblem::MissingColumn:
        return QStringLiteral("数据表 %1 缺少列 %2").arg(check.table, check.column);
    }
    return {};
}

QString readOnlyDatabaseText(const QString& path)
{
    return QStringLiteral("数据库文件 %1 只能读取，不能写入（文件或它所在的文件夹是只读的）。"
                          "可以查看已有的信息，但添加、修改和删除都无法保存。")
        .arg(QDir::toNativeSeparators(path));
}

QString readOnlyStatusText()
{
    return QStringLiteral("数据库只读，修改无法保存");
}
