// 导出全部结果 over a search that finds 100 000 registrations (or
// BRENVO_BENCH_REGISTRATIONS), through the program's own path: the rows read
// from the browse search, worded as the list shows them, then written with
// the progress window showing. Each kind is set beside its writer alone
// writing the same cells from memory, timed in alternation in the same run.
//
//   xlsx: beside libxlsxwriter alone (target: the export under 5 s)
//   csv:  beside libcsv alone        (target: the export under 1.5 s)
//   read: the rows alone, as the export reads them (no target; where the
//         time of the two goes)

#include "barewriters.h"
#include "benchapp.h"
#include "officedata.h"

#include "records/browsepage.h"
#include "records/export.h"
#include "store/database.h"
#include "store/schema.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <csv.h>
#include <sqlite3.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <memory>

namespace {

using bench::Clock;
using bench::check;
using bench::secondsSince;

const int kRegistrations = bench::registrations();

// Registrations as an office fills them in, with an extra item; every one
// live, so the search finds all.
void generate(const QString& path)
{
    bench::generateOffice(path, kRegistrations, "'dd','bm1','bm3','lx1','zj','kz1'", false);
}

// The generated zhao.dat and the browse page over it after 信息浏览, the
// search run; the cells the export writes, read once for the writers alone.
struct Fixture {
    QTemporaryDir dir;
    AppState state;
    std::unique_ptr<BrowsePage> page;
    ExportTable table;

    Fixture()
    {
        bench::generatedDatabase(dir, generate);
        bench::openProgramState(state, dir.path(),
                                [this](DbConnection& c) { return bench::openProgramDatabase(c, dir.path()); });
        page = std::make_unique<BrowsePage>(state, QSize(628, 470));
        page->pageSizeEditor()->setText(QStringLiteral("50"));
        page->enter(false);
        check(page->resultCount() == kRegistrations, "the search finds every registration");
        table = exportTableOf(page->recordList());
        check(page->allResultRows(table.rows, nullptr, nullptr), "every row read");
        check(table.rows.size() == kRegistrations, "every row read");
    }
    // The page goes before the state it works on.
    ~Fixture() { page.reset(); }

    QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void report(benchmark::State& state, double oursSeconds, double bareSeconds)
{
    const double n = double(state.iterations());
    state.counters["ours_ms"] = oursSeconds / n * 1e3;
    state.counters["bare_ms"] = bareSeconds / n * 1e3;
    state.counters["ratio"] = bareSeconds > 0 ? oursSeconds / bareSeconds : 0.0;
    state.counters["rows"] = double(fixture().table.rows.size());
}

// Every field quoted by libcsv, rows ended by CR LF, after the byte-order mark.
void writeBareCsv(const QString& path, const ExportTable& table)
{
    FILE* out = std::fopen(path.toUtf8().constData(), "wb");
    check(out != nullptr, "bare csv");
    std::fputs("\xEF\xBB\xBF", out);
    const auto writeRow = [out](const QStringList& cells) {
        for (int column = 0; column < cells.size(); ++column) {
            if (column > 0)
                std::fputc(',', out);
            const QByteArray bytes = cells[column].toUtf8();
            csv_fwrite(out, bytes.constData(), size_t(bytes.size()));
        }
        std::fputs("\r\n", out);
    };
    writeRow(table.captions);
    for (const QStringList& row : table.rows)
        writeRow(row);
    check(std::fclose(out) == 0, "bare csv written");
}

void exportBeside(benchmark::State& state, const char* name,
                  const std::function<void(const QString&, const ExportTable&)>& writeBare)
{
    Fixture& f = fixture();
    const QString path = f.file(name);
    const QString barePath = f.file("bare") + path.mid(path.lastIndexOf(QLatin1Char('.')));
    ExportFileDialogOverride dialog([path] { return path; });
    double oursSeconds = 0;
    double bareSeconds = 0;
    for (auto _ : state) {
        Clock::time_point t = Clock::now();
        check(exportAllResults(f.state, *f.page, nullptr) == path, "export");
        const double s = secondsSince(t);
        oursSeconds += s;
        state.SetIterationTime(s);
        QFile::remove(path);

        t = Clock::now();
        writeBare(barePath, f.table);
        bareSeconds += secondsSince(t);
        QFile::remove(barePath);
    }
    report(state, oursSeconds, bareSeconds);
}

void BM_ExportAllToXlsx(benchmark::State& state)
{
    exportBeside(state, "all.xlsx", bench::writeBareWorkbook);
}

void BM_ExportAllToCsv(benchmark::State& state)
{
    exportBeside(state, "all.csv", writeBareCsv);
}

void BM_ReadAllResults(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        const Clock::time_point t = Clock::now();
        QVector<QStringList> rows;
        check(f.page->allResultRows(rows, nullptr, nullptr), "read");
        state.SetIterationTime(secondsSince(t));
        check(rows.size() == f.table.rows.size(), "every row read");
    }
}

} // namespace

BENCHMARK(BM_ExportAllToXlsx)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportAllToCsv)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadAllResults)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    return bench::runWidgetBenchmarks(argc, argv);
}
