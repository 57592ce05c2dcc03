#pragma once

#include <cstdint>
#include <string>

namespace workbook {

// A colour as 0xRRGGBB; -1 where the cell keeps the default.
using Rgb = std::int32_t;
constexpr Rgb noColour = -1;

enum class HorizontalAlignment : std::uint8_t { General, Left, Center, Right, Justify, Fill };
enum class VerticalAlignment : std::uint8_t { Bottom, Top, Center, Justify };
enum class BorderLine : std::uint8_t { None, Thin, Medium, Thick, Dashed, Dotted, Double, Hair };

struct BorderSide
{
    BorderLine line = BorderLine::None;
    Rgb colour = noColour;
    bool operator==(const BorderSide &o) const { return line == o.line && colour == o.colour; }
};

// How a cell looks: what the workbook keeps of a file's cell formats.
struct CellStyle
{
    std::string numberFormat = "General";
    std::string fontName; // "": the workbook's own font
    double fontSize = 0;  // points; 0: the workbook's own size
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    Rgb fontColour = noColour;
    Rgb fill = noColour; // a solid background
    HorizontalAlignment alignment = HorizontalAlignment::General;
    VerticalAlignment vertical = VerticalAlignment::Bottom;
    bool wrap = false;
    BorderSide left, right, top, bottom;

    bool operator==(const CellStyle &o) const
    {
        return numberFormat == o.numberFormat && fontName == o.fontName && fontSize == o.fontSize && bold == o.bold
            && italic == o.italic && underline == o.underline && strikeout == o.strikeout && fontColour == o.fontColour
            && fill == o.fill && alignment == o.alignment && vertical == o.vertical && wrap == o.wrap && left == o.left
            && right == o.right && top == o.top && bottom == o.bottom;
    }
    bool operator!=(const CellStyle &o) const { return !(*this == o); }
};

} // namespace workbook
