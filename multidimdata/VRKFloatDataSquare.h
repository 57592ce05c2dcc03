#pragma once

#include <QObject>

#include <array>

// One cell of a quadtree that samples a function of two variables on demand.
// A square knows its four corners (0 top-left, 1 top-right, 2 bottom-left,
// 3 bottom-right) and its centre (4). Missing values are asked for through
// `valueNeeded`, which the owner answers synchronously. A square splits into
// four half-size children that inherit the two values they share with it.
class VRKFloatDataSquare : public QObject
{
    Q_OBJECT
public:
    static constexpr int pointCount = 5;
    static constexpr int childCount = 4;

    explicit VRKFloatDataSquare(VRKFloatDataSquare *parentSquare = nullptr);
    ~VRKFloatDataSquare() override;

    VRKFloatDataSquare *parentSquare() const { return m_parentSquare; }
    VRKFloatDataSquare *child(int index) const;

    bool isChanged() const { return m_changed; }
    void setChanged(bool value);

    double value(int position) const;
    bool isKnown(int position) const;
    // Marks one point, or all five, as still to be requested by `requestValues`.
    void markUnknown(int position);
    void markAllUnknown();
    void setValue(int position, double value);
    void setValues(double value0, double value1, double value2, double value3, double value4);

    double centerX() const { return m_center[0]; }
    double centerY() const { return m_center[1]; }
    double width() const { return m_size[0]; }
    double height() const { return m_size[1]; }
    void setCenter(double x, double y);
    void setSize(double width, double height);
    void setGeometry(double x, double y, double width, double height);
    // Coordinates of sample point 0 to 4.
    double pointX(int position) const;
    double pointY(int position) const;

    void requestValues();
    void split();
    void removeChild(int index);

signals:
    void changed();
    void valueNeeded(int position, qreal &value, bool &ok);
    void valueNeeded(qreal x, qreal y, qreal &value, bool &ok);
    void squareComplete();

private:
    static bool isPoint(int position) { return position >= 0 && position < pointCount; }
    bool centerDiffers(double x, double y) const;
    bool sizeDiffers(double width, double height) const;
    void removeChildren();
    void inherit(int childIndex, int childPoint, int parentPoint);

    VRKFloatDataSquare *m_parentSquare;
    bool m_changed = true;
    std::array<VRKFloatDataSquare *, childCount> m_children{};
    std::array<double, pointCount> m_values{};
    std::array<bool, pointCount> m_known{true, true, true, true, true};
    std::array<double, 2> m_center{0.0, 0.0};
    std::array<double, 2> m_size{-1.0, -1.0};
};
