#pragma once

#include <QString>

class VRKExcelRange;

// One scanned slider: the cell it drives and the grid it sweeps.
struct ScanAxis
{
    VRKExcelRange *cell = nullptr;
    double minimum = 0.0;
    double maximum = 0.0;
    double step = 0.0;
    int stepFactor = 1;
    QString caption;
};
