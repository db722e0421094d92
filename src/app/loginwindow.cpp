#include "app/loginwindow.h"

#include "app/datafolder.h"
#include "app/lifecycle.h"
#include "app/statements.h"
#include "platform/inifile.h"
#include "platform/links.h"
#include "platform/messagebox.h"
#include "platform/sound.h"
#include "platform/text.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace {

const QString errorTitle = QStringLiteral("出错信息");

QLabel* makeLabel(const QString& name, const QString& text, const QRect& geometry, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

} // namespace

LoginWindow::LoginWindow(AppState& appState, QWidget* parent) : QDialog(parent), state(appState)
{
    loadBuiltInResources();
    setWindowTitle(QStringLiteral("用户登录"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(299, 153);
    setModal(true);

    const QPixmap outline(QStringLiteral(":/login/login.gif"));
    auto* background = new QLabel(this);
    background->setPixmap(outline);
    background->setGeometry(0, 0, outline.width(), outline.height());

    QLabel* title = makeLabel(QStringLiteral("透明标签4"), QStringLiteral("用 户 登 录"), QRect(0, 6, 299, 26), this);
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet(QStringLiteral("color: white; font-size: 15px; font-weight: bold;"));

    makeLabel(QStringLiteral("透明标签1"), QStringLiteral("用    户："), QRect(46, 50, 70, 22), this);
    accountBox = new QComboBox(this);
    accountBox->setObjectName(QStringLiteral("组合框_登录用户"));
    accountBox->setGeometry(116, 50, 136, 22);

    makeLabel(QStringLiteral("透明标签2"), QStringLiteral("密    码："), QRect(46, 78, 70, 22), this);
    passwordBox = new QLineEdit(this);
    passwordBox->setObjectName(QStringLiteral("编辑框_登录_密码"));
    passwordBox->setEchoMode(QLineEdit::Password);
    passwordBox->setGeometry(116, 78, 136, 22);

    initialPasswordHint =
        makeLabel(QStringLiteral("标签_初始密码"), QStringLiteral("初始密码为：472915"), QRect(116, 101, 140, 16), this);
    initialPasswordHint->setStyleSheet(QStringLiteral("color: #a03020; font-size: 11px;"));

    unavailableLabel = makeLabel(QStringLiteral("标签_无法登录"), QStringLiteral("数据库无法使用，不能登录"),
                                 QRect(46, 101, 220, 16), this);
    unavailableLabel->setStyleSheet(QStringLiteral("color: #c00000; font-size: 11px; font-weight: bold;"));
    unavailableLabel->setVisible(false);

    auto* loginButton = new QPushButton(QStringLiteral("登录"), this);
    loginButton->setObjectName(QStringLiteral("登录"));
    loginButton->setGeometry(86, 120, 60, 24);
    loginButton->setDefault(true);
    connect(loginButton, &QPushButton::clicked, this, &LoginWindow::onLoginClicked);

    auto* exitButton = new QPushButton(QStringLiteral("退出"), this);
    exitButton->setObjectName(QStringLiteral("退出"));
    exitButton->setGeometry(156, 120, 60, 24);
    connect(exitButton, &QPushButton::clicked, this, &LoginWindow::onExitClicked);

    makeLinkLabel(QStringLiteral("透明标签3"), QStringLiteral("帮助"), shippedPage(QStringLiteral("help.htm")), this)
        ->setGeometry(12, 126, 40, 18);
    makeLinkLabel(QStringLiteral("透明标签5"), QStringLiteral("网站"), shippedPage(QStringLiteral("brenvo.htm")), this)
        ->setGeometry(254, 126, 40, 18);

    onLoginWindowCreated();
}

void LoginWindow::onLoginWindowCreated()
{
    const QPixmap outline(QStringLiteral(":/login/login.gif"));
    setMask(outline.createMaskFromColor(QColor(0xFF, 0xFF, 0xFF), Qt::MaskInColor));

    passwordBox->setFocus();

    const int start = clampToInt(textToNumber(readIniValue(state.iniPath, QStringLiteral("log_t"), QStringLiteral("1"))));
    initialPasswordHint->setVisible(start < 5);
    // The counter stops at the largest value instead of overflowing.
    writeIniValue(state.iniPath, QStringLiteral("log_t"), QString::number(start < std::numeric_limits<int>::max() ? start + 1 : start));

    loadAccounts();
}

void LoginWindow::loadAccounts()
{
    accountBox->clear();
    if (state.db.openShared(loginAccountsStatement())) {
        RecordSet& rows = state.db.shared();
        for (; !rows.atEnd(); rows.moveNext())
            accountBox->addItem(rows.readText("nam"));
    }

    const int lastUsed = readIniValue(state.iniPath, QStringLiteral("log_name"), QStringLiteral("0")).trimmed().toInt();
    accountBox->setCurrentIndex(lastUsed >= 0 && lastUsed < accountBox->count() ? lastUsed : -1);
}

void LoginWindow::setReconnect(std::function<QString()> tryAgain)
{
    reconnect = std::move(tryAgain);
}

void LoginWindow::setUnavailableReason(const QString& reason)
{
    unavailableReason = reason;
    unavailableLabel->setVisible(!reason.isEmpty());
    unavailableLabel->setToolTip(reason);
    initialPasswordHint->setVisible(reason.isEmpty() && initialPasswordHint->isVisibleTo(this));
}

void LoginWindow::onLoginClicked()
{
    if (!unavailableReason.isEmpty() && reconnect) {
        setUnavailableReason(reconnect());
        if (unavailableReason.isEmpty())
            loadAccounts();
    }
    if (!unavailableReason.isEmpty()) {
        messageBox(unavailableReason, MessageStyle::Error | MessageStyle::SystemModal, errorTitle);
        return;
    }
    if (passwordBox->text().isEmpty()) {
        messageBox(QStringLiteral("请输入帐号和密码。"), MessageStyle::SystemModal);
        return;
    }
    writeIniValue(state.iniPath, QStringLiteral("log_name"), QString::number(accountBox->currentIndex()));

    const QString sql = accountByNameStatement(accountBox->currentText());
    if (!state.db.openShared(sql)) {
        messageBox(state.db.lastErrorForOperator(), MessageStyle::Error | MessageStyle::SystemModal);
        return;
    }
    RecordSet& account = state.db.shared();
    if (account.atEnd())
        return;
    if (account.readInteger("status") != 1) {
        messageBox(QStringLiteral("此用户没有被启用"), MessageStyle::SystemModal, errorTitle);
        return;
    }
    if (passwordDigest(passwordBox->text()) != account.readText("pw")) {
        messageBox(QStringLiteral("密码不对，注意大小写，请重新输入！！"), MessageStyle::SystemModal, errorTitle);
        passwordBox->clear();
        return;
    }

    state.currentOperator = {account.readInteger("id"), account.readText("nam"), account.readInteger("admgroup")};
    playSoundResource(QStringLiteral(":/sounds/confirm.wav"));
    emit loggedIn(state.currentOperator.name);
    accept();
}

void LoginWindow::onExitClicked()
{
    endProgram(state, 0);
    // Reached only where the end of the process is replaced (tests).
    done(QDialog::Rejected);
}

void LoginWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void LoginWindow::reject()
{
    // Escape and the system close command leave the window open.
}
