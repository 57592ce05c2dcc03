#include "Ticks.h"

#include <QTest>

#include <limits>

namespace {

struct Ticks
{
    QList<double> positions;
    QList<double> values;
};

Ticks ticks(double length, double spacing, double low, double high)
{
    Ticks t;
    t.positions = {-1}; // must be cleared
    t.values = {-1};
    computeTicks(length, spacing, low, high, t.positions, t.values);
    return t;
}

void compareApproximately(const QList<double> &actual, const QList<double> &expected, double tolerance)
{
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i)
        QVERIFY2(std::abs(actual.at(i) - expected.at(i)) <= tolerance,
                 qPrintable(QStringLiteral("at %1: %2 vs %3").arg(i).arg(actual.at(i)).arg(expected.at(i))));
}

} // namespace

class TestTicks : public QObject
{
    Q_OBJECT
private slots:
    void stepsAreHalfOrWholePowersOfTen();
    void endsOfTheRangeGetTicks();
    void noTicksForUnusableAxes();
    void hostileInputGivesNoTicks();
    void denseAxesStayBounded();
    void labelsTellNeighbouringTicksApart();
};

void TestTicks::stepsAreHalfOrWholePowersOfTen()
{
    Ticks t = ticks(100, 20, 0, 10);
    compareApproximately(t.values, {0, 5, 10}, 1e-12);
    compareApproximately(t.positions, {0, 50, 100}, 1e-3);

    t = ticks(300, 30, 0.12, 0.98);
    compareApproximately(t.values, {0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9}, 1e-12);
    QVERIFY(std::abs(t.positions.first() - 300 * (0.2 - 0.12) / 0.86) < 1e-3);

    t = ticks(100, 30, 0, 7);
    compareApproximately(t.values, {0, 5}, 1e-12);
    compareApproximately(t.positions, {0, 71.43}, 0.01);

    t = ticks(400, 40, -1234, -1200);
    for (double v : t.values)
        QVERIFY(std::abs(v / 5 - std::round(v / 5)) < 1e-9);
    QVERIFY(t.values.size() >= 2);
}

void TestTicks::endsOfTheRangeGetTicks()
{
    const Ticks t = ticks(200, 30, 0, 1);
    compareApproximately(t.values, {0, 0.5, 1.0}, 1e-12);
    compareApproximately(t.positions, {0.0002, 100, 199.9998}, 1e-6);
}

void TestTicks::noTicksForUnusableAxes()
{
    QVERIFY(ticks(0.5, 0, 0, 1).values.isEmpty());
    QVERIFY(ticks(100, 200, 0, 1).values.isEmpty());
    QVERIFY(ticks(100, 20, 1, 0).values.isEmpty());
    QVERIFY(ticks(100, 20, 3, 3).values.isEmpty());
    QVERIFY(ticks(100, 0, 0, 1).values.isEmpty());
    QVERIFY(ticks(100, -5, 0, 1).positions.isEmpty());
}

void TestTicks::hostileInputGivesNoTicks()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double inputs[][4] = {
        {nan, 10, 0, 1}, {100, nan, 0, 1}, {100, 10, nan, 1}, {100, 10, 0, nan},
        {inf, 10, 0, 1}, {100, 10, -inf, 1}, {100, 10, 0, inf}, {100, 10, -1e308, 1e308},
    };
    for (const auto &input : inputs) {
        const Ticks t = ticks(input[0], input[1], input[2], input[3]);
        QVERIFY(t.values.isEmpty());
        QVERIFY(t.positions.isEmpty());
    }
}

void TestTicks::denseAxesStayBounded()
{
    // A million-pixel axis with one-pixel spacing would ask for a million ticks.
    QVERIFY(ticks(1e6, 1, 0, 1).values.isEmpty());
    const Ticks tiny = ticks(100, 10, 1e300, 1e300 * (1 + 1e-12));
    QCOMPARE(tiny.values.size(), tiny.positions.size());
    QVERIFY(tiny.values.size() <= 100001);
}

void TestTicks::labelsTellNeighbouringTicksApart()
{
    // Six significant digits, as long as they tell the ticks apart.
    QCOMPARE(tickLabels(ticks(200, 30, 0, 1).values), QStringList({"0", "0.5", "1"}));
    QCOMPARE(tickLabels({1234500, 1234600}), QStringList({"1.2345e+06", "1.2346e+06"}));
    // Large values a small step apart need more.
    const Ticks large = ticks(300, 30, 395974.05, 395974.95);
    QCOMPARE(tickLabels(large.values),
             QStringList({"395974.1", "395974.2", "395974.3", "395974.4", "395974.5", "395974.6", "395974.7",
                          "395974.8", "395974.9"}));
    // A tick at zero reached by adding steps says 0, not 1.38778e-17.
    QCOMPARE(tickLabels({-0.1, -0.1 + 0.05, -0.1 + 0.05 * 2, -0.1 + 0.05 * 3}),
             QStringList({"-0.1", "-0.05", "0", "0.05"}));
    QCOMPARE(tickLabels({7}), QStringList({"7"}));
    QVERIFY(tickLabels({}).isEmpty());
}

QTEST_GUILESS_MAIN(TestTicks)
#include "tst_ticks.moc"
