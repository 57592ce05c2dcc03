#include "Dates.h"
#include "Families.h"

#include <algorithm>
#include <cstdio>

namespace workbook::functions {

namespace {

// Text is UTF-8; positions and lengths count characters, not bytes.
std::u32string decode(const std::string &s)
{
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size() + (extra == 0 ? 1 : 0)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t code = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k)
            code = (code << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(code);
        i += extra + 1;
    }
    return out;
}

std::string encode(const std::u32string &s)
{
    std::string out;
    for (char32_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Text growing past this many bytes is past the cell's limit whatever its
// characters: building it stops there, so no result costs more than a cell.
constexpr size_t maxTextBytes = maxTextLength * 4;

// Appends to a result under construction; false (the call failed with
// #VALUE!) once it can no longer fit a cell.
bool appendWithin(FunctionArgs &args, std::string &out, const std::string &piece)
{
    if (out.size() + piece.size() > maxTextBytes) {
        args.fail(ErrorCode::Value);
        return false;
    }
    out += piece;
    return true;
}

Value concatenate(FunctionArgs &args)
{
    std::string out;
    for (int i = 0; i < args.count() && !args.failed(); ++i)
        appendWithin(args, out, args.text(i));
    return args.failed() ? args.failure() : textValue(std::move(out));
}

Value concat(FunctionArgs &args)
{
    std::string out;
    for (int i = 0; i < args.count() && !args.failed(); ++i) {
        args.forEachValue(i, [&](const Value &v, bool) {
            if (args.failed())
                return;
            if (v.isError())
                args.fail(v.asError());
            else
                appendWithin(args, out, toText(v));
        });
    }
    return args.failed() ? args.failure() : textValue(std::move(out));
}

Value textJoin(FunctionArgs &args)
{
    const std::string delimiter = args.text(0);
    const bool ignoreEmpty = args.boolean(1);
    if (args.failed())
        return args.failure();
    std::string out;
    bool first = true;
    for (int i = 2; i < args.count() && !args.failed(); ++i) {
        args.forEachValue(i, [&](const Value &v, bool) {
            if (args.failed())
                return;
            if (v.isError()) {
                args.fail(v.asError());
                return;
            }
            const std::string piece = toText(v);
            if (ignoreEmpty && piece.empty())
                return;
            if (!first && !appendWithin(args, out, delimiter))
                return;
            appendWithin(args, out, piece);
            first = false;
        });
    }
    return args.failed() ? args.failure() : textValue(std::move(out));
}

// LEFT, RIGHT and MID take counts that must not be negative.
bool countArgument(FunctionArgs &args, int i, double fallback, double &count)
{
    count = std::trunc(args.number(i, fallback));
    if (args.failed())
        return false;
    if (count < 0) {
        args.fail(ErrorCode::Value);
        return false;
    }
    return true;
}

template <bool Left>
Value side(FunctionArgs &args)
{
    const std::u32string s = decode(args.text(0));
    double count;
    if (args.failed() || !countArgument(args, 1, 1, count))
        return args.failure();
    const size_t n = static_cast<size_t>(std::min<double>(count, s.size()));
    return Value::text(encode(Left ? s.substr(0, n) : s.substr(s.size() - n)));
}

Value mid(FunctionArgs &args)
{
    const std::u32string s = decode(args.text(0));
    const double start = std::trunc(args.number(1));
    double count;
    if (args.failed() || !countArgument(args, 2, 0, count))
        return args.failure();
    if (start < 1)
        return Value::error(ErrorCode::Value);
    if (start > s.size())
        return Value::text(std::string());
    return Value::text(encode(s.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(std::min<double>(count, s.size())))));
}

Value len(FunctionArgs &args)
{
    const std::string s = args.text(0);
    return args.failed() ? args.failure() : Value::number(static_cast<double>(decode(s).size()));
}

char32_t lowerChar(char32_t c) { return c < 128 ? static_cast<char32_t>(std::tolower(static_cast<int>(c))) : c; }
char32_t upperChar(char32_t c) { return c < 128 ? static_cast<char32_t>(std::toupper(static_cast<int>(c))) : c; }
bool isLetter32(char32_t c) { return (c < 128 && std::isalpha(static_cast<int>(c))) || c >= 0xC0; }

template <char32_t (*Map)(char32_t)>
Value mapCase(FunctionArgs &args)
{
    std::u32string s = decode(args.text(0));
    if (args.failed())
        return args.failure();
    std::transform(s.begin(), s.end(), s.begin(), Map);
    return Value::text(encode(s));
}

Value proper(FunctionArgs &args)
{
    std::u32string s = decode(args.text(0));
    if (args.failed())
        return args.failure();
    bool startOfWord = true;
    for (char32_t &c : s) {
        c = startOfWord ? upperChar(c) : lowerChar(c);
        startOfWord = !isLetter32(c);
    }
    return Value::text(encode(s));
}

Value trim(FunctionArgs &args)
{
    const std::string s = args.text(0);
    if (args.failed())
        return args.failure();
    std::string out;
    for (char c : s) {
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return Value::text(out);
}

Value substitute(FunctionArgs &args)
{
    const std::string s = args.text(0), from = args.text(1), to = args.text(2);
    const double instance = std::trunc(args.number(3, 0));
    if (args.failed())
        return args.failure();
    if (args.has(3) && instance < 1)
        return Value::error(ErrorCode::Value);
    if (from.empty())
        return Value::text(s);
    std::string out;
    size_t position = 0;
    int seen = 0;
    for (;;) {
        const size_t found = s.find(from, position);
        if (found == std::string::npos)
            break;
        ++seen;
        if (!appendWithin(args, out, s.substr(position, found - position))
            || !appendWithin(args, out, (!args.has(3) || seen == instance) ? to : from))
            return args.failure();
        position = found + from.size();
    }
    if (!appendWithin(args, out, s.substr(position)))
        return args.failure();
    return textValue(std::move(out));
}

Value replace(FunctionArgs &args)
{
    const std::u32string s = decode(args.text(0));
    const double start = std::trunc(args.number(1)), count = std::trunc(args.number(2));
    const std::u32string with = decode(args.text(3));
    if (args.failed())
        return args.failure();
    if (start < 1 || count < 0)
        return Value::error(ErrorCode::Value);
    const size_t from = std::min<size_t>(static_cast<size_t>(std::min<double>(start - 1, s.size())), s.size());
    const size_t n = static_cast<size_t>(std::min<double>(count, s.size() - from));
    return textValue(encode(s.substr(0, from) + with + s.substr(from + n)));
}

// The byte at which character `n` of UTF-8 text starts.
size_t byteOfCharacter(const std::string &s, size_t n)
{
    size_t byte = 0;
    for (; byte < s.size(); ++byte)
        if ((static_cast<unsigned char>(s[byte]) & 0xC0) != 0x80 && n-- == 0)
            break;
    return byte;
}

template <bool CaseSensitive>
Value find(FunctionArgs &args)
{
    const std::string wanted = args.text(0), within = args.text(1);
    const double start = std::trunc(args.number(2, 1));
    if (args.failed())
        return args.failure();
    if (start < 1 || start > characterCount(within) + 1)
        return Value::error(ErrorCode::Value);
    const size_t from = byteOfCharacter(within, static_cast<size_t>(start) - 1);
    // SEARCH ignores case and takes wildcards.
    const size_t found = CaseSensitive ? within.find(wanted, from) : wildcardFind(within, wanted, from);
    if (found == std::string::npos)
        return Value::error(ErrorCode::Value);
    return Value::number(static_cast<double>(characterCount(std::string_view(within).substr(0, found)) + 1));
}

Value rept(FunctionArgs &args)
{
    const std::string s = args.text(0);
    const double times = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (times < 0)
        return Value::error(ErrorCode::Value);
    // The length is known before building: a huge count of nothing is nothing.
    if (s.empty())
        return Value::text(std::string());
    // Counted in bytes too: stray UTF-8 continuation bytes count as no character.
    if (static_cast<double>(characterCount(s)) * times > maxTextLength
        || static_cast<double>(s.size()) * times > 4.0 * maxTextLength)
        return Value::error(ErrorCode::Value);
    const auto count = static_cast<size_t>(times);
    std::string out;
    out.reserve(s.size() * count);
    for (size_t i = 0; i < count; ++i)
        out += s;
    return Value::text(std::move(out));
}

Value exact(FunctionArgs &args)
{
    const std::string a = args.text(0), b = args.text(1);
    return args.failed() ? args.failure() : Value::boolean(a == b);
}

Value valueFunction(FunctionArgs &args)
{
    const Value v = args.value(0);
    if (v.isError() || v.isNumber())
        return v;
    double x = 0;
    if (v.isText() && parseNumberText(v.asText(), x))
        return Value::number(x);
    return Value::error(ErrorCode::Value);
}

Value t(FunctionArgs &args)
{
    const Value v = args.value(0);
    if (v.isError() || v.isText())
        return v;
    return Value::text(std::string());
}

Value charFunction(FunctionArgs &args)
{
    const double code = std::trunc(args.number(0));
    if (args.failed())
        return args.failure();
    if (code < 1 || code > 255)
        return Value::error(ErrorCode::Value);
    // Codes 128-255 as Latin-1.
    return Value::text(encode(std::u32string(1, static_cast<char32_t>(code))));
}

Value code(FunctionArgs &args)
{
    const std::u32string s = decode(args.text(0));
    if (args.failed())
        return args.failure();
    if (s.empty())
        return Value::error(ErrorCode::Value);
    return Value::number(static_cast<double>(s.front()));
}

// ---- TEXT(value, format)

std::string groupThousands(const std::string &digits)
{
    std::string out;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        out += digits[i];
        if ((n - i - 1) % 3 == 0 && i + 1 < n)
            out += ',';
    }
    return out;
}

// "0", "0.00", "#,##0.0", "0%", "0.00%": fixed decimals, optional grouping and percent.
bool formatFixed(double x, const std::string &format, std::string &out)
{
    std::string f = format;
    const bool percent = !f.empty() && f.back() == '%';
    if (percent)
        f.pop_back();
    if (f.empty() || f.find_first_not_of("0#,.") != std::string::npos)
        return false;
    const bool grouping = f.find(',') != std::string::npos;
    const size_t dot = f.find('.');
    const int decimals = dot == std::string::npos ? 0 : static_cast<int>(f.size() - dot - 1);
    if (percent)
        x *= 100;
    // A number format holds up to 30 decimals; the widest number then fits the buffer.
    if (decimals > 30 || !std::isfinite(x))
        return false;
    // Halves round away from zero, as the spreadsheet rounds (printf would round to even);
    // numbers too large to scale have no fraction left to round.
    const double scale = std::pow(10.0, decimals);
    const double scaled = std::fabs(x) * scale;
    const double rounded = std::isfinite(scaled) ? std::round(roundToSignificant(scaled)) / scale : std::fabs(x);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, rounded);
    std::string number(buffer);
    std::string whole = number.substr(0, number.find('.'));
    const std::string fraction = decimals > 0 ? number.substr(number.find('.')) : std::string();
    if (grouping)
        whole = groupThousands(whole);
    out = (x < 0 && std::stod(number) != 0 ? "-" : "") + whole + fraction + (percent ? "%" : "");
    return true;
}

const char *const monthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                  "July",    "August",   "September", "October", "November", "December"};
const char *const dayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// yyyy yy mmmm mmm mm m dddd ddd dd d hh h :mm ss AM/PM, as far as a user writes them.
bool formatDate(double serial, const std::string &format, std::string &out)
{
    const std::string lower = foldCase(format);
    if (lower.find_first_of("ymdhs") == std::string::npos)
        return false;
    if (serial < 0 || serial > 2958465)
        return false;
    const CivilDate date = civilDate(serial);
    const long long seconds = static_cast<long long>(std::round((serial - std::floor(serial)) * 86400)) % 86400;
    const int hour = static_cast<int>(seconds / 3600), minute = static_cast<int>(seconds / 60 % 60),
              second = static_cast<int>(seconds % 60);
    const bool twelveHour = lower.find("am/pm") != std::string::npos;
    const int weekday = static_cast<int>((static_cast<long long>(std::floor(serial)) + 6) % 7);
    auto two = [](long long v) {
        char b[24];
        std::snprintf(b, sizeof b, "%02lld", v);
        return std::string(b);
    };
    out.clear();
    bool lastWasHour = false;
    for (size_t i = 0; i < lower.size();) {
        size_t run = 1;
        while (i + run < lower.size() && lower[i + run] == lower[i])
            ++run;
        const char c = lower[i];
        if (lower.compare(i, 5, "am/pm") == 0) {
            out += hour < 12 ? "AM" : "PM";
            i += 5;
            continue;
        }
        if (c == 'y') {
            out += run <= 2 ? two(date.year % 100) : std::to_string(date.year);
        } else if (c == 'm' && (lastWasHour || lower.compare(i + run, 2, ":s") == 0)) {
            out += run >= 2 ? two(minute) : std::to_string(minute);
        } else if (c == 'm') {
            if (run >= 4)
                out += monthNames[date.month - 1];
            else if (run == 3)
                out += std::string(monthNames[date.month - 1]).substr(0, 3);
            else
                out += run == 2 ? two(date.month) : std::to_string(date.month);
        } else if (c == 'd') {
            if (run >= 4)
                out += dayNames[weekday];
            else if (run == 3)
                out += std::string(dayNames[weekday]).substr(0, 3);
            else
                out += run == 2 ? two(date.day) : std::to_string(date.day);
        } else if (c == 'h') {
            const int h = twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
            out += run >= 2 ? two(h) : std::to_string(h);
        } else if (c == 's') {
            out += run >= 2 ? two(second) : std::to_string(second);
        } else {
            out += format.substr(i, run);
        }
        if (c == 'h')
            lastWasHour = true;
        else if (c != ':' && c != ' ')
            lastWasHour = false;
        i += run;
    }
    return true;
}

Value text(FunctionArgs &args)
{
    const Value v = args.value(0);
    const std::string format = args.text(1);
    if (args.failed())
        return args.failure();
    if (v.isError())
        return v;
    double x = 0;
    ErrorCode error;
    if (!toNumber(v, x, error))
        return Value::text(toText(v)); // text passes through
    const std::string lower = foldCase(format);
    std::string out;
    if (lower.empty() || lower == "general")
        return Value::text(formatNumber(x));
    if (formatFixed(x, format, out) || formatDate(x, format, out))
        return textValue(std::move(out)); // a long format can outgrow the cell
    return Value::error(ErrorCode::Value);
}

// FIXED and DOLLAR: a number rounded to `decimals` (to tens, hundreds, ...
// when negative) and written with thousands separators.
bool fixedText(FunctionArgs &args, bool grouping, std::string &out, bool &negative)
{
    const double x = args.number(0), decimals = std::trunc(args.number(1, 2));
    if (args.failed())
        return false;
    if (decimals > 30) {
        args.fail(ErrorCode::Value);
        return false;
    }
    double rounded = x;
    if (decimals < 0) {
        const double scale = std::pow(10.0, -decimals);
        rounded = std::isfinite(scale) ? std::round(roundToSignificant(x / scale)) * scale : 0;
    }
    std::string format = grouping ? "#,##0" : "0";
    if (decimals > 0)
        format += "." + std::string(static_cast<size_t>(decimals), '0');
    if (!formatFixed(std::fabs(rounded), format, out)) {
        args.fail(ErrorCode::Value);
        return false;
    }
    negative = rounded < 0 && out.find_first_not_of("0.,") != std::string::npos;
    return true;
}

Value fixed(FunctionArgs &args)
{
    const bool noCommas = args.boolean(2, false);
    std::string out;
    bool negative = false;
    if (args.failed() || !fixedText(args, !noCommas, out, negative))
        return args.failure();
    return Value::text((negative ? "-" : "") + out);
}

// Negative amounts in parentheses, as the en-US currency format shows them.
Value dollar(FunctionArgs &args)
{
    std::string out;
    bool negative = false;
    if (!fixedText(args, true, out, negative))
        return args.failure();
    return Value::text(negative ? "($" + out + ")" : "$" + out);
}

// Drops the control characters 0 to 31.
Value clean(FunctionArgs &args)
{
    std::string s = args.text(0);
    if (args.failed())
        return args.failure();
    s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 32; }), s.end());
    return Value::text(s);
}

Value uniChar(FunctionArgs &args)
{
    const double code = std::trunc(args.number(0));
    if (args.failed())
        return args.failure();
    if (code < 1 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return Value::error(ErrorCode::Value);
    return Value::text(encode(std::u32string(1, static_cast<char32_t>(code))));
}

Value uniCode(FunctionArgs &args)
{
    const std::u32string s = decode(args.text(0));
    if (args.failed())
        return args.failure();
    return s.empty() ? Value::error(ErrorCode::Value) : Value::number(static_cast<double>(s.front()));
}

// A number written with any decimal and group separators; spaces are
// ignored and every trailing % divides by 100.
Value numberValue(FunctionArgs &args)
{
    const std::string text = args.text(0);
    const std::string decimal = args.has(1) ? args.text(1) : ".", group = args.has(2) ? args.text(2) : ",";
    if (args.failed())
        return args.failure();
    if (decimal.empty() || (!group.empty() && group[0] == decimal[0]))
        return Value::error(ErrorCode::Value);
    std::string plain;
    bool seenDecimal = false;
    int percents = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        if (c == '%') {
            ++percents;
        } else if (percents > 0) {
            return Value::error(ErrorCode::Value); // something after the % signs
        } else if (c == decimal[0]) {
            if (seenDecimal)
                return Value::error(ErrorCode::Value);
            seenDecimal = true;
            plain += '.';
        } else if (!group.empty() && c == group[0]) {
            if (seenDecimal)
                return Value::error(ErrorCode::Value);
        } else {
            plain += c;
        }
    }
    if (plain.empty())
        return Value::number(0);
    double x = 0;
    if (!parseNumberText(plain, x))
        return Value::error(ErrorCode::Value);
    return Value::number(x / std::pow(100.0, percents));
}

// TEXTBEFORE and TEXTAFTER: the text before or after the n-th delimiter
// (counted from the end when n is negative), the case ignored with match
// mode 1; with match_end the end of the text (or, from the end, its start)
// counts as one more delimiter. Not found: if_not_found, else #N/A.
template <bool Before>
Value textAround(FunctionArgs &args)
{
    const std::string text = args.text(0), delimiter = args.text(1);
    const double instance = std::trunc(args.number(2, 1)), matchMode = std::trunc(args.number(3, 0));
    const bool matchEnd = args.boolean(4, false);
    if (args.failed())
        return args.failure();
    if (instance == 0 || std::fabs(instance) > static_cast<double>(text.size()) + 1 || (matchMode != 0 && matchMode != 1))
        return Value::error(ErrorCode::Value);
    if (delimiter.empty())
        return Value::text(Before == (instance > 0) ? std::string() : text);
    const std::string haystack = matchMode == 1 ? foldCase(text) : text;
    const std::string needle = matchMode == 1 ? foldCase(delimiter) : delimiter;
    const auto wanted = static_cast<size_t>(std::fabs(instance));
    size_t found = std::string::npos, length = needle.size();
    if (instance > 0) {
        size_t from = 0;
        for (size_t seen = 0; seen < wanted; ++seen) {
            found = haystack.find(needle, from);
            if (found == std::string::npos)
                break;
            from = found + needle.size();
        }
    } else {
        size_t to = haystack.size();
        for (size_t seen = 0; seen < wanted; ++seen) {
            found = to < needle.size() ? std::string::npos : haystack.rfind(needle, to - needle.size());
            if (found == std::string::npos)
                break;
            to = found;
        }
    }
    if (found == std::string::npos && matchEnd) {
        // One occurrence short: the text's end (or start) is the delimiter.
        size_t count = 0;
        for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + needle.size()))
            ++count;
        if (count + 1 == wanted) {
            found = instance > 0 ? text.size() : 0;
            length = 0;
        }
    }
    if (found == std::string::npos)
        return args.has(5) ? args.value(5) : Value::error(ErrorCode::NA);
    return Value::text(Before ? text.substr(0, found) : text.substr(found + length));
}

} // namespace

const std::vector<FunctionInfo> &textFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"CONCATENATE", 1, 255, "v", concatenate},
        {"CONCAT", 1, 255, "a", concat},
        {"TEXTJOIN", 3, 255, "tba", textJoin},
        {"LEFT", 1, 2, "tn", side<true>},
        {"RIGHT", 1, 2, "tn", side<false>},
        {"MID", 3, 3, "tnn", mid},
        {"LEN", 1, 1, "t", len},
        {"LOWER", 1, 1, "t", mapCase<lowerChar>},
        {"UPPER", 1, 1, "t", mapCase<upperChar>},
        {"PROPER", 1, 1, "t", proper},
        {"TRIM", 1, 1, "t", trim},
        {"SUBSTITUTE", 3, 4, "tttn", substitute},
        {"REPLACE", 4, 4, "tnnt", replace},
        {"FIND", 2, 3, "ttn", find<true>},
        {"SEARCH", 2, 3, "ttn", find<false>},
        {"REPT", 2, 2, "tn", rept},
        {"EXACT", 2, 2, "tt", exact},
        {"VALUE", 1, 1, "v", valueFunction},
        {"T", 1, 1, "v", t},
        {"CHAR", 1, 1, "n", charFunction},
        {"CODE", 1, 1, "t", code},
        {"TEXT", 2, 2, "vt", text},
        {"CLEAN", 1, 1, "t", clean},
        {"DOLLAR", 1, 2, "n", dollar},
        {"FIXED", 1, 3, "nnb", fixed},
        {"NUMBERVALUE", 1, 3, "t", numberValue},
        {"UNICHAR", 1, 1, "n", uniChar},
        {"UNICODE", 1, 1, "t", uniCode},
        {"TEXTAFTER", 2, 6, "ttnnbv", textAround<false>},
        {"TEXTBEFORE", 2, 6, "ttnnbv", textAround<true>},
    };
    return functions;
}

} // namespace workbook::functions
