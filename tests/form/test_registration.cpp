// New registrations: the INSERT built from the entered values, letter by
// letter, and the photo attached after it.
#include "support/openstate.h"

#include "form/registration.h"
#include "platform/messagebox.h"

#include <QtTest>

namespace {

const QDateTime moment(QDate(2013, 5, 6), QTime(14, 3, 9));

FormItem item(const char* zd, int type, const char* caption, int required = 0, const char* options = "")
{
    FormItem entry;
    entry.zd = QString::fromUtf8(zd);
    entry.lx = type;
    entry.nam = QString::fromUtf8(caption);
    entry.bt = required;
    entry.val = QString::fromUtf8(options);
    return entry;
}

EnteredItem typed(const QString& text)
{
    EnteredItem entry;
    entry.text = text;
    return entry;
}

EnteredItem options(const QStringList& captions, const QVector<bool>& ticked)
{
    EnteredItem entry;
    entry.optionCaptions = captions;
    entry.ticked = ticked;
    return entry;
}

EnteredItem listChoice(int index, int data, const QString& text = QString())
{
    EnteredItem entry;
    entry.listIndex = index;
    entry.listData = data;
    entry.text = text;
    return entry;
}

QString programmeCaption(const char* name, int id, int serverId)
{
    return QString::fromUtf8(name) + programmeIdSeparator + QString::number(id) + programmeIdSeparator
           + QString::number(serverId);
}

const QVector<Category> categories = {{3, 0, QStringLiteral("南校"), 1}, {5, 9, QStringLiteral("北校"), 1}};
const QVector<Programme> programmes = {{3, 30, 0, QStringLiteral("会计"), {}}, {7, 70, 0, QStringLiteral("烹饪"), {}}};

InsertOutcome build(const QVector<FormItem>& items, const QVector<EnteredItem>& entries, InitialStates states = {})
{
    return buildInsertSql(items, entries, categories, programmes, states, moment);
}

} // namespace

class RegistrationTest : public QObject {
    Q_OBJECT
private slots:
    void statementsAreWrittenLetterByLetter_data()
    {
        QTest::addColumn<QVector<FormItem>>("items");
        QTest::addColumn<QVector<EnteredItem>>("entries");
        QTest::addColumn<QString>("columnsAndValues");

        QTest::newRow("no items") << QVector<FormItem>{} << QVector<EnteredItem>{} << QString("|");
        QTest::newRow("text, gender, category")
            << QVector<FormItem>{item("xm", 0, "姓名"), item("xb", 2, "性别"), item("dd", 4, "校区")}
            << QVector<EnteredItem>{typed(" 王小明 "), options({"男", "女"}, {true, false}), listChoice(1, 1, "南校")}
            << QString("xm,xb,dd,ddserver|'王小明',1,3,0");
        QTest::newRow("age abc and 18")
            << QVector<FormItem>{item("nl", 0, "年龄"), item("kz1", 1, "备注")}
            << QVector<EnteredItem>{typed("abc"), typed("\n a\nb ")} << QString("nl,kz1|0,'\n a\nb'");
        QTest::newRow("age with blanks") << QVector<FormItem>{item("nl", 0, "年龄")} << QVector<EnteredItem>{typed(" 18 ")}
                                         << QString("nl|18");
        QTest::newRow("gender not required, none ticked")
            << QVector<FormItem>{item("xb", 2, "性别")} << QVector<EnteredItem>{options({"男", "女"}, {false, false})}
            << QString("xb|0");
        QTest::newRow("female") << QVector<FormItem>{item("xb", 2, "性别", 1)}
                                << QVector<EnteredItem>{options({"男", "女"}, {false, true})} << QString("xb|2");
        QTest::newRow("bm3 check boxes 3 and 7")
            << QVector<FormItem>{item("bm3", 3, "专业")}
            << QVector<EnteredItem>{options({programmeCaption("会计", 3, 30), programmeCaption("烹饪", 7, 70)}, {true, true})}
            << QString("bm3,bm3server|'^3^^7^','^30^^70^'");
        QTest::newRow("bm3 check boxes none ticked")
            << QVector<FormItem>{item("bm3", 3, "专业")}
            << QVector<EnteredItem>{options({programmeCaption("会计", 3, 30)}, {false})} << QString("bm3,bm3server|'',''");
        QTest::newRow("bm1 radio without choice left out")
            << QVector<FormItem>{item("bm1", 2, "专业"), item("xm", 0, "姓名")}
            << QVector<EnteredItem>{options({programmeCaption("会计", 3, 30)}, {false}), typed("a")} << QString("xm|'a'");
        QTest::newRow("bm2 radio and bm3 radio")
            << QVector<FormItem>{item("bm2", 2, "专业二"), item("bm3", 2, "专业三")}
            << QVector<EnteredItem>{options({programmeCaption("会计", 3, 30), programmeCaption("烹饪", 7, 70)}, {false, true}),
                                    options({programmeCaption("会计", 3, 30)}, {true})}
            << QString("bm2,bm2server,bm3,bm3server|7,70,'3','30'");
        QTest::newRow("a programme name holding the separator keeps its ids")
            << QVector<FormItem>{item("bm1", 2, "专业")}
            << QVector<EnteredItem>{options({QString("a") + programmeIdSeparator + "x" + programmeIdSeparator + "5"
                                                 + programmeIdSeparator + "50"},
                                            {true})}
            << QString("bm1,bm1server|5,50");
        QTest::newRow("other radio, check and list items")
            << QVector<FormItem>{item("kz1", 2, "学历", 0, "本科||专科"), item("kz2", 3, "爱好", 0, "书||画||琴"),
                                 item("kz3", 4, "来源", 0, "网络||朋友")}
            << QVector<EnteredItem>{options({"本科", "专科"}, {false, true}), options({"书", "画", "琴"}, {true, false, true}),
                                    listChoice(1, 0, "朋友")}
            << QString("kz1,kz2,kz3|'专科','^书^^琴^','朋友'");
        QTest::newRow("other radio none ticked, check none ticked")
            << QVector<FormItem>{item("kz1", 2, "学历", 0, "本科||专科"), item("kz2", 3, "爱好", 0, "书")}
            << QVector<EnteredItem>{options({"本科", "专科"}, {false, false}), options({"书"}, {false})}
            << QString("kz2|''");
        QTest::newRow("category 全部 and programme lists")
            << QVector<FormItem>{item("dd", 4, "校区", 1), item("bm1", 4, "专业"), item("bm3", 4, "专业三"), item("bm2", 4, "二")}
            << QVector<EnteredItem>{listChoice(0, 0, "全部"), listChoice(1, 2, "烹饪"), listChoice(-1, -1), listChoice(0, 1)}
            << QString("dd,ddserver,bm1,bm1server,bm3,bm3server,bm2,bm2server|0,0,7,70,'0','0',3,30");
        QTest::newRow("second category")
            << QVector<FormItem>{item("dd", 4, "校区")} << QVector<EnteredItem>{listChoice(2, 2, "北校")}
            << QString("dd,ddserver|5,9");
        QTest::newRow("items naming no column of bmb are left out")
            << QVector<FormItem>{item("x); drop table bmb; --", 0, "坏", 1), item("xm", 0, "姓名"),
                                 item("nosuchcol", 4, "坏二", 1, "甲||乙"), item("bm1server", 2, "坏三", 1, "1||2")}
            << QVector<EnteredItem>{typed("b"), typed("a"), listChoice(1, 0, "乙"), options({"1", "2"}, {false, true})}
            << QString("xm,bm1server|'a','2'");
        QTest::newRow("a quote is stored as typed")
            << QVector<FormItem>{item("xm", 0, "姓名")} << QVector<EnteredItem>{typed("O'Neil")} << QString("xm|'O''Neil'");
    }

    void statementsAreWrittenLetterByLetter()
    {
        QFETCH(QVector<FormItem>, items);
        QFETCH(QVector<EnteredItem>, entries);
        QFETCH(QString, columnsAndValues);
        const QStringList parts = columnsAndValues.split(QLatin1Char('|'));
        auto withComma = [](const QString& list) { return list.isEmpty() ? QString() : QLatin1Char(',') + list; };
        const InsertOutcome outcome = build(items, entries);
        QVERIFY(outcome.message.isEmpty());
        QCOMPARE(outcome.sql, QStringLiteral("INSERT INTO bmb  (status") + withComma(parts.at(0))
                                  + QStringLiteral(",dtime,sh,fk) values (1") + withComma(parts.at(1))
                                  + QStringLiteral(",'2013年5月6日14时3分9秒',1,1)"));
    }

    void reviewAndPaymentFollowTheSwitchesAndTheChosenEntries()
    {
        const struct {
            InitialStates states;
            const char* tail;
        } cases[] = {
            {{0, 0, 1, -1}, ",1,1)"},  {{1, 0, 1, 0}, ",1,1)"},   {{1, 0, 0, 0}, ",0,1)"},
            {{1, 1, -1, -1}, ",-1,-1)"}, {{0, 1, 0, 1}, ",1,1)"},  {{1, 1, -1, 0}, ",-1,0)"},
        };
        for (const auto& c : cases)
            QVERIFY2(build({}, {}, c.states).sql.endsWith(QString::fromUtf8(c.tail)), c.tail);
    }

    void theFirstFailingRequiredItemIsReportedWithItsFocus_data()
    {
        QTest::addColumn<QVector<FormItem>>("items");
        QTest::addColumn<QVector<EnteredItem>>("entries");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focusTag");

        QTest::newRow("text of blanks") << QVector<FormItem>{item("xm", 0, "姓名", 1), item("xb", 2, "性别", 1)}
                                        << QVector<EnteredItem>{typed(" 　"), options({"男", "女"}, {false, false})}
                                        << QString("姓名没有填写") << QString("1");
        QTest::newRow("gender") << QVector<FormItem>{item("xm", 0, "姓名", 1), item("xb", 2, "性别", 1)}
                                << QVector<EnteredItem>{typed("a"), options({"男", "女"}, {false, false})}
                                << QString("性别没有选择") << QString("202");
        QTest::newRow("programme radio")
            << QVector<FormItem>{item("bm1", 2, "专业", 1)}
            << QVector<EnteredItem>{options({programmeCaption("会计", 3, 30), programmeCaption("烹饪", 7, 70)}, {false, false})}
            << QString("专业没有选择") << QString("102");
        QTest::newRow("other check") << QVector<FormItem>{item("kz2", 3, "爱好", 1, "书||画||琴")}
                                     << QVector<EnteredItem>{options({"书", "画", "琴"}, {false, false, false})}
                                     << QString("爱好没有选择") << QString("103");
        QTest::newRow("list without choice") << QVector<FormItem>{item("xm", 0, "姓名"), item("kz3", 4, "来源", 1)}
                                             << QVector<EnteredItem>{typed(""), listChoice(-1, -1)} << QString("来源没有选择")
                                             << QString("2");
    }

    void theFirstFailingRequiredItemIsReportedWithItsFocus()
    {
        QFETCH(QVector<FormItem>, items);
        QFETCH(QVector<EnteredItem>, entries);
        QFETCH(QString, message);
        QFETCH(QString, focusTag);
        const InsertOutcome outcome = build(items, entries);
        QVERIFY(outcome.sql.isEmpty());
        QCOMPARE(outcome.message, message);
        QCOMPARE(outcome.focusTag, focusTag);
    }

    // The edit window's UPDATE writes the same values as assignments and
    // enforces no required item; an age is always written as a number.
    void editStatementsAssignInFormOrder()
    {
        const QVector<FormItem> items = {item("xm", 0, "姓名", 1), item("xb", 2, "性别", 1), item("bm1", 2, "专业"),
                                         item("nl", 0, "年龄"), item("bm3", 4, "专业三")};
        const QVector<EnteredItem> entries = {typed("abc"), options({"男", "女"}, {false, true}),
                                              options({programmeCaption("会计", 5, 0)}, {true}), typed("1,xm='x'"),
                                              listChoice(-1, -1)};
        QCOMPARE(buildEditUpdateSql(items, entries, categories, programmes, 12),
                 QStringLiteral("UPDATE bmb SET xm='abc',xb=2,bm1=5,bm1server=0,nl=0,bm3='0',bm3server='0' where id=12"));
        QCOMPARE(buildEditUpdateSql({item("xm", 0, "姓名", 1), item("xb", 2, "性别", 1)},
                                    {typed(""), options({"男", "女"}, {false, false})}, categories, programmes, 3),
                 QStringLiteral("UPDATE bmb SET xm='',xb=0 where id=3"));
        QCOMPARE(buildEditUpdateSql({item("sh=1,xm", 0, "坏"), item("xm", 0, "姓名")}, {typed("x"), typed("y")}, categories,
                                    programmes, 4),
                 QStringLiteral("UPDATE bmb SET xm='y' where id=4"));
        QCOMPARE(buildEditUpdateSql({item("nosuchcol", 0, "坏")}, {typed("x")}, categories, programmes, 4), QString());
    }

    // Runs of registrations with the same columns share an INSERT, at most
    // three here; what they store is what each INSERT alone stores.
    void severalRegistrationsStoreAsEachAlone()
    {
        const QVector<FormItem> items = {item("xm", 0, "姓名"), item("bm1", 2, "专业"), item("nl", 0, "年龄")};
        auto registration = [](const char* name, bool withProgramme, int minutes) {
            Registration r;
            r.values.insert(QStringLiteral("xm"), QString::fromUtf8(name));
            if (withProgramme)
                r.values.insert(QStringLiteral("bm1"), QVector<ChosenId>{{7, 70}});
            r.values.insert(QStringLiteral("nl"), double(minutes));
            r.time = moment.addSecs(60 * minutes);
            r.review = minutes % 2;
            return r;
        };
        const QVector<Registration> registrations = {
            registration("甲", true, 1),        registration("O'Neil, (2)", true, 2), registration("),('", true, 3),
            registration("丁", true, 4),        registration("戊", false, 5),         registration("己", true, 6),
        };
        const QVector<RegistrationsInsert> inserts = registrationInserts(items, registrations, 3);
        QVector<int> rows;
        for (const RegistrationsInsert& insert : inserts)
            rows << insert.rows;
        QCOMPARE(rows, (QVector<int>{3, 1, 1, 1}));

        OpenState alone;
        OpenState together;
        for (const Registration& r : registrations)
            QVERIFY2(alone.run(registrationInsert(items, r)), qPrintable(alone.state.db.lastErrorText()));
        for (const RegistrationsInsert& insert : inserts)
            QVERIFY2(together.run(insert.sql), qPrintable(together.state.db.lastErrorText()));
        const auto storedRows = [](OpenState& open) {
            QVector<QStringList> rows;
            if (!open.state.db.openShared(QStringLiteral("select * from bmb order by id")))
                return rows;
            RecordSet& stored = open.state.db.shared();
            for (; !stored.atEnd(); stored.moveNext()) {
                QStringList cells;
                for (const QString& column : stored.columnNames())
                    cells << column + QLatin1Char('=') + stored.readText(column);
                rows << cells;
            }
            return rows;
        };
        const QVector<QStringList> expected = storedRows(alone);
        QCOMPARE(expected.size(), registrations.size());
        QCOMPARE(storedRows(together), expected);
    }

    void storedValuesShowInTheirControls()
    {
        const QStringList programmeOptions = {programmeCaption("会计", 3, 30), programmeCaption("烹饪", 7, 70),
                                              programmeCaption("美术", 17, 0)};
        const struct {
            FormItem item;
            const char* value;
            QStringList captions;
            QVector<bool> ticked;
            int selectId;
            const char* text;
        } cases[] = {
            {item("xm", 0, "姓名"), "王", {}, {}, -1, "王"},
            {item("xb", 2, "性别", 0, "M||F"), "2", {"男", "女"}, {false, true}, -1, ""},
            {item("xb", 2, "性别"), "0", {"男", "女"}, {false, false}, -1, ""},
            {item("bm1", 2, "专业"), "7", programmeOptions, {false, true, false}, -1, ""},
            {item("kz1", 2, "学历", 0, "本科||专科"), "专科", {"本科", "专科"}, {false, true}, -1, ""},
            {item("bm3", 3, "专业"), "^7^^17^", programmeOptions, {false, true, true}, -1, ""},
            {item("bm3", 3, "专业"), "^1^", programmeOptions, {false, false, false}, -1, ""},
            {item("kz2", 3, "爱好", 0, "书||画"), "^画^", {"书", "画"}, {false, true}, -1, ""},
            {item("dd", 4, "校区"), "5", {}, {}, 5, ""},
            {item("bm2", 4, "专业"), "3", {}, {}, 3, ""},
            {item("kz3", 4, "来源"), "朋友", {}, {}, -1, "朋友"},
        };
        for (const auto& c : cases) {
            const StoredEntry entry = storedEntry(c.item, QString::fromUtf8(c.value), c.captions);
            QCOMPARE(entry.ticked, c.ticked);
            QCOMPARE(entry.selectId, c.selectId);
            QCOMPARE(entry.text, QString::fromUtf8(c.text));
        }
    }

    void thePendingPhotoBecomesTheNewestRegistrationsAttachment()
    {
        OpenState open;
        QCOMPARE(newestRegistrationId(open.state), 0);
        const QString pending = QStringLiteral("5\\0123456789abcdef0123456789abcdef.jpg");
        QVERIFY(attachPendingPhoto(open.state, 0, pending));
        QCOMPARE(open.value("select count(*) from fj"), QStringLiteral("0"));

        QVERIFY(open.run("INSERT INTO bmb  (status,xm,dtime,sh,fk) values (1,'甲','2013年5月6日',1,1)"));
        QVERIFY(open.run("INSERT INTO bmb  (status,xm,dtime,sh,fk) values (1,'乙','2013年5月6日',1,1)"));
        // Another desk's photo row is the newest one; the link must take this desk's own.
        QVERIFY(open.run("INSERT INTO fj  (uid,filename,status) values (1,'5\\old.jpg',1)"));
        QVERIFY(attachPendingPhoto(open.state, 2, pending));
        QCOMPARE(open.reporter.results, QStringList({QStringLiteral("照片保存成功"), QStringLiteral("修改imgid成功")}));
        QCOMPARE(open.value("select uid from fj where id=2"), QStringLiteral("2"));
        QCOMPARE(open.value("select filename from fj where id=2"), QStringLiteral("5\\0123456789abcdef0123456789abcdef.jpg"));
        QCOMPARE(open.value("select imgid from bmb where xm='乙'"), QStringLiteral("2"));
        QCOMPARE(open.value("select imgid from bmb where xm='甲'"), QStringLiteral("0"));
    }

    void aPhotoRowThatCannotBeWrittenKeepsThePendingPhoto()
    {
        OpenState open;
        QVERIFY(open.run("INSERT INTO bmb  (status,xm,dtime,sh,fk) values (1,'甲','2013年5月6日',1,1)"));
        QVERIFY(open.run("drop table fj"));
        const QString pending = QStringLiteral("5\\a.jpg");
        QVERIFY(!attachPendingPhoto(open.state, 1, pending));
        QCOMPARE(open.reporter.results, QStringList({QStringLiteral("照片添加失败")}));
        QCOMPARE(open.reporter.messages.size(), 1);
    }
};

BRENVO_TEST(RegistrationTest)
#include "test_registration.moc"
