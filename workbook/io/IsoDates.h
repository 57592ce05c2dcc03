#pragma once

#include <optional>
#include <string_view>

namespace workbook {

// Dates and times as files write them (ISO 8601), as serial numbers. Nothing
// when the text is none.

// "2024-03-15T12:30:00", "2024-03-15", "12:30:00" (a zone suffix is
// ignored: the cell shows the time as written), numbered as the spreadsheet
// numbers dates: 1 is 1 January 1900, 60 its 29 February.
std::optional<double> isoDateSerial(std::string_view text);

// The same texts as OpenDocument numbers them: days since 30 December 1899,
// so that date is 0.
std::optional<double> openDocumentDateSerial(std::string_view text);

// A duration ("PT12H30M", "-PT1H", "P1DT2H", "PT0.5S") in days.
std::optional<double> isoDurationDays(std::string_view text);

} // namespace workbook
