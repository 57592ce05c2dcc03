#pragma once

#include <string>

namespace workbook {

// A magnitude as the decimal digits a spreadsheet shows: its 15 significant
// digits, rounded half away from zero (never the binary value's own
// rounding, so 2.675 at two places is 2.68 as typed).
struct FixedDigits
{
    std::string whole;    // without leading zeros: "" for a magnitude below 1
    std::string fraction; // exactly the asked number of digits
};
FixedDigits fixedDigits(double magnitude, int decimals);

// `count` significant digits of a positive magnitude and its decimal
// exponent: 1234.5 at 3 is {"123", 3}.
struct SignificantDigits
{
    std::string digits;
    int exponent = 0; // of the first digit
};
SignificantDigits significantDigits(double magnitude, int count);

// The same from a magnitude's 15 digits, read once for many roundings.
SignificantDigits fifteenDigits(double magnitude);
SignificantDigits significantDigits(const SignificantDigits &fifteen, int count);
FixedDigits fixedDigits(const SignificantDigits &fifteen, int decimals);

} // namespace workbook
