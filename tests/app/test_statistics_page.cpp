// Counting registrations from the main window: the 数据统计 entry fills the
// item selector from the form, a count fills the result list and the charts
// show it.
#include "appfixture.h"

#include "app/outlookmenu.h"
#include "records/chartwindow.h"
#include "records/statisticspage.h"
#include "records/screenshots.h"

#include <QChartView>
#include <QCheckBox>
#include <QPieSeries>
#include <QTabWidget>
#include <QTreeWidget>

class StatisticsPageTest : public QObject {
    Q_OBJECT
private slots:
    void countingByGenderAndShowingTheCharts()
    {
        AppFixture app;
        QVERIFY(app.start());
        for (const char* gender : {"1", "1", "2"})
            QVERIFY(app.execute(QStringLiteral("INSERT INTO bmb (xm,xb,nl,status,sh,fk,dtime) values ('甲',%1,18,1,0,0,"
                                               "'2013-05-06 14:03:09')")
                                    .arg(QLatin1String(gender))));

        app.window->outlookMenu()->clickEntry(0, 2);
        QCOMPARE(app.window->pages()->currentIndex(), 4);
        auto* selector = app.find<QComboBox>(QStringLiteral("组合框_统计"));
        QStringList offered;
        for (int i = 0; i < selector->count(); ++i)
            offered << selector->itemText(i);
        QCOMPARE(offered, QStringList({"第一志愿", "第二志愿", "性别", "年龄", "学历", "兴趣特长(多选)", "审核", "付款"}));

        selector->setCurrentIndex(offered.indexOf(QStringLiteral("性别")));
        app.find<QPushButton>(QStringLiteral("按钮_统计"))->click();
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_统计"));
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("男"));
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("2"));
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("2"));
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("女"));
        QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("1"));

        app.find<QPushButton>(QStringLiteral("按钮_统计_查看统计图"))->click();
        ChartWindow* charts = app.window->statisticsPage()->chartWindow();
        QVERIFY(charts && charts->isVisible());
        auto* pie = qobject_cast<QPieSeries*>(charts->chartView(ChartWindow::Pie)->chart()->series().value(0));
        QVERIFY(pie);
        QCOMPARE(pie->count(), 2);
        QCOMPARE(pie->slices()[0]->value(), 2.0);
        QCOMPARE(charts->chartView(ChartWindow::Pie)->chart()->title(), QStringLiteral("性别"));
        QCOMPARE(charts->barScaleMaximum(), 2.0);
        QCOMPARE(charts->lineScaleMaximum(), 10.0);
        QVERIFY(app.messages.messages().isEmpty());
        app.window->show();
        QVERIFY(!takeScreenshot(*app.window, QStringLiteral("statistics-in-main-window")).isNull());

        // Entering the page again refills the selector and keeps the result.
        app.window->outlookMenu()->clickEntry(0, 2);
        QCOMPARE(selector->count(), offered.size());
        QCOMPARE(list->topLevelItemCount(), 2);
    }
};

BRENVO_TEST(StatisticsPageTest)
#include "test_statistics_page.moc"
