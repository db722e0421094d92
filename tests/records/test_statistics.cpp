// Counting registrations per item value: the items offered, the statements
// letter by letter, the counts on a real database, the page and the charts.
#include "screenshots.h"
#include "support/openstate.h"

#include "platform/messagebox.h"
#include "platform/sqlliteral.h"
#include "records/chartwindow.h"
#include "records/statistics.h"
#include "records/statisticspage.h"

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QImage>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

namespace {

FormItem item(const char* zd, int type, const char* caption, const char* options = "")
{
    FormItem entry;
    entry.zd = QString::fromUtf8(zd);
    entry.lx = type;
    entry.nam = QString::fromUtf8(caption);
    entry.val = QString::fromUtf8(options);
    return entry;
}

const QVector<FormItem> formItems = {
    item("xm", ItemType::Text, "姓名"),          item("xb", ItemType::Radio, "性别", "男||女"),
    item("nl", ItemType::Text, "年龄"),          item("dd", ItemType::List, "校区"),
    item("bm1", ItemType::List, "第一志愿"),     item("bm3", ItemType::Check, "兴趣专业"),
    item("kz1", ItemType::Radio, "来源", "报纸||网络||朋友介绍"), item("kz2", ItemType::Text, "备注", "无"),
    item("kz3", ItemType::Check, "特长", "唱歌||跳舞"),     item("kz99", ItemType::Radio, "不在表中", "a||b"),
};

Programme programme(int id, const char* name)
{
    Programme entry;
    entry.id = id;
    entry.name = QString::fromUtf8(name);
    return entry;
}

bool insertRegistration(OpenState& open, const QString& values)
{
    return open.run(QStringLiteral("INSERT INTO bmb (xm,xb,nl,bm3,kz1,kz3,sh,fk,status,dtime) values (") + values
                    + QStringLiteral(")"));
}

QStringList rowsOf(const QTreeWidget& list)
{
    QStringList rows;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = list.topLevelItem(row);
        rows << item->text(0) + QLatin1Char(' ') + item->text(1) + QLatin1Char(' ') + item->text(2);
    }
    return rows;
}

void selectItem(QComboBox& selector, const QString& text)
{
    const int index = selector.findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    selector.setCurrentIndex(index);
}


} // namespace

class StatisticsTest : public QObject {
    Q_OBJECT
private slots:
    void itemsOfferedForCounting()
    {
        QVector<std::pair<QString, int>> offered;
        for (const StatisticsItem& entry : statisticsItems(formItems))
            offered.push_back({entry.text, entry.code});
        const QVector<std::pair<QString, int>> expected = {
            {"性别", 2},        {"年龄", 3},       {"校区", 4},  {"第一志愿", 5},
            {"兴趣专业(多选)", 6}, {"来源", 7},     {"特长(多选)", 9}, {"审核", 102},
            {"付款", 103},
        };
        QCOMPARE(offered, expected);

        QVERIFY(isMultiChoiceCode(formItems, 6));
        QVERIFY(!isMultiChoiceCode(formItems, 7));
        QVERIFY(!isMultiChoiceCode(formItems, 102));
    }

    void statementsLetterByLetter()
    {
        const QString passedLive = QStringLiteral(" where sh=1 and  status=1 ");
        const QVector<StatisticsCategory> genders = {{"男", "1"}, {"女", "2"}};
        const QVector<StatisticsCategory> sources = {{"网络", "网络"}, {"O'Neil", "O'Neil"}};
        const QVector<StatisticsCategory> programmes = {{"烹饪", "7"}};
        struct Case {
            const char* column;
            QVector<StatisticsCategory> categories;
            bool multi;
            std::optional<QString> filter;
            const char* statement;
        };
        const Case cases[] = {
            {"xb", genders, false, std::nullopt,
             "select sum(case when xb=1 then n else 0 end),sum(case when xb=2 then n else 0 end) "
             "from (select xb,count(*) as n from bmb group by xb) as g"},
            {"nl", {{"18", "18"}}, false, passedLive,
             "select sum(case when nl=18 then n else 0 end) "
             "from (select nl,count(*) as n from bmb where sh=1 and  status=1  group by nl) as g"},
            {"kz1", sources, false, std::nullopt,
             "select sum(case when kz1='网络' then n else 0 end),sum(case when kz1='O''Neil' then n else 0 end) "
             "from (select kz1,count(*) as n from bmb group by kz1) as g"},
            // Check-box items: the values, counted and matched afterwards.
            {"bm3", programmes, true, std::nullopt, "select bm3 from bmb"},
            {"kz3", {{"唱歌", "唱歌"}}, true, passedLive, "select kz3 from bmb where sh=1 and  status=1 "},
        };
        for (const Case& c : cases)
            QCOMPARE(statisticsStatement(QString::fromUtf8(c.column), c.categories, c.multi, c.filter)
                         .value_or(QStringLiteral("<refused>")),
                     QString::fromUtf8(c.statement));
        // A value written unquoted must be a number, whoever computed it.
        for (const char* bad : {"1 or 1=1", "inf", "nan", "", "1;delete * from bmb"})
            QVERIFY2(!statisticsStatement(QStringLiteral("xb"), {{"男", "1"}, {"?", QString::fromUtf8(bad)}}, false,
                                          std::nullopt),
                     bad);
        QVERIFY(!statisticsStatement(QStringLiteral("xb"), {}, false, std::nullopt));
    }

    void categoriesOfEachColumn()
    {
        AppState lists;
        lists.categoryList = {{5, 0, QStringLiteral("南校"), 1}, {2, 0, QStringLiteral("北校"), 1}};
        lists.programmeList = {programme(3, "会计"), programme(7, "烹饪")};
        const auto labelsAndValues = [&](const char* column, const char* preset = "") {
            QStringList result;
            for (const StatisticsCategory& category :
                 statisticsCategories(QString::fromUtf8(column), QString::fromUtf8(preset), lists))
                result << category.label + QLatin1Char('=') + category.value;
            return result;
        };
        QCOMPARE(labelsAndValues("xb"), QStringList({"男=1", "女=2"}));
        QCOMPARE(labelsAndValues("sh"), QStringList({"待审核=0", "审核通过=1", "未通过=-1"}));
        QCOMPARE(labelsAndValues("fk"), labelsAndValues("sh"));
        QCOMPARE(labelsAndValues("dd"), QStringList({"南校=5", "北校=2"}));
        QCOMPARE(labelsAndValues("bm2"), QStringList({"会计=3", "烹饪=7"}));
        QCOMPARE(labelsAndValues("bm3"), labelsAndValues("bm1"));
        QCOMPARE(labelsAndValues("kz4", "报纸||网络"), QStringList({"报纸=报纸", "网络=网络"}));
        QVERIFY(labelsAndValues("dtime").isEmpty());
        QVERIFY(labelsAndValues("bm1server").isEmpty());
        const QStringList ages = labelsAndValues("nl");
        QCOMPARE(ages.size(), 100);
        QCOMPARE(ages.first(), QStringLiteral("1=1"));
        QCOMPARE(ages.last(), QStringLiteral("100=100"));
    }

    void chartColoursAndScales()
    {
        QCOMPARE(sliceColour(1), QColor(0, 0, 128));
        QCOMPARE(sliceColour(10), sliceColour(1));
        QCOMPARE(sliceColour(11), sliceColour(1));
        QCOMPARE(sliceColour(12), sliceColour(2));
        QCOMPARE(sliceColour(2), QColor(255, 255, 0));
        QCOMPARE(sliceColour(6), QColor(255, 0, 0));
        QCOMPARE(sliceColour(9), QColor(255, 255, 255));
        const QVector<ChartValue> small = {{"a", 2}, {"b", 7}, {"c", 3}};
        QCOMPARE(chartScaleMaximum(small, 0), 7.0);
        QCOMPARE(chartScaleMaximum(small, 10), 10.0);
        QCOMPARE(chartScaleMaximum({{"a", 42}}, 10), 42.0);
        QCOMPARE(chartScaleMaximum({}, 0), 0.0);
    }

    void countsOnTheDatabase()
    {
        OpenState open;
        QVERIFY(insertRegistration(open, "'甲',1,18,'^3^^7^','网络','^唱歌^',1,0,1,'2013-05-06 14:03:09'"));
        QVERIFY(insertRegistration(open, "'乙',1,18,'^13^','报纸','^唱歌^^跳舞^',0,0,1,'2013-05-06 14:03:09'"));
        QVERIFY(insertRegistration(open, "'丙',2,20,'7','网络','',1,1,1,'2013-05-06 14:03:09'"));
        // In the recycle bin: counted only without the browse filter.
        QVERIFY(insertRegistration(open, "'丁',2,18,'^3^','网络','',1,0,0,'2013-05-06 14:03:09'"));

        const auto count = [&](const char* column, const char* preset, bool multi, std::optional<QString> filter) {
            QVector<StatisticsCategory> categories =
                statisticsCategories(QString::fromUtf8(column), QString::fromUtf8(preset), open.state);
            const std::optional<QString> statement =
                statisticsStatement(QString::fromUtf8(column), categories, multi, filter);
            if (!statement)
                return QStringList{QStringLiteral("refused")};
            QStringList failures;
            countCategories(open.state, categories, *statement, multi, [&](const QString& error) { failures << error; });
            QStringList result;
            for (const StatisticsCategory& category : categories)
                result << category.label + QLatin1Char(' ') + QString::number(category.count);
            return failures.isEmpty() ? result : QStringList{QStringLiteral("failed: ") + failures.join(';')};
        };
        open.state.programmeList = {programme(3, "会计"), programme(7, "烹饪")};
        const QString live = QStringLiteral(" where  status=1 ");
        const QString passedLive = QStringLiteral(" where sh=1 and  status=1 ");

        QCOMPARE(count("xb", "", false, std::nullopt), QStringList({"男 2", "女 2"}));
        QCOMPARE(count("xb", "", false, live), QStringList({"男 2", "女 1"}));
        QCOMPARE(count("xb", "", false, passedLive), QStringList({"男 1", "女 1"}));
        // ^3^^7^ counts once under 3 and once under 7; ^13^ under neither.
        QCOMPARE(count("bm3", "", true, std::nullopt), QStringList({"会计 2", "烹饪 1"}));
        QCOMPARE(count("bm3", "", true, live), QStringList({"会计 1", "烹饪 1"}));
        QCOMPARE(count("kz3", "唱歌||跳舞", true, live), QStringList({"唱歌 2", "跳舞 1"}));
        QCOMPARE(count("kz1", "报纸||网络", false, live), QStringList({"报纸 1", "网络 2"}));
        QCOMPARE(count("sh", "", false, live), QStringList({"待审核 1", "审核通过 2", "未通过 0"}));
        const QStringList ages = count("nl", "", false, live);
        QCOMPARE(ages.size(), 100);
        QCOMPARE(ages[17], QStringLiteral("18 2"));
        QCOMPARE(ages[19], QStringLiteral("20 1"));
        QCOMPARE(ages.filter(QRegularExpression(QStringLiteral(" 0$"))).size(), 98);
    }

    // The counts of a check-box item, grouped in one pass and matched
    // afterwards, are what the database's own Jet LIKE finds choice by
    // choice: one choice among several, repeated, in another case, holding
    // wildcards, with and without the browse filter.
    void checkBoxCountsAreTheDatabasesLikeCounts()
    {
        OpenState open;
        const char* const values[] = {"'^3^^7^'", "'^13^'",    "'7'",         "''",           "null",
                                      "'^7^^7^'", "'^Abc^'",   "'^a_c^^3^'",  "'^50%^'",      "'^500^'",
                                      "'^唱歌^^跳舞^'", "'^跳舞^'", "'^[x]^'",    "'^^'",         "'^3^^7^'"};
        int n = 0;
        for (const char* value : values) {
            for (const char* column : {"bm3", "kz3"}) {
                ++n;   // every third in the recycle bin
                QVERIFY(open.run(QStringLiteral("INSERT INTO bmb (xm,%1,status,dtime) values ('%2',%3,%4,'2013-05-06 14:03:09')")
                                     .arg(QString::fromUtf8(column))
                                     .arg(n)
                                     .arg(QString::fromUtf8(value))
                                     .arg(n % 3 == 0 ? 0 : 1)));
            }
        }
        const QStringList choices{"3", "7", "13", "abc", "a_c", "50%", "唱歌", "跳舞", "[x]", "", "没有"};
        for (const char* column : {"bm3", "kz3"}) {
            for (const std::optional<QString>& filter : {std::optional<QString>(), std::optional<QString>(" where  status=1 ")}) {
                QVector<StatisticsCategory> categories;
                for (const QString& choice : choices)
                    categories.push_back({choice, choice});
                const QString name = QString::fromUtf8(column);
                const std::optional<QString> statement = statisticsStatement(name, categories, true, filter);
                QVERIFY(statement);
                QVERIFY(countCategories(open.state, categories, *statement, true, [](const QString& error) { QFAIL(qPrintable(error)); }));
                for (const StatisticsCategory& category : categories) {
                    const QString like = QStringLiteral("select count(*) from bmb %1 %2 %3 like %4")
                                             .arg(filter.value_or(QStringLiteral(" where ")), filter ? QStringLiteral("and") : QString(), name,
                                                  sqlText(QStringLiteral("%[^]") + category.value + QStringLiteral("[^]%")));
                    QVERIFY2(QString::number(category.count) == open.value(qPrintable(like)),
                             qPrintable(QStringLiteral("%1 %2 %3").arg(name, category.value, filter.value_or(QString()))));
                }
            }
        }
    }

    void aFailedCountIsReportedAndLeftAtZero()
    {
        OpenState open;
        QVERIFY(insertRegistration(open, "'甲',1,18,'','','',0,0,1,'2013-05-06 14:03:09'"));
        QVector<StatisticsCategory> categories = {{"男", "1", 5}, {"女", "2", 5}};
        QVERIFY(countCategories(open.state, categories, *statisticsStatement(QStringLiteral("xb"), categories, false, {}), false,
                                [](const QString& error) { QFAIL(qPrintable(error)); }));
        QCOMPARE(categories[0].count, 1);
        QCOMPARE(categories[1].count, 0);

        categories = {{"男", "1", 5}, {"女", "2", 5}};
        QStringList failures;
        const QString statement = *statisticsStatement(QStringLiteral("nosuchcolumn"), categories, false, {});
        QVERIFY(!countCategories(open.state, categories, statement, false, [&](const QString& error) { failures << error; }));
        QCOMPARE(categories[0].count, 0);
        QCOMPARE(categories[1].count, 0);
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures.first().contains(QLatin1String("nosuchcolumn")), qPrintable(failures.first()));
    }

    // The operator counts by age with the browse filter on, then opens the charts.
    void countingByAgeAndShowingTheCharts()
    {
        OpenState open;
        MessageRecorder messages;
        open.state.formItems = formItems;
        for (int i = 0; i < 5; ++i)
            QVERIFY(insertRegistration(open, QStringLiteral("'甲',1,%1,'','','',%2,0,1,'2013-05-06 14:03:09'")
                                                 .arg(17 + i % 3)
                                                 .arg(i % 2)));
        StatisticsPage page(open.state, QSize(626, 500));
        QString filterAsked;
        page.setBrowseFilter([&] {
            filterAsked = QStringLiteral(" where sh=1 and  status=1 ");
            return std::optional<QString>(filterAsked);
        });
        page.fillStatisticsItems();
        auto* selector = page.findChild<QComboBox*>(QStringLiteral("组合框_统计"));
        auto* list = page.findChild<QTreeWidget*>(QStringLiteral("超级列表框_统计"));
        QCOMPARE(selector->count(), 9);
        QCOMPARE(selector->itemText(8), QStringLiteral("付款"));

        page.findChild<QPushButton*>(QStringLiteral("按钮_统计_查看统计图"))->click();
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("请先选择项目，统计后再点本按钮")});
        QVERIFY(!page.chartWindow());

        selectItem(*selector, QStringLiteral("年龄"));
        page.findChild<QCheckBox*>(QStringLiteral("选择框_统计_使用信息浏览的筛选条件"))->setChecked(true);
        page.findChild<QPushButton*>(QStringLiteral("按钮_统计"))->click();
        QVERIFY(!filterAsked.isEmpty());
        QCOMPARE(list->topLevelItemCount(), 100);
        // Rows 0, 2 and 4 are reviewed (sh = i mod 2 = 0 is awaiting): ages 17+1, 17+0... only i = 1, 3 passed.
        QCOMPARE(rowsOf(*list)[17], QStringLiteral("18 18 1"));
        QCOMPARE(rowsOf(*list)[16], QStringLiteral("17 17 1"));
        QCOMPARE(rowsOf(*list)[18], QStringLiteral("19 19 0"));
        QCOMPARE(rowsOf(*list)[0], QStringLiteral("1 1 0"));

        page.findChild<QCheckBox*>(QStringLiteral("选择框_统计_使用信息浏览的筛选条件"))->setChecked(false);
        page.findChild<QPushButton*>(QStringLiteral("按钮_统计"))->click();
        QCOMPARE(rowsOf(*list)[16], QStringLiteral("17 17 2"));

        page.findChild<QPushButton*>(QStringLiteral("按钮_统计_查看统计图"))->click();
        ChartWindow* charts = page.chartWindow();
        QVERIFY(charts);
        QCOMPARE(charts->windowTitle(), QStringLiteral("Brenvo报名 统计"));
        QCOMPARE(charts->size(), QSize(624, 467));
        QCOMPARE(charts->barScaleMaximum(), 2.0);
        QCOMPARE(charts->lineScaleMaximum(), 10.0);
        auto* pie = qobject_cast<QPieSeries*>(charts->chartView(ChartWindow::Pie)->chart()->series().value(0));
        QVERIFY(pie);
        QCOMPARE(pie->count(), 100);
        QCOMPARE(pie->slices()[0]->brush().color(), sliceColour(1));
        QCOMPARE(pie->slices()[9]->brush().color(), sliceColour(1));
        QCOMPARE(pie->slices()[11]->brush().color(), sliceColour(2));
        QCOMPARE(charts->chartView(ChartWindow::Bar)->chart()->title(), QStringLiteral("年龄"));
        QCOMPARE(messages.texts().size(), 1);
        charts->show();
        charts->findChild<QTabWidget*>(QStringLiteral("选择夹1"))->setCurrentIndex(ChartWindow::Bar);
        takeScreenshot(*charts, QStringLiteral("chart-ages"));
        charts->findChild<QTabWidget*>(QStringLiteral("选择夹1"))->setCurrentIndex(ChartWindow::Pie);
        takeScreenshot(*charts, QStringLiteral("chart-ages-pie"));
        page.show();
        takeScreenshot(page, QStringLiteral("statistics-page"));

        // The form reloaded meanwhile with a column bmb does not have: nothing
        // is counted and no statement runs on it.
        open.state.formItems[2].zd = QStringLiteral("kz99");
        open.state.formItems[2].val = QStringLiteral("a||b");
        page.findChild<QPushButton*>(QStringLiteral("按钮_统计"))->click();
        QCOMPARE(list->topLevelItemCount(), 0);
        QCOMPARE(messages.texts().size(), 1);
    }

    void aBrowseFilterThatCannotBeWrittenStopsTheCount()
    {
        OpenState open;
        MessageRecorder messages;
        open.state.formItems = formItems;
        StatisticsPage page(open.state, QSize(626, 500));
        page.setBrowseFilter([] { return std::optional<QString>(); });
        page.fillStatisticsItems();
        selectItem(*page.findChild<QComboBox*>(QStringLiteral("组合框_统计")), QStringLiteral("性别"));
        page.findChild<QCheckBox*>(QStringLiteral("选择框_统计_使用信息浏览的筛选条件"))->setChecked(true);
        page.findChild<QPushButton*>(QStringLiteral("按钮_统计"))->click();
        QCOMPARE(messages.messages().size(), 1);
        QCOMPARE(messages.messages().first().style, int(MessageStyle::Error));
        QCOMPARE(page.findChild<QTreeWidget*>(QStringLiteral("超级列表框_统计"))->topLevelItemCount(), 0);
    }

    void chartsArePrintedOnePagePerPrint()
    {
        ChartWindow charts;
        charts.showValues(QStringLiteral("性别"), {{QStringLiteral("男"), 6}, {QStringLiteral("女"), 3}});
        charts.show();
        // The tab grows with the window; the print button keeps to the corner.
        auto* tabs = charts.findChild<QTabWidget*>(QStringLiteral("选择夹1"));
        auto* printButton = charts.findChild<QPushButton*>(QStringLiteral("按钮_打印"));
        const QRect tabsBefore = tabs->geometry();
        const QRect buttonBefore = printButton->geometry();
        charts.resize(800, 600);
        QCOMPARE(tabs->geometry(), tabsBefore.adjusted(0, 0, 176, 133));
        QCOMPARE(printButton->geometry(), buttonBefore.translated(176, 133));
        QCOMPARE(charts.chartView(ChartWindow::Pie)->size(), tabs->currentWidget()->size());
        charts.resize(624, 467);
        const char* const names[] = {"pie", "bar", "line"};
        TestProgramDir emptyDir(false);
        QPrinter empty;
        empty.setOutputFormat(QPrinter::PdfFormat);
        empty.setOutputFileName(emptyDir.file(QStringLiteral("empty.pdf")));
        QPainter(&empty).end();
        const qint64 emptyPageSize = QFileInfo(emptyDir.file(QStringLiteral("empty.pdf"))).size();
        QVERIFY(emptyPageSize > 0);
        for (int page = 0; page < 3; ++page) {
            charts.findChild<QTabWidget*>(QStringLiteral("选择夹1"))->setCurrentIndex(page);
            QVERIFY(!takeScreenshot(charts, QStringLiteral("chart-") + QLatin1String(names[page])).isNull());

            TestProgramDir dir(false);
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(dir.file(QStringLiteral("chart.pdf")));
            QVERIFY(charts.printChartOn(printer));
            QFile pdf(dir.file(QStringLiteral("chart.pdf")));
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            const QByteArray content = pdf.readAll();
            QCOMPARE(finishedPdfPages(dir.file(QStringLiteral("chart.pdf"))), 1);
            // A page with nothing on it is a small fraction of that.
            QVERIFY2(content.size() > 4 * emptyPageSize, qPrintable(QString::number(content.size())));
        }

        // The pie drawn the way it is printed shows the first slice's colour.
        charts.findChild<QTabWidget*>(QStringLiteral("选择夹1"))->setCurrentIndex(ChartWindow::Pie);
        QImage image(800, 600, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        charts.chartView(ChartWindow::Pie)->render(&painter);
        painter.end();
        int firstColour = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                firstColour += image.pixelColor(x, y) == sliceColour(1);
        QVERIFY2(firstColour > 1000, qPrintable(QString::number(firstColour)));
    }

    // 打  印 sends the chart on show to the default printer as one job of one
    // page. scripts/test provides the printer: a cups-pdf queue writing into
    // BRENVO_PRINT_OUTPUT.
    void printingGoesToTheDefaultPrinter()
    {
        const QString output = qEnvironmentVariable("BRENVO_PRINT_OUTPUT");
        if (output.isEmpty())
            QSKIP("no test print queue (scripts/test starts one and sets BRENVO_PRINT_OUTPUT)");
        QVERIFY2(!QPrinterInfo::defaultPrinter().isNull(), "no default printer");

        MessageRecorder messages;
        ChartWindow charts;
        charts.showValues(QStringLiteral("学历"), {{QStringLiteral("高中"), 12}, {QStringLiteral("本科"), 30}});
        charts.show();
        charts.findChild<QTabWidget*>(QStringLiteral("选择夹1"))->setCurrentIndex(ChartWindow::Bar);
        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
        charts.findChild<QPushButton*>(QStringLiteral("按钮_打印"))->click();
        QVERIFY(messages.messages().isEmpty());

        // The queue writes the job as a PDF file once the scheduler has run it.
        QStringList printed;
        QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired()) {
            printed.clear();
            for (const QFileInfo& file : QDir(output).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
                if (file.lastModified() >= started && finishedPdfPages(file.absoluteFilePath()) >= 0)
                    printed << file.absoluteFilePath();
            if (!printed.isEmpty())
                break;
            QTest::qWait(200);
        }
        QCOMPARE(printed.size(), 1);
        QCOMPARE(finishedPdfPages(printed.first()), 1);
        // The page as a picture (the queue's own Ghostscript draws it) shows the bars.
        TestProgramDir pictureDir(false);
        const QString picture = pictureDir.file(QStringLiteral("page.png"));
        QCOMPARE(QProcess::execute(QStringLiteral("gs"), {"-q", "-dNOPAUSE", "-dBATCH", "-sDEVICE=png16m", "-r30",
                                                          "-sOutputFile=" + picture, printed.first()}),
                 0);
        QFile::remove(printed.first());
        const QImage page(picture);
        int barPixels = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor colour = page.pixelColor(x, y);
                barPixels += colour.blue() > 150 && colour.red() < 100;
            }
        QVERIFY2(barPixels > 500, qPrintable(QString::number(barPixels)));
    }
};

BRENVO_TEST(StatisticsTest)
#include "test_statistics.moc"
