#pragma once
// The window "Brenvo报名 统计": the last statistics result as a pie, a bar and
// a line chart on three tab pages, and printing of the chart on show.

#include "platform/anchors.h"
#include "records/statistics.h"

#include <QWidget>

class QChartView;
class QPainter;
class QPrinter;
class QTabWidget;

class ChartWindow : public QWidget {
    Q_OBJECT
public:
    enum ChartPage : int { Pie = 0, Bar = 1, Line = 2 };

    explicit ChartWindow(QWidget* parent = nullptr);

    // Replaces the three charts with the values.
    void showValues(const QString& title, const QVector<ChartValue>& values);

    // Prints the chart on show on the default printer; reports a failure.
    void printChart();
    // Prints the chart on show onto the printer as one page; false when the
    // printer cannot start a job.
    bool printChartOn(QPrinter& printer);

    QChartView* chartView(int page) const;
    int currentChart() const;
    double barScaleMaximum() const { return barMaximum; }
    double lineScaleMaximum() const { return lineMaximum; }

private:
    void fillPie(const QString& title, const QVector<ChartValue>& values);
    void fillBar(const QString& title, const QVector<ChartValue>& values);
    void fillLine(const QString& title, const QVector<ChartValue>& values);

    QTabWidget* tabs = nullptr;
    QChartView* views[3] = {};
    double barMaximum = 0;
    double lineMaximum = 0;
    AnchorLayout anchors;
};
