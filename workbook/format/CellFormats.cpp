#include "CellFormats.h"

#include <algorithm>

namespace workbook {

namespace {

const std::map<int, StyleIndex> noEntries;
const std::map<int, double> noHeights;
const std::vector<MergedArea> noAreas;

bool rowBefore(const std::pair<int, StyleIndex> &entry, int row) { return entry.first < row; }

} // namespace

CellFormats::CellFormats()
{
    addStyle(CellStyle());
}

StyleIndex CellFormats::addStyle(const CellStyle &style)
{
    // Files hold a few hundred styles at most: a look through them is cheap.
    const auto found = std::find(m_styles.begin(), m_styles.end(), style);
    if (found != m_styles.end())
        return static_cast<StyleIndex>(found - m_styles.begin());
    m_styles.push_back(style);
    m_numberFormats.emplace_back(style.numberFormat);
    return static_cast<StyleIndex>(m_styles.size() - 1);
}

CellFormats::SheetFormats &CellFormats::sheet(int index)
{
    if (static_cast<size_t>(index) >= m_sheets.size())
        m_sheets.resize(static_cast<size_t>(index) + 1);
    return m_sheets[static_cast<size_t>(index)];
}

const CellFormats::SheetFormats *CellFormats::findSheet(int index) const
{
    return index >= 0 && static_cast<size_t>(index) < m_sheets.size() ? &m_sheets[static_cast<size_t>(index)] : nullptr;
}

void CellFormats::setCellStyle(int sheetIndex, int row, int column, StyleIndex style)
{
    SheetFormats &s = sheet(sheetIndex);
    if (static_cast<size_t>(column) >= s.cells.size()) {
        if (style == defaultStyle && s.columns.empty() && s.rows.empty())
            return;
        s.cells.resize(static_cast<size_t>(column) + 1);
    }
    auto &entries = s.cells[static_cast<size_t>(column)];
    auto it = std::lower_bound(entries.begin(), entries.end(), row, rowBefore);
    if (it != entries.end() && it->first == row)
        it->second = style;
    else
        entries.insert(it, {row, style});
}

void CellFormats::setColumnStyle(int sheetIndex, int column, StyleIndex style)
{
    sheet(sheetIndex).columns[column] = style;
}

void CellFormats::setRowStyle(int sheetIndex, int row, StyleIndex style)
{
    sheet(sheetIndex).rows[row] = style;
}

StyleIndex CellFormats::styleAt(int sheetIndex, int row, int column) const
{
    const SheetFormats *s = findSheet(sheetIndex);
    if (!s)
        return defaultStyle;
    if (static_cast<size_t>(column) < s->cells.size()) {
        const auto &entries = s->cells[static_cast<size_t>(column)];
        const auto it = std::lower_bound(entries.begin(), entries.end(), row, rowBefore);
        if (it != entries.end() && it->first == row)
            return it->second;
    }
    if (!s->rows.empty()) {
        const auto it = s->rows.find(row);
        if (it != s->rows.end())
            return it->second;
    }
    if (!s->columns.empty()) {
        const auto it = s->columns.find(column);
        if (it != s->columns.end())
            return it->second;
    }
    return defaultStyle;
}

const std::map<int, StyleIndex> &CellFormats::columnStyles(int sheetIndex) const
{
    const SheetFormats *s = findSheet(sheetIndex);
    return s ? s->columns : noEntries;
}

const std::map<int, StyleIndex> &CellFormats::rowStyles(int sheetIndex) const
{
    const SheetFormats *s = findSheet(sheetIndex);
    return s ? s->rows : noEntries;
}

void CellFormats::forEachStyledCell(int sheetIndex, const std::function<void(int, int, StyleIndex)> &visit) const
{
    const SheetFormats *s = findSheet(sheetIndex);
    if (!s)
        return;
    for (size_t column = 0; column < s->cells.size(); ++column)
        for (const auto &[row, style] : s->cells[column])
            visit(row, static_cast<int>(column), style);
}

void CellFormats::setRowHeight(int sheetIndex, int row, double points)
{
    sheet(sheetIndex).heights[row] = points;
}

const std::map<int, double> &CellFormats::rowHeights(int sheetIndex) const
{
    const SheetFormats *s = findSheet(sheetIndex);
    return s ? s->heights : noHeights;
}

void CellFormats::addMergedArea(int sheetIndex, const MergedArea &area)
{
    sheet(sheetIndex).merged.push_back(area);
}

const std::vector<MergedArea> &CellFormats::mergedAreas(int sheetIndex) const
{
    const SheetFormats *s = findSheet(sheetIndex);
    return s ? s->merged : noAreas;
}

namespace {

// The keys of a map moved; those whose row or column is gone are dropped.
template <typename T>
std::map<int, T> movedKeys(const std::map<int, T> &entries, const CellFormats::SpanMove &moveSpan)
{
    std::map<int, T> moved;
    for (const auto &[key, entry] : entries)
        if (const auto span = moveSpan(key, key))
            moved.emplace(span->first, entry);
    return moved;
}

} // namespace

void CellFormats::moveRowsOrColumns(int sheetIndex, bool rows, const SpanMove &moveSpan)
{
    if (!findSheet(sheetIndex))
        return;
    SheetFormats &s = sheet(sheetIndex);
    if (rows) {
        // A move keeps the order of what stays, so each column stays sorted.
        for (auto &entries : s.cells) {
            std::vector<std::pair<int, StyleIndex>> moved;
            moved.reserve(entries.size());
            for (const auto &[row, style] : entries)
                if (const auto span = moveSpan(row, row))
                    moved.emplace_back(span->first, style);
            entries = std::move(moved);
        }
        s.rows = movedKeys(s.rows, moveSpan);
        s.heights = movedKeys(s.heights, moveSpan);
    } else {
        std::vector<std::vector<std::pair<int, StyleIndex>>> moved;
        for (size_t column = 0; column < s.cells.size(); ++column) {
            const auto span = s.cells[column].empty() ? std::nullopt : moveSpan(int(column), int(column));
            if (!span)
                continue;
            if (static_cast<size_t>(span->first) >= moved.size())
                moved.resize(static_cast<size_t>(span->first) + 1);
            moved[static_cast<size_t>(span->first)] = std::move(s.cells[column]);
        }
        s.cells = std::move(moved);
        s.columns = movedKeys(s.columns, moveSpan);
    }
    std::vector<MergedArea> merged;
    for (MergedArea area : s.merged) {
        int &first = rows ? area.firstRow : area.firstColumn;
        int &last = rows ? area.lastRow : area.lastColumn;
        const auto span = moveSpan(first, last);
        if (!span)
            continue;
        first = span->first;
        last = span->second;
        // Shrunk to one cell, it is no longer a merged area.
        if (area.firstRow != area.lastRow || area.firstColumn != area.lastColumn)
            merged.push_back(area);
    }
    s.merged = std::move(merged);
}

CellFormats::SheetFormats CellFormats::sheetFormats(int sheetIndex) const
{
    const SheetFormats *s = findSheet(sheetIndex);
    return s ? *s : SheetFormats();
}

void CellFormats::restoreSheetFormats(int sheetIndex, SheetFormats formats)
{
    sheet(sheetIndex) = std::move(formats);
}

} // namespace workbook
