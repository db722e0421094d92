// The tool bar's 导出EXCEL from the browse page: the page on show, as shown,
// becomes a workbook in the temporary directory; the recycle bin exports
// what it shows. The workbook is read back from its file.
#include "appfixture.h"

#include "app/outlookmenu.h"
#include "records/export.h"
#include "records/workbookreader.h"

#include <QAction>
#include <QFile>
#include <QToolBar>
#include <QTreeWidget>

namespace {

void exportFromToolBar(AppFixture& app)
{
    for (QAction* action : app.find<QToolBar>(QStringLiteral("工具条1"))->actions())
        if (action->text() == QStringLiteral("导出EXCEL"))
            action->trigger();
}

// No application opens workbooks here, so the status bar says where it is.
QString writtenWorkbook(AppFixture& app)
{
    const QString prefix = exportNotOpenedText(QString());
    const QString status = app.statusText();
    return status.startsWith(prefix) ? status.mid(prefix.size()) : QString();
}

} // namespace

class ExportBrowseTest : public QObject {
    Q_OBJECT
private slots:
    // Three form items and twelve registrations on the second of two pages.
    void exportingABrowsePage()
    {
        AppFixture app;
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("UPDATE style SET status=0")));
        QVERIFY(app.execute(QStringLiteral("UPDATE style SET status=1 where zd='xm' or zd='xb' or zd='nl'")));
        for (int n = 1; n <= 24; ++n)
            QVERIFY(app.execute(QStringLiteral("insert into bmb (xm,xb,nl,dtime,status,sh,fk) values "
                                               "('学生%1',%2,%3,'2013-05-%4 08:00:00',1,%5,0)")
                                    .arg(n)
                                    .arg(n % 2 + 1)
                                    .arg(15 + n)
                                    .arg(n, 2, 10, QLatin1Char('0'))
                                    .arg(n % 3 - 1)));
        app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->setText(QStringLiteral("12"));
        app.window->showBrowse(false);
        app.find<QPushButton>(QStringLiteral("按钮_下一页"))->click();
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_信息浏览"));
        QCOMPARE(list->topLevelItemCount(), 12);

        exportFromToolBar(app);
        QVERIFY(app.messages.messages().isEmpty());
        const QString path = writtenWorkbook(app);
        QVERIFY2(path.endsWith(QLatin1String(".xlsx")), qPrintable(app.statusText()));
        const WorkbookContents book = readWorkbook(path);
        QFile::remove(path);
        QCOMPARE(book.sheetName, QStringLiteral("Brenvo报名 第2页 共2页"));
        QCOMPARE(book.cells.size(), 7 * 13);
        QCOMPARE(book.cells[QStringLiteral("A1")], QStringLiteral("序号"));
        QCOMPARE(book.cells[QStringLiteral("G1")], QStringLiteral("付款状态"));
        for (int row = 0; row < 12; ++row)
            for (int column = 0; column < 7; ++column) {
                const QString ref = QChar('A' + column) + QString::number(row + 2);
                QCOMPARE(book.cells[ref], list->topLevelItem(row)->text(column));
            }
        QCOMPARE(book.cells[QStringLiteral("A2")], QStringLiteral("13"));
        QCOMPARE(int(book.columnWidths[2]), 13);
    }

    void theRecycleBinExportsWhatItShows()
    {
        AppFixture app;
        QVERIFY(app.start());
        for (int n = 1; n <= 5; ++n)
            QVERIFY(app.execute(QStringLiteral("insert into bmb (xm,dtime,status) values ('学生%1','2013-05-0%1 08:00:00',%2)")
                                    .arg(n)
                                    .arg(n <= 3 ? 1 : 0)));
        app.window->showBrowse(true);
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_信息浏览"));
        QCOMPARE(list->topLevelItemCount(), 2);

        exportFromToolBar(app);
        const QString path = writtenWorkbook(app);
        const WorkbookContents book = readWorkbook(path);
        QFile::remove(path);
        QCOMPARE(book.sheetName, QStringLiteral("Brenvo报名 第1页 共1页"));
        int nameColumn = 0;
        while (nameColumn < list->columnCount() && list->headerItem()->text(nameColumn) != QStringLiteral("姓名"))
            ++nameColumn;
        QStringList names;
        for (int row = 2; row <= 3; ++row)
            names << book.cells[QChar('A' + nameColumn) + QString::number(row)];
        QCOMPARE(names, QStringList({"学生5", "学生4"}));
        QVERIFY(!book.cells.contains(QStringLiteral("A4")));
    }
};

BRENVO_TEST(ExportBrowseTest)
#include "test_export_browse.moc"
