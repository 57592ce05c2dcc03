#include "ProgressPushButton.h"
#include "QMouseEventLabel.h"

#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <limits>

namespace {

// Counts the mouse presses that reach a widget.
class PressCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

// Counts paint events of a progress button.
class CountingButton : public ProgressPushButton
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        ProgressPushButton::paintEvent(event);
    }
};

QImage render(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    widget.render(&image);
    return image;
}

bool isBarBlue(QRgb pixel)
{
    return qBlue(pixel) > 150 && qRed(pixel) < 120 && qGreen(pixel) < 120;
}

} // namespace

class TestSmallWidgets : public QObject
{
    Q_OBJECT
private slots:
    void labelReportsPressesAndKeepsThem();
    void labelReportsMovesAndDoubleClicks();
    void progressBarSpansTheFraction();
    void progressRepaintsOnlyOnChange();
    void progressIsClamped();
};

void TestSmallWidgets::labelReportsPressesAndKeepsThem()
{
    PressCounter parent;
    parent.resize(200, 100);
    auto *label = new QMouseEventLabel(&parent);
    label->setGeometry(10, 10, 80, 30);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));

    QList<QPointF> presses;
    connect(label, &QMouseEventLabel::mousePressed, [&presses](QMouseEvent *event) { presses << event->position(); });
    QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    QCOMPARE(presses, QList<QPointF>({QPointF(5, 6)}));
    QCOMPARE(parent.presses, 0);
    QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
}

void TestSmallWidgets::labelReportsMovesAndDoubleClicks()
{
    QMouseEventLabel label;
    label.resize(80, 30);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QList<QPointF> moves;
    int doubleClicks = 0;
    connect(&label, &QMouseEventLabel::mouseMoved, [&moves](QMouseEvent *event) { moves << event->position(); });
    connect(&label, &QMouseEventLabel::mouseDoubleClicked, [&doubleClicks](QMouseEvent *) { ++doubleClicks; });

    QMouseEvent move(QEvent::MouseMove, QPointF(7, 8), label.mapToGlobal(QPointF(7, 8)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&label, &move);
    QCOMPARE(moves, QList<QPointF>({QPointF(7, 8)}));

    QTest::mouseDClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(doubleClicks, 1);
}

void TestSmallWidgets::progressBarSpansTheFraction()
{
    ProgressPushButton button;
    button.setFlat(true);
    button.setStyleSheet(QStringLiteral("background: white; border: none;"));
    button.resize(101, 24);
    const QRect contents = button.contentsRect();
    const int barY = contents.bottom() - 3;

    button.setProgress(0.0);
    QImage image = render(button);
    // Progress 0 still paints one pixel at the left end, two rows high.
    QVERIFY(isBarBlue(image.pixel(contents.left(), barY)));
    QVERIFY(isBarBlue(image.pixel(contents.left(), barY + 1)));
    QVERIFY(!isBarBlue(image.pixel(contents.left() + 1, barY)));
    QVERIFY(!isBarBlue(image.pixel(contents.left(), barY + 2)));
    QVERIFY(!isBarBlue(image.pixel(contents.left(), barY - 1)));

    button.setProgress(0.5);
    image = render(button);
    const int end = int((contents.right() - contents.left() + 1) * 0.5 + contents.left());
    QVERIFY(isBarBlue(image.pixel(end, barY)));
    QVERIFY(!isBarBlue(image.pixel(end + 1, barY)));

    button.setProgress(1.0);
    image = render(button);
    QVERIFY(isBarBlue(image.pixel(contents.right(), barY)));
}

void TestSmallWidgets::progressRepaintsOnlyOnChange()
{
    CountingButton button;
    button.resize(100, 24);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QCoreApplication::processEvents();
    const int before = button.paints;

    button.setProgress(0.25);
    QTRY_COMPARE(button.paints, before + 1);
    button.setProgress(0.25);
    QTest::qWait(50);
    QCOMPARE(button.paints, before + 1);
    QCOMPARE(button.progress(), 0.25);
}

void TestSmallWidgets::progressIsClamped()
{
    ProgressPushButton button;
    button.setProgress(7);
    QCOMPARE(button.progress(), 1.0);
    button.setProgress(-1);
    QCOMPARE(button.progress(), 0.0);
    button.setProgress(std::numeric_limits<double>::quiet_NaN());
    QCOMPARE(button.progress(), 0.0);
    button.resize(50, 20);
    render(button); // must not overflow the bar's pixel arithmetic
}

QTEST_MAIN(TestSmallWidgets)
#include "tst_small_widgets.moc"
