#pragma once

#include "Dimension.h"

#include <QList>
#include <QObject>

// The samples of one watched cell: a flat list of doubles laid over a grid of
// one or more dimensions, the first dimension varying fastest. In live mode
// (one dimension) it is a rolling history, newest last. NaN marks a sample
// without a value.
class SimpleMultiDimData : public QObject
{
    Q_OBJECT
public:
    // Largest grid a store accepts; a larger request is refused, not allocated.
    static constexpr qsizetype maxTotalSize = 16 * 1024 * 1024;

    explicit SimpleMultiDimData(QObject *parent = nullptr);

    int maxValueCount() const { return m_maxValueCount; }
    void setMaxValueCount(int count);

    bool dirty() const { return m_dirty; }
    void setDirty(bool dirty) { m_dirty = dirty; }

    bool dataComplete() const { return m_dataComplete; }
    void setDataComplete(bool complete) { m_dataComplete = complete; }

    const QList<double> &values() const { return m_values; }
    const QList<Dimension> &dimensions() const { return m_dimensions; }

    // 0 no dimension, 2 one, 4 two, 8 three or more.
    int dataKind() const;
    qsizetype totalSize() const;

    // -1 for a position outside the grid or past the stored values.
    qsizetype offsetOf(const QList<int> &position) const;
    // NaN for a position outside the grid.
    double value(const QList<int> &position) const;
    // The samples of a sub-grid: -1 frees an axis, any other entry fixes it.
    // Earlier free axes vary fastest, as in storage.
    QList<double> extract(QList<int> selection) const;

signals:
    void changed();
    void dimensionsChanged();
    void reportNaN();
    void updateNeeded();
    void displayAsScanChanged(bool value);

public slots:
    virtual void markChanged();
    virtual void clear();
    virtual void resetValues();
    virtual void setValues(const QList<double> &values);
    virtual void setValue(const QList<int> &position, double value);
    // One value into several cells at once, by offset: a scan point and the
    // cells it stands in for. Offsets outside the store are skipped.
    virtual void setValueAtOffsets(const QList<qsizetype> &offsets, double value);
    virtual void setDimensions(const QList<Dimension> &dimensions);
    virtual bool appendValue(double value);

private:
    int m_maxValueCount = 200;
    bool m_dirty = true;
    QList<double> m_values;
    QList<Dimension> m_dimensions;
    bool m_dataComplete = false;
};
