#include "DrawingSettings.h"

#include <algorithm>
#include <cmath>

namespace {

// A fraction in [0, 1]; NaN falls back to fully opaque so nothing vanishes.
double clampedFraction(double x)
{
    return std::isnan(x) ? 1.0 : std::clamp(x, 0.0, 1.0);
}

double finiteOr(double x, double fallback)
{
    return std::isfinite(x) ? x : fallback;
}

bool isFinite(const QVector3D &v)
{
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

// One turn, ending in (-180, 180]. fmod keeps huge angles exact and finite.
double wrappedAngle(double degrees)
{
    if (!std::isfinite(degrees))
        return 0.0;
    double wrapped = std::fmod(degrees, 360.0);
    if (wrapped < 0.0)
        wrapped += 360.0;
    if (wrapped > 180.0)
        wrapped -= 360.0;
    return wrapped;
}

} // namespace

bool operator==(const DataExtractionSettings &a, const DataExtractionSettings &b)
{
    return a.selection == b.selection && a.simplify == b.simplify;
}

PerspectiveSettings PerspectiveSettings::normalized() const
{
    const PerspectiveSettings defaults;
    PerspectiveSettings s = *this;
    if (!isFinite(s.eye))
        s.eye = defaults.eye;
    if (!isFinite(s.center))
        s.center = defaults.center;
    s.zoom = finiteOr(s.zoom, defaults.zoom);
    s.heightScale = finiteOr(s.heightScale, defaults.heightScale);

    // A zoom past the eye's distance would put the camera inside the picture.
    if (s.zoom > s.eye.length())
        s.zoom = s.eye.length();
    else if (s.zoom < 0.5)
        s.zoom = 0.5;
    if (std::abs(s.zoom - 1.0) < 0.01)
        s.zoom = 1.0;
    s.heightScale = std::max(s.heightScale, 0.00002);
    s.turn = wrappedAngle(s.turn);
    s.tilt = wrappedAngle(s.tilt);
    s.roll = wrappedAngle(s.roll);
    return s;
}

bool operator==(const PerspectiveSettings &a, const PerspectiveSettings &b)
{
    // QVector3D's == compares exactly.
    return a.eye == b.eye && a.center == b.center && a.turn == b.turn && a.tilt == b.tilt && a.roll == b.roll
        && a.heightScale == b.heightScale && a.zoom == b.zoom;
}

DrawSettings2D DrawSettings2D::normalized() const
{
    DrawSettings2D s = *this;
    s.alpha = clampedFraction(s.alpha);
    return s;
}

bool operator==(const DrawSettings2D &a, const DrawSettings2D &b)
{
    return a.alpha == b.alpha && a.option == b.option;
}

QList<QVector4D> DrawSettings3DCube::defaultLights()
{
    // Two soft lights from the left, front and back, and a strong one from the right.
    return {QVector4D(-0.8f, 1.2f, -0.8f, 90.0f), QVector4D(-0.8f, 1.2f, 0.8f, 90.0f),
            QVector4D(0.8f, 2.0f, 1.8f, 200.0f)};
}

DrawSettings3DCube DrawSettings3DCube::normalized() const
{
    DrawSettings3DCube s = *this;
    s.alpha = clampedFraction(s.alpha);
    s.dragFraction = clampedFraction(s.dragFraction);
    return s;
}

bool operator==(const DrawSettings3DCube &a, const DrawSettings3DCube &b)
{
    return a.alpha == b.alpha && a.imageSize == b.imageSize && a.smooth == b.smooth && a.fastDraw == b.fastDraw
        && a.disableAntialiasing == b.disableAntialiasing && a.renderScale == b.renderScale
        && a.carriedFlagA == b.carriedFlagA && a.carriedFlagB == b.carriedFlagB && a.surfaceColor == b.surfaceColor
        && a.carriedFlagC == b.carriedFlagC && a.drawPoints == b.drawPoints && a.carriedColorA == b.carriedColorA
        && a.carriedColorB == b.carriedColorB && a.outlineColor == b.outlineColor && a.carriedValue == b.carriedValue
        && a.useNormalAveraged == b.useNormalAveraged && a.useTriangleRects == b.useTriangleRects
        && a.dragFraction == b.dragFraction && a.fillLimitX == b.fillLimitX && a.fillLimitY == b.fillLimitY
        && a.lights == b.lights;
}
