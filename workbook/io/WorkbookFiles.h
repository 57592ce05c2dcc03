#pragma once

#include "../Workbook.h"

#include <string>
#include <vector>

namespace workbook {

struct LoadReport
{
    bool ok = false;
    std::string message; // "cannot read FILE: reason" when not ok
    // What the file held that saving to xlsx would lose (empty: nothing).
    std::vector<std::string> unsupported;
    std::size_t unreadableFormulas = 0; // kept as their cached values
};

struct LoadOptions
{
    int timeoutMilliseconds = 60000;
    // The reader's memory ceiling, so a hostile file cannot exhaust the machine.
    std::size_t memoryLimitBytes = std::size_t(8) << 30;
};

// Reads an xlsx, ods or csv file into an empty workbook. The parser runs in a
// child process: a crash or a hang there becomes the message "cannot read
// FILE: ..." and leaves `book` empty, never half loaded.
LoadReport loadWorkbookFile(const std::string &path, Workbook &book, const LoadOptions &options = LoadOptions());

// Writes the workbook as xlsx: sheets, values, formulas with their current
// results, defined names. Written to a temporary file beside the target and
// renamed over it only when complete and on the disk, keeping the file's mode
// and owner; a symbolic link's target is the file replaced, and a read-only
// file is refused. On failure the old file is untouched and `message` says
// why ("cannot save FILE: the disk is full"). On success `message` is empty,
// or says what the file could not hold as it is (texts longer than an xlsx
// cell takes are cut).
bool saveWorkbookXlsx(Workbook &book, const std::string &path, std::string &message);

} // namespace workbook
