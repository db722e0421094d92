#include "appfixture.h"

#include "platform/inifile.h"
#include "platform/text.h"

#include <QLabel>

namespace {

QLineEdit* passwordBox(LoginWindow& login)
{
    return login.findChild<QLineEdit*>(QStringLiteral("编辑框_登录_密码"));
}

QComboBox* accountBox(LoginWindow& login)
{
    return login.findChild<QComboBox*>(QStringLiteral("组合框_登录用户"));
}

} // namespace

class LoginTest : public QObject {
    Q_OBJECT
private slots:
    void eachRefusalShowsItsMessageAndKeepsTheWindowOpen()
    {
        AppFixture app;
        QStringList seen;
        QStringList titles;
        QString passwordAfterWrongTry = QStringLiteral("?");
        whenLoginOpens([&](LoginWindow& login) {
            typeAndLogin(login, QString());
            typeAndLogin(login, QStringLiteral("472916"));
            passwordAfterWrongTry = passwordBox(login)->text();
            typeAndLogin(login, QStringLiteral("472915 "));
            for (const RecordedMessage& m : app.messages.messages()) {
                seen << m.text;
                titles << m.title;
                QVERIFY(m.style & 4096);
            }
            QVERIFY(login.isVisible());
            typeAndLogin(login, QStringLiteral("472915"));
        });
        QVERIFY(app.startWith());
        QCOMPARE(seen, QStringList({QStringLiteral("请输入帐号和密码。"), QStringLiteral("密码不对，注意大小写，请重新输入！！"),
                                    QStringLiteral("密码不对，注意大小写，请重新输入！！")}));
        QCOMPARE(titles, QStringList({QStringLiteral("信息："), QStringLiteral("出错信息"), QStringLiteral("出错信息")}));
        QCOMPARE(passwordAfterWrongTry, QString());
    }

    void aDisabledAccountSharingAnEnabledNameIsRefused()
    {
        AppFixture app;
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("INSERT INTO admin (nam,admgroup,status,pw) values ('bob',5,0,'%1')")
                                .arg(passwordDigest(QStringLiteral("pw")))));
        QVERIFY(app.execute(QStringLiteral("INSERT INTO admin (nam,admgroup,status,pw) values ('bob',5,1,'%1')")
                                .arg(passwordDigest(QStringLiteral("pw")))));
        app.messages.clear();

        QStringList listed;
        whenLoginOpens([&](LoginWindow& login) {
            for (int i = 0; i < accountBox(login)->count(); ++i)
                listed << accountBox(login)->itemText(i);
            typeAndLogin(login, QStringLiteral("pw"), 1);
            QCOMPARE(app.messages.texts(), QStringList({QStringLiteral("此用户没有被启用")}));
            QCOMPARE(app.messages.messages().at(0).title, QStringLiteral("出错信息"));
            login.findChild<QPushButton*>(QStringLiteral("退出"))->click();
        });
        QVERIFY(!app.startWith());
        QCOMPARE(listed, QStringList({QStringLiteral("admin"), QStringLiteral("bob")}));
        QCOMPARE(app.exitCode, std::optional<int>(0));
    }

    void noSelectedAccountFindsNothingAndSaysNothing()
    {
        AppFixture app;
        bool stillOpen = false;
        whenLoginOpens([&](LoginWindow& login) {
            typeAndLogin(login, QStringLiteral("472915"), -1);
            stillOpen = login.isVisible();
            typeAndLogin(login, QStringLiteral("472915"), 0);
        });
        QVERIFY(app.startWith());
        QVERIFY(stillOpen);
        QVERIFY(app.messages.messages().isEmpty());
    }

    void theCloseCommandAndEscapeDoNotCloseTheWindow()
    {
        AppFixture app;
        bool openAfterClose = false;
        whenLoginOpens([&](LoginWindow& login) {
            login.close();
            QTest::keyClick(&login, Qt::Key_Escape);
            openAfterClose = login.isVisible();
            typeAndLogin(login, QStringLiteral("472915"));
        });
        QVERIFY(app.startWith());
        QVERIFY(openAfterClose);
    }

    void theHintShowsDuringTheFirstFourStarts()
    {
        AppFixture app;
        QList<bool> hintShown;
        for (int start = 1; start <= 5; ++start) {
            whenLoginOpens([&](LoginWindow& login) {
                hintShown << login.findChild<QLabel*>(QStringLiteral("标签_初始密码"))->isVisibleTo(&login);
                typeAndLogin(login, QStringLiteral("472915"));
            });
            QVERIFY(app.startWith());
        }
        QCOMPARE(hintShown, QList<bool>({true, true, true, true, false}));
        QCOMPARE(readIniValue(app.iniPath(), QStringLiteral("log_t"), QString()), QStringLiteral("6"));
    }

    // Settings out of the integer range are clamped, never overflowed: the
    // start counter stays at its largest value, a huge page size is the
    // largest page.
    void settingsOutOfRangeAreClamped()
    {
        AppFixture app;
        writeIniValue(app.iniPath(), QStringLiteral("log_t"), QStringLiteral("2147483647"));
        writeIniValue(app.iniPath(), QStringLiteral("prepage"), QStringLiteral("1e20"));
        QVERIFY(app.start());
        QCOMPARE(readIniValue(app.iniPath(), QStringLiteral("log_t"), QString()), QStringLiteral("2147483647"));
        QCOMPARE(app.state->pageSize, 2147483647);
    }

    void theLastUsedPositionIsPreselectedAtTheNextStart()
    {
        AppFixture app;
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("INSERT INTO admin (nam,admgroup,status,pw) values ('O''Neil',2,1,'%1')")
                                .arg(passwordDigest(QStringLiteral("secret")))));
        QVERIFY(app.start(QStringLiteral("secret"), 1));
        QCOMPARE(app.state->currentOperator.name, QStringLiteral("O'Neil"));
        QCOMPARE(app.state->currentOperator.group, 2);
        QCOMPARE(readIniValue(app.iniPath(), QStringLiteral("log_name"), QString()), QStringLiteral("1"));

        int preselected = -2;
        whenLoginOpens([&](LoginWindow& login) {
            preselected = accountBox(login)->currentIndex();
            typeAndLogin(login, QStringLiteral("secret"));
        });
        QVERIFY(app.startWith());
        QCOMPARE(preselected, 1);

        // A remembered position past the end of the list selects nothing.
        writeIniValue(app.iniPath(), QStringLiteral("log_name"), QStringLiteral("7"));
        whenLoginOpens([&](LoginWindow& login) {
            preselected = accountBox(login)->currentIndex();
            typeAndLogin(login, QStringLiteral("472915"), 0);
        });
        QVERIFY(app.startWith());
        QCOMPARE(preselected, -1);
    }
};

BRENVO_TEST(LoginTest)
#include "test_login.moc"
