#pragma once

#include "../Workbook.h"
#include "LoadCancel.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace workbook {

struct LoadReport
{
    bool ok = false;
    std::string message; // "cannot read FILE: reason" when not ok
    // What the file held that saving to xlsx would lose (empty: nothing).
    std::vector<std::string> unsupported;
    // Formulas this program cannot evaluate: each keeps the file's text and
    // shows the file's result (see Workbook::setKeptFormula).
    std::size_t unreadableFormulas = 0;
    std::vector<std::string> unreadableFormulaCells; // "Sheet1!B2", the first hundred
    // What the file held that could not be read, a line each saying where
    // ("line 7: ...", "Sheet1!A1048577 ..."); empty: everything was read.
    std::vector<std::string> notRead;
    bool cancelled = false;
};

struct LoadProgress
{
    enum class Stage { Reading, Receiving, Building };
    Stage stage = Stage::Reading;
    std::uint64_t cellsReceived = 0;
    std::uint64_t cellsTotal = 0;
};

struct LoadOptions
{
    int timeoutMilliseconds = 60000;
    // The memory ceiling of the reader and of the record it hands over, so a
    // hostile file cannot exhaust the machine.
    std::size_t memoryLimitBytes = std::size_t(8) << 30;
    // Told on the loading thread what the load is doing.
    std::function<void(const LoadProgress &)> progress;
    // Stops the reader when cancelled; building the workbook from a complete
    // record is not stopped.
    const LoadCancel *cancel = nullptr;
};

// Reads an xlsx, ods or csv file into an empty workbook. The parser runs in a
// reader program of its own: a crash or a hang there becomes the message
// "cannot read FILE: ..." and leaves `book` empty, never half loaded.
LoadReport loadWorkbookFile(const std::string &path, Workbook &book, const LoadOptions &options = LoadOptions());

// Writes the workbook as xlsx: sheets, values, formulas with their current
// results, defined names. Written to a temporary file beside the target and
// renamed over it only when complete and on the disk, keeping the file's mode
// and owner; a symbolic link's target is the file replaced, and a read-only
// file is refused. On failure the old file is untouched and `message` says
// why ("cannot save FILE: the disk is full"). On success `message` is empty,
// or says what the file could not hold as it is (texts longer than an xlsx
// cell takes are cut, sheet names longer than it takes are shortened).
// Formulas kept as the file's text are written back as they came.
bool saveWorkbookXlsx(Workbook &book, const std::string &path, std::string &message);

} // namespace workbook
