#include "store/backup.h"

#include "platform/files.h"
#include "store/databasecheck.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStorageInfo>

#include <sqlite3.h>
#include <zip.h>

#include <algorithm>
#include <limits>

#ifndef BRENVO_VERSION
#define BRENVO_VERSION "unknown"
#endif

namespace {

const QString databaseEntry = QStringLiteral("zhao.dat");
const QString settingsEntry = QStringLiteral("duzarizered.ini");
const QString photoFolder = QStringLiteral("photo");
const QString manifestEntry = QStringLiteral("manifest.json");
const QString restoreFolderPrefix = QStringLiteral(".restore-");  // staging directories in the program directory
const QString oldPhotoFolder = QStringLiteral("photo.old");         // the replaced photos, inside one
const QString setAsideSuffix = QStringLiteral(".before-restore-");
constexpr qint64 chunkSize = 1 << 16;
constexpr zip_uint32_t deflateLevel = 4;
constexpr qint64 largestManifest = 64 << 20;

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The files of photo/ as paths relative to programDir ("photo/2013-05/x.jpg"),
// sorted, and its sub-directories (with a trailing slash).
void listPhotoTree(const QString& programDir, QStringList* files, QStringList* folders)
{
    const QDir base(programDir);
    QDirIterator it(base.filePath(photoFolder), QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString relative = base.relativeFilePath(it.filePath());
        if (it.fileInfo().isDir())
            folders->append(relative + QLatin1Char('/'));
        else if (it.fileInfo().isFile())
            files->append(relative);
    }
    files->sort();
    folders->sort();
}

// SHA-256 of a file in hexadecimal; empty when it cannot be read. size, when
// given, gets the number of bytes the checksum covers.
QString fileChecksum(const QString& path, const std::function<void(qint64)>& onBytes = {}, qint64* size = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    qint64 read = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(chunkSize);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            return {};
        hash.addData(chunk);
        read += chunk.size();
        if (onBytes)
            onBytes(chunk.size());
    }
    if (size)
        *size = read;
    return QString::fromLatin1(hash.result().toHex());
}

// A consistent copy through SQLite's online backup: it reads the source in
// one read transaction, so a program writing the file meanwhile is waited
// for, never copied half-way.
bool copyDatabase(const QString& source, const QString& target, QString* error)
{
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    const QByteArray sourceName = source.toUtf8();
    const QByteArray targetName = target.toUtf8();
    bool ok = sqlite3_open_v2(sourceName.constData(), &from, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
              && sqlite3_open_v2(targetName.constData(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
                     == SQLITE_OK;
    if (ok) {
        sqlite3_busy_timeout(from, 5000);
        sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
        ok = backup != nullptr;
        if (backup) {
            int rc;
            int waits = 0;
            while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (++waits > 50)
                    break;
                sqlite3_sleep(100);
            }
            ok = rc == SQLITE_DONE;
            sqlite3_backup_finish(backup);
        }
    }
    if (!ok && error)
        *error = QString::fromUtf8(sqlite3_errmsg(to ? to : from));
    sqlite3_close_v2(from);
    sqlite3_close_v2(to);
    return ok;
}

QVector<std::pair<QString, qint64>> countRows(const QString& databasePath)
{
    QVector<std::pair<QString, qint64>> counts;
    sqlite3* db = nullptr;
    const QByteArray name = databasePath.toUtf8();
    if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        QStringList tables;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                               "ORDER BY name",
                               -1, &stmt, nullptr)
            == SQLITE_OK)
            while (sqlite3_step(stmt) == SQLITE_ROW)
                tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        for (const QString& table : tables) {
            QString quoted = table;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            const QByteArray sql = QStringLiteral("SELECT count(*) FROM \"%1\"").arg(quoted).toUtf8();
            if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK
                && sqlite3_step(stmt) == SQLITE_ROW)
                counts.append({table, sqlite3_column_int64(stmt, 0)});
            sqlite3_finalize(stmt);
        }
    }
    sqlite3_close_v2(db);
    return counts;
}

QByteArray manifestJson(const BackupManifest& manifest)
{
    QJsonObject rows;
    for (const auto& [table, count] : manifest.rowCounts)
        rows.insert(table, double(count));
    QJsonArray files;
    for (const BackupEntry& entry : manifest.files)
        files.append(QJsonObject{{QStringLiteral("name"), entry.name},
                                 {QStringLiteral("sha256"), entry.sha256},
                                 {QStringLiteral("size"), double(entry.size)}});
    const QJsonObject root{
        {QStringLiteral("created"), manifest.created.toString(Qt::ISODate)},
        {QStringLiteral("programVersion"), manifest.programVersion},
        {QStringLiteral("rows"), rows},
        {QStringLiteral("files"), files},
        {QStringLiteral("dataFingerprint"), manifest.dataFingerprint},
    };
    return QJsonDocument(root).toJson();
}

bool parseManifest(const QByteArray& json, BackupManifest* manifest)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject root = document.object();
    manifest->created = QDateTime::fromString(root.value(QStringLiteral("created")).toString(), Qt::ISODate);
    manifest->programVersion = root.value(QStringLiteral("programVersion")).toString();
    manifest->dataFingerprint = root.value(QStringLiteral("dataFingerprint")).toString();
    const QJsonObject rows = root.value(QStringLiteral("rows")).toObject();
    for (auto it = rows.begin(); it != rows.end(); ++it)
        manifest->rowCounts.append({it.key(), qint64(it.value().toDouble())});
    for (const QJsonValue& value : root.value(QStringLiteral("files")).toArray()) {
        const QJsonObject file = value.toObject();
        BackupEntry entry;
        entry.name = file.value(QStringLiteral("name")).toString();
        entry.sha256 = file.value(QStringLiteral("sha256")).toString();
        if (entry.name.isEmpty() || entry.sha256.isEmpty())
            return false;
        if (file.contains(QStringLiteral("size"))) {
            const double size = file.value(QStringLiteral("size")).toDouble(-1);
            if (size < 0 || size != double(qint64(size)))
                return false;
            entry.size = qint64(size);
        }
        manifest->files.append(entry);
    }
    return manifest->created.isValid() && !manifest->files.isEmpty();
}

// Only the program's own files, and nothing that could land outside the
// staging directory.
bool isAcceptedEntryName(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('\\')) || name.startsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = name.split(QLatin1Char('/'));
    for (int i = 0; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        if (part == QLatin1String("..") || part == QLatin1String(".") || (part.isEmpty() && i + 1 < parts.size()))
            return false;
    }
    return name == databaseEntry || name == settingsEntry || name == manifestEntry
           || name.startsWith(photoFolder + QLatin1Char('/'));
}

// Reads a whole entry of a small size limit; empty on failure.
QByteArray readEntry(zip_t* archive, zip_int64_t index, qint64 limit)
{
    zip_stat_t stat;
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)
        || qint64(stat.size) > limit)
        return {};
    zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file)
        return {};
    QByteArray data(qsizetype(stat.size), Qt::Uninitialized);
    const zip_int64_t read = zip_fread(file, data.data(), stat.size);
    zip_fclose(file);
    return read == zip_int64_t(stat.size) ? data : QByteArray();
}

enum class Unpacking { Done, Unreadable, LongerThanListed, NotWritten };

struct UnpackedEntry {
    Unpacking outcome = Unpacking::Done;
    QString checksum;    // SHA-256 of what was written
    QString writeError;  // the system's reason when not written
};

// Copies one entry into a file, giving its SHA-256, and stops before writing
// more than size bytes: an entry longer than its recorded size is damaged.
// A damaged entry also fails its CRC check in the library.
UnpackedEntry extractEntry(zip_t* archive, zip_int64_t index, const QString& target, qint64 size)
{
    UnpackedEntry result;
    QFile out(target);
    if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        result.outcome = Unpacking::NotWritten;
        result.writeError = out.errorString();
        return result;
    }
    zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file) {
        result.outcome = Unpacking::Unreadable;
        return result;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    qint64 written = 0;
    for (;;) {
        const zip_int64_t read = zip_fread(file, buffer.data(), zip_uint64_t(buffer.size()));
        if (read < 0) {
            result.outcome = Unpacking::Unreadable;
            break;
        }
        if (read == 0) {
            if (written != size)
                result.outcome = Unpacking::Unreadable;
            break;
        }
        if (read > size - written) {
            result.outcome = Unpacking::LongerThanListed;
            break;
        }
        hash.addData(QByteArrayView(buffer.constData(), qsizetype(read)));
        if (out.write(buffer.constData(), read) != read) {
            result.outcome = Unpacking::NotWritten;
            break;
        }
        written += read;
    }
    zip_fclose(file);
    if (!out.flush() && result.outcome == Unpacking::Done)
        result.outcome = Unpacking::NotWritten;
    if (result.outcome == Unpacking::NotWritten)
        result.writeError = out.errorString();
    if (result.outcome == Unpacking::Done)
        result.checksum = QString::fromLatin1(hash.result().toHex());
    return result;
}

// Free space the unpacking leaves on the disk at the least, so that the
// program still runs there afterwards.
constexpr qint64 spaceToKeepFree = 16 << 20;

} // namespace

bool leavesEnoughFreeSpace(qint64 needed, qint64 available)
{
    return available < 0 || needed <= available - spaceToKeepFree;
}

namespace {

// Bytes free for this program on the disk of path; -1 when unknown.
qint64 freeSpaceOf(const QString& path)
{
    const QStorageInfo storage(path);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

bool readManifestOf(const QString& archivePath, BackupManifest* manifest)
{
    int errorCode = 0;
    zip_t* archive = zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY, &errorCode);
    if (!archive)
        return false;
    const zip_int64_t index = zip_name_locate(archive, manifestEntry.toUtf8().constData(), 0);
    const bool ok = index >= 0 && parseManifest(readEntry(archive, index, largestManifest), manifest);
    zip_discard(archive);
    return ok;
}

struct ProgressState {
    const BackupProgress* progress;
    qint64 hashed;
    qint64 total;
};

void reportZipProgress(zip_t*, double fraction, void* data)
{
    auto* state = static_cast<ProgressState*>(data);
    if (*state->progress)
        (*state->progress)(state->hashed + qint64(fraction * double(state->total - state->hashed)), state->total);
}

// A journal left beside a database file that is replaced would be taken for
// the new file's.
void removeJournalsOf(const QString& database)
{
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(database + QLatin1String(suffix));
}

QString describeZipError(zip_t* archive)
{
    return QString::fromUtf8(zip_strerror(archive));
}

} // namespace

qint64 BackupManifest::rowsOf(const QString& table) const
{
    for (const auto& [name, count] : rowCounts)
        if (name.compare(table, Qt::CaseInsensitive) == 0)
            return count;
    return 0;
}

int BackupManifest::photoCount() const
{
    const QString prefix = photoFolder + QLatin1Char('/');
    return int(std::count_if(files.begin(), files.end(),
                             [&prefix](const BackupEntry& entry) { return entry.name.startsWith(prefix); }));
}

QString defaultBackupFolder(const QString& programDir)
{
    return QDir(programDir).filePath(QStringLiteral("backup"));
}

QString backupFileName(const QDateTime& moment, BackupKind kind)
{
    return QStringLiteral("zhao_%1%2.zip")
        .arg(kind == BackupKind::Automatic ? QStringLiteral("auto_") : QString(),
             moment.toString(QStringLiteral("yyyyMMdd_HHmmss")));
}

QVector<BackupFile> listBackups(const QString& folder)
{
    static const QRegularExpression pattern(QStringLiteral("^zhao_(auto_)?(\\d{8}_\\d{6})\\.zip$"));
    QVector<BackupFile> found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("zhao_*.zip")}, QDir::Files)) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const QDateTime moment = QDateTime::fromString(match.captured(2), QStringLiteral("yyyyMMdd_HHmmss"));
        if (!moment.isValid())
            continue;
        found.append({dir.filePath(name), moment,
                      match.capturedLength(1) > 0 ? BackupKind::Automatic : BackupKind::Manual});
    }
    std::sort(found.begin(), found.end(), [](const BackupFile& a, const BackupFile& b) {
        return a.moment != b.moment ? a.moment > b.moment : a.path > b.path;
    });
    return found;
}

// Named after the backup's moment, or a moment later than every backup
// already in folder, so that the name order stays the order in which they
// were made, even when backups follow each other within a second.
static QString uniqueArchivePath(const QString& folder, BackupKind kind, QDateTime moment)
{
    moment.setTime(QTime(moment.time().hour(), moment.time().minute(), moment.time().second()));
    const QVector<BackupFile> existing = listBackups(folder);
    if (!existing.isEmpty() && existing.first().moment >= moment)
        moment = existing.first().moment.addSecs(1);
    return QDir(folder).filePath(backupFileName(moment, kind));
}

QString dataFingerprint(const QString& programDir)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // The database's stamp stands for its content: a close with nothing
    // changed need not read a large file through.
    hash.addData(databaseFileStamp(QDir(programDir).filePath(databaseEntry)).toLatin1());
    QStringList files;
    QStringList folders;
    listPhotoTree(programDir, &files, &folders);
    for (const QString& relative : files) {
        const QFileInfo info(QDir(programDir).filePath(relative));
        hash.addData(QStringLiteral("\n%1\t%2\t%3")
                         .arg(relative)
                         .arg(info.size())
                         .arg(info.lastModified().toMSecsSinceEpoch())
                         .toUtf8());
    }
    return QString::fromLatin1(hash.result().toHex());
}

BackupResult writeBackup(const QString& programDir, const QString& folder, BackupKind kind,
                         const BackupProgress& progress)
{
    BackupResult result;
    const QDir base(programDir);
    // A backup among the photos would be copied into every later backup.
    const QString photos = QDir::cleanPath(QFileInfo(base.filePath(photoFolder)).absoluteFilePath());
    const QString target = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (target == photos || target.startsWith(photos + QLatin1Char('/'))) {
        result.error = QStringLiteral("备份位置 %1 在照片文件夹之内，请选择别的文件夹。").arg(nativePath(folder));
        return result;
    }
    if (!QDir().mkpath(folder)) {
        result.error = QStringLiteral("无法创建备份文件夹 %1。").arg(nativePath(folder));
        return result;
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        result.error = QStringLiteral("无法创建临时文件夹，备份没有完成。");
        return result;
    }

    BackupManifest& manifest = result.manifest;
    manifest.created = QDateTime::currentDateTime();
    manifest.programVersion = QStringLiteral(BRENVO_VERSION);
    manifest.dataFingerprint = dataFingerprint(programDir);

    const QString databaseCopy = work.filePath(databaseEntry);
    QString engineError;
    if (!copyDatabase(base.filePath(databaseEntry), databaseCopy, &engineError)) {
        result.error = QStringLiteral("无法复制数据库 %1（%2），备份没有完成。")
                           .arg(nativePath(base.filePath(databaseEntry)), engineError);
        return result;
    }
    manifest.rowCounts = countRows(databaseCopy);

    // Entry name and the file it comes from, the database first.
    QVector<std::pair<QString, QString>> entries{{databaseEntry, databaseCopy}};
    if (QFileInfo(base.filePath(settingsEntry)).isFile())
        entries.append({settingsEntry, base.filePath(settingsEntry)});
    QStringList photoFiles;
    QStringList photoFolders;
    listPhotoTree(programDir, &photoFiles, &photoFolders);
    for (const QString& relative : photoFiles)
        entries.append({relative, base.filePath(relative)});

    // Half of the progress is reading the files for their checksums, half is
    // the library writing them.
    qint64 totalBytes = 0;
    for (const auto& entry : entries)
        totalBytes += QFileInfo(entry.second).size();
    ProgressState state{&progress, 0, 2 * totalBytes};
    for (const auto& [name, source] : entries) {
        qint64 size = 0;
        const QString checksum = fileChecksum(
            source,
            [&state](qint64 bytes) {
                state.hashed += bytes;
                if (*state.progress)
                    (*state.progress)(state.hashed, state.total);
            },
            &size);
        if (checksum.isEmpty()) {
            result.error = QStringLiteral("无法读取文件 %1，备份没有完成。").arg(nativePath(source));
            return result;
        }
        manifest.files.append({name, checksum, size});
    }
    state.hashed = totalBytes;
    const QByteArray manifestData = manifestJson(manifest);

    // Named from the moment the manifest records, not from a later tick.
    const QString archivePath = uniqueArchivePath(folder, kind, manifest.created);
    int errorCode = 0;
    zip_t* archive = zip_open(QFile::encodeName(archivePath).constData(), ZIP_CREATE | ZIP_EXCL, &errorCode);
    if (!archive) {
        result.error = QStringLiteral("无法创建备份文件 %1。").arg(nativePath(archivePath));
        return result;
    }
    bool ok = true;
    for (const QString& relative : photoFolders)
        ok = ok && zip_dir_add(archive, relative.chopped(1).toUtf8().constData(), ZIP_FL_ENC_UTF_8) >= 0;
    for (const auto& [name, source] : entries) {
        if (!ok)
            break;
        zip_source_t* file = zip_source_file(archive, QFile::encodeName(source).constData(), 0, -1);
        const zip_int64_t index = file ? zip_file_add(archive, name.toUtf8().constData(), file, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            zip_source_free(file);
            ok = false;
            break;
        }
        // Photos are JPEG already: stored, not compressed again. The rest is
        // deflated at a level that gives nearly the smallest archive in a
        // fraction of the time of libzip's default (the best compression).
        if (name.startsWith(photoFolder + QLatin1Char('/')))
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
        else
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, deflateLevel);
    }
    if (ok) {
        zip_source_t* source = zip_source_buffer(archive, manifestData.constData(), zip_uint64_t(manifestData.size()), 0);
        ok = source && zip_file_add(archive, manifestEntry.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) >= 0;
        if (!ok)
            zip_source_free(source);
    }
    if (ok) {
        zip_register_progress_callback_with_state(archive, 0.01, reportZipProgress, nullptr, &state);
        ok = zip_close(archive) == 0;
    }
    if (!ok) {
        result.error = QStringLiteral("写入备份文件 %1 失败（%2），备份没有完成。")
                           .arg(nativePath(archivePath), describeZipError(archive));
        zip_discard(archive);
        QFile::remove(archivePath);
        return result;
    }
    if (progress)
        progress(state.total, state.total);
    result.ok = true;
    result.archivePath = archivePath;
    return result;
}

bool changedSinceLastBackup(const QString& programDir, const QString& folder)
{
    const QVector<BackupFile> backups = listBackups(folder);
    if (backups.isEmpty())
        return true;
    BackupManifest newest;
    return !readManifestOf(backups.first().path, &newest) || newest.dataFingerprint != dataFingerprint(programDir);
}

void pruneAutomaticBackups(const QString& folder, int keep)
{
    int kept = 0;
    for (const BackupFile& backup : listBackups(folder)) {
        if (backup.kind != BackupKind::Automatic)
            continue;
        if (kept < keep)
            ++kept;
        else
            QFile::remove(backup.path);
    }
}

BackupResult automaticBackupIfChanged(const QString& programDir, const std::function<void()>& beforeWriting)
{
    const QString folder = defaultBackupFolder(programDir);
    if (!changedSinceLastBackup(programDir, folder)) {
        BackupResult nothingToDo;
        nothingToDo.ok = true;
        return nothingToDo;
    }
    if (beforeWriting)
        beforeWriting();
    BackupResult result = writeBackup(programDir, folder, BackupKind::Automatic);
    if (result.ok)
        pruneAutomaticBackups(folder, 10);
    return result;
}

StagedBackup stageBackup(const QString& archivePath, const QString& programDir)
{
    StagedBackup staged;
    const QString shown = nativePath(archivePath);
    auto refuse = [&staged](const QString& text) {
        staged.error = text;
        staged.dir.reset();
        return std::move(staged);
    };
    auto notEnoughSpace = [&](qint64 needed, qint64 available) {
        return refuse(QStringLiteral("磁盘空间不足，不能恢复：备份文件 %1 解压后需要 %2，程序文件夹 %3 所在的磁盘只剩 %4 可用。"
                                     "请先腾出磁盘空间再恢复。")
                          .arg(shown, fileSizeText(needed), nativePath(programDir), fileSizeText(available)));
    };

    int errorCode = 0;
    zip_t* archive = zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &errorCode);
    if (!archive)
        return refuse(QStringLiteral("备份文件 %1 已损坏或不是备份文件（无法作为压缩包打开），不能用来恢复。").arg(shown));
    struct Closer {
        zip_t* archive;
        ~Closer() { zip_discard(archive); }
    } closer{archive};

    const zip_int64_t manifestIndex = zip_name_locate(archive, manifestEntry.toUtf8().constData(), 0);
    if (manifestIndex < 0)
        return refuse(QStringLiteral("备份文件 %1 中没有备份清单，不是本程序的备份，不能用来恢复。").arg(shown));
    if (!parseManifest(readEntry(archive, manifestIndex, largestManifest), &staged.manifest))
        return refuse(QStringLiteral("备份文件 %1 的备份清单已损坏，不能用来恢复。").arg(shown));
    if (zip_name_locate(archive, databaseEntry.toUtf8().constData(), 0) < 0)
        return refuse(QStringLiteral("备份文件 %1 中没有数据库文件 zhao.dat，不能用来恢复。").arg(shown));

    // Every entry is checked before anything is written: its name, its place
    // in the manifest and the size it unpacks to.
    struct PlannedEntry {
        zip_int64_t index;
        QString name;
        qint64 size;
        const BackupEntry* listed;
    };
    QVector<PlannedEntry> planned;
    QStringList folders;
    qint64 needed = 0;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* rawName = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        const QString name = rawName ? QString::fromUtf8(rawName) : QString();
        if (name == manifestEntry)
            continue;
        if (!isAcceptedEntryName(name))
            return refuse(QStringLiteral("备份文件 %1 中有不属于本程序的文件 %2，不能用来恢复。").arg(shown, name));
        if (name.endsWith(QLatin1Char('/'))) {
            folders << name;
            continue;
        }
        const auto listed = std::find_if(staged.manifest.files.cbegin(), staged.manifest.files.cend(),
                                         [&name](const BackupEntry& entry) { return entry.name == name; });
        if (listed == staged.manifest.files.cend())
            return refuse(QStringLiteral("备份文件 %1 中的文件 %2 不在备份清单中，不能用来恢复。").arg(shown, name));
        zip_stat_t stat;
        if (zip_stat_index(archive, zip_uint64_t(i), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)
            || stat.size > zip_uint64_t(std::numeric_limits<qint64>::max() / 2))
            return refuse(QStringLiteral("备份文件 %1 中的文件 %2 无法读出，备份已损坏，不能用来恢复。").arg(shown, name));
        const qint64 size = qint64(stat.size);
        if (listed->size >= 0 && listed->size != size)
            return refuse(QStringLiteral("备份文件 %1 中的文件 %2 的大小（%3 字节）与备份清单记录的（%4 字节）不符，"
                                         "备份已损坏，不能用来恢复。")
                              .arg(shown, name)
                              .arg(size)
                              .arg(listed->size));
        needed += size;
        planned.append({i, name, size, &*listed});
    }
    for (const BackupEntry& entry : staged.manifest.files)
        if (std::none_of(planned.cbegin(), planned.cend(), [&entry](const PlannedEntry& p) { return p.name == entry.name; }))
            return refuse(QStringLiteral("备份文件 %1 中缺少文件 %2，备份不完整，不能用来恢复。").arg(shown, entry.name));
    const qint64 available = freeSpaceOf(programDir);
    if (!leavesEnoughFreeSpace(needed, available))
        return notEnoughSpace(needed, available);

    staged.dir = std::make_unique<QTemporaryDir>(QDir(programDir).filePath(restoreFolderPrefix + QStringLiteral("XXXXXX")));
    if (!staged.dir->isValid())
        return refuse(QStringLiteral("无法在程序文件夹 %1 中创建临时文件夹，不能恢复。").arg(nativePath(programDir)));
    const QDir stage(staged.dir->path());
    for (const QString& folder : folders)
        stage.mkpath(folder);

    qint64 stillToWrite = needed;
    for (const PlannedEntry& entry : planned) {
        const UnpackedEntry unpacked = extractEntry(archive, entry.index, stage.filePath(entry.name), entry.size);
        switch (unpacked.outcome) {
        case Unpacking::Done:
            break;
        case Unpacking::Unreadable:
            return refuse(QStringLiteral("备份文件 %1 中的文件 %2 无法读出，备份已损坏，不能用来恢复。").arg(shown, entry.name));
        case Unpacking::LongerThanListed:
            return refuse(QStringLiteral("备份文件 %1 中的文件 %2 比记录的大小（%3 字节）长，备份已损坏，不能用来恢复。")
                              .arg(shown, entry.name)
                              .arg(entry.size));
        case Unpacking::NotWritten: {
            const qint64 left = freeSpaceOf(stage.path());
            if (left >= 0 && left < stillToWrite)
                return notEnoughSpace(needed, available);
            return refuse(QStringLiteral("无法把备份文件 %1 中的文件 %2 解压到程序文件夹 %3（%4），没有恢复。")
                              .arg(shown, entry.name, nativePath(programDir), unpacked.writeError));
        }
        }
        if (unpacked.checksum != entry.listed->sha256)
            return refuse(QStringLiteral("备份文件 %1 中的文件 %2 与备份时不同（校验和不符），备份已损坏，不能用来恢复。")
                              .arg(shown, entry.name));
        stillToWrite -= entry.size;
    }

    const DatabaseCheck check = checkDatabaseFile(stage.filePath(databaseEntry), CheckDepth::Full, 0);
    if (!check.usable())
        return refuse(QStringLiteral("备份文件 %1 中的数据库 zhao.dat %2，不能用来恢复。")
                          .arg(shown, databaseProblemWords(check)));
    // The index is made from the rows, so it is built anew rather than refused.
    QString repairError;
    if (check.textIndexDamaged && !repairTextIndex(stage.filePath(databaseEntry), &repairError))
        return refuse(QStringLiteral("备份文件 %1 中的数据库 zhao.dat %2，重建失败（%3），没有恢复。")
                          .arg(shown, textIndexDamageWords(), repairError));
    staged.ok = true;
    return staged;
}

bool applyStagedBackup(StagedBackup& staged, const QString& programDir, bool keepReplacedDatabase, QString* error)
{
    if (!staged.ok || !staged.dir) {
        *error = staged.error;
        return false;
    }
    QDir base(programDir);
    const QDir stage(staged.dir->path());
    const QString database = base.filePath(databaseEntry);

    removeJournalsOf(database);
    QString setAside;
    if (keepReplacedDatabase && QFileInfo::exists(database)) {
        setAside = database + setAsideSuffix + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
        if (!keepCopyOf(database, setAside)) {
            *error = QStringLiteral("无法保留当前的数据库 %1，没有恢复。").arg(nativePath(database));
            return false;
        }
    }
    // One step: a program killed here leaves the old database or the new one.
    QString reason;
    if (!replaceFile(stage.filePath(databaseEntry), database, &reason)) {
        if (!setAside.isEmpty())
            QFile::remove(setAside);
        *error = QStringLiteral("无法放入备份中的数据库（%1），没有恢复。").arg(reason);
        return false;
    }

    if (QFileInfo(stage.filePath(settingsEntry)).isFile())
        replaceFile(stage.filePath(settingsEntry), base.filePath(settingsEntry));

    // The photos: the backup's folder takes the place of the current one,
    // which moves into the staging directory (and goes with it). In one step
    // where the file system can swap them.
    const QString photos = base.filePath(photoFolder);
    const QString restoredPhotos = stage.filePath(photoFolder);
    if (!QFileInfo(restoredPhotos).isDir())
        stage.mkpath(photoFolder);
    if (QFileInfo::exists(photos) && exchangePaths(restoredPhotos, photos))
        return true;
    const QString oldPhotos = stage.filePath(oldPhotoFolder);
    if (QFileInfo::exists(photos) && !QDir().rename(photos, oldPhotos)) {
        *error = QStringLiteral("数据库已恢复，但无法移开当前的照片文件夹 %1，照片没有恢复。").arg(nativePath(photos));
        return false;
    }
    if (!QDir().rename(restoredPhotos, photos)) {
        QDir().rename(oldPhotos, photos);
        *error = QStringLiteral("数据库已恢复，但无法放入备份中的照片，照片没有恢复。");
        return false;
    }
    return true;
}

QStringList setAsideDatabases(const QString& programDir)
{
    const QDir base(programDir);
    QStringList found;
    for (const QString& name :
         base.entryList({databaseEntry + setAsideSuffix + QLatin1Char('*')}, QDir::Files | QDir::Hidden, QDir::Name | QDir::Reversed))
        found << base.filePath(name);
    return found;
}

bool putBackSetAsideDatabase(const QString& setAside, const QString& programDir, QString* error)
{
    const QString database = QDir(programDir).filePath(databaseEntry);
    removeJournalsOf(database);
    return replaceFile(setAside, database, error);
}

void removeUnfinishedRestores(const QString& programDir)
{
    const QDir base(programDir);
    const QString photos = base.filePath(photoFolder);
    for (const QString& name : base.entryList({restoreFolderPrefix + QLatin1Char('*')},
                                              QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QDir leftover(base.filePath(name));
        // Killed between the two moves of the photos: the database is the
        // backup's already, so the backup's photos go in place.
        if (!QFileInfo::exists(photos) && QFileInfo(leftover.filePath(oldPhotoFolder)).isDir()
            && !QDir().rename(leftover.filePath(photoFolder), photos))
            QDir().rename(leftover.filePath(oldPhotoFolder), photos);
        leftover.removeRecursively();
    }
}

QString backupSummaryText(const BackupManifest& manifest)
{
    return QStringLiteral("备份时间：%1\n程序版本：%2\n报名信息：%3 条\n照片：%4 个\n帐户：%5 个，报名项目：%6 个，打印模板：%7 个")
        .arg(manifest.created.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), manifest.programVersion)
        .arg(manifest.rowsOf(QStringLiteral("bmb")))
        .arg(manifest.photoCount())
        .arg(manifest.rowsOf(QStringLiteral("admin")))
        .arg(manifest.rowsOf(QStringLiteral("zy")))
        .arg(manifest.rowsOf(QStringLiteral("dy")));
}

QString fileSizeText(qint64 bytes)
{
    constexpr double mebibyte = 1024.0 * 1024.0;
    if (bytes >= qint64(1) << 30)
        return QStringLiteral("%1 GB").arg(double(bytes) / (1024.0 * mebibyte), 0, 'f', 1);
    if (bytes >= qint64(1) << 20)
        return QStringLiteral("%1 MB").arg(double(bytes) / mebibyte, 0, 'f', 1);
    return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}
