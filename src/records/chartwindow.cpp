#include "records/chartwindow.h"

#include "platform/events.h"
#include "platform/messagebox.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFontMetrics>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

const QString unitText = QStringLiteral("次");

// The width the plot area has in the window as designed.
constexpr int designedPlotWidth = 520;
// Past this many categories the bars and points carry no value labels.
constexpr int maxLabelledCategories = 25;

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

// The categories along the bottom: each label stands under its bar or point
// (at 0, 1, 2, …). When the labels would run into each other only every few
// are shown.
QCategoryAxis* categoryAxis(const QVector<ChartValue>& values)
{
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(-0.5);
    axis->setRange(-0.5, values.size() - 0.5);
    axis->setGridLineVisible(false);
    const QFontMetrics metrics(axis->labelsFont());
    int widest = 1;
    for (const ChartValue& entry : values)
        widest = std::max(widest, metrics.horizontalAdvance(entry.label) + metrics.averageCharWidth());
    const int fitting = std::max(1, designedPlotWidth / widest);
    const int step = std::max(1, (int(values.size()) + fitting - 1) / fitting);
    for (int i = 0; i < values.size(); i += step)
        if (!axis->categoriesLabels().contains(values[i].label))
            axis->append(values[i].label, i);
    return axis;
}

QValueAxis* countAxis(double maximum)
{
    // A result of nothing but zeros still gets a scale to draw on.
    const double top = maximum > 0 ? maximum : 1;
    auto* axis = new QValueAxis;
    axis->setRange(0, top);
    // Whole counts at whole steps, at most about ten of them.
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(std::max(1.0, std::ceil(top / 10)));
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
    // The legend names what the pie shows; categories counted 0 have no slice.
    const QList<QLegendMarker*> markers = chart->legend()->markers(series);
    for (int i = 0; i < markers.size() && i < values.size(); ++i)
        markers[i]->setVisible(values[i].value > 0);
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
    series->setLabelsVisible(values.size() <= maxLabelledCategories);
    series->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
    series->setLabelsFormat(QStringLiteral("@value") + unitText);
    chart->addSeries(series);
    QCategoryAxis* xAxis = categoryAxis(values);
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
    series->setPointLabelsVisible(values.size() <= maxLabelledCategories);
    series->setPointLabelsFormat(QStringLiteral("@yPoint") + unitText);
    series->setPointLabelsClipping(false);
    chart->addSeries(series);
    QCategoryAxis* xAxis = categoryAxis(values);
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
