#include "Ticks.h"

#include <algorithm>
#include <cmath>

namespace {

// More ticks than any screen shows: a hostile length cannot exhaust memory.
constexpr double maxTickCount = 100000.0;

} // namespace

void computeTicks(double length, double minSpacing, double low, double high, QList<double> &positions,
                  QList<double> &values)
{
    positions.clear();
    values.clear();
    if (!std::isfinite(length) || !std::isfinite(minSpacing) || !std::isfinite(low) || !std::isfinite(high))
        return;
    if (length < 1 || length < minSpacing || minSpacing <= 0 || high <= low)
        return;

    // Widen by a millionth so that ticks on the very ends survive rounding.
    const double span = high - low;
    const double hi = high + span / 1000000;
    const double lo = low - span / 1000000;
    const double range = hi - lo;
    const double rough = range * minSpacing / length;
    const double magnitude = std::pow(10.0, std::floor(std::log(rough) / 2.302585092994046 + 1));
    const double halfMagnitude = magnitude * 0.5;
    const double step = halfMagnitude * std::ceil(rough / halfMagnitude);
    if (!std::isfinite(range) || !std::isfinite(step) || step <= 0)
        return;

    const double first = step * std::ceil(lo / step);
    const double count = std::floor((hi - first) / step);
    if (!(count >= 0) || count > maxTickCount)
        return;
    const int lastIndex = static_cast<int>(count);
    positions.reserve(lastIndex + 1);
    values.reserve(lastIndex + 1);
    for (int i = 0; i <= lastIndex; ++i) {
        positions.append(length * (first - lo) / range + i * length * step / range);
        values.append(first + step * i);
    }
}

QStringList tickLabels(const QList<double> &values)
{
    int precision = 6;
    double step = 0;
    if (values.size() >= 2) {
        step = std::abs(values[1] - values[0]);
        double largest = 0;
        for (double value : values)
            largest = std::max(largest, std::abs(value));
        if (step > 0 && std::isfinite(step) && std::isfinite(largest))
            precision = std::clamp(int(std::floor(std::log10(largest)) - std::floor(std::log10(step))) + 1, 6, 17);
    }
    QStringList labels;
    labels.reserve(values.size());
    for (double value : values)
        labels << QString::number(std::abs(value) < step * 1e-9 ? 0.0 : value, 'g', precision);
    return labels;
}
