// The export and the statistics at the sizes an office reaches (100 000
// registrations, or BRENVO_BENCH_REGISTRATIONS), each beside the least plain
// work giving the same result, timed in alternation in the same run.
//
//   export:     a 1 000-row page to a workbook with the progress window,
//               beside libxlsxwriter alone writing the same cells
//               (target: under 0.3 s; the progress bar repaints meanwhile)
//   age:        counting the registrations by age (100 categories), beside
//               one grouped query on a bare sqlite3 handle
//               (target: under 100 ms)
//   programmes: counting by a check-box programme item with 20 programmes,
//               beside one grouped query over the item's values whose
//               distinct values are split at the carets
//               (target: under 100 ms, one pass over the registrations)

#include "barewriters.h"
#include "benchapp.h"

#include "core/appstate.h"
#include "records/export.h"
#include "records/statistics.h"
#include "store/schema.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

namespace {

using bench::Clock;
using bench::check;
using bench::secondsSince;

const int kRegistrations = bench::registrations();
constexpr int kProgrammes = 20;
constexpr int kExportRows = 1000;

void report(benchmark::State& state, double oursSeconds, double bareSeconds)
{
    const double n = double(state.iterations());
    state.counters["ours_ms"] = oursSeconds / n * 1e3;
    state.counters["bare_ms"] = bareSeconds / n * 1e3;
    state.counters["ratio"] = bareSeconds > 0 ? oursSeconds / bareSeconds : 0.0;
}

// A temporary zhao.dat with the registrations, open in an AppState and on a
// bare handle of its own.
struct Fixture {
    QTemporaryDir dir;
    AppState state;
    sqlite3* bare = nullptr;

    Fixture()
    {
        const QString path = bench::generatedDatabase(dir, generate);
        bench::openProgramState(state, dir.path(),
                                [this](DbConnection& c) { return bench::openProgramDatabase(c, dir.path()); });
        for (int id = 1; id <= kProgrammes; ++id) {
            Programme programme;
            programme.id = id;
            programme.name = QStringLiteral("专业%1").arg(id);
            state.programmeList.push_back(programme);
        }
        check(sqlite3_open_v2(path.toUtf8().constData(), &bare, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK,
              "bare open");
    }
    ~Fixture() { sqlite3_close(bare); }

    static void generate(const QString& path)
    {
        sqlite3* db = nullptr;
        check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK, "open");
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        check(sqlite3_prepare_v2(db, "INSERT INTO bmb (status,xm,xb,nl,dtime,sh,fk,bm3) VALUES (?,?,?,?,?,?,?,?)", -1,
                                 &insert, nullptr)
                  == SQLITE_OK,
              "prepare insert");
        std::mt19937 random(20130506);
        for (int i = 0; i < kRegistrations; ++i) {
            // One to three programmes, each between carets.
            QByteArray bm3;
            for (int n = 1 + int(random() % 3); n > 0; --n)
                bm3 += "^" + QByteArray::number(1 + int(random() % kProgrammes)) + "^";
            const QByteArray name = "姓名" + QByteArray::number(i);
            sqlite3_bind_int(insert, 1, random() % 10 == 0 ? 0 : 1);
            sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 3, 1 + int(random() % 2));
            sqlite3_bind_double(insert, 4, 1 + int(random() % 100));
            sqlite3_bind_text(insert, 5, "2013-05-06 14:03:09", -1, SQLITE_STATIC);
            sqlite3_bind_int(insert, 6, int(random() % 3) - 1);
            sqlite3_bind_int(insert, 7, int(random() % 3) - 1);
            sqlite3_bind_text(insert, 8, bm3.constData(), int(bm3.size()), SQLITE_TRANSIENT);
            check(sqlite3_step(insert) == SQLITE_DONE, "insert");
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "ANALYZE", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// One grouped query: each distinct value of the column and how many
// registrations hold it.
std::vector<std::pair<QByteArray, int>> bareGroups(sqlite3* db, const QString& column)
{
    const QByteArray sql = "select " + column.toUtf8() + ",count(*) from bmb group by 1";
    sqlite3_stmt* statement = nullptr;
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) == SQLITE_OK, "bare prepare");
    std::vector<std::pair<QByteArray, int>> groups;
    while (sqlite3_step(statement) == SQLITE_ROW)
        groups.emplace_back(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
                                       sqlite3_column_bytes(statement, 0)),
                            sqlite3_column_int(statement, 1));
    sqlite3_finalize(statement);
    return groups;
}

// Counts through the program's statements and runner, and the bare counts
// per value (bareCounts turns the grouped rows into them); both must agree.
void countBeside(benchmark::State& state, const QString& column, bool multiChoice,
                 const std::function<std::map<QByteArray, int>(const std::vector<std::pair<QByteArray, int>>&)>& bareCounts)
{
    Fixture& f = fixture();
    QVector<StatisticsCategory> categories = statisticsCategories(column, QString(), f.state);
    const std::optional<QString> statement = statisticsStatement(column, categories, multiChoice, std::nullopt);
    check(statement.has_value(), "statement");
    double oursSeconds = 0;
    double bareSeconds = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        countCategories(f.state, categories, *statement, multiChoice, [](const QString&) { check(false, "count statement"); });
        const double s = secondsSince(t);
        oursSeconds += s;
        state.SetIterationTime(s);

        t = Clock::now();
        const std::map<QByteArray, int> bare = bareCounts(bareGroups(f.bare, column));
        bareSeconds += secondsSince(t);
        for (const StatisticsCategory& category : categories) {
            const auto found = bare.find(category.value.toUtf8());
            check(category.count == (found == bare.end() ? 0 : found->second), "same counts");
        }
    }
    report(state, oursSeconds, bareSeconds);
}

void BM_CountByAge(benchmark::State& state)
{
    countBeside(state, QStringLiteral("nl"), false, [](const std::vector<std::pair<QByteArray, int>>& groups) {
        std::map<QByteArray, int> counts;
        for (const auto& [value, count] : groups)
            counts[QByteArray::number(value.toDouble())] += count;
        return counts;
    });
}

void BM_CountByCheckBoxProgrammes(benchmark::State& state)
{
    countBeside(state, QStringLiteral("bm3"), true, [](const std::vector<std::pair<QByteArray, int>>& groups) {
        std::map<QByteArray, int> counts;
        // A value naming a programme twice counts once under it.
        for (const auto& [value, count] : groups) {
            QList<QByteArray> choices = value.split('^');
            std::sort(choices.begin(), choices.end());
            choices.erase(std::unique(choices.begin(), choices.end()), choices.end());
            for (const QByteArray& choice : choices)
                if (!choice.isEmpty())
                    counts[choice] += count;
        }
        return counts;
    });
}

// Counts paints of the progress bar while an export runs.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->objectName() == QStringLiteral("精度标签"))
            ++paints;
        return false;
    }
};

void BM_ExportPage(benchmark::State& state)
{
    Fixture& f = fixture();
    QTreeWidget list;
    QStringList captions{QStringLiteral("序号")};
    for (int item = 1; item <= 6; ++item)
        captions << QStringLiteral("项目%1").arg(item);
    captions << QStringLiteral("时间") << QStringLiteral("审核状态") << QStringLiteral("付款状态");
    list.setHeaderLabels(captions);
    for (int row = 1; row <= kExportRows; ++row) {
        auto* item = new QTreeWidgetItem(&list);
        item->setText(0, QString::number(row));
        for (int column = 1; column <= 6; ++column)
            item->setText(column, QStringLiteral("值%1-%2").arg(row).arg(column));
        item->setText(7, QStringLiteral("2013-05-06 14:03:09"));
        item->setText(8, QStringLiteral("待审核"));
        item->setText(9, QStringLiteral("已缴费"));
    }
    const ExportTable table = exportTableOf(list);
    QTemporaryDir bareDir;

    PaintCounter counter;
    qApp->installEventFilter(&counter);
    double oursSeconds = 0;
    double bareSeconds = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        const QString path = exportListToSpreadsheet(f.state, list, 1, 1, nullptr);
        const double s = secondsSince(t);
        check(!path.isEmpty(), "export");
        QFile::remove(path);
        oursSeconds += s;
        state.SetIterationTime(s);

        const QString barePath = bareDir.filePath(QStringLiteral("bare.xlsx"));
        t = Clock::now();
        bench::writeBareWorkbook(barePath, table);
        bareSeconds += secondsSince(t);
        QFile::remove(barePath);
    }
    qApp->removeEventFilter(&counter);
    state.counters["bar_paints"] = double(counter.paints) / double(state.iterations());
    report(state, oursSeconds, bareSeconds);
}

BENCHMARK(BM_ExportPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_CountByAge)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_CountByCheckBoxProgrammes)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWidgetBenchmarks(argc, argv);
}
