#include "OrcusStyles.h"

#include "../format/BuiltinFormats.h"

namespace workbook {

namespace ss = orcus::spreadsheet;

namespace {

Rgb rgb(ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b)
{
    return (static_cast<Rgb>(r) << 16) | (static_cast<Rgb>(g) << 8) | static_cast<Rgb>(b);
}

BorderLine lineOf(ss::border_style_t style)
{
    switch (style) {
    case ss::border_style_t::thin:
    case ss::border_style_t::solid:
        return BorderLine::Thin;
    case ss::border_style_t::medium:
    case ss::border_style_t::medium_dash_dot:
    case ss::border_style_t::medium_dash_dot_dot:
    case ss::border_style_t::medium_dashed:
    case ss::border_style_t::slant_dash_dot:
        return BorderLine::Medium;
    case ss::border_style_t::thick:
        return BorderLine::Thick;
    case ss::border_style_t::dashed:
    case ss::border_style_t::dash_dot:
    case ss::border_style_t::dash_dot_dot:
    case ss::border_style_t::fine_dashed:
        return BorderLine::Dashed;
    case ss::border_style_t::dotted:
        return BorderLine::Dotted;
    case ss::border_style_t::double_border:
    case ss::border_style_t::double_thin:
        return BorderLine::Double;
    case ss::border_style_t::hair:
        return BorderLine::Hair;
    default:
        return BorderLine::None;
    }
}

HorizontalAlignment alignmentOf(ss::hor_alignment_t alignment)
{
    switch (alignment) {
    case ss::hor_alignment_t::left: return HorizontalAlignment::Left;
    case ss::hor_alignment_t::center: return HorizontalAlignment::Center;
    case ss::hor_alignment_t::right: return HorizontalAlignment::Right;
    case ss::hor_alignment_t::justified:
    case ss::hor_alignment_t::distributed: return HorizontalAlignment::Justify;
    case ss::hor_alignment_t::filled: return HorizontalAlignment::Fill;
    default: return HorizontalAlignment::General;
    }
}

} // namespace

void OrcusStyles::set_font_underline(ss::underline_t underline)
{
    m_font.underline = underline != ss::underline_t::none;
}

void OrcusStyles::set_font_color(color_elem_t, color_elem_t r, color_elem_t g, color_elem_t b)
{
    m_font.colour = rgb(r, g, b);
}

void OrcusStyles::set_strikethrough_style(ss::strikethrough_style_t style)
{
    m_font.struck = style != ss::strikethrough_style_t::none;
}

size_t OrcusStyles::commit_font()
{
    m_fonts.push_back(m_font);
    m_font = Font();
    return m_fonts.size() - 1;
}

void OrcusStyles::set_fill_fg_color(color_elem_t, color_elem_t r, color_elem_t g, color_elem_t b)
{
    m_fill.foreground = rgb(r, g, b);
}

void OrcusStyles::set_fill_bg_color(color_elem_t, color_elem_t r, color_elem_t g, color_elem_t b)
{
    m_fill.background = rgb(r, g, b);
}

size_t OrcusStyles::commit_fill()
{
    m_fills.push_back(m_fill);
    m_fill = Fill();
    return m_fills.size() - 1;
}

BorderSide *OrcusStyles::side(ss::border_direction_t dir)
{
    switch (dir) {
    case ss::border_direction_t::left: return &m_border.left;
    case ss::border_direction_t::right: return &m_border.right;
    case ss::border_direction_t::top: return &m_border.top;
    case ss::border_direction_t::bottom: return &m_border.bottom;
    default: return nullptr;
    }
}

void OrcusStyles::set_border_style(ss::border_direction_t dir, ss::border_style_t style)
{
    if (BorderSide *s = side(dir))
        s->line = lineOf(style);
    else if (lineOf(style) != BorderLine::None)
        m_border.diagonal = true;
}

void OrcusStyles::set_border_color(ss::border_direction_t dir, color_elem_t, color_elem_t r, color_elem_t g, color_elem_t b)
{
    if (BorderSide *s = side(dir))
        s->colour = rgb(r, g, b);
}

size_t OrcusStyles::commit_border()
{
    m_borders.push_back(m_border);
    m_border = Border();
    return m_borders.size() - 1;
}

size_t OrcusStyles::commit_number_format()
{
    if (m_numberFormatId >= 0)
        m_numberFormatsById[m_numberFormatId] = m_numberFormatCode;
    m_numberFormats.push_back(m_numberFormatCode);
    m_numberFormatId = -1;
    m_numberFormatCode.clear();
    return m_numberFormats.size() - 1;
}

std::string OrcusStyles::numberFormatCode(size_t index) const
{
    // xlsx names formats by id, the built-in ones by id alone.
    if (!m_numberFormatsById.empty() || m_numberFormats.empty()) {
        const auto found = m_numberFormatsById.find(static_cast<long long>(index));
        if (found != m_numberFormatsById.end())
            return found->second;
        const std::string builtin = builtinFormatCode(static_cast<int>(index));
        return builtin.empty() ? "General" : builtin;
    }
    return index < m_numberFormats.size() && !m_numberFormats[index].empty() ? m_numberFormats[index] : "General";
}

size_t OrcusStyles::commit_cell_xf()
{
    CellStyle style;
    std::vector<std::string> lost;
    auto lose = [&lost](const char *what) { lost.emplace_back(what); };
    style.numberFormat = numberFormatCode(m_xf.numberFormat);
    if (m_xf.font < m_fonts.size()) {
        const Font &font = m_fonts[m_xf.font];
        style.bold = font.bold;
        style.italic = font.italic;
        style.underline = font.underline;
        style.strikeout = font.struck;
        style.fontColour = font.colour;
        // The first font is the workbook's own: only other names and sizes are kept.
        if (font.name != m_fonts.front().name)
            style.fontName = font.name;
        if (font.size != m_fonts.front().size)
            style.fontSize = font.size;
    }
    if (m_xf.fill < m_fills.size()) {
        const Fill &fill = m_fills[m_xf.fill];
        if (fill.pattern == ss::fill_pattern_t::solid)
            style.fill = fill.foreground != noColour ? fill.foreground : fill.background;
        else if (fill.pattern != ss::fill_pattern_t::none && m_xf.fill != 1) // fill 1 is xlsx's mandatory gray125
            lose("patterned fills");
    }
    if (m_xf.border < m_borders.size()) {
        const Border &border = m_borders[m_xf.border];
        style.left = border.left;
        style.right = border.right;
        style.top = border.top;
        style.bottom = border.bottom;
        if (border.diagonal)
            lose("diagonal borders");
    }
    style.alignment = alignmentOf(m_xf.alignment);
    style.vertical = m_xf.vertical == ss::ver_alignment_t::top   ? VerticalAlignment::Top
        : m_xf.vertical == ss::ver_alignment_t::middle           ? VerticalAlignment::Center
        : m_xf.vertical == ss::ver_alignment_t::justified
            || m_xf.vertical == ss::ver_alignment_t::distributed ? VerticalAlignment::Justify
                                                                 : VerticalAlignment::Bottom;
    m_cellStyles.push_back(style);
    m_lost.push_back(lost);
    m_xf = Xf();
    return m_cellStyles.size() - 1;
}

} // namespace workbook
