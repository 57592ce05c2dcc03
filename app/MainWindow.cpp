#include "MainWindow.h"
#include "AppLogging.h"

#include "CachedImageLoader.h"
#include "ExcelAttachment.h"
#include "QuickHelpWindow.h"
#include "FormHandler.h"
#include "ProgramFolders.h"
#include "SettingsFiles.h"
#include "SplashScreen.h"
#include "SliderSettingsForm.h"
#include "TermsOfUseForm.h"
#include "VRKExcelCellSliderView.h"
#include "WatchWindow.h"
#include "embedded/WorkbookWindow.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QWindow>

Q_LOGGING_CATEGORY(lcApp, "tarvio.app", QtWarningMsg)

// Staying above the spreadsheet changes the window flags often: silent unless asked for.
Q_LOGGING_CATEGORY(lcWindowFlags, "tarvio.window", QtWarningMsg)

namespace {

const char *const scrollBarStyle =
    "QScrollBar:horizontal { border: 2px solid grey; background: #A0A0A0; height: 15px; margin: 0px 22px 0 22px; }"
    "QScrollBar::handle:horizontal { background: #404040; min-width: 20px; }"
    "QScrollBar::add-line:horizontal { border: 2px solid grey; background: #808080; width: 20px;"
    " subcontrol-position: right; subcontrol-origin: margin; }"
    "QScrollBar::sub-line:horizontal { border: 2px solid grey; background: #808080; width: 20px;"
    " subcontrol-position: left; subcontrol-origin: margin; }"
    "QScrollBar:left-arrow:horizontal, QScrollBar::right-arrow:horizontal { border: 2px solid grey; width: 3px;"
    " height: 3px; background: white; }"
    "QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: none; }";

const char *const scanZoomStyle =
    "QSlider::groove:horizontal { border: 1px solid #999999; height: 6px;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #B1B1B1, stop:1 #c4c4c4); margin: 2px 0; }"
    "QSlider::handle:horizontal { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #e0e0e0, stop:1 #d0d0d0);"
    " border: 1px solid #5c5c5c; width: 18px; margin: -4px 0; border-radius: 3px; }"
    "QSlider::handle:horizontal:disabled { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #b4b4b4,"
    " stop:1 #8f8f8f); }";

const char *const banner = "<font color=white>&nbsp;Tarvio</font> <font color=#5c8ecc>Ostra</font>"
                           "<font color=#D0D0D0> - Bring your Excel Sheets to the Next Level</font>";

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    ui->menuBar->setMaximumHeight(0);
    ui->statusBar->setMaximumHeight(0);
    formHandler = new Backgrounds::FormHandler(this);
    formHandler->attach(this);

    // Where the user left it; the first time lower right, leaving room beside
    // it, never off a small screen.
    if (!restoreGeometry(SettingsFiles::windowGeometry(mainWindowName))) {
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect available = screen->availableGeometry();
            move(std::max(available.left(), available.width() - width() - 400),
                 std::max(available.top(), available.height() - height() - 40));
        }
    }

    connect(ui->label_Tarvio, &QMouseEventLabel::mousePressed, this, &MainWindow::label_TarvioMousePressed);
    connect(ui->label_Tarvio, &QMouseEventLabel::mouseMoved, this, &MainWindow::label_TarvioMouseMoved);
    ui->label_Tarvio->setParent(this);
    ui->label_Tarvio->setGeometry(24, 5, 400, 20);
    ui->label_Tarvio->setStyleSheet(ui->label_Tarvio->styleSheet() + QStringLiteral(" font-weight: bold;"));
    ui->label_Tarvio->show();

    QPalette transparent = ui->scrollArea_Sliders->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        transparent.setColor(group, QPalette::Window, Qt::transparent);
    ui->scrollArea_Sliders->setPalette(transparent);
    ui->scrollAreaWidgetContents->setAutoFillBackground(false);
    ui->scrollArea_Sliders->viewport()->setAutoFillBackground(false);

    sliderSettingsForm = new SliderSettingsForm(this);
    sliderSettingsForm->setProperty("closebutton", true);
    sliderSettingsForm->setProperty("windowtitle", sliderSettingsForm->windowTitle());
    connect(sliderSettingsForm, &SliderSettingsForm::formClosed, this, &MainWindow::sliderSettingsFormClosed);
    formHandler->attach(sliderSettingsForm);

    termsOfUseForm = new TermsOfUseForm;
    termsOfUseForm->setWindowTitle(QStringLiteral("Tarvio Terms of Use"));
    termsOfUseForm->setProperty("closebutton", true);
    termsOfUseForm->setProperty("closebuttonname", QStringLiteral("dummy"));
    termsOfUseForm->setProperty("windowtitle", termsOfUseForm->windowTitle());
    termsOfUseForm->setMainWindow(this);
    connect(termsOfUseForm, &TermsOfUseForm::declined, this, &MainWindow::quitProgram);
    formHandler->attach(termsOfUseForm);

    setProperty("closebutton", true);
    setProperty("closebuttonname", QStringLiteral(":resources/btn_on"));
    setProperty("minimizebutton", true);
    setProperty("minimizebuttonname", QStringLiteral(":resources/btn_minimize_on"));
    setProperty("helpbutton", true);
    setProperty("helpbuttonname", QStringLiteral(":resources/btn_help"));
    setProperty("windowtitle", QString());
    setAttribute(Qt::WA_MouseTracking);
    ui->centralWidget->setAttribute(Qt::WA_MouseTracking);

    setWindowTitle(QStringLiteral("Tarvio Ostra"));
    {
        const QSignalBlocker blocker(ui->horizontalSlider_scanZoom);
        ui->horizontalSlider_scanZoom->setValue(30);
    }
    scanZoomTimer = new QTimer(this);
    scanZoomTimer->setInterval(200);
    connect(scanZoomTimer, &QTimer::timeout, this, &MainWindow::scanZoomChange);

    ui->scrollArea_Sliders->horizontalScrollBar()->setStyleSheet(QString::fromLatin1(scrollBarStyle));
    ui->horizontalSlider_scanZoom->setStyleSheet(QString::fromLatin1(scanZoomStyle));
    qApp->installEventFilter(this);
    connect(ui->label_WindowIcon, &QMouseEventLabel::mouseDoubleClicked, this, &MainWindow::closeApplication);

    frontMostTimer = new QTimer(this);
    frontMostTimer->setInterval(500);
    connect(frontMostTimer, &QTimer::timeout, this, &MainWindow::checkExcelIsFrontMostTimeout);
    progressTimer = new QTimer(this);
    progressTimer->setInterval(500);
    connect(progressTimer, &QTimer::timeout, this, &MainWindow::scanProgressDisplayTimerTimeout);
    // The workbook windows are ours, so activating one is no application
    // change: watch the active window instead.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &MainWindow::focusWindowChanged);

    ui->label_Tarvio->setText(QString::fromLatin1(banner));
    setWindowIcon(QIcon(QPixmap::fromImage(CachedImageLoader::image(QStringLiteral(":icons/IconTarvioOstra16.png")))));
    QTimer::singleShot(2000, this, &MainWindow::checkTermsOfUseApproval);

    graphTimer = new QTimer(this);
    graphTimer->setInterval(10);
    connect(graphTimer, &QTimer::timeout, this, &MainWindow::on_pushButton_Graph_clicked);
    refreshButtonStates();
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    SettingsFiles::setWindowGeometry(mainWindowName, saveGeometry());
    if (watchWindow)
        SettingsFiles::setWindowGeometry(watchWindowName, watchWindow->saveGeometry());
    // The views report their destruction into the lists; they go first.
    delete watchWindow;
    qDeleteAll(QList<VRKExcelCellSliderView *>(sliderViews));
    delete sliderSettingsForm;
    delete termsOfUseForm;
    delete ui;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp) {
        if (event->type() == QEvent::ApplicationActivate) {
            qCDebug(lcApp) << "ApplicationActivate";
            frontMostTimer->stop();
            refreshFromCells();
        } else if (event->type() == QEvent::ApplicationDeactivate) {
            qCDebug(lcApp) << "ApplicationDeactivate";
            frontMostTimer->start();
        }
        return false;
    }
    if (watched == this && event->type() == QEvent::KeyPress)
        return keyPressed(static_cast<QKeyEvent *>(event));
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::keyPressed(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (key == Qt::Key_M && (modifiers & Qt::ControlModifier) && (modifiers & Qt::ShiftModifier))
        return true;
    if (key == Qt::Key_W || key == Qt::Key_F)
        return true;
    if (key == Qt::Key_G) {
        QTimer::singleShot(100, this, &MainWindow::on_pushButton_Graph_clicked);
        return true;
    }
    if (key == Qt::Key_S) {
        pressNewSliders();
        return true;
    }
    if (key >= Qt::Key_1 && key <= Qt::Key_9) {
        const int n = key - Qt::Key_1;
        if (n < sliderViews.size()) {
            if (modifiers & Qt::AltModifier)
                openSliderSettings(sliderViews[n]);
            else
                sliderViews[n]->setSelected(!sliderViews[n]->isSelected());
        }
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (property("scanning").toBool())
            setProperty("stopscan", true);
        return true;
    }
    return false;
}

void MainWindow::on_horizontalSlider_scanZoom_valueChanged(int)
{
    scanZoomTimer->stop();
    scanZoomTimer->start();
}

void MainWindow::scanZoomChange()
{
    scanZoomTimer->stop();
    if (property("scanning").toBool()) {
        setProperty("stopscan", true);
        setProperty("restartscan", true);
    }
}

void MainWindow::on_label_termsOfUse_mousePressed()
{
    termsOfUseForm->show();
}

void MainWindow::checkTermsOfUseApproval()
{
    if (!SettingsFiles::termsOfUseApproved()) {
        // The splash floats above everything: it must not hide the question.
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *splash = qobject_cast<SplashScreen *>(window))
                splash->close();
        // Above the main window while that floats above a spreadsheet.
        termsOfUseForm->setWindowFlag(Qt::WindowStaysOnTopHint, windowFlags() & Qt::WindowStaysOnTopHint);
        termsOfUseForm->ask();
    }
}

void MainWindow::showHelp()
{
    const QString path = ProgramFolders::ofThisProgram().findFile(QStringLiteral("Tarvio Vendel Quick Help.pdf"));
    if (!path.isEmpty()) {
        qCDebug(lcApp) << path;
        if (!QuickHelpWindow::desktopOpensPdf() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
            auto *help = new QuickHelpWindow(
                QStringLiteral("No program on this desktop opens PDF files, so the quick help is shown here."), this);
            help->show();
        }
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Tarvio Ostra"),
                    QStringLiteral("Tarvio Ostra") + QStringLiteral(" Quick Help file not found."), QMessageBox::Ok, this);
    box.setInformativeText(QStringLiteral("Please re-download ") + QStringLiteral("Tarvio Ostra")
                           + QStringLiteral(", or read the README of the project it came from."));
    box.exec();
}

void MainWindow::closeApplication()
{
    quitProgram();
}

void MainWindow::quitProgram()
{
    if (confirmQuit())
        QApplication::closeAllWindows();
}

bool MainWindow::confirmQuit()
{
    setProperty("closingapplication", true);
    if (isScanning()) {
        // The scan ends first; its end asks the questions (scanSliders).
        setProperty("stopscan", true);
        return false;
    }
    // Every workbook with unsaved changes is asked about first, while this
    // window still shows; Cancel keeps the program as it was.
    if (!WorkbookWindow::closeAllWindows()) {
        setProperty("closingapplication", false);
        if (!SettingsFiles::termsOfUseApproved())
            termsOfUseForm->ask();
        return false;
    }
    quitting = true;
    return true;
}

void MainWindow::label_TarvioMousePressed(QMouseEvent *event)
{
    dragOrigin = event->position().toPoint();
}

void MainWindow::label_TarvioMouseMoved(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        setGeometry(geometry().translated(event->position().toPoint() - dragOrigin));
}

void MainWindow::focusWindowChanged(QWindow *window)
{
    // The workbook windows are ours: coming back to this window from one of
    // them is what activating the program is elsewhere.
    if (window && window == windowHandle())
        refreshFromCells();
    if (window && ExcelAttachment::isExcelForeground())
        frontMostTimer->start();
    checkExcelIsFrontMostTimeout();
}

void MainWindow::checkExcelIsFrontMostTimeout()
{
    const bool spreadsheetInFront = ExcelAttachment::isExcelForeground();
    QWidget *active = QApplication::activeWindow();
    if (spreadsheetInFront && active && windowHandle() && active->windowHandle()) {
        // The spreadsheet's window is one of ours: float above it as its
        // transient, which a window manager keeps on top of it alone.
        windowHandle()->setTransientParent(active->windowHandle());
        return;
    }
    if (windowHandle())
        windowHandle()->setTransientParent(nullptr);
    if (!spreadsheetInFront && QGuiApplication::focusWindow()) {
        // Another of our own windows is in front.
        frontMostTimer->stop();
        if (windowFlags() & Qt::WindowStaysOnTopHint)
            applyWindowFlags(windowFlags() & ~Qt::WindowStaysOnTopHint);
        return;
    }
    const Qt::WindowFlags wanted = spreadsheetInFront ? windowFlags() | Qt::WindowStaysOnTopHint
                                                      : windowFlags() & ~Qt::WindowStaysOnTopHint;
    if (wanted != windowFlags())
        applyWindowFlags(wanted);
    frontMostTimer->stop();
    if (spreadsheetInFront)
        frontMostTimer->start();
}

namespace {

// A flag change hides a window; shown again (if it was shown) without taking
// the focus from the window the user is in.
void reshowWithFlags(QWidget *window, Qt::WindowFlags flags)
{
    const bool shown = window->isVisible();
    window->setWindowFlags(flags);
    if (!shown)
        return;
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    window->showNormal();
    window->setAttribute(Qt::WA_ShowWithoutActivating, false);
}

} // namespace

void MainWindow::applyWindowFlags(Qt::WindowFlags flags)
{
    qCDebug(lcWindowFlags) << "Changing flags" << windowFlags() << flags;
    reshowWithFlags(this, flags);
    // The program's other windows float with it, or the spreadsheet (or the
    // main window itself) covers them.
    const bool above = flags & Qt::WindowStaysOnTopHint;
    for (QWidget *window : {static_cast<QWidget *>(watchWindow), static_cast<QWidget *>(termsOfUseForm),
                            static_cast<QWidget *>(sliderSettingsForm)})
        if (window && bool(window->windowFlags() & Qt::WindowStaysOnTopHint) != above)
            reshowWithFlags(window, above ? window->windowFlags() | Qt::WindowStaysOnTopHint
                                          : window->windowFlags() & ~Qt::WindowStaysOnTopHint);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    QRect main = ui->widget_Main->geometry();
    main.setTop(30);
    main.setRight(width() - 21);
    main.setBottom(height() - 21);
    ui->widget_Main->setGeometry(main);
    QRect bannerGeometry = ui->label_Tarvio->geometry();
    bannerGeometry.setRight(width() - 47);
    ui->label_Tarvio->setGeometry(bannerGeometry);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!quitting && !confirmQuit()) {
        event->ignore();
        return;
    }
    event->accept();
    QApplication::closeAllWindows(); // the others; this one is closing already
}
