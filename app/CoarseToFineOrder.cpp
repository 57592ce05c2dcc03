#include "CoarseToFineOrder.h"

CoarseToFineOrder::CoarseToFineOrder(qsizetype count)
    : m_count(count)
{
    // s = 2 x 2^k with k = ceil(log2 N).
    qsizetype power = 1;
    while (power < count)
        power *= 2;
    m_stride = 2 * power;
    m_done = count <= 0;
}

qsizetype CoarseToFineOrder::next()
{
    if (m_done)
        return -1;
    const qsizetype point = m_next;
    m_passEnded = false;
    m_next += m_forward ? m_stride : -m_stride;
    if (m_next >= m_count || m_next < 0) {
        m_passEnded = true;
        m_stride /= 2;
        const qsizetype half = m_stride / 2;
        m_next = half;
        m_forward = !m_forward;
        if (!m_forward && half < m_count)
            m_next = half + (m_count - 1 - half) / m_stride * m_stride;
        if (m_stride <= 1)
            m_done = true;
    }
    return point;
}
