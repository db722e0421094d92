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
