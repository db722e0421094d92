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
//   search cases: no condition, a name: common (小明, one in ten), rare (3+
//   characters, one in 9 700) and of two characters (王丽, one in a hundred),
//   six digits of the ID number and of the phone, gender + review state,
//   a programme among the other choices (bm3)
//   page turns: forward from the first page, backward from the last, forward
//   with a name condition; the last page straight after a search, with and
//   without a condition (slowest_ms: the slowest single turn)
//   targets: every search within 1.5x of bare; a page turn under 5 ms
//   anywhere, the last page included

#include "benchapp.h"
#include "officedata.h"
#include "browsecontrols.h"

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
#include <vector>

namespace {

using bench::Clock;
using bench::check;
using bench::secondsSince;

const int kRegistrations = bench::registrations();
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

void generate(const QString& path)
{
    // The form as an office with categories and several choices uses it.
    bench::generateOffice(path, kRegistrations, "'dd','bm3'", true);
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

// A name only a few registrations have (one in 9 700), of 3+ characters.
void BM_SearchRareName(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "姓名", "包含", "王小明42"); },
        "xm like '%王小明42%' and status=1");
}

// Two characters, one registration in a hundred.
void BM_SearchTwoCharacters(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "姓名", "包含", "王丽"); },
        "xm like '%王丽%' and status=1");
}

void BM_SearchIdNumber(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "身份证号", "包含", "123456"); },
        "zj like '%123456%' and status=1");
}

void BM_SearchPhone(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "联系电话", "包含", "345678"); },
        "lx1 like '%345678%' and status=1");
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
BENCHMARK(BM_SearchRareName)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchTwoCharacters)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchIdNumber)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPhone)->UseManualTime()->Unit(benchmark::kMillisecond);
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
