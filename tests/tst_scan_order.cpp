#include "GridScanOrder.h"
#include "StandInCells.h"

#include <QList>
#include <QSet>
#include <QTest>

#include <cmath>

namespace {

struct Visit
{
    QList<int> indices;
    qsizetype offset;
    int stride;
    bool passEnded;
    bool cornersDone;
};

QList<Visit> visitsOf(const QList<int> &counts)
{
    GridScanOrder order(counts);
    QList<Visit> visits;
    while (order.next())
        visits << Visit{order.indices(), order.offset(), order.stride(), order.passEnded(), order.cornersDone()};
    return visits;
}

qsizetype totalOf(const QList<int> &counts)
{
    qsizetype total = 1;
    for (int count : counts)
        total *= count;
    return total;
}

qsizetype offsetOf(const QList<int> &indices, const QList<int> &counts)
{
    qsizetype offset = 0;
    for (qsizetype axis = counts.size() - 1; axis >= 0; --axis)
        offset = offset * counts[axis] + indices[axis];
    return offset;
}

QList<int> indicesOf(qsizetype offset, const QList<int> &counts)
{
    QList<int> indices;
    for (int count : counts) {
        indices << int(offset % count);
        offset /= count;
    }
    return indices;
}

bool onLattice(int index, qint64 stride, int last)
{
    return index % stride == 0 || index == last;
}

// The nearest lattice point by looking at every one, the lower winning a tie.
qsizetype nearestLatticePoint(qsizetype cell, int stride, const QList<int> &counts)
{
    QList<int> nearest = indicesOf(cell, counts);
    for (qsizetype axis = 0; axis < counts.size(); ++axis) {
        const int index = nearest[axis];
        const int last = counts[axis] - 1;
        int best = 0;
        for (int candidate = 0; candidate <= last; ++candidate)
            if (onLattice(candidate, stride, last) && std::abs(candidate - index) < std::abs(best - index))
                best = candidate;
        nearest[axis] = best;
    }
    return offsetOf(nearest, counts);
}

// The value the simulated scan reads at a point: one of its own, never NaN.
double sampleAt(qsizetype offset)
{
    return double(offset) + 0.5;
}

void addShapes()
{
    QTest::addColumn<QList<int>>("counts");
    QTest::newRow("1") << QList<int>{1};
    QTest::newRow("10") << QList<int>{10};
    QTest::newRow("17") << QList<int>{17};
    QTest::newRow("1 x 1") << QList<int>{1, 1};
    QTest::newRow("1 x 9") << QList<int>{1, 9};
    QTest::newRow("9 x 1") << QList<int>{9, 1};
    QTest::newRow("2 x 2") << QList<int>{2, 2};
    QTest::newRow("3 x 5") << QList<int>{3, 5};
    QTest::newRow("2 x 40") << QList<int>{2, 40};
    QTest::newRow("13 x 9") << QList<int>{13, 9};
    QTest::newRow("101 x 101") << QList<int>{101, 101};
    QTest::newRow("7 x 6 x 5") << QList<int>{7, 6, 5};
    QTest::newRow("1 x 4 x 1") << QList<int>{1, 4, 1};
    QTest::newRow("3 x 2 x 4 x 3") << QList<int>{3, 2, 4, 3};
}

} // namespace

class TestScanOrder : public QObject
{
    Q_OBJECT
private slots:
    void everyPointComesOnce_data() { addShapes(); }
    void everyPointComesOnce();
    void passesGoFromCoarseToFine_data() { addShapes(); }
    void passesGoFromCoarseToFine();
    void oneAxisKeepsItsOrder();
    void standInsKeepAWholePicture_data() { addShapes(); }
    void standInsKeepAWholePicture();
    void standInsReuseOneBuffer();
};

void TestScanOrder::everyPointComesOnce()
{
    QFETCH(QList<int>, counts);
    const QList<Visit> visits = visitsOf(counts);
    QCOMPARE(visits.size(), totalOf(counts));
    QSet<qsizetype> seen;
    for (const Visit &visit : visits) {
        QCOMPARE(visit.indices.size(), counts.size());
        for (qsizetype axis = 0; axis < counts.size(); ++axis)
            QVERIFY(visit.indices[axis] >= 0 && visit.indices[axis] < counts[axis]);
        // The offset is the store's: the first axis runs fastest.
        QCOMPARE(visit.offset, offsetOf(visit.indices, counts));
        seen.insert(visit.offset);
    }
    QCOMPARE(seen.size(), totalOf(counts));
}

void TestScanOrder::passesGoFromCoarseToFine()
{
    QFETCH(QList<int>, counts);
    const QList<Visit> visits = visitsOf(counts);
    const auto isCorner = [&counts](const Visit &visit) {
        for (qsizetype axis = 0; axis < counts.size(); ++axis)
            if (visit.indices[axis] != 0 && visit.indices[axis] != counts[axis] - 1)
                return false;
        return true;
    };
    qsizetype corners = 1;
    for (int count : counts)
        corners *= count > 1 ? 2 : 1;

    // The corners first, all of them, as one pass whose stride is beyond every axis.
    for (qsizetype i = 0; i < corners; ++i) {
        QVERIFY(isCorner(visits[i]));
        QCOMPARE(visits[i].stride, visits[0].stride);
        QCOMPARE(visits[i].passEnded, i == corners - 1);
        QCOMPARE(visits[i].cornersDone, i == corners - 1);
    }
    for (int count : counts)
        QVERIFY(visits[0].stride > count - 1);

    // Then each pass at half the stride of one before, holding the points new
    // to its lattice; a pass ends where the stride changes.
    for (qsizetype i = corners; i < visits.size(); ++i) {
        const Visit &visit = visits[i];
        QVERIFY(visit.cornersDone);
        QVERIFY(visit.stride < visits[i - 1].stride || !visits[i - 1].passEnded);
        QVERIFY(visit.stride <= visits[i - 1].stride);
        QCOMPARE(visit.stride & (visit.stride - 1), 0);
        QCOMPARE(visit.passEnded, i + 1 == visits.size() || visits[i + 1].stride != visit.stride);
        bool onCoarser = true;
        for (qsizetype axis = 0; axis < counts.size(); ++axis) {
            QVERIFY(onLattice(visit.indices[axis], visit.stride, counts[axis] - 1));
            onCoarser = onCoarser && onLattice(visit.indices[axis], 2 * qint64(visit.stride), counts[axis] - 1);
        }
        QVERIFY(!onCoarser);
    }
    QVERIFY(visits.last().passEnded);
    QCOMPARE(visits.last().stride, totalOf(counts) > corners ? 1 : visits[0].stride);
}

void TestScanOrder::oneAxisKeepsItsOrder()
{
    const auto orderOf = [](const QList<int> &counts) {
        QList<qsizetype> points;
        for (const Visit &visit : visitsOf(counts))
            points << visit.offset;
        return points;
    };
    // The two ends, then each pass fills the midpoints of the one before, in
    // alternating directions.
    QCOMPARE(orderOf({10}), QList<qsizetype>({0, 9, 8, 4, 6, 2, 1, 3, 5, 7}));
    QCOMPARE(orderOf({17}), QList<qsizetype>({0, 16, 8, 12, 4, 2, 6, 10, 14, 15, 13, 11, 9, 7, 5, 3, 1}));
    QCOMPARE(orderOf({1}), QList<qsizetype>({0}));
    QCOMPARE(orderOf({2}), QList<qsizetype>({0, 1}));
    QVERIFY(orderOf({}).isEmpty());
    QVERIFY(orderOf({0}).isEmpty());
    QVERIFY(orderOf({3, 0}).isEmpty());

    GridScanOrder order({10});
    QVERIFY(order.next());
    QVERIFY(!order.passEnded());
    QVERIFY(!order.cornersDone());
    QVERIFY(order.next());
    QVERIFY(order.passEnded()); // the two ends make the first picture
    QVERIFY(order.cornersDone());
}

// A scan simulated on a plain array: every point writes its sample and its
// stand-ins, and the picture is checked after every point.
void TestScanOrder::standInsKeepAWholePicture()
{
    QFETCH(QList<int>, counts);
    const qsizetype total = totalOf(counts);
    // Checking every cell after every point is affordable on small grids only;
    // large ones are checked at the end of each pass.
    const bool everyPoint = total <= 500;
    QList<double> cells(total, std::nan(""));
    QList<bool> sampled(total, false);
    qsizetype emptyCells = total;
    qsizetype writes = 0;
    int passes = 0;
    int completedStride = 0;

    GridScanOrder order(counts);
    StandInCells standIns;
    while (order.next()) {
        const QList<qsizetype> &written = standIns.cellsFor(order);
        QCOMPARE(written.first(), order.offset());
        for (qsizetype cell : written) {
            // Never over a sample; only over cells this point is the nearest lattice point of.
            QVERIFY2(!sampled[cell], qPrintable(QStringLiteral("cell %1 sampled already").arg(cell)));
            QCOMPARE(nearestLatticePoint(cell, order.stride(), counts), order.offset());
            if (std::isnan(cells[cell]))
                --emptyCells;
            cells[cell] = sampleAt(order.offset());
        }
        sampled[order.offset()] = true;
        writes += written.size();
        if (order.passEnded()) {
            ++passes;
            completedStride = order.stride();
        }
        // A scan stopped from here on leaves no cell without a value.
        if (order.cornersDone())
            QCOMPARE(emptyCells, 0);
        if (!everyPoint && !order.passEnded())
            continue;
        // Each cell shows its nearest lattice point of the pass in progress
        // once that has come, else its nearest of the pass completed before.
        for (qsizetype cell = 0; cell < total; ++cell) {
            const qsizetype nearest = nearestLatticePoint(cell, order.stride(), counts);
            if (sampled[nearest])
                QCOMPARE(cells[cell], sampleAt(nearest));
            else if (completedStride > 0)
                QCOMPARE(cells[cell], sampleAt(nearestLatticePoint(cell, completedStride, counts)));
            else
                QVERIFY(std::isnan(cells[cell]));
        }
    }
    // The finished scan holds its own samples everywhere.
    for (qsizetype cell = 0; cell < total; ++cell)
        QCOMPARE(cells[cell], sampleAt(cell));
    // Cheap enough: at most one write per cell and pass.
    QVERIFY(writes <= total * passes);
}

void TestScanOrder::standInsReuseOneBuffer()
{
    // The corner at 0 stands in for the largest box; every later point fits
    // in the same list.
    GridScanOrder order({30, 20, 10});
    StandInCells standIns;
    QVERIFY(order.next());
    const qsizetype *buffer = standIns.cellsFor(order).constData();
    QCOMPARE(standIns.cellsFor(order).size(), 15 * 10 * 5);
    while (order.next())
        QCOMPARE(standIns.cellsFor(order).constData(), buffer);
}

QTEST_GUILESS_MAIN(TestScanOrder)
#include "tst_scan_order.moc"
