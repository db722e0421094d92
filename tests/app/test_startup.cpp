#include "appfixture.h"

#include "app/outlookmenu.h"
#include "platform/inifile.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QToolBar>

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    // A test looking for a control that is not there fails with the control's
    // name and goes on with a stand-in instead of crashing the whole suite.
    void aMissingControlFailsItsTestByName()
    {
        AppFixture app;
        QVERIFY(app.start());
        QEXPECT_FAIL("", "no control named 按钮_没有", Continue);
        QPushButton* missing = app.find<QPushButton>(QStringLiteral("按钮_没有"));
        missing->click();
        QVERIFY(missing->objectName().isEmpty());
    }

    // Qt's own translations give the standard buttons their Chinese texts.
    void standardDialogsSpeakChinese()
    {
        QVERIFY(installChineseTranslations());
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
    }

    void withoutDatabaseTheProgramEndsWithCodeZero()
    {
        AppFixture app(false);
        QVERIFY(!app.startWith());
        QCOMPARE(app.exitCode, std::optional<int>(0));
        QCOMPARE(app.messages.messages().size(), 1);
        QCOMPARE(app.messages.messages().at(0).text, QStringLiteral("数据库不存在"));
        QCOMPARE(app.messages.messages().at(0).style, 4096);
        QCOMPARE(app.messages.messages().at(0).title, QStringLiteral("信息："));
        QVERIFY(!app.window->isVisible());
    }

    void aDamagedDatabaseIsReportedAndTheLoginStillOpens()
    {
        AppFixture app(false);
        QFile damaged(app.dir.databasePath());
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(4096, 'x'));
        damaged.close();

        int listedAccounts = -1;
        whenLoginOpens([&](LoginWindow& login) {
            listedAccounts = login.findChild<QComboBox*>(QStringLiteral("组合框_登录用户"))->count();
            login.findChild<QPushButton*>(QStringLiteral("退出"))->click();
        });
        QVERIFY(!app.startWith());
        QCOMPARE(listedAccounts, 0);
        QCOMPARE(app.exitCode, std::optional<int>(0));
        // One message names the file and the cause; the start-up queries do
        // not run on a database that is not open.
        const QVector<RecordedMessage>& shown = app.messages.messages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.at(0).style, 16);
        QVERIFY(shown.at(0).text.contains(app.dir.databasePath()) && shown.at(0).text.contains(QStringLiteral("不是数据库")));
    }

    void aNormalStartShowsTheStartPageMaximisedUnderTheLogin()
    {
        AppFixture app;
        bool loginWasModal = false;
        bool mainWasVisible = false;
        int startPage = -1;
        whenLoginOpens([&](LoginWindow& login) {
            loginWasModal = login.isModal() && QApplication::activeModalWidget() == &login;
            mainWasVisible = app.window->isVisible();
            startPage = app.window->pages()->currentIndex();
            typeAndLogin(login, QStringLiteral("472915"));
        });
        QVERIFY(app.startWith());
        QVERIFY(loginWasModal);
        QVERIFY(mainWasVisible);
        QCOMPARE(startPage, 6);
        QVERIFY(app.window->windowState() & Qt::WindowMaximized);
        QCOMPARE(app.window->windowTitle(), QStringLiteral("Brenvo zozarozed 2013"));
        QCOMPARE(app.window->statusPane(0)->text(), QStringLiteral("操作员:admin"));
        QCOMPARE(app.state->currentOperator.name, QStringLiteral("admin"));
        QCOMPARE(app.state->currentOperator.group, 1);
        QVERIFY(app.messages.messages().isEmpty());
    }

    void closingWritesTheFiveRememberedSettings()
    {
        AppFixture app;
        QVERIFY(app.start());
        app.find<QCheckBox>(QStringLiteral("选择框_表单紧凑排列"))->setChecked(true);
        app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->setText(QStringLiteral("30"));
        app.find<QComboBox>(QStringLiteral("组合框_添加_打印"))->setCurrentIndex(1);
        app.find<QComboBox>(QStringLiteral("组合框_添加_审核状态"))->setCurrentIndex(2);
        app.find<QComboBox>(QStringLiteral("组合框_添加_财务状态"))->setCurrentIndex(3);
        app.closeWindow();

        const QString ini = app.iniPath();
        auto read = [&ini](const char* key) { return readIniValue(ini, QString::fromLatin1(key), QStringLiteral("?")); };
        QCOMPARE(read("formauto"), QStringLiteral("1"));
        QCOMPARE(read("prepage"), QStringLiteral("30"));
        QCOMPARE(read("add_dy"), QStringLiteral("1"));
        QCOMPARE(read("add_sh"), QStringLiteral("2"));
        QCOMPARE(read("add_fk"), QStringLiteral("3"));
        QVERIFY(!app.state->db.connection->isOpen());
    }

    void exitFromTheMenuClosesTheDatabaseAndWindow()
    {
        AppFixture app;
        QVERIFY(app.start());
        // 退出系统 is the last entry of 数据管理, after 数据备份, 导入报名 and 导出全部结果.
        app.window->outlookMenu()->clickEntry(2, 3);
        QVERIFY(!app.window->isVisible());
        QVERIFY(!app.state->db.connection->isOpen());
        QCOMPARE(readIniValue(app.iniPath(), QStringLiteral("prepage"), QStringLiteral("?")), QStringLiteral("50"));
    }

    void exitFromTheToolBarSavesTheSettingsAndEndsWithCodeZero()
    {
        AppFixture app;
        QVERIFY(app.start());
        app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->setText(QStringLiteral("25"));
        for (QAction* action : app.find<QToolBar>(QStringLiteral("工具条1"))->actions())
            if (action->text() == QStringLiteral("退出系统"))
                action->trigger();
        QCOMPARE(app.exitCode, std::optional<int>(0));
        QCOMPARE(readIniValue(app.iniPath(), QStringLiteral("prepage"), QStringLiteral("?")), QStringLiteral("25"));
        QVERIFY(!app.state->db.connection);
    }
};

BRENVO_TEST(StartupTest)
#include "test_startup.moc"
