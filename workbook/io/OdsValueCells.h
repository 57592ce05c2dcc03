#pragma once

#include "ImportedData.h"

#include <string>

namespace workbook {

// liborcus 0.17 misplaces OpenDocument cells (covered cells are not counted,
// so later cells of the row shift left; repeated rows keep one copy) and
// drops boolean, percentage, currency and time cells and most of a text's
// spaces, tabs, line breaks and paragraphs. This reads every cell of the
// file's content.xml into the sheets orcus made, matched by name; orcus
// gives the sheets, names and column widths.
void addOpenDocumentCells(const std::string &path, ImportedData &data);

} // namespace workbook
