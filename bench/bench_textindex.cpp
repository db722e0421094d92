// The index of the text items on 100 000 registrations (another size with
// BRENVO_BENCH_REGISTRATIONS=1000000):
//   build: the index made for a zhao.dat of an earlier version, as its first
//     opening after the upgrade does (target: 1 000 000 rows within 60 s);
//   size: the index's pages beside the whole file's (target: at most 35 %);
//   page check: the check after login stopped by a close 50 ms in, how long
//     it runs on after the stop (target: at once);
//   save: one registration stored as the add page stores it (one statement,
//     its own transaction) with the index kept, beside the same on a copy of
//     the file without the index, in alternation (target: at most 1.3x).

#include "officedata.h"

#include "store/database.h"
#include "store/databasecheck.h"
#include "store/schema.h"

#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using bench::check;

double scalar(sqlite3* db, const char* sql)
{
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW, sql);
    const double value = sqlite3_column_double(s, 0);
    sqlite3_finalize(s);
    return value;
}

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Seconds of one save through the program's connection.
double oneSave(DbConnection& connection, int i)
{
    std::unique_ptr<RecordSet> target;
    const bench::Clock::time_point start = bench::Clock::now();
    check(connection.executeStatement(
              QStringLiteral("INSERT INTO bmb (xm,xb,nl,zj,lx1,lx2,dtime,sh,fk,status) values ('新生%1',1,18,"
                             "'330106200001011234','13912345678','城区新路%1号','2013年5月6日14时3分9秒',0,0,1)")
                  .arg(i),
              target),
          "save");
    return bench::secondsSince(start);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const char* const dropIndex[] = {"DROP TRIGGER bmb_text_insert", "DROP TRIGGER bmb_text_update",
                                 "DROP TRIGGER bmb_text_delete", "DROP TABLE bmb_text",
                                 "DROP VIEW bmb_text_source",     "DROP TABLE bmb_text_at"};

} // namespace

int main()
{
    const int registrations = bench::registrations();
    QTemporaryDir dir;
    QTemporaryDir plainDir;
    const QString path = dir.filePath(QStringLiteral("zhao.dat"));
    QString error;
    check(createShippedDatabase(path, &error), "createShippedDatabase");
    sqlite3* bare = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &bare, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK, "open");
    // A file of an earlier version: no index.
    for (const char* sql : dropIndex)
        check(sqlite3_exec(bare, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql);
    bench::generateOffice(path, registrations, "'dd','bm3'", true);
    check(sqlite3_exec(bare, "VACUUM", nullptr, nullptr, nullptr) == SQLITE_OK, "vacuum");
    const double withoutIndexBytes = scalar(bare, "SELECT page_count * page_size FROM pragma_page_count, pragma_page_size");
    check(QFile::copy(path, plainDir.filePath(QStringLiteral("zhao.dat"))), "copy");

    DbConnection connection;
    check(connection.openDatabase(connectionStringFor(dir.path())), "open the program's connection");
    check(!connection.textIndexBuilt(), "no index before the upgrade");
    const bench::Clock::time_point start = bench::Clock::now();
    const double cpuStart = cpuSeconds();
    check(connection.buildTextIndex([](qint64, qint64) {}), "build");
    const double build = bench::secondsSince(start);
    const double buildCpu = cpuSeconds() - cpuStart;

    const double total = scalar(bare, "SELECT page_count * page_size FROM pragma_page_count, pragma_page_size");
    const double index = scalar(bare, "SELECT sum(pgsize) FROM dbstat WHERE name LIKE 'bmb_text%'");
    sqlite3_close(bare);

    // The same file without the index beside it, saved to in alternation.
    DbConnection plain;
    check(plain.openDatabase(connectionStringFor(plainDir.path())), "open the copy");
    check(!plain.textIndexBuilt(), "the copy has no index");
    std::vector<double> kept;
    std::vector<double> without;
    for (int i = 0; i < 60; ++i) {
        kept.push_back(oneSave(connection, i));
        without.push_back(oneSave(plain, i));
    }

    // The page check after login, stopped by a close 50 ms after it began.
    const bench::Clock::time_point checkStart = bench::Clock::now();
    check(checkDatabaseFile(path, CheckDepth::Quick).usable(), "page check");
    const double wholeCheck = bench::secondsSince(checkStart);
    CheckStop stop;
    bench::Clock::time_point requested;
    std::thread closing([&stop, &requested] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        requested = bench::Clock::now();
        stop.request();
    });
    checkDatabaseFile(path, CheckDepth::Quick, 2000, &stop);
    const bench::Clock::time_point ended = bench::Clock::now();
    closing.join();
    // Negative when the check was over before the stop.
    const double stopLatency = std::chrono::duration<double>(ended - requested).count();

    std::printf("registrations            %d\n", registrations);
    std::printf("page check               %.0f ms whole; stopped 50 ms in, it ends %.1f ms after the stop\n",
                wholeCheck * 1e3, stopLatency * 1e3);
    std::printf("build of the index       %.1f s wall, %.1f s CPU\n", build, buildCpu);
    std::printf("file before / after      %.1f MB / %.1f MB\n", withoutIndexBytes / 1e6, total / 1e6);
    std::printf("index                    %.1f MB = %.1f %% of the file before, %.1f %% of the file after\n",
                index / 1e6, 100.0 * index / withoutIndexBytes, 100.0 * index / total);
    std::printf("one save (median of 60)  %.2f ms with the index, %.2f ms without, ratio %.2f\n",
                median(kept) * 1e3, median(without) * 1e3, median(kept) / median(without));
    return 0;
}
