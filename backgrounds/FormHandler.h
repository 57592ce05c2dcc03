#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

class QMouseEvent;
class QWidget;

namespace Backgrounds {

// The painted chrome of the program's frameless windows: title bar, border,
// up to three buttons, and the mouse handling that moves and resizes a window
// by its edges and title. One handler serves any number of windows; what
// differs per window lives in the window's dynamic properties.
class FormHandler : public QObject
{
    Q_OBJECT
public:
    // Areas under the pointer; the edge codes combine into corners.
    enum Area {
        Outside = 0,
        LeftEdge = 1,
        TopEdge = 2,
        RightEdge = 4,
        BottomEdge = 8,
        CloseButton = 16,
        MinimizeButton = 32,
        HelpButton = 64,
        TitleBar = 128,
        ClientArea = 256,
    };

    explicit FormHandler(QObject *parent = nullptr);

    // Makes the window frameless and serves it.
    void attach(QWidget *window);

    static int hitTest(QWidget *window, const QPoint &point);
    static Qt::CursorShape cursorFor(int area);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintChrome(QWidget *window);
    void setWindowMask(QWidget *window);
    void mousePress(QWidget *window, QMouseEvent *event);
    void mouseMove(QWidget *window, QMouseEvent *event);
    void mouseRelease(QWidget *window, QMouseEvent *event);
    void leave(QWidget *window);
    void setGrabbedArea(QWidget *window, int area);
    void updateCursor(QWidget *window, int area);
    void setButtonState(QWidget *window, const QString &button, int state);

    QPoint m_pressPosition;
};

} // namespace Backgrounds
