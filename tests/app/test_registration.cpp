// Entering a registration on the add page as an operator does: fill the
// shipped form, choose a photo, press 确定.
#include "appfixture.h"

#include "app/outlookmenu.h"
#include "form/addpage.h"
#include "form/formbuilder.h"
#include "photos/photostore.h"

#include <QAbstractButton>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <sqlite3.h>

namespace {

struct AddPageRun {
    AppFixture app;
    QString photoSource;
    AddPageRun()
    {
        QVERIFY(app.start());
        QVERIFY(app.execute("UPDATE xx SET pho=1"));
        QVERIFY(app.execute("INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                            "values (8,0,'会计',1200,30,0,'1899-12-30 00:00:00','','',1,1,0)"));
        QVERIFY(app.start());
        photoSource = app.dir.file(QStringLiteral("applicant.jpg"));
        QImage picture(60, 80, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(photoSource, "JPG"));
        app.window->outlookMenu()->clickEntry(0, 0);
        app.messages.clear();
    }
    AddPage& page() { return *app.window->page<AddPage>(); }
    int positionOf(const char* zd)
    {
        const QVector<FormItem>& items = page().form().builtItems();
        for (int i = 0; i < items.size(); ++i)
            if (items.at(i).zd == QLatin1String(zd))
                return i + 1;
        return 0;
    }
    QLineEdit* box(const char* zd) { return qobject_cast<QLineEdit*>(page().form().itemControl(positionOf(zd))); }
    QAbstractButton* option(const char* zd, int k) { return page().form().optionControls(positionOf(zd)).value(k - 1); }
    QComboBox* list(const char* zd) { return qobject_cast<QComboBox*>(page().form().itemControl(positionOf(zd))); }
    void fill()
    {
        box("xm")->setText(QStringLiteral("王小明"));
        option("xb", 1)->setChecked(true);
        box("nl")->setText(QStringLiteral(" 18 "));
        box("lx1")->setText(QStringLiteral("13800000000"));
        option("kz3", 2)->setChecked(true);
        list("bm1")->setCurrentIndex(0);
    }
    void chooseAndSave()
    {
        PhotoFileDialogOverride dialog([this] { return photoSource; });
        app.find<QPushButton>(QStringLiteral("按钮_选择图片"))->click();
        app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
    }
};

} // namespace

class RegistrationEntryTest : public QObject {
    Q_OBJECT
private slots:
    // The same name and phone number a second time: the question, 否 (the
    // default) stores nothing and keeps the entries, 是 stores it.
    void aLikelyDuplicateIsAskedAbout()
    {
        AddPageRun run;
        run.fill();
        run.app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QCOMPARE(run.app.queryValue("select count(*) from bmb"), QStringLiteral("1"));
        const QString time = run.app.queryValue("select dtime from bmb");

        run.fill();
        run.app.messages.setAnswer(AnswerNo);
        run.app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QCOMPARE(run.app.messages.texts(),
                 QStringList{QStringLiteral("可能与已有报名重复：第1号 王小明 %1。仍然保存吗？").arg(time)});
        QCOMPARE(run.app.messages.messages().first().style,
                 MessageStyle::YesNo | MessageStyle::Question | MessageStyle::SecondDefault);
        QCOMPARE(run.app.queryValue("select count(*) from bmb"), QStringLiteral("1"));
        QCOMPARE(run.box("xm")->text(), QStringLiteral("王小明"));

        run.app.messages.setAnswer(AnswerYes);
        run.app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QCOMPARE(run.app.queryValue("select count(*) from bmb"), QStringLiteral("2"));
    }

    void aFilledFormWithAPhotoIsStoredLinkedAndTheFormStartsAfresh()
    {
        AddPageRun run;
        run.fill();
        run.chooseAndSave();

        QCOMPARE(run.app.messages.texts(), QStringList());
        QCOMPARE(run.app.queryValue("select count(*) from bmb"), QStringLiteral("1"));
        QCOMPARE(run.app.queryValue("select xm from bmb"), QStringLiteral("王小明"));
        QCOMPARE(run.app.queryValue("select xb from bmb"), QStringLiteral("1"));
        QCOMPARE(run.app.queryValue("select nl from bmb"), QStringLiteral("18"));
        QCOMPARE(run.app.queryValue("select kz3 from bmb"), QStringLiteral("^音乐^"));
        QCOMPARE(run.app.queryValue("select bm1server from bmb"), QStringLiteral("8"));
        QCOMPARE(run.app.queryValue("select status from bmb"), QStringLiteral("1"));

        const QString bmbId = run.app.queryValue("select id from bmb");
        QCOMPARE(run.app.queryValue("select uid from fj"), bmbId);
        QCOMPARE(run.app.queryValue("select imgid from bmb"), run.app.queryValue("select id from fj"));
        const QString stored = run.app.queryValue("select filename from fj");
        QVERIFY2(stored.startsWith(QString::number(QDate::currentDate().month()) + QLatin1Char('\\')), qPrintable(stored));
        QVERIFY(QFileInfo::exists(photoPath(run.app.dir.path(), stored)));
        QCOMPARE(run.app.statusText(), QStringLiteral("修改imgid成功"));

        QVERIFY(run.page().pendingPhoto().isEmpty());
        QVERIFY(run.box("xm")->text().isEmpty());
        QVERIFY(!run.option("xb", 1)->isChecked());
        QVERIFY(run.app.find<QLabel>(QStringLiteral("图片框_添加"))->pixmap().isNull());
    }

    void aFailedInsertOrCheckKeepsTheEntries()
    {
        AddPageRun run;
        // Another client makes every new registration fail.
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(run.app.dir.databasePath().toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "CREATE TRIGGER refuse BEFORE INSERT ON bmb BEGIN SELECT RAISE(ABORT, 'refused'); END",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        run.fill();
        run.chooseAndSave();
        QCOMPARE(run.app.statusText(), QStringLiteral("添加新数据失败"));
        QCOMPARE(run.app.messages.messages().size(), 1);
        QVERIFY(run.app.messages.texts().first().contains(QStringLiteral("refused")));
        QCOMPARE(run.box("xm")->text(), QStringLiteral("王小明"));
        QVERIFY(run.option("xb", 1)->isChecked());
        QVERIFY(!run.page().pendingPhoto().isEmpty());

        // A required item left empty: its message, nothing stored.
        QCOMPARE(sqlite3_exec(other, "DROP TRIGGER refuse", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
        run.box("xm")->clear();
        QVERIFY(run.app.execute("UPDATE style SET bt=1 where zd='xm'"));
        run.app.window->outlookMenu()->clickEntry(0, 0);
        run.fill();
        run.box("xm")->setText(QStringLiteral("  "));
        run.app.messages.clear();
        run.app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QCOMPARE(run.app.messages.texts(), QStringList({QStringLiteral("姓名没有填写")}));
        QCOMPARE(run.app.messages.messages().first().style, 4096);
        QCOMPARE(run.app.queryValue("select count(*) from bmb"), QStringLiteral("0"));
    }

    // Form items whose column is none of bmb's are built but never written.
    void aDamagedItemColumnStaysOutOfTheInsert()
    {
        AddPageRun run;
        QVERIFY(run.app.execute("INSERT INTO style (zd,nam,lx,val,bt,sx,status) values ('x); drop table bmb; --','损坏',0,'',1,90,1)"));
        QVERIFY(run.app.execute("INSERT INTO style (zd,nam,lx,val,bt,sx,status) values ('nosuchcol','无此列',0,'',0,91,1)"));
        run.app.state->formItems.clear();
        run.app.window->outlookMenu()->clickEntry(0, 0);
        QVERIFY(run.positionOf("nosuchcol") > 0);
        run.fill();
        run.box("nosuchcol")->setText(QStringLiteral("x"));
        run.app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        QCOMPARE(run.app.messages.texts(), QStringList());
        QCOMPARE(run.app.statusText(), QStringLiteral("添加新数据成功"));
        QCOMPARE(run.app.queryValue("select xm from bmb"), QStringLiteral("王小明"));
    }
};

BRENVO_TEST(RegistrationEntryTest)
#include "test_registration.moc"
