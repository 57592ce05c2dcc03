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

// Visits every cell of a criteria argument by its offset, including empty
// cells when the criterion can match them.
void forEachCriteriaCell(FunctionArgs &args, int rangeArg, const Criterion &criterion,
                         const std::function<void(int row, int column)> &matched);

// The offsets at which every (range, criterion) pair from argument `first`
// on matches; false (the call failed) when a range's shape differs from the
// argument `shapeArg`.
bool matchAllCriteria(FunctionArgs &args, int first, int shapeArg, std::vector<std::pair<int, int>> &hits);

// Rounds to the 15 significant digits a spreadsheet keeps, so that 2.675
// (stored as 2.67499999...) still rounds up as the user expects.
double roundToSignificant(double x);

} // namespace workbook::functions
