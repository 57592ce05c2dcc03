#pragma once

#include <string>

namespace workbook {

// A number in the General format: as many digits as fit in `width`
// characters (at most 11, as the spreadsheet shows General even in a wide
// column), switching to scientific notation when that shows more of it, and
// "#" across the width when not even that fits. `width` 0: no column limit.
std::string generalNumber(double x, int width = 0);

// The text that fills a cell too narrow for its number.
std::string hashes(int width);

} // namespace workbook
