#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace workbook {

constexpr int maxRows = 1048576;
constexpr int maxColumns = 16384; // A .. XFD

// 0-based column number of column letters ("A" is 0), or -1 for anything
// that is not 1 to 3 letters naming a column up to XFD.
int columnFromLetters(std::string_view letters);
// Column letters of a 0-based column number.
std::string columnLetters(int column);

// One end of a reference as written in a formula: 0-based row and column,
// with the "$" marks that keep them fixed when a formula is copied.
struct CellPosition
{
    int row = 0;
    int column = 0;
    bool rowAbsolute = false;
    bool columnAbsolute = false;
};

// A rectangle of cells; whole columns (A:C) and whole rows (3:5) span the
// sheet in the other direction. `sheet` is empty for the formula's own sheet.
struct RangeReference
{
    std::string sheet;
    CellPosition first;
    CellPosition last;
    bool wholeColumns = false;
    bool wholeRows = false;

    bool isSingleCell() const { return !wholeColumns && !wholeRows && first.row == last.row && first.column == last.column; }
};

// "A1", "$B$7" (case-insensitive); nothing when the text is not one cell in the sheet.
std::optional<CellPosition> parseCellPosition(std::string_view text);
// "A1", "A1:B2", "A:C", "3:5", optionally after "Sheet!" or "'Sheet name'!".
std::optional<RangeReference> parseRangeReference(std::string_view text);

// "A1", "$A$1".
std::string cellText(const CellPosition &position);
// "Sheet!A1:B2" with the sheet quoted when it needs quotes; no sheet when empty.
std::string rangeText(const RangeReference &range);
// A sheet name as a formula writes it: quoted when it holds anything but letters, digits, "_" and ".".
std::string quotedSheetName(std::string_view sheet);

} // namespace workbook
