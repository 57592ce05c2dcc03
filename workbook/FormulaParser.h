#pragma once

#include "Program.h"

#include <functional>
#include <string>
#include <string_view>

namespace workbook {

struct RowsColumnsChange;

// Why a formula did not parse, for an editor to say in plain words.
enum class FormulaError {
    None,
    TooLong,
    MissingValue,                // an operator, "(" or "," with no value after it; nothing at all
    MissingOperator,             // two values side by side
    MissingSeparator,            // two arguments of a function without "," between them
    MissingClosingParenthesis,   // the formula ends inside "(" or a function's arguments
    UnmatchedClosingParenthesis, // ")" with no "(" before it
    UnexpectedCharacter,
    UnclosedText,
    UnclosedSheetName,
    MalformedReference,
    MalformedNumber,
    UnknownErrorLiteral,
    TooDeep,
    TooManyArguments,
    SheetNameNeedsQuotes,        // Other sheet!A1
    TooManyAreas,                // a union of more than 255 references
    MalformedArray,              // an array constant with other than constants, or rows of different lengths
};

struct ParseResult
{
    bool ok = false;
    Program program;
    std::string message; // what went wrong and where, when not ok
    FormulaError error = FormulaError::None;
    size_t position = 0; // where it went wrong: 0-based in the text as given, "=" included
};

// Compiles formula text as a user types it, with or without the leading "=",
// en-US separators. Nesting deeper than `maxDepth` is refused rather than
// risking the stack.
ParseResult parseFormula(std::string_view text);

// The formula text with every relative reference moved by `rows` and
// `columns` (how a copied or shared formula reads in another cell). A
// reference moved off the sheet becomes #REF!. Empty when the text does not lex.
std::string shiftFormula(std::string_view text, int rows, int columns);

// The formula text after rows or columns were inserted or deleted: every
// reference for which `onChangedSheet` (given the reference's sheet name,
// empty for the formula's own sheet) is true follows its cells, absolute ones
// too; a reference whose cells are all gone becomes #REF!. The text as it was
// when it does not lex.
std::string moveReferences(std::string_view text, const RowsColumnsChange &change,
                           const std::function<bool(const std::string &sheet)> &onChangedSheet);

// The formula text as files store it: functions newer than the classic set
// carry their "_xlfn." prefix.
std::string formulaForFile(std::string_view text);

// The formula text as a user types it, from a file's (without "_xlfn.").
std::string formulaFromFile(std::string_view text);

// OpenDocument formula text ("of:=SUM([.A1:.B2];[$Sheet2.C3])") in the
// syntax a user types ("SUM(A1:B2,Sheet2!C3)").
std::string formulaFromOpenDocument(std::string_view text);

constexpr int maxFormulaDepth = 200;
constexpr size_t maxFormulaLength = 8192;

} // namespace workbook
