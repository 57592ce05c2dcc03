#include "SpecialFunctions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace workbook::functions {

namespace {

constexpr double epsilon = 1e-16;
constexpr double tiny = 1e-300;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double sqrt2 = 1.41421356237309504880;
constexpr double sqrt2pi = 2.50662827463100050242;
// Series and continued fractions converge in a few times sqrt(a) steps;
// past this bound the arguments are absurd and the result is NaN.
int iterationLimit(double a)
{
    return static_cast<int>(std::min(2e6, 100000 + 50 * std::sqrt(std::fabs(a))));
}

// The remainder of Stirling's series: ln Gamma(a) - ((a - 1/2) ln a - a + ln(2 pi) / 2), for a >= 20.
double stirlingRemainder(double a)
{
    const double a2 = a * a;
    return (1.0 / 12 - (1.0 / 360 - (1.0 / 1260 - 1.0 / (1680 * a2)) / a2) / a2) / a;
}

constexpr double halfLogTwoPi = 0.91893853320467274178;
constexpr double large = 20; // from here on four terms of Stirling's series are good to 1e-15

// x^a e^-x / Gamma(a), the factor both forms of the incomplete gamma share.
// For large a the logarithm is taken apart so that nothing of size a is
// subtracted: a (ln(x/a) - (x/a - 1)) + ln(a / 2 pi) / 2 - remainder.
double gammaPrefactor(double a, double x)
{
    if (a < large)
        return std::exp(a * std::log(x) - x - std::lgamma(a));
    const double d = (x - a) / a;
    return std::exp(a * (std::log1p(d) - d) + 0.5 * std::log(a) - halfLogTwoPi - stirlingRemainder(a));
}

// ln Gamma(b + a) - ln Gamma(b) for b >= 20, without subtracting two large logarithms.
double logGammaRatio(double b, double a)
{
    return (b - 0.5) * std::log1p(a / b) + a * std::log(b + a) - a + stirlingRemainder(b + a) - stirlingRemainder(b);
}

// x^a y^b / B(a, b) with y = 1 - x given as exactly as the caller knows it.
double betaPrefactor(double x, double y, double a, double b)
{
    if (a < large && b < large)
        return std::exp(a * std::log(x) + b * std::log(y) + std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b));
    if (a >= large && b >= large) {
        // Both large: about the mean a / (a + b) the powers nearly cancel the beta function.
        const double mean = a / (a + b), complement = b / (a + b);
        const double logarithm = a * std::log1p((x - mean) / mean) + b * std::log1p((y - complement) / complement)
            + 0.5 * std::log(a * complement) - halfLogTwoPi + stirlingRemainder(a + b) - stirlingRemainder(a)
            - stirlingRemainder(b);
        return std::exp(logarithm);
    }
    const double small = std::min(a, b), big = std::max(a, b);
    return std::exp(a * std::log(x) + b * std::log(y) - std::lgamma(small) + logGammaRatio(big, small));
}

double gammaSeries(double a, double x)
{
    double term = 1 / a, sum = term;
    for (int n = 1, limit = iterationLimit(a); n < limit; ++n) {
        term *= x / (a + n);
        sum += term;
        if (std::fabs(term) < std::fabs(sum) * epsilon)
            return sum * gammaPrefactor(a, x);
    }
    return notANumber;
}

// Lentz's evaluation of the continued fraction for Q(a, x).
double gammaContinuedFraction(double a, double x)
{
    double b = x + 1 - a, c = 1 / tiny, d = 1 / b, h = d;
    for (int i = 1, limit = iterationLimit(a); i < limit; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < tiny)
            d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny)
            c = tiny;
        d = 1 / d;
        const double step = d * c;
        h *= step;
        if (std::fabs(step - 1) < epsilon)
            return h * gammaPrefactor(a, x);
    }
    return notANumber;
}

double betaContinuedFraction(double x, double a, double b)
{
    const double qab = a + b, qap = a + 1, qam = a - 1;
    double c = 1, d = 1 - qab * x / qap;
    if (std::fabs(d) < tiny)
        d = tiny;
    d = 1 / d;
    double h = d;
    for (int m = 1, limit = iterationLimit(a + b); m < limit; ++m) {
        const int m2 = 2 * m;
        double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
        d = 1 + aa * d;
        d = std::fabs(d) < tiny ? tiny : d;
        c = 1 + aa / c;
        c = std::fabs(c) < tiny ? tiny : c;
        d = 1 / d;
        h *= d * c;
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
        d = 1 + aa * d;
        d = std::fabs(d) < tiny ? tiny : d;
        c = 1 + aa / c;
        c = std::fabs(c) < tiny ? tiny : c;
        d = 1 / d;
        const double step = d * c;
        h *= step;
        if (std::fabs(step - 1) < epsilon)
            return h;
    }
    return notANumber;
}

} // namespace

double gammaP(double a, double x)
{
    if (!(a > 0) || !(x >= 0))
        return notANumber;
    if (x == 0)
        return 0;
    return x < a + 1 ? gammaSeries(a, x) : 1 - gammaContinuedFraction(a, x);
}

double gammaQ(double a, double x)
{
    if (!(a > 0) || !(x >= 0))
        return notANumber;
    if (x == 0)
        return 1;
    return x < a + 1 ? 1 - gammaSeries(a, x) : gammaContinuedFraction(a, x);
}

double betaI(double x, double a, double b)
{
    return betaI(x, 1 - x, a, b);
}

double betaI(double x, double y, double a, double b)
{
    if (!(a > 0) || !(b > 0) || !(x >= 0) || !(y >= 0) || !(x <= 1) || !(y <= 1))
        return notANumber;
    if (x == 0 || y == 0)
        return x == 0 ? 0 : 1;
    const double front = betaPrefactor(x, y, a, b);
    // The fraction converges fast on the side of the mean it is evaluated on.
    if (x < (a + 1) / (a + b + 2))
        return front * betaContinuedFraction(x, a, b) / a;
    return 1 - front * betaContinuedFraction(y, b, a) / b;
}

double studentTUpperTail(double t, double df)
{
    // Near t = 0 the tail is 1/2 less a small part, which keeps its digits
    // only when computed from t^2 / (df + t^2) itself.
    const double x = df / (df + t * t), y = t * t / (df + t * t);
    return y < 0.5 ? 0.5 - 0.5 * betaI(y, x, 0.5, df / 2) : 0.5 * betaI(x, y, df / 2, 0.5);
}

double fisherFCdf(double x, double d1, double d2)
{
    return betaI(d1 * x / (d1 * x + d2), d2 / (d1 * x + d2), d1 / 2, d2 / 2);
}

double fisherFUpperTail(double x, double d1, double d2)
{
    return betaI(d2 / (d2 + d1 * x), d1 * x / (d2 + d1 * x), d2 / 2, d1 / 2);
}

double standardNormalCdf(double z)
{
    return 0.5 * std::erfc(-z / sqrt2);
}

double standardNormalPdf(double z)
{
    return std::exp(-0.5 * z * z) / sqrt2pi;
}

// Acklam's rational approximation, polished by one Halley step.
double standardNormalInverse(double p)
{
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                               1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                               6.680131188771972e+01,  -1.328068155288572e+01};
    static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                               -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
    static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                               3.754408661907416e+00};
    const double low = 0.02425;
    double x;
    if (p < low) {
        const double q = std::sqrt(-2 * std::log(p));
        x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    } else if (p <= 1 - low) {
        const double q = p - 0.5, r = q * q;
        x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q
            / (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
    } else {
        const double q = std::sqrt(-2 * std::log(1 - p));
        x = -(((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
    }
    const double e = standardNormalCdf(x) - p;
    const double u = e * sqrt2pi * std::exp(x * x / 2);
    return x - u / (1 + x * u / 2);
}

double invertIncreasing(const std::function<double(double)> &cdf, double p, double low, double high)
{
    for (int widen = 0; widen < 64 && cdf(high) < p; ++widen) {
        low = high;
        high = high > 0 ? high * 16 : high + 1;
    }
    if (!(cdf(high) >= p))
        return notANumber;
    // Bisection to adjacent doubles: slower than Newton's method but it
    // cannot leave the bracket, and every step is one cdf evaluation.
    for (int step = 0; step < 2200; ++step) {
        const double middle = low + (high - low) / 2;
        if (middle <= low || middle >= high)
            break;
        const double value = cdf(middle);
        if (std::isnan(value))
            return notANumber; // no answer is better than a wrong one
        if (value < p)
            low = middle;
        else
            high = middle;
    }
    return high;
}

} // namespace workbook::functions
