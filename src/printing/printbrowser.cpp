#include "printing/printbrowser.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QOpenGLContext>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

// Qt's setter of the shared context, exported by Qt GUI for the browser engine
// (which declares it the same way); QOpenGLContext::globalShareContext() is
// the public getter.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

namespace {

QOpenGLContext* deferredContext = nullptr;

void releaseDeferredContext()
{
    if (QOpenGLContext::globalShareContext() == deferredContext)
        qt_gl_set_global_share_context(nullptr);
    delete deferredContext;
    deferredContext = nullptr;
}

// The program's stand-in made now, as the engine would have made it at start.
void makeDeferredContext()
{
    if (!deferredContext || deferredContext->isValid() || QOpenGLContext::globalShareContext() != deferredContext)
        return;
    deferredContext->setScreen(QGuiApplication::primaryScreen());
    deferredContext->setFormat(QSurfaceFormat::defaultFormat());
    deferredContext->create();
}

const QByteArray printScheme = QByteArrayLiteral("brenvo-print");

// The files the program writes are GB18030; saying so in the reply overrides
// the GBK or GB2312 a template may declare, whose decoders lack the
// characters GBK has no bytes for.
const QByteArray documentType = QByteArrayLiteral("text/html;charset=gb18030");

void registerPrintScheme()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    QWebEngineUrlScheme scheme(printScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

class PrintFileServer : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void requestStarted(QWebEngineUrlRequestJob* job) override
    {
        const QString path = printFilePath(job->requestUrl());
        // The program's own navigation has no initiator; what the page asks
        // for carries the page's origin and gets pictures only.
        const bool programDocument = job->initiator().isEmpty();
        QByteArray type = documentType;
        if (!programDocument) {
            const QMimeType content = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchContent);
            if (!content.name().startsWith(QLatin1String("image/"))) {
                job->fail(QWebEngineUrlRequestJob::RequestDenied);
                return;
            }
            type = content.name().toLatin1();
        }
        auto* file = new QFile(path, job);
        if (!file->open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        job->reply(type, file);
    }
};

// Nothing leaves the print scheme: remote addresses are refused (the
// browser itself refuses file addresses to a page of this scheme).
class PrintRequestGuard : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QString scheme = info.requestUrl().scheme();
        info.block(scheme != QLatin1String(printScheme) && scheme != QLatin1String("data"));
    }
};

void servePrintFiles(QWebEngineProfile* profile)
{
    if (!profile->urlSchemeHandler(printScheme))
        profile->installUrlSchemeHandler(printScheme, new PrintFileServer(profile));
}

} // namespace

void deferBrowserGraphics()
{
    if (QCoreApplication::instance() || deferredContext || QOpenGLContext::globalShareContext())
        return;
    deferredContext = new QOpenGLContext;
    qt_gl_set_global_share_context(deferredContext);
    // Gone while the window system still is, as the engine's own would be.
    qAddPostRoutine(releaseDeferredContext);
}

QWebEngineView* createPrintBrowser(QWidget* parent)
{
    makeDeferredContext();
    registerPrintScheme();
    auto* view = new QWebEngineView(parent);
    QWebEngineSettings* settings = view->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    servePrintFiles(view->page()->profile());
    view->page()->setUrlRequestInterceptor(new PrintRequestGuard(view));
    return view;
}

QUrl printFileUrl(const QString& path)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(printScheme));
    url.setPath(path, QUrl::DecodedMode);
    return url;
}

QString printFilePath(const QUrl& url)
{
    return url.scheme() == QLatin1String(printScheme) ? url.path(QUrl::FullyDecoded) : QString();
}
