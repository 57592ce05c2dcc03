#include "ScanAxis.h"
#include "StepGrid.h"

#include <QLocale>
#include <QTest>

namespace {

// The shortest text that reads back as the same double: equal texts mean
// equal doubles, to the last bit (QCOMPARE on doubles forgives small errors).
QString digits(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

class TestStepGrid : public QObject
{
    Q_OBJECT
private slots:
    void decimalPlacesAreThoseOfTheShortestText_data();
    void decimalPlacesAreThoseOfTheShortestText();
    void gridValuesAreTheDecimals_data();
    void gridValuesAreTheDecimals();
    void snappingFindsTheNearestGridValue();
    void scanGridValuesAreTheDecimals_data();
    void scanGridValuesAreTheDecimals();
};

void TestStepGrid::decimalPlacesAreThoseOfTheShortestText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("places");
    QTest::newRow("0.1") << 0.1 << 1;
    QTest::newRow("-0.05") << -0.05 << 2;
    QTest::newRow("0.125") << 0.125 << 3;
    QTest::newRow("2.5e-07") << 2.5e-07 << 8;
    QTest::newRow("43.7") << 43.7 << 1;
    QTest::newRow("300") << 300.0 << 0;
    QTest::newRow("1e20") << 1e20 << 0;
    QTest::newRow("zero") << 0.0 << 0;
    QTest::newRow("single-precision 0.1") << double(0.1f) << 17;
}

void TestStepGrid::decimalPlacesAreThoseOfTheShortestText()
{
    QFETCH(double, value);
    QFETCH(int, places);
    QCOMPARE(StepGrid::decimalPlaces(value), places);
}

void TestStepGrid::gridValuesAreTheDecimals_data()
{
    QTest::addColumn<double>("origin");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("n");
    QTest::addColumn<QString>("expected");
    // In plain binary arithmetic most of these carry noise in the last digits.
    QTest::newRow("433 tenths") << 0.0 << 0.1 << 433.0 << "43.3";
    QTest::newRow("437 tenths") << 0.0 << 0.1 << 437.0 << "43.7";
    QTest::newRow("tenths from 0.3") << 0.3 << 0.1 << 434.0 << "43.7";
    QTest::newRow("thousandths") << 0.0 << 0.001 << 700.0 << "0.7";
    QTest::newRow("hundredths below zero") << -2.0 << 0.01 << 15.0 << "-1.85";
    QTest::newRow("hundred-thousandths") << 0.0 << 1e-7 << 300.0 << "3e-05";
    QTest::newRow("no negative zero") << -1.0 << 0.5 << 2.0 << "0";
    QTest::newRow("backwards") << 1.0 << 0.1 << -3.0 << "0.7";
    // Beyond the digits a double carries the plain sum is the best there is.
    QTest::newRow("too many digits") << 1e15 << 0.001 << 1.0 << digits(1e15 + 0.001);
    QTest::newRow("single-precision step") << 0.0 << double(0.1f) << 437.0 << digits(437 * double(0.1f));
}

void TestStepGrid::gridValuesAreTheDecimals()
{
    QFETCH(double, origin);
    QFETCH(double, step);
    QFETCH(double, n);
    QFETCH(QString, expected);
    QCOMPARE(digits(StepGrid(origin, step).at(n)), expected);
}

void TestStepGrid::snappingFindsTheNearestGridValue()
{
    const StepGrid tenths(0.3, 0.1);
    QCOMPARE(tenths.stepsTo(43.71), 434.0);
    QCOMPARE(digits(tenths.snap(43.71)), QStringLiteral("43.7"));
    QCOMPARE(digits(tenths.snap(43.75)), QStringLiteral("43.8")); // halves upward
    QCOMPARE(digits(StepGrid(0, 0.5).snap(-2.25)), QStringLiteral("-2"));
}

void TestStepGrid::scanGridValuesAreTheDecimals_data()
{
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("stepFactor");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    QTest::newRow("437 tenths") << 0.0 << 100.0 << 0.1 << 1 << 437 << "43.7";
    QTest::newRow("433 tenths") << 0.0 << 100.0 << 0.1 << 1 << 433 << "43.3";
    QTest::newRow("tenths from 0.3") << 0.3 << 100.0 << 0.1 << 1 << 434 << "43.7";
    // The interval 3 x 0.1 is 0.30000000000000004 in binary; the grid stays decimal.
    QTest::newRow("three tenths apart") << 0.0 << 100.0 << 0.1 << 3 << 1 << "0.3";
    QTest::newRow("three tenths, far out") << 0.0 << 100.0 << 0.1 << 3 << 111 << "33.3";
    QTest::newRow("never past the maximum") << 0.0 << 10.0 << 1.0 << 3 << 4 << "10";
}

void TestStepGrid::scanGridValuesAreTheDecimals()
{
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, step);
    QFETCH(int, stepFactor);
    QFETCH(int, index);
    QFETCH(QString, expected);
    const ScanAxis axis{nullptr, minimum, maximum, step, stepFactor, QString()};
    QCOMPARE(digits(axis.valueAt(index)), expected);
}

QTEST_APPLESS_MAIN(TestStepGrid)
#include "tst_step_grid.moc"
