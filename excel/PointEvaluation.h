#pragma once

#include <QList>
#include <QObject>
#include <QVariant>

// The points of a scan evaluated many at a time, on a backend's own threads
// and apart from the cells the user sees, for a backend that can
// (AutomationBackend::evaluatePointsInParallel). The cells written and read
// are fixed when it is made. Readings come back in the order the points were
// submitted, each as the backend's exchange would read it.
class PointEvaluation : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Queues points: one number per written cell for each, point after point.
    virtual void submit(const QList<double> &values) = 0;
    // The readings of the next point in turn, one per read cell; false until they have come.
    virtual bool takeNext(QList<QVariant> &readings) = 0;
    // Points submitted and not yet taken.
    virtual qsizetype outstanding() const = 0;
    // Forgets every point not yet taken: none of them comes back.
    virtual void cancel() = 0;

signals:
    // Readings arrived: the next point may be ready to take.
    void arrived();
};
