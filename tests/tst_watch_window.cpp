#include "MinMaxMultiDimData.h"
#include "VRKExcelWatchView.h"
#include "WatchWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

namespace {

template <typename Widget>
Widget *child(const QWidget &window, const char *name)
{
    auto *widget = window.findChild<Widget *>(QLatin1String(name));
    Q_ASSERT(widget);
    return widget;
}

void makeSurface(VRKExcelWatchView &watch)
{
    MinMaxMultiDimData *data = watch.data();
    data->setDimensions({Dimension{3, {}, 0, 1}, Dimension{3, {}, 0, 1}});
    DataExtractionSettings extraction;
    extraction.selection = {-1, -1};
    data->setDataExtractionSettings(extraction);
}

} // namespace

class TestWatchWindow : public QObject
{
    Q_OBJECT
private slots:
    void buildsTheForm();
    void flatDisplayTogglesTheControls();
    void targetWidthFollowsTheWatches();
    void keepsTheWindowOnScreen();
    void theLastWatchGoneEmitsOnce();
    void optionsReachEveryWatch();
};

void TestWatchWindow::buildsTheForm()
{
    WatchWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("WatchWindow"));
    QCOMPARE(window.minimumWidth(), 268);
    QCOMPARE(child<QSlider>(window, "horizontalSlider_watchSize")->minimum(), 40);
    QCOMPARE(child<QSlider>(window, "horizontalSlider_watchSize")->maximum(), 400);
    QCOMPARE(child<QSlider>(window, "horizontalSlider_watchSize")->value(), 100);
    QCOMPARE(child<QSlider>(window, "horizontalSlider_watchSize")->toolTip(), QStringLiteral("Graph size"));
    // The surface options say what they do.
    QVERIFY(!child<QCheckBox>(window, "checkBox_useNormalAveraged")->toolTip().isEmpty());
    QVERIFY(!child<QCheckBox>(window, "checkBox_useTriangleRects")->toolTip().isEmpty());
    QCOMPARE(child<QSlider>(window, "horizontalSlider_watchGraphAlpha")->minimum(), 10);
    QCOMPARE(child<QSlider>(window, "horizontalSlider_watchGraphAlpha")->value(), 80);
    QVERIFY(child<QSlider>(window, "horizontalSlider_watchGraphAlpha")->invertedAppearance());
    QVERIFY(child<QCheckBox>(window, "checkBox_useNormalAveraged")->isChecked());
    QVERIFY(child<QCheckBox>(window, "checkBox_SmoothGraphs")->isHidden());
    QCOMPARE(window.layout()->contentsMargins().top(), 34);
    QVERIFY(!child<QLabel>(window, "label")->pixmap().isNull());
    QSignalSpy size(&window, &WatchWindow::newWatchSize);
    child<QSlider>(window, "horizontalSlider_watchSize")->setValue(150);
    QCOMPARE(size.count(), 1);
    QCOMPARE(size.last().at(0).toInt(), 150);
}

void TestWatchWindow::flatDisplayTogglesTheControls()
{
    WatchWindow window;
    VRKExcelWatchView watch;
    window.addWatch(&watch);
    child<QCheckBox>(window, "checkBox_Flat3DGraph")->setChecked(true);
    QVERIFY(watch.data()->flat3D());
    QVERIFY(child<QCheckBox>(window, "checkBox_DrawPoints")->isHidden());
    QVERIFY(child<QSlider>(window, "horizontalSlider_watchGraphAlpha")->isHidden());
    QVERIFY(child<QLabel>(window, "label_Transparency")->isHidden());
    QVERIFY(!child<QCheckBox>(window, "checkBox_SmoothGraphs")->isHidden());
    QVERIFY(!child<QCheckBox>(window, "checkBox_DrawPoints")->isEnabled());
    QVERIFY(!child<QLabel>(window, "label_Transparency")->isEnabled());
    child<QCheckBox>(window, "checkBox_Flat3DGraph")->setChecked(false);
    QVERIFY(!watch.data()->flat3D());
    QVERIFY(!child<QCheckBox>(window, "checkBox_DrawPoints")->isHidden());
    QVERIFY(child<QCheckBox>(window, "checkBox_SmoothGraphs")->isHidden());
    QVERIFY(child<QCheckBox>(window, "checkBox_DrawPoints")->isEnabled());
    // A watch listed later takes the window's flat setting.
    child<QCheckBox>(window, "checkBox_Flat3DGraph")->setChecked(true);
    VRKExcelWatchView later;
    window.addWatch(&later);
    QVERIFY(later.data()->flat3D());
}

void TestWatchWindow::targetWidthFollowsTheWatches()
{
    WatchWindow window;
    VRKExcelWatchView watch;
    makeSurface(watch);
    watch.resize(300, 300);
    window.addWatch(&watch);
    window.checkResize();
    QCOMPARE(window.targetWidthForTests(), 360);
    // Room for the cuts beside the surface once it has sub-watches to show them.
    VRKExcelWatchView cut;
    watch.setSubWatchX(&cut);
    window.checkResize();
    QCOMPARE(window.targetWidthForTests(), 526);
    // A curve adds only the margin; the widest watch decides; a narrow list gets the minimum width.
    VRKExcelWatchView curve;
    curve.resize(250, 200);
    window.addWatch(&curve);
    emit curve.sizeChanged();
    QCOMPARE(window.targetWidthForTests(), 526);
    window.watchDestroyed(&watch);
    emit curve.sizeChanged();
    QCOMPARE(window.targetWidthForTests(), 310);
    curve.resize(100, 200);
    emit curve.sizeChanged();
    QCOMPARE(window.targetWidthForTests(), 268);
    window.resize(400, 300);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(window.width(), 268, 1000);
}

void TestWatchWindow::keepsTheWindowOnScreen()
{
    WatchWindow window;
    window.show();
    const QRect available = window.screen()->availableGeometry();
    window.checkPosition(QRect(10, available.bottom() - 100, 300, 400));
    QCOMPARE(window.geometry().bottom(), available.bottom() - 30);
    QCOMPARE(window.geometry().height(), 400);
    window.checkPosition(QRect(10, 20, 300, 300));
    QCOMPARE(window.geometry(), QRect(10, 20, 300, 300));
    window.checkPosition(QRect(available.right() - 100, 20, 300, 300));
    QCOMPARE(window.geometry().right(), available.right());

    // Grown wider beside the main window at the screen's edge, it moves to the
    // main window's other side rather than over its buttons.
    QWidget main;
    main.setGeometry(available.right() - 250, 40, 200, 150);
    main.show();
    auto *watches = new WatchWindow(&main);
    watches->setWindowFlag(Qt::Window);
    watches->show();
    watches->checkPosition(QRect(available.right() - 40, 60, 300, 300));
    QVERIFY(!watches->geometry().intersects(main.frameGeometry()));
    QCOMPARE(watches->geometry().width(), 300);
    QVERIFY(available.contains(watches->geometry()));
}

void TestWatchWindow::theLastWatchGoneEmitsOnce()
{
    WatchWindow window;
    auto *a = new VRKExcelWatchView;
    auto *b = new VRKExcelWatchView;
    window.addWatch(a);
    window.addWatch(b);
    QSignalSpy emptied(&window, &WatchWindow::watchesEmptied);
    delete a;
    QCOMPARE(emptied.count(), 0);
    delete b;
    QCOMPARE(emptied.count(), 1);
    QVERIFY(window.watchList().isEmpty());
}

void TestWatchWindow::optionsReachEveryWatch()
{
    WatchWindow window;
    VRKExcelWatchView a, b;
    window.addWatch(&a);
    QCOMPARE(a.data()->drawSettings3DCube().alpha, 70.0 / 245);
    window.addWatch(&b);
    const QList<VRKExcelWatchView *> watches{&a, &b};
    auto setEveryWatch = [&](bool DrawSettings3DCube::*option, bool value) {
        for (VRKExcelWatchView *watch : watches) {
            DrawSettings3DCube cube = watch->data()->drawSettings3DCube();
            cube.*option = value;
            watch->data()->setDrawSettings3DCube(cube);
        }
    };
    const QList<QPair<const char *, bool DrawSettings3DCube::*>> boxes{
        {"checkBox_useTriangleRects", &DrawSettings3DCube::useTriangleRects},
        {"checkBox_useNormalAveraged", &DrawSettings3DCube::useNormalAveraged},
        {"checkBox_DrawPoints", &DrawSettings3DCube::drawPoints}};
    for (const auto &[name, option] : boxes) {
        auto *box = child<QCheckBox>(window, name);
        // Each way, from watches that draw the other way.
        for (const bool checked : {!box->isChecked(), box->isChecked()}) {
            setEveryWatch(option, !checked);
            box->setChecked(checked);
            for (VRKExcelWatchView *watch : watches)
                QVERIFY2(watch->data()->drawSettings3DCube().*option == checked, name);
        }
    }
    auto *transparency = child<QSlider>(window, "horizontalSlider_watchGraphAlpha");
    for (const int value : {transparency->maximum(), transparency->minimum()}) {
        transparency->setValue(value);
        for (VRKExcelWatchView *watch : watches)
            QCOMPARE(watch->data()->drawSettings3DCube().alpha, value == transparency->maximum() ? 1.0 : 0.0);
    }
    // Smooth acts on surfaces only: the flat record for flat maps, the cube's otherwise.
    makeSurface(a);
    auto *smooth = child<QCheckBox>(window, "checkBox_SmoothGraphs");
    for (const bool flat : {false, true}) {
        child<QCheckBox>(window, "checkBox_Flat3DGraph")->setChecked(flat);
        for (const bool checked : {!smooth->isChecked(), smooth->isChecked()}) {
            setEveryWatch(&DrawSettings3DCube::smooth, !checked);
            for (VRKExcelWatchView *watch : watches)
                watch->data()->setDrawSettings3DFlat(DrawSettings3DFlat{!checked});
            smooth->setChecked(checked);
            QCOMPARE(a.data()->drawSettings3DFlat().smooth, flat ? checked : !checked);
            QCOMPARE(a.data()->drawSettings3DCube().smooth, flat ? !checked : checked);
            QCOMPARE(b.data()->drawSettings3DFlat().smooth, !checked);
            QCOMPARE(b.data()->drawSettings3DCube().smooth, !checked);
        }
    }
}

QTEST_MAIN(TestWatchWindow)
#include "tst_watch_window.moc"
