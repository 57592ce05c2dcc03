#pragma once

#include <QList>
#include <QRect>
#include <QWidget>

class QTimer;
class VRKExcelWatchView;

namespace Ui {
class WatchWindow;
}

// The tool window that lists watches one under the other and carries the
// controls that change how all of them draw: graph size, transparency and
// the surface options. Its width follows the width of its watches.
class WatchWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WatchWindow(QWidget *parent = nullptr);
    ~WatchWindow() override;

    // Lists a watch: it gets the window's transparency and flat setting.
    void addWatch(VRKExcelWatchView *watch);
    // Places a watch's container at the end of the list.
    void insertContainer(QWidget *container);
    const QList<VRKExcelWatchView *> &watchList() const { return watches; }
    // Scrolls the list so that the watch shows.
    void ensureVisible(QWidget *watch);
    int targetWidthForTests() const { return targetWidth; }

signals:
    void newWatchSize(int value);
    void watchesEmptied();
    // The "New" button: more watches, from the cells selected in the spreadsheet.
    void newWatchesRequested();

public slots:
    void doCheckResize();
    void watchDestroyed(QObject *object);
    void enableWatchCanUseFastDraw();
    void disableWatchCanUseFastDraw();
    void checkResize();
    void checkPosition(QRect geometry);
    void checkPosition();
    void checkWidgetDisplay();
    void on_horizontalSlider_watchSize_valueChanged(int value);
    void on_checkBox_useTriangleRects_toggled(bool checked);
    void on_checkBox_useNormalAveraged_toggled(bool checked);
    void on_checkBox_SmoothGraphs_toggled(bool checked);
    void on_checkBox_Flat3DGraph_toggled(bool checked);
    void on_checkBox_DrawPoints_toggled(bool checked);
    void on_horizontalSlider_watchGraphAlpha_valueChanged(int value);

private:
    double transparency() const;
    void applyTransparency(VRKExcelWatchView *watch) const;
    void showScaleOf(VRKExcelWatchView *watch);
    // The window width one watch needs: room for its cuts beside a surface.
    int widthFor(VRKExcelWatchView *watch) const;
    // Changes one field of every watch's cube settings and repaints them.
    template <typename Change>
    void changeCubeSettings(Change change);
    void updateAll();

    QTimer *resizeTimer;
    int targetWidth = 100;
    QList<VRKExcelWatchView *> watches;
    Ui::WatchWindow *ui;
};
