#pragma once

#include <QLoggingCategory>

// The spreadsheet connection's diagnostics; silent unless QT_LOGGING_RULES
// turns on "tarvio.excel.debug".
Q_DECLARE_LOGGING_CATEGORY(lcExcel)
