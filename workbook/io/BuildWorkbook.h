#pragma once

#include "ImportedData.h"
#include "WorkbookFiles.h"

namespace workbook {

// Builds the empty `book` from what the reader collected. Formulas the
// workbook cannot evaluate are kept as the file's text with the file's
// result; the report lists them and carries what the reader could not read
// and what saving would lose.
LoadReport buildWorkbook(const ImportedData &data, Workbook &book);

} // namespace workbook
