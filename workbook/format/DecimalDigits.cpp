#include "DecimalDigits.h"

#include <cstdio>
#include <cstdlib>

namespace workbook {

SignificantDigits fifteenDigits(double magnitude)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);
    SignificantDigits out;
    out.digits.reserve(15);
    const char *p = buffer;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            out.digits += *p;
    out.exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    return out;
}

namespace {

// Keeps the first `keep` digits (0 or more), rounding half up on the one
// after; a carry out of the first digit raises the exponent.
void roundTo(SignificantDigits &d, int keep)
{
    if (keep >= static_cast<int>(d.digits.size())) {
        d.digits.append(static_cast<size_t>(keep) - d.digits.size(), '0');
        return;
    }
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
    d.digits.resize(static_cast<size_t>(keep));
    if (!up)
        return;
    int i = keep - 1;
    for (; i >= 0 && d.digits[static_cast<size_t>(i)] == '9'; --i)
        d.digits[static_cast<size_t>(i)] = '0';
    if (i >= 0) {
        ++d.digits[static_cast<size_t>(i)];
    } else {
        d.digits.insert(d.digits.begin(), '1');
        d.digits.pop_back();
        ++d.exponent;
        if (keep == 0)
            d.digits = "1";
    }
}

} // namespace

SignificantDigits significantDigits(double magnitude, int count)
{
    return significantDigits(fifteenDigits(magnitude), count);
}

SignificantDigits significantDigits(const SignificantDigits &fifteen, int count)
{
    SignificantDigits d = fifteen;
    roundTo(d, count);
    return d;
}

FixedDigits fixedDigits(double magnitude, int decimals)
{
    return fixedDigits(fifteenDigits(magnitude), decimals);
}

FixedDigits fixedDigits(const SignificantDigits &fifteen, int decimals)
{
    SignificantDigits d = fifteen;
    FixedDigits out;
    if (d.digits.find_first_not_of('0') == std::string::npos) {
        out.fraction.assign(static_cast<size_t>(decimals), '0');
        return out;
    }
    const int before = d.exponent + 1; // digits before the point
    const int keep = before + decimals;
    if (keep < 0) {
        out.fraction.assign(static_cast<size_t>(decimals), '0');
        return out;
    }
    const int exponentBefore = d.exponent;
    roundTo(d, keep);
    // A carry (9.99 -> 10.0) adds a digit before the point.
    const int point = before + (d.exponent - exponentBefore);
    std::string all = d.digits;
    if (d.exponent != exponentBefore && keep > 0)
        all += '0';
    if (point > 0) {
        out.whole = all.substr(0, static_cast<size_t>(point));
        out.fraction = all.size() > static_cast<size_t>(point) ? all.substr(static_cast<size_t>(point)) : std::string();
    } else {
        out.fraction = std::string(static_cast<size_t>(-point), '0') + all;
    }
    out.fraction.resize(static_cast<size_t>(decimals), '0');
    const size_t first = out.whole.find_first_not_of('0');
    out.whole.erase(0, first == std::string::npos ? out.whole.size() : first);
    return out;
}

} // namespace workbook
