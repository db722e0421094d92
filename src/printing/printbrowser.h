#pragma once
// The embedded browser that shows and prints the program's HTML files.
//
// Printed forms hold what applicants typed, so the browser runs no script and
// reaches nothing but the file it was asked to show and the pictures that
// file shows. Files are served through a scheme of the program's own
// ("brenvo-print:" + path): it hands out the document the program navigates
// to, declared as GB18030 whatever the page itself declares, and any local
// file that is a picture; every other request, local or remote, is refused.

#include <QString>
#include <QUrl>

class QWebEngineView;
class QWidget;

// The browser engine and the application each make the window system's
// shared OpenGL context while the application object is made, which loads the
// whole OpenGL stack (tens of MB at the login window) for a print window that
// may never open. Called before the application object, this puts a context
// of the program's own in its place that is made only when the first browser
// is; until then whatever else draws with OpenGL shares with no context.
void deferBrowserGraphics();

// A browser set up as above. The first call registers the scheme, which the
// browser engine accepts only before its first object is made, so the print
// window creates its browser before any other browser object exists.
QWebEngineView* createPrintBrowser(QWidget* parent);

// The address the browser shows a local file at, and back.
QUrl printFileUrl(const QString& path);
QString printFilePath(const QUrl& url);
