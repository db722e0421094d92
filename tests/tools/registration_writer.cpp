// Stores registrations as a desk does: the bmb row, its photo row, then the
// row's imgid, each found by the id this connection inserted, and on a server
// the photo file's bytes, all in one transaction. The other half of the crash test (it writes until it is
// killed) and of the two-desk test (it writes a count and prints each
// registration's id, the one its desk would print as the newest). On a server
// each registration carries a save key, and a save that fails is tried again
// with it as an operator would, for a minute, while the server restarts.
//   registration_writer <program directory> <first registration number>
//   registration_writer --server <connection string> <first number> <count>
#include "store/database.h"
#include "store/saveonce.h"
#include "tools/registrationpayload.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>

namespace {

bool putPhotoBytes(Database& db, qint64 n)
{
    const QString name = sqlText(payload::photoFile(n));
    return db.execute(QStringLiteral("INSERT INTO photofile (name) values (") + name + ")")
           && db.openShared(QStringLiteral("select bytes from photofile where name=") + name, LockMode::Optimistic)
           && db.shared().updateCurrentRow(QStringLiteral("bytes"), payload::photoBytes(n));
}

bool writeRows(Database& db, qint64 n, bool server, const QString& key, qint64& registration)
{
    DbConnection& connection = *db.connection;
    return db.execute(payload::insertStatement(n, key)) && (registration = connection.lastInsertId()) > 0
           && db.execute(QStringLiteral("INSERT INTO fj (uid,filename,status) values (") + sqlInteger(registration) + ","
                         + sqlText(payload::photoFile(n)) + ",1)")
           && db.execute(QStringLiteral("UPDATE bmb SET imgid=") + sqlInteger(connection.lastInsertId()) + " WHERE id="
                         + sqlInteger(registration))
           && (!server || putPhotoBytes(db, n));
}

bool writeOne(Database& db, qint64 n, qint64& registration)
{
    DbConnection& connection = *db.connection;
    if (!connection.beginTransaction())
        return false;
    return writeRows(db, n, false, QString(), registration) ? connection.commitTransaction()
                                                            : (connection.rollbackTransaction(), false);
}

// Saves until the server has the registration once: a failed save is tried
// again with its key, after asking first when its fate was not known.
bool saveOnServer(Database& db, qint64 n, qint64& registration)
{
    const QString key = QStringLiteral("writer-%1").arg(n);
    const QDeadlineTimer deadline(60000);
    bool uncertain = false;
    while (!deadline.hasExpired()) {
        if (uncertain) {
            const KeyFound found = findSaveKey(*db.connection, key, registration);
            if (found == KeyFound::Yes)
                return true;
            uncertain = found == KeyFound::Unknown;
        }
        if (!uncertain) {
            const SaveResult saved = saveOnce(*db.connection, key, [&] { return writeRows(db, n, true, key, registration); });
            if (saved.outcome == SaveOutcome::Stored)
                return true;
            if (saved.outcome == SaveOutcome::AlreadyStored) {
                registration = saved.storedRow;
                return true;
            }
            uncertain = saved.outcome == SaveOutcome::Unknown;
            std::fprintf(stderr, "save of %lld: %s\n", n, qPrintable(saved.error));
        }
        QThread::msleep(100);
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool server = !args.isEmpty() && args.first() == QLatin1String("--server");
    if (args.size() != (server ? 4 : 2))
        return 2;
    const qint64 first = args.at(server ? 2 : 1).toLongLong();
    const qint64 count = server ? args.at(3).toLongLong() : -1;

    Database db;
    createConnection(db.connection);
    createRecordSet(db.sharedRecordSet);
    const bool opened = server ? db.connection->openServer(args.at(1))
                               : db.connection->openDatabase(connectionStringFor(args.at(0)));
    if (!opened) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(db.lastErrorText()));
        return 1;
    }
    for (qint64 n = first; count < 0 || n < first + count; ++n) {
        qint64 registration = 0;
        if (!(server ? saveOnServer(db, n, registration) : writeOne(db, n, registration))) {
            std::fprintf(stderr, "write failed: %s\n", qPrintable(db.lastErrorText()));
            return 1;
        }
        if (count >= 0)
            std::printf("%lld\n", registration);
    }
    return 0;
}
