#include "Families.h"

#include <cstdint>

namespace workbook::functions {

namespace {

// ---- DEC2BIN, HEX2DEC and their kin: at most ten digits, the top bit of a
// ten-digit number its sign (two's complement over 10, 30 or 40 bits).

constexpr int maxDigits = 10;

int bitsOf(int radix)
{
    return radix == 2 ? 10 : radix == 8 ? 30 : 40;
}

bool parseInBase(const std::string &text, int radix, long long &value)
{
    if (text.size() > maxDigits)
        return false;
    long long digits = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
        if (digit >= radix)
            return false;
        digits = digits * radix + digit;
    }
    const long long span = 1LL << bitsOf(radix);
    value = digits >= span / 2 ? digits - span : digits;
    return true;
}

std::string formatInBase(long long value, int radix)
{
    const long long span = 1LL << bitsOf(radix);
    unsigned long long u = static_cast<unsigned long long>(value < 0 ? value + span : value);
    std::string out;
    do {
        out.insert(out.begin(), "0123456789ABCDEF"[u % radix]);
        u /= radix;
    } while (u > 0);
    return out;
}

// From and To are 2, 8, 10 or 16; decimal is a number, the others text.
template <int From, int To>
Value convertBase(FunctionArgs &args)
{
    long long value = 0;
    if (From == 10) {
        const double x = std::trunc(args.number(0));
        if (args.failed())
            return args.failure();
        const double half = static_cast<double>(1LL << (bitsOf(To) - 1));
        if (x < -half || x >= half)
            return Value::error(ErrorCode::Num);
        value = static_cast<long long>(x);
    } else {
        const Value v = args.value(0);
        if (v.isBoolean())
            return Value::error(ErrorCode::Value);
        const std::string text = args.text(0);
        if (args.failed())
            return args.failure();
        if (!parseInBase(text, From, value))
            return Value::error(ErrorCode::Num);
    }
    if (To == 10)
        return Value::number(static_cast<double>(value));
    const long long half = 1LL << (bitsOf(To) - 1);
    if (value < -half || value >= half)
        return Value::error(ErrorCode::Num);
    std::string out = formatInBase(value, To);
    // Negative numbers always take all ten digits; places pad the others.
    if (value >= 0 && args.has(1)) {
        const double places = std::trunc(args.number(1));
        if (args.failed())
            return args.failure();
        if (places < out.size() || places > maxDigits)
            return Value::error(ErrorCode::Num);
        out.insert(0, static_cast<size_t>(places) - out.size(), '0');
    }
    return Value::text(out);
}

// ---- error function, comparisons, bits

Value erfFunction(FunctionArgs &args)
{
    const double lower = args.number(0);
    const double upper = args.number(1, 0);
    if (args.failed())
        return args.failure();
    return Value::number(args.has(1) ? std::erf(upper) - std::erf(lower) : std::erf(lower));
}

Value erfc(FunctionArgs &args) { return unaryNumber<std::erfc>(args); }

Value delta(FunctionArgs &args)
{
    const double a = args.number(0), b = args.number(1, 0);
    return args.failed() ? args.failure() : Value::number(a == b ? 1 : 0);
}

Value geStep(FunctionArgs &args)
{
    const double a = args.number(0), step = args.number(1, 0);
    return args.failed() ? args.failure() : Value::number(a >= step ? 1 : 0);
}

constexpr double bitLimit = 281474976710656.0; // 2^48

bool bitArgument(FunctionArgs &args, int i, std::uint64_t &bits)
{
    const double x = args.number(i);
    if (args.failed())
        return false;
    if (x < 0 || x >= bitLimit || x != std::floor(x)) {
        args.fail(ErrorCode::Num);
        return false;
    }
    bits = static_cast<std::uint64_t>(x);
    return true;
}

enum class BitOperation { And, Or, Xor };
template <BitOperation Op>
Value bitwise(FunctionArgs &args)
{
    std::uint64_t a, b;
    if (!bitArgument(args, 0, a) || !bitArgument(args, 1, b))
        return args.failure();
    return Value::number(static_cast<double>(Op == BitOperation::And ? a & b : Op == BitOperation::Or ? a | b : a ^ b));
}

// BITLSHIFT and BITRSHIFT; a negative shift goes the other way.
template <bool Left>
Value bitShift(FunctionArgs &args)
{
    std::uint64_t a;
    if (!bitArgument(args, 0, a))
        return args.failure();
    const double shift = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (std::fabs(shift) > 53)
        return Value::error(ErrorCode::Num);
    const int left = static_cast<int>(Left ? shift : -shift);
    const double result = left >= 0 ? std::ldexp(static_cast<double>(a), left) : static_cast<double>(a >> -left);
    return result >= bitLimit ? Value::error(ErrorCode::Num) : Value::number(result);
}

// ---- CONVERT

enum class Quantity { Mass, Distance, Time, Pressure, Force, Energy, Power, Magnetism, Temperature, Volume, Area, Information, Speed };

// A unit: how many of its quantity's base unit one of it is, whether it takes
// metric (or, for information, binary) prefixes, and the power a prefix is
// raised to (cm2 is 1e-4 m2).
struct Unit
{
    std::string_view name;
    Quantity quantity;
    double factor;
    bool prefixes;
    int power = 1;
};

const Unit units[] = {
    {"g", Quantity::Mass, 1, true},
    {"sg", Quantity::Mass, 14593.9029372064, false},
    {"lbm", Quantity::Mass, 453.59237, false},
    {"ozm", Quantity::Mass, 28.349523125, false},
    {"grain", Quantity::Mass, 0.06479891, false},
    {"cwt", Quantity::Mass, 45359.237, false},
    {"shweight", Quantity::Mass, 45359.237, false},
    {"uk_cwt", Quantity::Mass, 50802.34544, false},
    {"lcwt", Quantity::Mass, 50802.34544, false},
    {"stone", Quantity::Mass, 6350.29318, false},
    {"ton", Quantity::Mass, 907184.74, false},
    {"uk_ton", Quantity::Mass, 1016046.9088, false},
    {"LTON", Quantity::Mass, 1016046.9088, false},
    {"brton", Quantity::Mass, 1016046.9088, false},
    {"m", Quantity::Distance, 1, true},
    {"mi", Quantity::Distance, 1609.344, false},
    {"Nmi", Quantity::Distance, 1852, false},
    {"in", Quantity::Distance, 0.0254, false},
    {"ft", Quantity::Distance, 0.3048, false},
    {"yd", Quantity::Distance, 0.9144, false},
    {"ang", Quantity::Distance, 1e-10, true},
    {"ell", Quantity::Distance, 1.143, false},
    {"ly", Quantity::Distance, 9460730472580800, false},
    {"Picapt", Quantity::Distance, 0.0254 / 72, false},
    {"Pica", Quantity::Distance, 0.0254 / 72, false},
    {"pica", Quantity::Distance, 0.0254 / 6, false},
    {"survey_mi", Quantity::Distance, 6336000.0 / 3937, false},
    {"yr", Quantity::Time, 31557600, false},
    {"day", Quantity::Time, 86400, false},
    {"d", Quantity::Time, 86400, false},
    {"hr", Quantity::Time, 3600, false},
    {"mn", Quantity::Time, 60, false},
    {"min", Quantity::Time, 60, false},
    {"sec", Quantity::Time, 1, true},
    {"s", Quantity::Time, 1, true},
    {"Pa", Quantity::Pressure, 1, true},
    {"p", Quantity::Pressure, 1, true},
    {"atm", Quantity::Pressure, 101325, true},
    {"at", Quantity::Pressure, 101325, true},
    {"mmHg", Quantity::Pressure, 101325.0 / 760, true},
    {"Torr", Quantity::Pressure, 101325.0 / 760, false},
    {"psi", Quantity::Pressure, 4.4482216152605 / (0.0254 * 0.0254), true},
    {"N", Quantity::Force, 1, true},
    {"dyn", Quantity::Force, 1e-5, true},
    {"dy", Quantity::Force, 1e-5, true},
    {"lbf", Quantity::Force, 4.4482216152605, false},
    {"pond", Quantity::Force, 9.80665e-3, true},
    {"J", Quantity::Energy, 1, true},
    {"e", Quantity::Energy, 1e-7, true},
    {"c", Quantity::Energy, 4.184, true},
    {"cal", Quantity::Energy, 4.1868, true},
    {"Wh", Quantity::Energy, 3600, true},
    {"wh", Quantity::Energy, 3600, true},
    {"flb", Quantity::Energy, 0.3048 * 4.4482216152605, false},
    {"BTU", Quantity::Energy, 1055.05585262, false},
    {"btu", Quantity::Energy, 1055.05585262, false},
    {"HPh", Quantity::Energy, 2684519.53769617, false},
    {"hh", Quantity::Energy, 2684519.53769617, false},
    {"HP", Quantity::Power, 745.69987158227, false},
    {"h", Quantity::Power, 745.69987158227, false},
    {"PS", Quantity::Power, 735.49875, false},
    {"W", Quantity::Power, 1, true},
    {"w", Quantity::Power, 1, true},
    {"T", Quantity::Magnetism, 1, true},
    {"ga", Quantity::Magnetism, 1e-4, true},
    {"C", Quantity::Temperature, 1, false},
    {"cel", Quantity::Temperature, 1, false},
    {"F", Quantity::Temperature, 1, false},
    {"fah", Quantity::Temperature, 1, false},
    {"K", Quantity::Temperature, 1, true},
    {"kel", Quantity::Temperature, 1, true},
    {"Rank", Quantity::Temperature, 1, false},
    {"Reau", Quantity::Temperature, 1, false},
    {"l", Quantity::Volume, 1e-3, true},
    {"L", Quantity::Volume, 1e-3, true},
    {"lt", Quantity::Volume, 1e-3, true},
    {"tsp", Quantity::Volume, 4.92892159375e-6, false},
    {"tspm", Quantity::Volume, 5e-6, false},
    {"tbs", Quantity::Volume, 1.478676478125e-5, false},
    {"oz", Quantity::Volume, 2.95735295625e-5, false},
    {"cup", Quantity::Volume, 2.365882365e-4, false},
    {"pt", Quantity::Volume, 4.73176473e-4, false},
    {"us_pt", Quantity::Volume, 4.73176473e-4, false},
    {"uk_pt", Quantity::Volume, 5.6826125e-4, false},
    {"qt", Quantity::Volume, 9.46352946e-4, false},
    {"uk_qt", Quantity::Volume, 1.1365225e-3, false},
    {"gal", Quantity::Volume, 3.785411784e-3, false},
    {"uk_gal", Quantity::Volume, 4.54609e-3, false},
    {"m3", Quantity::Volume, 1, true, 3},
    {"in3", Quantity::Volume, 0.0254 * 0.0254 * 0.0254, false},
    {"ft3", Quantity::Volume, 0.3048 * 0.3048 * 0.3048, false},
    {"yd3", Quantity::Volume, 0.9144 * 0.9144 * 0.9144, false},
    {"mi3", Quantity::Volume, 1609.344 * 1609.344 * 1609.344, false},
    {"ang3", Quantity::Volume, 1e-30, true, 3},
    {"barrel", Quantity::Volume, 0.158987294928, false},
    {"bushel", Quantity::Volume, 0.03523907016688, false},
    {"m2", Quantity::Area, 1, true, 2},
    {"in2", Quantity::Area, 0.0254 * 0.0254, false},
    {"ft2", Quantity::Area, 0.3048 * 0.3048, false},
    {"yd2", Quantity::Area, 0.9144 * 0.9144, false},
    {"mi2", Quantity::Area, 1609.344 * 1609.344, false},
    {"Nmi2", Quantity::Area, 1852.0 * 1852, false},
    {"ang2", Quantity::Area, 1e-20, true, 2},
    {"ha", Quantity::Area, 1e4, false},
    {"ar", Quantity::Area, 100, true},
    {"uk_acre", Quantity::Area, 4046.8564224, false},
    {"us_acre", Quantity::Area, 4046.8726098742513, false},
    {"Morgen", Quantity::Area, 2500, false},
    {"bit", Quantity::Information, 1, true},
    {"byte", Quantity::Information, 8, true},
    {"m/s", Quantity::Speed, 1, true},
    {"m/sec", Quantity::Speed, 1, true},
    {"m/h", Quantity::Speed, 1.0 / 3600, true},
    {"m/hr", Quantity::Speed, 1.0 / 3600, true},
    {"mph", Quantity::Speed, 0.44704, false},
    {"kn", Quantity::Speed, 1852.0 / 3600, false},
    {"admkn", Quantity::Speed, 1853.184 / 3600, false},
};

const std::pair<std::string_view, double> metricPrefixes[] = {
    {"da", 1e1}, {"Y", 1e24}, {"Z", 1e21}, {"E", 1e18}, {"P", 1e15}, {"T", 1e12}, {"G", 1e9},   {"M", 1e6},   {"k", 1e3},
    {"h", 1e2},  {"e", 1e1},  {"d", 1e-1}, {"c", 1e-2}, {"m", 1e-3}, {"u", 1e-6}, {"n", 1e-9}, {"p", 1e-12}, {"f", 1e-15},
    {"a", 1e-18}, {"z", 1e-21}, {"y", 1e-24},
};

const std::pair<std::string_view, double> binaryPrefixes[] = {
    {"ki", 1024.0}, {"Mi", 1048576.0}, {"Gi", 1073741824.0}, {"Ti", 1099511627776.0}, {"Pi", 1125899906842624.0},
    {"Ei", 1152921504606846976.0}, {"Zi", 1180591620717411303424.0}, {"Yi", 1208925819614629174706176.0},
};

// A unit name, possibly prefixed: its unit and the factor the prefix adds.
const Unit *findUnit(std::string_view name, double &scale)
{
    scale = 1;
    for (const Unit &unit : units)
        if (unit.name == name)
            return &unit;
    const auto withPrefix = [&](const std::pair<std::string_view, double> &prefix, bool binary) -> const Unit * {
        if (name.substr(0, prefix.first.size()) != prefix.first)
            return nullptr;
        const std::string_view rest = name.substr(prefix.first.size());
        for (const Unit &unit : units) {
            if (unit.name == rest && unit.prefixes && (!binary || unit.quantity == Quantity::Information)) {
                scale = std::pow(prefix.second, unit.power);
                return &unit;
            }
        }
        return nullptr;
    };
    for (const auto &prefix : binaryPrefixes)
        if (const Unit *unit = withPrefix(prefix, true))
            return unit;
    for (const auto &prefix : metricPrefixes)
        if (const Unit *unit = withPrefix(prefix, false))
            return unit;
    return nullptr;
}

double toKelvin(double x, std::string_view unit)
{
    if (unit == "C" || unit == "cel")
        return x + 273.15;
    if (unit == "F" || unit == "fah")
        return (x - 32) * 5 / 9 + 273.15;
    if (unit == "Rank")
        return x * 5 / 9;
    if (unit == "Reau")
        return x * 1.25 + 273.15;
    return x; // K, kel
}

double fromKelvin(double k, std::string_view unit)
{
    if (unit == "C" || unit == "cel")
        return k - 273.15;
    if (unit == "F" || unit == "fah")
        return (k - 273.15) * 9 / 5 + 32;
    if (unit == "Rank")
        return k * 9 / 5;
    if (unit == "Reau")
        return (k - 273.15) * 0.8;
    return k;
}

Value convert(FunctionArgs &args)
{
    const double x = args.number(0);
    const std::string from = args.text(1), to = args.text(2);
    if (args.failed())
        return args.failure();
    double fromScale, toScale;
    const Unit *source = findUnit(from, fromScale), *target = findUnit(to, toScale);
    if (!source || !target || source->quantity != target->quantity)
        return Value::error(ErrorCode::NA);
    if (source->quantity == Quantity::Temperature)
        return Value::number(fromKelvin(toKelvin(x * fromScale, source->name), target->name) / toScale);
    return Value::number(x * (source->factor * fromScale) / (target->factor * toScale));
}

} // namespace

const std::vector<FunctionInfo> &engineeringFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"BIN2DEC", 1, 1, "v", convertBase<2, 10>},
        {"BIN2HEX", 1, 2, "vn", convertBase<2, 16>},
        {"BIN2OCT", 1, 2, "vn", convertBase<2, 8>},
        {"BITAND", 2, 2, "n", bitwise<BitOperation::And>},
        {"BITLSHIFT", 2, 2, "n", bitShift<true>},
        {"BITOR", 2, 2, "n", bitwise<BitOperation::Or>},
        {"BITRSHIFT", 2, 2, "n", bitShift<false>},
        {"BITXOR", 2, 2, "n", bitwise<BitOperation::Xor>},
        {"CONVERT", 3, 3, "ntt", convert},
        {"DEC2BIN", 1, 2, "n", convertBase<10, 2>},
        {"DEC2HEX", 1, 2, "n", convertBase<10, 16>},
        {"DEC2OCT", 1, 2, "n", convertBase<10, 8>},
        {"DELTA", 1, 2, "n", delta},
        {"ERF", 1, 2, "n", erfFunction},
        {"ERF.PRECISE", 1, 1, "n", erfFunction},
        {"ERFC", 1, 1, "n", erfc},
        {"ERFC.PRECISE", 1, 1, "n", erfc},
        {"GESTEP", 1, 2, "n", geStep},
        {"HEX2BIN", 1, 2, "vn", convertBase<16, 2>},
        {"HEX2DEC", 1, 1, "v", convertBase<16, 10>},
        {"HEX2OCT", 1, 2, "vn", convertBase<16, 8>},
        {"OCT2BIN", 1, 2, "vn", convertBase<8, 2>},
        {"OCT2DEC", 1, 1, "v", convertBase<8, 10>},
        {"OCT2HEX", 1, 2, "vn", convertBase<8, 16>},
    };
    return functions;
}

} // namespace workbook::functions
