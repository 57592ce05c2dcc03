#pragma once

#include <QImage>
#include <QString>

class VRKExcelWatchView;

// What a watch puts on the clipboard.
namespace WatchExport {

// The graph's samples as tab-separated lines under a header of captions:
// "x, value" for a curve, "x, y, value" for a surface. Empty for fewer than
// two samples or any other graph.
QString samplesText(const VRKExcelWatchView &watch);

// The watch as it looks, without its button row, corner mark and cross-hair,
// drawn at full quality over dark grey; a colour map with its legend beside it.
QImage picture(VRKExcelWatchView &watch);

} // namespace WatchExport
