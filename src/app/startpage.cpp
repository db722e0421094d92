#include "app/startpage.h"

#include "app/datafolder.h"
#include "platform/links.h"

#include <QLabel>
#include <QPixmap>

StartPage::StartPage(const QSize& size)
{
    resize(size);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("图片框2"));
    const QPixmap pixmap(QStringLiteral(":/start/start.png"));
    picture->setPixmap(pixmap);
    picture->setGeometry(20, 20, pixmap.width(), pixmap.height());
    makeLinkLabel(QStringLiteral("透明标签6"), QStringLiteral("帮助文件"), shippedPage(QStringLiteral("help.htm")), this)
        ->setGeometry(24, 30 + pixmap.height(), 80, 20);
    makeLinkLabel(QStringLiteral("透明标签7"), QStringLiteral("访问网站"), shippedPage(QStringLiteral("brenvo.htm")), this)
        ->setGeometry(114, 30 + pixmap.height(), 80, 20);
}
