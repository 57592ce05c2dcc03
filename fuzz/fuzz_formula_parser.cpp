// Formula text from anywhere: the parser must refuse or compile it, and a
// compiled formula must evaluate, without crashing or hanging.
#include "FormulaParser.h"
#include "Workbook.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    workbook::parseFormula(text);
    workbook::shiftFormula(text, 3, -2);
    workbook::formulaFromOpenDocument(text);
    static workbook::Workbook book;
    if (book.sheetCount() == 0) {
        book.addSheet("S");
        book.addSheet("Other");
        for (int r = 0; r < 5; ++r)
            book.setValue({0, r, 0}, workbook::Value::number(r));
        book.setValue({0, 0, 1}, workbook::Value::text("text"));
    }
    if (book.setFormula({0, 10, 3}, text))
        book.value({0, 10, 3});
    return 0;
}
