#include "SimpleMultiDimData.h"
#include "ProgramDiagnostics.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

QList<Dimension> counts(std::initializer_list<int> list)
{
    QList<Dimension> dimensions;
    for (int count : list)
        dimensions.append(Dimension{count, QStringLiteral("axis"), 0.0, 1.0});
    return dimensions;
}

QList<double> range(int n)
{
    QList<double> values;
    for (int i = 0; i < n; ++i)
        values.append(i);
    return values;
}

} // namespace

class TestSampleStore : public QObject
{
    Q_OBJECT
private slots:
    void startsEmpty();
    void dataKindFollowsTheDimensionCount();
    void appendKeepsTheNewestValues();
    void appendNeedsExactlyOneDimension();
    void setDimensionsResizesAndSignalsOnlyOnChange();
    void dimensionsCompareWhole();
    void storageOrderHasTheFirstAxisFastest();
    void extractSubGrids();
    void positionsOutsideTheGridReadNaNAndWriteNothing();
    void setValuesNeedsTheExactSize();
    void setValueReportsNaN();
    void resetAndClear();
    void hugeOrNegativeGridsAreRefused();
};

void TestSampleStore::startsEmpty()
{
    SimpleMultiDimData store;
    QVERIFY(store.dirty());
    QVERIFY(!store.dataComplete());
    QCOMPARE(store.maxValueCount(), 200);
    QCOMPARE(store.totalSize(), 0);
    QVERIFY(store.values().isEmpty());
    QVERIFY(store.extract({}).isEmpty());
}

void TestSampleStore::dataKindFollowsTheDimensionCount()
{
    SimpleMultiDimData store;
    QCOMPARE(store.dataKind(), 0);
    store.setDimensions(counts({3}));
    QCOMPARE(store.dataKind(), 2);
    store.setDimensions(counts({3, 2}));
    QCOMPARE(store.dataKind(), 4);
    store.setDimensions(counts({3, 2, 2}));
    QCOMPARE(store.dataKind(), 8);
    store.setDimensions(counts({1, 1, 1, 1}));
    QCOMPARE(store.dataKind(), 8);
}

void TestSampleStore::appendKeepsTheNewestValues()
{
    SimpleMultiDimData store;
    store.setDimensions(counts({0}));
    store.setDirty(false);
    QSignalSpy changedSpy(&store, &SimpleMultiDimData::changed);
    for (int i = 0; i < 201; ++i)
        QVERIFY(store.appendValue(i));
    QCOMPARE(store.values().size(), 200);
    QCOMPARE(store.values().first(), 1.0);
    QCOMPARE(store.values().last(), 200.0);
    QCOMPARE(store.dimensions().first().count, 200);
    QVERIFY(store.dirty());
    // Once per append, plus once for the trim of the 201st.
    QCOMPARE(changedSpy.count(), 202);

    store.setMaxValueCount(-3);
    QCOMPARE(store.maxValueCount(), 200);
    store.setMaxValueCount(5);
    QCOMPARE(store.values().size(), 200); // trimmed by the next append only
    store.appendValue(1000);
    QCOMPARE(store.values(), QList<double>({197, 198, 199, 200, 1000}));
    QCOMPARE(store.dimensions().first().count, 5);
}

void TestSampleStore::appendNeedsExactlyOneDimension()
{
    SimpleMultiDimData store;
    QVERIFY(!store.appendValue(1));
    store.setDimensions(counts({2, 2}));
    QSignalSpy changedSpy(&store, &SimpleMultiDimData::changed);
    QVERIFY(!store.appendValue(1));
    QCOMPARE(store.values().size(), 4);
    QCOMPARE(changedSpy.count(), 0);
}

void TestSampleStore::setDimensionsResizesAndSignalsOnlyOnChange()
{
    SimpleMultiDimData store;
    store.setDimensions(counts({3}));
    store.setValues({1, 2, 3});
    QSignalSpy dimensionsSpy(&store, &SimpleMultiDimData::dimensionsChanged);
    QSignalSpy changedSpy(&store, &SimpleMultiDimData::changed);

    store.setDimensions(counts({2, 2}));
    QCOMPARE(store.values().size(), 4);
    QCOMPARE(store.values().mid(0, 3), QList<double>({1, 2, 3}));
    QVERIFY(std::isnan(store.values().at(3)));
    QCOMPARE(dimensionsSpy.count(), 1);
    QCOMPARE(changedSpy.count(), 1);

    store.setDimensions(counts({2, 2}));
    QCOMPARE(dimensionsSpy.count(), 1);
    QCOMPARE(changedSpy.count(), 1);

    store.setDimensions(counts({1}));
    QCOMPARE(store.values(), QList<double>({1}));
}

void TestSampleStore::dimensionsCompareWhole()
{
    const Dimension a{3, QStringLiteral("x"), 0.0, 1.0};
    QVERIFY(a == (Dimension{3, QStringLiteral("x"), 0.0, 1.0}));
    QVERIFY(a != (Dimension{4, QStringLiteral("x"), 0.0, 1.0}));
    QVERIFY(a != (Dimension{3, QStringLiteral("y"), 0.0, 1.0}));
    QVERIFY(a != (Dimension{3, QStringLiteral("x"), 0.5, 1.0}));
    QVERIFY(a != (Dimension{3, QStringLiteral("x"), 0.0, 2.0}));

    // A new label alone is a new grid.
    SimpleMultiDimData store;
    store.setDimensions({a});
    QSignalSpy dimensionsSpy(&store, &SimpleMultiDimData::dimensionsChanged);
    store.setDimensions({Dimension{3, QStringLiteral("renamed"), 0.0, 1.0}});
    QCOMPARE(dimensionsSpy.count(), 1);
}

void TestSampleStore::storageOrderHasTheFirstAxisFastest()
{
    SimpleMultiDimData store;
    store.setDimensions(counts({3, 2}));
    store.setValues(range(6));
    QCOMPARE(store.offsetOf({2, 1}), 5);
    QCOMPARE(store.offsetOf({1, 1}), 4);
    QCOMPARE(store.offsetOf({2}), 2);
    QCOMPARE(store.value({0, 1}), 3.0);

    store.setValue({1, 0}, 42);
    QCOMPARE(store.values().at(1), 42.0);

    SimpleMultiDimData cube;
    cube.setDimensions(counts({2, 3, 4}));
    QCOMPARE(cube.offsetOf({1, 2, 3}), 1 + 2 * 2 + 6 * 3);
}

void TestSampleStore::extractSubGrids()
{
    SimpleMultiDimData store;
    store.setDimensions(counts({3, 2}));
    store.setValues(range(6));
    QCOMPARE(store.extract({-1, 1}), QList<double>({3, 4, 5}));
    QCOMPARE(store.extract({1, -1}), QList<double>({1, 4}));
    QCOMPARE(store.extract({-1, -1}), range(6));
    QCOMPARE(store.extract({2, 1}), QList<double>({5}));
    // A short selection is padded with free axes.
    QCOMPARE(store.extract({}), range(6));
    QCOMPARE(store.extract({0}), QList<double>({0, 3}));
    // A selection longer than the grid selects nothing.
    QVERIFY(store.extract({-1, -1, -1}).isEmpty());

    SimpleMultiDimData cube;
    cube.setDimensions(counts({2, 2, 2}));
    cube.setValues(range(8));
    QCOMPARE(cube.extract({-1, 1, -1}), QList<double>({2, 3, 6, 7}));
}

void TestSampleStore::positionsOutsideTheGridReadNaNAndWriteNothing()
{
    SimpleMultiDimData store;
    store.setDimensions(counts({3, 2}));
    store.setValues(range(6));

    const QList<QList<int>> outside = {{3, 0}, {-1, 0}, {0, 2}, {0, -1}, {0, 0, 0}, {-7, 1}};
    for (const QList<int> &position : outside) {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^GET invalid for \\(")));
        QCOMPARE(store.offsetOf(position), -1);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^GET invalid for")));
        QVERIFY(std::isnan(store.value(position)));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^GET invalid for")));
        store.setValue(position, 99);
    }
    QCOMPARE(store.values(), range(6));

    QTest::ignoreMessage(QtDebugMsg, "GET invalid for (0, 3) offset: -1 data size: 6");
    store.offsetOf({0, 3});

    // An extraction that fixes an axis past its end reads NaN.
    for (int i = 0; i < 3; ++i)
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^GET invalid for")));
    const QList<double> beyond = store.extract({-1, 5});
    QCOMPARE(beyond.size(), 3);
    for (double v : beyond)
        QVERIFY(std::isnan(v));
}

void TestSampleStore::setValuesNeedsTheExactSize()
{
    SimpleMultiDimData store;
    store.setDimensions(counts({2, 2}));
    store.setValues(range(4));
    QSignalSpy changedSpy(&store, &SimpleMultiDimData::changed);
    QTest::ignoreMessage(QtDebugMsg, "Invalid data size. Required: 4  provided: 3");
    store.setValues(range(3));
    QCOMPARE(store.values(), range(4));
    QCOMPARE(changedSpy.count(), 0);
}

void TestSampleStore::setValueReportsNaN()
{
    SimpleMultiDimData store;
    store.setDimensions(counts({2}));
    QSignalSpy nanSpy(&store, &SimpleMultiDimData::reportNaN);
    store.setValue({0}, 1.0);
    QCOMPARE(nanSpy.count(), 0);
    store.setValue({1}, std::numeric_limits<double>::quiet_NaN());
    QCOMPARE(nanSpy.count(), 1);
    QVERIFY(std::isnan(store.value({1})));
}

void TestSampleStore::resetAndClear()
{
    SimpleMultiDimData store;
    store.setDimensions(counts({2, 2}));
    store.setValues(range(4));
    store.setDataComplete(true);

    store.resetValues();
    QCOMPARE(store.values().size(), 4);
    for (double v : store.values())
        QVERIFY(std::isnan(v));
    QVERIFY(!store.dataComplete());
    QCOMPARE(store.dimensions().size(), 2);

    store.setDataComplete(true);
    QSignalSpy dimensionsSpy(&store, &SimpleMultiDimData::dimensionsChanged);
    store.clear();
    QVERIFY(store.dimensions().isEmpty());
    QVERIFY(store.values().isEmpty());
    QVERIFY(!store.dataComplete());
    QCOMPARE(dimensionsSpy.count(), 1);
}

void TestSampleStore::hugeOrNegativeGridsAreRefused()
{
    SimpleMultiDimData store;
    store.setDimensions(counts({2}));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Refusing dimensions")));
    store.setDimensions(counts({100000, 100000, 100000}));
    QCOMPARE(store.dimensions().size(), 1);
    QCOMPARE(store.values().size(), 2);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Refusing dimensions")));
    store.setDimensions(counts({4, -2}));
    QCOMPARE(store.dimensions().size(), 1);

    // A zero count is an empty grid, not an error.
    store.setDimensions(counts({0, 100000000}));
    QCOMPARE(store.totalSize(), 0);
    QVERIFY(store.values().isEmpty());
}

QTEST_GUILESS_MAIN(TestSampleStore)
#include "tst_sample_store.moc"
