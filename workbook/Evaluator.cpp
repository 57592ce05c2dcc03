#include "Evaluator.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace workbook {

Value powerOf(double base, double exponent)
{
    if (base == 0 && exponent == 0)
        return Value::error(ErrorCode::Num);
    if (base == 0 && exponent < 0)
        return Value::error(ErrorCode::Div0);
    return Value::number(std::pow(base, exponent));
}

namespace {

Value arithmetic(OpCode op, double a, double b)
{
    switch (op) {
    case OpCode::Add:
        return Value::number(a + b);
    case OpCode::Subtract:
        return Value::number(a - b);
    case OpCode::Multiply:
        return Value::number(a * b);
    case OpCode::Divide:
        return b == 0 ? Value::error(ErrorCode::Div0) : Value::number(a / b);
    case OpCode::Power:
        return powerOf(a, b);
    default:
        return Value::error(ErrorCode::Value);
    }
}

bool comparisonHolds(OpCode op, int order)
{
    switch (op) {
    case OpCode::Equal:
        return order == 0;
    case OpCode::NotEqual:
        return order != 0;
    case OpCode::Less:
        return order < 0;
    case OpCode::LessEqual:
        return order <= 0;
    case OpCode::Greater:
        return order > 0;
    default:
        return order >= 0;
    }
}

// One operator on two single values.
Value applyBinary(OpCode op, const Value &a, const Value &b)
{
    // Two numbers, as nearly always over ranges: compared without the general ordering.
    if (a.isNumber() && b.isNumber() && op >= OpCode::Equal && op <= OpCode::GreaterEqual) {
        const double x = a.asNumber(), y = b.asNumber();
        return Value::boolean(comparisonHolds(op, x < y ? -1 : x > y ? 1 : 0));
    }
    if (a.isError())
        return a;
    if (b.isError())
        return b;
    if (op == OpCode::Concatenate) // longer than a cell holds is #VALUE!, so doubling chains cannot exhaust memory
        return textValue(toText(a) + toText(b));
    if (op >= OpCode::Equal && op <= OpCode::GreaterEqual)
        return Value::boolean(comparisonHolds(op, compareValues(a, b)));
    double x = 0, y = 0;
    ErrorCode error = ErrorCode::Value;
    if (!toNumber(a, x, error) || !toNumber(b, y, error))
        return Value::error(error);
    return arithmetic(op, x, y);
}

Value applyUnary(OpCode op, const Value &v)
{
    double x = 0;
    ErrorCode error = ErrorCode::Value;
    if (!toNumber(v, x, error))
        return Value::error(error);
    return Value::number(op == OpCode::Negate ? -x : x / 100);
}

// The size two shapes stretch to: a single row or column takes the other's.
int stretched(int a, int b)
{
    return a == 1 ? b : b == 1 ? a : std::max(a, b);
}

// An empty cell compares as 0, "" or FALSE, whichever the other side is.
Value emptyLike(const Value &other)
{
    if (other.isText())
        return Value::text(std::string());
    if (other.isBoolean())
        return Value::boolean(false);
    return Value::number(0);
}

int typeRank(const Value &v)
{
    switch (v.type()) {
    case ValueType::Number:
    case ValueType::Empty:
        return 0;
    case ValueType::Text:
        return 1;
    case ValueType::Boolean:
        return 2;
    default:
        return 3;
    }
}

} // namespace

std::string foldCase(std::string_view text)
{
    std::string folded(text);
    for (char &c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

bool parseNumberText(std::string_view text, double &number)
{
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    if (begin == end)
        return false;
    std::string s(text.substr(begin, end - begin));
    bool percent = false;
    if (s.back() == '%') {
        percent = true;
        s.pop_back();
    }
    if (s.empty() || s.find_first_not_of("0123456789.eE+-") != std::string::npos)
        return false;
    char *stop = nullptr;
    const double value = std::strtod(s.c_str(), &stop);
    if (stop != s.c_str() + s.size() || !std::isfinite(value))
        return false;
    number = percent ? value / 100 : value;
    return true;
}

bool toNumber(const Value &value, double &number, ErrorCode &error)
{
    switch (value.type()) {
    case ValueType::Number:
    case ValueType::Boolean:
        number = value.asNumber();
        return true;
    case ValueType::Empty:
        number = 0;
        return true;
    case ValueType::Text:
        if (parseNumberText(value.asText(), number))
            return true;
        error = ErrorCode::Value;
        return false;
    case ValueType::Error:
        error = value.asError();
        return false;
    }
    return false;
}

std::string toText(const Value &value)
{
    return displayText(value);
}

std::size_t characterCount(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

Value textValue(std::string text)
{
    return fitsInCell(text) ? Value::text(std::move(text)) : Value::error(ErrorCode::Value);
}

namespace {

// Text longer than a cell holds may still arrive from a file or a name; it
// goes no further than the cell that holds it.
Value withinCellLimit(Value value)
{
    return value.isText() && !fitsInCell(value.asText()) ? Value::error(ErrorCode::Value) : value;
}

} // namespace

int compareValues(const Value &left, const Value &right)
{
    const Value a = left.isEmpty() ? emptyLike(right) : left;
    const Value b = right.isEmpty() ? emptyLike(left) : right;
    const int rankA = typeRank(a), rankB = typeRank(b);
    if (rankA != rankB)
        return rankA < rankB ? -1 : 1;
    if (a.isText()) {
        const int order = foldCase(a.asText()).compare(foldCase(b.asText()));
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    }
    const double x = a.asNumber(), y = b.asNumber();
    return x < y ? -1 : x > y ? 1 : 0;
}

// ---- FunctionArgs

FunctionArgs::FunctionArgs(const Evaluator &evaluator, const CellLocation &caller, Operand *operands, int count)
    : m_evaluator(evaluator), m_workbook(evaluator.workbook()), m_caller(caller), m_operands(operands), m_count(count)
{
}

void FunctionArgs::fail(ErrorCode code)
{
    if (!m_failed) {
        m_failed = true;
        m_error = code;
    }
}

Value FunctionArgs::value(int i)
{
    if (i >= m_count)
        return Value();
    const Operand &operand = m_operands[i];
    if (operand.kind == Operand::Kind::Scalar)
        return operand.value;
    if (operand.kind == Operand::Kind::Missing)
        return Value();
    return m_evaluator.scalar(operand, m_caller);
}

std::vector<CellRange> FunctionArgs::areas(int i) const
{
    if (i >= m_count)
        return {};
    const Operand &operand = m_operands[i];
    if (operand.kind == Operand::Kind::Areas)
        return operand.areas();
    if (operand.isReference())
        return {operand.range};
    return {};
}

Value FunctionArgs::returnArray(ValueArray array)
{
    if (array.values.empty())
        return Value::error(ErrorCode::Value);
    m_result = Operand::ofArray(std::move(array));
    return Value();
}

Value FunctionArgs::returnReference(const CellRange &range)
{
    if (range.sheet < 0 || !Workbook::isInSheet(range.firstRow, range.firstColumn)
        || !Workbook::isInSheet(range.lastRow, range.lastColumn))
        return Value::error(ErrorCode::Ref);
    m_result = Operand::ofRange(range);
    Evaluator &evaluator = *m_workbook.m_evaluator;
    if (!evaluator.readPendingCell) {
        m_workbook.forEachCellIdIn(range, [&](int, int, CellId id) {
            evaluator.readPendingCell = evaluator.readPendingCell || m_workbook.m_cells[id].dirty;
        });
    }
    return Value();
}

Value FunctionArgs::returnArgument(int i)
{
    if (!has(i))
        return i < m_count ? Value::number(0) : Value::boolean(false);
    if (m_operands[i].kind == Operand::Kind::Scalar)
        return m_operands[i].value;
    m_result = m_operands[i];
    return Value();
}

SheetIndex FunctionArgs::findSheet(std::string_view name) const
{
    return m_workbook.findSheet(name);
}

double FunctionArgs::number(int i)
{
    const Value v = value(i);
    double x = 0;
    ErrorCode error = ErrorCode::Value;
    if (!toNumber(v, x, error)) {
        fail(error);
        return 0;
    }
    return x;
}

std::string FunctionArgs::text(int i)
{
    const Value v = value(i);
    if (v.isError()) {
        fail(v.asError());
        return std::string();
    }
    return toText(v);
}

bool FunctionArgs::boolean(int i)
{
    const Value v = value(i);
    if (v.isText()) {
        const std::string folded = foldCase(v.asText());
        if (folded == "true" || folded == "false")
            return folded == "true";
        fail(ErrorCode::Value);
        return false;
    }
    double x = 0;
    ErrorCode error = ErrorCode::Value;
    if (!toNumber(v, x, error)) {
        fail(error);
        return false;
    }
    return x != 0;
}

int FunctionArgs::rows(int i) const
{
    if (i < m_count && m_operands[i].kind == Operand::Kind::Array)
        return m_operands[i].array().rows;
    return isRange(i) ? m_operands[i].range.rows() : 1;
}

int FunctionArgs::columns(int i) const
{
    if (i < m_count && m_operands[i].kind == Operand::Kind::Array)
        return m_operands[i].array().columns;
    return isRange(i) ? m_operands[i].range.columns() : 1;
}

Value FunctionArgs::at(int i, int row, int column)
{
    if (i < m_count && m_operands[i].kind == Operand::Kind::Array) {
        const ValueArray &array = m_operands[i].array();
        if (row < 0 || column < 0 || row >= array.rows || column >= array.columns)
            return Value::error(ErrorCode::Ref);
        return array.at(row, column);
    }
    if (!isRange(i))
        return row == 0 && column == 0 ? value(i) : Value::error(ErrorCode::Ref);
    const CellRange &range = m_operands[i].range;
    if (row < 0 || column < 0 || row >= range.rows() || column >= range.columns())
        return Value::error(ErrorCode::Ref);
    return m_evaluator.cellValue(range.sheet, range.firstRow + row, range.firstColumn + column);
}

void FunctionArgs::forEachValue(int i, const std::function<void(const Value &, bool)> &visit)
{
    if (i >= m_count)
        return;
    const Operand &operand = m_operands[i];
    switch (operand.kind) {
    case Operand::Kind::Missing:
        return;
    case Operand::Kind::Scalar:
        visit(operand.value, false);
        return;
    case Operand::Kind::Cell:
    case Operand::Kind::Range:
        m_workbook.forEachValueIn(operand.range, m_evaluator.values(), [&visit](int, int, const Value &v) { visit(v, true); });
        return;
    case Operand::Kind::Areas:
        for (const CellRange &area : operand.areas())
            m_workbook.forEachValueIn(area, m_evaluator.values(), [&visit](int, int, const Value &v) { visit(v, true); });
        return;
    case Operand::Kind::Array:
        // An array's text and booleans are skipped by aggregates, as a range's are.
        for (const Value &v : operand.array().values)
            if (!v.isEmpty())
                visit(v, true);
        return;
    }
}

void FunctionArgs::forEachCell(int i, const std::function<void(int, int, const Value &)> &visit)
{
    if (i < m_count && m_operands[i].kind == Operand::Kind::Array) {
        const ValueArray &array = m_operands[i].array();
        for (int r = 0; r < array.rows; ++r)
            for (int c = 0; c < array.columns; ++c)
                if (!array.at(r, c).isEmpty())
                    visit(r, c, array.at(r, c));
        return;
    }
    if (!isRange(i))
        return;
    const CellRange &range = m_operands[i].range;
    m_workbook.forEachValueIn(range, m_evaluator.values(), [&](int row, int column, const Value &v) {
        visit(row - range.firstRow, column - range.firstColumn, v);
    });
}

int FunctionArgs::nextStored(int i, int from, bool alongRow) const
{
    if (!isReference(i))
        return from;
    const CellRange &range = m_operands[i].range;
    const int length = alongRow ? range.columns() : range.rows();
    if (alongRow) {
        for (int k = from; k < length; ++k)
            if (m_workbook.findCell(range.sheet, range.firstRow, range.firstColumn + k) != noCell)
                return k;
        return length;
    }
    if (range.sheet < 0 || range.sheet >= m_workbook.sheetCount())
        return length;
    const auto &columns = m_workbook.m_sheets[range.sheet].columns;
    if (range.firstColumn >= static_cast<int>(columns.size()))
        return length;
    const auto &cells = columns[range.firstColumn];
    const auto found = std::lower_bound(cells.begin(), cells.end(), range.firstRow + from,
                                        [](const std::pair<int, CellId> &entry, int r) { return entry.first < r; });
    return found == cells.end() ? length : std::min(found->first - range.firstRow, length);
}

bool FunctionArgs::numbersOf(int i, std::vector<double> &numbers)
{
    return collectRange(i, i + 1, numbers, false);
}

bool FunctionArgs::collectNumbers(int first, std::vector<double> &numbers, bool textAndLogicals)
{
    return collectRange(first, m_count, numbers, textAndLogicals);
}

bool FunctionArgs::collectRange(int first, int end, std::vector<double> &numbers, bool textAndLogicals)
{
    for (int i = first; i < end && i < m_count && !m_failed; ++i) {
        forEachValue(i, [&](const Value &v, bool fromReference) {
            if (v.isError()) {
                fail(v.asError());
            } else if (v.isNumber()) {
                numbers.push_back(v.asNumber());
            } else if (fromReference) {
                if (textAndLogicals && v.isBoolean())
                    numbers.push_back(v.asNumber());
                else if (textAndLogicals && v.isText())
                    numbers.push_back(0);
            } else {
                double x = 0;
                ErrorCode error = ErrorCode::Value;
                if (toNumber(v, x, error))
                    numbers.push_back(x);
                else
                    fail(error);
            }
        });
    }
    return !m_failed;
}

// ---- Evaluator

Value Evaluator::cellValue(SheetIndex sheet, int row, int column) const
{
    const CellId id = m_workbook.findCell(sheet, row, column);
    return id == noCell ? Value() : m_values[id];
}

Value Evaluator::scalar(const Operand &operand, const CellLocation &caller) const
{
    switch (operand.kind) {
    case Operand::Kind::Scalar:
        return operand.value;
    case Operand::Kind::Missing:
        return Value();
    case Operand::Kind::Cell:
        return m_values[operand.cell];
    case Operand::Kind::Array:
        return operand.array().values.front();
    case Operand::Kind::Areas:
        return Value::error(ErrorCode::Value);
    case Operand::Kind::Range:
        break;
    }
    const CellRange &range = operand.range;
    if (range.sheet < 0)
        return Value::error(ErrorCode::Ref);
    // Implicit intersection: the cell of the range in the caller's row or column.
    if (range.rows() == 1 && range.columns() == 1)
        return cellValue(range.sheet, range.firstRow, range.firstColumn);
    if (range.columns() == 1 && caller.row >= range.firstRow && caller.row <= range.lastRow)
        return cellValue(range.sheet, caller.row, range.firstColumn);
    if (range.rows() == 1 && caller.column >= range.firstColumn && caller.column <= range.lastColumn)
        return cellValue(range.sheet, range.firstRow, caller.column);
    return Value::error(ErrorCode::Value);
}

namespace {

constexpr size_t maxNumericDepth = 32;

NumericStep::Kind numericKind(OpCode op)
{
    switch (op) {
    case OpCode::Negate:
        return NumericStep::Kind::Negate;
    case OpCode::Percent:
        return NumericStep::Kind::Percent;
    case OpCode::Add:
        return NumericStep::Kind::Add;
    case OpCode::Subtract:
        return NumericStep::Kind::Subtract;
    case OpCode::Multiply:
        return NumericStep::Kind::Multiply;
    case OpCode::Divide:
        return NumericStep::Kind::Divide;
    default:
        return NumericStep::Kind::Power;
    }
}

} // namespace

void Evaluator::prepareNumeric(CompiledFormula &formula)
{
    std::vector<NumericStep> steps;
    const auto &code = formula.program.code;
    size_t depth = 0, deepest = 0;
    for (size_t i = 0; i < code.size(); ++i) {
        const Instruction &instruction = code[i];
        NumericStep step{NumericStep::Kind::Constant};
        switch (instruction.op) {
        case OpCode::PushValue: {
            const Value &constant = formula.program.constants[instruction.index];
            if (!constant.isNumber())
                return;
            step.constant = constant.asNumber();
            ++depth;
            break;
        }
        case OpCode::PushRange: {
            const CellId cell = formula.cells[instruction.index];
            const bool sumFollows = i + 1 < code.size() && code[i + 1].op == OpCode::Call && code[i + 1].count == 1
                && formula.program.functions[code[i + 1].index] == "SUM";
            if (cell != noCell) {
                step.kind = NumericStep::Kind::Cell;
                step.cell = cell;
            } else if (sumFollows && formula.ranges[instruction.index].sheet >= 0) {
                step.kind = NumericStep::Kind::SumRange;
                step.range = instruction.index;
                ++i; // the SUM call is part of this step
            } else {
                return;
            }
            ++depth;
            break;
        }
        case OpCode::Negate:
        case OpCode::Percent:
            step.kind = numericKind(instruction.op);
            break;
        case OpCode::Add:
        case OpCode::Subtract:
        case OpCode::Multiply:
        case OpCode::Divide:
        case OpCode::Power:
            step.kind = numericKind(instruction.op);
            --depth;
            // A right operand pushed just before is read in place.
            if (!steps.empty() && (steps.back().kind == NumericStep::Kind::Constant || steps.back().kind == NumericStep::Kind::Cell)) {
                step.right = steps.back().kind == NumericStep::Kind::Constant ? NumericStep::Operand::Constant : NumericStep::Operand::Cell;
                step.constant = steps.back().constant;
                step.cell = steps.back().cell;
                steps.pop_back();
            }
            break;
        case OpCode::Call: {
            const std::string &name = formula.program.functions[instruction.index];
            if (instruction.count == 0 && name == "PI") {
                step.constant = 3.14159265358979323846;
                ++depth;
                break;
            }
            step.unary = instruction.count == 1 ? numericFunction(name) : nullptr;
            if (!step.unary)
                return;
            step.kind = NumericStep::Kind::Unary;
            break;
        }
        default:
            return;
        }
        deepest = std::max(deepest, depth);
        steps.push_back(step);
    }
    if (depth == 1 && deepest <= maxNumericDepth)
        formula.numeric = std::move(steps);
}

bool Evaluator::evaluateNumeric(const CompiledFormula &formula, double &result) const
{
    double stack[maxNumericDepth];
    size_t top = 0;
    const std::vector<Value> &cells = m_values;
    for (const NumericStep &step : formula.numeric) {
        switch (step.kind) {
        case NumericStep::Kind::Constant:
            stack[top++] = step.constant;
            break;
        case NumericStep::Kind::Cell: {
            const Value &v = cells[step.cell];
            if (v.isNumber())
                stack[top++] = v.asNumber();
            else if (v.isEmpty())
                stack[top++] = 0;
            else
                return false;
            break;
        }
        case NumericStep::Kind::SumRange: {
            double total = 0;
            bool plain = true;
            m_workbook.forEachCellIdIn(formula.ranges[step.range], [&](int, int, CellId id) {
                const Value &v = cells[id];
                if (v.isNumber())
                    total += v.asNumber();
                else if (v.isError())
                    plain = false;
            });
            if (!plain)
                return false;
            stack[top++] = total;
            break;
        }
        case NumericStep::Kind::Negate:
            stack[top - 1] = -stack[top - 1];
            break;
        case NumericStep::Kind::Percent:
            stack[top - 1] /= 100;
            break;
        case NumericStep::Kind::Unary:
            stack[top - 1] = step.unary(stack[top - 1]);
            break;
        default: {
            double b;
            if (step.right == NumericStep::Operand::Constant) {
                b = step.constant;
            } else if (step.right == NumericStep::Operand::Cell) {
                const Value &v = cells[step.cell];
                if (v.isNumber())
                    b = v.asNumber();
                else if (v.isEmpty())
                    b = 0;
                else
                    return false;
            } else {
                b = stack[--top];
            }
            double &a = stack[top - 1];
            switch (step.kind) {
            case NumericStep::Kind::Add:
                a += b;
                break;
            case NumericStep::Kind::Subtract:
                a -= b;
                break;
            case NumericStep::Kind::Multiply:
                a *= b;
                break;
            case NumericStep::Kind::Divide:
                if (b == 0)
                    return false;
                a /= b;
                break;
            default:
                if (a == 0 && b <= 0)
                    return false;
                a = std::pow(a, b);
                break;
            }
            break;
        }
        }
    }
    result = stack[0];
    return std::isfinite(result);
}

bool Evaluator::evaluateInto(const CompiledFormula &formula, const CellLocation &caller, Value &target)
{
    double number = 0;
    if (!formula.numeric.empty() && evaluateNumeric(formula, number)) {
        if (target.isNumber() && target.asNumber() == number)
            return false;
        target.setNumber(number);
        return true;
    }
    Value result = evaluate(formula, caller);
    if (result == target)
        return false;
    target = std::move(result);
    return true;
}

Value Evaluator::evaluate(const CompiledFormula &formula, const CellLocation &caller)
{
    m_stack.clear();
    m_nameValues.clear();
    const Operand result = run(formula, caller, 0);
    if (formula.isArrayFormula())
        return withinCellLimit(elementAt(result, formula.arrayRow, formula.arrayColumn));
    return withinCellLimit(scalar(result, caller));
}

const ValueArray *Evaluator::arrayOf(const Operand &operand, ValueArray &made) const
{
    switch (operand.kind) {
    case Operand::Kind::Array:
        return &operand.array();
    case Operand::Kind::Cell:
    case Operand::Kind::Range: {
        const CellRange &range = operand.range;
        if (static_cast<size_t>(range.rows()) * static_cast<size_t>(range.columns()) > maxArrayValues)
            return nullptr;
        made = ValueArray(range.rows(), range.columns());
        m_workbook.forEachCellIdIn(range, [&](int row, int column, CellId id) {
            made.at(row - range.firstRow, column - range.firstColumn) = m_values[id];
        });
        return &made;
    }
    default:
        made = ValueArray(1, 1);
        made.values[0] = operand.kind == Operand::Kind::Areas ? Value::error(ErrorCode::Value) : operand.value;
        return &made;
    }
}

namespace {

// The element of an array stretched to a larger shape.
const Value &stretchedElement(const ValueArray &array, int row, int column)
{
    static const Value notAvailable = Value::error(ErrorCode::NA);
    const int r = array.rows == 1 ? 0 : row, c = array.columns == 1 ? 0 : column;
    return r < array.rows && c < array.columns ? array.at(r, c) : notAvailable;
}

// A formula's reference or array as a shape; 1 x 1 for a single value.
std::pair<int, int> shapeOf(const Operand &operand)
{
    if (operand.kind == Operand::Kind::Array)
        return {operand.array().rows, operand.array().columns};
    if (operand.isReference())
        return {operand.range.rows(), operand.range.columns()};
    return {1, 1};
}

bool isSeveralValues(const Operand &operand)
{
    const auto [rows, columns] = shapeOf(operand);
    return rows > 1 || columns > 1;
}

} // namespace

Value Evaluator::elementAt(const Operand &operand, int row, int column) const
{
    if (operand.kind == Operand::Kind::Array)
        return stretchedElement(operand.array(), row, column);
    if (operand.isReference()) {
        const CellRange &range = operand.range;
        const int r = range.rows() == 1 ? 0 : row, c = range.columns() == 1 ? 0 : column;
        if (r >= range.rows() || c >= range.columns())
            return Value::error(ErrorCode::NA);
        return cellValue(range.sheet, range.firstRow + r, range.firstColumn + c);
    }
    return operand.kind == Operand::Kind::Areas ? Value::error(ErrorCode::Value) : operand.value;
}

void Evaluator::binary(const Instruction &instruction, const CellLocation &caller)
{
    Operand &left = m_stack[m_stack.size() - 2];
    // Array constants always work element by element; ranges do where arrays are wanted.
    const bool elementwise = left.kind == Operand::Kind::Array || m_stack.back().kind == Operand::Kind::Array
        || (instruction.arrayContext && (isSeveralValues(left) || isSeveralValues(m_stack.back())));
    if (!elementwise) {
        const Value b = scalar(m_stack.back(), caller);
        m_stack.pop_back();
        m_stack.back().setValue(applyBinary(instruction.op, scalar(m_stack.back(), caller), b));
        return;
    }
    const Operand right = std::move(m_stack.back());
    m_stack.pop_back();
    ValueArray madeLeft, madeRight;
    const ValueArray *a = arrayOf(left, madeLeft), *b = arrayOf(right, madeRight);
    if (!a || !b) {
        left.setValue(Value::error(ErrorCode::Num));
        return;
    }
    ValueArray result(stretched(a->rows, b->rows), stretched(a->columns, b->columns));
    for (int r = 0; r < result.rows; ++r)
        for (int c = 0; c < result.columns; ++c)
            result.at(r, c) = applyBinary(instruction.op, stretchedElement(*a, r, c), stretchedElement(*b, r, c));
    left = Operand::ofArray(std::move(result));
}

void Evaluator::unary(const Instruction &instruction, const CellLocation &caller)
{
    Operand &top = m_stack.back();
    if (top.kind == Operand::Kind::Array || (instruction.arrayContext && isSeveralValues(top))) {
        ValueArray made;
        const ValueArray *values = arrayOf(top, made);
        if (!values) {
            top.setValue(Value::error(ErrorCode::Num));
            return;
        }
        ValueArray result(values->rows, values->columns);
        for (size_t k = 0; k < result.values.size(); ++k)
            result.values[k] = applyUnary(instruction.op, values->values[k]);
        top = Operand::ofArray(std::move(result));
        return;
    }
    top.setValue(applyUnary(instruction.op, scalar(top, caller)));
}

void Evaluator::referenceOperator(const Instruction &instruction)
{
    const bool isUnion = instruction.op == OpCode::Union;
    const int count = isUnion ? instruction.count : 2;
    const size_t base = m_stack.size() - count;
    std::vector<CellRange> areas;
    Value error;
    for (int i = 0; i < count && !error.isError(); ++i) {
        const Operand &operand = m_stack[base + i];
        if (operand.kind == Operand::Kind::Areas && isUnion)
            areas.insert(areas.end(), operand.areas().begin(), operand.areas().end());
        else if (operand.isReference())
            areas.push_back(operand.range);
        else
            error = operand.kind == Operand::Kind::Scalar && operand.value.isError() ? operand.value : Value::error(ErrorCode::Value);
    }
    Operand result;
    if (error.isError()) {
        result = Operand::of(error);
    } else if (isUnion) {
        result.kind = Operand::Kind::Areas;
        result.shape = std::make_shared<const std::vector<CellRange>>(std::move(areas));
    } else {
        const CellRange &a = areas[0], &b = areas[1];
        const bool intersect = instruction.op == OpCode::Intersect;
        if (a.sheet != b.sheet) {
            result = Operand::of(Value::error(intersect ? ErrorCode::Null : ErrorCode::Value));
        } else if (!intersect) {
            result = Operand::ofRange(CellRange{a.sheet, std::min(a.firstRow, b.firstRow), std::min(a.firstColumn, b.firstColumn),
                                                std::max(a.lastRow, b.lastRow), std::max(a.lastColumn, b.lastColumn)});
        } else {
            const CellRange shared{a.sheet, std::max(a.firstRow, b.firstRow), std::max(a.firstColumn, b.firstColumn),
                                   std::min(a.lastRow, b.lastRow), std::min(a.lastColumn, b.lastColumn)};
            result = shared.rows() > 0 && shared.columns() > 0 ? Operand::ofRange(shared) : Operand::of(Value::error(ErrorCode::Null));
        }
    }
    m_stack.resize(base);
    m_stack.push_back(std::move(result));
}

namespace {

char argumentKind(const FunctionInfo &info, int i)
{
    return info.argKinds.empty() ? 'a' : info.argKinds[std::min<size_t>(i, info.argKinds.size() - 1)];
}

bool takesOneValue(char kind)
{
    return kind != 'r' && kind != 'a' && kind != 'A';
}

} // namespace

Operand Evaluator::callEachElement(const FunctionInfo &info, Operand *operands, int count, const CellLocation &caller)
{
    int rows = 1, columns = 1;
    std::vector<int> lifted;
    for (int i = 0; i < count; ++i) {
        if (takesOneValue(argumentKind(info, i)) && isSeveralValues(operands[i])) {
            const auto [r, c] = shapeOf(operands[i]);
            rows = stretched(rows, r);
            columns = stretched(columns, c);
            lifted.push_back(i);
        }
    }
    if (static_cast<size_t>(rows) * static_cast<size_t>(columns) > maxArrayValues)
        return Operand::of(Value::error(ErrorCode::Num));
    std::vector<Operand> element(operands, operands + count);
    ValueArray result(rows, columns);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            for (int i : lifted)
                element[i] = Operand::of(elementAt(operands[i], r, c));
            FunctionArgs args(*this, caller, element.data(), count);
            Value v = info.impl(args);
            if (args.hasOperandResult())
                v = isSeveralValues(args.operandResult()) ? elementAt(args.operandResult(), r, c) : scalar(args.operandResult(), caller);
            result.at(r, c) = withinCellLimit(std::move(v));
        }
    }
    return Operand::ofArray(std::move(result));
}

void Evaluator::call(const CompiledFormula &formula, const Instruction &instruction, const CellLocation &caller)
{
    const int count = instruction.count;
    const size_t base = m_stack.size() - count;
    const int index = formula.functions[instruction.index];
    Value result;
    std::optional<Operand> operandResult; // an array or a reference, when the function gives one
    if (index < 0) {
        result = Value::error(ErrorCode::Name);
    } else {
        const FunctionInfo &info = functionInfo(index);
        if (count < info.minArgs || (info.maxArgs >= 0 && count > info.maxArgs)) {
            result = Value::error(ErrorCode::Value);
        } else {
            // Arguments that want a single value get one here, unless the call
            // is made once per element: over arrays, and over ranges where arrays are wanted.
            bool eachElement = false;
            for (int i = 0; i < count; ++i) {
                Operand &operand = m_stack[base + i];
                if (!takesOneValue(argumentKind(info, i)))
                    continue;
                if (operand.kind == Operand::Kind::Array || (instruction.arrayContext && isSeveralValues(operand)))
                    eachElement = eachElement || isSeveralValues(operand);
                else if (operand.kind != Operand::Kind::Scalar && operand.kind != Operand::Kind::Missing)
                    operand.setValue(scalar(operand, caller));
            }
            if (eachElement) {
                operandResult = callEachElement(info, m_stack.data() + base, count, caller);
            } else {
                FunctionArgs args(*this, caller, m_stack.data() + base, count);
                result = withinCellLimit(info.impl(args));
                if (args.hasOperandResult())
                    operandResult = std::move(args.operandResult());
            }
        }
    }
    // The result takes the place of the first argument.
    if (count == 0)
        m_stack.emplace_back();
    else
        m_stack.resize(base + 1);
    if (operandResult)
        m_stack[base] = std::move(*operandResult);
    else
        m_stack[base].setValue(std::move(result));
}

void Evaluator::markArrayContext(CompiledFormula &formula, bool arrayFormula)
{
    auto &code = formula.program.code;
    if (arrayFormula) {
        for (Instruction &instruction : code)
            instruction.arrayContext = true;
        return;
    }
    // Where each value on the stack began in the code: an argument's
    // instructions run from its start to the next argument's.
    std::vector<size_t> starts;
    for (size_t i = 0; i < code.size(); ++i) {
        const Instruction &instruction = code[i];
        switch (instruction.op) {
        case OpCode::PushValue:
        case OpCode::PushRange:
        case OpCode::PushName:
        case OpCode::PushMissing:
        case OpCode::PushArray:
            starts.push_back(i);
            break;
        case OpCode::Negate:
        case OpCode::Percent:
            break;
        case OpCode::Call:
        case OpCode::Union: {
            const size_t count = instruction.count;
            const size_t first = starts.size() - count;
            const int function = instruction.op == OpCode::Call ? formula.functions[instruction.index] : -1;
            for (size_t k = 0; k < count && function >= 0; ++k) {
                if (argumentKind(functionInfo(function), static_cast<int>(k)) != 'A')
                    continue;
                const size_t end = k + 1 < count ? starts[first + k + 1] : i;
                for (size_t j = starts[first + k]; j < end; ++j)
                    code[j].arrayContext = true;
            }
            const size_t start = count > 0 ? starts[first] : i;
            starts.resize(first);
            starts.push_back(start);
            break;
        }
        default: // two operands give one
            starts.pop_back();
            break;
        }
    }
}

Operand Evaluator::nameValue(const CompiledFormula &named, const CellLocation &caller, int depth)
{
    // RAND() in a name draws anew at every use.
    if (named.isVolatile)
        return run(named, caller, depth);
    for (const NameValue &known : m_nameValues)
        if (known.named == &named && known.depth == depth)
            return known.value;
    Operand value = run(named, caller, depth);
    m_nameValues.push_back(NameValue{&named, depth, value});
    return value;
}

Operand Evaluator::run(const CompiledFormula &formula, const CellLocation &caller, int depth)
{
    const size_t base = m_stack.size();
    for (const Instruction &instruction : formula.program.code) {
        switch (instruction.op) {
        case OpCode::PushValue:
            m_stack.emplace_back().value = formula.program.constants[instruction.index];
            break;
        case OpCode::PushRange: {
            Operand operand;
            operand.range = formula.ranges[instruction.index];
            operand.cell = formula.cells[instruction.index];
            if (operand.range.sheet < 0) {
                operand.value = Value::error(ErrorCode::Ref);
            } else {
                operand.kind = operand.cell != noCell ? Operand::Kind::Cell : Operand::Kind::Range;
            }
            m_stack.push_back(std::move(operand));
            break;
        }
        case OpCode::PushName: {
            const CompiledFormula *named =
                depth < maxNameDepth ? m_workbook.findName(formula.program.names[instruction.index], caller.sheet) : nullptr;
            if (named) {
                m_stack.push_back(nameValue(*named, caller, depth + 1));
            } else {
                Operand operand;
                operand.value = Value::error(ErrorCode::Name);
                m_stack.push_back(std::move(operand));
            }
            break;
        }
        case OpCode::PushMissing: {
            Operand operand;
            operand.kind = Operand::Kind::Missing;
            m_stack.push_back(std::move(operand));
            break;
        }
        case OpCode::PushArray: {
            Operand operand;
            operand.kind = Operand::Kind::Array;
            operand.shape = formula.arrays[instruction.index];
            m_stack.push_back(std::move(operand));
            break;
        }
        case OpCode::Negate:
        case OpCode::Percent:
            unary(instruction, caller);
            break;
        case OpCode::Call:
            call(formula, instruction, caller);
            break;
        case OpCode::RangeOf:
        case OpCode::Intersect:
        case OpCode::Union:
            referenceOperator(instruction);
            break;
        default:
            binary(instruction, caller);
            break;
        }
    }
    Operand result = m_stack.size() > base ? std::move(m_stack.back()) : Operand();
    m_stack.resize(base);
    return result;
}

} // namespace workbook
