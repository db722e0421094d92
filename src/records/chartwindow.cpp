#include "records/chartwindow.h"

#include "platform/events.h"
#include "platform/messagebox.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QValueAxis>

namespace {

const QString unitText = QStringLiteral("次");

// Past this many categories the axis labels stand upright, so they do not
// run into each other.
constexpr int uprightLabelsFrom = 13;

QStringList labelsOf(const QVector<ChartValue>& values)
{
    QStringList labels;
    for (const ChartValue& entry : values)
        labels << entry.label;
    return labels;
}

QChart* freshChart(QChartView* view, const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    QFont titleFont = chart->titleFont();
    titleFont.setPointSize(12);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setAnimationOptions(QChart::NoAnimation);
    QChart* previous = view->chart();
    view->setChart(chart);
    delete previous;
    return chart;
}

QBarCategoryAxis* categoryAxis(const QVector<ChartValue>& values)
{
    auto* axis = new QBarCategoryAxis;
    axis->append(labelsOf(values));
    if (values.size() >= uprightLabelsFrom)
        axis->setLabelsAngle(-90);
    return axis;
}

QValueAxis* countAxis(double maximum)
{
    auto* axis = new QValueAxis;
    axis->setTitleText(unitText);
    // A result of nothing but zeros still gets a scale to draw on.
    axis->setRange(0, maximum > 0 ? maximum : 1);
    axis->setLabelFormat(QStringLiteral("%d"));
    return axis;
}

} // namespace

ChartWindow::ChartWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Brenvo报名 统计"));
    resize(624, 467);

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("选择夹1"));
    tabs->setGeometry(6, 6, 612, 416);
    const char* const pageTitles[3] = {"饼形图", "柱状图", "曲线图"};
    const char* const chartNames[3] = {"饼形图控件1", "柱状图控件1", "曲线图控件1"};
    for (int page = 0; page < 3; ++page) {
        // Each chart is its page, so it always fills the tab.
        views[page] = new QChartView(new QChart);
        views[page]->setObjectName(QString::fromUtf8(chartNames[page]));
        views[page]->setRenderHint(QPainter::Antialiasing);
        tabs->addTab(views[page], QString::fromUtf8(pageTitles[page]));
    }

    auto* printButton = new QPushButton(QStringLiteral("打  印"), this);
    printButton->setObjectName(QStringLiteral("按钮_打印"));
    printButton->setGeometry(526, 428, 90, 30);
    connect(printButton, &QPushButton::clicked, this, &ChartWindow::printChart);

    anchors.anchor(tabs, {true, true, true, true});
    anchors.anchor(printButton, {false, false, true, true});
}

QChartView* ChartWindow::chartView(int page) const
{
    return page >= 0 && page < 3 ? views[page] : nullptr;
}

int ChartWindow::currentChart() const
{
    return tabs->currentIndex();
}

void ChartWindow::showValues(const QString& title, const QVector<ChartValue>& values)
{
    fillPie(title, values);
    fillBar(title, values);
    fillLine(title, values);
}

void ChartWindow::fillPie(const QString& title, const QVector<ChartValue>& values)
{
    QChart* chart = freshChart(views[Pie], title);
    auto* series = new QPieSeries;
    for (int i = 0; i < values.size(); ++i) {
        QPieSlice* slice = series->append(values[i].label + QLatin1Char(' ') + QString::number(values[i].value)
                                              + unitText,
                                          values[i].value);
        slice->setBrush(sliceColour(i + 1));
        // The white slice keeps an outline on the white background.
        slice->setBorderColor(Qt::darkGray);
        slice->setLabelVisible(values[i].value > 0);
    }
    chart->addSeries(series);
    chart->legend()->setAlignment(Qt::AlignRight);
}

void ChartWindow::fillBar(const QString& title, const QVector<ChartValue>& values)
{
    QChart* chart = freshChart(views[Bar], title);
    barMaximum = chartScaleMaximum(values, 0);
    auto* set = new QBarSet(unitText);
    for (const ChartValue& entry : values)
        *set << entry.value;
    auto* series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
    chart->addSeries(series);
    QBarCategoryAxis* xAxis = categoryAxis(values);
    QValueAxis* yAxis = countAxis(barMaximum);
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis);
    chart->legend()->hide();
}

void ChartWindow::fillLine(const QString& title, const QVector<ChartValue>& values)
{
    QChart* chart = freshChart(views[Line], title);
    lineMaximum = chartScaleMaximum(values, 10);
    auto* series = new QLineSeries;
    series->setName(unitText);
    for (int i = 0; i < values.size(); ++i) {
        series->append(i, values[i].value);
        processPendingMessages();
    }
    series->setPointsVisible(true);
    series->setPointLabelsVisible(true);
    series->setPointLabelsFormat(QStringLiteral("@yPoint"));
    series->setPointLabelsClipping(false);
    chart->addSeries(series);
    QBarCategoryAxis* xAxis = categoryAxis(values);
    QValueAxis* yAxis = countAxis(lineMaximum);
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis);
    chart->legend()->hide();
}

bool ChartWindow::printChartOn(QPrinter& printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    QChartView* view = views[qBound(0, currentChart(), 2)];
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    view->render(&painter, QRectF(QPointF(0, 0), page.size()), view->viewport()->rect(), Qt::KeepAspectRatio);
    return painter.end();
}

void ChartWindow::printChart()
{
    if (QPrinterInfo::defaultPrinter().isNull()) {
        messageBox(QStringLiteral("没有可用的打印机，统计图未能打印"), MessageStyle::Exclamation);
        return;
    }
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    if (!printChartOn(printer))
        messageBox(QStringLiteral("统计图未能打印"), MessageStyle::Exclamation);
}
