// A desk on a server that ends its session, loses a commit's answer, hangs
// or refuses the connection: each statement is sent again only where that
// cannot store anything twice, a save is stored once, and each failure is
// named by its cause.
#include "support/pgtestdatabase.h"
#include "support/testsupport.h"

#include "platform/sqlliteral.h"
#include "store/databaseerror.h"
#include "store/saveonce.h"

#include <QElapsedTimer>
#include <QtTest>

#include <csignal>

namespace {

const QString desk = QStringLiteral("desk");

struct ServerDesk {
    TestPgDatabase server;
    Database db;
    explicit ServerDesk(const store::ServerLimits& limits = {})
    {
        createConnection(db.connection);
        createRecordSet(db.sharedRecordSet);
        if (server.isReady())
            db.connection->openServer(server.connectionString() + QStringLiteral(" application_name=") + desk, limits);
    }
    bool endSession() { return endSessions(server.adminConnectionString(), desk); }
    QString count(const QString& where = QString())
    {
        PgSession session(server.connectionString());
        return session.run(QStringLiteral("select count(*) from bmb ") + where).rows.value(0).value(0);
    }
    bool insert(const QString& name, const QString& key = QString())
    {
        return db.execute(QStringLiteral("INSERT INTO bmb (xm,savekey) values (") + sqlText(name) + ","
                          + sqlText(key) + ")");
    }
};

} // namespace

class ServerFaultsTest : public QObject {
    Q_OBJECT
private slots:
    // The session ended between statements (a restart, an administrator):
    // nothing of the next statement reached the server, so a read, a write
    // and a transaction all go out on a new connection. A write that was
    // under way when the answer was lost is not sent again.
    void statementsAfterAnEndedSessionAndAWriteWhoseAnswerIsLost()
    {
        ServerDesk d;
        BRENVO_REQUIRE_PG(d.server);
        QVERIFY2(d.db.connection->isOpen(), qPrintable(d.db.lastErrorText()));

        QVERIFY(d.endSession());
        QVERIFY2(d.db.openShared(QStringLiteral("select count(*) from bmb")), qPrintable(d.db.lastErrorText()));
        QVERIFY(d.endSession());
        QVERIFY2(d.insert(QStringLiteral("甲")), qPrintable(d.db.lastErrorText()));
        QVERIFY(d.endSession());
        QVERIFY2(d.db.connection->beginTransaction() && d.insert(QStringLiteral("乙")) && d.db.connection->commitTransaction(),
                 qPrintable(d.db.lastErrorText()));
        QCOMPARE(d.count(), QStringLiteral("2"));

        QVERIFY(d.server.holdCommitAnswers());
        QVERIFY(d.endSession());
        AnswerLoser loser(d.server.adminConnectionString(), desk);
        QVERIFY(!d.insert(QStringLiteral("丙")));
        QVERIFY(loser.ended());
        QVERIFY(store::connectionWasLost(d.db.connection->lastErrorKind()));
        QCOMPARE(d.count(QStringLiteral("where xm='丙'")), QStringLiteral("1"));
    }

    // A save whose commit answer is lost is found stored by its key; one
    // whose connection went before the commit is made once more.
    void aSaveIsStoredOnceWhateverBecomesOfItsAnswer()
    {
        ServerDesk d;
        BRENVO_REQUIRE_PG(d.server);
        QVERIFY(d.server.holdCommitAnswers());
        QVERIFY(d.endSession());   // the next session waits for its commits
        const QString lostKey = newSaveKey();
        {
            AnswerLoser loser(d.server.adminConnectionString(), desk);
            const SaveResult saved = saveOnce(*d.db.connection, lostKey, [&] { return d.insert(QStringLiteral("甲"), lostKey); });
            QVERIFY(loser.ended());
            QCOMPARE(int(saved.outcome), int(SaveOutcome::AlreadyStored));
            QVERIFY(saved.storedRow > 0);
        }
        QCOMPARE(d.count(QStringLiteral("where savekey=") + sqlText(lostKey)), QStringLiteral("1"));

        PgSession admin(d.server.adminConnectionString());
        QVERIFY(admin.run(QStringLiteral("ALTER DATABASE %1 RESET synchronous_commit").arg(d.server.name())).ok);
        QVERIFY(d.endSession());
        const QString key = newSaveKey();
        int tries = 0;
        const SaveResult saved = saveOnce(*d.db.connection, key, [&] {
            if (++tries == 1)
                d.endSession();
            return d.insert(QStringLiteral("乙"), key);
        });
        QCOMPARE(int(saved.outcome), int(SaveOutcome::Stored));
        QCOMPARE(tries, 2);
        QCOMPARE(d.count(QStringLiteral("where xm='乙'")), QStringLiteral("1"));
        // The key is the server's guard as well: a second row with it is refused.
        QVERIFY(!d.insert(QStringLiteral("乙"), key));
    }

    // A backend that stops answering: the statement is given up after its
    // limit and said as such; the next one goes out on a new connection.
    void aServerThatStopsAnsweringIsGivenUpOn()
    {
        ServerDesk d(store::ServerLimits{2, 1});
        BRENVO_REQUIRE_PG(d.server);
        PgSession admin(d.server.adminConnectionString());
        const QString pid = admin.run(QStringLiteral("select pid from pg_stat_activity where application_name='desk'"))
                                .rows.value(0)
                                .value(0);
        QVERIFY(pid.toInt() > 0);
        QVERIFY(::kill(pid.toInt(), SIGSTOP) == 0);
        QElapsedTimer waited;
        waited.start();
        const bool read = d.db.openShared(QStringLiteral("select count(*) from bmb"));
        ::kill(pid.toInt(), SIGCONT);
        QVERIFY(!read);
        QCOMPARE(int(d.db.connection->lastErrorKind()), int(store::ErrorKind::NoAnswer));
        QVERIFY2(waited.elapsed() < 15000, qPrintable(QString::number(waited.elapsed())));
        QVERIFY2(d.db.openShared(QStringLiteral("select count(*) from bmb")), qPrintable(d.db.lastErrorText()));
    }

    // A database set up before registrations carried save keys gains them,
    // unique, when a desk connects.
    void aDatabaseOfAnEarlierVersionGainsTheSaveKey()
    {
        ServerDesk d;
        BRENVO_REQUIRE_PG(d.server);
        PgSession session(d.server.connectionString());
        QVERIFY(session.run(QStringLiteral("ALTER TABLE bmb DROP COLUMN savekey")).ok);
        DbConnection again;
        QVERIFY2(again.openServer(d.server.connectionString()), qPrintable(again.lastErrorText()));
        QVERIFY(d.insert(QStringLiteral("甲"), QStringLiteral("k1")));
        QVERIFY(!d.insert(QStringLiteral("乙"), QStringLiteral("k1")));
    }

    // A failed connection is named by its cause, once.
    void aFailedConnectionNamesItsCause()
    {
        TestPgDatabase server;
        BRENVO_REQUIRE_PG(server);
        const SilentServer silent;
        const struct {
            QString connection;
            store::ErrorKind kind;
            const char* words;
        } cases[] = {
            {server.connectionString() + QStringLiteral(" user=nobody_here"), store::ErrorKind::WrongPassword, "密码不对"},
            {server.connectionString() + QStringLiteral(" dbname=no_such_database"), store::ErrorKind::NoDatabase,
             "数据库不存在"},
            {server.connectionString() + QStringLiteral(" conect_timeout=3"), store::ErrorKind::BadSetting, "设置有误"},
            {QStringLiteral("host=127.0.0.1 port=1 dbname=x"), store::ErrorKind::Unreachable, "连接不上"},
            {QStringLiteral("host=127.0.0.1 dbname=x port=%1").arg(silent.port()), store::ErrorKind::NoAnswer, "没有应答"},
        };
        for (const auto& c : cases) {
            DbConnection connection;
            QVERIFY(!connection.openServer(c.connection, store::ServerLimits{2, 2}));
            QCOMPARE(int(connection.lastErrorKind()), int(c.kind));
            const QString said = operatorErrorText(connection.lastErrorKind(), connection.lastErrorText());
            QVERIFY2(said.contains(QString::fromUtf8(c.words)) && said.count(QStringLiteral("（")) == 1, qPrintable(said));
        }
    }
};

BRENVO_TEST(ServerFaultsTest)
#include "test_serverfaults.moc"
