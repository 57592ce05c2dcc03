#include "MinMaxMultiDimData.h"
#include "ProgramDiagnostics.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();

QList<Dimension> counts(std::initializer_list<int> list)
{
    QList<Dimension> dimensions;
    for (int count : list)
        dimensions.append(Dimension{count, QString(), 0.0, 0.0});
    return dimensions;
}

DataExtractionSettings selecting(const QList<int> &selection)
{
    DataExtractionSettings settings;
    settings.selection = selection;
    return settings;
}

} // namespace

class TestMinMaxStore : public QObject
{
    Q_OBJECT
private slots:
    void constructionInstallsTheDefaults();
    void rangeFollowsAppendedValues();
    void rangeWidensOnlyUntilReset();
    void setValuesFoldsTheRangeAndDropsSurfaceSelections();
    void graphDepthFollowsTheSelection_data();
    void graphDepthFollowsTheSelection();
    void selectionsThatDoNotFitAreReplaced();
    void freeAxisCountsFreeEntries();
    void settersEmitOnlyRealChanges();
    void settersClampTheirRecords();
    void perspectiveIsNormalized();
    void carriedFieldsTakePartInChangeDetection();
    void updateNeededOnlyWhenTheChangeIsVisible();
    void displayAsScanFollowsTheWayValuesArrive();
    void hostileRecordsAreTamed();
};

void TestMinMaxStore::constructionInstallsTheDefaults()
{
    MinMaxMultiDimData store;
    QVERIFY(std::isnan(store.minimum()));
    QVERIFY(std::isnan(store.maximum()));
    QCOMPARE(store.graphDepth(), 0);
    QVERIFY(!store.flat3D());
    QVERIFY(!store.displayAsScan());
    QCOMPARE(store.drawSettings3DCube().imageSize, QSize(0, 0));
    QCOMPARE(DrawSettings3DCube().imageSize, QSize(-1, -1));
    QCOMPARE(store.drawSettings3DCube().surfaceColor, QColor(0x8b, 0xc8, 0x37));
    QCOMPARE(store.drawSettings3DCube().lights.size(), 3);
    QCOMPARE(store.drawSettings3DCube().lights.at(2), QVector4D(0.8f, 2.0f, 1.8f, 200.0f));
    QCOMPARE(store.perspectiveSettings().eye, QVector3D(0, 0, 2));
    QCOMPARE(store.perspectiveSettings().zoom, 0.8);
    QVERIFY(store.drawSettings3DFlat().smooth);
    QVERIFY(store.dataExtractionSettings().selection.isEmpty());
    QCOMPARE(sizeof(PerspectiveSettings), size_t(64));
}

void TestMinMaxStore::rangeFollowsAppendedValues()
{
    MinMaxMultiDimData store;
    store.setDimensions(counts({0}));
    QSignalSpy minMaxSpy(&store, &MinMaxMultiDimData::minMaxChanged);
    store.appendValue(3);
    store.appendValue(missing);
    store.appendValue(5);
    QCOMPARE(store.minimum(), 3.0);
    QCOMPARE(store.maximum(), 5.0);
    QVERIFY(store.displayAsScan());
    QCOMPARE(minMaxSpy.count(), 2);
    store.appendValue(4);
    QCOMPARE(minMaxSpy.count(), 2);
}

void TestMinMaxStore::rangeWidensOnlyUntilReset()
{
    MinMaxMultiDimData store;
    store.setDimensions(counts({3}));
    store.setValue({0}, -2);
    store.setValue({1}, 8);
    store.setValue({0}, 1);
    QCOMPARE(store.minimum(), -2.0);
    QCOMPARE(store.maximum(), 8.0);

    store.resetValues();
    QVERIFY(std::isnan(store.minimum()));
    QCOMPARE(store.values().size(), 3);

    store.setResetValue(0);
    store.clear();
    QCOMPARE(store.minimum(), 0.0);
    QCOMPARE(store.maximum(), 0.0);

    QSignalSpy minMaxSpy(&store, &MinMaxMultiDimData::minMaxChanged);
    store.setMinMax(-1, 1);
    store.setMinMax(-1, 1);
    QCOMPARE(minMaxSpy.count(), 1);
    QCOMPARE(store.minimum(), -1.0);
}

void TestMinMaxStore::setValuesFoldsTheRangeAndDropsSurfaceSelections()
{
    MinMaxMultiDimData store;
    store.setDimensions(counts({2, 2}));
    store.setDataExtractionSettings(selecting({-1, -1}));
    QCOMPARE(store.graphDepth(), 4);
    store.setValues({4, missing, -3, 9});
    QCOMPARE(store.minimum(), -3.0);
    QCOMPARE(store.maximum(), 9.0);
    QVERIFY(store.dataExtractionSettings().selection.isEmpty());

    MinMaxMultiDimData curve;
    curve.setDimensions(counts({3}));
    curve.setDataExtractionSettings(selecting({-1}));
    curve.setValues({1, 2, 3});
    QCOMPARE(curve.dataExtractionSettings().selection, QList<int>({-1}));

    // A refused list changes nothing.
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Invalid data size")));
    curve.setValues({100});
    QCOMPARE(curve.maximum(), 3.0);
}

void TestMinMaxStore::graphDepthFollowsTheSelection_data()
{
    QTest::addColumn<QList<int>>("selection");
    QTest::addColumn<int>("depth");
    QTest::newRow("empty") << QList<int>() << 0;
    QTest::newRow("one value") << QList<int>({1, 2}) << 1;
    QTest::newRow("a curve") << QList<int>({-1, 2}) << 2;
    QTest::newRow("a surface") << QList<int>({-1, -1}) << 4;
    QTest::newRow("short selection") << QList<int>({-1}) << 2;
}

void TestMinMaxStore::graphDepthFollowsTheSelection()
{
    QFETCH(QList<int>, selection);
    QFETCH(int, depth);
    MinMaxMultiDimData store;
    store.setDimensions(counts({5, 3}));
    store.setDataExtractionSettings(selecting(selection));
    QCOMPARE(store.graphDepth(), depth);
}

void TestMinMaxStore::selectionsThatDoNotFitAreReplaced()
{
    MinMaxMultiDimData store;
    store.setDimensions(counts({3}));
    QSignalSpy extractionSpy(&store, &MinMaxMultiDimData::dataExtractionSettingsChanged);
    DataExtractionSettings settings = selecting({4});
    settings.simplify = true;
    store.setDataExtractionSettings(settings);
    QVERIFY(store.dataExtractionSettings().selection.isEmpty());
    QVERIFY(store.dataExtractionSettings().simplify);
    QCOMPARE(store.graphDepth(), 0);
    QCOMPARE(extractionSpy.count(), 2);
    QVERIFY(extractionSpy.last().first().value<DataExtractionSettings>().selection.isEmpty());

    store.setDataExtractionSettings(selecting({-1, -1}));
    QVERIFY(store.dataExtractionSettings().selection.isEmpty());
    store.setDataExtractionSettings(selecting({-5}));
    QVERIFY(store.dataExtractionSettings().selection.isEmpty());

    // A grid that shrinks under a selection drops it.
    MinMaxMultiDimData surface;
    surface.setDimensions(counts({4, 4}));
    surface.setDataExtractionSettings(selecting({3, -1}));
    QCOMPARE(surface.graphDepth(), 2);
    surface.setDimensions(counts({2, 4}));
    QVERIFY(surface.dataExtractionSettings().selection.isEmpty());
    QCOMPARE(surface.graphDepth(), 0);

    surface.setDataExtractionSettings(selecting({-1, -1}));
    surface.clear();
    QVERIFY(surface.dataExtractionSettings().selection.isEmpty());
    QCOMPARE(surface.graphDepth(), 0);
}

void TestMinMaxStore::freeAxisCountsFreeEntries()
{
    MinMaxMultiDimData store;
    store.setDimensions(counts({2, 2, 2, 2}));
    store.setDataExtractionSettings(selecting({1, -1, 0, -1}));
    QCOMPARE(store.freeAxis(0), 1);
    QCOMPARE(store.freeAxis(1), 3);
    QCOMPARE(store.freeAxis(2), -1);
    QCOMPARE(store.graphDepth(), 4);
    store.setDataExtractionSettings(selecting({-1, -1, 0, -1}));
    QCOMPARE(store.graphDepth(), 8);
}

void TestMinMaxStore::settersEmitOnlyRealChanges()
{
    MinMaxMultiDimData store;
    QSignalSpy perspectiveSpy(&store, &MinMaxMultiDimData::perspectiveChanged);
    QSignalSpy spy2D(&store, &MinMaxMultiDimData::drawSettings2DChanged);
    QSignalSpy flatSpy(&store, &MinMaxMultiDimData::drawSettings3DFlatChanged);
    QSignalSpy cubeSpy(&store, &MinMaxMultiDimData::drawSettings3DCubeChanged);
    QSignalSpy depthSpy(&store, &MinMaxMultiDimData::graphDepthChanged);

    store.setPerspectiveSettings(store.perspectiveSettings());
    store.setDrawSettings2D(store.drawSettings2D());
    store.setDrawSettings3DFlat(store.drawSettings3DFlat());
    store.setDrawSettings3DCube(store.drawSettings3DCube());
    store.setGraphDepth(store.graphDepth());
    QCOMPARE(perspectiveSpy.count() + spy2D.count() + flatSpy.count() + cubeSpy.count() + depthSpy.count(), 0);

    store.clearSettingsDirty(MinMaxMultiDimData::SettingsRecord::Perspective);
    PerspectiveSettings perspective = store.perspectiveSettings();
    perspective.turn = 10;
    store.setPerspectiveSettings(perspective);
    QCOMPARE(perspectiveSpy.count(), 1);
    QCOMPARE(perspectiveSpy.first().first().value<PerspectiveSettings>().turn, 10.0);
    QVERIFY(store.settingsDirty(MinMaxMultiDimData::SettingsRecord::Perspective));
    QVERIFY(!store.settingsDirty(MinMaxMultiDimData::SettingsRecord::Draw2D));
}

void TestMinMaxStore::settersClampTheirRecords()
{
    MinMaxMultiDimData store;
    QSignalSpy spy2D(&store, &MinMaxMultiDimData::drawSettings2DChanged);
    DrawSettings2D settings2D;
    settings2D.alpha = 1.7;
    store.setDrawSettings2D(settings2D);
    QCOMPARE(store.drawSettings2D().alpha, 1.0);
    QCOMPARE(spy2D.count(), 0); // 1.7 clamps to the stored 1.0
    settings2D.alpha = -0.5;
    store.setDrawSettings2D(settings2D);
    QCOMPARE(store.drawSettings2D().alpha, 0.0);
    store.setDrawSettings2D(settings2D);
    QCOMPARE(spy2D.count(), 1);

    DrawSettings3DCube cube = store.drawSettings3DCube();
    cube.alpha = 3;
    cube.dragFraction = -2;
    store.setDrawSettings3DCube(cube);
    QCOMPARE(store.drawSettings3DCube().alpha, 1.0);
    QCOMPARE(store.drawSettings3DCube().dragFraction, 0.0);
}

void TestMinMaxStore::perspectiveIsNormalized()
{
    struct Case
    {
        double zoom, turn, tilt, roll, heightScale;
        double expectedZoom, expectedTurn, expectedTilt, expectedRoll, expectedHeight;
    };
    const Case cases[] = {
        {5.0, 190, -180, 540, 0, 2.0, -170, 180, 180, 0.00002},
        {0.995, 360, 181, -181, 1, 1.0, 0, -179, 179, 1},
        {0.3, -30, 40, 0, 0.6, 0.5, -30, 40, 0, 0.6},
        {0.8, 720.5, -359.5, 180, 0.6, 0.8, 0.5, 0.5, 180, 0.6},
    };
    for (const Case &c : cases) {
        MinMaxMultiDimData store;
        PerspectiveSettings settings;
        settings.zoom = c.zoom;
        settings.turn = c.turn;
        settings.tilt = c.tilt;
        settings.roll = c.roll;
        settings.heightScale = c.heightScale;
        store.setPerspectiveSettings(settings);
        const PerspectiveSettings &stored = store.perspectiveSettings();
        QCOMPARE(stored.zoom, c.expectedZoom);
        QCOMPARE(stored.turn, c.expectedTurn);
        QCOMPARE(stored.tilt, c.expectedTilt);
        QCOMPARE(stored.roll, c.expectedRoll);
        QCOMPARE(stored.heightScale, c.expectedHeight);
    }

    // The eye's distance caps the zoom, even below 0.5.
    PerspectiveSettings close;
    close.eye = QVector3D(0, 0, 0.25);
    QCOMPARE(close.normalized().zoom, 0.25);
}

void TestMinMaxStore::carriedFieldsTakePartInChangeDetection()
{
    MinMaxMultiDimData store;
    QSignalSpy cubeSpy(&store, &MinMaxMultiDimData::drawSettings3DCubeChanged);
    const auto changeAndCount = [&](const std::function<void(DrawSettings3DCube &)> &change) {
        DrawSettings3DCube cube = store.drawSettings3DCube();
        change(cube);
        const int before = cubeSpy.count();
        store.setDrawSettings3DCube(cube);
        return cubeSpy.count() - before;
    };
    QCOMPARE(changeAndCount([](DrawSettings3DCube &c) { c.carriedFlagA = false; }), 1);
    QCOMPARE(changeAndCount([](DrawSettings3DCube &c) { c.carriedFlagB = false; }), 1);
    QCOMPARE(changeAndCount([](DrawSettings3DCube &c) { c.carriedFlagC = true; }), 1);
    QCOMPARE(changeAndCount([](DrawSettings3DCube &c) { c.carriedColorA = Qt::green; }), 1);
    QCOMPARE(changeAndCount([](DrawSettings3DCube &c) { c.carriedColorB = Qt::green; }), 1);
    QCOMPARE(changeAndCount([](DrawSettings3DCube &c) { c.carriedValue = 2; }), 1);
    QCOMPARE(changeAndCount([](DrawSettings3DCube &c) { c.dragFraction = 0.5; }), 1);
    QCOMPARE(changeAndCount([](DrawSettings3DCube &c) { c.lights[1].setW(10); }), 1);
    QCOMPARE(changeAndCount([](DrawSettings3DCube &c) { c.fillLimitY = -1; }), 1);
    QCOMPARE(changeAndCount([](DrawSettings3DCube &) {}), 0);

    QSignalSpy spy2D(&store, &MinMaxMultiDimData::drawSettings2DChanged);
    DrawSettings2D settings2D = store.drawSettings2D();
    settings2D.option = false;
    store.setDrawSettings2D(settings2D);
    QCOMPARE(spy2D.count(), 1);
}

void TestMinMaxStore::updateNeededOnlyWhenTheChangeIsVisible()
{
    MinMaxMultiDimData store;
    store.setDimensions(counts({4, 4}));
    QSignalSpy updateSpy(&store, &SimpleMultiDimData::updateNeeded);

    // A curve: only the 2D record shows.
    store.setDataExtractionSettings(selecting({-1, 0}));
    QCOMPARE(updateSpy.count(), 0);
    PerspectiveSettings perspective = store.perspectiveSettings();
    perspective.tilt = 10;
    store.setPerspectiveSettings(perspective);
    QCOMPARE(updateSpy.count(), 0);
    DrawSettings2D settings2D = store.drawSettings2D();
    settings2D.alpha = 0.5;
    store.setDrawSettings2D(settings2D);
    QCOMPARE(updateSpy.count(), 1);

    // A cube: extraction, perspective and cube records show.
    updateSpy.clear();
    store.setDataExtractionSettings(selecting({-1, -1}));
    QCOMPARE(updateSpy.count(), 1);
    perspective.tilt = 20;
    store.setPerspectiveSettings(perspective);
    QCOMPARE(updateSpy.count(), 2);
    store.setDrawSettings3DFlat(DrawSettings3DFlat{false});
    QCOMPARE(updateSpy.count(), 2);

    // A flat map: only the flat record shows.
    store.setFlat3D(true);
    QCOMPARE(updateSpy.count(), 3);
    store.setFlat3D(true);
    QCOMPARE(updateSpy.count(), 3);
    store.setDrawSettings3DFlat(DrawSettings3DFlat{true});
    QCOMPARE(updateSpy.count(), 4);
    perspective.tilt = 30;
    store.setPerspectiveSettings(perspective);
    DrawSettings3DCube cube = store.drawSettings3DCube();
    cube.drawPoints = false;
    store.setDrawSettings3DCube(cube);
    QCOMPARE(updateSpy.count(), 4);
}

void TestMinMaxStore::displayAsScanFollowsTheWayValuesArrive()
{
    MinMaxMultiDimData store;
    store.setDimensions(counts({0}));
    store.setDataExtractionSettings(selecting({-1}));
    QSignalSpy scanSpy(&store, &SimpleMultiDimData::displayAsScanChanged);
    QSignalSpy updateSpy(&store, &SimpleMultiDimData::updateNeeded);

    store.appendValue(1);
    QVERIFY(store.displayAsScan());
    QCOMPARE(scanSpy.count(), 0); // appending switches it quietly
    store.setValue({0}, 2);
    QVERIFY(!store.displayAsScan());

    store.setDisplayAsScan(true);
    QCOMPARE(scanSpy.count(), 1);
    QCOMPARE(scanSpy.first().first().toBool(), true);
    QCOMPARE(updateSpy.count(), 1);
    store.setDisplayAsScan(true);
    QCOMPARE(scanSpy.count(), 1);
}

void TestMinMaxStore::hostileRecordsAreTamed()
{
    MinMaxMultiDimData store;
    PerspectiveSettings perspective;
    perspective.zoom = missing;
    perspective.turn = std::numeric_limits<double>::infinity();
    perspective.tilt = 1e300;
    perspective.heightScale = missing;
    perspective.eye = QVector3D(missing, 0, 0);
    store.setPerspectiveSettings(perspective);
    const PerspectiveSettings &stored = store.perspectiveSettings();
    QVERIFY(std::isfinite(stored.zoom));
    QCOMPARE(stored.turn, 0.0);
    QVERIFY(stored.tilt > -180 && stored.tilt <= 180);
    QVERIFY(std::isfinite(stored.heightScale));
    QCOMPARE(stored.eye, QVector3D(0, 0, 2));
    // Normalized records compare equal to themselves, so a repeat is silent.
    QSignalSpy perspectiveSpy(&store, &MinMaxMultiDimData::perspectiveChanged);
    store.setPerspectiveSettings(perspective);
    QCOMPARE(perspectiveSpy.count(), 0);

    DrawSettings2D settings2D;
    settings2D.alpha = missing;
    store.setDrawSettings2D(settings2D);
    QCOMPARE(store.drawSettings2D().alpha, 1.0);

    store.setDimensions(counts({0}));
    for (int i = 0; i < 10000; ++i)
        store.appendValue(i % 3 == 0 ? missing : (i % 3 == 1 ? std::numeric_limits<double>::infinity() : -1.0 * i));
    QCOMPARE(store.values().size(), 200);
    QCOMPARE(store.maximum(), std::numeric_limits<double>::infinity());
    QCOMPARE(store.minimum(), -9998.0);
}

QTEST_GUILESS_MAIN(TestMinMaxStore)
#include "tst_min_max_store.moc"
