#include "records/browsequery.h"
#include "records/recorddisplay.h"
#include "records/statuschange.h"
#include "support/testsupport.h"

#include <QtTest>

#include <limits>

namespace {

FormItem item(const char* zd, const char* nam)
{
    FormItem formItem;
    formItem.zd = QString::fromUtf8(zd);
    formItem.nam = QString::fromUtf8(nam);
    return formItem;
}

// Items xm 1, xb 2, nl 3, dd 4, bm1 5, bm2 6, bm3 7, kz3 8; categories with
// the ids 4 and 2; programmes with the ids 3, 7 and 9.
struct Lists {
    AppState state;
    QVector<FormItem> items{item("xm", "姓名"),     item("xb", "性别"),     item("nl", "年龄"),
                            item("dd", "报名分类"), item("bm1", "第一志愿"), item("bm2", "第二志愿"),
                            item("bm3", "其他志愿"), item("kz3", "兴趣特长")};
    Lists()
    {
        state.categoryList = {{4, 40, QStringLiteral("城区"), 1}, {2, 20, QStringLiteral("郊区"), 1}};
        for (const auto& [id, name] : {std::pair{3, "会计"}, {7, "电工"}, {9, "厨师"}}) {
            Programme programme;
            programme.id = id;
            programme.name = QString::fromUtf8(name);
            state.programmeList << programme;
        }
    }
};

// A row on the field at `position` of the field selector, whose code is `code`.
ConditionRow row(int position, int code, const char* condition, std::optional<int> conditionCode = std::nullopt,
                 const char* content = "")
{
    return {position, code, QString::fromUtf8(condition), conditionCode, QString::fromUtf8(content)};
}

ConditionRow none()
{
    return row(0, ItemCode::None, "包含");
}

// Field selector positions: 0 无, 1..8 the items, 9 时间, 10 审核, 11 付款, 12 照片.
ConditionRow onItem(int code, const char* condition, std::optional<int> conditionCode = std::nullopt,
                    const char* content = "")
{
    return row(code, code, condition, conditionCode, content);
}

ConditionRow onFixed(int code, const char* condition, std::optional<int> conditionCode = std::nullopt,
                     const char* content = "")
{
    return row(code - ItemCode::Time + 9, code, condition, conditionCode, content);
}

} // namespace

class BrowseQueryTest : public QObject {
    Q_OBJECT
private slots:
    void whereClausesReadLetterForLetter()
    {
        const Lists lists;
        const struct {
            const char* what;
            QVector<ConditionRow> rows;
            bool recycleBin;
            const char* where;
        } cases[] = {
            {"no condition", {none(), none(), none()}, false, " where  status=1 "},
            {"recycle bin", {none(), none(), none()}, true, " where  status=0 "},
            {"review and payment",
             {onFixed(ItemCode::Review, "审核未通过", -1), onFixed(ItemCode::Payment, "已付款", 1), none()},
             false,
             " where sh=-1 and fk=1 and  status=1 "},
            {"awaiting payment", {onFixed(ItemCode::Payment, "待付款", 0)}, false, " where fk=0 and  status=1 "},
            {"no photo", {onFixed(ItemCode::Photo, "无照", 0)}, false, " where imgid=0 and  status=1 "},
            {"with photo", {onFixed(ItemCode::Photo, "有照", 1)}, false, " where imgid<>0 and  status=1 "},
            {"from the web page", {onFixed(ItemCode::Source, "网上报名", 1)}, false, " where ly=1 and  status=1 "},
            {"date from",
             {onFixed(ItemCode::Time, ">=", std::nullopt, "2013年5月1日")},
             false,
             " where dtime>=#2013-05-01 00:00:00# and  status=1 "},
            {"date to with time",
             {onFixed(ItemCode::Time, "<=", std::nullopt, "2013年5月6日14时3分9秒")},
             false,
             " where dtime<=#2013-05-06 14:03:09# and  status=1 "},
            {"date that is none",
             {onFixed(ItemCode::Time, "=", std::nullopt, "昨天")},
             false,
             " where dtime=#0100-01-01 00:00:00# and  status=1 "},
            {"name after an unused row, blanks trimmed",
             {none(), onItem(1, "包含", std::nullopt, " 　abc 　"), none()},
             false,
             " where xm like '%abc%' and  status=1 "},
            {"age", {onItem(3, ">=", std::nullopt, "18")}, false, " where nl>=18 and  status=1 "},
            {"gender", {onItem(2, "女", 2), onItem(2, "男", 1)}, false, " where xb=2 and xb=1 and  status=1 "},
            {"category at position 2", {onItem(4, "郊区", 2)}, false, " where dd=2 and  status=1 "},
            {"first choice", {onItem(5, "厨师", 3)}, false, " where bm1=9 and  status=1 "},
            {"second choice", {onItem(6, "会计", 1)}, false, " where bm2=3 and  status=1 "},
            {"other choices", {onItem(7, "电工", 2)}, false, " where bm3 like '%[^]7[^]%' and  status=1 "},
            {"check-box item", {onItem(8, "包含", std::nullopt, "体育")}, false, " where kz3 like '%体育%' and  status=1 "},
            {"quote stays inside the literal",
             {onItem(1, "包含", std::nullopt, "O'Brien")},
             false,
             " where xm like '%O''Brien%' and  status=1 "},
            {"wildcards stay wildcards",
             {onItem(1, "包含", std::nullopt, "a%b_[c]")},
             false,
             " where xm like '%a%b_[c]%' and  status=1 "},
            {"category list without the entry", {onItem(4, "", std::nullopt)}, false, " where  status=1 "},
            {"three conditions in the recycle bin",
             {onItem(2, "男", 1), onFixed(ItemCode::Review, "通过审核", 1), onItem(1, "包含", std::nullopt, "王")},
             true,
             " where xb=1 and sh=1 and xm like '%王%' and  status=0 "},
        };
        for (const auto& c : cases) {
            const std::optional<QString> where = browseWhere(c.rows, c.recycleBin, lists.items, lists.state);
            QVERIFY2(where, c.what);
            QCOMPARE(*where, QString::fromUtf8(c.where));
        }
    }

    void emptyListsGiveNoCondition()
    {
        Lists lists;
        lists.state.categoryList.clear();
        lists.state.programmeList.clear();
        for (int code : {4, 5, 6, 7}) {
            const QVector<ConditionRow> rows{onItem(code, "", std::nullopt)};
            QCOMPARE(browseWhere(rows, false, lists.items, lists.state).value_or(QString()), QStringLiteral(" where  status=1 "));
        }
    }

    void conditionsThatCannotBeWrittenFailTheSearch()
    {
        Lists lists;
        lists.items << item("xm from bmb", "坏列");
        const struct {
            const char* what;
            ConditionRow row;
        } cases[] = {
            {"age that is no number", onItem(3, ">=", std::nullopt, "abc")},
            {"age with more behind it", onItem(3, "=", std::nullopt, "18 or 1=1")},
            {"empty age", onItem(3, "=", std::nullopt, "")},
            {"age that is infinite", onItem(3, "=", std::nullopt, "inf")},
            {"age past the number range", onItem(3, "=", std::nullopt, "1e999")},
            {"column bmb does not have", onItem(9, "包含", std::nullopt, "x")},
            {"code past the items", row(1, 40, "包含", std::nullopt, "x")},
        };
        for (const auto& c : cases)
            QVERIFY2(!browseWhere({none(), c.row}, false, lists.items, lists.state), c.what);
        QCOMPARE(browseWhere({onItem(3, "<=", std::nullopt, " 2.5 ")}, false, lists.items, lists.state).value_or(QString()),
                 QStringLiteral(" where nl<=2.5 and  status=1 "));
    }

    void queriesReadLetterForLetter()
    {
        QCOMPARE(browseQuery(QStringLiteral("xm,xb,nl"), QStringLiteral(" where xm like '%abc%' and  status=1 ")),
                 QStringLiteral("select  id,xm,xb,nl,dtime,sh,fk from bmb  where xm like '%abc%' and  status=1  order by dtime desc"));
        QVERIFY(browseQuery(QStringLiteral("xm"), QStringLiteral(" where  status=1 "))
                    .endsWith(QStringLiteral("from bmb  where  status=1  order by dtime desc")));
        QCOMPARE(browseQuery(QString(), QStringLiteral(" where  status=0 ")),
                 QStringLiteral("select  id,dtime,sh,fk from bmb  where  status=0  order by dtime desc"));
        const Lists lists;
        QCOMPARE(columnListOf(lists.items), QStringLiteral("xm,xb,nl,dd,bm1,bm2,bm3,kz3"));
        QCOMPARE(columnListOf({item("xm", "姓名"), item("nosuch", "无此列"), item("KZ1", "学历")}), QStringLiteral("xm,KZ1"));
    }

    void fieldSelectorsOfferTheItemsAndTheFixedColumns()
    {
        const Lists lists;
        const QVector<SelectorEntry> entries = fieldSelectorEntries(lists.items);
        QCOMPARE(entries.size(), 1 + 8 + 5);
        QCOMPARE(entries.first().text, QStringLiteral("无"));
        QCOMPARE(entries.first().code, std::optional<int>(-1));
        QCOMPARE(entries.at(3).text, QStringLiteral("年龄"));
        QCOMPARE(entries.at(3).code, std::optional<int>(3));
        const QStringList fixed{QStringLiteral("时间"), QStringLiteral("审核"), QStringLiteral("付款"), QStringLiteral("照片"),
                                QStringLiteral("来源")};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(entries.at(9 + i).text, fixed.at(i));
            QCOMPARE(entries.at(9 + i).code, std::optional<int>(101 + i));
        }

        const struct {
            int code;
            const char* column;
        } codes[] = {{1, "xm"}, {8, "kz3"}, {9, ""}, {101, "dtime"}, {102, "sh"}, {103, "fk"}, {104, "imgid"},
                     {105, "ly"}, {-1, ""}, {0, ""}, {106, ""}, {100, ""}};
        for (const auto& c : codes)
            QCOMPARE(columnForItemCode(lists.items, c.code), QString::fromUtf8(c.column));
    }

    void conditionSelectorsFollowTheColumn()
    {
        using Content = ConditionChoices::Content;
        const Lists lists;
        const struct {
            const char* column;
            QStringList texts;
            QVector<std::optional<int>> codes;
            Content content;
        } cases[] = {
            {"imgid", {"有照", "无照"}, {1, 0}, Content::Hidden},
            {"fk", {"待付款", "已付款", "付款审核失败"}, {0, 1, -1}, Content::Hidden},
            {"sh", {"待审核", "通过审核", "审核未通过"}, {0, 1, -1}, Content::Hidden},
            {"dtime", {">=", "=", "<="}, {std::nullopt, std::nullopt, std::nullopt}, Content::CurrentTime},
            {"nl", {">=", "=", "<="}, {std::nullopt, std::nullopt, std::nullopt}, Content::Kept},
            {"dd", {"城区", "郊区"}, {1, 2}, Content::Hidden},
            {"bm2", {"会计", "电工", "厨师"}, {1, 2, 3}, Content::Hidden},
            {"bm3", {"会计", "电工", "厨师"}, {1, 2, 3}, Content::Hidden},
            {"xb", {"男", "女"}, {1, 2}, Content::Hidden},
            {"kz3", {"包含"}, {std::nullopt}, Content::Kept},
            {"", {"包含"}, {std::nullopt}, Content::Kept},
        };
        for (const auto& c : cases) {
            const ConditionChoices choices = conditionChoicesFor(QString::fromUtf8(c.column), lists.state);
            QStringList texts;
            QVector<std::optional<int>> codes;
            for (const SelectorEntry& entry : choices.entries) {
                texts << entry.text;
                codes << entry.code;
            }
            QVERIFY2(texts == c.texts, c.column);
            QVERIFY2(codes == c.codes, c.column);
            QVERIFY2(choices.content == c.content, c.column);
        }
    }

    void pageInformationAndPageSize()
    {
        QCOMPARE(pageInfoText(2, 5, 230), QStringLiteral("2/5  Tol:230"));
        QCOMPARE(pageInfoText(-1, 0, 0), QStringLiteral("0/0  Tol:0"));
        const struct {
            const char* text;
            int size;
        } sizes[] = {{"50", 50},  {" 20 ", 20}, {"12.9", 12},  {"-3.7", 50},
                     {"abc", 50}, {"", 50},     {"1e20", std::numeric_limits<int>::max()}, {"nan", 50},
                     {"0", 50},   {"-3", 50},   {"0.5", 50}, {"1", 1}};
        for (const auto& s : sizes)
            QCOMPARE(pageSizeFromText(QString::fromUtf8(s.text)), s.size);
    }

    void storedValuesShowAsWords()
    {
        const Lists lists;
        const struct {
            const char* column;
            const char* value;
            const char* shown;
        } cases[] = {
            {"bm1", "7", "电工"},        {"bm2", "9.0", "厨师"},   {"bm1", "5", ""},
            {"bm3", "^3^^7^", "会计,电工"}, {"bm3", "7", "电工"},    {"bm3", "", ""},
            {"bm3", "^9^", "厨师"},      {"bm3", "^", ""},        {"dd", "2", "郊区"},
            {"dd", "", ""},              {"kz3", "^红^^蓝^", "红,蓝"}, {"kz1", "红", "红"},
            {"kz3", "", ""},             {"xb", "1", "男"},        {"xb", "2", "女"},
            {"xb", "3", ""},             {"xm", "^a^", "^a^"},    {"xm", "张三", "张三"},
        };
        for (const auto& c : cases)
            QVERIFY2(displayValue(lists.state, QString::fromUtf8(c.column), QString::fromUtf8(c.value)) == QString::fromUtf8(c.shown),
                     qPrintable(QStringLiteral("%1 = %2").arg(QString::fromUtf8(c.column), QString::fromUtf8(c.value))));

        const struct {
            const char* value;
            const char* review;
            const char* payment;
        } states[] = {{"1", "通过", "已缴费"}, {"-1", "审核未通过", "审核未通过"}, {"0", "待审核", "待缴费"}, {"", "待审核", "待缴费"}};
        for (const auto& s : states) {
            QCOMPARE(reviewWord(QString::fromUtf8(s.value)), QString::fromUtf8(s.review));
            QCOMPARE(paymentWord(QString::fromUtf8(s.value)), QString::fromUtf8(s.payment));
        }
    }

    void statusAndDeletionStatementsReadLetterForLetter()
    {
        const QVector<int> ids{12, 15, 20};
        const struct {
            int position;
            const char* statement;
        } changes[] = {
            {0, ""},
            {1, "update bmb set sh=0 where id in (12,15,20)"},
            {2, "update bmb set sh=1 where id in (12,15,20)"},
            {3, "update bmb set sh=-1 where id in (12,15,20)"},
            {4, "update bmb set fk=0 where id in (12,15,20)"},
            {5, "update bmb set fk=1 where id in (12,15,20)"},
            {6, "update bmb set fk=-1 where id in (12,15,20)"},
            {7, ""},
            {-1, ""},
        };
        const QVector<SelectorEntry>& entries = statusEntries();
        QCOMPARE(entries.size(), 7);
        QCOMPARE(entries.at(0).text, QStringLiteral("不修改状态"));
        QCOMPARE(entries.at(3).text, QStringLiteral("审核:未通过×"));
        QCOMPARE(entries.at(4).text, QStringLiteral("缴费:待审核≡"));
        for (const auto& c : changes) {
            const int code = c.position >= 0 && c.position < entries.size() ? entries.at(c.position).code.value_or(99) : 1;
            QCOMPARE(statusChangeStatement(c.position, code, ids), QString::fromUtf8(c.statement));
        }
        QCOMPARE(recycleStatement(true, {7}), QStringLiteral("update bmb set status=0 where id in (7)"));
        QCOMPARE(recycleStatement(false, {20, 3}), QStringLiteral("update bmb set status=1 where id in (20,3)"));
        QCOMPARE(deleteRegistrationsStatement(ids), QStringLiteral("delete * from bmb where id in (12,15,20)"));
        QCOMPARE(deleteAttachmentsStatement(ids), QStringLiteral("delete * from fj where uid in (12,15,20)"));
    }
};

BRENVO_TEST(BrowseQueryTest)
#include "test_browsequery.moc"
