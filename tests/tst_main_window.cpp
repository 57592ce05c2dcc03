#include "MainWindow.h"
#include "MainWindowTestSupport.h"
#include "embedded/EmbeddedBackend.h"
#include "embedded/WorkbookWindow.h"
#include "SettingsFiles.h"
#include "SplashScreen.h"
#include "TermsOfUseForm.h"
#include "QuickHelpWindow.h"
#include "WatchWindow.h"

#include <QAbstractButton>
#include <QTextBrowser>
#include <QApplication>
#include <QWindow>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void buildsTheFormWithItsChrome();
    void resizingKeepsTheMargins();
    void keysAreSwallowedOrPassed();
    void escapeStopsARunningScan();
    void theScanPrecisionDebounces();
    void theTermsAreAskedUntilAccepted();
    void theSplashMakesWayForTheTerms();
    void declinedTermsComeBackWhenTheCloseIsCancelled();
    void theBannerDragsTheWindow();
    void disabledButtonsStayReadable();
    void windowsComeBackWhereTheyWereLeft();
    void missingHelpSaysSo();
    void helpShowsInsideWithoutAPdfViewer();
    void floatsAboveTheWorkbookWhileItIsActive();
    void watchesFloatWithTheProgramAboveAnotherSpreadsheet();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    MainWindow *m_window = nullptr;
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    SettingsFiles::setFolder(m_dir->path());
    m_window = new MainWindow;
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestMainWindow::cleanup()
{
    delete m_window;
    m_window = nullptr;
    SettingsFiles::setFolder(QString());
}

void TestMainWindow::buildsTheFormWithItsChrome()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Tarvio Ostra"));
    QCOMPARE(m_window->size(), QSize(608, 383));
    QCOMPARE(m_window->minimumSize(), QSize(608, 300));
    QVERIFY(m_window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(m_window->property("closebuttonname").toString(), QStringLiteral(":resources/btn_on"));
    auto *zoom = m_window->findChild<QSlider *>(QStringLiteral("horizontalSlider_scanZoom"));
    QCOMPARE(zoom->value(), 30);
    QCOMPARE(zoom->minimum(), 12);
    QCOMPARE(zoom->maximum(), 100);
    auto *graph = m_window->findChild<QPushButton *>(QStringLiteral("pushButton_Graph"));
    QCOMPARE(graph->text(), QStringLiteral("Graph"));
    QCOMPARE(graph->toolTip(), QStringLiteral("Make graphs for whole range of selected slider(s)"));
    auto *banner = m_window->findChild<QLabel *>(QStringLiteral("label_Tarvio"));
    QCOMPARE(banner->parentWidget(), m_window);
    QVERIFY(banner->text().contains(QStringLiteral("Bring your Excel Sheets to the Next Level")));
    QVERIFY(banner->styleSheet().endsWith(QStringLiteral(" font-weight: bold;")));
    QVERIFY(!m_window->frontMostTimerForTests()->isActive());
}

void TestMainWindow::resizingKeepsTheMargins()
{
    m_window->resize(800, 500);
    QCoreApplication::processEvents();
    const QRect main = m_window->findChild<QWidget *>(QStringLiteral("widget_Main"))->geometry();
    QCOMPARE(main.top(), 30);
    QCOMPARE(main.right(), 800 - 21);
    QCOMPARE(main.bottom(), 500 - 21);
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("label_Tarvio"))->geometry().right(), 800 - 47);
}

void TestMainWindow::keysAreSwallowedOrPassed()
{
    for (int key : {int(Qt::Key_W), int(Qt::Key_F), int(Qt::Key_5), int(Qt::Key_9)}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QVERIFY(m_window->eventFilter(m_window, &press));
    }
    QKeyEvent altDigit(QEvent::KeyPress, Qt::Key_1, Qt::AltModifier);
    QVERIFY(m_window->eventFilter(m_window, &altDigit)); // no slider 1: nothing opens
    QKeyEvent other(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier);
    QVERIFY(!m_window->eventFilter(m_window, &other));
}

void TestMainWindow::escapeStopsARunningScan()
{
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QVERIFY(m_window->eventFilter(m_window, &escape));
    QVERIFY(!m_window->property("stopscan").toBool());
    m_window->setProperty("scanning", true);
    QVERIFY(m_window->eventFilter(m_window, &escape));
    QVERIFY(m_window->property("stopscan").toBool());
}

void TestMainWindow::theScanPrecisionDebounces()
{
    auto *zoom = m_window->findChild<QSlider *>(QStringLiteral("horizontalSlider_scanZoom"));
    m_window->setProperty("scanning", true);
    zoom->setValue(40);
    zoom->setValue(50);
    QVERIFY(!m_window->property("restartscan").toBool());
    QTRY_VERIFY_WITH_TIMEOUT(m_window->property("restartscan").toBool(), 1000);
    QVERIFY(m_window->property("stopscan").toBool());
}

void TestMainWindow::theTermsAreAskedUntilAccepted()
{
    TermsOfUseForm *terms = m_window->termsOfUseFormForTests();
    QVERIFY(!terms->isVisible());
    QCOMPARE(terms->property("windowtitle").toString(), QStringLiteral("Tarvio Terms of Use"));
    QTRY_VERIFY_WITH_TIMEOUT(terms->isVisible(), 3000); // 2 s after start
    terms->findChild<QAbstractButton *>(QStringLiteral("pushButton_accept"))->click();
    QVERIFY(SettingsFiles::termsOfUseApproved());
    // The next start does not ask again.
    MainWindow second;
    QTest::qWait(2300);
    QVERIFY(!second.termsOfUseFormForTests()->isVisible());
}

void TestMainWindow::theSplashMakesWayForTheTerms()
{
    auto *splash = new SplashScreen; // removes itself
    splash->show();
    m_window->checkTermsOfUseApproval();
    QVERIFY(m_window->termsOfUseFormForTests()->isVisible());
    QVERIFY(!splash->isVisible());
    m_window->termsOfUseFormForTests()->hide();
}

void TestMainWindow::declinedTermsComeBackWhenTheCloseIsCancelled()
{
    WorkbookWindow::serveDocuments();
    EmbeddedDocument *doc = EmbeddedBackend::instance().newDocument();
    doc->editCell({0, 0, 0}, QStringLiteral("1")); // unsaved work
    TermsOfUseForm *terms = m_window->termsOfUseFormForTests();
    terms->ask();
    BoxAnswer cancel(QMessageBox::Cancel);
    terms->findChild<QAbstractButton *>(QStringLiteral("pushButton_reject"))->click();
    QTRY_VERIFY(!cancel.text.isEmpty());
    QVERIFY(!SettingsFiles::termsOfUseApproved());
    // Still running: the question comes back with both answers.
    QVERIFY(m_window->isVisible());
    QVERIFY(terms->isVisible());
    QVERIFY(terms->findChild<QAbstractButton *>(QStringLiteral("pushButton_accept"))->isVisible());
    QVERIFY(!m_window->property("closingapplication").toBool());
    terms->findChild<QAbstractButton *>(QStringLiteral("pushButton_accept"))->click();
    QVERIFY(SettingsFiles::termsOfUseApproved());
    EmbeddedBackend::instance().showDocument = nullptr;
    doc->setModified(false);
    EmbeddedBackend::instance().closeDocument(doc);
}

void TestMainWindow::theBannerDragsTheWindow()
{
    QLabel *banner = m_window->findChild<QLabel *>(QStringLiteral("label_Tarvio"));
    const QPoint before = m_window->pos();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), banner->mapToGlobal(QPointF(10, 10)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(banner, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 15), banner->mapToGlobal(QPointF(30, 15)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(banner, &move);
    QCOMPARE(m_window->pos(), before + QPoint(20, 5));
}

void TestMainWindow::windowsComeBackWhereTheyWereLeft()
{
    m_window->move(37, 41);
    m_window->newWatchWindow();
    m_window->watchWindowForTests()->setGeometry(60, 70, 355, 500);
    const QRect main = m_window->geometry();
    delete m_window;
    m_window = new MainWindow;
    QCOMPARE(m_window->geometry(), main);
    m_window->newWatchWindow();
    QCOMPARE(m_window->watchWindowForTests()->geometry().topLeft(), QPoint(60, 70));
}

void TestMainWindow::disabledButtonsStayReadable()
{
    // With nothing to scan, Graph is disabled: its caption must still stand
    // out from the light metal behind it.
    auto *graph = m_window->findChild<QPushButton *>(QStringLiteral("pushButton_Graph"));
    QVERIFY(!graph->isEnabled());
    const QImage withCaption = graph->grab().toImage();
    const QString caption = graph->text();
    graph->setText(QString());
    const QImage without = graph->grab().toImage();
    graph->setText(caption);
    int contrast = 0;
    for (int y = 0; y < withCaption.height(); ++y)
        for (int x = 0; x < withCaption.width(); ++x)
            contrast = std::max(contrast, std::abs(qGray(withCaption.pixel(x, y)) - qGray(without.pixel(x, y))));
    QVERIFY2(contrast > 90, qPrintable(QString::number(contrast)));
}

void TestMainWindow::missingHelpSaysSo()
{
    QString text;
    QTimer::singleShot(100, [&text] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible()) {
                text = box->text();
                box->accept();
            }
    });
    if (QFileInfo::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/Tarvio Vendel Quick Help.pdf")))
        QSKIP("a quick help lies beside the test program");
    m_window->showHelp();
    QCOMPARE(text, QStringLiteral("Tarvio Ostra Quick Help file not found."));
}

void TestMainWindow::helpShowsInsideWithoutAPdfViewer()
{
    // The test platform opens no documents, as a desktop without a PDF viewer.
    const QString pdf = QCoreApplication::applicationDirPath() + QStringLiteral("/Tarvio Vendel Quick Help.pdf");
    if (QFileInfo::exists(pdf))
        QSKIP("a quick help lies beside the test program");
    QFile placeholder(pdf);
    QVERIFY(placeholder.open(QIODevice::WriteOnly));
    placeholder.close();
    m_window->showHelp();
    QFile::remove(pdf);
    auto *help = m_window->findChild<QuickHelpWindow *>();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    const auto *text = help->findChild<QTextBrowser *>(QStringLiteral("quickHelpText"));
    QVERIFY(text->toPlainText().contains(QStringLiteral("New Sliders")));
}

void TestMainWindow::floatsAboveTheWorkbookWhileItIsActive()
{
    SettingsFiles::setTermsOfUseApproved(true); // no modal terms dialog in the way
    WorkbookWindow::serveDocuments();
    EmbeddedDocument *doc = EmbeddedBackend::instance().newDocument();
    QWidget *workbook = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<WorkbookWindow *>(widget); window && window->document() == doc)
            workbook = window;
    QVERIFY(workbook);
    workbook->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(workbook));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->windowHandle()->transientParent(), workbook->windowHandle(), 1000);
    QVERIFY(m_window->frontMostTimerForTests()->isActive());
    QVERIFY(QApplication::activeWindow() == workbook); // floating takes no focus

    // Another of our windows in front: no more floating, no more polling.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->windowHandle()->transientParent(), 1000);
    QVERIFY(!m_window->frontMostTimerForTests()->isActive());
    QVERIFY(!(m_window->windowFlags() & Qt::WindowStaysOnTopHint));
    doc->setModified(false);
    EmbeddedBackend::instance().closeDocument(doc);
}

namespace {

// Another application's spreadsheet, its window in front.
class SpreadsheetInFront : public AutomationBackend
{
public:
    AutomationObject *create(const QString &) override { return new AutomationObject; }
    QList<qint64> mainWindows() override { return {1}; }
    AutomationObject *workbookWindow(qint64) override { return new AutomationObject; }
    bool isRunning() override { return true; }
    QString foregroundTitle() override { return QStringLiteral("Other Sheets - model.ods"); }
    QString applicationName() const override { return QStringLiteral("Other Sheets"); }
};

} // namespace

void TestMainWindow::watchesFloatWithTheProgramAboveAnotherSpreadsheet()
{
    SpreadsheetInFront other;
    AutomationBackend::add(&other);
    m_window->newWatchWindow();
    QWidget *watches = m_window->watchWindowForTests();
    watches->show();
    QVERIFY(QTest::qWaitForWindowExposed(watches));
    QApplication::setActiveWindow(nullptr); // the other application has the focus

    m_window->checkExcelIsFrontMostTimeout();
    QVERIFY(m_window->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(watches->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(watches->isVisible());
    // The terms asked now come above the floating main window too.
    m_window->checkTermsOfUseApproval();
    QVERIFY(m_window->termsOfUseFormForTests()->isVisible());
    QVERIFY(m_window->termsOfUseFormForTests()->windowFlags() & Qt::WindowStaysOnTopHint);

    // Back to none in front: both sink again, and both stay shown.
    AutomationBackend::remove(&other);
    m_window->checkExcelIsFrontMostTimeout();
    QVERIFY(!(watches->windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(!(m_window->termsOfUseFormForTests()->windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(watches->isVisible());
    QVERIFY(m_window->termsOfUseFormForTests()->isVisible());
    QVERIFY(m_window->isVisible());
    m_window->termsOfUseFormForTests()->hide();
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
