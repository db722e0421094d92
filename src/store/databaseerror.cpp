#include "store/databaseerror.h"

#include <sqlite3.h>

namespace {

struct ErrorWords {
    int code;  // SQLite's primary result code
    const char* words;
};

// Each failure that reaches an operator in ordinary use.
constexpr ErrorWords everydayErrors[] = {
    {SQLITE_BUSY, "数据库正被其他程序使用，请稍后再试。"},
    {SQLITE_LOCKED, "数据库正被其他程序使用，请稍后再试。"},
    {SQLITE_FULL, "磁盘已满，数据没有保存。请腾出磁盘空间后再试。"},
    {SQLITE_READONLY, "数据库只能读取，不能写入，修改没有保存。请检查数据库文件和程序文件夹是否允许写入。"},
    {SQLITE_IOERR, "读写数据库文件时磁盘出错，操作没有完成。"},
    {SQLITE_CORRUPT, "数据库文件已损坏。请用数据备份恢复数据。"},
    {SQLITE_NOTADB, "数据库文件已损坏或不是数据库。请用数据备份恢复数据。"},
    {SQLITE_CANTOPEN, "无法打开数据库文件。"},
    {SQLITE_PERM, "没有访问数据库文件的权限。"},
    {SQLITE_NOMEM, "内存不足，操作没有完成。"},
};

const ErrorWords* wordsFor(int engineCode, const QString& engineText)
{
    for (const ErrorWords& entry : everydayErrors) {
        if (engineCode != SQLITE_OK) {
            if ((engineCode & 0xff) == entry.code)
                return &entry;
        } else if (engineText.startsWith(QString::fromUtf8(sqlite3_errstr(entry.code)))) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

QString operatorErrorText(int engineCode, const QString& engineText)
{
    if (engineText.isEmpty())
        return engineText;
    const ErrorWords* found = wordsFor(engineCode, engineText);
    if (!found)
        return engineText;
    return QString::fromUtf8(found->words) + QStringLiteral("（") + engineText + QStringLiteral("）");
}
