// The file-system steps that must be whole or not at all, and the lock that
// lets a second copy of the program notice the first.
#include "platform/files.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <unistd.h>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

const QString lockName = QStringLiteral("brenvo.lock");

// What this process writes into a lock file, with another process id.
QByteArray lockContentsWithPid(qint64 pid)
{
    QTemporaryDir elsewhere;
    QLockFile own(elsewhere.filePath(lockName));
    if (!own.tryLock(0))
        return {};
    QByteArray contents = readFile(elsewhere.filePath(lockName));
    const qsizetype endOfPid = contents.indexOf('\n');
    return QByteArray::number(pid) + contents.mid(endOfPid);
}

// The id of a process that has ended.
qint64 endedProcessId()
{
    QProcess process;
    process.start(QStringLiteral("true"), {});
    process.waitForStarted();
    const qint64 pid = process.processId();
    process.waitForFinished();
    return pid;
}

} // namespace

class FilesTest : public QObject {
    Q_OBJECT
private slots:
    void replaceFilePutsTheNewFileInPlace()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("zhao.dat"));
        QVERIFY(writeFile(target, "old"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("new")), "new"));
        QVERIFY(replaceFile(dir.filePath(QStringLiteral("new")), target));
        QCOMPARE(readFile(target), QByteArray("new"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("new"))));

        QString error;
        QVERIFY(!replaceFile(dir.filePath(QStringLiteral("gone")), target, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(target), QByteArray("new"));
    }

    void exchangeSwapsOrChangesNothing()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("photo"));
        const QString second = dir.filePath(QStringLiteral("stage/photo"));
        QVERIFY(writeFile(first + QStringLiteral("/a.jpg"), "current"));
        QVERIFY(writeFile(second + QStringLiteral("/b.jpg"), "restored"));
        if (exchangePaths(first, second)) {
            QCOMPARE(readFile(first + QStringLiteral("/b.jpg")), QByteArray("restored"));
            QCOMPARE(readFile(second + QStringLiteral("/a.jpg")), QByteArray("current"));
            QVERIFY(!QFileInfo::exists(first + QStringLiteral("/a.jpg")));
        } else {
            QCOMPARE(readFile(first + QStringLiteral("/a.jpg")), QByteArray("current"));
            QCOMPARE(readFile(second + QStringLiteral("/b.jpg")), QByteArray("restored"));
        }
        QVERIFY(!exchangePaths(first, dir.filePath(QStringLiteral("missing"))));
        QVERIFY(QFileInfo::exists(first));
    }

    void aKeptCopyHasTheBytesAndLeavesTheFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("zhao.dat"));
        const QString copy = dir.filePath(QStringLiteral("zhao.dat.before-restore-20130506_140309"));
        QVERIFY(writeFile(file, "damaged"));
        QVERIFY(keepCopyOf(file, copy));
        QCOMPARE(readFile(copy), QByteArray("damaged"));
        QCOMPARE(readFile(file), QByteArray("damaged"));
        QVERIFY(!keepCopyOf(file, copy));
    }

    void aDirectoryIsLockedOnce_data()
    {
        QTest::addColumn<std::function<void(const QString& dir)>>("before");
        QTest::addColumn<bool>("held");
        using Before = std::function<void(const QString&)>;

        QTest::newRow("nobody holds it") << Before([](const QString&) {}) << true;
        QTest::newRow("left by a process that has ended") << Before([](const QString& dir) {
            QVERIFY(writeFile(QDir(dir).filePath(lockName), lockContentsWithPid(endedProcessId())));
        }) << true;
        QTest::newRow("copied along with the directory from a running program") << Before([](const QString& dir) {
            QVERIFY(writeFile(QDir(dir).filePath(lockName), lockContentsWithPid(QCoreApplication::applicationPid())));
        }) << true;
    }

    void aDirectoryIsLockedOnce()
    {
        QFETCH(std::function<void(const QString&)>, before);
        QFETCH(bool, held);
        QTemporaryDir dir;
        before(dir.path());

        DirectoryLock first = lockDirectory(dir.path(), lockName);
        QCOMPARE(bool(first.lock), held);
        QVERIFY(!first.heldElsewhere);
        QVERIFY(QFileInfo::exists(dir.filePath(lockName)));

        // Held: a second claim, here or in another process, is refused.
        const DirectoryLock second = lockDirectory(dir.path(), lockName);
        QVERIFY(!second.lock);
        QVERIFY(second.heldElsewhere);

        first = {};
        QVERIFY(!QFileInfo::exists(dir.filePath(lockName)));
        const DirectoryLock third = lockDirectory(dir.path(), lockName);
        QVERIFY(third.lock);
    }

    void aReadOnlyDirectoryCannotBeLocked()
    {
        QTemporaryDir dir;
        const uid_t previous = geteuid();
        if (previous != 0 || seteuid(65534) != 0)
            QSKIP("the test cannot run as another user here");
        const DirectoryLock lock = lockDirectory(dir.path(), lockName);
        QCOMPARE(seteuid(previous), 0);
        QVERIFY(!lock.lock);
        QVERIFY(!lock.heldElsewhere);
    }
};

BRENVO_TEST(FilesTest)
#include "test_files.moc"
