#pragma once

#include "Program.h"

#include <string>
#include <string_view>

namespace workbook {

struct ParseResult
{
    bool ok = false;
    Program program;
    std::string message; // what went wrong and where, when not ok
};

// Compiles formula text as a user types it, with or without the leading "=",
// en-US separators. Nesting deeper than `maxDepth` is refused rather than
// risking the stack.
ParseResult parseFormula(std::string_view text);

// The formula text with every relative reference moved by `rows` and
// `columns` (how a copied or shared formula reads in another cell). A
// reference moved off the sheet becomes #REF!. Empty when the text does not lex.
std::string shiftFormula(std::string_view text, int rows, int columns);

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
