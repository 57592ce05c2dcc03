#include "VRKSlider.h"
#include "ProgramDiagnostics.h"

#include <QImage>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

void verifyInvariants(const VRKSlider &slider)
{
    QVERIFY(std::isfinite(slider.minValue()));
    QVERIFY(std::isfinite(slider.maxValue()));
    QVERIFY(slider.minValue() < slider.maxValue());
    QVERIFY(slider.stepValue() > 0);
    QVERIFY(std::isfinite(slider.value()));
}

// The shortest text that reads back as the same double: equal texts mean
// equal doubles, to the last bit (QCOMPARE on doubles forgives small errors).
QString digits(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

class TestVRKSlider : public QObject
{
    Q_OBJECT
private slots:
    void startsWithItsDefaults();
    void setValueTruncatesAndValueSnaps();
    void valuesOutsideTheRangeLandOnTheEnds();
    void setConfigNormalizes_data();
    void setConfigNormalizes();
    void setConfigKeepsTheValueWithoutAnnouncingIt();
    void announcedValuesAreTheDecimalsShown_data();
    void announcedValuesAreTheDecimalsShown();
    void rangesSettleOnTheDecimalGrid();
    void settersAnnounceOnlyRealChanges();
    void stepLargerThanTheSpanIsLimitedToTheSpan();
    void hostileConfigurationsKeepTheInvariants();
    void quickChangesAreDeferredAndTheLastIsAnnounced();
    void changesAfterAQuietSpellAreAnnouncedAtOnce();
    void unthrottledSliderAnnouncesEveryNewValue();
    void activeBackgroundFollowsTheHandle();
};

void TestVRKSlider::startsWithItsDefaults()
{
    VRKSlider slider;
    QCOMPARE(slider.orientation(), Qt::Vertical);
    QCOMPARE(slider.minimum(), 0);
    QCOMPARE(slider.maximum(), 100000);
    QCOMPARE(slider.minValue(), 0.0);
    QCOMPARE(slider.maxValue(), 10.0);
    QCOMPARE(slider.stepValue(), 0.5);
    QCOMPARE(slider.value(), 0.0);
    QCOMPARE(slider.width(), 50);
    QCOMPARE(slider.minEmitInterval(), 10);
    QVERIFY(!slider.isActive());
}

void TestVRKSlider::setValueTruncatesAndValueSnaps()
{
    VRKSlider slider;
    slider.setConfig(0, 1, 0.01);
    slider.setValue(0.29);
    QCOMPARE(slider.position(), 28999);
    QCOMPARE(slider.value(), 0.29);

    slider.setValue(0.294);
    QCOMPARE(slider.value(), 0.29);
    slider.setValue(0.296);
    QCOMPARE(slider.value(), 0.3);
}

void TestVRKSlider::valuesOutsideTheRangeLandOnTheEnds()
{
    VRKSlider slider;
    slider.setValue(-5);
    QCOMPARE(slider.position(), 0);
    slider.setValue(1e300);
    QCOMPARE(slider.position(), 100000);
    QCOMPARE(slider.value(), 10.0);
    slider.setValue(std::numeric_limits<double>::infinity());
    QCOMPARE(slider.value(), 10.0);
    slider.setValue(std::numeric_limits<double>::quiet_NaN());
    QCOMPARE(slider.value(), 10.0);
}

void TestVRKSlider::setConfigNormalizes_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("expectedMin");
    QTest::addColumn<double>("expectedMax");
    QTest::addColumn<double>("expectedStep");
    QTest::newRow("plain") << 0.0 << 1.0 << 0.01 << 0.0 << 1.0 << 0.01;
    QTest::newRow("step 0 becomes half the range") << 2.0 << 4.0 << 0.0 << 2.0 << 4.0 << 1.0;
    QTest::newRow("negative step too") << 2.0 << 4.0 << -3.0 << 2.0 << 4.0 << 1.0;
    QTest::newRow("empty range opens by one") << 5.0 << 5.0 << 1.0 << 5.0 << 6.0 << 1.0;
    QTest::newRow("reversed range opens by one") << 5.0 << 1.0 << 1.0 << 5.0 << 6.0 << 1.0;
    QTest::newRow("ends move to the grid") << 1.0 << 10.0 << 4.0 << 0.0 << 12.0 << 4.0;
    QTest::newRow("negative minimum rounds halves upward") << -2.5 << 3.0 << 1.0 << -2.0 << 3.0 << 1.0;
}

void TestVRKSlider::setConfigNormalizes()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, step);
    QFETCH(double, expectedMin);
    QFETCH(double, expectedMax);
    QFETCH(double, expectedStep);
    VRKSlider slider;
    QSignalSpy configSpy(&slider, &VRKSlider::configChanged);
    slider.setConfig(min, max, step);
    QCOMPARE(slider.minValue(), expectedMin);
    QCOMPARE(slider.maxValue(), expectedMax);
    QCOMPARE(slider.stepValue(), expectedStep);
    QCOMPARE(configSpy.count(), 1);
}

void TestVRKSlider::setConfigKeepsTheValueWithoutAnnouncingIt()
{
    VRKSlider slider;
    slider.setMinEmitInterval(0);
    slider.setValue(3.0);
    QSignalSpy valueSpy(&slider, qOverload<qreal>(&VRKSlider::valueChanged));

    slider.setConfig(0, 100, 1);
    QCOMPARE(slider.value(), 3.0);
    // With step 0 the slider has three values: min, middle and max.
    slider.setConfig(10, 20, 0);
    QCOMPARE(slider.value(), 10.0);
    slider.setValue(14.0);
    QCOMPARE(slider.value(), 15.0);
    slider.setValue(17.6);
    QCOMPARE(slider.value(), 20.0);
    QCOMPARE(valueSpy.count(), 2);

    valueSpy.clear();
    slider.setConfig(30, 40, 1);
    QCOMPARE(slider.value(), 30.0);
    QCOMPARE(valueSpy.count(), 0);
}

void TestVRKSlider::announcedValuesAreTheDecimalsShown_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("shown");
    QTest::newRow("43.7 in tenths") << 0.0 << 100.0 << 0.1 << "43.7";
    QTest::newRow("43.3 in tenths") << 0.0 << 100.0 << 0.1 << "43.3";
    QTest::newRow("tenths from 0.3") << 0.3 << 100.0 << 0.1 << "43.7";
    QTest::newRow("thousandths") << 0.0 << 1.0 << 0.001 << "0.7";
    QTest::newRow("hundredths below zero") << -2.0 << 2.0 << 0.01 << "-1.85";
}

void TestVRKSlider::announcedValuesAreTheDecimalsShown()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, step);
    QFETCH(QString, shown);
    VRKSlider slider;
    slider.setMinEmitInterval(0);
    slider.setConfig(min, max, step);
    QCOMPARE(digits(slider.minValue()), digits(min));
    QSignalSpy valueSpy(&slider, qOverload<qreal>(&VRKSlider::valueChanged));
    slider.setValue(shown.toDouble());
    QCOMPARE(valueSpy.count(), 1);
    const double announced = valueSpy.first().first().toDouble();
    QCOMPARE(announced, shown.toDouble());
    QCOMPARE(digits(announced), shown);
    QCOMPARE(digits(slider.value()), shown);
}

void TestVRKSlider::rangesSettleOnTheDecimalGrid()
{
    VRKSlider slider;
    // What a single-precision road left in settings files comes back clean.
    slider.setConfig(0.30000000447034836, 100.00000149011612, 0.1);
    QCOMPARE(digits(slider.minValue()), QStringLiteral("0.3"));
    QCOMPARE(digits(slider.maxValue()), QStringLiteral("100"));
    slider.setConfig(0, 1.4000000000000001, 0.001);
    QCOMPARE(digits(slider.maxValue()), QStringLiteral("1.4"));
    slider.setConfig(0.34, 2, 0.1);
    QCOMPARE(digits(slider.minValue()), QStringLiteral("0.3"));
    QCOMPARE(digits(slider.maxValue()), QStringLiteral("2"));
}

void TestVRKSlider::settersAnnounceOnlyRealChanges()
{
    VRKSlider slider;
    QSignalSpy configSpy(&slider, &VRKSlider::configChanged);
    slider.setMaxValue(10);
    slider.setMinValue(0);
    slider.setStepValue(0.5);
    QCOMPARE(configSpy.count(), 0);

    slider.setMaxValue(20);
    QCOMPARE(slider.maxValue(), 20.0);
    QVERIFY(configSpy.count() >= 1);

    // A minimum above the maximum is held at the maximum, then the range reopens.
    configSpy.clear();
    slider.setMinValue(50);
    QCOMPARE(slider.minValue(), 20.0);
    QCOMPARE(slider.maxValue(), 21.0);
    QVERIFY(configSpy.count() >= 1);

    slider.setStepValue(-1);
    QCOMPARE(slider.stepValue(), 0.5);
}

void TestVRKSlider::stepLargerThanTheSpanIsLimitedToTheSpan()
{
    VRKSlider slider;
    slider.setConfig(0, 1, 5);
    QCOMPARE(slider.minValue(), 0.0);
    QCOMPARE(slider.maxValue(), 1.0);
    QCOMPARE(slider.stepValue(), 1.0);
    slider.setValue(0.7);
    QCOMPARE(slider.value(), 1.0);

    slider.setStepValue(1000);
    QCOMPARE(slider.stepValue(), 1.0);
    verifyInvariants(slider);
}

void TestVRKSlider::hostileConfigurationsKeepTheInvariants()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    VRKSlider slider;

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Ignoring slider configuration")));
    slider.setConfig(nan, 1, 1);
    QCOMPARE(slider.maxValue(), 10.0);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Ignoring slider configuration")));
    slider.setConfig(0, inf, 1);
    QCOMPARE(slider.maxValue(), 10.0);

    slider.setMinValue(nan);
    slider.setMaxValue(inf);
    slider.setStepValue(inf);
    verifyInvariants(slider);

    const double extremes[][3] = {
        {-1e308, 1e308, 1e-308}, {1e300, 1e300, 1}, {1e308, 1e308, 0}, {-1e308, -1e308, -1},
        {0, 1e-300, 1e-320},     {1e15, 1e15, 0.001}, {-3, 7, inf},
    };
    for (const auto &config : extremes) {
        slider.setConfig(config[0], config[1], config[2]);
        verifyInvariants(slider);
        slider.setValue(config[1]);
        verifyInvariants(slider);
    }
}

void TestVRKSlider::quickChangesAreDeferredAndTheLastIsAnnounced()
{
    VRKSlider slider;
    // A long interval makes every change count as "too soon" after construction.
    slider.setMinEmitInterval(60000);
    QSignalSpy valueSpy(&slider, qOverload<qreal>(&VRKSlider::valueChanged));
    slider.setValue(2.0);
    QTest::qWait(5);
    slider.setValue(4.0);
    QCOMPARE(valueSpy.count(), 0);
    QVERIFY(valueSpy.wait(1000));
    QCOMPARE(valueSpy.count(), 1);
    QCOMPARE(valueSpy.first().first().toDouble(), 4.0);

    // Back to a value already announced: nothing new to say.
    QTest::qWait(40);
    slider.setValue(4.1);
    QVERIFY(!valueSpy.wait(60));
    QCOMPARE(valueSpy.count(), 1);
}

void TestVRKSlider::changesAfterAQuietSpellAreAnnouncedAtOnce()
{
    VRKSlider slider;
    QSignalSpy valueSpy(&slider, qOverload<qreal>(&VRKSlider::valueChanged));
    QTest::qWait(30);
    slider.setValue(1.0);
    QCOMPARE(valueSpy.count(), 1);
    QCOMPARE(valueSpy.last().first().toDouble(), 1.0);
    // Right after an announcement the next change waits for the timer.
    slider.setValue(1.5);
    QVERIFY(valueSpy.wait(1000));
    QCOMPARE(valueSpy.count(), 2);
    QCOMPARE(valueSpy.last().first().toDouble(), 1.5);
}

void TestVRKSlider::unthrottledSliderAnnouncesEveryNewValue()
{
    VRKSlider slider;
    slider.setMinEmitInterval(0);
    QSignalSpy valueSpy(&slider, qOverload<qreal>(&VRKSlider::valueChanged));
    for (double v = 0.5; v <= 5.0; v += 0.5)
        slider.setValue(v);
    QCOMPARE(valueSpy.count(), 10);
}

void TestVRKSlider::activeBackgroundFollowsTheHandle()
{
    VRKSlider slider;
    slider.resize(50, 232);
    slider.setValue(10.0); // top: the glow starts at y = -4
    QImage idle(slider.size(), QImage::Format_ARGB32);
    idle.fill(Qt::black);
    slider.render(&idle);

    slider.setActive(true);
    QVERIFY(slider.isActive());
    QImage active(slider.size(), QImage::Format_ARGB32);
    active.fill(Qt::black);
    slider.render(&active);

    int changedNearTop = 0;
    int changedNearBottom = 0;
    for (int y = 0; y < active.height(); ++y) {
        for (int x = 0; x < active.width(); ++x) {
            if (active.pixel(x, y) != idle.pixel(x, y))
                (y < 40 ? changedNearTop : changedNearBottom)++;
        }
    }
    QVERIFY(changedNearTop > 100);
    QCOMPARE(changedNearBottom, 0);

    // A disabled slider shows no glow.
    slider.setEnabled(false);
    QImage disabledActive(slider.size(), QImage::Format_ARGB32);
    disabledActive.fill(Qt::black);
    slider.render(&disabledActive);
    slider.setActive(false);
    QImage disabledIdle(slider.size(), QImage::Format_ARGB32);
    disabledIdle.fill(Qt::black);
    slider.render(&disabledIdle);
    QCOMPARE(disabledActive, disabledIdle);
}

QTEST_MAIN(TestVRKSlider)
#include "tst_vrk_slider.moc"
