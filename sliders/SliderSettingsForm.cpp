#include "SliderSettingsForm.h"

#include "MinMaxMultiDimData.h"
#include "VRKExcelCellSliderView.h"
#include "VRKExcelWatchView.h"
#include "VRKSlider.h"
#include "ui_SliderSettingsForm.h"

#include <QCloseEvent>
#include <QDoubleValidator>
#include <QKeyEvent>
#include <QLocale>
#include <QTimer>

namespace {

// A field speaks its validator's language and shows the shortest text that
// reads back as the same double, so reading a field never moves a value.
QLocale fieldLocale(const QLineEdit *edit)
{
    QLocale locale = edit->validator()->locale();
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale;
}

double fieldValue(const QLineEdit *edit)
{
    bool ok = false;
    const double value = fieldLocale(edit).toDouble(edit->text(), &ok);
    return ok ? value : 0.0;
}

void showValue(QLineEdit *edit, double value)
{
    edit->setText(fieldLocale(edit).toString(value, 'g', QLocale::FloatingPointShortest));
}

} // namespace

SliderSettingsForm::SliderSettingsForm(QWidget *parent)
    : QWidget(parent), ui(new Ui::SliderSettingsForm)
{
    ui->setupUi(this);
    setWindowFlag(Qt::Window);
    for (QLineEdit *edit : {ui->lineEdit_min, ui->lineEdit_max, ui->lineEdit_step}) {
        edit->setValidator(new QDoubleValidator(edit));
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::returnPressed, this, &SliderSettingsForm::on_pushButton_OK_clicked);
    }
    ui->textEdit_label->installEventFilter(this);
}

SliderSettingsForm::~SliderSettingsForm()
{
    delete ui;
}

void SliderSettingsForm::editSlider(VRKExcelCellSliderView *view)
{
    editedView = view;
    ui->textEdit_label->setPlainText(view->watch()->name());
    // Max and step after min, so the previous use's values cannot pull these.
    setMinValue(view->slider()->minValue());
    setMaxValue(view->slider()->maxValue());
    setStepValue(view->slider()->stepValue());
    refreshFields();
    show();
    raise();
    activateWindow();
    ui->lineEdit_min->setFocus();
}

void SliderSettingsForm::correctStep()
{
    if (stepValue > maxValue - minValue)
        stepValue = maxValue - minValue;
}

void SliderSettingsForm::setMinValue(double value)
{
    minValue = value;
    if (value > maxValue)
        maxValue = value + 1;
    correctStep();
    refreshFields();
}

void SliderSettingsForm::setMaxValue(double value)
{
    maxValue = value;
    if (value < minValue)
        minValue = value - 1;
    correctStep();
    refreshFields();
}

void SliderSettingsForm::setStepValue(double value)
{
    stepValue = value;
    correctStep();
    refreshFields();
}

void SliderSettingsForm::refreshFields()
{
    showValue(ui->lineEdit_min, minValue);
    showValue(ui->lineEdit_max, maxValue);
    showValue(ui->lineEdit_step, stepValue);
}

void SliderSettingsForm::on_lineEdit_min_editingFinished()
{
    setMinValue(fieldValue(ui->lineEdit_min));
}

void SliderSettingsForm::on_lineEdit_max_editingFinished()
{
    setMaxValue(fieldValue(ui->lineEdit_max));
}

void SliderSettingsForm::on_lineEdit_step_editingFinished()
{
    setStepValue(fieldValue(ui->lineEdit_step));
}

void SliderSettingsForm::commitFieldBeingEdited()
{
    if (ui->lineEdit_min->hasFocus())
        on_lineEdit_min_editingFinished();
    else if (ui->lineEdit_max->hasFocus())
        on_lineEdit_max_editingFinished();
    else if (ui->lineEdit_step->hasFocus())
        on_lineEdit_step_editingFinished();
}

void SliderSettingsForm::on_pushButton_OK_clicked()
{
    // The field being edited finishes first, as leaving it would. A click on
    // OK has already left it; Enter arrives here before the field reports
    // its end, and re-reading the other fields would overwrite its text.
    commitFieldBeingEdited();
    ui->pushButton_OK->setFocus();
    setMaxValue(fieldValue(ui->lineEdit_max));
    setMinValue(fieldValue(ui->lineEdit_min));
    setStepValue(fieldValue(ui->lineEdit_step));
    if (editedView) {
        editedView->slider()->setConfig(minValue, maxValue, stepValue);
        editedView->watch()->data()->setMinMax(minValue, maxValue);
        editedView->watch()->setName(ui->textEdit_label->toPlainText());
    }
    finish(true);
}

void SliderSettingsForm::on_pushButton_cancel_clicked()
{
    finish(false);
}

void SliderSettingsForm::finish(bool validated)
{
    finishing = true;
    close();
    finishing = false;
    emit formClosed(validated);
}

void SliderSettingsForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // Closed from the window's own close button: a cancel.
    if (!finishing && event->isAccepted())
        emit formClosed(false);
}

bool SliderSettingsForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && watched != ui->textEdit_label) {
        auto *edit = static_cast<QLineEdit *>(watched);
        QTimer::singleShot(0, edit, &QLineEdit::selectAll);
        // The field still takes the focus in, so its cursor shows once typing starts.
        return false;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        on_pushButton_cancel_clicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
