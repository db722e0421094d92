#include "printingfixture.h"

#include "printing/fieldpreview.h"
#include "printing/htmlfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

FormItem formItem(const QString& caption, const QString& column)
{
    FormItem item;
    item.nam = caption;
    item.zd = column;
    return item;
}

template <typename T>
QVector<T*> shown(const FieldPreview& preview)
{
    QVector<T*> controls;
    for (QWidget* control : preview.shownControls())
        if (auto* typed = qobject_cast<T*>(control))
            controls << typed;
    return controls;
}

} // namespace

class FieldPreviewTest : public QObject {
    Q_OBJECT
private slots:
    void optionsComeFromPresetsProgrammesOrSex()
    {
        QVector<Programme> programmes(2);
        programmes[0].name = QStringLiteral("计算机");
        programmes[1].name = QStringLiteral("停招专业");
        programmes[1].status = 0;
        const QStringList all{QStringLiteral("计算机"), QStringLiteral("停招专业")};
        QCOMPARE(previewOptions({"甲", "kz1", "单选框", "a||b||c"}, programmes), (QStringList{"a", "b", "c"}));
        QCOMPARE(previewOptions({"甲", "bm2", "选择列表框", "a"}, programmes), all);
        QCOMPARE(previewOptions({"甲", "BM3", "多选框", ""}, programmes), all);
        QCOMPARE(previewOptions({"甲", "xb", "单选框", "x||y"}, programmes), (QStringList{"男", "女"}));
    }

    void optionsWrapOntoLinesTwentyPixelsApart()
    {
        // Caption 甲乙 (4 bytes) is 28 wide; options start at 54, each 8 pixels a byte plus 14.
        const QVector<QRect> places = previewOptionGeometries(28, {"aaaa", "bbbbbb", "cc", "dddddddd"}, 200);
        QCOMPARE(places.size(), 4);
        QCOMPARE(places[0], QRect(54, 18, 46, 20));
        QCOMPARE(places[1], QRect(110, 18, 62, 20));
        QCOMPARE(places[2], QRect(54, 38, 30, 20));
        QCOMPARE(places[3], QRect(94, 38, 78, 20));
        // A first option wider than the group stays on the first line.
        QCOMPARE(previewOptionGeometries(28, {"a very long option text"}, 100).first().top(), 18);
    }

    void previewShowsOneControlOfTheChosenType()
    {
        PrintingFixture f;
        QGroupBox group;
        group.setObjectName(QStringLiteral("分组框14_预览"));
        group.resize(300, 120);
        FieldPreview preview(&group);
        QVERIFY(!group.findChild<QLineEdit*>(QStringLiteral("编辑框_表单_预览_模板"))->isVisibleTo(&group));

        preview.previewItem(f.state, {QStringLiteral("姓名"), QStringLiteral("xm"), QStringLiteral("单行文本框"), QStringLiteral("张")});
        QCOMPARE(preview.captionLabel()->text(), QStringLiteral("姓名:"));
        QCOMPARE(preview.captionLabel()->width(), 28);
        QCOMPARE(shown<QLineEdit>(preview).size(), 1);
        QCOMPARE(shown<QLineEdit>(preview)[0]->text(), QStringLiteral("张"));
        QCOMPARE(shown<QLineEdit>(preview)[0]->pos(), QPoint(54, 18));
        QCOMPARE(shown<QLineEdit>(preview)[0]->objectName(), QStringLiteral("编辑框_表单_预览_模板"));

        preview.previewItem(f.state, {QStringLiteral("简介"), QStringLiteral("jj"), QStringLiteral("多行文本框"), QString()});
        QCOMPARE(preview.shownControls().size(), 1);
        QCOMPARE(shown<QPlainTextEdit>(preview).size(), 1);
        QCOMPARE(shown<QPlainTextEdit>(preview)[0]->height(), 50);
        QCOMPARE(shown<QPlainTextEdit>(preview)[0]->property("tag").toString(), QStringLiteral("yl"));

        preview.previewItem(f.state, {QStringLiteral("性别"), QStringLiteral("xb"), QStringLiteral("单选框"), QString()});
        QCOMPARE(shown<QRadioButton>(preview).size(), 2);
        QCOMPARE(shown<QRadioButton>(preview)[1]->text(), QStringLiteral("女"));
        QVERIFY(shown<QLineEdit>(preview).isEmpty() && shown<QPlainTextEdit>(preview).isEmpty());

        preview.previewItem(f.state, {QStringLiteral("爱好"), QStringLiteral("kz1"), QStringLiteral("多选框"),
                                      QStringLiteral("音乐||绘画||书法||围棋||篮球||足球||游泳")});
        const QVector<QCheckBox*> checks = shown<QCheckBox>(preview);
        QCOMPARE(checks.size(), 7);
        QVERIFY(shown<QRadioButton>(preview).isEmpty());
        QCOMPARE(checks.last()->y(), 38);
        for (QCheckBox* check : checks)
            QVERIFY(check->geometry().right() < group.contentsRect().width());

        preview.previewItem(f.state, {QStringLiteral("层次"), QStringLiteral("kz2"), QStringLiteral("选择列表框"),
                                      QStringLiteral("本科||专科")});
        QCOMPARE(shown<QComboBox>(preview).size(), 1);
        QCOMPARE(shown<QComboBox>(preview)[0]->count(), 2);

        preview.setCaption(QStringLiteral("新名称"));
        QCOMPARE(preview.captionLabel()->text(), QStringLiteral("新名称"));
    }

    void fieldTemplatePageListsEveryItem()
    {
        PrintingFixture f;
        f.state.formItems = {formItem(QStringLiteral("甲"), QStringLiteral("xm")), formItem(QStringLiteral("乙<"), QStringLiteral("xb"))};
        QCOMPARE(fieldTemplateEntries(f.state.formItems),
                 QStringLiteral("<dl><dt><label>甲:</label></dt><dd><input name=\"xm\"  class=\"small\" type=\"text\" "
                                "value=\"[!--xm--]\" /></dd></dl><dl><dt><label>乙<:</label></dt><dd><input name=\"xm\"  "
                                "class=\"small\" type=\"text\" value=\"[!--xb--]\" /></dd></dl>"));

        QVERIFY(QDir(f.dir.path()).mkpath(QStringLiteral("mb")));
        writeHtmlFile(f.dir.file(QStringLiteral("mb/zd_mb.htm")), QStringLiteral("<h3>变量</h3>allname<hr>allname|AllName"));
        writeFieldTemplate(f.state);
        const QString expected = QStringLiteral("<h3>变量</h3>") + fieldTemplateEntries(f.state.formItems)
                                 + QStringLiteral("<hr>") + fieldTemplateEntries(f.state.formItems)
                                 + QStringLiteral("|AllName");
        QCOMPARE(readHtmlFile(f.dir.file(QStringLiteral("zd_mb.htm"))), expected);

        PrintPreviewWindow* window = printPreviewWindow();
        QVERIFY(window);
        QVERIFY(waitForDocument(*window));
        QCOMPARE(window->shownFile(), f.dir.file(QStringLiteral("zd_mb.htm")));
        QCOMPARE(window->browser()->pos(), QPoint(0, 0));
        const QSize browserSize = window->browser()->size();
        window->resize(window->width() + 40, window->height() + 30);
        QCOMPARE(window->browser()->geometry(), QRect(QPoint(0, 0), browserSize + QSize(40, 30)));
        for (const char* name : {"按钮_直接打印", "按钮_打印", "按钮_打印_预览", "按钮_页面设置"})
            QVERIFY(!window->findChild<QPushButton*>(QString::fromUtf8(name))->isVisible());

        // Pressed again, the page is written anew and shown in the same window.
        f.state.formItems.removeLast();
        writeFieldTemplate(f.state);
        QCOMPARE(printPreviewWindow(), window);
        QVERIFY(!readHtmlFile(f.dir.file(QStringLiteral("zd_mb.htm"))).contains(QStringLiteral("乙")));
    }

    void fieldTemplateLoadsTheFormItemsWhenNoneAreLoaded()
    {
        PrintingFixture f;
        QVERIFY(f.state.formItems.isEmpty());
        writeFieldTemplate(f.state);  // no mb/zd_mb.htm: an empty page
        QCOMPARE(readHtmlFile(f.dir.file(QStringLiteral("zd_mb.htm"))), QString());
        QVERIFY(!f.state.formItems.isEmpty());
    }
};

BRENVO_TEST(FieldPreviewTest)
#include "test_fieldpreview.moc"
