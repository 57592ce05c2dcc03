#include "ProgressPushButton.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

ProgressPushButton::ProgressPushButton(QWidget *parent)
    : QPushButton(parent)
{
}

void ProgressPushButton::setProgress(double progress)
{
    // The bar's pixel width is derived from this, so it must stay a fraction.
    progress = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
    if (progress == m_progress)
        return;
    m_progress = progress;
    update();
}

void ProgressPushButton::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);

    const QRect contents = contentsRect();
    const int left = contents.left();
    const int right = static_cast<int>((contents.right() - left + 1) * m_progress + left);
    QColor bar(Qt::blue);
    bar.setAlphaF(0.8f);
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(left, contents.bottom() - 3), QPoint(right, contents.bottom() - 2)), bar);
}
