#include "support/pgtestdatabase.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

QString quotedConnectionValue(const QString& value)
{
    QString text = value;
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// The connection string with its database replaced; empty when it cannot be read.
QString withDatabase(const QString& connectionString, const QString& database, QString* error)
{
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(connectionString.toUtf8().constData(), &message);
    if (!options) {
        *error = message ? QString::fromUtf8(message).trimmed() : QStringLiteral("out of memory");
        PQfreemem(message);
        return QString();
    }
    QStringList parts;
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val && qstrcmp(o->keyword, "dbname") != 0)
            parts << QString::fromUtf8(o->keyword) + QLatin1Char('=') + quotedConnectionValue(QString::fromUtf8(o->val));
    PQconninfoFree(options);
    parts << QStringLiteral("dbname=") + quotedConnectionValue(database);
    return parts.join(QLatin1Char(' '));
}

QString uniqueDatabaseName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("brenvo_test_%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(++counter)
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

} // namespace

PgSession::PgSession(const QString& connectionString)
{
    conn = PQconnectdb(connectionString.toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK) {
        error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        return;
    }
    // The server's notices (an extension that exists, …) are not test output.
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    if (PQsetClientEncoding(conn, "UTF8") != 0)
        error = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

PgSession::~PgSession()
{
    PQfinish(conn);
}

bool PgSession::isOpen() const
{
    return PQstatus(conn) == CONNECTION_OK && error.isEmpty();
}

PgSession::Result PgSession::run(const QString& sql)
{
    Result out;
    if (!isOpen()) {
        out.error = error.isEmpty() ? QStringLiteral("no connection") : error;
        return out;
    }
    PGresult* result = PQexecParams(conn, sql.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    out.ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!out.ok)
        out.error = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
    for (int row = 0; row < PQntuples(result); ++row) {
        QStringList values;
        for (int column = 0; column < PQnfields(result); ++column)
            values << (PQgetisnull(result, row, column) ? QString()
                                                         : QString::fromUtf8(PQgetvalue(result, row, column)));
        out.rows << values;
    }
    PQclear(result);
    return out;
}

TestPgDatabase::TestPgDatabase()
    : adminConnection(qEnvironmentVariable("BRENVO_TEST_PG"))
{
    if (adminConnection.isEmpty())
        return;
    databaseName = uniqueDatabaseName();
    databaseConnection = withDatabase(adminConnection, databaseName, &failure);
    if (databaseConnection.isEmpty()) {
        failure = QStringLiteral("BRENVO_TEST_PG cannot be read: ") + failure;
        return;
    }
    PgSession admin(adminConnection);
    if (!admin.isOpen()) {
        failure = QStringLiteral("cannot reach the test server (BRENVO_TEST_PG): ") + admin.openError();
        return;
    }
    const PgSession::Result created =
        admin.run(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8'").arg(databaseName));
    if (!created.ok) {
        failure = QStringLiteral("cannot create the test database %1: %2").arg(databaseName, created.error);
        return;
    }
    ready = true;
}

TestPgDatabase::~TestPgDatabase()
{
    if (!ready)
        return;
    PgSession admin(adminConnection);
    const PgSession::Result dropped =
        admin.run(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(databaseName));
    if (!dropped.ok)
        qWarning("cannot drop the test database %s: %s", qPrintable(databaseName), qPrintable(dropped.error));
}

QString TestPgDatabase::skipReason()
{
    return QStringLiteral("PostgreSQL server tests skipped: BRENVO_TEST_PG is not set "
                          "(scripts/test sets it when PostgreSQL 15 is installed)");
}

TestPgCluster::TestPgCluster()
{
    QString output;
    if (!script({QStringLiteral("start")}, &output))
        return;
    const QStringList lines = output.trimmed().split(QLatin1Char('\n'));
    if (lines.size() != 2) {
        failure = QStringLiteral("test-postgres start printed: ") + output;
        return;
    }
    folder = lines.at(0);
    connection = lines.at(1);
}

TestPgCluster::~TestPgCluster()
{
    if (!folder.isEmpty())
        script({QStringLiteral("stop"), folder});
}

bool TestPgCluster::halt()
{
    return script({QStringLiteral("halt"), folder});
}

bool TestPgCluster::resume()
{
    return script({QStringLiteral("resume"), folder});
}

bool TestPgCluster::script(const QStringList& arguments, QString* output)
{
    QProcess process;
    process.start(QStringLiteral(TEST_POSTGRES_SCRIPT), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        failure = QStringLiteral("test-postgres %1 failed: %2")
                      .arg(arguments.join(QLatin1Char(' ')), QString::fromUtf8(process.readAllStandardError()));
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return true;
}

bool TestPgDatabase::holdCommitAnswers()
{
    PgSession admin(adminConnection);
    const PgSession::Result standby = admin.run(QStringLiteral("SHOW synchronous_standby_names"));
    return standby.ok && !standby.rows.value(0).value(0).isEmpty()
           && admin.run(QStringLiteral("ALTER DATABASE %1 SET synchronous_commit = on").arg(databaseName)).ok;
}

bool endSessions(const QString& adminConnection, const QString& name)
{
    PgSession admin(adminConnection);
    const QString sessions = QStringLiteral("from pg_stat_activity where application_name = '%1'").arg(name);
    if (!admin.run(QStringLiteral("select pg_terminate_backend(pid) ") + sessions).ok)
        return false;
    for (int wait = 0; wait < 200; ++wait) {
        if (admin.run(QStringLiteral("select count(*) ") + sessions).rows.value(0).value(0) == QLatin1String("0"))
            return true;
        QThread::msleep(25);
    }
    return false;
}

struct AnswerLoser::State {
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::thread watcher;
};

AnswerLoser::AnswerLoser(const QString& adminConnection, const QString& name) : d(std::make_unique<State>())
{
    d->watcher = std::thread([state = d.get(), adminConnection, name] {
        PgSession admin(adminConnection);
        const QString waiting = QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity "
                                               "where application_name = '%1' and wait_event = 'SyncRep'")
                                    .arg(name);
        while (!state->stop && !state->done) {
            if (!admin.run(waiting).rows.isEmpty())
                state->done = true;
            else
                QThread::msleep(10);
        }
    });
}

AnswerLoser::~AnswerLoser()
{
    d->stop = true;
    d->watcher.join();
}

bool AnswerLoser::ended()
{
    for (int wait = 0; wait < 2000 && !d->done; ++wait)
        QThread::msleep(10);
    return d->done;
}

SilentServer::SilentServer()
{
    socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(socket, 8) != 0 || ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    listening = ntohs(address.sin_port);
}

SilentServer::~SilentServer()
{
    if (socket >= 0)
        ::close(socket);
}
