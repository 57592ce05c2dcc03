#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One axis of a sample grid. The scan stores the axis's first value and its
// last grid value in `first` and `second`; the record is compared whole.
struct Dimension
{
    int count = 0;
    QString label;
    double first = 0.0;
    double second = 0.0;

    friend bool operator==(const Dimension &a, const Dimension &b)
    {
        return a.count == b.count && a.first == b.first && a.label == b.label && a.second == b.second;
    }
    friend bool operator!=(const Dimension &a, const Dimension &b) { return !(a == b); }
};

Q_DECLARE_METATYPE(Dimension)
