#pragma once

#include <QLabel>

class QTimer;

// The picture shown while the program starts; it removes itself five
// seconds after it first paints.
class SplashScreen : public QLabel
{
    Q_OBJECT
public:
    SplashScreen();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer *m_timer;
};
