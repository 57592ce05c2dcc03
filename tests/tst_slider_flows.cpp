#include "MainWindow.h"
#include "MinMaxMultiDimData.h"
#include "SettingsFiles.h"
#include "SliderSettingsFile.h"
#include "SliderSettingsForm.h"
#include "VRKExcelCellSliderView.h"
#include "VRKExcelObjects.h"
#include "VRKExcelWatchView.h"
#include "VRKSlider.h"
#include "WatchWindow.h"
#include "MainWindowTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

using namespace workbook;

namespace {

// Counts every recalculation that saw `cell` written.
struct WriteCounter
{
    WriteCounter(EmbeddedDocument *doc, CellLocation cell)
    {
        doc->book().addObserver([this, cell](const std::vector<CellLocation> &changed) {
            for (const CellLocation &where : changed)
                if (where.sheet == cell.sheet && where.row == cell.row && where.column == cell.column)
                    ++writes;
        });
    }
    int writes = 0;
};

CellRange block(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    return CellRange{0, firstRow, firstColumn, lastRow, lastColumn};
}

} // namespace

class TestSliderFlows : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void slidersComeFromTheSelectedInputs();
    void twentyOneSlidersAtMost();
    void duplicatesAndUnsuitableCellsAreSkippedQuietly();
    void selectionsWithoutSuitableCellsWarn();
    void withoutAWorkbookTheFlowOffersOne();
    void oneMoveIsOneExchange();
    void creatingASliderLeavesItsCellAlone();
    void selectionDrivesTheButtons();
    void digitKeysSelectAndOpenSettings();
    void settingsAreSavedAndComeBack();
    void aConfigurationChangeWritesTheClampedValue();
    void watchesLiveInTheWatchWindow();
    void theWatchWindowComesBackForNewWatchesAndScans();
    void watchButtonsExportAndRemove();
    void removeAllEmptiesEverything();
    void aClosedWorkbookUnderLiveSliders();
    void activationRereadsTheCells();
    void fastDrawingScalesTheOthersRepaints();
    void undoingAnEditMovesTheSliderAndSliderMovesAreNoEdits();
    void slidersAndWatchesFollowTheirCellsWhenRowsAndColumnsMove();

private:
    VRKExcelCellSliderView *slider(int i) const { return m_window->sliders().at(i); }
    void pressNewSliders() { QTest::mouseClick(button("pushButton_newSlider"), Qt::LeftButton); }
    void pressNewWatches() { QTest::mouseClick(button("pushButton_newWatch"), Qt::LeftButton); }
    QPushButton *button(const char *name) const
    {
        return m_window->findChild<QPushButton *>(QLatin1String(name));
    }
    void move(int i, double value) { m_session->move(i, value); }

    std::unique_ptr<MainWindowSession> m_session;
    MainWindow *m_window = nullptr;
    EmbeddedDocument *m_doc = nullptr;
};

void TestSliderFlows::init()
{
    m_session = std::make_unique<MainWindowSession>();
    QVERIFY(m_session->exposed);
    m_window = m_session->window.get();
    m_doc = m_session->document;
    // Speed in A2 labelled on its left and above, a two-line caption; B2 and C2 depend on it.
    m_doc->editCell({0, 0, 1}, QStringLiteral("Launch"));
    m_doc->editCell({0, 1, 0}, QStringLiteral("Speed"));
    m_doc->editCell({0, 1, 1}, QStringLiteral("5"));
    m_doc->editCell({0, 1, 2}, QStringLiteral("2"));
    m_doc->editCell({0, 1, 3}, QStringLiteral("=B2*10+C2"));
    m_doc->editCell({0, 1, 4}, QStringLiteral("=D2*2"));
}

void TestSliderFlows::cleanup()
{
    m_session.reset();
    m_window = nullptr;
}

void TestSliderFlows::slidersComeFromTheSelectedInputs()
{
    m_doc->setSelection({block(1, 1, 1, 4)});
    pressNewSliders();
    QCOMPARE(m_window->sliders().size(), 2); // B2 and C2; D2 and E2 are formulas
    VRKExcelCellSliderView *speed = slider(0);
    QCOMPARE(speed->addressLabel()->text(), QStringLiteral("B2"));
    QCOMPARE(speed->watch()->name(), QStringLiteral("Speed\nLaunch"));
    // The caption whole in the tooltip, however the narrow title shortens it.
    QVERIFY2(speed->toolTip().startsWith(QStringLiteral("Speed Launch\n")), qPrintable(speed->toolTip()));
    QCOMPARE(speed->watch()->titleHeight(), 30);
    QVERIFY(!(speed->watch()->displayFlags() & VRKExcelWatchView::TexturedTitle));
    QVERIFY(speed->isActive());
    QCOMPARE(speed->slider()->value(), 5.0);
    // C2's labels: "Speed" on the left, nothing above.
    QCOMPARE(slider(1)->watch()->name(), QStringLiteral("Speed"));
    QCOMPARE(slider(1)->watch()->titleHeight(), 24);
    // In creation order, left to right, in front of the row's filler.
    QLayout *row = slider(0)->parentWidget()->layout();
    QCOMPARE(row->indexOf(slider(0)), 0);
    QCOMPARE(row->indexOf(slider(1)), 1);
    QCOMPARE(row->count(), 3);
    QTRY_VERIFY(slider(0)->x() < slider(1)->x());
    QVERIFY(button("pushButton_newSlider")->isFlat());
    QVERIFY(!button("pushButton_newSlider")->isChecked());
    QVERIFY(button("pushButton_DeleteAll")->isEnabled());
    QVERIFY(!button("pushButton_Graph")->isEnabled());
}

void TestSliderFlows::twentyOneSlidersAtMost()
{
    for (int c = 0; c < 25; ++c)
        m_doc->editCell({0, 10, c}, QString::number(c + 1));
    m_doc->setSelection({block(10, 0, 10, 24)});
    for (int skipped = 0; skipped < 4; ++skipped)
        QTest::ignoreMessage(QtDebugMsg, "Skipping, too many sliders...");
    pressNewSliders();
    QCOMPARE(m_window->sliders().size(), 21);
}

void TestSliderFlows::duplicatesAndUnsuitableCellsAreSkippedQuietly()
{
    m_doc->setSelection({block(1, 1, 1, 1)});
    pressNewSliders();
    QCOMPARE(m_window->sliders().size(), 1);
    // Again: the cell counts as accepted, so no box either.
    bool boxShown = false;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&boxShown] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            boxShown = true;
            modal->close();
        }
    });
    probe.start(5);
    QTest::ignoreMessage(QtDebugMsg, "Slider for \"B2\" already exists. Skipping...");
    pressNewSliders();
    QCOMPARE(m_window->sliders().size(), 1);
    // The one already there lights up, so the press did something the user sees.
    QVERIFY(slider(0)->graphicsEffect());

    // Text and empty cells pass the selection's filter and are skipped silently.
    m_doc->editCell({0, 5, 0}, QStringLiteral("pear"));
    m_doc->setSelection({block(5, 0, 5, 1)});
    pressNewSliders();
    QTest::qWait(30);
    QCOMPARE(m_window->sliders().size(), 1);
    QVERIFY(!boxShown);

    // The same address on another sheet is another cell.
    const SheetIndex second = m_doc->book().addSheet("Second");
    m_doc->book().setInput({second, 1, 1}, "7");
    m_doc->setActiveSheet(second);
    m_doc->setSelection({CellRange{second, 1, 1, 1, 1}});
    pressNewSliders();
    QCOMPARE(m_window->sliders().size(), 2);
    QCOMPARE(slider(1)->slider()->value(), 7.0);
}

void TestSliderFlows::selectionsWithoutSuitableCellsWarn()
{
    m_doc->setSelection({block(1, 3, 1, 4)});
    {
        BoxAnswer box(QMessageBox::Ok);
        pressNewSliders();
        QCOMPARE(box.text, QStringLiteral("Please select a cell with a numeric value in Tarvio Workbook which is not "
                                          "the result of a formula."));
        QCOMPARE(box.title, QStringLiteral("No new slider."));
    }
    QVERIFY(m_window->sliders().isEmpty());
    m_doc->setSelection({block(1, 1, 1, 2)});
    {
        BoxAnswer box(QMessageBox::Ok);
        pressNewWatches();
        QCOMPARE(box.title, QStringLiteral("No new watch."));
        QCOMPARE(box.text, QStringLiteral("Please select a cell with a numeric formula in Tarvio Workbook."));
    }
    QVERIFY(m_window->watches().isEmpty());
}

void TestSliderFlows::withoutAWorkbookTheFlowOffersOne()
{
    closeAllDocuments();
    {
        BoxAnswer box(QMessageBox::No);
        pressNewSliders();
        QCOMPARE(box.text, QStringLiteral("There is no workbook open in Tarvio Workbook."));
        QCOMPARE(box.informative, QStringLiteral("Open a new workbook?"));
    }
    QVERIFY(backend().documents().isEmpty());
    {
        BoxAnswer box(QMessageBox::Yes);
        pressNewWatches();
    }
    QCOMPARE(backend().documents().size(), 1);
    QVERIFY(m_window->watches().isEmpty());
    // The new workbook serves the next press.
    EmbeddedDocument *fresh = backend().documents().first();
    fresh->editCell({0, 0, 0}, QStringLiteral("3"));
    fresh->setSelection({block(0, 0, 0, 0)});
    pressNewSliders();
    QCOMPARE(m_window->sliders().size(), 1);
}

void TestSliderFlows::oneMoveIsOneExchange()
{
    m_doc->setSelection({block(1, 1, 1, 2)});
    pressNewSliders();
    m_doc->setSelection({block(1, 3, 1, 4)});
    pressNewWatches();
    QCOMPARE(m_window->watches().size(), 2);
    WriteCounter speedWrites(m_doc, {0, 1, 1});
    WriteCounter otherWrites(m_doc, {0, 1, 2});
    // The other slider's cell changes behind its back; the move reads it back.
    m_doc->book().setValue({0, 1, 2}, Value::number(3));
    m_doc->book().recalculate();
    otherWrites.writes = 0;

    move(0, 7.0);
    QTest::qWait(100);
    QCOMPARE(speedWrites.writes, 1);
    QCOMPARE(otherWrites.writes, 0);
    QCOMPARE(slider(1)->slider()->value(), 3.0);
    QCOMPARE(m_window->watches().at(0)->data()->values().last(), 73.0);
    QCOMPARE(m_window->watches().at(1)->data()->values().last(), 146.0);
    QCOMPARE(slider(0)->watch()->data()->values().last(), 7.0);
    QCOMPARE(slider(1)->watch()->data()->values().last(), 3.0);
    // A watch's first live reading switches it to the history look.
    QCOMPARE(m_window->watches().at(0)->displayFlags(), 3087u);
    move(0, 8.0);
    // The watch's first sample is its cell as it was made, then one per move.
    QCOMPARE(m_window->watches().at(0)->data()->values().size(), 3);
}

void TestSliderFlows::creatingASliderLeavesItsCellAlone()
{
    m_doc->editCell({0, 1, 1}, QStringLiteral("0.123456"));
    WriteCounter writes(m_doc, {0, 1, 1});
    m_doc->setSelection({block(1, 1, 1, 1)});
    pressNewSliders();
    QTest::qWait(100);
    QCOMPARE(writes.writes, 0);
    QCOMPARE(m_doc->book().value({0, 1, 1}).asNumber(), 0.123456);
}

void TestSliderFlows::selectionDrivesTheButtons()
{
    m_doc->setSelection({block(1, 1, 1, 2)});
    pressNewSliders();
    emit slider(0)->watch()->graphClicked();
    QCOMPARE(m_window->selectedSliders(), QList<VRKExcelCellSliderView *>({slider(0)}));
    QVERIFY(!button("pushButton_Graph")->isEnabled()); // no watch yet
    m_doc->setSelection({block(1, 3, 1, 3)});
    pressNewWatches();
    QVERIFY(button("pushButton_Graph")->isEnabled());
    QVERIFY(m_window->findChild<QSlider *>(QStringLiteral("horizontalSlider_scanZoom"))->isEnabled());
    QCOMPARE(button("pushButton_Graph")->text(), QStringLiteral("Graph"));
    emit slider(1)->watch()->textClicked();
    QCOMPARE(button("pushButton_Graph")->text(), QStringLiteral("3D Graph"));
    QCOMPARE(m_window->selectedSliders(), QList<VRKExcelCellSliderView *>({slider(0), slider(1)}));
    emit slider(0)->watch()->textClicked();
    QCOMPARE(m_window->selectedSliders(), QList<VRKExcelCellSliderView *>({slider(1)}));
    QCOMPARE(button("pushButton_Graph")->text(), QStringLiteral("Graph"));
}

void TestSliderFlows::digitKeysSelectAndOpenSettings()
{
    m_doc->setSelection({block(1, 1, 1, 2)});
    pressNewSliders();
    QTest::keyClick(m_window, Qt::Key_2);
    QVERIFY(slider(1)->isSelected());
    QTest::keyClick(m_window, Qt::Key_2);
    QVERIFY(!slider(1)->isSelected());
    QTest::keyClick(m_window, Qt::Key_9); // beyond the sliders: nothing
    QVERIFY(!m_window->settingsForm()->isVisible());
    QTest::keyClick(m_window, Qt::Key_1, Qt::AltModifier);
    QVERIFY(m_window->settingsForm()->isVisible());
    QCOMPARE(m_window->settingsForm()->editedSlider(), slider(0));
    // Placed beside the slider, inside the screen.
    const QPoint expected = slider(0)->mapToGlobal(QPoint(slider(0)->width() + 10, -20));
    QVERIFY(m_window->settingsForm()->x() <= expected.x());
    QCOMPARE(m_window->settingsForm()->y(), expected.y());
    // S runs New Sliders.
    m_doc->editCell({0, 6, 0}, QStringLiteral("4"));
    m_doc->setSelection({block(6, 0, 6, 0)});
    m_window->settingsForm()->close();
    QTest::keyClick(m_window, Qt::Key_S);
    QCOMPARE(m_window->sliders().size(), 3);
}

void TestSliderFlows::settingsAreSavedAndComeBack()
{
    m_doc->setSelection({block(1, 1, 1, 1)});
    pressNewSliders();
    SliderSettingsForm *form = m_window->settingsForm();
    emit slider(0)->buttonSettingsClicked();
    QVERIFY(form->isVisible());
    form->setMinValue(1);
    form->setMaxValue(9);
    form->setStepValue(0.5);
    QMetaObject::invokeMethod(form, "on_pushButton_OK_clicked");
    QCOMPARE(slider(0)->slider()->maxValue(), 9.0);
    const SliderRange current{0, 10, 0.01};
    const std::optional<SliderRange> stored = SliderSettingsFile(SettingsFiles::sliderSettingsPath())
                                                  .load(m_doc->name(), QStringLiteral("Sheet1"),
                                                        QStringLiteral("Speed\nLaunch"), current);
    QVERIFY(stored);
    QCOMPARE(stored->max, 9.0);

    // A new slider on that caption comes back with the stored range.
    m_window->findChild<QPushButton *>(QStringLiteral("pushButton_DeleteAll"))->click();
    pressNewSliders();
    QCOMPARE(slider(0)->slider()->minValue(), 1.0);
    QCOMPARE(slider(0)->slider()->maxValue(), 9.0);
    QCOMPARE(slider(0)->slider()->stepValue(), 0.5);
    QCOMPARE(slider(0)->slider()->value(), 5.0);
    QCOMPARE(slider(0)->watch()->data()->maximum(), 9.0);

    // A cancelled dialog saves nothing.
    emit slider(0)->buttonSettingsClicked();
    form->setMaxValue(7);
    QMetaObject::invokeMethod(form, "on_pushButton_cancel_clicked");
    QCOMPARE(SliderSettingsFile(SettingsFiles::sliderSettingsPath())
                 .load(m_doc->name(), QStringLiteral("Sheet1"), QStringLiteral("Speed\nLaunch"), current)
                 ->max,
             9.0);
}

void TestSliderFlows::aConfigurationChangeWritesTheClampedValue()
{
    m_doc->setSelection({block(1, 1, 1, 1)});
    pressNewSliders();
    m_doc->setSelection({block(1, 3, 1, 3)});
    pressNewWatches();
    slider(0)->slider()->setConfig(0, 3, 0.5);
    QCOMPARE(m_doc->book().value({0, 1, 1}).asNumber(), 3.0);
    QCOMPARE(m_doc->book().value({0, 1, 3}).asNumber(), 32.0);
    // The watch follows the clamped value at once.
    QCOMPARE(m_window->watches().first()->data()->values().last(), 32.0);
    // A new range that keeps the value is no change to save.
    m_doc->setModified(false);
    slider(0)->slider()->setConfig(0, 10, 0.5);
    QCOMPARE(m_doc->book().value({0, 1, 1}).asNumber(), 3.0);
    QVERIFY(!m_doc->isModified());
}

void TestSliderFlows::watchesLiveInTheWatchWindow()
{
    m_doc->setSelection({block(1, 3, 1, 4)});
    pressNewWatches();
    QCOMPARE(m_window->watches().size(), 2);
    WatchWindow *window = m_window->watchWindowForTests();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->watchList().size(), 2);
    QCOMPARE(window->property("windowtitle").toString(), QStringLiteral("Tarvio Watches"));
    VRKExcelWatchView *watch = m_window->watches().first();
    QCOMPARE(watch->cell()->address(), QStringLiteral("D2"));
    QCOMPARE(watch->name(), QStringLiteral("Speed"));
    QCOMPARE(watch->buttons().size(), 4);
    QCOMPARE(m_window->watchSize(), 250);
    QCOMPARE(watch->minimumWidth(), 250 + watch->extraWidth());
    QCOMPARE(watch->maximumHeight(), 250 + watch->extraHeight() + watch->titleHeight());
    // A duplicate watch is not made.
    // A duplicate watch is not made; the watches there show again, lit up, in a
    // watch window the user had closed.
    window->close();
    QTest::ignoreMessage(QtDebugMsg, "Watch for \"D2\" already exists. Skipping...");
    QTest::ignoreMessage(QtDebugMsg, "Watch for \"E2\" already exists. Skipping...");
    pressNewWatches();
    QCOMPARE(m_window->watches().size(), 2);
    QVERIFY(window->isVisible());
    QVERIFY(m_window->watches().at(0)->graphicsEffect());
    QVERIFY(m_window->watches().at(1)->graphicsEffect());
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->watches().at(0)->graphicsEffect(), 10000);
    // The size slider resizes every watch.
    m_window->watchWindowNewWatchSize(150);
    QCOMPARE(m_window->watchSize(), 350);
    QCOMPARE(m_window->watches().at(1)->minimumWidth(), 350 + watch->extraWidth());
    // Linked: the cross-hair and the view settings move in all.
    watch->setSplitPoint(QPointF(0.2, 0.3));
    QCOMPARE(m_window->watches().at(1)->splitPoint(), QPointF(0.2, 0.3));
    PerspectiveSettings perspective;
    perspective.turn = 5;
    watch->data()->setPerspectiveSettings(perspective);
    QCOMPARE(m_window->watches().at(1)->data()->perspectiveSettings().turn, 5.0);
}

void TestSliderFlows::theWatchWindowComesBackForNewWatchesAndScans()
{
    m_doc->setSelection({block(1, 1, 1, 1)});
    pressNewSliders();
    m_doc->setSelection({block(1, 3, 1, 3)});
    pressNewWatches();
    WatchWindow *window = m_window->watchWindowForTests();
    // Its own New button makes watches of the selected cells.
    m_doc->setSelection({block(1, 4, 1, 4)});
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pushButton_newWatchWindow")), Qt::LeftButton);
    QCOMPARE(m_window->watches().size(), 2);
    // Closed, it comes back when a scan is to draw into its watches.
    window->close();
    slider(0)->setSelected(true);
    QTest::mouseClick(button("pushButton_Graph"), Qt::LeftButton);
    QVERIFY(window->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->property("scanning").toBool(), 30000);
}

void TestSliderFlows::watchButtonsExportAndRemove()
{
    m_doc->setSelection({block(1, 1, 1, 1)});
    pressNewSliders();
    m_doc->setSelection({block(1, 3, 1, 4)});
    pressNewWatches();
    move(0, 6);
    move(0, 7);
    VRKExcelWatchView *watch = m_window->watches().first();
    emit watch->buttonClicked(QStringLiteral("exportdata"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("\tSpeed\n0\t52\n1\t62\n2\t72"));
    watch->setButtonsShown(true);
    emit watch->buttonClicked(QStringLiteral("exportimage"));
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), watch->size());
    QVERIFY(!watch->buttonsShown());
    // The real picture: what the watch shows, with its button row folded away.
    QImage rendered(watch->size(), QImage::Format_ARGB32_Premultiplied);
    rendered.fill(Qt::darkGray);
    watch->render(&rendered);
    QCOMPARE(copied.convertToFormat(QImage::Format_RGB32), rendered.convertToFormat(QImage::Format_RGB32));
    watch->setButtonsShown(true);
    emit watch->buttonClicked(QStringLiteral("close"));
    QVERIFY(!watch->buttonsShown());

    emit watch->buttonClicked(QStringLiteral("remove"));
    QTRY_COMPARE(m_window->watches().size(), 1);
    // A slider's close button removes the slider, later.
    emit slider(0)->watch()->buttonClicked(QStringLiteral("close"));
    QCOMPARE(m_window->sliders().size(), 1);
    QTRY_COMPARE(m_window->sliders().size(), 0);
}

void TestSliderFlows::removeAllEmptiesEverything()
{
    m_doc->setSelection({block(1, 1, 1, 2)});
    pressNewSliders();
    m_doc->setSelection({block(1, 3, 1, 4)});
    pressNewWatches();
    emit slider(1)->watch()->graphClicked();
    QCOMPARE(m_window->selectedSliders().size(), 1);
    QTest::mouseClick(button("pushButton_DeleteAll"), Qt::LeftButton);
    QVERIFY(m_window->sliders().isEmpty());
    QVERIFY(m_window->watches().isEmpty());
    QVERIFY(m_window->selectedSliders().isEmpty());
    QVERIFY(!button("pushButton_DeleteAll")->isEnabled());
    QVERIFY(!button("pushButton_Graph")->isEnabled());
    QVERIFY(!m_window->watchWindowForTests()->isVisible());
    // The next watch brings the window back.
    pressNewWatches();
    QVERIFY(m_window->watchWindowForTests()->isVisible());
}

void TestSliderFlows::aClosedWorkbookUnderLiveSliders()
{
    m_doc->setSelection({block(1, 1, 1, 2)});
    pressNewSliders();
    m_doc->setSelection({block(1, 3, 1, 3)});
    pressNewWatches();
    emit slider(0)->watch()->graphClicked();
    closeAllDocuments();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_session->activate();
    // Greyed, titled so, left out of everything; only removal is left.
    for (VRKExcelCellSliderView *view : m_window->sliders()) {
        QVERIFY(view->isCellClosed());
        QVERIFY(!view->slider()->isEnabled());
        QVERIFY(view->watch()->name().endsWith(QStringLiteral("(workbook closed)")));
        QVERIFY(view->watch()->graphicsEffect());
    }
    VRKExcelWatchView *watch = m_window->watches().first();
    QVERIFY(watch->isCellClosed());
    QVERIFY(watch->property("inactive").toBool());
    QCOMPARE(watch->name(), QStringLiteral("Speed (workbook closed)"));
    QVERIFY(m_window->selectedSliders().isEmpty());
    emit slider(1)->watch()->graphClicked();
    QVERIFY(m_window->selectedSliders().isEmpty());
    const qsizetype samples = watch->data()->values().size();
    move(0, 8); // a move that slips through writes nowhere and reads nothing
    QCOMPARE(watch->data()->values().size(), samples);

    // Another workbook's sliders work beside the closed ones.
    EmbeddedDocument *fresh = backend().newDocument();
    fresh->editCell({0, 0, 0}, QStringLiteral("2"));
    fresh->setSelection({block(0, 0, 0, 0)});
    pressNewSliders();
    QCOMPARE(m_window->sliders().size(), 3);
    QVERIFY(!slider(2)->isCellClosed());
    move(2, 3);
    QCOMPARE(fresh->book().value({0, 0, 0}).asNumber(), 3.0);
    QVERIFY(slider(2)->toolTip().contains(fresh->name()));
    // The closed ones can be removed.
    emit slider(0)->watch()->buttonClicked(QStringLiteral("close"));
    QTRY_COMPARE(m_window->sliders().size(), 2);
    QTest::mouseClick(button("pushButton_DeleteAll"), Qt::LeftButton);
    QVERIFY(m_window->sliders().isEmpty());
}

void TestSliderFlows::activationRereadsTheCells()
{
    m_doc->setSelection({block(1, 1, 1, 1)});
    pressNewSliders();
    m_doc->setSelection({block(1, 3, 1, 3)});
    pressNewWatches();
    VRKExcelWatchView *watch = m_window->watches().first();
    QCOMPARE(watch->data()->values().last(), 52.0); // a new watch shows its cell at once

    // Typed into the workbook: the edit itself brings slider and watch along.
    m_doc->editCell({0, 1, 1}, QStringLiteral("8"));
    QCOMPARE(slider(0)->slider()->value(), 8.0);
    QCOMPARE(watch->data()->values().last(), 82.0);

    // Changed without an edit event: coming back to the program reads it.
    WriteCounter writes(m_doc, {0, 1, 1});
    m_doc->book().setValue({0, 1, 1}, Value::number(4));
    m_session->activate();
    QCOMPARE(slider(0)->slider()->value(), 4.0);
    QCOMPARE(watch->data()->values().last(), 42.0);
    QTest::qWait(50);
    QCOMPARE(writes.writes, 1); // the direct write above, nothing from us
}

void TestSliderFlows::fastDrawingScalesTheOthersRepaints()
{
    m_doc->setSelection({block(1, 3, 1, 4)});
    pressNewWatches();
    VRKExcelWatchView *first = m_window->watches().at(0);
    VRKExcelWatchView *second = m_window->watches().at(1);
    emit first->mousePressed(nullptr);
    QCOMPARE(first->repaintFactor(), 1.5);
    QCOMPARE(second->repaintFactor(), 1.5 * 3.0);
    QCOMPARE(second->fastDrawRequests(), 1);
    emit first->mouseReleased(nullptr);
    QCOMPARE(second->repaintFactor(), 1.5);
    QCOMPARE(second->fastDrawRequests(), 0);
    // A zoom allows fast drawing for a second and spares the zoomed watch both times.
    emit first->mouseZoomChanging();
    QCOMPARE(second->fastDrawRequests(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(second->fastDrawRequests(), 0, 2000);
    QCOMPARE(first->repaintFactor(), 1.5);
    QCOMPARE(second->repaintFactor(), 1.5);
}

void TestSliderFlows::undoingAnEditMovesTheSliderAndSliderMovesAreNoEdits()
{
    m_doc->setSelection({block(1, 1, 1, 2)});
    pressNewSliders();
    m_doc->setSelection({block(1, 3, 1, 3)});
    pressNewWatches();
    QUndoStack *history = m_doc->history();
    const int steps = history->count();
    move(0, 7.0);
    move(0, 8.0);
    QCOMPARE(history->count(), steps); // a drag floods nothing
    m_doc->editCell({0, 1, 1}, QStringLiteral("4"));
    QCOMPARE(slider(0)->slider()->value(), 4.0);
    history->undo();
    QCOMPARE(slider(0)->slider()->value(), 8.0);
    QCOMPARE(m_window->watches().at(0)->data()->values().last(), 82.0);
    history->redo();
    QCOMPARE(slider(0)->slider()->value(), 4.0);
    QCOMPARE(m_window->watches().at(0)->data()->values().last(), 42.0);
}

void TestSliderFlows::slidersAndWatchesFollowTheirCellsWhenRowsAndColumnsMove()
{
    m_doc->setSelection({block(1, 1, 1, 2)});
    pressNewSliders();
    m_doc->setSelection({block(1, 3, 1, 3)});
    pressNewWatches();
    using Axis = RowsColumnsChange::Axis;
    QVERIFY(m_doc->restructure(0, {Axis::Rows, 0, 2}));
    QCOMPARE(slider(0)->addressLabel()->text(), QStringLiteral("B4"));
    QCOMPARE(slider(1)->addressLabel()->text(), QStringLiteral("C4"));
    QVERIFY2(m_window->watches().at(0)->toolTip().endsWith(QStringLiteral("!D4")),
             qPrintable(m_window->watches().at(0)->toolTip()));
    move(0, 6.0);
    QCOMPARE(m_doc->book().value({0, 3, 1}).asNumber(), 6.0);
    QCOMPARE(m_window->watches().at(0)->data()->values().last(), 62.0);
    // The second slider's column goes: its cell is gone, the others move left.
    QVERIFY(m_doc->restructure(0, {Axis::Columns, 2, -1}));
    QVERIFY(m_window->watches().at(0)->toolTip().endsWith(QStringLiteral("!C4")));
    QVERIFY(slider(1)->isCellClosed());
    QCOMPARE(slider(1)->watch()->name(), QStringLiteral("Speed (cell deleted)"));
    QVERIFY(!slider(0)->isCellClosed());
    QCOMPARE(slider(0)->addressLabel()->text(), QStringLiteral("B4"));
    QVERIFY(std::isnan(m_window->watches().at(0)->data()->values().last())); // =B4*10+#REF!
    move(0, 3.0);
    QCOMPARE(m_doc->book().value({0, 3, 1}).asNumber(), 3.0);
    // Undone, the formula and the watch's cell come back.
    m_doc->history()->undo();
    QVERIFY(m_window->watches().at(0)->toolTip().endsWith(QStringLiteral("!D4")));
    QCOMPARE(m_window->watches().at(0)->data()->values().last(), 32.0);
}

QTEST_MAIN(TestSliderFlows)
#include "tst_slider_flows.moc"
