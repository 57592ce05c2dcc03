#include "MinMaxMultiDimData.h"
#include "DataLogging.h"

#include <QDebug>

#include <cmath>
#include <limits>

namespace {

QString selectionText(const QList<int> &selection)
{
    QStringList items;
    for (int index : selection)
        items << QString::number(index);
    return items.join(QStringLiteral(", "));
}

bool sameValue(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Stores an incoming record that differs from the stored one; true when it did.
template <typename Record>
bool replaceRecord(Record &stored, const Record &incoming)
{
    if (incoming == stored)
        return false;
    stored = incoming;
    return true;
}

} // namespace

MinMaxMultiDimData::MinMaxMultiDimData(QObject *parent)
    : SimpleMultiDimData(parent)
    , m_minimum(std::numeric_limits<double>::quiet_NaN())
    , m_maximum(std::numeric_limits<double>::quiet_NaN())
    , m_resetValue(std::numeric_limits<double>::quiet_NaN())
{
    setPerspectiveSettings(PerspectiveSettings());
    setDrawSettings2D(DrawSettings2D());
    setDrawSettings3DFlat(DrawSettings3DFlat{true});
    DrawSettings3DCube cube;
    cube.imageSize = QSize(0, 0);
    setDrawSettings3DCube(cube);
    setDataExtractionSettings(DataExtractionSettings());
}

void MinMaxMultiDimData::setDisplayAsScan(bool value)
{
    if (value == m_displayAsScan)
        return;
    m_displayAsScan = value;
    if (m_graphDepth == 2)
        emit updateNeeded();
    emit displayAsScanChanged(value);
}

void MinMaxMultiDimData::setMinMax(double minimum, double maximum)
{
    if (sameValue(minimum, m_minimum) && sameValue(maximum, m_maximum))
        return;
    m_minimum = minimum;
    m_maximum = maximum;
    markChanged();
    emit minMaxChanged();
}

void MinMaxMultiDimData::setValueLabel(const QString &label)
{
    if (label == m_valueLabel)
        return;
    m_valueLabel = label;
    if (surfaceShown() && !m_flat3D)
        emit updateNeeded();
}

void MinMaxMultiDimData::setFlat3D(bool flat)
{
    if (flat == m_flat3D)
        return;
    m_flat3D = flat;
    if (surfaceShown())
        emit updateNeeded();
}

void MinMaxMultiDimData::setGraphDepth(int depth)
{
    if (depth == m_graphDepth)
        return;
    m_graphDepth = depth;
    emit graphDepthChanged();
}

int MinMaxMultiDimData::freeAxis(int n) const
{
    const QList<int> &selection = m_dataExtractionSettings.selection;
    for (qsizetype i = 0; i < selection.size(); ++i) {
        if (selection.at(i) == -1 && n-- == 0)
            return static_cast<int>(i);
    }
    return -1;
}

void MinMaxMultiDimData::setDataExtractionSettings(DataExtractionSettings settings)
{
    if (!replaceRecord(m_dataExtractionSettings, settings))
        return;
    markSettingsDirty(SettingsRecord::Extraction);
    emit dataExtractionSettingsChanged(m_dataExtractionSettings);
    if (replaceInvalidSelection())
        return; // the replacement has been announced and drawn already
    updateGraphDepth();
    if (surfaceShown() && !m_flat3D)
        emit updateNeeded();
}

void MinMaxMultiDimData::setPerspectiveSettings(PerspectiveSettings settings)
{
    if (!replaceRecord(m_perspectiveSettings, settings.normalized()))
        return;
    markSettingsDirty(SettingsRecord::Perspective);
    emit perspectiveChanged(m_perspectiveSettings);
    if (surfaceShown() && !m_flat3D)
        emit updateNeeded();
}

void MinMaxMultiDimData::setDrawSettings2D(DrawSettings2D settings)
{
    if (!replaceRecord(m_drawSettings2D, settings.normalized()))
        return;
    markSettingsDirty(SettingsRecord::Draw2D);
    emit drawSettings2DChanged(m_drawSettings2D);
    if (m_graphDepth == 2)
        emit updateNeeded();
}

void MinMaxMultiDimData::setDrawSettings3DFlat(DrawSettings3DFlat settings)
{
    if (!replaceRecord(m_drawSettings3DFlat, settings))
        return;
    markSettingsDirty(SettingsRecord::Draw3DFlat);
    emit drawSettings3DFlatChanged(m_drawSettings3DFlat);
    if (surfaceShown() && m_flat3D)
        emit updateNeeded();
}

void MinMaxMultiDimData::setDrawSettings3DCube(DrawSettings3DCube settings)
{
    if (!replaceRecord(m_drawSettings3DCube, settings.normalized()))
        return;
    markSettingsDirty(SettingsRecord::Draw3DCube);
    emit drawSettings3DCubeChanged(m_drawSettings3DCube);
    if (surfaceShown() && !m_flat3D)
        emit updateNeeded();
}

void MinMaxMultiDimData::clear()
{
    resetRange();
    SimpleMultiDimData::clear();
    m_displayAsScan = false;
    if (!replaceInvalidSelection())
        updateGraphDepth();
    markChanged();
    emit minMaxChanged();
}

void MinMaxMultiDimData::resetValues()
{
    resetRange();
    SimpleMultiDimData::resetValues();
    m_displayAsScan = false;
    markChanged();
    emit minMaxChanged();
}

void MinMaxMultiDimData::setValues(const QList<double> &values)
{
    SimpleMultiDimData::setValues(values);
    if (values.size() != totalSize())
        return; // refused: nothing was stored
    m_displayAsScan = false;
    foldIntoRange(this->values());
    if (m_dataExtractionSettings.selection.size() >= 2)
        m_dataExtractionSettings.selection.clear();
}

void MinMaxMultiDimData::setValue(const QList<int> &position, double value)
{
    SimpleMultiDimData::setValue(position, value);
    m_displayAsScan = false;
    foldIntoRange({value});
}

void MinMaxMultiDimData::setValueAtOffsets(const QList<qsizetype> &offsets, double value)
{
    SimpleMultiDimData::setValueAtOffsets(offsets, value);
    m_displayAsScan = false;
    foldIntoRange({value});
}

void MinMaxMultiDimData::setDimensions(const QList<Dimension> &dimensions)
{
    SimpleMultiDimData::setDimensions(dimensions);
    if (!replaceInvalidSelection())
        updateGraphDepth();
    foldIntoRange(values());
}

bool MinMaxMultiDimData::appendValue(double value)
{
    if (!SimpleMultiDimData::appendValue(value))
        return false;
    m_displayAsScan = true;
    foldIntoRange({value});
    return true;
}

void MinMaxMultiDimData::resetRange()
{
    m_minimum = m_resetValue;
    m_maximum = m_resetValue;
}

bool MinMaxMultiDimData::widenRange(double value)
{
    if (std::isnan(value))
        return false;
    bool widened = false;
    if (std::isnan(m_minimum) || value < m_minimum) {
        m_minimum = value;
        widened = true;
    }
    if (std::isnan(m_maximum) || value > m_maximum) {
        m_maximum = value;
        widened = true;
    }
    return widened;
}

void MinMaxMultiDimData::foldIntoRange(const QList<double> &values)
{
    // Announce once per call, not once per widening sample: a scan's grid can
    // hold thousands of values.
    bool widened = false;
    for (qsizetype i = values.size() - 1; i >= 0; --i)
        widened = widenRange(values.at(i)) || widened;
    if (!widened)
        return;
    markChanged();
    emit minMaxChanged();
}

bool MinMaxMultiDimData::replaceInvalidSelection()
{
    const QList<int> &selection = m_dataExtractionSettings.selection;
    bool fits = selection.size() <= dimensions().size();
    for (qsizetype i = 0; fits && i < selection.size(); ++i)
        fits = selection.at(i) >= -1 && selection.at(i) < dimensions().at(i).count;
    if (fits)
        return false;
    DataExtractionSettings replacement = m_dataExtractionSettings;
    replacement.selection.clear();
    setDataExtractionSettings(replacement);
    return true;
}

void MinMaxMultiDimData::updateGraphDepth()
{
    const QList<int> &selection = m_dataExtractionSettings.selection;
    if (selection.isEmpty() || selection.size() > dimensions().size()) {
        setGraphDepth(0);
        return;
    }
    const qsizetype freeCount = selection.count(-1);
    setGraphDepth(freeCount == 0 ? 1 : freeCount == 1 ? 2 : freeCount == 2 ? 4 : 8);
}

void MinMaxMultiDimData::paint(QPainter &painter, QRect rect)
{
    const QList<int> &selection = m_dataExtractionSettings.selection;
    const int free = int(std::count(selection.begin(), selection.end(), -1));
    if (free == 0) {
        qCDebug(lcData) << "Cannot paint with empty indices";
        return;
    }
    if (dimensions().isEmpty()) {
        qCDebug(lcData) << "Cannot paint with no dimensions set";
        return;
    }
    if (selection.size() > dimensions().size()) {
        qCDebug(lcData).noquote() << "Invalid indices" << selectionText(selection) << "for dimensions with count"
                           << dimensions().size();
        return;
    }
    if (free > 2) {
        qCDebug(lcData).noquote() << "Cannot paint more graphs with more than 3 dimensions. Indices:"
                           << selectionText(selection);
        return;
    }
    handOverChanges();
    if (free == 1)
        paint2D(painter, rect);
    else if (m_flat3D)
        m_flatMapPainter.paint(*this, painter, rect);
    else
        m_cubePainter.paint(*this, painter, rect);
    setDirty(false);
}

void MinMaxMultiDimData::handOverChanges()
{
    // The flag is cleared by whichever painter runs; the others must still
    // redraw when they are next shown (a cube after the flat map, and back).
    if (!dirty())
        return;
    m_curvePainter.invalidate();
    m_flatMapPainter.invalidate();
    m_cubePainter.invalidate();
}

const QImage &MinMaxMultiDimData::cachedGraph() const
{
    if (m_graphDepth < 4)
        return m_curvePainter.image();
    return m_flat3D ? m_flatMapPainter.image() : m_cubePainter.image();
}

void MinMaxMultiDimData::paint2D(QPainter &painter, QRect rect)
{
    handOverChanges();
    m_curvePainter.paint(*this, painter, rect);
}
