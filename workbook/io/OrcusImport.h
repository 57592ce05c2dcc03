#pragma once

#include "ImportedData.h"

#include <string>

namespace workbook {

enum class FileFormat { Xlsx, Ods, Csv, Unknown };

// By the file name's ending.
FileFormat formatOfPath(const std::string &path);

// Reads a file through liborcus into `data`. Throws whatever the parser
// throws; run it where a crash does no harm (see loadWorkbookFile).
void importWithOrcus(const std::string &path, FileFormat format, ImportedData &data);

} // namespace workbook
