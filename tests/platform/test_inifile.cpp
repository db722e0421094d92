#include "platform/inifile.h"
#include "platform/text.h"
#include "support/testsupport.h"

#include <QFile>
#include <QtTest>

class IniFileTest : public QObject {
    Q_OBJECT
private slots:
    void missingFileOrKeyGivesTheDefault()
    {
        TestProgramDir dir(false);
        const QString ini = dir.file(QStringLiteral("duzarizered.ini"));
        QCOMPARE(readIniValue(ini, QStringLiteral("prepage"), QStringLiteral("50")), QStringLiteral("50"));
        writeIniValue(ini, QStringLiteral("log_t"), QStringLiteral("2"));
        QCOMPARE(readIniValue(ini, QStringLiteral("prepage"), QStringLiteral("50")), QStringLiteral("50"));
        QCOMPARE(readIniValue(ini, QStringLiteral("log_t"), QStringLiteral("1"), QStringLiteral("other")),
                 QStringLiteral("1"));
    }

    void writesReplaceInPlaceWithoutRegardToCase()
    {
        TestProgramDir dir(false);
        const QString ini = dir.file(QStringLiteral("duzarizered.ini"));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[other]\r\nlog_t=99\r\n[BASE]\r\nLog_T = 3\r\nprepage=20\r\n");
        file.close();

        QCOMPARE(readIniValue(ini, QStringLiteral("log_t"), QStringLiteral("1")), QStringLiteral("3"));
        writeIniValue(ini, QStringLiteral("LOG_T"), QStringLiteral("4"));
        writeIniValue(ini, QStringLiteral("add_sh"), QStringLiteral("2"));
        QCOMPARE(readIniValue(ini, QStringLiteral("log_t"), QStringLiteral("1")), QStringLiteral("4"));
        QCOMPARE(readIniValue(ini, QStringLiteral("prepage"), QStringLiteral("50")), QStringLiteral("20"));
        QCOMPARE(readIniValue(ini, QStringLiteral("add_sh"), QStringLiteral("0")), QStringLiteral("2"));
        QCOMPARE(readIniValue(ini, QStringLiteral("log_t"), QStringLiteral("1"), QStringLiteral("other")),
                 QStringLiteral("99"));
    }

    void valuesAreStoredAsGbk()
    {
        TestProgramDir dir(false);
        const QString ini = dir.file(QStringLiteral("duzarizered.ini"));
        writeIniValue(ini, QStringLiteral("prepage"), QStringLiteral("五十"));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(toGbk(QStringLiteral("prepage=五十"))));
        QCOMPARE(readIniValue(ini, QStringLiteral("prepage"), QStringLiteral("50")), QStringLiteral("五十"));
    }

    void integerSettingsStayWithinTheIntRange_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("read");
        QTest::newRow("largest int") << "2147483647" << 2147483647;
        QTest::newRow("one past it") << "2147483648" << 2147483647;
        QTest::newRow("huge") << "1e20" << 2147483647;
        QTest::newRow("huge negative") << "-1e20" << int(-2147483647 - 1);
        QTest::newRow("blanks around") << " 30 " << 30;
        QTest::newRow("fraction") << "12.6" << 13;
        QTest::newRow("no number") << "abc" << 50;
        QTest::newRow("empty") << "" << 50;
    }

    void integerSettingsStayWithinTheIntRange()
    {
        QFETCH(QString, stored);
        QFETCH(int, read);
        TestProgramDir dir(false);
        const QString ini = dir.file(QStringLiteral("duzarizered.ini"));
        writeIniValue(ini, QStringLiteral("prepage"), stored);
        QCOMPARE(readIniInteger(ini, QStringLiteral("prepage"), 50), read);
        QCOMPARE(readIniInteger(ini, QStringLiteral("missing"), 50), 50);
    }

    void aValueWithLineBreaksStaysOnItsLine()
    {
        TestProgramDir dir(false);
        const QString ini = dir.file(QStringLiteral("duzarizered.ini"));
        writeIniValue(ini, QStringLiteral("log_t"), QStringLiteral("1"));
        writeIniValue(ini, QStringLiteral("prepage"), QStringLiteral("20\r\nlog_t=99\n[other]\rx=1"));
        QCOMPARE(readIniValue(ini, QStringLiteral("log_t"), QStringLiteral("0")), QStringLiteral("1"));
        QCOMPARE(readIniValue(ini, QStringLiteral("x"), QStringLiteral("none"), QStringLiteral("other")),
                 QStringLiteral("none"));
        QCOMPARE(readIniValue(ini, QStringLiteral("prepage"), QStringLiteral("50")),
                 QStringLiteral("20 log_t=99 [other] x=1"));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("\r\n"), 3);   // [base], log_t, prepage
    }

    void aFailedWriteIsIgnored()
    {
        TestProgramDir dir(false);
        const QString ini = dir.file(QStringLiteral("no/such/dir/duzarizered.ini"));
        writeIniValue(ini, QStringLiteral("log_t"), QStringLiteral("2"));
        QCOMPARE(readIniValue(ini, QStringLiteral("log_t"), QStringLiteral("1")), QStringLiteral("1"));
    }
};

BRENVO_TEST(IniFileTest)
#include "test_inifile.moc"
