// Starts as the program does, the print browser's graphics deferred, then
// shows an HTML file in a print browser: `deferred_browser <file.html>`
// prints "driver-at-start <0|1>" once the application object is made,
// "shown <0|1>" when the file has loaded (or not), then "driver-now <0|1>" and
// "shared-context <0|1>" (the shared OpenGL context is made).
#include "printing/printbrowser.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QOpenGLContext>
#include <QTimer>
#include <QWebEngineView>

#include <cstdio>

namespace {

// An OpenGL driver is mapped (mesa's *_dri.so or NVIDIA's), not only the
// dispatch libraries every Qt GUI program maps.
bool driverMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = maps.readAll();
    return text.contains("_dri.so") || text.contains("libnvidia-gl");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    deferBrowserGraphics();
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    std::printf("driver-at-start %d\n", driverMapped() ? 1 : 0);

    QWebEngineView* view = createPrintBrowser(nullptr);
    view->resize(400, 300);
    view->show();
    QEventLoop wait;
    bool shown = false;
    QObject::connect(view, &QWebEngineView::loadFinished, &wait, [&](bool ok) {
        shown = ok;
        wait.quit();
    });
    QTimer::singleShot(60000, &wait, &QEventLoop::quit);
    view->load(printFileUrl(QString::fromLocal8Bit(argv[1])));
    wait.exec();
    std::printf("shown %d\n", shown ? 1 : 0);
    std::printf("driver-now %d\n", driverMapped() ? 1 : 0);
    const QOpenGLContext* shared = QOpenGLContext::globalShareContext();
    std::printf("shared-context %d\n", shared && shared->isValid() ? 1 : 0);
    std::fflush(stdout);
    delete view;
    return 0;
}
