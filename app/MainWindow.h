#pragma once

#include "ScanAxis.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QVariant>

class ExcelAddressBlock;
class GridScanOrder;
class PointEvaluation;
class StandInCells;
class QMouseEvent;
class QPainter;
class QTimer;
class SliderSettingsForm;
class TermsOfUseForm;
class VRKExcelApplication;
class VRKExcelCellSliderView;
class VRKExcelRange;
class VRKExcelWatchView;
class VRKExcelWorkbook;
class WatchWindow;

namespace Ui {
class MainWindow;
}
namespace Backgrounds {
class FormHandler;
}

// The program's spine: the frameless main window with its banner, button row
// and slider row. It turns the spreadsheet's selection into sliders and
// watches, carries every slider move to the spreadsheet and back in one
// exchange, and keeps the shared chrome, the dialogs and the timers.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    bool eventFilter(QObject *watched, QEvent *event) override;

    QTimer *frontMostTimerForTests() const { return frontMostTimer; }
    TermsOfUseForm *termsOfUseFormForTests() const { return termsOfUseForm; }
    const QList<VRKExcelCellSliderView *> &sliders() const { return sliderViews; }
    const QList<VRKExcelWatchView *> &watches() const { return watchViews; }
    const QList<VRKExcelCellSliderView *> &selectedSliders() const { return selectedSliderViews; }
    SliderSettingsForm *settingsForm() const { return sliderSettingsForm; }
    WatchWindow *watchWindowForTests() const { return watchWindow; }
    int watchSize() const { return watchGraphSize; }
    const QList<ScanAxis> &scannedAxes() const { return scanAxes; }
    int scanPoints() const { return scanPointsDone; }
    QTimer *scanZoomTimerForTests() const { return scanZoomTimer; }

    // How often a running scan looks at stop requests, and how long it keeps
    // going after one: the picture it leaves against the wait.
    struct ScanTiming
    {
        qint64 stopTestIntervalMs = 100;
        qint64 softDeadlineMs = 200;
        qint64 hardDeadlineMs = 500;
    };
    void setScanTiming(const ScanTiming &timing) { scanTiming = timing; }

signals:
    // A scan point was evaluated; `points` have been so far.
    void scanPointEvaluated(int points);

public slots:
    void on_pushButton_newSlider_clicked();
    void on_pushButton_newWatch_clicked();
    void on_pushButton_Graph_clicked();
    void on_pushButton_DeleteAll_clicked();
    void rangeIteratedForSlider(ExcelAddressBlock *block);
    void rangeIteratedForWatch(ExcelAddressBlock *block);
    void rangeValueChanged(VRKExcelRange *range, qreal value, bool &handled);
    void removeObjectFromLists(QObject *object);
    void sliderCloseRequest();
    void watchCloseRequest();
    void sliderSelectedChanged();
    void sliderButtonSettingsClicked();
    void sliderSettingsFormClosed(bool validated);
    void sliderViewSliderConfigChanged();
    void watchButtonClicked(QString name);
    void watchMousePressed(QMouseEvent *event);
    void watchMouseReleased(QMouseEvent *event);
    void watchZoomEvent();
    void setCanUseFastDraw();
    void cancelCanUseFastDraw();
    void enableWatchCanUseFastDraw();
    void disableWatchCanUseFastDraw();
    void watchWindowNewWatchSize(int value);
    void watchAfterPaint(QPainter &painter);
    void watchSplitChanged();
    void sliderButtonScan1DClicked();
    void scanProgressDisplayTimerTimeout();
    void rangeChanged(VRKExcelRange *range);
    // Rows or columns were inserted or deleted: the cells' addresses are shown anew.
    void cellsMoved();
    void autoPerformTasks();
    void newWatchWindow();
    void watchDataCreated();
    void watchGraphDepthChanged();
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
    // The names their places are stored by in the settings.
    static inline const QString mainWindowName = QStringLiteral("MainWindow");
    static inline const QString watchWindowName = QStringLiteral("WatchWindow");

    void runCreationFlow(bool sliderMode);
    void showNoCellWarning(bool sliderMode);
    VRKExcelRange *lookUpCell(const QString &address);
    // The cell of a single-cell block that none of `taken` is yet; null otherwise.
    // The cell of `block` unless one of `taken` (shown by `views`) is that cell: then that view is shown again.
    VRKExcelRange *newCellOf(ExcelAddressBlock *block, const QList<VRKExcelRange *> &taken,
                             const QList<QWidget *> &views, const char *kind);
    void showAgain(QWidget *view);
    // The cell's labels, else its address: the caption of its slider or watch.
    static QString captionOf(VRKExcelRange *range);
    void connectSliderView(VRKExcelCellSliderView *view);
    void loadSliderSettings(VRKExcelCellSliderView *view);
    void saveSliderSettings(VRKExcelCellSliderView *view);
    void linkWatch(VRKExcelWatchView *watch);
    void fixWatchSize(VRKExcelWatchView *watch);
    // Prepares a watch for a live reading after a scan or when fresh.
    void prepareForLiveReading(VRKExcelWatchView *watch);
    void refreshButtonStates();
    // One exchange: writes `values` into `write`, reads every other slider's
    // and every live watch's cell back, and shows what came back.
    void exchangeAndFollow(const QList<VRKExcelRange *> &write, const QList<double> &values);
    // Re-reads the cells (activation): every slider and live watch shows its
    // cell. Slices of a scan stay only while the cells still hold the sliders' values.
    void refreshFromCells();
    bool slidersMatchTheirCells();
    // Sliders and watches whose workbook has gone are marked so.
    void markClosedWorkbooks();
    // Sliders and watches whose cell reads as nothing are marked so, the reason in their title.
    void markUnavailableCells(const QString &reason);
    void watchCellsOf(VRKExcelRange *range);
    void describeCell(QWidget *view, VRKExcelRange *range, const QString &caption);
    void openSliderSettings(VRKExcelCellSliderView *view);
    void pressNewSliders();
    // Fast drawing on every watch; the others' repaint factor follows.
    void changeFastDraw(bool allowed, QObject *except);
    int scanAxisIndexOf(const VRKExcelRange *range) const;
    VRKExcelCellSliderView *sliderViewOf(const VRKExcelRange *range) const;
    bool isScanning() const;
    // The scan: its axes from these sliders, the stores prepared, the grid
    // visited coarse to fine, the cells given back their sliders' values.
    void scanSliders(const QList<VRKExcelCellSliderView *> &views);
    bool runScan();
    // The same with the points evaluated in batches on the backend's workers.
    bool runParallelScan(GridScanOrder &order, StandInCells &standIns, PointEvaluation &points);
    // A point of the order as the scan keeps it until its readings are stored.
    struct ScanPoint
    {
        QList<qsizetype> cells; // the point first, then those it stands in for
        bool cornersDone = false;
        bool passEnded = false;
    };
    // The order's point; its axes' values appended to `values`, in the order of `scanWriteCells`.
    ScanPoint scanPointOf(const GridScanOrder &order, StandInCells &standIns, QList<double> &values);
    // Whether the scan stops before storing `point` (looking at stop requests when it is time).
    bool stopsBefore(const ScanPoint &point);
    // Stores what every watch read at the point, counts it and paints what is due.
    void storePoint(const ScanPoint &point, const QList<double> &results);
    bool stopTest();
    void prepareScanStores();
    // The stored result at the sliders' positions, and the sliders marked.
    void sliceDisplay();
    void markScannedSliders(bool someAxisFree, int shownAxes);
    // Writes the scanned sliders' values into their cells.
    void restoreScannedCells();
    // Writes slice positions into their cells and gives every watch's legend
    // what its cell reads there: one exchange.
    void writeSliceCells(const QList<VRKExcelRange *> &cells, const QList<double> &values);
    // A scanned cell as the scan found it.
    struct ScannedCell
    {
        QVariant value;
        QPointer<VRKExcelWorkbook> workbook;
        bool wasSaved = false;
    };
    // Workbooks that were saved stay so when every cell is back to its old value.
    void keepSavedStateOf(const QList<ScannedCell> &before);
    // The stored result stops being shown: cells as the sliders show, marks off.
    void endSliceDisplay();
    bool keyPressed(QKeyEvent *event);
    // Quitting: a running scan stops first, then every unsaved workbook is
    // asked about; Cancel leaves everything as it was.
    void quitProgram();
    // Asks what must be asked; true when the program may close now.
    bool confirmQuit();
    void applyWindowFlags(Qt::WindowFlags flags);
    void focusWindowChanged(QWindow *window);

    Ui::MainWindow *ui;
    QList<VRKExcelCellSliderView *> selectedSliderViews;
    QList<VRKExcelApplication *> excelApplications;
    QList<VRKExcelWatchView *> watchViews;
    QList<VRKExcelCellSliderView *> sliderViews;
    SliderSettingsForm *sliderSettingsForm;
    TermsOfUseForm *termsOfUseForm;
    Backgrounds::FormHandler *formHandler;
    QTimer *scanZoomTimer;
    QTimer *graphTimer;
    bool cellAccepted = false;
    QList<ScanAxis> scanAxes;
    QPoint dragOrigin;
    int watchGraphSize = 250;
    QPointer<VRKExcelCellSliderView> lastMovedSliderView;
    ScanTiming scanTiming;
    QElapsedTimer scanClock;
    int scanMinimumPoints = 0;
    QTimer *frontMostTimer;
    int scanTotalPoints = 0;
    int scanPointsDone = 0;
    QDateTime scanStartTime;
    int progressPhase = 0;
    QTimer *progressTimer;
    QElapsedTimer lastStopTest;
    // What every point of the running scan writes: the axes' cells, last axis first.
    QList<VRKExcelRange *> scanWriteCells;
    bool firstPictureShown = false;
    // What every point of the running scan reads back, in watch order.
    QList<VRKExcelRange *> scanReadCells;
    QList<QPointer<VRKExcelWatchView>> scanReadWatches;
    // The sliders the running scan was made from, for a restart.
    QList<QPointer<VRKExcelCellSliderView>> scanSource;
    WatchWindow *watchWindow = nullptr;
    // Set once every question is answered: the window may close now.
    bool quitting = false;
    // While the cross-hair is put where the sliders stand, its moves are not the user's.
    bool placingCrossHair = false;
    // Where the creation flow looks up the selected cells.
    QString creationWorkbook;
    QString creationSheet;
};
