// A desk whose settings name a server: it starts without a zhao.dat of its
// own, logs in against the server's founder account and stores there.
#include "appfixture.h"

#include "app/outlookmenu.h"
#include "form/addpage.h"
#include "form/formbuilder.h"
#include "platform/inifile.h"
#include "records/screenshots.h"
#include "support/pgtestdatabase.h"

#include <QAbstractButton>
#include <QFile>

#include <atomic>
#include <thread>

namespace {

// The position of the built item of column zd; 0 when none.
int control(const FormBuilder& form, const char* zd)
{
    const QVector<FormItem>& items = form.builtItems();
    for (int i = 0; i < items.size(); ++i)
        if (items.at(i).zd == QLatin1String(zd))
            return i + 1;
    return 0;
}

// The desk's settings name the server instead of a zhao.dat of its own.
bool pointDeskAtServer(AppFixture& app, const QString& connection)
{
    if (!QFile::remove(app.dir.databasePath()))
        return false;
    writeIniValue(app.iniPath(), QStringLiteral("connection"), connection, QStringLiteral("server"));
    return true;
}

} // namespace

class ServerDeskTest : public QObject {
    Q_OBJECT
private slots:
    void aDeskOnAServerNeedsNoDatabaseFileOfItsOwn()
    {
        TestPgDatabase server;
        BRENVO_REQUIRE_PG(server);
        AppFixture app;
        QVERIFY(pointDeskAtServer(app, server.connectionString()));
        QVERIFY(app.start());
        QCOMPARE(app.state->currentOperator.name, QStringLiteral("admin"));
        QVERIFY(app.execute(QStringLiteral("INSERT INTO bmb  (xm,dtime,status) values ('王䶮','2013年5月6日',1)")));
        PgSession session(server.connectionString());
        QCOMPARE(session.run(QStringLiteral("select xm from bmb")).rows, QVector<QStringList>({{QStringLiteral("王䶮")}}));
        QVERIFY(!QFile::exists(app.dir.databasePath()));
    }

    // The server stops while a desk has a new registration on screen: the
    // save says so, keeps the entries and stores nothing; once the server is
    // back the same save goes through without a restart.
    void aServerThatGoesAwayAndComesBack()
    {
        if (!TestPgDatabase().configured())
            QSKIP(qPrintable(TestPgDatabase::skipReason()));
        TestPgCluster server;
        QVERIFY2(server.isReady(), qPrintable(server.error()));
        AppFixture app;
        QVERIFY(pointDeskAtServer(app, server.connectionString()));
        QVERIFY(app.start());
        QVERIFY(app.execute("INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                            "values (8,0,'会计',1200,30,0,'1899-12-30 00:00:00','','',1,1,0)"));
        QVERIFY(app.start());
        app.window->outlookMenu()->clickEntry(0, 0);

        const FormBuilder& form = app.window->page<AddPage>()->form();
        QLineEdit* name = nullptr;
        QLineEdit* phone = nullptr;
        // The form is built anew after each save.
        auto enter = [&](const QString& applicant) {
            const int xm = control(form, "xm");
            name = qobject_cast<QLineEdit*>(form.itemControl(xm));
            phone = qobject_cast<QLineEdit*>(form.itemControl(control(form, "lx1")));
            QAbstractButton* male = form.optionControls(control(form, "xb")).value(0);
            QVERIFY(name && phone && male);
            name->setText(applicant);
            phone->setText(QStringLiteral("13800000000"));
            male->setChecked(true);
            qobject_cast<QComboBox*>(form.itemControl(control(form, "bm1")))->setCurrentIndex(0);
        };
        enter(QStringLiteral("王小明"));

        QVERIFY2(server.halt(), qPrintable(server.error()));
        app.messages.clear();
        app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QCOMPARE(app.messages.messages().size(), 1);
        QVERIFY2(app.messages.texts().at(0).startsWith(QStringLiteral("无法打开数据库：数据库文件打不开或数据库服务器连接不上。（")),
                 qPrintable(app.messages.texts().at(0)));
        QCOMPARE(app.messages.messages().at(0).style & int(MessageStyle::Error), int(MessageStyle::Error));
        QCOMPARE(app.statusText(), QStringLiteral("添加新数据失败"));
        const RecordedMessage& outage = app.messages.messages().at(0);
        takeMessageScreenshot(outage.text, outage.style, outage.title, QStringLiteral("server-outage"));
        QCOMPARE(name->text(), QStringLiteral("王小明"));
        QCOMPARE(phone->text(), QStringLiteral("13800000000"));

        QVERIFY2(server.resume(), qPrintable(server.error()));
        app.messages.clear();
        app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QVERIFY2(app.messages.messages().isEmpty(), qPrintable(app.messages.texts().join('\n')));
        PgSession session(server.connectionString());
        QCOMPARE(session.run(QStringLiteral("select xm, lx1 from bmb")).rows,
                 QVector<QStringList>({{QStringLiteral("王小明"), QStringLiteral("13800000000")}}));

        // Restarted while the desk was idle: its first save goes through.
        QVERIFY2(server.halt() && server.resume(), qPrintable(server.error()));
        enter(QStringLiteral("李小红"));
        app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QVERIFY2(app.messages.messages().isEmpty(), qPrintable(app.messages.texts().join('\n')));
        QCOMPARE(PgSession(server.connectionString()).run(QStringLiteral("select count(*) from bmb")).rows.value(0).value(0),
                 QStringLiteral("2"));

        // A search and a page turn while the server is away say so and keep
        // the list; the page turn works once it is back.
        QVERIFY(PgSession(server.connectionString())
                    .run(QStringLiteral("insert into bmb (xm,status,dtime) select '考生'||g, 1, now() from generate_series(1,118) g"))
                    .ok);
        app.window->showBrowse(false);
        app.find<QLineEdit>(QStringLiteral("编辑框_信息浏览_每页数量"))->setText(QStringLiteral("50"));
        app.find<QPushButton>(QStringLiteral("按钮_信息浏览"))->click();
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_信息浏览"));
        auto* pageLabel = app.find<QLabel>(QStringLiteral("标签_页码"));
        const QString firstPage = pageLabel->text();
        const QString firstRow = list->topLevelItem(0)->text(0);
        QVERIFY2(firstPage.startsWith(QStringLiteral("1/3")), qPrintable(firstPage));
        QVERIFY2(server.halt(), qPrintable(server.error()));
        for (const char* button : {"按钮_信息浏览", "按钮_下一页"}) {
            app.messages.clear();
            app.find<QPushButton>(QString::fromUtf8(button))->click();
            QCOMPARE(app.messages.messages().size(), 1);
            QCOMPARE(pageLabel->text(), firstPage);
            QCOMPARE(list->topLevelItemCount(), 50);
            QCOMPARE(list->topLevelItem(0)->text(0), firstRow);
        }
        QVERIFY2(server.resume(), qPrintable(server.error()));
        app.messages.clear();
        app.find<QPushButton>(QStringLiteral("按钮_下一页"))->click();
        QVERIFY2(app.messages.messages().isEmpty(), qPrintable(app.messages.texts().join('\n')));
        QVERIFY2(pageLabel->text().startsWith(QStringLiteral("2/3")), qPrintable(pageLabel->text()));
        QCOMPARE(list->topLevelItemCount(), 50);
        QVERIFY(list->topLevelItem(0)->text(0) != firstRow);
    }

    // The server commits a new registration and the answer never reaches
    // the desk: the desk asks, says it is stored, and stores it once.
    void aSaveWhoseAnswerIsLostIsStoredOnce()
    {
        TestPgDatabase server;
        BRENVO_REQUIRE_PG(server);
        AppFixture app;
        QVERIFY(pointDeskAtServer(app, server.connectionString() + QStringLiteral(" application_name=desk")));
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("update style set bt=0")));
        QVERIFY(app.start());
        app.window->outlookMenu()->clickEntry(0, 0);
        const FormBuilder& form = app.window->page<AddPage>()->form();
        qobject_cast<QLineEdit*>(form.itemControl(control(form, "xm")))->setText(QStringLiteral("王小明"));
        form.optionControls(control(form, "xb")).value(0)->setChecked(true);

        QVERIFY(server.holdCommitAnswers());
        QVERIFY(endSessions(server.adminConnectionString(), QStringLiteral("desk")));
        AnswerLoser loser(server.adminConnectionString(), QStringLiteral("desk"));
        app.messages.clear();
        app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QVERIFY2(loser.ended(), qPrintable(app.messages.texts().join('\n')));
        QVERIFY2(app.messages.texts().join('\n').contains(QStringLiteral("已保存")), qPrintable(app.messages.texts().join('\n')));
        QCOMPARE(app.statusText(), QStringLiteral("添加新数据成功"));
        PgSession session(server.connectionString());
        QCOMPARE(session.run(QStringLiteral("select count(*) from bmb where xm='王小明'")).rows.value(0).value(0),
                 QStringLiteral("1"));
    }

    // Another desk changes the registration while this desk's save waits for
    // it: the save sees the change and refuses, as for any change since the
    // registration was opened.
    void aChangeCommittedWhileTheSaveWaitsIsNotOverwritten()
    {
        TestPgDatabase server;
        BRENVO_REQUIRE_PG(server);
        AppFixture app;
        QVERIFY(pointDeskAtServer(app, server.connectionString()));
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("insert into bmb (xm,lx1,dtime,status) values ('张三','13800000000','2013-05-06 14:03:09',1)")));
        const int id = app.queryValue(QStringLiteral("select max(id) from bmb")).toInt();
        app.window->showBrowse(false);
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_信息浏览"));
        QVERIFY(rowOf(list, id));
        list->setCurrentItem(rowOf(list, id));
        app.window->recordEditor()->openSelectedRecord();
        EditWindow* window = app.window->recordEditor()->editWindow();
        QVERIFY(window);
        qobject_cast<QLineEdit*>(window->form().itemControl(control(window->form(), "xm")))->setText(QStringLiteral("张三丰"));

        std::atomic<bool> changing{false};
        std::thread otherDesk([&] {
            PgSession session(server.connectionString());
            session.run(QStringLiteral("BEGIN"));
            session.run(QStringLiteral("update bmb set lx1='13900000000' where id=%1").arg(id));
            changing = true;
            QThread::msleep(1000);
            session.run(QStringLiteral("COMMIT"));
        });
        while (!changing)
            QThread::msleep(10);
        app.messages.clear();
        app.messages.setAnswer(AnswerNo);
        window->findChild<QPushButton*>(QStringLiteral("按钮1_确定"))->click();
        otherDesk.join();
        QCOMPARE(app.messages.messages().size(), 1);
        QCOMPARE(app.messages.messages().at(0).title, QStringLiteral("修改冲突"));
        QCOMPARE(app.queryValue(QStringLiteral("select xm||'/'||lx1 from bmb where id=%1").arg(id)),
                 QStringLiteral("张三/13900000000"));
    }

    // The server is down at the start: the login says so, and 登录 tries
    // again once it is back. A server that takes connections and never
    // answers is given up after the limit, with 重试 and 退出.
    void aServerThatComesBackAfterTheStartIsUsed()
    {
        if (!TestPgDatabase().configured())
            QSKIP(qPrintable(TestPgDatabase::skipReason()));
        TestPgCluster server;
        QVERIFY2(server.isReady(), qPrintable(server.error()));
        AppFixture app;
        QVERIFY(pointDeskAtServer(app, server.connectionString()));
        QVERIFY(app.start());
        QVERIFY2(server.halt(), qPrintable(server.error()));
        app.messages.clear();
        whenLoginOpens([&](LoginWindow& login) {
            login.findChild<QPushButton*>(QStringLiteral("登录"))->click();
            QVERIFY2(server.resume(), qPrintable(server.error()));
            typeAndLogin(login, QStringLiteral("472915"));
        });
        QVERIFY2(app.startWith(), qPrintable(app.messages.texts().join('\n')));
        QCOMPARE(app.state->currentOperator.name, QStringLiteral("admin"));
        // Said at the start and at the first 登录, each once.
        QCOMPARE(app.messages.messages().size(), 2);
        QCOMPARE(app.messages.texts().at(0).count(QStringLiteral("连接不上")), 1);

        const SilentServer silent;
        writeIniValue(app.iniPath(), QStringLiteral("connection"),
                      QStringLiteral("host=127.0.0.1 dbname=x port=%1").arg(silent.port()), QStringLiteral("server"));
        writeIniValue(app.iniPath(), QStringLiteral("connecttimeout"), QStringLiteral("2"), QStringLiteral("server"));
        app.messages.clear();
        app.messages.setAnswer(AnswerQuit);
        QVERIFY(!app.startWith());
        QCOMPARE(app.exitCode, std::optional<int>(0));
        QCOMPARE(app.messages.messages().size(), 1);
        QCOMPARE(app.messages.messages().at(0).style & 0x0F, int(MessageStyle::RetryQuit));
        QVERIFY2(app.messages.texts().at(0).contains(QStringLiteral("没有应答")), qPrintable(app.messages.texts().at(0)));
    }
};

BRENVO_TEST(ServerDeskTest)
#include "test_serverdesk.moc"
