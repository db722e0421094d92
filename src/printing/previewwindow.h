#pragma once
// The one window every print goes through: it shows a local HTML file in an
// embedded browser and hands printing to that browser (at once to the default
// printer, through the print dialog, as a print preview) and sets up the page.

#include "core/appstate.h"
#include "platform/anchors.h"

#include <QPrinter>
#include <QWidget>

#include <memory>

class QPushButton;
class QWebEngineView;

class PrintPreviewWindow : public QWidget {
    Q_OBJECT
public:
    explicit PrintPreviewWindow(AppState& state);
    ~PrintPreviewWindow() override;

    // Navigates the browser to a local file, replacing the document shown.
    void showFile(const QString& path);
    // The local file the browser shows; empty before the first.
    QString shownFile() const;
    // Only the document, for pages that are read rather than printed: the
    // four buttons hidden and the browser at the top left.
    void showDocumentOnly();

    void printDirect();
    void printWithDialog();
    void showPrintPreview();
    void showPageSetup();

    QWebEngineView* browser() const { return view; }
    // The printer the buttons print on, with the page set up by the operator.
    QPrinter& printer() { return pagePrinter; }
    bool isPrinting() const { return printing; }

signals:
    // A print handed to the browser has ended.
    void printDone(bool success);

private:
    void startPrint();
    // The browser follows the window on all four sides from where it is now.
    void anchorBrowser();

    AppState& state;
    QWebEngineView* view = nullptr;
    QPushButton* buttons[4] = {};
    std::unique_ptr<AnchorLayout> anchors;
    QPrinter pagePrinter;
    bool printing = false;
};

// The open window, created (not modal, no parent) and shown when not open.
PrintPreviewWindow& openPrintPreview(AppState& state);
// The open window, or null.
PrintPreviewWindow* printPreviewWindow();
// Closes the window when open; the program does this when it ends.
void closePrintPreview();
