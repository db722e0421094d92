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

#include "benchapp.h"

#include "platform/sqlengine.h"
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
#include <random>

namespace {

using bench::Clock;
using bench::check;
using bench::secondsSince;

const int kRegistrations = bench::registrations();
constexpr int kProgrammes = 20;

void run(sqlite3* db, const char* sql)
{
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql);
}

// Registrations as an office with categories, programmes, several choices
// and an extra item fills them in; every one live, so the search finds all.
void generate(const QString& path)
{
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK, "open");
    check(sqlengine::registerJetFunctions(db), "functions");
    run(db, "BEGIN");
    run(db, "UPDATE style SET status=1 WHERE zd IN ('dd','bm1','bm3','lx1','zj','kz1')");
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
                             "INSERT INTO bmb (status,xm,xb,nl,dtime,sh,fk,lx1,dd,bm1,bm3,zj,kz1) "
                             "VALUES (1,?,?,?,?,?,?,?,?,?,?,?,?)",
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
        sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 2, 1 + int(random() % 2));
        sqlite3_bind_double(insert, 3, 15 + int(random() % 30));
        sqlite3_bind_text(insert, 4, when.constData(), int(when.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 5, int(random() % 3) - 1);
        sqlite3_bind_int(insert, 6, int(random() % 3) - 1);
        sqlite3_bind_text(insert, 7, phone.constData(), int(phone.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 8, 1 + int(random() % 4));
        sqlite3_bind_int(insert, 9, 1 + int(random() % kProgrammes));
        sqlite3_bind_text(insert, 10, bm3.constData(), int(bm3.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 11, idNumber.constData(), int(idNumber.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 12, hobby.constData(), int(hobby.size()), SQLITE_TRANSIENT);
        check(sqlite3_step(insert) == SQLITE_DONE, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    run(db, "COMMIT");
    run(db, "ANALYZE");
    sqlite3_close(db);
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

void writeBareWorkbook(const QString& path, const ExportTable& table)
{
    lxw_workbook* workbook = workbook_new(path.toUtf8().constData());
    check(workbook != nullptr, "bare workbook");
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* header = workbook_add_format(workbook);
    format_set_bold(header);
    format_set_border(header, LXW_BORDER_THIN);
    lxw_format* cell = workbook_add_format(workbook);
    format_set_border(cell, LXW_BORDER_THIN);
    for (int column = 0; column < table.captions.size(); ++column)
        worksheet_write_string(sheet, 0, lxw_col_t(column), table.captions[column].toUtf8().constData(), header);
    for (int row = 0; row < table.rows.size(); ++row)
        for (int column = 0; column < table.rows[row].size(); ++column)
            worksheet_write_string(sheet, lxw_row_t(row + 1), lxw_col_t(column),
                                   table.rows[row][column].toUtf8().constData(), cell);
    check(workbook_close(workbook) == LXW_NO_ERROR, "bare workbook written");
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
    exportBeside(state, "all.xlsx", writeBareWorkbook);
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
