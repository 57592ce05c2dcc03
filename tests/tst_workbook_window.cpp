#include "ExcelAttachment.h"
#include "VRKExcelObjects.h"
#include "EmbeddedTestSupport.h"
#include "embedded/CellDelegate.h"
#include "embedded/EmbeddedObjects.h"
#include "embedded/SheetModel.h"
#include "embedded/SheetView.h"
#include "embedded/WorkbookWindow.h"
#include "io/WorkbookFiles.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QStatusBar>
#include <QTabBar>
#include <QUndoStack>
#include <QLineEdit>
#include <QMessageBox>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cmath>

using namespace workbook;

namespace {

// Typing into the grid: the first key opens the editor, which takes the rest.
void type(QWidget *view, const QString &text)
{
    QTest::keyClicks(view, text.left(1));
    QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
}

void trigger(QWidget *window, const char *action)
{
    QAction *found = window->findChild<QAction *>(QLatin1String(action));
    QVERIFY2(found, action);
    found->trigger();
}

// The text the grid's delegate draws in a cell of a given width.
struct DelegateProbe : CellDelegate
{
    using CellDelegate::CellDelegate;
    QStyleOptionViewItem optionIn(const QModelIndex &index, int width, const QWidget *view) const
    {
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.rect = QRect(0, 0, width, 22);
        initStyleOption(&option, index);
        return option;
    }
    QString textIn(const QModelIndex &index, int width, const QWidget *view) const { return optionIn(index, width, view).text; }
};

WorkbookWindow *windowOf(EmbeddedDocument *document)
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<WorkbookWindow *>(widget))
            if (window->document() == document)
                return window;
    return nullptr;
}

// A shortcut from the keyboard. The shortcut takes the press, and the test's
// keyboard would keep the modifiers down: they are let go as a keyboard would.
void pressShortcut(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(widget, key, modifiers);
    QTest::keyRelease(widget, Qt::Key_Control);
}

// The grid's keys work while it has the focus in the active window.
SheetView *focusGrid(WorkbookWindow *window)
{
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        qWarning("the workbook window did not become active");
    window->view()->setFocus();
    return window->view();
}

// Answers the next message box with `button` once it shows.
void answerNextMessageBox(QMessageBox::StandardButton button, QString *text = nullptr)
{
    QTimer::singleShot(0, [button, text] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible()) {
                if (text)
                    *text = box->text();
                box->button(button)->click();
                return;
            }
        }
        answerNextMessageBox(button, text); // not up yet
    });
}

// Collects what the grid paints.
struct ViewportPaints : QObject
{
    explicit ViewportPaints(QWidget *viewport) { viewport->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++count;
            region += static_cast<QPaintEvent *>(event)->region();
        }
        return false;
    }
    void clear()
    {
        count = 0;
        region = QRegion();
    }
    QString describe() const
    {
        const QRect r = region.boundingRect();
        return QStringLiteral("%1 paints within (%2, %3) %4 x %5").arg(count).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    int count = 0;
    QRegion region;
};

QString shown(EmbeddedDocument *doc, int row, int column)
{
    return QString::fromStdString(displayText(doc->book().value({doc->activeSheet(), row, column})));
}

} // namespace

class TestWorkbookWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { WorkbookWindow::serveDocuments(); }
    void cleanup();
    void aNewDocumentGetsItsWindow();
    void eachWorkbookLandsBesideTheOthers();
    void aNewWorkbookKeepsClearOfTheProgramsWindow();
    void typingEditsAndEnterMovesDown();
    void refusedFormulasKeepTheCell();
    void undoAndRedoFromTheKeyboardAndTheMenu();
    void rowsAndColumnsFromTheSheetMenuAndTheHeaders();
    void helpAboutAndQuit();
    void theFormulaBarShowsAndEditsTheCurrentCell();
    void selectionReachesTheDocument();
    void copyAndPasteTabSeparatedBlocks();
    void deleteClears();
    void savingAndOpeningKeepsTheContent();
    void closingAsksAboutUnsavedChanges();
    void writesInARowShareOneRecalculationAndRepaintOnlyWhatChanged();
    void offersToOpenAWorkbookWhenNoneIsUsable();
    void theGridShowsCellsAsASpreadsheetDoes();
    void savingAFileWeCannotFullyWriteNeverOverwritesIt();
    void savingAFormattedXlsxWritesOverIt();
    void theGridShowsCellFormats();
    void longTextRunsOnIntoEmptyCells();
    void whatCouldNotBeReadIsSaidWithWhere();
};

void TestWorkbookWindow::cleanup()
{
    for (EmbeddedDocument *doc : backend().documents()) {
        doc->setModified(false);
        backend().closeDocument(doc);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void TestWorkbookWindow::aNewDocumentGetsItsWindow()
{
    EmbeddedDocument *doc = backend().newDocument();
    WorkbookWindow *window = windowOf(doc);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(window->windowTitle().endsWith(QStringLiteral(" - Tarvio Workbook")));
    QVERIFY(window->windowTitle().startsWith(doc->name()));
}

void TestWorkbookWindow::typingEditsAndEnterMovesDown()
{
    EmbeddedDocument *doc = backend().newDocument();
    WorkbookWindow *window = windowOf(doc);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    SheetView *view = window->view();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 0));
    type(view, QStringLiteral("12"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor commits on the next turn of the loop
    QCOMPARE(shown(doc, 0, 0), QStringLiteral("12"));
    QCOMPARE(view->currentIndex().row(), 1);
    type(view, QStringLiteral("=A1*2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCoreApplication::processEvents();
    QCOMPARE(shown(doc, 1, 0), QStringLiteral("24"));
    QCOMPARE(view->currentIndex().column(), 1);
    QVERIFY(doc->isModified());
    QVERIFY(windowOf(doc)->isWindowModified());
    // Escape throws the typing away.
    view->setCurrentIndex(view->model()->index(0, 0));
    type(view, QStringLiteral("99"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    QCOMPARE(shown(doc, 0, 0), QStringLiteral("12"));
}

void TestWorkbookWindow::refusedFormulasKeepTheCell()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->editCell({0, 0, 0}, QStringLiteral("5"));
    WorkbookWindow *window = windowOf(doc);
    SheetView *view = focusGrid(window);
    view->setCurrentIndex(view->model()->index(0, 0));
    type(view, QStringLiteral("=SUM(A2"));
    QPointer<QLineEdit> typedInto = view->cellEditor();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    // The editor opens again on the text as typed, the cursor where the parenthesis is missing.
    QTRY_VERIFY(!typedInto && view->cellEditor());
    QCOMPARE(view->cellEditor()->text(), QStringLiteral("=SUM(A2"));
    QCOMPARE(view->cellEditor()->cursorPosition(), 7);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("The formula is missing a closing parenthesis."));
    QCOMPARE(view->currentIndex().row(), 0); // Enter did not move on
    QCOMPARE(shown(doc, 0, 0), QStringLiteral("5"));
    // A stray parenthesis is selected.
    typedInto = view->cellEditor();
    typedInto->setText(QStringLiteral("=1+2)*3"));
    QTest::keyClick(typedInto, Qt::Key_Tab);
    QTRY_VERIFY(!typedInto && view->cellEditor());
    QCOMPARE(view->cellEditor()->text(), QStringLiteral("=1+2)*3"));
    QCOMPARE(view->cellEditor()->selectedText(), QStringLiteral(")"));
    QCOMPARE(view->currentIndex().column(), 0);
    // Escape gives the old content back.
    QTest::keyClick(view->cellEditor(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(!view->cellEditor());
    QCOMPARE(shown(doc, 0, 0), QStringLiteral("5"));
    QCOMPARE(doc->history()->count(), 1);
    // The formula bar keeps its text too, the place marked.
    QLineEdit *formulaBar = window->findChildren<QLineEdit *>().at(1);
    formulaBar->setFocus();
    formulaBar->setText(QStringLiteral("=(1+2"));
    emit formulaBar->returnPressed();
    QCOMPARE(formulaBar->text(), QStringLiteral("=(1+2"));
    QCOMPARE(formulaBar->cursorPosition(), 5);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("The formula is missing a closing parenthesis."));
    QCOMPARE(shown(doc, 0, 0), QStringLiteral("5"));
    QTest::keyClick(formulaBar, Qt::Key_Escape);
    QCOMPARE(formulaBar->text(), QStringLiteral("5"));
    QCOMPARE(window->statusBar()->currentMessage(), QString());
}

void TestWorkbookWindow::undoAndRedoFromTheKeyboardAndTheMenu()
{
    EmbeddedDocument *doc = backend().newDocument();
    WorkbookWindow *window = windowOf(doc);
    SheetView *view = focusGrid(window);
    view->setCurrentIndex(view->model()->index(0, 0));
    type(view, QStringLiteral("3"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    type(view, QStringLiteral("=A1*A1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(shown(doc, 1, 0), QStringLiteral("9"));
    QAction *undo = window->findChild<QAction *>(QStringLiteral("undo"));
    QVERIFY(undo->isEnabled());
    QVERIFY(undo->text().contains(QStringLiteral("Typing")));
    pressShortcut(view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(shown(doc, 1, 0), QString());
    QCOMPARE(window->findChildren<QLineEdit *>().at(1)->text(), QString()); // the formula bar follows
    pressShortcut(view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(shown(doc, 1, 0), QStringLiteral("9"));
    pressShortcut(view, Qt::Key_Z, Qt::ControlModifier);
    pressShortcut(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(shown(doc, 1, 0), QStringLiteral("9"));
    // Cut is one step: copied, then undone whole.
    view->selectionModel()->select(QItemSelection(view->model()->index(0, 0), view->model()->index(1, 0)),
                                   QItemSelectionModel::ClearAndSelect);
    pressShortcut(view, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("3\n9\n"));
    QCOMPARE(shown(doc, 0, 0), QString());
    trigger(window, "undo");
    QCOMPARE(shown(doc, 1, 0), QStringLiteral("9"));
    // Fill down from the keyboard.
    view->selectionModel()->select(QItemSelection(view->model()->index(1, 0), view->model()->index(3, 0)),
                                   QItemSelectionModel::ClearAndSelect);
    pressShortcut(view, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(doc->book().input({0, 3, 0}).formula, std::string("A3*A3"));
    trigger(window, "undo");
    QCOMPARE(shown(doc, 3, 0), QString());
    // Select All takes the whole sheet.
    trigger(window, "selectAll");
    QCOMPARE(doc->selection(), QList<CellRange>({CellRange{0, 0, 0, maxRows - 1, maxColumns - 1}}));
    // An undo on another sheet shows that sheet.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("two sheets.xlsx"));
    Workbook two;
    two.addSheet("One");
    two.addSheet("Two");
    std::string why;
    QVERIFY(saveWorkbookXlsx(two, path.toStdString(), why));
    QString message;
    EmbeddedDocument *both = backend().openDocument(path, &message);
    QVERIFY2(both, qPrintable(message));
    both->editCell({1, 0, 0}, QStringLiteral("x"));
    trigger(windowOf(both), "undo");
    QCOMPARE(windowOf(both)->findChild<QTabBar *>()->currentIndex(), 1);
    QCOMPARE(both->activeSheet(), 1);
}

void TestWorkbookWindow::rowsAndColumnsFromTheSheetMenuAndTheHeaders()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->pasteBlock({0, 0, 0}, {{QStringLiteral("1"), QStringLiteral("=A1+A2")}, {QStringLiteral("2")}});
    WorkbookWindow *window = windowOf(doc);
    SheetView *view = window->view();
    view->setCurrentIndex(view->model()->index(0, 0));
    trigger(window, "insertRows");
    QCOMPARE(shown(doc, 1, 0), QStringLiteral("1"));
    QCOMPARE(doc->book().input({0, 1, 1}).formula, std::string("A2+A3"));
    // From the row header's menu: the row clicked is the one deleted.
    QHeaderView *rows = view->verticalHeader();
    const QPoint third(5, rows->sectionViewportPosition(2) + 5);
    emit rows->customContextMenuRequested(third);
    QMenu *menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
    QVERIFY(view->selectionModel()->isRowSelected(2));
    menu->close();
    trigger(window, "deleteRows");
    QCOMPARE(doc->book().input({0, 1, 1}).formula, std::string("A2+#REF!"));
    QCOMPARE(shown(doc, 1, 1), QStringLiteral("#REF!"));
    // With whole rows selected, a column is inserted where the current cell is.
    view->selectionModel()->setCurrentIndex(view->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    view->setColumnWidth(1, 150);
    view->setColumnWidth(2, 40);
    doc->book().setColumnWidth(0, 1, 20); // B as the file gave it
    trigger(window, "insertColumns");
    QCOMPARE(doc->book().input({0, 1, 2}).formula, std::string("B2+#REF!"));
    QCOMPARE(view->columnWidth(2), 145); // B's width went with it to C
    QCOMPARE(view->columnWidth(1), 80);
    trigger(window, "deleteColumns");
    trigger(window, "undo");
    trigger(window, "undo");
    trigger(window, "undo");
    QCOMPARE(doc->book().input({0, 1, 1}).formula, std::string("A2+A3"));
    QCOMPARE(shown(doc, 1, 1), QStringLiteral("3"));
}

void TestWorkbookWindow::helpAboutAndQuit()
{
    EmbeddedDocument *doc = backend().newDocument();
    WorkbookWindow *window = windowOf(doc);
    QString text;
    answerNextMessageBox(QMessageBox::Ok, &text);
    trigger(window, "about");
    for (const char *licence : {"LGPL", "Mozilla Public License 2.0", "BSD 2-Clause", "liborcus", "libxlsxwriter",
                                "LibreOffice SDK"})
        QVERIFY2(text.contains(QLatin1String(licence)), licence);
    answerNextMessageBox(QMessageBox::Ok, &text);
    trigger(window, "quickHelp");
    QVERIFY(!text.isEmpty());
    // Quit goes to the program's own quit when there is one.
    int quits = 0;
    WorkbookWindow::quitProgram = [&quits] { ++quits; };
    trigger(window, "quit");
    WorkbookWindow::quitProgram = nullptr;
    QCOMPARE(quits, 1);
    QVERIFY(window->isVisible());
    // Without one, the workbook windows close, asking first.
    doc->editCell({0, 0, 0}, QStringLiteral("1"));
    answerNextMessageBox(QMessageBox::Discard);
    trigger(window, "quit");
    QTRY_VERIFY(!windowOf(doc));
}

void TestWorkbookWindow::theFormulaBarShowsAndEditsTheCurrentCell()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->editCell({0, 2, 1}, QStringLiteral("=1+2"));
    WorkbookWindow *window = windowOf(doc);
    SheetView *view = window->view();
    view->setCurrentIndex(view->model()->index(2, 1));
    const QList<QLineEdit *> edits = window->findChildren<QLineEdit *>();
    QLineEdit *nameBox = edits.at(0);
    QLineEdit *formulaBar = edits.at(1);
    QCOMPARE(nameBox->text(), QStringLiteral("B3"));
    QCOMPARE(formulaBar->text(), QStringLiteral("=1+2"));
    formulaBar->setText(QStringLiteral("=10*2"));
    emit formulaBar->returnPressed();
    QCOMPARE(shown(doc, 2, 1), QStringLiteral("20"));
    nameBox->setText(QStringLiteral("D7"));
    emit nameBox->returnPressed();
    QCOMPARE(view->currentIndex().row(), 6);
    QCOMPARE(view->currentIndex().column(), 3);
    // A block is selected whole, as the sliders' and watches' buttons take it.
    nameBox->setText(QStringLiteral("b5:c6"));
    emit nameBox->returnPressed();
    QCOMPARE(EmbeddedRangeObject(doc, doc->selection()).read(QStringLiteral("Address")).toString(), QStringLiteral("B5:C6"));
    QCOMPARE(view->currentIndex().row(), 4);
}

void TestWorkbookWindow::selectionReachesTheDocument()
{
    EmbeddedDocument *doc = backend().newDocument();
    SheetView *view = windowOf(doc)->view();
    QAbstractItemModel *model = view->model();
    view->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(1, 1)), QItemSelectionModel::ClearAndSelect);
    view->selectionModel()->select(QItemSelection(model->index(4, 2), model->index(4, 2)), QItemSelectionModel::Select);
    EmbeddedRangeObject selection(doc, doc->selection());
    QCOMPARE(selection.read(QStringLiteral("Address")).toString(), QStringLiteral("A1:B2;C5"));
    view->selectColumn(3);
    QCOMPARE(EmbeddedRangeObject(doc, doc->selection()).read(QStringLiteral("Address")).toString(), QStringLiteral("D:D"));
}

void TestWorkbookWindow::copyAndPasteTabSeparatedBlocks()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->pasteBlock({0, 0, 0}, {{QStringLiteral("1"), QStringLiteral("x")}, {QStringLiteral("=A1+1"), QStringLiteral("TRUE")}});
    SheetView *view = windowOf(doc)->view();
    QAbstractItemModel *model = view->model();
    view->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(1, 1)), QItemSelectionModel::ClearAndSelect);
    trigger(windowOf(doc), "copy");
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\tx\n2\tTRUE\n"));
    view->setCurrentIndex(model->index(5, 3));
    trigger(windowOf(doc), "paste");
    QCOMPARE(shown(doc, 5, 3), QStringLiteral("1"));
    QCOMPARE(shown(doc, 6, 4), QStringLiteral("TRUE"));
}

void TestWorkbookWindow::deleteClears()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->pasteBlock({0, 0, 0}, {{QStringLiteral("1"), QStringLiteral("2")}, {QStringLiteral("3"), QStringLiteral("4")}});
    SheetView *view = windowOf(doc)->view();
    QAbstractItemModel *model = view->model();
    focusGrid(windowOf(doc));
    view->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(0, 1)), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(shown(doc, 0, 0), QString());
    QCOMPARE(shown(doc, 0, 1), QString());
    QCOMPARE(shown(doc, 1, 0), QStringLiteral("3"));
}

void TestWorkbookWindow::savingAndOpeningKeepsTheContent()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("edited.xlsx"));
    EmbeddedDocument *doc = backend().newDocument();
    doc->pasteBlock({0, 0, 0}, {{QStringLiteral("Speed"), QStringLiteral("30")}, {QStringLiteral("Double"), QStringLiteral("=B1*2")}});
    QString message;
    QVERIFY2(doc->saveAs(path, &message), qPrintable(message));
    QVERIFY(!doc->isModified());
    QCOMPARE(doc->name(), QStringLiteral("edited.xlsx"));
    EmbeddedDocument *again = backend().openDocument(path, &message);
    QVERIFY2(again, qPrintable(message));
    QVERIFY(windowOf(again));
    QCOMPARE(shown(again, 1, 1), QStringLiteral("60"));
    QCOMPARE(again->book().input({0, 1, 1}).formula, std::string("B1*2"));
    QVERIFY(!backend().openDocument(dir.filePath(QStringLiteral("missing.xlsx")), &message));
    QVERIFY(message.startsWith(QStringLiteral("cannot read ")));
}

void TestWorkbookWindow::closingAsksAboutUnsavedChanges()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->editCell({0, 0, 0}, QStringLiteral("1"));
    WorkbookWindow *window = windowOf(doc);
    answerNextMessageBox(QMessageBox::Cancel);
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    answerNextMessageBox(QMessageBox::Discard);
    QVERIFY(window->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!backend().documents().contains(doc));
}

void TestWorkbookWindow::writesInARowShareOneRecalculationAndRepaintOnlyWhatChanged()
{
    EmbeddedDocument *doc = backend().newDocument();
    // B1:E10 follow A1; G1:G10 follow A2 rounded to a whole number.
    QList<QStringList> rows;
    for (int r = 0; r < 10; ++r) {
        QStringList row;
        for (int c = 1; c < 5; ++c)
            row << QStringLiteral("=SIN($A$1*%1)+%2").arg(c).arg(r);
        row << QString() << QStringLiteral("=ROUND($A$2,0)+%1").arg(r);
        rows << row;
    }
    doc->pasteBlock({0, 0, 1}, rows);
    WorkbookWindow *window = windowOf(doc);
    SheetView *view = window->view();
    QAbstractItemModel *model = view->model();
    ViewportPaints paints(view->viewport());
    // The first full paint and the one activation brings are not part of this.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTRY_VERIFY(paints.count > 0);
    QCoreApplication::processEvents();
    paints.clear();
    QSignalSpy recalculations(doc, &EmbeddedDocument::cellsChanged);
    QSignalSpy announced(model, &QAbstractItemModel::dataChanged);
    auto announcedBlock = [&] {
        return qMakePair(announced.first().at(0).toModelIndex(), announced.first().at(1).toModelIndex());
    };

    // A dragged slider writes faster than the grid could follow each value:
    // the writes wait for the event loop and then share one recalculation,
    // announced as one block and painted once.
    EmbeddedRangeObject first(doc, {CellRange{0, 0, 0, 0, 0}});
    for (int i = 1; i <= 10; ++i)
        QVERIFY(first.write(QStringLiteral("Value"), 0.01 * i));
    QCOMPARE(recalculations.count(), 0);
    QTRY_VERIFY(paints.count > 0);
    QCoreApplication::processEvents();
    QCOMPARE(recalculations.count(), 1);
    QCOMPARE(announced.count(), 1);
    QCOMPARE(announcedBlock(), qMakePair(model->index(0, 0), model->index(9, 4)));
    QCOMPARE(paints.count, 1);
    // The block up to the grid lines where column F and row 11 begin, nothing beside it.
    const QRect block(QPoint(0, 0), QPoint(view->columnViewportPosition(5), view->rowViewportPosition(10)));
    QVERIFY2(block.contains(paints.region.boundingRect()), qPrintable(paints.describe()));
    QVERIFY(view->viewport()->rect().contains(view->visualRect(model->index(0, 6))));
    QVERIFY(!paints.region.intersects(view->visualRect(model->index(0, 6))));
    QCOMPARE(shown(doc, 9, 4), QString::fromStdString(formatNumber(std::sin(0.01 * 10 * 4) + 9)));

    // A write whose followers keep their values repaints the written cell alone.
    paints.clear();
    announced.clear();
    EmbeddedRangeObject second(doc, {CellRange{0, 1, 0, 1, 0}});
    QVERIFY(second.write(QStringLiteral("Value"), 0.3));
    QTRY_VERIFY(paints.count > 0);
    QCoreApplication::processEvents();
    QCOMPARE(announced.count(), 1);
    QCOMPARE(announcedBlock(), qMakePair(model->index(1, 0), model->index(1, 0)));
    QVERIFY2(view->visualRect(model->index(1, 0)).contains(paints.region.boundingRect()), qPrintable(paints.describe()));

    // Writing the value a cell already holds changes and repaints nothing.
    paints.clear();
    announced.clear();
    recalculations.clear();
    QVERIFY(second.write(QStringLiteral("Value"), 0.3));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(recalculations.count(), 0);
    QCOMPARE(announced.count(), 0);
    QCOMPARE(paints.count, 0);
}

void TestWorkbookWindow::offersToOpenAWorkbookWhenNoneIsUsable()
{
    backend().start();
    QList<VRKExcelApplication *> applications;
    QObject owner;
    ExcelAttachment attachment(applications, &owner);
    QString text;
    answerNextMessageBox(QMessageBox::No, &text);
    attachment.offerToOpenExcel();
    QCOMPARE(text, QStringLiteral("There is no workbook open in Tarvio Workbook."));
    QVERIFY(applications.isEmpty());

    answerNextMessageBox(QMessageBox::Yes);
    attachment.offerToOpenExcel();
    QCOMPARE(applications.size(), 1);
    QCOMPARE(backend().documents().size(), 1); // a new workbook, in its window
    QVERIFY(windowOf(backend().documents().first()));
}

void TestWorkbookWindow::theGridShowsCellsAsASpreadsheetDoes()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->pasteBlock({0, 0, 0}, {{QStringLiteral("12.5"), QStringLiteral("text"), QStringLiteral("=1/0"), QStringLiteral("=A1*2")}});
    SheetModel model(doc);
    QCOMPARE(model.rowCount(), maxRows);
    QCOMPARE(model.columnCount(), maxColumns);
    QCOMPARE(model.headerData(27, Qt::Horizontal).toString(), QStringLiteral("AB"));
    QCOMPARE(model.headerData(0, Qt::Vertical).toInt(), 1);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("12.5"));
    QCOMPARE(model.data(model.index(0, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("#DIV/0!"));
    QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("25"));
    QCOMPARE(model.data(model.index(0, 3), Qt::EditRole).toString(), QStringLiteral("=A1*2"));
    QVERIFY(!model.data(model.index(5, 5)).isValid());
    // An array formula shows in braces in each cell of its block, which takes no other input.
    QVERIFY(doc->book().setArrayFormula({0, 1, 0}, 1, 2, "{1,2}*5"));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("10"));
    QCOMPARE(model.data(model.index(1, 1), Qt::EditRole).toString(), QStringLiteral("{={1,2}*5}"));
    QString refusal;
    QVERIFY(!doc->editCell({0, 1, 1}, QStringLiteral("7"), &refusal));
    QVERIFY2(refusal.contains(QStringLiteral("A2:B2")), qPrintable(refusal));
    QVERIFY(doc->editCell({0, 1, 1}, QStringLiteral("{={3,4}*5}")));
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("15"));
    // A change elsewhere is announced as one block on this sheet only.
    QList<QModelIndex> changed;
    connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex &a, const QModelIndex &b) { changed << a << b; });
    doc->editCell({0, 0, 0}, QStringLiteral("1"));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.at(0), model.index(0, 0));
    QCOMPARE(changed.at(1), model.index(0, 3));
}

void TestWorkbookWindow::savingAFileWeCannotFullyWriteNeverOverwritesIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("model.ods"));
    QVERIFY(QFile::copy(QStringLiteral(TARVIO_FIXTURES "/model.ods"), path));
    QFile original(path);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    QString message;
    EmbeddedDocument *doc = backend().openDocument(path, &message);
    QVERIFY2(doc, qPrintable(message));
    QVERIFY(!doc->unsupported().isEmpty());
    doc->editCell({0, 5, 5}, QStringLiteral("edited"));
    // Save explains and turns into Save As; the dialog is cancelled.
    QString explanation;
    answerNextMessageBox(QMessageBox::Ok, &explanation);
    QTimer::singleShot(200, [] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
                dialog->reject();
    });
    QVERIFY(!windowOf(doc)->save());
    QVERIFY2(explanation.contains(QStringLiteral("saved as a new .xlsx file")), qPrintable(explanation));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), before);
    QVERIFY(doc->isModified());
}

void TestWorkbookWindow::savingAFormattedXlsxWritesOverIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("formats.xlsx"));
    QVERIFY(QFile::copy(QStringLiteral(TARVIO_FIXTURES "/formats.xlsx"), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QString message;
    EmbeddedDocument *doc = backend().openDocument(path, &message);
    QVERIFY2(doc, qPrintable(message));
    QVERIFY2(doc->unsupported().isEmpty(), qPrintable(doc->unsupported().join(QStringLiteral(", "))));
    doc->editCell({0, 3, 0}, QStringLiteral("5"));
    // Formats are kept, so Save writes over the file without asking where.
    QVERIFY(windowOf(doc)->save());
    QVERIFY(!doc->isModified());
    workbook::Workbook saved;
    const workbook::LoadReport report = workbook::loadWorkbookFile(path.toStdString(), saved);
    QVERIFY2(report.ok, report.message.c_str());
    QVERIFY(report.unsupported.empty());
    QCOMPARE(saved.value({0, 3, 0}).asNumber(), 5.0);
    QVERIFY(saved.formats().style(saved.formats().styleAt(0, 0, 3)).bold);
    QCOMPARE(saved.formats().style(saved.formats().styleAt(0, 0, 0)).numberFormat, std::string("#,##0.00;[Red]\\-#,##0.00"));
}

void TestWorkbookWindow::theGridShowsCellFormats()
{
    QString message;
    EmbeddedDocument *doc = backend().openDocument(QStringLiteral(TARVIO_FIXTURES "/formats.xlsx"), &message);
    QVERIFY2(doc, qPrintable(message));
    auto *view = windowOf(doc)->findChild<SheetView *>();
    auto *model = qobject_cast<SheetModel *>(view->model());
    QVERIFY(model);
    QCOMPARE(model->data(model->index(0, 0)).toString(), QStringLiteral("-1,234.50"));
    QCOMPARE(model->data(model->index(0, 0), Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    QCOMPARE(model->data(model->index(0, 1)).toString(), QStringLiteral("2024-01-01"));
    QCOMPARE(model->data(model->index(0, 0), Qt::EditRole).toString(), QStringLiteral("-1234.5"));
    const QModelIndex title = model->index(0, 3);
    QVERIFY(model->data(title, Qt::FontRole).value<QFont>().bold());
    QCOMPARE(model->data(title, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    QCOMPARE(model->data(title, Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::yellow));
    QCOMPARE(model->data(model->index(1, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    QVERIFY(model->data(model->index(1, 0), Qt::FontRole).value<QFont>().italic());
    QVERIFY(model->cellStyle(1, 0).bottom.line == workbook::BorderLine::Double);
    // A number too wide for its column shows "#" across it.
    QCOMPARE(model->shownText(0, 0, 5), QStringLiteral("#####"));
    QCOMPARE(model->shownText(0, 0, 12), QStringLiteral("-1,234.50"));
    const DelegateProbe probe(model);
    QCOMPARE(probe.textIn(model->index(0, 0), 300, view), QStringLiteral("-1,234.50"));
    const QString narrow = probe.textIn(model->index(0, 0), 30, view);
    QVERIFY2(!narrow.isEmpty() && narrow.count(QLatin1Char('#')) == narrow.size(), qPrintable(narrow));
    QVERIFY(view->fontMetrics().horizontalAdvance(narrow) <= 30);
    QCOMPARE(probe.textIn(model->index(0, 3), 10, view), QStringLiteral("Title")); // text is never #
    QVERIFY(probe.optionIn(model->index(3, 0), 50, view).features & QStyleOptionViewItem::WrapText);
    QVERIFY(!(probe.optionIn(model->index(0, 3), 50, view).features & QStyleOptionViewItem::WrapText));
    QCOMPARE(view->columnSpan(2, 1), 2);
    QCOMPARE(view->rowSpan(2, 1), 1);
    QCOMPARE(view->rowHeight(3), 40); // 30 points
    // A copied number keeps all its digits, whatever its format shows.
    view->setCurrentIndex(model->index(0, 0));
    view->selectionModel()->select(model->index(0, 0), QItemSelectionModel::ClearAndSelect);
    trigger(windowOf(doc), "copy");
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("-1234.5\n"));
    // Automation reads the text as the cell shows it, the value as it is.
    EmbeddedRangeObject cell(doc, {workbook::CellRange{0, 0, 0, 0, 0}});
    QCOMPARE(cell.read(QStringLiteral("Text")).toString(), QStringLiteral("-1,234.50"));
    QCOMPARE(cell.read(QStringLiteral("Value")).toDouble(), -1234.5);
}

void TestWorkbookWindow::whatCouldNotBeReadIsSaidWithWhere()
{
    QString message;
    EmbeddedDocument *doc = backend().openDocument(QStringLiteral(TARVIO_FIXTURES "/malformed.csv"), &message);
    QVERIFY2(doc, qPrintable(message));
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = windowOf(doc)->findChild<QMessageBox *>(QStringLiteral("readNotes"))));
    QVERIFY(box->isVisible());
    QVERIFY(box->windowModality() == Qt::NonModal);
    QVERIFY2(box->informativeText().contains(QStringLiteral("line 2")), qPrintable(box->informativeText()));
    box->close();
    doc->setModified(false);
}

void TestWorkbookWindow::eachWorkbookLandsBesideTheOthers()
{
    EmbeddedDocument *first = backend().newDocument();
    EmbeddedDocument *second = backend().newDocument();
    QWidget *a = windowOf(first);
    QWidget *b = windowOf(second);
    QVERIFY(a->pos() != b->pos());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(a->pos()) && screen.contains(b->pos()));
    first->setModified(false);
    second->setModified(false);
}

void TestWorkbookWindow::aNewWorkbookKeepsClearOfTheProgramsWindow()
{
    // The program's main window at the lower right of the screen, where a
    // 900 x 600 workbook from the top left would cover its upper left part.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QMainWindow program;
    program.resize(600, 380);
    program.move(screen.left() + 500, screen.top() + 450);
    program.show();
    QVERIFY(QTest::qWaitForWindowExposed(&program));

    EmbeddedDocument *doc = backend().newDocument();
    QWidget *window = windowOf(doc);
    QVERIFY(window);
    const QRect covered = QRect(window->pos(), window->size() + QSize(0, 32)).adjusted(0, 0, 8, 8);
    QVERIFY2(!covered.intersects(program.frameGeometry()), "the workbook covers the program's window");
    QVERIFY(window->height() >= 320 && window->width() >= 480);
    doc->setModified(false);
}

void TestWorkbookWindow::longTextRunsOnIntoEmptyCells()
{
    EmbeddedDocument *doc = backend().newDocument();
    WorkbookWindow *window = windowOf(doc);
    SheetView *view = window->view();
    doc->editCell({0, 0, 0}, QStringLiteral("A title far longer than its column"));
    doc->editCell({0, 1, 0}, QStringLiteral("A second title far longer than its column"));
    doc->editCell({0, 1, 1}, QStringLiteral("."));
    doc->editCell({0, 2, 0}, QStringLiteral("1234567890123456789"));
    view->setCurrentIndex(view->model()->index(5, 5));
    const QImage image = view->viewport()->grab().toImage();
    const auto inkIn = [&](int row, int column) {
        // The middle of the cell, away from its grid lines.
        const QRect cell = view->visualRect(view->model()->index(row, column)).adjusted(3, 3, -3, -3);
        int ink = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        return ink;
    };
    QVERIFY2(inkIn(0, 1) > 20, "the title runs on into the empty cell beside it");
    QVERIFY2(inkIn(1, 1) < 10, "a filled neighbour cuts the text off");
    QVERIFY2(inkIn(2, 1) == 0, "a number never runs on");
    QVERIFY(!view->model()->index(0, 0).data().toString().contains(QChar(0x2026)));
    doc->setModified(false);
}

QTEST_MAIN(TestWorkbookWindow)
#include "tst_workbook_window.moc"
