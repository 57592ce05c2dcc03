#include "WorkbookFiles.h"

#include "../FormulaParser.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace workbook {

namespace {

std::string temporaryPathBeside(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "/." + name + ".saving-" + std::to_string(::getpid()) + ".xlsx";
}

bool writeCell(lxw_worksheet *sheet, Workbook &book, const CellLocation &where)
{
    const CellInput input = book.input(where);
    const lxw_row_t row = static_cast<lxw_row_t>(where.row);
    const lxw_col_t column = static_cast<lxw_col_t>(where.column);
    if (input.isFormula) {
        const std::string formula = "=" + formulaForFile(input.formula);
        const Value result = book.value(where);
        if (result.isNumber() || result.isBoolean())
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
    case ValueType::Text:
        return worksheet_write_string(sheet, row, column, v.asText().c_str(), nullptr) == LXW_NO_ERROR;
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
    const std::string temporary = temporaryPathBeside(path);
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    lxw_workbook *file = workbook_new_opt(temporary.c_str(), &options);
    if (!file) {
        message = "cannot save " + path + ": cannot create a file in its folder";
        return false;
    }
    bool ok = true;
    std::string failure;
    for (SheetIndex s = 0; s < book.sheetCount() && ok; ++s) {
        lxw_worksheet *sheet = workbook_add_worksheet(file, book.sheetName(s).c_str());
        if (!sheet) {
            ok = false;
            failure = "the sheet name \"" + book.sheetName(s) + "\" cannot be saved";
            break;
        }
        for (const auto &[column, width] : book.columnWidths(s))
            worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column), width, nullptr);
        book.forEachCell(s, [&](int row, int column) {
            if (ok && !writeCell(sheet, book, CellLocation{s, row, column})) {
                ok = false;
                failure = "cell " + quotedSheetName(book.sheetName(s)) + "!" + cellText({row, column}) + " cannot be saved";
            }
        });
    }
    for (const DefinedName &name : book.definedNames()) {
        if (!ok)
            break;
        const std::string qualified = name.scope >= 0 ? quotedSheetName(book.sheetName(name.scope)) + "!" + name.name : name.name;
        const std::string formula = "=" + formulaForFile(name.expression);
        if (workbook_define_name(file, qualified.c_str(), formula.c_str()) != LXW_NO_ERROR) {
            ok = false;
            failure = "the name " + name.name + " cannot be saved";
        }
    }
    const lxw_error closed = workbook_close(file);
    if (ok && closed != LXW_NO_ERROR) {
        ok = false;
        failure = lxw_strerror(closed);
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        failure = std::strerror(errno);
    }
    if (!ok) {
        std::remove(temporary.c_str());
        message = "cannot save " + path + ": " + failure;
        return false;
    }
    book.filePath = path;
    return true;
}

} // namespace workbook
