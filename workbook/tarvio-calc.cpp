// tarvio-calc: the embedded workbook from the command line, for scripts,
// large workbooks and benchmarks.
//   tarvio-calc FILE --dump
//   tarvio-calc FILE [--set Sheet!A1=VALUE ...] --get Sheet!B5[,Sheet!C7...]
//   tarvio-calc FILE --scan A1=FROM:TO:COUNT [--scan A2=FROM:TO:COUNT] --get C1,B1
// Numbers are printed with every digit needed to read them back exactly.
// Exit status: 0 done, 1 bad arguments, 2 the file cannot be read.
#include "Workbook.h"
#include "io/WorkbookFiles.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

using namespace workbook;

namespace {

constexpr int badArguments = 1;
constexpr int unreadableFile = 2;

int usage(const std::string &problem)
{
    std::cerr << "tarvio-calc: " << problem << "\n"
              << "usage: tarvio-calc FILE --dump\n"
              << "       tarvio-calc FILE [--set Sheet!A1=VALUE ...] --get Sheet!B5[,Sheet!C7...]\n"
              << "       tarvio-calc FILE --scan A1=FROM:TO:COUNT [--scan ...] --get C1[,B1...]\n";
    return badArguments;
}

// "Sheet!A1" or "A1" (the first sheet).
std::optional<CellLocation> cellOf(Workbook &book, const std::string &text)
{
    const auto range = parseRangeReference(text);
    if (!range || !range->isSingleCell())
        return std::nullopt;
    const SheetIndex sheet = range->sheet.empty() ? 0 : book.findSheet(range->sheet);
    if (sheet < 0)
        return std::nullopt;
    return CellLocation{sheet, range->first.row, range->first.column};
}

std::vector<std::string> splitAt(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

bool parseNumber(const std::string &text, double &value)
{
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
}

// Every digit needed to read the number back to the same double (the window shows 15), laid
// out as the window lays it out: exponents from E+15 and below E-04.
std::string exactNumber(double x)
{
    if (x == 0)
        return "0"; // negative zero too, as in the window
    char buffer[64];
    char *end = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific).ptr;
    std::string text(buffer, end);
    const size_t e = text.find('e');
    const int exponent = std::atoi(text.c_str() + e + 1);
    if (exponent >= -4 && exponent < 15) {
        end = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed).ptr;
        return std::string(buffer, end);
    }
    text[e] = 'E';
    return text;
}

// What scripts read: numbers exactly, everything else as the window shows it.
std::string exactText(const Value &value)
{
    return value.isNumber() && std::isfinite(value.asNumber()) ? exactNumber(value.asNumber()) : displayText(value);
}

struct Axis
{
    CellLocation cell;
    double from = 0, to = 0;
    long long count = 0;
    double at(long long i) const { return count == 1 ? from : from + (to - from) * double(i) / double(count - 1); }
};

void dump(Workbook &book)
{
    for (SheetIndex s = 0; s < book.sheetCount(); ++s) {
        std::vector<std::pair<int, int>> cells;
        book.forEachCell(s, [&cells](int row, int column) { cells.emplace_back(row, column); });
        std::sort(cells.begin(), cells.end());
        const std::string prefix = quotedSheetName(book.sheetName(s)) + "!";
        for (const auto &[row, column] : cells) {
            const Value v = book.value({s, row, column});
            if (!v.isEmpty())
                std::cout << prefix << cellText({row, column}) << '\t' << exactText(v) << '\n';
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage("no file given");
    const std::string path = args[0];
    bool wantDump = false;
    std::vector<std::pair<std::string, std::string>> sets;
    std::vector<std::string> gets, scans;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--dump") {
            wantDump = true;
        } else if (a == "--set" && hasValue) {
            const std::string &assignment = args[++i];
            const size_t equals = assignment.find('=');
            if (equals == std::string::npos || equals == 0)
                return usage("--set needs CELL=VALUE, not \"" + assignment + "\"");
            sets.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
        } else if (a == "--get" && hasValue) {
            for (const std::string &cell : splitAt(args[++i], ','))
                gets.push_back(cell);
        } else if (a == "--scan" && hasValue) {
            scans.push_back(args[++i]);
        } else {
            return usage("unexpected argument \"" + a + "\"");
        }
    }
    if (wantDump == !gets.empty())
        return usage("give either --dump or --get");
    if (wantDump && (!sets.empty() || !scans.empty()))
        return usage("--dump takes no --set or --scan");

    Workbook book;
    const LoadReport report = loadWorkbookFile(path, book);
    if (!report.ok) {
        std::cerr << "tarvio-calc: " << report.message << "\n";
        return unreadableFile;
    }
    if (wantDump) {
        dump(book);
        return 0;
    }

    for (const auto &[cell, value] : sets) {
        const auto where = cellOf(book, cell);
        if (!where)
            return usage("no such cell \"" + cell + "\"");
        std::string message;
        if (!book.setInput(*where, value, &message))
            return usage("cannot set " + cell + ": " + message);
    }
    std::vector<CellLocation> outputs;
    for (const std::string &cell : gets) {
        const auto where = cellOf(book, cell);
        if (!where)
            return usage("no such cell \"" + cell + "\"");
        outputs.push_back(*where);
    }

    if (scans.empty()) {
        for (size_t i = 0; i < outputs.size(); ++i)
            std::cout << (i ? "\t" : "") << exactText(book.value(outputs[i]));
        std::cout << '\n';
        return 0;
    }

    std::vector<Axis> axes;
    long long points = 1;
    for (const std::string &scan : scans) {
        const size_t equals = scan.find('=');
        const std::vector<std::string> parts = splitAt(equals == std::string::npos ? std::string() : scan.substr(equals + 1), ':');
        Axis axis;
        double count = 0;
        const auto where = equals == std::string::npos ? std::nullopt : cellOf(book, scan.substr(0, equals));
        if (!where || parts.size() != 3 || !parseNumber(parts[0], axis.from) || !parseNumber(parts[1], axis.to)
            || !parseNumber(parts[2], count) || count < 1 || count != std::floor(count) || count > 1e8)
            return usage("--scan needs CELL=FROM:TO:COUNT, not \"" + scan + "\"");
        axis.cell = *where;
        axis.count = static_cast<long long>(count);
        points *= axis.count;
        if (points > 100000000)
            return usage("the scan has more than 100,000,000 points");
        axes.push_back(axis);
    }

    // The sweep alone is timed; results are printed afterwards, so they are
    // held meanwhile: a scan they would not fit is refused with the figures.
    const double gigabytes = static_cast<double>(points) * outputs.size() * sizeof(Value) / 1e9;
    const double machine = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE) / 1e9;
    char needs[160];
    std::snprintf(needs, sizeof needs, "the scan's results need %.1f GB of memory; this machine has %.1f GB", gigabytes, machine);
    if (gigabytes > machine)
        return usage(needs);
    std::vector<Value> results;
    try {
        results.reserve(static_cast<size_t>(points) * outputs.size());
    } catch (const std::bad_alloc &) {
        return usage(std::string(needs) + ", not all of it free");
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<long long> index(axes.size(), 0);
    for (long long p = 0; p < points; ++p) {
        for (size_t a = 0; a < axes.size(); ++a)
            book.setValue(axes[a].cell, Value::number(axes[a].at(index[a])));
        for (const CellLocation &out : outputs)
            results.push_back(book.value(out));
        for (size_t a = 0; a < axes.size() && ++index[a] == axes[a].count; ++a)
            index[a] = 0;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::fill(index.begin(), index.end(), 0);
    for (long long p = 0; p < points; ++p) {
        std::string line;
        for (size_t a = 0; a < axes.size(); ++a)
            line += (a ? "\t" : "") + exactNumber(axes[a].at(index[a]));
        for (size_t o = 0; o < outputs.size(); ++o)
            line += "\t" + exactText(results[static_cast<size_t>(p) * outputs.size() + o]);
        std::cout << line << '\n';
        for (size_t a = 0; a < axes.size() && ++index[a] == axes[a].count; ++a)
            index[a] = 0;
    }
    char summary[160];
    std::snprintf(summary, sizeof summary, "points: %lld  seconds: %.6f  points/s: %.0f\n", points, seconds,
                  seconds > 0 ? points / seconds : 0.0);
    std::cerr << summary;
    return 0;
}
