#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The five texts the Graph button cycles through while a scan runs (phase
// 0 .. 4): time left, share scanned, time per point, the grid's size and
// "Stop Scan". Nothing when a phase has nothing to say yet.
std::optional<QString> scanProgressText(int phase, int pointsDone, int totalPoints, const QDateTime &start,
                                        const QDateTime &now);
