// 导出全部结果: every row of the browse search, all pages, to the file the
// operator names, as a workbook or as CSV.
#include "browsefixture.h"
#include "workbookreader.h"

#include "records/export.h"

#include <QFile>
#include <QtTest>

#include <csv.h>
#include <sqlite3.h>

namespace {

// The rows of a CSV file as libcsv reads them, the byte-order mark dropped.
QVector<QStringList> readCsv(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return {};
    bytes.remove(0, 3);
    struct Rows {
        QVector<QStringList> rows;
        QStringList current;
    } read;
    csv_parser parser;
    csv_init(&parser, 0);
    const auto field = [](void* text, size_t size, void* data) {
        static_cast<Rows*>(data)->current << QString::fromUtf8(static_cast<const char*>(text), qsizetype(size));
    };
    const auto rowEnd = [](int, void* data) {
        auto* rows = static_cast<Rows*>(data);
        rows->rows << rows->current;
        rows->current.clear();
    };
    csv_parse(&parser, bytes.constData(), size_t(bytes.size()), field, rowEnd, &read);
    csv_fini(&parser, field, rowEnd, &read);
    csv_free(&parser);
    return read.rows;
}

QString cellName(int row, int column)
{
    return QString(QChar(u'A' + column)) + QString::number(row + 1);
}

} // namespace

class ExportAllTest : public QObject {
    Q_OBJECT
private slots:
    // 120 registrations, 45 of them picked by the search, shown 20 a page:
    // both files hold the 45 rows of all three pages, the same cells, and the
    // page on show stays.
    void everyResultOfTheSearchInBothKinds()
    {
        BrowseFixture browse;
        QVERIFY(browse.addRegistrations(120));
        QVERIFY(browse.execute(QStringLiteral("update bmb set xm='张,\"三\"' where id=7")));
        QVERIFY(browse.execute(QStringLiteral("update bmb set nl=30 where id<=45")));
        browse.page->pageSizeEditor()->setText(QStringLiteral("20"));
        browse.page->enter(false);
        browse.setCondition(1, QStringLiteral("年龄"), QStringLiteral(">="), QStringLiteral("30"));
        browse.search();
        browse.page->nextPage();
        const QString secondPageFirst = browse.cell(0, 1);
        QCOMPARE(browse.page->resultCount(), 45);

        TestProgramDir dir(false);
        QMap<QString, QVector<QStringList>> written;
        for (const QString& name : {QStringLiteral("all.xlsx"), QStringLiteral("all.csv")}) {
            const QString path = dir.file(name);
            ExportFileDialogOverride dialog([path] { return path; });
            QCOMPARE(exportAllResults(browse.state, *browse.page, nullptr), path);
            QCOMPARE(browse.messages.texts(), QStringList());
        }
        const QVector<QStringList> csv = readCsv(dir.file(QStringLiteral("all.csv")));
        QCOMPARE(csv.size(), 46);
        const WorkbookContents book = readWorkbook(dir.file(QStringLiteral("all.xlsx")));
        QVERIFY(book.valid);
        const int columns = int(csv.first().size());
        QCOMPARE(columns, browse.list()->columnCount());
        for (int row = 0; row < csv.size(); ++row)
            for (int column = 0; column < columns; ++column)
                QCOMPARE(book.cells.value(cellName(row, column)), csv.at(row).at(column));
        QCOMPARE(csv.at(0).at(0), QStringLiteral("序号"));
        QCOMPARE(csv.at(45).at(0), QStringLiteral("45"));
        QVERIFY(std::any_of(csv.begin(), csv.end(), [](const QStringList& row) { return row.contains(QStringLiteral("张,\"三\"")); }));
        QCOMPARE(csv.at(21).at(1), secondPageFirst);

        browse.page->fillBrowsePage();
        QCOMPARE(browse.cell(0, 1), secondPageFirst);
    }

    // The search found rows that cannot be read when it comes to them
    // (another program holds zhao.dat): no file of part of them, and the
    // operator is told why.
    void rowsThatCannotBeReadWriteNoFile()
    {
        if (testsOnServer())
            QSKIP("another program holding the file concerns a desk's own zhao.dat");
        BrowseFixture browse;
        QVERIFY(browse.addRegistrations(30));
        browse.page->enter(false);
        QCOMPARE(browse.page->resultCount(), 30);

        sqlite3* otherProgram = nullptr;
        QCOMPARE(sqlite3_open(browse.dir.databasePath().toUtf8().constData(), &otherProgram), SQLITE_OK);
        QCOMPARE(sqlite3_exec(otherProgram, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        const QString path = browse.dir.file(QStringLiteral("all.csv"));
        ExportFileDialogOverride dialog([path] { return path; });
        const QString written = exportAllResults(browse.state, *browse.page, nullptr);
        sqlite3_exec(otherProgram, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(otherProgram);

        QCOMPARE(written, QString());
        QVERIFY(!QFile::exists(path));
        QCOMPARE(browse.messages.texts().size(), 1);
        QVERIFY2(browse.messages.texts().first().startsWith(QStringLiteral("导出失败：查找结果无法读取\n原因：")),
                 qPrintable(browse.messages.texts().first()));
        QVERIFY(browse.result.startsWith(QStringLiteral("导出失败")));
    }

    void withoutASearchNothingIsAsked()
    {
        BrowseFixture browse;
        bool asked = false;
        ExportFileDialogOverride dialog([&asked] {
            asked = true;
            return QString();
        });
        QCOMPARE(exportAllResults(browse.state, *browse.page, nullptr), QString());
        QCOMPARE(browse.messages.texts(), QStringList{QStringLiteral("请先筛选要导出的数据")});
        QVERIFY(!asked);
    }
};

BRENVO_TEST(ExportAllTest)
#include "test_exportall.moc"
