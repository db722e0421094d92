#include "printingfixture.h"

#include "platform/inifile.h"
#include "platform/text.h"
#include "printing/printchoices.h"
#include "printing/templatecodec.h"
#include "printing/templatespage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

struct PageFixture : PrintingFixture {
    TemplatesPage page{state, QSize(628, 480)};
    int changes = 0;
    PageFixture()
    {
        QObject::connect(&page, &TemplatesPage::templatesChanged, [this] { ++changes; });
        page.loadTemplateList();
    }
    template <typename T>
    T* find(const char* name) const
    {
        return page.findChild<T*>(QString::fromUtf8(name));
    }
    QTreeWidget* list() const { return find<QTreeWidget>("超级列表框_打印"); }
    QLineEdit* title() const { return find<QLineEdit>("编辑框_打印_标题名"); }
    QLineEdit* order() const { return find<QLineEdit>("编辑框_打印_顺序"); }
    QPlainTextEdit* content() const { return find<QPlainTextEdit>("编辑框_打印_内容"); }
    QCheckBox* enabled() const { return find<QCheckBox>("选择框_打印_启用"); }
    void click(const char* button) const { find<QPushButton>(button)->click(); }
    void selectRow(int row) const { list()->setCurrentItem(list()->topLevelItem(row)); }
    void fill(const QString& titleText, const QString& html, const QString& orderText = QString(), bool on = true)
    {
        title()->setText(titleText);
        content()->setPlainText(html);
        order()->setText(orderText);
        enabled()->setChecked(on);
    }
    QString rows()
    {
        QString all;
        if (state.db.openShared(QStringLiteral("select * from dy order by id")))
            for (RecordSet& r = state.db.shared(); !r.atEnd(); r.moveNext())
                all += QStringLiteral("%1|%2|%3|%4;").arg(r.readText("nam"), decodeTemplateText(r.readText("xx")),
                                                          r.readText("status"), r.readText("sx"));
        return all;
    }
    QStringList messageTexts() const
    {
        return boxes.texts() + reporter.messages;
    }
};

QStringList entries(const QComboBox& selector)
{
    QStringList all;
    for (int i = 0; i < selector.count(); ++i)
        all << selector.itemText(i) + QLatin1Char('=') + selector.itemData(i).toString();
    return all;
}

} // namespace

class TemplatesPageTest : public QObject {
    Q_OBJECT
private slots:
    void statementsAreWrittenLetterByLetter()
    {
        const QDateTime added(QDate(2013, 5, 6), QTime(14, 3, 9));
        QCOMPARE(insertTemplateStatement(QStringLiteral("报名表"), QStringLiteral("<b>x y</b>"), added, true, 2.5),
                 QStringLiteral("INSERT INTO dy  (nam,xx,dtime,status,sx) values ('报名表','%3Cb%3Ex%20y%3C/b%3E',"
                                "'2013年5月6日14时3分9秒',1,2.5)"));
        QCOMPARE(updateTemplateStatement(7, QStringLiteral("O'K"), QStringLiteral("a"), false, 0),
                 QStringLiteral("UPDATE dy SET nam='O''K',xx='a',status=0,sx=0  where id=7"));
        QCOMPARE(deleteTemplateStatement(7), QStringLiteral("delete * from dy  where id=7"));
        QCOMPARE(templateListDate(QDateTime(QDate(1999, 12, 31), QTime(23, 0))), QString());
        QCOMPARE(templateListDate(QDateTime(QDate(2000, 1, 1), QTime(8, 30))), QStringLiteral("2000年1月1日8时30分"));
    }

    void addModifyAndDeleteATemplate()
    {
        PageFixture f;
        const QString html = QStringLiteral("<p style='x'>1+1 = 2, 100%</p>\n<p>[!--xm--] 报名</p>");
        f.fill(QStringLiteral("报名表"), QStringLiteral("  ") + html + QStringLiteral("\u3000 "), QStringLiteral("abc"));
        f.click("按钮_打印_添加");
        QCOMPARE(f.reporter.results.last(), QStringLiteral("报名表 添加成功"));
        QCOMPARE(f.rows(), QStringLiteral("报名表|") + html + QStringLiteral("|1|0;"));
        QCOMPARE(f.changes, 1);
        // The title box is cleared; content, order and switch keep their values.
        QCOMPARE(f.title()->text(), QString());
        QCOMPARE(f.order()->text(), QStringLiteral("abc"));
        QVERIFY(f.content()->toPlainText().contains(QStringLiteral("[!--xm--]")));
        QCOMPARE(f.list()->topLevelItemCount(), 1);
        QTreeWidgetItem* row = f.list()->topLevelItem(0);
        QCOMPARE(row->text(0), QStringLiteral("1"));
        QCOMPARE(row->text(2), QStringLiteral("报名表"));
        QVERIFY(row->text(3).contains(QStringLiteral("年")));
        QCOMPARE(row->text(5), QStringLiteral("启用"));
        const QString added = f.queryValue(QStringLiteral("select dtime from dy"));

        f.content()->clear();
        f.selectRow(0);
        QCOMPARE(f.content()->toPlainText(), html);
        QCOMPARE(f.title()->text(), QStringLiteral("报名表"));
        f.fill(QStringLiteral("收据"), QStringLiteral("<i>[!--fybm1dx--]</i>"), QStringLiteral("3"), false);
        f.click("按钮_打印_修改");
        QCOMPARE(f.reporter.results.last(), QStringLiteral("收据 修改成功"));
        QCOMPARE(f.rows(), QStringLiteral("收据|<i>[!--fybm1dx--]</i>|0|3;"));
        QCOMPARE(f.queryValue(QStringLiteral("select dtime from dy")), added);
        QCOMPARE(f.list()->topLevelItem(0)->text(5), QStringLiteral("未启用"));
        QCOMPARE(f.changes, 2);

        f.selectRow(0);
        f.click("按钮_打印_删除");
        QCOMPARE(f.reporter.results.last(), QStringLiteral("收据 删除成功"));
        QCOMPARE(f.rows(), QString());
        QCOMPARE(f.list()->topLevelItemCount(), 0);
        QCOMPARE(f.changes, 3);
        QVERIFY(f.messageTexts().isEmpty());
    }

    void refusalsChangeNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("group");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("titleText");
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("message");
        const QString refusal = QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。");
        const QString unfilled = QStringLiteral("填写错误，请全部填写后再试");
        QTest::newRow("add as auditor") << "按钮_打印_添加" << 5 << true << "t" << "x" << refusal;
        QTest::newRow("modify as finance") << "按钮_打印_修改" << 6 << true << "t" << "x" << refusal;
        QTest::newRow("delete as auditor") << "按钮_打印_删除" << 4 << true << "t" << "x" << refusal;
        QTest::newRow("add blank content") << "按钮_打印_添加" << 2 << true << "t" << " \u3000 " << unfilled;
        QTest::newRow("add blank title") << "按钮_打印_添加" << 1 << true << "  " << "x" << unfilled;
        QTest::newRow("modify blank title") << "按钮_打印_修改" << 1 << true << "" << "x" << unfilled;
        QTest::newRow("modify unselected") << "按钮_打印_修改" << 1 << false << "t" << "x" << "请先选中要修改项目";
        QTest::newRow("delete unselected") << "按钮_打印_删除" << 1 << false << "t" << "x" << "请选中删除的项目";
    }
    void refusalsChangeNothing()
    {
        QFETCH(QString, button);
        QFETCH(int, group);
        QFETCH(bool, selected);
        QFETCH(QString, titleText);
        QFETCH(QString, html);
        QFETCH(QString, message);
        PageFixture f;
        f.addTemplate(QStringLiteral("old"), QStringLiteral("<p>old</p>"));
        f.page.loadTemplateList();
        if (selected)
            f.selectRow(0);
        const QString before = f.rows();
        f.state.currentOperator.group = group;
        f.fill(titleText, html);
        f.click(button.toUtf8().constData());
        QCOMPARE(f.messageTexts(), QStringList{message});
        QCOMPARE(f.rows(), before);
        QCOMPARE(f.changes, 0);
        QVERIFY(f.reporter.results.isEmpty());
    }

    void listFollowsTheOrderAndHidesOldDates()
    {
        PageFixture f;
        f.addTemplate(QStringLiteral("second"), QStringLiteral("b"), 1, 5);
        f.addTemplate(QStringLiteral("first"), QStringLiteral("a"), 0, 1);
        QVERIFY(f.execute(QStringLiteral("UPDATE dy SET dtime='1999-01-01 00:00:00',mark='短' where nam='first'")));
        f.page.loadTemplateList();
        QCOMPARE(f.list()->topLevelItemCount(), 2);
        QTreeWidgetItem* first = f.list()->topLevelItem(0);
        QCOMPARE(first->text(2), QStringLiteral("first"));
        QCOMPARE(first->text(1), QStringLiteral("短"));
        QCOMPARE(first->text(3), QString());
        QCOMPARE(first->text(5), QStringLiteral("未启用"));
        QCOMPARE(f.list()->topLevelItem(1)->text(3), QStringLiteral("2013年5月6日14时3分9秒"));
        f.selectRow(0);
        QCOMPARE(f.find<QLineEdit>("编辑框_打印_短标题")->text(), QStringLiteral("短"));
        QVERIFY(!f.enabled()->isChecked());
    }

    void previewShowsTheSourceUnfilled()
    {
        PageFixture f;
        f.content()->setPlainText(QStringLiteral("<p>[!--xm--] 报名</p>"));
        f.click("按钮_打印_预览");
        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window);
        QVERIFY(waitForDocument(*window));
        QCOMPARE(window->shownFile(), f.dir.file(QStringLiteral("pre.htm")));
        QFile pre(f.dir.file(QStringLiteral("pre.htm")));
        QVERIFY(pre.open(QIODevice::ReadOnly));
        QCOMPARE(pre.readAll(), toGbk(QStringLiteral("<p>[!--xm--] 报名</p>")));
    }

    void printChoicesOfferEnabledTemplates_data()
    {
        QTest::addColumn<int>("enabledCount");
        QTest::addColumn<QString>("fixed");
        QTest::newRow("two") << 2 << "不需打印=0|打印本列全部=-1";
        QTest::newRow("three") << 3 << "不需打印=0|打印前2项=-2|打印本列全部=-1";
        QTest::newRow("four") << 4 << "不需打印=0|打印前2项=-2|打印前3项=-3|打印本列全部=-1";
    }
    void printChoicesOfferEnabledTemplates()
    {
        QFETCH(int, enabledCount);
        QFETCH(QString, fixed);
        PrintingFixture f;
        QStringList expected = fixed.split(QLatin1Char('|'));
        f.addTemplate(QStringLiteral("off"), QStringLiteral("x"), 0, 0);
        for (int t = enabledCount; t >= 1; --t) {
            const int id = f.addTemplate(QStringLiteral("t%1").arg(t), QStringLiteral("x"), 1, t);
            expected.insert(expected.size() - enabledCount + t, QStringLiteral("-t%1=%2").arg(t).arg(id));
        }
        writeIniValue(f.state.iniPath, QStringLiteral("add_dy"), QStringLiteral("2"));
        QComboBox addChoice, browseChoice;
        browseChoice.addItem(QStringLiteral("stale"), 99);
        fillPrintChoices(f.state, &addChoice, &browseChoice);
        QCOMPARE(entries(addChoice), expected);
        QCOMPARE(entries(browseChoice), expected);
        QCOMPARE(browseChoice.currentIndex(), 0);
        QCOMPARE(addChoice.currentIndex(), 2);
    }
};

BRENVO_TEST(TemplatesPageTest)
#include "test_templatespage.moc"
