#pragma once

// What tarvio-calc does, apart from where the cells live: the arguments, the
// output and the scan loop, shared by the embedded engine and a live office.

#include "Value.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace workbook {

struct CalcCommand
{
    std::string path;
    bool dump = false;
    bool text = false; // --dump shows each cell's text as its format shows it
    bool office = false;
    std::string pipe; // an office already listening; empty: a private one
    std::vector<std::pair<std::string, std::string>> sets; // cell, typed text
    std::vector<std::string> gets;
    std::vector<std::string> scans; // "CELL=FROM:TO:COUNT"
    int threads = 0;                // for a scan; 0: every core
};

constexpr int calcDone = 0;
constexpr int calcBadArguments = 1;
constexpr int calcUnreadableFile = 2;

// Reads the arguments after the program's name; false with `problem` when
// they make no command.
bool parseCalcCommand(const std::vector<std::string> &args, CalcCommand &command, std::string &problem);
// The problem and the usage on `err`; gives the exit status for bad arguments.
int calcUsage(std::ostream &err, const std::string &problem);

// The whole text as one finite number, exactly as strtod reads it.
bool parseNumber(const std::string &text, double &value);

// Every digit needed to read the number back to the same double, laid out as
// the window lays numbers out: exponents from E+15 and below E-04.
std::string exactNumber(double x);
// Numbers exactly, everything else as the window shows it.
std::string exactText(const Value &value);

// The cells a command reads and writes, wherever they live.
class CalcCells
{
public:
    virtual ~CalcCells() = default;
    // "Sheet!A1" or "A1" (the first sheet): a handle for the cell, or -1.
    virtual int find(const std::string &reference) = 0;
    // Typed text as the spreadsheet reads it; false with `message` when refused.
    virtual bool setInput(int cell, const std::string &text, std::string &message) = 0;
    // One point: writes each number into its cell, then reads `outputs`.
    virtual void exchange(const std::vector<int> &inputs, const std::vector<double> &values,
                          const std::vector<int> &outputs, std::vector<Value> &results) = 0;
    // Many points at once, on `threads` workers, apart from the cells
    // themselves: `point(p, values)` gives point p's numbers, one per input;
    // `results` gets every point's outputs, point after point, as a run of
    // exchanges would give them. False (nothing evaluated) where the cells
    // cannot evaluate points apart.
    virtual bool exchangeMany(const std::vector<int> &inputs, long long points,
                              const std::function<void(long long point, double *values)> &point,
                              const std::vector<int> &outputs, std::vector<Value> &results, int threads);
};

// Runs the --set, --get and --scan parts of `command` (not --dump) on `cells`:
// results on `out`, the scan's speed and every problem on `err`. Gives the
// exit status.
int runCalcCommand(const CalcCommand &command, CalcCells &cells, std::ostream &out, std::ostream &err);

} // namespace workbook
