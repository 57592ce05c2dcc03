#include "GraphPalette.h"

#include <cmath>

const QList<QRgb> &GraphPalette::ramp()
{
    static const QList<QRgb> colours = [] {
        QList<QRgb> table;
        table.reserve(256);
        for (int i = 0; i < 256; ++i)
            table << QColor::fromHsv(255 - i, 255, 100 + 155 * i / 255, 255).rgb();
        return table;
    }();
    return colours;
}

QColor GraphPalette::colourAt(double x)
{
    if (!std::isfinite(x))
        return QColor(ramp().first());
    const long long index = static_cast<long long>(x * 255);
    return QColor(ramp().at(int(((index % 256) + 256) % 256)));
}
