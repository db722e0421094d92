#include "store/backup.h"

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

#include <sqlite3.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>

#ifndef BRENVO_VERSION
#define BRENVO_VERSION "unknown"
#endif

namespace {

const QString databaseEntry = QStringLiteral("zhao.dat");
const QString settingsEntry = QStringLiteral("duzarizered.ini");
const QString photoFolder = QStringLiteral("photo");
const QString manifestEntry = QStringLiteral("manifest.json");
constexpr qint64 chunkSize = 1 << 16;
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

// SHA-256 of a file in hexadecimal; empty when it cannot be read.
QString fileChecksum(const QString& path, const std::function<void(qint64)>& onBytes = {})
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(chunkSize);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            return {};
        hash.addData(chunk);
        if (onBytes)
            onBytes(chunk.size());
    }
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
    for (const auto& [entry, checksum] : manifest.checksums)
        files.append(QJsonObject{{QStringLiteral("name"), entry}, {QStringLiteral("sha256"), checksum}});
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
    for (const QJsonValue& file : root.value(QStringLiteral("files")).toArray()) {
        const QString name = file.toObject().value(QStringLiteral("name")).toString();
        const QString checksum = file.toObject().value(QStringLiteral("sha256")).toString();
        if (name.isEmpty() || checksum.isEmpty())
            return false;
        manifest->checksums.append({name, checksum});
    }
    return manifest->created.isValid() && !manifest->checksums.isEmpty();
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

// Copies one entry into a file, giving its SHA-256; empty on any failure
// (a damaged entry fails its CRC check in the library).
QString extractEntry(zip_t* archive, zip_int64_t index, const QString& target)
{
    QFile out(target);
    if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file)
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(chunkSize, Qt::Uninitialized);
    bool ok = true;
    for (;;) {
        const zip_int64_t read = zip_fread(file, buffer.data(), zip_uint64_t(buffer.size()));
        if (read < 0) {
            ok = false;
            break;
        }
        if (read == 0)
            break;
        hash.addData(QByteArrayView(buffer.constData(), qsizetype(read)));
        ok = out.write(buffer.constData(), read) == read;
        if (!ok)
            break;
    }
    zip_fclose(file);
    ok = out.flush() && ok;
    return ok ? QString::fromLatin1(hash.result().toHex()) : QString();
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
    return int(std::count_if(checksums.begin(), checksums.end(),
                             [&prefix](const auto& entry) { return entry.first.startsWith(prefix); }));
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
    hash.addData(fileChecksum(QDir(programDir).filePath(databaseEntry)).toLatin1());
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
        const QString checksum = fileChecksum(source, [&state](qint64 bytes) {
            state.hashed += bytes;
            if (*state.progress)
                (*state.progress)(state.hashed, state.total);
        });
        if (checksum.isEmpty()) {
            result.error = QStringLiteral("无法读取文件 %1，备份没有完成。").arg(nativePath(source));
            return result;
        }
        manifest.checksums.append({name, checksum});
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
        // Photos are JPEG already: stored, not compressed again.
        if (name.startsWith(photoFolder + QLatin1Char('/')))
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
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

    staged.dir = std::make_unique<QTemporaryDir>(QDir(programDir).filePath(QStringLiteral(".restore-XXXXXX")));
    if (!staged.dir->isValid())
        return refuse(QStringLiteral("无法在程序文件夹 %1 中创建临时文件夹，不能恢复。").arg(nativePath(programDir)));
    const QDir stage(staged.dir->path());

    QStringList unpacked;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* rawName = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        const QString name = rawName ? QString::fromUtf8(rawName) : QString();
        if (name == manifestEntry)
            continue;
        if (!isAcceptedEntryName(name))
            return refuse(QStringLiteral("备份文件 %1 中有不属于本程序的文件 %2，不能用来恢复。").arg(shown, name));
        if (name.endsWith(QLatin1Char('/'))) {
            stage.mkpath(name);
            continue;
        }
        const auto listed = std::find_if(staged.manifest.checksums.begin(), staged.manifest.checksums.end(),
                                         [&name](const auto& entry) { return entry.first == name; });
        if (listed == staged.manifest.checksums.end())
            return refuse(QStringLiteral("备份文件 %1 中的文件 %2 不在备份清单中，不能用来恢复。").arg(shown, name));
        const QString checksum = extractEntry(archive, i, stage.filePath(name));
        if (checksum.isEmpty())
            return refuse(QStringLiteral("备份文件 %1 中的文件 %2 无法读出，备份已损坏，不能用来恢复。").arg(shown, name));
        if (checksum != listed->second)
            return refuse(QStringLiteral("备份文件 %1 中的文件 %2 与备份时不同（校验和不符），备份已损坏，不能用来恢复。")
                              .arg(shown, name));
        unpacked << name;
    }
    for (const auto& [name, checksum] : staged.manifest.checksums)
        if (!unpacked.contains(name))
            return refuse(QStringLiteral("备份文件 %1 中缺少文件 %2，备份不完整，不能用来恢复。").arg(shown, name));

    const DatabaseCheck check = checkDatabaseFile(stage.filePath(databaseEntry), CheckDepth::Full, 0);
    if (!check.usable())
        return refuse(QStringLiteral("备份文件 %1 中的数据库 zhao.dat %2，不能用来恢复。")
                          .arg(shown, databaseProblemWords(check)));
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

    // A journal left beside the old file would be taken for the new file's.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(database + QLatin1String(suffix));
    // The current database is set aside until the new one is in place.
    const QString setAside = database + QStringLiteral(".before-restore-")
                             + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    if (QFileInfo::exists(database) && !base.rename(databaseEntry, QFileInfo(setAside).fileName())) {
        *error = QStringLiteral("无法移开当前的数据库 %1，没有恢复。").arg(nativePath(database));
        return false;
    }
    if (std::rename(QFile::encodeName(stage.filePath(databaseEntry)).constData(),
                    QFile::encodeName(database).constData())
        != 0) {
        base.rename(QFileInfo(setAside).fileName(), databaseEntry);
        *error = QStringLiteral("无法放入备份中的数据库，没有恢复。");
        return false;
    }
    if (!keepReplacedDatabase)
        QFile::remove(setAside);

    if (QFileInfo(stage.filePath(settingsEntry)).isFile())
        std::rename(QFile::encodeName(stage.filePath(settingsEntry)).constData(),
                    QFile::encodeName(base.filePath(settingsEntry)).constData());

    // The photos: the current folder moves into the staging directory (and
    // goes with it), the backup's folder takes its place.
    const QString photos = base.filePath(photoFolder);
    const QString oldPhotos = stage.filePath(QStringLiteral("photo.old"));
    if (!QFileInfo(stage.filePath(photoFolder)).isDir())
        stage.mkpath(photoFolder);
    if (QFileInfo::exists(photos) && !QDir().rename(photos, oldPhotos)) {
        *error = QStringLiteral("数据库已恢复，但无法移开当前的照片文件夹 %1，照片没有恢复。").arg(nativePath(photos));
        return false;
    }
    if (!QDir().rename(stage.filePath(photoFolder), photos)) {
        QDir().rename(oldPhotos, photos);
        *error = QStringLiteral("数据库已恢复，但无法放入备份中的照片，照片没有恢复。");
        return false;
    }
    return true;
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
