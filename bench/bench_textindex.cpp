// The index of the text items on 100 000 registrations (another size with
// BRENVO_BENCH_REGISTRATIONS=1000000):
//   build: the index made for a zhao.dat of an earlier version, as its first
//     opening after the upgrade does (target: 1 000 000 rows within 60 s);
//   size: the index's pages beside the whole file's (target: at most 35 %);
//   save: one registration stored as the add page stores it (one statement,
//     its own transaction) with the index kept, beside the same without the
//     index's triggers, on the same file (target: at most 1.3x).

#include "officedata.h"

#include "store/database.h"
#include "store/schema.h"

#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

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

// Seconds per save of `saves` registrations through the program's connection.
double secondsPerSave(DbConnection& connection, int saves)
{
    std::unique_ptr<RecordSet> target;
    const bench::Clock::time_point start = bench::Clock::now();
    for (int i = 0; i < saves; ++i)
        check(connection.executeStatement(
                  QStringLiteral("INSERT INTO bmb (xm,xb,nl,zj,lx1,lx2,dtime,sh,fk,status) values ('新生%1',1,18,"
                                 "'330106200001011234','13912345678','城区新路%1号','2013年5月6日14时3分9秒',0,0,1)")
                      .arg(i),
                  target),
              "save");
    return bench::secondsSince(start) / saves;
}

} // namespace

int main()
{
    const int registrations = bench::registrations();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zhao.dat"));
    QString error;
    check(createShippedDatabase(path, &error), "createShippedDatabase");
    bench::generateOffice(path, registrations, "'dd','bm3'", true);

    sqlite3* bare = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &bare, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK, "open");
    // A file of an earlier version: no index.
    for (const char* sql : {"DROP TRIGGER bmb_text_insert", "DROP TRIGGER bmb_text_update", "DROP TRIGGER bmb_text_delete",
                            "DROP TABLE bmb_text", "DROP VIEW bmb_text_source", "DROP TABLE bmb_text_at", "VACUUM"})
        check(sqlite3_exec(bare, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql);
    const double withoutIndexBytes = scalar(bare, "SELECT page_count * page_size FROM pragma_page_count, pragma_page_size");

    DbConnection connection;
    check(connection.openDatabase(connectionStringFor(dir.path())), "open the program's connection");
    check(!connection.textIndexBuilt(), "no index before the upgrade");
    const bench::Clock::time_point start = bench::Clock::now();
    check(connection.buildTextIndex([](qint64, qint64) {}), "build");
    const double build = bench::secondsSince(start);

    const double total = scalar(bare, "SELECT page_count * page_size FROM pragma_page_count, pragma_page_size");
    const double index = scalar(bare, "SELECT sum(pgsize) FROM dbstat WHERE name LIKE 'bmb_text%'");

    constexpr int saves = 40;
    const double kept = secondsPerSave(connection, saves);
    for (const char* sql : {"DROP TRIGGER bmb_text_insert", "DROP TRIGGER bmb_text_update", "DROP TRIGGER bmb_text_delete"})
        check(sqlite3_exec(bare, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql);
    const double plain = secondsPerSave(connection, saves);
    sqlite3_close(bare);

    std::printf("registrations            %d\n", registrations);
    std::printf("build of the index       %.1f s\n", build);
    std::printf("file before / after      %.1f MB / %.1f MB\n", withoutIndexBytes / 1e6, total / 1e6);
    std::printf("index                    %.1f MB = %.1f %% of the file before, %.1f %% of the file after\n",
                index / 1e6, 100.0 * index / withoutIndexBytes, 100.0 * index / total);
    std::printf("one save, index kept     %.2f ms\n", kept * 1e3);
    std::printf("one save, without index  %.2f ms   ratio %.2f\n", plain * 1e3, kept / plain);
    return 0;
}
