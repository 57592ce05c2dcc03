#include "ExcelAttachment.h"
#include "VRKExcelObjects.h"
#include "EmbeddedTestSupport.h"
#include "embedded/EmbeddedObjects.h"
#include "embedded/SheetModel.h"
#include "embedded/SheetView.h"
#include "embedded/WorkbookWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
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

WorkbookWindow *windowOf(EmbeddedDocument *document)
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<WorkbookWindow *>(widget))
            if (window->document() == document)
                return window;
    return nullptr;
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
    void typingEditsAndEnterMovesDown();
    void refusedFormulasKeepTheCell();
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
    SheetModel *model = qobject_cast<SheetModel *>(windowOf(doc)->view()->model());
    QString message;
    answerNextMessageBox(QMessageBox::Ok, &message);
    QVERIFY(!model->setData(model->index(0, 0), QStringLiteral("=SUM(1,")));
    QVERIFY2(message.contains(QStringLiteral("not accepted")), qPrintable(message));
    QCOMPARE(shown(doc, 0, 0), QStringLiteral("5"));
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
    emit view->copyRequested();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\tx\n2\tTRUE\n"));
    view->setCurrentIndex(model->index(5, 3));
    emit view->pasteRequested();
    QCOMPARE(shown(doc, 5, 3), QStringLiteral("1"));
    QCOMPARE(shown(doc, 6, 4), QStringLiteral("TRUE"));
}

void TestWorkbookWindow::deleteClears()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->pasteBlock({0, 0, 0}, {{QStringLiteral("1"), QStringLiteral("2")}, {QStringLiteral("3"), QStringLiteral("4")}});
    SheetView *view = windowOf(doc)->view();
    QAbstractItemModel *model = view->model();
    view->setFocus();
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

QTEST_MAIN(TestWorkbookWindow)
#include "tst_workbook_window.moc"
