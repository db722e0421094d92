#pragma once
// A database of its own on the test PostgreSQL server for one test.
//
// scripts/test starts a throwaway cluster and exports BRENVO_TEST_PG, a libpq
// connection string to its database postgres as a superuser. A
// TestPgDatabase creates a fresh, uniquely named database there and drops it
// when it goes. Without BRENVO_TEST_PG a server test skips:
//
//     TestPgDatabase db;
//     BRENVO_REQUIRE_PG(db);

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

struct pg_conn;

// One libpq connection; statements run one at a time.
class PgSession {
public:
    explicit PgSession(const QString& connectionString);
    ~PgSession();
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;

    bool isOpen() const;
    QString openError() const { return error; }

    struct Result {
        bool ok = false;
        QString error;                 // the server's message when not ok
        QVector<QStringList> rows;     // every value as text; NULL as a null QString
    };
    // Runs exactly one statement (a second one in the text is refused).
    Result run(const QString& sql);

private:
    pg_conn* conn = nullptr;
    QString error;
};

class TestPgDatabase {
public:
    TestPgDatabase();
    ~TestPgDatabase();
    TestPgDatabase(const TestPgDatabase&) = delete;
    TestPgDatabase& operator=(const TestPgDatabase&) = delete;

    // False when no server is configured: the test skips.
    bool configured() const { return !adminConnection.isEmpty(); }
    // True when the database was made; otherwise error() says why.
    bool isReady() const { return ready; }
    QString error() const { return failure; }

    QString name() const { return databaseName; }
    // The superuser's connection string to the server's database postgres.
    QString adminConnectionString() const { return adminConnection; }
    // From the next session on, a commit in this database waits for a standby
    // that never comes (the test cluster names one), so the server has
    // committed and the answer is still on its way: see AnswerLoser. False
    // when the server names no standby.
    bool holdCommitAnswers();
    // A libpq connection string to the new database.
    QString connectionString() const { return databaseConnection; }

    static QString skipReason();

private:
    QString adminConnection;
    QString databaseName;
    QString databaseConnection;
    QString failure;
    bool ready = false;
};

// A server of its own for a test that stops and starts it while a desk is
// connected (scripts/test-postgres start, halt, resume, stop); its database
// postgres is the desk's. Made only where BRENVO_TEST_PG says PostgreSQL is
// there.
class TestPgCluster {
public:
    TestPgCluster();
    ~TestPgCluster();
    TestPgCluster(const TestPgCluster&) = delete;
    TestPgCluster& operator=(const TestPgCluster&) = delete;

    bool isReady() const { return !connection.isEmpty(); }
    QString error() const { return failure; }
    QString connectionString() const { return connection; }
    bool halt();
    bool resume();

private:
    bool script(const QStringList& arguments, QString* output = nullptr);

    QString folder;
    QString connection;
    QString failure;
};

// Ends every session of application `name` (application_name in the desk's
// connection string) and waits until they are gone.
bool endSessions(const QString& adminConnection, const QString& name);

// From a thread of its own, ends the session of application `name` as soon
// as it waits for its commit to be confirmed (TestPgDatabase::
// holdCommitAnswers): the server has committed and the desk never hears it.
class AnswerLoser {
public:
    AnswerLoser(const QString& adminConnection, const QString& name);
    ~AnswerLoser();
    // True once the session was ended; waits for it up to 20 s.
    bool ended();

private:
    struct State;
    std::unique_ptr<State> d;
};

// A port on 127.0.0.1 that takes connections and never answers, as a server
// that hangs.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    int port() const { return listening; }

private:
    int socket = -1;
    int listening = 0;
};

// Skips the test function without a configured server; fails it when the
// server is configured but the database cannot be made.
#define BRENVO_REQUIRE_PG(db)                                                                                    \
    do {                                                                                                        \
        if (!(db).configured())                                                                                 \
            QSKIP(qPrintable(TestPgDatabase::skipReason()));                                                    \
        QVERIFY2((db).isReady(), qPrintable((db).error()));                                                     \
    } while (false)
