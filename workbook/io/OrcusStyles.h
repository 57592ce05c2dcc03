#pragma once

#include "../format/CellStyle.h"

#include <orcus/spreadsheet/import_interface.hpp>

#include <map>
#include <string>
#include <vector>

namespace workbook {

// Collects a file's fonts, fills, borders and number formats as orcus reads
// them, and makes of each cell format (xf) the CellStyle it amounts to. What
// a format holds that a CellStyle cannot keep is told per format, so a file
// is reported only for what its cells use.
class OrcusStyles : public orcus::spreadsheet::iface::import_styles
{
public:
    // The cell formats in the file's order; index 0 is the file's default.
    const std::vector<CellStyle> &cellStyles() const { return m_cellStyles; }
    // What saving would lose of a cell format.
    const std::vector<std::string> &lost(size_t xf) const { return xf < m_lost.size() ? m_lost[xf] : m_nothingLost; }

    using color_elem_t = orcus::spreadsheet::color_elem_t;

    void set_font_count(size_t) override {}
    void set_font_bold(bool b) override { m_font.bold = b; }
    void set_font_italic(bool b) override { m_font.italic = b; }
    void set_font_name(std::string_view name) override { m_font.name = name; }
    void set_font_size(double size) override { m_font.size = size; }
    void set_font_underline(orcus::spreadsheet::underline_t underline) override;
    void set_font_underline_width(orcus::spreadsheet::underline_width_t) override {}
    void set_font_underline_mode(orcus::spreadsheet::underline_mode_t) override {}
    void set_font_underline_type(orcus::spreadsheet::underline_type_t) override {}
    void set_font_underline_color(color_elem_t, color_elem_t, color_elem_t, color_elem_t) override {}
    void set_font_color(color_elem_t, color_elem_t r, color_elem_t g, color_elem_t b) override;
    void set_strikethrough_style(orcus::spreadsheet::strikethrough_style_t style) override;
    void set_strikethrough_type(orcus::spreadsheet::strikethrough_type_t) override {}
    void set_strikethrough_width(orcus::spreadsheet::strikethrough_width_t) override {}
    void set_strikethrough_text(orcus::spreadsheet::strikethrough_text_t) override {}
    size_t commit_font() override;

    void set_fill_count(size_t) override {}
    void set_fill_pattern_type(orcus::spreadsheet::fill_pattern_t pattern) override { m_fill.pattern = pattern; }
    void set_fill_fg_color(color_elem_t, color_elem_t r, color_elem_t g, color_elem_t b) override;
    void set_fill_bg_color(color_elem_t, color_elem_t r, color_elem_t g, color_elem_t b) override;
    size_t commit_fill() override;

    void set_border_count(size_t) override {}
    void set_border_style(orcus::spreadsheet::border_direction_t dir, orcus::spreadsheet::border_style_t style) override;
    void set_border_color(orcus::spreadsheet::border_direction_t dir, color_elem_t, color_elem_t r, color_elem_t g, color_elem_t b) override;
    void set_border_width(orcus::spreadsheet::border_direction_t, double, orcus::length_unit_t) override {}
    size_t commit_border() override;

    void set_cell_hidden(bool) override {}
    void set_cell_locked(bool) override {}
    void set_cell_print_content(bool) override {}
    void set_cell_formula_hidden(bool) override {}
    size_t commit_cell_protection() override { return m_protections++; }

    void set_number_format_count(size_t) override {}
    void set_number_format_identifier(size_t id) override { m_numberFormatId = static_cast<long long>(id); }
    void set_number_format_code(std::string_view code) override { m_numberFormatCode = code; }
    size_t commit_number_format() override;

    void set_cell_xf_count(size_t) override {}
    void set_cell_style_xf_count(size_t) override {}
    void set_dxf_count(size_t) override {}
    void set_xf_font(size_t index) override { m_xf.font = index; }
    void set_xf_fill(size_t index) override { m_xf.fill = index; }
    void set_xf_border(size_t index) override { m_xf.border = index; }
    void set_xf_protection(size_t) override {}
    void set_xf_number_format(size_t index) override { m_xf.numberFormat = index; }
    void set_xf_style_xf(size_t) override {}
    void set_xf_apply_alignment(bool) override {}
    void set_xf_horizontal_alignment(orcus::spreadsheet::hor_alignment_t alignment) override { m_xf.alignment = alignment; }
    void set_xf_vertical_alignment(orcus::spreadsheet::ver_alignment_t alignment) override { m_xf.vertical = alignment; }
    size_t commit_cell_xf() override;
    size_t commit_cell_style_xf() override { m_xf = Xf(); return m_styleXfs++; }
    size_t commit_dxf() override { m_xf = Xf(); return m_dxfs++; }

    void set_cell_style_count(size_t) override {}
    void set_cell_style_name(std::string_view) override {}
    void set_cell_style_xf(size_t) override {}
    void set_cell_style_builtin(size_t) override {}
    void set_cell_style_parent_name(std::string_view) override {}
    size_t commit_cell_style() override { return m_namedStyles++; }

private:
    struct Font
    {
        bool bold = false, italic = false, underline = false, struck = false;
        std::string name;
        double size = 0;
        Rgb colour = noColour;
    };
    struct Fill
    {
        orcus::spreadsheet::fill_pattern_t pattern = orcus::spreadsheet::fill_pattern_t::none;
        Rgb foreground = noColour, background = noColour;
    };
    struct Border
    {
        BorderSide left, right, top, bottom;
        bool diagonal = false;
    };
    struct Xf
    {
        size_t font = 0, fill = 0, border = 0, numberFormat = 0;
        orcus::spreadsheet::hor_alignment_t alignment = orcus::spreadsheet::hor_alignment_t::unknown;
        orcus::spreadsheet::ver_alignment_t vertical = orcus::spreadsheet::ver_alignment_t::unknown;
    };
    BorderSide *side(orcus::spreadsheet::border_direction_t dir);
    std::string numberFormatCode(size_t index) const;

    Font m_font;
    Fill m_fill;
    Border m_border;
    Xf m_xf;
    std::vector<Font> m_fonts;
    std::vector<Fill> m_fills;
    std::vector<Border> m_borders;
    // Number formats by the id a file gives them (xlsx), else by their place.
    std::map<long long, std::string> m_numberFormatsById;
    std::vector<std::string> m_numberFormats;
    long long m_numberFormatId = -1;
    std::string m_numberFormatCode;
    std::vector<CellStyle> m_cellStyles;
    std::vector<std::vector<std::string>> m_lost;
    const std::vector<std::string> m_nothingLost{};
    size_t m_protections = 0, m_styleXfs = 0, m_dxfs = 0, m_namedStyles = 0;
};

} // namespace workbook
