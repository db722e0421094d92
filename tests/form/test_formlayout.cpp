// The form's layout arithmetic, options, list entries and Tab order, and the
// designer's rules and statement, as plain values.
#include "support/testsupport.h"

#include "form/designer.h"
#include "form/formlayout.h"

#include <QtTest>

namespace {

LayoutItem item(int type, QStringList options = {})
{
    return {type, options};
}

LayoutParams params(bool compact, int width, int photoReserve = 132)
{
    LayoutParams p;
    p.compact = compact;
    p.clientWidth = width;
    p.frameWidth = width;
    p.photoReserve = photoReserve;
    return p;
}

FormItem formItem(const char* zd, int lx, const char* val = "", int bt = 0)
{
    FormItem f;
    f.zd = QString::fromUtf8(zd);
    f.nam = QStringLiteral("项");
    f.lx = lx;
    f.val = QString::fromUtf8(val);
    f.bt = bt;
    return f;
}

Programme programme(int id, int serverId, int ddid, const char* name, int status)
{
    Programme p;
    p.id = id;
    p.serverId = serverId;
    p.ddid = ddid;
    p.name = QString::fromUtf8(name);
    p.status = status;
    return p;
}

} // namespace

class FormLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void compactRowsHoldTwoTextItems()
    {
        const QVector<ItemPlacement> at =
            layoutForm({item(0), item(0), item(0), item(1)}, params(true, 630));
        QCOMPARE(at[0].label, QRect(10, 18, 87, 22));
        QCOMPARE(at[0].input, QRect(113, 18, 128, 20));
        QCOMPARE(at[1].label, QRect(210, 18, 87, 22));
        QCOMPARE(at[1].input, QRect(313, 18, 128, 20));
        QCOMPARE(at[2].label.topLeft(), QPoint(10, 46));
        QCOMPARE(at[3].label.topLeft(), QPoint(10, 74));
        QCOMPARE(at[3].input, QRect(113, 74, 256, 50));

        // Without compact layout every item has its row; a narrow form has no room to share.
        const QVector<ItemPlacement> plain = layoutForm({item(0), item(0), item(0), item(1)}, params(false, 630));
        QCOMPARE(plain[1].label.topLeft(), QPoint(10, 46));
        QCOMPARE(plain[3].label.topLeft(), QPoint(10, 102));
        const QVector<ItemPlacement> narrow = layoutForm({item(0), item(0)}, params(true, 610));
        QCOMPARE(narrow[1].label.topLeft(), QPoint(10, 46));
    }

    void theCompactWidthTestHasItsTolerance()
    {
        // 10 + 600 < W needs W above 610 by more than the tolerance.
        QCOMPARE(layoutForm({item(0), item(0)}, params(true, 611))[1].label.left(), 210);
        QCOMPARE(layoutForm({item(0), item(0)}, params(true, 610))[1].label.left(), 10);
    }

    void radioOptionsWrapInsideTheirContainer()
    {
        // W = 630: options may reach 630 - 87 - 154 = 389. Eight options of two
        // characters are 46 wide: 3, 59, 115, ..., 339 ends at 385; the eighth wraps.
        QStringList options;
        for (int k = 1; k <= 8; ++k)
            options << QStringLiteral("选项");
        const QVector<ItemPlacement> at = layoutForm({item(2, options), item(0)}, params(false, 630));
        const ItemPlacement& radio = at[0];
        QCOMPARE(radio.options[0], QRect(3, 8, 46, 15));
        QCOMPARE(radio.options[6], QRect(339, 8, 46, 15));
        QCOMPARE(radio.options[7], QRect(3, 36, 46, 15));
        QCOMPARE(radio.input, QRect(113, 10, 630 - 113 - 8 - 132, 56));
        // The next item starts two rows lower.
        QCOMPARE(at[1].label.top(), 74);

        // Without the photo group the container reaches 132 pixels further.
        QCOMPARE(layoutForm({item(2, options)}, params(false, 630, 0))[0].input.width(), 630 - 113 - 8);
        // One line of several options is 28 high; a single option keeps the template's 24.
        QCOMPARE(layoutForm({item(2, {QStringLiteral("男"), QStringLiteral("女")})}, params(false, 630))[0].input.height(), 28);
        QCOMPARE(layoutForm({item(2, {QStringLiteral("男")})}, params(false, 630))[0].input.height(), 24);
    }

    void checkBoxesWrapOntoNewRows()
    {
        // Options may reach W - 128 = 372: 113, 185 and 257 fit, the fourth
        // (329 + 62) wraps under the first, the fifth follows it.
        QStringList options;
        for (int k = 1; k <= 5; ++k)
            options << QStringLiteral("计算机");  // 6 bytes: 62 wide
        const QVector<ItemPlacement> at = layoutForm({item(3, options), item(0)}, params(false, 500));
        QCOMPARE(at[0].options[0], QRect(113, 18, 62, 15));
        QCOMPARE(at[0].options[2], QRect(257, 18, 62, 15));
        QCOMPARE(at[0].options[3], QRect(113, 46, 62, 15));
        QCOMPARE(at[0].options[4], QRect(185, 46, 62, 15));
        QCOMPARE(at[1].label.top(), 74);

        // At the limit itself: the fourth option ending exactly at W - 128 stays, one pixel more wraps.
        QCOMPARE(layoutForm({item(3, options)}, params(false, 519))[0].options[3].topLeft(), QPoint(329, 18));
        QCOMPARE(layoutForm({item(3, options)}, params(false, 518))[0].options[3].topLeft(), QPoint(113, 46));

        // An option wider than the row stays where it starts rather than leaving the row empty.
        const QVector<ItemPlacement> wide = layoutForm({item(3, {QString(40, QLatin1Char('x'))})}, params(false, 300));
        QCOMPARE(wide[0].options[0].topLeft(), QPoint(113, 18));
    }

    void optionsComeFromValProgrammesOrGender()
    {
        const QVector<Programme> programmes = {programme(3, 30, 1, "会计", 1), programme(5, 0, 2, "护理", 1),
                                               programme(7, 70, 1, "停招", 0)};
        ItemOptions plain = itemOptions(formItem("kz3", 3, "体育||音乐"), programmes, 0);
        QCOMPARE(plain.names, QStringList({QStringLiteral("体育"), QStringLiteral("音乐")}));
        QVERIFY(plain.captions.isEmpty());
        QVERIFY(itemOptions(formItem("kz3", 3, ""), programmes, 0).names.isEmpty());

        QCOMPARE(itemOptions(formItem("xb", 2, "甲||乙||丙"), programmes, 0).names,
                 QStringList({QStringLiteral("男"), QStringLiteral("女")}));

        const ItemOptions all = itemOptions(formItem("bm3", 3, "x||y"), programmes, 0);
        QCOMPARE(all.names, QStringList({QStringLiteral("会计"), QStringLiteral("护理")}));
        QCOMPARE(all.caption(0), QStringLiteral("会计           _3           _30"));
        QCOMPARE(splitOptionCaption(all.caption(1)), QStringList({QStringLiteral("护理"), QStringLiteral("5"), QStringLiteral("0")}));
        QCOMPARE(itemOptions(formItem("bm1", 2), programmes, 2).names, QStringList({QStringLiteral("护理")}));
    }

    void listEntriesCarryListPositions()
    {
        const QVector<Category> categories = {{4, 40, QStringLiteral("停用"), 0},
                                              {6, 60, QStringLiteral("城区"), 1},
                                              {8, 80, QStringLiteral("郊区"), 2}};
        const QVector<Programme> programmes = {programme(3, 30, 6, "会计", 1), programme(5, 0, 8, "护理", 1),
                                               programme(7, 70, 6, "停招", 0)};
        auto texts = [](const ListEntries& list) {
            QStringList out;
            for (const ListEntry& e : list.entries)
                out << QStringLiteral("%1=%2").arg(e.text).arg(e.data);
            return out;
        };

        // The chosen category is selected even though a disabled one comes first.
        ListEntries dd = listEntries(formItem("dd", 4), categories, programmes, 8, {});
        QCOMPARE(texts(dd), QStringList({QStringLiteral("全部=0"), QStringLiteral("城区=2"), QStringLiteral("郊区=3")}));
        QCOMPARE(dd.selected, 2);
        QCOMPARE(listEntries(formItem("dd", 4), categories, programmes, 0, {}).selected, 0);
        QCOMPARE(listEntries(formItem("dd", 4), categories, programmes, 4, {}).selected, 0);

        QCOMPARE(texts(listEntries(formItem("bm2", 4), categories, programmes, 6, {})), QStringList({QStringLiteral("会计=1")}));
        QCOMPARE(texts(listEntries(formItem("bm2", 4), categories, programmes, 0, {})),
                 QStringList({QStringLiteral("会计=1"), QStringLiteral("护理=2")}));
        const ListEntries plain = listEntries(formItem("kz1", 4), categories, programmes, 0, {QStringLiteral("初中"), QStringLiteral("高中")});
        QCOMPARE(texts(plain), QStringList({QStringLiteral("初中=0"), QStringLiteral("高中=0")}));
        QCOMPARE(plain.selected, -1);
    }

    // A stored choice no longer offered becomes one more marked choice that
    // keeps the value; one still on offer, or nothing stored, adds none.
    void storedChoicesNoLongerOfferedAreKept()
    {
        const QVector<Category> categories = {{4, 40, QStringLiteral("旧区"), 0}, {6, 60, QStringLiteral("城区"), 1}};
        const QVector<Programme> programmes = {programme(3, 30, 6, "会计", 1), programme(5, 0, 8, "护理", 1),
                                               programme(7, 70, 6, "停招", 0)};
        const struct {
            FormItem item;
            int categoryId;  // the build's category filter
            StoredValues stored;
            QStringList added;  // the names (options) or texts (list entries) added
            QStringList kept;   // what the added options or entry keep
        } cases[] = {
            {formItem("kz1", 4, "初中||高中"), 0, {{"kz1", "中专"}}, {"中专（已停用）"}, {"中专"}},
            {formItem("kz1", 4, "初中||高中"), 0, {{"kz1", "高中"}}, {}, {}},
            {formItem("kz1", 4, "初中||高中"), 0, {{"kz1", ""}}, {}, {}},
            {formItem("kz2", 2, "本科||专科"), 0, {{"kz2", "大专"}}, {"大专（已停用）"}, {"大专"}},
            {formItem("kz3", 3, "体育||音乐"), 0, {{"kz3", "^音乐^^书法^^棋^"}}, {"书法（已停用）", "棋（已停用）"},
             {"书法", "棋"}},
            {formItem("kz3", 3, "体育||音乐"), 0, {{"kz3", "^体育^"}}, {}, {}},
            {formItem("xb", 2, "男||女"), 0, {{"xb", "3"}}, {}, {}},
            {formItem("dd", 4), 0, {{"dd", "4"}, {"ddserver", "41"}}, {"旧区（已停用）"}, {"4", "41"}},
            {formItem("dd", 4), 0, {{"dd", "9"}, {"ddserver", "0"}}, {"编号9（已停用）"}, {"9", "0"}},
            {formItem("dd", 4), 0, {{"dd", "6"}}, {}, {}},
            {formItem("dd", 4), 0, {{"dd", "0"}}, {}, {}},
            {formItem("bm1", 4), 0, {{"bm1", "7"}, {"bm1server", "71"}}, {"停招（已停用）"}, {"7", "71"}},
            {formItem("bm2", 4), 0, {{"bm2", "12"}, {"bm2server", "2"}}, {"编号12（已停用）"}, {"12", "2"}},
            // Left out by the chosen category only: still on offer.
            {formItem("bm1", 4), 6, {{"bm1", "5"}}, {}, {}},
            {formItem("bm1", 2), 6, {{"bm1", "5"}}, {}, {}},
            {formItem("bm1", 2), 0, {{"bm1", "7"}, {"bm1server", "71"}}, {"停招（已停用）"}, {"7", "71"}},
            {formItem("bm3", 3), 0, {{"bm3", "^3^^7^^12^"}, {"bm3server", "^30^^71^^2^"}},
             {"停招（已停用）", "编号12（已停用）"}, {"7", "71", "12", "2"}},
        };
        for (const auto& c : cases) {
            QStringList added;
            QStringList kept;
            if (c.item.lx == 4) {
                ListEntries list = listEntries(c.item, categories, programmes, c.categoryId, itemOptions(c.item, programmes, 0).names);
                const int offered = int(list.entries.size());
                keepStoredEntry(list, c.item, c.stored, categories, programmes);
                for (int e = offered; e < list.entries.size(); ++e) {
                    added << list.entries[e].text;
                    kept << list.entries[e].kept;
                    QCOMPARE(list.entries[e].data, 0);
                }
            } else {
                ItemOptions options = itemOptions(c.item, programmes, c.categoryId);
                const int offered = int(options.names.size());
                keepStoredOptions(options, c.item, c.stored, programmes);
                QCOMPARE(options.captions.size(), c.item.zd.startsWith(QLatin1String("bm")) ? options.names.size() : 0);
                for (int k = offered; k < options.names.size(); ++k) {
                    added << options.names[k];
                    // A programme option keeps its ids in its caption, like any other.
                    kept << (options.captions.isEmpty() ? QStringList{options.kept.value(k)}
                                                        : splitOptionCaption(options.captions[k]).mid(1));
                    if (!options.captions.isEmpty())
                        QCOMPARE(splitOptionCaption(options.captions[k]).first(), options.names[k]);
                }
                for (int k = 0; k < offered; ++k)
                    QVERIFY2(options.kept.value(k).isEmpty(), qPrintable(c.item.zd));
            }
            QVERIFY2(added == c.added, qPrintable(c.item.zd + QLatin1Char(' ') + added.join(QLatin1Char('|'))));
            QVERIFY2(kept == c.kept, qPrintable(c.item.zd + QLatin1Char(' ') + kept.join(QLatin1Char('|'))));
        }
    }

    void tabSkipsRadioAndCheckItemsAndWraps_data()
    {
        QTest::addColumn<QVector<int>>("types");
        QTest::addColumn<int>("focused");
        QTest::addColumn<int>("next");
        QTest::newRow("next text") << QVector<int>{0, 1, 4} << 1 << 2;
        QTest::newRow("over radio and check") << QVector<int>{0, 2, 3, 4} << 1 << 4;
        QTest::newRow("from the last wraps") << QVector<int>{0, 2, 4} << 3 << 1;
        QTest::newRow("wrap skips a leading radio") << QVector<int>{2, 0, 4} << 3 << 2;
        QTest::newRow("nothing focused yet") << QVector<int>{2, 0} << 0 << 2;
        QTest::newRow("only choices") << QVector<int>{2, 3} << 1 << 0;
        QTest::newRow("empty form") << QVector<int>{} << 0 << 0;
    }

    void tabSkipsRadioAndCheckItemsAndWraps()
    {
        QFETCH(QVector<int>, types);
        QFETCH(int, focused);
        QFETCH(int, next);
        QCOMPARE(nextFocusItem(types, focused), next);
    }
};

class DesignerRulesTest : public QObject {
    Q_OBJECT
private slots:
    void typesOfferedByColumn_data()
    {
        QTest::addColumn<QString>("zd");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("dd") << "dd" << QStringList{QStringLiteral("选择列表框")};
        QTest::newRow("xb") << "xb" << QStringList{QStringLiteral("单选框")};
        QTest::newRow("bm2") << "bm2" << QStringList{QStringLiteral("单选框"), QStringLiteral("选择列表框")};
        QTest::newRow("bm3") << "bm3"
                             << QStringList{QStringLiteral("单选框"), QStringLiteral("多选框"), QStringLiteral("选择列表框")};
        QTest::newRow("nl") << "nl" << QStringList{QStringLiteral("单行文本框")};
        QTest::newRow("kz1") << "kz1"
                             << QStringList{QStringLiteral("单行文本框"), QStringLiteral("多行文本框"), QStringLiteral("单选框"),
                                            QStringLiteral("多选框"), QStringLiteral("选择列表框")};
    }

    void typesOfferedByColumn()
    {
        QFETCH(QString, zd);
        QFETCH(QStringList, names);
        QStringList offered;
        for (int code : allowedTypes(zd))
            offered << typeName(code);
        QCOMPARE(offered, names);
        QCOMPARE(typeCodeOfName(QStringLiteral("多选框"), 0), 3);
        QCOMPARE(typeCodeOfName(QStringLiteral("别的"), 2), 2);
    }

    void saveChecksOfTheSpecialColumns_data()
    {
        QTest::addColumn<QString>("zd");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("refusal");
        const QString gender = QStringLiteral("类型选择错误：性别必须设置成单选框");
        const QString choice = QStringLiteral("类型选择错误：只能设置成单选框，多选框，选择列表框");
        const QString list = QStringLiteral("类型选择错误：本项必须为选择列表框");
        QTest::newRow("xb text") << "xb" << 0 << gender;
        QTest::newRow("xb list") << "xb" << 4 << gender;
        QTest::newRow("xb radio") << "xb" << 2 << QString();
        QTest::newRow("bm1 multi-line") << "bm1" << 1 << choice;
        QTest::newRow("bm3 check") << "bm3" << 3 << QString();
        QTest::newRow("dd radio") << "dd" << 2 << list;
        QTest::newRow("dd list") << "dd" << 4 << QString();
        QTest::newRow("free") << "kz4" << 1 << QString();
    }

    void saveChecksOfTheSpecialColumns()
    {
        QFETCH(QString, zd);
        QFETCH(int, type);
        QFETCH(QString, refusal);
        QCOMPARE(typeRefusal(zd, type), refusal);
    }

    void programmeAndCategoryItemsStayOnTop()
    {
        QVERIFY(orderShouldBeNegative(QStringLiteral("bm1"), 5));
        QVERIFY(orderShouldBeNegative(QStringLiteral("dd"), 0.0000002));
        QVERIFY(!orderShouldBeNegative(QStringLiteral("dd"), 0.00000005));
        QVERIFY(!orderShouldBeNegative(QStringLiteral("bm3"), 0));
        QVERIFY(!orderShouldBeNegative(QStringLiteral("bm2"), -5));
        QVERIFY(!orderShouldBeNegative(QStringLiteral("xm"), 5));
    }

    void updateStatementLetterByLetter()
    {
        StyleRowChanges row;
        row.id = 14;
        row.nam = QStringLiteral("学历");
        row.lx = 4;
        row.val = QStringLiteral("初中||高中");
        row.required = true;
        row.yz = QStringLiteral("*");
        row.order = QStringLiteral("-9.5");
        row.ts = QStringLiteral("请选择");
        row.enabled = true;
        QCOMPARE(updateStyleStatement(row).value_or(QString()),
                 QStringLiteral("UPDATE style SET nam='学历',lx=4,val='初中||高中',bt=1,yz='*',sx=-9.5,ts='请选择',status=1 where id=14"));
        // The order stands unquoted: anything but a finite number is refused by the builder itself.
        for (const char* bad : {"", "abc", "1,status=0", "5 where id=1", "inf", "nan", "1e999"}) {
            row.order = QString::fromUtf8(bad);
            QVERIFY2(!updateStyleStatement(row), bad);
        }
        row.nam = QStringLiteral("O'Neil");
        row.required = false;
        row.enabled = false;
        row.order = QStringLiteral(" 3 ");
        QCOMPARE(updateStyleStatement(row).value_or(QString()),
                 QStringLiteral("UPDATE style SET nam='O''Neil',lx=4,val='初中||高中',bt=0,yz='*',sx=3,ts='请选择',status=0 where id=14"));
        QCOMPARE(enableStyleStatement(21), QStringLiteral("UPDATE style SET status=1 where id=21"));
    }
};

BRENVO_TEST(FormLayoutTest)
BRENVO_TEST(DesignerRulesTest)
#include "test_formlayout.moc"
