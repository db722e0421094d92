// Likely duplicate applicants: which stored registrations a new or edited
// one is taken to repeat, looked up in the database.
#include "support/openstate.h"

#include "form/duplicates.h"

#include <QtTest>

Q_DECLARE_METATYPE(Registration)

namespace {

FormItem textItem(const char* zd)
{
    FormItem item;
    item.zd = QString::fromLatin1(zd);
    item.lx = ItemType::Text;
    return item;
}

Registration applicant(const char* xm, const char* zj, const char* lx1)
{
    Registration registration;
    registration.values.insert(QStringLiteral("xm"), QString::fromUtf8(xm));
    registration.values.insert(QStringLiteral("zj"), QString::fromUtf8(zj));
    registration.values.insert(QStringLiteral("lx1"), QString::fromUtf8(lx1));
    return registration;
}

const QVector<FormItem> wholeForm = {textItem("xm"), textItem("zj"), textItem("lx1")};

} // namespace

class DuplicatesTest : public QObject {
    Q_OBJECT
private slots:
    void likelyDuplicatesFollowTheRules_data()
    {
        QTest::addColumn<QVector<FormItem>>("items");
        QTest::addColumn<Registration>("registration");
        QTest::addColumn<int>("excludeId");
        QTest::addColumn<int>("found");  // 0: none

        QTest::newRow("same id number, other case, blanks")
            << wholeForm << applicant("乙", " 11010119900307123x　", "") << 0 << 1;
        QTest::newRow("same name and phone") << wholeForm << applicant("王小明", "", "13800000000") << 0 << 1;
        QTest::newRow("same name, no phone") << wholeForm << applicant("王小明", "", "") << 0 << 0;
        QTest::newRow("same phone, other name") << wholeForm << applicant("王小红", "", "13800000000") << 0 << 0;
        QTest::newRow("id number item not in the form")
            << QVector<FormItem>{textItem("xm"), textItem("lx1")} << applicant("乙", "11010119900307123X", "") << 0 << 0;
        QTest::newRow("phone item not in the form")
            << QVector<FormItem>{textItem("xm"), textItem("zj")} << applicant("王小明", "", "13800000000") << 0 << 0;
        QTest::newRow("only the recycle bin holds it") << wholeForm << applicant("赵六", "", "13900000000") << 0 << 0;
        QTest::newRow("the edit window's own record") << wholeForm << applicant("王小明", "", "13800000000") << 1 << 0;
        QTest::newRow("another record besides its own")
            << wholeForm << applicant("王小明", "11010119900307123X", "") << 3 << 1;
        QTest::newRow("a quote in the name") << wholeForm << applicant("O'Neil", "", "1") << 0 << 4;
    }

    void likelyDuplicatesFollowTheRules()
    {
        QFETCH(QVector<FormItem>, items);
        QFETCH(Registration, registration);
        QFETCH(int, excludeId);
        QFETCH(int, found);
        OpenState open;
        QVERIFY(open.run("INSERT INTO bmb  (status,xm,zj,lx1,dtime,sh,fk) values "
                         "(1,'王小明','11010119900307123X','13800000000','2013年5月6日14时3分9秒',1,1)"));
        QVERIFY(open.run("INSERT INTO bmb  (status,xm,zj,lx1,dtime,sh,fk) values (0,'赵六','','13900000000','2013年5月6日',1,1)"));
        QVERIFY(open.run("INSERT INTO bmb  (status,xm,zj,lx1,dtime,sh,fk) values (1,'王小明','','','2013年5月6日',1,1)"));
        QVERIFY(open.run("INSERT INTO bmb  (status,xm,zj,lx1,dtime,sh,fk) values (1,'o''neil','','1','2013年5月6日',1,1)"));
        const auto duplicate = findLikelyDuplicate(open.state, items, registration, excludeId);
        QCOMPARE(duplicate ? duplicate->id : 0, found);
        QCOMPARE(open.reporter.messages, QStringList());
        if (found == 1)
            QCOMPARE(duplicateQuestion(*duplicate),
                     QStringLiteral("可能与已有报名重复：第1号 王小明 2013-05-06 14:03:09。仍然保存吗？"));
    }

    // Looked up together, in statements of many, each registration finds
    // what it finds alone; those no rule applies to find nothing.
    void severalAreLookedUpAsEachAlone()
    {
        OpenState open;
        for (int n = 1; n <= 150; ++n)
            QVERIFY(open.run(QStringLiteral("INSERT INTO bmb  (status,xm,zj,lx1,dtime,sh,fk) values "
                                            "(%1,'学生%2','ID%3','13%2','2013年5月6日',1,1)")
                                 .arg(n % 10 == 0 ? 0 : 1)
                                 .arg(n % 120)
                                 .arg(n % 70)));
        QVector<Registration> asked;
        for (int n = 0; n <= 260; ++n) {
            // Some by id number (in either case), some by name and phone,
            // some by nothing at all.
            switch (n % 4) {
            case 0: asked << applicant("", qPrintable(QStringLiteral("id%1").arg(n % 90)), ""); break;
            case 1: asked << applicant(qPrintable(QStringLiteral("学生%1").arg(n % 130)), "", qPrintable(QStringLiteral("13%1").arg(n % 130))); break;
            case 2: asked << applicant(qPrintable(QStringLiteral("学生%1").arg(n)), "", ""); break;
            default: asked << applicant(qPrintable(QStringLiteral("学生%1").arg(n % 130)), qPrintable(QStringLiteral("ID%1").arg(n)), "x"); break;
            }
        }
        QVector<std::optional<LikelyDuplicate>> found;
        QVERIFY(findLikelyDuplicates(open.state, wholeForm, asked, found));
        QCOMPARE(found.size(), asked.size());
        int duplicates = 0;
        for (int r = 0; r < asked.size(); ++r) {
            const auto alone = findLikelyDuplicate(open.state, wholeForm, asked.at(r), 0);
            QCOMPARE(found.at(r).has_value(), alone.has_value());
            if (alone) {
                ++duplicates;
                QCOMPARE(found.at(r)->id, alone->id);
                QCOMPARE(found.at(r)->name, alone->name);
                QCOMPARE(found.at(r)->time, alone->time);
            }
        }
        QVERIFY(duplicates > 100);
        QVERIFY(duplicates < asked.size() - 60);
        QCOMPARE(open.reporter.messages, QStringList());
    }

    void keysMatchWhatTheLookupMatches()
    {
        const QStringList first = duplicateKeys(wholeForm, applicant("王小明", " abc ", "138"));
        const QStringList second = duplicateKeys(wholeForm, applicant("王小红", "ABC", ""));
        const QStringList third = duplicateKeys(wholeForm, applicant("王小明", "", "138"));
        QCOMPARE(first.size(), 2);
        QVERIFY(second.contains(first.at(0)));
        QVERIFY(third.contains(first.at(1)));
        QVERIFY(duplicateKeys(wholeForm, applicant("王小明", "", "")).isEmpty());
    }
};

BRENVO_TEST(DuplicatesTest)
#include "test_duplicates.moc"
