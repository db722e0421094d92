// A new registration that cannot be saved because another program holds the
// database: the operator reads why in Chinese, and the entries stay on the
// add page for another try.
#include "appfixture.h"

#include "app/outlookmenu.h"
#include "form/addpage.h"
#include "form/formbuilder.h"

#include <QAbstractButton>

#include <sqlite3.h>

class FailedSaveTest : public QObject {
    Q_OBJECT
private slots:
    void aSaveIntoAHeldDatabaseKeepsTheEntries()
    {
        AppFixture app;
        QVERIFY(app.start());
        QVERIFY(app.execute("INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                            "values (8,0,'会计',1200,30,0,'1899-12-30 00:00:00','','',1,1,0)"));
        QVERIFY(app.start());
        app.window->outlookMenu()->clickEntry(0, 0);
        app.messages.clear();

        const FormBuilder& form = app.window->page<AddPage>()->form();
        auto position = [&form](const char* zd) {
            const QVector<FormItem>& items = form.builtItems();
            for (int i = 0; i < items.size(); ++i)
                if (items.at(i).zd == QLatin1String(zd))
                    return i + 1;
            return 0;
        };
        auto* name = qobject_cast<QLineEdit*>(form.itemControl(position("xm")));
        auto* phone = qobject_cast<QLineEdit*>(form.itemControl(position("lx1")));
        QAbstractButton* male = form.optionControls(position("xb")).value(0);
        QVERIFY(name && phone && male);
        name->setText(QStringLiteral("王小明"));
        phone->setText(QStringLiteral("13800000000"));
        male->setChecked(true);
        qobject_cast<QComboBox*>(form.itemControl(position("bm1")))->setCurrentIndex(0);

        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(app.dir.databasePath().toUtf8().constData(), &other), SQLITE_OK);
        const auto closeOther = qScopeGuard([other] { sqlite3_close_v2(other); });
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();

        QCOMPARE(app.messages.texts(),
                 QStringList{QStringLiteral("数据库正被其他程序使用，请稍后再试。（database is locked）")});
        QCOMPARE(app.messages.messages().at(0).style, int(MessageStyle::Error));
        QCOMPARE(app.statusText(), QStringLiteral("添加新数据失败"));
        QCOMPARE(name->text(), QStringLiteral("王小明"));
        QCOMPARE(phone->text(), QStringLiteral("13800000000"));
        QVERIFY(male->isChecked());

        // Once the other program lets go, the same entries are saved.
        QCOMPARE(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        app.messages.clear();
        app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QVERIFY2(app.messages.messages().isEmpty(), qPrintable(app.messages.texts().join('\n')));
        QCOMPARE(app.queryValue("select xm from bmb"), QStringLiteral("王小明"));
    }
};

BRENVO_TEST(FailedSaveTest)
#include "test_failedsave.moc"
