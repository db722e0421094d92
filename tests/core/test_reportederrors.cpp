// A statement that fails for an everyday reason (the file held by another
// program, a full disk, a read-only database) is reported to the operator in
// Chinese, with the engine's own text after it.
#include "support/openstate.h"

#include <QtTest>

#include <sqlite3.h>

#include <functional>

class ReportedErrorsTest : public QObject {
    Q_OBJECT
private slots:
    void everydayFailuresReachTheOperatorInChinese_data()
    {
        QTest::addColumn<std::function<void(OpenState&, sqlite3*)>>("arrange");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("engineText");
        QTest::addColumn<bool>("readsFail");
        using Arrange = std::function<void(OpenState&, sqlite3*)>;

        QTest::newRow("held by another program") << Arrange([](OpenState&, sqlite3* other) {
            QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        }) << QStringLiteral("数据库正被其他程序使用，请稍后再试。") << "database is locked" << true;
        QTest::newRow("disk full") << Arrange([](OpenState& s, sqlite3*) {
            QVERIFY(s.run("PRAGMA max_page_count=1"));
        }) << QStringLiteral("磁盘已满，数据没有保存。") << "database or disk is full" << false;
        QTest::newRow("read-only") << Arrange([](OpenState& s, sqlite3*) {
            QVERIFY(s.run("PRAGMA query_only=1"));
        }) << QStringLiteral("数据库只能读取，不能写入，修改没有保存。") << "attempt to write a readonly database" << false;
    }

    void everydayFailuresReachTheOperatorInChinese()
    {
        QFETCH(std::function<void(OpenState&, sqlite3*)>, arrange);
        QFETCH(QString, words);
        QFETCH(QString, engineText);
        QFETCH(bool, readsFail);

        OpenState s;
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(s.dir.databasePath().toUtf8().constData(), &other), SQLITE_OK);
        const auto closeOther = qScopeGuard([other] { sqlite3_close_v2(other); });
        arrange(s, other);

        // A write through executeReported; a read through openReported where reads fail too.
        QVERIFY(!executeReported(s.state, QStringLiteral("INSERT INTO bmb (xm) VALUES ('%1')").arg(QString(5000, QChar('x')))));
        QCOMPARE(s.reporter.messages.size(), 1);
        const QString shown = s.reporter.messages.at(0);
        QVERIFY2(shown.startsWith(words) && shown.endsWith(QStringLiteral("。（") + engineText + QStringLiteral("）")),
                 qPrintable(shown));
        QCOMPARE(s.reporter.styles.at(0), int(MessageStyle::Error));
        QCOMPARE(openReported(s.state, QStringLiteral("select * from bmb order by id")), !readsFail);
        QCOMPARE(s.reporter.messages.size(), readsFail ? 2 : 1);
        if (readsFail)
            QCOMPARE(s.reporter.messages.at(1), s.reporter.messages.at(0));
    }
};

BRENVO_TEST(ReportedErrorsTest)
#include "test_reportederrors.moc"
