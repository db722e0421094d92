// zhao.dat as a plain SQLite file: the sqlite3 shell writes registrations into
// a shipped file and into one of the previous version, which stored triggers
// calling the program's own jetdate; the program then reads them with their
// dates.
#include "support/testsupport.h"

#include "platform/sqlengine.h"
#include "store/database.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <sqlite3.h>

namespace {

// The date-time tables as the previous version created them: DATETIME
// columns (numeric affinity) converted by stored triggers that call jetdate.
const char* const previousVersionDdl[] = {
    "DROP TABLE bmb",
    "DROP TABLE zy",
    "DROP TABLE dy",
    "CREATE TABLE bmb (id INTEGER PRIMARY KEY AUTOINCREMENT, status INTEGER DEFAULT 1, dtime DATETIME, "
    "sh INTEGER DEFAULT 0, fk INTEGER DEFAULT 0, imgid INTEGER DEFAULT 0, xm TEXT COLLATE NOCASE DEFAULT '', "
    "xb INTEGER DEFAULT 0, nl REAL DEFAULT 0, mz TEXT COLLATE NOCASE DEFAULT '', zj TEXT COLLATE NOCASE DEFAULT '', "
    "jj TEXT COLLATE NOCASE DEFAULT '', lx1 TEXT COLLATE NOCASE DEFAULT '', lx2 TEXT COLLATE NOCASE DEFAULT '', "
    "lx3 TEXT COLLATE NOCASE DEFAULT '', dd INTEGER DEFAULT 0, ddserver INTEGER DEFAULT 0, bm1 INTEGER DEFAULT 0, "
    "bm2 INTEGER DEFAULT 0, bm1server INTEGER DEFAULT 0, bm2server INTEGER DEFAULT 0, "
    "bm3 TEXT COLLATE NOCASE DEFAULT '0', bm3server TEXT COLLATE NOCASE DEFAULT '0', "
    "kz1 TEXT COLLATE NOCASE DEFAULT '', kz2 TEXT COLLATE NOCASE DEFAULT '', kz3 TEXT COLLATE NOCASE DEFAULT '', "
    "kz4 TEXT COLLATE NOCASE DEFAULT '', kz5 TEXT COLLATE NOCASE DEFAULT '', kz6 TEXT COLLATE NOCASE DEFAULT '', "
    "kz7 TEXT COLLATE NOCASE DEFAULT '', kz8 TEXT COLLATE NOCASE DEFAULT '', kz9 TEXT COLLATE NOCASE DEFAULT '', "
    "kz10 TEXT COLLATE NOCASE DEFAULT '')",
    "CREATE TABLE zy (id INTEGER PRIMARY KEY AUTOINCREMENT, serverid INTEGER DEFAULT 0, serplaid INTEGER DEFAULT 0, "
    "name TEXT COLLATE NOCASE DEFAULT '', xuefei INTEGER DEFAULT 0, renshu INTEGER DEFAULT 0, "
    "yibaoming INTEGER DEFAULT 0, jzrq DATETIME DEFAULT '1899-12-30 00:00:00', yjh TEXT COLLATE NOCASE DEFAULT '', "
    "jieshao TEXT COLLATE NOCASE DEFAULT '', sx REAL DEFAULT 0, status INTEGER DEFAULT 0, ddid INTEGER DEFAULT 0)",
    "CREATE TABLE dy (id INTEGER PRIMARY KEY AUTOINCREMENT, nam TEXT COLLATE NOCASE DEFAULT '', "
    "xx TEXT COLLATE NOCASE DEFAULT '', dtime DATETIME, status INTEGER DEFAULT 0, sx REAL DEFAULT 0, "
    "mark TEXT COLLATE NOCASE DEFAULT '')",
    "CREATE INDEX bmb_status_dtime ON bmb (status, dtime)",
    // Rows written before the triggers: a day number (2013-05-06 12:00) and a date text.
    "INSERT INTO bmb (xm, dtime) VALUES ('day number', 41400.5)",
    "INSERT INTO bmb (xm, dtime) VALUES ('date text', '2013-05-07 08:00:00')",
    "INSERT INTO zy (name, jzrq) VALUES ('美术', 41518)",
    "CREATE TRIGGER bmb_dtime_insert AFTER INSERT ON bmb WHEN NEW.dtime IS NOT jetdate(NEW.dtime) "
    "BEGIN UPDATE bmb SET dtime = jetdate(NEW.dtime) WHERE id = NEW.id; END",
    "CREATE TRIGGER bmb_dtime_update AFTER UPDATE OF dtime ON bmb WHEN NEW.dtime IS NOT jetdate(NEW.dtime) "
    "BEGIN UPDATE bmb SET dtime = jetdate(NEW.dtime) WHERE id = NEW.id; END",
    "CREATE TRIGGER zy_jzrq_insert AFTER INSERT ON zy WHEN NEW.jzrq IS NOT jetdate(NEW.jzrq) "
    "BEGIN UPDATE zy SET jzrq = jetdate(NEW.jzrq) WHERE id = NEW.id; END",
    "CREATE TRIGGER zy_jzrq_update AFTER UPDATE OF jzrq ON zy WHEN NEW.jzrq IS NOT jetdate(NEW.jzrq) "
    "BEGIN UPDATE zy SET jzrq = jetdate(NEW.jzrq) WHERE id = NEW.id; END",
    "CREATE TRIGGER dy_dtime_insert AFTER INSERT ON dy WHEN NEW.dtime IS NOT jetdate(NEW.dtime) "
    "BEGIN UPDATE dy SET dtime = jetdate(NEW.dtime) WHERE id = NEW.id; END",
    "CREATE TRIGGER dy_dtime_update AFTER UPDATE OF dtime ON dy WHEN NEW.dtime IS NOT jetdate(NEW.dtime) "
    "BEGIN UPDATE dy SET dtime = jetdate(NEW.dtime) WHERE id = NEW.id; END",
    // Written through the triggers, as the previous version wrote registrations.
    "INSERT INTO bmb (xm, dtime) VALUES ('through the trigger', '2013年5月8日9时')",
};

// Turns a shipped zhao.dat into one the previous version would have made.
bool makePreviousVersionFile(const QString& path, QString* error)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
        && sqlengine::registerJetFunctions(db);
    for (const char* sql : previousVersionDdl) {
        if (ok && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            *error = QString::fromUtf8(sqlite3_errmsg(db)) + QStringLiteral(" (") + QString::fromUtf8(sql) + ')';
            ok = false;
        }
    }
    sqlite3_close(db);
    return ok;
}

struct ShellResult {
    int exitCode = -1;
    QString output;   // standard output and error together
};

ShellResult sqliteShell(const QString& path, const QString& sql)
{
    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), path, sql});
    ShellResult result;
    if (!shell.waitForFinished(10000))
        return result;
    result.exitCode = shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
    result.output = QString::fromUtf8(shell.readAll()).trimmed();
    return result;
}

struct Opened {
    Database db;
    explicit Opened(const QString& directory)
    {
        createConnection(db.connection);
        createRecordSet(db.sharedRecordSet);
        db.connection->openDatabase(connectionStringFor(directory));
    }
    QString dtimeOf(const QString& xm)
    {
        return db.openShared("select * from bmb where xm='" + xm + "'") && !db.shared().atEnd()
            ? db.shared().readText("dtime")
            : QStringLiteral("<none: %1>").arg(db.lastErrorText());
    }
};

const QString shellInsert = QStringLiteral(
    "INSERT INTO bmb (status, xm, dtime, sh, fk) VALUES (1, '外部录入', '2013-06-01 10:20:30', 0, 0);");

} // namespace

class PlainFileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty(),
                 "the sqlite3 shell is missing: run scripts/setup");
    }

    void shellWritesAShippedFile()
    {
        TestProgramDir dir;
        const ShellResult stored = sqliteShell(dir.databasePath(), QStringLiteral(
            "SELECT count(*) FROM sqlite_master WHERE instr(lower(sql), 'jetdate') > 0;"));
        QCOMPARE(stored.output, QString("0"));

        const ShellResult insert = sqliteShell(dir.databasePath(), shellInsert);
        QVERIFY2(insert.exitCode == 0, qPrintable(insert.output));

        Opened program(dir.path());
        QVERIFY2(program.db.lastErrorText().isEmpty(), qPrintable(program.db.lastErrorText()));
        QCOMPARE(program.dtimeOf("外部录入"), QString("2013-06-01 10:20:30"));
        QCOMPARE(program.db.shared().readDateTime("dtime"), QDateTime(QDate(2013, 6, 1), QTime(10, 20, 30)));
        // The program's own conversion still applies to what it writes.
        QVERIFY(program.db.execute("INSERT INTO bmb  (status,xm,dtime) values (1,'程序','2013年6月2日8时')"));
        QCOMPARE(program.dtimeOf("程序"), QString("2013-06-02 08:00:00"));
    }

    void previousVersionFileIsUpgradedOnFirstOpen()
    {
        TestProgramDir dir;
        QString error;
        QVERIFY2(makePreviousVersionFile(dir.databasePath(), &error), qPrintable(error));
        // The fault being mended: no other client can insert into the old file.
        const ShellResult before = sqliteShell(dir.databasePath(), shellInsert);
        QVERIFY(before.exitCode != 0);
        QVERIFY2(before.output.contains("no such function: jetdate"), qPrintable(before.output));

        {
            Opened program(dir.path());
            QVERIFY2(program.db.connection->isOpen(), qPrintable(program.db.lastErrorText()));
            // Values the old file holds, a day number among them, read as their dates.
            QCOMPARE(program.dtimeOf("day number"), QString("2013-05-06 12:00:00"));
            QCOMPARE(program.db.shared().readDateTime("dtime"), QDateTime(QDate(2013, 5, 6), QTime(12, 0)));
            QCOMPARE(program.dtimeOf("date text"), QString("2013-05-07 08:00:00"));
            QCOMPARE(program.dtimeOf("through the trigger"), QString("2013-05-08 09:00:00"));
            QVERIFY(program.db.openShared("select * from zy"));
            QCOMPARE(program.db.shared().readText("jzrq"), QString("2013-09-01 00:00:00"));
            // The columns now have text affinity: '2013' is no date.
            QVERIFY(!program.db.execute("INSERT INTO bmb  (status,xm,dtime) values (1,'bad','2013')"));
            QVERIFY(!program.db.execute("UPDATE bmb SET dtime='2013' where xm='date text'"));
            QCOMPARE(program.dtimeOf("date text"), QString("2013-05-07 08:00:00"));
            QVERIFY(program.db.execute("UPDATE bmb SET dtime='2013年5月9日' where xm='date text'"));
            QCOMPARE(program.dtimeOf("date text"), QString("2013-05-09 00:00:00"));
        }

        const ShellResult after = sqliteShell(dir.databasePath(), shellInsert);
        QVERIFY2(after.exitCode == 0, qPrintable(after.output));
        const ShellResult check = sqliteShell(dir.databasePath(), QStringLiteral(
            "PRAGMA integrity_check; SELECT count(*) FROM sqlite_master WHERE instr(lower(sql), 'jetdate') > 0; "
            "SELECT typeof(dtime) FROM bmb WHERE xm = 'day number';"));
        QCOMPARE(check.output, QString("ok\n0\ntext"));

        Opened program(dir.path());
        QCOMPARE(program.dtimeOf("外部录入"), QString("2013-06-01 10:20:30"));
        QCOMPARE(program.dtimeOf("day number"), QString("2013-05-06 12:00:00"));
        QVERIFY(program.db.openShared("select count(*) from bmb where dtime>=#2013-05-06# and dtime<#2013-06-02#"));
        QCOMPARE(program.db.shared().readInteger(0), 4);
    }
};

BRENVO_TEST(PlainFileTest)
#include "test_plainfile.moc"
