#include "catalogue/categorypage.h"
#include "catalogue/programmepage.h"
#include "support/testsupport.h"

#include <QtTest>

class CatalogueStatementsTest : public QObject {
    Q_OBJECT
private slots:
    void categoryStatements()
    {
        QCOMPARE(insertCategoryStatement({QStringLiteral("北京"), 2.5, true, QStringLiteral(" 总部 ")}),
                 QStringLiteral("INSERT INTO dd  (serverid,name,sx,status,xx) values (0,'北京',2.5,1,' 总部 ')"));
        QCOMPARE(updateCategoryStatement(7, {QStringLiteral(" 上海 "), 0, false, QString()}),
                 QStringLiteral("UPDATE dd SET name=' 上海 ',sx=0,status=0,xx='' WHERE id=7"));
        QCOMPARE(deleteCategoryStatement(12), QStringLiteral("DELETE * FROM dd WHERE id=12"));
        // A typed quote stays in its value.
        QCOMPARE(insertCategoryStatement({QStringLiteral("O'Hare"), 1, false, QStringLiteral("it's")}),
                 QStringLiteral("INSERT INTO dd  (serverid,name,sx,status,xx) values (0,'O''Hare',1,0,'it''s')"));
    }

    void programmeStatements()
    {
        ProgrammeValues v;
        v.categoryServerId = 4;
        v.name = QStringLiteral("会计");
        v.fee = 1200;
        v.quota = 30;
        v.deadline = QStringLiteral("2013-09-01 08:00:00");
        v.summary = QStringLiteral("夜班");
        v.introduction = QStringLiteral("两年");
        v.order = 3;
        v.enabled = true;
        v.categoryId = -1;
        QCOMPARE(insertProgrammeStatement(v),
                 QStringLiteral("INSERT INTO zy  (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                                "values (0,4,'会计',1200,30,0,'2013-09-01 08:00:00','夜班','两年',3,1,-1)"));
        v.enabled = false;
        v.categoryId = 2;
        v.deadline = QStringLiteral("1899年12月30日");
        v.name = QStringLiteral("a'b");
        QCOMPARE(updateProgrammeStatement(9, v),
                 QStringLiteral("UPDATE zy SET serplaid=4,name='a''b',xuefei=1200,renshu=30,jzrq='1899年12月30日',yjh='夜班',"
                                "jieshao='两年',sx=3,status=0,ddid=2 WHERE id=9"));
        QCOMPARE(deleteProgrammeStatement(5), QStringLiteral("DELETE * FROM zy WHERE id=5"));
    }

    void deadlinesAsWrittenAndShown()
    {
        const QString none = QStringLiteral("1899年12月30日");
        const QVector<QPair<QString, QString>> written = {
            {QStringLiteral("2013-09-01 08:00:00"), QStringLiteral("2013-09-01 08:00:00")},
            {QStringLiteral("2013年9月1日"), QStringLiteral("2013年9月1日")},
            {QStringLiteral("2000-01-01 00:00:00"), QStringLiteral("2000-01-01 00:00:00")},
            {QStringLiteral("1999-12-31 23:59:59"), none},
            {QStringLiteral("2013-02-31 00:00:00"), none},
            {QString(), none},
            {QStringLiteral("soon"), none},
        };
        for (const auto& [box, expected] : written)
            QCOMPARE(deadlineForStatement(box), expected);

        QCOMPARE(deadlineCellText(QDateTime(QDate(2013, 9, 1), QTime(8, 30, 0))), QStringLiteral("2013年9月1日8时30分"));
        QCOMPARE(deadlineCellText(QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0))), QStringLiteral("2000年1月1日"));
        QCOMPARE(deadlineCellText(QDateTime(QDate(1899, 12, 30), QTime(0, 0, 0))), QString());
        QCOMPARE(deadlineCellText(QDateTime(QDate(1999, 12, 31), QTime(0, 0, 0))), QString());
        QCOMPARE(positiveCellText(0), QString());
        QCOMPARE(positiveCellText(-3), QString());
        QCOMPARE(positiveCellText(1200), QStringLiteral("1200"));
    }
};

BRENVO_TEST(CatalogueStatementsTest)
#include "test_statements.moc"
