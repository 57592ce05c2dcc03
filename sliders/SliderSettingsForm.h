#pragma once

#include <QPointer>
#include <QWidget>

class VRKExcelCellSliderView;

namespace Ui {
class SliderSettingsForm;
}

// Edits one cell slider's label, minimum, maximum and step. Input is
// corrected, not rejected: leaving a field pulls the others into a
// consistent state (min <= max, step <= max - min). One instance serves
// every slider; OK applies, Cancel and Escape leave everything as it was.
class SliderSettingsForm : public QWidget
{
    Q_OBJECT
public:
    explicit SliderSettingsForm(QWidget *parent = nullptr);
    ~SliderSettingsForm() override;

    void editSlider(VRKExcelCellSliderView *view);
    VRKExcelCellSliderView *editedSlider() const { return editedView; }

    double minimum() const { return minValue; }
    double maximum() const { return maxValue; }
    double step() const { return stepValue; }
    void setMinValue(double value);
    void setMaxValue(double value);
    void setStepValue(double value);
    void refreshFields();

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void formClosed(bool validated);

public slots:
    void on_pushButton_OK_clicked();
    void on_pushButton_cancel_clicked();
    void on_lineEdit_max_editingFinished();
    void on_lineEdit_step_editingFinished();
    void on_lineEdit_min_editingFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void correctStep();
    void commitFieldBeingEdited();
    void finish(bool validated);

    double minValue = 0;
    double maxValue = 0;
    double stepValue = 0;
    QPointer<VRKExcelCellSliderView> editedView;
    Ui::SliderSettingsForm *ui;
    bool finishing = false;
};
