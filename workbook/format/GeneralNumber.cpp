#include "GeneralNumber.h"

#include "DecimalDigits.h"

#include <cmath>
#include <cstdlib>

namespace workbook {

namespace {

// The widest General text, in characters.
constexpr int generalWidth = 11;

struct Candidate
{
    std::string text;
    int significant = 0; // digits it shows, leading zeros not counted
};

// The fixed-point text with `decimals` places, trailing zeros dropped.
Candidate fixedText(const SignificantDigits &fifteen, int decimals)
{
    FixedDigits d = fixedDigits(fifteen, decimals);
    while (!d.fraction.empty() && d.fraction.back() == '0')
        d.fraction.pop_back();
    Candidate c;
    c.text = (d.whole.empty() ? "0" : d.whole) + (d.fraction.empty() ? "" : "." + d.fraction);
    const std::string shown = d.whole + d.fraction;
    const size_t first = shown.find_first_not_of('0');
    c.significant = first == std::string::npos ? 0 : static_cast<int>(shown.size() - first);
    return c;
}

// "1.2346E+11": `digits` significant digits, trailing zeros dropped.
Candidate scientificText(const SignificantDigits &fifteen, int digits)
{
    SignificantDigits d = significantDigits(fifteen, digits);
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    Candidate c;
    c.significant = static_cast<int>(d.digits.size());
    c.text = d.digits.substr(0, 1) + (d.digits.size() > 1 ? "." + d.digits.substr(1) : "");
    const int e = std::abs(d.exponent);
    c.text += d.exponent < 0 ? "E-" : "E+";
    c.text += (e < 10 ? "0" : "") + std::to_string(e);
    return c;
}

// The candidate with the most digits that fits `room` characters; empty text when none does.
template <typename Make>
Candidate widestFitting(Make make, int from, int to, int room)
{
    for (int n = from; n >= to; --n) {
        Candidate c = make(n);
        if (static_cast<int>(c.text.size()) <= room)
            return c;
    }
    return Candidate();
}

} // namespace

std::string hashes(int width)
{
    return std::string(static_cast<size_t>(std::max(width, 1)), '#');
}

std::string generalNumber(double x, int width)
{
    if (!std::isfinite(x))
        return "#NUM!";
    if (x == 0)
        return "0";
    const double magnitude = std::fabs(x);
    const std::string sign = x < 0 ? "-" : "";
    // The sign takes room from a column, never from General's own eleven characters.
    const int room = std::min(width > 0 ? width - static_cast<int>(sign.size()) : generalWidth, generalWidth);
    const SignificantDigits digits = fifteenDigits(magnitude);
    const Candidate whole = fixedText(digits, 0);
    const Candidate fixed = static_cast<int>(whole.text.size()) <= room
        ? widestFitting([&](int n) { return fixedText(digits, n); }, room, 0, room)
        : Candidate();
    const Candidate scientific = widestFitting([&](int n) { return scientificText(digits, n); }, room, 1, room);
    // Large numbers show fixed while their digits fit; small ones while that
    // shows as many digits as scientific notation would.
    const bool useFixed = !fixed.text.empty() && fixed.significant > 0
        && (magnitude >= 1 || fixed.significant >= scientific.significant);
    if (useFixed)
        return sign + fixed.text;
    if (!scientific.text.empty())
        return sign + scientific.text;
    return hashes(width);
}

} // namespace workbook
