#pragma once

#include <QLoggingCategory>

// The watches' diagnostics; silent unless QT_LOGGING_RULES turns on "tarvio.watches.debug".
Q_DECLARE_LOGGING_CATEGORY(lcWatches)
