#pragma once
#include <QString>

class QLabel;
class QWidget;

// A label showing caption as a link that opens target (a local page or a web
// address) with the desktop's default handler.
QLabel* makeLinkLabel(const QString& name, const QString& caption, const QString& target, QWidget* parent);

// Opens a local file or a web address with the desktop's default handler.
void openWithDesktop(const QString& fileOrAddress);
