#pragma once

#include "Workbook.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace workbook {

// What sits on the evaluation stack: a value, one cell, a rectangle, an
// array of values, or several rectangles (a union).
struct Operand
{
    enum class Kind : std::uint8_t { Scalar, Cell, Range, Missing, Array, Areas };
    Kind kind = Kind::Scalar;
    Value value;
    CellRange range; // for Cell and Range; a Cell is a 1 x 1 range
    CellId cell = noCell;
    // What an Array or Areas holds: a ValueArray or a vector of CellRange. One
    // pointer for both keeps the operands of single values small.
    std::shared_ptr<const void> shape;

    const ValueArray &array() const { return *static_cast<const ValueArray *>(shape.get()); }
    const std::vector<CellRange> &areas() const { return *static_cast<const std::vector<CellRange> *>(shape.get()); }

    bool isReference() const { return kind == Kind::Cell || kind == Kind::Range; }
    // Makes this a single value in place, cheaper than assigning a new operand.
    void setValue(Value v)
    {
        kind = Kind::Scalar;
        value = std::move(v);
        if (shape)
            shape.reset();
    }
    static Operand of(Value v)
    {
        Operand operand;
        operand.value = std::move(v);
        return operand;
    }
    static Operand ofRange(const CellRange &range)
    {
        Operand operand;
        if (range.sheet < 0) {
            operand.value = Value::error(ErrorCode::Ref);
        } else {
            operand.kind = Kind::Range;
            operand.range = range;
        }
        return operand;
    }
    static Operand ofArray(ValueArray values)
    {
        Operand operand;
        operand.kind = Kind::Array;
        operand.shape = std::make_shared<const ValueArray>(std::move(values));
        return operand;
    }
};

// The numeric shortcut of a formula made only of numbers, cells, arithmetic,
// one-number functions and SUM over a range: evaluated on plain doubles.
struct NumericStep
{
    enum class Kind : std::uint8_t { Constant, Cell, SumRange, Negate, Percent, Unary, Add, Subtract, Multiply, Divide, Power };
    // Where a binary step finds its right operand: popped from the stack, or
    // (fused with the push before it) a constant or a cell.
    enum class Operand : std::uint8_t { Stack, Constant, Cell };
    Kind kind;
    Operand right = Operand::Stack;
    CellId cell = noCell;
    double constant = 0;
    std::uint32_t range = 0;
    double (*unary)(double) = nullptr;
};

// The compiled formula of a cell: its program with every reference resolved.
struct CompiledFormula
{
    std::vector<NumericStep> numeric; // empty when the shortcut does not apply
    std::string text;
    Program program;
    std::vector<CellRange> ranges; // one per program reference
    std::vector<CellId> cells;     // one per program reference: the cell of a single-cell reference
    std::vector<int> functions;    // one per program function: registry index, -1 unknown
    std::vector<CellRange> listened; // the ranges this formula is filed under, its names' included
    std::vector<std::shared_ptr<const ValueArray>> arrays; // one per program array constant
    bool isVolatile = false;
    // Reads cells through OFFSET or INDIRECT, itself or through a name: which
    // cells it depends on is known only as it runs.
    bool readsDynamically = false;
    // A cell of an array formula: the block's size and this cell's place in it.
    int arrayRows = 0; // 0: an ordinary formula
    int arrayColumns = 0;
    int arrayRow = 0;
    int arrayColumn = 0;
    bool isArrayFormula() const { return arrayRows > 0; }
};

class Evaluator;
class FunctionArgs;
using FunctionImpl = Value (*)(FunctionArgs &args);

// One spreadsheet function: its arity and the kinds of its arguments, one
// letter each, the last repeating: n number, t text, b boolean, v any value,
// r a reference or range kept as such, a anything (value or range), A an
// array: a range or array kept as such, whose expression is evaluated element
// by element (SUMPRODUCT's arguments).
struct FunctionInfo
{
    std::string_view name;
    int minArgs;
    int maxArgs; // -1: any number
    std::string_view argKinds;
    FunctionImpl impl;
    bool isVolatile = false;
    // Reaches cells known only as it runs (OFFSET, INDIRECT).
    bool readsDynamically = false;
};

// The plain-number form of a one-argument function (SIN, SQRT, ...), or null.
double (*numericFunction(std::string_view upperName))(double);

// Every function, by upper-case name; -1 when unknown.
int findFunction(std::string_view upperName);
const FunctionInfo &functionInfo(int index);

// The arguments of one call, with the spreadsheet's coercions. A failed
// conversion records its error; a function checks `failed()` and returns
// `failure()`, so errors propagate as the spreadsheet propagates them.
class FunctionArgs
{
public:
    FunctionArgs(const Evaluator &evaluator, const CellLocation &caller, Operand *operands, int count);

    int count() const { return m_count; }
    bool has(int i) const { return i < m_count && m_operands[i].kind != Operand::Kind::Missing; }
    const Operand &operand(int i) const { return m_operands[i]; }
    const CellLocation &caller() const { return m_caller; }
    const Workbook &workbook() const { return m_workbook; }

    Value value(int i);
    double number(int i);
    double number(int i, double fallback) { return has(i) ? number(i) : fallback; }
    std::string text(int i);
    bool boolean(int i);
    bool boolean(int i, bool fallback) { return has(i) ? boolean(i) : fallback; }

    bool failed() const { return m_failed; }
    Value failure() const { return Value::error(m_error); }
    void fail(ErrorCode code);

    // A range or an array: something with rows and columns.
    bool isRange(int i) const
    {
        return i < m_count
            && (m_operands[i].isReference() || m_operands[i].kind == Operand::Kind::Array);
    }
    // A reference to cells (one rectangle), not an array of values.
    bool isReference(int i) const { return i < m_count && m_operands[i].isReference(); }
    // Every rectangle of a reference argument: one, or a union's several; none for values.
    std::vector<CellRange> areas(int i) const;
    // Rows and columns of an argument: a range's size, 1 x 1 for a value.
    int rows(int i) const;
    int columns(int i) const;
    // The value at a 0-based offset inside an argument (a value is its own 1 x 1).
    Value at(int i, int row, int column);
    // Every value of an argument with where it came from: `fromReference`
    // tells cells of a range (where text and booleans are skipped by
    // aggregates) from values written in the call (which are converted).
    void forEachValue(int i, const std::function<void(const Value &value, bool fromReference)> &visit);
    // The non-empty cells of a range argument with their offsets in it, rows first.
    void forEachCell(int i, const std::function<void(int row, int column, const Value &value)> &visit);
    // The first offset from `from` on, down the first column of an argument
    // (or, with `alongRow`, across its first row), where a cell is stored;
    // the length when none is. Lookups skip the empty part of whole columns so.
    int nextStored(int i, int from, bool alongRow) const;

    // The numbers that aggregates such as SUM take from the arguments from
    // `first` on: numbers in ranges, and direct values converted. An error
    // anywhere fails the call. With `textAndLogicals` (the ...A functions),
    // text in ranges counts 0 and booleans 0 or 1.
    bool collectNumbers(int first, std::vector<double> &numbers, bool textAndLogicals = false);
    // The same for one argument alone.
    bool numbersOf(int i, std::vector<double> &numbers);

    // Functions whose result is more than one value give it through these and
    // return what they return: an array, a reference to cells (usable where a
    // range is), or an argument passed on as it came (CHOOSE, IF).
    Value returnArray(ValueArray array);
    Value returnReference(const CellRange &range);
    Value returnArgument(int i);
    // The workbook's sheet of that name, or -1 (for INDIRECT).
    SheetIndex findSheet(std::string_view name) const;
    bool hasOperandResult() const { return m_result.has_value(); }
    Operand &operandResult() { return *m_result; }

private:
    bool collectRange(int first, int end, std::vector<double> &numbers, bool textAndLogicals);

    const Evaluator &m_evaluator;
    const Workbook &m_workbook;
    CellLocation m_caller;
    Operand *m_operands;
    int m_count;
    bool m_failed = false;
    ErrorCode m_error = ErrorCode::Value;
    std::optional<Operand> m_result; // most calls give a single value and never make one
};

// The most values one array may hold (a whole column and then some): an
// evaluation past it gives #NUM!.
constexpr std::size_t maxArrayValues = std::size_t(1) << 22;

// The most characters a cell's text holds, as in the spreadsheet.
constexpr std::size_t maxTextLength = 32767;
// Characters of UTF-8 text (every byte that does not continue a character).
std::size_t characterCount(std::string_view text);
// Whether text fits a cell; cheap for short text, which cannot exceed the limit.
inline bool fitsInCell(std::string_view text)
{
    return text.size() <= maxTextLength || (text.size() <= maxTextLength * 4 && characterCount(text) <= maxTextLength);
}
// Text as a result: #VALUE! when longer than a cell holds, as in the spreadsheet.
Value textValue(std::string text);

// "^" and POWER: 0^0 is #NUM!, 0 to a negative power #DIV/0!.
Value powerOf(double base, double exponent);

// Converts as arithmetic does: numbers, booleans 0/1, empty 0, numeric text.
bool toNumber(const Value &value, double &number, ErrorCode &error);
// Text as concatenation shows values.
std::string toText(const Value &value);
// Text that reads as a number ("1.5", " 2 ", "1e3", "50%"); false otherwise.
bool parseNumberText(std::string_view text, double &number);
// The spreadsheet's ordering: numbers < text < booleans, text case-insensitive;
// negative, zero or positive.
int compareValues(const Value &a, const Value &b);
// Lower case in the plain-letter sense used for comparing text.
std::string foldCase(std::string_view text);

// Runs compiled formulas against a workbook, over one layer of its cells'
// values (by CellId): the workbook's own, or a worker's.
class Evaluator
{
public:
    Evaluator(const Workbook &workbook, const std::vector<Value> &values)
        : m_workbook(workbook), m_values(values)
    {
    }
    const Workbook &workbook() const { return m_workbook; }
    const std::vector<Value> &values() const { return m_values; }
    // A cell's value in this layer; empty where no cell is stored.
    Value cellValue(SheetIndex sheet, int row, int column) const;
    Value evaluate(const CompiledFormula &formula, const CellLocation &caller);
    // Evaluates into a cell's value; true when the value changed.
    bool evaluateInto(const CompiledFormula &formula, const CellLocation &caller, Value &target);
    // Fills the numeric shortcut of a formula, when it has one.
    static void prepareNumeric(CompiledFormula &formula);
    // Marks the instructions whose values are wanted element by element: all
    // of an array formula's, and the arguments of functions that take arrays.
    static void markArrayContext(CompiledFormula &formula, bool arrayFormula);
    // The whole value of an operand as an array (a value is 1 x 1): its own
    // when it is one, else made in `made`; null when larger than an
    // evaluation may hold.
    const ValueArray *arrayOf(const Operand &operand, ValueArray &made) const;
    // The element at (row, column) of an operand stretched to a larger shape
    // as the spreadsheet stretches it: a single row or column repeats, a single
    // value fills everything, and beyond its size is #N/A.
    Value elementAt(const Operand &operand, int row, int column) const;
    // The value an operand stands for where a single value is wanted; a
    // range gives the cell in the caller's row or column, else #VALUE!.
    Value scalar(const Operand &operand, const CellLocation &caller) const;
    // Set when a reference made while evaluating (OFFSET, INDIRECT) reached a
    // formula not yet recalculated: the formula is evaluated again after it.
    bool readPendingCell = false;

private:
    // Names may refer to names; deeper than this is taken as a loop.
    static constexpr int maxNameDepth = 16;
    Operand run(const CompiledFormula &formula, const CellLocation &caller, int depth);
    // A name's value, evaluated once per depth in one evaluation: names that
    // use names several times each would otherwise multiply without bound.
    Operand nameValue(const CompiledFormula &named, const CellLocation &caller, int depth);
    // False when a value on the way is not a plain number or the result is
    // not finite: the full evaluation then gives the spreadsheet's answer.
    bool evaluateNumeric(const CompiledFormula &formula, double &result) const;
    void call(const CompiledFormula &formula, const Instruction &instruction, const CellLocation &caller);
    // A function called once per element of its array arguments (in array context).
    Operand callEachElement(const FunctionInfo &info, Operand *operands, int count, const CellLocation &caller);
    void binary(const Instruction &instruction, const CellLocation &caller);
    void unary(const Instruction &instruction, const CellLocation &caller);
    void referenceOperator(const Instruction &instruction);

    const Workbook &m_workbook;
    const std::vector<Value> &m_values;
    std::vector<Operand> m_stack;
    struct NameValue
    {
        const CompiledFormula *named;
        int depth;
        Operand value;
    };
    std::vector<NameValue> m_nameValues; // of the evaluation under way
};

} // namespace workbook
