#pragma once

#include <QList>
#include <QStringList>

// Axis ticks at whole multiples of a step that is half or all of a power of
// ten. For an axis of `length` pixels showing `low` .. `high`, with ticks at
// least `minSpacing` pixels apart, fills `positions` (pixels from the axis
// start) and `values`, both ascending. Gives no ticks for an axis shorter than
// a pixel or than the spacing, a spacing of 0 or less, an empty range, or any
// non-finite input.
void computeTicks(double length, double minSpacing, double low, double high, QList<double> &positions,
                  QList<double> &values);

// The labels of ascending tick values, as `QString::number` writes them with
// format 'g': six significant digits, or as many more as the step between
// neighbours needs to tell them apart. A tick within rounding of zero says 0.
QStringList tickLabels(const QList<double> &values);
