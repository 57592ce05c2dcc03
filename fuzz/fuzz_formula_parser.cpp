// Formula text from anywhere: the parser and the rewriters must refuse it or
// handle it, without crashing. Evaluation is fuzz_formula_evaluator's part.
#include "FormulaParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    workbook::parseFormula(text);
    workbook::shiftFormula(text, 3, -2);
    workbook::formulaFromOpenDocument(text);
    return 0;
}
