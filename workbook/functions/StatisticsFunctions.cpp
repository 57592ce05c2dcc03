#include "Families.h"

#include <algorithm>
#include <climits>
#include <map>
#include <numeric>

namespace workbook::functions {

namespace {

constexpr double sqrt2 = 1.41421356237309504880;
constexpr double sqrt2pi = 2.50662827463100050242;

double mean(const std::vector<double> &x)
{
    return std::accumulate(x.begin(), x.end(), 0.0) / x.size();
}

double sumOfSquaredDeviations(const std::vector<double> &x)
{
    const double m = mean(x);
    double total = 0;
    for (double v : x)
        total += (v - m) * (v - m);
    return total;
}

// Collects the numbers of all arguments, or returns the call's error.
#define COLLECT_OR_FAIL(numbers, textAndLogicals)                                                                      \
    std::vector<double> numbers;                                                                                       \
    if (!args.collectNumbers(0, numbers, textAndLogicals))                                                             \
        return args.failure();

Value average(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    return x.empty() ? Value::error(ErrorCode::Div0) : Value::number(mean(x));
}

Value averageA(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, true)
    return x.empty() ? Value::error(ErrorCode::Div0) : Value::number(mean(x));
}

Value aveDev(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    if (x.empty())
        return Value::error(ErrorCode::Num);
    const double m = mean(x);
    double total = 0;
    for (double v : x)
        total += std::fabs(v - m);
    return Value::number(total / x.size());
}

Value devSq(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    return x.empty() ? Value::error(ErrorCode::Num) : Value::number(sumOfSquaredDeviations(x));
}

// Sample (n - 1) or population (n) variance, optionally its square root.
template <bool Sample, bool Root>
Value variance(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    const size_t denominator = Sample ? x.size() - 1 : x.size();
    if (x.size() < (Sample ? 2u : 1u))
        return Value::error(ErrorCode::Div0);
    const double v = sumOfSquaredDeviations(x) / denominator;
    return Value::number(Root ? std::sqrt(v) : v);
}

template <bool Maximum, bool TextAndLogicals>
Value extreme(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, TextAndLogicals)
    if (x.empty())
        return Value::number(0);
    return Value::number(Maximum ? *std::max_element(x.begin(), x.end()) : *std::min_element(x.begin(), x.end()));
}

Value median(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    if (x.empty())
        return Value::error(ErrorCode::Num);
    std::sort(x.begin(), x.end());
    const size_t n = x.size();
    return Value::number(n % 2 ? x[n / 2] : (x[n / 2 - 1] + x[n / 2]) / 2);
}

Value mode(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    std::map<double, int> counts;
    int best = 1;
    double value = 0;
    // The first value to reach the highest count wins, as in the spreadsheet.
    for (double v : x) {
        const int c = ++counts[v];
        if (c > best) {
            best = c;
            value = v;
        }
    }
    if (best < 2)
        return Value::error(ErrorCode::NA);
    for (double v : x)
        if (counts[v] == best)
            return Value::number(v);
    return Value::number(value);
}

Value geoMean(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    if (x.empty())
        return Value::error(ErrorCode::Num);
    double logs = 0;
    for (double v : x) {
        if (v <= 0)
            return Value::error(ErrorCode::Num);
        logs += std::log(v);
    }
    return Value::number(std::exp(logs / x.size()));
}

Value harMean(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    if (x.empty())
        return Value::error(ErrorCode::Num);
    double inverse = 0;
    for (double v : x) {
        if (v <= 0)
            return Value::error(ErrorCode::Num);
        inverse += 1 / v;
    }
    return Value::number(x.size() / inverse);
}

Value count(FunctionArgs &args)
{
    double n = 0;
    for (int i = 0; i < args.count(); ++i) {
        args.forEachValue(i, [&](const Value &v, bool fromReference) {
            double x = 0;
            ErrorCode error;
            if (v.isNumber() || (!fromReference && !v.isError() && !v.isEmpty() && toNumber(v, x, error)))
                ++n;
        });
    }
    return Value::number(n);
}

Value countA(FunctionArgs &args)
{
    double n = 0;
    for (int i = 0; i < args.count(); ++i)
        args.forEachValue(i, [&](const Value &, bool) { ++n; });
    return Value::number(n);
}

Value countBlank(FunctionArgs &args)
{
    if (!args.isRange(0))
        return Value::error(ErrorCode::Value);
    double filled = 0;
    args.forEachCell(0, [&](int, int, const Value &v) {
        if (!(v.isText() && v.asText().empty()))
            ++filled;
    });
    return Value::number(static_cast<double>(args.rows(0)) * args.columns(0) - filled);
}

Value countIf(FunctionArgs &args)
{
    CriteriaHits hits;
    if (!matchCriteria(args, {0}, -1, hits))
        return args.failure();
    return Value::number(static_cast<double>(hits.offsets.size()) + hits.elsewhere);
}

Value countIfs(FunctionArgs &args)
{
    CriteriaHits hits;
    if (!matchAllCriteria(args, 0, -1, hits))
        return args.failure();
    return Value::number(static_cast<double>(hits.offsets.size()) + hits.elsewhere);
}

Value averageOf(FunctionArgs &args, int averageArg, const CriteriaHits &hits)
{
    double total = 0, n = 0;
    for (const auto &[r, c] : hits.offsets) {
        const Value v = args.at(averageArg, r, c);
        if (v.isNumber()) {
            total += v.asNumber();
            ++n;
        } else if (v.isError()) {
            return v;
        }
    }
    return n == 0 ? Value::error(ErrorCode::Div0) : Value::number(total / n);
}

Value averageIf(FunctionArgs &args)
{
    const int averageArg = args.has(2) ? 2 : 0;
    CriteriaHits hits;
    if (!matchCriteria(args, {0}, averageArg, hits))
        return args.failure();
    return averageOf(args, averageArg, hits);
}

Value averageIfs(FunctionArgs &args)
{
    CriteriaHits hits;
    if (!matchAllCriteria(args, 1, 0, hits))
        return args.failure();
    return averageOf(args, 0, hits);
}

// The non-empty cells of an argument by their position in it, rows first
// (a value is its own single cell).
std::vector<std::pair<long long, Value>> cellsByPosition(FunctionArgs &args, int i)
{
    std::vector<std::pair<long long, Value>> cells;
    if (!args.isRange(i)) {
        const Value v = args.value(i);
        if (!v.isEmpty())
            cells.emplace_back(0, v);
        return cells;
    }
    const long long columns = args.columns(i);
    args.forEachCell(i, [&](int r, int c, const Value &v) { cells.emplace_back(r * columns + c, v); });
    return cells;
}

// Pairs of numbers at the same position of two arguments of as many cells.
// Only the cells they hold are visited: a whole sheet has 2^34 positions.
bool numberPairs(FunctionArgs &args, int a, int b, std::vector<double> &x, std::vector<double> &y)
{
    const auto size = [&](int i) { return static_cast<long long>(args.rows(i)) * args.columns(i); };
    if (size(a) != size(b)) {
        args.fail(ErrorCode::NA);
        return false;
    }
    const auto u = cellsByPosition(args, a), v = cellsByPosition(args, b);
    size_t i = 0, j = 0;
    while (i < u.size() || j < v.size()) {
        const long long position = std::min(i < u.size() ? u[i].first : LLONG_MAX, j < v.size() ? v[j].first : LLONG_MAX);
        const Value *p = i < u.size() && u[i].first == position ? &u[i++].second : nullptr;
        const Value *q = j < v.size() && v[j].first == position ? &v[j++].second : nullptr;
        if ((p && p->isError()) || (q && q->isError())) {
            args.fail(p && p->isError() ? p->asError() : q->asError());
            return false;
        }
        if (p && q && p->isNumber() && q->isNumber()) {
            x.push_back(p->asNumber());
            y.push_back(q->asNumber());
        }
    }
    return true;
}

struct LinearFit
{
    double slope = 0, intercept = 0, correlation = 0;
    bool ok = false;
};

LinearFit fit(const std::vector<double> &x, const std::vector<double> &y)
{
    LinearFit f;
    if (x.size() < 2)
        return f;
    const double mx = mean(x), my = mean(y);
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    if (sxx == 0)
        return f;
    f.ok = true;
    f.slope = sxy / sxx;
    f.intercept = my - f.slope * mx;
    f.correlation = syy == 0 ? 0 : sxy / std::sqrt(sxx * syy);
    return f;
}

Value correl(FunctionArgs &args)
{
    std::vector<double> x, y;
    if (!numberPairs(args, 0, 1, x, y))
        return args.failure();
    const LinearFit f = fit(x, y);
    return f.ok && sumOfSquaredDeviations(y) > 0 ? Value::number(f.correlation) : Value::error(ErrorCode::Div0);
}

Value slope(FunctionArgs &args)
{
    std::vector<double> y, x; // known y's come first
    if (!numberPairs(args, 0, 1, y, x))
        return args.failure();
    const LinearFit f = fit(x, y);
    return f.ok ? Value::number(f.slope) : Value::error(ErrorCode::Div0);
}

Value intercept(FunctionArgs &args)
{
    std::vector<double> y, x;
    if (!numberPairs(args, 0, 1, y, x))
        return args.failure();
    const LinearFit f = fit(x, y);
    return f.ok ? Value::number(f.intercept) : Value::error(ErrorCode::Div0);
}

Value forecast(FunctionArgs &args)
{
    const double at = args.number(0);
    if (args.failed())
        return args.failure();
    std::vector<double> y, x;
    if (!numberPairs(args, 1, 2, y, x))
        return args.failure();
    const LinearFit f = fit(x, y);
    return f.ok ? Value::number(f.intercept + f.slope * at) : Value::error(ErrorCode::Div0);
}

// k-th largest or smallest.
template <bool Largest>
Value kth(FunctionArgs &args)
{
    std::vector<double> x;
    const double k = std::ceil(args.number(1));
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    if (x.empty() || k < 1 || k > x.size())
        return Value::error(ErrorCode::Num);
    std::sort(x.begin(), x.end());
    return Value::number(Largest ? x[x.size() - static_cast<size_t>(k)] : x[static_cast<size_t>(k) - 1]);
}

double percentileOf(std::vector<double> x, double k)
{
    std::sort(x.begin(), x.end());
    const double position = k * (x.size() - 1);
    const size_t lower = static_cast<size_t>(std::floor(position));
    const double fraction = position - lower;
    return lower + 1 < x.size() ? x[lower] + fraction * (x[lower + 1] - x[lower]) : x[lower];
}

Value percentile(FunctionArgs &args)
{
    std::vector<double> x;
    const double k = args.number(1);
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    if (x.empty() || k < 0 || k > 1)
        return Value::error(ErrorCode::Num);
    return Value::number(percentileOf(x, k));
}

Value quartile(FunctionArgs &args)
{
    std::vector<double> x;
    const double q = std::trunc(args.number(1));
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    if (x.empty() || q < 0 || q > 4)
        return Value::error(ErrorCode::Num);
    return Value::number(percentileOf(x, q / 4));
}

Value rank(FunctionArgs &args)
{
    const double number = args.number(0);
    const bool ascending = args.number(2, 0) != 0;
    std::vector<double> x;
    if (args.failed() || !args.numbersOf(1, x))
        return args.failure();
    double position = 1;
    bool found = false;
    for (double v : x) {
        found = found || v == number;
        if (ascending ? v < number : v > number)
            ++position;
    }
    return found ? Value::number(position) : Value::error(ErrorCode::NA);
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

Value normDist(FunctionArgs &args)
{
    const double x = args.number(0), mu = args.number(1), sigma = args.number(2);
    const bool cumulative = args.boolean(3);
    if (args.failed())
        return args.failure();
    if (sigma <= 0)
        return Value::error(ErrorCode::Num);
    const double z = (x - mu) / sigma;
    return Value::number(cumulative ? standardNormalCdf(z) : standardNormalPdf(z) / sigma);
}

Value normInv(FunctionArgs &args)
{
    const double p = args.number(0), mu = args.number(1), sigma = args.number(2);
    if (args.failed())
        return args.failure();
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

#undef COLLECT_OR_FAIL

} // namespace

const std::vector<FunctionInfo> &statisticsFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"AVEDEV", 1, 255, "a", aveDev},
        {"AVERAGE", 1, 255, "a", average},
        {"AVERAGEA", 1, 255, "a", averageA},
        {"AVERAGEIF", 2, 3, "rar", averageIf},
        {"AVERAGEIFS", 3, 255, "a", averageIfs},
        {"CORREL", 2, 2, "rr", correl},
        {"COUNT", 1, 255, "a", count},
        {"COUNTA", 1, 255, "a", countA},
        {"COUNTBLANK", 1, 1, "r", countBlank},
        {"COUNTIF", 2, 2, "ra", countIf},
        {"COUNTIFS", 2, 255, "a", countIfs},
        {"DEVSQ", 1, 255, "a", devSq},
        {"FORECAST", 3, 3, "nrr", forecast},
        {"GEOMEAN", 1, 255, "a", geoMean},
        {"HARMEAN", 1, 255, "a", harMean},
        {"INTERCEPT", 2, 2, "rr", intercept},
        {"LARGE", 2, 2, "rn", kth<true>},
        {"MAX", 1, 255, "a", extreme<true, false>},
        {"MAXA", 1, 255, "a", extreme<true, true>},
        {"MEDIAN", 1, 255, "a", median},
        {"MIN", 1, 255, "a", extreme<false, false>},
        {"MINA", 1, 255, "a", extreme<false, true>},
        {"MODE", 1, 255, "a", mode},
        {"NORMDIST", 4, 4, "nnnb", normDist},
        {"NORMINV", 3, 3, "nnn", normInv},
        {"NORMSDIST", 1, 1, "n", normSDist},
        {"NORMSINV", 1, 1, "n", normSInv},
        {"NORM.DIST", 4, 4, "nnnb", normDist},
        {"NORM.INV", 3, 3, "nnn", normInv},
        {"NORM.S.DIST", 2, 2, "nb", normSDist},
        {"NORM.S.INV", 1, 1, "n", normSInv},
        {"PERCENTILE", 2, 2, "rn", percentile},
        {"QUARTILE", 2, 2, "rn", quartile},
        {"RANK", 2, 3, "nrn", rank},
        {"SLOPE", 2, 2, "rr", slope},
        {"SMALL", 2, 2, "rn", kth<false>},
        {"STDEV", 1, 255, "a", variance<true, true>},
        {"STDEVP", 1, 255, "a", variance<false, true>},
        {"STDEV.S", 1, 255, "a", variance<true, true>},
        {"STDEV.P", 1, 255, "a", variance<false, true>},
        {"VAR", 1, 255, "a", variance<true, false>},
        {"VARP", 1, 255, "a", variance<false, false>},
        {"VAR.S", 1, 255, "a", variance<true, false>},
        {"VAR.P", 1, 255, "a", variance<false, false>},
    };
    return functions;
}

} // namespace workbook::functions
