// The spreadsheet export: the texts it computes, the workbook read back
// from its file, and the whole export with its progress window.
#include "support/openstate.h"
#include "screenshots.h"
#include "workbookreader.h"

#include "platform/messagebox.h"
#include "records/export.h"
#include "records/exportprogress.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

namespace {

// A list laid out as the browse list: 序号, the items, 时间 and the two states.
std::unique_ptr<QTreeWidget> browseLikeList(const QStringList& items, int rows)
{
    auto list = std::make_unique<QTreeWidget>();
    QStringList captions{QStringLiteral("序号")};
    captions << items << QStringLiteral("时间") << QStringLiteral("审核状态") << QStringLiteral("付款状态");
    list->setHeaderLabels(captions);
    list->setColumnWidth(0, 50);
    for (int column = 1; column < captions.size(); ++column)
        list->setColumnWidth(column, 80);
    for (int row = 1; row <= rows; ++row) {
        auto* item = new QTreeWidgetItem(list.get());
        item->setText(0, QString::number(row));
        for (int column = 1; column <= items.size(); ++column)
            item->setText(column, QStringLiteral("%1-%2").arg(row).arg(column));
        item->setText(items.size() + 1, QStringLiteral("2013-05-06 14:03:%1").arg(row, 2, 10, QLatin1Char('0')));
        item->setText(items.size() + 2, QStringLiteral("待审核"));
        item->setText(items.size() + 3, QStringLiteral("待缴费"));
    }
    return list;
}

QString cellRef(int column, int row)
{
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar('A' + (n - 1) % 26));
    return letters + QString::number(row);
}

// Records the workbooks the desktop is asked to open.
class DesktopOpener : public QObject {
    Q_OBJECT
public:
    DesktopOpener() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~DesktopOpener() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toLocalFile(); }
};

ExportProgressWindow* openProgressWindow()
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<ExportProgressWindow*>(top); window && window->isVisible())
            return window;
    return nullptr;
}

} // namespace

class ExportTest : public QObject {
    Q_OBJECT
private slots:
    void progressAfterEveryRow()
    {
        struct Case {
            int rows;
            QVector<std::pair<int, QString>> percentTexts;
        };
        const Case cases[] = {
            {30, {{10, "33%"}, {20, "66%"}, {30, "100%"}}},
            {12, {{10, "83%"}}},
            {9, {}},
            {1000, {}},
        };
        for (const Case& c : cases) {
            QVector<std::pair<int, QString>> shown;
            int previousBar = 0;
            for (int row = 1; row <= c.rows; ++row) {
                if (const auto text = exportPercentText(row, c.rows); text && c.rows != 1000)
                    shown.push_back({row, *text});
                const int bar = exportBarWidth(row, c.rows);
                QVERIFY2(bar >= previousBar && bar <= exportBarFullWidth, qPrintable(QString::number(row)));
                previousBar = bar;
            }
            if (c.rows != 1000)
                QCOMPARE(shown, c.percentTexts);
            QCOMPARE(previousBar, exportBarFullWidth);
        }
        // Whole-number arithmetic: 29 of 100 is 29%, and 290 of 1000 too.
        QCOMPARE(*exportPercentText(290, 1000), QStringLiteral("29%"));
        QCOMPARE(*exportPercentText(570, 1000), QStringLiteral("57%"));
        QCOMPARE(exportBarWidth(1, 3), 86);
        QCOMPARE(exportBarWidth(1, 1000), 0);
        QCOMPARE(exportBarWidth(5, 1000), 1);
    }

    void workbookHoldsTheListAsText()
    {
        auto list = browseLikeList({QStringLiteral("姓名"), QStringLiteral("性别"), QStringLiteral("年龄")}, 12);
        list->topLevelItem(0)->setText(1, QStringLiteral("0012"));
        list->topLevelItem(1)->setText(2, QString());
        const ExportTable table = exportTableOf(*list);
        QCOMPARE(table.captions.size(), 7);
        QCOMPARE(table.rows.size(), 12);

        TestProgramDir dir(false);
        const QString path = dir.file(QStringLiteral("list.xlsx"));
        QVector<int> rowsDone;
        WorkbookError error;
        QVERIFY(writeExportWorkbook(path, table, exportSheetName(2, 3), [&](int row) { rowsDone << row; }, &error));
        QCOMPARE(rowsDone.size(), 12);
        QCOMPARE(rowsDone.last(), 12);

        const WorkbookContents book = readWorkbook(path);
        QVERIFY(book.valid);
        QCOMPARE(book.sheetName, QStringLiteral("Brenvo报名 第2页 共3页"));
        // a1..g13 and nothing beyond.
        QCOMPARE(book.cells.size(), 7 * 13);
        QVERIFY(book.cells.contains(QStringLiteral("G13")));
        QVERIFY(!book.cells.contains(QStringLiteral("H1")) && !book.cells.contains(QStringLiteral("A14")));
        const QStringList header{"序号", "姓名", "性别", "年龄", "时间", "审核状态", "付款状态"};
        for (int column = 1; column <= 7; ++column) {
            const QString ref = cellRef(column, 1);
            QCOMPARE(book.cells[ref], header[column - 1]);
            const CellStyle& style = book.styles[ref];
            QVERIFY2(style.bold && style.fontSize == 12, qPrintable(ref));
            QCOMPARE(style.horizontal, QStringLiteral("center"));
            QCOMPARE(style.vertical, QStringLiteral("center"));
            QCOMPARE(style.numberFormat, 49);  // "@", text
            QCOMPARE(style.border, QStringLiteral("thin"));
        }
        for (int row = 2; row <= 13; ++row)
            for (int column = 1; column <= 7; ++column) {
                const QString ref = cellRef(column, row);
                QCOMPARE(book.cells[ref], list->topLevelItem(row - 2)->text(column - 1));
                const CellStyle& style = book.styles[ref];
                QVERIFY2(!style.bold && style.numberFormat == 49 && style.border == QLatin1String("thin"),
                         qPrintable(ref));
            }
        // Numbers and ids stay the texts the list shows.
        QCOMPARE(book.cells[QStringLiteral("B2")], QStringLiteral("0012"));
        QCOMPARE(book.cellTypes[QStringLiteral("A2")], QStringLiteral("s"));
        QCOMPARE(book.cells[QStringLiteral("C3")], QString());
        // 80 pixels give 13 characters; Excel stores the width with its padding.
        QCOMPARE(int(book.columnWidths[2]), 13);
        QCOMPARE(int(book.columnWidths[1]), 8);
    }

    void columnsPastZContinueWithTwoLetters()
    {
        QStringList items;
        for (int i = 1; i <= 27; ++i)
            items << QStringLiteral("项目%1").arg(i);
        auto list = browseLikeList(items, 2);
        TestProgramDir dir(false);
        const QString path = dir.file(QStringLiteral("wide.xlsx"));
        QVERIFY(writeExportWorkbook(path, exportTableOf(*list), exportSheetName(1, 1), {}, nullptr));
        const WorkbookContents book = readWorkbook(path);
        QCOMPARE(book.cells[QStringLiteral("Z1")], QStringLiteral("项目25"));
        QCOMPARE(book.cells[QStringLiteral("AB1")], QStringLiteral("项目27"));
        QCOMPARE(book.cells[QStringLiteral("AE1")], QStringLiteral("付款状态"));
        QCOMPARE(book.cells[QStringLiteral("AE3")], QStringLiteral("待缴费"));
    }

    void exportOpensTheWorkbookOrSaysWhereItIs()
    {
        auto list = browseLikeList({QStringLiteral("姓名")}, 30);
        for (const bool desktopCanOpen : {true, false}) {
            OpenState open;
            MessageRecorder messages;
            std::unique_ptr<DesktopOpener> opener(desktopCanOpen ? new DesktopOpener : nullptr);
            const QString path = exportListToSpreadsheet(open.state, *list, 1, 1, nullptr);
            QVERIFY(!path.isEmpty());
            QVERIFY(path.endsWith(QLatin1String(".xlsx")));
            QVERIFY(path.startsWith(QDir::tempPath()));
            const WorkbookContents book = readWorkbook(path);
            QFile::remove(path);
            QCOMPARE(book.cells.size(), 5 * 31);
            QCOMPARE(book.cells[QStringLiteral("B31")], QStringLiteral("30-1"));
            if (desktopCanOpen) {
                QCOMPARE(opener->opened, QStringList{path});
                QCOMPARE(open.reporter.results, QStringList{exportOpenedText(path)});
            } else {
                QCOMPARE(open.reporter.results, QStringList{exportNotOpenedText(path)});
                QVERIFY(open.reporter.results.first().contains(path));
            }
            QVERIFY(messages.messages().isEmpty());
            QVERIFY2(!openProgressWindow(), "the progress window closes once the export is done");
        }
    }

    // The workbook is written where it cannot be: the reason is the system's.
    void aWorkbookThatCannotBeWrittenSaysWhy_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder is a file") << "file" << QStringLiteral("路径中有一项不是文件夹");
        QTest::newRow("no such folder") << "missing" << QStringLiteral("文件夹不存在");
        QTest::newRow("disk full") << "full" << QStringLiteral("磁盘空间不足");
        QTest::newRow("read-only folder") << "read-only" << QStringLiteral("没有写入权限");
        QTest::newRow("a cell longer than a spreadsheet cell") << "long" << exportCellTooLongText(2, QStringLiteral("姓名"));
    }
    void aWorkbookThatCannotBeWrittenSaysWhy()
    {
        QFETCH(QString, place);
        QFETCH(QString, reason);
        TestProgramDir dir(false);
        QString path;
        if (place == QLatin1String("file")) {
            QFile(dir.file(QStringLiteral("plain-file"))).open(QIODevice::WriteOnly);
            path = dir.file(QStringLiteral("plain-file/list.xlsx"));
        } else if (place == QLatin1String("missing")) {
            path = dir.file(QStringLiteral("no-such-folder/list.xlsx"));
        } else if (place == QLatin1String("full")) {
            // The device that is always full, reached through a link of our own.
            if (!QFileInfo::exists(QStringLiteral("/dev/full")))
                QSKIP("no /dev/full on this system");
            path = dir.file(QStringLiteral("full.xlsx"));
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
        } else if (place == QLatin1String("long")) {
            path = dir.file(QStringLiteral("long.xlsx"));
        } else {
            const QString folder = dir.file(QStringLiteral("read-only"));
            QVERIFY(QDir().mkpath(folder));
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            QFile probe(folder + QStringLiteral("/probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                QSKIP("permissions do not stop this user from writing");
            }
            path = folder + QStringLiteral("/list.xlsx");
        }
        auto list = browseLikeList({QStringLiteral("姓名")}, 3);
        if (place == QLatin1String("long"))
            list->topLevelItem(1)->setText(1, QString(32768, QLatin1Char('x')));
        WorkbookError error;
        const bool written = writeExportWorkbook(path, exportTableOf(*list), exportSheetName(1, 1), {}, &error);
        QFile::setPermissions(dir.file(QStringLiteral("read-only")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!written);
        QVERIFY(!error.writerUnavailable);
        QCOMPARE(error.reason, reason);
        QVERIFY2(!QFileInfo::exists(path) && !QFileInfo(path).isSymLink(), "no half-written workbook stays");
    }

    void anExportThatCannotBeWrittenNamesTheFileAndTheReason()
    {
        auto list = browseLikeList({QStringLiteral("姓名")}, 3);
        OpenState open;
        MessageRecorder messages;
        const QByteArray previousTemp = qgetenv("TMPDIR");
        // A temporary "directory" that is a file: nothing can be written in it,
        // whoever runs the export.
        const QString notADirectory = open.dir.file(QStringLiteral("plain-file"));
        QFile(notADirectory).open(QIODevice::WriteOnly);
        qputenv("TMPDIR", QFile::encodeName(notADirectory));
        const QString path = exportListToSpreadsheet(open.state, *list, 1, 1, nullptr);
        qputenv("TMPDIR", previousTemp);

        QVERIFY(path.isEmpty());
        QCOMPARE(messages.messages().size(), 1);
        const RecordedMessage& box = messages.messages().first();
        QVERIFY2(box.text.startsWith(QStringLiteral("导出失败：工作簿无法写入 ") + notADirectory + QLatin1Char('/')),
                 qPrintable(box.text));
        QVERIFY(box.text.contains(QStringLiteral(".tmp.xlsx\n原因：路径中有一项不是文件夹")));
        QVERIFY(!box.text.contains(QStringLiteral("EXCEL")));
        QCOMPARE(box.style, int(MessageStyle::Error | MessageStyle::SystemModal));
        QCOMPARE(box.closeAfterMs, 0);
        ExportProgressWindow* progress = openProgressWindow();
        QVERIFY2(progress, "after a failure the progress window stays for the operator to close");
        QCOMPARE(progress->findChild<QLabel*>(QStringLiteral("透明标签_标题"))->text(),
                 QStringLiteral("失败：路径中有一项不是文件夹"));
        auto* closeButton = progress->findChild<QPushButton*>(QStringLiteral("超级按钮1"));
        QVERIFY(closeButton->isVisible());
        closeButton->click();
        QVERIFY(!openProgressWindow());
        QCOMPARE(open.reporter.results, QStringList{QString(box.text).replace(QLatin1Char('\n'), QLatin1Char(' '))});
    }

    void progressWindowLayout()
    {
        ExportProgressWindow window;
        QCOMPARE(window.size(), QSize(300, 152));
        auto* bar = window.findChild<QLabel*>(QStringLiteral("精度标签"));
        QVERIFY(bar);
        QCOMPARE(bar->width(), 0);
        QVERIFY(window.findChild<QWidget*>(QStringLiteral("外形框1")));
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("计数透明标签")));
        QVERIFY(window.findChild<QPushButton*>(QStringLiteral("超级按钮1"))->isHidden());
        window.setBarWidth(400);
        QCOMPARE(window.barWidth(), exportBarFullWidth);
        window.setStatusText(QStringLiteral("共1000条数据  正在导出请稍后..."));
        window.setBarWidth(129);
        window.setPercentText(QStringLiteral("50%"));
        window.show();
        QVERIFY(!takeScreenshot(window, QStringLiteral("export-progress")).isNull());
    }
};

BRENVO_TEST(ExportTest)
#include "test_export.moc"
