#include "browsefixture.h"

class BrowsePageTest : public QObject {
    Q_OBJECT
private slots:
    void pagesThroughTheRecordsNewestFirst()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(120));
        QVERIFY(f.addRegistrations(5, 0, 121));
        f.page->enter(false);

        QCOMPARE(f.label(), QStringLiteral("1/3  Tol:120"));
        QVERIFY(!f.previousEnabled());
        QVERIFY(f.nextEnabled());
        QCOMPARE(f.page->rowCount(), 50);
        QCOMPARE(f.cell(0, 0), QStringLiteral("1"));
        QCOMPARE(f.cell(0, f.column(QStringLiteral("姓名"))), QStringLiteral("学生120"));
        QCOMPARE(f.cell(0, f.column(QStringLiteral("时间"))), QStringLiteral("2013-05-01 10:00:00"));

        f.find<QPushButton>("按钮_下一页")->click();
        QCOMPARE(f.label(), QStringLiteral("2/3  Tol:120"));
        QVERIFY(f.previousEnabled());
        QVERIFY(f.nextEnabled());
        f.find<QPushButton>("按钮_下一页")->click();
        QCOMPARE(f.label(), QStringLiteral("3/3  Tol:120"));
        QVERIFY(f.previousEnabled());
        QVERIFY(!f.nextEnabled());
        QCOMPARE(f.page->rowCount(), 20);
        QCOMPARE(f.cell(0, 0), QStringLiteral("101"));
        QCOMPARE(f.cell(19, 0), QStringLiteral("120"));
        QCOMPARE(f.cell(19, f.column(QStringLiteral("姓名"))), QStringLiteral("学生1"));

        f.find<QPushButton>("按钮_上一页")->click();
        QCOMPARE(f.label(), QStringLiteral("2/3  Tol:120"));
        QCOMPARE(f.cell(0, 0), QStringLiteral("51"));
        QCOMPARE(f.cell(0, f.column(QStringLiteral("姓名"))), QStringLiteral("学生70"));
    }

    void aSinglePageOffersNoPaging()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(7));
        f.page->enter(false);
        QCOMPARE(f.label(), QStringLiteral("1/1  Tol:7"));
        QCOMPARE(f.page->rowCount(), 7);
        QVERIFY(!f.previousEnabled());
        QVERIFY(!f.nextEnabled());

        f.setCondition(1, QStringLiteral("姓名"), QString(), QStringLiteral("没有这个人"));
        f.search();
        QCOMPARE(f.label(), QStringLiteral("0/0  Tol:0"));
        QCOMPARE(f.page->rowCount(), 0);
        QVERIFY(!f.previousEnabled());
        QVERIFY(!f.nextEnabled());
    }

    void aRejectedSearchListsNothing()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(60));
        f.page->enter(false);
        QVERIFY(f.nextEnabled());

        f.setCondition(1, QStringLiteral("年龄"), QStringLiteral(">="), QStringLiteral("abc"));
        f.search();
        QCOMPARE(f.page->rowCount(), 0);
        QVERIFY(!f.previousEnabled());
        QVERIFY(!f.nextEnabled());
        QVERIFY(f.messages.messages().isEmpty());

        f.setCondition(1, QStringLiteral("年龄"), QStringLiteral("<="), QStringLiteral("20"));
        f.search();
        QCOMPARE(f.label(), QStringLiteral("1/2  Tol:60"));
    }

    void aQuoteInTheSearchTextFindsTheName()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(3));
        QVERIFY(f.execute(QStringLiteral("insert into bmb (xm,dtime,status) values ('O''Brien','2013-06-01 09:00:00',1)")));
        f.page->enter(false);
        f.setCondition(2, QStringLiteral("姓名"), QString(), QStringLiteral(" o'brien　"));
        f.search();
        QCOMPARE(f.page->rowCount(), 1);
        QCOMPARE(f.cell(0, f.column(QStringLiteral("姓名"))), QStringLiteral("O'Brien"));
    }

    void pageSizesThatAreNoPositiveNumberMeanTheDefault()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(12));
        f.page->enter(false);
        QCOMPARE(f.page->rowCount(), 12);
        for (const char* size : {"0", "", "abc", "-5", "0.5"}) {
            f.page->pageSizeEditor()->setText(QString::fromUtf8(size));
            f.search();
            QVERIFY2(f.page->rowCount() == 12, size);
            QCOMPARE(f.state.pageSize, 50);
        }
        f.page->pageSizeEditor()->setText(QStringLiteral("5.9"));
        f.search();
        QCOMPARE(f.label(), QStringLiteral("1/3  Tol:12"));
        QCOMPARE(f.page->rowCount(), 5);
        QCOMPARE(f.state.pageSize, 5);
    }

    void theRecycleBinSwitchSearchesTheBin()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(4));
        QVERIFY(f.addRegistrations(2, 0, 5));
        f.page->enter(false);
        auto* recycle = f.find<QCheckBox>("选择框_信息浏览_显示回收站");
        auto* searchButton = f.find<QPushButton>("按钮_信息浏览");
        auto* restore = f.find<QPushButton>("按钮_信息浏览_还原");
        auto* remove = f.find<QPushButton>("按钮_信息浏览_删除");
        QCOMPARE(searchButton->text(), QStringLiteral("查 找"));
        QVERIFY(restore->isHidden());
        QVERIFY(remove->isEnabled());
        QCOMPARE(f.page->rowCount(), 4);

        recycle->click();
        QCOMPARE(f.label(), QStringLiteral("1/1  Tol:2"));
        QCOMPARE(f.cell(0, f.column(QStringLiteral("姓名"))), QStringLiteral("学生6"));
        QCOMPARE(searchButton->text(), QStringLiteral("查找(回收站)"));
        QCOMPARE(recycle->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(!restore->isHidden());
        QVERIFY(!remove->isEnabled());

        recycle->click();
        QCOMPARE(f.page->rowCount(), 4);
        QCOMPARE(searchButton->text(), QStringLiteral("查 找"));
        QCOMPARE(recycle->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        QVERIFY(restore->isHidden());

        f.page->enter(true);
        QVERIFY(recycle->isChecked());
        QCOMPARE(f.page->rowCount(), 2);
    }

    void rowsShowNamesAndWords()
    {
        BrowseFixture f;
        QVERIFY(f.execute(QStringLiteral("update style set status=1 where zd='bm3' or zd='dd'")));
        QVERIFY(f.execute(QStringLiteral("insert into dd (name,sx,status) values ('城区',1,1)")));
        for (const char* name : {"会计", "电工"})
            QVERIFY(f.execute(QStringLiteral("insert into zy (name,sx,status,ddid) values ('%1',1,1,1)").arg(QString::fromUtf8(name))));
        QVERIFY(f.execute(QStringLiteral(
            "insert into bmb (xm,xb,dd,bm1,bm2,bm3,kz3,sh,fk,dtime,status) values ('甲',2,1,2,9,'^1^^2^','^体育^^音乐^',-1,-1,'2013-05-02 08:00:00',1)")));
        QVERIFY(f.execute(QStringLiteral(
            "insert into bmb (xm,xb,bm3,kz3,sh,fk,dtime,status) values ('乙',3,'2','体育',1,1,'2013-05-01 08:00:00',1)")));
        QVERIFY(f.execute(QStringLiteral("insert into bmb (xm,bm3,dtime,status) values ('丙','','2013-04-01 08:00:00',1)")));
        f.page->enter(false);
        QCOMPARE(f.page->rowCount(), 3);

        const QStringList captions{"姓名", "性别", "报名分类", "第一志愿", "第二志愿", "其他志愿", "兴趣特长", "审核状态", "付款状态"};
        const QStringList rows[] = {
            {"甲", "女", "城区", "电工", "", "会计,电工", "体育,音乐", "审核未通过", "审核未通过"},
            {"乙", "", "", "", "", "电工", "体育", "通过", "已缴费"},
            {"丙", "", "", "", "", "", "", "待审核", "待缴费"},
        };
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < captions.size(); ++c)
                QVERIFY2(f.cell(r, f.column(captions.at(c))) == rows[r].at(c), qPrintable(captions.at(c)));
        QCOMPARE(f.list()->columnWidth(0), 50);
        QCOMPARE(f.list()->columnWidth(f.column(QStringLiteral("付款状态"))), 80);

        // The programme condition finds the whole id between carets only.
        f.setCondition(1, QStringLiteral("其他志愿"), QStringLiteral("会计"));
        f.search();
        QCOMPARE(f.page->rowCount(), 1);
        QCOMPARE(f.cell(0, f.column(QStringLiteral("姓名"))), QStringLiteral("甲"));
        f.setCondition(1, QStringLiteral("报名分类"), QStringLiteral("城区"));
        f.setCondition(2, QStringLiteral("审核"), QStringLiteral("审核未通过"));
        f.search();
        QCOMPARE(f.page->rowCount(), 1);
    }

    void conditionRowsFollowTheChosenField()
    {
        BrowseFixture f;
        QVERIFY(f.execute(QStringLiteral("update style set status=1 where zd='dd'")));
        f.page->enter(false);
        auto* fields = f.find<QComboBox>("组合框_信息浏览_条件_字段1");
        auto* conditions = f.find<QComboBox>("组合框_信息浏览_条件_条件1");
        auto* content = f.find<QLineEdit>("编辑框_信息浏览_条件_内容1");
        QCOMPARE(fields->itemText(0), QStringLiteral("无"));
        QCOMPARE(fields->itemText(fields->count() - 1), QStringLiteral("来源"));
        QCOMPARE(fields->itemData(fields->count() - 1).toInt(), 105);
        QCOMPARE(conditions->currentText(), QStringLiteral("包含"));

        f.setCondition(1, QStringLiteral("审核"));
        QCOMPARE(conditions->count(), 3);
        QCOMPARE(conditions->currentText(), QStringLiteral("待审核"));
        QVERIFY(content->isHidden());

        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        fields->setCurrentIndex(fields->findText(QStringLiteral("时间")));
        QVERIFY(!content->isHidden());
        QCOMPARE(conditions->currentText(), QStringLiteral(">="));
        const std::optional<QDateTime> shown = textToDate(content->text());
        QVERIFY(shown && *shown >= before.addSecs(-1) && *shown <= QDateTime::currentDateTime());

        // Dates compare as dates; a text that is no date reads as the year 100.
        QVERIFY(f.addRegistrations(3));
        const struct {
            const char* condition;
            const char* content;
            int rows;
        } dates[] = {{">=", "2013年5月1日8时2分", 2}, {"<=", "2013-05-01 08:02", 2}, {"=", "2013年5月1日8时3分", 1},
                     {">=", "昨天", 3},              {"<=", "昨天", 0}};
        for (const auto& d : dates) {
            f.setCondition(1, QStringLiteral("时间"), QString::fromUtf8(d.condition), QString::fromUtf8(d.content));
            f.search();
            QVERIFY2(f.page->rowCount() == d.rows, d.content);
        }

        // No categories yet: the condition selector is empty and sets nothing.
        f.setCondition(1, QStringLiteral("报名分类"));
        QCOMPARE(conditions->count(), 0);
        f.search();
        QCOMPARE(f.page->rowCount(), 3);
    }

    void ticksAreSetInvertedAndReadBottomUp()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(3));
        f.page->enter(false);
        QTreeWidget* list = f.list();
        QCOMPARE(list->topLevelItemCount(), 3);
        auto tick = [list](int row, bool on) { list->topLevelItem(row)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked); };
        tick(0, true);
        tick(2, true);
        QCOMPARE(f.page->tickedIds(), QVector<int>({f.rowId(2), f.rowId(0)}));
        f.find<QPushButton>("按钮_信息浏览_反选")->click();
        QCOMPARE(f.page->tickedIds(), QVector<int>({f.rowId(1)}));
        f.find<QPushButton>("按钮_信息浏览_全选")->click();
        QCOMPARE(f.page->tickedIds(), QVector<int>({f.rowId(2), f.rowId(1), f.rowId(0)}));
        f.find<QPushButton>("按钮_信息浏览_取消")->click();
        QVERIFY(f.page->tickedIds().isEmpty());
    }
};

BRENVO_TEST(BrowsePageTest)
#include "test_browsepage.moc"
