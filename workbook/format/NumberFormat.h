#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

// What a cell shows: its text and the colour a format section asks for.
struct FormattedText
{
    std::string text;
    std::int32_t colour = -1; // 0xRRGGBB, or -1: the cell's own font colour
};

// A spreadsheet number format code ("#,##0.00;[Red]-#,##0.00", "d-mmm-yy",
// "[h]:mm", "# ?/?", "0.0%;;;@") parsed once, showing numbers and texts as
// the spreadsheet shows them. Up to four sections: positive; negative; zero;
// text, or sections chosen by conditions such as [>100]. Dates are serials of
// the 1900 system, with its 29 February 1900 (serial 60).
class NumberFormat
{
public:
    NumberFormat() : NumberFormat("General") {}
    explicit NumberFormat(std::string_view code);

    const std::string &code() const { return m_code; }
    bool isGeneral() const { return m_general; }
    // The number section shows a date or a time.
    bool showsDate() const;

    // `width`: the column's width in characters, 0 for no limit. A number that
    // does not fit shows "#" across the width.
    FormattedText number(double x, int width = 0) const;
    // Text is shown through the text section, else as it is.
    FormattedText text(const std::string &s) const;

    // One piece of a section: a literal, a placeholder or a date part.
    struct Token
    {
        enum class Kind : std::uint8_t {
            Literal, Digit, Point, Comma, Percent, Exponent, Slash, At, General, Date, Elapsed, AmPm
        };
        Kind kind = Kind::Literal;
        std::string text; // Literal: the text; Digit: "0", "#" or "?"; Date: "yyyy", "mm", "M" (minutes) ...
        int count = 0;    // Exponent: 1 shows "+"; Elapsed: the unit's letters
    };
    struct Section
    {
        std::vector<Token> tokens;
        std::int32_t colour = -1;
        char condition = 0; // '<', '>', '=', 'l' (<=), 'g' (>=), 'n' (<>), 0: none
        double threshold = 0;
        bool date = false;
        bool text = false; // holds "@"
    };

private:
    const Section *sectionFor(double x, bool &showSign) const;

    std::string m_code;
    bool m_general = false;
    std::vector<Section> m_sections;
    int m_textSection = -1;
};

} // namespace workbook
