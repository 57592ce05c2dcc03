#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
#include "VRKExcelObjects.h"
class VRKExcelWatchView;
class VRKSlider;

// A column in the slider row that binds one slider to one input cell: the
// cell's history on top, the scan and settings buttons, the slider with its
// drawn scale and value labels, and the cell's address at the bottom. A move
// is announced first, so the main window can take the write over; otherwise
// the view writes the cell itself.
class VRKExcelCellSliderView : public QWidget
{
    Q_OBJECT
public:
    explicit VRKExcelCellSliderView(QWidget *parent = nullptr);

    VRKSlider *slider() const { return m_slider; }
    VRKExcelWatchView *watch() const { return m_watch; }
    QLabel *addressLabel() const { return m_addressLabel; }
    VRKExcelRange *range() const { return m_range; }
    // Binds a cell and fits the slider to its value, writing nothing.
    void setRange(VRKExcelRange *range);

    bool isSelected() const { return m_selected; }
    // A slider whose workbook is closed cannot be selected.
    void setSelected(bool selected);
    // The cell is gone (its workbook closed, the cell deleted): greyed, the
    // reason in its title, nothing to move, scan or set; only its remove
    // button still works.
    void markCellClosed(const QString &reason);
    bool isCellClosed() const;
    bool isActive() const { return m_active; }
    void setActive(bool active);
    void applySliderStyle();

    // Shows the value the cell holds without writing it back.
    void showCellValue(double value);

    static const char *const enabledSliderStyle;
    static const char *const disabledSliderStyle;

signals:
    void buttonScan1DClicked();
    void buttonSettingsClicked();
    void closeRequest();
    void configChanged();
    void selectedChanged();
    void valueChanged(VRKExcelRange *range, qreal value, bool &handled);

public slots:
    void btnClicked();
    void rangeDestroyed();
    void sliderConfigChanged();
    void sliderValueChanged(qreal value);
    void watchButtonClicked(QString name);
    void watchCloseRequest();
    void watchGraphClicked();
    void watchTextClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Scale
    {
        int tx;
        int top;
        int bottom;
    };
    Scale scaleGeometry() const;
    void paintTicks(QPainter &painter, const Scale &scale);
    void paintLabels(QPainter &painter, const Scale &scale);
    void paintFrame(QPainter &painter);

    bool m_selected = false;
    QLabel *m_addressLabel;
    VRKSlider *m_slider;
    VRKExcelWatchView *m_watch;
    QPointer<VRKExcelRange> m_range;
    QWidget *m_buttonBar;
    bool m_active = false;
};
