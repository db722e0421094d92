#include "appfixture.h"

#include "app/outlookmenu.h"
#include "core/lists.h"
#include "form/addpage.h"
#include "form/formlayout.h"
#include "photos/photostore.h"
#include "platform/inifile.h"
#include "records/browsepage.h"
#include "records/editwindow.h"
#include "records/screenshots.h"

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QRadioButton>
#include <QTreeWidget>

namespace {

// Only the form items of these columns (separated by blanks) stay enabled, in this order.
void enableOnly(AppFixture& app, const QString& columns)
{
    QVERIFY(app.execute(QStringLiteral("update style set status=0")));
    int order = 0;
    for (const QString& column : columns.split(QLatin1Char(' ')))
        QVERIFY(app.execute(QStringLiteral("update style set status=1, sx=%1 where zd='%2'").arg(++order).arg(column)));
    app.state->formItems.clear();
    ensureFormItems(*app.state);
}

int insertRegistration(AppFixture& app, const QString& columns, const QString& values)
{
    if (!app.execute(QStringLiteral("insert into bmb (%1,dtime,status) values (%2,'2013-05-06 14:03:09',1)").arg(columns, values)))
        return 0;
    return app.queryValue(QStringLiteral("select max(id) from bmb")).toInt();
}

// What the built item at `position` shows: the select list's text, or the
// visible names of the ticked options; and how many choices it has.
QStringList shownChoice(const EditWindow* window, int position)
{
    if (auto* list = qobject_cast<QComboBox*>(window->form().itemControl(position)))
        return {list->currentText()};
    QStringList ticked;
    for (const QAbstractButton* option : window->form().optionControls(position))
        if (option->isChecked())
            ticked << splitOptionCaption(option->text()).first();
    return ticked;
}

int choiceCount(const EditWindow* window, int position)
{
    if (auto* list = qobject_cast<QComboBox*>(window->form().itemControl(position)))
        return list->count();
    return int(window->form().optionControls(position).size());
}

template <typename T>
T* control(EditWindow* window, const char* name)
{
    return window->findChild<T*>(QString::fromUtf8(name));
}

} // namespace

class EditWindowTest : public QObject {
    Q_OBJECT
private slots:
    // An operator opens one registration, then another in the same window,
    // corrects the name and gender and saves; the list shows the correction
    // and the review state is left as it was.
    void correctingARegistration()
    {
        AppFixture app;
        QVERIFY(app.start());
        // A damaged item whose column is none of bmb's stays out of the statement.
        QVERIFY(app.execute(QStringLiteral("insert into style (zd,nam,lx,val,bt,sx,status) values ('sh=1,xm','损坏',0,'',0,9,1)")));
        enableOnly(app, QStringLiteral("xm xb sh=1,xm"));
        app.state->unitSettings.review = 1;
        const int first = insertRegistration(app, QStringLiteral("xm,xb,sh"), QStringLiteral("'张三',1,0"));
        const int second = insertRegistration(app, QStringLiteral("xm,xb,sh"), QStringLiteral("'李四',1,-1"));
        app.window->showBrowse(false);

        EditWindow* window = openRecord(app, first);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->form().builtItems().size(), 3);
        auto* name = qobject_cast<QLineEdit*>(window->form().itemControl(1));
        QVERIFY(name);
        QCOMPARE(name->text(), QStringLiteral("张三"));
        QCOMPARE(control<QLabel>(window, "标签_时间")->text(), QStringLiteral("Time:2013-05-06 14:03:09"));

        QCOMPARE(openRecord(app, second), window);
        QCOMPARE(window->editRecordId(), second);
        name = qobject_cast<QLineEdit*>(window->form().itemControl(1));
        QCOMPARE(name->text(), QStringLiteral("李四"));
        const QVector<QAbstractButton*> genders = window->form().optionControls(2);
        QCOMPARE(genders.size(), 2);
        QVERIFY(genders[0]->isChecked() && !genders[1]->isChecked());
        QCOMPARE(control<QComboBox>(window, "组合框_添加_审核状态")->currentText(), QStringLiteral("审核未通过"));
        QVERIFY(!control<QLabel>(window, "标签16")->isVisibleTo(window));

        name->setText(QStringLiteral("  abc "));
        genders[1]->click();
        QCOMPARE(buildEditUpdateSql(window->form().builtItems(), window->form().enteredItems(), app.state->categoryList,
                                    app.state->programmeList, second),
                 QStringLiteral("UPDATE bmb SET xm='abc',xb=2 where id=%1").arg(second));
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.queryValue(QStringLiteral("select xm||'/'||xb||'/'||sh from bmb where id=%1").arg(second)),
                 QStringLiteral("abc/2/-1"));
        QCOMPARE(app.queryValue(QStringLiteral("select xm from bmb where id=%1").arg(first)), QStringLiteral("张三"));
        QVERIFY(window->isVisible());
        auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_信息浏览"));
        bool listed = false;
        for (int c = 0; c < list->columnCount(); ++c)
            listed = listed || rowOf(list, second)->text(c) == QStringLiteral("abc");
        QVERIFY(listed);
    }

    // Another desk changes the registration while it is open here: the save
    // is refused and offers the other desk's version; once reloaded, the
    // correction goes through, and saving twice is no conflict with oneself.
    void aChangeMadeElsewhereIsNotOverwritten()
    {
        AppFixture app;
        QVERIFY(app.start());
        enableOnly(app, QStringLiteral("xm lx1"));
        const int id = insertRegistration(app, QStringLiteral("xm,lx1"), QStringLiteral("'张三','13800000000'"));
        app.window->showBrowse(false);
        EditWindow* window = openRecord(app, id);
        QVERIFY(window);
        auto* name = qobject_cast<QLineEdit*>(window->form().itemControl(1));
        auto* phone = qobject_cast<QLineEdit*>(window->form().itemControl(2));
        QVERIFY(name && phone);

        Database otherDesk;
        QVERIFY(createConnection(otherDesk.connection) && createRecordSet(otherDesk.sharedRecordSet));
        QVERIFY(otherDesk.connection->openDatabase(connectionStringFor(app.dir.path())));
        QVERIFY(otherDesk.execute(QStringLiteral("update bmb set lx1='13900000000' where id=%1").arg(id)));

        name->setText(QStringLiteral("张三丰"));
        app.messages.clear();
        app.messages.setAnswer(AnswerYes);
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.messages.texts(), QStringList{QStringLiteral("这条报名在打开后已被其他人修改或删除，本次修改没有保存。\n"
                                                                 "是否重新载入这条报名的最新内容？")});
        const RecordedMessage& conflict = app.messages.messages().at(0);
        takeMessageScreenshot(conflict.text, conflict.style, conflict.title, QStringLiteral("edit-conflict"));
        QCOMPARE(app.queryValue(QStringLiteral("select xm||'/'||lx1 from bmb where id=%1").arg(id)),
                 QStringLiteral("张三/13900000000"));
        QCOMPARE(name->text(), QStringLiteral("张三"));
        QCOMPARE(phone->text(), QStringLiteral("13900000000"));

        app.messages.clear();
        for (const char* corrected : {"张三丰", "张三峰"}) {
            name->setText(QString::fromUtf8(corrected));
            control<QPushButton>(window, "按钮1_确定")->click();
            QVERIFY2(app.messages.messages().isEmpty(), qPrintable(app.messages.texts().join('\n')));
            QCOMPARE(app.queryValue(QStringLiteral("select xm||'/'||lx1 from bmb where id=%1").arg(id)),
                     QString::fromUtf8(corrected) + QStringLiteral("/13900000000"));
        }

        QVERIFY(otherDesk.execute(QStringLiteral("delete * from bmb where id=%1").arg(id)));
        app.messages.setAnswer(AnswerNo);
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.messages.messages().size(), 1);
        QVERIFY2(app.messages.texts().at(0).contains(QStringLiteral("已被其他人删除")), qPrintable(app.messages.texts().at(0)));
        QVERIFY(!window->isVisible());
        QCOMPARE(app.queryValue(QStringLiteral("select count(*) from bmb")), QStringLiteral("0"));
    }

    // Saving compares against the other live registrations only: the record
    // itself never counts, another with the same id number is asked about.
    void savingAsksAboutAnotherWithTheSameIdNumber()
    {
        AppFixture app;
        QVERIFY(app.start());
        enableOnly(app, QStringLiteral("xm zj"));
        const int first = insertRegistration(app, QStringLiteral("xm,zj"), QStringLiteral("'张三','110X'"));
        const int second = insertRegistration(app, QStringLiteral("xm,zj"), QStringLiteral("'李四','220'"));
        app.window->showBrowse(false);
        EditWindow* window = openRecord(app, second);
        QVERIFY(window);
        auto* name = qobject_cast<QLineEdit*>(window->form().itemControl(1));
        auto* idNumber = qobject_cast<QLineEdit*>(window->form().itemControl(2));
        name->setText(QStringLiteral("李四四"));
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.messages.texts(), QStringList());
        QCOMPARE(app.queryValue(QStringLiteral("select xm from bmb where id=%1").arg(second)), QStringLiteral("李四四"));

        idNumber->setText(QStringLiteral("110x"));
        app.messages.setAnswer(AnswerNo);
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.messages.texts(),
                 QStringList{QStringLiteral("可能与已有报名重复：第%1号 张三 2013-05-06 14:03:09。仍然保存吗？").arg(first)});
        QCOMPARE(app.queryValue(QStringLiteral("select zj from bmb where id=%1").arg(second)), QStringLiteral("220"));
        QCOMPARE(idNumber->text(), QStringLiteral("110x"));
        app.messages.setAnswer(AnswerYes);
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.queryValue(QStringLiteral("select zj from bmb where id=%1").arg(second)), QStringLiteral("110x"));
    }

    // A stored choice that the form no longer offers (an option renamed or
    // removed, a category or programme disabled or deleted) is shown marked
    // and saved back unchanged, until the operator picks another.
    void aChoiceNoLongerOfferedIsKept_data()
    {
        QTest::addColumn<QString>("zd");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("storedColumns");
        QTest::addColumn<QString>("storedValues");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("choices");
        QTest::addColumn<QString>("written");  // a select expression over the record
        QTest::addColumn<QString>("kept");     // its value after saving as shown
        QTest::addColumn<int>("pick");         // the entry chosen or the option clicked next
        QTest::addColumn<QString>("picked");   // its value after saving that
        const QString programmeIds = QStringLiteral("%1||'/'||%1server");

        QTest::newRow("select list, option renamed")
            << "kz1" << 4 << "初中||高中" << "kz1" << "'中专'" << QStringList{"中专（已停用）"} << 3 << "kz1" << "中专" << 1
            << "高中";
        QTest::newRow("select list, option still offered")
            << "kz1" << 4 << "初中||高中" << "kz1" << "'高中'" << QStringList{"高中"} << 2 << "kz1" << "高中" << 0
            << "初中";
        QTest::newRow("radio buttons, option removed")
            << "kz1" << 2 << "本科||专科" << "kz1" << "'大专'" << QStringList{"大专（已停用）"} << 3 << "kz1" << "大专" << 1
            << "专科";
        QTest::newRow("check boxes, one option removed")
            << "kz3" << 3 << "体育||音乐" << "kz3" << "'^音乐^^书法^'" << QStringList{"音乐", "书法（已停用）"} << 3 << "kz3"
            << "^音乐^^书法^" << 2 << "^音乐^";
        QTest::newRow("category disabled")
            << "dd" << 4 << "" << "dd,ddserver" << "2,9" << QStringList{"西校（已停用）"} << 3 << "dd||'/'||ddserver"
            << "2/9" << 1 << "1/0";
        QTest::newRow("category deleted")
            << "dd" << 4 << "" << "dd,ddserver" << "7,3" << QStringList{"编号7（已停用）"} << 3 << "dd||'/'||ddserver"
            << "7/3" << 0 << "0/0";
        QTest::newRow("programme list, programme disabled")
            << "bm1" << 4 << "" << "bm1,bm1server" << "12,5" << QStringList{"小提琴（已停用）"} << 3
            << programmeIds.arg("bm1") << "12/5" << 0 << "11/0";
        QTest::newRow("programme list, programme deleted")
            << "bm2" << 4 << "" << "bm2,bm2server" << "99,4" << QStringList{"编号99（已停用）"} << 3
            << programmeIds.arg("bm2") << "99/4" << 1 << "13/0";
        QTest::newRow("programme radio buttons, programme disabled")
            << "bm2" << 2 << "" << "bm2,bm2server" << "12,5" << QStringList{"小提琴（已停用）"} << 3
            << programmeIds.arg("bm2") << "12/5" << 0 << "11/0";
        QTest::newRow("programme check boxes, one disabled")
            << "bm3" << 3 << "" << "bm3,bm3server" << "'^11^^12^','^0^^5^'" << QStringList{"钢琴", "小提琴（已停用）"} << 3
            << programmeIds.arg("bm3") << "^11^^12^/^0^^5^" << 2 << "^11^/^0^";
    }

    void aChoiceNoLongerOfferedIsKept()
    {
        QFETCH(QString, zd);
        QFETCH(int, type);
        QFETCH(QString, options);
        QFETCH(QString, storedColumns);
        QFETCH(QString, storedValues);
        QFETCH(QStringList, shown);
        QFETCH(int, choices);
        QFETCH(QString, written);
        QFETCH(QString, kept);
        QFETCH(int, pick);
        QFETCH(QString, picked);
        AppFixture app;
        QVERIFY(app.start());
        QVERIFY(app.execute(QStringLiteral("insert into dd (id,serverid,name,sx,status) values (1,0,'东校',1,1)")));
        QVERIFY(app.execute(QStringLiteral("insert into dd (id,serverid,name,sx,status) values (2,9,'西校',2,0)")));
        const char* programmes[][4] = {{"11", "0", "钢琴", "1"}, {"12", "5", "小提琴", "0"}, {"13", "0", "油画", "1"}};
        for (const auto& p : programmes)
            QVERIFY(app.execute(QStringLiteral("insert into zy (id,serverid,name,sx,status,ddid) values (%1,%2,'%3',%1,%4,1)")
                                    .arg(QString::fromUtf8(p[0]), QString::fromUtf8(p[1]), QString::fromUtf8(p[2]),
                                         QString::fromUtf8(p[3]))));
        loadCategoryList(*app.state);
        loadProgrammeList(*app.state);
        QVERIFY(app.execute(QStringLiteral("update style set lx=%1, val='%2' where zd='%3'").arg(type).arg(options, zd)));
        enableOnly(app, zd + QStringLiteral(" xm"));
        const int id = insertRegistration(app, storedColumns + QStringLiteral(",xm"), storedValues + QStringLiteral(",'甲'"));
        QVERIFY(id > 0);
        app.window->showBrowse(false);
        const QString query = QStringLiteral("select %1 from bmb where id=%2").arg(written).arg(id);
        QCOMPARE(app.queryValue(query), kept);

        EditWindow* window = openRecord(app, id);
        QVERIFY(window);
        QCOMPARE(shownChoice(window, 1), shown);
        QCOMPARE(choiceCount(window, 1), choices);
        qobject_cast<QLineEdit*>(window->form().itemControl(2))->setText(QStringLiteral("乙"));
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.queryValue(QStringLiteral("select xm from bmb where id=%1").arg(id)), QStringLiteral("乙"));
        QCOMPARE(app.queryValue(query), kept);

        // Shown again after the compact layout is switched, and kept.
        control<QCheckBox>(window, "选择框_表单紧凑排列")->click();
        QCOMPARE(shownChoice(window, 1), shown);

        if (auto* list = qobject_cast<QComboBox*>(window->form().itemControl(1)))
            list->setCurrentIndex(pick);
        else
            window->form().optionControls(1).value(pick)->click();
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.queryValue(query), picked);
    }

    // A registration deleted after the list was shown opens as an empty form,
    // which the save refuses to write back.
    void anEmptyFormIsNotSaved()
    {
        AppFixture app;
        QVERIFY(app.start());
        enableOnly(app, QStringLiteral("xm nl"));
        const int id = insertRegistration(app, QStringLiteral("xm,nl"), QStringLiteral("'王五',18"));
        app.window->showBrowse(false);
        QVERIFY(app.execute(QStringLiteral("delete from bmb where id=%1").arg(id)));

        EditWindow* window = openRecord(app, id);
        QVERIFY(window);
        QVERIFY(!window->recordLoaded());
        app.messages.clear();
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.messages.texts(), QStringList{QStringLiteral("请先选中要修改项目")});
        QCOMPARE(app.queryValue(QStringLiteral("select count(*) from bmb")), QStringLiteral("0"));
    }

    // Choosing another category in the form offers that category's
    // programmes and shows the stored values again.
    void categoryChangeRebuildsTheProgrammes()
    {
        AppFixture app;
        QVERIFY(app.start());
        app.state->unitSettings.multiLocation = 1;
        QVERIFY(app.execute(QStringLiteral("insert into dd (id,name,sx,status) values (1,'东校',1,1)")));
        QVERIFY(app.execute(QStringLiteral("insert into dd (id,name,sx,status) values (2,'西校',2,1)")));
        const char* programmes[][3] = {{"11", "钢琴", "1"}, {"12", "小提琴", "1"}, {"21", "油画", "2"}};
        for (const auto& p : programmes)
            QVERIFY(app.execute(QStringLiteral("insert into zy (id,serverid,name,sx,status,ddid) values (%1,0,'%2',%1,1,%3)")
                                    .arg(QString::fromUtf8(p[0]), QString::fromUtf8(p[1]), QString::fromUtf8(p[2]))));
        loadCategoryList(*app.state);
        loadProgrammeList(*app.state);
        enableOnly(app, QStringLiteral("dd bm1 xm"));
        const int id = insertRegistration(app, QStringLiteral("dd,bm1,xm"), QStringLiteral("1,12,'赵六'"));
        app.window->showBrowse(false);

        EditWindow* window = openRecord(app, id);
        QVERIFY(window);
        auto* categories = qobject_cast<QComboBox*>(window->form().itemControl(1));
        auto* choices = qobject_cast<QComboBox*>(window->form().itemControl(2));
        QVERIFY(categories && choices);
        QCOMPARE(categories->currentText(), QStringLiteral("东校"));
        QCOMPARE(choices->count(), 2);
        QCOMPARE(choices->currentText(), QStringLiteral("小提琴"));

        categories->setCurrentIndex(categories->findText(QStringLiteral("西校")));
        QCOMPARE(window->editCategoryId(), 2);
        categories = qobject_cast<QComboBox*>(window->form().itemControl(1));
        choices = qobject_cast<QComboBox*>(window->form().itemControl(2));
        QCOMPARE(categories->currentText(), QStringLiteral("西校"));
        QCOMPARE(choices->count(), 1);
        QCOMPARE(choices->itemText(0), QStringLiteral("油画"));
        QCOMPARE(choices->currentIndex(), -1);  // the stored programme is not one of 西校's
        QCOMPARE(qobject_cast<QLineEdit*>(window->form().itemControl(3))->text(), QStringLiteral("赵六"));

        choices->setCurrentIndex(0);
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.queryValue(QStringLiteral("select dd||'/'||bm1||'/'||xm from bmb where id=%1").arg(id)),
                 QStringLiteral("2/21/赵六"));
    }

    // A new photo is inserted for a record without one and then replaces it;
    // a photo chosen and not saved stays with the record it was chosen for.
    void storingThePhotograph()
    {
        AppFixture app;
        QVERIFY(app.start());
        enableOnly(app, QStringLiteral("xm"));
        app.state->unitSettings.photo = 1;
        const int first = insertRegistration(app, QStringLiteral("xm,imgid"), QStringLiteral("'甲',0"));
        const int second = insertRegistration(app, QStringLiteral("xm,imgid"), QStringLiteral("'乙',0"));
        app.window->showBrowse(false);
        QString chosen = writePicture(app.dir.file(QStringLiteral("red.jpg")), Qt::red);
        PhotoFileDialogOverride dialog([&chosen] { return chosen; });

        EditWindow* window = openRecord(app, first);
        QVERIFY(window);
        auto* picture = control<QLabel>(window, "图片框1");
        control<QPushButton>(window, "按钮_浏览")->click();
        QVERIFY(!window->pendingPhoto().isEmpty());
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.statusText(), QStringLiteral("修改imgid成功"));
        const QString photoRow = app.queryValue(QStringLiteral("select id from fj where uid=%1").arg(first));
        QCOMPARE(app.queryValue(QStringLiteral("select imgid from bmb where id=%1").arg(first)), photoRow);
        const QString firstFile = app.queryValue(QStringLiteral("select filename from fj where uid=%1").arg(first));
        QVERIFY(QFile::exists(photoPath(app.dir.path(), firstFile)));
        QVERIFY(window->pendingPhoto().isEmpty());

        chosen = writePicture(app.dir.file(QStringLiteral("blue.jpg")), Qt::blue);
        control<QPushButton>(window, "按钮_浏览")->click();
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.statusText(), QStringLiteral("图片修改设置成功"));
        QCOMPARE(app.queryValue(QStringLiteral("select count(*)||'/'||id from fj where uid=%1").arg(first)),
                 QStringLiteral("1/") + photoRow);
        const QString secondFile = app.queryValue(QStringLiteral("select filename from fj where uid=%1").arg(first));
        QVERIFY(secondFile != firstFile);
        QVERIFY(QFile::exists(photoPath(app.dir.path(), secondFile)));
        QVERIFY(!QFile::exists(photoPath(app.dir.path(), firstFile)));

        // Opened again, the record shows its photo; a new choice left unsaved
        // is dropped when another record is opened.
        QCOMPARE(openRecord(app, first), window);
        QVERIFY(!picture->pixmap().isNull());
        control<QPushButton>(window, "按钮_浏览")->click();
        QCOMPARE(openRecord(app, second), window);
        QVERIFY(picture->pixmap().isNull());
        QVERIFY(window->pendingPhoto().isEmpty());
        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.queryValue(QStringLiteral("select count(*) from fj where uid=%1").arg(second)), QStringLiteral("0"));

        // 清除 removes the stored photo at once.
        openRecord(app, first);
        control<QPushButton>(window, "清除按钮")->click();
        QCOMPARE(app.queryValue(QStringLiteral("select count(*) from fj where uid=%1").arg(first)), QStringLiteral("0"));
        QCOMPARE(app.queryValue(QStringLiteral("select imgid from bmb where id=%1").arg(first)), QStringLiteral("0"));
        QVERIFY(!QFile::exists(photoPath(app.dir.path(), secondFile)));
    }

    // The add page and the edit window each keep their own photo: one chosen
    // on the page goes with the new registration, one chosen in the window
    // with the record on show, whichever 确定 comes first.
    void eachWindowKeepsItsOwnPhoto()
    {
        AppFixture app;
        QVERIFY(app.start());
        enableOnly(app, QStringLiteral("xm"));
        app.state->unitSettings.photo = 1;
        const int stored = insertRegistration(app, QStringLiteral("xm,imgid"), QStringLiteral("'甲',0"));
        app.window->showBrowse(false);
        QString chosen;
        PhotoFileDialogOverride dialog([&chosen] { return chosen; });

        app.window->outlookMenu()->clickEntry(0, 0);
        AddPage& page = *app.window->page<AddPage>();
        chosen = writePicture(app.dir.file(QStringLiteral("red.jpg")), Qt::red);
        app.find<QPushButton>(QStringLiteral("按钮_选择图片"))->click();
        const QString pageChoice = page.pendingPhoto();
        QVERIFY(!pageChoice.isEmpty());

        EditWindow* window = openRecord(app, stored);
        QVERIFY(window);
        chosen = writePicture(app.dir.file(QStringLiteral("blue.jpg")), Qt::blue);
        control<QPushButton>(window, "按钮_浏览")->click();
        const QString windowChoice = window->pendingPhoto();
        QVERIFY(!windowChoice.isEmpty() && windowChoice != pageChoice);
        QCOMPARE(page.pendingPhoto(), pageChoice);

        qobject_cast<QLineEdit*>(page.form().itemControl(1))->setText(QStringLiteral("乙"));
        app.find<QPushButton>(QStringLiteral("按钮_添加_确定"))->click();
        const QString added = app.queryValue(QStringLiteral("select id from bmb where xm='乙'"));
        QCOMPARE(app.queryValue(QStringLiteral("select filename from fj where uid=") + added), pageChoice);
        QCOMPARE(app.queryValue(QStringLiteral("select imgid from bmb where id=") + added),
                 app.queryValue(QStringLiteral("select id from fj where uid=") + added));
        QCOMPARE(window->pendingPhoto(), windowChoice);

        control<QPushButton>(window, "按钮1_确定")->click();
        QCOMPARE(app.statusText(), QStringLiteral("修改imgid成功"));
        QCOMPARE(app.queryValue(QStringLiteral("select filename from fj where uid=%1").arg(stored)), windowChoice);
        QCOMPARE(app.queryValue(QStringLiteral("select imgid from bmb where id=%1").arg(stored)),
                 app.queryValue(QStringLiteral("select id from fj where uid=%1").arg(stored)));
        QCOMPARE(app.queryValue(QStringLiteral("select count(*) from fj")), QStringLiteral("2"));
        // Each record has the picture chosen for it.
        QVERIFY(QImage(photoPath(app.dir.path(), pageChoice)).pixelColor(30, 40).red() > 200);
        QVERIFY(QImage(photoPath(app.dir.path(), windowChoice)).pixelColor(30, 40).blue() > 200);
    }

    // The window remembers where it was closed, also when the main window
    // closes it, and opens there next time.
    void theWindowKeepsItsPlace()
    {
        AppFixture app;
        QVERIFY(app.start());
        enableOnly(app, QStringLiteral("xm xb"));
        const int id = insertRegistration(app, QStringLiteral("xm"), QStringLiteral("'丙'"));
        app.window->showBrowse(false);
        EditWindow* window = openRecord(app, id);
        QVERIFY(window);
        QCOMPARE(window->size(), QSize(800, 600));
        window->resize(900, 700);
        window->move(10, 20);

        QPointer<EditWindow> closing = window;
        app.closeWindow();
        QVERIFY(closing.isNull() || !closing->isVisible());
        const char* keys[][2] = {{"llxx_kd", "900"}, {"llxx_gd", "700"}, {"llxx_x", "10"}, {"llxx_y", "20"}};
        for (const auto& key : keys)
            QCOMPARE(readIniValue(app.iniPath(), QString::fromLatin1(key[0]), QString()), QString::fromLatin1(key[1]));

        QVERIFY(app.start());
        app.window->showBrowse(false);
        window = openRecord(app, id);
        QVERIFY(window);
        QCOMPARE(window->geometry().size(), QSize(900, 700));
        QCOMPARE(window->pos(), QPoint(10, 20));
        // The form frame grew with the window, the button kept to the bottom right.
        QCOMPARE(control<QWidget>(window, "分组框1_添加")->size(), QSize(888, 656));
        QCOMPARE(control<QWidget>(window, "按钮1_确定")->geometry().bottomRight(), QPoint(885, 689));
        QCOMPARE(control<QWidget>(window, "分组框_拍照")->x(), 888 - 136);
        // The gender buttons' frame reaches to the frame's right edge, less the photo's room.
        const QWidget* genders = window->form().optionControls(2).value(0)->parentWidget();
        QCOMPARE(genders->geometry().right() + 1, 888 - 8 - (app.state->unitSettings.photo == 1 ? 132 : 0));
    }
};

BRENVO_TEST(EditWindowTest)
#include "test_editwindow.moc"
