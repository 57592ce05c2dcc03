#pragma once

#include "../format/CellStyle.h"

#include <cstdint>
#include <string>
#include <vector>

namespace workbook {

// What a file reader collected, in a form that crosses a pipe: the reader
// runs in a child process, so a crash in it cannot take the program down.
struct ImportedCell
{
    enum class Kind : std::uint8_t { Number, Text, Boolean, Formula, Raw, SharedFormula, Error };
    std::int32_t row = 0;
    std::int32_t column = 0;
    Kind kind = Kind::Number;
    double number = 0;    // Number, Boolean (0/1), and a formula's cached result when `text` is a formula
    std::string text;     // Text, Raw (csv: typed text), Formula (without "="), Error ("#DIV/0!")
    // Shared-formula index, per sheet, while the reader reads: the cells of a
    // SharedFormula carry no text until it gives them theirs.
    std::int32_t shared = -1;
    std::string cached;   // a formula's cached result as text ("" when numeric or none)
    bool cachedIsNumber = false;  // the result is `number` (a boolean's too)
    bool cachedIsBoolean = false; // ... and a boolean
    bool cachedIsError = false;   // `cached` is an error literal
    // A Formula at the first cell of an array formula's block: the block's
    // size. The block's other cells come as values (what the file cached).
    std::int32_t arrayRows = 0;
    std::int32_t arrayColumns = 0;
};

// A rectangle of a sheet, 0-based and inclusive.
struct ImportedArea
{
    std::int32_t firstRow = 0, firstColumn = 0, lastRow = 0, lastColumn = 0;
};

struct ImportedStyleArea
{
    ImportedArea area;
    std::int32_t style = 0; // into ImportedData::styles
};

struct ImportedSheet
{
    std::string name;
    std::vector<ImportedCell> cells;
    std::vector<std::pair<std::int32_t, double>> columnWidths; // column, width in characters
    std::vector<std::pair<std::int32_t, double>> rowHeights;   // row, height in points
    // Cells (or whole rows and columns) whose style is not the file's default.
    std::vector<ImportedStyleArea> styled;
    std::vector<ImportedArea> merged;
};

struct ImportedName
{
    std::string name;
    std::int32_t scope = -1;
    std::string expression;
};

struct ImportedData
{
    std::vector<ImportedSheet> sheets;
    std::vector<ImportedName> names;
    // The file's cell styles; index 0 is its default.
    std::vector<CellStyle> styles;
    // What the file held that this program cannot write back.
    std::vector<std::string> unsupported;
    // What could not be read at all, a line each saying where ("line 7: ...",
    // "Sheet1!A1048577 ..."); the first `mostNotReadLines`, then a count.
    std::vector<std::string> notRead;
    std::int64_t notReadOmitted = 0;
};

constexpr std::size_t mostNotReadLines = 100;

// Adds a line to `data.notRead`, or counts it once there are enough.
void noteNotRead(ImportedData &data, std::string line);
// Adds what saving would lose to `data.unsupported`, once.
void noteUnsupported(ImportedData &data, const std::string &what);
// Reports a cell at a 0-based `row` and `column` past the sheet's last row or column.
void noteCellOffSheet(ImportedData &data, const std::string &sheet, long long row, long long column);

std::string serialize(const ImportedData &data);
// False when the bytes are not a complete serialized record.
bool deserialize(const std::string &bytes, ImportedData &data);

} // namespace workbook
