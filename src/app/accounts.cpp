#include "app/accounts.h"

#include "app/statements.h"
#include "core/permissions.h"
#include "platform/anchors.h"
#include "platform/events.h"
#include "platform/messagebox.h"
#include "platform/text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

struct GroupEntry {
    int code;
    const char* listName;
    const char* selectorText;
};

const GroupEntry groupEntries[] = {
    {1, "创始管理组", "创始管理组"}, {2, "管理组", "管理员组"}, {4, "超级审核组", "超级审核组"},
    {5, "审核组", "审核组"},         {6, "财务组", "财务组"},
};

} // namespace

QString accountGroupName(int code)
{
    for (const GroupEntry& entry : groupEntries)
        if (entry.code == code)
            return QString::fromUtf8(entry.listName);
    return {};
}

AccountsPage::AccountsPage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    QWidget* page = this;
    const int width = page->width() - 6;
    const int height = page->height();
    auto* frame = new QGroupBox(QStringLiteral("帐户管理"), page);
    frame->setObjectName(QStringLiteral("分组框_子账号"));
    frame->setGeometry(6, 0, width, height);
    group = frame;

    list = new QTreeWidget(frame);
    list->setObjectName(QStringLiteral("超级列表框_子账号"));
    list->setGeometry(8, 20, width - 16, height - 20 - 112);
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setHeaderLabels({QString(), QStringLiteral("帐号"), QStringLiteral("管理组"), QStringLiteral("状态")});
    const int widths[] = {50, 100, 100, 50};
    for (int column = 0; column < 4; ++column)
        list->setColumnWidth(column, widths[column]);
    connect(list, &QTreeWidget::itemSelectionChanged, this, &AccountsPage::onAccountSelected);

    auto* lower = new QGroupBox(frame);
    lower->setObjectName(QStringLiteral("分组框_子账号_下"));
    lower->setGeometry(8, height - 106, width - 16, 98);
    lowerGroup = lower;

    enabledBox = new QCheckBox(QStringLiteral("启用"), lower);
    enabledBox->setObjectName(QStringLiteral("选择框_子账号_启用"));
    enabledBox->setGeometry(12, 14, 60, 22);
    enabledBox->setChecked(true);

    auto label = [lower](const QString& text, int x, int y) {
        auto* l = new QLabel(text, lower);
        l->setGeometry(x, y, 56, 22);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    };
    label(QStringLiteral("帐号："), 4, 40);
    nameBox = new QLineEdit(lower);
    nameBox->setObjectName(QStringLiteral("编辑框_子账号_name"));
    nameBox->setGeometry(62, 40, 130, 22);
    label(QStringLiteral("密码："), 196, 40);
    passwordBox = new QLineEdit(lower);
    passwordBox->setObjectName(QStringLiteral("编辑框_子账号_pw"));
    passwordBox->setEchoMode(QLineEdit::Password);
    passwordBox->setGeometry(254, 40, 130, 22);
    label(QStringLiteral("管理组："), 4, 68);
    groupSelector = new QComboBox(lower);
    groupSelector->setObjectName(QStringLiteral("组合框_子账号_管理组"));
    groupSelector->setGeometry(62, 68, 130, 22);
    for (const GroupEntry& entry : groupEntries)
        groupSelector->addItem(QString::fromUtf8(entry.selectorText), entry.code);
    groupSelector->setCurrentIndex(-1);

    const char* captions[] = {"添  加", "修  改", "删  除"};
    const char* names[] = {"按钮_子账号_添加", "按钮_子账号_修改", "按钮_子账号_删除"};
    void (AccountsPage::*handlers[])() = {&AccountsPage::onAddAccount, &AccountsPage::onModifyAccount,
                                          &AccountsPage::onDeleteAccount};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(captions[i]), lower);
        button->setObjectName(QString::fromUtf8(names[i]));
        button->setGeometry(lower->width() - 264 + i * 86, 64, 80, 28);
        connect(button, &QPushButton::clicked, this, handlers[i]);
        buttons[i] = button;
    }
}

void AccountsPage::registerAnchors(AnchorLayout& anchors)
{
    // The page's frame fills the page.
    anchors.anchor(findChild<QGroupBox*>(QStringLiteral("分组框_子账号"), Qt::FindDirectChildrenOnly), {true, true, true, true});
    anchors.anchor(list, {true, true, true, true});
    anchors.anchor(lowerGroup, {true, false, true, true});
    for (QWidget* button : buttons)
        anchors.anchor(button, {false, true, true, false});
}

void AccountsPage::loadAccountList()
{
    list->clear();
    if (!state.db.openShared(accountRowsStatement())) {
        list->clear();
        return;
    }
    // Every row is read before pending messages run: a handler running in
    // between may reopen the shared record set.
    QList<QTreeWidgetItem*> items;
    for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext()) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString::number(items.size() + 1));
        item->setData(0, Qt::UserRole, rows.readInteger(0));
        item->setText(1, rows.readText("nam"));
        item->setText(2, accountGroupName(rows.readInteger("admgroup")));
        item->setText(3, rows.readInteger("status") == 1 ? QStringLiteral("启用") : QStringLiteral("未启用"));
        items << item;
    }
    for (QTreeWidgetItem* item : items) {
        list->addTopLevelItem(item);
        processPendingMessages();
    }
}

int AccountsPage::selectedAccountId() const
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->data(0, Qt::UserRole).toInt();
}

void AccountsPage::onAccountSelected()
{
    const int id = selectedAccountId();
    if (id == 0 || !state.db.openShared(accountByIdStatement(id)))
        return;
    RecordSet& account = state.db.shared();
    if (account.atEnd())
        return;
    enabledBox->setChecked(account.readInteger("status") == 1);
    nameBox->setText(account.readText("nam"));
    groupSelector->setCurrentIndex(-1);
    groupSelector->setCurrentIndex(groupSelector->findData(account.readInteger("admgroup")));
}

void AccountsPage::report(const QString& outcome)
{
    state.showResult(nameBox->text() + outcome);
}

bool AccountsPage::acceptPassword()
{
    // The digest is taken over GBK bytes: characters without them would all
    // turn into "?" and every such password would open the account.
    if (isGbkEncodable(passwordBox->text()))
        return true;
    messageBox(QStringLiteral("密码中含有无法使用的字符（如表情符号），请换一个密码"), MessageStyle::Exclamation);
    passwordBox->setFocus();
    return false;
}

void AccountsPage::onAddAccount()
{
    if (!guardManage(state))
        return;
    if (trimBlanks(nameBox->text()).isEmpty()) {
        messageBox(QStringLiteral("填写错误，请全部填写后再试"));
        nameBox->setFocus();
        return;
    }
    if (trimBlanks(passwordBox->text()).isEmpty()) {
        messageBox(QStringLiteral("请填写密码"));
        passwordBox->setFocus();
        return;
    }
    if (trimBlanks(groupSelector->currentText()).isEmpty()) {
        messageBox(QStringLiteral("请选择所在管理组"));
        groupSelector->setFocus();
        return;
    }
    if (!acceptPassword())
        return;

    const QString sql = insertAccountStatement(trimBlanks(nameBox->text()), groupSelector->currentData().toInt(),
                                               enabledBox->isChecked(), passwordDigest(trimBlanks(passwordBox->text())));
    if (executeReported(state, sql)) {
        processPendingMessages();
        report(QStringLiteral(" 修改成功"));
        loadAccountList();
        nameBox->clear();
    } else {
        report(QStringLiteral(" 修改失败"));
        processPendingMessages();
    }
}

void AccountsPage::onModifyAccount()
{
    const int id = selectedAccountId();
    if (id == 0) {
        messageBox(QStringLiteral("请先选中要修改项目"));
        return;
    }
    const QString name = trimBlanks(nameBox->text());
    if (name.isEmpty()) {
        messageBox(QStringLiteral("填写错误，请全部填写后再试"));
        nameBox->setFocus();
        return;
    }
    if (trimBlanks(groupSelector->currentText()).isEmpty()) {
        messageBox(QStringLiteral("请选择所在管理组"));
        groupSelector->setFocus();
        return;
    }

    if (!acceptPassword())
        return;
    const QString password = trimBlanks(passwordBox->text());
    const QString digest = password.isEmpty() ? QString() : passwordDigest(password);
    QString sql;
    if (id == state.currentOperator.id) {
        sql = updateOwnAccountStatement(id, name, digest);
    } else {
        if (!guardManage(state))
            return;
        sql = updateAccountStatement(id, name, groupSelector->currentData().toInt(), enabledBox->isChecked(), digest);
    }

    if (executeReported(state, sql)) {
        processPendingMessages();
        report(QStringLiteral(" 修改成功"));
        loadAccountList();
    } else {
        report(QStringLiteral(" 修改失败"));
    }
}

void AccountsPage::onDeleteAccount()
{
    const int id = selectedAccountId();
    if (id == 0) {
        messageBox(QStringLiteral("请先选中要删除的项目"));
        return;
    }
    if (!guardManage(state))
        return;
    if (id == state.currentOperator.id) {
        messageBox(QStringLiteral("不能删除自己的帐号！"), MessageStyle::Exclamation | MessageStyle::SystemModal);
        return;
    }
    if (executeReported(state, deleteAccountStatement(id))) {
        processPendingMessages();
        report(QStringLiteral(" 删除成功"));
        loadAccountList();
    } else {
        report(QStringLiteral(" 删除失败"));
    }
}
