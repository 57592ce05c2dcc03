#include "ScanProgressText.h"

#include <cmath>

std::optional<QString> scanProgressText(int phase, int pointsDone, int totalPoints, const QDateTime &start,
                                        const QDateTime &now)
{
    const qint64 elapsed = start.msecsTo(now);
    switch (phase) {
    case 0: {
        if (pointsDone < 1)
            return std::nullopt;
        const double total = double(elapsed) * totalPoints / pointsDone;
        const QDateTime end = start.addMSecs(qint64(total));
        if (total > 3600000)
            return end.toString(QStringLiteral("'Till' hh:mm"));
        const qint64 seconds = now.secsTo(end);
        const qint64 minutes = seconds / 60;
        if (minutes < 1)
            return QStringLiteral("%1 s remain.").arg(seconds);
        return QStringLiteral("%1 min remain.").arg(minutes);
    }
    case 1: {
        const double percent = totalPoints > 0 ? pointsDone * 100.0 / totalPoints : 0.0;
        if (percent < 10)
            return QStringLiteral("%1% scanned").arg(percent, 0, 'f', 1, QLatin1Char('0'));
        return QStringLiteral("%1% scanned").arg(qint64(std::floor(percent)));
    }
    case 2:
        if (pointsDone < 1)
            return std::nullopt;
        return QStringLiteral("%1 ms/point").arg(elapsed / pointsDone);
    case 3:
        return QStringLiteral("%1 points").arg(totalPoints);
    case 4:
        return QStringLiteral("Stop Scan");
    }
    return std::nullopt;
}
