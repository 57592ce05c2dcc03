#pragma once

#include <QLabel>

// A label that reports mouse activity as signals, so that it can serve as a
// link or a drag handle. The events stop here: nothing reaches the parent.
class QMouseEventLabel : public QLabel
{
    Q_OBJECT
public:
    explicit QMouseEventLabel(QWidget *parent = nullptr);

signals:
    void mousePressed(QMouseEvent *event);
    void mouseMoved(QMouseEvent *event);
    void mouseDoubleClicked(QMouseEvent *event);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
