#include "Dates.h"
#include "Families.h"
#include "io/IsoDates.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <set>

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
    switch (type >= 1 && type <= 3 ? static_cast<int>(type) : 0) {
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

bool isLeapYear(long long year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(long long year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Day of the week of a serial date, 0 Monday to 6 Sunday.
int mondayBasedWeekday(double serial)
{
    return static_cast<int>((static_cast<long long>(std::floor(serial)) + 5) % 7);
}

// Two serial dates in order, whole days.
bool datePair(FunctionArgs &args, int first, double &start, double &end)
{
    if (!serialArgument(args, first, start) || !serialArgument(args, first + 1, end))
        return false;
    start = std::floor(start);
    end = std::floor(end);
    return true;
}

// DATEDIF: whole years, months or days between two dates, or the part of
// the difference left when the larger units are taken away.
Value dateDif(FunctionArgs &args)
{
    double start, end;
    if (!datePair(args, 0, start, end))
        return args.failure();
    const std::string unit = foldCase(args.text(2));
    if (args.failed())
        return args.failure();
    if (start > end)
        return Value::error(ErrorCode::Num);
    const CivilDate a = civilDate(start), b = civilDate(end);
    const long long months = (b.year - a.year) * 12 + (b.month - a.month) - (b.day < a.day ? 1 : 0);
    if (unit == "d")
        return Value::number(end - start);
    if (unit == "m")
        return Value::number(static_cast<double>(months));
    if (unit == "y")
        return Value::number(static_cast<double>(months / 12));
    if (unit == "ym")
        return Value::number(static_cast<double>(months % 12));
    if (unit == "md")
        return Value::number(b.day >= a.day ? b.day - a.day : end - dateSerial(b.year, b.month - 1, a.day));
    if (unit == "yd") {
        double anniversary = dateSerial(b.year, a.month, a.day);
        if (anniversary > end)
            anniversary = dateSerial(b.year - 1, a.month, a.day);
        return Value::number(end - anniversary);
    }
    return Value::error(ErrorCode::Num);
}

// Which days of the week (0 Monday .. 6 Sunday) are weekend, from argument
// i (-1 or absent: Saturday and Sunday): a code (1-7 a pair of days from
// Saturday-Sunday on, 11-17 one day from Sunday on) or seven characters,
// Monday first, "1" for a weekend day.
bool weekendMask(FunctionArgs &args, int i, bool (&weekend)[7])
{
    std::fill(std::begin(weekend), std::end(weekend), false);
    const Value v = i >= 0 && args.has(i) ? args.value(i) : Value::number(1);
    if (v.isError()) {
        args.fail(v.asError());
        return false;
    }
    if (v.isText()) {
        const std::string &code = v.asText();
        if (code.size() != 7 || code.find_first_not_of("01") != std::string::npos || code == "1111111") {
            args.fail(ErrorCode::Value);
            return false;
        }
        for (int d = 0; d < 7; ++d)
            weekend[d] = code[d] == '1';
        return true;
    }
    double code = 0;
    ErrorCode error = ErrorCode::Value;
    if (!toNumber(v, code, error)) {
        args.fail(error);
        return false;
    }
    if (code >= 1 && code <= 7) {
        const int first = (static_cast<int>(code) + 4) % 7; // 1: Saturday
        weekend[first] = weekend[(first + 1) % 7] = true;
    } else if (code >= 11 && code <= 17) {
        weekend[(static_cast<int>(code) - 11 + 6) % 7] = true; // 11: Sunday
    } else {
        args.fail(ErrorCode::Num);
        return false;
    }
    return true;
}

bool holidaySet(FunctionArgs &args, int i, std::set<double> &holidays)
{
    std::vector<double> days;
    if (!args.numbersOf(i, days))
        return false;
    for (double d : days)
        holidays.insert(std::floor(d));
    return true;
}

// NETWORKDAYS and NETWORKDAYS.INTL: working days from start to end, both
// counted; negative when the end comes first.
template <bool International>
Value networkDays(FunctionArgs &args)
{
    double start, end;
    bool weekend[7];
    std::set<double> holidays;
    if (!datePair(args, 0, start, end))
        return args.failure();
    if (!weekendMask(args, International ? 2 : -1, weekend))
        return args.failure();
    if (!holidaySet(args, International ? 3 : 2, holidays))
        return args.failure();
    const double sign = start <= end ? 1 : -1;
    if (start > end)
        std::swap(start, end);
    const auto working = [&](double day) { return !weekend[mondayBasedWeekday(day)]; };
    int perWeek = 0;
    for (bool w : weekend)
        perWeek += w ? 0 : 1;
    const double weeks = std::floor((end - start + 1) / 7);
    double count = weeks * perWeek;
    for (double day = start + weeks * 7; day <= end; ++day)
        count += working(day) ? 1 : 0;
    for (double h : holidays)
        if (h >= start && h <= end && working(h))
            --count;
    return Value::number(sign * count);
}

// WORKDAY and WORKDAY.INTL: the date that many working days on (or back).
template <bool International>
Value workDay(FunctionArgs &args)
{
    double day;
    if (!serialArgument(args, 0, day))
        return args.failure();
    const double days = std::trunc(args.number(1));
    bool weekend[7];
    std::set<double> holidays;
    if (args.failed() || (!weekendMask(args, International ? 2 : -1, weekend))
        || !holidaySet(args, International ? 3 : 2, holidays))
        return args.failure();
    if (std::fabs(days) > maxSerial)
        return Value::error(ErrorCode::Num);
    day = std::floor(day);
    const double step = days < 0 ? -1 : 1;
    for (double left = std::fabs(days); left > 0;) {
        day += step;
        if (day < 0 || day > maxSerial)
            return Value::error(ErrorCode::Num);
        if (!weekend[mondayBasedWeekday(day)] && !holidays.count(day))
            --left;
    }
    return Value::number(day);
}

bool lastDayOfFebruary(const CivilDate &d)
{
    return d.month == 2 && d.day == daysInMonth(d.year, 2);
}

// Days between two dates counting every month as 30 days: the US (NASD)
// rule of DAYS360, or the European one (day 31 is day 30).
double days360(const CivilDate &a, const CivilDate &b, bool european)
{
    int d1 = a.day, d2 = b.day;
    if (d1 == 31)
        d1 = 30;
    else if (!european && lastDayOfFebruary(a))
        d1 = 30;
    if (d2 == 31 && (european || d1 == 30))
        d2 = 30;
    return static_cast<double>((b.year - a.year) * 360 + (b.month - a.month) * 30 + (d2 - d1));
}

Value days360Function(FunctionArgs &args)
{
    double start, end;
    if (!datePair(args, 0, start, end))
        return args.failure();
    const bool european = args.boolean(2, false);
    if (args.failed())
        return args.failure();
    return Value::number(days360(civilDate(start), civilDate(end), european));
}

// The year fraction of actual days: within a year, over 366 when a 29
// February falls in it; over several years, over their mean length.
double actualYearFraction(double start, double end)
{
    const CivilDate a = civilDate(start), b = civilDate(end);
    const bool withinAYear = a.year == b.year
        || (b.year == a.year + 1 && (a.month > b.month || (a.month == b.month && a.day >= b.day)));
    double yearLength;
    if (withinAYear) {
        const bool leapDay = (a.year == b.year && isLeapYear(a.year))
            || (isLeapYear(a.year) && start <= dateSerial(a.year, 2, 29))
            || (isLeapYear(b.year) && end >= dateSerial(b.year, 2, 29));
        yearLength = leapDay ? 366 : 365;
    } else {
        yearLength = (dateSerial(b.year + 1, 1, 1) - dateSerial(a.year, 1, 1)) / static_cast<double>(b.year - a.year + 1);
    }
    return (end - start) / yearLength;
}

Value yearFrac(FunctionArgs &args)
{
    double start, end;
    if (!datePair(args, 0, start, end))
        return args.failure();
    const double basis = std::trunc(args.number(2, 0));
    if (args.failed())
        return args.failure();
    return Value::number(yearFraction(start, end, basis)); // NaN, #NUM!, for a basis there is not
}

// WEEKNUM: the week that holds 1 January is week 1; weeks start on the day
// the return type names (1/17 Sunday, 2/11 Monday, 12-16 Tuesday to
// Saturday); type 21 numbers ISO weeks.
int isoWeek(double serial)
{
    // The week belongs to the year of its Thursday.
    const double thursday = std::floor(serial) - mondayBasedWeekday(serial) + 3;
    const CivilDate t = civilDate(thursday);
    return static_cast<int>((thursday - dateSerial(t.year, 1, 1)) / 7) + 1;
}

Value weekNum(FunctionArgs &args)
{
    double serial;
    if (!serialArgument(args, 0, serial))
        return args.failure();
    const double code = std::trunc(args.number(1, 1));
    if (args.failed())
        return args.failure();
    const int type = code >= 1 && code <= 21 ? static_cast<int>(code) : 0;
    int weekStart; // 0 Monday .. 6 Sunday
    if (type == 1 || type == 17)
        weekStart = 6;
    else if (type == 2 || type == 11)
        weekStart = 0;
    else if (type >= 12 && type <= 16)
        weekStart = type - 11;
    else if (type == 21)
        return Value::number(isoWeek(serial));
    else
        return Value::error(ErrorCode::Num);
    const double firstOfYear = dateSerial(civilDate(serial).year, 1, 1);
    const int offset = (mondayBasedWeekday(firstOfYear) - weekStart + 7) % 7;
    return Value::number(std::floor((std::floor(serial) - firstOfYear + offset) / 7) + 1);
}

Value isoWeekNum(FunctionArgs &args)
{
    double serial;
    if (!serialArgument(args, 0, serial))
        return args.failure();
    return Value::number(isoWeek(serial));
}

// ---- dates and times written as text

const char *const monthNames[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};

// The words and numbers of a date or time text, split at separators.
struct DateTokens
{
    std::vector<long long> numbers;
    std::vector<size_t> numberLengths;
    int month = 0; // from a month name, 0 when none
};

// The date part of a text: "2024-03-15", "3/15/2024", "15-Mar-2024",
// "March 15, 2024", "15 March 2024" (a time after it is left to TIMEVALUE).
std::optional<double> dateFromText(const std::string &text)
{
    if (const auto iso = isoDateSerial(text))
        return std::floor(*iso);
    DateTokens tokens;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        if (std::isdigit(c)) {
            size_t j = i;
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
                ++j;
            if (j < text.size() && text[j] == ':')
                break; // a time follows
            if (j - i > 4)
                return std::nullopt;
            tokens.numbers.push_back(std::stoll(text.substr(i, j - i)));
            tokens.numberLengths.push_back(j - i);
            i = j;
        } else if (std::isalpha(c)) {
            size_t j = i;
            while (j < text.size() && std::isalpha(static_cast<unsigned char>(text[j])))
                ++j;
            const std::string word = foldCase(text.substr(i, j - i));
            int month = 0;
            for (int m = 0; m < 12 && word.size() >= 3; ++m)
                if (word.compare(0, 3, monthNames[m]) == 0)
                    month = m + 1;
            if (month == 0 || tokens.month != 0)
                return std::nullopt;
            tokens.month = month;
            i = j;
        } else if (c == '/' || c == '-' || c == ' ' || c == ',' || c == '.') {
            ++i;
        } else {
            return std::nullopt;
        }
    }
    long long year, month, day;
    const auto &n = tokens.numbers;
    if (tokens.month != 0 && n.size() == 2) {
        month = tokens.month;
        const bool yearFirst = tokens.numberLengths[0] == 4;
        year = yearFirst ? n[0] : n[1];
        day = yearFirst ? n[1] : n[0];
    } else if (tokens.month == 0 && n.size() == 3) {
        const bool yearFirst = tokens.numberLengths[0] == 4;
        year = yearFirst ? n[0] : n[2];
        month = yearFirst ? n[1] : n[0];
        day = yearFirst ? n[2] : n[1];
    } else {
        return std::nullopt;
    }
    if (year < 100)
        year += year < 30 ? 2000 : 1900;
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, static_cast<int>(month)))
        return std::nullopt;
    return dateSerial(year, month, day);
}

// The time of day in a text: "14:30", "2:24 AM", "6:35:10 pm", after a date or alone.
std::optional<double> timeFromText(const std::string &text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        if (isoDateSerial(text) || dateFromText(text))
            return 0.0; // a date alone is midnight
        return std::nullopt;
    }
    size_t start = colon;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1])))
        --start;
    int parts[3] = {0, 0, 0};
    int count = 0;
    size_t i = start;
    double seconds = 0;
    while (count < 3 && i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        size_t j = i;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
            ++j;
        if (j - i > 2)
            return std::nullopt;
        parts[count++] = std::stoi(text.substr(i, j - i));
        i = j;
        if (count == 3 && i < text.size() && text[i] == '.') {
            size_t k = i + 1;
            while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])))
                ++k;
            seconds = std::stod("0" + text.substr(i, k - i));
            i = k;
        }
        if (i < text.size() && text[i] == ':')
            ++i;
        else
            break;
    }
    if (count < 2)
        return std::nullopt;
    const std::string rest = foldCase(text.substr(i));
    const size_t letters = rest.find_first_not_of(' ');
    int hour = parts[0];
    if (letters != std::string::npos) {
        const std::string suffix = rest.substr(letters);
        if ((suffix != "am" && suffix != "pm" && suffix != "a" && suffix != "p") || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (suffix[0] == 'p' ? 12 : 0);
    }
    if (parts[1] > 59 || parts[2] > 59 || hour > 23)
        return std::nullopt;
    if (start > 0 && !dateFromText(text.substr(0, start)))
        return std::nullopt;
    return (hour * 3600 + parts[1] * 60 + parts[2] + seconds) / 86400;
}

Value dateValue(FunctionArgs &args)
{
    const std::string text = args.text(0);
    if (args.failed())
        return args.failure();
    const auto serial = dateFromText(text);
    return serial ? Value::number(*serial) : Value::error(ErrorCode::Value);
}

Value timeValue(FunctionArgs &args)
{
    const std::string text = args.text(0);
    if (args.failed())
        return args.failure();
    const auto time = timeFromText(text);
    return time ? Value::number(*time) : Value::error(ErrorCode::Value);
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

double days360Between(double start, double end, bool european)
{
    return days360(civilDate(start), civilDate(end), european);
}

double yearFraction(double start, double end, double basis)
{
    if (start > end)
        std::swap(start, end);
    const CivilDate a = civilDate(start), b = civilDate(end);
    switch (basis >= 0 && basis <= 4 && basis == std::floor(basis) ? static_cast<int>(basis) : -1) {
    case 0: {
        // US 30/360 as YEARFRAC applies it: the end of February counts as day 30 too.
        int d1 = a.day, d2 = b.day;
        if (lastDayOfFebruary(a) && lastDayOfFebruary(b))
            d2 = 30;
        if (d1 == 31 || lastDayOfFebruary(a))
            d1 = 30;
        if (d2 == 31 && d1 == 30)
            d2 = 30;
        return ((b.year - a.year) * 360.0 + (b.month - a.month) * 30.0 + (d2 - d1)) / 360;
    }
    case 1:
        return actualYearFraction(start, end);
    case 2:
        return (end - start) / 360;
    case 3:
        return (end - start) / 365;
    case 4:
        return days360(a, b, true) / 360;
    default:
        return std::nan("");
    }
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
        {"DATEDIF", 3, 3, "nnt", dateDif},
        {"DATEVALUE", 1, 1, "t", dateValue},
        {"DAYS360", 2, 3, "nnb", days360Function},
        {"ISOWEEKNUM", 1, 1, "n", isoWeekNum},
        {"NETWORKDAYS", 2, 3, "nnr", networkDays<false>},
        {"NETWORKDAYS.INTL", 2, 4, "nnvr", networkDays<true>},
        {"TIMEVALUE", 1, 1, "t", timeValue},
        {"WEEKNUM", 1, 2, "n", weekNum},
        {"WORKDAY", 2, 3, "nnr", workDay<false>},
        {"WORKDAY.INTL", 2, 4, "nnvr", workDay<true>},
        {"YEARFRAC", 2, 3, "n", yearFrac},
    };
    return functions;
}

} // namespace workbook::functions
