#include "GridScanOrder.h"

#include <algorithm>

GridScanOrder::GridScanOrder(const QList<int> &counts)
    : m_counts(counts)
    , m_total(counts.isEmpty() ? 0 : 1)
    , m_lattice(counts.size(), 0)
    , m_latticeCounts(counts.size(), 0)
    , m_indices(counts.size(), 0)
{
    int longest = 0;
    for (int count : counts) {
        m_total *= std::max(count, 0);
        longest = std::max(longest, count - 1);
    }
    // The corners' stride is the first power of two beyond every last index,
    // so that its lattice holds just the two ends of each axis.
    while (m_cornerStride <= longest)
        m_cornerStride *= 2;
    if (m_total == 0)
        return;
    startPass(m_cornerStride);
    m_hasCursor = true;
}

bool GridScanOrder::next()
{
    if (!m_hasCursor)
        return false;
    qsizetype offset = 0;
    qsizetype storageStride = 1;
    for (qsizetype axis = 0; axis < m_counts.size(); ++axis) {
        m_indices[axis] = valueAt(axis);
        offset += storageStride * m_indices[axis];
        storageStride *= m_counts[axis];
    }
    m_offset = offset;
    m_stride = m_passStride;
    // One point ahead, so that the point just returned knows whether it ended its pass.
    m_hasCursor = seekNewPoint();
    m_passEnded = !m_hasCursor || m_passStride != m_stride;
    if (m_passEnded && m_stride == m_cornerStride)
        m_cornersDone = true;
    return true;
}

void GridScanOrder::startPass(int stride)
{
    m_passStride = stride;
    m_forward = !m_forward;
    for (qsizetype axis = 0; axis < m_counts.size(); ++axis) {
        const int last = m_counts[axis] - 1;
        m_latticeCounts[axis] = (last + stride - 1) / stride + 1;
        m_lattice[axis] = m_forward ? 0 : m_latticeCounts[axis] - 1;
    }
}

// The next position of the pass's lattice, first axis fastest.
bool GridScanOrder::step()
{
    for (qsizetype axis = 0; axis < m_lattice.size(); ++axis) {
        if (m_forward) {
            if (++m_lattice[axis] < m_latticeCounts[axis])
                return true;
            m_lattice[axis] = 0;
        } else {
            if (--m_lattice[axis] >= 0)
                return true;
            m_lattice[axis] = m_latticeCounts[axis] - 1;
        }
    }
    return false;
}

bool GridScanOrder::moveCursor()
{
    if (step())
        return true;
    if (m_passStride == 1)
        return false;
    startPass(m_passStride / 2);
    return true;
}

bool GridScanOrder::seekNewPoint()
{
    do {
        if (!moveCursor())
            return false;
    } while (!isNew());
    return true;
}

// Whether the cursor's point was not on the lattice of an earlier pass, the
// one of twice the stride.
bool GridScanOrder::isNew() const
{
    if (m_passStride == m_cornerStride)
        return true;
    const qint64 coarser = 2 * qint64(m_passStride);
    for (qsizetype axis = 0; axis < m_counts.size(); ++axis) {
        const int index = valueAt(axis);
        if (index % coarser != 0 && index != m_counts[axis] - 1)
            return true;
    }
    return false;
}

int GridScanOrder::valueAt(qsizetype axis) const
{
    return int(std::min<qint64>(qint64(m_lattice[axis]) * m_passStride, m_counts[axis] - 1));
}
