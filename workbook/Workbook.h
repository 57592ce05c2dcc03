#pragma once

#include "Program.h"
#include "Reference.h"
#include "Value.h"
#include "format/CellFormats.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace workbook {

using CellId = std::uint32_t;
using SheetIndex = int;
constexpr CellId noCell = 0xffffffffu;

// Where a cell is: sheet, 0-based row and column.
struct CellLocation
{
    SheetIndex sheet = 0;
    int row = 0;
    int column = 0;

    bool operator==(const CellLocation &o) const { return sheet == o.sheet && row == o.row && column == o.column; }
};

// A rectangle on one sheet, resolved: 0-based and inclusive.
struct CellRange
{
    SheetIndex sheet = -1; // -1: the sheet does not exist (#REF!)
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;

    bool contains(SheetIndex s, int row, int column) const
    {
        return s == sheet && row >= firstRow && row <= lastRow && column >= firstColumn && column <= lastColumn;
    }
    int rows() const { return lastRow - firstRow + 1; }
    int columns() const { return lastColumn - firstColumn + 1; }
    bool operator==(const CellRange &o) const
    {
        return sheet == o.sheet && firstRow == o.firstRow && firstColumn == o.firstColumn && lastRow == o.lastRow
            && lastColumn == o.lastColumn;
    }
};

// What a cell holds, for editing and saving: a constant or a formula's text.
struct CellInput
{
    bool isFormula = false;
    bool isKept = false; // a formula kept as the file's text (see setKeptFormula)
    Value constant;
    std::string formula; // without the leading "="
    // A cell of an array formula: the block's size and this cell's place in
    // it; files hold the formula at the block's first cell (0, 0).
    int arrayRows = 0; // 0: not an array formula
    int arrayColumns = 0;
    int arrayRow = 0;
    int arrayColumn = 0;
};

struct DefinedName
{
    std::string name;
    SheetIndex scope = -1; // -1: the whole workbook
    std::string expression;
};

// Learns which cells a recalculation changed, for change events and repainting.
using ChangeObserver = std::function<void(const std::vector<CellLocation> &changed)>;

struct CompiledFormula;
struct RowsColumnsChange;
class Evaluator;

// Reads a workbook from other threads: told before anything in the workbook
// changes (on the thread that changes it), it lets go of the workbook first.
class ConcurrentReader
{
public:
    virtual ~ConcurrentReader() = default;
    // The workbook is about to change; `closing`: it is about to go away.
    virtual void workbookChanging(bool closing) = 0;
};

// A workbook: ordered sheets of sparse cells, defined names, and the
// dependency graph that keeps every formula current. A write marks the cells
// that depend on it dirty; the next read recalculates exactly those, in
// dependency order and without recursion, so chains of any length work.
class Workbook
{
public:
    Workbook();
    ~Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    std::string name;
    std::string filePath;

    // ---- sheets
    int sheetCount() const { return static_cast<int>(m_sheets.size()); }
    const std::string &sheetName(SheetIndex sheet) const { return m_sheets.at(sheet).name; }
    // The sheet of that name (case-insensitive), or -1.
    SheetIndex findSheet(std::string_view name) const;
    // Appends a sheet; -1 when the name is empty, taken or holds one of
    // : \ / ? * [ ]. (Names longer than an xlsx file takes are shortened
    // when saving one.)
    SheetIndex addSheet(const std::string &name);

    // ---- cells
    static bool isInSheet(int row, int column) { return row >= 0 && row < maxRows && column >= 0 && column < maxColumns; }
    bool setValue(const CellLocation &where, const Value &value);
    // Compiles and stores a formula (with or without "="). On a parse error
    // the cell keeps what it had and `message` says what and where.
    bool setFormula(const CellLocation &where, std::string_view formula, std::string *message = nullptr);
    // A formula this workbook cannot evaluate, kept as the file's text with
    // the result the file cached: the cell shows that result, saving writes
    // the text back unchanged, and recalculation leaves the cell alone. Any
    // other write to the cell replaces it.
    // An array formula kept so names its block (`arrayRows` x `arrayColumns`
    // from this cell); the block's other cells keep the values they have.
    bool setKeptFormula(const CellLocation &where, std::string_view text, const Value &result, int arrayRows = 0,
                        int arrayColumns = 0);
    // An array formula over a block of `rows` x `columns` cells from `first`:
    // evaluated once element by element, each cell shows its element of the
    // result. Like setFormula, a parse error changes nothing.
    bool setArrayFormula(const CellLocation &first, int rows, int columns, std::string_view formula,
                         std::string *message = nullptr);
    // Typed text as the spreadsheet reads it: "=..." a formula, "{=...}" an
    // array formula (over the block the cell is in); numbers, TRUE/FALSE and
    // error literals constants; anything else text. A cell of an array
    // formula's block of several cells takes only a new array formula.
    bool setInput(const CellLocation &where, std::string_view text, std::string *message = nullptr);
    void clearCell(const CellLocation &where);

    // The current value, recalculated when needed.
    Value value(const CellLocation &where);
    // The value as the cell shows it through its number format, in a column
    // `width` characters wide (0: no limit).
    FormattedText shown(const CellLocation &where, int width = 0);
    // True for kept formulas too.
    bool hasFormula(const CellLocation &where) const;
    // True when the cell's formula calls a function this workbook does not know.
    bool callsUnknownFunction(const CellLocation &where) const;
    CellInput input(const CellLocation &where) const;

    // Column widths the file gave (in characters of the default font); absent
    // columns have the default width.
    void setColumnWidth(SheetIndex sheet, int column, double characters);
    const std::map<int, double> &columnWidths(SheetIndex sheet) const { return m_sheets.at(sheet).columnWidths; }

    // Inserts or deletes rows or columns of a sheet (RowsColumns.cpp): cells
    // move, every formula and defined name follows them. Refused, with
    // nothing changed, when an insert would push filled cells off the sheet.
    bool restructure(SheetIndex sheet, const RowsColumnsChange &change, std::string *message = nullptr);

    // How cells look: styles, number formats, merged areas.
    CellFormats &formats() { return m_formats; }
    const CellFormats &formats() const { return m_formats; }

    // Every non-empty cell of a sheet, column by column, rows ascending.
    void forEachCell(SheetIndex sheet, const std::function<void(int row, int column)> &visit) const;

    // ---- defined names
    // Letters, digits, "_" and ".", starting with a letter or "_", and not a reference or TRUE/FALSE.
    static bool isValidName(const std::string &name);
    bool defineName(const std::string &name, std::string_view expression, SheetIndex scope = -1,
                    std::string *message = nullptr);
    const std::vector<DefinedName> &definedNames() const { return m_names; }

    // ---- recalculation
    // Brings every dirty cell up to date; reads do this on their own.
    void recalculate();
    // Evaluates every formula again.
    void recalculateAll();
    void addObserver(ChangeObserver observer) { m_observers.push_back(std::move(observer)); }
    // Cells on circular references (as of the last recalculation).
    std::vector<CellLocation> circularCells();
    std::size_t formulaCount() const { return m_formulaCount; }

    // ---- readers on other threads
    void attachReader(ConcurrentReader *reader) { m_readers.push_back(reader); }
    void detachReader(ConcurrentReader *reader) { m_readers.erase(std::remove(m_readers.begin(), m_readers.end(), reader), m_readers.end()); }

private:
    friend class Evaluator;
    friend class FunctionArgs;
    friend class PointPlan;
    friend class PointLayer;

    struct Cell
    {
        CellLocation where;
        std::unique_ptr<CompiledFormula> formula;
        std::vector<CellId> dependents; // formulas naming this cell directly
        std::uint32_t order = 0;        // position in the calculation chain
        bool dirty = false;
        bool onCycle = false;
        bool occupied = false; // false for placeholders kept for references
        bool keptFormula = false; // its text is in `m_keptFormulas`
    };
    struct Sheet
    {
        std::string name;
        // Per column, (row, cell) sorted by row: cheap lookups and range walks.
        std::vector<std::vector<std::pair<int, CellId>>> columns;
        std::map<int, double> columnWidths;
    };
    struct RangeListener
    {
        CellRange range;
        CellId formulaCell;
    };

    // The non-empty values of a range in a layer of values, row by row.
    void forEachValueIn(const CellRange &range, const std::vector<Value> &values,
                        const std::function<void(int row, int column, const Value &)> &visit) const;
    CellId findCell(SheetIndex sheet, int row, int column) const;
    CellId obtainCell(const CellLocation &where);
    template <typename Visit>
    void forEachCellIdIn(const CellRange &range, Visit visit) const;
    template <typename Visit>
    void forEachDependent(CellId cell, Visit visit) const;
    template <typename Visit>
    void forEachPrecedent(const CompiledFormula &formula, Visit visit) const;

    // The place of an array formula's cell in its block.
    struct ArrayPlace
    {
        int rows = 0; // 0: not an array formula
        int columns = 0;
        int row = 0;
        int column = 0;
    };
    std::unique_ptr<CompiledFormula> compile(std::string text, Program program, SheetIndex sheet,
                                             const ArrayPlace &place);
    // Stores a compiled formula in a cell, replacing what it held.
    void placeFormula(CellId id, std::unique_ptr<CompiledFormula> compiled);
    // Compiles a cell's formula again, its array place kept (sheets or names changed).
    void recompile(CellId id);
    void detachFormula(CellId cell);
    void attachFormula(CellId cell);
    void written(CellId cell);
    void dropKeptFormula(Cell &cell, CellId id);
    void markDirty(CellId cell);
    // Every formula depending on one of `starts`, directly or not (a start
    // itself when it is a formula), in calculation order; the chain is current.
    std::vector<CellId> formulasReachedFrom(std::vector<CellId> starts) const;
    void rebuildChain();
    void evaluateDirty();
    // One walk over the dirty cells in chain order; the formulas that read a
    // cell still due (through a reference they made) are listed.
    void evaluateInOrder(bool reporting, std::vector<CellId> &readPendingCells);
    // How often such formulas are evaluated again before their values stand.
    static constexpr int maxRounds = 8;
    CellRange resolve(const RangeReference &reference, SheetIndex ownSheet) const;
    // The compiled expression of a defined name as seen from a sheet, or null.
    const CompiledFormula *findName(const std::string &upperName, SheetIndex fromSheet) const;
    void compileNames();
    void changing(bool closing = false);

    std::vector<Sheet> m_sheets;
    std::vector<Cell> m_cells;
    // The cells' values by CellId, apart from the cells: readers on other
    // threads evaluate the same formulas over layers of their own.
    std::vector<Value> m_values;
    std::vector<ConcurrentReader *> m_readers;
    struct KeptFormula
    {
        std::string text;
        int arrayRows = 0;
        int arrayColumns = 0;
    };
    std::unordered_map<CellId, KeptFormula> m_keptFormulas;
    std::vector<DefinedName> m_names;
    CellFormats m_formats;
    std::vector<std::unique_ptr<CompiledFormula>> m_nameFormulas; // one per name
    // Formulas that read a range, filed under every column the range covers
    // (ranges wider than a few dozen columns under `m_wideListeners`), so a
    // change looks only at the ranges that can hold it.
    static constexpr int maxFiledColumns = 64;
    std::vector<std::vector<std::vector<RangeListener>>> m_listenersByColumn; // [sheet][column]
    std::vector<RangeListener> m_wideListeners;
    void addRangeListener(const CellRange &range, CellId formulaCell);
    void removeRangeListeners(CellId formulaCell, const CompiledFormula &formula);
    std::vector<RangeListener> *listenersOf(SheetIndex sheet, int column);
    const std::vector<RangeListener> *listenersOf(SheetIndex sheet, int column) const;
    std::vector<CellId> m_chain;
    std::vector<CellId> m_dirty;
    std::vector<CellId> m_volatileCells;
    bool m_volatilesStale = false; // a write since the volatile cells were last marked dirty
    std::vector<CellId> m_written; // constants written since the last recalculation
    // Reused on every recalculation, so the scan road allocates nothing.
    std::vector<CellId> m_pending;
    std::vector<CellId> m_orderBuffer;
    std::vector<CellLocation> m_changedBuffer;
    std::vector<ChangeObserver> m_observers;
    std::unique_ptr<Evaluator> m_evaluator;
    std::size_t m_formulaCount = 0;
    bool m_chainValid = true;
};

template <typename Visit>
inline void Workbook::forEachCellIdIn(const CellRange &range, Visit visit) const
{
    if (range.sheet < 0 || range.sheet >= sheetCount())
        return;
    const auto &columns = m_sheets[range.sheet].columns;
    const int lastColumn = std::min(range.lastColumn, static_cast<int>(columns.size()) - 1);
    for (int column = std::max(range.firstColumn, 0); column <= lastColumn; ++column) {
        const auto &cells = columns[column];
        auto it = std::lower_bound(cells.begin(), cells.end(), range.firstRow,
                                   [](const std::pair<int, CellId> &entry, int r) { return entry.first < r; });
        for (; it != cells.end() && it->first <= range.lastRow; ++it)
            visit(it->first, column, it->second);
    }
}

} // namespace workbook
