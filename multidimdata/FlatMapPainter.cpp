#include "FlatMapPainter.h"

#include "GraphPalette.h"
#include "MinMaxMultiDimData.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr QRgb nanCompleteColour = 0xffa0a0a0;
constexpr QRgb nanPendingColour = 0xff201000;

} // namespace

void FlatMapPainter::paint(MinMaxMultiDimData &data, QPainter &painter, const QRect &rect)
{
    if (!m_built || data.dataExtractionSettings().selection != m_lastFlatSelection)
        rebuild(data);
    if (m_flatImage.isNull() || rect.isEmpty())
        return;
    if (data.drawSettings3DFlat().smooth)
        painter.drawImage(rect.topLeft(),
                          m_flatImage.scaled(rect.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    else
        painter.drawImage(rect, m_flatImage, m_flatImage.rect());
}

void FlatMapPainter::rebuild(const MinMaxMultiDimData &data)
{
    m_built = true;
    m_lastFlatSelection = data.dataExtractionSettings().selection;
    const QList<double> values = data.extract(m_lastFlatSelection);
    const int a = data.freeAxis(0), b = data.freeAxis(1);
    const int nA = a >= 0 ? data.dimensions().value(a).count : 0;
    const int nB = b >= 0 ? data.dimensions().value(b).count : 0;
    if (nA <= 0 || nB <= 0 || values.size() < qsizetype(nA) * nB) {
        m_flatImage = QImage();
        return;
    }
    m_flatImage = QImage(nA, nB, QImage::Format_Indexed8);
    QList<QRgb> table = GraphPalette::ramp();
    table[0] = data.dataComplete() ? nanCompleteColour : nanPendingColour;
    m_flatImage.setColorTable(table);

    double lo = data.minimum();
    double span = data.maximum() - lo;
    if (!(span > 0)) {
        span = 1;
        lo -= 0.5;
    }
    const int offset = std::isfinite(lo) ? int(lo * 254 / span) : 0;
    for (int row = 0; row < nB; ++row) {
        uchar *line = m_flatImage.scanLine(nB - 1 - row);
        for (int column = 0; column < nA; ++column) {
            const double v = values[qsizetype(row) * nA + column];
            if (std::isnan(v)) {
                line[column] = 0;
                continue;
            }
            // Clamped, so a value outside the store's range cannot wrap round the table.
            line[column] = uchar(std::clamp(int(v / span * 254 + 1) - offset, 1, 255));
        }
    }
}
