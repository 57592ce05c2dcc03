#include "Workbook.h"

#include "Evaluator.h"
#include "FormulaParser.h"
#include "format/ShownValue.h"

#include <algorithm>
#include <cctype>
#include <tuple>

namespace workbook {

namespace {

bool sameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string upperCase(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

} // namespace

Workbook::Workbook()
    : m_evaluator(std::make_unique<Evaluator>(*this, m_values))
{
}

Workbook::~Workbook()
{
    changing(true);
}

void Workbook::changing(bool closing)
{
    for (ConcurrentReader *reader : std::vector<ConcurrentReader *>(m_readers))
        reader->workbookChanging(closing);
}

SheetIndex Workbook::findSheet(std::string_view name) const
{
    for (size_t i = 0; i < m_sheets.size(); ++i) {
        if (sameNameIgnoringCase(m_sheets[i].name, name))
            return static_cast<SheetIndex>(i);
    }
    return -1;
}

SheetIndex Workbook::addSheet(const std::string &name)
{
    if (name.empty() || name.find_first_of(":\\/?*[]") != std::string::npos || findSheet(name) >= 0)
        return -1;
    changing();
    m_sheets.push_back(Sheet{name, {}, {}});
    // References to a sheet of this name that did not exist now resolve.
    compileNames();
    for (CellId id = 0; id < m_cells.size(); ++id) {
        if (m_cells[id].formula)
            recompile(id);
    }
    return static_cast<SheetIndex>(m_sheets.size() - 1);
}

CellId Workbook::findCell(SheetIndex sheet, int row, int column) const
{
    if (sheet < 0 || sheet >= sheetCount())
        return noCell;
    const auto &columns = m_sheets[sheet].columns;
    if (column < 0 || column >= static_cast<int>(columns.size()))
        return noCell;
    const auto &cells = columns[column];
    auto found = std::lower_bound(cells.begin(), cells.end(), row,
                                  [](const std::pair<int, CellId> &entry, int r) { return entry.first < r; });
    return found != cells.end() && found->first == row ? found->second : noCell;
}

CellId Workbook::obtainCell(const CellLocation &where)
{
    CellId existing = findCell(where.sheet, where.row, where.column);
    if (existing != noCell)
        return existing;
    auto &columns = m_sheets[where.sheet].columns;
    if (where.column >= static_cast<int>(columns.size()))
        columns.resize(where.column + 1);
    auto &cells = columns[where.column];
    auto position = std::lower_bound(cells.begin(), cells.end(), where.row,
                                     [](const std::pair<int, CellId> &entry, int r) { return entry.first < r; });
    const CellId id = static_cast<CellId>(m_cells.size());
    cells.insert(position, {where.row, id});
    m_cells.emplace_back();
    m_cells.back().where = where;
    m_values.emplace_back();
    return id;
}

void Workbook::forEachValueIn(const CellRange &range, const std::vector<Value> &values,
                              const std::function<void(int, int, const Value &)> &visit) const
{
    if (range.columns() == 1) {
        forEachCellIdIn(range, [&](int row, int column, CellId id) {
            if (!values[id].isEmpty())
                visit(row, column, values[id]);
        });
        return;
    }
    // Cells are stored by column; text joins and lookups want rows first.
    std::vector<std::tuple<int, int, CellId>> cells;
    forEachCellIdIn(range, [&](int row, int column, CellId id) {
        if (!values[id].isEmpty())
            cells.emplace_back(row, column, id);
    });
    std::sort(cells.begin(), cells.end());
    for (const auto &[row, column, id] : cells)
        visit(row, column, values[id]);
}

template <typename Visit>
void Workbook::forEachDependent(CellId cell, Visit visit) const
{
    for (CellId dependent : m_cells[cell].dependents)
        visit(dependent);
    const CellLocation &where = m_cells[cell].where;
    if (const std::vector<RangeListener> *filed = listenersOf(where.sheet, where.column)) {
        for (const RangeListener &listener : *filed)
            if (listener.range.contains(where.sheet, where.row, where.column))
                visit(listener.formulaCell);
    }
    for (const RangeListener &listener : m_wideListeners)
        if (listener.range.contains(where.sheet, where.row, where.column))
            visit(listener.formulaCell);
}

template <typename Visit>
void Workbook::forEachPrecedent(const CompiledFormula &formula, Visit visit) const
{
    for (size_t i = 0; i < formula.ranges.size(); ++i) {
        if (formula.cells[i] != noCell)
            visit(formula.cells[i]);
        else
            forEachCellIdIn(formula.ranges[i], [&visit](int, int, CellId id) { visit(id); });
    }
}

CellRange Workbook::resolve(const RangeReference &reference, SheetIndex ownSheet) const
{
    CellRange range;
    range.sheet = reference.sheet.empty() ? ownSheet : findSheet(reference.sheet);
    range.firstRow = reference.first.row;
    range.firstColumn = reference.first.column;
    range.lastRow = reference.last.row;
    range.lastColumn = reference.last.column;
    return range;
}

std::unique_ptr<CompiledFormula> Workbook::compile(std::string text, Program program, SheetIndex sheet, const ArrayPlace &place)
{
    auto compiled = std::make_unique<CompiledFormula>();
    compiled->text = std::move(text);
    compiled->program = std::move(program);
    compiled->arrayRows = place.rows;
    compiled->arrayColumns = place.columns;
    compiled->arrayRow = place.row;
    compiled->arrayColumn = place.column;
    for (ValueArray &array : compiled->program.arrays)
        compiled->arrays.push_back(std::make_shared<const ValueArray>(std::move(array)));
    std::vector<ValueArray>().swap(compiled->program.arrays);
    for (const RangeReference &reference : compiled->program.references) {
        const CellRange range = resolve(reference, sheet);
        compiled->ranges.push_back(range);
        compiled->cells.push_back(reference.isSingleCell() && range.sheet >= 0
                                      ? obtainCell(CellLocation{range.sheet, range.firstRow, range.firstColumn})
                                      : noCell);
    }
    for (const std::string &function : compiled->program.functions) {
        const int index = findFunction(function);
        compiled->functions.push_back(index);
        compiled->isVolatile = compiled->isVolatile || (index >= 0 && functionInfo(index).isVolatile);
        compiled->readsDynamically = compiled->readsDynamically || (index >= 0 && functionInfo(index).readsDynamically);
    }
    // A name that reads cells through INDIRECT or OFFSET makes its users volatile too.
    for (const std::string &name : compiled->program.names) {
        const CompiledFormula *named = findName(name, sheet);
        compiled->isVolatile = compiled->isVolatile || (named && named->isVolatile);
        compiled->readsDynamically = compiled->readsDynamically || (named && named->readsDynamically);
    }
    Evaluator::markArrayContext(*compiled, place.rows > 0);
    Evaluator::prepareNumeric(*compiled);
    // The written references are resolved now; the text keeps them for recompiling.
    std::vector<RangeReference>().swap(compiled->program.references);
    compiled->program.code.shrink_to_fit();
    compiled->program.constants.shrink_to_fit();
    return compiled;
}

void Workbook::attachFormula(CellId cell)
{
    const CompiledFormula &formula = *m_cells[cell].formula;
    for (size_t i = 0; i < formula.ranges.size(); ++i) {
        if (formula.cells[i] != noCell)
            m_cells[formula.cells[i]].dependents.push_back(cell);
        else if (formula.ranges[i].sheet >= 0)
            addRangeListener(formula.ranges[i], cell);
    }
    // A name's references are the formula's too.
    for (const std::string &name : formula.program.names) {
        if (const CompiledFormula *named = findName(name, m_cells[cell].where.sheet)) {
            for (size_t i = 0; i < named->ranges.size(); ++i) {
                if (named->ranges[i].sheet >= 0)
                    addRangeListener(named->ranges[i], cell);
            }
        }
    }
    if (formula.isVolatile)
        m_volatileCells.push_back(cell);
    ++m_formulaCount;
    m_chainValid = false;
}

void Workbook::addRangeListener(const CellRange &range, CellId formulaCell)
{
    m_cells[formulaCell].formula->listened.push_back(range);
    if (range.columns() > maxFiledColumns) {
        m_wideListeners.push_back(RangeListener{range, formulaCell});
        return;
    }
    if (static_cast<int>(m_listenersByColumn.size()) <= range.sheet)
        m_listenersByColumn.resize(range.sheet + 1);
    auto &columns = m_listenersByColumn[range.sheet];
    if (static_cast<int>(columns.size()) <= range.lastColumn)
        columns.resize(range.lastColumn + 1);
    for (int column = range.firstColumn; column <= range.lastColumn; ++column)
        columns[column].push_back(RangeListener{range, formulaCell});
}

std::vector<Workbook::RangeListener> *Workbook::listenersOf(SheetIndex sheet, int column)
{
    if (sheet < 0 || sheet >= static_cast<int>(m_listenersByColumn.size()))
        return nullptr;
    auto &columns = m_listenersByColumn[sheet];
    return column >= 0 && column < static_cast<int>(columns.size()) ? &columns[column] : nullptr;
}

const std::vector<Workbook::RangeListener> *Workbook::listenersOf(SheetIndex sheet, int column) const
{
    return const_cast<Workbook *>(this)->listenersOf(sheet, column);
}

void Workbook::removeRangeListeners(CellId formulaCell, const CompiledFormula &formula)
{
    const auto removeFrom = [formulaCell](std::vector<RangeListener> &listeners) {
        listeners.erase(std::remove_if(listeners.begin(), listeners.end(),
                                       [formulaCell](const RangeListener &l) { return l.formulaCell == formulaCell; }),
                        listeners.end());
    };
    bool wide = false;
    for (const CellRange &range : formula.listened) {
        if (range.columns() > maxFiledColumns) {
            wide = true;
            continue;
        }
        for (int column = range.firstColumn; column <= range.lastColumn; ++column)
            if (std::vector<RangeListener> *filed = listenersOf(range.sheet, column))
                removeFrom(*filed);
    }
    if (wide)
        removeFrom(m_wideListeners);
}

void Workbook::detachFormula(CellId cell)
{
    Cell &c = m_cells[cell];
    if (!c.formula)
        return;
    for (CellId precedent : c.formula->cells) {
        if (precedent == noCell)
            continue;
        auto &dependents = m_cells[precedent].dependents;
        auto found = std::find(dependents.begin(), dependents.end(), cell);
        if (found != dependents.end())
            dependents.erase(found);
    }
    removeRangeListeners(cell, *c.formula);
    if (c.formula->isVolatile)
        m_volatileCells.erase(std::remove(m_volatileCells.begin(), m_volatileCells.end(), cell), m_volatileCells.end());
    c.formula.reset();
    c.onCycle = false;
    // Its entry in m_dirty stays: evaluation skips cells that are no longer
    // dirty formulas, and clearing many formulas stays linear.
    c.dirty = false;
    --m_formulaCount;
    m_chainValid = false;
}

void Workbook::markDirty(CellId start)
{
    // Iterative, so a chain of a million cells needs no deep stack.
    std::vector<CellId> &pending = m_pending;
    pending.assign(1, start);
    while (!pending.empty()) {
        const CellId id = pending.back();
        pending.pop_back();
        Cell &cell = m_cells[id];
        if (cell.formula) {
            if (cell.dirty)
                continue;
            cell.dirty = true;
            m_dirty.push_back(id);
        }
        forEachDependent(id, [&pending, this](CellId dependent) {
            if (!m_cells[dependent].dirty)
                pending.push_back(dependent);
        });
    }
}

std::vector<CellId> Workbook::formulasReachedFrom(std::vector<CellId> starts) const
{
    std::vector<bool> seen(m_cells.size(), false);
    std::vector<CellId> reached;
    std::vector<CellId> &pending = starts;
    while (!pending.empty()) {
        const CellId id = pending.back();
        pending.pop_back();
        if (seen[id])
            continue;
        seen[id] = true;
        if (m_cells[id].formula)
            reached.push_back(id);
        forEachDependent(id, [&](CellId dependent) {
            if (!seen[dependent])
                pending.push_back(dependent);
        });
    }
    std::sort(reached.begin(), reached.end(), [this](CellId a, CellId b) { return m_cells[a].order < m_cells[b].order; });
    return reached;
}

void Workbook::written(CellId cell)
{
    m_written.push_back(cell);
    markDirty(cell);
    // Marked once at the next recalculation, not at every write: loading a
    // sheet of volatile formulas stays linear.
    m_volatilesStale = true;
}

bool Workbook::setValue(const CellLocation &where, const Value &value)
{
    if (where.sheet < 0 || where.sheet >= sheetCount() || !isInSheet(where.row, where.column))
        return false;
    changing();
    const CellId id = obtainCell(where);
    detachFormula(id);
    Cell &cell = m_cells[id];
    if (cell.keptFormula)
        dropKeptFormula(cell, id);
    else if (m_values[id] == value && cell.occupied == !value.isEmpty())
        return true;
    m_values[id] = value;
    cell.occupied = !value.isEmpty();
    written(id);
    return true;
}

namespace {

// Parses formula text as typed and leaves `text` without its "="; false with
// the parser's message when it does not parse.
bool parseTyped(std::string_view &text, ParseResult &parsed, std::string *message)
{
    parsed = parseFormula(text);
    if (!parsed.ok) {
        if (message)
            *message = parsed.message;
        return false;
    }
    if (!text.empty() && text.front() == '=')
        text.remove_prefix(1);
    return true;
}

} // namespace

bool Workbook::setFormula(const CellLocation &where, std::string_view text, std::string *message)
{
    if (where.sheet < 0 || where.sheet >= sheetCount() || !isInSheet(where.row, where.column)) {
        if (message)
            *message = "The cell lies outside the sheet";
        return false;
    }
    ParseResult parsed;
    if (!parseTyped(text, parsed, message))
        return false;
    changing();
    const CellId id = obtainCell(where);
    placeFormula(id, compile(std::string(text), std::move(parsed.program), where.sheet, ArrayPlace{}));
    return true;
}

void Workbook::placeFormula(CellId id, std::unique_ptr<CompiledFormula> compiled)
{
    detachFormula(id);
    Cell &cell = m_cells[id];
    if (cell.keptFormula)
        dropKeptFormula(cell, id);
    cell.formula = std::move(compiled);
    cell.occupied = true;
    attachFormula(id);
    written(id);
}

void Workbook::recompile(CellId id)
{
    const CompiledFormula &formula = *m_cells[id].formula;
    ParseResult parsed = parseFormula(formula.text);
    if (!parsed.ok)
        return;
    const ArrayPlace place{formula.arrayRows, formula.arrayColumns, formula.arrayRow, formula.arrayColumn};
    placeFormula(id, compile(formula.text, std::move(parsed.program), m_cells[id].where.sheet, place));
}

bool Workbook::setArrayFormula(const CellLocation &first, int rows, int columns, std::string_view text, std::string *message)
{
    if (first.sheet < 0 || first.sheet >= sheetCount() || rows < 1 || columns < 1 || !isInSheet(first.row, first.column)
        || !isInSheet(first.row + rows - 1, first.column + columns - 1)) {
        if (message)
            *message = "The cells lie outside the sheet";
        return false;
    }
    ParseResult parsed;
    if (!parseTyped(text, parsed, message))
        return false;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const CellLocation where{first.sheet, first.row + r, first.column + c};
            placeFormula(obtainCell(where), compile(std::string(text), parsed.program, first.sheet, ArrayPlace{rows, columns, r, c}));
        }
    }
    return true;
}

bool Workbook::setKeptFormula(const CellLocation &where, std::string_view text, const Value &result, int arrayRows,
                              int arrayColumns)
{
    if (!setValue(where, result))
        return false;
    if (!text.empty() && text.front() == '=')
        text.remove_prefix(1);
    const CellId id = findCell(where.sheet, where.row, where.column);
    Cell &cell = m_cells[id];
    cell.keptFormula = true;
    cell.occupied = true;
    m_keptFormulas[id] = KeptFormula{std::string(text), arrayRows, arrayColumns};
    return true;
}

void Workbook::dropKeptFormula(Cell &cell, CellId id)
{
    cell.keptFormula = false;
    m_keptFormulas.erase(id);
}

bool Workbook::setInput(const CellLocation &where, std::string_view text, std::string *message)
{
    // "{=...}" is an array formula, over the block the cell is in (or the cell
    // alone); any other input into a block of several cells would split it.
    const CellInput before = input(where);
    const CellLocation first{where.sheet, where.row - before.arrayRow, where.column - before.arrayColumn};
    if (text.size() > 3 && text.substr(0, 2) == "{=" && text.back() == '}')
        return setArrayFormula(before.arrayRows > 0 ? first : where, std::max(before.arrayRows, 1),
                               std::max(before.arrayColumns, 1), text.substr(1, text.size() - 2), message);
    if (before.arrayRows * before.arrayColumns > 1 && !before.isKept) {
        if (message)
            *message = "The cell is part of the array formula over "
                + rangeText(RangeReference{{}, {first.row, first.column}, {first.row + before.arrayRows - 1, first.column + before.arrayColumns - 1}})
                + ": change it as a whole, typed as {=...}";
        return false;
    }
    if (!text.empty() && text.front() == '=' && text.size() > 1)
        return setFormula(where, text, message);
    if (text.empty())
        return setValue(where, Value());
    double number = 0;
    if (parseNumberText(text, number))
        return setValue(where, Value::number(number));
    std::string upper = upperCase(text);
    if (upper == "TRUE" || upper == "FALSE")
        return setValue(where, Value::boolean(upper == "TRUE"));
    ErrorCode code;
    if (parseErrorLiteral(text, code) && code != ErrorCode::Circular)
        return setValue(where, Value::error(code));
    return setValue(where, Value::text(std::string(text)));
}

void Workbook::clearCell(const CellLocation &where)
{
    setValue(where, Value());
}

Value Workbook::value(const CellLocation &where)
{
    recalculate();
    const CellId id = findCell(where.sheet, where.row, where.column);
    return id == noCell ? Value() : m_values[id];
}

FormattedText Workbook::shown(const CellLocation &where, int width)
{
    return shownValue(value(where), m_formats.numberFormat(m_formats.styleAt(where.sheet, where.row, where.column)), width);
}

bool Workbook::hasFormula(const CellLocation &where) const
{
    const CellId id = findCell(where.sheet, where.row, where.column);
    return id != noCell && (m_cells[id].formula != nullptr || m_cells[id].keptFormula);
}

bool Workbook::callsUnknownFunction(const CellLocation &where) const
{
    const CellId id = findCell(where.sheet, where.row, where.column);
    if (id == noCell || !m_cells[id].formula)
        return false;
    const std::vector<int> &functions = m_cells[id].formula->functions;
    return std::find(functions.begin(), functions.end(), -1) != functions.end();
}

CellInput Workbook::input(const CellLocation &where) const
{
    CellInput result;
    const CellId id = findCell(where.sheet, where.row, where.column);
    if (id == noCell)
        return result;
    const Cell &cell = m_cells[id];
    if (cell.formula) {
        result.isFormula = true;
        result.formula = cell.formula->text;
        result.arrayRows = cell.formula->arrayRows;
        result.arrayColumns = cell.formula->arrayColumns;
        result.arrayRow = cell.formula->arrayRow;
        result.arrayColumn = cell.formula->arrayColumn;
    } else if (cell.keptFormula) {
        const KeptFormula &kept = m_keptFormulas.at(id);
        result.isFormula = result.isKept = true;
        result.formula = kept.text;
        result.arrayRows = kept.arrayRows;
        result.arrayColumns = kept.arrayColumns;
    } else {
        result.constant = m_values[id];
    }
    return result;
}

void Workbook::setColumnWidth(SheetIndex sheet, int column, double characters)
{
    if (sheet < 0 || sheet >= sheetCount() || column < 0 || column >= maxColumns || !(characters >= 0 && characters <= 255))
        return;
    m_sheets[sheet].columnWidths[column] = characters;
}

void Workbook::forEachCell(SheetIndex sheet, const std::function<void(int, int)> &visit) const
{
    if (sheet < 0 || sheet >= sheetCount())
        return;
    const auto &columns = m_sheets[sheet].columns;
    for (size_t column = 0; column < columns.size(); ++column) {
        for (const auto &entry : columns[column]) {
            if (m_cells[entry.second].occupied)
                visit(entry.first, static_cast<int>(column));
        }
    }
}

const CompiledFormula *Workbook::findName(const std::string &upperName, SheetIndex fromSheet) const
{
    const CompiledFormula *global = nullptr;
    for (size_t i = 0; i < m_names.size(); ++i) {
        // While names are compiled, the later ones are not there yet.
        if (i >= m_nameFormulas.size() || !sameNameIgnoringCase(m_names[i].name, upperName) || !m_nameFormulas[i])
            continue;
        if (m_names[i].scope == fromSheet)
            return m_nameFormulas[i].get(); // a sheet's own name hides the global one
        if (m_names[i].scope < 0)
            global = m_nameFormulas[i].get();
    }
    return global;
}

void Workbook::compileNames()
{
    m_nameFormulas.clear();
    for (const DefinedName &name : m_names) {
        ParseResult parsed = parseFormula(name.expression);
        m_nameFormulas.push_back(parsed.ok ? compile(name.expression, std::move(parsed.program), std::max(name.scope, 0), ArrayPlace{})
                                           : nullptr);
    }
}

bool Workbook::isValidName(const std::string &name)
{
    return !name.empty() && (std::isalpha(static_cast<unsigned char>(name.front())) || name.front() == '_')
        && std::all_of(name.begin(), name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; })
        && !parseRangeReference(name) && upperCase(name) != "TRUE" && upperCase(name) != "FALSE";
}

bool Workbook::defineName(const std::string &name, std::string_view expression, SheetIndex scope, std::string *message)
{
    if (!isValidName(name)) {
        if (message)
            *message = "\"" + name + "\" cannot be a name";
        return false;
    }
    ParseResult parsed = parseFormula(expression);
    if (!parsed.ok) {
        if (message)
            *message = parsed.message;
        return false;
    }
    if (!expression.empty() && expression.front() == '=')
        expression.remove_prefix(1);
    changing();
    auto existing = std::find_if(m_names.begin(), m_names.end(), [&](const DefinedName &n) {
        return n.scope == scope && sameNameIgnoringCase(n.name, name);
    });
    if (existing != m_names.end())
        existing->expression = std::string(expression);
    else
        m_names.push_back(DefinedName{name, scope, std::string(expression)});
    compileNames();
    // Formulas that use names see the new meaning and its references.
    for (CellId id = 0; id < m_cells.size(); ++id) {
        if (m_cells[id].formula && !m_cells[id].formula->program.names.empty())
            recompile(id);
    }
    return true;
}

void Workbook::rebuildChain()
{
    // Tarjan's strongly connected components over "depends on" edges, without
    // recursion. Components come out precedents first: that is the order of
    // evaluation; a component of more than one cell (or a cell naming itself)
    // is a circular reference.
    std::vector<CellId> formulas;
    std::vector<std::uint32_t> slot(m_cells.size(), UINT32_MAX);
    for (CellId id = 0; id < m_cells.size(); ++id) {
        if (m_cells[id].formula) {
            slot[id] = static_cast<std::uint32_t>(formulas.size());
            formulas.push_back(id);
        }
    }
    const size_t n = formulas.size();
    std::vector<std::uint32_t> edgeStart(n + 1, 0);
    std::vector<std::uint32_t> edges;
    for (size_t v = 0; v < n; ++v) {
        edgeStart[v] = static_cast<std::uint32_t>(edges.size());
        const CompiledFormula &formula = *m_cells[formulas[v]].formula;
        forEachPrecedent(formula, [&](CellId precedent) {
            if (slot[precedent] != UINT32_MAX)
                edges.push_back(slot[precedent]);
        });
        for (const std::string &name : formula.program.names) {
            if (const CompiledFormula *named = findName(name, m_cells[formulas[v]].where.sheet)) {
                forEachPrecedent(*named, [&](CellId precedent) {
                    if (slot[precedent] != UINT32_MAX)
                        edges.push_back(slot[precedent]);
                });
            }
        }
    }
    edgeStart[n] = static_cast<std::uint32_t>(edges.size());

    constexpr std::uint32_t unvisited = UINT32_MAX;
    std::vector<std::uint32_t> index(n, unvisited), low(n, 0), nextEdge(n, 0);
    std::vector<bool> onStack(n, false);
    std::vector<std::uint32_t> stack, callStack;
    std::uint32_t counter = 0;
    m_chain.clear();
    m_chain.reserve(n);
    for (size_t root = 0; root < n; ++root) {
        if (index[root] != unvisited)
            continue;
        callStack.push_back(static_cast<std::uint32_t>(root));
        while (!callStack.empty()) {
            const std::uint32_t v = callStack.back();
            if (index[v] == unvisited) {
                index[v] = low[v] = counter++;
                nextEdge[v] = edgeStart[v];
                stack.push_back(v);
                onStack[v] = true;
            }
            if (nextEdge[v] < edgeStart[v + 1]) {
                const std::uint32_t w = edges[nextEdge[v]++];
                if (index[w] == unvisited)
                    callStack.push_back(w);
                else if (onStack[w])
                    low[v] = std::min(low[v], index[w]);
                continue;
            }
            callStack.pop_back();
            if (!callStack.empty())
                low[callStack.back()] = std::min(low[callStack.back()], low[v]);
            if (low[v] != index[v])
                continue;
            // v roots a component: pop it.
            size_t first = stack.size();
            do {
                --first;
            } while (stack[first] != v);
            const bool cycle = stack.size() - first > 1
                || std::find(edges.begin() + edgeStart[v], edges.begin() + edgeStart[v + 1], v) != edges.begin() + edgeStart[v + 1];
            for (size_t k = first; k < stack.size(); ++k) {
                const CellId id = formulas[stack[k]];
                onStack[stack[k]] = false;
                Cell &cell = m_cells[id];
                if (cell.onCycle != cycle) {
                    cell.onCycle = cycle;
                    if (!cell.dirty) {
                        cell.dirty = true;
                        m_dirty.push_back(id);
                    }
                }
                cell.order = static_cast<std::uint32_t>(m_chain.size());
                m_chain.push_back(id);
            }
            stack.resize(first);
        }
    }
    m_chainValid = true;
}

void Workbook::evaluateDirty()
{
    if (!m_chainValid)
        rebuildChain();
    if (m_volatilesStale) {
        m_volatilesStale = false;
        for (CellId id : m_volatileCells)
            markDirty(id);
    }
    // Changes are collected only for someone who listens.
    const bool reporting = !m_observers.empty();
    std::vector<CellLocation> &changedCells = m_changedBuffer;
    changedCells.clear();
    if (reporting) {
        for (CellId id : m_written)
            changedCells.push_back(m_cells[id].where);
    }
    m_written.clear();

    // References made while evaluating (OFFSET, INDIRECT) are in no chain: a
    // formula that read a cell still due is evaluated again once it is done.
    std::vector<CellId> again;
    for (int round = 0; round == 0 || (!again.empty() && round <= maxRounds); ++round) {
        for (CellId id : again)
            markDirty(id);
        again.clear();
        evaluateInOrder(reporting, again);
    }
    if (!changedCells.empty()) {
        const std::vector<CellLocation> report = changedCells; // observers may edit the workbook
        for (const ChangeObserver &observer : m_observers)
            observer(report);
    }
}

void Workbook::evaluateInOrder(bool reporting, std::vector<CellId> &readPendingCells)
{
    std::vector<CellLocation> &changedCells = m_changedBuffer;
    // A few dirty cells are sorted; many are picked up in one walk of the chain.
    std::vector<CellId> &order = m_orderBuffer;
    order.clear();
    if (m_dirty.size() * 8 < m_chain.size()) {
        order.swap(m_dirty);
        std::sort(order.begin(), order.end(), [this](CellId a, CellId b) { return m_cells[a].order < m_cells[b].order; });
    } else {
        for (CellId id : m_chain)
            if (m_cells[id].dirty)
                order.push_back(id);
    }
    m_dirty.clear();
    for (CellId id : order) {
        Cell &cell = m_cells[id];
        if (!cell.dirty || !cell.formula)
            continue;
        cell.dirty = false;
        bool changed;
        Value &value = m_values[id];
        if (cell.onCycle) {
            changed = !(value == Value::error(ErrorCode::Circular));
            value = Value::error(ErrorCode::Circular);
        } else {
            m_evaluator->readPendingCell = false;
            changed = m_evaluator->evaluateInto(*cell.formula, cell.where, value);
            if (m_evaluator->readPendingCell)
                readPendingCells.push_back(id);
        }
        if (changed && reporting)
            changedCells.push_back(cell.where);
    }
}

void Workbook::recalculate()
{
    if (!m_dirty.empty() || !m_written.empty() || !m_chainValid)
        evaluateDirty();
}

void Workbook::recalculateAll()
{
    for (CellId id = 0; id < m_cells.size(); ++id) {
        if (m_cells[id].formula && !m_cells[id].dirty) {
            m_cells[id].dirty = true;
            m_dirty.push_back(id);
        }
    }
    evaluateDirty();
}

std::vector<CellLocation> Workbook::circularCells()
{
    recalculate();
    std::vector<CellLocation> cells;
    for (const Cell &cell : m_cells) {
        if (cell.formula && cell.onCycle)
            cells.push_back(cell.where);
    }
    return cells;
}

} // namespace workbook
