#include "StandInCells.h"

#include "GridScanOrder.h"

#include <algorithm>

namespace {

// The indices along one axis whose nearest lattice point at this stride is
// `index`, a lattice point itself: from past the midpoint with the lattice
// point below (a tie goes below) to the midpoint with the one above.
void nearestRange(int index, int stride, int last, int &low, int &high)
{
    int below = -1;
    if (index > 0)
        below = index == last && last % stride != 0 ? last - last % stride : index - stride;
    const int above = index == last ? -1 : int(std::min<qint64>(qint64(index) + stride, last));
    low = below < 0 ? 0 : (below + index) / 2 + 1;
    high = above < 0 ? last : (index + above) / 2;
}

} // namespace

const QList<qsizetype> &StandInCells::cellsFor(const GridScanOrder &order)
{
    const QList<int> &counts = order.counts();
    const QList<int> &indices = order.indices();
    const qsizetype axes = counts.size();
    m_low.resize(axes);
    m_high.resize(axes);
    m_at.resize(axes);
    for (qsizetype axis = 0; axis < axes; ++axis) {
        nearestRange(indices[axis], order.stride(), counts[axis] - 1, m_low[axis], m_high[axis]);
        m_at[axis] = m_low[axis];
    }

    m_cells.clear();
    m_cells.append(order.offset());
    if (axes == 0)
        return m_cells;
    // Row by row along the first axis, which is contiguous in storage.
    for (;;) {
        qsizetype row = 0;
        qsizetype storageStride = counts[0];
        for (qsizetype axis = 1; axis < axes; ++axis) {
            row += storageStride * m_at[axis];
            storageStride *= counts[axis];
        }
        for (qsizetype offset = row + m_low[0]; offset <= row + m_high[0]; ++offset)
            if (offset != order.offset())
                m_cells.append(offset);
        qsizetype axis = 1;
        while (axis < axes && m_at[axis] == m_high[axis]) {
            m_at[axis] = m_low[axis];
            ++axis;
        }
        if (axis == axes)
            return m_cells;
        ++m_at[axis];
    }
}
