#include "OdsStyles.h"

#include <cstdlib>

namespace workbook {

namespace {

const std::string none;

// "#ff0000" as 0xFF0000; "transparent" and anything else as no colour.
Rgb colourOf(const std::string &text)
{
    if (text.size() != 7 || text[0] != '#')
        return noColour;
    char *end = nullptr;
    const long v = std::strtol(text.c_str() + 1, &end, 16);
    return end == text.c_str() + 7 ? static_cast<Rgb>(v) : noColour;
}

// "0.06pt solid #000000": the line and its colour.
BorderSide borderOf(const std::string &text)
{
    BorderSide side;
    if (text.empty() || text == "none")
        return side;
    char *end = nullptr;
    double width = std::strtod(text.c_str(), &end);
    const std::string rest(end);
    if (rest.rfind("cm", 0) == 0)
        width *= 72 / 2.54;
    else if (rest.rfind("mm", 0) == 0)
        width *= 72 / 25.4;
    else if (rest.rfind("in", 0) == 0)
        width *= 72;
    side.line = rest.find("double") != std::string::npos ? BorderLine::Double
        : rest.find("dotted") != std::string::npos       ? BorderLine::Dotted
        : rest.find("dash") != std::string::npos         ? BorderLine::Dashed
        : rest.find("none") != std::string::npos         ? BorderLine::None
        : width > 1.75                                   ? BorderLine::Thick
        : width > 0.8                                    ? BorderLine::Medium
                                                         : BorderLine::Thin;
    const size_t hash = rest.find('#');
    if (hash != std::string::npos)
        side.colour = colourOf(rest.substr(hash, 7));
    return side;
}

std::string quoted(const std::string &text)
{
    std::string out = "\"";
    for (char c : text)
        if (c != '"')
            out += c;
    return out + "\"";
}

int count(const std::string &text, int fallback)
{
    return text.empty() ? fallback : std::atoi(text.c_str());
}

// The placeholders of a number: "#,##0.00" from its digits and grouping.
std::string numberCode(int integerDigits, bool grouping, int decimals, int minDecimals)
{
    std::string whole;
    const int places = grouping ? std::max(integerDigits, 4) : std::max(integerDigits, 1);
    for (int i = 0; i < places; ++i) {
        if (grouping && i == places - 3)
            whole += ',';
        whole += places - i <= integerDigits ? '0' : '#';
    }
    std::string code = whole;
    if (decimals > 0)
        code += "." + std::string(static_cast<size_t>(minDecimals), '0') + std::string(static_cast<size_t>(decimals - minDecimals), '#');
    return code;
}

std::string colourName(Rgb colour)
{
    switch (colour) {
    case 0x000000: return "[Black]";
    case 0x0000FF: return "[Blue]";
    case 0x00FFFF: return "[Cyan]";
    case 0x00FF00: return "[Green]";
    case 0xFF00FF: return "[Magenta]";
    case 0xFF0000: return "[Red]";
    case 0xFFFFFF: return "[White]";
    case 0xFFFF00: return "[Yellow]";
    default: return std::string();
    }
}

} // namespace

const std::string &OdsStyles::value(std::string_view ns, std::string_view name) const
{
    const auto found = m_attributes.find(std::string(ns) + ":" + std::string(name));
    return found == m_attributes.end() ? none : found->second;
}

void OdsStyles::attribute(const orcus::sax::parser_attribute &attribute)
{
    m_attributes[std::string(attribute.ns) + ":" + std::string(attribute.name)] = std::string(attribute.value);
}

void OdsStyles::startElement(std::string_view ns, std::string_view name)
{
    if (ns == "number" && (name == "number-style" || name == "percentage-style" || name == "currency-style"
                           || name == "date-style" || name == "time-style" || name == "text-style")) {
        m_inDataStyle = true;
        m_data = DataStyle();
        m_name = value("style", "name");
        m_percentage = name == "percentage-style";
        m_elapsed = name == "time-style" && value("number", "truncate-on-overflow") == "false";
    } else if (ns == "style" && name == "style" && value("style", "family") == "table-cell") {
        m_inCellStyle = true;
        m_cell = PartialStyle();
        m_name = value("style", "name");
        m_cell.parent = value("style", "parent-style-name");
        m_cell.dataStyle = value("style", "data-style-name");
    } else if (m_inDataStyle) {
        dataStylePart(name);
    } else if (m_inCellStyle) {
        cellStylePart(name);
    }
    m_attributes.clear();
}

void OdsStyles::dataStylePart(std::string_view name)
{
    const bool longStyle = value("number", "style") == "long";
    std::string &code = m_data.code;
    if (name == "number") {
        const int decimals = count(value("number", "decimal-places"), 0);
        code += numberCode(count(value("number", "min-integer-digits"), 1), value("number", "grouping") == "true", decimals,
                           count(value("number", "min-decimal-places"), decimals));
    } else if (name == "scientific-number") {
        const int decimals = count(value("number", "decimal-places"), 0);
        code += numberCode(count(value("number", "min-integer-digits"), 1), false, decimals, decimals) + "E+"
            + std::string(static_cast<size_t>(std::max(1, count(value("number", "min-exponent-digits"), 2))), '0');
    } else if (name == "fraction") {
        const std::string denominator = value("number", "denominator-value");
        code += (count(value("number", "min-integer-digits"), 0) > 0 ? "0 " : "# ")
            + std::string(static_cast<size_t>(std::max(1, count(value("number", "min-numerator-digits"), 1))), '?') + "/"
            + (denominator.empty() ? std::string(static_cast<size_t>(std::max(1, count(value("number", "min-denominator-digits"), 1))), '?')
                                   : denominator);
    } else if (name == "text" || name == "currency-symbol") {
        m_takingText = true;
        m_text.clear();
    } else if (name == "year") {
        code += longStyle ? "yyyy" : "yy";
    } else if (name == "month") {
        code += value("number", "textual") == "true" ? (longStyle ? "mmmm" : "mmm") : (longStyle ? "mm" : "m");
    } else if (name == "day") {
        code += longStyle ? "dd" : "d";
    } else if (name == "day-of-week") {
        code += longStyle ? "dddd" : "ddd";
    } else if (name == "hours") {
        code += m_elapsed ? "[h]" : longStyle ? "hh" : "h";
    } else if (name == "minutes") {
        code += longStyle ? "mm" : "m";
    } else if (name == "seconds") {
        code += longStyle ? "ss" : "s";
        const int decimals = count(value("number", "decimal-places"), 0);
        if (decimals > 0)
            code += "." + std::string(static_cast<size_t>(decimals), '0');
    } else if (name == "am-pm") {
        code += "AM/PM";
    } else if (name == "text-content") {
        code += "@";
    } else if (name == "text-properties") {
        m_data.colour = colourOf(value("fo", "color"));
    } else if (name == "map") {
        m_data.maps.emplace_back(value("style", "condition"), value("style", "apply-style-name"));
    }
}

void OdsStyles::cellStylePart(std::string_view name)
{
    if (name == "table-cell-properties") {
        const std::string &background = value("fo", "background-color");
        if (!background.empty())
            m_cell.fill = colourOf(background);
        const std::string &all = value("fo", "border");
        if (!all.empty())
            m_cell.left = m_cell.right = m_cell.top = m_cell.bottom = borderOf(all);
        const std::pair<const char *, std::optional<BorderSide> *> sides[] = {
            {"border-left", &m_cell.left}, {"border-right", &m_cell.right}, {"border-top", &m_cell.top}, {"border-bottom", &m_cell.bottom}};
        for (const auto &[attribute, side] : sides)
            if (!value("fo", attribute).empty())
                *side = borderOf(value("fo", attribute));
        const std::string &vertical = value("style", "vertical-align");
        if (vertical == "top")
            m_cell.vertical = VerticalAlignment::Top;
        else if (vertical == "middle")
            m_cell.vertical = VerticalAlignment::Center;
        else if (vertical == "bottom")
            m_cell.vertical = VerticalAlignment::Bottom;
        if (!value("fo", "wrap-option").empty())
            m_cell.wrap = value("fo", "wrap-option") == "wrap";
    } else if (name == "paragraph-properties") {
        const std::string &align = value("fo", "text-align");
        if (align == "start" || align == "left")
            m_cell.alignment = HorizontalAlignment::Left;
        else if (align == "center")
            m_cell.alignment = HorizontalAlignment::Center;
        else if (align == "end" || align == "right")
            m_cell.alignment = HorizontalAlignment::Right;
        else if (align == "justify")
            m_cell.alignment = HorizontalAlignment::Justify;
    } else if (name == "text-properties") {
        if (!value("fo", "font-weight").empty())
            m_cell.bold = value("fo", "font-weight") == "bold" || std::atoi(value("fo", "font-weight").c_str()) >= 600;
        if (!value("fo", "font-style").empty())
            m_cell.italic = value("fo", "font-style") == "italic" || value("fo", "font-style") == "oblique";
        if (!value("fo", "color").empty())
            m_cell.fontColour = colourOf(value("fo", "color"));
        if (!value("style", "font-name").empty())
            m_cell.fontName = value("style", "font-name");
        const std::string &size = value("fo", "font-size");
        if (size.size() > 2 && size.compare(size.size() - 2, 2, "pt") == 0)
            m_cell.fontSize = std::atof(size.c_str());
        if (!value("style", "text-underline-style").empty())
            m_cell.underline = value("style", "text-underline-style") != "none";
        if (!value("style", "text-line-through-style").empty())
            m_cell.strikeout = value("style", "text-line-through-style") != "none";
    }
}

void OdsStyles::endElement(std::string_view ns, std::string_view name)
{
    if (m_inDataStyle && ns == "number" && (name == "text" || name == "currency-symbol") && m_takingText) {
        m_takingText = false;
        if (m_percentage && name == "text") {
            // The percent sign scales the number; anything else is literal.
            std::string literal;
            for (char c : m_text) {
                if (c == '%') {
                    m_data.code += literal.empty() ? "%" : quoted(literal) + "%";
                    literal.clear();
                } else {
                    literal += c;
                }
            }
            if (!literal.empty())
                m_data.code += quoted(literal);
        } else if (!m_text.empty()) {
            m_data.code += quoted(m_text);
        }
    } else if (m_inDataStyle && ns == "number" && name.size() > 6 && name.substr(name.size() - 6) == "-style") {
        m_inDataStyle = false;
        m_dataStyles[m_name] = m_data;
    } else if (m_inCellStyle && ns == "style" && name == "style") {
        m_inCellStyle = false;
        m_cellStyles[m_name] = m_cell;
    }
}

void OdsStyles::characters(std::string_view text)
{
    if (m_takingText)
        m_text.append(text);
}

std::string OdsStyles::formatCode(const std::string &dataStyle, int depth) const
{
    const auto found = m_dataStyles.find(dataStyle);
    if (found == m_dataStyles.end() || depth > 4)
        return "General";
    const DataStyle &d = found->second;
    std::string own = colourName(d.colour) + (d.code.empty() ? "General" : d.code);
    if (d.maps.empty() || depth > 0)
        return own;
    // Mapped styles come first, as sections; the style itself is the last.
    std::string code;
    for (const auto &[condition, style] : d.maps) {
        std::string test = condition.rfind("value()", 0) == 0 ? condition.substr(7) : condition;
        const bool implicit = test == ">=0" || test == ">0" || test == "<0";
        code += (implicit ? std::string() : "[" + test + "]") + formatCode(style, depth + 1) + ";";
    }
    return code + own;
}

void OdsStyles::apply(const std::string &name, CellStyle &style, int depth) const
{
    // The default cell style is the workbook's own look, which every style starts from.
    const auto found = m_cellStyles.find(name);
    if (found == m_cellStyles.end() || depth > 8 || name == "Default")
        return;
    const PartialStyle &p = found->second;
    if (!p.parent.empty())
        apply(p.parent, style, depth + 1);
    if (!p.dataStyle.empty())
        style.numberFormat = formatCode(p.dataStyle, 0);
    style.bold = p.bold.value_or(style.bold);
    style.italic = p.italic.value_or(style.italic);
    style.underline = p.underline.value_or(style.underline);
    style.strikeout = p.strikeout.value_or(style.strikeout);
    style.wrap = p.wrap.value_or(style.wrap);
    style.fontName = p.fontName.value_or(style.fontName);
    style.fontSize = p.fontSize.value_or(style.fontSize);
    style.vertical = p.vertical.value_or(style.vertical);
    style.fontColour = p.fontColour.value_or(style.fontColour);
    style.fill = p.fill.value_or(style.fill);
    style.alignment = p.alignment.value_or(style.alignment);
    style.left = p.left.value_or(style.left);
    style.right = p.right.value_or(style.right);
    style.top = p.top.value_or(style.top);
    style.bottom = p.bottom.value_or(style.bottom);
}

std::int32_t OdsStyles::styleIndex(const std::string &name, std::vector<CellStyle> &styles)
{
    if (name.empty())
        return 0;
    const auto known = m_resolved.find(name);
    if (known != m_resolved.end())
        return known->second;
    CellStyle style;
    apply(name, style, 0);
    std::int32_t index = 0;
    if (style != CellStyle()) {
        if (styles.empty())
            styles.emplace_back();
        styles.push_back(style);
        index = static_cast<std::int32_t>(styles.size() - 1);
    }
    m_resolved.emplace(name, index);
    return index;
}

} // namespace workbook
