// The browse page on 100 000 registrations (5% in the recycle bin; another
// size with BRENVO_BENCH_REGISTRATIONS=1000000): pressing 查 找 until the
// first page of the list is filled and the page count is known, and turning a
// page, each beside the least plain sqlite3 work that fills the same screen:
// the count of the matches and the first 50 rows in order (select count(*)
// … where W; select … where W order by dtime desc limit 50). A page turn is
// set beside the same page read with limit/offset. Each benchmark times both
// in alternation and reports the page's time (manual time), the bare time and
// their ratio. The machine may be shared, so the thread's CPU time of each
// side is reported as well (page_cpu_ms, bare_cpu_ms, cpu_ratio).
//
//   search cases: no condition, a name (like '%…%'), gender + review state,
//   a programme among the other choices (bm3)
//   page turns: forward from the first page, backward from the last, forward
//   with a name condition; the last page straight after a search, with and
//   without a condition (slowest_ms: the slowest single turn)
//   targets: every search within 1.5x of bare; a page turn under 5 ms
//   anywhere, the last page included

#include "benchapp.h"
#include "browsecontrols.h"

#include "platform/sqlengine.h"
#include "records/browsepage.h"
#include "store/database.h"
#include "store/schema.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

namespace {

using bench::Clock;
using bench::check;
using bench::secondsSince;

const int kRegistrations = bench::registrations();
constexpr int kProgrammes = 20;
constexpr int kPageSize = 50;

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Wall-clock and CPU time of each side, summed over the iterations, and the
// slowest page by each.
struct Timings {
    double page = 0, bare = 0, pageCpu = 0, bareCpu = 0, slowest = 0, slowestCpu = 0;
};

// Times one side: its wall-clock seconds, both added to the sums given.
template <typename Work>
double timed(Work&& work, double& wall, double& cpu)
{
    const double cpuStart = threadCpuSeconds();
    const Clock::time_point start = Clock::now();
    work();
    const double seconds = secondsSince(start);
    wall += seconds;
    cpu += threadCpuSeconds() - cpuStart;
    return seconds;
}

void run(sqlite3* db, const char* sql)
{
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_DONE, sql);
    sqlite3_finalize(s);
}

void generate(const QString& path)
{
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK, "open");
    check(sqlengine::registerJetFunctions(db), "functions");
    run(db, "BEGIN");
    // The form as an office with categories and several choices uses it.
    run(db, "UPDATE style SET status=1 WHERE zd IN ('dd','bm3')");
    for (int c = 1; c <= 4; ++c)
        run(db, QStringLiteral("INSERT INTO dd (name,sx,status) VALUES ('分部%1',%1,1)").arg(c).toUtf8().constData());
    for (int p = 1; p <= kProgrammes; ++p)
        run(db, QStringLiteral("INSERT INTO zy (name,sx,status,ddid,xuefei) VALUES ('专业%1',%1,1,%2,1200)")
                    .arg(p)
                    .arg(1 + p % 4)
                    .toUtf8()
                    .constData());

    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO bmb (status,xm,xb,nl,dtime,sh,fk,lx1,dd,bm1,bm2,bm3,mz,zj,kz1,kz3) "
                             "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,'汉族',?,'高中',?)",
                             -1, &insert, nullptr)
              == SQLITE_OK,
          "prepare insert");
    static const char* const family[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴"};
    static const char* const given[] = {"小明", "丽", "伟", "芳", "Abc", "静", "强", "敏", "磊", "洋"};
    static const char* const hobbies[] = {"^体育^", "^音乐^^美术^", "^计算机^", "^体育^^计算机^", ""};
    std::mt19937 random(20130506);
    const QDateTime first(QDate(2012, 1, 1), QTime(8, 0));
    for (int i = 0; i < kRegistrations; ++i) {
        const QByteArray name = QByteArray(family[random() % 10]) + given[random() % 10] + QByteArray::number(i % 97);
        const QByteArray when = first.addSecs(qint64(i) * 300 + qint64(random() % 300)).toString("yyyy-MM-dd HH:mm:ss").toUtf8();
        const QByteArray phone = "138" + QByteArray::number(10000000 + int(random() % 89999999));
        const QByteArray bm3 = "^" + QByteArray::number(1 + int(random() % kProgrammes)) + "^^"
                               + QByteArray::number(1 + int(random() % kProgrammes)) + "^";
        const QByteArray idNumber = "3301" + QByteArray::number(100000000000LL + qint64(random() % 899999999));
        const QByteArray hobby = hobbies[random() % 5];
        sqlite3_bind_int(insert, 1, random() % 20 == 0 ? 0 : 1);
        sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 3, 1 + int(random() % 2));
        sqlite3_bind_double(insert, 4, 15 + int(random() % 30));
        sqlite3_bind_text(insert, 5, when.constData(), int(when.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 6, int(random() % 3) - 1);
        sqlite3_bind_int(insert, 7, int(random() % 3) - 1);
        sqlite3_bind_text(insert, 8, phone.constData(), int(phone.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 9, 1 + int(random() % 4));
        sqlite3_bind_int(insert, 10, 1 + int(random() % kProgrammes));
        sqlite3_bind_int(insert, 11, 1 + int(random() % kProgrammes));
        sqlite3_bind_text(insert, 12, bm3.constData(), int(bm3.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 13, idNumber.constData(), int(idNumber.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 14, hobby.constData(), int(hobby.size()), SQLITE_TRANSIENT);
        check(sqlite3_step(insert) == SQLITE_DONE, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    run(db, "COMMIT");
    run(db, "ANALYZE");
    sqlite3_close(db);
}

// The generated zhao.dat, the browse page over it as the program has it
// after entering, and a bare handle of its own.
struct Fixture : bench::BrowseControls {
    QTemporaryDir dir;
    AppState state;
    sqlite3* bare = nullptr;

    Fixture()
    {
        const QString path = bench::generatedDatabase(dir, generate);
        bench::openProgramState(state, dir.path(),
                                [this](DbConnection& c) { return bench::openProgramDatabase(c, dir.path()); });
        page = std::make_unique<BrowsePage>(state, QSize(628, 470));
        page->pageSizeEditor()->setText(QString::number(kPageSize));
        page->enter(false);

        check(sqlite3_open_v2(path.toUtf8().constData(), &bare, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK, "bare open");
    }
    // The page goes before the state it works on.
    ~Fixture()
    {
        page.reset();
        sqlite3_close(bare);
    }

    // The rows of the list in the order of the page, every column as text:
    // the page number's 50 rows with limit/offset.
    size_t readBarePage(const QByteArray& where, qint64 firstRow)
    {
        const QByteArray sql = "select id," + page->columnList().toUtf8() + ",dtime,sh,fk from bmb where " + where
                               + " order by dtime desc limit " + QByteArray::number(kPageSize) + " offset "
                               + QByteArray::number(firstRow);
        sqlite3_stmt* s = nullptr;
        check(sqlite3_prepare_v2(bare, sql.constData(), -1, &s, nullptr) == SQLITE_OK, sql.constData());
        size_t bytes = 0;
        const int columns = sqlite3_column_count(s);
        while (sqlite3_step(s) == SQLITE_ROW)
            for (int c = 0; c < columns; ++c) {
                benchmark::DoNotOptimize(sqlite3_column_text(s, c));
                bytes += size_t(sqlite3_column_bytes(s, c));
            }
        sqlite3_finalize(s);
        return bytes;
    }

    qint64 bareCount(const QByteArray& where)
    {
        const QByteArray sql = "select count(*) from bmb where " + where;
        sqlite3_stmt* s = nullptr;
        check(sqlite3_prepare_v2(bare, sql.constData(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW,
              sql.constData());
        const qint64 count = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return count;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void report(benchmark::State& state, const Timings& t)
{
    const double n = double(state.iterations());
    state.counters["page_ms"] = t.page / n * 1e3;
    state.counters["bare_ms"] = t.bare / n * 1e3;
    state.counters["ratio"] = t.bare > 0 ? t.page / t.bare : 0.0;
    state.counters["page_cpu_ms"] = t.pageCpu / n * 1e3;
    state.counters["bare_cpu_ms"] = t.bareCpu / n * 1e3;
    state.counters["cpu_ratio"] = t.bareCpu > 0 ? t.pageCpu / t.bareCpu : 0.0;
    if (t.slowest > 0) {
        state.counters["slowest_ms"] = t.slowest * 1e3;
        state.counters["slowest_cpu_ms"] = t.slowestCpu * 1e3;
    }
}

// One search case: the conditions set on the page, and the WHERE clause
// selecting the same rows with SQLite's own operators.
void searchCase(benchmark::State& state, const std::function<void(Fixture&)>& setConditions, const char* where)
{
    Fixture& f = fixture();
    f.clearConditions();
    setConditions(f);
    QPushButton* search = f.find<QPushButton>("按钮_信息浏览");
    Timings t;
    size_t bytes = 0;
    for (auto _ : state) {
        state.SetIterationTime(timed([&] { search->click(); }, t.page, t.pageCpu));
        qint64 count = 0;
        timed(
            [&] {
                count = f.bareCount(where);
                bytes += f.readBarePage(where, 0);
            },
            t.bare, t.bareCpu);
        check(count == f.listedTotal(), "same record count");
        check(f.page->rowCount() == int(std::min<qint64>(count, kPageSize)), "a filled first page");
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["rows"] = double(f.listedTotal());
    report(state, t);
}

void BM_SearchNoCondition(benchmark::State& state)
{
    searchCase(state, [](Fixture&) {}, "status=1");
}

void BM_SearchName(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "姓名", "包含", "小明"); },
        "xm like '%小明%' and status=1");
}

void BM_SearchGenderAndReview(benchmark::State& state)
{
    searchCase(
        state,
        [](Fixture& f) {
            f.setCondition(1, "性别", "男");
            f.setCondition(2, "审核", "待审核");
        },
        "xb=1 and sh=0 and status=1");
}

void BM_SearchOtherChoice(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "其他志愿", "专业7"); },
        "bm3 like '%^7^%' and status=1");
}

// Turning pages one way through a result, as 下一页 or 上一页 does: from
// the first page on, or from the last page (reached as 尾页 would) back; at
// the far end the search is made again. The slowest turn is reported too.
void turnPages(benchmark::State& state, const std::function<void(Fixture&)>& setConditions, const char* where,
               bool forward)
{
    Fixture& f = fixture();
    f.clearConditions();
    setConditions(f);
    QPushButton* search = f.find<QPushButton>("按钮_信息浏览");
    QPushButton* turn = f.find<QPushButton>(forward ? "按钮_下一页" : "按钮_上一页");
    RecordSet* records = f.state.db.browseRecordSet.get();
    auto start = [&] {
        search->click();
        if (!forward) {
            records->setAbsolutePage(records->getPageCount());
            f.page->showPageInfo();
            f.page->fillBrowsePage();
        }
    };
    start();
    Timings t;
    size_t bytes = 0;
    for (auto _ : state) {
        if (!turn->isEnabled())
            start();   // not in the page's time
        const double cpuBefore = t.pageCpu;
        const double seconds = timed([&] { turn->click(); }, t.page, t.pageCpu);
        state.SetIterationTime(seconds);
        t.slowest = std::max(t.slowest, seconds);
        t.slowestCpu = std::max(t.slowestCpu, t.pageCpu - cpuBefore);
        const qint64 firstRow = qint64(f.page->currentPageNumber() - 1) * kPageSize;
        timed([&] { bytes += f.readBarePage(where, firstRow); }, t.bare, t.bareCpu);
        check(f.page->rowCount() > 0, "a filled page");
    }
    benchmark::DoNotOptimize(bytes);
    report(state, t);
}

void BM_NextPage(benchmark::State& state)
{
    turnPages(state, [](Fixture&) {}, "status=1", true);
}

void BM_PreviousPageFromTheLast(benchmark::State& state)
{
    turnPages(state, [](Fixture&) {}, "status=1", false);
}

void BM_NextPageName(benchmark::State& state)
{
    turnPages(
        state, [](Fixture& f) { f.setCondition(1, "姓名", "包含", "小明"); }, "xm like '%小明%' and status=1", true);
}

// Going to the last page straight after a search, as 尾页 would.
void lastPage(benchmark::State& state, const std::function<void(Fixture&)>& setConditions, const char* where)
{
    Fixture& f = fixture();
    f.clearConditions();
    setConditions(f);
    QPushButton* search = f.find<QPushButton>("按钮_信息浏览");
    Timings t;
    size_t bytes = 0;
    for (auto _ : state) {
        search->click();
        RecordSet* records = f.state.db.browseRecordSet.get();
        const double cpuBefore = t.pageCpu;
        const double seconds = timed(
            [&] {
                records->setAbsolutePage(records->getPageCount());
                f.page->showPageInfo();
                f.page->fillBrowsePage();
            },
            t.page, t.pageCpu);
        state.SetIterationTime(seconds);
        t.slowest = std::max(t.slowest, seconds);
        t.slowestCpu = std::max(t.slowestCpu, t.pageCpu - cpuBefore);
        const qint64 firstRow = qint64(f.page->currentPageNumber() - 1) * kPageSize;
        timed([&] { bytes += f.readBarePage(where, firstRow); }, t.bare, t.bareCpu);
        check(f.page->currentPageNumber() > 1 && f.page->rowCount() > 0, "the last page filled");
    }
    benchmark::DoNotOptimize(bytes);
    report(state, t);
}

void BM_LastPage(benchmark::State& state)
{
    lastPage(state, [](Fixture&) {}, "status=1");
}

void BM_LastPageName(benchmark::State& state)
{
    lastPage(
        state, [](Fixture& f) { f.setCondition(1, "姓名", "包含", "小明"); }, "xm like '%小明%' and status=1");
}

} // namespace

BENCHMARK(BM_SearchNoCondition)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchName)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchGenderAndReview)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchOtherChoice)->UseManualTime()->Unit(benchmark::kMillisecond);
// The untimed part of these (the search before the last page, the bare page
// far into a million rows) costs far more than the page itself: a fixed
// number of turns keeps the run short.
BENCHMARK(BM_NextPage)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK(BM_PreviousPageFromTheLast)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK(BM_NextPageName)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK(BM_LastPage)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(30);
BENCHMARK(BM_LastPageName)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(30);

int main(int argc, char** argv)
{
    return bench::runWidgetBenchmarks(argc, argv);
}
