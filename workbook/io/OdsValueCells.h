#pragma once

#include "ImportedData.h"

#include <string>

namespace workbook {

// liborcus 0.17 passes only float, string and date cells of an OpenDocument
// file; boolean, percentage and currency cells would vanish. This reads
// those from the file's content.xml and adds them to the sheets orcus made.
void addOpenDocumentValueCells(const std::string &path, ImportedData &data);

} // namespace workbook
