#pragma once

#include "ImportedData.h"

#include <optional>
#include <string>
#include <string_view>

namespace workbook {

// A cell address as a sheet part writes it ("B7"), read without judging
// whether it lies on the sheet: 0-based, possibly past the sheet's last row
// or column (saturated far beyond them). Nothing when the text is not
// letters followed by a row number.
struct FileCellAddress
{
    long long row = 0;
    long long column = 0;
};
std::optional<FileCellAddress> readFileCellAddress(std::string_view text);

// liborcus 0.17 drops xlsx cells of inline strings, errors and ISO dates,
// the error and boolean results of formulas, and the text and error results
// of array formulas. This reads those from the sheet parts and adds them to
// the sheets orcus made, matched by name; cells whose address is broken or
// off the sheet are reported in `data.notRead`.
void addXlsxCellsOrcusSkips(const std::string &path, ImportedData &data);

} // namespace workbook
