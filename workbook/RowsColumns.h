#pragma once

#include "Workbook.h"

#include <optional>
#include <utility>

namespace workbook {

// Rows or columns inserted into or deleted from one sheet. The cells after
// them move, and every reference to the sheet follows its cells, as a
// spreadsheet does: ranges grow and shrink, what is gone is #REF!.
struct RowsColumnsChange
{
    enum class Axis { Rows, Columns };
    Axis axis = Axis::Rows;
    int first = 0; // 0-based: the first row or column inserted or deleted
    int count = 0; // > 0 inserted before `first`, < 0 deleted from `first` on

    RowsColumnsChange inverse() const { return {axis, first, -count}; }
    int limit() const { return axis == Axis::Rows ? maxRows : maxColumns; }
    // Where the rows (columns) from..to lie afterwards; nothing when all of
    // them were deleted or pushed off the sheet.
    std::optional<std::pair<int, int>> moveSpan(int from, int to) const;
    // A rectangle on the changed sheet afterwards; nothing when all of it went.
    std::optional<CellRange> moveRange(const CellRange &range) const;
};

} // namespace workbook
