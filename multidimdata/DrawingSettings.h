#pragma once

#include <QColor>
#include <QList>
#include <QMetaType>
#include <QSize>
#include <QVector3D>
#include <QVector4D>

// The records that steer drawing. They are plain values, passed by value in
// the store's change signals and setter slots, so that a caller can copy one,
// change a field and set it back. Each `normalized()` applies the clamps the
// store's setter applies; `==` compares every field, carried ones included.

struct DataExtractionSettings
{
    QList<int> selection; // one entry per dimension; -1 frees that axis
    bool simplify = false;

    friend bool operator==(const DataExtractionSettings &a, const DataExtractionSettings &b);
    friend bool operator!=(const DataExtractionSettings &a, const DataExtractionSettings &b) { return !(a == b); }
};

struct PerspectiveSettings
{
    QVector3D eye{0.0f, 0.0f, 2.0f};
    QVector3D center{0.0f, 0.0f, 0.0f};
    double turn = -30.0;
    double tilt = 40.0;
    double roll = 0.0;
    double heightScale = 0.6;
    double zoom = 0.8;

    PerspectiveSettings normalized() const;
    friend bool operator==(const PerspectiveSettings &a, const PerspectiveSettings &b);
    friend bool operator!=(const PerspectiveSettings &a, const PerspectiveSettings &b) { return !(a == b); }
};

struct DrawSettings2D
{
    double alpha = 1.0;
    bool option = true;

    DrawSettings2D normalized() const;
    friend bool operator==(const DrawSettings2D &a, const DrawSettings2D &b);
    friend bool operator!=(const DrawSettings2D &a, const DrawSettings2D &b) { return !(a == b); }
};

struct DrawSettings3DFlat
{
    bool smooth = true;

    friend bool operator==(const DrawSettings3DFlat &a, const DrawSettings3DFlat &b) { return a.smooth == b.smooth; }
    friend bool operator!=(const DrawSettings3DFlat &a, const DrawSettings3DFlat &b) { return !(a == b); }
};

struct DrawSettings3DCube
{
    double alpha = 0.8;
    QSize imageSize; // (-1, -1) until a store installs its (0, 0) default
    bool smooth = true;
    bool fastDraw = false;
    bool disableAntialiasing = false;
    double renderScale = 1.0;
    bool carriedFlagA = true;
    bool carriedFlagB = true;
    QColor surfaceColor{0x8b, 0xc8, 0x37};
    bool carriedFlagC = false;
    bool drawPoints = true;
    QColor carriedColorA{Qt::blue};
    QColor carriedColorB{Qt::red};
    QColor outlineColor{Qt::white};
    double carriedValue = 0.0;
    bool useNormalAveraged = true;
    bool useTriangleRects = true;
    double dragFraction = 1.0;
    int fillLimitX = 0;
    int fillLimitY = 0;
    // Position (x, y, z) and strength of each light.
    QList<QVector4D> lights = defaultLights();

    static QList<QVector4D> defaultLights();

    DrawSettings3DCube normalized() const;
    friend bool operator==(const DrawSettings3DCube &a, const DrawSettings3DCube &b);
    friend bool operator!=(const DrawSettings3DCube &a, const DrawSettings3DCube &b) { return !(a == b); }
};

Q_DECLARE_METATYPE(DataExtractionSettings)
Q_DECLARE_METATYPE(PerspectiveSettings)
Q_DECLARE_METATYPE(DrawSettings2D)
Q_DECLARE_METATYPE(DrawSettings3DFlat)
Q_DECLARE_METATYPE(DrawSettings3DCube)
