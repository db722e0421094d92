// A program killed while it stores registrations leaves a sound zhao.dat that
// holds only whole registrations: a writer process is killed with SIGKILL at
// twenty random moments, and after each kill the file is checked as the
// program would find it at its next start.
#include "support/testsupport.h"

#include "store/database.h"
#include "store/databasecheck.h"
#include "tools/registrationpayload.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <map>

#include <csignal>

namespace {

// Checks every registration and photo row; gives the number of registrations.
int checkWholeRegistrations(const QString& programDir, QString* fault)
{
    Database db;
    if (!createConnection(db.connection) || !createRecordSet(db.sharedRecordSet)
        || !db.connection->openDatabase(connectionStringFor(programDir))) {
        *fault = QStringLiteral("cannot open: ") + db.lastErrorText();
        return -1;
    }
    // Photo rows by id: (registration, file).
    std::map<int, std::pair<int, QString>> photos;
    if (!db.openShared(QStringLiteral("select * from fj order by id"))) {
        *fault = db.lastErrorText();
        return -1;
    }
    for (RecordSet& rows = db.shared(); !rows.atEnd(); rows.moveNext())
        photos[rows.readInteger("id")] = {rows.readInteger("uid"), rows.readText("filename")};

    if (!db.openShared(QStringLiteral("select * from bmb order by id"))) {
        *fault = db.lastErrorText();
        return -1;
    }
    int count = 0;
    std::map<int, qint64> numbers;
    for (RecordSet& rows = db.shared(); !rows.atEnd(); rows.moveNext(), ++count) {
        const int id = rows.readInteger("id");
        const qint64 n = payload::numberOf(rows.readText("xm"));
        const QString where = QStringLiteral("registration %1 (%2): ").arg(id).arg(rows.readText("xm").left(20));
        if (n < 0 || rows.readInteger("nl") != payload::age(n) || rows.readText("mz") != payload::nation(n)
            || rows.readText("jj") != payload::profile(n) || rows.readText("kz3") != payload::choices(n)
            || rows.readText("dtime") != QLatin1String(payload::storedEntryTime()) || rows.readInteger("status") != 1) {
            *fault = where + QStringLiteral("columns do not belong together");
            return -1;
        }
        const int imgid = rows.readInteger("imgid");
        if (imgid != 0) {
            const auto photo = photos.find(imgid);
            if (photo == photos.end() || photo->second.first != id || photo->second.second != payload::photoFile(n)) {
                *fault = where + QStringLiteral("imgid %1 names no photo of its own").arg(imgid);
                return -1;
            }
        }
        numbers[id] = n;
    }
    if (db.shared().readFailed()) {
        *fault = db.lastErrorText();
        return -1;
    }
    for (const auto& [photoId, photo] : photos) {
        const auto owner = numbers.find(photo.first);
        if (owner == numbers.end() || photo.second != payload::photoFile(owner->second)) {
            *fault = QStringLiteral("photo row %1 belongs to no registration").arg(photoId);
            return -1;
        }
    }
    return count;
}

} // namespace

class CrashTest : public QObject {
    Q_OBJECT
private slots:
    void killedWhileStoringLeavesWholeRegistrations();
};

void CrashTest::killedWhileStoringLeavesWholeRegistrations()
{
    TestProgramDir dir;
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    qInfo("crash test seed %u", seed);

    int stored = 0;
    int leftHalfDone = 0;  // kills that left a journal to roll back
    for (int round = 0; round < 20; ++round) {
        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer.start(QStringLiteral(REGISTRATION_WRITER),
                     {dir.path(), QString::number(qint64(round + 1) * 1000000)});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        // A random moment: early ones fall into the writer's start and open.
        const int delay = random.bounded(20, 400);
        QVERIFY2(!writer.waitForFinished(delay), "the writer stopped by itself");
        QCOMPARE(::kill(pid_t(writer.processId()), SIGKILL), 0);
        QVERIFY(writer.waitForFinished(5000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        if (QFileInfo::exists(dir.databasePath() + QStringLiteral("-journal")))
            ++leftHalfDone;

        // As the next start finds it: the check rolls back what the writer
        // left half done, then the file must be whole.
        const DatabaseCheck check = checkDatabaseFile(dir.databasePath(), CheckDepth::Full);
        QVERIFY2(check.usable(), qPrintable(QStringLiteral("round %1, after %2 ms: %3")
                                                 .arg(round)
                                                 .arg(delay)
                                                 .arg(databaseProblemText(check, dir.databasePath()))));
        QString fault;
        const int count = checkWholeRegistrations(dir.path(), &fault);
        QVERIFY2(count >= stored, qPrintable(QStringLiteral("round %1, after %2 ms: %3").arg(round).arg(delay).arg(fault)));
        stored = count;
    }
    qInfo("%d registrations stored, %d kills in the middle of a write", stored, leftHalfDone);
    // The writer got far enough to be killed in the middle of its work.
    QVERIFY2(stored >= 20, qPrintable(QStringLiteral("only %1 registrations stored").arg(stored)));
}

BRENVO_TEST(CrashTest)
#include "test_crash.moc"
