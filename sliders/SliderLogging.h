#pragma once

#include <QLoggingCategory>

// The sliders' diagnostics; silent unless QT_LOGGING_RULES turns on "tarvio.sliders.debug".
Q_DECLARE_LOGGING_CATEGORY(lcSliders)
