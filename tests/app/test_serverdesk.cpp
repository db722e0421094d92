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

class ServerDeskTest : public QObject {
    Q_OBJECT
private slots:
    void aDeskOnAServerNeedsNoDatabaseFileOfItsOwn()
    {
        TestPgDatabase server;
        BRENVO_REQUIRE_PG(server);
        AppFixture app;
        QVERIFY(QFile::remove(app.dir.databasePath()));
        writeIniValue(app.iniPath(), QStringLiteral("connection"), server.connectionString(), QStringLiteral("server"));
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
        QVERIFY(QFile::remove(app.dir.databasePath()));
        writeIniValue(app.iniPath(), QStringLiteral("connection"), server.connectionString(), QStringLiteral("server"));
        QVERIFY(app.start());
        QVERIFY(app.execute("INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                            "values (8,0,'会计',1200,30,0,'1899-12-30 00:00:00','','',1,1,0)"));
        QVERIFY(app.start());
        app.window->outlookMenu()->clickEntry(0, 0);

        const FormBuilder& form = app.window->page<AddPage>()->form();
        auto control = [&form](const char* zd) {
            const QVector<FormItem>& items = form.builtItems();
            for (int i = 0; i < items.size(); ++i)
                if (items.at(i).zd == QLatin1String(zd))
                    return i + 1;
            return 0;
        };
        auto* name = qobject_cast<QLineEdit*>(form.itemControl(control("xm")));
        auto* phone = qobject_cast<QLineEdit*>(form.itemControl(control("lx1")));
        QAbstractButton* male = form.optionControls(control("xb")).value(0);
        QVERIFY(name && phone && male);
        name->setText(QStringLiteral("王小明"));
        phone->setText(QStringLiteral("13800000000"));
        male->setChecked(true);
        qobject_cast<QComboBox*>(form.itemControl(control("bm1")))->setCurrentIndex(0);

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
    }
};

BRENVO_TEST(ServerDeskTest)
#include "test_serverdesk.moc"
