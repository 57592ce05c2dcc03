#pragma once

#include "ImportedData.h"

#include <string>

namespace workbook {

// Reads a CSV file as the spreadsheet reads one: fields separated by commas
// (or by the character a first line "sep=;" names), quoted with double
// quotes ("" is a quote inside), records ended by CRLF, LF or CR, a UTF-8
// byte-order mark skipped. Every field arrives as typed text on one sheet
// named "data". What is not written as it should be is read as well as it
// can, and what cannot be placed is left out; both are reported with their
// line numbers in `data.notRead`. Throws std::runtime_error when the file
// cannot be read.
void readCsvFile(const std::string &path, ImportedData &data);

} // namespace workbook
