#pragma once

#include <QList>

// The order in which a scan visits the points of its grid, coarse to fine, so
// that the picture is usable from the first few points on and only sharpens.
// First come the corners (index 0 and the last index of every axis, all
// combinations); then passes of halving strides s, each visiting the points
// not seen yet whose indices are all multiples of s or their axis's last
// index. A pass goes through its points in storage order (first axis
// fastest), the passes alternating direction, so that one axis of 10 points
// is visited as 0, 9, 8, 4, 6, 2, 1, 3, 5, 7. Every point comes exactly once.
class GridScanOrder
{
public:
    // One count per axis, in the order of the store's dimensions. A grid
    // without axes, or with an axis of no points, has no points.
    explicit GridScanOrder(const QList<int> &counts);

    // Moves to the next point; false once every point has come.
    bool next();

    // The point just returned: its index on every axis (the list is reused
    // by the next call), its offset in a store of these counts, the stride of
    // its pass and whether it was the last point of that pass. The corners'
    // pass has a stride above every axis's last index.
    const QList<int> &indices() const { return m_indices; }
    qsizetype offset() const { return m_offset; }
    int stride() const { return m_stride; }
    bool passEnded() const { return m_passEnded; }
    // From the end of the corners' pass on, every cell holds a sample or a
    // stand-in (StandInCells).
    bool cornersDone() const { return m_cornersDone; }

    const QList<int> &counts() const { return m_counts; }
    qsizetype total() const { return m_total; }

private:
    void startPass(int stride);
    bool step();
    bool moveCursor();
    bool seekNewPoint();
    bool isNew() const;
    int valueAt(qsizetype axis) const;

    QList<int> m_counts;
    qsizetype m_total = 0;
    int m_cornerStride = 1;

    // The cursor: the next point to return, as a position on every axis's
    // lattice of the pass (lattice position j is index min(j × stride, last)).
    bool m_hasCursor = false;
    int m_passStride = 0;
    bool m_forward = false;
    QList<int> m_lattice;
    QList<int> m_latticeCounts;

    QList<int> m_indices;
    qsizetype m_offset = -1;
    int m_stride = 0;
    bool m_passEnded = false;
    bool m_cornersDone = false;
};
