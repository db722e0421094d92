// Stores registrations in zhao.dat as fast as it can until it is killed: the
// other half of the crash test. Each registration is what the add page
// writes: the bmb row, its photo row, then the row's imgid.
//   registration_writer <program directory> <first registration number>
#include "store/database.h"
#include "tools/registrationpayload.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString programDir = QString::fromLocal8Bit(argv[1]);
    const qint64 first = QByteArray(argv[2]).toLongLong();

    Database db;
    if (!createConnection(db.connection) || !createRecordSet(db.sharedRecordSet)
        || !db.connection->openDatabase(connectionStringFor(programDir))) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(db.lastErrorText()));
        return 1;
    }
    for (qint64 n = first;; ++n) {
        if (!db.execute(payload::insertStatement(n)) || !db.openShared(QStringLiteral("SELECT MAX(id) AS id FROM bmb")))
            break;
        const int registration = db.shared().readInteger("id");
        if (!db.execute(QStringLiteral("INSERT INTO fj (uid,filename,status) values (") + sqlInteger(registration) + ","
                        + sqlText(payload::photoFile(n)) + ",1)")
            || !db.openShared(QStringLiteral("SELECT MAX(id) AS id FROM fj")))
            break;
        const int photo = db.shared().readInteger("id");
        if (!db.execute(QStringLiteral("UPDATE bmb SET imgid=") + sqlInteger(photo) + " WHERE id=" + sqlInteger(registration)))
            break;
    }
    std::fprintf(stderr, "write failed: %s\n", qPrintable(db.lastErrorText()));
    return 1;
}
