// The browse page of a desk on the PostgreSQL server, 100 000 registrations
// (5% in the recycle bin): pressing 查 找 until the first page of the list is
// filled and the page count known, beside plain libpq doing the least work
// that fills the same screen: the count of the matching rows and the first
// 50 of them in order. Each benchmark times both in alternation and reports
// the page's time (manual time), the plain time and their ratio.
//
//   search cases: no condition, a name (Jet's like), gender + review state,
//   a programme among the other choices (bm3)
//   target: every case within 1.5x of plain libpq
//
// Needs BRENVO_TEST_PG (scripts/test-postgres start prints it); makes a
// database of its own there and drops it at the end.

#include "benchapp.h"
#include "browsecontrols.h"

#include "records/browsepage.h"
#include "store/database.h"
#include "support/pgtestdatabase.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

using bench::Clock;
using bench::check;
using bench::secondsSince;

constexpr int kRegistrations = 100000;
constexpr int kProgrammes = 20;
constexpr int kPageSize = 50;

void runPlain(PGconn* conn, const char* sql)
{
    PGresult* result = PQexec(conn, sql);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        std::fprintf(stderr, "%s\n", PQerrorMessage(conn));
    PQclear(result);
    check(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK, sql);
}

// The same office as the SQLite benchmark: categories, 20 programmes, the
// several-choices item in use, a year and more of registrations.
void generate(PGconn* conn)
{
    runPlain(conn, "BEGIN");
    runPlain(conn, "UPDATE style SET status=1 WHERE zd IN ('dd','bm3')");
    runPlain(conn, "INSERT INTO dd (name,sx,status) SELECT '分部' || c, c, 1 FROM generate_series(1,4) c");
    runPlain(conn, "INSERT INTO zy (name,sx,status,ddid,xuefei) "
                   "SELECT '专业' || p, p, 1, 1 + p % 4, 1200 FROM generate_series(1,20) p");
    runPlain(conn, "SELECT setseed(0.2013)");
    runPlain(conn,
             "INSERT INTO bmb (status,xm,xb,nl,dtime,sh,fk,lx1,dd,bm1,bm2,bm3,mz,zj,kz1,kz3) "
             "SELECT CASE WHEN random() < 0.05 THEN 0 ELSE 1 END, "
             "(ARRAY['王','李','张','刘','陈','杨','赵','黄','周','吴'])[1 + floor(random() * 10)::int] "
             "|| (ARRAY['小明','丽','伟','芳','Abc','静','强','敏','磊','洋'])[1 + floor(random() * 10)::int] || (i % 97), "
             "1 + floor(random() * 2)::int, 15 + floor(random() * 30)::int, "
             "timestamp '2012-01-01 08:00:00' + make_interval(secs => i * 300 + floor(random() * 300)), "
             "floor(random() * 3)::int - 1, floor(random() * 3)::int - 1, "
             "'138' || (10000000 + floor(random() * 89999999)::int), 1 + floor(random() * 4)::int, "
             "1 + floor(random() * 20)::int, 1 + floor(random() * 20)::int, "
             "'^' || (1 + floor(random() * 20)::int) || '^^' || (1 + floor(random() * 20)::int) || '^', "
             "'汉族', '3301' || (100000000000 + floor(random() * 899999999)::bigint), '高中', "
             "(ARRAY['^体育^','^音乐^^美术^','^计算机^','^体育^^计算机^',''])[1 + floor(random() * 5)::int] "
             "FROM generate_series(0, 99999) i");
    runPlain(conn, "COMMIT");
    runPlain(conn, "ANALYZE");
}

struct Fixture : bench::BrowseControls {
    TestPgDatabase server;
    QTemporaryDir dir;
    AppState state;
    PGconn* plain = nullptr;
    QByteArray rowColumns;

    Fixture()
    {
        if (!server.configured()) {
            std::fprintf(stderr, "%s\n", qPrintable(TestPgDatabase::skipReason()));
            std::exit(0);
        }
        check(server.isReady(), "a database on the server");
        check(dir.isValid(), "temporary directory");
        // The desk sets the empty database up, as the first desk of an office does.
        bench::openProgramState(state, dir.path(),
                                [this](DbConnection& c) { return c.openServer(server.connectionString()); });

        plain = PQconnectdb(server.connectionString().toUtf8().constData());
        check(PQstatus(plain) == CONNECTION_OK, "plain connection");
        runPlain(plain, "SET client_encoding TO 'UTF8'");
        generate(plain);

        page = std::make_unique<BrowsePage>(state, QSize(628, 470));
        page->pageSizeEditor()->setText(QString::number(kPageSize));
        page->enter(false);
        rowColumns = "id," + page->columnList().toUtf8() + ",dtime,sh,fk";
    }
    // The page goes before the state it works on.
    ~Fixture()
    {
        page.reset();
        PQfinish(plain);
    }

    // The screen's least work in plain libpq: the count, then the first page's
    // rows in order, every value read as text.
    int plainScreen(const QByteArray& where, size_t& bytes)
    {
        PGresult* counted = PQexec(plain, ("select count(*) from bmb where " + where).constData());
        check(PQresultStatus(counted) == PGRES_TUPLES_OK, "plain count");
        const int total = atoi(PQgetvalue(counted, 0, 0));
        PQclear(counted);
        PGresult* rows = PQexec(plain, ("select " + rowColumns + " from bmb where " + where
                                        + " order by dtime desc limit " + QByteArray::number(kPageSize))
                                           .constData());
        check(PQresultStatus(rows) == PGRES_TUPLES_OK, "plain page");
        for (int r = 0; r < PQntuples(rows); ++r)
            for (int c = 0; c < PQnfields(rows); ++c) {
                benchmark::DoNotOptimize(PQgetvalue(rows, r, c));
                bytes += size_t(PQgetlength(rows, r, c));
            }
        PQclear(rows);
        return total;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

template <typename Work>
double timed(Work&& work, double& sum)
{
    const Clock::time_point start = Clock::now();
    work();
    const double seconds = secondsSince(start);
    sum += seconds;
    return seconds;
}

void searchCase(benchmark::State& state, const std::function<void(Fixture&)>& setConditions, const char* plainWhere)
{
    Fixture& f = fixture();
    f.clearConditions();
    setConditions(f);
    QPushButton* search = f.find<QPushButton>("按钮_信息浏览");
    double pageSeconds = 0, plainSeconds = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        state.SetIterationTime(timed([&] { search->click(); }, pageSeconds));
        int total = 0;
        timed([&] { total = f.plainScreen(plainWhere, bytes); }, plainSeconds);
        check(total == f.listedTotal(), "same record count");
        check(f.page->rowCount() == std::min(total, kPageSize), "a filled first page");
    }
    benchmark::DoNotOptimize(bytes);
    const double n = double(state.iterations());
    state.counters["rows"] = double(f.listedTotal());
    state.counters["page_ms"] = pageSeconds / n * 1e3;
    state.counters["libpq_ms"] = plainSeconds / n * 1e3;
    state.counters["ratio"] = plainSeconds > 0 ? pageSeconds / plainSeconds : 0.0;
}

void BM_ServerSearchNoCondition(benchmark::State& state)
{
    searchCase(state, [](Fixture&) {}, "status=1");
}

void BM_ServerSearchName(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "姓名", "包含", "小明"); }, "xm ilike '%小明%' and status=1");
}

void BM_ServerSearchRareName(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "姓名", "包含", "王小明42"); }, "xm ilike '%王小明42%' and status=1");
}

void BM_ServerSearchTwoCharacters(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "姓名", "包含", "王丽"); }, "xm ilike '%王丽%' and status=1");
}

void BM_ServerSearchIdNumber(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "身份证号", "包含", "123456"); }, "zj ilike '%123456%' and status=1");
}

void BM_ServerSearchGenderAndReview(benchmark::State& state)
{
    searchCase(
        state,
        [](Fixture& f) {
            f.setCondition(1, "性别", "男");
            f.setCondition(2, "审核", "待审核");
        },
        "xb=1 and sh=0 and status=1");
}

void BM_ServerSearchOtherChoice(benchmark::State& state)
{
    searchCase(
        state, [](Fixture& f) { f.setCondition(1, "其他志愿", "专业7"); }, "bm3 like '%^7^%' and status=1");
}

} // namespace

BENCHMARK(BM_ServerSearchNoCondition)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerSearchName)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerSearchRareName)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerSearchTwoCharacters)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerSearchIdNumber)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerSearchGenderAndReview)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerSearchOtherChoice)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return bench::runWidgetBenchmarks(argc, argv);
}
