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

// False when libxlsxwriter refuses the cell; an overlong text is cut, its cell added to `cut`.
bool writeCell(lxw_worksheet *sheet, Workbook &book, const CellLocation &where, const XlsxSheetNames &names,
               std::vector<std::string> &cut)
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
            return worksheet_write_formula_num(sheet, row, column, formula.c_str(), nullptr, result.asNumber()) == LXW_NO_ERROR;
        return worksheet_write_formula_str(sheet, row, column, formula.c_str(), nullptr, displayText(result).c_str())
            == LXW_NO_ERROR;
    }
    const Value &v = input.constant;
    switch (v.type()) {
    case ValueType::Number:
        return worksheet_write_number(sheet, row, column, v.asNumber(), nullptr) == LXW_NO_ERROR;
    case ValueType::Boolean:
        return worksheet_write_boolean(sheet, row, column, v.asBoolean(), nullptr) == LXW_NO_ERROR;
    case ValueType::Text: {
        const std::string text = cutToCellLimit(v.asText());
        if (text.size() < v.asText().size())
            cut.push_back(quotedSheetName(book.sheetName(where.sheet)) + "!" + cellText({where.row, where.column}));
        return worksheet_write_string(sheet, row, column, text.c_str(), nullptr) == LXW_NO_ERROR;
    }
    case ValueType::Error: {
        // An error typed as a constant is stored as the formula that gives it.
        const std::string formula = "=" + std::string(errorText(v.asError()));
        return worksheet_write_formula_str(sheet, row, column, formula.c_str(), nullptr, formula.c_str() + 1) == LXW_NO_ERROR;
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
    for (SheetIndex s = 0; s < book.sheetCount() && ok; ++s) {
        lxw_worksheet *sheet = workbook_add_worksheet(file, names.name(s).c_str());
        if (!sheet) {
            ok = false;
            failure = "the sheet name \"" + book.sheetName(s) + "\" cannot be saved";
            break;
        }
        for (const auto &[column, width] : book.columnWidths(s))
            worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column), width, nullptr);
        book.forEachCell(s, [&](int row, int column) {
            if (ok && !writeCell(sheet, book, CellLocation{s, row, column}, names, cut)) {
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
