#include "XlsxCells.h"

#include "IsoDates.h"
#include "XmlPart.h"

#include "../Reference.h"

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <unordered_map>
#include <vector>

namespace workbook {

namespace {

// Far past any sheet, and far from overflowing.
constexpr long long saturated = 1000000000000LL;

// The attributes of the elements of one name in a small part, by local name.
class ElementCollector : public orcus::sax_handler
{
public:
    explicit ElementCollector(std::string_view element)
        : m_element(element)
    {
    }
    std::vector<std::map<std::string, std::string>> found;

    void attribute(const orcus::sax::parser_attribute &attribute)
    {
        m_attributes[std::string(attribute.name)] = std::string(attribute.value);
    }
    void start_element(const orcus::sax::parser_element &element)
    {
        if (element.name == m_element)
            found.push_back(std::move(m_attributes));
        m_attributes.clear();
    }

private:
    std::string_view m_element;
    std::map<std::string, std::string> m_attributes;
};

std::vector<std::map<std::string, std::string>> elementsOf(const orcus::zip_archive &archive, const std::string &part,
                                                           std::string_view element)
{
    std::vector<unsigned char> bytes;
    ElementCollector collector(element);
    if (archive.read_file_entry(part, bytes))
        parseXmlPart(bytes, collector);
    return std::move(collector.found);
}

// A relationship's target as a path in the zip, from the folder of the part that names it.
std::string partPath(const std::string &folder, const std::string &target)
{
    std::vector<std::string> parts;
    std::string path = target.empty() || target.front() != '/' ? folder + "/" + target : target;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string joined;
    for (const std::string &part : parts)
        joined += (joined.empty() ? "" : "/") + part;
    return joined;
}

// The parts of a workbook, as the workbook part and its relationships name them.
struct WorkbookParts
{
    std::map<std::string, std::string> sheets; // sheet name -> its part
    std::string styles;
    bool hiddenSheets = false;
};

WorkbookParts workbookParts(const orcus::zip_archive &archive)
{
    std::string workbook = "xl/workbook.xml";
    for (auto &relationship : elementsOf(archive, "_rels/.rels", "Relationship")) {
        const std::string &type = relationship["Type"];
        if (type.size() >= 15 && type.compare(type.size() - 15, 15, "/officeDocument") == 0)
            workbook = partPath("", relationship["Target"]);
    }
    const size_t slash = workbook.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : workbook.substr(0, slash);
    const std::string file = slash == std::string::npos ? workbook : workbook.substr(slash + 1);
    WorkbookParts parts;
    std::map<std::string, std::string> targets;
    for (auto &relationship : elementsOf(archive, partPath(folder, "_rels/" + file + ".rels"), "Relationship")) {
        targets[relationship["Id"]] = partPath(folder, relationship["Target"]);
        const std::string &type = relationship["Type"];
        if (type.size() >= 7 && type.compare(type.size() - 7, 7, "/styles") == 0)
            parts.styles = targets[relationship["Id"]];
    }
    for (auto &sheet : elementsOf(archive, workbook, "sheet")) {
        if (!sheet["state"].empty() && sheet["state"] != "visible")
            parts.hiddenSheets = true;
        const auto target = targets.find(sheet["id"]);
        if (target != targets.end())
            parts.sheets[sheet["name"]] = target->second;
    }
    return parts;
}

// What orcus does not pass on of the styles part: wrapped, underlined and
// struck-through text, which is kept, and theme colours and turned, indented or shrunk text, which saving
// would lose.
class StylesPartHandler : public orcus::sax_handler
{
public:
    explicit StylesPartHandler(ImportedData &data)
        : m_data(data)
    {
    }

    void attribute(const orcus::sax::parser_attribute &attribute)
    {
        if (attribute.name == "wrapText" || attribute.name == "textRotation" || attribute.name == "indent"
            || attribute.name == "shrinkToFit" || attribute.name == "theme" || attribute.name == "tint"
            || attribute.name == "val" || attribute.name == "fontId")
            m_attributes[std::string(attribute.name)] = std::string(attribute.value);
    }

    void start_element(const orcus::sax::parser_element &element)
    {
        const std::string_view name = element.name;
        m_section = name == "cellXfs" || name == "fonts" || name == "fills" || name == "borders" || name == "dxfs"
            || name == "cellStyleXfs"
            ? std::string(name)
            : m_section;
        if (name == "xf" && m_section == "cellXfs")
            cellFormat();
        else if (name == "font" && m_section == "fonts")
            ++m_font;
        else if (name == "u" && m_section == "fonts" && (!m_attributes.count("val") || m_attributes["val"] != "none"))
            m_fontLines[m_font].first = true;
        else if (name == "strike" && m_section == "fonts" && (!m_attributes.count("val") || set("val")))
            m_fontLines[m_font].second = true;
        else if (name == "alignment" && m_section == "cellXfs")
            alignment();
        else if ((name == "color" || name == "fgColor" || name == "bgColor") && m_attributes.count("theme") && (m_section == "fills" || m_section == "borders"
                                                                     || (m_section == "fonts" && !defaultTextColour())))
            noteUnsupported(m_data, "theme colours");
        m_attributes.clear();
    }

    void end_element(const orcus::sax::parser_element &element)
    {
        if (element.name == m_section)
            m_section.clear();
    }

    void characters(std::string_view, bool) {}

private:
    // The theme's first dark colour, plain: the text colour cells have anyway.
    bool defaultTextColour() const { return m_font == 0 || (m_attributes.at("theme") == "1" && !set("tint")); }

    bool set(const char *attribute) const
    {
        const auto found = m_attributes.find(attribute);
        return found != m_attributes.end() && found->second != "0" && found->second != "false";
    }

    // orcus takes <u/>, a plain underline, and <strike/> for nothing.
    void cellFormat()
    {
        ++m_xf;
        const auto font = m_attributes.find("fontId");
        if (font == m_attributes.end() || static_cast<size_t>(m_xf) >= m_data.styles.size())
            return;
        const auto lines = m_fontLines.find(std::strtol(font->second.c_str(), nullptr, 10));
        if (lines == m_fontLines.end())
            return;
        CellStyle &style = m_data.styles[static_cast<size_t>(m_xf)];
        style.underline = style.underline || lines->second.first;
        style.strikeout = style.strikeout || lines->second.second;
    }

    void alignment()
    {
        if (set("wrapText") && m_xf >= 0 && static_cast<size_t>(m_xf) < m_data.styles.size())
            m_data.styles[static_cast<size_t>(m_xf)].wrap = true;
        if (set("textRotation") || set("indent") || set("shrinkToFit"))
            noteUnsupported(m_data, "turned, indented or shrunk text");
    }

    ImportedData &m_data;
    std::map<std::string, std::string> m_attributes;
    std::string m_section;
    long m_xf = -1, m_font = -1;
    std::map<long, std::pair<bool, bool>> m_fontLines; // font -> underlined, struck through
};

// What a cell of the sheet part held, when orcus passes it on incompletely.
struct FoundValue
{
    ImportedCell::Kind kind = ImportedCell::Kind::Text;
    double number = 0;
    std::string text;
};

std::uint64_t key(long long row, long long column)
{
    return static_cast<std::uint64_t>(row) << 16 | static_cast<std::uint64_t>(column);
}

class SheetHandler : public orcus::sax_handler
{
public:
    SheetHandler(ImportedData &data, size_t sheet)
        : m_data(data), m_sheet(sheet)
    {
    }

    // Results of formulas (by `key`) that orcus passes on without them.
    std::unordered_map<std::uint64_t, FoundValue> formulaResults;

    void attribute(const orcus::sax::parser_attribute &attribute)
    {
        if (attribute.name == "r")
            m_r = attribute.value;
        else if (attribute.name == "t")
            m_t = attribute.value;
        else if (attribute.name == "s" || attribute.name == "style")
            m_style = std::strtol(std::string(attribute.value).c_str(), nullptr, 10);
        else if (attribute.name == "customFormat")
            m_customFormat = attribute.value == "1" || attribute.value == "true";
        else if (attribute.name == "hidden")
            m_hidden = attribute.value == "1" || attribute.value == "true";
        else if (attribute.name == "state")
            m_state = attribute.value;
        else if (attribute.name == "min")
            m_min = std::strtol(std::string(attribute.value).c_str(), nullptr, 10);
        else if (attribute.name == "max")
            m_max = std::strtol(std::string(attribute.value).c_str(), nullptr, 10);
    }

    void start_element(const orcus::sax::parser_element &element)
    {
        const std::string_view name = element.name;
        if (name == "row") {
            startRow();
        } else if (name == "col") {
            columnStyle();
        } else if (name == "conditionalFormatting") {
            noteUnsupported(m_data, "conditional formats");
        } else if (name == "autoFilter") {
            noteUnsupported(m_data, "filters");
        } else if (name == "sheetProtection") {
            noteUnsupported(m_data, "sheet protection");
        } else if (name == "pane" && (m_state == "frozen" || m_state == "frozenSplit")) {
            noteUnsupported(m_data, "frozen panes");
        } else if (name == "dataValidation") {
            noteUnsupported(m_data, "data validation");
        } else if (name == "hyperlink") {
            noteUnsupported(m_data, "hyperlinks");
        } else if (name == "c") {
            startCell();
        } else if (m_inCell) {
            if (name == "f") {
                m_hasFormula = true;
                m_arrayFormula = m_arrayFormula || m_t == "array";
            } else if (name == "v") {
                m_inValue = true;
            } else if (name == "is") {
                m_inInline = m_hasInline = true;
            } else if (name == "rPh") {
                m_inPhonetic = true;
            } else if (name == "t") {
                m_inText = true;
            }
        }
        m_r.clear();
        m_t.clear();
        if (m_hidden && (name == "row" || name == "col"))
            noteUnsupported(m_data, "hidden rows and columns");
        m_style = m_min = m_max = 0;
        m_customFormat = m_hidden = false;
        m_state.clear();
    }

    void end_element(const orcus::sax::parser_element &element)
    {
        const std::string_view name = element.name;
        if (name == "c" && m_inCell)
            endCell();
        else if (name == "v")
            m_inValue = false;
        else if (name == "is")
            m_inInline = false;
        else if (name == "rPh")
            m_inPhonetic = false;
        else if (name == "t")
            m_inText = false;
    }

    void characters(std::string_view text, bool)
    {
        if (m_inValue) {
            m_hasValue = m_hasValue || !text.empty();
            if (m_type != Type::Plain) // the only values this reading takes
                m_value.append(text);
        }
        else if (m_inInline && m_inText && !m_inPhonetic)
            m_inline.append(text);
    }

private:
    void startRow()
    {
        if (m_r.empty()) {
            ++m_row;
        } else {
            long long row = 0;
            for (char c : m_r)
                row = std::isdigit(static_cast<unsigned char>(c)) && row < saturated ? row * 10 + (c - '0') : saturated;
            m_row = row - 1;
        }
        m_column = -1;
        // orcus passes on the formats of cells, not of whole rows and columns.
        if (m_customFormat && m_style > 0 && m_row >= 0 && m_row < maxRows)
            m_data.sheets[m_sheet].styled.push_back(ImportedStyleArea{
                {static_cast<std::int32_t>(m_row), 0, static_cast<std::int32_t>(m_row), maxColumns - 1}, static_cast<std::int32_t>(m_style)});
    }

    void columnStyle()
    {
        const long long first = std::max(1L, m_min) - 1, last = std::min<long long>(std::max(m_min, m_max), maxColumns) - 1;
        if (m_style > 0 && first <= last)
            m_data.sheets[m_sheet].styled.push_back(ImportedStyleArea{
                {0, static_cast<std::int32_t>(first), maxRows - 1, static_cast<std::int32_t>(last)}, static_cast<std::int32_t>(m_style)});
    }

    void startCell()
    {
        m_inCell = true;
        m_hasFormula = m_arrayFormula = m_hasInline = m_hasValue = false;
        m_value.clear();
        m_inline.clear();
        m_type = m_t.empty() || m_t == "n" || m_t == "s" ? Type::Plain
            : m_t == "inlineStr"                         ? Type::Inline
            : m_t == "e"                                 ? Type::Error
            : m_t == "d"                                 ? Type::Date
            : m_t == "b"                                 ? Type::Boolean
            : m_t == "str"                               ? Type::FormulaText
                                                         : Type::Plain;
        m_broken = nullptr;
        if (m_r.empty()) {
            ++m_column;
            return;
        }
        // As orcus reads it (through our reference resolver): a broken
        // address leaves the cell nowhere, and the next one in column A.
        const auto address = readFileCellAddress(m_r);
        m_column = -1;
        if (!address)
            m_broken = "not a cell address";
        else if (address->row != m_row)
            m_broken = "in another row";
        else
            m_column = address->column;
        if (m_broken)
            m_address = m_r;
    }

    void endCell()
    {
        m_inCell = m_inValue = m_inInline = m_inText = m_inPhonetic = false;
        const bool content = m_hasFormula || m_hasInline || m_hasValue;
        if (!content)
            return;
        const std::string &sheet = m_data.sheets[m_sheet].name;
        if (m_broken) {
            noteNotRead(m_data, quotedSheetName(sheet) + " row " + std::to_string(m_row + 1) + ": the cell at \"" + m_address
                                    + "\", " + std::string(m_broken) + ", is not read");
            noteUnsupported(m_data, "cells with broken addresses");
            return;
        }
        if (m_row < 0 || m_column < 0 || m_row >= maxRows || m_column >= maxColumns) {
            noteCellOffSheet(m_data, sheet, m_row, m_column);
            return;
        }
        FoundValue found;
        if (!valueOrcusSkips(found))
            return;
        if (m_hasFormula && !m_arrayFormula) {
            formulaResults[key(m_row, m_column)] = std::move(found);
            return;
        }
        ImportedCell cell;
        cell.row = static_cast<std::int32_t>(m_row);
        cell.column = static_cast<std::int32_t>(m_column);
        cell.kind = found.kind;
        cell.number = found.number;
        cell.text = std::move(found.text);
        // The cells of an array formula come as values: the formula is the
        // first cell's (see the reading of array formulas).
        m_data.sheets[m_sheet].cells.push_back(std::move(cell));
    }

    // False for what orcus passes on itself: numbers, shared strings,
    // booleans and text results of plain cells and formulas.
    bool valueOrcusSkips(FoundValue &found) const
    {
        const bool formula = m_hasFormula && !m_arrayFormula;
        switch (m_type) {
        case Type::Inline:
            found.kind = ImportedCell::Kind::Text;
            found.text = m_hasInline ? m_inline : m_value;
            return true;
        case Type::Error:
            found.kind = ImportedCell::Kind::Error;
            found.text = m_value;
            return true;
        case Type::Date: {
            const auto serial = isoDateSerial(m_value);
            found.kind = serial ? ImportedCell::Kind::Number : ImportedCell::Kind::Text;
            found.number = serial.value_or(0);
            found.text = serial ? std::string() : m_value;
            return true;
        }
        case Type::Boolean:
            found.kind = ImportedCell::Kind::Boolean;
            found.number = m_value == "1" || m_value == "true" ? 1 : 0;
            return formula;
        case Type::FormulaText:
            found.kind = ImportedCell::Kind::Text; // what an array formula gave
            found.text = m_value;
            return !formula;
        case Type::Plain:
            break;
        }
        return false;
    }

    // A cell's type ("t"): numbers and shared strings orcus reads whole.
    enum class Type { Plain, Inline, Error, Date, Boolean, FormulaText };

    ImportedData &m_data;
    size_t m_sheet;
    std::string m_r, m_t; // attributes of the element being started
    long m_style = 0, m_min = 0, m_max = 0;
    bool m_customFormat = false, m_hidden = false;
    std::string m_state;
    long long m_row = -1, m_column = -1;
    Type m_type = Type::Plain;
    const char *m_broken = nullptr; // why the cell's address is no place
    std::string m_address, m_value, m_inline;
    bool m_inCell = false, m_hasFormula = false, m_arrayFormula = false, m_hasInline = false, m_hasValue = false;
    bool m_inValue = false, m_inInline = false, m_inText = false, m_inPhonetic = false;
};

void addFormulaResults(ImportedSheet &sheet, const std::unordered_map<std::uint64_t, FoundValue> &results)
{
    if (results.empty())
        return;
    for (ImportedCell &cell : sheet.cells) {
        if (cell.kind != ImportedCell::Kind::Formula && cell.kind != ImportedCell::Kind::SharedFormula)
            continue;
        const auto found = results.find(key(cell.row, cell.column));
        if (found == results.end())
            continue;
        const FoundValue &result = found->second;
        cell.cachedIsNumber = result.kind == ImportedCell::Kind::Number || result.kind == ImportedCell::Kind::Boolean;
        cell.cachedIsBoolean = result.kind == ImportedCell::Kind::Boolean;
        cell.cachedIsError = result.kind == ImportedCell::Kind::Error;
        cell.number = result.number;
        cell.cached = result.text;
    }
}

} // namespace

std::optional<FileCellAddress> readFileCellAddress(std::string_view text)
{
    FileCellAddress address;
    size_t i = 0;
    for (; i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])); ++i) {
        const int letter = std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1;
        address.column = address.column < saturated ? address.column * 26 + letter : saturated;
    }
    const size_t letters = i;
    long long row = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        row = row < saturated ? row * 10 + (text[i] - '0') : saturated;
    if (letters == 0 || i == letters || i != text.size() || row == 0)
        return std::nullopt;
    address.row = row - 1;
    address.column -= 1;
    return address;
}

void addXlsxCellsOrcusSkips(const std::string &path, ImportedData &data)
{
    orcus::zip_archive_stream_fd stream(path.c_str());
    orcus::zip_archive archive(&stream);
    archive.load();
    const WorkbookParts parts = workbookParts(archive);
    if (parts.hiddenSheets)
        noteUnsupported(data, "hidden sheets");
    std::vector<unsigned char> styles;
    if (!parts.styles.empty() && archive.read_file_entry(parts.styles, styles)) {
        StylesPartHandler handler(data);
        parseXmlPart(styles, handler);
    }
    for (size_t i = 0; i < data.sheets.size(); ++i) {
        const auto part = parts.sheets.find(data.sheets[i].name);
        std::vector<unsigned char> bytes;
        if (part == parts.sheets.end() || !archive.read_file_entry(part->second, bytes))
            continue;
        SheetHandler handler(data, i);
        parseXmlPart(bytes, handler);
        addFormulaResults(data.sheets[i], handler.formulaResults);
    }
}

} // namespace workbook
