#include "StepGrid.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Whole numbers of units below this come out of the double exactly, and
// their sums stay exact.
constexpr double exactUnits = 0x1p50;
// 10^22 is the largest power of ten a double holds exactly.
constexpr int maxExactPlaces = 22;

} // namespace

StepGrid::StepGrid(double origin, double step)
    : m_origin(origin)
    , m_step(step)
{
    const int places = std::max(decimalPlaces(origin), decimalPlaces(step));
    if (places > maxExactPlaces)
        return;
    for (int i = 0; i < places; ++i)
        m_unitsPerOne *= 10;
    m_originUnits = std::round(origin * m_unitsPerOne);
    m_stepUnits = std::round(step * m_unitsPerOne);
    m_decimal = std::abs(m_originUnits) < exactUnits && std::abs(m_stepUnits) < exactUnits;
}

double StepGrid::at(double n) const
{
    if (m_decimal) {
        const double stepsUnits = n * m_stepUnits;
        if (std::abs(stepsUnits) < exactUnits) {
            // Whole units add exactly; the one division rounds once, to the
            // double nearest the decimal, as reading its text would. "+ 0.0"
            // keeps a negative zero out of the cells.
            return (m_originUnits + stepsUnits) / m_unitsPerOne + 0.0;
        }
    }
    // Too many digits for a double to carry as a decimal: the plain sum is as
    // close as it gets.
    return m_origin + n * m_step;
}

double StepGrid::stepsTo(double x) const
{
    return std::floor((x - m_origin) / m_step + 0.5);
}

int StepGrid::decimalPlaces(double x)
{
    if (!std::isfinite(x) || x == 0)
        return 0;
    // Scientific notation without a precision is the shortest round trip.
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, x, std::chars_format::scientific);
    *written.ptr = '\0';
    char *exponent = std::strchr(text, 'e');
    const char *point = std::strchr(text, '.');
    const int fractionDigits = point ? int(exponent - point - 1) : 0;
    return std::max(0, fractionDigits - std::atoi(exponent + 1));
}
