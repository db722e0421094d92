// Photos on a server: a photo saved at one desk is shown and printed at
// another that never had the file, byte for byte.
#include "form/registration.h"
#include "photos/photostore.h"
#include "printing/rendering.h"
#include "support/openstate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {

// A desk of the server with a program directory (its photo cache) of its own.
struct ServerDesk {
    TestProgramDir dir{false};
    AppState state;
    RecordingReporter reporter;
    bool opened = false;

    explicit ServerDesk(const QString& connection)
    {
        state.programDir = dir.path();
        state.reporter = &reporter;
        state.serverConnection = connection;
        opened = createConnection(state.db.connection) && createRecordSet(state.db.sharedRecordSet)
                 && createRecordSet(state.db.browseRecordSet) && state.db.connection->openServer(connection);
    }
};

} // namespace

class ServerPhotoTest : public QObject {
    Q_OBJECT
private slots:
    void aPhotoSavedAtOneDeskShowsAtAnother()
    {
        TestPgDatabase server;
        BRENVO_REQUIRE_PG(server);
        ServerDesk taking(server.connectionString());
        ServerDesk showing(server.connectionString());
        QVERIFY2(taking.opened, qPrintable(taking.state.db.lastErrorText()));
        QVERIFY2(showing.opened, qPrintable(showing.state.db.lastErrorText()));

        // Every byte value, as a JPEG holds them.
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i)
            bytes += char(i * 7 % 256);
        const QString storedName = QStringLiteral("2013-05\\0123456789abcdef.jpg");
        const QString takenFile = photoPath(taking.dir.path(), storedName);
        QVERIFY(QDir().mkpath(QFileInfo(takenFile).absolutePath()));
        QFile file(takenFile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();

        QVERIFY(taking.state.db.connection->beginTransaction());
        QVERIFY(taking.state.db.execute(QStringLiteral("INSERT INTO bmb  (xm,dtime,status) values ('王小明','2013年5月6日',1)")));
        const int registration = int(taking.state.db.connection->lastInsertId());
        QVERIFY(attachPendingPhoto(taking.state, registration, storedName));
        QVERIFY(taking.state.db.connection->commitTransaction());

        const QString shown = photoPathFor(showing.state, photoFileOf(showing.state, registration));
        QCOMPARE(shown, photoPath(showing.dir.path(), storedName));
        QFile cached(shown);
        QVERIFY(cached.open(QIODevice::ReadOnly));
        QCOMPARE(cached.readAll(), bytes);

        // Saved again under the same name (the same file), it is kept once.
        QVERIFY(putPhotoOnServer(taking.state, storedName));
        PgSession session(server.connectionString());
        QCOMPARE(session.run(QStringLiteral("select count(*) from photofile")).rows, QVector<QStringList>({{"1"}}));
    }
};

BRENVO_TEST(ServerPhotoTest)
#include "test_serverphotos.moc"
