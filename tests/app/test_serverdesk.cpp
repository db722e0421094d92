// A desk whose settings name a server: it starts without a zhao.dat of its
// own, logs in against the server's founder account and stores there.
#include "appfixture.h"

#include "platform/inifile.h"
#include "support/pgtestdatabase.h"

#include <QFile>

class ServerDeskTest : public QObject {
    Q_OBJECT
private slots:
    void aDeskOnAServerNeedsNoDatabaseFileOfItsOwn()
    {
        TestPgDatabase server;
        BRENVO_REQUIRE_PG(server);
        AppFixture app;
        QVERIFY(QFile::remove(app.dir.databasePath()));
        writeIniValue(app.iniPath(), QStringLiteral("connection"), server.connectionString(), QStringLiteral("server"));
        QVERIFY(app.start());
        QCOMPARE(app.state->currentOperator.name, QStringLiteral("admin"));
        QVERIFY(app.execute(QStringLiteral("INSERT INTO bmb  (xm,dtime,status) values ('王䶮','2013年5月6日',1)")));
        PgSession session(server.connectionString());
        QCOMPARE(session.run(QStringLiteral("select xm from bmb")).rows, QVector<QStringList>({{QStringLiteral("王䶮")}}));
        QVERIFY(!QFile::exists(app.dir.databasePath()));
    }
};

BRENVO_TEST(ServerDeskTest)
#include "test_serverdesk.moc"
