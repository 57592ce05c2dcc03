#include "BuildWorkbook.h"

#include "../Evaluator.h"
#include "../FormulaParser.h"

#include <algorithm>

namespace workbook {

namespace {

Value errorOrText(const std::string &literal)
{
    ErrorCode code;
    return parseErrorLiteral(literal, code) ? Value::error(code) : Value::text(literal);
}

// The result a file cached for a formula. Our own xlsx files store booleans
// and errors as text (the writer knows no other kinds), so such texts read back
// as what they were.
Value cachedResult(const ImportedCell &cell)
{
    if (cell.cachedIsError)
        return errorOrText(cell.cached);
    if (cell.cachedIsBoolean)
        return Value::boolean(cell.number != 0);
    if (cell.cachedIsNumber)
        return Value::number(cell.number);
    if (cell.cached == "TRUE" || cell.cached == "FALSE")
        return Value::boolean(cell.cached == "TRUE");
    return cell.cached.empty() ? Value() : errorOrText(cell.cached);
}

class Builder
{
public:
    Builder(Workbook &book, LoadReport &report)
        : m_book(book), m_report(report)
    {
    }

    void cell(const CellLocation &where, const ImportedCell &cell)
    {
        switch (cell.kind) {
        case ImportedCell::Kind::Number:
            m_book.setValue(where, Value::number(cell.number));
            break;
        case ImportedCell::Kind::Boolean:
            m_book.setValue(where, Value::boolean(cell.number != 0));
            break;
        case ImportedCell::Kind::Text:
            m_book.setValue(where, Value::text(cell.text));
            break;
        case ImportedCell::Kind::Error:
            m_book.setValue(where, errorOrText(cell.text));
            break;
        case ImportedCell::Kind::Raw:
            m_book.setInput(where, cell.text);
            break;
        case ImportedCell::Kind::Formula:
        case ImportedCell::Kind::SharedFormula:
            if (cell.arrayRows > 0 && cell.arrayColumns > 0)
                m_arrayFormulas.emplace_back(where, &cell); // over the values its block's cells came with
            else
                formula(where, cell);
            break;
        }
    }

    // The array formulas of the cells given so far, each over its block.
    void arrayFormulas()
    {
        for (const auto &[where, cell] : m_arrayFormulas) {
            const std::string text = formulaFromFile(cell->text);
            if (evaluable(text) && m_book.setArrayFormula(where, cell->arrayRows, cell->arrayColumns, text))
                continue;
            // The block's cells keep the values the file gave them.
            const bool cached = cell->cachedIsNumber || !cell->cached.empty();
            keep(where, *cell, cached ? cachedResult(*cell) : m_book.value(where), cell->arrayRows, cell->arrayColumns);
        }
        m_arrayFormulas.clear();
    }

private:
    void formula(const CellLocation &where, const ImportedCell &cell)
    {
        const std::string text = formulaFromFile(cell.text);
        ErrorCode error;
        if (parseErrorLiteral(text, error)) {
            // How an error constant is saved to xlsx (see SaveXlsx): read back as one.
            m_book.setValue(where, Value::error(error));
            return;
        }
        if (!text.empty() && m_book.setFormula(where, text) && !m_book.callsUnknownFunction(where))
            return;
        keep(where, cell, cachedResult(cell), 0, 0);
    }

    // Whether the formula parses and knows every function it calls.
    static bool evaluable(const std::string &text)
    {
        const ParseResult parsed = parseFormula(text);
        return parsed.ok
            && std::all_of(parsed.program.functions.begin(), parsed.program.functions.end(),
                           [](const std::string &name) { return findFunction(name) >= 0; });
    }

    void keep(const CellLocation &where, const ImportedCell &cell, const Value &result, int arrayRows, int arrayColumns)
    {
        m_book.setKeptFormula(where, cell.text, result, arrayRows, arrayColumns);
        if (m_report.unreadableFormulaCells.size() < mostNotReadLines)
            m_report.unreadableFormulaCells.push_back(quotedSheetName(m_book.sheetName(where.sheet)) + "!"
                                                      + cellText({where.row, where.column}));
        ++m_report.unreadableFormulas;
    }

    Workbook &m_book;
    LoadReport &m_report;
    std::vector<std::pair<CellLocation, const ImportedCell *>> m_arrayFormulas;
};

// Most cells a sheet's formatted areas are spread to (whole rows and columns
// aside), so a file cannot make the workbook hold a style per cell of a sheet.
constexpr long long mostStyledCells = 1LL << 22;

// `styles`: the workbook's index of each of the file's styles.
void applyFormats(const std::vector<StyleIndex> &styles, const ImportedSheet &sheet, SheetIndex index, Workbook &book,
                  LoadReport &report)
{
    CellFormats &formats = book.formats();
    long long spread = 0;
    for (const ImportedStyleArea &styled : sheet.styled) {
        if (styled.style < 0 || static_cast<size_t>(styled.style) >= styles.size())
            continue;
        const StyleIndex style = styles[static_cast<size_t>(styled.style)];
        const ImportedArea &a = styled.area;
        if (a.firstRow == 0 && a.lastRow >= maxRows - 1) {
            for (int column = a.firstColumn; column <= a.lastColumn; ++column)
                formats.setColumnStyle(index, column, style);
        } else if (a.firstColumn == 0 && a.lastColumn >= maxColumns - 1) {
            for (int row = a.firstRow; row <= a.lastRow; ++row)
                formats.setRowStyle(index, row, style);
        } else {
            spread += static_cast<long long>(a.lastRow - a.firstRow + 1) * (a.lastColumn - a.firstColumn + 1);
            if (spread > mostStyledCells) {
                report.notRead.push_back("the formats of " + quotedSheetName(sheet.name) + " past "
                                         + std::to_string(mostStyledCells) + " cells are not read");
                report.unsupported.push_back("formats of more than " + std::to_string(mostStyledCells) + " cells in a sheet");
                break;
            }
            for (int row = a.firstRow; row <= a.lastRow; ++row)
                for (int column = a.firstColumn; column <= a.lastColumn; ++column)
                    formats.setCellStyle(index, row, column, style);
        }
    }
    for (const auto &[row, height] : sheet.rowHeights)
        formats.setRowHeight(index, row, height);
    for (const ImportedArea &a : sheet.merged)
        formats.addMergedArea(index, MergedArea{a.firstRow, a.firstColumn, a.lastRow, a.lastColumn});
}

} // namespace

LoadReport buildWorkbook(const ImportedData &data, Workbook &book)
{
    LoadReport report;
    report.unsupported = data.unsupported;
    report.notRead = data.notRead;
    std::vector<SheetIndex> sheets;
    for (size_t i = 0; i < data.sheets.size(); ++i) {
        SheetIndex index = book.addSheet(data.sheets[i].name);
        for (int n = 1; index < 0; ++n) {
            index = book.addSheet("Sheet" + std::to_string(i + n));
            if (index >= 0) {
                report.notRead.push_back("the sheet \"" + data.sheets[i].name + "\" is named " + book.sheetName(index)
                                         + ": a sheet name cannot be empty, repeat another or hold : \\ / ? * [ ]");
                const std::string what = "sheet names this program cannot take";
                if (std::find(report.unsupported.begin(), report.unsupported.end(), what) == report.unsupported.end())
                    report.unsupported.push_back(what);
            }
        }
        sheets.push_back(index);
    }
    for (const ImportedName &name : data.names) {
        const SheetIndex scope = name.scope >= 0 && static_cast<size_t>(name.scope) < sheets.size() ? sheets[name.scope] : -1;
        book.defineName(name.name, name.expression, scope);
    }
    std::vector<StyleIndex> styles;
    for (const CellStyle &style : data.styles)
        styles.push_back(book.formats().addStyle(style));
    Builder builder(book, report);
    for (size_t i = 0; i < data.sheets.size(); ++i) {
        for (const auto &[column, width] : data.sheets[i].columnWidths)
            book.setColumnWidth(sheets[i], column, width);
        applyFormats(styles, data.sheets[i], sheets[i], book, report);
        for (const ImportedCell &cell : data.sheets[i].cells)
            builder.cell(CellLocation{sheets[i], cell.row, cell.column}, cell);
        builder.arrayFormulas();
    }
    if (book.sheetCount() == 0)
        book.addSheet("Sheet1");
    book.recalculateAll();
    if (data.notReadOmitted > 0)
        report.notRead.push_back("and " + std::to_string(data.notReadOmitted) + " more");
    report.ok = true;
    return report;
}

} // namespace workbook
