#include "VRKFloatDataSquare.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double sameCenterTolerance = 1e-12;
constexpr double sameSizeTolerance = 1e-12;

bool sameSize(double a, double b)
{
    return std::abs(a - b) <= sameSizeTolerance * std::min(std::abs(a), std::abs(b));
}

} // namespace

VRKFloatDataSquare::VRKFloatDataSquare(VRKFloatDataSquare *parentSquare)
    : m_parentSquare(parentSquare)
{
}

VRKFloatDataSquare::~VRKFloatDataSquare()
{
    // Tear down quietly: nobody is left to hear about changes.
    for (VRKFloatDataSquare *&child : m_children) {
        if (child)
            child->m_parentSquare = nullptr;
        delete child;
        child = nullptr;
    }
}

VRKFloatDataSquare *VRKFloatDataSquare::child(int index) const
{
    return index >= 0 && index < childCount ? m_children[index] : nullptr;
}

void VRKFloatDataSquare::setChanged(bool value)
{
    m_changed = value;
    if (!value)
        return;
    for (VRKFloatDataSquare *square = this; square; square = square->m_parentSquare) {
        square->m_changed = true;
        emit square->changed();
    }
}

double VRKFloatDataSquare::value(int position) const
{
    return isPoint(position) ? m_values[position] : std::numeric_limits<double>::quiet_NaN();
}

bool VRKFloatDataSquare::isKnown(int position) const
{
    return isPoint(position) && m_known[position];
}

void VRKFloatDataSquare::markUnknown(int position)
{
    if (isPoint(position))
        m_known[position] = false;
}

void VRKFloatDataSquare::markAllUnknown()
{
    m_known.fill(false);
}

void VRKFloatDataSquare::setValue(int position, double value)
{
    if (!isPoint(position) || (m_known[position] && m_values[position] == value))
        return;
    m_values[position] = value;
    m_known[position] = true;
    removeChildren();
    setChanged(true);
}

void VRKFloatDataSquare::setValues(double value0, double value1, double value2, double value3, double value4)
{
    m_values = {value0, value1, value2, value3, value4};
    m_known.fill(true);
    removeChildren();
    setChanged(true);
}

bool VRKFloatDataSquare::centerDiffers(double x, double y) const
{
    return !(std::abs(x - m_center[0]) <= sameCenterTolerance && std::abs(y - m_center[1]) <= sameCenterTolerance);
}

bool VRKFloatDataSquare::sizeDiffers(double width, double height) const
{
    return !(sameSize(width, m_size[0]) && sameSize(height, m_size[1]));
}

void VRKFloatDataSquare::setCenter(double x, double y)
{
    setGeometry(x, y, m_size[0], m_size[1]);
}

void VRKFloatDataSquare::setSize(double width, double height)
{
    setGeometry(m_center[0], m_center[1], width, height);
}

void VRKFloatDataSquare::setGeometry(double x, double y, double width, double height)
{
    const bool newCenter = centerDiffers(x, y);
    const bool newSize = sizeDiffers(width, height);
    if (!newCenter && !newSize)
        return;
    if (newCenter)
        m_center = {x, y};
    if (newSize)
        m_size = {width, height};
    removeChildren();
    setChanged(true);
}

double VRKFloatDataSquare::pointX(int position) const
{
    switch (position) {
    case 0:
    case 2:
        return m_center[0] - m_size[0] / 2;
    case 1:
    case 3:
        return m_center[0] + m_size[0] / 2;
    default:
        return m_center[0];
    }
}

double VRKFloatDataSquare::pointY(int position) const
{
    switch (position) {
    case 0:
    case 1:
        return m_center[1] - m_size[1] / 2;
    case 2:
    case 3:
        return m_center[1] + m_size[1] / 2;
    default:
        return m_center[1];
    }
}

void VRKFloatDataSquare::requestValues()
{
    bool answeredNow = false;
    bool missing = false;
    for (int position = 0; position < pointCount; ++position) {
        if (m_known[position])
            continue;
        qreal answer = 0.0;
        bool ok = false;
        emit valueNeeded(pointX(position), pointY(position), answer, ok);
        if (ok) {
            setValue(position, answer);
            answeredNow = true;
        } else {
            missing = true;
        }
    }
    if (answeredNow && !missing)
        emit squareComplete();
    for (VRKFloatDataSquare *child : m_children) {
        if (child)
            child->requestValues();
    }
}

void VRKFloatDataSquare::inherit(int childIndex, int childPoint, int parentPoint)
{
    VRKFloatDataSquare *child = m_children[childIndex];
    child->m_values[childPoint] = m_values[parentPoint];
    child->m_known[childPoint] = m_known[parentPoint];
}

void VRKFloatDataSquare::split()
{
    removeChildren();
    const double quarterWidth = m_size[0] / 4;
    const double quarterHeight = m_size[1] / 4;
    for (int index = 0; index < childCount; ++index) {
        auto *child = new VRKFloatDataSquare(this);
        const double dx = (index % 2 == 0) ? -quarterWidth : quarterWidth;
        const double dy = (index < 2) ? -quarterHeight : quarterHeight;
        child->m_center = {m_center[0] + dx, m_center[1] + dy};
        child->m_size = {m_size[0] / 2, m_size[1] / 2};
        // Only the shared corner and the parent's centre are known; the other
        // three points are new and are fetched by the next requestValues().
        child->m_known.fill(false);
        m_children[index] = child;
    }
    // Child i shares the parent's corner i, and the parent's centre is the
    // child's opposite corner 3 - i.
    for (int index = 0; index < childCount; ++index) {
        inherit(index, index, index);
        inherit(index, childCount - 1 - index, 4);
    }
}

void VRKFloatDataSquare::removeChild(int index)
{
    if (index < 0 || index >= childCount)
        return;
    delete m_children[index];
    m_children[index] = nullptr;
    setChanged(true);
}

void VRKFloatDataSquare::removeChildren()
{
    bool removed = false;
    for (VRKFloatDataSquare *&child : m_children) {
        if (!child)
            continue;
        delete child;
        child = nullptr;
        removed = true;
    }
    if (removed)
        setChanged(true);
}
