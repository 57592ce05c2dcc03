#pragma once

#include "OrcusImport.h"
#include "ReaderRecord.h"
#include "WorkbookFiles.h"

#include <cstdint>
#include <string>

namespace workbook {

// The two halves of loadWorkbookFile: the first runs in the reader program,
// the second in the caller with what came through the pipe. Called one after
// the other in one process, a crash or a hang of the parser shows where it
// happens, which is what a fuzzer needs.

// The reader's work: checks the file, parses it and sends the record, or a
// failure saying why the file cannot be read. False when `send` fails.
bool sendReaderAnswer(const std::string &path, FileFormat format, std::uint64_t memoryCeiling, const SendBytes &send);

// The same answer, collected whole.
std::string readerAnswer(const std::string &path, FileFormat format, std::uint64_t memoryCeiling);

// Builds the empty `book` from a whole answer, as loadWorkbookFile does with
// one that streams in.
LoadReport loadFromAnswer(const std::string &path, FileFormat format, const std::string &answer, Workbook &book);

} // namespace workbook
