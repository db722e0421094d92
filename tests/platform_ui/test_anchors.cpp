#include "platform/anchors.h"
#include "support/testsupport.h"

#include <QWidget>
#include <QtTest>

Q_DECLARE_METATYPE(AnchorFlags)

class AnchorTest : public QObject {
    Q_OBJECT
private slots:
    // A control at (10, 20) sized 100 × 50 in a 400 × 300 container keeps
    // 290 to the right and 230 to the bottom; the container becomes 500 × 360.
    void anchoredGeometryFollowsEachFlagCombination_data()
    {
        QTest::addColumn<AnchorFlags>("flags");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("left top") << AnchorFlags{true, true, false, false} << QRect(10, 20, 100, 50);
        QTest::newRow("left right") << AnchorFlags{true, true, true, false} << QRect(10, 20, 200, 50);
        QTest::newRow("right only") << AnchorFlags{false, true, true, false} << QRect(110, 20, 100, 50);
        QTest::newRow("top bottom") << AnchorFlags{true, true, false, true} << QRect(10, 20, 100, 110);
        QTest::newRow("bottom only") << AnchorFlags{true, false, false, true} << QRect(10, 80, 100, 50);
        QTest::newRow("no top, no bottom") << AnchorFlags{true, false, false, false} << QRect(10, 80, 100, 50);
        QTest::newRow("all four") << AnchorFlags{true, true, true, true} << QRect(10, 20, 200, 110);
        QTest::newRow("right and bottom") << AnchorFlags{false, false, true, true} << QRect(110, 80, 100, 50);
        QTest::newRow("none") << AnchorFlags{false, false, false, false} << QRect(10, 80, 100, 50);
    }

    void anchoredGeometryFollowsEachFlagCombination()
    {
        QFETCH(AnchorFlags, flags);
        QFETCH(QRect, expected);
        const QRect placed(10, 20, 100, 50);
        const AnchorRecord record = makeAnchorRecord(placed, 400, 300, flags);
        QCOMPARE(record.right, 290);
        QCOMPARE(record.bottom, 230);
        QCOMPARE(anchoredGeometry(record, placed, 500, 360), expected);
    }

    void containerResizeMovesRegisteredControlsOnly()
    {
        QWidget container;
        container.setGeometry(0, 0, 400, 300);
        auto* stretched = new QWidget(&container);
        stretched->setGeometry(10, 10, 380, 200);
        auto* bottomButton = new QWidget(&container);
        bottomButton->setGeometry(300, 260, 90, 30);
        auto* unregistered = new QWidget(&container);
        unregistered->setGeometry(5, 5, 20, 20);

        AnchorLayout anchors;
        anchors.anchor(stretched, {true, true, true, true});
        anchors.anchor(bottomButton, {false, false, true, true});
        container.show();
        container.resize(600, 500);
        QCoreApplication::processEvents();

        QCOMPARE(stretched->geometry(), QRect(10, 10, 580, 400));
        QCOMPARE(bottomButton->geometry(), QRect(500, 460, 90, 30));
        QCOMPARE(unregistered->geometry(), QRect(5, 5, 20, 20));
    }

    // The form deletes its controls on every rebuild; a resize afterwards
    // must skip them (run under the sanitizer build to see a use after free).
    void deletedControlsAreForgotten()
    {
        QWidget container;
        container.setGeometry(0, 0, 400, 300);
        auto* kept = new QWidget(&container);
        kept->setGeometry(10, 10, 100, 20);
        auto* rebuilt = new QWidget(&container);
        rebuilt->setGeometry(10, 40, 100, 20);

        AnchorLayout anchors;
        anchors.anchor(kept, {true, true, true, false});
        anchors.anchor(rebuilt, {true, true, true, false});
        container.show();
        delete rebuilt;
        container.resize(500, 300);
        QCoreApplication::processEvents();
        QCOMPARE(kept->width(), 200);

        // A container deleted and another anchored later.
        auto* inner = new QWidget(&container);
        inner->setGeometry(0, 100, 200, 100);
        anchors.anchor(new QWidget(inner), {true, true, true, true});
        delete inner;
        auto* second = new QWidget(&container);
        second->setGeometry(0, 100, 200, 100);
        auto* child = new QWidget(second);
        child->setGeometry(5, 5, 190, 90);
        anchors.anchor(child, {true, true, true, true});
        second->show();
        second->resize(300, 100);
        QCoreApplication::processEvents();
        QCOMPARE(child->width(), 290);
    }
};

BRENVO_TEST(AnchorTest)
#include "test_anchors.moc"
