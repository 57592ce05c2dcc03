#pragma once

#include "CubePainter.h"
#include "CurvePainter.h"
#include "DrawingSettings.h"
#include "FlatMapPainter.h"
#include "SimpleMultiDimData.h"

class QPainter;

// The store a watch owns: the samples plus their running value range, the
// selection of the sub-grid to draw with the resulting graph depth, and the
// five drawing settings records.
class MinMaxMultiDimData : public SimpleMultiDimData
{
    Q_OBJECT
public:
    // Which record changed since a painter last rebuilt its cache.
    enum class SettingsRecord { Extraction, Draw2D, Draw3DFlat, Draw3DCube, Perspective };

    explicit MinMaxMultiDimData(QObject *parent = nullptr);

    bool displayAsScan() const { return m_displayAsScan; }
    void setDisplayAsScan(bool value);

    const DataExtractionSettings &dataExtractionSettings() const { return m_dataExtractionSettings; }
    const PerspectiveSettings &perspectiveSettings() const { return m_perspectiveSettings; }
    const DrawSettings2D &drawSettings2D() const { return m_drawSettings2D; }
    const DrawSettings3DFlat &drawSettings3DFlat() const { return m_drawSettings3DFlat; }
    const DrawSettings3DCube &drawSettings3DCube() const { return m_drawSettings3DCube; }

    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    void setMinMax(double minimum, double maximum);
    double resetValue() const { return m_resetValue; }
    void setResetValue(double value) { m_resetValue = value; }

    // What the values are: the title of the cube's value axis.
    const QString &valueLabel() const { return m_valueLabel; }
    void setValueLabel(const QString &label);

    bool flat3D() const { return m_flat3D; }
    void setFlat3D(bool flat);

    // 0 nothing to draw, 1 one value, 2 a curve, 4 a surface, 8 more free axes.
    int graphDepth() const { return m_graphDepth; }
    void setGraphDepth(int depth);

    // The dimension index of the n-th free entry of the selection, or -1.
    int freeAxis(int n) const;

    // Draws the selected sub-grid into `rect`: a curve for one free axis, a
    // flat colour map or a cube for two.
    void paint(QPainter &painter, QRect rect);
    void paint2D(QPainter &painter, QRect rect);
    // The picture the last paint drew from: the curve's cache, the flat map or the cube.
    const QImage &cachedGraph() const;
    // Milliseconds the last full cube render took.
    qint64 lastRenderTime() const { return m_cubePainter.lastRenderTime(); }
    const SurfaceMesh &mesh() const { return m_cubePainter.mesh(); }
    const CubeAxes &cubeAxes() const { return m_cubePainter.axes(); }

    bool settingsDirty(SettingsRecord record) const { return m_settingsDirty[index(record)]; }
    void clearSettingsDirty(SettingsRecord record) { m_settingsDirty[index(record)] = false; }

signals:
    void beforePaint3D(QPainter &painter);
    void afterPaint3D(QPainter &painter);
    void paint3DYAxisNeeded(QPainter &painter);
    void paint3DAxesNeeded(QPainter &painter);
    void minMaxChanged();
    void dataExtractionSettingsChanged(DataExtractionSettings settings);
    void perspectiveChanged(PerspectiveSettings settings);
    void drawSettings2DChanged(DrawSettings2D settings);
    void drawSettings3DFlatChanged(DrawSettings3DFlat settings);
    void drawSettings3DCubeChanged(DrawSettings3DCube settings);
    void graphDepthChanged();

public slots:
    void setDataExtractionSettings(DataExtractionSettings settings);
    void setPerspectiveSettings(PerspectiveSettings settings);
    void setDrawSettings2D(DrawSettings2D settings);
    void setDrawSettings3DFlat(DrawSettings3DFlat settings);
    void setDrawSettings3DCube(DrawSettings3DCube settings);

    void clear() override;
    void resetValues() override;
    void setValues(const QList<double> &values) override;
    void setValue(const QList<int> &position, double value) override;
    void setValueAtOffsets(const QList<qsizetype> &offsets, double value) override;
    void setDimensions(const QList<Dimension> &dimensions) override;
    bool appendValue(double value) override;

private:
    static constexpr int index(SettingsRecord record) { return static_cast<int>(record); }
    bool surfaceShown() const { return m_graphDepth >= 4; }
    void markSettingsDirty(SettingsRecord record) { m_settingsDirty[index(record)] = true; }
    void resetRange();
    bool widenRange(double value);
    void foldIntoRange(const QList<double> &values);
    // Replaces a selection that does not fit the grid; true when it did.
    bool replaceInvalidSelection();
    void updateGraphDepth();
    // Tells every painter that the values changed since the store last drew.
    void handOverChanges();

    bool m_displayAsScan = false;
    DataExtractionSettings m_dataExtractionSettings;
    PerspectiveSettings m_perspectiveSettings;
    DrawSettings2D m_drawSettings2D;
    DrawSettings3DFlat m_drawSettings3DFlat;
    DrawSettings3DCube m_drawSettings3DCube;
    double m_minimum;
    double m_maximum;
    double m_resetValue;
    QString m_valueLabel;
    bool m_flat3D = false;
    int m_graphDepth = 0;
    bool m_settingsDirty[5] = {false, false, false, false, false};
    CurvePainter m_curvePainter;
    FlatMapPainter m_flatMapPainter;
    CubePainter m_cubePainter;
};
