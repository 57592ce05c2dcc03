#include "SimpleMultiDimData.h"
#include "DataLogging.h"

#include <QDebug>
#include <QStringList>

#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcData, "tarvio.data", QtWarningMsg)

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

QString positionText(const QList<int> &position)
{
    QStringList parts;
    parts.reserve(position.size());
    for (int coordinate : position)
        parts << QString::number(coordinate);
    return QLatin1Char('(') + parts.join(QLatin1String(", ")) + QLatin1Char(')');
}

// The product of the counts, or -1 when a count is negative or the product
// exceeds what a store accepts (so a hostile list cannot overflow or exhaust memory).
qsizetype checkedTotalSize(const QList<Dimension> &dimensions)
{
    if (dimensions.isEmpty())
        return 0;
    qsizetype total = 1;
    for (const Dimension &dimension : dimensions) {
        if (dimension.count < 0)
            return -1;
        if (dimension.count == 0)
            return 0;
        if (total > SimpleMultiDimData::maxTotalSize / dimension.count)
            return -1;
        total *= dimension.count;
    }
    return total;
}

} // namespace

SimpleMultiDimData::SimpleMultiDimData(QObject *parent)
    : QObject(parent)
{
}

void SimpleMultiDimData::setMaxValueCount(int count)
{
    if (count >= 0)
        m_maxValueCount = count;
}

int SimpleMultiDimData::dataKind() const
{
    switch (m_dimensions.size()) {
    case 0:
        return 0;
    case 1:
        return 2;
    case 2:
        return 4;
    default:
        return 8;
    }
}

qsizetype SimpleMultiDimData::totalSize() const
{
    return std::max<qsizetype>(checkedTotalSize(m_dimensions), 0);
}

qsizetype SimpleMultiDimData::offsetOf(const QList<int> &position) const
{
    qsizetype offset = 0;
    qsizetype stride = 1;
    bool inGrid = position.size() <= m_dimensions.size();
    for (qsizetype i = 0; inGrid && i < position.size(); ++i) {
        const int count = m_dimensions.at(i).count;
        inGrid = position.at(i) >= 0 && position.at(i) < count;
        offset += stride * position.at(i);
        stride *= count;
    }
    if (!inGrid || offset >= m_values.size()) {
        qCDebug(lcData).noquote() << "GET invalid for" << positionText(position) << "offset:" << (inGrid ? offset : -1)
                           << "data size:" << m_values.size();
        return -1;
    }
    return offset;
}

double SimpleMultiDimData::value(const QList<int> &position) const
{
    const qsizetype offset = offsetOf(position);
    return offset < 0 ? notANumber : m_values.at(offset);
}

QList<double> SimpleMultiDimData::extract(QList<int> selection) const
{
    if (m_dimensions.isEmpty() || selection.size() > m_dimensions.size())
        return {};
    while (selection.size() < m_dimensions.size())
        selection.append(-1);

    QList<qsizetype> freeAxes;
    for (qsizetype i = 0; i < selection.size(); ++i) {
        if (selection.at(i) == -1) {
            freeAxes.append(i);
            selection[i] = 0;
        }
    }
    qsizetype count = 1;
    for (qsizetype axis : freeAxes)
        count *= m_dimensions.at(axis).count;

    QList<double> result;
    result.reserve(count);
    // Walk the free axes like an odometer, the first free axis fastest.
    for (qsizetype n = 0; n < count; ++n) {
        result.append(value(selection));
        for (qsizetype axis : freeAxes) {
            if (++selection[axis] < m_dimensions.at(axis).count)
                break;
            selection[axis] = 0;
        }
    }
    return result;
}

void SimpleMultiDimData::markChanged()
{
    m_dirty = true;
    emit changed();
}

void SimpleMultiDimData::clear()
{
    m_dimensions.clear();
    m_values.clear();
    m_dataComplete = false;
    emit dimensionsChanged();
    markChanged();
}

void SimpleMultiDimData::resetValues()
{
    for (qsizetype i = m_values.size() - 1; i >= 0; --i)
        m_values[i] = notANumber;
    m_dataComplete = false;
    markChanged();
}

void SimpleMultiDimData::setValues(const QList<double> &values)
{
    if (values.size() != totalSize()) {
        qCDebug(lcData) << "Invalid data size. Required:" << totalSize() << " provided:" << values.size();
        return;
    }
    m_values = values;
    markChanged();
}

void SimpleMultiDimData::setValue(const QList<int> &position, double value)
{
    if (std::isnan(value))
        emit reportNaN();
    const qsizetype offset = offsetOf(position);
    if (offset < 0)
        return;
    m_values[offset] = value;
    markChanged();
}

void SimpleMultiDimData::setValueAtOffsets(const QList<qsizetype> &offsets, double value)
{
    if (std::isnan(value))
        emit reportNaN();
    for (qsizetype offset : offsets)
        if (offset >= 0 && offset < m_values.size())
            m_values[offset] = value;
    markChanged();
}

void SimpleMultiDimData::setDimensions(const QList<Dimension> &dimensions)
{
    if (dimensions == m_dimensions)
        return;
    const qsizetype total = checkedTotalSize(dimensions);
    if (total < 0) {
        qCDebug(lcData) << "Refusing dimensions: negative count or more than" << maxTotalSize << "values";
        return;
    }
    m_dimensions = dimensions;
    if (m_values.size() > total) {
        m_values.resize(total);
    } else {
        m_values.reserve(total);
        while (m_values.size() < total)
            m_values.append(notANumber);
    }
    markChanged();
    emit dimensionsChanged();
}

bool SimpleMultiDimData::appendValue(double value)
{
    if (dataKind() != 2)
        return false;
    m_values.append(value);
    const qsizetype surplus = m_values.size() - m_maxValueCount;
    if (surplus > 0)
        m_values.remove(0, surplus);
    m_dimensions[0].count = static_cast<int>(m_values.size());
    if (surplus > 0)
        markChanged();
    markChanged();
    return true;
}
