#pragma once

#include <QPushButton>

// A push button that shows the progress of a running task as a thin blue bar
// two pixels above its bottom edge.
class ProgressPushButton : public QPushButton
{
    Q_OBJECT
public:
    explicit ProgressPushButton(QWidget *parent = nullptr);

    double progress() const { return m_progress; }
    // A fraction from 0 to 1; values outside are clamped, NaN counts as 0.
    void setProgress(double progress);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_progress = 0.0;
};
