// Backups: an archive restored elsewhere gives the same rows and the same
// photo bytes; a damaged or foreign archive is refused before anything is
// touched; the automatic backups keep the newest ten.
#include "support/testsupport.h"
#include "support/safetysupport.h"

#include "store/backup.h"
#include "store/database.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <functional>

#include <zip.h>
#include <zlib.h>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

QByteArray photoBytes(int seed, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator{quint32(seed)};
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

// A program directory with registrations, photos in month folders and settings.
void fillProgramDir(const TestProgramDir& dir)
{
    QStringList statements{QStringLiteral("BEGIN")};
    for (int i = 1; i <= 30; ++i) {
        statements << QStringLiteral("INSERT INTO bmb (xm, nl, dtime, kz3, imgid) VALUES ('考生%1', %1, '2013-05-%2 08:00:00', "
                                     "'^体育^^音乐^', %1)")
                          .arg(i)
                          .arg(1 + i % 28, 2, 10, QLatin1Char('0'));
        statements << QStringLiteral("INSERT INTO fj (uid, filename, status) VALUES (%1, '5\\%2.jpg', 1)")
                          .arg(i)
                          .arg(QString::number(i, 16).rightJustified(32, QLatin1Char('a')));
    }
    statements << QStringLiteral("INSERT INTO zy (name, xuefei, jzrq) VALUES ('美术', 3000, '2013-09-01 00:00:00')")
               << QStringLiteral("COMMIT");
    QVERIFY(runSql(dir.databasePath(), statements));
    QVERIFY(writeBytes(dir.file(QStringLiteral("photo/noimg.jpg")), photoBytes(0, 2000)));
    for (int i = 1; i <= 30; ++i)
        QVERIFY(writeBytes(dir.file(QStringLiteral("photo/%1/%2.jpg").arg(i % 2 ? "2013-05" : "2013-06").arg(i)),
                           photoBytes(i, 3000 + i * 100)));
    QVERIFY(QDir().mkpath(dir.file(QStringLiteral("photo/2013-07"))));
    QVERIFY(writeBytes(dir.file(QStringLiteral("duzarizered.ini")), "[base]\r\npage=20\r\n"));
}

// Changes a copy of an archive through libzip.
QString editedArchive(const QString& original, const QString& folder, const std::function<void(zip_t*)>& edit)
{
    const QString path = QDir(folder).filePath(QStringLiteral("edited.zip"));
    QFile::remove(path);
    if (!QFile::copy(original, path))
        return {};
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), 0, &error);
    if (!archive)
        return {};
    edit(archive);
    return zip_close(archive) == 0 ? path : QString();
}

void replaceEntry(zip_t* archive, const char* name, const QByteArray& bytes)
{
    // The library reads the buffer when the archive is closed, and frees it then.
    void* kept = std::malloc(size_t(qMax<qsizetype>(bytes.size(), 1)));
    std::memcpy(kept, bytes.constData(), size_t(bytes.size()));
    zip_source_t* source = zip_source_buffer(archive, kept, zip_uint64_t(bytes.size()), 1);
    const zip_int64_t index = zip_name_locate(archive, name, 0);
    if (index >= 0)
        zip_file_replace(archive, zip_uint64_t(index), source, 0);
    else
        zip_file_add(archive, name, source, 0);
}

QByteArray entryBytes(zip_t* archive, const char* name)
{
    zip_stat_t stat;
    zip_stat(archive, name, 0, &stat);
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    zip_file_t* file = zip_fopen(archive, name, 0);
    zip_fread(file, bytes.data(), stat.size);
    zip_fclose(file);
    return bytes;
}

// A manifest with one file's entry (checksum and size) made to fit.
QByteArray manifestListing(const QByteArray& manifest, const QString& name, const QByteArray& sha256Hex, qint64 size)
{
    QJsonObject root = QJsonDocument::fromJson(manifest).object();
    QJsonArray files = root.value(QStringLiteral("files")).toArray();
    for (qsizetype i = 0; i < files.size(); ++i) {
        QJsonObject file = files.at(i).toObject();
        if (file.value(QStringLiteral("name")).toString() != name)
            continue;
        file.insert(QStringLiteral("sha256"), QString::fromLatin1(sha256Hex));
        file.insert(QStringLiteral("size"), double(size));
        files.replace(i, file);
    }
    root.insert(QStringLiteral("files"), files);
    return QJsonDocument(root).toJson();
}

// The manifest with one file's checksum and size made to fit new content.
QByteArray manifestFitting(zip_t* archive, const QString& name, const QByteArray& content)
{
    return manifestListing(entryBytes(archive, "manifest.json"), name,
                           QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex(), content.size());
}

// The manifest without the sizes, as backups written before sizes were recorded have it.
QByteArray manifestWithoutSizes(const QByteArray& manifest)
{
    QJsonObject root = QJsonDocument::fromJson(manifest).object();
    QJsonArray files = root.value(QStringLiteral("files")).toArray();
    for (qsizetype i = 0; i < files.size(); ++i) {
        QJsonObject file = files.at(i).toObject();
        file.remove(QStringLiteral("size"));
        files.replace(i, file);
    }
    root.insert(QStringLiteral("files"), files);
    return QJsonDocument(root).toJson();
}

// An entry of a zip file written byte by byte, so that what its headers
// claim need not be what it holds.
struct CraftedEntry {
    QByteArray name;
    QByteArray data;       // as stored (deflated when deflated)
    bool deflated = false;
    quint64 claimedSize = 0;  // the size the headers give when unpacked
    quint32 crc = 0;
};

void putLittleEndian(QByteArray& bytes, quint64 value, int length)
{
    for (int i = 0; i < length; ++i)
        bytes.append(char((value >> (8 * i)) & 0xff));
}

// A zip archive of the entries; sizes past 4 GiB in the ZIP64 extra field.
QByteArray craftedZip(const QVector<CraftedEntry>& entries)
{
    QByteArray archive;
    QByteArray directory;
    for (const CraftedEntry& entry : entries) {
        const bool large = entry.claimedSize >= 0xffffffffu;
        QByteArray extra;
        if (large) {
            putLittleEndian(extra, 0x0001, 2);
            putLittleEndian(extra, 16, 2);
            putLittleEndian(extra, entry.claimedSize, 8);
            putLittleEndian(extra, quint64(entry.data.size()), 8);
        }
        const quint64 offset = quint64(archive.size());
        // The fields local and central headers share, from "version needed" on.
        QByteArray common;
        putLittleEndian(common, large ? 45 : 20, 2);
        putLittleEndian(common, 0x0800, 2);  // UTF-8 names
        putLittleEndian(common, entry.deflated ? 8 : 0, 2);
        putLittleEndian(common, 0, 2);       // 00:00:00
        putLittleEndian(common, 0x21, 2);    // 1980-01-01
        putLittleEndian(common, entry.crc, 4);
        putLittleEndian(common, large ? 0xffffffffu : quint64(entry.data.size()), 4);
        putLittleEndian(common, large ? 0xffffffffu : entry.claimedSize, 4);
        putLittleEndian(common, quint64(entry.name.size()), 2);
        putLittleEndian(common, quint64(extra.size()), 2);

        putLittleEndian(archive, 0x04034b50, 4);
        archive += common + entry.name + extra + entry.data;

        putLittleEndian(directory, 0x02014b50, 4);
        putLittleEndian(directory, 0x0300 | 45, 2);  // made on Unix
        directory += common;
        putLittleEndian(directory, 0, 2);  // comment
        putLittleEndian(directory, 0, 2);  // disk
        putLittleEndian(directory, 0, 2);  // internal attributes
        putLittleEndian(directory, 0100644u << 16, 4);
        putLittleEndian(directory, offset, 4);
        directory += entry.name + extra;
    }
    const quint64 directoryOffset = quint64(archive.size());
    archive += directory;
    putLittleEndian(archive, 0x06054b50, 4);
    putLittleEndian(archive, 0, 4);  // disks
    putLittleEndian(archive, quint64(entries.size()), 2);
    putLittleEndian(archive, quint64(entries.size()), 2);
    putLittleEndian(archive, quint64(directory.size()), 4);
    putLittleEndian(archive, directoryOffset, 4);
    putLittleEndian(archive, 0, 2);
    return archive;
}

CraftedEntry storedEntry(const char* name, const QByteArray& bytes)
{
    return {name, bytes, false, quint64(bytes.size()),
            quint32(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())))};
}

// megabytes MiB of zero bytes, deflated: each MiB is one flushed block whose
// matches reach back one byte only, so the same bytes serve for every MiB.
CraftedEntry deflatedZeros(const char* name, int megabytes)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    QByteArray zeros(1 << 20, '\0');
    QByteArray block(1 << 16, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
    stream.avail_in = uInt(zeros.size());
    stream.next_out = reinterpret_cast<Bytef*>(block.data());
    stream.avail_out = uInt(block.size());
    deflate(&stream, Z_FULL_FLUSH);
    block.truncate(block.size() - qsizetype(stream.avail_out));
    deflateEnd(&stream);

    CraftedEntry entry{name, block.repeated(megabytes) + QByteArray("\x03\x00", 2), true,
                       quint64(megabytes) << 20, 0};
    for (int i = 0; i < megabytes; ++i)
        entry.crc = quint32(crc32(entry.crc, reinterpret_cast<const Bytef*>(zeros.constData()), uInt(zeros.size())));
    return entry;
}

QStringList restoreLeftovers(const QString& programDir)
{
    return QDir(programDir).entryList({QStringLiteral(".restore-*")}, QDir::Dirs | QDir::Hidden);
}

} // namespace

class BackupTest : public QObject {
    Q_OBJECT
private slots:
    void restoredElsewhereIsTheSame_data();
    void restoredElsewhereIsTheSame();
    void backupWhileRecordSetsAreOpen();
    void damagedOrForeignArchivesAreRefused_data();
    void damagedOrForeignArchivesAreRefused();
    void entrySizesAreCheckedBeforeAnythingIsWritten_data();
    void entrySizesAreCheckedBeforeAnythingIsWritten();
    void aManifestWithoutSizesStillRestores();
    void unpackingKeepsAMarginOfFreeSpace();
    void theDatabaseNeverLeavesItsPlaceDuringARestore_data();
    void theDatabaseNeverLeavesItsPlaceDuringARestore();
    void unfinishedRestoresAreClearedWithoutLosingPhotos_data();
    void unfinishedRestoresAreClearedWithoutLosingPhotos();
    void automaticBackupsOnlyAfterChangesAndKeepTen();
};

void BackupTest::restoredElsewhereIsTheSame_data()
{
    QTest::addColumn<bool>("targetHasData");
    QTest::newRow("into an empty program directory") << false;
    QTest::newRow("over other data") << true;
}

void BackupTest::restoredElsewhereIsTheSame()
{
    QFETCH(bool, targetHasData);
    TestProgramDir source;
    fillProgramDir(source);
    const QTemporaryDir backups;

    qint64 lastDone = -1;
    qint64 lastTotal = 0;
    bool monotonic = true;
    const BackupResult written = writeBackup(source.path(), backups.path(), BackupKind::Manual,
                                             [&](qint64 done, qint64 total) {
                                                 monotonic = monotonic && done >= lastDone && done <= total;
                                                 lastDone = done;
                                                 lastTotal = total;
                                             });
    QVERIFY2(written.ok, qPrintable(written.error));
    QVERIFY(monotonic);
    QVERIFY(lastTotal > 0);
    QCOMPARE(lastDone, lastTotal);
    QCOMPARE(QFileInfo(written.archivePath).fileName(), backupFileName(written.manifest.created, BackupKind::Manual));
    QCOMPARE(written.manifest.rowsOf(QStringLiteral("bmb")), 30);
    QCOMPARE(written.manifest.photoCount(), 31);
    QCOMPARE(listBackups(backups.path()).size(), 1);
    // Photos are stored as they are (JPEG does not shrink); the rest is deflated.
    {
        int error = 0;
        zip_t* archive = zip_open(QFile::encodeName(written.archivePath).constData(), ZIP_RDONLY, &error);
        QVERIFY(archive);
        int photos = 0;
        for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
            zip_stat_t stat;
            QVERIFY(zip_stat_index(archive, zip_uint64_t(i), 0, &stat) == 0);
            const QString name = QString::fromUtf8(stat.name);
            if (name.endsWith(QLatin1Char('/')))
                continue;
            const bool photo = name.startsWith(QStringLiteral("photo/"));
            photos += photo ? 1 : 0;
            QVERIFY2(stat.comp_method == (photo ? ZIP_CM_STORE : ZIP_CM_DEFLATE), qPrintable(name));
        }
        zip_discard(archive);
        QCOMPARE(photos, 31);
    }
    const BackupResult amongPhotos = writeBackup(source.path(), source.file(QStringLiteral("photo/backup")), BackupKind::Manual);
    QVERIFY(!amongPhotos.ok && amongPhotos.error.contains(QStringLiteral("照片文件夹之内")));
    QVERIFY(!QFileInfo::exists(source.file(QStringLiteral("photo/backup"))));

    TestProgramDir target(targetHasData);
    if (targetHasData) {
        QVERIFY(runSql(target.databasePath(), {QStringLiteral("INSERT INTO bmb (xm) VALUES ('另一个')")}));
        QVERIFY(writeBytes(target.file(QStringLiteral("photo/2014-01/stray.jpg")), photoBytes(99, 500)));
    }
    StagedBackup staged = stageBackup(written.archivePath, target.path());
    QVERIFY2(staged.ok, qPrintable(staged.error));
    const QString summary = backupSummaryText(staged.manifest);
    QVERIFY2(summary.contains(QStringLiteral("报名信息：30 条")) && summary.contains(QStringLiteral("照片：31 个")),
             qPrintable(summary));
    QString error;
    QVERIFY2(applyStagedBackup(staged, target.path(), false, &error), qPrintable(error));
    staged.dir.reset();

    QCOMPARE(dumpDatabase(target.databasePath()), dumpDatabase(source.databasePath()));
    QCOMPARE(treeContents(target.file(QStringLiteral("photo"))), treeContents(source.file(QStringLiteral("photo"))));
    QCOMPARE(readBytes(target.file(QStringLiteral("duzarizered.ini"))), readBytes(source.file(QStringLiteral("duzarizered.ini"))));
    QVERIFY(restoreLeftovers(target.path()).isEmpty());
    // The program opens the restored file as its own.
    DbConnection connection;
    QVERIFY2(connection.openDatabase(connectionStringFor(target.path())), qPrintable(connection.lastErrorText()));
}

void BackupTest::backupWhileRecordSetsAreOpen()
{
    TestProgramDir dir;
    fillProgramDir(dir);
    Database db;
    QVERIFY(createConnection(db.connection) && createRecordSet(db.sharedRecordSet) && createRecordSet(db.browseRecordSet));
    QVERIFY(db.connection->openDatabase(connectionStringFor(dir.path())));
    QVERIFY(db.connection->openQuery(*db.browseRecordSet, QStringLiteral("select * from bmb order by id")));
    for (int i = 0; i < 10; ++i)
        db.browseRecordSet->moveNext();
    QVERIFY(db.openShared(QStringLiteral("select * from bmb where id=3"), LockMode::Optimistic));
    QVERIFY(db.shared().updateCurrentRow(QStringLiteral("xm"), QStringLiteral("改过的名字")));
    QVERIFY(db.execute(QStringLiteral("INSERT INTO bmb (xm) VALUES ('备份前一刻')")));

    const QTemporaryDir backups;
    const BackupResult written = writeBackup(dir.path(), backups.path(), BackupKind::Manual);
    QVERIFY2(written.ok, qPrintable(written.error));
    QCOMPARE(written.manifest.rowsOf(QStringLiteral("bmb")), 31);

    // Still usable afterwards.
    QCOMPARE(db.browseRecordSet->readText("xm"), QStringLiteral("考生11"));
    QVERIFY(db.execute(QStringLiteral("INSERT INTO bmb (xm) VALUES ('备份之后')")));

    TestProgramDir target(false);
    StagedBackup staged = stageBackup(written.archivePath, target.path());
    QVERIFY2(staged.ok, qPrintable(staged.error));
    const QStringList restored = dumpDatabase(QDir(staged.dir->path()).filePath(QStringLiteral("zhao.dat")));
    QVERIFY(restored.filter(QStringLiteral("改过的名字")).size() == 1);
    QVERIFY(restored.filter(QStringLiteral("备份前一刻")).size() == 1);
    QVERIFY(restored.filter(QStringLiteral("备份之后")).isEmpty());
}

void BackupTest::damagedOrForeignArchivesAreRefused_data()
{
    QTest::addColumn<std::function<QString(const QString&, const QString&)>>("spoil");
    QTest::addColumn<QString>("words");
    using Spoil = std::function<QString(const QString&, const QString&)>;

    QTest::newRow("cut short") << Spoil([](const QString& archive, const QString& folder) {
        const QString path = QDir(folder).filePath(QStringLiteral("short.zip"));
        writeBytes(path, readBytes(archive).left(int(QFileInfo(archive).size() * 2 / 3)));
        return path;
    }) << QStringLiteral("已损坏或不是备份文件");
    QTest::newRow("without zhao.dat") << Spoil([](const QString& archive, const QString& folder) {
        return editedArchive(archive, folder, [](zip_t* z) { zip_delete(z, zip_uint64_t(zip_name_locate(z, "zhao.dat", 0))); });
    }) << QStringLiteral("没有数据库文件 zhao.dat");
    QTest::newRow("zhao.dat no database, checksum fitting") << Spoil([](const QString& archive, const QString& folder) {
        return editedArchive(archive, folder, [](zip_t* z) {
            const QByteArray junk = photoBytes(7, 8192);
            replaceEntry(z, "manifest.json", manifestFitting(z, QStringLiteral("zhao.dat"), junk));
            replaceEntry(z, "zhao.dat", junk);
        });
    }) << QStringLiteral("数据库 zhao.dat 不是数据库");
    QTest::newRow("zhao.dat another valid database, manifest unchanged") << Spoil([](const QString& archive, const QString& folder) {
        const TestProgramDir other;
        const QByteArray otherDatabase = readBytes(other.databasePath());
        return editedArchive(archive, folder, [&](zip_t* z) { replaceEntry(z, "zhao.dat", otherDatabase); });
    }) << QStringLiteral("校验和不符");
    QTest::newRow("a photo changed") << Spoil([](const QString& archive, const QString& folder) {
        return editedArchive(archive, folder, [](zip_t* z) { replaceEntry(z, "photo/2013-05/1.jpg", photoBytes(8, 3100)); });
    }) << QStringLiteral("校验和不符");
    QTest::newRow("a photo of another size than listed") << Spoil([](const QString& archive, const QString& folder) {
        return editedArchive(archive, folder, [](zip_t* z) { replaceEntry(z, "photo/2013-05/1.jpg", photoBytes(8, 100)); });
    }) << QStringLiteral("的大小（100 字节）与备份清单记录的（3100 字节）不符，备份已损坏");
    QTest::newRow("a photo missing") << Spoil([](const QString& archive, const QString& folder) {
        return editedArchive(archive, folder,
                             [](zip_t* z) { zip_delete(z, zip_uint64_t(zip_name_locate(z, "photo/2013-06/2.jpg", 0))); });
    }) << QStringLiteral("缺少文件 photo/2013-06/2.jpg");
    QTest::newRow("an entry leaving the folder") << Spoil([](const QString& archive, const QString& folder) {
        return editedArchive(archive, folder, [](zip_t* z) { replaceEntry(z, "photo/../../evil.txt", "x"); });
    }) << QStringLiteral("不属于本程序的文件");
    QTest::newRow("an unlisted file") << Spoil([](const QString& archive, const QString& folder) {
        return editedArchive(archive, folder, [](zip_t* z) { replaceEntry(z, "photo/extra.jpg", "x"); });
    }) << QStringLiteral("不在备份清单中");
    QTest::newRow("a foreign zip") << Spoil([](const QString&, const QString& folder) {
        const QString path = QDir(folder).filePath(QStringLiteral("foreign.zip"));
        int error = 0;
        zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        replaceEntry(z, "readme.txt", "hello");
        zip_close(z);
        return path;
    }) << QStringLiteral("没有备份清单");
    QTest::newRow("not a zip") << Spoil([](const QString&, const QString& folder) {
        const QString path = QDir(folder).filePath(QStringLiteral("photo.zip"));
        writeBytes(path, photoBytes(3, 5000));
        return path;
    }) << QStringLiteral("已损坏或不是备份文件");
}

void BackupTest::damagedOrForeignArchivesAreRefused()
{
    QFETCH(std::function<QString(const QString&, const QString&)>, spoil);
    QFETCH(QString, words);

    TestProgramDir source;
    fillProgramDir(source);
    const QTemporaryDir backups;
    const BackupResult written = writeBackup(source.path(), backups.path(), BackupKind::Manual);
    QVERIFY2(written.ok, qPrintable(written.error));
    const QString archive = spoil(written.archivePath, backups.path());
    QVERIFY(!archive.isEmpty());

    // The current data of another program directory stays as it is.
    TestProgramDir current;
    QVERIFY(runSql(current.databasePath(), {QStringLiteral("INSERT INTO bmb (xm) VALUES ('现有的')")}));
    QVERIFY(writeBytes(current.file(QStringLiteral("photo/2014-01/a.jpg")), photoBytes(5, 700)));
    const auto before = treeContents(current.path());

    StagedBackup staged = stageBackup(archive, current.path());
    QVERIFY(!staged.ok);
    QVERIFY2(staged.error.contains(words), qPrintable(staged.error));
    QVERIFY2(staged.error.contains(QDir::toNativeSeparators(archive)), qPrintable(staged.error));
    QString error;
    QVERIFY(!applyStagedBackup(staged, current.path(), false, &error));
    QCOMPARE(error, staged.error);
    QCOMPARE(treeContents(current.path()), before);
}

void BackupTest::entrySizesAreCheckedBeforeAnythingIsWritten_data()
{
    QTest::addColumn<std::function<CraftedEntry()>>("photo");
    QTest::addColumn<qint64>("listedSize");  // -1: a manifest without sizes
    QTest::addColumn<QString>("words");
    using Photo = std::function<CraftedEntry()>;
    constexpr quint64 petabyte = quint64(1) << 50;

    QTest::newRow("1 GiB in 1 MB, listed with the photo's size")
        << Photo([] { return deflatedZeros("photo/2013-05/1.jpg", 1024); }) << qint64(3100)
        << QStringLiteral("的大小（1073741824 字节）与备份清单记录的（3100 字节）不符，备份已损坏");
    QTest::newRow("listed as larger than the free disk space")
        << Photo([] { return CraftedEntry{"photo/2013-05/1.jpg", QByteArray("\x03\x00", 2), true, petabyte, 0}; })
        << qint64(petabyte) << QStringLiteral("磁盘空间不足");
    QTest::newRow("larger than the free disk space, an old manifest")
        << Photo([] { return CraftedEntry{"photo/2013-05/1.jpg", QByteArray("\x03\x00", 2), true, petabyte, 0}; })
        << qint64(-1) << QStringLiteral("磁盘空间不足");
    QTest::newRow("unpacks to more than its headers say")
        << Photo([] {
               CraftedEntry entry = deflatedZeros("photo/2013-05/1.jpg", 2);
               entry.claimedSize = 1000;
               return entry;
           })
        << qint64(1000) << QStringLiteral("备份已损坏");
}

void BackupTest::unpackingKeepsAMarginOfFreeSpace()
{
    constexpr qint64 mib = 1 << 20;
    const struct {
        qint64 needed;
        qint64 available;
        bool fits;
    } cases[] = {
        {100 * mib, 116 * mib, true},       // exactly the margin left
        {100 * mib + 1, 116 * mib, false},  // one byte into the margin
        {100 * mib, 100 * mib, false},      // fills the disk
        {0, 15 * mib, false},               // a disk already inside the margin
        {100 * mib, -1, true},              // free space unknown
    };
    for (const auto& c : cases)
        QVERIFY2(leavesEnoughFreeSpace(c.needed, c.available) == c.fits,
                 qPrintable(QStringLiteral("%1 of %2").arg(c.needed).arg(c.available)));
}

void BackupTest::entrySizesAreCheckedBeforeAnythingIsWritten()
{
    QFETCH(std::function<CraftedEntry()>, photo);
    QFETCH(qint64, listedSize);
    QFETCH(QString, words);

    const TestProgramDir source;
    const QByteArray database = readBytes(source.databasePath());
    const CraftedEntry crafted = photo();
    const QJsonArray files{
        QJsonObject{{QStringLiteral("name"), QStringLiteral("zhao.dat")},
                    {QStringLiteral("sha256"), QString::fromLatin1(QCryptographicHash::hash(database, QCryptographicHash::Sha256).toHex())},
                    {QStringLiteral("size"), double(database.size())}},
        QJsonObject{{QStringLiteral("name"), QString::fromUtf8(crafted.name)},
                    {QStringLiteral("sha256"), QString(64, QLatin1Char('0'))},
                    {QStringLiteral("size"), double(listedSize)}},
    };
    QByteArray manifest = QJsonDocument(QJsonObject{{QStringLiteral("created"), QStringLiteral("2013-05-06T14:03:09")},
                                                    {QStringLiteral("programVersion"), QStringLiteral("2013.1")},
                                                    {QStringLiteral("files"), files}})
                              .toJson();
    if (listedSize < 0)
        manifest = manifestWithoutSizes(manifest);
    const QTemporaryDir folder;
    const QString archive = folder.filePath(QStringLiteral("crafted.zip"));
    QVERIFY(writeBytes(archive, craftedZip({storedEntry("manifest.json", manifest), storedEntry("zhao.dat", database), crafted})));
    QVERIFY(QFileInfo(archive).size() < 2 << 20);

    TestProgramDir current;
    const auto before = treeContents(current.path());
    StagedBackup staged = stageBackup(archive, current.path());
    QVERIFY(!staged.ok);
    QVERIFY2(staged.error.contains(words) && staged.error.contains(QDir::toNativeSeparators(archive)),
             qPrintable(staged.error));
    QCOMPARE(treeContents(current.path()), before);
}

void BackupTest::aManifestWithoutSizesStillRestores()
{
    TestProgramDir source;
    fillProgramDir(source);
    const QTemporaryDir backups;
    const BackupResult written = writeBackup(source.path(), backups.path(), BackupKind::Manual);
    QVERIFY2(written.ok, qPrintable(written.error));
    const QString older = editedArchive(written.archivePath, backups.path(), [](zip_t* z) {
        replaceEntry(z, "manifest.json", manifestWithoutSizes(entryBytes(z, "manifest.json")));
    });
    QVERIFY(!older.isEmpty());

    TestProgramDir target;
    StagedBackup staged = stageBackup(older, target.path());
    QVERIFY2(staged.ok, qPrintable(staged.error));
    QString error;
    QVERIFY2(applyStagedBackup(staged, target.path(), false, &error), qPrintable(error));
    QCOMPARE(dumpDatabase(target.databasePath()), dumpDatabase(source.databasePath()));
}

void BackupTest::theDatabaseNeverLeavesItsPlaceDuringARestore_data()
{
    QTest::addColumn<bool>("keepReplaced");
    QTest::newRow("the replaced file dropped") << false;
    QTest::newRow("the replaced file kept beside") << true;
}

// What happens to the name zhao.dat in the program directory, watched through
// the kernel, is the whole story: a restore killed at any moment finds the
// database where it was if the name is never taken away, only replaced.
void BackupTest::theDatabaseNeverLeavesItsPlaceDuringARestore()
{
    QFETCH(bool, keepReplaced);
    TestProgramDir source;
    fillProgramDir(source);
    const QTemporaryDir backups;
    const BackupResult written = writeBackup(source.path(), backups.path(), BackupKind::Manual);
    QVERIFY2(written.ok, qPrintable(written.error));
    TestProgramDir target;
    const QByteArray replaced = readBytes(target.databasePath());
    StagedBackup staged = stageBackup(written.archivePath, target.path());
    QVERIFY2(staged.ok, qPrintable(staged.error));

    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    const auto closeWatch = qScopeGuard([watch] { ::close(watch); });
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(target.path()).constData(),
                              IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)
            >= 0);
    QString error;
    QVERIFY2(applyStagedBackup(staged, target.path(), keepReplaced, &error), qPrintable(error));

    QStringList happened;
    alignas(inotify_event) char buffer[1 << 16];
    for (ssize_t length; (length = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && qstrcmp(event->name, "zhao.dat") == 0)
                happened << (event->mask & IN_MOVED_TO  ? QStringLiteral("moved in")
                             : event->mask & IN_CREATE  ? QStringLiteral("created")
                             : event->mask & IN_DELETE  ? QStringLiteral("deleted")
                                                        : QStringLiteral("moved away"));
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    QCOMPARE(happened, QStringList{QStringLiteral("moved in")});
    QCOMPARE(dumpDatabase(target.databasePath()), dumpDatabase(source.databasePath()));
    const QStringList kept = setAsideDatabases(target.path());
    QCOMPARE(kept.size(), keepReplaced ? 1 : 0);
    if (keepReplaced)
        QCOMPARE(readBytes(kept.first()), replaced);
}

void BackupTest::unfinishedRestoresAreClearedWithoutLosingPhotos_data()
{
    QTest::addColumn<QStringList>("leftover");      // files under .restore-k1Ll3d/
    QTest::addColumn<bool>("photosInPlace");        // photo/ was there when the restore stopped
    QTest::addColumn<QStringList>("photosAfter");   // files under photo/ afterwards

    QTest::newRow("killed while unpacking")
        << QStringList{QStringLiteral("zhao.dat"), QStringLiteral("photo/2013-05/1.jpg")} << true
        << QStringList{QStringLiteral("2013-05/current.jpg")};
    QTest::newRow("killed between the two moves of the photos")
        << QStringList{QStringLiteral("photo.old/2013-05/current.jpg"), QStringLiteral("photo/2013-05/1.jpg")} << false
        << QStringList{QStringLiteral("2013-05/1.jpg")};
    QTest::newRow("killed after the photos were swapped")
        << QStringList{QStringLiteral("photo.old/2013-05/old.jpg")} << true
        << QStringList{QStringLiteral("2013-05/current.jpg")};
}

void BackupTest::unfinishedRestoresAreClearedWithoutLosingPhotos()
{
    QFETCH(QStringList, leftover);
    QFETCH(bool, photosInPlace);
    QFETCH(QStringList, photosAfter);

    TestProgramDir dir;
    if (photosInPlace)
        QVERIFY(writeBytes(dir.file(QStringLiteral("photo/2013-05/current.jpg")), photoBytes(1, 300)));
    for (const QString& file : leftover)
        QVERIFY(writeBytes(dir.file(QStringLiteral(".restore-k1Ll3d/") + file), photoBytes(2, 400)));
    QVERIFY(QDir().mkpath(dir.file(QStringLiteral(".restore-Zq9x01"))));
    const QByteArray database = readBytes(dir.databasePath());

    removeUnfinishedRestores(dir.path());
    QVERIFY(restoreLeftovers(dir.path()).isEmpty());
    QCOMPARE(treeContents(dir.file(QStringLiteral("photo"))).keys(),
             QStringList{QStringLiteral("2013-05")} + photosAfter);
    QCOMPARE(readBytes(dir.databasePath()), database);
}

void BackupTest::automaticBackupsOnlyAfterChangesAndKeepTen()
{
    TestProgramDir dir;
    fillProgramDir(dir);
    const QString folder = defaultBackupFolder(dir.path());
    QVERIFY(changedSinceLastBackup(dir.path(), folder));

    BackupResult first = automaticBackupIfChanged(dir.path());
    QVERIFY2(first.ok && !first.archivePath.isEmpty(), qPrintable(first.error));
    QCOMPARE(listBackups(folder).first().kind, BackupKind::Automatic);
    // Nothing written since: no second one.
    QVERIFY(!changedSinceLastBackup(dir.path(), folder));
    BackupResult unchanged = automaticBackupIfChanged(dir.path());
    QVERIFY(unchanged.ok && unchanged.archivePath.isEmpty());
    QCOMPARE(listBackups(folder).size(), 1);

    // A registration, then a photo, each count as a change.
    QVERIFY(runSql(dir.databasePath(), {QStringLiteral("INSERT INTO bmb (xm) VALUES ('新报名')")}));
    QVERIFY(changedSinceLastBackup(dir.path(), folder));
    QVERIFY(automaticBackupIfChanged(dir.path()).ok);
    QVERIFY(writeBytes(dir.file(QStringLiteral("photo/2013-08/new.jpg")), photoBytes(11, 900)));
    QVERIFY(changedSinceLastBackup(dir.path(), folder));

    const BackupResult manual = writeBackup(dir.path(), folder, BackupKind::Manual);
    QVERIFY(manual.ok);
    for (int i = 0; i < 10; ++i) {
        QVERIFY(runSql(dir.databasePath(), {QStringLiteral("INSERT INTO bmb (xm) VALUES ('第%1个')").arg(i)}));
        QVERIFY(automaticBackupIfChanged(dir.path()).ok);
    }
    const QVector<BackupFile> kept = listBackups(folder);
    QStringList automatic;
    for (const BackupFile& backup : kept)
        if (backup.kind == BackupKind::Automatic)
            automatic << backup.path;
    QCOMPARE(automatic.size(), 10);
    QCOMPARE(kept.size(), 11);
    QVERIFY(QFileInfo::exists(manual.archivePath));
    QVERIFY(!QFileInfo::exists(first.archivePath));
    // Newest first, and the newest holds the last registration.
    StagedBackup newest = stageBackup(kept.first().path, dir.path());
    QVERIFY2(newest.ok, qPrintable(newest.error));
    QVERIFY(dumpDatabase(QDir(newest.dir->path()).filePath(QStringLiteral("zhao.dat"))).filter(QStringLiteral("第9个")).size() == 1);
}

BRENVO_TEST(BackupTest)
#include "test_backup.moc"
