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
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>

namespace {


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

// What a script run beside the page (not by it) reads from the page; the
// page's own scripts may be off, this one still runs.
QVariant evaluate(QWebEnginePage& page, const QString& script)
{
    QVariant result;
    bool done = false;
    page.runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 30000))
        qWarning("the script beside the page gave no answer");
    return result;
}

// A page that tries what a hostile value in a printed form would: a script
// of its own, requests for another local file and for a remote picture. It
// also shows the photo and a name that GBK has no bytes for.
struct HostilePage {
    QString html;
    QString otherLocalFile;
    QTcpServer remote;

    explicit HostilePage(const PrintingFixture& f)
    {
        const QString photo = f.dir.file(QStringLiteral("photo/5/face.jpg"));
        QDir().mkpath(QFileInfo(photo).absolutePath());
        QImage face(30, 40, QImage::Format_RGB32);
        face.fill(Qt::darkCyan);
        face.save(photo, "JPG");
        otherLocalFile = f.dir.file(QStringLiteral("secret.txt"));
        QFile secret(otherLocalFile);
        secret.open(QIODevice::WriteOnly);
        secret.write("the secret");
        remote.listen(QHostAddress::LocalHost);
        html = QStringLiteral("<html><head><title>untouched</title></head><body>"
                              "<script>document.title = 'script ran';</script>"
                              "<img id=\"photo\" src=\"%1\"><img src=\"http://127.0.0.1:%2/pixel.png\">"
                              "<p id=\"name\">王䶮</p></body></html>")
                   .arg(photo)
                   .arg(remote.serverPort());
    }
    // Run beside the page, with the page's rights: what it could read of the
    // other file, named by its path and by its file address.
    QString readOtherFile(bool byAddress) const
    {
        const QString target = byAddress ? QUrl::fromLocalFile(otherLocalFile).toString() : otherLocalFile;
        return QStringLiteral("(() => { const r = new XMLHttpRequest();"
                              " try { r.open('GET', '%1', false); r.send(); return r.status == 200 ? r.responseText : 'refused'; }"
                              " catch (e) { return 'refused'; } })()")
            .arg(target);
    }
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
        const QString document = readHtmlFile(window->shownFile());
        QVERIFY(window->shownFile().endsWith(QStringLiteral(".tmp.htm")));
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
        QCOMPARE(finishedPdfPages(pdf), 6);
    }

    void printRequestsReuseTheOpenWindow()
    {
        ThreeByThree f;
        f.choose(f.addChoice, "-模板3");
        printAfterAdd(f.state, f.addChoice, f.registrations[0]);
        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window);
        QVERIFY(waitForDocument(*window));
        const QString first = window->shownFile();
        QCOMPARE(readHtmlFile(first), QStringLiteral("<h1>模板3 张三</h1>"));

        f.choose(f.addChoice, "打印本列全部");
        printAfterAdd(f.state, f.addChoice, f.registrations[2]);
        QCOMPARE(printPreviewWindow(), window);
        QVERIFY(waitForDocument(*window));
        const QString second = window->shownFile();
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
        QCOMPARE(finishedPdfPages(pdf), 2);
    }

    void printedFormsRunNoScriptAndReadNoOtherFile()
    {
        PrintingFixture f;
        HostilePage page(f);
        const QString path = showPrintDocument(f.state, page.html);
        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window && waitForDocument(*window));
        QWebEnginePage& shown = *window->browser()->page();

        // The template's own pictures still load, and the name prints whole.
        QCOMPARE(evaluate(shown, QStringLiteral("document.getElementById('photo').naturalWidth")).toInt(), 30);
        QCOMPARE(evaluate(shown, QStringLiteral("document.getElementById('name').textContent")).toString(),
                 QStringLiteral("王䶮"));

        QCOMPARE(evaluate(shown, QStringLiteral("document.title")).toString(), QStringLiteral("untouched"));
        QCOMPARE(evaluate(shown, page.readOtherFile(false)).toString(), QStringLiteral("refused"));
        QCOMPARE(evaluate(shown, page.readOtherFile(true)).toString(), QStringLiteral("refused"));
        QVERIFY(!page.remote.waitForNewConnection(500));

        // The same file in a browser with its defaults runs the script and
        // reads the file, so the checks above can tell.
        QWebEngineView plain;
        QSignalSpy loaded(&plain, &QWebEngineView::loadFinished);
        plain.load(QUrl::fromLocalFile(path));
        QVERIFY(loaded.wait(30000));
        QCOMPARE(evaluate(*plain.page(), QStringLiteral("document.title")).toString(), QStringLiteral("script ran"));
        QCOMPARE(evaluate(*plain.page(), page.readOtherFile(false)).toString(), QStringLiteral("the secret"));
    }

    // The print files are GB18030, and the browser reads them so whatever
    // the page declares.
    void theWholeNamePrintsWhateverThePageDeclares_data()
    {
        QTest::addColumn<QString>("charset");
        QTest::newRow("nothing") << QString();
        QTest::newRow("gb2312") << QStringLiteral("gb2312");
        QTest::newRow("gbk") << QStringLiteral("GBK");
        QTest::newRow("gb18030") << QStringLiteral("gb18030");
        QTest::newRow("utf-8") << QStringLiteral("utf-8");
    }
    void theWholeNamePrintsWhateverThePageDeclares()
    {
        QFETCH(QString, charset);
        PrintingFixture f;
        const QString head = charset.isEmpty()
            ? QString()
            : QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%1\">").arg(charset);
        const QString path = showPrintDocument(
            f.state, QStringLiteral("<html><head>%1</head><body><p id=\"name\">报名 王䶮 𠀀</p></body></html>").arg(head));
        QCOMPARE(readHtmlFile(path), QStringLiteral("<html><head>%1</head><body><p id=\"name\">报名 王䶮 𠀀</p></body></html>").arg(head));
        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window && waitForDocument(*window));
        QCOMPARE(evaluate(*window->browser()->page(), QStringLiteral("document.getElementById('name').textContent")).toString(),
                 QStringLiteral("报名 王䶮 𠀀"));
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

    // Started as the program starts on a window system (a virtual X server),
    // a process maps no OpenGL driver until its first print browser, which
    // then shows its file on the shared context made for it.
    void theOpenGLDriverLoadsWithTheFirstBrowserNotAtStart()
    {
        const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        if (xvfbRun.isEmpty())
            QSKIP("xvfb-run is not installed");
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("page.htm"));
        QFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("<html><body><h1>x</h1></body></html>") > 0);
        file.close();
        QProcess browser;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        browser.setProcessEnvironment(environment);
        browser.start(xvfbRun, {QStringLiteral("-a"), QStringLiteral(DEFERRED_BROWSER), page});
        QVERIFY(browser.waitForFinished(120000));
        QCOMPARE(browser.exitCode(), 0);
        const QStringList lines = QString::fromLatin1(browser.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("driver-at-start 0"));
        QCOMPARE(lines.value(1), QStringLiteral("shown 1"));
        QCOMPARE(lines.value(2), QStringLiteral("driver-now 1"));
        QCOMPARE(lines.value(3), QStringLiteral("shared-context 1"));
    }
};

BRENVO_TEST(PrintDocumentTest)
#include "test_printdocument.moc"
