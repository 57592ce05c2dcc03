#pragma once

#include <QColor>
#include <QList>
#include <QRgb>

// The colour ramp of the surfaces: dark violet-blue for low values to bright
// red for high ones, 256 entries. Built once and shared.
namespace GraphPalette {

// Entry i: hue 255 - i, full saturation, value 100 + 155 i / 255.
const QList<QRgb> &ramp();

// The ramp's colour at x in [0, 1] (index x * 255, taken modulo 256).
QColor colourAt(double x);

} // namespace GraphPalette
