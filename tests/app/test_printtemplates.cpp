#include "appfixture.h"

#include "app/outlookmenu.h"
#include "platform/sqlliteral.h"
#include "printing/previewwindow.h"
#include "printing/templatecodec.h"

#include <QPlainTextEdit>
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
