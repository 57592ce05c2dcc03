#include "MinMaxMultiDimData.h"
#include "QMouseEventLabel.h"
#include "SliderSettingsForm.h"
#include "VRKExcelCellSliderView.h"
#include "VRKExcelObjects.h"
#include "VRKExcelWatchView.h"
#include "VRKSlider.h"
#include "EmbeddedTestSupport.h"

#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

using namespace workbook;

namespace {

// One workbook with the cell A1; counts the writes that reach it.
struct Cell
{
    explicit Cell(const QString &text)
    {
        document = backend().newDocument();
        document->editCell({0, 0, 0}, text);
        document->book().addObserver([this](const std::vector<CellLocation> &changed) {
            for (const CellLocation &where : changed)
                if (where.row == 0 && where.column == 0)
                    ++writes;
        });
        VRKExcelWorkbook *book = application.workbooks()->item(document->name(), true);
        range = book->worksheets()->item(QStringLiteral("Sheet1"), true)->range(QStringLiteral("A1"), true);
    }
    ~Cell() { backend().closeDocument(document); }
    double value() { return range->value().toDouble(); }

    EmbeddedDocument *document;
    VRKExcelApplication application;
    VRKExcelRange *range;
    int writes = 0;
};

// Counts a view's announcements (a spy cannot take the bool& argument).
struct Announcements
{
    explicit Announcements(VRKExcelCellSliderView &view)
    {
        QObject::connect(&view, &VRKExcelCellSliderView::valueChanged, &view,
                         [this](VRKExcelRange *range, qreal, bool &) {
                             ++count;
                             lastRange = range;
                         });
    }
    int count = 0;
    VRKExcelRange *lastRange = nullptr;
};

template <typename Widget>
Widget *child(const QWidget &parent, const char *name)
{
    auto *widget = parent.findChild<Widget *>(QLatin1String(name));
    Q_ASSERT(widget);
    return widget;
}

void enterField(SliderSettingsForm &form, const char *name, const QString &text)
{
    auto *edit = child<QLineEdit>(form, name);
    edit->setText(text);
    emit edit->editingFinished();
}

// Types into a field as a user does: a click into it (which selects the
// whole text), then the keys.
void typeInto(QLineEdit *edit, const QString &text)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(edit->hasFocus() && edit->selectedText() == edit->text());
    QTest::keyClicks(edit, text);
}

// The shortest text that reads back as the same double: equal texts mean
// equal doubles, to the last bit (QCOMPARE on doubles forgives small errors).
QString digits(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// A slider's minimum, maximum, step and value, each in its shortest text.
QString configOf(const VRKSlider &slider)
{
    return QStringList{digits(slider.minValue()), digits(slider.maxValue()), digits(slider.stepValue()),
                       digits(slider.value())}
        .join(QLatin1Char(' '));
}

// The default locale, for the life of a test.
struct DefaultLocale
{
    explicit DefaultLocale(const QLocale &locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(saved); }
    QLocale saved;
};

} // namespace

class TestCellSliderView : public QObject
{
    Q_OBJECT
private slots:
    void bindingFitsTheRangeAndWritesNothing();
    void bindingFitsRangesOfEveryMagnitude_data();
    void bindingFitsRangesOfEveryMagnitude();
    void movesWriteUnlessAReceiverHandlesThem();
    void clicksToggleTheSelection();
    void buttonsAnnounceByTag();
    void theStyleFollowsTheEnabledState();
    void labelsSitAtTheHandle();
    void aDestroyedCellUnbinds();
    void settingsCorrectEachOther();
    void okAppliesAndCancelLeavesAlone();
    void enterAndOkCommitTheSame_data();
    void enterAndOkCommitTheSame();
    void everyDigitTypedReachesTheSlider();
    void fieldsSpeakTheValidatorsLocale();
    void openingTakesTheSlidersValues();
};

void TestCellSliderView::bindingFitsTheRangeAndWritesNothing()
{
    Cell cell(QStringLiteral("5"));
    VRKExcelCellSliderView view;
    Announcements announced(view);
    view.setRange(cell.range);
    QCOMPARE(view.slider()->minValue(), 0.0);
    QCOMPARE(view.slider()->maxValue(), 10.0);
    QCOMPARE(view.slider()->stepValue(), 0.01);
    QCOMPARE(view.slider()->value(), 5.0);
    QCOMPARE(view.addressLabel()->text(), QStringLiteral("A1"));
    QCOMPARE(view.watch()->name(), QStringLiteral("A1"));
    QCOMPARE(view.watch()->data()->values(), QList<double>({5.0}));
    QTest::qWait(100);
    QCOMPARE(announced.count, 0);
    QCOMPARE(cell.writes, 0);

    // A value the step cannot hold stays in the cell as it was.
    Cell fine(QStringLiteral("0.123456"));
    VRKExcelCellSliderView other;
    other.setRange(fine.range);
    QTest::qWait(100);
    QCOMPARE(fine.value(), 0.123456);
    QCOMPARE(fine.writes, 0);
}

void TestCellSliderView::bindingFitsRangesOfEveryMagnitude_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("config");
    QTest::newRow("250") << "250" << "0 500 1 250";
    QTest::newRow("-0.04") << "-0.04" << "-0.08 0 1e-04 -0.04";
    QTest::newRow("zero") << "0" << "0 1 0.01 0";
    QTest::newRow("text") << "abc" << "0 1 0.01 0";
    // Each value stays reachable to the last digit, and so do the ends.
    QTest::newRow("43.7") << "43.7" << "0 87.4 0.1 43.7";
    QTest::newRow("0.7") << "0.7" << "0 1.4 0.001 0.7";
    QTest::newRow("3.3") << "3.3" << "0 6.6 0.01 3.3";
    QTest::newRow("0.00003") << "0.00003" << "0 6e-05 1e-07 3e-05";
    // Read in single precision this would be 10, a decade higher.
    QTest::newRow("just below ten") << "9.9999999" << "0 20 0.01 10";
}

void TestCellSliderView::bindingFitsRangesOfEveryMagnitude()
{
    QFETCH(QString, text);
    QFETCH(QString, config);
    Cell cell(text);
    VRKExcelCellSliderView view;
    view.setRange(cell.range);
    QCOMPARE(configOf(*view.slider()), config);
}

void TestCellSliderView::movesWriteUnlessAReceiverHandlesThem()
{
    Cell cell(QStringLiteral("5"));
    VRKExcelCellSliderView view;
    view.setRange(cell.range);
    view.slider()->setMinEmitInterval(0);
    view.slider()->setValue(7.0);
    QCOMPARE(cell.value(), 7.0);

    bool take = true;
    connect(&view, &VRKExcelCellSliderView::valueChanged, this,
            [&take](VRKExcelRange *, qreal, bool &handled) { handled = take; });
    view.slider()->setValue(3.0);
    QCOMPARE(cell.value(), 7.0);
    take = false;
    view.slider()->setValue(4.0);
    QCOMPARE(cell.value(), 4.0);

    // A value shown from the cell is not written back, and moving back to the
    // last announced value is announced again.
    Announcements announced(view);
    view.showCellValue(9.0);
    QTest::qWait(50);
    QCOMPARE(announced.count, 0);
    view.slider()->setValue(4.0);
    QCOMPARE(announced.count, 1);
    QCOMPARE(cell.value(), 4.0);
}

void TestCellSliderView::clicksToggleTheSelection()
{
    VRKExcelCellSliderView view;
    QSignalSpy selected(&view, &VRKExcelCellSliderView::selectedChanged);
    QSignalSpy closing(&view, &VRKExcelCellSliderView::closeRequest);
    view.resize(90, 400);
    emit view.watch()->graphClicked();
    QVERIFY(view.isSelected());
    emit view.watch()->textClicked();
    QVERIFY(!view.isSelected());
    QCOMPARE(selected.count(), 2);
    emit view.watch()->buttonClicked(QStringLiteral("other"));
    QCOMPARE(closing.count(), 0);
    emit view.watch()->buttonClicked(QStringLiteral("close"));
    QCOMPARE(closing.count(), 1);
}

void TestCellSliderView::buttonsAnnounceByTag()
{
    VRKExcelCellSliderView view;
    QSignalSpy scan(&view, &VRKExcelCellSliderView::buttonScan1DClicked);
    QSignalSpy settings(&view, &VRKExcelCellSliderView::buttonSettingsClicked);
    const QList<QMouseEventLabel *> buttons = view.findChildren<QMouseEventLabel *>();
    QCOMPARE(buttons.size(), 2);
    for (QMouseEventLabel *button : buttons)
        QTest::mousePress(button, Qt::LeftButton);
    QCOMPARE(scan.count(), 1);
    QCOMPARE(settings.count(), 1);
    buttons.first()->setProperty("tag", 2);
    QTest::mousePress(buttons.first(), Qt::LeftButton);
    QCOMPARE(scan.count() + settings.count(), 2);
    // A sender of another kind is ignored.
    QMetaObject::invokeMethod(&view, "btnClicked");
    QCOMPARE(scan.count() + settings.count(), 2);
}

void TestCellSliderView::theStyleFollowsTheEnabledState()
{
    VRKExcelCellSliderView view;
    QCOMPARE(view.slider()->styleSheet(), QString::fromLatin1(VRKExcelCellSliderView::enabledSliderStyle));
    QVERIFY(view.slider()->styleSheet().contains(QStringLiteral("/* the groove expands")));
    view.slider()->setEnabled(false);
    view.applySliderStyle();
    QVERIFY(view.slider()->styleSheet().contains(QStringLiteral("stop:0 #C0C0C0, stop:1 #606060")));
    view.setActive(true);
    QVERIFY(view.slider()->isActive());
}

void TestCellSliderView::labelsSitAtTheHandle()
{
    Cell cell(QStringLiteral("5"));
    VRKExcelCellSliderView view;
    view.setRange(cell.range);
    view.setActive(true);
    view.resize(90, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto amberRows = [&view] {
        const QImage image = view.grab().toImage();
        QList<int> rows;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == QColor(255, 192, 0)) {
                    rows << y;
                    break;
                }
        return rows;
    };
    const QList<int> middle = amberRows();
    QVERIFY(!middle.isEmpty());
    // At the top the value label moves up with the handle.
    view.showCellValue(10.0);
    QCOMPARE(view.slider()->value(), 10.0);
    const QList<int> top = amberRows();
    QVERIFY(!top.isEmpty());
    QVERIFY(top.first() < middle.first() - 50);
}

void TestCellSliderView::aDestroyedCellUnbinds()
{
    auto *cell = new Cell(QStringLiteral("5"));
    VRKExcelCellSliderView view;
    view.setRange(cell->range);
    delete cell;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Announcements announced(view);
    view.slider()->setMinEmitInterval(0);
    view.slider()->setValue(2.0); // writes nowhere, and says so with a null cell
    QVERIFY(!view.range());
    QCOMPARE(announced.count, 1);
    QCOMPARE(announced.lastRange, nullptr);
}

void TestCellSliderView::settingsCorrectEachOther()
{
    SliderSettingsForm form;
    form.setMinValue(0);
    form.setMaxValue(10);
    form.setStepValue(1);
    enterField(form, "lineEdit_min", QStringLiteral("20"));
    QCOMPARE(form.minimum(), 20.0);
    QCOMPARE(form.maximum(), 21.0);
    QCOMPARE(form.step(), 1.0);

    form.setMinValue(0);
    form.setMaxValue(10);
    enterField(form, "lineEdit_max", QStringLiteral("-5"));
    QCOMPARE(form.minimum(), -6.0);
    QCOMPARE(form.maximum(), -5.0);
    QCOMPARE(form.step(), 1.0);

    form.setMinValue(0);
    form.setMaxValue(10);
    enterField(form, "lineEdit_step", QStringLiteral("50"));
    QCOMPARE(form.step(), 10.0);
    enterField(form, "lineEdit_min", QStringLiteral("pear"));
    QCOMPARE(form.minimum(), 0.0);
    QCOMPARE(child<QLineEdit>(form, "lineEdit_step")->text(), QStringLiteral("10"));
}

void TestCellSliderView::okAppliesAndCancelLeavesAlone()
{
    Cell cell(QStringLiteral("5"));
    VRKExcelCellSliderView view;
    view.setRange(cell.range);
    SliderSettingsForm form;
    QSignalSpy closed(&form, &SliderSettingsForm::formClosed);
    form.editSlider(&view);
    QVERIFY(form.isVisible());
    enterField(form, "lineEdit_max", QStringLiteral("10"));
    enterField(form, "lineEdit_min", QStringLiteral("10"));
    QCOMPARE(form.step(), 0.0);
    child<QTextEdit>(form, "textEdit_label")->setPlainText(QStringLiteral("Speed\nm/s"));
    QTest::mouseClick(child<QPushButton>(form, "pushButton_OK"), Qt::LeftButton);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(closed.last().at(0).toBool(), true);
    QVERIFY(!form.isVisible());
    QCOMPARE(view.slider()->minValue(), 10.0);
    QCOMPARE(view.slider()->maxValue(), 11.0);
    QCOMPARE(view.slider()->stepValue(), 0.5);
    QCOMPARE(view.watch()->data()->minimum(), 10.0);
    QCOMPARE(view.watch()->name(), QStringLiteral("Speed\nm/s"));

    // Escape in the label closes without applying anything.
    form.editSlider(&view);
    auto *label = child<QTextEdit>(form, "textEdit_label");
    label->setPlainText(QStringLiteral("changed"));
    enterField(form, "lineEdit_max", QStringLiteral("99"));
    QTest::keyClick(label, Qt::Key_Escape);
    QCOMPARE(closed.count(), 2);
    QCOMPARE(closed.last().at(0).toBool(), false);
    QCOMPARE(view.slider()->maxValue(), 11.0);
    QCOMPARE(view.watch()->name(), QStringLiteral("Speed\nm/s"));

    // Return in a field is OK.
    form.editSlider(&view);
    child<QLineEdit>(form, "lineEdit_max")->setText(QStringLiteral("20"));
    QTest::keyClick(child<QLineEdit>(form, "lineEdit_max"), Qt::Key_Return);
    QCOMPARE(closed.last().at(0).toBool(), true);
    QCOMPARE(view.slider()->maxValue(), 20.0);
}

void TestCellSliderView::enterAndOkCommitTheSame_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("enter");
    QTest::addColumn<QString>("applied");
    // The cell holds 43.7, so the slider starts at 0 .. 87.4 in steps of 0.1.
    const QStringList maxThenStep{"lineEdit_max", "lineEdit_step"};
    const QStringList maxThenMin{"lineEdit_max", "lineEdit_min"};
    for (bool enter : {true, false}) {
        const char *how = enter ? ", Enter" : ", OK";
        // On a grid of halves the value nearest 43.7 is 43.5.
        QTest::addRow("max and step%s", how) << maxThenStep << QStringList{"100", "0.5"} << enter << "0 100 0.5 43.5";
        // The minimum typed last pushes the maximum up, as leaving its field would.
        QTest::addRow("min above max%s", how) << maxThenMin << QStringList{"100", "150"} << enter << "150 151 0.1 150";
    }
}

void TestCellSliderView::enterAndOkCommitTheSame()
{
    QFETCH(QStringList, fields);
    QFETCH(QStringList, texts);
    QFETCH(bool, enter);
    QFETCH(QString, applied);
    Cell cell(QStringLiteral("43.7"));
    VRKExcelCellSliderView view;
    view.setRange(cell.range);
    QCOMPARE(configOf(*view.slider()), QStringLiteral("0 87.4 0.1 43.7"));
    SliderSettingsForm form;
    form.editSlider(&view);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QLineEdit *last = nullptr;
    for (qsizetype i = 0; i < fields.size(); ++i)
        typeInto(last = child<QLineEdit>(form, qPrintable(fields[i])), texts[i]);
    if (enter)
        QTest::keyClick(last, Qt::Key_Return);
    else
        QTest::mouseClick(child<QPushButton>(form, "pushButton_OK"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(configOf(*view.slider()), applied);
}

void TestCellSliderView::everyDigitTypedReachesTheSlider()
{
    Cell cell(QStringLiteral("5"));
    VRKExcelCellSliderView view;
    view.setRange(cell.range);
    SliderSettingsForm form;
    form.editSlider(&view);
    enterField(form, "lineEdit_max", QStringLiteral("1234567.5"));
    enterField(form, "lineEdit_step", QStringLiteral("0.5"));
    QCOMPARE(child<QLineEdit>(form, "lineEdit_max")->text(), QStringLiteral("1234567.5"));
    QTest::mouseClick(child<QPushButton>(form, "pushButton_OK"), Qt::LeftButton);
    QCOMPARE(digits(view.slider()->maxValue()), QStringLiteral("1234567.5"));
    QCOMPARE(digits(view.slider()->stepValue()), QStringLiteral("0.5"));
}

void TestCellSliderView::fieldsSpeakTheValidatorsLocale()
{
    const DefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    SliderSettingsForm form;
    form.setMinValue(0);
    form.setMaxValue(10);
    enterField(form, "lineEdit_step", QStringLiteral("0,5"));
    QCOMPARE(digits(form.step()), QStringLiteral("0.5"));
    enterField(form, "lineEdit_max", QStringLiteral("1234567,25"));
    QCOMPARE(digits(form.maximum()), QStringLiteral("1234567.25"));
    QCOMPARE(child<QLineEdit>(form, "lineEdit_max")->text(), QStringLiteral("1234567,25"));
    QCOMPARE(child<QLineEdit>(form, "lineEdit_step")->text(), QStringLiteral("0,5"));
}

void TestCellSliderView::openingTakesTheSlidersValues()
{
    Cell cell(QStringLiteral("250"));
    VRKExcelCellSliderView view;
    view.setRange(cell.range);
    SliderSettingsForm form;
    // The previous use ends below this slider's minimum, with a span smaller
    // than its step.
    form.setMinValue(-10);
    form.setMaxValue(-9.5);
    form.setStepValue(0.5);
    QVERIFY(view.slider()->minValue() > form.maximum());
    QVERIFY(view.slider()->stepValue() > form.maximum() - form.minimum());
    form.editSlider(&view);
    QCOMPARE(form.minimum(), 0.0);
    QCOMPARE(form.maximum(), 500.0);
    QCOMPARE(form.step(), 1.0);
    QCOMPARE(child<QTextEdit>(form, "textEdit_label")->toPlainText(), QStringLiteral("A1"));
    QCOMPARE(child<QLineEdit>(form, "lineEdit_max")->text(), QStringLiteral("500"));
    // Entering a field selects all of it.
    child<QLineEdit>(form, "lineEdit_max")->setFocus();
    QTRY_COMPARE(child<QLineEdit>(form, "lineEdit_max")->selectedText(), QStringLiteral("500"));
    QCOMPARE(form.windowModality(), Qt::ApplicationModal);
    QCOMPARE(form.size(), QSize(265, 230));
}

QTEST_MAIN(TestCellSliderView)
#include "tst_cell_slider_view.moc"
