#include "printing/previewwindow.h"

#include "printing/printbrowser.h"

#include <QEventLoop>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QWebEngineView>

namespace {

// The window is loaded on the first request and unloaded when closed; every
// request in between reuses it.
QPointer<PrintPreviewWindow>& openWindow()
{
    static QPointer<PrintPreviewWindow> window;
    return window;
}

} // namespace

PrintPreviewWindow::PrintPreviewWindow(AppState& appState) : state(appState)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The browser prints its pages as pictures: 300 dpi keeps forms sharp
    // while a three-page job stays a few hundred kilobytes.
    pagePrinter.setResolution(300);
    setWindowTitle(QStringLiteral("打印预览"));
    setGeometry(50, 50, 631, 464);

    struct ButtonSpec {
        const char* name;
        const char* caption;
        void (PrintPreviewWindow::*handler)();
    };
    const ButtonSpec buttonRows[4] = {
        {"按钮_直接打印", "直接打印", &PrintPreviewWindow::printDirect},
        {"按钮_打印", "打印...", &PrintPreviewWindow::printWithDialog},
        {"按钮_打印_预览", "预览...", &PrintPreviewWindow::showPrintPreview},
        {"按钮_页面设置", "页面设置", &PrintPreviewWindow::showPageSetup},
    };
    for (int i = 0; i < 4; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(buttonRows[i].caption), this);
        button->setObjectName(QString::fromUtf8(buttonRows[i].name));
        button->setGeometry(4 + 56 * i, 0, 56, 24);
        connect(button, &QPushButton::clicked, this, buttonRows[i].handler);
        buttons[i] = button;
    }

    view = createPrintBrowser(this);
    view->setObjectName(QStringLiteral("互联网浏览器1"));
    view->setGeometry(0, 32, 624, 400);
    anchorBrowser();
    connect(view, &QWebEngineView::printFinished, this, [this](bool success) {
        printing = false;
        if (!success)
            state.showResult(QStringLiteral("打印失败"));
        emit printDone(success);
    });
}

PrintPreviewWindow::~PrintPreviewWindow() = default;

void PrintPreviewWindow::showFile(const QString& path)
{
    view->load(printFileUrl(path));
}

QString PrintPreviewWindow::shownFile() const
{
    return printFilePath(view->url());
}

void PrintPreviewWindow::anchorBrowser()
{
    anchors = std::make_unique<AnchorLayout>();
    anchors->anchor(view, {true, true, true, true});
}

void PrintPreviewWindow::showDocumentOnly()
{
    for (QPushButton* button : buttons)
        button->hide();
    view->move(0, 0);
    anchorBrowser();
}

void PrintPreviewWindow::startPrint()
{
    printing = true;
    view->print(&pagePrinter);
}

void PrintPreviewWindow::printDirect()
{
    if (printing)
        return;
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (defaultPrinter.isNull()) {
        state.showResult(QStringLiteral("没有默认打印机，无法直接打印"));
        return;
    }
    pagePrinter.setOutputFormat(QPrinter::NativeFormat);
    pagePrinter.setPrinterName(defaultPrinter.printerName());
    startPrint();
}

void PrintPreviewWindow::printWithDialog()
{
    if (printing)
        return;
    QPrintDialog dialog(&pagePrinter, this);
    if (dialog.exec() == QDialog::Accepted)
        startPrint();
}

void PrintPreviewWindow::showPrintPreview()
{
    if (printing)
        return;
    QPrintPreviewDialog preview(&pagePrinter, this);
    // The dialog paints synchronously while the browser prints asynchronously,
    // so each repaint waits for the browser's print to end.
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* target) {
        QEventLoop wait;
        connect(view, &QWebEngineView::printFinished, &wait, &QEventLoop::quit);
        printing = true;
        view->print(target);
        wait.exec();
    });
    preview.exec();
}

void PrintPreviewWindow::showPageSetup()
{
    QPageSetupDialog dialog(&pagePrinter, this);
    dialog.exec();
}

PrintPreviewWindow& openPrintPreview(AppState& state)
{
    QPointer<PrintPreviewWindow>& window = openWindow();
    if (!window) {
        window = new PrintPreviewWindow(state);
        window->show();
    } else if (window->isMinimized()) {
        window->showNormal();
    }
    return *window;
}

PrintPreviewWindow* printPreviewWindow()
{
    return openWindow().data();
}

void closePrintPreview()
{
    delete openWindow().data();
}
