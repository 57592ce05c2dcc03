#include "RowsColumns.h"

#include "FormulaParser.h"

#include <algorithm>

namespace workbook {

std::optional<std::pair<int, int>> RowsColumnsChange::moveSpan(int from, int to) const
{
    if (to < first || count == 0)
        return std::make_pair(from, to);
    if (count > 0) {
        const int movedFrom = from >= first ? from + count : from;
        if (movedFrom >= limit())
            return std::nullopt;
        return std::make_pair(movedFrom, std::min(to + count, limit() - 1));
    }
    const int last = first - count - 1; // the last one deleted
    if (from > last)
        return std::make_pair(from + count, to + count);
    if (from >= first && to <= last)
        return std::nullopt;
    return std::make_pair(from < first ? from : first, to > last ? to + count : first - 1);
}

std::optional<CellRange> RowsColumnsChange::moveRange(const CellRange &range) const
{
    CellRange moved = range;
    const bool rows = axis == Axis::Rows;
    const auto span = rows ? moveSpan(range.firstRow, range.lastRow) : moveSpan(range.firstColumn, range.lastColumn);
    if (!span)
        return std::nullopt;
    (rows ? moved.firstRow : moved.firstColumn) = span->first;
    (rows ? moved.lastRow : moved.lastColumn) = span->second;
    return moved;
}

bool Workbook::restructure(SheetIndex sheet, const RowsColumnsChange &change, std::string *message)
{
    const bool rows = change.axis == RowsColumnsChange::Axis::Rows;
    if (sheet < 0 || sheet >= sheetCount() || change.count == 0 || change.first < 0 || change.first >= change.limit()
        || change.first - std::min(change.count, 0) > change.limit()) {
        if (message)
            *message = "There are no such rows or columns";
        return false;
    }
    struct Content
    {
        CellLocation where;
        CellInput input;
        Value shown;
    };
    std::vector<Content> cells;
    bool pushedOff = false;
    for (SheetIndex s = 0; s < sheetCount(); ++s) {
        forEachCell(s, [&](int row, int column) {
            const CellLocation where{s, row, column};
            cells.push_back({where, input(where), m_values[findCell(s, row, column)]});
            if (s == sheet && change.count > 0 && (rows ? row : column) >= change.limit() - change.count)
                pushedOff = true;
        });
    }
    if (pushedOff) {
        // Nothing a user entered falls off the sheet's edge.
        if (message)
            *message = rows ? "Inserting would push filled cells off the bottom of the sheet"
                            : "Inserting would push filled cells off the right edge of the sheet";
        return false;
    }
    const std::string changedName = sheetName(sheet);
    const auto moved = [&](const std::string &formula, SheetIndex own) {
        return moveReferences(formula, change, [&](const std::string &named) {
            return named.empty() ? own == sheet : findSheet(named) == sheet;
        });
    };
    // Formulas go first and come back last: no write on the way wakes a formula
    // that is about to move anyway.
    std::stable_partition(cells.begin(), cells.end(), [](const Content &cell) { return cell.input.isFormula; });
    for (const Content &cell : cells)
        clearCell(cell.where);
    std::stable_partition(cells.begin(), cells.end(), [](const Content &cell) { return !cell.input.isFormula; });
    for (const Content &cell : cells) {
        CellLocation to = cell.where;
        if (to.sheet == sheet) {
            int &position = rows ? to.row : to.column;
            const auto span = change.moveSpan(position, position);
            if (!span)
                continue;
            position = span->first;
        }
        if (!cell.input.isFormula) {
            setValue(to, cell.input.constant);
            continue;
        }
        const std::string text = moved(cell.input.formula, cell.where.sheet);
        // A formula that no longer compiles still keeps its text and last result.
        if (cell.input.isKept || !setFormula(to, text))
            setKeptFormula(to, text, cell.shown);
    }
    // A name without a sheet in its references means the sheet it is used on: it stays as it is.
    const std::vector<DefinedName> names = m_names;
    for (const DefinedName &name : names) {
        const std::string expression = moved(name.expression, -1);
        if (expression != name.expression)
            defineName(name.name, expression, name.scope);
    }
    if (!rows) {
        std::map<int, double> widths;
        for (const auto &[column, width] : m_sheets[sheet].columnWidths)
            if (const auto span = change.moveSpan(column, column))
                widths[span->first] = width;
        m_sheets[sheet].columnWidths = std::move(widths);
    }
    m_formats.moveRowsOrColumns(sheet, rows, [&change](int from, int to) { return change.moveSpan(from, to); });
    recalculateAll();
    return true;
}

} // namespace workbook
