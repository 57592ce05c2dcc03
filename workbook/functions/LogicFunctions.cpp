#include "Families.h"

namespace workbook::functions {

namespace {

// AND, OR and XOR read booleans and numbers; text in ranges is skipped,
// text written in the call is an error, and no logical value at all is #VALUE!.
enum class Combine { All, Any, Odd };
template <Combine Mode>
Value logical(FunctionArgs &args)
{
    int seen = 0, trues = 0;
    for (int i = 0; i < args.count() && !args.failed(); ++i) {
        args.forEachValue(i, [&](const Value &v, bool fromReference) {
            if (v.isError()) {
                args.fail(v.asError());
            } else if (v.isNumber() || v.isBoolean()) {
                ++seen;
                trues += v.asNumber() != 0;
            } else if (v.isText() && !fromReference) {
                const std::string folded = foldCase(v.asText());
                if (folded == "true" || folded == "false") {
                    ++seen;
                    trues += folded == "true";
                } else {
                    args.fail(ErrorCode::Value);
                }
            }
        });
    }
    if (args.failed())
        return args.failure();
    if (seen == 0)
        return Value::error(ErrorCode::Value);
    switch (Mode) {
    case Combine::All:
        return Value::boolean(trues == seen);
    case Combine::Any:
        return Value::boolean(trues > 0);
    case Combine::Odd:
        return Value::boolean(trues % 2 == 1);
    }
    return Value();
}

Value notFunction(FunctionArgs &args)
{
    const bool b = args.boolean(0);
    return args.failed() ? args.failure() : Value::boolean(!b);
}

Value ifFunction(FunctionArgs &args)
{
    const bool condition = args.boolean(0);
    if (args.failed())
        return args.failure();
    // The branch as it came, a reference too: SUM(IF(x,A1:A3,B1:B3)).
    // A left-out one gives 0 (IF(TRUE,) is 0); an absent one FALSE.
    return args.returnArgument(condition ? 1 : 2);
}

Value ifs(FunctionArgs &args)
{
    if (args.count() % 2 != 0)
        return Value::error(ErrorCode::Value);
    for (int i = 0; i < args.count(); i += 2) {
        const bool condition = args.boolean(i);
        if (args.failed())
            return args.failure();
        if (condition)
            return args.value(i + 1);
    }
    return Value::error(ErrorCode::NA);
}

Value ifError(FunctionArgs &args)
{
    const Value v = args.value(0);
    return v.isError() ? args.value(1) : v;
}

Value ifNa(FunctionArgs &args)
{
    const Value v = args.value(0);
    return v.isError() && v.asError() == ErrorCode::NA ? args.value(1) : v;
}

Value switchFunction(FunctionArgs &args)
{
    const Value subject = args.value(0);
    if (subject.isError())
        return subject;
    int i = 1;
    for (; i + 1 < args.count(); i += 2) {
        const Value candidate = args.value(i);
        if (candidate.isError())
            return candidate;
        if (candidate.type() == subject.type() && compareValues(candidate, subject) == 0)
            return args.value(i + 1);
    }
    return i < args.count() ? args.value(i) : Value::error(ErrorCode::NA);
}

Value choose(FunctionArgs &args)
{
    const double index = std::trunc(args.number(0));
    if (args.failed())
        return args.failure();
    if (index < 1 || index >= args.count())
        return Value::error(ErrorCode::Value);
    return args.returnArgument(static_cast<int>(index)); // a reference too: SUM(CHOOSE(2,A1:A2,B1:B2))
}

Value trueFunction(FunctionArgs &) { return Value::boolean(true); }
Value falseFunction(FunctionArgs &) { return Value::boolean(false); }

template <bool (*Test)(const Value &)>
Value is(FunctionArgs &args)
{
    return Value::boolean(Test(args.value(0)));
}

bool isBlank(const Value &v) { return v.isEmpty(); }
bool isErr(const Value &v) { return v.isError() && v.asError() != ErrorCode::NA; }
bool isError(const Value &v) { return v.isError(); }
bool isLogical(const Value &v) { return v.isBoolean(); }
bool isNa(const Value &v) { return v.isError() && v.asError() == ErrorCode::NA; }
bool isNumber(const Value &v) { return v.isNumber(); }
bool isText(const Value &v) { return v.isText(); }

template <bool Odd>
Value parity(FunctionArgs &args)
{
    const Value v = args.value(0);
    if (v.isError())
        return v;
    if (v.isBoolean())
        return Value::error(ErrorCode::Value);
    const double x = args.number(0);
    if (args.failed())
        return args.failure();
    const bool odd = std::fmod(std::fabs(std::trunc(x)), 2) == 1;
    return Value::boolean(odd == Odd);
}

Value nFunction(FunctionArgs &args)
{
    const Value v = args.value(0);
    if (v.isError())
        return v;
    return Value::number(v.isNumber() || v.isBoolean() ? v.asNumber() : 0);
}

Value na(FunctionArgs &) { return Value::error(ErrorCode::NA); }

Value type(FunctionArgs &args)
{
    if (args.isRange(0) && (args.rows(0) > 1 || args.columns(0) > 1))
        return Value::number(64);
    const Value v = args.value(0);
    switch (v.type()) {
    case ValueType::Text:
        return Value::number(2);
    case ValueType::Boolean:
        return Value::number(4);
    case ValueType::Error:
        return Value::number(16);
    default:
        return Value::number(1);
    }
}

bool isNonText(const Value &v) { return !v.isText(); }

// The number of an error, #NULL! 1 to #N/A 7; #N/A for anything else.
Value errorType(FunctionArgs &args)
{
    const Value v = args.value(0);
    if (!v.isError() || v.asError() == ErrorCode::Circular)
        return Value::error(ErrorCode::NA);
    return Value::number(static_cast<int>(v.asError()) + 1);
}

Value isFormula(FunctionArgs &args)
{
    if (!args.isRange(0))
        return Value::error(ErrorCode::Value);
    const CellRange &range = args.operand(0).range;
    return Value::boolean(args.workbook().hasFormula({range.sheet, range.firstRow, range.firstColumn}));
}

// SHEET: the number of the sheet a reference (or a sheet's name) is on, the
// caller's without an argument.
Value sheet(FunctionArgs &args)
{
    if (!args.has(0))
        return Value::number(args.caller().sheet + 1);
    if (args.isRange(0))
        return Value::number(args.operand(0).range.sheet + 1);
    const Value v = args.value(0);
    if (v.isError())
        return v;
    const SheetIndex found = v.isText() ? args.workbook().findSheet(v.asText()) : -1;
    return found < 0 ? Value::error(ErrorCode::NA) : Value::number(found + 1);
}

// SHEETS: how many sheets a reference spans (one here), all of them without one.
Value sheets(FunctionArgs &args)
{
    if (!args.has(0))
        return Value::number(args.workbook().sheetCount());
    return args.isRange(0) ? Value::number(1) : Value::error(ErrorCode::Ref);
}

} // namespace

const std::vector<FunctionInfo> &logicFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"AND", 1, 255, "a", logical<Combine::All>},
        {"OR", 1, 255, "a", logical<Combine::Any>},
        {"XOR", 1, 255, "a", logical<Combine::Odd>},
        {"NOT", 1, 1, "b", notFunction},
        {"IF", 1, 3, "baa", ifFunction},
        {"IFS", 2, 254, "v", ifs},
        {"IFERROR", 2, 2, "vv", ifError},
        {"IFNA", 2, 2, "vv", ifNa},
        {"SWITCH", 3, 254, "v", switchFunction},
        {"CHOOSE", 2, 255, "na", choose},
        {"TRUE", 0, 0, "", trueFunction},
        {"FALSE", 0, 0, "", falseFunction},
        {"ISBLANK", 1, 1, "v", is<isBlank>},
        {"ISERR", 1, 1, "v", is<isErr>},
        {"ISERROR", 1, 1, "v", is<isError>},
        {"ISEVEN", 1, 1, "v", parity<false>},
        {"ISLOGICAL", 1, 1, "v", is<isLogical>},
        {"ISNA", 1, 1, "v", is<isNa>},
        {"ISNONTEXT", 1, 1, "v", is<isNonText>},
        {"ERROR.TYPE", 1, 1, "v", errorType},
        {"ISFORMULA", 1, 1, "r", isFormula},
        {"SHEET", 0, 1, "r", sheet},
        {"SHEETS", 0, 1, "r", sheets},
        {"ISNUMBER", 1, 1, "v", is<isNumber>},
        {"ISODD", 1, 1, "v", parity<true>},
        {"ISTEXT", 1, 1, "v", is<isText>},
        {"N", 1, 1, "v", nFunction},
        {"NA", 0, 0, "", na},
        {"TYPE", 1, 1, "a", type},
    };
    return functions;
}

} // namespace workbook::functions
