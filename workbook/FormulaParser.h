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

constexpr int maxFormulaDepth = 200;
constexpr size_t maxFormulaLength = 8192;

} // namespace workbook
