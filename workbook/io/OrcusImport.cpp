#include "OrcusImport.h"

#include "CsvReader.h"
#include "OdsValueCells.h"
#include "OrcusStyles.h"
#include "XlsxCells.h"

#include "../FormulaParser.h"
#include "../Reference.h"
#include "../Workbook.h"
#include "../functions/Dates.h"

#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>

#include <algorithm>
#include <cmath>
#include <cctype>
#include <map>
#include <memory>
#include <unordered_map>

namespace workbook {

namespace ss = orcus::spreadsheet;
namespace iface = orcus::spreadsheet::iface;

namespace {

// Sheets keep their place in a vector reserved once: orcus holds on to them.
constexpr size_t mostSheets = 1024;

bool onSheet(ss::row_t row, ss::col_t col)
{
    return row >= 0 && row < maxRows && col >= 0 && col < maxColumns;
}

ImportedCell makeCell(ss::row_t row, ss::col_t col, ImportedCell::Kind kind, double number, std::string text)
{
    ImportedCell cell;
    cell.row = row;
    cell.column = col;
    cell.kind = kind;
    cell.number = number;
    cell.text = std::move(text);
    return cell;
}

class SharedStrings : public iface::import_shared_strings
{
public:
    std::vector<std::string> strings;

    size_t append(std::string_view s) override
    {
        strings.emplace_back(s);
        return strings.size() - 1;
    }
    size_t add(std::string_view s) override
    {
        auto found = m_index.find(std::string(s));
        if (found != m_index.end())
            return found->second;
        const size_t index = append(s);
        m_index.emplace(strings.back(), index);
        return index;
    }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void append_segment(std::string_view s) override { m_segments.append(s); }
    size_t commit_segments() override
    {
        const size_t index = append(m_segments);
        m_segments.clear();
        return index;
    }

private:
    std::unordered_map<std::string, size_t> m_index;
    std::string m_segments;
};

// Both grammars: "Sheet!A1:B2" and OpenDocument's "$Sheet.A1:.B2".
class ReferenceResolver : public iface::import_reference_resolver
{
public:
    ReferenceResolver(FileFormat format, const std::vector<ImportedSheet> &sheets)
        : m_format(format), m_sheets(sheets)
    {
    }

    // The row of a sheet part being read, as its row element says.
    void enterRow(ss::row_t row) { m_row = row; }

    ss::src_address_t resolve_address(std::string_view address) override
    {
        if (m_format != FileFormat::Xlsx)
            return resolve_range(address).first;
        // A cell's address in a sheet part. One past the sheet's edge is
        // passed on for the sheet to skip; a broken one, or one naming
        // another row, puts the cell in column -1 of its row, where it is
        // skipped too: orcus would refuse the whole file for either. The
        // sheet's second reading reports them (see XlsxCells).
        const auto cell = readFileCellAddress(address);
        if (!cell || cell->row != m_row)
            return {0, m_row, -1};
        return {0, m_row, static_cast<ss::col_t>(std::min<long long>(cell->column, maxColumns))};
    }

    ss::src_range_t resolve_range(std::string_view text) override
    {
        std::string a1(text);
        if (m_format == FileFormat::Ods)
            a1 = formulaFromOpenDocument("[" + std::string(text) + "]");
        ss::src_range_t result{{0, 0, 0}, {0, 0, 0}};
        const auto range = parseRangeReference(a1);
        if (!range)
            return result;
        ss::sheet_t sheet = 0;
        for (size_t i = 0; i < m_sheets.size(); ++i)
            if (m_sheets[i].name == range->sheet)
                sheet = static_cast<ss::sheet_t>(i);
        result.first = {sheet, range->first.row, range->first.column};
        result.last = {sheet, range->last.row, range->last.column};
        return result;
    }

private:
    FileFormat m_format;
    const std::vector<ImportedSheet> &m_sheets;
    ss::row_t m_row = 0;
};

class NamedExpressions : public iface::import_named_expression
{
public:
    NamedExpressions(ImportedData &data, std::int32_t scope, FileFormat format)
        : m_data(data), m_scope(scope), m_format(format)
    {
    }
    void set_base_position(const ss::src_address_t &) override {}
    void set_named_expression(std::string_view name, std::string_view expression) override
    {
        m_name = name;
        m_expression = m_format == FileFormat::Ods ? formulaFromOpenDocument(expression) : std::string(expression);
    }
    void set_named_range(std::string_view name, std::string_view range) override
    {
        m_name = name;
        m_expression = formulaFromOpenDocument("[" + std::string(range) + "]");
    }
    void commit() override
    {
        if (!m_name.empty())
            m_data.names.push_back(ImportedName{m_name, m_scope, m_expression});
        m_name.clear();
    }

private:
    ImportedData &m_data;
    std::int32_t m_scope;
    FileFormat m_format;
    std::string m_name, m_expression;
};

class Formula : public iface::import_formula
{
public:
    Formula(ImportedSheet &sheet, FileFormat format, bool takesCells)
        : m_sheet(sheet), m_format(format), m_takesCells(takesCells)
    {
    }
    void set_position(ss::row_t row, ss::col_t col) override
    {
        m_cell = ImportedCell();
        m_cell.row = row;
        m_cell.column = col;
        m_cell.kind = ImportedCell::Kind::SharedFormula;
    }
    void set_formula(ss::formula_grammar_t, std::string_view formula) override
    {
        m_cell.kind = ImportedCell::Kind::Formula;
        m_cell.text = m_format == FileFormat::Ods ? formulaFromOpenDocument(formula) : std::string(formula);
    }
    void set_shared_formula_index(size_t index) override { m_cell.shared = static_cast<std::int32_t>(index); }
    void set_result_string(std::string_view value) override { m_cell.cached = value; }
    void set_result_value(double value) override
    {
        m_cell.number = value;
        m_cell.cachedIsNumber = true;
    }
    void set_result_bool(bool value) override
    {
        m_cell.number = value;
        m_cell.cachedIsNumber = m_cell.cachedIsBoolean = true;
    }
    void set_result_empty() override {}
    void commit() override
    {
        if (m_takesCells && onSheet(m_cell.row, m_cell.column)
            && (m_cell.kind == ImportedCell::Kind::Formula || m_cell.shared >= 0))
            m_sheet.cells.push_back(m_cell);
    }

private:
    ImportedSheet &m_sheet;
    FileFormat m_format;
    bool m_takesCells;
    ImportedCell m_cell;
};

// An array formula: its text at the block's first cell, and the values the
// file cached for every cell of the block (positions are the block's own).
class ArrayFormula : public iface::import_array_formula
{
public:
    ArrayFormula(ImportedSheet &sheet, bool takesCells)
        : m_sheet(sheet), m_takesCells(takesCells)
    {
    }
    void set_range(const ss::range_t &range) override { m_range = range; }
    void set_formula(ss::formula_grammar_t, std::string_view formula) override { m_formula = formula; }
    void set_result_string(ss::row_t row, ss::col_t col, std::string_view value) override
    {
        add(row, col, ImportedCell::Kind::Text, 0, std::string(value));
    }
    void set_result_value(ss::row_t row, ss::col_t col, double value) override
    {
        add(row, col, ImportedCell::Kind::Number, value, std::string());
    }
    void set_result_bool(ss::row_t row, ss::col_t col, bool value) override
    {
        add(row, col, ImportedCell::Kind::Boolean, value, std::string());
    }
    void set_result_empty(ss::row_t, ss::col_t) override {}
    void commit() override
    {
        const ss::address_t &first = m_range.first, &last = m_range.last;
        if (m_takesCells && onSheet(first.row, first.column) && onSheet(last.row, last.column) && last.row >= first.row
            && last.column >= first.column) {
            ImportedCell cell;
            cell.row = first.row;
            cell.column = first.column;
            cell.kind = ImportedCell::Kind::Formula;
            cell.text = m_formula;
            cell.arrayRows = last.row - first.row + 1;
            cell.arrayColumns = last.column - first.column + 1;
            m_sheet.cells.push_back(std::move(cell));
        }
        m_range = ss::range_t();
        m_formula.clear();
    }

private:
    void add(ss::row_t row, ss::col_t col, ImportedCell::Kind kind, double number, std::string text)
    {
        row += m_range.first.row;
        col += m_range.first.column;
        if (!m_takesCells || !onSheet(row, col))
            return;
        m_sheet.cells.push_back(makeCell(row, col, kind, number, std::move(text)));
    }
    ImportedSheet &m_sheet;
    bool m_takesCells;
    ss::range_t m_range{};
    std::string m_formula;
};

// Widths in characters of the default font, about 7 pixels at 96 dpi.
double widthInCharacters(double width, orcus::length_unit_t unit)
{
    switch (unit) {
    case orcus::length_unit_t::xlsx_column_digit:
        // The file's width includes 5 pixels of padding; the user sees the rest.
        return std::max(0.0, (std::round(width * 7) - 5) / 7);
    case orcus::length_unit_t::inch:
        return width * 96 / 7;
    case orcus::length_unit_t::centimeter:
        return width / 2.54 * 96 / 7;
    case orcus::length_unit_t::millimeter:
        return width / 25.4 * 96 / 7;
    case orcus::length_unit_t::point:
        return width / 72 * 96 / 7;
    case orcus::length_unit_t::twip:
        return width / 1440 * 96 / 7;
    case orcus::length_unit_t::pixel:
        return width / 7;
    default:
        return -1;
    }
}

class SheetProperties : public iface::import_sheet_properties
{
public:
    explicit SheetProperties(ReferenceResolver &resolver)
        : m_resolver(resolver)
    {
    }
    std::vector<ImportedArea> merged;
    std::vector<std::pair<std::int32_t, double>> widths;
    void set_column_width(ss::col_t column, double width, orcus::length_unit_t unit) override
    {
        const double characters = widthInCharacters(width, unit);
        if (characters >= 0 && column >= 0 && column < maxColumns && widths.size() < 16384)
            widths.emplace_back(column, characters);
    }
    void set_column_hidden(ss::col_t, bool) override {}
    std::vector<std::pair<std::int32_t, double>> heights;
    void set_row_height(ss::row_t row, double height, orcus::length_unit_t unit) override
    {
        if (unit == orcus::length_unit_t::point && row >= 0 && row < maxRows && height >= 0)
            heights.emplace_back(row, height);
    }
    // Called at every row element, so the resolver learns the row.
    void set_row_hidden(ss::row_t row, bool) override { m_resolver.enterRow(row); }
    void set_merge_cell_range(const ss::range_t &range) override
    {
        if (onSheet(range.first.row, range.first.column) && onSheet(range.last.row, range.last.column))
            merged.push_back(ImportedArea{range.first.row, range.first.column, range.last.row, range.last.column});
    }

private:
    ReferenceResolver &m_resolver;
};

// OpenDocument cells are read apart (see OdsValueCells): orcus places them
// wrongly, so a sheet of an ods file takes none of them.
class Sheet : public iface::import_sheet
{
public:
    Sheet(ImportedData &data, size_t index, FileFormat format, ReferenceResolver &resolver)
        : properties(resolver), m_data(data), m_index(index), m_takesCells(format != FileFormat::Ods),
          m_formula(sheet(), format, m_takesCells), m_array(sheet(), m_takesCells),
          m_names(data, static_cast<std::int32_t>(index), format)
    {
    }

    ImportedSheet &sheet() { return m_data.sheets[m_index]; }
    // Cells whose text is a shared string, resolved once all strings are known.
    std::vector<std::pair<size_t, size_t>> pendingStrings; // (cell index, string index)
    SheetProperties properties;
    // Cell formats (xf) the sheet uses, for what saving would lose of them.
    std::vector<bool> usedFormats;

    iface::import_sheet_properties *get_sheet_properties() override { return &properties; }
    iface::import_named_expression *get_named_expression() override { return &m_names; }
    iface::import_array_formula *get_array_formula() override { return &m_array; }
    iface::import_formula *get_formula() override { return &m_formula; }

    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override
    {
        add(row, col, ImportedCell::Kind::Raw, 0, std::string(s));
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t index) override
    {
        if (add(row, col, ImportedCell::Kind::Text, 0, std::string()))
            pendingStrings.emplace_back(sheet().cells.size() - 1, index);
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override
    {
        add(row, col, ImportedCell::Kind::Number, value, std::string());
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override
    {
        add(row, col, ImportedCell::Kind::Boolean, value, std::string());
    }
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour, int minute, double second) override
    {
        const double serial = functions::dateSerial(year, month, day) + (hour * 3600 + minute * 60 + second) / 86400.0;
        add(row, col, ImportedCell::Kind::Number, serial, std::string());
    }
    void set_format(ss::row_t row, ss::col_t col, size_t xf) override { set_format(row, col, row, col, xf); }
    void set_format(ss::row_t firstRow, ss::col_t firstColumn, ss::row_t lastRow, ss::col_t lastColumn, size_t xf) override
    {
        // OpenDocument styles are read with its cells (see OdsValueCells). No
        // file holds a million cell formats: such an index is a broken one.
        if (!m_takesCells || xf == 0 || xf > (1u << 20) || !onSheet(firstRow, firstColumn) || firstRow > lastRow
            || firstColumn > lastColumn)
            return;
        lastRow = std::min<ss::row_t>(lastRow, maxRows - 1);
        lastColumn = std::min<ss::col_t>(lastColumn, maxColumns - 1);
        sheet().styled.push_back(ImportedStyleArea{{firstRow, firstColumn, lastRow, lastColumn}, static_cast<std::int32_t>(xf)});
        if (xf >= usedFormats.size())
            usedFormats.resize(xf + 1);
        usedFormats[xf] = true;
    }
    void fill_down_cells(ss::row_t, ss::col_t, ss::row_t) override {} // only OpenDocument asks
    ss::range_size_t get_sheet_size() const override { return {maxRows, maxColumns}; }

private:
    bool add(ss::row_t row, ss::col_t col, ImportedCell::Kind kind, double number, std::string text)
    {
        if (!m_takesCells || !onSheet(row, col))
            return false;
        sheet().cells.push_back(makeCell(row, col, kind, number, std::move(text)));
        return true;
    }

    ImportedData &m_data;
    size_t m_index;
    bool m_takesCells;
    Formula m_formula;
    ArrayFormula m_array;
    NamedExpressions m_names;
};

class GlobalSettings : public iface::import_global_settings
{
public:
    void set_origin_date(int, int, int) override {}
    void set_default_formula_grammar(ss::formula_grammar_t grammar) override { m_grammar = grammar; }
    ss::formula_grammar_t get_default_formula_grammar() const override { return m_grammar; }
    void set_character_set(orcus::character_set_t) override {}

private:
    ss::formula_grammar_t m_grammar = ss::formula_grammar_t::xlsx;
};

class Factory : public iface::import_factory
{
public:
    Factory(ImportedData &data, FileFormat format)
        : m_data(data), m_format(format), m_resolver(format, data.sheets), m_names(data, -1, format)
    {
        m_data.sheets.reserve(mostSheets);
    }

    iface::import_global_settings *get_global_settings() override { return &m_settings; }
    iface::import_shared_strings *get_shared_strings() override { return &m_strings; }
    iface::import_named_expression *get_named_expression() override { return &m_names; }
    iface::import_styles *get_styles() override { return &m_styles; }
    iface::import_reference_resolver *get_reference_resolver(ss::formula_ref_context_t) override { return &m_resolver; }

    iface::import_sheet *append_sheet(ss::sheet_t index, std::string_view name) override
    {
        if (index != static_cast<ss::sheet_t>(m_sheets.size()))
            return nullptr;
        if (m_sheets.size() >= mostSheets) {
            noteNotRead(m_data, "the sheet \"" + std::string(name) + "\" is not read: a workbook here holds at most "
                                    + std::to_string(mostSheets) + " sheets");
            noteUnsupported(m_data, "sheets past the " + std::to_string(mostSheets) + "th");
            return nullptr;
        }
        m_data.sheets.push_back(ImportedSheet{std::string(name), {}, {}, {}, {}, {}});
        m_sheets.push_back(std::make_unique<Sheet>(m_data, m_sheets.size(), m_format, m_resolver));
        return m_sheets.back().get();
    }
    iface::import_sheet *get_sheet(std::string_view name) override
    {
        for (size_t i = 0; i < m_data.sheets.size(); ++i)
            if (m_data.sheets[i].name == name)
                return m_sheets[i].get();
        return nullptr;
    }
    iface::import_sheet *get_sheet(ss::sheet_t index) override
    {
        return index >= 0 && static_cast<size_t>(index) < m_sheets.size() ? m_sheets[index].get() : nullptr;
    }

    void finalize() override
    {
        for (auto &sheet : m_sheets) {
            for (const auto &[cell, string] : sheet->pendingStrings)
                if (string < m_strings.strings.size())
                    sheet->sheet().cells[cell].text = m_strings.strings[string];
            sheet->sheet().columnWidths = sheet->properties.widths;
            // OpenDocument merges are read with its cells (see OdsValueCells).
            if (m_format != FileFormat::Ods) {
                sheet->sheet().merged = std::move(sheet->properties.merged);
                sheet->sheet().rowHeights = std::move(sheet->properties.heights);
            }
            for (size_t xf = 0; xf < sheet->usedFormats.size(); ++xf)
                if (sheet->usedFormats[xf])
                    for (const std::string &what : m_styles.lost(xf))
                        noteUnsupported(m_data, what);
        }
        if (m_format != FileFormat::Ods)
            m_data.styles = m_styles.cellStyles();
        if (m_format == FileFormat::Ods)
            m_data.unsupported.push_back("the OpenDocument format");
    }

private:
    ImportedData &m_data;
    FileFormat m_format;
    SharedStrings m_strings;
    OrcusStyles m_styles;
    GlobalSettings m_settings;
    ReferenceResolver m_resolver;
    NamedExpressions m_names;
    std::vector<std::unique_ptr<Sheet>> m_sheets;
};

// A shared formula's other cells carry only its index: each gets the text of
// the cell that holds it, moved to where it stands. One whose text cannot be
// moved keeps the file's result as its value, and is reported.
void resolveSharedFormulas(ImportedSheet &sheet, ImportedData &data)
{
    std::map<std::int32_t, ImportedCell> holders;
    for (const ImportedCell &cell : sheet.cells)
        if (cell.kind == ImportedCell::Kind::Formula && cell.shared >= 0)
            holders.emplace(cell.shared, cell);
    for (ImportedCell &cell : sheet.cells) {
        if (cell.shared < 0)
            continue;
        const std::int32_t shared = cell.shared;
        cell.shared = -1;
        if (cell.kind == ImportedCell::Kind::Formula)
            continue;
        const auto holder = holders.find(shared);
        if (holder != holders.end())
            cell.text = shiftFormula(holder->second.text, cell.row - holder->second.row, cell.column - holder->second.column);
        cell.kind = ImportedCell::Kind::Formula;
        if (!cell.text.empty())
            continue;
        const std::string where = quotedSheetName(sheet.name) + "!" + cellText({cell.row, cell.column});
        noteNotRead(data, holder == holders.end() ? where + ": the formula it shares is missing; its value is kept"
                                                  : where + ": the formula it shares with "
                                                        + cellText({holder->second.row, holder->second.column})
                                                        + " cannot be read here; its value is kept");
        noteUnsupported(data, "shared formulas that cannot be read");
        cell.kind = cell.cachedIsError ? ImportedCell::Kind::Error
            : cell.cachedIsBoolean     ? ImportedCell::Kind::Boolean
            : cell.cachedIsNumber      ? ImportedCell::Kind::Number
                                       : ImportedCell::Kind::Text;
        cell.text = cell.cached;
    }
}

// Names the workbook cannot define are reported here, where the report can
// still say that saving would lose them.
void checkNames(ImportedData &data)
{
    for (const ImportedName &name : data.names) {
        if (Workbook::isValidName(name.name) && parseFormula(name.expression).ok)
            continue;
        noteNotRead(data, "the name " + name.name + " (" + name.expression + ") cannot be read");
        noteUnsupported(data, "names that cannot be read");
    }
}

std::string lowerExtension(const std::string &path)
{
    const size_t dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

} // namespace

FileFormat formatOfPath(const std::string &path)
{
    const std::string extension = lowerExtension(path);
    if (extension == "xlsx" || extension == "xlsm")
        return FileFormat::Xlsx;
    if (extension == "ods")
        return FileFormat::Ods;
    if (extension == "csv" || extension == "txt")
        return FileFormat::Csv;
    return FileFormat::Unknown;
}

void importWithOrcus(const std::string &path, FileFormat format, ImportedData &data)
{
    if (format == FileFormat::Csv) {
        readCsvFile(path, data);
        return;
    }
    {
        Factory factory(data, format);
        if (format == FileFormat::Xlsx) {
            orcus::orcus_xlsx reader(&factory);
            reader.read_file(path);
        } else {
            orcus::orcus_ods reader(&factory);
            reader.read_file(path);
        }
    }
    if (format == FileFormat::Xlsx)
        addXlsxCellsOrcusSkips(path, data);
    else
        addOpenDocumentCells(path, data);
    for (ImportedSheet &sheet : data.sheets)
        resolveSharedFormulas(sheet, data);
    checkNames(data);
}

} // namespace workbook
