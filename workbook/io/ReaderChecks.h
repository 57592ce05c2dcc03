#pragma once

#include "OrcusImport.h"

#include <cstdint>
#include <string>

namespace workbook {

// "the file would need more than 8 GB"
std::string needsMoreThan(std::uint64_t bytes);

// Why the reader cannot take the file, in words for its user ("not an xlsx
// file: it is not a zip archive", "the xlsx is damaged: xl/workbook.xml is
// missing"), or "" when the parser may try. Reads the zip directory and the
// small relationship parts only: a part that claims more than the file can
// back, or parts that would take more than `memoryCeiling` to hold, are
// refused before the parser allocates for them.
std::string whyUnreadable(const std::string &path, FileFormat format, std::uint64_t memoryCeiling);

// What the exception being handled means for the user; call inside a catch.
std::string reasonOfCurrentException(FileFormat format, std::uint64_t memoryCeiling);

} // namespace workbook
