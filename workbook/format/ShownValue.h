#pragma once

#include "../Value.h"
#include "NumberFormat.h"

namespace workbook {

// What a cell holding `value` shows through its number format, in a column
// `width` characters wide (0: no limit). Booleans and errors show as they are.
FormattedText shownValue(const Value &value, const NumberFormat &format, int width = 0);

} // namespace workbook
