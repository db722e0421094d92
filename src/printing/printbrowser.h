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

// A browser set up as above. The first call registers the scheme, which the
// browser engine accepts only before its first object is made, so the print
// window creates its browser before any other browser object exists.
QWebEngineView* createPrintBrowser(QWidget* parent);

// The address the browser shows a local file at, and back.
QUrl printFileUrl(const QString& path);
QString printFilePath(const QUrl& url);
