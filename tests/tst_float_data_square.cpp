#include "VRKFloatDataSquare.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

class TestFloatDataSquare : public QObject
{
    Q_OBJECT
private slots:
    void startsKnownAtZero();
    void tinyMovesAreIgnored();
    void sizeChangesRemoveChildren();
    void changesPropagateToTheRoot();
    void splitHandsDownSharedValues();
    void requestValuesAsksOnlyForUnknownPoints();
    void unansweredPointsLeaveTheSquareIncomplete();
    void childrenAreRequestedAfterTheParent();
    void setValueIgnoresRepeats();
    void hostileInputIsHarmless();
};

void TestFloatDataSquare::startsKnownAtZero()
{
    VRKFloatDataSquare square;
    QVERIFY(square.isChanged());
    QCOMPARE(square.width(), -1.0);
    QCOMPARE(square.height(), -1.0);
    for (int i = 0; i < VRKFloatDataSquare::pointCount; ++i) {
        QVERIFY(square.isKnown(i));
        QCOMPARE(square.value(i), 0.0);
    }
    QSignalSpy needSpy(&square, qOverload<qreal, qreal, qreal &, bool &>(&VRKFloatDataSquare::valueNeeded));
    square.requestValues();
    QCOMPARE(needSpy.count(), 0);
}

void TestFloatDataSquare::tinyMovesAreIgnored()
{
    VRKFloatDataSquare square;
    square.setGeometry(0, 0, 2, 2);
    square.split();
    square.setChanged(false);
    QSignalSpy changedSpy(&square, &VRKFloatDataSquare::changed);

    square.setCenter(1e-13, 0);
    square.setSize(2 + 1e-13, 2);
    square.setGeometry(-1e-13, 1e-13, 2, 2 - 1e-12);
    QCOMPARE(changedSpy.count(), 0);
    QVERIFY(square.child(0));
    QCOMPARE(square.centerX(), 0.0);

    square.setCenter(1e-11, 0);
    QVERIFY(!square.child(0));
    QCOMPARE(square.centerX(), 1e-11);
    QVERIFY(changedSpy.count() >= 1);
}

void TestFloatDataSquare::sizeChangesRemoveChildren()
{
    VRKFloatDataSquare square;
    square.setGeometry(0, 0, 2, 2);
    square.split();
    QPointer<VRKFloatDataSquare> child = square.child(2);
    square.setSize(2.001, 2);
    QVERIFY(child.isNull());
    QVERIFY(!square.child(2));
    QCOMPARE(square.width(), 2.001);
}

void TestFloatDataSquare::changesPropagateToTheRoot()
{
    VRKFloatDataSquare root;
    root.setGeometry(0, 0, 4, 4);
    root.split();
    VRKFloatDataSquare *child = root.child(1);
    child->split();
    VRKFloatDataSquare *grandChild = child->child(3);
    root.setChanged(false);
    child->setChanged(false);
    grandChild->setChanged(false);

    QStringList order;
    connect(grandChild, &VRKFloatDataSquare::changed, [&order] { order << QStringLiteral("grandchild"); });
    connect(child, &VRKFloatDataSquare::changed, [&order] { order << QStringLiteral("child"); });
    connect(&root, &VRKFloatDataSquare::changed, [&order] { order << QStringLiteral("root"); });
    grandChild->setValue(0, 5);
    QCOMPARE(order, QStringList({"grandchild", "child", "root"}));
    QVERIFY(root.isChanged() && child->isChanged() && grandChild->isChanged());

    // Resetting the flag is local and silent.
    order.clear();
    child->setChanged(false);
    QVERIFY(order.isEmpty());
    QVERIFY(root.isChanged());
}

void TestFloatDataSquare::splitHandsDownSharedValues()
{
    VRKFloatDataSquare square;
    square.setGeometry(10, 20, 4, 8);
    square.setValues(1, 2, 3, 4, 5);
    square.split();
    const double centers[4][2] = {{9, 18}, {11, 18}, {9, 22}, {11, 22}};
    for (int i = 0; i < VRKFloatDataSquare::childCount; ++i) {
        VRKFloatDataSquare *child = square.child(i);
        QVERIFY(child);
        QCOMPARE(child->parentSquare(), &square);
        QCOMPARE(child->centerX(), centers[i][0]);
        QCOMPARE(child->centerY(), centers[i][1]);
        QCOMPARE(child->width(), 2.0);
        QCOMPARE(child->height(), 4.0);
        // Child i keeps the parent's corner i; the parent's centre is its opposite corner.
        QCOMPARE(child->value(i), square.value(i));
        QVERIFY(child->isKnown(i));
        QCOMPARE(child->value(3 - i), 5.0);
        QVERIFY(child->isKnown(3 - i));
    }
    QCOMPARE(square.child(3)->value(0), 5.0);
    QCOMPARE(square.child(3)->pointX(0), 10.0);
    QCOMPARE(square.child(3)->pointY(0), 20.0);

    square.removeChild(1);
    QVERIFY(!square.child(1));
    QVERIFY(square.child(0));
}

void TestFloatDataSquare::requestValuesAsksOnlyForUnknownPoints()
{
    VRKFloatDataSquare square;
    square.setGeometry(0, 0, 2, 2);
    square.markAllUnknown();
    QList<QPointF> asked;
    connect(&square, qOverload<qreal, qreal, qreal &, bool &>(&VRKFloatDataSquare::valueNeeded),
            [&asked](qreal x, qreal y, qreal &value, bool &ok) {
                asked << QPointF(x, y);
                value = x * 10 + y;
                ok = true;
            });
    QSignalSpy completeSpy(&square, &VRKFloatDataSquare::squareComplete);
    square.requestValues();
    QCOMPARE(asked, QList<QPointF>({{-1, -1}, {1, -1}, {-1, 1}, {1, 1}, {0, 0}}));
    QCOMPARE(square.value(1), 9.0);
    QCOMPARE(square.value(2), -9.0);
    QCOMPARE(completeSpy.count(), 1);

    // Nothing left to ask: no request, no second completion.
    asked.clear();
    square.requestValues();
    QVERIFY(asked.isEmpty());
    QCOMPARE(completeSpy.count(), 1);

    square.markUnknown(4);
    square.requestValues();
    QCOMPARE(asked, QList<QPointF>({{0, 0}}));
    QCOMPARE(completeSpy.count(), 2);
}

void TestFloatDataSquare::unansweredPointsLeaveTheSquareIncomplete()
{
    VRKFloatDataSquare square;
    square.setGeometry(0, 0, 2, 2);
    square.markAllUnknown();
    connect(&square, qOverload<qreal, qreal, qreal &, bool &>(&VRKFloatDataSquare::valueNeeded),
            [](qreal x, qreal, qreal &value, bool &ok) {
                value = 1;
                ok = x > 0; // only the right-hand points can be answered
            });
    QSignalSpy completeSpy(&square, &VRKFloatDataSquare::squareComplete);
    square.requestValues();
    QCOMPARE(completeSpy.count(), 0);
    QVERIFY(square.isKnown(1) && square.isKnown(3));
    QVERIFY(!square.isKnown(0) && !square.isKnown(2) && !square.isKnown(4));
}

void TestFloatDataSquare::childrenAreRequestedAfterTheParent()
{
    VRKFloatDataSquare square;
    square.setGeometry(0, 0, 4, 4);
    square.setValues(1, 2, 3, 4, 5);
    square.split();
    int asked = 0;
    for (int i = 0; i < VRKFloatDataSquare::childCount; ++i) {
        connect(square.child(i), qOverload<qreal, qreal, qreal &, bool &>(&VRKFloatDataSquare::valueNeeded),
                [&asked](qreal, qreal, qreal &value, bool &ok) {
                    ++asked;
                    value = 7;
                    ok = true;
                });
    }
    square.requestValues();
    // Each child already holds two of its five points.
    QCOMPARE(asked, 4 * 3);
    // Answers land without touching the parent's other children.
    for (int i = 0; i < VRKFloatDataSquare::childCount; ++i)
        QVERIFY(square.child(i));
}

void TestFloatDataSquare::setValueIgnoresRepeats()
{
    VRKFloatDataSquare square;
    square.setGeometry(0, 0, 2, 2);
    square.split();
    square.setChanged(false);
    QSignalSpy changedSpy(&square, &VRKFloatDataSquare::changed);
    square.setValue(2, 0.0); // known and equal
    QCOMPARE(changedSpy.count(), 0);
    QVERIFY(square.child(0));
    square.setValue(2, 0.5);
    QVERIFY(!square.child(0));
    QVERIFY(changedSpy.count() >= 1);
}

void TestFloatDataSquare::hostileInputIsHarmless()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    VRKFloatDataSquare square;
    square.setValue(-1, 3);
    square.setValue(5, 3);
    square.markUnknown(99);
    QVERIFY(std::isnan(square.value(7)));
    QVERIFY(!square.isKnown(-2));
    QVERIFY(!square.child(4));
    square.removeChild(-1);
    square.removeChild(4);

    square.setGeometry(nan, nan, nan, nan);
    square.split();
    square.split(); // splitting again replaces the children
    QVERIFY(square.child(0));
    square.setGeometry(1e308, -1e308, 1e308, 1e308);
    square.split();
    QVERIFY(std::isfinite(square.child(3)->centerX()));
}

QTEST_GUILESS_MAIN(TestFloatDataSquare)
#include "tst_float_data_square.moc"
