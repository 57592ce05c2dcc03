#pragma once

#include <QLoggingCategory>

// The main window's diagnostics (activation, flows that skip a cell); silent
// unless QT_LOGGING_RULES turns on "tarvio.app.debug".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
