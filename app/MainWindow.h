#pragma once

#include <QList>
#include <QMainWindow>
#include <QPoint>

class QMouseEvent;
class QTimer;
class TermsOfUseForm;
class VRKExcelApplication;

namespace Ui {
class MainWindow;
}
namespace Backgrounds {
class FormHandler;
}

// The program's spine: the frameless main window with its banner and button
// row, the shared window chrome, the terms of use, and the timers that keep
// it above the spreadsheet while the spreadsheet is in front.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    bool eventFilter(QObject *watched, QEvent *event) override;

    QTimer *frontMostTimerForTests() const { return frontMostTimer; }
    TermsOfUseForm *termsOfUseFormForTests() const { return termsOfUseForm; }

public slots:
    void on_horizontalSlider_scanZoom_valueChanged(int value);
    void scanZoomChange();
    void on_label_termsOfUse_mousePressed();
    void checkTermsOfUseApproval();
    void showHelp();
    void closeApplication();
    void label_TarvioMousePressed(QMouseEvent *event);
    void label_TarvioMouseMoved(QMouseEvent *event);
    void checkExcelIsFrontMostTimeout();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool keyPressed(QKeyEvent *event);
    void closeAfterScan();
    void applyWindowFlags(Qt::WindowFlags flags);
    void focusWindowChanged(QWindow *window);

    Ui::MainWindow *ui;
    QList<VRKExcelApplication *> excelApplications;
    TermsOfUseForm *termsOfUseForm;
    Backgrounds::FormHandler *formHandler;
    QTimer *scanZoomTimer;
    QPoint dragOrigin;
    QTimer *frontMostTimer;
};
