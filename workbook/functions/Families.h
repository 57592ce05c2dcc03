#pragma once

#include "../Evaluator.h"

#include <cmath>
#include <vector>

namespace workbook::functions {

// Each family lists its functions with their arity and argument kinds.
const std::vector<FunctionInfo> &mathFunctions();
const std::vector<FunctionInfo> &statisticsFunctions();
const std::vector<FunctionInfo> &logicFunctions();
const std::vector<FunctionInfo> &lookupFunctions();
const std::vector<FunctionInfo> &financialFunctions();
const std::vector<FunctionInfo> &textFunctions();
const std::vector<FunctionInfo> &dateFunctions();
const std::vector<FunctionInfo> &distributionFunctions();
const std::vector<FunctionInfo> &engineeringFunctions();
const std::vector<FunctionInfo> &arrayFunctions();

// The plain-number forms of one-argument math functions, for the numeric shortcut.
double (*numericFunctionOf(std::string_view name))(double);

// A one-number function of the standard library; a result that is not a
// finite number becomes #NUM!.
template <double (*F)(double)>
Value unaryNumber(FunctionArgs &args)
{
    const double x = args.number(0);
    return args.failed() ? args.failure() : Value::number(F(x));
}

// The criteria of SUMIF, COUNTIF and their kin: "=5", ">=2", "<>x", "a*b?",
// a number, a boolean, or "" for empty cells. Text compares case-insensitively.
class Criterion
{
public:
    explicit Criterion(const Value &criterion);
    bool matches(const Value &value) const;
    bool matchesEmpty() const { return matches(Value()); }

private:
    enum class Relation { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };
    Relation m_relation = Relation::Equal;
    Value m_operand;
    bool m_wildcards = false;
};

// Whether text matches a pattern with * (any run), ? (one character) and
// ~ (takes the next character literally), ignoring case.
bool wildcardMatch(const std::string &text, const std::string &pattern);
// The first byte position from `from` on where such a pattern matches the
// beginning of the rest of the text; npos when there is none.
size_t wildcardFind(const std::string &text, const std::string &pattern, size_t from);

// The non-empty cells of an argument with their offsets, rows first (a value
// is its own single cell): what a whole-sheet range costs is what it holds.
void forEachFilled(FunctionArgs &args, int i, const std::function<void(int row, int column, const Value &value)> &visit);

// Where criteria hold. A range may cover seventeen billion cells, so only the
// offsets where some range holds a value are listed; `elsewhere` counts the
// other offsets, which match when every criterion takes empty cells.
struct CriteriaHits
{
    std::vector<std::pair<int, int>> offsets;
    double elsewhere = 0;
};

// The offsets at which every range argument in `rangeArgs` matches the
// criterion in the argument after it, in the shape of the first range. The
// non-empty cells of `valueArg` (-1: none) are listed too when empty cells
// match, so the values summed or averaged are all among `offsets`. False
// (the call failed) when a criterion is an error.
bool matchCriteria(FunctionArgs &args, const std::vector<int> &rangeArgs, int valueArg, CriteriaHits &hits);

// The same for (range, criterion) pairs from argument `first` on, each range
// in the shape of `valueArg` (or, with -1, of the first range); false with
// #VALUE! when a shape differs or a criterion lacks its range.
bool matchAllCriteria(FunctionArgs &args, int first, int valueArg, CriteriaHits &hits);

// Pairs of numbers at the same position of two arguments of as many cells
// (else the call fails with #N/A); positions where either is not a number
// are skipped, an error in either fails the call.
bool numberPairs(FunctionArgs &args, int a, int b, std::vector<double> &x, std::vector<double> &y);

// Rounds to the 15 significant digits a spreadsheet keeps, so that 2.675
// (stored as 2.67499999...) still rounds up as the user expects.
double roundToSignificant(double x);

} // namespace workbook::functions
