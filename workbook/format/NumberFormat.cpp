#include "NumberFormat.h"

#include "DecimalDigits.h"
#include "GeneralNumber.h"

#include "../functions/Dates.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace workbook {

namespace {

using Token = NumberFormat::Token;
using Kind = Token::Kind;
using Section = NumberFormat::Section;

// The spreadsheet's 56-colour palette, for [Color n].
constexpr std::int32_t palette[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000,
    0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF,
    0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000,
    0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696, 0x003366, 0x339966,
    0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

const std::pair<std::string_view, std::int32_t> namedColours[] = {
    {"black", 0x000000}, {"blue", 0x0000FF}, {"cyan", 0x00FFFF}, {"green", 0x00FF00},
    {"magenta", 0xFF00FF}, {"red", 0xFF0000}, {"white", 0xFFFFFF}, {"yellow", 0xFFFF00},
};

const char *const monthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                  "July",    "August",   "September", "October", "November", "December"};
const char *const dayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// The last day a date format shows: 31 December 9999.
constexpr long long lastSerialDay = 2958465;

std::string lowered(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool startsWithNoCase(std::string_view s, size_t at, std::string_view word)
{
    return s.size() - at >= word.size() && lowered(s.substr(at, word.size())) == word;
}

int characters(const std::string &utf8)
{
    return static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string padded(long long v, int digits)
{
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < digits)
        s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
    return s;
}

void addLiteral(Section &section, std::string_view text)
{
    if (!section.tokens.empty() && section.tokens.back().kind == Kind::Literal)
        section.tokens.back().text.append(text);
    else
        section.tokens.push_back(Token{Kind::Literal, std::string(text), 0});
}

// The sections of a code, split at ";" outside quotes, brackets and escapes.
std::vector<std::string_view> splitSections(std::string_view code)
{
    std::vector<std::string_view> sections;
    size_t start = 0;
    bool quoted = false, bracketed = false;
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (quoted) {
            quoted = c != '"';
        } else if (bracketed) {
            bracketed = c != ']';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '[') {
            bracketed = true;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == ';') {
            sections.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(code.substr(start));
    return sections;
}

// [Red], [Color 10], [>100], [$€-407], [h]: what a bracket says.
void readBracket(Section &section, std::string_view inside)
{
    const std::string word = lowered(inside);
    for (const auto &[name, colour] : namedColours)
        if (word == name)
            section.colour = colour;
    if (word.rfind("color", 0) == 0) {
        const int n = std::atoi(word.c_str() + 5);
        if (n >= 1 && n <= 56)
            section.colour = palette[n - 1];
    } else if (!word.empty() && (word[0] == '<' || word[0] == '>' || word[0] == '=')) {
        size_t at = 1;
        char op = word[0];
        if (word.size() > 1 && word[1] == '=' && op != '=') {
            op = op == '<' ? 'l' : 'g';
            at = 2;
        } else if (word.size() > 1 && op == '<' && word[1] == '>') {
            op = 'n';
            at = 2;
        }
        section.condition = op;
        section.threshold = std::strtod(word.c_str() + at, nullptr);
    } else if (!word.empty() && word[0] == '$') {
        const size_t dash = inside.find('-');
        addLiteral(section, inside.substr(1, dash == std::string_view::npos ? std::string_view::npos : dash - 1));
    } else if (!word.empty() && (word[0] == 'h' || word[0] == 'm' || word[0] == 's')
               && word.find_first_not_of(word[0]) == std::string::npos) {
        section.tokens.push_back(Token{Kind::Elapsed, word.substr(0, 1), static_cast<int>(word.size())});
    }
}

bool isTimeToken(const Token &t, char unit)
{
    return (t.kind == Kind::Date || t.kind == Kind::Elapsed) && !t.text.empty() && t.text[0] == unit;
}

// "m" after an hour or before seconds is minutes: it becomes "n".
void markMinutes(Section &section)
{
    std::vector<Token> &tokens = section.tokens;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind != Kind::Date || tokens[i].text[0] != 'm' || tokens[i].text.size() > 2)
            continue;
        bool minutes = false;
        for (size_t j = i; j-- > 0;) {
            if (tokens[j].kind == Kind::Date || tokens[j].kind == Kind::Elapsed) {
                minutes = isTimeToken(tokens[j], 'h');
                break;
            }
        }
        for (size_t j = i + 1; j < tokens.size() && !minutes; ++j) {
            if (tokens[j].kind == Kind::Date || tokens[j].kind == Kind::Elapsed) {
                minutes = isTimeToken(tokens[j], 's');
                break;
            }
        }
        if (minutes)
            tokens[i].text.assign(tokens[i].text.size(), 'n');
    }
}

Section parseSection(std::string_view code)
{
    Section section;
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '"') {
            const size_t end = code.find('"', i + 1);
            addLiteral(section, code.substr(i + 1, (end == std::string_view::npos ? code.size() : end) - i - 1));
            i = end == std::string_view::npos ? code.size() : end;
        } else if (c == '\\' && i + 1 < code.size()) {
            addLiteral(section, code.substr(++i, 1));
        } else if (c == '_' && i + 1 < code.size()) {
            addLiteral(section, " "); // room the width of the next character
            ++i;
        } else if (c == '*' && i + 1 < code.size()) {
            ++i; // fills the cell with the next character: nothing here
        } else if (c == '[') {
            const size_t end = code.find(']', i);
            if (end == std::string_view::npos)
                break;
            readBracket(section, code.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '0' || c == '#' || c == '?') {
            section.tokens.push_back(Token{Kind::Digit, std::string(1, c), 0});
        } else if (c == '.') {
            section.tokens.push_back(Token{Kind::Point, ".", 0});
        } else if (c == ',') {
            section.tokens.push_back(Token{Kind::Comma, ",", 0});
        } else if (c == '%') {
            section.tokens.push_back(Token{Kind::Percent, "%", 0});
        } else if (lower == 'e' && i + 1 < code.size() && (code[i + 1] == '+' || code[i + 1] == '-')) {
            section.tokens.push_back(Token{Kind::Exponent, std::string(1, c), code[i + 1] == '+'});
            ++i;
        } else if (c == '/') {
            section.tokens.push_back(Token{Kind::Slash, "/", 0});
            // "/100": a fixed denominator, its zeros no placeholders
            size_t digits = i + 1;
            while (digits < code.size() && code[digits] >= '0' && code[digits] <= '9' && code[i + 1] != '0')
                ++digits;
            if (digits > i + 1) {
                addLiteral(section, code.substr(i + 1, digits - i - 1));
                i = digits - 1;
            }
        } else if (c == '@') {
            section.tokens.push_back(Token{Kind::At, "@", 0});
            section.text = true;
        } else if (startsWithNoCase(code, i, "general")) {
            section.tokens.push_back(Token{Kind::General, "General", 0});
            i += 6;
        } else if (startsWithNoCase(code, i, "am/pm") || startsWithNoCase(code, i, "a/p")) {
            const size_t length = startsWithNoCase(code, i, "am/pm") ? 5 : 3;
            section.tokens.push_back(Token{Kind::AmPm, std::string(code.substr(i, length)), 0});
            i += length - 1;
        } else if (lower == 'y' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 's') {
            size_t run = 1;
            while (i + run < code.size() && std::tolower(static_cast<unsigned char>(code[i + run])) == lower)
                ++run;
            section.tokens.push_back(Token{Kind::Date, std::string(run, lower), 0});
            i += run - 1;
        } else {
            addLiteral(section, code.substr(i, 1));
        }
    }
    markMinutes(section);
    section.date = std::any_of(section.tokens.begin(), section.tokens.end(), [](const Token &t) {
        return t.kind == Kind::Date || t.kind == Kind::Elapsed || t.kind == Kind::AmPm;
    });
    return section;
}

bool holds(const Section &s, double x)
{
    switch (s.condition) {
    case '<': return x < s.threshold;
    case '>': return x > s.threshold;
    case '=': return x == s.threshold;
    case 'l': return x <= s.threshold;
    case 'g': return x >= s.threshold;
    case 'n': return x != s.threshold;
    default: return true;
    }
}

using Tokens = std::vector<Token>;

// Where a number section's parts begin and how it scales the number.
struct Layout
{
    size_t point = std::string::npos;    // the decimal point
    size_t exponent = std::string::npos; // "E+"
    size_t slash = std::string::npos;    // a fraction's "/"
    bool thousands = false;
    int scale = 0; // +2 per %, -3 per trailing comma
};

bool isDigit(const Tokens &tokens, size_t i) { return i < tokens.size() && tokens[i].kind == Kind::Digit; }

Layout layoutOf(const Tokens &tokens)
{
    Layout l;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens[i];
        if (t.kind == Kind::Point && l.point == std::string::npos && l.exponent == std::string::npos)
            l.point = i;
        else if (t.kind == Kind::Exponent && l.exponent == std::string::npos)
            l.exponent = i;
        else if (t.kind == Kind::Percent)
            l.scale += 2;
        else if (t.kind == Kind::Slash && i > 0 && isDigit(tokens, i - 1) && l.slash == std::string::npos)
            l.slash = i;
        else if (t.kind == Kind::Comma && i > 0 && (isDigit(tokens, i - 1) || tokens[i - 1].kind == Kind::Comma)) {
            // Between placeholders: thousands; after the last one: thousands of the number.
            if (isDigit(tokens, i + 1))
                l.thousands = true;
            else
                l.scale -= 3;
        }
    }
    return l;
}

// The text of tokens that are not placeholders: literals, "%", stray commas.
void appendOthers(std::string &out, const Token &t)
{
    if (t.kind == Kind::Literal || t.kind == Kind::Percent || t.kind == Kind::Slash)
        out += t.text;
}

// Integer digits ("" for none) laid into the placeholders of tokens[from, to),
// right to left, the surplus at the leftmost one.
std::string integerPart(const Tokens &tokens, size_t from, size_t to, const std::string &digits, bool thousands)
{
    int placeholders = 0;
    for (size_t i = from; i < to; ++i)
        placeholders += tokens[i].kind == Kind::Digit;
    std::string reversed;
    int shown = 0; // digits shown so far, for the thousands separators
    auto put = [&](char c) {
        if (thousands && shown > 0 && shown % 3 == 0)
            reversed += ',';
        reversed += c;
        ++shown;
    };
    int position = 0; // of the placeholder, from the right
    const int count = static_cast<int>(digits.size());
    for (size_t i = to; i-- > from;) {
        const Token &t = tokens[i];
        if (t.kind != Kind::Digit) {
            std::string text;
            appendOthers(text, t);
            reversed.append(text.rbegin(), text.rend());
            continue;
        }
        if (position < count)
            put(digits[static_cast<size_t>(count - 1 - position)]);
        else if (t.text[0] == '0')
            put('0');
        else if (t.text[0] == '?')
            reversed += ' ';
        if (++position == placeholders)
            for (int j = count - 1 - position; j >= 0; --j)
                put(digits[static_cast<size_t>(j)]);
    }
    if (placeholders == 0) // ".00": the whole number still shows, before the point
        for (int j = count - 1; j >= 0; --j)
            put(digits[static_cast<size_t>(j)]);
    return std::string(reversed.rbegin(), reversed.rend());
}

// Fraction digits laid into the placeholders of tokens[from, to), left to
// right; trailing zeros vanish under "#" and become spaces under "?".
std::string decimalPart(const Tokens &tokens, size_t from, size_t to, const std::string &digits)
{
    std::vector<char> shown;
    std::vector<char> kinds;
    for (size_t i = from; i < to; ++i)
        if (tokens[i].kind == Kind::Digit) {
            shown.push_back(shown.size() < digits.size() ? digits[shown.size()] : '0');
            kinds.push_back(tokens[i].text[0]);
        }
    for (size_t j = shown.size(); j-- > 0 && shown[j] == '0' && kinds[j] != '0';)
        shown[j] = kinds[j] == '?' ? ' ' : 0;
    std::string out;
    size_t next = 0;
    for (size_t i = from; i < to; ++i) {
        if (tokens[i].kind == Kind::Digit) {
            if (shown[next])
                out += shown[next];
            ++next;
        } else {
            appendOthers(out, tokens[i]);
        }
    }
    return out;
}

size_t digitsIn(const Tokens &tokens, size_t from, size_t to)
{
    size_t n = 0;
    for (size_t i = from; i < to; ++i)
        n += tokens[i].kind == Kind::Digit;
    return n;
}

std::string fixedNumber(const Tokens &tokens, const Layout &l, double v)
{
    const size_t end = tokens.size();
    const size_t point = std::min(l.point, end);
    const int decimals = point < end ? static_cast<int>(digitsIn(tokens, point, end)) : 0;
    const FixedDigits d = fixedDigits(v, decimals);
    std::string out = integerPart(tokens, 0, point, d.whole, l.thousands);
    if (point < end)
        out += "." + decimalPart(tokens, point + 1, end, d.fraction);
    return out;
}

std::string scientificNumber(const Tokens &tokens, const Layout &l, double v)
{
    const size_t e = l.exponent, point = std::min(l.point, e);
    const int wholePlaces = std::max<int>(1, static_cast<int>(digitsIn(tokens, 0, point)));
    const int decimals = point < e ? static_cast<int>(digitsIn(tokens, point, e)) : 0;
    bool engineering = false;
    for (size_t i = 0; i < point; ++i)
        engineering = engineering || (tokens[i].kind == Kind::Digit && tokens[i].text[0] == '#');
    engineering = engineering && wholePlaces > 1;
    int exponent = 0;
    SignificantDigits sd;
    if (v != 0) {
        int first = significantDigits(v, 15).exponent;
        for (int attempt = 0; attempt < 2; ++attempt) {
            // "##0.0E+0" keeps the exponent a multiple of three; "0.00E+00" one digit before the point.
            exponent = engineering ? static_cast<int>(std::floor(first / double(wholePlaces))) * wholePlaces : first - (wholePlaces - 1);
            sd = significantDigits(v, first - exponent + 1 + decimals);
            if (sd.exponent == first)
                break;
            first = sd.exponent; // rounding carried into a new digit
        }
    }
    const int wholeDigits = v != 0 ? sd.exponent - exponent + 1 : 0;
    std::string whole = v != 0 ? sd.digits.substr(0, static_cast<size_t>(wholeDigits)) : std::string();
    const std::string fraction = v != 0 ? sd.digits.substr(static_cast<size_t>(wholeDigits)) : std::string(static_cast<size_t>(decimals), '0');
    const size_t firstNonZero = whole.find_first_not_of('0');
    whole.erase(0, firstNonZero == std::string::npos ? whole.size() : firstNonZero);
    std::string out = integerPart(tokens, 0, point, whole, false);
    if (point < e)
        out += "." + decimalPart(tokens, point + 1, e, fraction);
    out += tokens[e].text;
    out += exponent < 0 ? "-" : tokens[e].count ? "+" : "";
    out += integerPart(tokens, e + 1, tokens.size(), std::to_string(std::abs(exponent)), false);
    return out;
}

// "# ?/?", "# ??/??", "?/8", "0/100": the closest fraction the denominator's places allow.
std::string fractionNumber(const Tokens &tokens, const Layout &l, double v)
{
    const size_t slash = l.slash;
    size_t numeratorStart = slash;
    while (numeratorStart > 0 && tokens[numeratorStart - 1].kind == Kind::Digit)
        --numeratorStart;
    size_t denominatorEnd = slash + 1;
    while (isDigit(tokens, denominatorEnd))
        ++denominatorEnd;
    long long fixedDenominator = 0;
    std::string afterFixed;
    if (denominatorEnd == slash + 1 && denominatorEnd < tokens.size() && tokens[denominatorEnd].kind == Kind::Literal) {
        const std::string &text = tokens[denominatorEnd].text;
        const size_t digits = text.find_first_not_of("0123456789");
        fixedDenominator = std::atoll(text.substr(0, digits).c_str());
        afterFixed = digits == std::string::npos ? std::string() : text.substr(digits);
        ++denominatorEnd;
    }
    const bool hasWhole = digitsIn(tokens, 0, numeratorStart) > 0;
    double whole = hasWhole ? std::floor(v) : 0;
    const double part = v - whole;
    long long numerator = 0, denominator = 1;
    if (fixedDenominator > 0) {
        denominator = fixedDenominator;
        numerator = std::llround(part * static_cast<double>(denominator));
    } else {
        const long long most = static_cast<long long>(std::pow(10.0, static_cast<double>(denominatorEnd - slash - 1))) - 1;
        double best = 2;
        for (long long d = 1; d <= std::max(most, 1LL); ++d) {
            const long long n = std::llround(part * static_cast<double>(d));
            const double miss = std::fabs(part - static_cast<double>(n) / static_cast<double>(d));
            if (miss < best) {
                best = miss;
                numerator = n;
                denominator = d;
            }
        }
    }
    if (hasWhole && numerator == denominator) {
        whole += 1;
        numerator = 0;
    }
    const FixedDigits wholeDigits = fixedDigits(whole, 0);
    std::string out = hasWhole ? integerPart(tokens, 0, numeratorStart, wholeDigits.whole.empty() && numerator == 0 ? "0" : wholeDigits.whole, false)
                               : integerPart(tokens, 0, numeratorStart, std::string(), false);
    std::string fraction = integerPart(tokens, numeratorStart, slash, std::to_string(numerator), false) + "/";
    if (fixedDenominator > 0) {
        fraction += std::to_string(fixedDenominator) + afterFixed;
    } else {
        const std::string d = std::to_string(denominator);
        fraction += d;
        for (size_t i = slash + 1 + d.size(); i < denominatorEnd; ++i)
            fraction += tokens[i].text[0] == '?' ? " " : "";
    }
    // A whole number leaves the fraction's room blank, so fractions still line up.
    out += hasWhole && numerator == 0 ? std::string(static_cast<size_t>(characters(fraction)), ' ') : fraction;
    for (size_t i = denominatorEnd; i < tokens.size(); ++i)
        appendOthers(out, tokens[i]);
    return out;
}

std::string numberText(const Section &s, double magnitude)
{
    const Tokens &tokens = s.tokens;
    const Layout l = layoutOf(tokens);
    const double v = magnitude * std::pow(10.0, l.scale);
    if (std::any_of(tokens.begin(), tokens.end(), [](const Token &t) { return t.kind == Kind::General; })) {
        std::string out;
        for (const Token &t : tokens)
            t.kind == Kind::General ? out += generalNumber(v) : (appendOthers(out, t), out);
        return out;
    }
    if (l.exponent != std::string::npos)
        return scientificNumber(tokens, l, v);
    if (l.slash != std::string::npos)
        return fractionNumber(tokens, l, v);
    return fixedNumber(tokens, l, v);
}

// A date and time from a serial; false when the serial is no date (negative, past 9999).
bool dateText(const Section &s, double serial, std::string &out)
{
    const Tokens &tokens = s.tokens;
    int subsecondPlaces = 0;
    for (size_t i = 0; i < tokens.size(); ++i)
        if (tokens[i].kind == Kind::Point)
            for (size_t j = i + 1; isDigit(tokens, j); ++j)
                subsecondPlaces = std::min(3, subsecondPlaces + 1);
    const long long perSecond = static_cast<long long>(std::pow(10, subsecondPlaces));
    const long long perDay = 86400 * perSecond;
    if (!(serial >= 0) || serial >= static_cast<double>(lastSerialDay + 1))
        return false;
    const long long units = std::llround(serial * static_cast<double>(perDay));
    const long long day = units / perDay;
    const long long seconds = units % perDay / perSecond, subsecond = units % perSecond;
    const long long totalSeconds = units / perSecond;
    if (day > lastSerialDay)
        return false;
    // Serial 0 shows as 0 January 1900, as the spreadsheet shows it.
    const functions::CivilDate date = day == 0 ? functions::CivilDate{1900, 1, 0} : functions::civilDate(static_cast<double>(day));
    const int weekday = static_cast<int>((day + 6) % 7);
    const bool twelveHour = std::any_of(tokens.begin(), tokens.end(), [](const Token &t) { return t.kind == Kind::AmPm; });
    const long long hour = seconds / 3600, minute = seconds / 60 % 60, second = seconds % 60;
    out.clear();
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens[i];
        const int n = static_cast<int>(t.text.size());
        if (t.kind == Kind::Date) {
            switch (t.text[0]) {
            case 'y': out += n <= 2 ? padded(date.year % 100, 2) : padded(date.year, 4); break;
            case 'm':
                out += n >= 5 ? std::string(monthNames[date.month - 1], 1)
                    : n == 4  ? std::string(monthNames[date.month - 1])
                    : n == 3  ? std::string(monthNames[date.month - 1], 3)
                              : padded(date.month, n);
                break;
            case 'd': out += n >= 4 ? std::string(dayNames[weekday]) : n == 3 ? std::string(dayNames[weekday], 3) : padded(date.day, n); break;
            case 'h': out += padded(twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour, std::min(n, 2)); break;
            case 'n': out += padded(minute, n); break;
            case 's': out += padded(second, std::min(n, 2)); break;
            }
        } else if (t.kind == Kind::Elapsed) {
            const long long total = t.text[0] == 'h' ? totalSeconds / 3600 : t.text[0] == 'm' ? totalSeconds / 60 : totalSeconds;
            out += padded(total, t.count);
        } else if (t.kind == Kind::AmPm) {
            const bool am = hour < 12;
            const bool upper = std::isupper(static_cast<unsigned char>(t.text[0])) != 0;
            std::string mark = t.text.size() == 5 ? (am ? "am" : "pm") : (am ? "a" : "p");
            if (upper)
                for (char &c : mark)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            out += mark;
        } else if (t.kind == Kind::Point && isDigit(tokens, i + 1)) {
            out += "." + padded(subsecond, subsecondPlaces);
            while (isDigit(tokens, i + 1))
                ++i;
        } else if (t.kind != Kind::Digit) {
            out += t.text;
        }
    }
    return true;
}

bool hasNumberPart(const Section &s)
{
    return std::any_of(s.tokens.begin(), s.tokens.end(), [](const Token &t) {
        return t.kind == Kind::Digit || t.kind == Kind::General || t.kind == Kind::Point;
    });
}

bool showsNonZeroDigit(const std::string &text)
{
    return text.find_first_of("123456789") != std::string::npos;
}

} // namespace

NumberFormat::NumberFormat(std::string_view code)
    : m_code(code)
{
    const std::string lower = lowered(code);
    m_general = lower.empty() || lower == "general";
    for (std::string_view part : splitSections(code))
        m_sections.push_back(parseSection(part));
    if (m_sections.size() >= 4)
        m_textSection = 3;
    else if (m_sections.size() == 1 && m_sections[0].text)
        m_textSection = 0;
}

bool NumberFormat::showsDate() const
{
    return !m_sections.empty() && m_sections[0].date;
}

const NumberFormat::Section *NumberFormat::sectionFor(double x, bool &showSign) const
{
    const size_t numeric = std::min<size_t>(m_sections.size(), 3);
    showSign = true;
    if (m_sections[0].condition != 0 || (numeric > 1 && m_sections[1].condition != 0)) {
        for (size_t i = 0; i < numeric; ++i)
            if (holds(m_sections[i], x))
                return &m_sections[i];
        return nullptr;
    }
    if (numeric == 1 || x > 0)
        return &m_sections[0];
    if (x < 0) {
        showSign = false; // the negative section shows its own sign
        return &m_sections[1];
    }
    return numeric >= 3 ? &m_sections[2] : &m_sections[0];
}

FormattedText NumberFormat::number(double x, int width) const
{
    if (!std::isfinite(x))
        return {"#NUM!", -1};
    if (m_general || (m_sections.size() == 1 && m_sections[0].text && !hasNumberPart(m_sections[0])))
        return {generalNumber(x, width), -1};
    bool showSign = true;
    const Section *section = sectionFor(x, showSign);
    if (!section)
        return {hashes(width), -1};
    FormattedText out;
    out.colour = section->colour;
    if (section->date) {
        if (!dateText(*section, x, out.text))
            return {hashes(width), out.colour};
    } else if (!hasNumberPart(*section)) {
        for (const Token &t : section->tokens)
            appendOthers(out.text, t);
    } else {
        out.text = numberText(*section, std::fabs(x));
        if (showSign && x < 0 && showsNonZeroDigit(out.text))
            out.text.insert(0, "-");
    }
    if (width > 0 && characters(out.text) > width)
        out.text = hashes(width);
    return out;
}

FormattedText NumberFormat::text(const std::string &s) const
{
    if (m_textSection < 0)
        return {s, -1};
    const Section &section = m_sections[static_cast<size_t>(m_textSection)];
    FormattedText out;
    out.colour = section.colour;
    for (const Token &t : section.tokens)
        if (t.kind == Kind::At)
            out.text += s;
        else
            appendOthers(out.text, t);
    return out;
}

} // namespace workbook
