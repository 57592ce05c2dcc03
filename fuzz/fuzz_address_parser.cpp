// References as a formula or a command line spells them.
#include "Reference.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    if (const auto cell = workbook::parseCellPosition(text))
        workbook::cellText(*cell);
    if (const auto range = workbook::parseRangeReference(text))
        workbook::rangeText(*range);
    workbook::columnFromLetters(text);
    return 0;
}
