#pragma once

#include <QList>

class GridScanOrder;

// Which cells a scan point just visited stands in for, so that a scan shows a
// whole picture at every moment, never scattered dots: each cell holds the
// value of its nearest lattice point of the pass in progress when that point
// has come, else of the pass before. A cell's nearest lattice point at stride
// s is, on every axis, the nearest multiple of s or the axis's last index,
// ties going to the lower one. Once the corners are in, no cell is empty.
//
// The cells a point stands in for have not been visited yet (a lattice point
// is its own nearest), so a stand-in never hides a sample; a finer point
// later overwrites them with its own value.
class StandInCells
{
public:
    // The storage offsets to write with the value of the point the order has
    // just returned: the point itself first, then the cells it stands in for.
    // The list is reused by the next call.
    const QList<qsizetype> &cellsFor(const GridScanOrder &order);

private:
    QList<qsizetype> m_cells;
    // Per axis, the indices the point stands in for; the odometer walks that box row by row.
    QList<int> m_low;
    QList<int> m_high;
    QList<int> m_at;
};
