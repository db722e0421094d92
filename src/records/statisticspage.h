#pragma once
// The 统计 page: the item to count by, the switch that restricts the count to
// what the browse conditions select, the result list and the chart window.

#include "core/appstate.h"
#include "records/statistics.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class AnchorLayout;
class ChartWindow;
class QCheckBox;
class QComboBox;
class QTreeWidget;

class StatisticsPage : public QWidget {
    Q_OBJECT
public:
    StatisticsPage(AppState& state, const QSize& size);

    void registerAnchors(AnchorLayout& anchors);

    // Where the browse page's WHERE clause comes from; it gives nothing when
    // the browse conditions cannot be written into a statement.
    using BrowseFilter = std::function<std::optional<QString>()>;
    void setBrowseFilter(BrowseFilter filter) { browseFilter = std::move(filter); }

    void fillStatisticsItems();
    void runStatistics();
    void showCharts();

    ChartWindow* chartWindow() const;

private:
    // The counted values as the result list shows them.
    QVector<ChartValue> listedValues() const;

    AppState& state;
    BrowseFilter browseFilter;
    QWidget* conditionBox = nullptr;
    QWidget* resultBox = nullptr;
    QCheckBox* useBrowseFilter = nullptr;
    QComboBox* itemSelector = nullptr;
    QTreeWidget* resultList = nullptr;
    QPointer<ChartWindow> charts;
};
