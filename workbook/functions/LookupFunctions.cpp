#include "Families.h"

#include <algorithm>

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

// LOOKUP: approximate matching in sorted data. With a result vector, the
// value at the same position in it; without, a table is searched along its
// longer side (its first row when wider than tall, else its first column)
// and the value taken from its last row or column.
Value lookup(FunctionArgs &args)
{
    const Value wanted = args.value(0);
    if (wanted.isError())
        return wanted;
    const int rows = args.rows(1), columns = args.columns(1);
    const bool alongRow = rows < columns;
    const int count = alongRow ? columns : rows;
    const int k = findPosition(wanted, count,
                               [&](int i) { return alongRow ? args.at(1, 0, i) : args.at(1, i, 0); },
                               [&](int from) { return args.nextStored(1, from, alongRow); }, 1);
    if (k < 0)
        return Value::error(ErrorCode::NA);
    if (!args.has(2))
        return alongRow ? args.at(1, rows - 1, k) : args.at(1, k, columns - 1);
    const int resultRows = args.rows(2), resultColumns = args.columns(2);
    if (resultRows > 1 && resultColumns > 1)
        return Value::error(ErrorCode::NA);
    return resultRows > 1 ? args.at(2, k, 0) : args.at(2, 0, k);
}

// The XLOOKUP and XMATCH search over a row or column: match mode 0 exact,
// -1 exact or the next smaller, 1 exact or the next larger, 2 wildcards;
// search mode 1 first to last, -1 last to first (2 and -2, binary searches
// of sorted data, find what a full search finds there). -1 when nothing
// matches; false (the call failed) on bad modes or a two-dimensional array.
bool xFind(FunctionArgs &args, const Value &wanted, int arrayArg, double matchMode, double searchMode, int &found)
{
    const int rows = args.rows(arrayArg), columns = args.columns(arrayArg);
    if ((rows > 1 && columns > 1) || (matchMode != 0 && matchMode != -1 && matchMode != 1 && matchMode != 2)
        || (searchMode != 1 && searchMode != -1 && searchMode != 2 && searchMode != -2)) {
        args.fail(ErrorCode::Value);
        return false;
    }
    const bool alongRow = rows == 1 && columns > 1;
    const int count = alongRow ? columns : rows;
    // Only stored cells can match: a whole column costs what it holds.
    std::vector<int> offsets;
    for (int k = args.nextStored(arrayArg, 0, alongRow); k < count; k = args.nextStored(arrayArg, k + 1, alongRow))
        offsets.push_back(k);
    if (searchMode < 0)
        std::reverse(offsets.begin(), offsets.end());
    found = -1;
    Value best;
    for (const int k : offsets) {
        const Value v = alongRow ? args.at(arrayArg, 0, k) : args.at(arrayArg, k, 0);
        if (v.isEmpty() || v.isError())
            continue;
        if (matchMode == 2 && wanted.isText() && v.isText()) {
            if (wildcardMatch(v.asText(), wanted.asText())) {
                found = k;
                return true;
            }
            continue;
        }
        if (v.type() != wanted.type())
            continue;
        const int order = compareValues(v, wanted);
        if (order == 0) {
            found = k;
            return true;
        }
        // The nearest value on the side the mode allows, the first of equals.
        const bool allowed = (matchMode == -1 && order < 0) || (matchMode == 1 && order > 0);
        if (allowed && (found < 0 || (matchMode == -1 ? compareValues(v, best) > 0 : compareValues(v, best) < 0))) {
            found = k;
            best = v;
        }
    }
    return true;
}

Value xLookup(FunctionArgs &args)
{
    const Value wanted = args.value(0);
    if (wanted.isError())
        return wanted;
    const double matchMode = std::trunc(args.number(4, 0)), searchMode = std::trunc(args.number(5, 1));
    if (args.failed())
        return args.failure();
    const int lookupRows = args.rows(1), lookupColumns = args.columns(1);
    const int resultRows = args.rows(2), resultColumns = args.columns(2);
    const bool alongRow = lookupRows == 1 && lookupColumns > 1;
    // One value comes back: the result array must run beside the lookup array, one cell deep.
    if (alongRow ? (resultColumns != lookupColumns || resultRows != 1) : (resultRows != lookupRows || resultColumns != 1))
        return Value::error(ErrorCode::Value);
    int k;
    if (!xFind(args, wanted, 1, matchMode, searchMode, k))
        return args.failure();
    if (k < 0)
        return args.has(3) ? args.value(3) : Value::error(ErrorCode::NA);
    return alongRow ? args.at(2, 0, k) : args.at(2, k, 0);
}

Value xMatch(FunctionArgs &args)
{
    const Value wanted = args.value(0);
    if (wanted.isError())
        return wanted;
    const double matchMode = std::trunc(args.number(2, 0)), searchMode = std::trunc(args.number(3, 1));
    if (args.failed())
        return args.failure();
    int k;
    if (!xFind(args, wanted, 1, matchMode, searchMode, k))
        return args.failure();
    return k < 0 ? Value::error(ErrorCode::NA) : Value::number(k + 1);
}

// A cell, or with 0 for the row or column a whole column or row, of a
// reference (a reference again, usable where a range is) or of an array.
Value index(FunctionArgs &args)
{
    double row = std::trunc(args.number(1, 0));
    double column = std::trunc(args.number(2, 0));
    const double area = std::trunc(args.number(3, 1));
    if (args.failed())
        return args.failure();
    const std::vector<CellRange> areas = args.areas(0);
    if (area < 1 || area > std::max<double>(1, static_cast<double>(areas.size())))
        return Value::error(ErrorCode::Ref);
    const CellRange range = areas.empty() ? CellRange() : areas[static_cast<size_t>(area) - 1];
    const int rows = areas.empty() ? args.rows(0) : range.rows();
    const int columns = areas.empty() ? args.columns(0) : range.columns();
    // One row or column may be indexed by a single number.
    if (!args.has(2) && rows == 1 && columns > 1) {
        column = row;
        row = 1;
    }
    if (row < 0 || column < 0 || row > rows || column > columns)
        return Value::error(ErrorCode::Ref);
    const int firstRow = row == 0 ? 0 : static_cast<int>(row) - 1, lastRow = row == 0 ? rows - 1 : firstRow;
    const int firstColumn = column == 0 ? 0 : static_cast<int>(column) - 1, lastColumn = column == 0 ? columns - 1 : firstColumn;
    if (!areas.empty())
        return args.returnReference(CellRange{range.sheet, range.firstRow + firstRow, range.firstColumn + firstColumn,
                                              range.firstRow + lastRow, range.firstColumn + lastColumn});
    if (firstRow == lastRow && firstColumn == lastColumn)
        return args.at(0, firstRow, firstColumn);
    ValueArray part(lastRow - firstRow + 1, lastColumn - firstColumn + 1);
    for (int r = 0; r < part.rows; ++r)
        for (int c = 0; c < part.columns; ++c)
            part.at(r, c) = args.at(0, firstRow + r, firstColumn + c);
    return args.returnArray(std::move(part));
}

// The reference moved by rows and columns, of the same or a given size.
Value offset(FunctionArgs &args)
{
    if (!args.isReference(0))
        return Value::error(ErrorCode::Value);
    const CellRange &from = args.operand(0).range;
    const double rows = std::trunc(args.number(1)), columns = std::trunc(args.number(2));
    const double height = std::trunc(args.number(3, from.rows())), width = std::trunc(args.number(4, from.columns()));
    if (args.failed())
        return args.failure();
    if (height < 1 || width < 1 || std::abs(rows) > maxRows || std::abs(columns) > maxColumns || height > maxRows
        || width > maxColumns)
        return Value::error(ErrorCode::Ref);
    const int firstRow = from.firstRow + static_cast<int>(rows), firstColumn = from.firstColumn + static_cast<int>(columns);
    return args.returnReference(
        CellRange{from.sheet, firstRow, firstColumn, firstRow + static_cast<int>(height) - 1, firstColumn + static_cast<int>(width) - 1});
}

// The reference a text names: "B3", "A1:C4", "Sheet2!A1", "'My sheet'!B2:B9".
Value indirect(FunctionArgs &args)
{
    const std::string text = args.text(0);
    const bool a1 = args.boolean(1, true);
    if (args.failed())
        return args.failure();
    const auto reference = a1 ? parseRangeReference(text) : std::nullopt;
    if (!reference)
        return Value::error(ErrorCode::Ref);
    const SheetIndex sheet = reference->sheet.empty() ? args.caller().sheet : args.findSheet(reference->sheet);
    return args.returnReference(
        CellRange{sheet, reference->first.row, reference->first.column, reference->last.row, reference->last.column});
}

Value areasOf(FunctionArgs &args)
{
    const size_t count = args.areas(0).size();
    return count > 0 ? Value::number(static_cast<double>(count)) : Value::error(ErrorCode::Value);
}

Value isReference(FunctionArgs &args)
{
    return Value::boolean(!args.areas(0).empty());
}

// The text of a cell's address: ADDRESS(2,3) is "$C$2", ADDRESS(2,3,4,FALSE) "R[2]C[3]".
Value address(FunctionArgs &args)
{
    const double row = std::trunc(args.number(0)), column = std::trunc(args.number(1));
    const double kind = std::trunc(args.number(2, 1));
    const bool a1 = args.boolean(3, true);
    const std::string sheet = args.has(4) ? args.text(4) : std::string();
    if (args.failed())
        return args.failure();
    if (row < 1 || row > maxRows || column < 1 || column > maxColumns || kind < 1 || kind > 4)
        return Value::error(ErrorCode::Value);
    const bool rowAbsolute = kind == 1 || kind == 2, columnAbsolute = kind == 1 || kind == 3;
    std::string text;
    if (a1) {
        text = cellText(CellPosition{static_cast<int>(row) - 1, static_cast<int>(column) - 1, rowAbsolute, columnAbsolute});
    } else {
        const auto part = [](char letter, double n, bool absolute) {
            const std::string digits = std::to_string(static_cast<long long>(n));
            return std::string(1, letter) + (absolute ? digits : "[" + digits + "]");
        };
        text = part('R', row, rowAbsolute) + part('C', column, columnAbsolute);
    }
    return textValue(sheet.empty() ? text : quotedSheetName(sheet) + "!" + text);
}

template <bool Row>
Value position(FunctionArgs &args)
{
    if (!args.has(0))
        return Value::number((Row ? args.caller().row : args.caller().column) + 1);
    if (!args.isReference(0))
        return Value::error(ErrorCode::Value);
    const CellRange &range = args.operand(0).range;
    const int count = Row ? range.rows() : range.columns();
    if (count == 1)
        return Value::number((Row ? range.firstRow : range.firstColumn) + 1);
    // Every row (column) number, for SUMPRODUCT(--(MOD(ROW(A1:A9),2)=0)); where one value is wanted, the first.
    ValueArray numbers(Row ? count : 1, Row ? 1 : count);
    for (int k = 0; k < count; ++k)
        numbers.values[k] = Value::number((Row ? range.firstRow : range.firstColumn) + k + 1);
    return args.returnArray(std::move(numbers));
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
        {"LOOKUP", 2, 3, "vrr", lookup},
        {"XLOOKUP", 3, 6, "vrrvnn", xLookup},
        {"XMATCH", 2, 4, "vrnn", xMatch},
        {"INDEX", 2, 4, "rnnn", index},
        {"OFFSET", 3, 5, "rnnnn", offset, true, true},
        {"INDIRECT", 1, 2, "tb", indirect, true, true},
        {"AREAS", 1, 1, "r", areasOf},
        {"ISREF", 1, 1, "r", isReference},
        {"ADDRESS", 2, 5, "nnnbt", address},
        {"ROW", 0, 1, "r", position<true>},
        {"COLUMN", 0, 1, "r", position<false>},
        {"ROWS", 1, 1, "r", extent<true>},
        {"COLUMNS", 1, 1, "r", extent<false>},
    };
    return functions;
}

} // namespace workbook::functions
