// Formulas from anywhere, evaluated on a small workbook: each must finish
// (the run's per-input time limit catches one that does not) and must not
// crash. Each line of the input is the formula of E1, E2, ..., so formulas
// can read each other, in chains and in circles.
#include "Workbook.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

constexpr int maxFormulas = 4;

// Numbers small and huge, a date, texts (one a criteria pattern), a boolean,
// an error, empty cells, a second sheet and names.
void fillSample(workbook::Workbook &book)
{
    const workbook::SheetIndex sheet = book.addSheet("S");
    const workbook::SheetIndex other = book.addSheet("Other sheet");
    static const char *const cells[5][3] = {
        {"0", "text", "45000"}, {"1", "", "TRUE"}, {"-2.5", "a*b?", "#N/A"}, {"1E+300", "0.5", "#DIV/0!"}, {"3", "3", ""},
    };
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 3; ++column)
            book.setInput({sheet, row, column}, cells[row][column]);
    book.setInput({other, 0, 0}, "7");
    book.setInput({other, 1, 1}, "other text");
    book.defineName("Rate", "0.05");
    book.defineName("Data", "S!$A$1:$C$5");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    workbook::Workbook book;
    fillSample(book);
    std::string_view text(reinterpret_cast<const char *>(data), size);
    int formulas = 0;
    while (formulas < maxFormulas && !text.empty()) {
        const size_t end = text.find('\n');
        book.setFormula({0, formulas++, 4}, text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    for (int row = 0; row < formulas; ++row)
        book.value({0, row, 4});
    // A write after the first evaluation recalculates only what depends on it.
    book.setInput({0, 0, 0}, "2");
    for (int row = 0; row < formulas; ++row)
        book.value({0, row, 4});
    return 0;
}
