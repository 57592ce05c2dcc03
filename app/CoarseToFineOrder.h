#pragma once

#include <QtGlobal>

// The order in which a scan visits its N grid points, numbered 0 .. N - 1:
// passes of halving strides that alternate direction, each filling the
// midpoints the previous passes left, so that a usable picture exists after
// a few points and sharpens with every pass. With N = 10 the order is
// 0, 8, 4, 6, 2, 1, 3, 5, 7, 9. Every point comes exactly once.
class CoarseToFineOrder
{
public:
    explicit CoarseToFineOrder(qsizetype count);

    // The next point, or -1 when all have come.
    qsizetype next();
    // Whether the point just returned was the last of its pass.
    bool passEnded() const { return m_passEnded; }
    qsizetype stride() const { return m_stride; }

private:
    qsizetype m_count;
    qsizetype m_stride;
    qsizetype m_next = 0;
    bool m_forward = true;
    bool m_done = false;
    bool m_passEnded = false;
};
