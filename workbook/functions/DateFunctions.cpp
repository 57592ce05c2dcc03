#include "Families.h"
#include "Dates.h"

#include <chrono>
#include <ctime>

namespace workbook::functions {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, long long &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y += m <= 2;
}

// 1899-12-30 as days from 1970; serial 61 onward counts from there.
const long long epoch = daysFromCivil(1899, 12, 30);
constexpr double maxSerial = 2958465; // 9999-12-31

Value dateFunction(FunctionArgs &args)
{
    double year = std::trunc(args.number(0));
    const double month = std::trunc(args.number(1)), day = std::trunc(args.number(2));
    if (args.failed())
        return args.failure();
    if (year >= 0 && year < 1900)
        year += 1900; // two-digit and short years count from 1900
    if (year < 0 || year > 9999 || std::fabs(month) > 1e6 || std::fabs(day) > 1e8)
        return Value::error(ErrorCode::Num);
    const double serial = dateSerial(static_cast<long long>(year), static_cast<long long>(month), static_cast<long long>(day));
    return serial < 0 || serial > maxSerial ? Value::error(ErrorCode::Num) : Value::number(serial);
}

Value timeFunction(FunctionArgs &args)
{
    const double h = std::trunc(args.number(0)), m = std::trunc(args.number(1)), s = std::trunc(args.number(2));
    if (args.failed())
        return args.failure();
    const double seconds = h * 3600 + m * 60 + s;
    if (seconds < 0)
        return Value::error(ErrorCode::Num);
    return Value::number(std::fmod(seconds, 86400) / 86400);
}

// A serial date argument: numbers, or text that reads as a number.
bool serialArgument(FunctionArgs &args, int i, double &serial)
{
    serial = args.number(i);
    if (args.failed())
        return false;
    if (serial < 0 || serial > maxSerial) {
        args.fail(ErrorCode::Num);
        return false;
    }
    return true;
}

enum class Part { Year, Month, Day };
template <Part P>
Value datePart(FunctionArgs &args)
{
    double serial;
    if (!serialArgument(args, 0, serial))
        return args.failure();
    const CivilDate date = civilDate(serial);
    return Value::number(P == Part::Year ? date.year : P == Part::Month ? date.month : date.day);
}

enum class Clock { Hour, Minute, Second };
template <Clock C>
Value timePart(FunctionArgs &args)
{
    double serial;
    if (!serialArgument(args, 0, serial))
        return args.failure();
    const double seconds = std::round((serial - std::floor(serial)) * 86400);
    const long long s = static_cast<long long>(seconds) % 86400;
    return Value::number(C == Clock::Hour ? s / 3600 : C == Clock::Minute ? (s / 60) % 60 : s % 60);
}

Value weekday(FunctionArgs &args)
{
    double serial;
    if (!serialArgument(args, 0, serial))
        return args.failure();
    const double type = std::trunc(args.number(1, 1));
    if (args.failed())
        return args.failure();
    // Serial 1 (1900-01-01) counts as a Sunday, as the spreadsheet counts it.
    const long long sundayBased = (static_cast<long long>(std::floor(serial)) + 6) % 7; // 0 Sunday
    switch (static_cast<int>(type)) {
    case 1:
        return Value::number(sundayBased + 1);
    case 2:
        return Value::number((sundayBased + 6) % 7 + 1);
    case 3:
        return Value::number((sundayBased + 6) % 7);
    default:
        return Value::error(ErrorCode::Num);
    }
}

double nowSerial()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const double days = dateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return days + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

Value today(FunctionArgs &) { return Value::number(std::floor(nowSerial())); }
Value now(FunctionArgs &) { return Value::number(nowSerial()); }

// EDATE and EOMONTH: months later, the same day (clipped) or the month's end.
template <bool EndOfMonth>
Value monthsLater(FunctionArgs &args)
{
    double serial;
    if (!serialArgument(args, 0, serial))
        return args.failure();
    const double months = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (std::fabs(months) > 120000)
        return Value::error(ErrorCode::Num);
    const CivilDate date = civilDate(serial);
    const long long total = date.year * 12 + (date.month - 1) + static_cast<long long>(months);
    const long long year = total / 12, month = total % 12 + 1;
    const double firstOfNext = dateSerial(year, month + 1, 1);
    const double lastDay = firstOfNext - dateSerial(year, month, 1);
    const double day = EndOfMonth ? lastDay : std::min<double>(date.day, lastDay);
    const double result = dateSerial(year, month, static_cast<long long>(day));
    return result < 0 || result > maxSerial ? Value::error(ErrorCode::Num) : Value::number(result);
}

Value days(FunctionArgs &args)
{
    double end, start;
    if (!serialArgument(args, 0, end) || !serialArgument(args, 1, start))
        return args.failure();
    return Value::number(std::floor(end) - std::floor(start));
}

} // namespace

double dateSerial(long long year, long long month, long long day)
{
    // Months beyond 12 or below 1 roll into other years, days into other months.
    const long long monthIndex = year * 12 + (month - 1);
    const long long y = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
    const unsigned m = static_cast<unsigned>(monthIndex - y * 12 + 1);
    const long long days = daysFromCivil(y, m, 1) + (day - 1);
    double serial = static_cast<double>(days - epoch);
    // The spreadsheet counts a 29 February 1900 that never was: serials
    // before 1 March 1900 are one lower.
    if (serial < 61)
        serial -= 1;
    if (y == 1900 && m == 2 && day == 29)
        serial = 60;
    return serial;
}

CivilDate civilDate(double serial)
{
    long long whole = static_cast<long long>(std::floor(serial));
    if (whole == 60)
        return CivilDate{1900, 2, 29};
    if (whole < 60)
        whole += 1;
    long long y;
    unsigned m, d;
    civilFromDays(whole + epoch, y, m, d);
    return CivilDate{y, static_cast<int>(m), static_cast<int>(d)};
}

const std::vector<FunctionInfo> &dateFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"DATE", 3, 3, "n", dateFunction},
        {"TIME", 3, 3, "n", timeFunction},
        {"YEAR", 1, 1, "n", datePart<Part::Year>},
        {"MONTH", 1, 1, "n", datePart<Part::Month>},
        {"DAY", 1, 1, "n", datePart<Part::Day>},
        {"HOUR", 1, 1, "n", timePart<Clock::Hour>},
        {"MINUTE", 1, 1, "n", timePart<Clock::Minute>},
        {"SECOND", 1, 1, "n", timePart<Clock::Second>},
        {"WEEKDAY", 1, 2, "n", weekday},
        {"TODAY", 0, 0, "", today, true},
        {"NOW", 0, 0, "", now, true},
        {"EDATE", 2, 2, "n", monthsLater<false>},
        {"EOMONTH", 2, 2, "n", monthsLater<true>},
        {"DAYS", 2, 2, "n", days},
    };
    return functions;
}

} // namespace workbook::functions
