#include "catalogue/deadlinebox.h"
#include "support/testsupport.h"

#include <QToolButton>
#include <QtTest>

namespace {

// The box's text read back as a moment, to compare with the clock.
qint64 secondsFromNow(const QString& text)
{
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss")).secsTo(QDateTime::currentDateTime());
}

} // namespace

class DeadlineTest : public QObject {
    Q_OBJECT
private slots:
    void caretPositionsChooseTheirSegment()
    {
        const QVector<QPair<int, TextSpan>> cases = {
            {0, {0, 4}},  {4, {0, 4}},   {5, {5, 2}},   {7, {5, 2}},   {8, {8, 2}},   {10, {8, 2}},
            {11, {11, 2}}, {13, {11, 2}}, {14, {14, 2}}, {16, {14, 2}}, {17, {17, 2}}, {19, {17, 2}},
        };
        for (const auto& [position, expected] : cases) {
            const TextSpan segment = deadlineSegmentAt(position);
            QVERIFY2(segment.start == expected.start && segment.length == expected.length, qPrintable(QString::number(position)));
        }
    }

    void steppingWrapsEachSegment_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("expected");
        // The day is not corrected when the month changes.
        QTest::newRow("month up from December") << "2013-12-31 10:00:00" << 5 << 1 << "2013-01-31 10:00:00";
        QTest::newRow("month down from January") << "2013-01-15 10:00:00" << 6 << -1 << "2013-12-15 10:00:00";
        QTest::newRow("day down from the first of March") << "2012-03-01 00:00:00" << 8 << -1 << "2012-03-31 00:00:00";
        QTest::newRow("day down from the first of April") << "2013-04-01 00:00:00" << 9 << -1 << "2013-04-30 00:00:00";
        QTest::newRow("day up past a leap February") << "2012-02-29 00:00:00" << 8 << 1 << "2012-02-01 00:00:00";
        QTest::newRow("day up to a leap day") << "2000-02-28 00:00:00" << 8 << 1 << "2000-02-29 00:00:00";
        QTest::newRow("day up in a century without leap day") << "1900-02-28 00:00:00" << 10 << 1 << "1900-02-01 00:00:00";
        QTest::newRow("year up") << "2013-05-06 07:08:09" << 2 << 1 << "2014-05-06 07:08:09";
        QTest::newRow("year down stops at 1977") << "1977-05-06 07:08:09" << 0 << -1 << "1977-05-06 07:08:09";
        QTest::newRow("a typed earlier year comes up to 1977") << "1950-05-06 07:08:09" << 4 << 1 << "1977-05-06 07:08:09";
        QTest::newRow("hour down from midnight") << "2013-05-06 00:08:09" << 11 << -1 << "2013-05-06 23:08:09";
        QTest::newRow("hour up from 23") << "2013-05-06 23:08:09" << 13 << 1 << "2013-05-06 00:08:09";
        QTest::newRow("minute up from 59") << "2013-05-06 07:59:09" << 14 << 1 << "2013-05-06 07:00:09";
        QTest::newRow("second down from 0") << "2013-05-06 07:08:00" << 18 << -1 << "2013-05-06 07:08:59";
        QTest::newRow("second up stays padded") << "2013-05-06 07:08:08" << 17 << 1 << "2013-05-06 07:08:09";
    }

    void steppingWrapsEachSegment()
    {
        QFETCH(QString, text);
        QFETCH(int, position);
        QFETCH(int, step);
        QFETCH(QString, expected);
        QCOMPARE(steppedDeadline(text, position, step), expected);
    }

    void theAdjusterStepsTheSelectionAndKeepsIt()
    {
        DeadlineBox box;
        box.resize(150, 22);
        box.setDeadlineBox(QDateTime(QDate(2013, 12, 31), QTime(10, 0, 0)));
        QCOMPARE(box.text(), QStringLiteral("2013-12-31 10:00:00"));

        // With nothing selected the first press changes the day.
        box.deselect();
        box.upButton()->click();
        QCOMPARE(box.text(), QStringLiteral("2013-12-01 10:00:00"));
        QCOMPARE(box.selectionStart(), 8);
        QCOMPARE(box.selectedText(), QStringLiteral("01"));

        box.setCursorPosition(6);
        box.selectDeadlineSegment();
        QCOMPARE(box.selectedText(), QStringLiteral("12"));
        box.upButton()->click();
        box.upButton()->click();
        QCOMPARE(box.text(), QStringLiteral("2013-02-01 10:00:00"));
        QCOMPARE(box.selectedText(), QStringLiteral("02"));

        box.setCursorPosition(12);
        box.selectDeadlineSegment();
        box.downButton()->click();
        QCOMPARE(box.text(), QStringLiteral("2013-02-01 09:00:00"));
        QCOMPARE(box.selectionStart(), 11);
    }

    void theMouseChoosesSegmentsAndADoubleClickSetsNow()
    {
        DeadlineBox box;
        box.resize(150, 22);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setDeadlineBox(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(3, box.height() / 2));
        QCOMPARE(box.selectionStart(), 0);
        QCOMPARE(box.selectedText(), QStringLiteral("2001"));

        QTest::mouseDClick(&box, Qt::LeftButton, {}, QPoint(3, box.height() / 2));
        QVERIFY(holdsDeadlineLayout(box.text()));
        QVERIFY(qAbs(secondsFromNow(box.text())) < 5);
    }

    void aBoxWithoutTheLayoutGetsTheCurrentMoment()
    {
        DeadlineBox box;
        for (const char* text : {"", "next week", "2013-5-6 07:08:09", "2013年5月6日", "２０１３-05-06 07:08:09"}) {
            box.setText(QString::fromUtf8(text));
            box.stepDeadlineSegment(-1);
            QVERIFY2(qAbs(secondsFromNow(box.text())) < 5, text);
        }
        box.setDeadlineBox();
        QVERIFY(qAbs(secondsFromNow(box.text())) < 5);
    }
};

BRENVO_TEST(DeadlineTest)
#include "test_deadline.moc"
