#include "WorkbookFiles.h"

#include "../FormulaParser.h"
#include "FileReplacement.h"
#include "XlsxSheetNames.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

namespace workbook {

namespace {

// The most characters an xlsx cell holds.
constexpr size_t cellTextLimit = 32767;

// The first `cellTextLimit` characters of UTF-8 text, or all of it.
std::string cutToCellLimit(const std::string &text)
{
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && ++characters > cellTextLimit)
            return text.substr(0, i);
    }
    return text;
}

std::string cutNote(const std::vector<std::string> &cells)
{
    constexpr size_t named = 5;
    std::string note = "the text of ";
    for (size_t i = 0; i < cells.size() && i < named; ++i)
        note += (i ? ", " : "") + cells[i];
    if (cells.size() > named)
        note += " and " + std::to_string(cells.size() - named) + " more cells";
    return note + " is cut to 32,767 characters, the most an xlsx cell holds";
}

// What went wrong when libxlsxwriter assembled the file; `error` is errno
// right after it gave up.
std::string closingFailure(lxw_error closed, int error)
{
    switch (closed) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return describeFileError(ENOMEM);
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return "cannot use a temporary file: " + describeFileError(error);
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
        return "the workbook is larger than an xlsx file can hold";
    default:
        return describeFileError(error);
    }
}

std::string renameNote(const std::map<std::string, std::string> &shortened)
{
    std::string note;
    for (const auto &[name, saved] : shortened)
        note += std::string(note.empty() ? "" : "; ") + "the sheet \"" + name + "\" is saved as \"" + saved + "\"";
    return note + " (an xlsx sheet name holds at most 31 characters; formulas name the sheets so)";
}

lxw_color_t colourOf(Rgb colour)
{
    return colour == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : static_cast<lxw_color_t>(colour); // 0 means "unset" to libxlsxwriter
}

std::uint8_t borderOf(BorderLine line)
{
    switch (line) {
    case BorderLine::None: return LXW_BORDER_NONE;
    case BorderLine::Thin: return LXW_BORDER_THIN;
    case BorderLine::Medium: return LXW_BORDER_MEDIUM;
    case BorderLine::Thick: return LXW_BORDER_THICK;
    case BorderLine::Dashed: return LXW_BORDER_DASHED;
    case BorderLine::Dotted: return LXW_BORDER_DOTTED;
    case BorderLine::Double: return LXW_BORDER_DOUBLE;
    case BorderLine::Hair: return LXW_BORDER_HAIR;
    }
    return LXW_BORDER_NONE;
}

std::uint8_t alignmentOf(HorizontalAlignment alignment)
{
    switch (alignment) {
    case HorizontalAlignment::General: return LXW_ALIGN_NONE;
    case HorizontalAlignment::Left: return LXW_ALIGN_LEFT;
    case HorizontalAlignment::Center: return LXW_ALIGN_CENTER;
    case HorizontalAlignment::Right: return LXW_ALIGN_RIGHT;
    case HorizontalAlignment::Justify: return LXW_ALIGN_JUSTIFY;
    case HorizontalAlignment::Fill: return LXW_ALIGN_FILL;
    }
    return LXW_ALIGN_NONE;
}

// The file's format of each workbook style, made when first used; none for the default.
class XlsxFormats
{
public:
    XlsxFormats(lxw_workbook *file, const CellFormats &formats)
        : m_file(file), m_formats(formats), m_made(formats.styleCount(), nullptr)
    {
    }

    lxw_format *operator()(StyleIndex index)
    {
        if (index == defaultStyle || index >= m_made.size())
            return nullptr;
        if (!m_made[index])
            m_made[index] = make(m_formats.style(index));
        return m_made[index];
    }

private:
    lxw_format *make(const CellStyle &style)
    {
        lxw_format *f = workbook_add_format(m_file);
        if (!f)
            return nullptr;
        if (style.numberFormat != "General")
            format_set_num_format(f, style.numberFormat.c_str());
        if (!style.fontName.empty())
            format_set_font_name(f, style.fontName.c_str());
        if (style.fontSize > 0)
            format_set_font_size(f, style.fontSize);
        if (style.bold)
            format_set_bold(f);
        if (style.italic)
            format_set_italic(f);
        if (style.underline)
            format_set_underline(f, LXW_UNDERLINE_SINGLE);
        if (style.strikeout)
            format_set_font_strikeout(f);
        if (style.wrap)
            format_set_text_wrap(f);
        if (style.vertical != VerticalAlignment::Bottom)
            format_set_align(f, style.vertical == VerticalAlignment::Top        ? LXW_ALIGN_VERTICAL_TOP
                                : style.vertical == VerticalAlignment::Center ? LXW_ALIGN_VERTICAL_CENTER
                                                                              : LXW_ALIGN_VERTICAL_JUSTIFY);
        if (style.fontColour != noColour)
            format_set_font_color(f, colourOf(style.fontColour));
        if (style.fill != noColour) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, colourOf(style.fill));
        }
        if (style.alignment != HorizontalAlignment::General)
            format_set_align(f, alignmentOf(style.alignment));
        const std::pair<const BorderSide &, void (*)(lxw_format *, uint8_t)> lines[] = {
            {style.left, format_set_left}, {style.right, format_set_right}, {style.top, format_set_top}, {style.bottom, format_set_bottom}};
        const std::pair<const BorderSide &, void (*)(lxw_format *, lxw_color_t)> colours[] = {
            {style.left, format_set_left_color}, {style.right, format_set_right_color},
            {style.top, format_set_top_color}, {style.bottom, format_set_bottom_color}};
        for (const auto &[side, set] : lines)
            if (side.line != BorderLine::None)
                set(f, borderOf(side.line));
        for (const auto &[side, set] : colours)
            if (side.line != BorderLine::None && side.colour != noColour)
                set(f, colourOf(side.colour));
        return f;
    }

    lxw_workbook *m_file;
    const CellFormats &m_formats;
    std::vector<lxw_format *> m_made;
};

// The formats of a sheet's rows, columns and merged areas, with the column
// widths and row heights: set before its cells, which then overwrite a merged
// area's first.
bool writeSheetFormats(lxw_worksheet *sheet, const Workbook &book, SheetIndex s, XlsxFormats &formats)
{
    const CellFormats &cellFormats = book.formats();
    std::map<int, std::pair<double, StyleIndex>> columns;
    for (const auto &[column, width] : book.columnWidths(s))
        columns[column] = {width, defaultStyle};
    for (const auto &[column, style] : cellFormats.columnStyles(s)) {
        const auto found = columns.find(column);
        columns[column] = {found == columns.end() ? LXW_DEF_COL_WIDTH : found->second.first, style};
    }
    bool ok = true;
    for (const auto &[column, setting] : columns)
        ok = ok && worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column), setting.first,
                                        formats(setting.second)) == LXW_NO_ERROR;
    std::map<int, std::pair<double, StyleIndex>> rows;
    for (const auto &[row, height] : cellFormats.rowHeights(s))
        rows[row] = {height, defaultStyle};
    for (const auto &[row, style] : cellFormats.rowStyles(s)) {
        const auto found = rows.find(row);
        rows[row] = {found == rows.end() ? LXW_DEF_ROW_HEIGHT : found->second.first, style};
    }
    for (const auto &[row, setting] : rows)
        ok = ok && worksheet_set_row(sheet, static_cast<lxw_row_t>(row), setting.first, formats(setting.second)) == LXW_NO_ERROR;
    for (const MergedArea &a : cellFormats.mergedAreas(s)) {
        if (a.firstRow == a.lastRow && a.firstColumn == a.lastColumn)
            continue;
        ok = ok && worksheet_merge_range(sheet, static_cast<lxw_row_t>(a.firstRow), static_cast<lxw_col_t>(a.firstColumn),
                                         static_cast<lxw_row_t>(a.lastRow), static_cast<lxw_col_t>(a.lastColumn), "",
                                         formats(cellFormats.styleAt(s, a.firstRow, a.firstColumn))) == LXW_NO_ERROR;
    }
    // Formatted cells without a value keep their format.
    cellFormats.forEachStyledCell(s, [&](int row, int column, StyleIndex style) {
        if (ok && style != defaultStyle && !book.hasFormula({s, row, column}) && book.input({s, row, column}).constant.isEmpty())
            ok = worksheet_write_blank(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), formats(style)) == LXW_NO_ERROR;
    });
    return ok;
}

// False when libxlsxwriter refuses the cell; an overlong text is cut, its cell added to `cut`.
bool writeCell(lxw_worksheet *sheet, Workbook &book, const CellLocation &where, const XlsxSheetNames &names,
               std::vector<std::string> &cut, lxw_format *format)
{
    CellInput input = book.input(where);
    const lxw_row_t row = static_cast<lxw_row_t>(where.row);
    const lxw_col_t column = static_cast<lxw_col_t>(where.column);
    if (input.arrayRows > 0 && input.arrayRow == 0 && input.arrayColumn == 0) {
        // The file holds the formula at the block's first cell; the block's
        // other cells follow it here (cells are written in order) with their values.
        const std::string formula = "{=" + names.formula(input.isKept ? input.formula : formulaForFile(input.formula)) + "}";
        const Value result = book.value(where);
        return worksheet_write_array_formula_num(sheet, row, column, static_cast<lxw_row_t>(where.row + input.arrayRows - 1),
                                                 static_cast<lxw_col_t>(where.column + input.arrayColumns - 1),
                                                 formula.c_str(), nullptr, result.isNumber() ? result.asNumber() : 0)
            == LXW_NO_ERROR;
    }
    if (input.arrayRows > 0) {
        input.isFormula = false;
        input.constant = book.value(where);
    }
    if (input.isFormula) {
        // A kept formula is the file's own text; its booleans are stored as
        // text, which reads back as what it was (the writer takes numbers or text only).
        const std::string formula = "=" + names.formula(input.isKept ? input.formula : formulaForFile(input.formula));
        const Value result = book.value(where);
        if (result.isNumber() || (result.isBoolean() && !input.isKept))
            return worksheet_write_formula_num(sheet, row, column, formula.c_str(), format, result.asNumber()) == LXW_NO_ERROR;
        return worksheet_write_formula_str(sheet, row, column, formula.c_str(), format, displayText(result).c_str())
            == LXW_NO_ERROR;
    }
    const Value &v = input.constant;
    switch (v.type()) {
    case ValueType::Number:
        return worksheet_write_number(sheet, row, column, v.asNumber(), format) == LXW_NO_ERROR;
    case ValueType::Boolean:
        return worksheet_write_boolean(sheet, row, column, v.asBoolean(), format) == LXW_NO_ERROR;
    case ValueType::Text: {
        const std::string text = cutToCellLimit(v.asText());
        if (text.size() < v.asText().size())
            cut.push_back(quotedSheetName(book.sheetName(where.sheet)) + "!" + cellText({where.row, where.column}));
        return worksheet_write_string(sheet, row, column, text.c_str(), format) == LXW_NO_ERROR;
    }
    case ValueType::Error: {
        // An error typed as a constant is stored as the formula that gives it.
        const std::string formula = "=" + std::string(errorText(v.asError()));
        return worksheet_write_formula_str(sheet, row, column, formula.c_str(), format, formula.c_str() + 1) == LXW_NO_ERROR;
    }
    case ValueType::Empty:
        return true;
    }
    return true;
}

} // namespace

bool saveWorkbookXlsx(Workbook &book, const std::string &path, std::string &message)
{
    message.clear();
    FileReplacement replacement;
    std::string failure;
    if (!replacement.begin(path, failure)) {
        message = "cannot save " + path + ": " + failure;
        return false;
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    lxw_workbook *file = workbook_new_opt(replacement.writePath().c_str(), &options);
    if (!file) {
        message = "cannot save " + path + ": " + describeFileError(ENOMEM);
        return false;
    }
    bool ok = true;
    std::vector<std::string> cut;
    std::vector<std::string> sheetNames;
    for (SheetIndex s = 0; s < book.sheetCount(); ++s)
        sheetNames.push_back(book.sheetName(s));
    const XlsxSheetNames names(sheetNames);
    XlsxFormats formats(file, book.formats());
    for (SheetIndex s = 0; s < book.sheetCount() && ok; ++s) {
        lxw_worksheet *sheet = workbook_add_worksheet(file, names.name(s).c_str());
        if (!sheet) {
            ok = false;
            failure = "the sheet name \"" + book.sheetName(s) + "\" cannot be saved";
            break;
        }
        if (!writeSheetFormats(sheet, book, s, formats)) {
            ok = false;
            failure = "the formats of the sheet \"" + book.sheetName(s) + "\" cannot be saved";
            break;
        }
        book.forEachCell(s, [&](int row, int column) {
            if (ok && !writeCell(sheet, book, CellLocation{s, row, column}, names, cut,
                                 formats(book.formats().styleAt(s, row, column)))) {
                ok = false;
                failure = "cell " + quotedSheetName(book.sheetName(s)) + "!" + cellText({row, column}) + " cannot be saved";
            }
        });
    }
    for (const DefinedName &name : book.definedNames()) {
        if (!ok)
            break;
        const std::string qualified = name.scope >= 0 ? quotedSheetName(names.name(name.scope)) + "!" + name.name : name.name;
        const std::string formula = "=" + names.formula(formulaForFile(name.expression));
        if (workbook_define_name(file, qualified.c_str(), formula.c_str()) != LXW_NO_ERROR) {
            ok = false;
            failure = "the name " + name.name + " cannot be saved";
        }
    }
    errno = 0;
    const lxw_error closed = workbook_close(file);
    const int closeError = errno;
    if (ok && closed != LXW_NO_ERROR) {
        ok = false;
        failure = closingFailure(closed, closeError);
    }
    if (ok && !replacement.commit(failure))
        ok = false;
    if (!ok) {
        message = "cannot save " + path + ": " + failure;
        return false;
    }
    book.filePath = path;
    if (!names.shortened().empty())
        message = renameNote(names.shortened());
    if (!cut.empty())
        message += (message.empty() ? "" : "; ") + cutNote(cut);
    return true;
}

} // namespace workbook
