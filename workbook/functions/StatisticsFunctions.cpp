#include "Families.h"
#include "SpecialFunctions.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <numeric>

namespace workbook::functions {

namespace {

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

// Sample (n - 1) or population (n) variance, optionally its square root;
// the ...A forms count text in ranges as 0 and booleans as 0 or 1.
Value varianceOf(const std::vector<double> &x, bool sample, bool root)
{
    if (x.size() < (sample ? 2u : 1u))
        return Value::error(ErrorCode::Div0);
    const double v = sumOfSquaredDeviations(x) / static_cast<double>(sample ? x.size() - 1 : x.size());
    return Value::number(root ? std::sqrt(v) : v);
}

template <bool Sample, bool Root, bool TextAndLogicals = false>
Value variance(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, TextAndLogicals)
    return varianceOf(x, Sample, Root);
}

template <bool Maximum, bool TextAndLogicals>
Value extreme(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, TextAndLogicals)
    if (x.empty())
        return Value::number(0);
    return Value::number(Maximum ? *std::max_element(x.begin(), x.end()) : *std::min_element(x.begin(), x.end()));
}

Value medianOf(std::vector<double> x)
{
    if (x.empty())
        return Value::error(ErrorCode::Num);
    std::sort(x.begin(), x.end());
    const size_t n = x.size();
    return Value::number(n % 2 ? x[n / 2] : (x[n / 2 - 1] + x[n / 2]) / 2);
}

Value median(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    return medianOf(std::move(x));
}

Value modeOf(const std::vector<double> &x)
{
    std::map<double, int> counts;
    int best = 1;
    // The first value to reach the highest count wins, as in the spreadsheet.
    for (double v : x)
        best = std::max(best, ++counts[v]);
    if (best < 2)
        return Value::error(ErrorCode::NA);
    for (double v : x)
        if (counts[v] == best)
            return Value::number(v);
    return Value::error(ErrorCode::NA);
}

Value mode(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    return modeOf(x);
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

} // namespace

// Only the cells the arguments hold are visited: a whole sheet has 2^34 positions.
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

namespace {

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
Value kthOf(std::vector<double> x, double k, bool largest)
{
    k = std::ceil(k);
    if (x.empty() || k < 1 || k > x.size())
        return Value::error(ErrorCode::Num);
    std::sort(x.begin(), x.end());
    return Value::number(largest ? x[x.size() - static_cast<size_t>(k)] : x[static_cast<size_t>(k) - 1]);
}

template <bool Largest>
Value kth(FunctionArgs &args)
{
    std::vector<double> x;
    const double k = args.number(1);
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    return kthOf(std::move(x), k, Largest);
}

double percentileOf(std::vector<double> x, double k)
{
    std::sort(x.begin(), x.end());
    const double position = k * (x.size() - 1);
    const size_t lower = static_cast<size_t>(std::floor(position));
    const double fraction = position - lower;
    return lower + 1 < x.size() ? x[lower] + fraction * (x[lower + 1] - x[lower]) : x[lower];
}

Value percentileInclusiveOf(std::vector<double> x, double k)
{
    if (x.empty() || k < 0 || k > 1)
        return Value::error(ErrorCode::Num);
    return Value::number(percentileOf(std::move(x), k));
}

// Quartiles 0 to 4 inclusive, 1 to 3 exclusive.
Value quartileInclusiveOf(std::vector<double> x, double q)
{
    q = std::trunc(q);
    if (q < 0 || q > 4)
        return Value::error(ErrorCode::Num);
    return percentileInclusiveOf(std::move(x), q / 4);
}

Value percentile(FunctionArgs &args)
{
    std::vector<double> x;
    const double k = args.number(1);
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    return percentileInclusiveOf(std::move(x), k);
}

Value quartile(FunctionArgs &args)
{
    std::vector<double> x;
    const double q = args.number(1);
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    return quartileInclusiveOf(std::move(x), q);
}

// RANK and RANK.EQ give ties the best place; RANK.AVG the mean of the places they share.
template <bool Average>
Value rank(FunctionArgs &args)
{
    const double number = args.number(0);
    const bool ascending = args.number(2, 0) != 0;
    std::vector<double> x;
    if (args.failed() || !args.numbersOf(1, x))
        return args.failure();
    double before = 0, ties = 0;
    for (double v : x) {
        if (v == number)
            ++ties;
        else if (ascending ? v < number : v > number)
            ++before;
    }
    if (ties == 0)
        return Value::error(ErrorCode::NA);
    return Value::number(Average ? before + (ties + 1) / 2 : before + 1);
}

// PERCENTILE.EXC ranks from 1/(n+1) to n/(n+1); outside that there is no answer.
Value percentileExclusiveOf(std::vector<double> x, double k)
{
    const double n = static_cast<double>(x.size());
    const double position = k * (n + 1); // 1-based
    if (x.empty() || position < 1 || position > n)
        return Value::error(ErrorCode::Num);
    std::sort(x.begin(), x.end());
    const size_t lower = static_cast<size_t>(std::floor(position)) - 1;
    const double fraction = position - std::floor(position);
    return Value::number(lower + 1 < x.size() ? x[lower] + fraction * (x[lower + 1] - x[lower]) : x[lower]);
}

Value percentileExclusive(FunctionArgs &args)
{
    std::vector<double> x;
    const double k = args.number(1);
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    return percentileExclusiveOf(std::move(x), k);
}

Value quartileExclusiveOf(std::vector<double> x, double q)
{
    q = std::trunc(q);
    if (q <= 0 || q >= 4)
        return Value::error(ErrorCode::Num);
    return percentileExclusiveOf(std::move(x), q / 4);
}

Value quartileExclusive(FunctionArgs &args)
{
    std::vector<double> x;
    const double q = args.number(1);
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    return quartileExclusiveOf(std::move(x), q);
}

// Where a value falls among the data, as a fraction cut (not rounded) to
// `significance` digits: rank / (n - 1) inclusive, (rank + 1) / (n + 1)
// exclusive, interpolated between neighbours.
template <bool Exclusive>
Value percentRank(FunctionArgs &args)
{
    std::vector<double> x;
    const double value = args.number(1);
    const double significance = std::trunc(args.number(2, 3));
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    if (x.empty() || significance < 1 || significance > 15)
        return Value::error(ErrorCode::Num);
    std::sort(x.begin(), x.end());
    if (value < x.front() || value > x.back())
        return Value::error(ErrorCode::NA);
    const double n = static_cast<double>(x.size());
    if (!Exclusive && x.size() == 1)
        return Value::number(1);
    const size_t below = static_cast<size_t>(std::lower_bound(x.begin(), x.end(), value) - x.begin());
    double position = static_cast<double>(below);
    if (x[below] != value)
        position = below - 1 + (value - x[below - 1]) / (x[below] - x[below - 1]);
    const double fraction = Exclusive ? (position + 1) / (n + 1) : position / (n - 1);
    const double scale = std::pow(10.0, significance);
    return Value::number(std::floor(roundToSignificant(fraction * scale)) / scale);
}

// Population or sample covariance of paired numbers.
template <bool Sample>
Value covariance(FunctionArgs &args)
{
    std::vector<double> x, y;
    if (!numberPairs(args, 0, 1, x, y))
        return args.failure();
    if (x.size() < (Sample ? 2u : 1u))
        return Value::error(ErrorCode::Div0);
    const double mx = mean(x), my = mean(y);
    double total = 0;
    for (size_t i = 0; i < x.size(); ++i)
        total += (x[i] - mx) * (y[i] - my);
    return Value::number(total / (Sample ? x.size() - 1 : x.size()));
}

Value rsq(FunctionArgs &args)
{
    std::vector<double> y, x;
    if (!numberPairs(args, 0, 1, y, x))
        return args.failure();
    const LinearFit f = fit(x, y);
    return f.ok && sumOfSquaredDeviations(y) > 0 ? Value::number(f.correlation * f.correlation) : Value::error(ErrorCode::Div0);
}

// The standard error of y predicted from x by the least-squares line.
Value steyx(FunctionArgs &args)
{
    std::vector<double> y, x;
    if (!numberPairs(args, 0, 1, y, x))
        return args.failure();
    const LinearFit f = fit(x, y);
    if (!f.ok || x.size() < 3)
        return Value::error(ErrorCode::Div0);
    double residuals = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double e = y[i] - (f.intercept + f.slope * x[i]);
        residuals += e * e;
    }
    return Value::number(std::sqrt(residuals / (x.size() - 2)));
}

// Sums of the third or fourth powers of the standardized values.
double standardizedPowerSum(const std::vector<double> &x, double deviation, int power)
{
    const double m = mean(x);
    double total = 0;
    for (double v : x)
        total += std::pow((v - m) / deviation, power);
    return total;
}

// SKEW (the sample estimate) and SKEW.P (the population's).
template <bool Sample>
Value skew(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    const double n = static_cast<double>(x.size());
    if (n < (Sample ? 3 : 1))
        return Value::error(ErrorCode::Div0);
    const double deviation = std::sqrt(sumOfSquaredDeviations(x) / (Sample ? n - 1 : n));
    if (deviation == 0)
        return Value::error(ErrorCode::Div0);
    const double sum = standardizedPowerSum(x, deviation, 3);
    return Value::number(Sample ? n / ((n - 1) * (n - 2)) * sum : sum / n);
}

Value kurt(FunctionArgs &args)
{
    COLLECT_OR_FAIL(x, false)
    const double n = static_cast<double>(x.size());
    if (n < 4)
        return Value::error(ErrorCode::Div0);
    const double deviation = std::sqrt(sumOfSquaredDeviations(x) / (n - 1));
    if (deviation == 0)
        return Value::error(ErrorCode::Div0);
    const double sum = standardizedPowerSum(x, deviation, 4);
    return Value::number(n * (n + 1) / ((n - 1) * (n - 2) * (n - 3)) * sum - 3 * (n - 1) * (n - 1) / ((n - 2) * (n - 3)));
}

// The mean without the given fraction of the data, half from each end
// (the count dropped rounded down to an even number).
Value trimMean(FunctionArgs &args)
{
    std::vector<double> x;
    const double fraction = args.number(1);
    if (args.failed() || !args.numbersOf(0, x))
        return args.failure();
    if (x.empty() || fraction < 0 || fraction >= 1)
        return Value::error(ErrorCode::Num);
    std::sort(x.begin(), x.end());
    const size_t dropped = static_cast<size_t>(std::floor(roundToSignificant(x.size() * fraction / 2)));
    const std::vector<double> kept(x.begin() + dropped, x.end() - dropped);
    return Value::number(mean(kept));
}

// MAXIFS and MINIFS: the extreme of the numbers where every criterion holds, 0 when none.
template <bool Maximum>
Value extremeIfs(FunctionArgs &args)
{
    CriteriaHits hits;
    if (!matchAllCriteria(args, 1, 0, hits))
        return args.failure();
    bool any = false;
    double best = 0;
    for (const auto &[r, c] : hits.offsets) {
        const Value v = args.at(0, r, c);
        if (v.isError())
            return v;
        if (v.isNumber() && (!any || (Maximum ? v.asNumber() > best : v.asNumber() < best))) {
            best = v.asNumber();
            any = true;
        }
    }
    return Value::number(best);
}

// ---- hypothesis tests

// T.TEST: the probability that two samples come from populations of the same
// mean; type 1 pairs them, 2 assumes equal variances, 3 does not (Welch).
Value tTest(FunctionArgs &args)
{
    const double tails = std::trunc(args.number(2)), type = std::trunc(args.number(3));
    if (args.failed())
        return args.failure();
    if ((tails != 1 && tails != 2) || type < 1 || type > 3)
        return Value::error(ErrorCode::Num);
    double t = 0, df = 0;
    if (type == 1) {
        std::vector<double> x, y;
        if (!numberPairs(args, 0, 1, x, y))
            return args.failure();
        std::vector<double> d(x.size());
        for (size_t i = 0; i < x.size(); ++i)
            d[i] = x[i] - y[i];
        const double n = static_cast<double>(d.size());
        if (n < 2)
            return Value::error(ErrorCode::Div0);
        const double variance = sumOfSquaredDeviations(d) / (n - 1);
        if (variance == 0)
            return Value::error(ErrorCode::Div0);
        t = mean(d) / std::sqrt(variance / n);
        df = n - 1;
    } else {
        std::vector<double> x, y;
        if (!args.numbersOf(0, x) || !args.numbersOf(1, y))
            return args.failure();
        const double n1 = static_cast<double>(x.size()), n2 = static_cast<double>(y.size());
        if (n1 < 2 || n2 < 2)
            return Value::error(ErrorCode::Div0);
        const double v1 = sumOfSquaredDeviations(x) / (n1 - 1), v2 = sumOfSquaredDeviations(y) / (n2 - 1);
        if (type == 2) {
            const double pooled = ((n1 - 1) * v1 + (n2 - 1) * v2) / (n1 + n2 - 2);
            if (pooled == 0)
                return Value::error(ErrorCode::Div0);
            t = (mean(x) - mean(y)) / std::sqrt(pooled * (1 / n1 + 1 / n2));
            df = n1 + n2 - 2;
        } else {
            const double a = v1 / n1, b = v2 / n2;
            if (a + b == 0)
                return Value::error(ErrorCode::Div0);
            t = (mean(x) - mean(y)) / std::sqrt(a + b);
            df = (a + b) * (a + b) / (a * a / (n1 - 1) + b * b / (n2 - 1));
        }
    }
    return Value::number(tails * studentTUpperTail(std::fabs(t), df));
}

// Z.TEST: the one-tailed probability of a sample mean above the data's,
// were the population's mean x (sigma: the sample deviation when not given).
Value zTest(FunctionArgs &args)
{
    std::vector<double> x;
    if (!args.numbersOf(0, x))
        return args.failure();
    const double hypothesis = args.number(1);
    double sigma = args.number(2, 0);
    if (args.failed())
        return args.failure();
    const double n = static_cast<double>(x.size());
    if (!args.has(2)) {
        if (n < 2)
            return Value::error(ErrorCode::Div0);
        sigma = std::sqrt(sumOfSquaredDeviations(x) / (n - 1));
    }
    if (n == 0 || sigma == 0)
        return Value::error(sigma == 0 && n > 0 ? ErrorCode::Div0 : ErrorCode::NA);
    return Value::number(1 - standardNormalCdf((mean(x) - hypothesis) / (sigma / std::sqrt(n))));
}

// F.TEST: the two-tailed probability that two samples' variances are not different.
Value fTest(FunctionArgs &args)
{
    std::vector<double> x, y;
    if (!args.numbersOf(0, x) || !args.numbersOf(1, y))
        return args.failure();
    const double n1 = static_cast<double>(x.size()), n2 = static_cast<double>(y.size());
    if (n1 < 2 || n2 < 2)
        return Value::error(ErrorCode::Div0);
    const double v1 = sumOfSquaredDeviations(x) / (n1 - 1), v2 = sumOfSquaredDeviations(y) / (n2 - 1);
    if (v1 == 0 || v2 == 0)
        return Value::error(ErrorCode::Div0);
    const double f = v1 / v2;
    const double lower = fisherFCdf(f, n1 - 1, n2 - 1);
    return Value::number(2 * std::min(lower, 1 - lower));
}

// PROB: the probability that a value lies between two limits, from a table
// of values and their probabilities (which must add up to 1).
Value prob(FunctionArgs &args)
{
    std::vector<double> values, probabilities;
    if (!numberPairs(args, 0, 1, values, probabilities))
        return args.failure();
    const double lower = args.number(2), upper = args.number(3, lower);
    if (args.failed())
        return args.failure();
    double total = 0, inside = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (probabilities[i] < 0 || probabilities[i] > 1)
            return Value::error(ErrorCode::Num);
        total += probabilities[i];
        if (values[i] >= lower && values[i] <= upper)
            inside += probabilities[i];
    }
    if (std::fabs(total - 1) > 1e-7)
        return Value::error(ErrorCode::Num);
    return Value::number(inside);
}

// Whether a cell holds a formula that is itself a subtotal: SUBTOTAL and
// AGGREGATE leave those out, so that totals over subtotalled blocks count
// each value once.
bool holdsSubtotal(const Workbook &workbook, const CellLocation &where)
{
    if (!workbook.hasFormula(where))
        return false;
    const std::string formula = foldCase(workbook.input(where).formula);
    return formula.find("subtotal(") != std::string::npos || formula.find("aggregate(") != std::string::npos;
}

// The numbers of the range arguments `first` to `last`, and how many cells
// hold anything, nested subtotals left out when asked; an error fails the
// call unless errors are skipped. #VALUE! for an argument that is no range.
struct Subtotalled
{
    std::vector<double> numbers;
    double filled = 0;
};

bool collectSubtotalled(FunctionArgs &args, int first, int last, bool skipNested, bool skipErrors, Subtotalled &out)
{
    for (int i = first; i <= last && !args.failed(); ++i) {
        if (!args.isRange(i)) {
            args.fail(ErrorCode::Value);
            return false;
        }
        const CellRange &range = args.operand(i).range;
        args.forEachCell(i, [&](int r, int c, const Value &v) {
            if (args.failed() || v.isEmpty() || (v.isError() && skipErrors))
                return;
            if (skipNested && holdsSubtotal(args.workbook(), {range.sheet, range.firstRow + r, range.firstColumn + c}))
                return;
            if (v.isError())
                args.fail(v.asError());
            else if (v.isNumber())
                out.numbers.push_back(v.asNumber());
            ++out.filled;
        });
    }
    return !args.failed();
}

// Functions 1 to 11 of SUBTOTAL and AGGREGATE: AVERAGE, COUNT, COUNTA, MAX,
// MIN, PRODUCT, STDEV, STDEVP, SUM, VAR and VARP.
Value subtotalOf(int function, const Subtotalled &values)
{
    const std::vector<double> &x = values.numbers;
    switch (function) {
    case 1:
        return x.empty() ? Value::error(ErrorCode::Div0) : Value::number(mean(x));
    case 2:
        return Value::number(static_cast<double>(x.size()));
    case 3:
        return Value::number(values.filled);
    case 4:
        return Value::number(x.empty() ? 0 : *std::max_element(x.begin(), x.end()));
    case 5:
        return Value::number(x.empty() ? 0 : *std::min_element(x.begin(), x.end()));
    case 6:
        return Value::number(x.empty() ? 0 : std::accumulate(x.begin(), x.end(), 1.0, std::multiplies<double>()));
    case 9:
        return Value::number(std::accumulate(x.begin(), x.end(), 0.0));
    default:
        return varianceOf(x, function == 7 || function == 10, function == 7 || function == 8);
    }
}

// SUBTOTAL(function, ranges...): functions 1-11, or 101-111 the same (no
// row is hidden here), over the ranges with nested subtotals left out.
Value subtotal(FunctionArgs &args)
{
    const double code = std::trunc(args.number(0));
    if (args.failed())
        return args.failure();
    if (code < 1 || (code > 11 && code < 101) || code > 111)
        return Value::error(ErrorCode::Value);
    const int function = static_cast<int>(code > 100 ? code - 100 : code);
    Subtotalled values;
    if (!collectSubtotalled(args, 1, args.count() - 1, true, false, values))
        return args.failure();
    return subtotalOf(function, values);
}

// AGGREGATE(function, options, ranges...) for functions 1-13 (SUBTOTAL's,
// MEDIAN, MODE.SNGL), AGGREGATE(function, options, range, k) for 14-19
// (LARGE, SMALL, PERCENTILE.INC, QUARTILE.INC, PERCENTILE.EXC,
// QUARTILE.EXC). Options 0-3 leave nested subtotals out, 2, 3, 6 and 7
// skip errors; hidden rows (options 1, 3, 5, 7) do not occur here.
Value aggregate(FunctionArgs &args)
{
    const double function = std::trunc(args.number(0)), options = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (function < 1 || function > 19 || options < 0 || options > 7)
        return Value::error(ErrorCode::Value);
    const bool skipNested = options <= 3;
    const bool skipErrors = options == 2 || options == 3 || options == 6 || options == 7;
    const bool withK = function >= 14;
    if (withK && args.count() != 4)
        return Value::error(ErrorCode::Value);
    const double k = withK ? args.number(3) : 0;
    Subtotalled values;
    if (args.failed() || !collectSubtotalled(args, 2, withK ? 2 : args.count() - 1, skipNested, skipErrors, values))
        return args.failure();
    switch (static_cast<int>(function)) {
    case 12:
        return medianOf(std::move(values.numbers));
    case 13:
        return modeOf(values.numbers);
    case 14:
    case 15:
        return kthOf(std::move(values.numbers), k, function == 14);
    case 16:
        return percentileInclusiveOf(std::move(values.numbers), k);
    case 17:
        return quartileInclusiveOf(std::move(values.numbers), k);
    case 18:
        return percentileExclusiveOf(std::move(values.numbers), k);
    case 19:
        return quartileExclusiveOf(std::move(values.numbers), k);
    default:
        return subtotalOf(static_cast<int>(function), values);
    }
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
        {"PERCENTILE", 2, 2, "rn", percentile},
        {"QUARTILE", 2, 2, "rn", quartile},
        {"RANK", 2, 3, "nrn", rank<false>},
        {"RANK.AVG", 2, 3, "nrn", rank<true>},
        {"RANK.EQ", 2, 3, "nrn", rank<false>},
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
        {"COVAR", 2, 2, "rr", covariance<false>},
        {"COVARIANCE.P", 2, 2, "rr", covariance<false>},
        {"COVARIANCE.S", 2, 2, "rr", covariance<true>},
        {"FORECAST.LINEAR", 3, 3, "nrr", forecast},
        {"KURT", 1, 255, "a", kurt},
        {"MAXIFS", 3, 255, "a", extremeIfs<true>},
        {"MINIFS", 3, 255, "a", extremeIfs<false>},
        {"MODE.SNGL", 1, 255, "a", mode},
        {"PEARSON", 2, 2, "rr", correl},
        {"PERCENTILE.EXC", 2, 2, "rn", percentileExclusive},
        {"PERCENTILE.INC", 2, 2, "rn", percentile},
        {"PERCENTRANK", 2, 3, "rnn", percentRank<false>},
        {"PERCENTRANK.EXC", 2, 3, "rnn", percentRank<true>},
        {"PERCENTRANK.INC", 2, 3, "rnn", percentRank<false>},
        {"QUARTILE.EXC", 2, 2, "rn", quartileExclusive},
        {"QUARTILE.INC", 2, 2, "rn", quartile},
        {"RSQ", 2, 2, "rr", rsq},
        {"SKEW", 1, 255, "a", skew<true>},
        {"SKEW.P", 1, 255, "a", skew<false>},
        {"STDEVA", 1, 255, "a", variance<true, true, true>},
        {"STDEVPA", 1, 255, "a", variance<false, true, true>},
        {"STEYX", 2, 2, "rr", steyx},
        {"SUBTOTAL", 2, 255, "nr", subtotal},
        {"AGGREGATE", 3, 253, "nnr", aggregate},
        {"TRIMMEAN", 2, 2, "rn", trimMean},
        {"F.TEST", 2, 2, "rr", fTest},
        {"FTEST", 2, 2, "rr", fTest},
        {"PROB", 3, 4, "rrnn", prob},
        {"T.TEST", 4, 4, "rrnn", tTest},
        {"TTEST", 4, 4, "rrnn", tTest},
        {"Z.TEST", 2, 3, "rnn", zTest},
        {"ZTEST", 2, 3, "rnn", zTest},
        {"VARA", 1, 255, "a", variance<true, false, true>},
        {"VARPA", 1, 255, "a", variance<false, false, true>},
    };
    return functions;
}

} // namespace workbook::functions
