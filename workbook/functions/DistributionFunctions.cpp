#include "Families.h"
#include "SpecialFunctions.h"

namespace workbook::functions {

namespace {

constexpr double pi = 3.14159265358979323846;

// Results are Value::number(...): a NaN or infinity from outside a
// function's domain becomes #NUM! there.

// Reads the first N arguments as numbers; false (the call failed) when one fails.
template <size_t N>
bool readNumbers(FunctionArgs &args, double (&x)[N])
{
    for (size_t i = 0; i < N; ++i)
        x[i] = args.number(static_cast<int>(i));
    return !args.failed();
}

// ---- normal

Value normDist(FunctionArgs &args)
{
    double a[3];
    const bool cumulative = args.boolean(3);
    if (!readNumbers(args, a) || args.failed())
        return args.failure();
    const double x = a[0], mu = a[1], sigma = a[2];
    if (sigma <= 0)
        return Value::error(ErrorCode::Num);
    const double z = (x - mu) / sigma;
    return Value::number(cumulative ? standardNormalCdf(z) : standardNormalPdf(z) / sigma);
}

Value normInv(FunctionArgs &args)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    const double p = a[0], mu = a[1], sigma = a[2];
    if (p <= 0 || p >= 1 || sigma <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number(mu + sigma * standardNormalInverse(p));
}

Value normSDist(FunctionArgs &args)
{
    const double z = args.number(0);
    const bool cumulative = args.boolean(1, true);
    if (args.failed())
        return args.failure();
    return Value::number(cumulative ? standardNormalCdf(z) : standardNormalPdf(z));
}

Value normSInv(FunctionArgs &args)
{
    const double p = args.number(0);
    if (args.failed())
        return args.failure();
    if (p <= 0 || p >= 1)
        return Value::error(ErrorCode::Num);
    return Value::number(standardNormalInverse(p));
}

Value gauss(FunctionArgs &args)
{
    const double z = args.number(0);
    return args.failed() ? args.failure() : Value::number(standardNormalCdf(z) - 0.5);
}

Value phi(FunctionArgs &args)
{
    const double z = args.number(0);
    return args.failed() ? args.failure() : Value::number(standardNormalPdf(z));
}

Value standardize(FunctionArgs &args)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    return a[2] <= 0 ? Value::error(ErrorCode::Num) : Value::number((a[0] - a[1]) / a[2]);
}

Value logNormDist(FunctionArgs &args)
{
    double a[3];
    const bool cumulative = args.boolean(3, true);
    if (!readNumbers(args, a) || args.failed())
        return args.failure();
    const double x = a[0], mu = a[1], sigma = a[2];
    if (x <= 0 || sigma <= 0)
        return Value::error(ErrorCode::Num);
    const double z = (std::log(x) - mu) / sigma;
    return Value::number(cumulative ? standardNormalCdf(z) : standardNormalPdf(z) / (x * sigma));
}

Value logNormInv(FunctionArgs &args)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    const double p = a[0], mu = a[1], sigma = a[2];
    if (p <= 0 || p >= 1 || sigma <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number(std::exp(mu + sigma * standardNormalInverse(p)));
}

Value confidenceNorm(FunctionArgs &args)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    const double alpha = a[0], sigma = a[1], n = std::trunc(a[2]);
    if (alpha <= 0 || alpha >= 1 || sigma <= 0 || n < 1)
        return Value::error(ErrorCode::Num);
    return Value::number(-standardNormalInverse(alpha / 2) * sigma / std::sqrt(n));
}

// ---- Student's t

double tCdf(double t, double df)
{
    const double tail = studentTUpperTail(std::fabs(t), df);
    return t < 0 ? tail : 1 - tail;
}

double tPdf(double t, double df)
{
    return std::exp(std::lgamma((df + 1) / 2) - std::lgamma(df / 2) - (df + 1) / 2 * std::log1p(t * t / df))
        / std::sqrt(df * pi);
}

// The t >= 0 whose upper tail is q (0 < q <= 0.5).
double tUpperInverse(double q, double df)
{
    return invertIncreasing([df](double t) { return -studentTUpperTail(t, df); }, -q, 0, 1);
}

// Degrees of freedom are whole, at least one.
bool degreesOfFreedom(FunctionArgs &args, int i, double &df, double minimum = 1)
{
    df = std::trunc(args.number(i));
    if (args.failed())
        return false;
    if (df < minimum || df > 1e10) {
        args.fail(ErrorCode::Num);
        return false;
    }
    return true;
}

Value tDist(FunctionArgs &args)
{
    const double t = args.number(0);
    const bool cumulative = args.boolean(2);
    double df;
    if (args.failed() || !degreesOfFreedom(args, 1, df))
        return args.failure();
    return Value::number(cumulative ? tCdf(t, df) : tPdf(t, df));
}

template <int Tails>
Value tDistTails(FunctionArgs &args)
{
    const double t = args.number(0);
    double df;
    if (args.failed() || !degreesOfFreedom(args, 1, df))
        return args.failure();
    if (Tails == 2 && t < 0)
        return Value::error(ErrorCode::Num);
    return Value::number(Tails == 2 ? 2 * studentTUpperTail(t, df) : t < 0 ? tCdf(-t, df) : studentTUpperTail(t, df));
}

Value legacyTDist(FunctionArgs &args)
{
    const double t = args.number(0), tails = std::trunc(args.number(2));
    double df;
    if (args.failed() || !degreesOfFreedom(args, 1, df))
        return args.failure();
    if (t < 0 || (tails != 1 && tails != 2))
        return Value::error(ErrorCode::Num);
    return Value::number(tails * studentTUpperTail(t, df));
}

Value tInv(FunctionArgs &args)
{
    const double p = args.number(0);
    double df;
    if (args.failed() || !degreesOfFreedom(args, 1, df))
        return args.failure();
    if (p <= 0 || p >= 1)
        return Value::error(ErrorCode::Num);
    if (p == 0.5)
        return Value::number(0);
    return Value::number(p < 0.5 ? -tUpperInverse(p, df) : tUpperInverse(1 - p, df));
}

Value tInv2T(FunctionArgs &args)
{
    const double p = args.number(0);
    double df;
    if (args.failed() || !degreesOfFreedom(args, 1, df))
        return args.failure();
    if (p <= 0 || p > 1)
        return Value::error(ErrorCode::Num);
    return Value::number(p == 1 ? 0 : tUpperInverse(p / 2, df));
}

Value confidenceT(FunctionArgs &args)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    const double alpha = a[0], sigma = a[1], n = std::trunc(a[2]);
    if (alpha <= 0 || alpha >= 1 || sigma <= 0 || n < 1)
        return Value::error(ErrorCode::Num);
    if (n == 1)
        return Value::error(ErrorCode::Div0);
    return Value::number(tUpperInverse(alpha / 2, n - 1) * sigma / std::sqrt(n));
}

// ---- chi-squared

Value chiSqDist(FunctionArgs &args)
{
    const double x = args.number(0);
    const bool cumulative = args.boolean(2);
    double df;
    if (args.failed() || !degreesOfFreedom(args, 1, df))
        return args.failure();
    if (x < 0)
        return Value::error(ErrorCode::Num);
    if (cumulative)
        return Value::number(gammaP(df / 2, x / 2));
    if (x == 0)
        return df == 2 ? Value::number(0.5) : df < 2 ? Value::error(ErrorCode::Num) : Value::number(0);
    return Value::number(std::exp((df / 2 - 1) * std::log(x) - x / 2 - df / 2 * std::log(2.0) - std::lgamma(df / 2)));
}

Value chiSqDistRight(FunctionArgs &args)
{
    const double x = args.number(0);
    double df;
    if (args.failed() || !degreesOfFreedom(args, 1, df))
        return args.failure();
    if (x < 0)
        return Value::error(ErrorCode::Num);
    return Value::number(gammaQ(df / 2, x / 2));
}

template <bool RightTail>
Value chiSqInv(FunctionArgs &args)
{
    const double p = args.number(0);
    double df;
    if (args.failed() || !degreesOfFreedom(args, 1, df))
        return args.failure();
    if (RightTail ? (p <= 0 || p > 1) : (p < 0 || p >= 1))
        return Value::error(ErrorCode::Num);
    if (RightTail ? p == 1 : p == 0)
        return Value::number(0);
    const double a = df / 2;
    const double x = RightTail ? invertIncreasing([a](double y) { return -gammaQ(a, y); }, -p, 0, df + 1)
                               : invertIncreasing([a](double y) { return gammaP(a, y); }, p, 0, df + 1);
    return Value::number(2 * x);
}

Value chiSqTest(FunctionArgs &args)
{
    const int rows = args.rows(0), columns = args.columns(0);
    if (rows != args.rows(1) || columns != args.columns(1))
        return Value::error(ErrorCode::NA);
    if (static_cast<long long>(rows) * columns > 1000000)
        return Value::error(ErrorCode::Num);
    double statistic = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const Value actual = args.at(0, r, c), expected = args.at(1, r, c);
            if (actual.isError())
                return actual;
            if (expected.isError())
                return expected;
            if (!actual.isNumber() || !expected.isNumber())
                continue;
            if (expected.asNumber() == 0)
                return Value::error(ErrorCode::Div0);
            const double d = actual.asNumber() - expected.asNumber();
            statistic += d * d / expected.asNumber();
        }
    }
    const double df = rows == 1 || columns == 1 ? std::max(rows, columns) - 1.0 : (rows - 1.0) * (columns - 1.0);
    if (df < 1)
        return Value::error(ErrorCode::NA);
    return Value::number(gammaQ(df / 2, statistic / 2));
}

// ---- F

bool fArguments(FunctionArgs &args, double &x, double &d1, double &d2)
{
    x = args.number(0);
    if (args.failed() || !degreesOfFreedom(args, 1, d1) || !degreesOfFreedom(args, 2, d2))
        return false;
    if (x < 0) {
        args.fail(ErrorCode::Num);
        return false;
    }
    return true;
}

Value fDist(FunctionArgs &args)
{
    double x, d1, d2;
    const bool cumulative = args.boolean(3);
    if (args.failed() || !fArguments(args, x, d1, d2))
        return args.failure();
    if (cumulative)
        return Value::number(fisherFCdf(x, d1, d2));
    if (x == 0)
        return d1 == 2 ? Value::number(1) : d1 < 2 ? Value::error(ErrorCode::Num) : Value::number(0);
    const double logDensity = (d1 / 2) * std::log(d1 / d2) + (d1 / 2 - 1) * std::log(x)
        - (d1 + d2) / 2 * std::log1p(d1 * x / d2) - (std::lgamma(d1 / 2) + std::lgamma(d2 / 2) - std::lgamma((d1 + d2) / 2));
    return Value::number(std::exp(logDensity));
}

Value fDistRight(FunctionArgs &args)
{
    double x, d1, d2;
    if (!fArguments(args, x, d1, d2))
        return args.failure();
    return Value::number(fisherFUpperTail(x, d1, d2));
}

template <bool RightTail>
Value fInv(FunctionArgs &args)
{
    double p, d1, d2;
    if (!fArguments(args, p, d1, d2))
        return args.failure();
    if (RightTail ? (p <= 0 || p > 1) : (p >= 1))
        return Value::error(ErrorCode::Num);
    if (RightTail ? p == 1 : p == 0)
        return Value::number(0);
    const double x = RightTail ? invertIncreasing([=](double y) { return -fisherFUpperTail(y, d1, d2); }, -p, 0, 1)
                               : invertIncreasing([=](double y) { return fisherFCdf(y, d1, d2); }, p, 0, 1);
    return Value::number(x);
}

// ---- binomial and its kin

double logChoose(double n, double k)
{
    return std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1);
}

double binomialPmf(double k, double n, double p)
{
    if (p == 0)
        return k == 0 ? 1 : 0;
    if (p == 1)
        return k == n ? 1 : 0;
    return std::exp(logChoose(n, k) + k * std::log(p) + (n - k) * std::log1p(-p));
}

double binomialCdf(double k, double n, double p)
{
    if (k >= n)
        return 1;
    if (p == 0)
        return 1;
    if (p == 1)
        return 0;
    return betaI(1 - p, p, n - k, k + 1);
}

Value binomDist(FunctionArgs &args)
{
    double a[3];
    const bool cumulative = args.boolean(3);
    if (!readNumbers(args, a) || args.failed())
        return args.failure();
    const double k = std::trunc(a[0]), n = std::trunc(a[1]), p = a[2];
    if (k < 0 || n < 0 || k > n || p < 0 || p > 1)
        return Value::error(ErrorCode::Num);
    return Value::number(cumulative ? binomialCdf(k, n, p) : binomialPmf(k, n, p));
}

Value binomDistRange(FunctionArgs &args)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    const double n = std::trunc(a[0]), p = a[1], low = std::trunc(a[2]);
    const double high = std::trunc(args.number(3, low));
    if (args.failed())
        return args.failure();
    if (n < 0 || p < 0 || p > 1 || low < 0 || low > n || high < low || high > n)
        return Value::error(ErrorCode::Num);
    return Value::number(binomialCdf(high, n, p) - (low > 0 ? binomialCdf(low - 1, n, p) : 0));
}

// The smallest k whose cumulative binomial probability reaches alpha.
Value binomInv(FunctionArgs &args)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    const double n = std::trunc(a[0]), p = a[1], alpha = a[2];
    // Past 2^53 trials the counts are no longer whole numbers to search among.
    if (n < 0 || n > 9007199254740992.0 || p < 0 || p > 1 || alpha < 0 || alpha > 1)
        return Value::error(ErrorCode::Num);
    double low = 0, high = n;
    while (low < high) {
        const double middle = std::floor((low + high) / 2);
        const double cdf = binomialCdf(middle, n, p);
        if (std::isnan(cdf))
            return Value::error(ErrorCode::Num);
        if (cdf >= alpha)
            high = middle;
        else
            low = middle + 1;
    }
    return Value::number(low);
}

Value negBinomDist(FunctionArgs &args)
{
    double a[3];
    const bool cumulative = args.boolean(3, false);
    if (!readNumbers(args, a) || args.failed())
        return args.failure();
    const double failures = std::trunc(a[0]), successes = std::trunc(a[1]), p = a[2];
    if (failures < 0 || successes < 1 || p < 0 || p > 1)
        return Value::error(ErrorCode::Num);
    if (cumulative)
        return Value::number(p == 0 ? 0 : betaI(p, successes, failures + 1));
    if (p == 0 || p == 1)
        return Value::number(p == 1 && failures == 0 ? 1 : 0);
    return Value::number(std::exp(logChoose(failures + successes - 1, successes - 1) + successes * std::log(p)
                                + failures * std::log1p(-p)));
}

double hypergeometricPmf(double k, double draws, double successes, double population)
{
    if (k < std::max(0.0, draws + successes - population) || k > std::min(draws, successes))
        return 0;
    return std::exp(logChoose(successes, k) + logChoose(population - successes, draws - k) - logChoose(population, draws));
}

Value hypGeomDist(FunctionArgs &args)
{
    double a[4];
    const bool cumulative = args.boolean(4, false);
    if (!readNumbers(args, a) || args.failed())
        return args.failure();
    const double k = std::trunc(a[0]), draws = std::trunc(a[1]), successes = std::trunc(a[2]), population = std::trunc(a[3]);
    if (k < 0 || k > std::min(draws, successes) || k < draws - population + successes || draws <= 0 || draws > population
        || successes <= 0 || successes > population || population <= 0)
        return Value::error(ErrorCode::Num);
    if (!cumulative)
        return Value::number(hypergeometricPmf(k, draws, successes, population));
    if (k > 1e6) // a sum of a million terms is as far as one cell goes
        return Value::error(ErrorCode::Num);
    double total = 0;
    for (double i = std::max(0.0, draws + successes - population); i <= k; ++i)
        total += hypergeometricPmf(i, draws, successes, population);
    return Value::number(std::min(total, 1.0));
}

Value poissonDist(FunctionArgs &args)
{
    double a[2];
    const bool cumulative = args.boolean(2);
    if (!readNumbers(args, a) || args.failed())
        return args.failure();
    const double k = std::trunc(a[0]), mean = a[1];
    if (k < 0 || mean < 0)
        return Value::error(ErrorCode::Num);
    if (mean == 0)
        return Value::number(cumulative || k == 0 ? 1 : 0);
    return Value::number(cumulative ? gammaQ(k + 1, mean) : std::exp(k * std::log(mean) - mean - std::lgamma(k + 1)));
}

// ---- continuous families with a closed form or the incomplete gamma and beta

Value exponDist(FunctionArgs &args)
{
    double a[2];
    const bool cumulative = args.boolean(2);
    if (!readNumbers(args, a) || args.failed())
        return args.failure();
    const double x = a[0], lambda = a[1];
    if (x < 0 || lambda <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number(cumulative ? -std::expm1(-lambda * x) : lambda * std::exp(-lambda * x));
}

Value weibullDist(FunctionArgs &args)
{
    double a[3];
    const bool cumulative = args.boolean(3);
    if (!readNumbers(args, a) || args.failed())
        return args.failure();
    const double x = a[0], shape = a[1], scale = a[2];
    if (x < 0 || shape <= 0 || scale <= 0)
        return Value::error(ErrorCode::Num);
    const double power = std::pow(x / scale, shape);
    if (cumulative)
        return Value::number(-std::expm1(-power));
    return Value::number(shape / scale * std::pow(x / scale, shape - 1) * std::exp(-power));
}

Value gammaDist(FunctionArgs &args)
{
    double a[3];
    const bool cumulative = args.boolean(3);
    if (!readNumbers(args, a) || args.failed())
        return args.failure();
    const double x = a[0], shape = a[1], scale = a[2];
    if (x < 0 || shape <= 0 || scale <= 0)
        return Value::error(ErrorCode::Num);
    if (cumulative)
        return Value::number(gammaP(shape, x / scale));
    if (x == 0)
        return shape == 1 ? Value::number(1 / scale) : shape < 1 ? Value::error(ErrorCode::Num) : Value::number(0);
    return Value::number(std::exp((shape - 1) * std::log(x) - x / scale - std::lgamma(shape) - shape * std::log(scale)));
}

Value gammaInv(FunctionArgs &args)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    const double p = a[0], shape = a[1], scale = a[2];
    if (p < 0 || p >= 1 || shape <= 0 || scale <= 0)
        return Value::error(ErrorCode::Num);
    if (p == 0)
        return Value::number(0);
    return Value::number(scale * invertIncreasing([shape](double y) { return gammaP(shape, y); }, p, 0, shape + 1));
}

Value gammaFunction(FunctionArgs &args)
{
    const double x = args.number(0);
    if (args.failed())
        return args.failure();
    if (x <= 0 && x == std::floor(x))
        return Value::error(ErrorCode::Num);
    return Value::number(std::tgamma(x));
}

Value gammaLn(FunctionArgs &args)
{
    const double x = args.number(0);
    if (args.failed())
        return args.failure();
    return x <= 0 ? Value::error(ErrorCode::Num) : Value::number(std::lgamma(x));
}

// BETA.DIST and BETADIST take bounds A and B after the shape (and the
// cumulative flag of the newer form); `boundsAt` is where A is.
Value betaDistribution(FunctionArgs &args, bool cumulative, int boundsAt)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    const double low = args.number(boundsAt, 0), high = args.number(boundsAt + 1, 1);
    if (args.failed())
        return args.failure();
    const double x = a[0], alpha = a[1], beta = a[2];
    if (alpha <= 0 || beta <= 0 || x < low || x > high || low >= high)
        return Value::error(ErrorCode::Num);
    const double y = (x - low) / (high - low);
    if (cumulative)
        return Value::number(betaI(y, alpha, beta));
    const double logDensity = (alpha - 1) * std::log(y) + (beta - 1) * std::log1p(-y) + std::lgamma(alpha + beta)
        - std::lgamma(alpha) - std::lgamma(beta);
    return Value::number(std::exp(logDensity) / (high - low));
}

Value betaDist(FunctionArgs &args)
{
    const bool cumulative = args.boolean(3);
    return args.failed() ? args.failure() : betaDistribution(args, cumulative, 4);
}

Value legacyBetaDist(FunctionArgs &args) { return betaDistribution(args, true, 3); }

Value betaInv(FunctionArgs &args)
{
    double a[3];
    if (!readNumbers(args, a))
        return args.failure();
    const double low = args.number(3, 0), high = args.number(4, 1);
    if (args.failed())
        return args.failure();
    const double p = a[0], alpha = a[1], beta = a[2];
    if (p <= 0 || p > 1 || alpha <= 0 || beta <= 0 || low >= high)
        return Value::error(ErrorCode::Num);
    const double y = invertIncreasing([=](double t) { return betaI(std::min(t, 1.0), alpha, beta); }, p, 0, 1);
    return Value::number(low + y * (high - low));
}

Value fisher(FunctionArgs &args)
{
    const double x = args.number(0);
    if (args.failed())
        return args.failure();
    return x <= -1 || x >= 1 ? Value::error(ErrorCode::Num) : Value::number(std::atanh(x));
}

Value fisherInv(FunctionArgs &args)
{
    const double y = args.number(0);
    return args.failed() ? args.failure() : Value::number(std::tanh(y));
}

} // namespace

const std::vector<FunctionInfo> &distributionFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"BETA.DIST", 4, 6, "nnnbnn", betaDist},
        {"BETA.INV", 3, 5, "n", betaInv},
        {"BETADIST", 3, 5, "n", legacyBetaDist},
        {"BETAINV", 3, 5, "n", betaInv},
        {"BINOM.DIST", 4, 4, "nnnb", binomDist},
        {"BINOM.DIST.RANGE", 3, 4, "n", binomDistRange},
        {"BINOM.INV", 3, 3, "n", binomInv},
        {"BINOMDIST", 4, 4, "nnnb", binomDist},
        {"CHIDIST", 2, 2, "n", chiSqDistRight},
        {"CHIINV", 2, 2, "n", chiSqInv<true>},
        {"CHISQ.DIST", 3, 3, "nnb", chiSqDist},
        {"CHISQ.DIST.RT", 2, 2, "n", chiSqDistRight},
        {"CHISQ.INV", 2, 2, "n", chiSqInv<false>},
        {"CHISQ.INV.RT", 2, 2, "n", chiSqInv<true>},
        {"CHISQ.TEST", 2, 2, "r", chiSqTest},
        {"CHITEST", 2, 2, "r", chiSqTest},
        {"CONFIDENCE", 3, 3, "n", confidenceNorm},
        {"CONFIDENCE.NORM", 3, 3, "n", confidenceNorm},
        {"CONFIDENCE.T", 3, 3, "n", confidenceT},
        {"CRITBINOM", 3, 3, "n", binomInv},
        {"EXPON.DIST", 3, 3, "nnb", exponDist},
        {"EXPONDIST", 3, 3, "nnb", exponDist},
        {"F.DIST", 4, 4, "nnnb", fDist},
        {"F.DIST.RT", 3, 3, "n", fDistRight},
        {"F.INV", 3, 3, "n", fInv<false>},
        {"F.INV.RT", 3, 3, "n", fInv<true>},
        {"FDIST", 3, 3, "n", fDistRight},
        {"FINV", 3, 3, "n", fInv<true>},
        {"FISHER", 1, 1, "n", fisher},
        {"FISHERINV", 1, 1, "n", fisherInv},
        {"GAMMA", 1, 1, "n", gammaFunction},
        {"GAMMA.DIST", 4, 4, "nnnb", gammaDist},
        {"GAMMA.INV", 3, 3, "n", gammaInv},
        {"GAMMADIST", 4, 4, "nnnb", gammaDist},
        {"GAMMAINV", 3, 3, "n", gammaInv},
        {"GAMMALN", 1, 1, "n", gammaLn},
        {"GAMMALN.PRECISE", 1, 1, "n", gammaLn},
        {"GAUSS", 1, 1, "n", gauss},
        {"HYPGEOM.DIST", 5, 5, "nnnnb", hypGeomDist},
        {"HYPGEOMDIST", 4, 4, "n", hypGeomDist},
        {"LOGINV", 3, 3, "n", logNormInv},
        {"LOGNORM.DIST", 4, 4, "nnnb", logNormDist},
        {"LOGNORM.INV", 3, 3, "n", logNormInv},
        {"LOGNORMDIST", 3, 3, "n", logNormDist},
        {"NEGBINOM.DIST", 4, 4, "nnnb", negBinomDist},
        {"NEGBINOMDIST", 3, 3, "n", negBinomDist},
        {"NORM.DIST", 4, 4, "nnnb", normDist},
        {"NORM.INV", 3, 3, "nnn", normInv},
        {"NORM.S.DIST", 2, 2, "nb", normSDist},
        {"NORM.S.INV", 1, 1, "n", normSInv},
        {"NORMDIST", 4, 4, "nnnb", normDist},
        {"NORMINV", 3, 3, "nnn", normInv},
        {"NORMSDIST", 1, 1, "n", normSDist},
        {"NORMSINV", 1, 1, "n", normSInv},
        {"PHI", 1, 1, "n", phi},
        {"POISSON", 3, 3, "nnb", poissonDist},
        {"POISSON.DIST", 3, 3, "nnb", poissonDist},
        {"STANDARDIZE", 3, 3, "n", standardize},
        {"T.DIST", 3, 3, "nnb", tDist},
        {"T.DIST.2T", 2, 2, "n", tDistTails<2>},
        {"T.DIST.RT", 2, 2, "n", tDistTails<1>},
        {"T.INV", 2, 2, "n", tInv},
        {"T.INV.2T", 2, 2, "n", tInv2T},
        {"TDIST", 3, 3, "n", legacyTDist},
        {"TINV", 2, 2, "n", tInv2T},
        {"WEIBULL", 4, 4, "nnnb", weibullDist},
        {"WEIBULL.DIST", 4, 4, "nnnb", weibullDist},
    };
    return functions;
}

} // namespace workbook::functions
