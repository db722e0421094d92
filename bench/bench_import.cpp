// Registrations in bulk over 100 000 stored ones: importing a CSV file of
// 10 000 rows (read, matched, converted, checked for duplicates, stored in
// one transaction), and the duplicate lookup a save makes, beside plain
// sqlite3 doing the same lookup by the indexed columns.
//
//   targets: the import of 10 000 rows ≤ 3 s; the lookup adds under 5 ms

#include "benchapp.h"

#include "core/lists.h"
#include "form/importfile.h"
#include "form/importrows.h"
#include "platform/sqlengine.h"
#include "store/database.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

using bench::check;

constexpr int kStored = 100000;
constexpr int kImported = 10000;

void run(sqlite3* db, const char* sql)
{
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql);
}

// The stored registrations: names, telephones and id numbers all different.
void generate(const QString& path)
{
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK, "open");
    check(sqlengine::registerJetFunctions(db), "functions");
    run(db, "BEGIN");
    run(db, "UPDATE style SET status=1 WHERE zd IN ('zj','lx1')");
    run(db, "INSERT INTO zy (serverid,name,sx,status,xuefei) VALUES (30,'会计',1,1,1200)");
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO bmb (status,xm,xb,lx1,zj,bm1,dtime,sh,fk) "
                                 "VALUES (1,?,1,?,?,1,'2013-05-06 14:03:09',0,0)",
                             -1, &insert, nullptr) == SQLITE_OK,
          "prepare");
    for (int i = 0; i < kStored; ++i) {
        const QByteArray name = "学生" + QByteArray::number(i);
        const QByteArray phone = "138" + QByteArray::number(10000000 + i);
        const QByteArray idNumber = "3301" + QByteArray::number(100000000000LL + i);
        sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, phone.constData(), int(phone.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, idNumber.constData(), int(idNumber.size()), SQLITE_TRANSIENT);
        check(sqlite3_step(insert) == SQLITE_DONE, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    run(db, "COMMIT");
    run(db, "ANALYZE");
    sqlite3_close(db);
}

struct Fixture {
    QTemporaryDir dir;
    AppState state;
    QString csvPath;
    sqlite3* plain = nullptr;

    Fixture()
    {
        const QString path = bench::generatedDatabase(dir, generate);
        bench::openProgramState(state, dir.path(),
                                [this](DbConnection& c) { return bench::openProgramDatabase(c, dir.path()); });
        ensureCategoryList(state);
        ensureProgrammeList(state);
        ensureFormItems(state);
        check(sqlite3_open_v2(path.toUtf8().constData(), &plain, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK, "plain");

        // New applicants, none of them stored before.
        QVector<QStringList> rows{{"姓名", "性别", "联系电话", "身份证号", "第一志愿"}};
        for (int i = 0; i < kImported; ++i)
            rows.push_back({QStringLiteral("新生%1").arg(i), i % 2 ? QStringLiteral("女") : QStringLiteral("男"),
                            QStringLiteral("139%1").arg(10000000 + i), QStringLiteral("4401%1").arg(100000000000LL + i),
                            QStringLiteral("会计")});
        csvPath = dir.filePath("名单.csv");
        QString error;
        check(writeCsvFile(csvPath, rows, 5, &error), "the file to import");
    }
    ~Fixture() { sqlite3_close(plain); }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// The file from disk to stored rows, as 按钮_导入_开始 does it; the time of
// each step besides the whole.
void BM_Import10000Rows(benchmark::State& state)
{
    Fixture& f = fixture();
    double readSeconds = 0, convertSeconds = 0, duplicateSeconds = 0, storeSeconds = 0;
    for (auto _ : state) {
        bench::Clock::time_point step = bench::Clock::now();
        const auto lap = [&step](double& sum) {
            sum += bench::secondsSince(step);
            step = bench::Clock::now();
        };
        ImportTable table;
        QString error;
        check(readImportFile(f.csvPath, table, &error), "read");
        lap(readSeconds);
        ImportContext context{f.state.formItems, f.state.categoryList, f.state.programmeList, {},
                              QDateTime::currentDateTime()};
        const QStringList columns = matchImportColumns(table.rows.value(0), context.items);
        QVector<ImportRow> rows;
        for (int r = 1; r < table.rows.size(); ++r)
            rows.push_back(convertImportRow(context, columns, table.rows.at(r), r + 1));
        lap(convertSeconds);
        check(markImportDuplicates(rows, context.items,
                                   [&f, &context](const QVector<Registration>& registrations,
                                                  QVector<std::optional<LikelyDuplicate>>& found) {
                                       return findLikelyDuplicates(f.state, context.items, registrations, found);
                                   }),
              "duplicate lookups");
        lap(duplicateSeconds);
        for (const ImportRow& row : rows)
            check(row.problem.isEmpty(), qPrintable(row.problem));
        check(storeImportedRows(f.state, context.items, rows, {}), "store");
        lap(storeSeconds);
        state.PauseTiming();
        check(f.state.db.execute(QStringLiteral("delete * from bmb where xm like '新生%'")), "remove the imported rows");
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["rows"] = kImported;
    state.counters["read_ms"] = readSeconds / n * 1e3;
    state.counters["convert_ms"] = convertSeconds / n * 1e3;
    state.counters["duplicates_ms"] = duplicateSeconds / n * 1e3;
    state.counters["store_ms"] = storeSeconds / n * 1e3;
}

// The lookup of one save, beside the same lookup by the indexed columns in
// plain sqlite3.
void BM_DuplicateLookup(benchmark::State& state)
{
    Fixture& f = fixture();
    Registration registration;
    registration.values.insert(QStringLiteral("xm"), QStringLiteral("学生77777"));
    registration.values.insert(QStringLiteral("lx1"), QStringLiteral("13810077777"));
    registration.values.insert(QStringLiteral("zj"), QStringLiteral("3301100000077777"));
    sqlite3_stmt* plainLookup = nullptr;
    check(sqlite3_prepare_v2(f.plain,
                             "select id from bmb where status=1 and (zj='3301100000077777' "
                             "or (xm='学生77777' and lx1='13810077777')) limit 1",
                             -1, &plainLookup, nullptr) == SQLITE_OK,
          "plain lookup");
    double plainSeconds = 0;
    int found = 0;
    for (auto _ : state) {
        found += findLikelyDuplicate(f.state, f.state.formItems, registration, 0) ? 1 : 0;
        state.PauseTiming();
        const bench::Clock::time_point start = bench::Clock::now();
        while (sqlite3_step(plainLookup) == SQLITE_ROW) {
        }
        sqlite3_reset(plainLookup);
        plainSeconds += bench::secondsSince(start);
        state.ResumeTiming();
    }
    sqlite3_finalize(plainLookup);
    check(found == int(state.iterations()), "the stored registration is found");
    state.counters["plain_ms"] = plainSeconds / double(state.iterations()) * 1e3;
}

} // namespace

BENCHMARK(BM_Import10000Rows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DuplicateLookup)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
