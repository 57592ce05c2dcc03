#include "CalcCommand.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <ostream>

#include <thread>

#include <unistd.h>

namespace workbook {

namespace {

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

struct Axis
{
    int cell = -1;
    double from = 0, to = 0;
    long long count = 0;
    double at(long long i) const { return count == 1 ? from : from + (to - from) * double(i) / double(count - 1); }
};

// Steps the grid's indices, the first axis fastest.
void advance(std::vector<long long> &index, const std::vector<Axis> &axes)
{
    for (size_t a = 0; a < axes.size() && ++index[a] == axes[a].count; ++a)
        index[a] = 0;
}

} // namespace

bool parseNumber(const std::string &text, double &value)
{
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
}

bool parseCalcCommand(const std::vector<std::string> &args, CalcCommand &command, std::string &problem)
{
    if (args.empty()) {
        problem = "no file given";
        return false;
    }
    command.path = args[0];
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--dump") {
            command.dump = true;
        } else if (a == "--text") {
            command.text = true;
        } else if (a == "--office") {
            command.office = true;
        } else if (a == "--pipe" && hasValue) {
            command.pipe = args[++i];
        } else if (a == "--set" && hasValue) {
            const std::string &assignment = args[++i];
            const size_t equals = assignment.find('=');
            if (equals == std::string::npos || equals == 0) {
                problem = "--set needs CELL=VALUE, not \"" + assignment + "\"";
                return false;
            }
            command.sets.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
        } else if (a == "--get" && hasValue) {
            for (const std::string &cell : splitAt(args[++i], ','))
                command.gets.push_back(cell);
        } else if (a == "--scan" && hasValue) {
            command.scans.push_back(args[++i]);
        } else if (a == "--threads" && hasValue) {
            double threads = 0;
            if (!parseNumber(args[++i], threads) || threads < 1 || threads > 1024 || threads != std::floor(threads)) {
                problem = "--threads needs a whole number from 1 to 1024, not \"" + args[i] + "\"";
                return false;
            }
            command.threads = static_cast<int>(threads);
        } else {
            problem = "unexpected argument \"" + a + "\"";
            return false;
        }
    }
    if (command.dump == !command.gets.empty())
        problem = "give either --dump or --get";
    else if (command.dump && (!command.sets.empty() || !command.scans.empty()))
        problem = "--dump takes no --set or --scan";
    else if (command.dump && command.office)
        problem = "--dump reads the file without an office; leave out --office";
    else if (command.text && !command.dump)
        problem = "--text goes with --dump";
    else if (!command.pipe.empty() && !command.office)
        problem = "--pipe goes with --office";
    return problem.empty();
}

int calcUsage(std::ostream &err, const std::string &problem)
{
    err << "tarvio-calc: " << problem << "\n"
        << "usage: tarvio-calc FILE --dump [--text]\n"
        << "       tarvio-calc FILE [--office [--pipe NAME]] [--set Sheet!A1=VALUE ...] --get Sheet!B5[,Sheet!C7...]\n"
        << "       tarvio-calc FILE [--office [--pipe NAME]] --scan A1=FROM:TO:COUNT [--scan ...] [--threads N] --get C1[,B1...]\n";
    return calcBadArguments;
}

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

std::string exactText(const Value &value)
{
    return value.isNumber() && std::isfinite(value.asNumber()) ? exactNumber(value.asNumber()) : displayText(value);
}

bool CalcCells::exchangeMany(const std::vector<int> &, long long, const std::function<void(long long, double *)> &,
                             const std::vector<int> &, std::vector<Value> &, int)
{
    return false;
}

int runCalcCommand(const CalcCommand &command, CalcCells &cells, std::ostream &out, std::ostream &err)
{
    for (const auto &[cell, value] : command.sets) {
        const int where = cells.find(cell);
        if (where < 0)
            return calcUsage(err, "no such cell \"" + cell + "\"");
        std::string message;
        if (!cells.setInput(where, value, message))
            return calcUsage(err, "cannot set " + cell + ": " + message);
    }
    std::vector<int> outputs;
    for (const std::string &cell : command.gets) {
        const int where = cells.find(cell);
        if (where < 0)
            return calcUsage(err, "no such cell \"" + cell + "\"");
        outputs.push_back(where);
    }

    std::vector<Value> results;
    if (command.scans.empty()) {
        cells.exchange({}, {}, outputs, results);
        for (size_t i = 0; i < results.size(); ++i)
            out << (i ? "\t" : "") << exactText(results[i]);
        out << '\n';
        return calcDone;
    }

    std::vector<Axis> axes;
    long long points = 1;
    for (const std::string &scan : command.scans) {
        const size_t equals = scan.find('=');
        const std::vector<std::string> parts =
            splitAt(equals == std::string::npos ? std::string() : scan.substr(equals + 1), ':');
        Axis axis;
        double count = 0;
        axis.cell = equals == std::string::npos ? -1 : cells.find(scan.substr(0, equals));
        if (axis.cell < 0 || parts.size() != 3 || !parseNumber(parts[0], axis.from) || !parseNumber(parts[1], axis.to)
            || !parseNumber(parts[2], count) || count < 1 || count != std::floor(count) || count > 1e8)
            return calcUsage(err, "--scan needs CELL=FROM:TO:COUNT, not \"" + scan + "\"");
        axis.count = static_cast<long long>(count);
        points *= axis.count;
        if (points > 100000000)
            return calcUsage(err, "the scan has more than 100,000,000 points");
        axes.push_back(axis);
    }

    // The sweep alone is timed; results are printed afterwards, so they are
    // held meanwhile: a scan they would not fit is refused with the figures.
    const double gigabytes = static_cast<double>(points) * outputs.size() * sizeof(Value) / 1e9;
    const double machine = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE) / 1e9;
    char needs[160];
    std::snprintf(needs, sizeof needs, "the scan's results need %.1f GB of memory; this machine has %.1f GB",
                  gigabytes, machine);
    if (gigabytes > machine)
        return calcUsage(err, needs);
    try {
        results.reserve(static_cast<size_t>(points) * outputs.size());
    } catch (const std::bad_alloc &) {
        return calcUsage(err, std::string(needs) + ", not all of it free");
    }
    std::vector<int> inputs;
    for (const Axis &axis : axes)
        inputs.push_back(axis.cell);
    std::vector<double> values(axes.size());
    std::vector<Value> point;
    const auto start = std::chrono::steady_clock::now();
    std::vector<long long> index(axes.size(), 0);
    // Point p's numbers, first axis fastest, for points handed out of turn.
    const auto pointAt = [&axes](long long p, double *numbers) {
        for (size_t a = 0; a < axes.size(); ++a) {
            numbers[a] = axes[a].at(p % axes[a].count);
            p /= axes[a].count;
        }
    };
    const int threads = command.threads > 0 ? command.threads : int(std::max(1u, std::thread::hardware_concurrency()));
    if (threads == 1 || !cells.exchangeMany(inputs, points, pointAt, outputs, results, threads)) {
        for (long long p = 0; p < points; ++p) {
            for (size_t a = 0; a < axes.size(); ++a)
                values[a] = axes[a].at(index[a]);
            cells.exchange(inputs, values, outputs, point);
            results.insert(results.end(), point.begin(), point.end());
            advance(index, axes);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::fill(index.begin(), index.end(), 0);
    for (long long p = 0; p < points; ++p) {
        std::string line;
        for (size_t a = 0; a < axes.size(); ++a)
            line += (a ? "\t" : "") + exactNumber(axes[a].at(index[a]));
        for (size_t o = 0; o < outputs.size(); ++o)
            line += "\t" + exactText(results[static_cast<size_t>(p) * outputs.size() + o]);
        out << line << '\n';
        advance(index, axes);
    }
    char summary[160];
    std::snprintf(summary, sizeof summary, "points: %lld  seconds: %.6f  points/s: %.0f\n", points, seconds,
                  seconds > 0 ? points / seconds : 0.0);
    err << summary;
    return calcDone;
}

} // namespace workbook
