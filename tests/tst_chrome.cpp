#include "FormHandler.h"
#include "SplashScreen.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>

using Backgrounds::FormHandler;

namespace {

// A served window with a help slot, as the handler expects.
class ChromeWindow : public QWidget
{
    Q_OBJECT
public:
    int helpShown = 0;
public slots:
    void showHelp() { ++helpShown; }
};

void send(QWidget *window, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(at), window->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

void press(QWidget *w, QPoint at) { send(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
void drag(QWidget *w, QPoint at) { send(w, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
void hover(QWidget *w, QPoint at) { send(w, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
void release(QWidget *w, QPoint at) { send(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }

} // namespace

class TestChrome : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { delete m_window; }
    void hitTestFindsEdgesCornersButtonsAndTitle();
    void cursorsFollowTheArea();
    void buttonsArePaintedFromTheRightAndRemembered();
    void closeNeedsPressAndReleaseOnTheButton();
    void dragOutAndBackInStillCloses();
    void helpOpensLater();
    void theLeftEdgeStopsAtTheMinimumWidth();
    void theTitleBarMovesTheWindow();
    void hoverShowsAndLeaveResets();
    void theSplashCountsItsLifeFromTheFirstPaint();
    void cornersResizeBothWays();
    void theMinimizeButtonMinimizesAtOnce();

private:
    QPointer<ChromeWindow> m_window;
    FormHandler m_handler;
};

void TestChrome::init()
{
    m_window = new ChromeWindow;
    m_handler.attach(m_window);
    m_window->setProperty("windowtitle", QStringLiteral("Tarvio Test"));
    m_window->setProperty("closebutton", true);
    m_window->setProperty("helpbutton", true);
    m_window->setMinimumSize(200, 100);
    m_window->setGeometry(100, 100, 400, 300);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    // Painting places the buttons.
    QImage image(m_window->size(), QImage::Format_ARGB32);
    m_window->render(&image);
}

void TestChrome::hitTestFindsEdgesCornersButtonsAndTitle()
{
    QWidget *w = m_window;
    const int right = w->contentsRect().right(), bottom = w->contentsRect().bottom();
    QCOMPARE(FormHandler::hitTest(w, {3, 3}), 3);
    QCOMPARE(FormHandler::hitTest(w, {right - 8, 5}), 6);
    QCOMPARE(FormHandler::hitTest(w, {right - 8, bottom - 8}), 12);
    QCOMPARE(FormHandler::hitTest(w, {7, bottom}), 9);
    QCOMPARE(FormHandler::hitTest(w, {200, bottom - 8}), 8);
    QCOMPARE(FormHandler::hitTest(w, {200, 8}), 2);
    QCOMPARE(FormHandler::hitTest(w, {8, 100}), 1);
    QCOMPARE(FormHandler::hitTest(w, {right - 8, 100}), 4);
    QCOMPARE(FormHandler::hitTest(w, {21, 24}), 128);
    QCOMPARE(FormHandler::hitTest(w, {21, 25}), 256);
    QCOMPARE(FormHandler::hitTest(w, {20, 24}), 256);
    QCOMPARE(FormHandler::hitTest(w, {-1, 5}), 0);
    const QRect close = w->property("closebuttonrect").toRect();
    QVERIFY(!close.isEmpty());
    QCOMPARE(FormHandler::hitTest(w, close.center()), 16);
    QCOMPARE(FormHandler::hitTest(w, w->property("helpbuttonrect").toRect().center()), 64);
}

void TestChrome::cursorsFollowTheArea()
{
    QCOMPARE(FormHandler::cursorFor(3), Qt::SizeFDiagCursor);
    QCOMPARE(FormHandler::cursorFor(12), Qt::SizeFDiagCursor);
    QCOMPARE(FormHandler::cursorFor(6), Qt::SizeBDiagCursor);
    QCOMPARE(FormHandler::cursorFor(9), Qt::SizeBDiagCursor);
    QCOMPARE(FormHandler::cursorFor(2), Qt::SizeVerCursor);
    QCOMPARE(FormHandler::cursorFor(4), Qt::SizeHorCursor);
    QCOMPARE(FormHandler::cursorFor(128), Qt::ArrowCursor);
    QCOMPARE(FormHandler::cursorFor(16), Qt::ArrowCursor);
}

void TestChrome::buttonsArePaintedFromTheRightAndRemembered()
{
    const QRect close = m_window->property("closebuttonrect").toRect();
    const QRect help = m_window->property("helpbuttonrect").toRect();
    QCOMPARE(close.size(), QSize(22, 18));
    QCOMPARE(close.left(), m_window->contentsRect().right() - 7 - 22);
    QCOMPARE(close.top(), 20 - 9);
    QCOMPARE(help.right() + 1, close.left()); // no gap; no minimize button in between
    // A button whose picture does not exist is neither drawn nor hit.
    m_window->setProperty("closebuttonname", QStringLiteral("dummy"));
    QImage image(m_window->size(), QImage::Format_ARGB32);
    m_window->render(&image);
    QVERIFY(m_window->property("closebuttonrect").toRect().isEmpty());
}

void TestChrome::closeNeedsPressAndReleaseOnTheButton()
{
    const QRect close = m_window->property("closebuttonrect").toRect();
    press(m_window, close.center());
    QCOMPARE(m_window->property("closebuttonstate").toInt(), 1);
    release(m_window, {200, 150});
    QCOMPARE(m_window->property("closebuttonstate").toInt(), 0);
    QTest::qWait(300);
    QVERIFY(m_window->isVisible());
}

void TestChrome::dragOutAndBackInStillCloses()
{
    const QRect close = m_window->property("closebuttonrect").toRect();
    press(m_window, close.center());
    drag(m_window, {200, 150});
    QCOMPARE(m_window->property("closebuttonstate").toInt(), 1); // still shown pressed
    drag(m_window, close.center());
    release(m_window, close.center());
    QVERIFY(m_window->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isVisible(), 1000);
}

void TestChrome::helpOpensLater()
{
    const QRect help = m_window->property("helpbuttonrect").toRect();
    press(m_window, help.center());
    release(m_window, help.center());
    QCOMPARE(m_window->helpShown, 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->helpShown, 1, 1000);
}

void TestChrome::theLeftEdgeStopsAtTheMinimumWidth()
{
    const QRect before = m_window->geometry();
    press(m_window, {4, 150});
    QVERIFY(m_window->property("movingform").toBool());
    drag(m_window, {300, 150});
    QCOMPARE(m_window->geometry().right(), before.right());
    QCOMPARE(m_window->geometry().left(), before.right() - 200 + 1);
    release(m_window, {4, 150});
    QVERIFY(!m_window->property("movingform").toBool());
}

void TestChrome::theTitleBarMovesTheWindow()
{
    const QRect before = m_window->geometry();
    press(m_window, {100, 12});
    drag(m_window, {130, 22});
    QCOMPARE(m_window->geometry(), before.translated(30, 10));
    release(m_window, {130, 22});
}

void TestChrome::hoverShowsAndLeaveResets()
{
    const QRect close = m_window->property("closebuttonrect").toRect();
    hover(m_window, close.center());
    QCOMPARE(m_window->property("closebuttonstate").toInt(), 2);
    QCOMPARE(m_window->property("grabbedarea").toInt(), 16);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(m_window, &leave);
    QCOMPARE(m_window->property("closebuttonstate").toInt(), 0);
    QCOMPARE(m_window->property("grabbedarea").toInt(), 0);
    QVERIFY(QWidget::mouseGrabber() != m_window);
}

void TestChrome::theSplashCountsItsLifeFromTheFirstPaint()
{
    QPointer<SplashScreen> splash = new SplashScreen;
    QCOMPARE(splash->size(), QSize(480, 270));
    QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    auto *timer = splash->findChild<QTimer *>();
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 5000);
    QVERIFY(!timer->isActive());
    QImage image(splash->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    splash->render(&image);
    QVERIFY(timer->isActive());
    // The icon sits at the top right.
    QVERIFY(qAlpha(image.pixel(splash->contentsRect().right() - 55, 50)) > 0);
    timer->setInterval(0); // do not wait the five seconds here
    timer->start();
    QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 1000);
}

void TestChrome::cornersResizeBothWays()
{
    const QRect before = m_window->geometry();
    const QPoint corner(m_window->contentsRect().right() - 2, m_window->contentsRect().bottom() - 2);
    QCOMPARE(FormHandler::hitTest(m_window, corner), 12);
    press(m_window, corner);
    drag(m_window, {450, 350});
    QCOMPARE(m_window->geometry().topLeft(), before.topLeft());
    QCOMPARE(m_window->geometry().right(), before.left() + 450);
    QCOMPARE(m_window->geometry().bottom(), before.top() + 350);
    release(m_window, {450, 350});
    // The top edge stops at the minimum height, the bottom stays.
    const QRect grown = m_window->geometry();
    press(m_window, {200, 3});
    drag(m_window, {200, 400});
    QCOMPARE(m_window->geometry().bottom(), grown.bottom());
    QCOMPARE(m_window->geometry().height(), 100);
    release(m_window, {200, 400});
}

void TestChrome::theMinimizeButtonMinimizesAtOnce()
{
    m_window->setProperty("minimizebutton", true);
    QImage image(m_window->size(), QImage::Format_ARGB32);
    m_window->render(&image);
    const QRect minimize = m_window->property("minimizebuttonrect").toRect();
    QVERIFY(!minimize.isEmpty());
    QCOMPARE(minimize.right() + 1, m_window->property("closebuttonrect").toRect().left());
    QCOMPARE(m_window->property("helpbuttonrect").toRect().right() + 1, minimize.left());
    press(m_window, minimize.center());
    release(m_window, minimize.center());
    QVERIFY(m_window->windowState() & Qt::WindowMinimized);
}

QTEST_MAIN(TestChrome)
#include "tst_chrome.moc"
