// The form designer page and the registration form built on the add page,
// driven through the main window as an operator would.
#include "appfixture.h"

#include "app/outlookmenu.h"
#include "catalogue/programmepage.h"
#include "form/addpage.h"
#include "form/designer.h"
#include "form/formbuilder.h"
#include "photos/photostore.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

const int fieldColumn = 9;

struct FormPages {
    AppFixture app;
    FormPages()
    {
        QVERIFY(app.start());
        app.messages.clear();
    }
    DesignerPage& designer() { return *app.window->page<DesignerPage>(); }
    AddPage& addPage() { return *app.window->page<AddPage>(); }
    FormBuilder& form() { return addPage().form(); }
    void openDesigner() { app.window->outlookMenu()->clickEntry(1, 2); }
    void openAddPage() { app.window->outlookMenu()->clickEntry(0, 0); }
    QTreeWidget* list() { return app.find<QTreeWidget>(QStringLiteral("超级列表框_表单")); }
    template <typename T>
    T* control(const char* name) { return app.find<T>(QString::fromUtf8(name)); }
    void click(const char* button) { control<QPushButton>(button)->click(); }

    void selectItem(const QString& zd)
    {
        for (int row = 0; row < list()->topLevelItemCount(); ++row)
            if (list()->topLevelItem(row)->text(fieldColumn) == zd) {
                list()->setCurrentItem(list()->topLevelItem(row));
                return;
            }
        QFAIL(qPrintable(QStringLiteral("no designer row for ") + zd));
    }
    QString selectedColumn()
    {
        const QList<QTreeWidgetItem*> selected = list()->selectedItems();
        return selected.isEmpty() ? QString() : selected.first()->text(fieldColumn);
    }
    void chooseType(const QString& typeName)
    {
        auto* type = control<QComboBox>("组合框_表单_类型");
        type->setCurrentIndex(type->findText(typeName));
    }
    // Every style row as one text, to see that nothing changed.
    QString styleTable()
    {
        QString all;
        if (app.state->db.openShared(QStringLiteral("select * from style order by id")))
            for (RecordSet& rows = app.state->db.shared(); !rows.atEnd(); rows.moveNext())
                all += QStringList{rows.readText("nam"), rows.readText("lx"), rows.readText("val"), rows.readText("bt"),
                                   rows.readText("yz"), rows.readText("sx"), rows.readText("ts"), rows.readText("status")}
                           .join(QLatin1Char('|'))
                       + QLatin1Char(';');
        return all;
    }
    QString styleRow(const char* zd)
    {
        const QString where = QStringLiteral(" from style where zd='%1'").arg(QLatin1String(zd));
        QStringList values;
        for (const char* column : {"nam", "lx", "val", "bt", "yz", "sx", "ts", "status"})
            values << app.queryValue(QStringLiteral("select ") + QLatin1String(column) + where);
        return values.join(QLatin1Char('|'));
    }

    // 1-based position of the column's item in the last build; 0 when absent.
    int positionOf(const char* zd)
    {
        const QVector<FormItem>& items = form().builtItems();
        for (int i = 0; i < items.size(); ++i)
            if (items[i].zd == QLatin1String(zd))
                return i + 1;
        return 0;
    }
    QWidget* itemControl(const char* zd) { return form().itemControl(positionOf(zd)); }
    QComboBox* itemList(const char* zd) { return qobject_cast<QComboBox*>(itemControl(zd)); }
    QStringList entries(QComboBox* list)
    {
        QStringList texts;
        for (int i = 0; list && i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    }
    QStringList visibleLabels()
    {
        QStringList texts;
        for (QWidget* control : form().builtControls())
            if (auto* label = qobject_cast<QLabel*>(control))
                texts << label->text();
        return texts;
    }
};

} // namespace

class FormDesignerTest : public QObject {
    Q_OBJECT
private slots:
    void theListShowsEveryItemWithItsHiddenColumns()
    {
        FormPages pages;
        pages.openDesigner();
        QTreeWidget* list = pages.list();
        QCOMPARE(list->topLevelItemCount(), 23);
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("项目名"));
        QCOMPARE(list->headerItem()->text(9), QStringLiteral("字段"));
        const int widths[] = {30, 120, 50, 50, 80, 100, 50};
        for (int column = 0; column < 7; ++column)
            QCOMPARE(list->columnWidth(column), widths[column]);
        for (int column = 7; column < 10; ++column)
            QVERIFY(list->isColumnHidden(column));

        // In sx order: the category item (-3) first, 个人简介 (20) last.
        QCOMPARE(list->topLevelItem(0)->text(fieldColumn), QStringLiteral("dd"));
        QCOMPARE(list->topLevelItem(22)->text(fieldColumn), QStringLiteral("jj"));
        QTreeWidgetItem* gender = list->topLevelItem(5);
        QStringList cells;
        for (int column = 0; column < 10; ++column)
            cells << gender->text(column);
        QCOMPARE(cells, QStringList({"6", "性别", "启用", "2", "单选框", "男||女", "必填", "*", "", "xb"}));
        QCOMPARE(gender->data(0, Qt::UserRole).toString(), pages.app.queryValue("select id from style where zd='xb'"));
        QCOMPARE(list->topLevelItem(0)->text(2), QString());
    }

    // The designer's preview draws the item being edited; the name box
    // changes its caption at once; the button asks for a row first.
    void theItemPreviewFollowsTheEditedItem()
    {
        FormPages pages;
        pages.openDesigner();
        pages.click("按钮_表单_预览");
        QCOMPARE(pages.app.messages.texts(), QStringList({QStringLiteral("请选中需要预览的项目")}));

        pages.selectItem("kz3");
        auto* group = pages.control<QGroupBox>("分组框14_预览");
        auto* caption = pages.control<QLabel>("标签14_预览项目名");
        QCOMPARE(caption->text(), QStringLiteral("兴趣特长:"));
        QStringList shown;
        for (QCheckBox* box : group->findChildren<QCheckBox*>())
            if (box->isVisibleTo(group))
                shown << box->text();
        QCOMPARE(shown, QStringList({QStringLiteral("体育"), QStringLiteral("音乐"), QStringLiteral("美术"), QStringLiteral("计算机")}));

        pages.control<QLineEdit>("编辑框_表单_名称")->setText(QStringLiteral("特长"));
        QCOMPARE(caption->text(), QStringLiteral("特长"));
        pages.click("按钮_表单_预览");
        QCOMPARE(caption->text(), QStringLiteral("特长:"));
    }

    void selectingARowCopiesItAndOffersItsTypes()
    {
        FormPages pages;
        pages.openDesigner();
        QSignalSpy previews(&pages.designer(), &DesignerPage::itemPreviewRequested);
        auto* type = pages.control<QComboBox>("组合框_表单_类型");
        auto* rule = pages.control<QComboBox>("组合框_表单_验证");

        pages.selectItem("lx1");
        QCOMPARE(pages.control<QLineEdit>("编辑框_表单_名称")->text(), QStringLiteral("联系电话"));
        QCOMPARE(pages.control<QLineEdit>("编辑框_表单_顺序")->text(), QStringLiteral("6"));
        QCOMPARE(rule->currentText(), QStringLiteral("m"));
        QCOMPARE(pages.control<QLineEdit>("编辑框_表单_字段")->text(), QStringLiteral("lx1"));
        QCOMPARE(pages.control<QLineEdit>("编辑框_表单_id")->text(), pages.app.queryValue("select id from style where zd='lx1'"));
        QVERIFY(pages.control<QCheckBox>("选择框_表单_启用")->isChecked());
        QVERIFY(pages.control<QCheckBox>("选择框_表单_必填")->isChecked());
        QCOMPARE(pages.entries(type).size(), 5);
        QCOMPARE(type->currentText(), QStringLiteral("单行文本框"));
        QCOMPARE(previews.count(), 1);

        pages.selectItem("dd");
        QCOMPARE(pages.entries(type), QStringList({QStringLiteral("选择列表框")}));
        QVERIFY(!pages.control<QCheckBox>("选择框_表单_启用")->isChecked());
        QCOMPARE(pages.control<QLineEdit>("编辑框14_输入提示")->text(), QStringLiteral("请选择报名分类"));
        pages.selectItem("xb");
        QCOMPARE(pages.entries(type), QStringList({QStringLiteral("单选框")}));
        pages.selectItem("kz1");
        QCOMPARE(type->currentText(), QStringLiteral("选择列表框"));
        QCOMPARE(type->currentData().toInt(), 4);

        // Choosing a rule shows its code, not the entry's text.
        rule->setCurrentIndex(3);
        QCOMPARE(rule->currentText(), QStringLiteral("n6-16"));
        pages.selectItem("lx1");
        emit rule->activated(3);
        QCOMPARE(rule->currentText(), QStringLiteral("n6-16"));
    }

    void savingRefusesWhatTheRulesForbid_data()
    {
        QTest::addColumn<QString>("zd");
        QTest::addColumn<QString>("type");  // empty: as offered
        QTest::addColumn<QString>("order");  // empty: as shown
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("status");
        QTest::newRow("gender not radio") << "xb" << "单行文本框" << "" << 1 << "类型选择错误：性别必须设置成单选框" << "";
        QTest::newRow("programme below radio") << "bm1" << "多行文本框" << "" << 2
                                               << "类型选择错误：只能设置成单选框，多选框，选择列表框" << "";
        QTest::newRow("category not a list") << "dd" << "单选框" << "" << 1 << "类型选择错误：本项必须为选择列表框" << "";
        QTest::newRow("programme order positive") << "bm1" << "" << "5" << 1
                                                  << "顺序优化建议：最好将本顺序设置为负值，使之排在表单的最前列。" << "";
        QTest::newRow("category order positive") << "dd" << "" << "0.5" << 1
                                                 << "顺序优化建议：最好将本顺序设置为负值，使之排在表单的最前列。" << "";
        QTest::newRow("no permission") << "kz1" << "" << "" << 5
                                       << "您的权限不足，不能操作本项，请更换更高权限的帐号再操作。" << "";
        QTest::newRow("order not a number") << "kz1" << "" << "1,status=0" << 1 << "顺序必须是数字" << "学历 修改失败";
        QTest::newRow("stored type not offered") << "xm" << "-" << "" << 1 << "请选择类型" << "";
        QTest::newRow("nothing selected") << "" << "" << "" << 1 << "请先选中要修改项目" << "";
    }

    void savingRefusesWhatTheRulesForbid()
    {
        QFETCH(QString, zd);
        QFETCH(QString, type);
        QFETCH(QString, order);
        QFETCH(int, group);
        QFETCH(QString, message);
        QFETCH(QString, status);
        FormPages pages;
        pages.openDesigner();
        pages.app.state->currentOperator.group = group;
        if (!zd.isEmpty())
            pages.selectItem(zd);
        if (type == QLatin1String("-")) {
            QVERIFY(pages.app.execute("UPDATE style SET lx=4 where zd='xm'"));
            pages.openDesigner();
            pages.selectItem(zd);
            QCOMPARE(pages.control<QComboBox>("组合框_表单_类型")->currentIndex(), -1);
        } else if (!type.isEmpty()) {
            // The type selector offers only allowed types; the save checks all the same.
            QStringList names;
            for (int code = 0; code < 5; ++code)
                names << typeName(code);
            pages.designer().fillTypeChoices(names, {0, 1, 2, 3, 4});
            pages.chooseType(type);
        }
        if (!order.isEmpty())
            pages.control<QLineEdit>("编辑框_表单_顺序")->setText(order);
        const QString before = pages.styleTable();
        pages.click("按钮_表单_修改项目");
        QCOMPARE(pages.app.messages.texts(), QStringList{message});
        QCOMPARE(pages.app.statusText(), status);
        QCOMPARE(pages.styleTable(), before);
        if (message.startsWith(QStringLiteral("顺序")))
            QVERIFY(pages.control<QLineEdit>("编辑框_表单_顺序")->hasFocus());
    }

    void savingWritesTheRowAndReloadsTheLists()
    {
        FormPages pages;
        pages.openDesigner();
        pages.selectItem("kz2");
        pages.control<QLineEdit>("编辑框_表单_名称")->setText(QStringLiteral("毕业'学校"));
        pages.control<QLineEdit>("编辑框_表单_顺序")->setText(QStringLiteral("-0.5"));
        pages.control<QLineEdit>("编辑框_表单_预设值")->setText(QStringLiteral("甲||乙"));
        pages.control<QLineEdit>("编辑框14_输入提示")->setText(QStringLiteral("可多选"));
        pages.chooseType(QStringLiteral("多选框"));
        pages.control<QCheckBox>("选择框_表单_必填")->setChecked(true);
        pages.control<QComboBox>("组合框_表单_验证")->setCurrentIndex(7);
        pages.click("按钮_表单_修改项目");

        QVERIFY(pages.app.messages.texts().isEmpty());
        QCOMPARE(pages.app.statusText(), QStringLiteral("毕业'学校 修改成功"));
        QCOMPARE(pages.styleRow("kz2"), QStringLiteral("毕业'学校|3|甲||乙|1|m|-0.5|可多选|1"));
        // The list shows the saved row, still selected; the form's next build uses it.
        QCOMPARE(pages.selectedColumn(), QStringLiteral("kz2"));
        QCOMPARE(pages.list()->selectedItems().first()->text(3), QStringLiteral("-0.5"));
        QCOMPARE(pages.list()->selectedItems().first()->text(4), QStringLiteral("多选框"));
        QCOMPARE(pages.app.state->formItems[2].zd, QStringLiteral("kz2"));
        QCOMPARE(pages.app.state->formItems[2].nam, QStringLiteral("毕业'学校"));

        // Not above the tolerance counts as not positive; a negative order saves.
        pages.selectItem("bm1");
        pages.control<QLineEdit>("编辑框_表单_顺序")->setText(QStringLiteral("0.00000005"));
        pages.click("按钮_表单_修改项目");
        QCOMPARE(pages.app.statusText(), QStringLiteral("第一志愿 修改成功"));
        QCOMPARE(pages.app.queryValue("select sx from style where zd='bm1'"), QStringLiteral("5e-08"));
        QVERIFY(pages.app.messages.texts().isEmpty());
    }

    void savingTheCategoryItemSwitchesTheCategoryFeature()
    {
        FormPages pages;
        OutlookMenu* menu = pages.app.window->outlookMenu();
        QVERIFY(menu->isEntryHidden(1, 0));
        pages.openDesigner();
        for (bool on : {true, false}) {
            pages.selectItem("dd");
            pages.control<QCheckBox>("选择框_表单_启用")->setChecked(on);
            pages.click("按钮_表单_修改项目");
            QVERIFY(pages.app.messages.texts().isEmpty());
            const QString flag = on ? QStringLiteral("1") : QStringLiteral("0");
            QCOMPARE(pages.app.queryValue("select status from style where zd='dd'"), flag);
            QCOMPARE(pages.app.queryValue("select dd from xx"), flag);
            QCOMPARE(pages.app.state->unitSettings.multiLocation, on ? 1 : 0);
            QCOMPARE(pages.app.statusText(), QStringLiteral("专业分类修改成功"));
            QCOMPARE(menu->isEntryHidden(1, 0), !on);
            QCOMPARE(pages.app.window->categoryMenuItem()->isVisible(), on);
            QWidget* programmes = pages.app.window->page<ProgrammePage>();
            QCOMPARE(pages.control<QWidget>("组合框_专业_多点")->isVisibleTo(programmes), on);
            QCOMPARE(pages.control<QWidget>("标签75")->isVisibleTo(programmes), on);
            QCOMPARE(pages.app.state->formItems.first().zd == QLatin1String("dd"), on);
        }
    }

    void databaseFailuresAreShownAndReported()
    {
        FormPages pages;
        pages.openDesigner();
        // The unit table gone: the item is saved, the category switch is not.
        pages.selectItem("dd");
        pages.control<QCheckBox>("选择框_表单_启用")->setChecked(true);
        QVERIFY(pages.app.execute("drop table xx"));
        pages.click("按钮_表单_修改项目");
        QCOMPARE(pages.app.messages.messages().size(), 1);
        const RecordedMessage failure = pages.app.messages.messages().first();
        QVERIFY2(failure.text.contains(QStringLiteral("xx")), qPrintable(failure.text));
        QCOMPARE(failure.style, int(MessageStyle::Error | MessageStyle::SystemModal));
        QCOMPARE(pages.app.statusText(), failure.text);
        QCOMPARE(pages.app.queryValue("select status from style where zd='dd'"), QStringLiteral("1"));
        QVERIFY(pages.app.window->outlookMenu()->isEntryHidden(1, 0));

        // The style table gone: the save fails with the database's text.
        pages.app.messages.clear();
        pages.selectItem("xm");
        QVERIFY(pages.app.execute("drop table style"));
        pages.click("按钮_表单_修改项目");
        QCOMPARE(pages.app.messages.messages().size(), 1);
        QCOMPARE(pages.app.messages.messages().first().style, int(MessageStyle::Error));
        QCOMPARE(pages.app.statusText(), QStringLiteral("姓名 修改失败"));
        QCOMPARE(pages.list()->topLevelItemCount(), 23);
    }

    void addingAnItemTakesTheNextFreeItemIntoUse()
    {
        FormPages pages;
        pages.openDesigner();
        pages.app.state->currentOperator.group = 6;
        pages.click("按钮_表单_添加项目");
        QCOMPARE(pages.app.messages.texts(),
                 QStringList{QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。")});
        QCOMPARE(pages.app.queryValue("select count(*) from style where status=1"), QStringLiteral("15"));
        pages.app.messages.clear();
        pages.app.state->currentOperator.group = 1;

        pages.click("按钮_表单_添加项目");
        QCOMPARE(pages.app.queryValue("select status from style where zd='kz6'"), QStringLiteral("1"));
        QCOMPARE(pages.selectedColumn(), QStringLiteral("kz6"));
        QCOMPARE(pages.control<QLineEdit>("编辑框_表单_名称")->text(), QStringLiteral("扩展项6"));
        QCOMPARE(pages.app.statusText(), QStringLiteral("扩展项6 添加成功"));
        QCOMPARE(pages.app.state->formItems.size(), 16);
        for (int n = 7; n <= 10; ++n) {
            pages.click("按钮14_添加项目");
            QCOMPARE(pages.selectedColumn(), QStringLiteral("kz%1").arg(n));
        }
        QVERIFY(pages.app.messages.texts().isEmpty());
        pages.click("按钮_表单_添加项目");
        QCOMPARE(pages.app.messages.texts(), QStringList{QStringLiteral("十个扩展项目都已启用，没有可以添加的项目")});
        QCOMPARE(pages.list()->topLevelItemCount(), 23);
        QCOMPARE(pages.app.queryValue("select count(*) from style"), QStringLiteral("23"));
    }
};

class AddFormTest : public QObject {
    Q_OBJECT
private slots:
    void theListsAreLoadedOnceAtStart()
    {
        FormPages pages;
        QCOMPARE(pages.app.state->formItems.size(), 15);
        QCOMPARE(pages.app.state->formItems.first().zd, QStringLiteral("bm1"));
        // Filled lists are not reloaded by the navigation.
        QVERIFY(pages.app.execute("UPDATE style SET nam='新姓名' where zd='xm'"));
        pages.openAddPage();
        QVERIFY(pages.visibleLabels().contains(QStringLiteral("*姓名:")));
    }

    void theShippedFormIsBuiltWithTaggedControls()
    {
        FormPages pages;
        pages.openAddPage();
        QStringList columns;
        for (const FormItem& item : pages.form().builtItems())
            columns << item.zd;
        QCOMPARE(columns.join(QLatin1Char(',')),
                 QStringLiteral("bm1,bm2,xm,xb,nl,mz,zj,lx1,lx2,kz1,kz2,kz3,kz4,kz5,jj"));
        QCOMPARE(pages.visibleLabels().mid(0, 4), QStringList({"*第一志愿:", "第二志愿:", "*姓名:", "*性别:"}));

        auto* name = qobject_cast<QLineEdit*>(pages.itemControl("xm"));
        QVERIFY(name);
        QCOMPARE(name->geometry(), QRect(113, 74, 128, 20));
        QCOMPARE(qobject_cast<QLineEdit*>(pages.itemControl("mz"))->text(), QStringLiteral("汉族"));
        auto* intro = qobject_cast<QPlainTextEdit*>(pages.itemControl("jj"));
        QVERIFY(intro);
        QCOMPARE(intro->size(), QSize(256, 50));
        QCOMPARE(pages.entries(pages.itemList("kz1")).size(), 6);
        QCOMPARE(pages.itemList("kz1")->currentIndex(), -1);
        QCOMPARE(pages.itemList("bm1")->count(), 0);

        const int gender = pages.positionOf("xb");
        const QVector<QAbstractButton*> sexes = pages.form().optionControls(gender);
        QCOMPARE(sexes.size(), 2);
        QCOMPARE(sexes[1]->text(), QStringLiteral("女"));
        QCOMPARE(tagOf(sexes[1]), QString::number(gender * 100 + 2));
        QCOMPARE(pages.form().radioTags(), QVector<int>({gender * 100 + 1, gender * 100 + 2}));
        const int interests = pages.positionOf("kz3");
        QCOMPARE(pages.form().checkTags().size(), 4);
        QCOMPARE(pages.form().optionControls(interests)[3]->text(), QStringLiteral("计算机"));

        // Photo switch off: no photo group, radio containers reach further right.
        QWidget* frame = pages.control<QWidget>("分组框_添加");
        QVERIFY(!pages.control<QWidget>("分组框_拍照")->isVisibleTo(frame));
        QCOMPARE(sexes[0]->parentWidget()->width(), frame->width() - 113 - 8);
        QVERIFY(!pages.control<QWidget>("组合框_添加_审核状态")->isVisibleTo(frame));
        pages.app.state->unitSettings = {0, 1, 1, 1};
        pages.openAddPage();
        QVERIFY(pages.control<QWidget>("分组框_拍照")->isVisibleTo(frame));
        QVERIFY(pages.control<QWidget>("标签16")->isVisibleTo(frame));
        QCOMPARE(pages.form().optionControls(gender)[0]->parentWidget()->width(), frame->width() - 113 - 8 - 132);
    }

    void aRebuildUntagsTheOldControlsAndForgetsEntries()
    {
        FormPages pages;
        pages.openAddPage();
        QPointer<QWidget> oldName = pages.itemControl("xm");
        qobject_cast<QLineEdit*>(oldName.data())->setText(QStringLiteral("张三"));
        const QString chosen = writePicture(pages.app.dir.file(QStringLiteral("a.jpg")), Qt::red);
        PhotoFileDialogOverride dialog([&chosen] { return chosen; });
        pages.click("按钮_选择图片");
        QVERIFY(!pages.addPage().pendingPhoto().isEmpty());
        pages.app.state->formItems[2].currentValue = QStringLiteral("张三");

        pages.control<QCheckBox>("选择框_表单紧凑排列")->click();
        QVERIFY(pages.addPage().pendingPhoto().isEmpty());
        QVERIFY(pages.app.state->formItems[2].currentValue.isEmpty());
        QVERIFY(tagOf(oldName).isEmpty());
        QWidget* newName = pages.itemControl("xm");
        QVERIFY(newName && newName != oldName);
        QCOMPARE(editBoxText(newName), QString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(oldName.isNull());

        // Compact: 年龄 and 民族 share a row, the second label at 210 and its box at 313.
        QWidget* age = pages.itemControl("nl");
        QWidget* nation = pages.itemControl("mz");
        QCOMPARE(nation->geometry(), QRect(313, age->y(), 128, 20));
    }

    void aBuildInterruptedByAnotherLeavesOneWholeForm()
    {
        FormPages pages;
        pages.openAddPage();
        const int wholeBuild = int(pages.form().builtControls().size());
        // The builder lets pending messages run after each label; a rebuild arriving then wins.
        QTimer::singleShot(0, &pages.addPage(), [&] { pages.addPage().buildAddForm(); });
        pages.addPage().buildAddForm();
        QCOMPARE(int(pages.form().builtControls().size()), wholeBuild);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        int taggedNameBoxes = 0;
        for (QLineEdit* box : pages.control<QWidget>("分组框_添加")->findChildren<QLineEdit*>())
            taggedNameBoxes += tagOf(box) == itemTag(pages.positionOf("xm")) ? 1 : 0;
        QCOMPARE(taggedNameBoxes, 1);
    }

    void programmeOptionsFollowTheChosenCategory()
    {
        FormPages pages;
        AppFixture& app = pages.app;
        // A disabled category first, then two in use; programmes of both, one closed.
        QVERIFY(app.execute("INSERT INTO dd (serverid,name,sx,status) values (0,'旧校区',1,0)"));
        QVERIFY(app.execute("INSERT INTO dd (serverid,name,sx,status) values (20,'城区',2,1)"));
        QVERIFY(app.execute("INSERT INTO dd (serverid,name,sx,status) values (30,'郊区',3,1)"));
        const QString town = app.queryValue("select id from dd where name='城区'");
        const QString country = app.queryValue("select id from dd where name='郊区'");
        QVERIFY(app.execute("INSERT INTO zy (serverid,name,sx,status,ddid) values (71,'会计',1,1," + town + ")"));
        QVERIFY(app.execute("INSERT INTO zy (serverid,name,sx,status,ddid) values (72,'护理',2,1," + country + ")"));
        QVERIFY(app.execute("INSERT INTO zy (serverid,name,sx,status,ddid) values (73,'停招',3,0," + town + ")"));
        QVERIFY(app.execute("UPDATE style SET status=1 where zd='dd'"));
        QVERIFY(app.execute("UPDATE style SET status=1,lx=2 where zd='bm3'"));
        app.state->formItems.clear();
        app.state->categoryList.clear();
        app.state->programmeList.clear();
        pages.openAddPage();

        QCOMPARE(pages.entries(pages.itemList("dd")), QStringList({"全部", "城区", "郊区"}));
        QCOMPARE(pages.itemList("dd")->currentIndex(), 0);
        QCOMPARE(pages.entries(pages.itemList("bm1")), QStringList({"会计", "护理"}));
        QCOMPARE(pages.itemList("bm1")->currentIndex(), -1);
        // A programme radio option carries its ids behind the separator; its width shows the name only.
        QAbstractButton* nursing = pages.form().optionControls(pages.positionOf("bm3"))[1];
        QCOMPARE(splitOptionCaption(nursing->text()),
                 QStringList({"护理", app.queryValue("select id from zy where name='护理'"), "72"}));
        QCOMPARE(nursing->width(), optionWidth(QStringLiteral("护理")));

        qobject_cast<QLineEdit*>(pages.itemControl("xm"))->setText(QStringLiteral("张三"));
        pages.itemList("dd")->setCurrentIndex(2);
        QCOMPARE(pages.itemList("dd")->currentText(), QStringLiteral("郊区"));
        QCOMPARE(pages.form().currentCategoryId(), country.toInt());
        QCOMPARE(pages.entries(pages.itemList("bm1")), QStringList({"护理"}));
        QCOMPARE(pages.entries(pages.itemList("bm2")), QStringList({"护理"}));
        QCOMPARE(pages.form().optionControls(pages.positionOf("bm3")).size(), 1);
        QCOMPARE(editBoxText(pages.itemControl("xm")), QString());
        QCOMPARE(app.state->formItems[0].currentValue, country);
        QCOMPARE(app.state->formItems[0].currentServerId, QStringLiteral("30"));

        // Choosing a programme remembers it.
        pages.itemList("bm1")->setCurrentIndex(0);
        QCOMPARE(app.state->formItems[pages.positionOf("bm1") - 1].currentServerId, QStringLiteral("72"));

        // What was entered, read back from the controls for the statement builders.
        qobject_cast<QLineEdit*>(pages.itemControl("xm"))->setText(QStringLiteral("李四"));
        pages.form().optionControls(pages.positionOf("xb"))[1]->setChecked(true);
        const QVector<EnteredItem> entered = pages.form().enteredItems();
        QCOMPARE(entered.size(), pages.form().builtItems().size());
        QCOMPARE(entered[pages.positionOf("xm") - 1].text, QStringLiteral("李四"));
        const EnteredItem& sex = entered[pages.positionOf("xb") - 1];
        QCOMPARE(sex.optionCaptions, QStringList({"男", "女"}));
        QCOMPARE(sex.ticked, QVector<bool>({false, true}));
        const EnteredItem& first = entered[pages.positionOf("bm1") - 1];
        QCOMPARE(first.listIndex, 0);
        QCOMPARE(app.state->programmeList.value(first.listData - 1).name, QStringLiteral("护理"));
        QCOMPARE(entered[0].listData, 3);  // 郊区, third in categoryList

        pages.itemList("dd")->setCurrentIndex(0);
        QCOMPARE(pages.form().currentCategoryId(), 0);
        QCOMPARE(app.state->formItems[0].currentValue, QStringLiteral("0"));
        QCOMPARE(pages.entries(pages.itemList("bm1")).size(), 2);
    }

    void moreThanTwentyOneItemsShowTheFirstTwentyOne()
    {
        FormPages pages;
        QVERIFY(pages.app.execute("UPDATE style SET status=1"));
        pages.app.state->formItems.clear();
        pages.openAddPage();
        QCOMPARE(pages.form().builtItems().size(), 21);
        QCOMPARE(pages.form().builtItems().last().zd, QStringLiteral("kz9"));
        QVERIFY(pages.form().itemControl(21));
        QVERIFY(!pages.form().itemControl(22));
        QCOMPARE(pages.positionOf("jj"), 0);
    }

    void tabGoesToTheNextTextBoxOrList()
    {
        FormPages pages;
        pages.openAddPage();
        pages.app.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pages.app.window.get()));
        auto press = [&](const char* zd) {
            QWidget* from = pages.itemControl(zd);
            from->setFocus();
            QTest::keyClick(from, Qt::Key_Tab);
            return pages.form().builtItems().value(tagOf(QApplication::focusWidget()).toInt() - 1).zd;
        };
        qobject_cast<QLineEdit*>(pages.itemControl("xm"))->setText(QStringLiteral("  张三　"));
        QCOMPARE(press("xm"), QStringLiteral("nl"));  // over the gender radio buttons
        QCOMPARE(pages.app.state->formItems[pages.positionOf("xm") - 1].currentValue, QStringLiteral("张三"));
        QCOMPARE(press("kz2"), QStringLiteral("kz4"));  // over the check boxes
        QCOMPARE(press("jj"), QStringLiteral("bm1"));   // from the last item to the first
        QCOMPARE(press("bm2"), QStringLiteral("xm"));   // Tab leaves a list as Qt does: to the next control

        // From a check box of 兴趣特长 to the item after it.
        QAbstractButton* sport = pages.form().optionControls(pages.positionOf("kz3"))[0];
        sport->setFocus();
        QTest::keyClick(sport, Qt::Key_Tab);
        QCOMPARE(tagOf(QApplication::focusWidget()), itemTag(pages.positionOf("kz4")));
    }
};

BRENVO_TEST(FormDesignerTest)
BRENVO_TEST(AddFormTest)
#include "test_form.moc"
