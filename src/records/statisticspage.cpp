#include "records/statisticspage.h"

#include "platform/anchors.h"
#include "platform/messagebox.h"
#include "records/chartwindow.h"
#include "store/schema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

StatisticsPage::StatisticsPage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    const int width = size.width() - 6;

    conditionBox = new QGroupBox(QStringLiteral("统计条件"), this);
    conditionBox->setObjectName(QStringLiteral("分组框_统计1"));
    conditionBox->setGeometry(6, 0, width, 96);

    useBrowseFilter = new QCheckBox(QStringLiteral("使用\"信息浏览\"窗口筛选条件"), conditionBox);
    useBrowseFilter->setObjectName(QStringLiteral("选择框_统计_使用信息浏览的筛选条件"));
    useBrowseFilter->setGeometry(14, 22, 260, 24);

    auto* itemLabel = new QLabel(QStringLiteral("统计项目："), conditionBox);
    itemLabel->setObjectName(QStringLiteral("标签7"));
    itemLabel->setGeometry(14, 56, 72, 24);
    itemSelector = new QComboBox(conditionBox);
    itemSelector->setObjectName(QStringLiteral("组合框_统计"));
    itemSelector->setGeometry(88, 56, 180, 24);

    auto* countButton = new QPushButton(QStringLiteral("统  计"), conditionBox);
    countButton->setObjectName(QStringLiteral("按钮_统计"));
    countButton->setGeometry(284, 54, 84, 28);
    connect(countButton, &QPushButton::clicked, this, &StatisticsPage::runStatistics);
    auto* chartButton = new QPushButton(QStringLiteral("显示图标"), conditionBox);
    chartButton->setObjectName(QStringLiteral("按钮_统计_查看统计图"));
    chartButton->setGeometry(378, 54, 84, 28);
    connect(chartButton, &QPushButton::clicked, this, &StatisticsPage::showCharts);

    resultBox = new QGroupBox(QStringLiteral("统计图表"), this);
    resultBox->setObjectName(QStringLiteral("分组框_统计2"));
    resultBox->setGeometry(6, 100, width, size.height() - 100);
    resultList = new QTreeWidget(resultBox);
    resultList->setObjectName(QStringLiteral("超级列表框_统计"));
    resultList->setGeometry(8, 22, resultBox->width() - 16, resultBox->height() - 30);
    resultList->setRootIsDecorated(false);
    resultList->setAlternatingRowColors(true);
    resultList->setHeaderLabels({QStringLiteral("序号"), QStringLiteral("内容"), QStringLiteral("人数")});
    resultList->setColumnWidth(0, 60);
    resultList->setColumnWidth(1, 240);
    resultList->setColumnWidth(2, 80);
}

ChartWindow* StatisticsPage::chartWindow() const
{
    return charts;
}

void StatisticsPage::registerAnchors(AnchorLayout& anchors)
{
    anchors.anchor(conditionBox, {true, true, true, false});
    anchors.anchor(resultBox, {true, true, true, true});
    anchors.anchor(resultList, {true, true, true, true});
}

void StatisticsPage::fillStatisticsItems()
{
    itemSelector->clear();
    for (const StatisticsItem& item : statisticsItems(state.formItems))
        itemSelector->addItem(item.text, item.code);
}

void StatisticsPage::runStatistics()
{
    const int code = itemSelector->currentData().isValid() ? itemSelector->currentData().toInt() : 0;
    const QString column = columnForItemCode(state.formItems, code);
    const bool multiChoice = isMultiChoiceCode(state.formItems, code);
    const QString presetValues = code >= 1 && code <= state.formItems.size() ? state.formItems[code - 1].val : QString();

    std::optional<QString> filter;
    if (useBrowseFilter->isChecked()) {
        filter = browseFilter ? browseFilter() : std::nullopt;
        if (!filter) {
            // Every count would fail on the same conditions: say so once.
            messageBox(QStringLiteral("\"信息浏览\"窗口的筛选条件有误，无法统计"), MessageStyle::Error);
            return;
        }
    }

    // A column name from the form's definition enters statements only when bmb has it.
    QVector<StatisticsCategory> categories;
    if (isRegistrationColumn(column))
        categories = statisticsCategories(column, presetValues, state);
    if (!categories.isEmpty()) {
        const std::optional<QString> statement = statisticsStatement(column, categories, multiChoice, filter);
        if (!statement) {
            messageBox(QStringLiteral("统计项目的取值有误，无法统计"), MessageStyle::Error);
            return;
        }
        countCategories(state, categories, *statement, multiChoice,
                        [](const QString& error) { messageBox(error, MessageStyle::Error); });
    }

    resultList->clear();
    for (int row = 0; row < categories.size(); ++row) {
        auto* item = new QTreeWidgetItem(resultList);
        item->setText(0, QString::number(row + 1));
        item->setText(1, categories[row].label);
        item->setText(2, QString::number(categories[row].count));
    }
}

QVector<ChartValue> StatisticsPage::listedValues() const
{
    QVector<ChartValue> values;
    for (int row = 0; row < resultList->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = resultList->topLevelItem(row);
        values.push_back({item->text(1), double(item->text(2).toInt())});
    }
    return values;
}

void StatisticsPage::showCharts()
{
    if (resultList->topLevelItemCount() == 0) {
        messageBox(QStringLiteral("请先选择项目，统计后再点本按钮"));
        return;
    }
    if (!charts)
        charts = new ChartWindow(window());
    charts->showValues(itemSelector->currentText(), listedValues());
    charts->show();
    charts->raise();
}
