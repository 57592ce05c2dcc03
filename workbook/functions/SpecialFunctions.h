#pragma once

#include <functional>

namespace workbook::functions {

// The special functions behind the probability distributions, on plain
// doubles. A result outside the domain is NaN, which a value turns into #NUM!.

// P(a, x): the regularized lower incomplete gamma function; Q = 1 - P,
// computed directly so that small upper tails keep their digits.
double gammaP(double a, double x);
double gammaQ(double a, double x);

// I_x(a, b): the regularized incomplete beta function. The second form takes
// y = 1 - x as the caller knows it, which keeps the digits of an x near 1.
double betaI(double x, double a, double b);
double betaI(double x, double y, double a, double b);

// P(T > t) for Student's t with df degrees of freedom, t >= 0.
double studentTUpperTail(double t, double df);

// P(X <= x) and P(X > x) for the F distribution with d1 and d2 degrees of freedom.
double fisherFCdf(double x, double d1, double d2);
double fisherFUpperTail(double x, double d1, double d2);

// The standard normal distribution and its inverse.
double standardNormalCdf(double z);
double standardNormalPdf(double z);
double standardNormalInverse(double p);

// The x in [low, high] where an increasing `cdf` reaches p, to full double
// precision; `high` is widened while the cdf stays below p. NaN when p is
// never reached.
double invertIncreasing(const std::function<double(double)> &cdf, double p, double low, double high);

} // namespace workbook::functions
