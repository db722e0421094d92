#include "records/exportprogress.h"

#include "records/export.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

ExportProgressWindow::ExportProgressWindow(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowTitleHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("导出EXCEL"));
    setFixedSize(300, 152);

    title = new QLabel(this);
    title->setObjectName(QStringLiteral("透明标签_标题"));
    title->setAttribute(Qt::WA_TranslucentBackground);
    title->setGeometry(20, 14, 260, 22);

    // The bar's frame holds the bar one pixel inside its border.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("外形框1"));
    frame->setFrameShape(QFrame::Box);
    frame->setGeometry(20, 46, exportBarFullWidth + 2, 22);
    bar = new QLabel(frame);
    bar->setObjectName(QStringLiteral("精度标签"));
    bar->setAutoFillBackground(true);
    QPalette filled = bar->palette();
    filled.setColor(QPalette::Window, QColor(0, 120, 215));
    bar->setPalette(filled);
    bar->setGeometry(1, 1, 0, 20);

    percent = new QLabel(this);
    percent->setObjectName(QStringLiteral("计数透明标签"));
    percent->setAttribute(Qt::WA_TranslucentBackground);
    percent->setAlignment(Qt::AlignCenter);
    percent->setGeometry(20, 74, exportBarFullWidth + 2, 20);

    closeButton = new QPushButton(QStringLiteral("关  闭"), this);
    closeButton->setObjectName(QStringLiteral("超级按钮1"));
    closeButton->setGeometry(110, 108, 80, 28);
    closeButton->hide();
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

void ExportProgressWindow::setStatusText(const QString& text)
{
    title->setText(text);
}

void ExportProgressWindow::setBarWidth(int width)
{
    bar->resize(qBound(0, width, exportBarFullWidth), bar->height());
}

int ExportProgressWindow::barWidth() const
{
    return bar->width();
}

void ExportProgressWindow::setPercentText(const QString& text)
{
    percent->setText(text);
}

void ExportProgressWindow::showCloseButton()
{
    closeButton->show();
}
