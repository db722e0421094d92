// The engine's failures in the operator's words: the everyday ones in
// Chinese with the engine's text after them, every other one as it was.
#include "support/testsupport.h"

#include "store/databaseerror.h"

#include <QtTest>

#include <sqlite3.h>

class DatabaseErrorTest : public QObject {
    Q_OBJECT
private slots:
    void everydayFailuresAreSaidInChinese_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("engineText");
        QTest::addColumn<QString>("expected");

        QTest::newRow("locked") << int(SQLITE_BUSY) << "database is locked"
                                << QStringLiteral("数据库正被其他程序使用，请稍后再试。（database is locked）");
        QTest::newRow("a table locked") << int(SQLITE_LOCKED) << "database table is locked"
                                        << QStringLiteral("数据库正被其他程序使用，请稍后再试。（database table is locked）");
        QTest::newRow("disk full") << int(SQLITE_FULL) << "database or disk is full"
                                   << QStringLiteral("磁盘已满，数据没有保存。请腾出磁盘空间后再试。（database or disk is full）");
        QTest::newRow("read-only")
            << int(SQLITE_READONLY) << "attempt to write a readonly database"
            << QStringLiteral("数据库只能读取，不能写入，修改没有保存。请检查数据库文件和程序文件夹是否允许写入。"
                              "（attempt to write a readonly database）");
        QTest::newRow("read-only, extended code")
            << int(SQLITE_READONLY_DBMOVED) << "attempt to write a readonly database"
            << QStringLiteral("数据库只能读取，不能写入，修改没有保存。请检查数据库文件和程序文件夹是否允许写入。"
                              "（attempt to write a readonly database）");
        QTest::newRow("a write to disk failed") << int(SQLITE_IOERR_WRITE) << "disk I/O error"
                                                << QStringLiteral("读写数据库文件时磁盘出错，操作没有完成。（disk I/O error）");
        QTest::newRow("damaged") << int(SQLITE_CORRUPT) << "database disk image is malformed"
                                 << QStringLiteral("数据库文件已损坏。请用数据备份恢复数据。（database disk image is malformed）");
        // Only the text is known: the engine's standard texts are recognised.
        QTest::newRow("locked, text only") << 0 << "database is locked"
                                           << QStringLiteral("数据库正被其他程序使用，请稍后再试。（database is locked）");
        QTest::newRow("full, text only") << 0 << "database or disk is full"
                                         << QStringLiteral("磁盘已满，数据没有保存。请腾出磁盘空间后再试。（database or disk is full）");
        // A fault of the statement stays as the engine says it.
        QTest::newRow("no such column") << int(SQLITE_ERROR) << "no such column: nosuch" << "no such column: nosuch";
        QTest::newRow("a constraint") << int(SQLITE_CONSTRAINT_UNIQUE) << "UNIQUE constraint failed: bmb.id"
                                      << "UNIQUE constraint failed: bmb.id";
        QTest::newRow("the program's own text") << 0 << "only one statement can run at a time; text follows the first statement"
                                                << "only one statement can run at a time; text follows the first statement";
        QTest::newRow("no failure") << 0 << "" << "";
    }

    void everydayFailuresAreSaidInChinese()
    {
        QFETCH(int, code);
        QFETCH(QString, engineText);
        QFETCH(QString, expected);
        QCOMPARE(operatorErrorText(code, engineText), expected);
    }
};

BRENVO_TEST(DatabaseErrorTest)
#include "test_databaseerror.moc"
