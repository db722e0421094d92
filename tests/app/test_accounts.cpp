#include "appfixture.h"

#include "app/accounts.h"
#include "app/outlookmenu.h"
#include "app/statements.h"
#include "core/permissions.h"
#include "platform/text.h"

#include <QCheckBox>
#include <sqlite3.h>
#include <QTreeWidget>

namespace {

const QString refusal = QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。");

// The account page after login, with a second account "staff" (group 5).
struct AccountPage {
    AppFixture app;
    AccountPage()
    {
        QVERIFY(app.start());
        QVERIFY(app.execute(insertAccountStatement(QStringLiteral("staff"), 5, true, passwordDigest(QStringLiteral("s1")))));
        app.window->outlookMenu()->clickEntry(1, 4);
        app.messages.clear();
    }
    QTreeWidget* list() { return app.find<QTreeWidget>(QStringLiteral("超级列表框_子账号")); }
    QLineEdit* name() { return app.find<QLineEdit>(QStringLiteral("编辑框_子账号_name")); }
    QLineEdit* password() { return app.find<QLineEdit>(QStringLiteral("编辑框_子账号_pw")); }
    QComboBox* group() { return app.find<QComboBox>(QStringLiteral("组合框_子账号_管理组")); }
    QCheckBox* enabled() { return app.find<QCheckBox>(QStringLiteral("选择框_子账号_启用")); }
    void click(const char* button) { app.find<QPushButton>(QString::fromUtf8(button))->click(); }
    void selectRow(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
    // The whole admin table as one text, to see that nothing changed.
    QString table()
    {
        QString all;
        if (app.state->db.openShared(QStringLiteral("select * from admin order by id")))
            for (RecordSet& rows = app.state->db.shared(); !rows.atEnd(); rows.moveNext())
                all += QStringLiteral("%1|%2|%3|%4|%5;").arg(rows.readText("id"), rows.readText("nam"), rows.readText("admgroup"),
                                                            rows.readText("status"), rows.readText("pw"));
        return all;
    }
    void loginAs(int id, int groupCode) { app.state->currentOperator = {id, QStringLiteral("who"), groupCode}; }
};

} // namespace

class AccountsTest : public QObject {
    Q_OBJECT
private slots:
    void statementsAreWrittenLetterByLetter()
    {
        QCOMPARE(insertAccountStatement(QStringLiteral("li"), 4, true, QStringLiteral("abc")),
                 QStringLiteral("INSERT INTO admin  (nam,admgroup,status,pw) values ('li',4,1,'abc')"));
        QCOMPARE(updateOwnAccountStatement(3, QStringLiteral("li"), QString()), QStringLiteral("UPDATE admin SET nam='li' where id=3"));
        QCOMPARE(updateOwnAccountStatement(3, QStringLiteral("li"), QStringLiteral("abc")),
                 QStringLiteral("UPDATE admin SET nam='li',pw='abc' where id=3"));
        QCOMPARE(updateAccountStatement(3, QStringLiteral("li"), 6, false, QString()),
                 QStringLiteral("UPDATE admin SET nam='li',admgroup=6,status=0 where id=3"));
        QCOMPARE(updateAccountStatement(3, QStringLiteral("li"), 6, true, QStringLiteral("abc")),
                 QStringLiteral("UPDATE admin SET nam='li',admgroup=6,status=1,pw='abc' where id=3"));
        QCOMPARE(deleteAccountStatement(9), QStringLiteral("delete * from admin  where id=9"));
        QCOMPARE(insertAccountStatement(QStringLiteral("O'Neil"), 2, false, QStringLiteral("d")),
                 QStringLiteral("INSERT INTO admin  (nam,admgroup,status,pw) values ('O''Neil',2,0,'d')"));
    }

    void theListShowsNumbersNamesGroupsAndStates()
    {
        AccountPage page;
        QVERIFY(page.app.execute(QStringLiteral("INSERT INTO admin (nam,admgroup,status,pw) values ('three',3,0,'')")));
        page.app.window->outlookMenu()->clickEntry(1, 4);
        QTreeWidget* list = page.list();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("帐号"));
        QCOMPARE(list->columnWidth(0), 50);
        QCOMPARE(list->columnWidth(2), 100);
        const QStringList row2 = {list->topLevelItem(1)->text(0), list->topLevelItem(1)->text(1),
                                  list->topLevelItem(1)->text(2), list->topLevelItem(1)->text(3)};
        QCOMPARE(row2, QStringList({QStringLiteral("2"), QStringLiteral("staff"), QStringLiteral("审核组"), QStringLiteral("启用")}));
        QCOMPARE(list->topLevelItem(2)->text(2), QString());
        QCOMPARE(list->topLevelItem(2)->text(3), QStringLiteral("未启用"));
        QCOMPARE(list->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 2);

        // A row whose group is unknown leaves the selector empty, and saving asks for a group.
        page.selectRow(2);
        QCOMPARE(page.name()->text(), QStringLiteral("three"));
        QCOMPARE(page.group()->currentIndex(), -1);
        QVERIFY(!page.enabled()->isChecked());
        page.click("按钮_子账号_修改");
        QCOMPARE(page.app.messages.texts(), QStringList({QStringLiteral("请选择所在管理组")}));
        page.selectRow(1);
        QCOMPARE(page.group()->currentText(), QStringLiteral("审核组"));
    }

    void permissionMatrixForEveryGroup_data()
    {
        QTest::addColumn<int>("groupCode");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<bool>("mayDeleteForGood");
        QTest::newRow("创始管理组") << 1 << true << true;
        QTest::newRow("管理组") << 2 << true << true;
        // The one code where the two rules differ: no group has it, yet it may delete for good.
        QTest::newRow("code 3") << 3 << false << true;
        QTest::newRow("超级审核组") << 4 << false << false;
        QTest::newRow("审核组") << 5 << false << false;
        QTest::newRow("财务组") << 6 << false << false;
    }

    void permissionMatrixForEveryGroup()
    {
        QFETCH(int, groupCode);
        QFETCH(bool, allowed);
        QFETCH(bool, mayDeleteForGood);
        AccountPage page;
        page.loginAs(1, groupCode);
        QCOMPARE(mayManage(page.app.state->currentOperator), allowed);
        QCOMPARE(mayDeletePermanently(page.app.state->currentOperator), mayDeleteForGood);

        // Add.
        QString before = page.table();
        page.name()->setText(QStringLiteral("newbie"));
        page.password()->setText(QStringLiteral("pw"));
        page.group()->setCurrentIndex(3);
        page.click("按钮_子账号_添加");
        if (allowed) {
            QVERIFY(page.table().contains(QStringLiteral("|newbie|5|1|") + passwordDigest(QStringLiteral("pw"))));
            QCOMPARE(page.app.statusText(), QStringLiteral("newbie 修改成功"));
            QCOMPARE(page.name()->text(), QString());
        } else {
            QCOMPARE(page.app.messages.texts(), QStringList({refusal}));
            QCOMPARE(page.app.messages.messages().at(0).style, 48 | 4096);
            QCOMPARE(page.table(), before);
        }

        // Change another account (staff, row 2).
        page.app.messages.clear();
        before = page.table();
        page.selectRow(1);
        page.name()->setText(QStringLiteral("staff2"));
        page.click("按钮_子账号_修改");
        if (allowed) {
            QVERIFY(page.table().contains(QStringLiteral("|staff2|5|1|")));
            QCOMPARE(page.app.statusText(), QStringLiteral("staff2 修改成功"));
        } else {
            QCOMPARE(page.app.messages.texts(), QStringList({refusal}));
            QCOMPARE(page.table(), before);
        }

        // Delete another account.
        page.app.messages.clear();
        before = page.table();
        page.selectRow(1);
        page.click("按钮_子账号_删除");
        if (allowed) {
            QVERIFY(!page.table().contains(QStringLiteral("staff")));
            QVERIFY(page.app.statusText().endsWith(QStringLiteral(" 删除成功")));
        } else {
            QCOMPARE(page.app.messages.texts(), QStringList({refusal}));
            QCOMPARE(page.table(), before);
        }
    }

    void oneCanChangeOnesOwnNameAndPasswordButNotGroupOrState()
    {
        AccountPage page;
        page.loginAs(2, 5); // staff
        page.selectRow(1);
        const QString oldDigest = page.app.queryValue(QStringLiteral("select pw from admin where id=2"));
        page.name()->setText(QStringLiteral(" 小王 "));
        page.group()->setCurrentIndex(0);
        page.enabled()->setChecked(false);
        page.click("按钮_子账号_修改");
        QVERIFY(page.app.messages.messages().isEmpty());
        QCOMPARE(page.app.queryValue(QStringLiteral("select nam from admin where id=2")), QStringLiteral("小王"));
        QCOMPARE(page.app.queryValue(QStringLiteral("select pw from admin where id=2")), oldDigest);
        QCOMPARE(page.app.queryValue(QStringLiteral("select admgroup from admin where id=2")), QStringLiteral("5"));
        QCOMPARE(page.app.queryValue(QStringLiteral("select status from admin where id=2")), QStringLiteral("1"));
        QCOMPARE(page.app.statusText(), QStringLiteral(" 小王  修改成功"));

        page.selectRow(1);
        page.password()->setText(QStringLiteral("  new pw  "));
        page.click("按钮_子账号_修改");
        QCOMPARE(page.app.queryValue(QStringLiteral("select pw from admin where id=2")), passwordDigest(QStringLiteral("new pw")));
    }

    void aTrimmedPasswordLogsInOnlyWhenTypedTrimmed()
    {
        AccountPage page;
        page.name()->setText(QStringLiteral("spacey"));
        page.password()->setText(QStringLiteral("  abc  "));
        page.group()->setCurrentIndex(1);
        page.click("按钮_子账号_添加");
        QVERIFY(page.app.messages.messages().isEmpty());

        bool refusedWithSpaces = false;
        whenLoginOpens([&](LoginWindow& login) {
            typeAndLogin(login, QStringLiteral("  abc  "), 2);
            refusedWithSpaces = login.isVisible()
                                && page.app.messages.texts().contains(QStringLiteral("密码不对，注意大小写，请重新输入！！"));
            typeAndLogin(login, QStringLiteral("ABC"), 2);
            typeAndLogin(login, QStringLiteral("abc"), 2);
        });
        QVERIFY(page.app.startWith());
        QVERIFY(refusedWithSpaces);
        QCOMPARE(page.app.messages.messages().size(), 2);
        QCOMPARE(page.app.state->currentOperator.name, QStringLiteral("spacey"));
        QCOMPARE(page.app.state->currentOperator.group, 2);
    }

    void validationAndSelectionMessages()
    {
        AccountPage page;
        page.click("按钮_子账号_修改");
        page.click("按钮_子账号_删除");
        page.name()->setText(QStringLiteral("　 "));
        page.click("按钮_子账号_添加");
        page.name()->setText(QStringLiteral("x"));
        page.password()->setText(QStringLiteral("  "));
        page.click("按钮_子账号_添加");
        page.password()->setText(QStringLiteral("p"));
        page.group()->setCurrentIndex(-1);
        page.click("按钮_子账号_添加");
        QCOMPARE(page.app.messages.texts(),
                 QStringList({QStringLiteral("请先选中要修改项目"), QStringLiteral("请先选中要删除的项目"),
                              QStringLiteral("填写错误，请全部填写后再试"), QStringLiteral("请填写密码"),
                              QStringLiteral("请选择所在管理组")}));
        for (const RecordedMessage& message : page.app.messages.messages())
            QCOMPARE(message.style, 0);
        QCOMPARE(page.app.queryValue(QStringLiteral("select count(*) from admin")), QStringLiteral("2"));

        // An emoji has no GBK bytes: such a password would share its digest with "?".
        const QString before = page.table();
        page.app.messages.clear();
        page.group()->setCurrentIndex(1);
        page.password()->setText(QString::fromUtf8("pw😀"));
        page.click("按钮_子账号_添加");
        page.selectRow(1);
        page.password()->setText(QString::fromUtf8("🙂"));
        page.click("按钮_子账号_修改");
        const QString refused = QStringLiteral("密码中含有无法使用的字符（如表情符号），请换一个密码");
        QCOMPARE(page.app.messages.texts(), QStringList({refused, refused}));
        QCOMPARE(page.table(), before);
    }

    void deletingOnesOwnAccountIsRefused()
    {
        AccountPage page;
        page.selectRow(0);
        page.click("按钮_子账号_删除");
        QCOMPARE(page.app.messages.texts(), QStringList({QStringLiteral("不能删除自己的帐号！")}));
        QCOMPARE(page.app.messages.messages().at(0).style, 48 | 4096);
        QCOMPARE(page.app.queryValue(QStringLiteral("select count(*) from admin")), QStringLiteral("2"));
    }

    void duplicateNamesAreAccepted()
    {
        AccountPage page;
        page.name()->setText(QStringLiteral("staff"));
        page.password()->setText(QStringLiteral("x"));
        page.group()->setCurrentIndex(4);
        page.click("按钮_子账号_添加");
        QCOMPARE(page.app.queryValue(QStringLiteral("select count(*) from admin where nam='staff'")), QStringLiteral("2"));
        QCOMPARE(page.list()->topLevelItemCount(), 3);
    }

    void aFailedUpdateShowsTheErrorAndTheNextQueryWorks()
    {
        AccountPage page;
        // Another client adds the trigger; the program's connection sees it at its next statement.
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(page.app.dir.databasePath().toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other,
                              "CREATE TRIGGER refuse BEFORE UPDATE ON admin BEGIN SELECT RAISE(ABORT, 'locked'); END",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(other);
        page.selectRow(1);
        page.click("按钮_子账号_修改");
        QCOMPARE(page.app.messages.messages().size(), 1);
        QCOMPARE(page.app.messages.messages().at(0).style, 16);
        QVERIFY(page.app.messages.messages().at(0).text.contains(QStringLiteral("locked")));
        QCOMPARE(page.app.statusText(), QStringLiteral("staff 修改失败"));
        page.app.window->outlookMenu()->clickEntry(1, 4);
        QCOMPARE(page.list()->topLevelItemCount(), 2);
    }
};

BRENVO_TEST(AccountsTest)
#include "test_accounts.moc"
