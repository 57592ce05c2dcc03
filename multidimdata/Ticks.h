#pragma once

#include <QList>

// Axis ticks at whole multiples of a step that is half or all of a power of
// ten. For an axis of `length` pixels showing `low` .. `high`, with ticks at
// least `minSpacing` pixels apart, fills `positions` (pixels from the axis
// start) and `values`, both ascending. Gives no ticks for an axis shorter than
// a pixel or than the spacing, a spacing of 0 or less, an empty range, or any
// non-finite input.
void computeTicks(double length, double minSpacing, double low, double high, QList<double> &positions,
                  QList<double> &values);
