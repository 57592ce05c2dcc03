#include "Families.h"

#include <algorithm>

namespace workbook::functions {

namespace {

// The most multiplications one matrix function does, about a second's work:
// past it #NUM!, rather than a program that stops answering.
constexpr double maxMatrixWork = 3e8;

bool tooMuchWork(double rows, double inner, double columns)
{
    return rows * inner * columns > maxMatrixWork;
}

// Numbers of a range or array argument, rows first; false with the call
// failed when a value is not a number (as the matrix functions want).
bool numericMatrix(FunctionArgs &args, int i, int &rows, int &columns, std::vector<double> &numbers)
{
    rows = args.rows(i);
    columns = args.columns(i);
    if (static_cast<size_t>(rows) * static_cast<size_t>(columns) > maxArrayValues) {
        args.fail(ErrorCode::Num);
        return false;
    }
    numbers.assign(static_cast<size_t>(rows) * columns, 0);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const Value v = args.at(i, r, c);
            if (v.isError()) {
                args.fail(v.asError());
                return false;
            }
            if (!v.isNumber()) {
                args.fail(ErrorCode::Value);
                return false;
            }
            numbers[static_cast<size_t>(r) * columns + c] = v.asNumber();
        }
    }
    return true;
}

ValueArray arrayOf(int rows, int columns, const std::vector<double> &numbers)
{
    ValueArray result(rows, columns);
    for (size_t k = 0; k < numbers.size(); ++k)
        result.values[k] = Value::number(numbers[k]);
    return result;
}

Value mmult(FunctionArgs &args)
{
    int rowsA, columnsA, rowsB, columnsB;
    std::vector<double> a, b;
    if (!numericMatrix(args, 0, rowsA, columnsA, a) || !numericMatrix(args, 1, rowsB, columnsB, b))
        return args.failure();
    if (columnsA != rowsB)
        return Value::error(ErrorCode::Value);
    if (tooMuchWork(rowsA, columnsA, columnsB))
        return Value::error(ErrorCode::Num);
    std::vector<double> product(static_cast<size_t>(rowsA) * columnsB, 0);
    for (int r = 0; r < rowsA; ++r)
        for (int k = 0; k < columnsA; ++k)
            for (int c = 0; c < columnsB; ++c)
                product[static_cast<size_t>(r) * columnsB + c] += a[static_cast<size_t>(r) * columnsA + k] * b[static_cast<size_t>(k) * columnsB + c];
    return args.returnArray(arrayOf(rowsA, columnsB, product));
}

Value transpose(FunctionArgs &args)
{
    const int rows = args.rows(0), columns = args.columns(0);
    if (static_cast<size_t>(rows) * static_cast<size_t>(columns) > maxArrayValues)
        return Value::error(ErrorCode::Num);
    ValueArray result(columns, rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const Value v = args.at(0, r, c);
            result.at(c, r) = v.isEmpty() ? Value::number(0) : v;
        }
    return args.returnArray(std::move(result));
}

// Gaussian elimination with partial pivoting on an n x n matrix, carrying
// `extra` columns along (the identity, for the inverse). The determinant
// comes out; false when the matrix is singular.
bool eliminate(std::vector<double> &m, int n, int extra, double &determinant)
{
    const int width = n + extra;
    determinant = 1;
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::abs(m[static_cast<size_t>(r) * width + col]) > std::abs(m[static_cast<size_t>(pivot) * width + col]))
                pivot = r;
        const double p = m[static_cast<size_t>(pivot) * width + col];
        if (p == 0) {
            determinant = 0;
            return false;
        }
        if (pivot != col) {
            for (int c = 0; c < width; ++c)
                std::swap(m[static_cast<size_t>(pivot) * width + c], m[static_cast<size_t>(col) * width + c]);
            determinant = -determinant;
        }
        determinant *= p;
        for (int c = 0; c < width; ++c)
            m[static_cast<size_t>(col) * width + c] /= p;
        for (int r = 0; r < n; ++r) {
            const double factor = m[static_cast<size_t>(r) * width + col];
            if (r == col || factor == 0)
                continue;
            for (int c = 0; c < width; ++c)
                m[static_cast<size_t>(r) * width + c] -= factor * m[static_cast<size_t>(col) * width + c];
        }
    }
    return true;
}

Value mdeterm(FunctionArgs &args)
{
    int rows, columns;
    std::vector<double> m;
    if (!numericMatrix(args, 0, rows, columns, m))
        return args.failure();
    if (rows != columns)
        return Value::error(ErrorCode::Value);
    if (tooMuchWork(rows, rows, rows))
        return Value::error(ErrorCode::Num);
    double determinant = 0;
    eliminate(m, rows, 0, determinant);
    return Value::number(determinant);
}

Value minverse(FunctionArgs &args)
{
    int rows, columns;
    std::vector<double> m;
    if (!numericMatrix(args, 0, rows, columns, m))
        return args.failure();
    if (rows != columns)
        return Value::error(ErrorCode::Value);
    if (tooMuchWork(rows, rows, 2.0 * rows))
        return Value::error(ErrorCode::Num);
    const int n = rows;
    std::vector<double> augmented(static_cast<size_t>(n) * 2 * n, 0);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c)
            augmented[static_cast<size_t>(r) * 2 * n + c] = m[static_cast<size_t>(r) * n + c];
        augmented[static_cast<size_t>(r) * 2 * n + n + r] = 1;
    }
    double determinant = 0;
    if (!eliminate(augmented, n, n, determinant))
        return Value::error(ErrorCode::Num);
    std::vector<double> inverse(static_cast<size_t>(n) * n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            inverse[static_cast<size_t>(r) * n + c] = augmented[static_cast<size_t>(r) * 2 * n + n + c];
    return args.returnArray(arrayOf(n, n, inverse));
}

// How many data fall in each bin: up to the first bound, between each bound
// and the next, and above the last; one count more than there are bounds.
Value frequency(FunctionArgs &args)
{
    std::vector<double> data, bins;
    if (!args.numbersOf(0, data) || !args.numbersOf(1, bins))
        return args.failure();
    std::vector<double> sorted = bins;
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> counts(sorted.size() + 1, 0);
    for (double x : data)
        ++counts[std::lower_bound(sorted.begin(), sorted.end(), x) - sorted.begin()];
    // Counts come in the order the bins were given.
    std::vector<double> result(bins.size() + 1, 0);
    std::vector<bool> taken(sorted.size(), false);
    for (size_t i = 0; i < bins.size(); ++i) {
        size_t k = std::lower_bound(sorted.begin(), sorted.end(), bins[i]) - sorted.begin();
        while (taken[k])
            ++k; // a repeated bound counts once, the first time (its copies hold 0)
        taken[k] = true;
        result[i] = counts[k];
    }
    result.back() = counts.back();
    return args.returnArray(arrayOf(static_cast<int>(result.size()), 1, result));
}

// The least-squares line through known y and x (one x variable): slope and
// intercept. x defaults to 1, 2, 3...; without `constant` the line passes 0.
bool fitLine(FunctionArgs &args, const std::vector<double> &ys, const std::vector<double> &xs, bool constant,
             double &slope, double &intercept)
{
    const size_t n = ys.size();
    if (n == 0 || xs.size() != n) {
        args.fail(n == 0 ? ErrorCode::Value : ErrorCode::Ref);
        return false;
    }
    double meanX = 0, meanY = 0;
    if (constant) {
        for (size_t i = 0; i < n; ++i) {
            meanX += xs[i];
            meanY += ys[i];
        }
        meanX /= static_cast<double>(n);
        meanY /= static_cast<double>(n);
    }
    double sxx = 0, sxy = 0;
    for (size_t i = 0; i < n; ++i) {
        sxx += (xs[i] - meanX) * (xs[i] - meanX);
        sxy += (xs[i] - meanX) * (ys[i] - meanY);
    }
    if (sxx == 0) {
        args.fail(ErrorCode::Div0);
        return false;
    }
    slope = sxy / sxx;
    intercept = meanY - slope * meanX;
    return true;
}

// Known y (argument 0, as logarithms for a curve), known x (argument 1, or 1..n).
bool knownPoints(FunctionArgs &args, std::vector<double> &ys, std::vector<double> &xs, bool logarithms)
{
    if (!args.numbersOf(0, ys))
        return false;
    for (double &y : ys) {
        if (logarithms && y <= 0) {
            args.fail(ErrorCode::Num);
            return false;
        }
        y = logarithms ? std::log(y) : y;
    }
    if (args.has(1))
        return args.numbersOf(1, xs);
    for (size_t i = 0; i < ys.size(); ++i)
        xs.push_back(static_cast<double>(i + 1));
    return true;
}

Value linest(FunctionArgs &args)
{
    std::vector<double> ys, xs;
    if (!knownPoints(args, ys, xs, false))
        return args.failure();
    const bool constant = args.boolean(2, true);
    double slope = 0, intercept = 0;
    if (args.failed() || !fitLine(args, ys, xs, constant, slope, intercept))
        return args.failure();
    ValueArray result(1, 2);
    result.values = {Value::number(slope), Value::number(intercept)};
    return args.returnArray(std::move(result));
}

// TREND and GROWTH: the fitted line (or exponential curve) at new x values.
template <bool Exponential>
Value fittedValues(FunctionArgs &args)
{
    std::vector<double> ys, xs, newXs;
    if (!knownPoints(args, ys, xs, Exponential))
        return args.failure();
    const bool constant = args.boolean(3, true);
    double slope = 0, intercept = 0;
    if (args.failed() || !fitLine(args, ys, xs, constant, slope, intercept))
        return args.failure();
    int rows = 0, columns = 0;
    if (args.has(2)) {
        if (!args.numbersOf(2, newXs))
            return args.failure();
        rows = args.rows(2);
        columns = args.columns(2);
        if (static_cast<size_t>(rows) * columns != newXs.size())
            return Value::error(ErrorCode::Value);
    } else {
        newXs = xs;
        rows = args.has(1) ? args.rows(1) : args.rows(0);
        columns = args.has(1) ? args.columns(1) : args.columns(0);
        if (static_cast<size_t>(rows) * columns != newXs.size()) {
            rows = static_cast<int>(newXs.size());
            columns = 1;
        }
    }
    std::vector<double> fitted;
    for (double x : newXs)
        fitted.push_back(Exponential ? std::exp(intercept + slope * x) : intercept + slope * x);
    return args.returnArray(arrayOf(rows, columns, fitted));
}

} // namespace

const std::vector<FunctionInfo> &arrayFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"MMULT", 2, 2, "AA", mmult},
        {"TRANSPOSE", 1, 1, "A", transpose},
        {"MINVERSE", 1, 1, "A", minverse},
        {"MDETERM", 1, 1, "A", mdeterm},
        {"FREQUENCY", 2, 2, "AA", frequency},
        {"LINEST", 1, 4, "AAbb", linest},
        {"TREND", 1, 4, "AAAb", fittedValues<false>},
        {"GROWTH", 1, 4, "AAAb", fittedValues<true>},
    };
    return functions;
}

} // namespace workbook::functions
