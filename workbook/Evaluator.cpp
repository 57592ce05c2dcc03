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
    return isRange(i) ? m_operands[i].range.rows() : 1;
}

int FunctionArgs::columns(int i) const
{
    return isRange(i) ? m_operands[i].range.columns() : 1;
}

Value FunctionArgs::at(int i, int row, int column)
{
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
    }
}

void FunctionArgs::forEachCell(int i, const std::function<void(int, int, const Value &)> &visit)
{
    if (!isRange(i))
        return;
    const CellRange &range = m_operands[i].range;
    m_workbook.forEachValueIn(range, m_evaluator.values(), [&](int row, int column, const Value &v) {
        visit(row - range.firstRow, column - range.firstColumn, v);
    });
}

int FunctionArgs::nextStored(int i, int from, bool alongRow) const
{
    if (!isRange(i))
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
    return withinCellLimit(scalar(result, caller));
}

void Evaluator::call(const CompiledFormula &formula, const Instruction &instruction, const CellLocation &caller)
{
    const int count = instruction.count;
    const size_t base = m_stack.size() - count;
    const int index = formula.functions[instruction.index];
    Value result;
    if (index < 0) {
        result = Value::error(ErrorCode::Name);
    } else {
        const FunctionInfo &info = functionInfo(index);
        if (count < info.minArgs || (info.maxArgs >= 0 && count > info.maxArgs)) {
            result = Value::error(ErrorCode::Value);
        } else {
            // Arguments that want a single value get one here.
            for (int i = 0; i < count; ++i) {
                const char kind = info.argKinds.empty() ? 'a' : info.argKinds[std::min<size_t>(i, info.argKinds.size() - 1)];
                Operand &operand = m_stack[base + i];
                if (kind != 'r' && kind != 'a' && (operand.kind == Operand::Kind::Cell || operand.kind == Operand::Kind::Range)) {
                    operand.value = scalar(operand, caller);
                    operand.kind = Operand::Kind::Scalar;
                }
            }
            FunctionArgs args(*this, caller, m_stack.data() + base, count);
            result = withinCellLimit(info.impl(args));
        }
    }
    m_stack.resize(base);
    Operand pushed;
    pushed.value = std::move(result);
    m_stack.push_back(std::move(pushed));
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
        case OpCode::PushValue: {
            Operand operand;
            operand.value = formula.program.constants[instruction.index];
            m_stack.push_back(std::move(operand));
            break;
        }
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
        case OpCode::Negate:
        case OpCode::Percent: {
            Operand &top = m_stack.back();
            const Value v = scalar(top, caller);
            double x = 0;
            ErrorCode error = ErrorCode::Value;
            top.kind = Operand::Kind::Scalar;
            if (!toNumber(v, x, error))
                top.value = Value::error(error);
            else
                top.value = Value::number(instruction.op == OpCode::Negate ? -x : x / 100);
            break;
        }
        case OpCode::Call:
            call(formula, instruction, caller);
            break;
        default: {
            const Value b = scalar(m_stack.back(), caller);
            m_stack.pop_back();
            Operand &top = m_stack.back();
            const Value a = scalar(top, caller);
            top.kind = Operand::Kind::Scalar;
            if (a.isError()) {
                top.value = a;
            } else if (b.isError()) {
                top.value = b;
            } else if (instruction.op == OpCode::Concatenate) {
                // Text longer than a cell holds is #VALUE!, so doubling chains cannot exhaust memory.
                top.value = textValue(toText(a) + toText(b));
            } else if (instruction.op >= OpCode::Equal && instruction.op <= OpCode::GreaterEqual) {
                top.value = Value::boolean(comparisonHolds(instruction.op, compareValues(a, b)));
            } else {
                double x = 0, y = 0;
                ErrorCode error = ErrorCode::Value;
                if (!toNumber(a, x, error) || !toNumber(b, y, error))
                    top.value = Value::error(error);
                else
                    top.value = arithmetic(instruction.op, x, y);
            }
            break;
        }
        }
    }
    Operand result = m_stack.size() > base ? std::move(m_stack.back()) : Operand();
    m_stack.resize(base);
    return result;
}

} // namespace workbook
