#pragma once

#include "StepGrid.h"

#include <QString>

#include <algorithm>
#include <cmath>

class VRKExcelRange;

// One scanned slider: the cell it drives and the grid it sweeps. The grid
// runs from `minimum` in intervals of stepFactor x step, on the slider's own
// decimal grid, so a scan writes the numbers the slider would; its last value
// never passes `maximum`.
struct ScanAxis
{
    VRKExcelRange *cell = nullptr;
    double minimum = 0.0;
    double maximum = 0.0;
    double step = 0.0;
    int stepFactor = 1;
    QString caption;

    double interval() const { return stepFactor * step; }

    // The number of grid intervals M: at least 1, and -2 when the interval is
    // not positive (no grid at all).
    int intervals() const
    {
        const double span = maximum - minimum;
        if (!(interval() > 0))
            return -2;
        if (!(interval() < span))
            return 1;
        // A span that is a whole number of intervals must not lose the last
        // one to rounding (0.99 / 0.01 is 98.99999999999999).
        return int(std::floor(span / interval() * (1 + 1e-12)));
    }

    int points() const { return intervals() + 1; }

    // The grid index nearest to `value`, within the grid.
    int nearestIndex(double value) const
    {
        if (!(interval() > 0))
            return 0;
        const double index = std::floor((value - minimum) / interval() + 0.5);
        return int(std::clamp(index, 0.0, double(std::max(0, intervals()))));
    }

    // Where `value` lies along the stored grid, 0 at its first value and 1 at
    // its last (which may stop short of the maximum); 0.5 for a grid of one point.
    double fractionOf(double value) const
    {
        const double span = valueAt(intervals()) - minimum;
        return span > 0 ? std::clamp((value - minimum) / span, 0.0, 1.0) : 0.5;
    }

    // The grid index at a fraction along the stored grid.
    int indexAtFraction(double fraction) const
    {
        return int(std::floor(std::clamp(fraction, 0.0, 1.0) * std::max(0, intervals()) + 0.5));
    }

    double valueAt(int index) const
    {
        return std::min(StepGrid(minimum, step).at(double(index) * stepFactor), maximum);
    }
};
