#include "appfixture.h"

#include "app/outlookmenu.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"
#include "printing/previewwindow.h"
#include "printing/rendering.h"
#include "printing/templatecodec.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QWebEngineView>
#include <QTabWidget>
#include <QTreeWidget>

class PrintTemplatesTest : public QObject {
    Q_OBJECT
private slots:
    // The operator opens 打印模板, adds a template and finds it offered on the
    // add and browse pages at once.
    void addedTemplateIsOfferedForPrinting()
    {
        AppFixture app;
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("INSERT INTO dy (nam,xx,status,sx) values ('收据',")
                            + sqlText(encodeTemplateText(QStringLiteral("<p>[!--xm--]</p>"))) + QStringLiteral(",1,1)")));
        app.window->outlookMenu()->clickEntry(1, 3);
        QCOMPARE(app.window->pages()->currentIndex(), 10);
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_打印"));
        QCOMPARE(list->topLevelItemCount(), 1);

        app.find<QLineEdit>(QStringLiteral("编辑框_打印_标题名"))->setText(QStringLiteral("报名表"));
        app.find<QLineEdit>(QStringLiteral("编辑框_打印_顺序"))->setText(QStringLiteral("2"));
        app.find<QPlainTextEdit>(QStringLiteral("编辑框_打印_内容"))->setPlainText(QStringLiteral("<h1>[!--xm--]</h1>"));
        app.find<QPushButton>(QStringLiteral("按钮_打印_添加"))->click();
        QCOMPARE(app.statusText(), QStringLiteral("报名表 添加成功"));
        QCOMPARE(list->topLevelItemCount(), 2);
        for (const char* selector : {"组合框_添加_打印", "组合框_信息浏览_打印"}) {
            auto* choices = app.find<QComboBox>(QString::fromUtf8(selector));
            QCOMPARE(choices->count(), 4);
            QCOMPARE(choices->itemText(3), QStringLiteral("-报名表"));
        }
        QVERIFY(app.messages.texts().isEmpty());
    }

    // The operator ticks three listed registrations and picks 打印前2项: one
    // document of six pages, two per registration, in list order.
    void tickedRegistrationsPrintFromTheBrowsePage()
    {
        AppFixture app;
        QVERIFY(app.start());
        for (int t = 1; t <= 3; ++t)
            QVERIFY(app.execute(QStringLiteral("INSERT INTO dy (nam,xx,status,sx) values ('模板%1',").arg(t)
                                + sqlText(encodeTemplateText(QStringLiteral("<p>模板%1:[!--xm--]</p>").arg(t)))
                                + QStringLiteral(",1,%1)").arg(t)));
        for (int n = 1; n <= 4; ++n)
            QVERIFY(app.execute(QStringLiteral("insert into bmb (xm,dtime,status) values ('学生%1','2013-05-0%1 08:00:00',1)").arg(n)));
        QVERIFY(app.start());
        app.window->showBrowse(false);
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_信息浏览"));
        QCOMPARE(list->topLevelItemCount(), 4);
        QStringList expected;
        for (int row : {0, 1, 3}) {
            list->topLevelItem(row)->setCheckState(0, Qt::Checked);
            const int id = list->topLevelItem(row)->data(0, Qt::UserRole).toInt();
            const QString name = app.queryValue(QStringLiteral("select xm from bmb where id=%1").arg(id));
            expected << QStringLiteral("<p>模板1:") + name + QStringLiteral("</p>")
                     << QStringLiteral("<p>模板2:") + name + QStringLiteral("</p>");
        }

        auto* choice = app.find<QComboBox>(QStringLiteral("组合框_信息浏览_打印"));
        choice->setCurrentIndex(choice->findText(QStringLiteral("打印前2项")));
        emit choice->activated(choice->currentIndex());
        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window->shownFile().isEmpty(), 30000);
        QFile document(window->shownFile());
        QVERIFY(document.open(QIODevice::ReadOnly));
        QCOMPARE(fromGbk(document.readAll()), expected.join(pageBreakBlock));
        QCOMPARE(choice->currentText(), QStringLiteral("打印前2项"));
    }

    void closingTheMainWindowClosesThePrintWindow()
    {
        AppFixture app;
        QVERIFY(app.start());
        app.window->outlookMenu()->clickEntry(1, 3);
        app.find<QPushButton>(QStringLiteral("按钮_打印_预览"))->click();
        QVERIFY(printPreviewWindow());
        app.closeWindow();
        QVERIFY(!printPreviewWindow());
    }
};

BRENVO_TEST(PrintTemplatesTest)
#include "test_printtemplates.moc"
