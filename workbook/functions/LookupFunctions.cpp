#include "Families.h"

namespace workbook::functions {

namespace {

// Position (0-based) of `wanted` among `count` values read by `at`, empty
// ones skipped (`next` gives the next offset that may hold one).
// Exact matching allows wildcards in text; approximate matching takes the
// last value not greater (ascending) or not smaller (descending) than wanted.
template <typename At, typename Next>
int findPosition(const Value &wanted, int count, At at, Next next, int mode)
{
    int best = -1;
    for (int k = next(0); k < count; k = next(k + 1)) {
        const Value v = at(k);
        if (v.isEmpty() || v.isError())
            continue;
        if (mode == 0) {
            if (wanted.isText() && v.isText()) {
                if (wildcardMatch(v.asText(), wanted.asText()))
                    return k;
            } else if (v.type() == wanted.type() && compareValues(v, wanted) == 0) {
                return k;
            }
            continue;
        }
        if (v.type() != wanted.type())
            continue;
        const int order = compareValues(v, wanted);
        if (order == 0)
            return k;
        if (mode > 0 ? order < 0 : order > 0)
            best = k;
        else
            break; // sorted data: nothing further can match
    }
    return best;
}

template <bool Vertical>
Value tableLookup(FunctionArgs &args)
{
    const Value wanted = args.value(0);
    if (wanted.isError())
        return wanted;
    const double index = std::trunc(args.number(2));
    const bool approximate = args.boolean(3, true);
    if (args.failed())
        return args.failure();
    const int along = Vertical ? args.rows(1) : args.columns(1);
    const int across = Vertical ? args.columns(1) : args.rows(1);
    if (index < 1)
        return Value::error(ErrorCode::Value);
    if (index > across)
        return Value::error(ErrorCode::Ref);
    const int k = findPosition(wanted, along,
                               [&](int i) { return Vertical ? args.at(1, i, 0) : args.at(1, 0, i); },
                               [&](int from) { return args.nextStored(1, from, !Vertical); }, approximate ? 1 : 0);
    if (k < 0)
        return Value::error(ErrorCode::NA);
    const int other = static_cast<int>(index) - 1;
    return Vertical ? args.at(1, k, other) : args.at(1, other, k);
}

Value match(FunctionArgs &args)
{
    const Value wanted = args.value(0);
    if (wanted.isError())
        return wanted;
    const double mode = args.number(2, 1);
    if (args.failed())
        return args.failure();
    const int rows = args.rows(1), columns = args.columns(1);
    if (rows > 1 && columns > 1)
        return Value::error(ErrorCode::NA);
    const int count = std::max(rows, columns);
    const int k = findPosition(wanted, count,
                               [&](int i) { return rows > 1 ? args.at(1, i, 0) : args.at(1, 0, i); },
                               [&](int from) { return args.nextStored(1, from, rows == 1); }, mode > 0 ? 1 : mode < 0 ? -1 : 0);
    return k < 0 ? Value::error(ErrorCode::NA) : Value::number(k + 1);
}

Value index(FunctionArgs &args)
{
    double row = args.number(1, 0);
    double column = args.number(2, 0);
    if (args.failed())
        return args.failure();
    const int rows = args.rows(0), columns = args.columns(0);
    // One row or column may be indexed by a single number.
    if (!args.has(2) && rows == 1 && columns > 1) {
        column = row;
        row = 1;
    }
    if (row < 0 || column < 0 || row > rows || column > columns)
        return Value::error(ErrorCode::Ref);
    if (row == 0 && rows > 1)
        return Value::error(ErrorCode::Value);
    if (column == 0 && columns > 1)
        return Value::error(ErrorCode::Value);
    return args.at(0, std::max(0, static_cast<int>(row) - 1), std::max(0, static_cast<int>(column) - 1));
}

template <bool Row>
Value position(FunctionArgs &args)
{
    if (!args.has(0))
        return Value::number((Row ? args.caller().row : args.caller().column) + 1);
    if (!args.isRange(0))
        return Value::error(ErrorCode::Value);
    const CellRange &range = args.operand(0).range;
    return Value::number((Row ? range.firstRow : range.firstColumn) + 1);
}

template <bool Rows>
Value extent(FunctionArgs &args)
{
    const Value v = args.isRange(0) ? Value() : args.value(0);
    if (v.isError())
        return v;
    return Value::number(Rows ? args.rows(0) : args.columns(0));
}

} // namespace

const std::vector<FunctionInfo> &lookupFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"VLOOKUP", 3, 4, "vrnb", tableLookup<true>},
        {"HLOOKUP", 3, 4, "vrnb", tableLookup<false>},
        {"MATCH", 2, 3, "vrn", match},
        {"INDEX", 2, 3, "rnn", index},
        {"ROW", 0, 1, "r", position<true>},
        {"COLUMN", 0, 1, "r", position<false>},
        {"ROWS", 1, 1, "r", extent<true>},
        {"COLUMNS", 1, 1, "r", extent<false>},
    };
    return functions;
}

} // namespace workbook::functions
