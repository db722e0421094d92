// Registrations in bulk over 100 000 stored ones: importing a CSV file of
// 10 000 rows (read, matched, converted, checked for duplicates, stored in
// one transaction), and the duplicate lookup a save makes, beside plain
// sqlite3 doing the same lookup by the indexed columns. Then a file of
// 1 000 000 rows: how soon the progress moves, the whole import, the
// process's peak memory meanwhile, and an import cancelled half-way.
//
//   targets: the import of 10 000 rows ≤ 3 s; the lookup adds under 5 ms;
//   1 000 000 rows: progress from the first batch, memory ≤ 300 MB

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

#include <cstring>
#include <fstream>

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

        csvPath = newApplicantsFile(kImported);
    }

    // New applicants, none of them stored before, as a CSV file.
    QString newApplicantsFile(int rows)
    {
        const QString path = dir.filePath(QStringLiteral("名单%1.csv").arg(rows));
        QFile file(path);
        check(file.open(QIODevice::WriteOnly), "the file to import");
        file.write(csvByteOrderMark);
        file.write(csvRow({"姓名", "性别", "联系电话", "身份证号", "第一志愿"}));
        for (int i = 0; i < rows; ++i)
            file.write(csvRow({QStringLiteral("新生%1").arg(i), i % 2 ? QStringLiteral("女") : QStringLiteral("男"),
                               QStringLiteral("139%1").arg(10000000 + i), QStringLiteral("4401%1").arg(100000000000LL + i),
                               QStringLiteral("会计")}));
        return path;
    }

    ImportRequest request(const QString& path) const
    {
        ImportRequest wanted;
        wanted.path = path;
        wanted.header = {"姓名", "性别", "联系电话", "身份证号", "第一志愿"};
        wanted.context = {state.formItems, state.categoryList, state.programmeList, {}, QDateTime::currentDateTime()};
        wanted.columns = matchImportColumns(wanted.header, wanted.context.items);
        return wanted;
    }

    void removeImported() { check(state.db.execute(QStringLiteral("delete * from bmb where xm like '新生%'")), "remove"); }
    ~Fixture() { sqlite3_close(plain); }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// The file from disk to stored rows, as 按钮_导入_开始 does it.
void BM_Import10000Rows(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        const ImportOutcome outcome = importRegistrations(f.state, f.request(f.csvPath), [](const ImportProgress&) { return true; });
        check(outcome.result == ImportOutcome::Result::Stored && outcome.stored == kImported, "stored");
        state.PauseTiming();
        f.removeImported();
        state.ResumeTiming();
    }
    state.counters["rows"] = kImported;
}

qint64 storedCount(sqlite3* db)
{
    sqlite3_stmt* count = nullptr;
    check(sqlite3_prepare_v2(db, "select count(*) from bmb", -1, &count, nullptr) == SQLITE_OK
              && sqlite3_step(count) == SQLITE_ROW,
          "count");
    const qint64 rows = sqlite3_column_int64(count, 0);
    sqlite3_finalize(count);
    return rows;
}

// The process's resident memory now and at its peak since the last reset, in MB.
double residentMegabytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::strlen(field))) / 1024.0;
    return 0;
}

void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

constexpr int kMillion = 1000000;

// 1 000 000 rows: the time until the progress first moves, the whole
// import, the process's peak memory meanwhile.
void BM_ImportMillionRows(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString path = f.newApplicantsFile(kMillion);
    for (auto _ : state) {
        resetPeakMemory();
        const double memoryBefore = residentMegabytes("VmRSS:");
        const bench::Clock::time_point start = bench::Clock::now();
        double firstProgress = -1;
        const ImportOutcome outcome = importRegistrations(f.state, f.request(path), [&](const ImportProgress& progress) {
            if (firstProgress < 0 && progress.done > 0)
                firstProgress = bench::secondsSince(start);
            return true;
        });
        const double seconds = bench::secondsSince(start);
        check(outcome.result == ImportOutcome::Result::Stored && outcome.stored == kMillion, "stored");
        state.counters["first_progress_ms"] = firstProgress * 1e3;
        state.counters["import_s"] = seconds;
        state.counters["rss_before_mb"] = memoryBefore;
        state.counters["peak_mb"] = residentMegabytes("VmHWM:");
        state.PauseTiming();
        f.removeImported();
        state.ResumeTiming();
    }
}

// The same file cancelled once a tenth of it is read: how long the cancel
// takes, and that nothing stays stored.
void BM_CancelMillionRowImport(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString path = f.newApplicantsFile(kMillion);
    const qint64 storedBefore = storedCount(f.plain);
    for (auto _ : state) {
        int storedWhenCancelled = 0;
        bench::Clock::time_point cancelled;
        const ImportOutcome stopped = importRegistrations(f.state, f.request(path), [&](const ImportProgress& progress) {
            if (progress.total == 0 || progress.done * 10 < progress.total)
                return true;
            storedWhenCancelled = progress.stored;
            cancelled = bench::Clock::now();
            return false;
        });
        state.counters["cancel_ms"] = bench::secondsSince(cancelled) * 1e3;
        state.counters["stored_when_cancelled"] = storedWhenCancelled;
        check(stopped.result == ImportOutcome::Result::Cancelled, "cancelled");
        check(storedCount(f.plain) == storedBefore, "nothing stored");
    }
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
BENCHMARK(BM_ImportMillionRows)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_CancelMillionRowImport)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_DuplicateLookup)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
