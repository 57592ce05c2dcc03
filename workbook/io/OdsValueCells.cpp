#include "OdsValueCells.h"

#include "IsoDates.h"
#include "OdsStyles.h"
#include "XmlPart.h"

#include "../FormulaParser.h"
#include "../Reference.h"

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace workbook {

namespace {

// Copies of repeated cells beyond the first, in the whole file: a column of
// one value repeated down a sheet is data, a million rows of a thousand
// repeated cells is a file that would not fit anywhere.
constexpr long long mostRepeatedCopies = 16LL << 20;

// The attributes this reader looks at.
enum Attribute {
    ValueType, Value, DateValue, TimeValue, BooleanValue, StringValue, CalcValueType, Formula, ColumnsRepeated,
    RowsRepeated, MatrixColumns, MatrixRows, SpaceCount, TableName, StyleName, DefaultCellStyle, ColumnsSpanned,
    RowsSpanned, AttributeCount
};

struct AttributeName
{
    std::string_view ns, name;
};

constexpr std::array<AttributeName, AttributeCount> attributeNames = {{
    {"office", "value-type"}, {"office", "value"}, {"office", "date-value"}, {"office", "time-value"},
    {"office", "boolean-value"}, {"office", "string-value"}, {"calcext", "value-type"}, {"table", "formula"},
    {"table", "number-columns-repeated"}, {"table", "number-rows-repeated"},
    {"table", "number-matrix-columns-spanned"}, {"table", "number-matrix-rows-spanned"}, {"text", "c"}, {"table", "name"},
    {"table", "style-name"}, {"table", "default-cell-style-name"}, {"table", "number-columns-spanned"},
    {"table", "number-rows-spanned"},
}};

class Attributes
{
public:
    void clear() { m_present.fill(false); }
    void take(const orcus::sax::parser_attribute &attribute)
    {
        for (size_t i = 0; i < attributeNames.size(); ++i) {
            if (attribute.name == attributeNames[i].name && attribute.ns == attributeNames[i].ns) {
                m_values[i].assign(attribute.value);
                m_present[i] = true;
            }
        }
    }
    bool has(Attribute a) const { return m_present[a]; }
    const std::string &operator[](Attribute a) const { return m_present[a] ? m_values[a] : m_none; }
    // A count such as number-columns-repeated: 1 to `most`.
    long long count(Attribute a, long long most) const
    {
        if (!m_present[a])
            return 1;
        const long long n = std::strtoll(m_values[a].c_str(), nullptr, 10);
        return std::clamp(n, 1LL, most);
    }

private:
    std::array<std::string, AttributeCount> m_values;
    std::array<bool, AttributeCount> m_present{};
    std::string m_none;
};

std::optional<double> number(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        return std::nullopt;
    return value;
}

// The formula as this program writes formulas: OpenDocument's own syntax
// converted, the syntax of the other spreadsheet ("msoxl:=") as it is.
std::string formulaText(const std::string &attribute)
{
    constexpr std::string_view excel = "msoxl:=";
    if (attribute.compare(0, excel.size(), excel) == 0)
        return attribute.substr(excel.size());
    return formulaFromOpenDocument(attribute);
}

// What a table cell holds, as one ImportedCell (kind Raw: nothing).
class CellContent
{
public:
    void start(const Attributes &attributes)
    {
        m_attributes = attributes;
        m_paragraphs.clear();
        m_paragraphCount = 0;
    }
    void startParagraph()
    {
        if (m_paragraphCount++ > 0)
            m_paragraphs += '\n';
    }
    void text(std::string_view text) { m_paragraphs.append(text); }
    void spaces(long long count) { m_paragraphs.append(static_cast<size_t>(count), ' '); }
    void character(char c) { m_paragraphs += c; }

    // The cell, or false when it holds nothing.
    bool finish(ImportedCell &cell) const
    {
        cell = ImportedCell();
        ImportedCell value;
        const bool hasValue = readValue(value);
        if (!m_attributes.has(Formula)) {
            cell = std::move(value);
            return hasValue;
        }
        cell.kind = ImportedCell::Kind::Formula;
        cell.text = formulaText(m_attributes[Formula]);
        if (m_attributes.has(MatrixColumns) || m_attributes.has(MatrixRows)) {
            cell.arrayRows = static_cast<std::int32_t>(m_attributes.count(MatrixRows, maxRows));
            cell.arrayColumns = static_cast<std::int32_t>(m_attributes.count(MatrixColumns, maxColumns));
        }
        if (!hasValue)
            return true;
        cell.number = value.number;
        cell.cachedIsNumber = value.kind == ImportedCell::Kind::Number || value.kind == ImportedCell::Kind::Boolean;
        cell.cachedIsBoolean = value.kind == ImportedCell::Kind::Boolean;
        cell.cachedIsError = value.kind == ImportedCell::Kind::Error;
        if (value.kind == ImportedCell::Kind::Text || value.kind == ImportedCell::Kind::Error)
            cell.cached = value.text;
        return true;
    }

private:
    bool readValue(ImportedCell &cell) const
    {
        const std::string &type = m_attributes[ValueType];
        std::optional<double> serial;
        if (m_attributes[CalcValueType] == "error" && !m_paragraphs.empty()) {
            cell.kind = ImportedCell::Kind::Error;
            cell.text = m_paragraphs;
            return true;
        }
        if (type == "float" || type == "percentage" || type == "currency")
            serial = number(m_attributes[Value]);
        else if (type == "date")
            serial = openDocumentDateSerial(m_attributes[DateValue]);
        else if (type == "time")
            serial = isoDurationDays(m_attributes[TimeValue]);
        if (serial) {
            cell.kind = ImportedCell::Kind::Number;
            cell.number = *serial;
            return true;
        }
        if (type == "boolean") {
            const std::string &value = m_attributes[BooleanValue];
            cell.kind = ImportedCell::Kind::Boolean;
            cell.number = value == "true" || value == "1" ? 1 : 0;
            return true;
        }
        // Strings, and any value the attributes do not give: the text shown.
        cell.kind = ImportedCell::Kind::Text;
        cell.text = type == "string" && m_attributes.has(StringValue) ? m_attributes[StringValue] : m_paragraphs;
        return !cell.text.empty() || type == "string";
    }

    Attributes m_attributes;
    std::string m_paragraphs;
    int m_paragraphCount = 0;
};

class ContentHandler : public orcus::sax_handler
{
public:
    explicit ContentHandler(ImportedData &data, OdsStyles &styles)
        : m_data(data), m_styles(styles)
    {
    }

    void attribute(const orcus::sax::parser_attribute &attribute)
    {
        m_attributes.take(attribute);
        if (!m_inBody)
            m_styles.attribute(attribute);
    }

    void start_element(const orcus::sax::parser_element &element)
    {
        const std::string_view ns = element.ns, name = element.name;
        if (!m_inBody) {
            m_inBody = ns == "office" && name == "body";
            m_styles.startElement(ns, name);
        } else if (m_inAnnotation > 0) {
            m_inAnnotation += ns == "office" && name == "annotation";
        } else if (m_inCell && ns == "table") {
            m_nestedCells += name == "table-cell" || name == "covered-table-cell"; // of a table inside the cell
        } else if (m_inCell && ns == "text") {
            paragraphPart(name);
        } else if (m_inCell && ns == "office" && name == "annotation") {
            m_inAnnotation = 1;
            noteUnsupported(m_data, "comments");
        } else if (ns == "table") {
            tablePart(name);
        }
        m_attributes.clear();
    }

    void end_element(const orcus::sax::parser_element &element)
    {
        const std::string_view ns = element.ns, name = element.name;
        if (!m_inBody) {
            m_styles.endElement(ns, name);
        } else if (m_inAnnotation > 0) {
            m_inAnnotation -= ns == "office" && name == "annotation";
        } else if (ns == "text" && (name == "p" || name == "h")) {
            m_inParagraph = false;
        } else if (ns == "table" && (name == "table-cell" || name == "covered-table-cell") && m_inCell) {
            if (m_nestedCells > 0)
                --m_nestedCells;
            else
                endCell();
        } else if (m_inCell) {
            return;
        } else if (ns == "table" && name == "table-row" && m_sheet) {
            endRow();
        } else if (ns == "table" && name == "table") {
            m_sheet = nullptr;
        }
    }

    void characters(std::string_view text, bool)
    {
        if (!m_inBody)
            m_styles.characters(text);
        else if (m_inCell && m_inParagraph && m_inAnnotation == 0)
            m_content.text(text);
    }

private:
    void paragraphPart(std::string_view name)
    {
        if (name == "p" || name == "h") {
            m_inParagraph = true;
            m_content.startParagraph();
        } else if (!m_inParagraph) {
            return;
        } else if (name == "s") {
            m_content.spaces(m_attributes.count(SpaceCount, 32767));
        } else if (name == "tab") {
            m_content.character('\t');
        } else if (name == "line-break") {
            m_content.character('\n');
        }
    }

    void tablePart(std::string_view name)
    {
        if (name == "table") {
            m_sheet = nullptr;
            for (ImportedSheet &sheet : m_data.sheets)
                if (sheet.name == m_attributes[TableName])
                    m_sheet = &sheet;
            m_row = 0;
            m_tableColumn = 0;
        } else if (name == "table-column" && m_sheet) {
            columnStyle();
        } else if (name == "table-row" && m_sheet) {
            m_rowRepeat = m_attributes.count(RowsRepeated, maxRows + 1LL);
            m_column = 0;
            m_rowCells.clear();
            m_rowStyles.clear();
        } else if ((name == "table-cell" || name == "covered-table-cell") && m_sheet) {
            m_inCell = true;
            m_cellRepeat = m_attributes.count(ColumnsRepeated, maxColumns + 1LL);
            m_content.start(m_attributes);
            m_cellStyle = m_attributes.has(StyleName) ? m_styles.styleIndex(m_attributes[StyleName], m_data.styles) : -1;
            if (name == "table-cell" && (m_attributes.has(ColumnsSpanned) || m_attributes.has(RowsSpanned)))
                merge(m_attributes.count(RowsSpanned, maxRows), m_attributes.count(ColumnsSpanned, maxColumns));
        }
    }

    // A column's default cell style formats the column's cells that name none.
    void columnStyle()
    {
        const long long repeat = m_attributes.count(ColumnsRepeated, maxColumns + 1LL);
        const std::int32_t style = m_styles.styleIndex(m_attributes[DefaultCellStyle], m_data.styles);
        if (style > 0 && m_tableColumn < maxColumns)
            m_sheet->styled.push_back(ImportedStyleArea{
                {0, static_cast<std::int32_t>(m_tableColumn), maxRows - 1,
                 static_cast<std::int32_t>(std::min(m_tableColumn + repeat, static_cast<long long>(maxColumns)) - 1)},
                style});
        m_tableColumn += repeat;
    }

    void merge(long long rows, long long columns)
    {
        if ((rows > 1 || columns > 1) && m_row < maxRows && m_column < maxColumns)
            m_sheet->merged.push_back(ImportedArea{static_cast<std::int32_t>(m_row), static_cast<std::int32_t>(m_column),
                                                   static_cast<std::int32_t>(std::min(m_row + rows, static_cast<long long>(maxRows)) - 1),
                                                   static_cast<std::int32_t>(std::min(m_column + columns, static_cast<long long>(maxColumns)) - 1)});
    }

    void endCell()
    {
        m_inCell = m_inParagraph = false;
        // A cell naming a style has it, with or without content; "Default" in a formatted column too.
        if (m_cellStyle >= 0 && m_column < maxColumns && (m_cellStyle > 0 || !m_sheet->styled.empty()))
            m_rowStyles.push_back(ImportedStyleArea{
                {0, static_cast<std::int32_t>(m_column), 0,
                 static_cast<std::int32_t>(std::min(m_column + m_cellRepeat, static_cast<long long>(maxColumns)) - 1)},
                m_cellStyle});
        ImportedCell cell;
        if (m_content.finish(cell)) {
            if (m_row >= maxRows || m_column >= maxColumns) {
                noteCellOffSheet(m_data, m_sheet->name, m_row, m_column);
            } else {
                const long long copies = std::min(m_cellRepeat, maxColumns - m_column);
                if (copies < m_cellRepeat)
                    noteCellOffSheet(m_data, m_sheet->name, m_row, maxColumns);
                for (long long c = 0; c < copies && spendCopy(c > 0); ++c) {
                    cell.row = static_cast<std::int32_t>(m_row);
                    cell.column = static_cast<std::int32_t>(m_column + c);
                    m_rowCells.push_back(cell);
                }
            }
        }
        m_column += m_cellRepeat;
    }

    void endRow()
    {
        if (!m_rowStyles.empty() && m_row < maxRows) {
            const std::int32_t last = static_cast<std::int32_t>(std::min(m_row + m_rowRepeat, static_cast<long long>(maxRows)) - 1);
            for (ImportedStyleArea styled : m_rowStyles) {
                styled.area.firstRow = static_cast<std::int32_t>(m_row);
                styled.area.lastRow = last;
                m_sheet->styled.push_back(styled);
            }
        }
        if (!m_rowCells.empty()) {
            const long long copies = std::min(m_rowRepeat, maxRows - m_row);
            if (copies < m_rowRepeat)
                noteCellOffSheet(m_data, m_sheet->name, maxRows, m_rowCells.front().column);
            for (long long r = 0; r < copies; ++r) {
                for (const ImportedCell &cell : m_rowCells) {
                    if (!spendCopy(r > 0))
                        break;
                    m_sheet->cells.push_back(cell);
                    m_sheet->cells.back().row = static_cast<std::int32_t>(m_row + r);
                }
            }
        }
        m_row += m_rowRepeat;
    }

    // False once the file has used up its repeated copies (told once).
    bool spendCopy(bool isCopy)
    {
        if (!isCopy)
            return true;
        if (m_copies < mostRepeatedCopies) {
            ++m_copies;
            return true;
        }
        if (!m_copiesExhausted) {
            m_copiesExhausted = true;
            noteNotRead(m_data, quotedSheetName(m_sheet->name) + " row " + std::to_string(m_row + 1)
                                    + " on: repeated cells past " + std::to_string(mostRepeatedCopies)
                                    + " copies are not read");
            noteUnsupported(m_data, "repeated cells past " + std::to_string(mostRepeatedCopies) + " copies");
        }
        return false;
    }

    ImportedData &m_data;
    OdsStyles &m_styles;
    bool m_inBody = false;
    std::vector<ImportedStyleArea> m_rowStyles; // of the row under way, its rows still unset
    std::int32_t m_cellStyle = -1;              // of the cell under way; -1: it names none
    long long m_tableColumn = 0;                // of the next table-column element
    Attributes m_attributes;
    CellContent m_content;
    ImportedSheet *m_sheet = nullptr;
    std::vector<ImportedCell> m_rowCells; // one copy of the row under way
    long long m_row = 0, m_rowRepeat = 1, m_column = 0, m_cellRepeat = 1;
    long long m_copies = 0;
    bool m_copiesExhausted = false;
    bool m_inCell = false, m_inParagraph = false;
    int m_inAnnotation = 0; // depth
    int m_nestedCells = 0;
};

} // namespace

void addOpenDocumentCells(const std::string &path, ImportedData &data)
{
    orcus::zip_archive_stream_fd stream(path.c_str());
    orcus::zip_archive archive(&stream);
    archive.load();
    // Named styles first: the automatic styles of the content build on them.
    OdsStyles styles;
    std::vector<unsigned char> part;
    if (archive.read_file_entry("styles.xml", part)) {
        ContentHandler stylesOnly(data, styles);
        parseXmlPart(part, stylesOnly);
    }
    std::vector<unsigned char> content;
    if (!archive.read_file_entry("content.xml", content))
        return;
    ContentHandler handler(data, styles);
    parseXmlPart(content, handler);
}

} // namespace workbook
