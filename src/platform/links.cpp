#include "platform/links.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QUrl>

QLabel* makeLinkLabel(const QString& name, const QString& caption, const QString& target, QWidget* parent)
{
    auto* link = new QLabel(parent);
    link->setObjectName(name);
    link->setText(QStringLiteral("<a href=\"%1\" style=\"color:#1d4f91\">%2</a>").arg(target.toHtmlEscaped(), caption));
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setAttribute(Qt::WA_TranslucentBackground);
    QObject::connect(link, &QLabel::linkActivated, link, [](const QString& address) { openWithDesktop(address); });
    return link;
}

void openWithDesktop(const QString& fileOrAddress)
{
    const QUrl url = QFileInfo::exists(fileOrAddress) ? QUrl::fromLocalFile(fileOrAddress) : QUrl(fileOrAddress);
    QDesktopServices::openUrl(url);
}
