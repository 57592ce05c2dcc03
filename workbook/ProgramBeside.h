#pragma once

#include <string>

namespace workbook {

// The path of the program `name` in the folder of the running program; just
// `name` when that folder cannot be found.
std::string programBeside(const std::string &name);

} // namespace workbook
