#include "platform/dates.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"
#include "support/testsupport.h"

#include <QtTest>

#include <cmath>

class TextAndDatesTest : public QObject {
    Q_OBJECT
private slots:
    void trimRemovesAsciiAndDoubleByteBlanksOnly()
    {
        QCOMPARE(trimBlanks(QStringLiteral("　 张 三 　")), QStringLiteral("张 三"));
        QCOMPARE(trimBlanks(QStringLiteral("　　")), QString());
        QCOMPARE(trimBlanks(QStringLiteral("\tx\t")), QStringLiteral("\tx\t"));
    }

    void gbkLengthCountsChineseAsTwoBytes()
    {
        QCOMPARE(gbkLength(QStringLiteral("姓名a")), 5);
        QCOMPARE(fromGbk(toGbk(QStringLiteral("报名表"))), QStringLiteral("报名表"));
    }

    // GB18030 keeps GBK's bytes for what GBK has and writes the rest.
    void gb18030ExtendsGbk_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("GBK text") << QStringLiteral("王a") << QByteArray("\xCD\xF5" "a");
        QTest::newRow("beyond GBK") << QStringLiteral("王䶮") << QByteArray("\xCD\xF5\xFE\x9F");
        QTest::newRow("outside the BMP") << QStringLiteral("𠀀") << QByteArray("\x95\x32\x82\x36");
    }
    void gb18030ExtendsGbk()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(toGb18030(text), bytes);
        QCOMPARE(fromGb18030(bytes), text);
    }

    void digestIsMd5OfGbkBytesInLowerCaseHex()
    {
        QCOMPARE(passwordDigest(QStringLiteral("472915")), QStringLiteral("fd4fb8afb893920555d594a0ed33751b"));
        QCOMPARE(passwordDigest(QStringLiteral("中文密码")), QStringLiteral("cab54837b8cb3345b7d7bd03e904d1c8"));
        QCOMPARE(passwordDigest(QString()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
        QVERIFY(passwordDigest(QStringLiteral("Abc")) != passwordDigest(QStringLiteral("abc")));
    }

    void quotingDoublesQuotesAndLeavesOrdinaryTextAlone()
    {
        QCOMPARE(quoteForSql(QStringLiteral("O'Brien''s")), QStringLiteral("O''Brien''''s"));
        QCOMPARE(quoteForSql(QStringLiteral("张三 %_[")), QStringLiteral("张三 %_["));
    }

    void literalsAreWrittenAsStatementsWriteThem()
    {
        QCOMPARE(sqlText(QStringLiteral("it's")), QStringLiteral("'it''s'"));
        QCOMPARE(sqlText(QString()), QStringLiteral("''"));
        QCOMPARE(sqlInteger(-1), QStringLiteral("-1"));
        QCOMPARE(sqlInteger(Q_INT64_C(3000000000)), QStringLiteral("3000000000"));
        QCOMPARE(sqlNumber(0.1), QStringLiteral("0.1"));
        QCOMPARE(sqlDate(QDateTime(QDate(2013, 5, 6), QTime(14, 3, 9))), QStringLiteral("#2013-05-06 14:03:09#"));
        QCOMPARE(sqlIdList({12, 15, 20}), QStringLiteral("12,15,20"));
        QCOMPARE(sqlIdList({}), QString());
    }

    void clampingKeepsNumbersInTheIntegerRange()
    {
        QCOMPARE(clampToInt(1e20), 2147483647);
        QCOMPARE(clampToInt(-1e20), int(-2147483647 - 1));
        QCOMPARE(clampToInt(12.9), 12);
        QCOMPARE(clampToInt(std::nan("")), 0);
    }

    void numbersUseThirteenSignificantDigits()
    {
        QCOMPARE(numberToText(3.0), QStringLiteral("3"));
        QCOMPARE(numberToText(-2.5), QStringLiteral("-2.5"));
        QCOMPARE(numberToText(1.0 / 3.0), QStringLiteral("0.3333333333333"));
        QCOMPARE(textToNumber(QStringLiteral(" 12 ")), 12.0);
        QCOMPARE(textToNumber(QStringLiteral("abc")), 0.0);
        QCOMPARE(textToNumber(QStringLiteral("12abc")), 0.0);
    }

    // What may stand unquoted in a statement; inf and nan read as numbers to
    // Qt but are column names to the database.
    void onlyFiniteNumbersCountAsNumbers()
    {
        for (const char* good : {"5", "-5", "0", "+2", "0.5", "-.25", " 7 ", "1e3", "12."})
            QVERIFY2(isPlainNumber(QString::fromUtf8(good)), good);
        for (const char* bad : {"", "abc", "1,status=0", "5 where id=1", "inf", "-inf", "nan", "NaN", "infinity",
                                "1e999", "--1", "1e", "0x10"}) {
            QVERIFY2(!isPlainNumber(QString::fromUtf8(bad)), bad);
            QVERIFY2(std::isfinite(textToNumber(QString::fromUtf8(bad))), bad);
        }
        QCOMPARE(textToNumber(QStringLiteral("inf")), 0.0);
        QCOMPARE(textToNumber(QStringLiteral("nan")), 0.0);
    }

    void charactersWithoutGbkBytesAreFound()
    {
        QVERIFY(isGbkEncodable(QStringLiteral("abc中文?")));
        QVERIFY(!isGbkEncodable(QString::fromUtf8("pass😀")));
        QVERIFY(!isGbkEncodable(QString::fromUtf8("🙂")));
    }

    void dateToTextLeavesOutTrailingZeroParts_data()
    {
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("text");
        QTest::newRow("all") << QDateTime(QDate(2013, 5, 6), QTime(14, 3, 9)) << QStringLiteral("2013年5月6日14时3分9秒");
        QTest::newRow("no seconds") << QDateTime(QDate(2013, 5, 6), QTime(14, 3, 0)) << QStringLiteral("2013年5月6日14时3分");
        QTest::newRow("hour only") << QDateTime(QDate(2013, 5, 6), QTime(14, 0, 0)) << QStringLiteral("2013年5月6日14时");
        QTest::newRow("midnight") << QDateTime(QDate(2013, 12, 31), QTime(0, 0, 0)) << QStringLiteral("2013年12月31日");
        QTest::newRow("seconds keep zero minutes") << QDateTime(QDate(2013, 5, 6), QTime(0, 0, 7))
                                                   << QStringLiteral("2013年5月6日0时0分7秒");
    }

    void dateToTextLeavesOutTrailingZeroParts()
    {
        QFETCH(QDateTime, moment);
        QFETCH(QString, text);
        QCOMPARE(dateToText(moment), text);
        QCOMPARE(textToDate(text).value(), moment);
    }

    void textToDateReadsIsoFormsAndRefusesNonDates()
    {
        const QDateTime expected(QDate(2013, 5, 6), QTime(14, 3, 9));
        QCOMPARE(textToDate(QStringLiteral("2013-05-06 14:03:09")).value(), expected);
        QCOMPARE(textToDate(QStringLiteral("2013/5/6 14:03:09")).value(), expected);
        QCOMPARE(textToDate(QStringLiteral("2013-5-6")).value(), QDateTime(QDate(2013, 5, 6), QTime(0, 0)));
        QVERIFY(!textToDate(QStringLiteral("2013-02-30")));
        QVERIFY(!textToDate(QStringLiteral("2013年13月1日")));
        QVERIFY(!textToDate(QStringLiteral("明天")));
        QVERIFY(!textToDate(QString()));
        QCOMPARE(isoDateText(textToDateOrEarliest(QStringLiteral("abc"))), QStringLiteral("0100-01-01 00:00:00"));
        QCOMPARE(isoDateText(zeroDate()), QStringLiteral("1899-12-30 00:00:00"));
    }
};

BRENVO_TEST(TextAndDatesTest)
#include "test_text.moc"
