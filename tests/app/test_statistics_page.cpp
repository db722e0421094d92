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
        ChartWindow* charts = app.window->page<StatisticsPage>()->chartWindow();
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

    // With the switch on, only what the browse conditions select is counted:
    // passed registrations that are not in the recycle bin.
    void countingWithTheBrowseConditions()
    {
        AppFixture app;
        QVERIFY(app.start());
        struct Registration {
            int gender, review, status;
        };
        const Registration registrations[] = {{1, 1, 1}, {1, 1, 1}, {2, 1, 1}, {2, 0, 1}, {1, -1, 1}, {2, 1, 0}};
        for (const Registration& r : registrations)
            QVERIFY(app.execute(QStringLiteral("INSERT INTO bmb (xm,xb,sh,fk,status,dtime) values ('甲',%1,%2,0,%3,"
                                               "'2013-05-06 14:03:09')")
                                    .arg(r.gender)
                                    .arg(r.review)
                                    .arg(r.status)));
        app.window->showBrowse(false);
        auto* field = app.find<QComboBox>(QStringLiteral("组合框_信息浏览_条件_字段1"));
        field->setCurrentIndex(field->findText(QStringLiteral("审核")));
        auto* condition = app.find<QComboBox>(QStringLiteral("组合框_信息浏览_条件_条件1"));
        condition->setCurrentIndex(condition->findText(QStringLiteral("通过审核")));

        app.window->outlookMenu()->clickEntry(0, 2);
        auto* selector = app.find<QComboBox>(QStringLiteral("组合框_统计"));
        selector->setCurrentIndex(selector->findText(QStringLiteral("性别")));
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_统计"));
        const auto counts = [&] {
            app.find<QPushButton>(QStringLiteral("按钮_统计"))->click();
            QStringList result;
            for (int row = 0; row < list->topLevelItemCount(); ++row)
                result << list->topLevelItem(row)->text(1) + list->topLevelItem(row)->text(2);
            return result;
        };
        QCOMPARE(counts(), QStringList({"男3", "女3"}));
        app.find<QCheckBox>(QStringLiteral("选择框_统计_使用信息浏览的筛选条件"))->setChecked(true);
        QCOMPARE(counts(), QStringList({"男2", "女1"}));
        QVERIFY(app.messages.messages().isEmpty());
    }
};

BRENVO_TEST(StatisticsPageTest)
#include "test_statistics_page.moc"
