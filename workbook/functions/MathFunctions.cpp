#include "Families.h"

#include <algorithm>
#include <numeric>
#include <random>

namespace workbook::functions {

namespace {

constexpr double pi = 3.14159265358979323846;

// One engine per thread: points evaluated on workers never share a draw.
std::mt19937_64 &randomEngine()
{
    static thread_local std::mt19937_64 engine{std::random_device{}()};
    return engine;
}

// Rounds to `digits` decimals: away from zero, or toward/away on request.
enum class Rounding { Nearest, Down, Up };
double roundDigits(double x, double digits, Rounding mode)
{
    const double d = std::trunc(digits);
    if (d > 15 || d < -15)
        return d > 15 ? x : 0.0;
    const double scale = std::pow(10.0, d);
    const double scaled = roundToSignificant(x * scale);
    double r = 0;
    switch (mode) {
    case Rounding::Nearest:
        r = std::round(scaled);
        break;
    case Rounding::Down:
        r = std::trunc(scaled);
        break;
    case Rounding::Up:
        r = scaled < 0 ? std::floor(scaled) : std::ceil(scaled);
        break;
    }
    return r / scale;
}

template <Rounding Mode>
Value roundFunction(FunctionArgs &args)
{
    const double x = args.number(0);
    const double digits = args.number(1, 0);
    return args.failed() ? args.failure() : Value::number(roundDigits(x, digits, Mode));
}

Value absolute(FunctionArgs &a) { return unaryNumber<std::fabs>(a); }

Value atan2Function(FunctionArgs &args)
{
    const double x = args.number(0), y = args.number(1);
    if (args.failed())
        return args.failure();
    if (x == 0 && y == 0)
        return Value::error(ErrorCode::Div0);
    return Value::number(std::atan2(y, x));
}

Value ceilingFunction(FunctionArgs &args)
{
    const double x = args.number(0), significance = args.number(1, x < 0 ? -1 : 1);
    if (args.failed())
        return args.failure();
    if (x == 0 || significance == 0)
        return Value::number(0);
    if (x > 0 && significance < 0)
        return Value::error(ErrorCode::Num);
    return Value::number(std::ceil(roundToSignificant(x / significance)) * significance);
}

Value floorFunction(FunctionArgs &args)
{
    const double x = args.number(0), significance = args.number(1, x < 0 ? -1 : 1);
    if (args.failed())
        return args.failure();
    if (significance == 0)
        return x == 0 ? Value::number(0) : Value::error(ErrorCode::Div0);
    if (x > 0 && significance < 0)
        return Value::error(ErrorCode::Num);
    return Value::number(std::floor(roundToSignificant(x / significance)) * significance);
}

// Rounds to a multiple of |significance| (none: 1) up or down; a negative
// number goes the other way when `mode` says so. CEILING.MATH and
// FLOOR.MATH take a mode, the .PRECISE forms always round up or down.
template <bool Up>
Value roundToMultiple(FunctionArgs &args)
{
    const double x = args.number(0), significance = std::fabs(args.number(1, 1)), mode = args.number(2, 0);
    if (args.failed())
        return args.failure();
    if (significance == 0 || x == 0)
        return Value::number(0);
    const double q = roundToSignificant(x / significance);
    const bool up = x < 0 && mode != 0 ? !Up : Up;
    return Value::number((up ? std::ceil(q) : std::floor(q)) * significance);
}

double factorial(double n)
{
    double result = 1;
    for (double k = 2; k <= n; ++k)
        result *= k;
    return result;
}

// n choose k for whole n >= k >= 0. With k no more than n - k every factor
// is at least 2, so the product overflows (to infinity, a #NUM! value)
// within about a thousand steps, whatever the arguments.
double binomialCoefficient(double n, double k)
{
    const double taken = std::min(k, n - k);
    double result = 1;
    for (double i = 1; i <= taken && std::isfinite(result); ++i)
        result = result * (n - taken + i) / i;
    return std::round(result);
}

Value combin(FunctionArgs &args)
{
    const double n = std::trunc(args.number(0)), k = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (n < 0 || k < 0 || n < k)
        return Value::error(ErrorCode::Num);
    return Value::number(binomialCoefficient(n, k));
}

// Combinations with repetitions.
Value combinA(FunctionArgs &args)
{
    const double n = std::trunc(args.number(0)), k = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (n < 0 || k < 0 || (n == 0 && k > 0))
        return Value::error(ErrorCode::Num);
    return Value::number(k == 0 ? 1 : binomialCoefficient(n + k - 1, k));
}

Value permut(FunctionArgs &args)
{
    const double n = std::trunc(args.number(0)), k = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (n < 0 || k < 0 || n < k)
        return Value::error(ErrorCode::Num);
    double result = 1;
    for (double i = 0; i < k && std::isfinite(result); ++i)
        result *= n - i;
    return Value::number(result);
}

Value permutationA(FunctionArgs &args)
{
    const double n = std::trunc(args.number(0)), k = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (n < 0 || k < 0)
        return Value::error(ErrorCode::Num);
    return Value::number(std::pow(n, k));
}

Value multinomial(FunctionArgs &args)
{
    std::vector<double> numbers;
    if (!args.collectNumbers(0, numbers))
        return args.failure();
    double total = 0, result = 1;
    for (double x : numbers) {
        x = std::trunc(x);
        if (x < 0)
            return Value::error(ErrorCode::Num);
        total += x;
        result *= binomialCoefficient(total, x);
        if (!std::isfinite(result))
            break;
    }
    return Value::number(result);
}

Value factDouble(FunctionArgs &args)
{
    const double n = std::trunc(args.number(0));
    if (args.failed())
        return args.failure();
    if (n < 0 || n > 300)
        return Value::error(ErrorCode::Num);
    double result = 1;
    for (double k = n; k > 1; k -= 2)
        result *= k;
    return Value::number(result);
}

Value factFunction(FunctionArgs &args)
{
    const double n = std::trunc(args.number(0));
    if (args.failed())
        return args.failure();
    if (n < 0 || n > 170)
        return Value::error(ErrorCode::Num);
    return Value::number(factorial(n));
}

// EVEN and ODD round away from zero to the next even or odd integer.
template <bool Odd>
Value parityRound(FunctionArgs &args)
{
    const double x = args.number(0);
    if (args.failed())
        return args.failure();
    const double sign = x < 0 ? -1 : 1;
    double r = std::ceil(std::fabs(x));
    if (Odd) {
        if (std::fmod(r, 2) == 0)
            r += 1;
    } else if (std::fmod(r, 2) != 0) {
        r += 1;
    }
    return Value::number(sign * r);
}

template <bool Lcm>
Value gcdLcm(FunctionArgs &args)
{
    std::vector<double> numbers;
    if (!args.collectNumbers(0, numbers))
        return args.failure();
    double result = Lcm ? 1 : 0;
    for (double x : numbers) {
        x = std::trunc(x);
        if (x < 0 || x > 9007199254740992.0)
            return Value::error(ErrorCode::Num);
        const auto a = static_cast<unsigned long long>(result), b = static_cast<unsigned long long>(x);
        if (Lcm) {
            if (b == 0)
                return Value::number(0);
            result = static_cast<double>(a / std::gcd(a, b)) * static_cast<double>(b);
            // Past 2^53 the multiple is no longer an exact integer to carry on with.
            if (result > 9007199254740992.0)
                return Value::error(ErrorCode::Num);
        } else {
            result = static_cast<double>(std::gcd(a, b));
        }
    }
    return Value::number(result);
}

Value intFunction(FunctionArgs &a) { return unaryNumber<std::floor>(a); }


Value logFunction(FunctionArgs &args)
{
    const double x = args.number(0), base = args.number(1, 10);
    if (args.failed())
        return args.failure();
    if (x <= 0 || base <= 0)
        return Value::error(ErrorCode::Num);
    if (base == 1)
        return Value::error(ErrorCode::Div0);
    return Value::number(std::log(x) / std::log(base));
}


Value modFunction(FunctionArgs &args)
{
    const double n = args.number(0), d = args.number(1);
    if (args.failed())
        return args.failure();
    if (d == 0)
        return Value::error(ErrorCode::Div0);
    // A quotient past 2^53 has no exact integer part, hence no remainder worth giving.
    const double quotient = n / d;
    if (!(std::fabs(quotient) < 9007199254740992.0))
        return Value::error(ErrorCode::Num);
    // Rounding the quotient to 15 digits makes MOD(0.3,0.1) 0, as the user
    // expects; past 10^15 that rounding would cut the integer part itself.
    if (std::fabs(quotient) < 1e15)
        return Value::number(n - d * std::floor(roundToSignificant(quotient)));
    const double exact = std::fmod(n, d);
    return Value::number(exact != 0 && (exact < 0) != (d < 0) ? exact + d : exact);
}

Value mround(FunctionArgs &args)
{
    const double x = args.number(0), multiple = args.number(1);
    if (args.failed())
        return args.failure();
    if (multiple == 0 || x == 0)
        return Value::number(0);
    if ((x > 0) != (multiple > 0))
        return Value::error(ErrorCode::Num);
    return Value::number(std::round(roundToSignificant(x / multiple)) * multiple);
}

Value piFunction(FunctionArgs &) { return Value::number(pi); }

Value power(FunctionArgs &args)
{
    const double x = args.number(0), y = args.number(1);
    return args.failed() ? args.failure() : powerOf(x, y);
}

Value product(FunctionArgs &args)
{
    std::vector<double> numbers;
    if (!args.collectNumbers(0, numbers))
        return args.failure();
    if (numbers.empty())
        return Value::number(0);
    double result = 1;
    for (double x : numbers)
        result *= x;
    return Value::number(result);
}

Value quotient(FunctionArgs &args)
{
    const double n = args.number(0), d = args.number(1);
    if (args.failed())
        return args.failure();
    return d == 0 ? Value::error(ErrorCode::Div0) : Value::number(std::trunc(n / d));
}

Value degrees(FunctionArgs &args)
{
    const double x = args.number(0);
    return args.failed() ? args.failure() : Value::number(x * 180 / pi);
}

Value radians(FunctionArgs &args)
{
    const double x = args.number(0);
    return args.failed() ? args.failure() : Value::number(x * pi / 180);
}

Value randFunction(FunctionArgs &)
{
    return Value::number(std::uniform_real_distribution<double>(0.0, 1.0)(randomEngine()));
}

Value randBetween(FunctionArgs &args)
{
    const double bottom = std::ceil(args.number(0)), top = std::floor(args.number(1));
    if (args.failed())
        return args.failure();
    if (bottom > top || top - bottom > 9e15)
        return Value::error(ErrorCode::Num);
    const auto span = static_cast<long long>(top - bottom);
    return Value::number(bottom + static_cast<double>(std::uniform_int_distribution<long long>(0, span)(randomEngine())));
}

Value signFunction(FunctionArgs &args)
{
    const double x = args.number(0);
    return args.failed() ? args.failure() : Value::number(x > 0 ? 1 : x < 0 ? -1 : 0);
}


Value sum(FunctionArgs &args)
{
    double total = 0;
    for (int i = 0; i < args.count() && !args.failed(); ++i) {
        args.forEachValue(i, [&](const Value &v, bool fromReference) {
            if (v.isNumber()) {
                total += v.asNumber();
            } else if (v.isError()) {
                args.fail(v.asError());
            } else if (!fromReference) {
                double x = 0;
                ErrorCode error = ErrorCode::Value;
                if (toNumber(v, x, error))
                    total += x;
                else
                    args.fail(error);
            }
        });
    }
    return args.failed() ? args.failure() : Value::number(total);
}

Value sumSquares(FunctionArgs &args)
{
    std::vector<double> numbers;
    if (!args.collectNumbers(0, numbers))
        return args.failure();
    double total = 0;
    for (double x : numbers)
        total += x * x;
    return Value::number(total);
}

Value sumIf(FunctionArgs &args)
{
    const int sumArg = args.has(2) ? 2 : 0;
    CriteriaHits hits;
    if (!matchCriteria(args, {0}, sumArg, hits))
        return args.failure();
    double total = 0;
    for (const auto &[r, c] : hits.offsets) {
        const Value v = args.at(sumArg, r, c);
        if (v.isNumber())
            total += v.asNumber();
        else if (v.isError())
            return v;
    }
    return Value::number(total);
}

Value sumIfs(FunctionArgs &args)
{
    CriteriaHits hits;
    if (!matchAllCriteria(args, 1, 0, hits))
        return args.failure();
    double total = 0;
    for (const auto &[r, c] : hits.offsets) {
        const Value v = args.at(0, r, c);
        if (v.isNumber())
            total += v.asNumber();
    }
    return Value::number(total);
}

// SUMX2MY2, SUMX2PY2 and SUMXMY2 over the pairs where both hold numbers.
template <double (*Term)(double, double)>
Value sumOfPairs(FunctionArgs &args)
{
    std::vector<double> x, y;
    if (!numberPairs(args, 0, 1, x, y))
        return args.failure();
    double total = 0;
    for (size_t i = 0; i < x.size(); ++i)
        total += Term(x[i], y[i]);
    return Value::number(total);
}

double differenceOfSquares(double x, double y) { return x * x - y * y; }
double sumOfSquares(double x, double y) { return x * x + y * y; }
double squaredDifference(double x, double y) { return (x - y) * (x - y); }

Value seriesSum(FunctionArgs &args)
{
    const double x = args.number(0), n = args.number(1), m = args.number(2);
    std::vector<double> coefficients;
    if (args.failed() || !args.numbersOf(3, coefficients))
        return args.failure();
    double total = 0;
    for (size_t i = 0; i < coefficients.size(); ++i)
        total += coefficients[i] * std::pow(x, n + static_cast<double>(i) * m);
    return Value::number(total);
}

Value sumProduct(FunctionArgs &args)
{
    const int rows = args.rows(0), columns = args.columns(0);
    for (int i = 1; i < args.count(); ++i)
        if (args.rows(i) != rows || args.columns(i) != columns)
            return Value::error(ErrorCode::Value);
    // An error anywhere is the answer. Terms are non-zero only where the first
    // argument holds a number, so whole sheets cost only the cells they hold.
    Value error;
    for (int i = 0; i < args.count() && !error.isError(); ++i) {
        forEachFilled(args, i, [&](int, int, const Value &v) {
            if (v.isError() && !error.isError())
                error = v;
        });
    }
    if (error.isError())
        return error;
    double total = 0;
    forEachFilled(args, 0, [&](int r, int c, const Value &v) {
        if (!v.isNumber())
            return;
        double term = v.asNumber();
        for (int i = 1; i < args.count(); ++i) {
            const Value w = args.at(i, r, c);
            term *= w.isNumber() ? w.asNumber() : 0;
        }
        total += term;
    });
    return Value::number(total);
}

Value truncFunction(FunctionArgs &args)
{
    const double x = args.number(0), digits = args.number(1, 0);
    return args.failed() ? args.failure() : Value::number(roundDigits(x, digits, Rounding::Down));
}

// The reciprocal trigonometric functions; at a pole, #DIV/0!.
template <double (*F)(double)>
Value reciprocal(FunctionArgs &args)
{
    const double x = args.number(0);
    if (args.failed())
        return args.failure();
    const double y = F(x);
    return y == 0 ? Value::error(ErrorCode::Div0) : Value::number(1 / y);
}

double acot(double x) { return pi / 2 - std::atan(x); }
// Outside (-1, 1) only; inside, NaN (#NUM!).
double acoth(double x) { return std::fabs(x) <= 1 ? std::nan("") : 0.5 * std::log((x + 1) / (x - 1)); }
double sqrtPi(double x) { return std::sqrt(x * pi); }

// BASE and DECIMAL: whole numbers in radix 2 to 36.
Value baseFunction(FunctionArgs &args)
{
    const double x = std::trunc(args.number(0)), radix = std::trunc(args.number(1)), length = std::trunc(args.number(2, 0));
    if (args.failed())
        return args.failure();
    if (x < 0 || x >= 9007199254740992.0 || radix < 2 || radix > 36 || length < 0 || length > 255)
        return Value::error(ErrorCode::Num);
    auto u = static_cast<unsigned long long>(x);
    const auto r = static_cast<unsigned long long>(radix);
    std::string out;
    do {
        out.insert(out.begin(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[u % r]);
        u /= r;
    } while (u > 0);
    if (out.size() < length)
        out.insert(0, static_cast<size_t>(length) - out.size(), '0');
    return Value::text(out);
}

Value decimalFunction(FunctionArgs &args)
{
    const std::string text = args.text(0);
    const double radix = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (radix < 2 || radix > 36 || text.size() > 255)
        return Value::error(ErrorCode::Num);
    double value = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : std::isalpha(static_cast<unsigned char>(c)) ? std::toupper(static_cast<unsigned char>(c)) - 'A' + 10 : 99;
        if (digit >= radix)
            return Value::error(ErrorCode::Num);
        value = value * radix + digit;
    }
    return value >= 9007199254740992.0 ? Value::error(ErrorCode::Num) : Value::number(value);
}

// ---- Roman numerals

const char romanLetters[] = {'M', 'D', 'C', 'L', 'X', 'V', 'I'};
const int romanValues[] = {1000, 500, 100, 50, 10, 5, 1};
constexpr int lastRoman = 6;

// ROMAN(number, form): form 0 (or TRUE) is classic; forms 1 to 4 (FALSE 4)
// let a 4 or 9 subtract ever smaller letters from the larger one, as far
// as the number allows: 499 is CDXCIX, LDVLIV, XDIX, VDIV or ID.
Value roman(FunctionArgs &args)
{
    const double number = std::trunc(args.number(0));
    const Value formValue = args.has(1) ? args.value(1) : Value::number(0);
    const double form = formValue.isBoolean() ? (formValue.asBoolean() ? 0 : 4) : std::trunc(args.number(1, 0));
    if (args.failed())
        return args.failure();
    if (number < 0 || number > 3999 || form < 0 || form > 4)
        return Value::error(ErrorCode::Value);
    int rest = static_cast<int>(number);
    std::string out;
    for (int power = 0; power <= lastRoman; power += 2) {
        const int digit = rest / romanValues[power];
        if (digit % 5 == 4) {
            const int larger = digit == 4 ? power - 1 : power - 2;
            int smaller = power;
            for (int step = 0; step < form && smaller < lastRoman; ++step) {
                if (romanValues[larger] - romanValues[smaller + 1] > rest)
                    break;
                ++smaller;
            }
            out += romanLetters[smaller];
            out += romanLetters[larger];
            rest += romanValues[smaller] - romanValues[larger];
        } else {
            if (digit > 4)
                out += romanLetters[power - 1];
            out.append(static_cast<size_t>(digit % 5), romanLetters[power]);
            rest %= romanValues[power];
        }
    }
    return Value::text(out);
}

// ARABIC: any Roman numeral, a letter before a larger one subtracting.
Value arabic(FunctionArgs &args)
{
    std::string text = args.text(0);
    if (args.failed())
        return args.failure();
    const size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    if (text.size() > 255)
        return Value::error(ErrorCode::Value);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.erase(0, 1);
    std::vector<int> values;
    for (char c : text) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const char *letter = std::find(std::begin(romanLetters), std::end(romanLetters), upper);
        if (letter == std::end(romanLetters))
            return Value::error(ErrorCode::Value);
        values.push_back(romanValues[letter - std::begin(romanLetters)]);
    }
    double total = 0;
    for (size_t i = 0; i < values.size(); ++i)
        total += i + 1 < values.size() && values[i] < values[i + 1] ? -values[i] : values[i];
    return Value::number(negative ? -total : total);
}

double acosh(double x) { return std::acosh(x); }
double asinh(double x) { return std::asinh(x); }
double atanh(double x) { return std::atanh(x); }

// Outside their domain these give NaN or an infinity, which a value turns into #NUM!.
double sqrtOf(double x) { return std::sqrt(x); }
double lnOf(double x) { return std::log(x); }
double log10Of(double x) { return std::log10(x); }

} // namespace

double (*numericFunctionOf(std::string_view name))(double)
{
    // Functions whose full form gives the same number, or an error exactly where this gives NaN.
    static const std::pair<std::string_view, double (*)(double)> table[] = {
        {"ABS", std::fabs}, {"SIN", std::sin},   {"COS", std::cos},   {"TAN", std::tan},     {"EXP", std::exp},
        {"SQRT", sqrtOf},     {"LN", lnOf},       {"LOG10", log10Of}, {"ATAN", std::atan}, {"ASIN", std::asin},
        {"ACOS", std::acos}, {"SINH", std::sinh}, {"COSH", std::cosh}, {"TANH", std::tanh},  {"INT", std::floor},
    };
    for (const auto &[n, f] : table)
        if (n == name)
            return f;
    return nullptr;
}

const std::vector<FunctionInfo> &mathFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"ABS", 1, 1, "n", absolute},
        {"ACOS", 1, 1, "n", unaryNumber<std::acos>},
        {"ACOSH", 1, 1, "n", unaryNumber<acosh>},
        {"ASIN", 1, 1, "n", unaryNumber<std::asin>},
        {"ASINH", 1, 1, "n", unaryNumber<asinh>},
        {"ATAN", 1, 1, "n", unaryNumber<std::atan>},
        {"ATAN2", 2, 2, "nn", atan2Function},
        {"ATANH", 1, 1, "n", unaryNumber<atanh>},
        {"CEILING", 1, 2, "nn", ceilingFunction},
        {"COMBIN", 2, 2, "nn", combin},
        {"COS", 1, 1, "n", unaryNumber<std::cos>},
        {"COSH", 1, 1, "n", unaryNumber<std::cosh>},
        {"DEGREES", 1, 1, "n", degrees},
        {"EVEN", 1, 1, "n", parityRound<false>},
        {"EXP", 1, 1, "n", unaryNumber<std::exp>},
        {"FACT", 1, 1, "n", factFunction},
        {"FLOOR", 1, 2, "nn", floorFunction},
        {"GCD", 1, 255, "a", gcdLcm<false>},
        {"INT", 1, 1, "n", intFunction},
        {"LCM", 1, 255, "a", gcdLcm<true>},
        {"LN", 1, 1, "n", unaryNumber<lnOf>},
        {"LOG", 1, 2, "nn", logFunction},
        {"LOG10", 1, 1, "n", unaryNumber<log10Of>},
        {"MOD", 2, 2, "nn", modFunction},
        {"MROUND", 2, 2, "nn", mround},
        {"ODD", 1, 1, "n", parityRound<true>},
        {"PI", 0, 0, "", piFunction},
        {"POWER", 2, 2, "nn", power},
        {"PRODUCT", 1, 255, "a", product},
        {"QUOTIENT", 2, 2, "nn", quotient},
        {"RADIANS", 1, 1, "n", radians},
        {"RAND", 0, 0, "", randFunction, true},
        {"RANDBETWEEN", 2, 2, "nn", randBetween, true},
        {"ROUND", 2, 2, "nn", roundFunction<Rounding::Nearest>},
        {"ROUNDDOWN", 2, 2, "nn", roundFunction<Rounding::Down>},
        {"ROUNDUP", 2, 2, "nn", roundFunction<Rounding::Up>},
        {"SIGN", 1, 1, "n", signFunction},
        {"SIN", 1, 1, "n", unaryNumber<std::sin>},
        {"SINH", 1, 1, "n", unaryNumber<std::sinh>},
        {"SQRT", 1, 1, "n", unaryNumber<sqrtOf>},
        {"SUM", 1, 255, "a", sum},
        {"SUMIF", 2, 3, "rar", sumIf},
        {"SUMIFS", 3, 255, "a", sumIfs},
        {"SUMPRODUCT", 1, 255, "A", sumProduct},
        {"SUMSQ", 1, 255, "a", sumSquares},
        {"TAN", 1, 1, "n", unaryNumber<std::tan>},
        {"TANH", 1, 1, "n", unaryNumber<std::tanh>},
        {"TRUNC", 1, 2, "nn", truncFunction},
        {"ACOT", 1, 1, "n", unaryNumber<acot>},
        {"ACOTH", 1, 1, "n", unaryNumber<acoth>},
        {"ARABIC", 1, 1, "t", arabic},
        {"ROMAN", 1, 2, "nv", roman},
        {"BASE", 2, 3, "n", baseFunction},
        {"CEILING.MATH", 1, 3, "n", roundToMultiple<true>},
        {"CEILING.PRECISE", 1, 2, "n", roundToMultiple<true>},
        {"COMBINA", 2, 2, "nn", combinA},
        {"COT", 1, 1, "n", reciprocal<std::tan>},
        {"COTH", 1, 1, "n", reciprocal<std::tanh>},
        {"CSC", 1, 1, "n", reciprocal<std::sin>},
        {"CSCH", 1, 1, "n", reciprocal<std::sinh>},
        {"DECIMAL", 2, 2, "tn", decimalFunction},
        {"FACTDOUBLE", 1, 1, "n", factDouble},
        {"FLOOR.MATH", 1, 3, "n", roundToMultiple<false>},
        {"FLOOR.PRECISE", 1, 2, "n", roundToMultiple<false>},
        {"ISO.CEILING", 1, 2, "n", roundToMultiple<true>},
        {"MULTINOMIAL", 1, 255, "a", multinomial},
        {"PERMUT", 2, 2, "nn", permut},
        {"PERMUTATIONA", 2, 2, "nn", permutationA},
        {"SEC", 1, 1, "n", reciprocal<std::cos>},
        {"SECH", 1, 1, "n", reciprocal<std::cosh>},
        {"SERIESSUM", 4, 4, "nnnr", seriesSum},
        {"SQRTPI", 1, 1, "n", unaryNumber<sqrtPi>},
        {"SUMX2MY2", 2, 2, "rr", sumOfPairs<differenceOfSquares>},
        {"SUMX2PY2", 2, 2, "rr", sumOfPairs<sumOfSquares>},
        {"SUMXMY2", 2, 2, "rr", sumOfPairs<squaredDifference>},
    };
    return functions;
}

} // namespace workbook::functions
