#pragma once

#include "../format/CellStyle.h"

#include <orcus/sax_parser_base.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

// The cell styles and data styles (number formats) of an OpenDocument
// spreadsheet, read from the elements of its styles and automatic styles,
// each cell style resolved through its parents into a CellStyle and its data
// style into a format code.
class OdsStyles
{
public:
    void attribute(const orcus::sax::parser_attribute &attribute);
    // Elements outside the spreadsheet body, in document order.
    void startElement(std::string_view ns, std::string_view name);
    void endElement(std::string_view ns, std::string_view name);
    void characters(std::string_view text);

    // The index in `styles` of a cell style, added there when first asked
    // for; 0 (the default) for a style that changes nothing or is unknown.
    std::int32_t styleIndex(const std::string &name, std::vector<CellStyle> &styles);

private:
    struct DataStyle
    {
        std::string code;
        Rgb colour = noColour;
        std::vector<std::pair<std::string, std::string>> maps; // condition, style name
    };
    struct PartialStyle
    {
        std::string parent, dataStyle;
        std::optional<bool> bold, italic, underline, strikeout, wrap;
        std::optional<std::string> fontName;
        std::optional<double> fontSize;
        std::optional<VerticalAlignment> vertical;
        std::optional<Rgb> fontColour, fill;
        std::optional<HorizontalAlignment> alignment;
        std::optional<BorderSide> left, right, top, bottom;
    };

    const std::string &value(std::string_view ns, std::string_view name) const;
    void dataStylePart(std::string_view name);
    void cellStylePart(std::string_view name);
    std::string formatCode(const std::string &dataStyle, int depth) const;
    void apply(const std::string &name, CellStyle &style, int depth) const;

    std::map<std::string, std::string> m_attributes; // "ns:name" -> value, of the element being started
    std::map<std::string, DataStyle> m_dataStyles;
    std::map<std::string, PartialStyle> m_cellStyles;
    std::map<std::string, std::int32_t> m_resolved;
    // The style being read.
    std::string m_name;
    DataStyle m_data;
    PartialStyle m_cell;
    bool m_inDataStyle = false, m_inCellStyle = false, m_percentage = false, m_elapsed = false;
    bool m_takingText = false;
    std::string m_text;
};

} // namespace workbook
