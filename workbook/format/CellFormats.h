#pragma once

#include "CellStyle.h"
#include "NumberFormat.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace workbook {

using StyleIndex = std::uint32_t;
constexpr StyleIndex defaultStyle = 0;

// A rectangle of cells merged into one, 0-based and inclusive.
struct MergedArea
{
    int firstRow = 0, firstColumn = 0, lastRow = 0, lastColumn = 0;
    bool operator==(const MergedArea &o) const
    {
        return firstRow == o.firstRow && firstColumn == o.firstColumn && lastRow == o.lastRow && lastColumn == o.lastColumn;
    }
};

// The looks of a workbook's cells: a table of distinct styles, each number
// format parsed once, and per sheet the style index of each formatted cell
// (whole columns and rows once each), with the merged areas. A cell without
// an entry has the default style, index 0.
class CellFormats
{
public:
    CellFormats();

    // The index of an equal style, added when new.
    StyleIndex addStyle(const CellStyle &style);
    const CellStyle &style(StyleIndex index) const { return m_styles[index]; }
    const NumberFormat &numberFormat(StyleIndex index) const { return m_numberFormats[index]; }
    std::size_t styleCount() const { return m_styles.size(); }

    void setCellStyle(int sheet, int row, int column, StyleIndex style);
    void setColumnStyle(int sheet, int column, StyleIndex style);
    void setRowStyle(int sheet, int row, StyleIndex style);
    // The cell's own style, else its row's, else its column's.
    StyleIndex styleAt(int sheet, int row, int column) const;

    // The entries of a sheet as they were set, for saving.
    const std::map<int, StyleIndex> &columnStyles(int sheet) const;
    const std::map<int, StyleIndex> &rowStyles(int sheet) const;
    void forEachStyledCell(int sheet, const std::function<void(int row, int column, StyleIndex style)> &visit) const;

    // Heights the file gave rows, in points; absent rows have the default height.
    void setRowHeight(int sheet, int row, double points);
    const std::map<int, double> &rowHeights(int sheet) const;

    void addMergedArea(int sheet, const MergedArea &area);
    const std::vector<MergedArea> &mergedAreas(int sheet) const;

    // Rows (or columns) of a sheet inserted or deleted: every entry moves
    // with its cells. `moveSpan` says where the rows (columns) from..to lie
    // afterwards, nothing when all of them are gone.
    using SpanMove = std::function<std::optional<std::pair<int, int>>(int from, int to)>;
    void moveRowsOrColumns(int sheet, bool rows, const SpanMove &moveSpan);

    struct SheetFormats;
    // A sheet's looks whole, to be given back when a change is undone.
    SheetFormats sheetFormats(int sheet) const;
    void restoreSheetFormats(int sheet, SheetFormats formats);

    struct SheetFormats
    {
        // Per column, (row, style) sorted by row.
        std::vector<std::vector<std::pair<int, StyleIndex>>> cells;
        std::map<int, StyleIndex> columns;
        std::map<int, StyleIndex> rows;
        std::map<int, double> heights;
        std::vector<MergedArea> merged;
    };

private:
    SheetFormats &sheet(int index);
    const SheetFormats *findSheet(int index) const;

    std::vector<CellStyle> m_styles;
    std::vector<NumberFormat> m_numberFormats;
    std::vector<SheetFormats> m_sheets;
};

} // namespace workbook
