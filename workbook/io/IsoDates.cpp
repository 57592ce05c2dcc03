#include "IsoDates.h"

#include "../functions/Dates.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace workbook {

namespace {

struct DateTime
{
    bool hasDate = false;
    int year = 0, month = 0, day = 0;
    double dayFraction = 0;
};

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

bool readDigits(std::string_view text, size_t &i, size_t count, int &value)
{
    value = 0;
    for (const size_t end = i + count; i < end; ++i) {
        if (i >= text.size() || !isDigit(text[i]))
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool expect(std::string_view text, size_t &i, char c)
{
    if (i >= text.size() || text[i] != c)
        return false;
    ++i;
    return true;
}

std::optional<DateTime> readDateTime(std::string_view text)
{
    DateTime result;
    size_t i = 0;
    result.hasDate = text.size() >= 10 && text[4] == '-';
    if (result.hasDate) {
        if (!readDigits(text, i, 4, result.year) || !expect(text, i, '-') || !readDigits(text, i, 2, result.month)
            || !expect(text, i, '-') || !readDigits(text, i, 2, result.day) || result.month < 1 || result.month > 12
            || result.day < 1 || result.day > 31)
            return std::nullopt;
        if (i < text.size() && text[i] == 'T')
            ++i;
    }
    if (i < text.size() && isDigit(text[i])) {
        int hour = 0, minute = 0, second = 0;
        if (!readDigits(text, i, 2, hour) || !expect(text, i, ':') || !readDigits(text, i, 2, minute))
            return std::nullopt;
        double fraction = 0;
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (!readDigits(text, i, 2, second))
                return std::nullopt;
            if (i < text.size() && text[i] == '.') {
                double scale = 0.1;
                for (++i; i < text.size() && isDigit(text[i]); ++i, scale /= 10)
                    fraction += (text[i] - '0') * scale;
            }
        }
        if (hour > 24 || minute > 59 || second > 60)
            return std::nullopt;
        result.dayFraction = (hour * 3600 + minute * 60 + second + fraction) / 86400.0;
    } else if (!result.hasDate) {
        return std::nullopt;
    }
    if (i < text.size() && text[i] != 'Z' && text[i] != '+' && text[i] != '-')
        return std::nullopt;
    return result;
}

// Days from 1 January 1970 in the proleptic Gregorian calendar.
long long civilDays(long long year, int month, int day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

} // namespace

std::optional<double> isoDateSerial(std::string_view text)
{
    const auto date = readDateTime(text);
    if (!date)
        return std::nullopt;
    return (date->hasDate ? functions::dateSerial(date->year, date->month, date->day) : 0) + date->dayFraction;
}

std::optional<double> openDocumentDateSerial(std::string_view text)
{
    const auto date = readDateTime(text);
    if (!date)
        return std::nullopt;
    const double days = date->hasDate ? static_cast<double>(civilDays(date->year, date->month, date->day) - civilDays(1899, 12, 30)) : 0;
    return days + date->dayFraction;
}

std::optional<double> isoDurationDays(std::string_view text)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        ++i;
    if (!expect(text, i, 'P'))
        return std::nullopt;
    double seconds = 0;
    bool inTime = false, any = false;
    while (i < text.size()) {
        if (text[i] == 'T' && !inTime) {
            inTime = true;
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < text.size() && (isDigit(text[i]) || text[i] == '.'))
            ++i;
        if (i == start || i >= text.size())
            return std::nullopt;
        const double n = std::strtod(std::string(text.substr(start, i - start)).c_str(), nullptr);
        const char unit = text[i++];
        if (!inTime && unit == 'D')
            seconds += n * 86400;
        else if (inTime && unit == 'H')
            seconds += n * 3600;
        else if (inTime && unit == 'M')
            seconds += n * 60;
        else if (inTime && unit == 'S')
            seconds += n;
        else
            return std::nullopt; // years and months have no fixed length
        any = true;
    }
    if (!any)
        return std::nullopt;
    return (negative ? -seconds : seconds) / 86400;
}

} // namespace workbook
