// The engine's failures in the operator's words: the everyday ones in
// Chinese with the engine's text after them, every other one as it was.
#include "support/testsupport.h"

#include "store/database.h"
#include "store/databaseerror.h"

#include <QtTest>

#include <sqlite3.h>

class DatabaseErrorTest : public QObject {
    Q_OBJECT
private slots:
    void everydayFailuresAreSaidInChinese()
    {
        using store::ErrorKind;
        const struct {
            ErrorKind kind;
            const char* engineText;
            const char* expected;
        } cases[] = {
            {ErrorKind::Busy, "database is locked", "数据库正被其他程序使用，请稍后再试。（database is locked）"},
            {ErrorKind::DiskFull, "database or disk is full",
             "磁盘已满，数据没有保存。请腾出磁盘空间后再试。（database or disk is full）"},
            {ErrorKind::ReadOnly, "attempt to write a readonly database",
             "数据库只能读取，不能写入，修改没有保存。请检查数据库文件和程序文件夹是否允许写入。"
             "（attempt to write a readonly database）"},
            {ErrorKind::DiskError, "disk I/O error", "读写数据库文件时磁盘出错，操作没有完成。（disk I/O error）"},
            {ErrorKind::Damaged, "database disk image is malformed",
             "数据库文件已损坏或不是数据库。请用数据备份恢复数据。（database disk image is malformed）"},
            {ErrorKind::Unreachable, "could not connect to server",
             "无法打开数据库：数据库文件打不开或数据库服务器连接不上。（could not connect to server）"},
            // A fault of the statement stays as the engine says it.
            {ErrorKind::Other, "no such column: nosuch", "no such column: nosuch"},
            {ErrorKind::None, "", ""},
        };
        for (const auto& c : cases)
            QCOMPARE(operatorErrorText(c.kind, QString::fromUtf8(c.engineText)), QString::fromUtf8(c.expected));
    }

    // The engine's codes reach the operator as these kinds.
    void sqliteFailuresHaveTheirKinds()
    {
        TestProgramDir dir;
        DbConnection connection;
        QVERIFY(connection.openDatabase(connectionStringFor(dir.path())));
        QVERIFY(!connection.executeStatement(QStringLiteral("select nosuch from bmb"), scratch));
        QCOMPARE(connection.lastErrorKind(), store::ErrorKind::Other);
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open_v2(dir.databasePath().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        QVERIFY(!connection.executeStatement(QStringLiteral("update bmb set sh=1"), scratch));
        QCOMPARE(connection.lastErrorKind(), store::ErrorKind::Busy);
        sqlite3_close(other);
    }

private:
    std::unique_ptr<RecordSet> scratch;
};

BRENVO_TEST(DatabaseErrorTest)
#include "test_databaseerror.moc"
