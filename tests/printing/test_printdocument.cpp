#include "printingfixture.h"

#include "printing/htmlfile.h"
#include "printing/printchoices.h"
#include "printing/rendering.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEnginePage>

namespace {

// Pages of a PDF file: its page objects (not the page tree).
int pdfPageCount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = file.readAll();
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    return int(QString::fromLatin1(pdf).count(page));
}

// Three enabled templates and three registrations.
struct ThreeByThree : PrintingFixture {
    QVector<int> templates, registrations;
    QComboBox addChoice, browseChoice;
    ThreeByThree()
    {
        for (int t = 1; t <= 3; ++t)
            templates << addTemplate(QStringLiteral("模板%1").arg(t),
                                     QStringLiteral("<h1>模板%1 [!--xm--]</h1>").arg(t), 1, t);
        for (const char* name : {"张三", "李四", "王五"})
            registrations << addRegistration({{QStringLiteral("xm"), QString::fromUtf8(name)}});
        fillPrintChoices(state, &addChoice, &browseChoice);
    }
    void choose(QComboBox& selector, const char* entry) { selector.setCurrentText(QString::fromUtf8(entry)); }
};

// Runs `answer` on the first visible dialog of type T once `ready` says so,
// or after 30 seconds; gives up waiting when the dialog never opens.
template <typename T>
class DialogAnswer {
public:
    DialogAnswer(std::function<bool(T&)> ready, std::function<void(T&)> answer)
    {
        elapsed.start();
        QObject::connect(&poll, &QTimer::timeout, [this, ready, answer] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<T*>(top);
                if (!dialog || !dialog->isVisible())
                    continue;
                seen = true;
                if (ready(*dialog) || elapsed.hasExpired(30000)) {
                    poll.stop();
                    answer(*dialog);
                }
            }
        });
        poll.start(100);
    }
    bool seen = false;

private:
    QTimer poll;
    QElapsedTimer elapsed;
};

} // namespace

class PrintDocumentTest : public QObject {
    Q_OBJECT
private slots:
    void checkedRecordsWithFirstTwoPrintSixPagesIntoPdf()
    {
        ThreeByThree f;
        f.choose(f.browseChoice, "打印前2项");
        printCheckedRecords(f.state, f.browseChoice, f.registrations);

        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(waitForDocument(*window));
        const QString document = readHtmlFile(window->browser()->url().toLocalFile());
        QVERIFY(window->browser()->url().toLocalFile().endsWith(QStringLiteral(".tmp.htm")));
        QCOMPARE(document.count(pageBreakBlock), 5);
        QCOMPARE(document.count(QStringLiteral("<h1>模板1 ")), 3);
        QCOMPARE(document.count(QStringLiteral("<h1>模板2 ")), 3);
        QVERIFY(!document.contains(QStringLiteral("模板3")));
        QVERIFY(document.indexOf(QStringLiteral("张三")) < document.indexOf(QStringLiteral("李四")));

        const QString pdf = f.dir.file(QStringLiteral("out.pdf"));
        QSignalSpy printed(window->browser()->page(), &QWebEnginePage::pdfPrintingFinished);
        window->browser()->page()->printToPdf(pdf);
        QVERIFY(printed.wait(60000));
        QVERIFY(printed.first().at(1).toBool());
        QCOMPARE(pdfPageCount(pdf), 6);
    }

    void printRequestsReuseTheOpenWindow()
    {
        ThreeByThree f;
        f.choose(f.addChoice, "-模板3");
        printAfterAdd(f.state, f.addChoice, f.registrations[0]);
        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window);
        QVERIFY(waitForDocument(*window));
        const QString first = window->browser()->url().toLocalFile();
        QCOMPARE(readHtmlFile(first), QStringLiteral("<h1>模板3 张三</h1>"));

        f.choose(f.addChoice, "打印本列全部");
        printAfterAdd(f.state, f.addChoice, f.registrations[2]);
        QCOMPARE(printPreviewWindow(), window);
        QVERIFY(waitForDocument(*window));
        const QString second = window->browser()->url().toLocalFile();
        QVERIFY(second != first);
        QCOMPARE(readHtmlFile(second).count(pageBreakBlock), 2);
        QCOMPARE(readHtmlFile(second).count(QStringLiteral("王五")), 3);
    }

    void nothingIsPrintedWithoutAChoiceOrTicks()
    {
        ThreeByThree f;
        f.choose(f.addChoice, "不需打印");
        printAfterAdd(f.state, f.addChoice, f.registrations[0]);
        QVERIFY(!printPreviewWindow());

        f.choose(f.addChoice, "打印前3项");
        printAfterAdd(f.state, f.addChoice, 0);
        QVERIFY(!printPreviewWindow());

        f.choose(f.browseChoice, "打印本列全部");
        printCheckedRecords(f.state, f.browseChoice, {});
        QVERIFY(!printPreviewWindow());
        QCOMPARE(f.reporter.messages, QStringList{QStringLiteral("请勾选待打印项！")});
        QCOMPARE(f.reporter.styles, QList<int>{4096});
        QVERIFY(!QApplication::overrideCursor());
    }

    void dialogsPrintTheShownDocument()
    {
        ThreeByThree f;
        f.choose(f.browseChoice, "打印前2项");
        printCheckedRecords(f.state, f.browseChoice, {f.registrations[1]});
        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window && waitForDocument(*window));
        auto click = [window](const char* name) { window->findChild<QPushButton*>(QString::fromUtf8(name))->click(); };

        int previewPages = -1;
        DialogAnswer<QPrintPreviewDialog> preview(
            [](QPrintPreviewDialog& d) { return d.findChild<QPrintPreviewWidget*>()->pageCount() == 2; },
            [&](QPrintPreviewDialog& d) {
                previewPages = d.findChild<QPrintPreviewWidget*>()->pageCount();
                d.reject();
            });
        click("按钮_打印_预览");
        QCOMPARE(previewPages, 2);

        DialogAnswer<QPageSetupDialog> pageSetup([](QPageSetupDialog&) { return true; },
                                                 [](QPageSetupDialog& d) { d.accept(); });
        click("按钮_页面设置");
        QVERIFY(pageSetup.seen);

        const QString pdf = f.dir.file(QStringLiteral("dialog.pdf"));
        window->printer().setOutputFormat(QPrinter::PdfFormat);
        window->printer().setOutputFileName(pdf);
        // The operator picks printing to a file (the dialog's last printer entry).
        DialogAnswer<QPrintDialog> printDialog([](QPrintDialog&) { return true; }, [&](QPrintDialog& d) {
            auto* printers = d.findChild<QComboBox*>(QStringLiteral("printers"));
            printers->setCurrentIndex(printers->count() - 1);
            d.findChild<QLineEdit*>(QStringLiteral("filename"))->setText(pdf);
            d.accept();
        });
        QSignalSpy done(window, &PrintPreviewWindow::printDone);
        click("按钮_打印");
        QVERIFY(printDialog.seen);
        QVERIFY(done.wait(60000));
        QVERIFY(done.first().first().toBool());
        QCOMPARE(pdfPageCount(pdf), 2);
    }

    void browserFollowsTheWindowWhileButtonsStay()
    {
        PrintingFixture f;
        PrintPreviewWindow& window = openPrintPreview(f.state);
        auto* directPrint = window.findChild<QPushButton*>(QStringLiteral("按钮_直接打印"));
        QVERIFY(directPrint);
        QCOMPARE(window.browser()->objectName(), QStringLiteral("互联网浏览器1"));
        const QRect buttonBefore = directPrint->geometry();
        const QRect browserBefore = window.browser()->geometry();
        window.resize(window.width() + 100, window.height() + 50);
        QCOMPARE(directPrint->geometry(), buttonBefore);
        QCOMPARE(window.browser()->geometry(), browserBefore.adjusted(0, 0, 100, 50));
    }
};

BRENVO_TEST(PrintDocumentTest)
#include "test_printdocument.moc"
