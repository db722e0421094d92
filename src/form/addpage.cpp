#include "form/addpage.h"

#include "platform/anchors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

AddPage::AddPage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    QWidget* page = this;
    const int width = page->width() - 6;
    const int height = page->height();
    auto* group = new QGroupBox(QStringLiteral("报名信息"), page);
    group->setObjectName(QStringLiteral("分组框_添加"));
    group->setGeometry(6, 0, width, height);
    frame = group;

    photoGroup = new QGroupBox(QStringLiteral("照片"), group);
    photoGroup->setObjectName(QStringLiteral("分组框_拍照"));
    photoGroup->setGeometry(width - 136, 16, 128, 190);
    photo = new QLabel(photoGroup);
    photo->setObjectName(QStringLiteral("图片框_添加"));
    photo->setGeometry(4, 20, 120, 160);
    photo->setAlignment(Qt::AlignCenter);
    photo->setFrameShape(QFrame::StyledPanel);

    const int rowY = height - 36;
    compact = new QCheckBox(QStringLiteral("表单紧凑排列"), group);
    compact->setObjectName(QStringLiteral("选择框_表单紧凑排列"));
    compact->setGeometry(10, rowY, 110, 24);

    auto* reviewLabel = new QLabel(QStringLiteral("审核:"), group);
    reviewLabel->setObjectName(QStringLiteral("标签15"));
    reviewLabel->setGeometry(124, rowY, 36, 24);
    review = new QComboBox(group);
    review->setObjectName(QStringLiteral("组合框_添加_审核状态"));
    review->setGeometry(160, rowY, 104, 24);
    review->addItem(QStringLiteral("请选审核状态"), 0);
    review->addItem(QStringLiteral("待审核"), 0);
    review->addItem(QStringLiteral("通过"), 1);
    review->addItem(QStringLiteral("审核未通过"), -1);

    auto* paymentLabel = new QLabel(QStringLiteral("缴费:"), group);
    paymentLabel->setObjectName(QStringLiteral("标签16"));
    paymentLabel->setGeometry(270, rowY, 36, 24);
    payment = new QComboBox(group);
    payment->setObjectName(QStringLiteral("组合框_添加_财务状态"));
    payment->setGeometry(306, rowY, 104, 24);
    payment->addItem(QStringLiteral("请选缴费状态"), 0);
    payment->addItem(QStringLiteral("待缴费"), 0);
    payment->addItem(QStringLiteral("已缴费"), 1);
    payment->addItem(QStringLiteral("审核未通过"), -1);

    auto* printLabel = new QLabel(QStringLiteral("打印:"), group);
    printLabel->setGeometry(416, rowY, 36, 24);
    print = new QComboBox(group);
    print->setObjectName(QStringLiteral("组合框_添加_打印"));
    print->setGeometry(452, rowY, 120, 24);

    confirm = new QPushButton(QStringLiteral("确  定"), group);
    confirm->setObjectName(QStringLiteral("按钮_添加_确定"));
    confirm->setGeometry(width - 100, rowY - 2, 90, 28);

    QWidget* row[] = {compact, reviewLabel, review, paymentLabel, payment, printLabel, print, confirm};
    std::copy(std::begin(row), std::end(row), bottomRow);
}

void AddPage::registerAnchors(AnchorLayout& anchors)
{
    anchors.anchor(photoGroup, {false, true, true, false});
    for (QWidget* control : bottomRow)
        anchors.anchor(control, {control != confirm, false, control == confirm, true});
}

void AddPage::prepareForNewRegistration()
{
    confirm->setText(QStringLiteral("确  定"));
    state.pendingPhotoFile.clear();
    photo->clear();
}
