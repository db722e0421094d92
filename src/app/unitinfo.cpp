#include "app/unitinfo.h"

#include "core/permissions.h"
#include "platform/messagebox.h"
#include "platform/text.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLineEdit* addBox(QWidget* parent, const QString& name, const QString& caption, int x, int y, int width)
{
    auto* label = new QLabel(caption, parent);
    label->setGeometry(x, y, 130, 24);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(x + 134, y, width, 24);
    return box;
}

} // namespace

int switchSelectorPosition(int storedValue)
{
    return storedValue == 1 ? 0 : 1;
}

UnitInfoPage::UnitInfoPage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    QWidget* page = this;
    auto* frame = new QGroupBox(QStringLiteral("单位信息"), page);
    frame->setObjectName(QStringLiteral("分组框_单位信息"));
    frame->setGeometry(6, 0, 600, 330);

    nameBox = addBox(frame, QStringLiteral("编辑框13_名称"), QStringLiteral("单位名称："), 0, 30, 400);
    addressBox = addBox(frame, QStringLiteral("编辑框13_地址"), QStringLiteral("地址："), 0, 62, 400);
    telephoneBox = addBox(frame, QStringLiteral("编辑框13_电话"), QStringLiteral("电话："), 0, 94, 150);
    faxBox = addBox(frame, QStringLiteral("编辑框13_传真"), QStringLiteral("传真："), 250, 94, 150);
    qqBox = addBox(frame, QStringLiteral("编辑框13_qq号码"), QStringLiteral("QQ："), 0, 126, 150);
    emailBox = addBox(frame, QStringLiteral("编辑框13_email"), QStringLiteral("Email："), 250, 126, 150);

    const char* names[] = {"组合框_单位信息_多地点", "组合框_单位信息_审核状态", "组合框_单位信息_交费状态",
                           "组合框_单位信息_拍照功能"};
    const char* captions[] = {"项目分类：", "审核状态：", "交费状态：", "拍照功能："};
    for (int i = 0; i < 4; ++i) {
        const int x = (i % 2) * 250;
        const int y = 170 + (i / 2) * 34;
        auto* label = new QLabel(QString::fromUtf8(captions[i]), frame);
        label->setGeometry(x, y, 130, 24);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        switches[i] = new QComboBox(frame);
        switches[i]->setObjectName(QString::fromUtf8(names[i]));
        switches[i]->setGeometry(x + 134, y, 150, 24);
        switches[i]->addItems({QStringLiteral("启用"), QStringLiteral("关闭(默认)")});
        switches[i]->setCurrentIndex(1);
    }

    auto* save = new QPushButton(QStringLiteral("确  定"), frame);
    save->setObjectName(QStringLiteral("按钮13_确定"));
    save->setGeometry(134, 270, 100, 30);
    connect(save, &QPushButton::clicked, this, &UnitInfoPage::onSaveUnitInfo);
}

void UnitInfoPage::setUnitSettings(const RecordSet& row)
{
    state.unitSettings = unitSettingsOf(row);
    applyMultiLocation();
}

void UnitInfoPage::loadUnitSettings()
{
    if (!openReported(state, unitSettingsStatement()))
        return;
    if (state.db.shared().atEnd())
        return;
    setUnitSettings(state.db.shared());
}

void UnitInfoPage::applyMultiLocation()
{
    emit multiLocationApplied(state.unitSettings.multiLocation != 0);
}

void UnitInfoPage::showUnitInfo()
{
    if (!openReported(state, unitSettingsStatement()))
        return;
    RecordSet& row = state.db.shared();
    if (row.atEnd())
        return;
    faxBox->setText(row.readText("cz"));
    telephoneBox->setText(row.readText("dh"));
    qqBox->setText(row.readText("qq"));
    addressBox->setText(row.readText("dz"));
    nameBox->setText(row.readText("mc"));
    emailBox->setText(row.readText("email"));
    const char* columns[] = {"dd", "bmsh", "fksh", "pho"};
    for (int i = 0; i < 4; ++i)
        switches[i]->setCurrentIndex(switchSelectorPosition(row.readInteger(columns[i])));
    setUnitSettings(row);
}

UnitInfoValues UnitInfoPage::valuesFromPage() const
{
    auto on = [this](int i) { return switches[i]->currentIndex() == 0 ? 1 : 0; };
    return {trimBlanks(nameBox->text()), trimBlanks(addressBox->text()), trimBlanks(telephoneBox->text()),
            trimBlanks(qqBox->text()),   trimBlanks(emailBox->text()),   trimBlanks(faxBox->text()),
            on(0),                       on(1),                          on(2),
            on(3)};
}

void UnitInfoPage::onSaveUnitInfo()
{
    if (!guardManage(state))
        return;
    const UnitInfoValues values = valuesFromPage();
    auto report = [this](const QString& text) {
        state.showResult(text);
    };

    if (!state.db.openShared(unitInfoStatement())) {
        messageBox(QStringLiteral("数据库打开失败"), MessageStyle::SystemModal);
    } else {
        const QString sql = state.db.shared().atEnd() ? insertUnitInfoStatement(values) : updateUnitInfoStatement(values);
        if (!executeReported(state, sql, MessageStyle::SystemModal)) {
            report(QStringLiteral("单位信息同步失败"));
        } else {
            report(QStringLiteral("单位信息设置成功"));
            if (state.db.execute(categoryItemStatusStatement(values.multiLocation))) {
                report(QStringLiteral("dd修改成功"));
            } else {
                const QString error = state.db.lastErrorForOperator();
                if (!error.isEmpty())
                    messageBox(error, MessageStyle::Error | MessageStyle::SystemModal);
                report(error);
            }
        }
    }
    showUnitInfo();
}

SyncPage::SyncPage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    QWidget* page = this;
    auto* frame = new QGroupBox(QStringLiteral("网络同步"), page);
    frame->setObjectName(QStringLiteral("分组框_网络同步"));
    frame->setGeometry(6, 0, 600, 330);

    urlBox = addBox(frame, QStringLiteral("编辑框_同步_url"), QStringLiteral("同步地址："), 20, 30, 360);
    nameBox = addBox(frame, QStringLiteral("编辑框_同步_name"), QStringLiteral("单位创始管理员帐号："), 20, 62, 200);
    passBox = addBox(frame, QStringLiteral("编辑框_同步_pass"), QStringLiteral("同步密钥："), 20, 94, 200);
    batchBox = addBox(frame, QStringLiteral("编辑框_同步_报名表单次同步数量"), QStringLiteral("报名表单次同步数量："), 20,
                      126, 80);
    for (QLineEdit* box : {urlBox, nameBox, passBox, batchBox})
        box->setReadOnly(true);

    auto* label = new QLabel(QStringLiteral("下载同步项目："), frame);
    label->setGeometry(20, 170, 130, 24);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* items = new QComboBox(frame);
    items->setObjectName(QStringLiteral("组合框_同步项目"));
    items->setGeometry(154, 170, 200, 24);
    items->addItems({QStringLiteral("报名项目分类"), QStringLiteral("报名项目/专业"), QStringLiteral("子账号"),
                     QStringLiteral("报名表数据")});

    auto* download = new QPushButton(QStringLiteral("下 载 同 步"), frame);
    download->setObjectName(QStringLiteral("按钮_同步"));
    download->setGeometry(364, 168, 110, 28);
    auto* confirm = new QPushButton(QStringLiteral("确  定"), frame);
    confirm->setObjectName(QStringLiteral("按钮_同步_确定"));
    confirm->setGeometry(154, 212, 100, 28);

    auto* note = new QLabel(QStringLiteral("注意：从网络版下载的数据将替换本地的同类数据。"), frame);
    note->setGeometry(20, 256, 540, 24);
    note->setStyleSheet(QStringLiteral("color: #a03020;"));
}

void SyncPage::showSyncSettings()
{
    if (!openReported(state, syncSettingsStatement()))
        return;
    RecordSet& row = state.db.shared();
    if (row.atEnd())
        return;
    urlBox->setText(row.readText("url"));
    nameBox->setText(row.readText("name"));
    passBox->setText(row.readText("pass"));
    batchBox->setText(QString::number(row.readInteger("bmbnum")));
}
