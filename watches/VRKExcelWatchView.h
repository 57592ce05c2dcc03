#pragma once

#include "Dimension.h"
#include "DrawingSettings.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class MinMaxMultiDimData;
class QTimer;
#include "VRKExcelWatchScale.h"
#include "VRKExcelObjects.h"

// One image button of a watch's button row; `name` is what buttonClicked sends.
struct WatchButton
{
    QString name;
    QString image;
};

// Shows one watched cell: a title, the graph of the samples its store holds,
// optional axes, a row of image buttons and, for surfaces, a movable split
// point that linked sub-watches cut along. Repaints are throttled to the
// measured paint time so that a fast stream of values never floods the GUI.
class VRKExcelWatchView : public QWidget
{
    Q_OBJECT
public:
    enum WatchArea { Whole = 0, Title = 1, Graph = 2, ValueAxis = 4, DimensionAxis = 8, Inner = 16, Buttons = 32 };

    enum DisplayFlag : unsigned {
        TitleShown = 0x001,
        TexturedTitle = 0x002,
        ValueAxisBits = 0x01C,
        DimensionAxisBits = 0x0E0,
        CrossHairHorizontal = 0x100,
        CrossHairVertical = 0x200,
        CrossHairBits = 0x300,
        ButtonRow = 0x400,
        RevealImage = 0x800,
    };

    explicit VRKExcelWatchView(QWidget *parent = nullptr);

    MinMaxMultiDimData *data() const { return m_data; }
    // Replaces the store by a fresh one with the same settings; the old one
    // fades out while a curve is shown.
    void createData();
    int previousDataCount() const { return int(m_previousData.size()); }
    void clearPreviousData();

    // The cell this watch shows; cleared when its wrapper goes away.
    VRKExcelRange *cell() const { return m_cell; }
    void setCell(VRKExcelRange *cell) { m_cell = cell; }

    QString name() const { return m_name; }
    void setName(const QString &name);
    // The cell is gone (its workbook closed, the cell deleted): the watch is
    // greyed, gives the reason in its title, and is left out of every update and scan.
    void markCellClosed(const QString &reason);
    bool isCellClosed() const { return m_cellClosed; }
    int titleHeight() const { return m_titleHeight; }
    void setTitleHeight(int height);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    bool isVertical() const { return m_vertical; }
    void setVertical(bool vertical);
    int valueAxisWidth() const { return m_valueAxisWidth; }
    void setValueAxisWidth(int width);
    int dimensionAxisHeight() const { return m_dimensionAxisHeight; }
    void setDimensionAxisHeight(int height);
    unsigned displayFlags() const { return m_displayFlags; }
    void setDisplayFlags(unsigned flags);
    void addDisplayFlags(unsigned flags);
    void removeDisplayFlags(unsigned flags);

    const QList<WatchButton> &buttons() const { return m_buttons; }
    void setButtons(const QList<WatchButton> &buttons);
    int buttonSize() const { return m_buttonSize; }
    int hoverButton() const { return m_hoverButton; }
    void setHoverButton(int index);
    bool buttonsShown() const { return m_buttonsShown; }
    void setButtonsShown(bool shown);
    bool revealHover() const { return m_revealHover; }

    VRKExcelWatchView *subWatchX() const { return m_subWatchX; }
    VRKExcelWatchView *subWatchY() const { return m_subWatchY; }
    void setSubWatchX(VRKExcelWatchView *view);
    void setSubWatchY(VRKExcelWatchView *view);
    VRKExcelWatchScale *scale() const { return m_scale; }
    // Links a colour scale both ways; the scale follows the range and the cross point.
    void setScale(VRKExcelWatchScale *scale);
    bool syncSubWatchSizes() const { return m_syncSubWatchSizes; }
    void setSyncSubWatchSizes(bool sync);
    int subWatchSizeMargin() const { return m_subWatchSizeMargin; }
    void setSubWatchSizeMargin(int margin);

    QPointF splitPoint() const { return m_splitPoint; }
    double crossPointValue() const { return m_crossPointValue; }
    // The number the legend gives for the cross point while it marks where
    // the sliders stand: what the watch's cell reads there (the stored
    // picture holds the grid's samples only). Without one, the stored value.
    void setCrossPointReading(std::optional<double> reading);

    qint64 minRepaintInterval() const { return m_minRepaintInterval; }
    void setMinRepaintInterval(qint64 milliseconds);
    double repaintFactor() const { return m_repaintFactor; }
    void setRepaintFactor(double factor) { m_repaintFactor = factor; }
    qint64 lastDataPaintMs() const { return m_lastDataPaintMs; }
    int fastDrawRequests() const { return m_fastDrawRequests; }
    bool repaintPending() const;

    // The rectangle of one area in view coordinates (see WatchArea).
    QRect area(int which) const;
    // Axes, cross-hair and title clicks serve curves and flat maps, not cubes.
    bool axesApply() const;
    // Width and height the areas around the graph take up.
    int extraWidth() const;
    int extraHeight() const;

    // The grid cell (flat map) or grid point (cube) under a split point:
    // (0, 0) below a surface, (-1, -1) without exactly two free axes.
    QPoint cubeFillLimits(QPointF point) const;

    double valueAxisTop() const;
    double valueAxisBottom() const;
    QString valueAxisTitle() const;
    QString dimensionAxisTitle() const;
    double dimensionAxisTop() const;
    double dimensionAxisBottom() const;
    double dimensionAxisCount() const;
    double valueAxisCount() const;

signals:
    void afterPaint(QPainter &painter);
    void buttonClicked(QString name);
    void canUseFastDrawChanged(bool value);
    void closeRequest();
    void crossPointValueChanged();
    void dataCreated();
    void graphDepthChanged();
    void graphClicked();
    void graphZoomChanged(qreal zoom);
    void mousePressed(QMouseEvent *event);
    void mouseReleased(QMouseEvent *event);
    void mouseWheelEvent(QWheelEvent *event);
    void selectedChanged();
    void sizeChanged();
    void splitChanged(QPointF point);
    void textClicked();
    void mouseZoomChanging();

public slots:
    void dataMinMaxChanged();
    void dataNaNReported();
    void hideButtons();
    void updateCubeFillLimits(QPoint limits);
    void updateCubeFillLimits();
    void updateWithSubgraphs();
    void dataBeforePaint3D(QPainter &painter);
    void dataAfterPaint3D(QPainter &painter);
    void data3DAxesNeeded(QPainter &painter);
    void data3DYAxisNeeded(QPainter &painter);
    void removeOldestPreviousData();
    void setCanUseFastDraw(bool value);
    void setSplitPoint(QPointF point);
    void setInvertedSplitPoint(QPointF point);
    void update(bool immediate);
    void update();
    void updateSubWatches();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    int depth() const;
    bool hasTwoFreeAxes() const;
    // The n-th free axis of a graph at least that deep, or null.
    const Dimension *freeDimension(int n, int minimumDepth) const;
    // The store's range widened so that it fills the middle 75 % of the graph.
    double valueAxisEnd(double sign) const;
    void setStoredAndUpdate(int &stored, int value);
    void setStoredAndUpdate(bool &stored, bool value);
    void linkSubWatch(QPointer<VRKExcelWatchView> &stored, VRKExcelWatchView *view, bool inverted);
    void updateSubWatchSizes();
    void fillSubWatch(VRKExcelWatchView *subWatch, int freeAxis, int fixedAxis, int fixedIndex);
    // Opacity of every previous store still fading; marks the faded ones.
    QList<std::pair<MinMaxMultiDimData *, double>> fadingPreviousData();
    void paintGraph(QPainter &painter, const QRect &graph);
    // Simplify, then stop antialiasing, while a slider is held and the cube is slow.
    void chooseCubeQuality();
    void paintNewestValue(QPainter &painter, const QRect &graph);
    void paintCrossHair(QPainter &painter, const QRect &graph);
    void paintValueAxis(QPainter &painter);
    void paintDimensionAxis(QPainter &painter);
    void paintTitle(QPainter &painter);
    void paintButtons(QPainter &painter);
    void paintFrame(QPainter &painter);
    void followPointer(const QPointF &position);
    int buttonIndexAt(const QPointF &position, const QRect &zone) const;
    void hoverButtonRow(const QPointF &position);

    QList<WatchButton> m_buttons;
    int m_buttonSize = 24;
    int m_hoverButton = -1;
    QList<MinMaxMultiDimData *> m_previousData;
    MinMaxMultiDimData *m_data = nullptr;
    QString m_name;
    bool m_cellClosed = false;
    int m_titleHeight = 34;
    bool m_selected = false;
    bool m_vertical = false;
    int m_valueAxisWidth = 40;
    int m_dimensionAxisHeight = 25;
    QPointer<VRKExcelWatchView> m_subWatchX;
    QPointer<VRKExcelWatchView> m_subWatchY;
    QPointer<VRKExcelWatchScale> m_scale;
    QPointF m_splitPoint{0.5, 0.50000001};
    unsigned m_displayFlags = 0xCFF;
    bool m_syncSubWatchSizes = true;
    int m_subWatchSizeMargin = 0;
    QElapsedTimer m_lastPaintTime;
    qint64 m_minRepaintInterval = 0;
    QTimer *m_repaintTimer;
    QTimer *m_previousDataTimer;
    QTimer *m_buttonHideTimer;
    QTimer *m_subWatchTimer;
    double m_crossPointValue = 0.0;
    std::optional<double> m_crossPointReading;
    bool m_subWatchUpdatePending = false;
    bool m_buttonsShown = false;
    bool m_revealHover = false;
    PerspectiveSettings m_pressPerspective;
    DrawSettings3DCube m_pressCubeSettings;
    QPointF m_pressPosition;
    QPointF m_pressSplitPoint;
    int m_dragMode = 0;
    int m_fastDrawRequests = 0;
    qint64 m_lastDataPaintMs = 0;
    double m_repaintFactor = 1.5;
    QPointer<VRKExcelRange> m_cell;
};
