#include "printingfixture.h"

#include "printing/printchoices.h"
#include "printing/rendering.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

namespace {

// A CUPS server that cannot exist: printing sees no printer at all.
const QString noServer = QStringLiteral("/nonexistent/brenvo-test/cups.sock");

// The PDF files written since `since` (the queue names files after the job's
// title, so a file of an earlier run may be overwritten).
QStringList pdfFilesSince(const QString& dir, const QDateTime& since)
{
    QStringList files;
    for (const QFileInfo& file : QDir(dir).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
        if (file.lastModified() >= since)
            files << file.absoluteFilePath();
    return files;
}

// The pages of a finished PDF file, or -1 while it is still being written.
int finishedPdfPages(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = file.readAll();
    if (!pdf.trimmed().endsWith("%%EOF"))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    return int(QString::fromLatin1(pdf).count(page));
}

} // namespace

class PrintQueueTest : public QObject {
    Q_OBJECT
private slots:
    // Three ticked registrations printed at once on the default printer
    // become one job of three pages. scripts/test provides the printer: a
    // cups-pdf queue writing into BRENVO_PRINT_OUTPUT.
    void directPrintSendsOneJobToTheDefaultPrinter()
    {
        const QString output = qEnvironmentVariable("BRENVO_PRINT_OUTPUT");
        if (output.isEmpty())
            QSKIP("no test print queue (scripts/test starts one and sets BRENVO_PRINT_OUTPUT)");
        QVERIFY2(!QPrinterInfo::defaultPrinter().isNull(),
                 "no default printer: the CUPS scheduler with the brenvo-pdf queue is not running");

        PrintingFixture f;
        f.addTemplate(QStringLiteral("报名表"), QStringLiteral("<h1>报名表 [!--xm--]</h1>"));
        QVector<int> ticked;
        for (const char* name : {"张三", "李四", "王五"})
            ticked << f.addRegistration({{QStringLiteral("xm"), QString::fromUtf8(name)}});
        QComboBox addChoice, browseChoice;
        fillPrintChoices(f.state, &addChoice, &browseChoice);
        browseChoice.setCurrentText(QStringLiteral("-报名表"));
        printCheckedRecords(f.state, browseChoice, ticked);
        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window);
        QVERIFY(waitForDocument(*window));

        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
        QSignalSpy done(window, &PrintPreviewWindow::printDone);
        window->findChild<QPushButton*>(QStringLiteral("按钮_直接打印"))->click();
        QVERIFY2(done.wait(60000), "the browser did not finish printing within a minute");
        QVERIFY(done.first().first().toBool());
        QVERIFY(f.reporter.results.isEmpty());

        QStringList added;
        int pages = -1;
        for (QDeadlineTimer deadline(90000); !deadline.hasExpired() && pages < 0; QTest::qWait(250)) {
            added = pdfFilesSince(output, started);
            if (added.size() == 1)
                pages = finishedPdfPages(added.first());
        }
        QVERIFY2(!added.isEmpty(), "the print queue wrote no PDF within 90 seconds");
        QCOMPARE(added.size(), 1);
        QCOMPARE(pages, 3);
    }

    void directPrintWithoutAPrinterSaysSo()
    {
        if (qEnvironmentVariable("CUPS_SERVER") != noServer) {
            // Runs itself again where no printer can be found.
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("CUPS_SERVER"), noServer);
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("directPrintWithoutAPrinterSaysSo")});
            QVERIFY(child.waitForFinished(120000));
            QVERIFY2(child.exitCode() == 0, child.readAll().constData());
            return;
        }
        QVERIFY(QPrinterInfo::defaultPrinter().isNull());
        PrintingFixture f;
        PrintPreviewWindow& window = openPrintPreview(f.state);
        window.findChild<QPushButton*>(QStringLiteral("按钮_直接打印"))->click();
        QCOMPARE(f.reporter.results, QStringList{QStringLiteral("没有默认打印机，无法直接打印")});
        QVERIFY(!window.isPrinting());
    }
};

BRENVO_TEST(PrintQueueTest)
#include "test_printqueue.moc"
