#pragma once

#include <QLoggingCategory>

// The sample stores' and painters' diagnostics; silent unless QT_LOGGING_RULES
// turns on "tarvio.data.debug".
Q_DECLARE_LOGGING_CATEGORY(lcData)
