#pragma once

#include <QLoggingCategory>

// The program's diagnostics are silent by default; a test that expects one
// of their lines includes this to hear them.
struct ProgramDiagnosticsOn
{
    ProgramDiagnosticsOn()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("tarvio.app.debug=true\n"
                                                        "tarvio.excel.debug=true\n"
                                                        "tarvio.sliders.debug=true\n"
                                                        "tarvio.watches.debug=true\n"
                                                        "tarvio.data.debug=true"));
    }
};
inline const ProgramDiagnosticsOn programDiagnosticsOn;
