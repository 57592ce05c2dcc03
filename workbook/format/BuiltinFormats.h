#pragma once

#include <string>

namespace workbook {

// The format code of an xlsx built-in number format id (files name these by
// id alone), or "" for an id that has none.
std::string builtinFormatCode(int id);

} // namespace workbook
