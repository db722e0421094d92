// Data safety as the operator meets it: a database that cannot serve is named
// at the start and, when damaged, offered its newest backup; one held by
// another program is waited for and named; a missing one is offered what can
// take its place; a second start on the same folder is refused; the 数据备份
// window backs up and restores; the exit makes an automatic backup when
// something changed.
#include "appfixture.h"

#include "app/backupwindow.h"
#include "app/datasafety.h"
#include "platform/text.h"
#include "store/backup.h"
#include "support/safetysupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProgressBar>
#include <QTreeWidget>

#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs step on the 数据备份 window once it is open (modal, inside the loader).
void whenBackupWindowOpens(std::function<void(BackupWindow&)> step, bool* opened)
{
    QTimer::singleShot(0, [step, opened] {
        auto* window = qobject_cast<BackupWindow*>(QApplication::activeModalWidget());
        if (!window)
            return;
        *opened = true;
        step(*window);
        window->accept();
    });
}

// Where no login may open: one that opens is noted and left with 退出. The
// watch ends with its scope, so it never acts in a later test.
class LoginWatch {
public:
    LoginWatch()
    {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* login = qobject_cast<LoginWindow*>(top); login && login->isVisible()) {
                    opened = true;
                    login->findChild<QPushButton*>(QStringLiteral("退出"))->click();
                }
        });
        timer.start(0);
    }
    bool opened = false;

private:
    QTimer timer;
};

int rowCount(AppFixture& app, const char* table)
{
    return app.queryValue(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toInt();
}

} // namespace

class DataSafetyTest : public QObject {
    Q_OBJECT
private slots:
    void anUnusableDatabaseIsNamedAndNobodyCanLogIn_data();
    void anUnusableDatabaseIsNamedAndNobodyCanLogIn();
    void aDamagedDatabaseIsRestoredFromTheNewestBackup();
    void aDatabaseHeldByAnotherProgramIsNamedAndNothingOffered();
    void aDatabaseHeldForAMomentIsWaitedFor();
    void aMissingDatabaseIsOfferedWhatCanTakeItsPlace_data();
    void aMissingDatabaseIsOfferedWhatCanTakeItsPlace();
    void unfinishedRestoresAreRemovedAtTheStart();
    void aSecondStartOnTheSameFolderIsRefused_data();
    void aSecondStartOnTheSameFolderIsRefused();
    void aReadOnlyDatabaseIsSaidAtTheStart();
    void backupAndRestoreThroughTheWindow();
    void theWindowIsForManagersOnly();
    void theExitBacksUpWhatChanged();
    void aDamagedPageIsCaughtAtTheFirstStartAfterIt_data();
    void aDamagedPageIsCaughtAtTheFirstStartAfterIt();
};

void DataSafetyTest::anUnusableDatabaseIsNamedAndNobodyCanLogIn_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("words");
    QTest::newRow("random bytes") << "random" << QStringLiteral("不是数据库");
    QTest::newRow("cut short") << "cut" << QStringLiteral("已损坏");
    QTest::newRow("a directory") << "directory" << QStringLiteral("不是一个文件");
    QTest::newRow("no admin table") << "no admin" << QStringLiteral("缺少数据表 admin");
}

void DataSafetyTest::anUnusableDatabaseIsNamedAndNobodyCanLogIn()
{
    QFETCH(QString, kind);
    QFETCH(QString, words);
    AppFixture app;
    const QString path = app.dir.databasePath();
    if (kind == QLatin1String("random")) {
        QVERIFY(writeBytes(path, QByteArray(8192, 'x')));
    } else if (kind == QLatin1String("cut")) {
        QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE filler (t TEXT)"),
                              QStringLiteral("INSERT INTO filler VALUES (hex(randomblob(40000)))")}));
        QFile file(path);
        QVERIFY(file.resize(file.size() / 2));
    } else if (kind == QLatin1String("directory")) {
        QVERIFY(QFile::remove(path) && QDir().mkpath(path));
    } else if (kind == QLatin1String("no admin")) {
        QVERIFY(runSql(path, {QStringLiteral("DROP TABLE admin")}));
    }
    const auto before = treeContents(app.dir.path(), {QStringLiteral("duzarizered.ini")});

    bool unavailableShown = false;
    QStringList loginAnswers;
    whenLoginOpens([&](LoginWindow& login) {
        unavailableShown = login.findChild<QLabel*>(QStringLiteral("标签_无法登录"))->isVisible();
        const int before = app.messages.messages().size();
        typeAndLogin(login, QStringLiteral("472915"));
        for (int i = before; i < app.messages.messages().size(); ++i)
            loginAnswers << app.messages.messages().at(i).text;
        login.findChild<QPushButton*>(QStringLiteral("退出"))->click();
    });
    QVERIFY(!app.startWith());
    QCOMPARE(app.exitCode, std::optional<int>(0));

    // One Chinese message at the start, with the error icon, naming the file and the cause.
    const QVector<RecordedMessage>& shown = app.messages.messages();
    QVERIFY(shown.size() >= 1);
    QCOMPARE(shown.at(0).style, int(MessageStyle::Error));
    QVERIFY2(shown.at(0).text.contains(path) && shown.at(0).text.contains(words.section(' ', -1)),
             qPrintable(shown.at(0).text));
    QVERIFY(unavailableShown);
    QCOMPARE(loginAnswers.size(), 1);
    QVERIFY2(loginAnswers.at(0).contains(words) && loginAnswers.at(0).contains(QStringLiteral("无法登录")),
             qPrintable(loginAnswers.at(0)));
    QCOMPARE(shown.size(), 2);
    QVERIFY(!app.state->currentOperator.id);
    QCOMPARE(treeContents(app.dir.path(), {QStringLiteral("duzarizered.ini")}), before);
}

void DataSafetyTest::aDamagedDatabaseIsRestoredFromTheNewestBackup()
{
    AppFixture app;
    QVERIFY(runSql(app.dir.databasePath(), {QStringLiteral("INSERT INTO bmb (xm) VALUES ('备份里的考生')")}));
    const BackupResult older = writeBackup(app.dir.path(), defaultBackupFolder(app.dir.path()), BackupKind::Manual);
    QVERIFY(older.ok);
    QVERIFY(runSql(app.dir.databasePath(), {QStringLiteral("INSERT INTO bmb (xm) VALUES ('较新的考生')")}));
    const BackupResult newer = writeBackup(app.dir.path(), defaultBackupFolder(app.dir.path()), BackupKind::Automatic);
    QVERIFY(newer.ok);
    const QByteArray damaged(8192, 'x');
    QVERIFY(writeBytes(app.dir.databasePath(), damaged));

    app.messages.setAnswer(AnswerYes);
    QVERIFY(app.start());
    const QStringList texts = app.messages.texts();
    QVERIFY2(texts.size() == 3, qPrintable(texts.join('\n')));
    QVERIFY(texts.at(0).contains(QStringLiteral("不是数据库")));
    QVERIFY2(texts.at(1).contains(QFileInfo(newer.archivePath).fileName())
                 && texts.at(1).contains(QStringLiteral("报名信息：2 条")),
             qPrintable(texts.at(1)));
    QVERIFY(texts.at(2).contains(QStringLiteral("恢复")));
    QCOMPARE(app.state->currentOperator.name, QStringLiteral("admin"));
    QCOMPARE(rowCount(app, "bmb"), 2);
    // The damaged file is kept beside it for whoever wants to look at it.
    const QStringList kept = QDir(app.dir.path()).entryList({QStringLiteral("zhao.dat.before-restore-*")});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(readBytes(app.dir.file(kept.first())), damaged);
}

void DataSafetyTest::aDatabaseHeldByAnotherProgramIsNamedAndNothingOffered()
{
    AppFixture app;
    QVERIFY(writeBackup(app.dir.path(), defaultBackupFolder(app.dir.path()), BackupKind::Manual).ok);
    const QString path = app.dir.databasePath();
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
    const auto closeOther = qScopeGuard([other] { sqlite3_close_v2(other); });
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QByteArray held = readBytes(path);

    QElapsedTimer waited;
    waited.start();
    const LoginWatch login;
    QVERIFY(!app.startWith());
    QVERIFY(!login.opened);
    QVERIFY(waited.elapsed() >= 2000);
    QCOMPARE(app.exitCode, std::optional<int>(0));
    const QVector<RecordedMessage>& shown = app.messages.messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.at(0).style, int(MessageStyle::Error));
    QVERIFY2(shown.at(0).text.contains(path) && shown.at(0).text.contains(QStringLiteral("正被其他程序占用")),
             qPrintable(shown.at(0).text));
    QVERIFY(!app.window->isVisible());
    QCOMPARE(readBytes(path), held);
    QVERIFY(setAsideDatabases(app.dir.path()).isEmpty());
}

void DataSafetyTest::aDatabaseHeldForAMomentIsWaitedFor()
{
    AppFixture app;
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(app.dir.databasePath().toUtf8().constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread releasing([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    const bool started = app.start();
    releasing.join();
    sqlite3_close_v2(other);
    QVERIFY(started);
    QVERIFY2(app.messages.messages().isEmpty(), qPrintable(app.messages.texts().join('\n')));
    QCOMPARE(app.state->currentOperator.name, QStringLiteral("admin"));
}

void DataSafetyTest::aMissingDatabaseIsOfferedWhatCanTakeItsPlace_data()
{
    QTest::addColumn<bool>("setAside");      // a restore set the database aside and was killed
    QTest::addColumn<bool>("backup");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("offered");  // words of each message, in order
    QTest::addColumn<QString>("registration");  // what the database holds afterwards; empty: the program ends

    QTest::newRow("set aside, taken") << true << true << int(AnswerYes)
                                      << QStringList{QStringLiteral("恢复数据时留下的数据库 zhao.dat.before-restore-")}
                                      << QStringLiteral("留下的考生");
    QTest::newRow("a backup, taken")
        << false << true << int(AnswerYes)
        << QStringList{QStringLiteral("程序文件夹中没有数据库 zhao.dat。\n\n找到可用的备份"), QStringLiteral("数据已从备份")}
        << QStringLiteral("备份里的考生");
    QTest::newRow("both, declined")
        << true << true << int(AnswerNo)
        << QStringList{QStringLiteral("恢复数据时留下的数据库"), QStringLiteral("找到可用的备份"), QStringLiteral("数据库不存在")}
        << QString();
    QTest::newRow("nothing to offer") << false << false << int(AnswerYes) << QStringList{QStringLiteral("数据库不存在")}
                                      << QString();
}

void DataSafetyTest::aMissingDatabaseIsOfferedWhatCanTakeItsPlace()
{
    QFETCH(bool, setAside);
    QFETCH(bool, backup);
    QFETCH(int, answer);
    QFETCH(QStringList, offered);
    QFETCH(QString, registration);

    AppFixture app;
    const QString path = app.dir.databasePath();
    if (backup) {
        QVERIFY(runSql(path, {QStringLiteral("INSERT INTO bmb (xm) VALUES ('备份里的考生')")}));
        QVERIFY(writeBackup(app.dir.path(), defaultBackupFolder(app.dir.path()), BackupKind::Manual).ok);
    }
    QVERIFY(runSql(path, {QStringLiteral("DELETE FROM bmb"), QStringLiteral("INSERT INTO bmb (xm) VALUES ('留下的考生')")}));
    if (setAside)
        QVERIFY(QFile::rename(path, path + QStringLiteral(".before-restore-20130506_140309")));
    else
        QVERIFY(QFile::remove(path));

    app.messages.setAnswer(answer);
    if (registration.isEmpty()) {
        QVERIFY(!app.startWith());
        QCOMPARE(app.exitCode, std::optional<int>(0));
        QVERIFY(!QFileInfo::exists(path));
    } else {
        QVERIFY(app.start());
        QCOMPARE(app.queryValue(QStringLiteral("select xm from bmb")), registration);
    }
    const QStringList texts = app.messages.texts();
    QCOMPARE(texts.size(), offered.size());
    for (int i = 0; i < offered.size(); ++i)
        QVERIFY2(texts.at(i).contains(offered.at(i)), qPrintable(texts.at(i)));
    QCOMPARE(setAsideDatabases(app.dir.path()).size(), setAside && answer != AnswerYes ? 1 : 0);
}

void DataSafetyTest::unfinishedRestoresAreRemovedAtTheStart()
{
    AppFixture app;
    QVERIFY(writeBytes(app.dir.file(QStringLiteral(".restore-aB3dE9/zhao.dat")), QByteArray(100000, 'z')));
    QVERIFY(writeBytes(app.dir.file(QStringLiteral(".restore-aB3dE9/photo/2013-05/1.jpg")), QByteArray(5000, 'p')));
    QVERIFY(app.start());
    QVERIFY(QDir(app.dir.path()).entryList({QStringLiteral(".restore-*")}, QDir::Dirs | QDir::Hidden).isEmpty());
    QVERIFY(app.messages.messages().isEmpty());
}

void DataSafetyTest::aSecondStartOnTheSameFolderIsRefused_data()
{
    QTest::addColumn<bool>("inAnotherProcess");
    QTest::newRow("held by this process") << false;
    QTest::newRow("held by another process") << true;
}

void DataSafetyTest::aSecondStartOnTheSameFolderIsRefused()
{
    QFETCH(bool, inAnotherProcess);
    AppFixture app;
    QProcess other;
    DirectoryLock here;
    if (inAnotherProcess) {
        other.start(QStringLiteral(DIRECTORY_LOCKER), {app.dir.path(), instanceLockFileName()});
        QVERIFY(other.waitForReadyRead(10000));
        QCOMPARE(other.readAllStandardOutput().trimmed(), QByteArray("locked"));
    } else {
        here = lockDirectory(app.dir.path(), instanceLockFileName());
        QVERIFY(here.lock);
    }
    const QByteArray database = readBytes(app.dir.databasePath());

    const LoginWatch login;
    QVERIFY(!app.startWith());
    QVERIFY(!login.opened);
    QCOMPARE(app.exitCode, std::optional<int>(0));
    QCOMPARE(app.messages.texts(), QStringList{alreadyRunningText(app.dir.path())});
    QVERIFY(app.messages.texts().at(0).startsWith(QStringLiteral("程序已在运行（程序文件夹 ") + app.dir.path()));
    QVERIFY(!app.window->isVisible());
    QCOMPARE(readBytes(app.dir.databasePath()), database);

    // The first one ends (or dies): the folder is free again.
    if (inAnotherProcess) {
        other.kill();
        QVERIFY(other.waitForFinished(10000));
    } else {
        here = {};
    }
    app.messages.clear();
    QVERIFY(app.start());
    QVERIFY(app.messages.messages().isEmpty());
    // While this run holds the folder, the lock file is there.
    QVERIFY(QFileInfo::exists(app.dir.file(instanceLockFileName())));
}

void DataSafetyTest::aReadOnlyDatabaseIsSaidAtTheStart()
{
    AppFixture app;
    QCOMPARE(::chmod(QFile::encodeName(app.dir.path()).constData(), 0755), 0);
    QCOMPARE(::chmod(QFile::encodeName(app.dir.databasePath()).constData(), 0444), 0);
    const uid_t root = geteuid();
    if (root != 0 || seteuid(65534) != 0)
        QSKIP("the test cannot run as another user here");
    const bool started = app.start();
    QCOMPARE(seteuid(root), 0);
    QVERIFY(started);
    const QStringList texts = app.messages.texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY(texts.at(0).contains(QStringLiteral("只能读取")) && texts.at(0).contains(app.dir.databasePath()));
    QCOMPARE(app.messages.messages().at(0).style, int(MessageStyle::Exclamation));
    QVERIFY(app.window->statusPane(1)->text().contains(QStringLiteral("数据库只读")));
    QCOMPARE(app.state->currentOperator.name, QStringLiteral("admin"));
}

void DataSafetyTest::backupAndRestoreThroughTheWindow()
{
    AppFixture app;
    int restarts = 0;
    setRestartProgramHook([&restarts] { ++restarts; });
    QVERIFY(app.start());
    QVERIFY(app.execute(QStringLiteral("INSERT INTO bmb (xm) VALUES ('张三')")));
    QVERIFY(writeBytes(app.dir.file(QStringLiteral("photo/2013-05/a.jpg")), QByteArray(5000, 'a')));
    const QStringList backedUp = dumpDatabase(app.dir.databasePath());
    const auto photosBackedUp = treeContents(app.dir.file(QStringLiteral("photo")));

    bool opened = false;
    int listedAfterBackup = -1;
    whenBackupWindowOpens([&](BackupWindow& window) {
        QCOMPARE(window.folder(), defaultBackupFolder(app.dir.path()));
        window.findChild<QPushButton*>(QStringLiteral("按钮_备份_备份"))->click();
        listedAfterBackup = window.findChild<QTreeWidget*>(QStringLiteral("超级列表框_备份"))->topLevelItemCount();
        QVERIFY(!window.findChild<QProgressBar*>(QStringLiteral("进度条_备份"))->isVisible());
    }, &opened);
    app.window->navigate(2, 0);
    QVERIFY(opened);
    QCOMPARE(listedAfterBackup, 1);
    QVERIFY2(app.statusText().startsWith(QStringLiteral("数据已备份到 ")), qPrintable(app.statusText()));
    QVERIFY(app.messages.messages().isEmpty());

    // Later work, then the backup put back.
    QVERIFY(app.execute(QStringLiteral("INSERT INTO bmb (xm) VALUES ('李四')")));
    QVERIFY(writeBytes(app.dir.file(QStringLiteral("photo/2013-06/b.jpg")), QByteArray(3000, 'b')));
    app.messages.setAnswer(AnswerYes);
    opened = false;
    whenBackupWindowOpens([&](BackupWindow& window) {
        auto* list = window.findChild<QTreeWidget*>(QStringLiteral("超级列表框_备份"));
        list->setCurrentItem(list->topLevelItem(0));
        window.findChild<QPushButton*>(QStringLiteral("按钮_备份_恢复"))->click();
    }, &opened);
    app.window->navigate(2, 0);
    QVERIFY(opened);
    setRestartProgramHook(nullptr);

    QCOMPARE(restarts, 1);
    const QStringList texts = app.messages.texts();
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts.at(0).contains(QStringLiteral("报名信息：1 条")), qPrintable(texts.at(0)));
    QCOMPARE(dumpDatabase(app.dir.databasePath()), backedUp);
    QCOMPARE(treeContents(app.dir.file(QStringLiteral("photo"))), photosBackedUp);
    // What was there before the restore is kept as an automatic backup.
    const QVector<BackupFile> backups = listBackups(defaultBackupFolder(app.dir.path()));
    QCOMPARE(backups.size(), 2);
    QCOMPARE(backups.first().kind, BackupKind::Automatic);
    StagedBackup before = stageBackup(backups.first().path, app.dir.path());
    QVERIFY(before.ok);
    QCOMPARE(before.manifest.rowsOf(QStringLiteral("bmb")), 2);
}

void DataSafetyTest::theWindowIsForManagersOnly()
{
    AppFixture app;
    QVERIFY(app.start());
    QVERIFY(app.execute(QStringLiteral("INSERT INTO admin (nam,admgroup,status,pw) values ('审核员',5,1,'%1')")
                            .arg(passwordDigest(QStringLiteral("s1")))));
    QVERIFY(app.start(QStringLiteral("s1"), 1));
    QCOMPARE(app.state->currentOperator.group, 5);
    bool opened = false;
    whenBackupWindowOpens([](BackupWindow&) {}, &opened);
    app.window->navigate(2, 0);
    QVERIFY(!opened);
    QCOMPARE(app.messages.messages().size(), 1);
    QVERIFY(app.messages.texts().at(0).contains(QStringLiteral("权限不足")));
}

void DataSafetyTest::theExitBacksUpWhatChanged()
{
    AppFixture app;
    const QString folder = defaultBackupFolder(app.dir.path());
    QVERIFY(app.start());
    QVERIFY(app.execute(QStringLiteral("INSERT INTO bmb (xm) VALUES ('王五')")));
    app.closeWindow();
    QCOMPARE(listBackups(folder).size(), 1);
    QCOMPARE(listBackups(folder).first().kind, BackupKind::Automatic);

    // Nothing written this time: no new backup.
    QVERIFY(app.start());
    app.closeWindow();
    QCOMPARE(listBackups(folder).size(), 1);
    QVERIFY(app.messages.messages().isEmpty());
}

void DataSafetyTest::aDamagedPageIsCaughtAtTheFirstStartAfterIt_data()
{
    QTest::addColumn<bool>("timeKept");
    // Written by another program: the file's time tells, the start checks every page.
    QTest::newRow("changed outside the program") << false;
    // Spoilt on the disk with size, time and header as they were: the check after login finds it.
    QTest::newRow("the file's stamp unchanged") << true;
}

void DataSafetyTest::aDamagedPageIsCaughtAtTheFirstStartAfterIt()
{
    QFETCH(bool, timeKept);
    AppFixture app;
    QVERIFY(runSql(app.dir.databasePath(), {QStringLiteral("CREATE TABLE filler (t TEXT)"),
                                            QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 2000) "
                                                           "INSERT INTO filler SELECT hex(randomblob(50)) FROM n")}));
    QVERIFY(app.start());
    app.closeWindow();
    QVERIFY(QFileInfo::exists(app.dir.file(cleanCloseFileName())));
    const QString path = app.dir.databasePath();
    const QDateTime modified = QFileInfo(path).lastModified();
    QByteArray bytes = readBytes(path);
    const int pageSize = (quint8(bytes[16]) << 8) | quint8(bytes[17]);
    // The filler's pages, the last of the file: the accounts stay readable for the login.
    for (int at = int(bytes.size()) - 8 * pageSize; at < bytes.size(); at += pageSize)
        bytes.replace(at + 8, 64, QByteArray(64, '\x5a'));
    QVERIFY(writeBytes(path, bytes));
    if (timeKept) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(modified, QFileDevice::FileModificationTime));
    }

    app.messages.setAnswer(AnswerNo);
    const auto damageSaid = [&] { return app.messages.texts().filter(QStringLiteral("已损坏")).size(); };
    if (timeKept) {
        QVERIFY(app.start());
        QTRY_COMPARE_WITH_TIMEOUT(damageSaid(), 1, 10000);
        app.closeWindow();
        QVERIFY(!QFileInfo::exists(app.dir.file(cleanCloseFileName())));
    }
    // The next start names the damage before anyone logs in.
    const int before = int(app.messages.texts().size());
    whenLoginOpens([](LoginWindow& login) { login.findChild<QPushButton*>(QStringLiteral("退出"))->click(); });
    QVERIFY(!app.startWith());
    QVERIFY(app.messages.texts().size() > before);
    QVERIFY2(app.messages.texts().at(before).contains(QStringLiteral("已损坏")), qPrintable(app.messages.texts().join('\n')));
}

BRENVO_TEST(DataSafetyTest)
#include "test_datasafety.moc"
