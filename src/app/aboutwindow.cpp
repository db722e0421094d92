#include "app/aboutwindow.h"

#include "app/datafolder.h"
#include "app/lifecycle.h"
#include "platform/links.h"

#include <QDir>
#include <QEvent>
#include <QLabel>

QString databaseInUseText(const QString& serverConnection)
{
    if (serverConnection.isEmpty())
        return QStringLiteral("数据库：本机 zhao.dat");
    QStringList shown;
    for (const QString& part : serverConnection.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (!part.startsWith(QLatin1String("password"), Qt::CaseInsensitive))
            shown << part;
    return QStringLiteral("数据库：服务器 ") + shown.join(QLatin1Char(' '));
}

AboutWindow::AboutWindow(const QString& databaseText, const QString& dataFolder, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于"));
    setFixedSize(340, 250);
    setModal(true);
    setStyleSheet(QStringLiteral("AboutWindow { background: #eef4fb; }"));

    auto* title = new QLabel(QStringLiteral("Brenvo zozarozed 2013"), this);
    title->setGeometry(20, 18, 300, 30);
    title->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: bold; color: #2d6cb4;"));
    auto* subtitle = new QLabel(QStringLiteral("招生报名管理系统"), this);
    subtitle->setGeometry(20, 50, 300, 20);

    auto* version = new QLabel(QStringLiteral("V2013 Beat1"), this);
    version->setObjectName(QStringLiteral("标签_版本"));
    version->setGeometry(20, 80, 140, 20);
    auto* edition = new QLabel(QStringLiteral("专业版"), this);
    edition->setObjectName(QStringLiteral("标签_版别"));
    edition->setGeometry(170, 80, 120, 20);
    edition->setStyleSheet(QStringLiteral("color: #a03020; font-weight: bold;"));
    auto* build = new QLabel(QStringLiteral("程序版本：") + programVersion(), this);
    build->setObjectName(QStringLiteral("标签_程序版本"));
    build->setGeometry(20, 102, 300, 20);

    makeLinkLabel(QStringLiteral("标签_主页"), QStringLiteral("产品主页"), shippedPage(QStringLiteral("brenvo.htm")), this)
        ->setGeometry(20, 126, 200, 20);

    auto* database = new QLabel(databaseText, this);
    database->setObjectName(QStringLiteral("标签_数据库"));
    database->setGeometry(20, 148, 300, 20);

    // A long path is shortened in the middle; the whole of it is in the tip.
    const QString folderText = QStringLiteral("数据文件夹：") + QDir::toNativeSeparators(dataFolder);
    auto* folder = new QLabel(this);
    folder->setObjectName(QStringLiteral("标签_数据文件夹"));
    folder->setGeometry(20, 170, 300, 20);
    folder->setText(folder->fontMetrics().elidedText(folderText, Qt::ElideMiddle, folder->width()));
    folder->setToolTip(folderText);

    auto* close = closeLabel = new QLabel(QStringLiteral("确  定"), this);
    close->setObjectName(QStringLiteral("透明标签1"));
    close->setAlignment(Qt::AlignCenter);
    close->setGeometry(130, 204, 80, 26);
    close->setCursor(Qt::PointingHandCursor);
    close->setStyleSheet(QStringLiteral("border: 1px solid #6c95c8; border-radius: 4px; background: #d7e4f4;"));
    close->installEventFilter(this);
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == closeLabel && event->type() == QEvent::MouseButtonRelease) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
