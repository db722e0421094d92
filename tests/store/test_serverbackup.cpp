// Moving an office onto a server and back through the backup archive: the
// rows arrive whole with their ids, the photos byte for byte.
#include "support/pgtestdatabase.h"
#include "support/testsupport.h"

#include "store/database.h"
#include "store/schema.h"
#include "store/serverbackup.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

// Every row of every table, every value as text, in id order.
QStringList contentOf(DbConnection& connection)
{
    QStringList lines;
    RecordSet rows;
    for (const schema::Table& table : schema::tables()) {
        if (!connection.openQuery(rows, QStringLiteral("select * from %1 order by id").arg(table.name)))
            return {QStringLiteral("unreadable: ") + connection.lastErrorText()};
        for (; !rows.atEnd(); rows.moveNext()) {
            QStringList values{QString::fromLatin1(table.name), rows.readText("id")};
            for (const schema::Column& column : table.columns)
                values << rows.readText(column.name);
            lines << values.join(QLatin1Char('|'));
        }
    }
    return lines;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class ServerBackupTest : public QObject {
    Q_OBJECT
private slots:
    void anOfficeMovesOntoAServerAndBack()
    {
        TestPgDatabase server;
        BRENVO_REQUIRE_PG(server);

        // A single desk with registrations, a deleted one (a gap in the ids) and a photo.
        TestProgramDir desk;
        DbConnection file;
        QVERIFY(file.openDatabase(connectionStringFor(desk.path())));
        std::unique_ptr<RecordSet> none;
        for (const char* sql :
             {"INSERT INTO zy (name,xuefei,status,jzrq) values ('会计',1200,1,'2014-09-01 00:00:00')",
              "INSERT INTO bmb (xm,nl,dtime,status,sh,fk,bm1) values ('王䶮',18,'2013-05-06 14:03:09',1,1,-1,1)",
              "INSERT INTO bmb (xm,nl,dtime,status) values ('删去',20,'2013-05-07 08:00:00',1)",
              "INSERT INTO bmb (xm,nl,dtime,status,imgid) values ('O''Brien',21,'2013-05-08 09:30:00',0,1)",
              "delete * from bmb where xm='删去'",
              "INSERT INTO fj (uid,filename,status) values (3,'2013-05\\a1.jpg',1)"})
            QVERIFY2(file.executeStatement(QString::fromUtf8(sql), none), qPrintable(file.lastErrorText()));
        QByteArray photo;
        for (int i = 0; i < 5000; ++i)
            photo += char(i * 13 % 256);
        QVERIFY(QDir().mkpath(desk.file(QStringLiteral("photo/2013-05"))));
        QFile photoFile(desk.file(QStringLiteral("photo/2013-05/a1.jpg")));
        QVERIFY(photoFile.open(QIODevice::WriteOnly) && photoFile.write(photo) == photo.size());
        photoFile.close();
        const QStringList deskContent = contentOf(file);
        QVERIFY(deskContent.size() > 10);

        const QTemporaryDir backups;
        const BackupResult deskArchive = writeBackup(desk.path(), backups.path(), BackupKind::Manual);
        QVERIFY2(deskArchive.ok, qPrintable(deskArchive.error));

        DbConnection onServer;
        QVERIFY(onServer.openServer(server.connectionString()));
        QString error;
        StagedBackup staged = stageBackup(deskArchive.archivePath, desk.path());
        QVERIFY2(restoreIntoServer(staged, onServer, &error), qPrintable(error));
        QCOMPARE(contentOf(onServer), deskContent);
        PgSession session(server.connectionString());
        const PgSession::Result stored = session.run(QStringLiteral("select name, md5(bytes) from photofile"));
        QCOMPARE(stored.rows, QVector<QStringList>({{QStringLiteral("2013-05\\a1.jpg"),
                                                      QString::fromLatin1(QCryptographicHash::hash(photo, QCryptographicHash::Md5).toHex())}}));
        // The desks go on numbering after the restored rows.
        QVERIFY(onServer.executeStatement(QStringLiteral("INSERT INTO bmb (xm,dtime,status) values ('新','2013-06-01 08:00:00',1)"), none));
        QCOMPARE(onServer.lastInsertId(), qint64(4));

        // Back onto a new single desk from a backup taken on the server.
        const BackupResult serverArchive = writeServerBackup(onServer, desk.path(), backups.path(), BackupKind::Manual);
        QVERIFY2(serverArchive.ok, qPrintable(serverArchive.error));
        QCOMPARE(serverArchive.manifest.photoCount(), 1);
        TestProgramDir newDesk(false);
        StagedBackup back = stageBackup(serverArchive.archivePath, newDesk.path());
        QVERIFY2(back.ok, qPrintable(back.error));
        QVERIFY2(applyStagedBackup(back, newDesk.path(), false, &error), qPrintable(error));
        DbConnection restored;
        QVERIFY(restored.openDatabase(connectionStringFor(newDesk.path())));
        QCOMPARE(contentOf(restored), contentOf(onServer));
        QCOMPARE(fileBytes(newDesk.file(QStringLiteral("photo/2013-05/a1.jpg"))), photo);

        // A failure half-way leaves the server as it was.
        QVERIFY(session.run(QStringLiteral("alter table zy add constraint refuse check (name <> '会计') not valid")).ok);
        StagedBackup again = stageBackup(deskArchive.archivePath, desk.path());
        QVERIFY(!restoreIntoServer(again, onServer, &error));
        QVERIFY(error.contains(QStringLiteral("服务器上的数据没有改变")));
        QCOMPARE(session.run(QStringLiteral("select count(*) from bmb")).rows, QVector<QStringList>({{"3"}}));
    }
};

BRENVO_TEST(ServerBackupTest)
#include "test_serverbackup.moc"
