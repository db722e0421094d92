#include "printingfixture.h"

#include "printing/amount.h"
#include "printing/rendering.h"
#include "printing/templatecodec.h"


namespace {

// Programmes 3 (1200), 7 (800) and 9 (no fee), category 2.
AppState listsState()
{
    AppState lists;
    lists.programDir = QStringLiteral("/opt/brenvo");
    Programme programme;
    for (auto [id, name, fee] : {std::tuple{3, "计算机", 1200}, std::tuple{7, "会计", 800}, std::tuple{9, "美术", 0}}) {
        programme.id = id;
        programme.name = QString::fromUtf8(name);
        programme.xuefei = fee;
        lists.programmeList.push_back(programme);
    }
    Category category;
    category.id = 2;
    category.name = QStringLiteral("城南校区");
    lists.categoryList.push_back(category);
    return lists;
}

QString fill(const QString& html, const RegistrationValues& values)
{
    return fillTemplate(html, values, listsState(), QStringLiteral("/p/photo/noimg.jpg"));
}

} // namespace

class RenderingTest : public QObject {
    Q_OBJECT
private slots:
    void storedTextKeepsOnlyTheSafeBytes()
    {
        QCOMPARE(encodeTemplateText(QStringLiteral("*,-./0189@AZ_az")), QStringLiteral("*,-./0189@AZ_az"));
        QCOMPARE(encodeTemplateText(QStringLiteral("a b+c'd\r\n%")), QStringLiteral("a%20b%2Bc%27d%0D%0A%25"));
        QCOMPARE(encodeTemplateText(QStringLiteral("<中>")), QStringLiteral("%3C%D6%D0%3E"));
        QCOMPARE(decodeTemplateText(QStringLiteral("1%2b1%3d2")), QStringLiteral("1+1=2"));
        // A "%" without two hexadecimal digits after it stays as written.
        QCOMPARE(decodeTemplateText(QStringLiteral("50%zz%4")), QStringLiteral("50%zz%4"));
    }

    void storedTextRoundTrips_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("html") << QStringLiteral("<table border='1'><tr><td>[!--xm--]</td></tr></table>");
        QTest::newRow("signs") << QStringLiteral("1+1 = 2; 100% 'quoted' \"double\" & <b>");
        QTest::newRow("lines") << QStringLiteral("第一行\r\n第二行\n\t缩进");
        QTest::newRow("chinese") << QStringLiteral("报名表：姓名　性别（男／女）");
    }
    void storedTextRoundTrips()
    {
        QFETCH(QString, text);
        const QString stored = encodeTemplateText(text);
        QVERIFY(!stored.contains(QLatin1Char('\'')));
        QVERIFY(!stored.contains(QLatin1Char(' ')));
        QCOMPARE(decodeTemplateText(stored), text);
    }

    void amountsInCapitals_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("capitals");
        QTest::newRow("zero") << 0.0 << QStringLiteral("零");
        QTest::newRow("1200") << 1200.0 << QStringLiteral("壹仟贰佰元整");
        QTest::newRow("10.05") << 10.05 << QStringLiteral("壹拾元零伍分");
        QTest::newRow("1.5") << 1.5 << QStringLiteral("壹元伍角整");
        QTest::newRow("0.5") << 0.5 << QStringLiteral("伍角整");
        QTest::newRow("100000") << 100000.0 << QStringLiteral("壹拾万元整");
        QTest::newRow("1000100000") << 1000100000.0 << QStringLiteral("壹拾亿零壹拾万元整");
        QTest::newRow("100000001") << 100000001.0 << QStringLiteral("壹亿零壹元整");
        QTest::newRow("negative") << -5.0 << QStringLiteral("负伍元整");
        QTest::newRow("fen") << 0.07 << QStringLiteral("柒分");
        QTest::newRow("half fen up") << 0.005 << QStringLiteral("壹分");
        QTest::newRow("jiao and fen") << 3.21 << QStringLiteral("叁元贰角壹分");
        QTest::newRow("inner zeros") << 1001.0 << QStringLiteral("壹仟零壹元整");
        QTest::newRow("wan section") << 12345678.9 << QStringLiteral("壹仟贰佰叁拾肆万伍仟陆佰柒拾捌元玖角整");
        QTest::newRow("largest") << 9999999999999.99 << QStringLiteral("玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分");
        QTest::newRow("overflow") << 10000000000000.0 << QStringLiteral("溢出");
        QTest::newRow("negative overflow") << -1e14 << QStringLiteral("溢出");
        QTest::newRow("below half a fen") << -0.004 << QStringLiteral("零");
    }
    void amountsInCapitals()
    {
        QFETCH(double, amount);
        QFETCH(QString, capitals);
        QCOMPARE(amountInCapitals(amount), capitals);
    }

    void placeholdersFollowTheirCaseRules()
    {
        const RegistrationValues person{{"xm", "张三"}, {"xb", "2"}, {"nl", "18"}, {"id", "42"}};
        QCOMPARE(fill(QStringLiteral("<p>no placeholders</p>"), person), QStringLiteral("<p>no placeholders</p>"));
        QCOMPARE(fill(QStringLiteral("[!--xm--]/[!--xm--]/[!--xm--]"), person), QStringLiteral("张三/张三/张三"));
        QCOMPARE(fill(QStringLiteral("[!--XM--] [!--XB--] [!--xb--] [!--Id--]"), person),
                 QStringLiteral("[!--XM--] 女 女 [!--Id--]"));
        QCOMPARE(fill(QStringLiteral("[!--xm--]|[!--xb--]|[!--mz--]|[!--nl--]|[!--id--]"), {{"xb", "0"}}),
                 QStringLiteral("&nbsp;|&nbsp;|&nbsp;|&nbsp;|&nbsp;"));
        QCOMPARE(fill(QStringLiteral("[!--xb--]"), {{"xb", "1"}}), QStringLiteral("男"));
        QCOMPARE(fill(QStringLiteral("[!--xb--]"), {{"xb", "3"}}), QStringLiteral("&nbsp;"));
    }

    void listsGiveNamesAndFees()
    {
        const RegistrationValues values{{"dd", "2"}, {"bm1", "3"}, {"bm2", "0"}, {"bm3", "7"}};
        QCOMPARE(fill(QStringLiteral("[!--dd--]|[!--bm1--]|[!--fybm1--]|[!--fybm1dx--]"), values),
                 QStringLiteral("城南校区|计算机|1200|壹仟贰佰元整"));
        QCOMPARE(fill(QStringLiteral("[!--bm2--]|[!--fybm2--]|[!--fybm2dx--]"), values),
                 QStringLiteral("&nbsp;|&nbsp;|零"));
        QCOMPARE(fill(QStringLiteral("[!--bm3--]|[!--fybm3--]|[!--fybm3dx--]|[!--fybm123--]|[!--fybm123dx--]"), values),
                 QStringLiteral("会计|800|捌佰元整|2000|贰仟元整"));
        QCOMPARE(fill(QStringLiteral("[!--dd--]|[!--fybm123--]|[!--fybm123dx--]"), {{"dd", "5"}}),
                 QStringLiteral("&nbsp;|0|零"));
    }

    void thirdProgrammeForms_data()
    {
        QTest::addColumn<QString>("bm3");
        QTest::addColumn<QString>("filled");
        const QString html = QStringLiteral("[!--bm3--]|[!--FYBM3--]|[!--fybm3DX--]|[!--fybm123--]");
        QTest::addColumn<QString>("html");
        QTest::newRow("several") << "^3^^7^" << QStringLiteral("计算机,会计|2000|贰仟元整|3200") << html;
        QTest::newRow("one") << "7" << QStringLiteral("会计|800|捌佰元整|2000") << html;
        QTest::newRow("empty") << "" << QStringLiteral("&nbsp|&nbsp|&nbsp|1200") << html;
        QTest::newRow("unknown id") << "5" << QStringLiteral("||零|1200") << html;
        QTest::newRow("no fee") << "^9^^3^" << QStringLiteral("美术,计算机|1200|壹仟贰佰元整|2400") << html;
    }
    void thirdProgrammeForms()
    {
        QFETCH(QString, bm3);
        QFETCH(QString, filled);
        QFETCH(QString, html);
        QCOMPARE(fill(html, {{"bm1", "3"}, {"bm3", bm3}}), filled);
    }

    void extensionChoicesAndPhoto()
    {
        const RegistrationValues values{{"kz1", "^A^^B^^C^"}, {"kz2", "^A"}, {"kz10", "^x^"}, {"kz3", ""}};
        QCOMPARE(fill(QStringLiteral("[!--kz1--]|[!--kz2--]|[!--kz10--]|[!--kz3--]|[!--kz4--]"), values),
                 QStringLiteral("A,B,C|^A|x|&nbsp;|&nbsp;"));
        QCOMPARE(fill(QStringLiteral("<img src=\"[!--tp--]\"> [!--TP--]"), values),
                 QStringLiteral("<img src=\"/p/photo/noimg.jpg\"> [!--TP--]"));

        AppState lists = listsState();
        QCOMPARE(photoPathFor(lists, QString()), QStringLiteral("/opt/brenvo/photo/noimg.jpg"));
        QCOMPARE(photoPathFor(lists, QStringLiteral("5\\0123456789abcdef0123456789abcdef.jpg")),
                 QStringLiteral("/opt/brenvo/photo/5/0123456789abcdef0123456789abcdef.jpg"));
    }

    // Whatever a registration holds prints as text: markup is escaped, and a
    // placeholder inside a value is printed as written, not filled again.
    void valuesPrintAsTextFilledOnce()
    {
        const QString hostile = QStringLiteral("<script>alert(1)</script><img src=x onerror=alert(2)>&amp;\"'[!--id--][!--xm--]");
        const QString printed = QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;&lt;img src=x onerror=alert(2)&gt;"
                                               "&amp;amp;&quot;&#39;[!--id--][!--xm--]");
        AppState lists = listsState();
        lists.categoryList[0].name = hostile;
        lists.programmeList[0].name = hostile;   // programme 3
        lists.programmeList[1].name = hostile;   // programme 7

        RegistrationValues registration{{"id", "42"}, {"xb", "1"}, {"dd", "2"}, {"bm1", "3"}, {"bm2", "7"}, {"bm3", "^3^^7^"}};
        QStringList placeholders;
        QStringList expected;
        for (const char* column : {"xm", "nl", "mz", "zj", "jj", "lx1", "lx2", "lx3", "kz1", "kz10"}) {
            registration.insert(QString::fromLatin1(column), hostile);
            placeholders << QStringLiteral("[!--%1--]").arg(QString::fromLatin1(column));
            expected << printed;
        }
        placeholders << QStringLiteral("[!--dd--]") << QStringLiteral("[!--bm1--]") << QStringLiteral("[!--bm2--]")
                     << QStringLiteral("[!--bm3--]") << QStringLiteral("[!--id--]") << QStringLiteral("[!--xb--]");
        expected << printed << printed << printed << printed + QLatin1Char(',') + printed << QStringLiteral("42")
                 << QStringLiteral("男");
        // The template's own markup stays as written.
        const QString html = QStringLiteral("<td class=\"v\">") + placeholders.join(QStringLiteral("</td><td class=\"v\">"))
                             + QStringLiteral("</td><img src=\"[!--tp--]\" onload=\"x()\">");
        QCOMPARE(fillTemplate(html, registration, lists, QStringLiteral("/p/O'Neil & Co/photo/noimg.jpg")),
                 QStringLiteral("<td class=\"v\">") + expected.join(QStringLiteral("</td><td class=\"v\">"))
                     + QStringLiteral("</td><img src=\"/p/O&#39;Neil &amp; Co/photo/noimg.jpg\" onload=\"x()\">"));

        // Multiple choices are joined, then escaped.
        QCOMPARE(fill(QStringLiteral("[!--kz2--]"), {{"kz2", "^<b>^^&^"}}), QStringLiteral("&lt;b&gt;,&amp;"));
        // A placeholder that begins inside an unknown one is still filled.
        QCOMPARE(fill(QStringLiteral("[!--[!--xm--]--] [!--xm"), {{"xm", "a"}}), QStringLiteral("[!--a--] [!--xm"));
    }

    void choicesSelectTemplates()
    {
        const QVector<int> enabled{11, 12, 13, 14};
        QCOMPARE(templatesForChoice(0, enabled), QVector<int>{});
        QCOMPARE(templatesForChoice(12, enabled), QVector<int>{12});
        QCOMPARE(templatesForChoice(-1, enabled), enabled);
        QCOMPARE(templatesForChoice(-2, enabled), (QVector<int>{11, 12}));
        QCOMPARE(templatesForChoice(-3, enabled), (QVector<int>{11, 12, 13}));
        QCOMPARE(templatesForChoice(-3, {11}), QVector<int>{11});
        QCOMPARE(templatesForChoice(-4, enabled), QVector<int>{});
    }

    void registrationsRenderFromTheDatabase()
    {
        PrintingFixture f;
        loadProgrammeList(f.state);
        const int withTemplate = f.addTemplate(QStringLiteral("报名表"),
                                               QStringLiteral("<td>[!--xm--]</td><td>[!--nl--]</td><img src='[!--tp--]'>"));
        const int person = f.addRegistration({{QStringLiteral("xm"), QStringLiteral("O'Neil 张")}, {QStringLiteral("nl"), QStringLiteral("19")}});
        QCOMPARE(renderRegistration(f.state, withTemplate, person),
                 QStringLiteral("<td>O&#39;Neil 张</td><td>19</td><img src='") + f.dir.file(QStringLiteral("photo/noimg.jpg"))
                     + QStringLiteral("'>"));

        QVERIFY(f.execute(QStringLiteral("INSERT INTO fj (uid,filename,status) values (%1,'5\\abc.jpg',1)").arg(person)));
        QVERIFY(renderRegistration(f.state, withTemplate, person).endsWith(f.dir.file(QStringLiteral("photo/5/abc.jpg'>"))));

        // A missing template or registration renders an empty page, without a message.
        QCOMPARE(renderRegistration(f.state, withTemplate + 1, person), QString());
        QCOMPARE(renderRegistration(f.state, withTemplate, person + 1), QString());
        QVERIFY(f.reporter.messages.isEmpty());
    }

    void documentJoinsPagesWithBreaks()
    {
        PrintingFixture f;
        const int a = f.addTemplate(QStringLiteral("a"), QStringLiteral("A[!--id--]"));
        const int b = f.addTemplate(QStringLiteral("b"), QStringLiteral("B[!--id--]"));
        const int one = f.addRegistration({{QStringLiteral("xm"), QStringLiteral("x")}});
        const int two = f.addRegistration({{QStringLiteral("xm"), QStringLiteral("y")}});
        const QString id1 = QString::number(one), id2 = QString::number(two);
        QCOMPARE(renderDocument(f.state, {a, b}, {one, two}),
                 QStringLiteral("A") + id1 + pageBreakBlock + QStringLiteral("B") + id1 + pageBreakBlock
                     + QStringLiteral("A") + id2 + pageBreakBlock + QStringLiteral("B") + id2);
        QCOMPARE(renderDocument(f.state, {b}, {two}), QStringLiteral("B") + id2);
        QCOMPARE(renderDocument(f.state, {}, {one, two}), QString());
    }
};

BRENVO_TEST(RenderingTest)
#include "test_rendering.moc"
