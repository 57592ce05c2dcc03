#include "ImportedData.h"

#include "../Reference.h"

#include <algorithm>
#include <cstring>

namespace workbook {

namespace {

class Writer
{
public:
    void integer(std::int64_t v) { raw(&v, sizeof v); }
    void number(double v) { raw(&v, sizeof v); }
    void text(const std::string &s)
    {
        integer(static_cast<std::int64_t>(s.size()));
        m_out.append(s);
    }
    std::string take() { return std::move(m_out); }

private:
    void raw(const void *p, size_t n) { m_out.append(static_cast<const char *>(p), n); }
    std::string m_out;
};

class Reader
{
public:
    explicit Reader(const std::string &in)
        : m_in(in)
    {
    }
    bool integer(std::int64_t &v) { return raw(&v, sizeof v); }
    bool number(double &v) { return raw(&v, sizeof v); }
    bool text(std::string &s)
    {
        std::int64_t n = 0;
        if (!integer(n) || n < 0 || static_cast<size_t>(n) > m_in.size() - m_pos)
            return false;
        s.assign(m_in, m_pos, static_cast<size_t>(n));
        m_pos += static_cast<size_t>(n);
        return true;
    }
    template <typename T>
    bool count(T &n)
    {
        std::int64_t v = 0;
        // A count can never exceed the bytes left: a torn record fails here.
        if (!integer(v) || v < 0 || static_cast<size_t>(v) > m_in.size() - m_pos)
            return false;
        n = static_cast<T>(v);
        return true;
    }
    bool atEnd() const { return m_pos == m_in.size(); }

private:
    bool raw(void *p, size_t n)
    {
        if (m_in.size() - m_pos < n)
            return false;
        std::memcpy(p, m_in.data() + m_pos, n);
        m_pos += n;
        return true;
    }
    const std::string &m_in;
    size_t m_pos = 0;
};

constexpr std::int64_t magic = 0x54564f33; // "TVO3"

// What a formula's cached result is, as bits.
constexpr std::int64_t cachedNumber = 1, cachedBoolean = 2, cachedError = 4;

void writeArea(Writer &w, const ImportedArea &a)
{
    w.integer(a.firstRow);
    w.integer(a.firstColumn);
    w.integer(a.lastRow);
    w.integer(a.lastColumn);
}

bool readArea(Reader &r, ImportedArea &a)
{
    std::int64_t v[4];
    for (std::int64_t &x : v)
        if (!r.integer(x))
            return false;
    a = ImportedArea{static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1]), static_cast<std::int32_t>(v[2]),
                     static_cast<std::int32_t>(v[3])};
    return true;
}

void writeStyle(Writer &w, const CellStyle &s)
{
    w.text(s.numberFormat);
    w.text(s.fontName);
    w.number(s.fontSize);
    w.integer((s.bold ? 1 : 0) | (s.italic ? 2 : 0) | (s.underline ? 4 : 0) | (s.strikeout ? 8 : 0) | (s.wrap ? 16 : 0)
              | (static_cast<std::int64_t>(s.alignment) << 8) | (static_cast<std::int64_t>(s.vertical) << 16));
    w.integer(s.fontColour);
    w.integer(s.fill);
    for (const BorderSide *side : {&s.left, &s.right, &s.top, &s.bottom}) {
        w.integer(static_cast<std::int64_t>(side->line));
        w.integer(side->colour);
    }
}

bool readStyle(Reader &r, CellStyle &s)
{
    std::int64_t flags, font, fill;
    if (!r.text(s.numberFormat) || !r.text(s.fontName) || !r.number(s.fontSize) || !r.integer(flags) || !r.integer(font)
        || !r.integer(fill))
        return false;
    const std::int64_t alignment = (flags >> 8) & 0xFF, vertical = flags >> 16;
    if (alignment > static_cast<std::int64_t>(HorizontalAlignment::Fill) || vertical < 0
        || vertical > static_cast<std::int64_t>(VerticalAlignment::Justify))
        return false;
    s.bold = (flags & 1) != 0;
    s.italic = (flags & 2) != 0;
    s.underline = (flags & 4) != 0;
    s.strikeout = (flags & 8) != 0;
    s.wrap = (flags & 16) != 0;
    s.alignment = static_cast<HorizontalAlignment>(alignment);
    s.vertical = static_cast<VerticalAlignment>(vertical);
    s.fontColour = static_cast<Rgb>(font);
    s.fill = static_cast<Rgb>(fill);
    for (BorderSide *side : {&s.left, &s.right, &s.top, &s.bottom}) {
        std::int64_t line, colour;
        if (!r.integer(line) || !r.integer(colour) || line < 0 || line > static_cast<std::int64_t>(BorderLine::Hair))
            return false;
        side->line = static_cast<BorderLine>(line);
        side->colour = static_cast<Rgb>(colour);
    }
    return true;
}

} // namespace

void noteNotRead(ImportedData &data, std::string line)
{
    if (data.notRead.size() < mostNotReadLines)
        data.notRead.push_back(std::move(line));
    else
        ++data.notReadOmitted;
}

void noteUnsupported(ImportedData &data, const std::string &what)
{
    if (std::find(data.unsupported.begin(), data.unsupported.end(), what) == data.unsupported.end())
        data.unsupported.push_back(what);
}

void noteCellOffSheet(ImportedData &data, const std::string &sheet, long long row, long long column)
{
    // Past any sheet: the letters of a column number that large mean nothing.
    constexpr long long farthest = 100000000;
    const std::string where = quotedSheetName(sheet) + "!" + columnLetters(static_cast<int>(std::min(column, farthest)))
        + std::to_string(std::min(row, farthest) + 1);
    noteNotRead(data, row >= maxRows ? where + " is below the sheet's last row, " + std::to_string(maxRows) + ", and is not read"
                                     : where + " is right of the sheet's last column, XFD, and is not read");
    noteUnsupported(data, "cells beyond the sheet's last row or column");
}

std::string serialize(const ImportedData &data)
{
    Writer w;
    w.integer(magic);
    w.integer(static_cast<std::int64_t>(data.sheets.size()));
    for (const ImportedSheet &sheet : data.sheets) {
        w.text(sheet.name);
        w.integer(static_cast<std::int64_t>(sheet.cells.size()));
        for (const ImportedCell &cell : sheet.cells) {
            w.integer(cell.row);
            w.integer(cell.column);
            w.integer(static_cast<std::int64_t>(cell.kind));
            w.number(cell.number);
            w.text(cell.text);
            w.integer(cell.shared);
            w.text(cell.cached);
            w.integer((cell.cachedIsNumber ? cachedNumber : 0) | (cell.cachedIsBoolean ? cachedBoolean : 0)
                      | (cell.cachedIsError ? cachedError : 0));
            w.integer(cell.arrayRows);
            w.integer(cell.arrayColumns);
        }
        w.integer(static_cast<std::int64_t>(sheet.columnWidths.size()));
        for (const auto &[column, width] : sheet.columnWidths) {
            w.integer(column);
            w.number(width);
        }
        w.integer(static_cast<std::int64_t>(sheet.rowHeights.size()));
        for (const auto &[row, height] : sheet.rowHeights) {
            w.integer(row);
            w.number(height);
        }
        w.integer(static_cast<std::int64_t>(sheet.styled.size()));
        for (const ImportedStyleArea &styled : sheet.styled) {
            writeArea(w, styled.area);
            w.integer(styled.style);
        }
        w.integer(static_cast<std::int64_t>(sheet.merged.size()));
        for (const ImportedArea &area : sheet.merged)
            writeArea(w, area);
    }
    w.integer(static_cast<std::int64_t>(data.styles.size()));
    for (const CellStyle &style : data.styles)
        writeStyle(w, style);
    w.integer(static_cast<std::int64_t>(data.names.size()));
    for (const ImportedName &name : data.names) {
        w.text(name.name);
        w.integer(name.scope);
        w.text(name.expression);
    }
    w.integer(static_cast<std::int64_t>(data.unsupported.size()));
    for (const std::string &what : data.unsupported)
        w.text(what);
    w.integer(static_cast<std::int64_t>(data.notRead.size()));
    for (const std::string &line : data.notRead)
        w.text(line);
    w.integer(data.notReadOmitted);
    w.integer(magic);
    return w.take();
}

bool deserialize(const std::string &bytes, ImportedData &data)
{
    Reader r(bytes);
    std::int64_t head = 0, v = 0;
    size_t sheets = 0;
    if (!r.integer(head) || head != magic || !r.count(sheets))
        return false;
    data = ImportedData();
    data.sheets.resize(sheets);
    for (ImportedSheet &sheet : data.sheets) {
        size_t cells = 0;
        if (!r.text(sheet.name) || !r.count(cells))
            return false;
        sheet.cells.resize(cells);
        for (ImportedCell &cell : sheet.cells) {
            std::int64_t row, column, kind, shared, cachedFlags, arrayRows, arrayColumns;
            if (!r.integer(row) || !r.integer(column) || !r.integer(kind) || !r.number(cell.number) || !r.text(cell.text)
                || !r.integer(shared) || !r.text(cell.cached) || !r.integer(cachedFlags) || !r.integer(arrayRows)
                || !r.integer(arrayColumns) || arrayRows < 0 || arrayColumns < 0 || arrayRows > maxRows
                || arrayColumns > maxColumns)
                return false;
            cell.arrayRows = static_cast<std::int32_t>(arrayRows);
            cell.arrayColumns = static_cast<std::int32_t>(arrayColumns);
            if (kind < 0 || kind > static_cast<std::int64_t>(ImportedCell::Kind::Error))
                return false;
            cell.row = static_cast<std::int32_t>(row);
            cell.column = static_cast<std::int32_t>(column);
            cell.kind = static_cast<ImportedCell::Kind>(kind);
            cell.shared = static_cast<std::int32_t>(shared);
            cell.cachedIsNumber = (cachedFlags & cachedNumber) != 0;
            cell.cachedIsBoolean = (cachedFlags & cachedBoolean) != 0;
            cell.cachedIsError = (cachedFlags & cachedError) != 0;
        }
        size_t widths = 0;
        if (!r.count(widths))
            return false;
        sheet.columnWidths.resize(widths);
        for (auto &[column, width] : sheet.columnWidths) {
            std::int64_t c = 0;
            if (!r.integer(c) || !r.number(width))
                return false;
            column = static_cast<std::int32_t>(c);
        }
        size_t heights = 0, styled = 0, merged = 0;
        if (!r.count(heights))
            return false;
        sheet.rowHeights.resize(heights);
        for (auto &[row, height] : sheet.rowHeights) {
            std::int64_t at = 0;
            if (!r.integer(at) || !r.number(height))
                return false;
            row = static_cast<std::int32_t>(at);
        }
        if (!r.count(styled))
            return false;
        sheet.styled.resize(styled);
        for (ImportedStyleArea &area : sheet.styled) {
            std::int64_t style = 0;
            if (!readArea(r, area.area) || !r.integer(style))
                return false;
            area.style = static_cast<std::int32_t>(style);
        }
        if (!r.count(merged))
            return false;
        sheet.merged.resize(merged);
        for (ImportedArea &area : sheet.merged)
            if (!readArea(r, area))
                return false;
    }
    size_t styles = 0;
    if (!r.count(styles))
        return false;
    data.styles.resize(styles);
    for (CellStyle &style : data.styles)
        if (!readStyle(r, style))
            return false;
    size_t names = 0;
    if (!r.count(names))
        return false;
    data.names.resize(names);
    for (ImportedName &name : data.names) {
        std::int64_t scope;
        if (!r.text(name.name) || !r.integer(scope) || !r.text(name.expression))
            return false;
        name.scope = static_cast<std::int32_t>(scope);
    }
    size_t unsupported = 0;
    if (!r.count(unsupported))
        return false;
    data.unsupported.resize(unsupported);
    for (std::string &what : data.unsupported)
        if (!r.text(what))
            return false;
    size_t notRead = 0;
    if (!r.count(notRead))
        return false;
    data.notRead.resize(notRead);
    for (std::string &line : data.notRead)
        if (!r.text(line))
            return false;
    return r.integer(data.notReadOmitted) && r.integer(v) && v == magic && r.atEnd();
}

} // namespace workbook
