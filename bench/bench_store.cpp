// The browse page's work on 100 000 registrations, through the store and with
// bare sqlite3 calls side by side. Each benchmark times both in alternation
// and reports the store's time (manual time), the bare time and their ratio.
//
//   open:  openQuery of the browse keyset query   (target: within 1.5x of bare)
//   page:  one 50-row page of a middle page read as text   (target: under 2 ms)
//   like:  a name search through Jet LIKE, beside SQLite's own LIKE
//   start: the check of zhao.dat before the login window after a clean close
//          (header, tables, columns), beside the same on an empty zhao.dat
//          (target: within 1.2x); the page-by-page check it replaces is
//          reported as quick_ms
//   close: deciding whether anything changed since the last backup, beside
//          the same on an empty zhao.dat (target: within 1.2x)
//   backup: a backup of the registrations and 1 000 photos (about 30 KB of
//          JPEG data each), beside libzip alone archiving a copy of the
//          database (deflated) and the photos (stored) without checksums or
//          manifest (target: under 2 s; archive_mb reports the size)
//
// 100 000 registrations, or BRENVO_BENCH_REGISTRATIONS.

#include "benchsupport.h"

#include "platform/sqlengine.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/databasecheck.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using bench::Clock;
using bench::check;
using bench::secondsSince;

const int kRegistrations = bench::registrations();
const char* const kBrowseQuery = "select  id,xm,xb,nl,dtime,sh,fk from bmb  where  status=1  order by dtime desc";
const char* const kKeysQuery = "select id from bmb  where  status=1  order by dtime desc";
const char* const kRowQuery = "select id,xm,xb,nl,dtime,sh,fk from bmb where id=?";
const QStringList kColumns = {"id", "xm", "xb", "nl", "dtime", "sh", "fk"};

// One temporary zhao.dat with the registrations, opened by the store and by a
// bare handle of its own.
struct Fixture {
    QTemporaryDir dir;
    DbConnection store;
    sqlite3* bare = nullptr;

    Fixture()
    {
        check(dir.isValid(), "temporary directory");
        const QString path = dir.filePath("zhao.dat");
        QString error;
        check(createShippedDatabase(path, &error), "createShippedDatabase");
        generate(path);
        check(store.openDatabase(connectionStringFor(dir.path())), "openDatabase");
        check(sqlite3_open_v2(path.toUtf8().constData(), &bare, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK,
              "bare open");
    }
    ~Fixture() { sqlite3_close(bare); }

    static void generate(const QString& path)
    {
        sqlite3* db = nullptr;
        check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK, "open");
        check(sqlengine::registerJetFunctions(db), "functions");
        auto run = [db](const char* sql) {
            sqlite3_stmt* s = nullptr;
            check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_DONE, sql);
            sqlite3_finalize(s);
        };
        run("BEGIN");
        sqlite3_stmt* insert = nullptr;
        check(sqlite3_prepare_v2(db,
                                 "INSERT INTO bmb (status,xm,xb,nl,dtime,sh,fk,lx1,bm1,bm3) "
                                 "VALUES (?,?,?,?,?,?,?,?,?,?)",
                                 -1, &insert, nullptr)
                  == SQLITE_OK,
              "prepare insert");
        static const char* const family[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴"};
        static const char* const given[] = {"小明", "丽", "伟", "芳", "Abc", "静", "强", "敏", "磊", "洋"};
        std::mt19937 random(20130506);
        const QDateTime first(QDate(2012, 1, 1), QTime(8, 0));
        for (int i = 0; i < kRegistrations; ++i) {
            const QByteArray name = QByteArray(family[random() % 10]) + given[random() % 10] + QByteArray::number(i % 97);
            const QByteArray when =
                first.addSecs(qint64(i) * 300 + qint64(random() % 300)).toString("yyyy-MM-dd HH:mm:ss").toUtf8();
            const QByteArray phone = "138" + QByteArray::number(10000000 + int(random() % 89999999));
            const QByteArray bm3 = "^" + QByteArray::number(int(random() % 20)) + "^";
            sqlite3_bind_int(insert, 1, random() % 10 == 0 ? 0 : 1);
            sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 3, 1 + int(random() % 2));
            sqlite3_bind_double(insert, 4, 15 + int(random() % 30));
            sqlite3_bind_text(insert, 5, when.constData(), int(when.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 6, int(random() % 3) - 1);
            sqlite3_bind_int(insert, 7, int(random() % 3) - 1);
            sqlite3_bind_text(insert, 8, phone.constData(), int(phone.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 9, int(random() % 20));
            sqlite3_bind_text(insert, 10, bm3.constData(), int(bm3.size()), SQLITE_TRANSIENT);
            check(sqlite3_step(insert) == SQLITE_DONE, "insert");
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        run("COMMIT");
        run("ANALYZE");
        sqlite3_close(db);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// The bare keyset: the ids of the query in order.
std::vector<sqlite3_int64> bareKeys(sqlite3* db, const char* sql)
{
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    std::vector<sqlite3_int64> ids;
    while (sqlite3_step(s) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(s, 0));
    sqlite3_finalize(s);
    return ids;
}

void report(benchmark::State& state, double storeSeconds, double bareSeconds)
{
    const double n = double(state.iterations());
    state.counters["store_ms"] = storeSeconds / n * 1e3;
    state.counters["bare_ms"] = bareSeconds / n * 1e3;
    state.counters["ratio"] = bareSeconds > 0 ? storeSeconds / bareSeconds : 0.0;
}

void BM_OpenBrowseQuery(benchmark::State& state)
{
    Fixture& f = fixture();
    RecordSet rs;
    double storeSeconds = 0;
    double bareSeconds = 0;
    size_t rows = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        check(f.store.openQuery(rs, kBrowseQuery), "openQuery");
        const double s = secondsSince(t);
        storeSeconds += s;
        state.SetIterationTime(s);
        rows = size_t(rs.recordCount());

        t = Clock::now();
        std::vector<sqlite3_int64> ids = bareKeys(f.bare, kKeysQuery);
        benchmark::DoNotOptimize(ids.data());
        bareSeconds += secondsSince(t);
        check(ids.size() == rows, "same row count");
    }
    state.counters["rows"] = double(rows);
    report(state, storeSeconds, bareSeconds);
}

void BM_ReadMiddlePage(benchmark::State& state)
{
    Fixture& f = fixture();
    RecordSet rs;
    check(f.store.openQuery(rs, kBrowseQuery), "openQuery");
    rs.setPageSize(50);
    const int page = rs.getPageCount() / 2;

    const std::vector<sqlite3_int64> ids = bareKeys(f.bare, kKeysQuery);
    sqlite3_stmt* row = nullptr;
    sqlite3_prepare_v2(f.bare, kRowQuery, -1, &row, nullptr);
    const size_t firstRow = size_t(page - 1) * 50;

    const std::vector<FieldRef> fields(kColumns.begin(), kColumns.end());
    double storeSeconds = 0;
    double bareSeconds = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        rs.setAbsolutePage(page);
        for (int r = 0; r < 50 && !rs.atEnd(); ++r, rs.moveNext())
            for (const FieldRef& field : fields) {
                const QString text = rs.readText(field);
                bytes += size_t(text.size());
            }
        const double s = secondsSince(t);
        storeSeconds += s;
        state.SetIterationTime(s);

        t = Clock::now();
        for (size_t r = firstRow; r < firstRow + 50 && r < ids.size(); ++r) {
            sqlite3_bind_int64(row, 1, ids[r]);
            if (sqlite3_step(row) == SQLITE_ROW)
                for (int c = 0; c < 7; ++c) {
                    benchmark::DoNotOptimize(sqlite3_column_text(row, c));
                    bytes += size_t(sqlite3_column_bytes(row, c));
                }
            sqlite3_reset(row);
        }
        bareSeconds += secondsSince(t);
    }
    benchmark::DoNotOptimize(bytes);
    sqlite3_finalize(row);
    report(state, storeSeconds, bareSeconds);
}

// Jet LIKE is a function of ours; SQLite's own LIKE is the baseline.
void BM_NameSearch(benchmark::State& state)
{
    Fixture& f = fixture();
    RecordSet rs;
    const char* jet = "select  id,xm,xb,nl,dtime,sh,fk from bmb  where xm like '%abc%' and  status=1  order by dtime desc";
    const char* bare = "select id from bmb  where xm like '%abc%' and  status=1  order by dtime desc";
    double storeSeconds = 0;
    double bareSeconds = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        check(f.store.openQuery(rs, jet), "openQuery");
        const double s = secondsSince(t);
        storeSeconds += s;
        state.SetIterationTime(s);

        t = Clock::now();
        std::vector<sqlite3_int64> ids = bareKeys(f.bare, bare);
        bareSeconds += secondsSince(t);
        check(ids.size() == size_t(rs.recordCount()), "same row count");
    }
    state.counters["rows"] = double(rs.recordCount());
    report(state, storeSeconds, bareSeconds);
}

} // namespace

// The shipped database as a new office has it.
const QTemporaryDir& emptyProgramDir()
{
    static QTemporaryDir dir;
    static const bool created = [] {
        QString error;
        return dir.isValid() && createShippedDatabase(dir.filePath("zhao.dat"), &error);
    }();
    check(created, "empty database");
    return dir;
}

void BM_CheckAtStart(benchmark::State& state)
{
    const QString full = fixture().dir.filePath("zhao.dat");
    const QString empty = emptyProgramDir().filePath("zhao.dat");
    double ours = 0, bare = 0, quick = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        check(checkDatabaseFile(full, CheckDepth::Schema).usable(), "schema check");
        const double s = secondsSince(t);
        ours += s;
        state.SetIterationTime(s);
        t = Clock::now();
        check(checkDatabaseFile(empty, CheckDepth::Schema).usable(), "empty schema check");
        bare += secondsSince(t);
        t = Clock::now();
        check(checkDatabaseFile(full, CheckDepth::Quick).usable(), "quick check");
        quick += secondsSince(t);
    }
    report(state, ours, bare);
    state.counters["quick_ms"] = quick / double(state.iterations()) * 1e3;
}

void BM_ChangedAtClose(benchmark::State& state)
{
    const QString full = fixture().dir.path();
    const QString empty = emptyProgramDir().path();
    double ours = 0, bare = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        benchmark::DoNotOptimize(dataFingerprint(full));
        const double s = secondsSince(t);
        ours += s;
        state.SetIterationTime(s);
        t = Clock::now();
        benchmark::DoNotOptimize(dataFingerprint(empty));
        bare += secondsSince(t);
    }
    report(state, ours, bare);
}

// 1 000 photos in the fixture's program directory, as the camera stores them:
// JPEG data that does not compress (random bytes behind a JPEG header).
QStringList addPhotos(const QString& programDir)
{
    QStringList photos;
    std::mt19937 random(20130506);
    for (int n = 0; n < 1000; ++n) {
        const QString relative = QStringLiteral("photo/2013-%1/%2.jpg").arg(1 + n % 6, 2, 10, QLatin1Char('0')).arg(n);
        const QString path = QDir(programDir).filePath(relative);
        check(QDir().mkpath(QFileInfo(path).path()), "photo folder");
        QByteArray bytes("\xff\xd8\xff\xe0\x00\x10JFIF\x00", 11);
        bytes.resize(30 * 1024);
        for (qsizetype i = 11; i < bytes.size(); ++i)
            bytes[i] = char(random() & 0xff);
        QFile file(path);
        check(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), "photo written");
        photos << relative;
    }
    return photos;
}

// The least work giving an archive of the same files: the database copied by
// SQLite's online backup, then it (deflated at the program's level 4) and the
// photos (stored) put in a zip by libzip.
qint64 bareBackup(const QString& programDir, const QStringList& photos, const QString& archive, const QString& work)
{
    const QString copy = QDir(work).filePath("zhao.dat");
    QFile::remove(copy);
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    check(sqlite3_open_v2(QDir(programDir).filePath("zhao.dat").toUtf8().constData(), &from, SQLITE_OPEN_READONLY, nullptr)
                  == SQLITE_OK
              && sqlite3_open_v2(copy.toUtf8().constData(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
                     == SQLITE_OK,
          "bare open for backup");
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    check(backup && sqlite3_backup_step(backup, -1) == SQLITE_DONE, "bare online backup");
    sqlite3_backup_finish(backup);
    sqlite3_close(from);
    sqlite3_close(to);

    int error = 0;
    zip_t* zip = zip_open(archive.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    check(zip != nullptr, "bare zip");
    auto add = [zip](const QString& name, const QString& path, bool store) {
        zip_source_t* source = zip_source_file(zip, path.toUtf8().constData(), 0, -1);
        const zip_int64_t index = source ? zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) : -1;
        check(index >= 0, "bare zip entry");
        zip_set_file_compression(zip, zip_uint64_t(index), store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, store ? 0 : 4);
    };
    add("zhao.dat", copy, false);
    for (const QString& photo : photos)
        add(photo, QDir(programDir).filePath(photo), true);
    check(zip_close(zip) == 0, "bare zip written");
    return QFileInfo(archive).size();
}

void BM_Backup(benchmark::State& state)
{
    Fixture& f = fixture();
    static const QStringList photos = addPhotos(f.dir.path());
    QTemporaryDir target;
    QTemporaryDir work;
    check(target.isValid() && work.isValid(), "backup folders");
    double ours = 0, bare = 0;
    qint64 archiveBytes = 0, bareBytes = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        const BackupResult result = writeBackup(f.dir.path(), target.path(), BackupKind::Manual);
        const double s = secondsSince(t);
        check(result.ok, "backup");
        ours += s;
        state.SetIterationTime(s);
        archiveBytes = QFileInfo(result.archivePath).size();
        QFile::remove(result.archivePath);

        t = Clock::now();
        bareBytes = bareBackup(f.dir.path(), photos, work.filePath("bare.zip"), work.path());
        bare += secondsSince(t);
    }
    report(state, ours, bare);
    state.counters["archive_mb"] = double(archiveBytes) / (1 << 20);
    state.counters["bare_archive_mb"] = double(bareBytes) / (1 << 20);
    state.counters["database_mb"] = double(QFileInfo(f.dir.filePath("zhao.dat")).size()) / (1 << 20);
}

BENCHMARK(BM_OpenBrowseQuery)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMiddlePage)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NameSearch)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckAtStart)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5);
BENCHMARK(BM_ChangedAtClose)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20);
BENCHMARK(BM_Backup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
