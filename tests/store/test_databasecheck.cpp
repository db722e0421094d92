// The check of zhao.dat before the program opens it: every kind of file that
// cannot serve gives its cause and is left byte for byte as it was.
#include "support/testsupport.h"
#include "support/safetysupport.h"

#include "store/database.h"
#include "store/databasecheck.h"
#include "store/textindex.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <functional>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t nobody = 65534;

// Runs body with the effective user nobody, so that file permissions count
// even when the tests run as root.
bool asOtherUser(const std::function<void()>& body)
{
    const uid_t previous = geteuid();
    if (previous == nobody || seteuid(nobody) != 0)
        return false;
    body();
    return seteuid(previous) == 0;
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// A shipped database with enough registrations to span many pages.
void fillRegistrations(const QString& path)
{
    QStringList statements{QStringLiteral("BEGIN")};
    for (int i = 0; i < 200; ++i)
        statements << QStringLiteral("INSERT INTO bmb (xm, jj) VALUES ('考生%1', '%2')").arg(i).arg(QString(300, QChar('x')));
    statements << QStringLiteral("COMMIT");
    QVERIFY(runSql(path, statements));
}

} // namespace

class DatabaseCheckTest : public QObject {
    Q_OBJECT
private slots:
    void unusableFilesAreNamedAndLeftAlone_data();
    void unusableFilesAreNamedAndLeftAlone();
    void aFileHeldByAnotherConnectionIsLocked();
    void permissionsAsAnotherUser();
    void theShippedDatabaseServes();
    void aFileOfAnEarlierVersionGainsTheLaterColumns();
    void aTextIndexOutOfStepIsNamedAndRebuilt();
    void aCheckUnderWayStopsAtOnce();
};

void DatabaseCheckTest::unusableFilesAreNamedAndLeftAlone_data()
{
    QTest::addColumn<std::function<void(const QString&)>>("spoil");
    QTest::addColumn<int>("problem");
    QTest::addColumn<QString>("words");

    using Spoil = std::function<void(const QString&)>;
    QTest::newRow("cut to half its length") << Spoil([](const QString& path) {
        QFile file(path);
        QVERIFY(file.resize(file.size() / 2));
    }) << int(DatabaseProblem::Damaged) << QStringLiteral("已损坏");
    QTest::newRow("cut inside the header") << Spoil([](const QString& path) {
        QFile file(path);
        QVERIFY(file.resize(50));
    }) << int(DatabaseProblem::NotADatabase) << QStringLiteral("不是数据库");
    QTest::newRow("empty") << Spoil([](const QString& path) {
        QVERIFY(writeBytes(path, {}));
    }) << int(DatabaseProblem::NotADatabase) << QStringLiteral("不是数据库");
    QTest::newRow("random bytes") << Spoil([](const QString& path) {
        QVERIFY(writeBytes(path, randomBytes(16384)));
    }) << int(DatabaseProblem::NotADatabase) << QStringLiteral("不是数据库");
    QTest::newRow("valid header, damaged pages") << Spoil([](const QString& path) {
        QByteArray bytes = readBytes(path);
        const int pageSize = (quint8(bytes[16]) << 8) | quint8(bytes[17]);
        QVERIFY(bytes.size() > 6 * pageSize);
        // Every page after the schema page keeps its place but loses its content.
        for (int at = pageSize; at < bytes.size(); at += pageSize)
            bytes.replace(at + 8, 64, randomBytes(64));
        QVERIFY(writeBytes(path, bytes));
    }) << int(DatabaseProblem::Damaged) << QStringLiteral("已损坏");
    QTest::newRow("a directory under the name") << Spoil([](const QString& path) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path));
    }) << int(DatabaseProblem::NotAFile) << QStringLiteral("不是一个文件");
    QTest::newRow("no admin table") << Spoil([](const QString& path) {
        QVERIFY(runSql(path, {QStringLiteral("DROP TABLE admin")}));
    }) << int(DatabaseProblem::MissingTable) << QStringLiteral("缺少数据表 admin");
    QTest::newRow("a foreign database") << Spoil([](const QString& path) {
        QVERIFY(QFile::remove(path));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "CREATE TABLE notes (id INTEGER, body TEXT)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }) << int(DatabaseProblem::MissingTable) << QStringLiteral("缺少数据表 admin");
    QTest::newRow("a table without a column") << Spoil([](const QString& path) {
        QVERIFY(runSql(path, {QStringLiteral("ALTER TABLE fj DROP COLUMN filename")}));
    }) << int(DatabaseProblem::MissingColumn) << QStringLiteral("数据表 fj 缺少列 filename");
}

void DatabaseCheckTest::unusableFilesAreNamedAndLeftAlone()
{
    QFETCH(std::function<void(const QString&)>, spoil);
    QFETCH(int, problem);
    QFETCH(QString, words);

    TestProgramDir dir;
    fillRegistrations(dir.databasePath());
    spoil(dir.databasePath());
    const auto before = treeContents(dir.path());

    const DatabaseCheck check = checkDatabaseFile(dir.databasePath(), CheckDepth::Quick, 100);
    QCOMPARE(int(check.problem), problem);
    QVERIFY(!check.usable());
    QCOMPARE(databaseProblemWords(check), words);
    const QString message = databaseProblemText(check, dir.databasePath());
    QVERIFY2(message.contains(dir.databasePath()), qPrintable(message));
    QVERIFY2(message.contains(words.section(QLatin1Char(' '), -1)), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("程序无法使用它")), qPrintable(message));

    // Nothing written: not the file, and no journal beside it.
    QCOMPARE(treeContents(dir.path()), before);
}

void DatabaseCheckTest::aFileHeldByAnotherConnectionIsLocked()
{
    TestProgramDir dir;
    const auto before = treeContents(dir.path());
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(dir.databasePath().toUtf8().constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    const DatabaseCheck check = checkDatabaseFile(dir.databasePath(), CheckDepth::Quick, 50);
    QCOMPARE(int(check.problem), int(DatabaseProblem::Locked));
    QVERIFY(databaseProblemText(check, dir.databasePath()).contains(QStringLiteral("正被其他程序占用")));

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    QCOMPARE(treeContents(dir.path()), before);
    // Once the other program lets go, the same file serves.
    QVERIFY(checkDatabaseFile(dir.databasePath()).usable());
}

void DatabaseCheckTest::permissionsAsAnotherUser()
{
    TestProgramDir dir;
    const QByteArray path = QFile::encodeName(dir.databasePath());
    QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const auto before = treeContents(dir.path());

    // Readable, not writable: it serves, and says so.
    QCOMPARE(::chmod(path.constData(), 0444), 0);
    DatabaseCheck readOnly;
    DatabaseCheck unreadable;
    const bool switched = asOtherUser([&] { readOnly = checkDatabaseFile(dir.databasePath()); });
    // Neither readable nor writable.
    QCOMPARE(::chmod(path.constData(), 0), 0);
    const bool switchedAgain = asOtherUser([&] { unreadable = checkDatabaseFile(dir.databasePath()); });
    QCOMPARE(::chmod(path.constData(), 0644), 0);
    if (!switched || !switchedAgain)
        QSKIP("the tests cannot run as another user here");

    QVERIFY(readOnly.usable());
    QVERIFY(readOnly.readOnly);
    QVERIFY(readOnlyDatabaseText(dir.databasePath()).contains(dir.databasePath()));
    QCOMPARE(int(unreadable.problem), int(DatabaseProblem::NotReadable));
    QVERIFY(databaseProblemText(unreadable, dir.databasePath()).contains(QStringLiteral("无法读取")));
    QCOMPARE(treeContents(dir.path()), before);
}

void DatabaseCheckTest::theShippedDatabaseServes()
{
    TestProgramDir dir;
    for (CheckDepth depth : {CheckDepth::Quick, CheckDepth::Full}) {
        const DatabaseCheck check = checkDatabaseFile(dir.databasePath(), depth);
        QVERIFY(check.usable());
        QVERIFY(!check.readOnly);
        QVERIFY(databaseProblemText(check, dir.databasePath()).isEmpty());
    }
}

// A zhao.dat made before bmb had ly and savekey is no damaged file; opening
// it adds the columns, with 0 in every existing row.
void DatabaseCheckTest::aFileOfAnEarlierVersionGainsTheLaterColumns()
{
    TestProgramDir dir;
    QVERIFY(runSql(dir.databasePath(), {"INSERT INTO bmb (status,xm) values (1,'old')", "ALTER TABLE bmb DROP COLUMN ly",
                                        "DROP INDEX bmb_savekey", "ALTER TABLE bmb DROP COLUMN savekey"}));
    QVERIFY(checkDatabaseFile(dir.databasePath(), CheckDepth::Schema).usable());

    std::unique_ptr<DbConnection> connection;
    QVERIFY(createConnection(connection));
    QVERIFY(connection->openDatabase(connectionStringFor(dir.path())));
    RecordSet rows;
    QVERIFY(connection->openQuery(rows, QStringLiteral("select xm,ly from bmb")));
    QCOMPARE(rows.readText("xm"), QStringLiteral("old"));
    QCOMPARE(rows.readText("ly"), QStringLiteral("0"));
    // The save key comes with its unique index.
    std::unique_ptr<RecordSet> result;
    const QString keyed = QStringLiteral("INSERT INTO bmb (xm,savekey) values ('new','k1')");
    QVERIFY(connection->executeStatement(keyed, result));
    QVERIFY(!connection->executeStatement(keyed, result));
}

// Names are written by another SQLite client (the index kept by the stored
// triggers); one change bypasses the index: the full check names it, the
// repair builds it anew and the search finds the row again. A file of an
// earlier version, without the index, still searches right and gains it.
void DatabaseCheckTest::aTextIndexOutOfStepIsNamedAndRebuilt()
{
    TestProgramDir dir;
    const QString path = dir.databasePath();
    fillRegistrations(path);
    const QString sql = QStringLiteral("select count(*) from bmb where xm like '%生12%'");
    auto count = [&dir, &sql] {
        std::unique_ptr<DbConnection> connection;
        createConnection(connection);
        RecordSet rows;
        return connection->openDatabase(connectionStringFor(dir.path())) && connection->openQuery(rows, sql)
                   ? rows.readInteger(0)
                   : -1;
    };
    QCOMPARE(count(), 11);
    QVERIFY(!checkDatabaseFile(path, CheckDepth::Full).textIndexDamaged);

    QVERIFY(runSql(path, {"DROP TRIGGER bmb_text_update", "UPDATE bmb SET xm = '考生12' WHERE id = 50",
                          textindex::sqliteCreateStatements().last()}));
    QCOMPARE(count(), 11);
    const DatabaseCheck found = checkDatabaseFile(path, CheckDepth::Full);
    QVERIFY(found.usable());
    QVERIFY(found.textIndexDamaged);
    QString error;
    QVERIFY2(repairTextIndex(path, &error), qPrintable(error));
    QVERIFY(!checkDatabaseFile(path, CheckDepth::Full).textIndexDamaged);
    QCOMPARE(count(), 12);

    QVERIFY(runSql(path, {"DROP TABLE bmb_text", "DROP VIEW bmb_text_source", "DROP TABLE bmb_text_at",
                          "DROP TRIGGER bmb_text_insert", "DROP TRIGGER bmb_text_update", "DROP TRIGGER bmb_text_delete"}));
    std::unique_ptr<DbConnection> earlier;
    QVERIFY(createConnection(earlier));
    QVERIFY(earlier->openDatabase(connectionStringFor(dir.path())));
    QVERIFY(!earlier->textIndexBuilt());
    qint64 reported = 0;
    QVERIFY(earlier->buildTextIndex([&reported](qint64 done, qint64 total) {
        QVERIFY(done <= total);
        reported = done;
    }));
    QCOMPARE(reported, qint64(200));
    QVERIFY(earlier->textIndexBuilt());
    earlier.reset();
    QCOMPARE(count(), 12);
    QVERIFY(!checkDatabaseFile(path, CheckDepth::Full).textIndexDamaged);
}

// SQLite checks the pages in one step, which no flag read between steps
// reaches: a stop from another thread ends it at once all the same.
void DatabaseCheckTest::aCheckUnderWayStopsAtOnce()
{
    TestProgramDir dir;
    const QString path = dir.databasePath();
    QVERIFY(runSql(path, {"CREATE TABLE filler (a TEXT, b TEXT)", "CREATE INDEX filler_a ON filler (a)",
                          "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < 300000) "
                          "INSERT INTO filler SELECT hex(randomblob(16)), hex(randomblob(40)) FROM k"}));
    QElapsedTimer whole;
    whole.start();
    QVERIFY(checkDatabaseFile(path, CheckDepth::Quick).usable());
    const qint64 wholeMs = whole.elapsed();

    CheckStop stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stop.request();
    });
    QElapsedTimer stopped;
    stopped.start();
    checkDatabaseFile(path, CheckDepth::Quick, 2000, &stop);
    const qint64 stoppedMs = stopped.elapsed();
    stopper.join();
    QVERIFY2(stoppedMs < 20 + wholeMs / 3, qPrintable(QStringLiteral("%1 ms of %2").arg(stoppedMs).arg(wholeMs)));
}

BRENVO_TEST(DatabaseCheckTest)
#include "test_databasecheck.moc"
