#include "appfixture.h"

#include "app/datafolder.h"
#include "support/safetysupport.h"

#include <QTemporaryDir>

namespace {

// An installed program directory: what the package puts beside the executable.
struct Installation {
    QTemporaryDir root;
    QString programDir = root.filePath(QStringLiteral("opt/brenvo"));
    QString home = root.filePath(QStringLiteral("home/share"));
    Installation()
    {
        writeBytes(programDir + QStringLiteral("/photo/noimg.jpg"), "shipped photo");
        writeBytes(programDir + QStringLiteral("/mb/zd_mb.htm"), "shipped page");
        writeBytes(programDir + QLatin1Char('/') + installedMarkerName, "installed");
    }
    DataFolderFacts facts(const QString& named = QString()) const
    {
        return {named, root.path(), programDir, true, home};
    }
};

} // namespace

class DataFolderTest : public QObject {
    Q_OBJECT
private slots:
    void theFolderFollowsTheCommandLineAndTheInstallation_data()
    {
        QTest::addColumn<QString>("named");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a program directory of its own") << QString() << false << QStringLiteral("/usb/brenvo");
        QTest::newRow("installed") << QString() << true << QStringLiteral("/home/op/.local/share/brenvo");
        QTest::newRow("named, installed") << QStringLiteral("/srv/office/") << true << QStringLiteral("/srv/office");
        QTest::newRow("named, own directory") << QStringLiteral("/srv/office") << false << QStringLiteral("/srv/office");
        QTest::newRow("named relative to the start") << QStringLiteral("../disk/data") << true << QStringLiteral("/work/disk/data");
    }
    void theFolderFollowsTheCommandLineAndTheInstallation()
    {
        QFETCH(QString, named);
        QFETCH(bool, installed);
        QFETCH(QString, expected);
        const DataFolderFacts facts{named, QStringLiteral("/work/here"), QStringLiteral("/usb/brenvo/"), installed,
                                    QStringLiteral("/home/op/.local/share")};
        QCOMPARE(chooseDataFolder(facts), expected);
    }

    // The first start of an installed program makes the user's folder with
    // the shipped files and a new database, and logs in as the founder.
    void theFirstStartMakesTheUsersFolderAndLogsIn()
    {
        Installation installation;
        const DataFolderFacts facts = installation.facts();
        const QString folder = chooseDataFolder(facts);
        QString error;
        QVERIFY2(prepareDataFolder(facts, folder, &error), qPrintable(error));
        QCOMPARE(readBytes(folder + QStringLiteral("/photo/noimg.jpg")), QByteArray("shipped photo"));
        QCOMPARE(readBytes(folder + QStringLiteral("/mb/zd_mb.htm")), QByteArray("shipped page"));
        QVERIFY(!QFileInfo::exists(folder + QLatin1Char('/') + installedMarkerName));

        MessageRecorder messages;
        std::optional<int> exitCode;
        setEndProgramHook([&exitCode](int code) { exitCode = code; });
        AppState state;
        state.programDir = folder;
        MainWindow window(state);
        whenLoginOpens([](LoginWindow& login) { typeAndLogin(login, QStringLiteral("472915")); });
        const bool started = window.onMainWindowCreated();
        setEndProgramHook(nullptr);
        QVERIFY(started);
        QVERIFY(!exitCode);
        QCOMPARE(state.currentOperator.name, QStringLiteral("admin"));
        QVERIFY(messages.messages().isEmpty());
    }

    // A later start adds what is missing and changes nothing of the user's.
    void aLaterStartKeepsWhatTheFolderHolds()
    {
        Installation installation;
        const DataFolderFacts facts = installation.facts();
        const QString folder = chooseDataFolder(facts);
        QVERIFY(writeBytes(folder + QStringLiteral("/zhao.dat"), "the user's data"));
        QVERIFY(writeBytes(folder + QStringLiteral("/mb/zd_mb.htm"), "the user's page"));
        QString error;
        QVERIFY2(prepareDataFolder(facts, folder, &error), qPrintable(error));
        QCOMPARE(readBytes(folder + QStringLiteral("/zhao.dat")), QByteArray("the user's data"));
        QCOMPARE(readBytes(folder + QStringLiteral("/mb/zd_mb.htm")), QByteArray("the user's page"));
        QCOMPARE(readBytes(folder + QStringLiteral("/photo/noimg.jpg")), QByteArray("shipped photo"));
    }

    // A lost zhao.dat with a backup to restore it from is not replaced by an
    // empty one: the start offers the backup.
    void aFolderWithABackupGetsNoNewDatabase()
    {
        Installation installation;
        const DataFolderFacts facts = installation.facts();
        const QString folder = chooseDataFolder(facts);
        QVERIFY(writeBytes(folder + QStringLiteral("/backup/zhao_20130506_140309.zip"), "archive"));
        QString error;
        QVERIFY2(prepareDataFolder(facts, folder, &error), qPrintable(error));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/zhao.dat")));
    }

    // A desk whose settings name a server gets no zhao.dat of its own.
    void aServerDeskGetsNoDatabaseFile()
    {
        Installation installation;
        const DataFolderFacts facts = installation.facts();
        const QString folder = chooseDataFolder(facts);
        QVERIFY(writeBytes(folder + QStringLiteral("/duzarizered.ini"), "[server]\nconnection=host=192.168.1.10 dbname=brenvo\n"));
        QString error;
        QVERIFY2(prepareDataFolder(facts, folder, &error), qPrintable(error));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/zhao.dat")));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/photo/noimg.jpg")));
    }

    // A named folder must be there: a mistyped name or a disk that is not
    // mounted is said instead of being filled with a new database.
    void aNamedFolderThatIsNotThereIsSaid()
    {
        Installation installation;
        const DataFolderFacts facts = installation.facts(QStringLiteral("media/usb/brenvo"));
        const QString folder = chooseDataFolder(facts);
        QString error;
        QVERIFY(!prepareDataFolder(facts, folder, &error));
        QCOMPARE(error, QStringLiteral("数据文件夹不存在：") + QDir::toNativeSeparators(folder));
        QVERIFY(!QFileInfo::exists(folder));

        QVERIFY(QDir().mkpath(folder));
        QVERIFY2(prepareDataFolder(facts, folder, &error), qPrintable(error));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/zhao.dat")));
    }

    // A program directory of its own is used as it stands, as before.
    void theProgramDirectoryItselfIsLeftAsItIs()
    {
        Installation installation;
        DataFolderFacts facts = installation.facts();
        facts.installed = false;
        const QString folder = chooseDataFolder(facts);
        QCOMPARE(folder, QDir::cleanPath(installation.programDir));
        QString error;
        QVERIFY(prepareDataFolder(facts, folder, &error));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/zhao.dat")));
    }
};

BRENVO_TEST(DataFolderTest)
#include "test_datafolder.moc"
