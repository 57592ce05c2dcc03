#pragma once

#include "OrcusImport.h"
#include "WorkbookFiles.h"

#include <string>

namespace workbook {

// The two halves of loadWorkbookFile: the first runs in the reader's child
// process, the second in the caller with what came through the pipe. Called
// one after the other in one process, a crash or a hang of the parser shows
// where it happens, which is what a fuzzer needs.

// The reader's answer: "K" and the serialized record, or "E" and why the file
// cannot be read.
std::string readerAnswer(const std::string &path, FileFormat format);

// Builds the empty `book` from the reader's answer, as loadWorkbookFile does.
LoadReport loadFromAnswer(const std::string &path, FileFormat format, const std::string &answer, Workbook &book);

} // namespace workbook
