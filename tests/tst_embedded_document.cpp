#include "embedded/EmbeddedBackend.h"
#include "embedded/EmbeddedDocument.h"
#include "embedded/EmbeddedObjects.h"

#include <QSignalSpy>
#include <QUndoStack>
#include <QTemporaryDir>
#include <QTest>

using namespace workbook;

Q_DECLARE_METATYPE(QList<workbook::CellRange>)

namespace {

std::unique_ptr<Workbook> emptyBook()
{
    auto book = std::make_unique<Workbook>();
    book->addSheet("First");
    book->addSheet("Second");
    return book;
}

QString shown(EmbeddedDocument &doc, SheetIndex sheet, int row, int column)
{
    return QString::fromStdString(displayText(doc.book().value({sheet, row, column})));
}

} // namespace

class TestEmbeddedDocument : public QObject
{
    Q_OBJECT
private slots:
    void editsMarkTheDocumentModifiedAndReportTheirCells();
    void refusedEditsLeaveEverythingAsItWas();
    void pastesStopAtTheSheetsEdgeAndNameWhatWasRefused();
    void clearingAnEmptyAreaIsNoEdit();
    void switchingSheetsResetsTheSelection();
    void automationWritesRecalculateOnceForTheWindow();
    void savingRenamesAndForgetsWhatCouldNotBeKept();
    void everyKindOfEditIsUndoneAndRedone();
    void automationWritesStayOutOfTheHistory();
    void fillCopiesWithRelativeReferencesShifted();
    void insertingAndDeletingIsUndoneWithWhatWasLost();
    void automationRangesFollowTheirCells();
};

void TestEmbeddedDocument::editsMarkTheDocumentModifiedAndReportTheirCells()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    QSignalSpy modified(&doc, &EmbeddedDocument::modifiedChanged);
    QList<CellLocation> changed;
    connect(&doc, &EmbeddedDocument::cellsChanged, [&](const QList<CellLocation> &cells) { changed = cells; });
    doc.editCell({0, 0, 1}, QStringLiteral("=A1+1"));
    QVERIFY(doc.isModified());
    QCOMPARE(modified.count(), 1);
    doc.editCell({0, 0, 0}, QStringLiteral("4"));
    QCOMPARE(modified.count(), 1); // already modified
    QCOMPARE(shown(doc, 0, 0, 1), QStringLiteral("5"));
    QCOMPARE(changed.size(), 2); // A1 and the formula that follows it
}

void TestEmbeddedDocument::refusedEditsLeaveEverythingAsItWas()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    doc.editCell({0, 0, 0}, QStringLiteral("7"));
    doc.setModified(false);
    QSignalSpy edited(&doc, &EmbeddedDocument::userEdited);
    QString message;
    int position = -1;
    QVERIFY(!doc.editCell({0, 0, 0}, QStringLiteral("=SUM(1,2"), &message, &position));
    QCOMPARE(message, QStringLiteral("The formula is missing a closing parenthesis."));
    QCOMPARE(position, 8);
    QVERIFY(!doc.editCell({0, 0, 0}, QStringLiteral("=1+"), &message, &position));
    QCOMPARE(message, QStringLiteral("A value is missing in the formula here."));
    QCOMPARE(doc.history()->count(), 1); // the 7 only
    QCOMPARE(shown(doc, 0, 0, 0), QStringLiteral("7"));
    QVERIFY(!doc.isModified());
    QCOMPARE(edited.count(), 0);
}

void TestEmbeddedDocument::pastesStopAtTheSheetsEdgeAndNameWhatWasRefused()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    QSignalSpy edited(&doc, &EmbeddedDocument::userEdited);
    QString message;
    const CellLocation corner{0, maxRows - 1, maxColumns - 2};
    QVERIFY(!doc.pasteBlock(corner, {{QStringLiteral("1"), QStringLiteral("=SUM("), QStringLiteral("3")},
                                     {QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")}},
                            &message));
    QVERIFY2(message.startsWith(QStringLiteral("XFD1048576: ")), qPrintable(message));
    QCOMPARE(shown(doc, 0, maxRows - 1, maxColumns - 2), QStringLiteral("1"));
    QCOMPARE(edited.count(), 1);
    const auto areas = edited.first().at(1).value<QList<CellRange>>();
    QCOMPARE(areas.first().lastRow, maxRows - 1);
    QCOMPARE(areas.first().lastColumn, maxColumns - 1);
    QVERIFY(doc.pasteBlock({0, 0, 0}, {}));
}

void TestEmbeddedDocument::clearingAnEmptyAreaIsNoEdit()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    QSignalSpy edited(&doc, &EmbeddedDocument::userEdited);
    doc.clearAreas(0, {CellRange{0, 0, 0, 9, 9}});
    QCOMPARE(edited.count(), 0);
    QVERIFY(!doc.isModified());
    doc.editCell({0, 3, 3}, QStringLiteral("x"));
    doc.clearAreas(0, {CellRange{0, 0, 0, maxRows - 1, 3}}); // whole columns: only the filled cell is touched
    QCOMPARE(edited.count(), 2);
    QCOMPARE(shown(doc, 0, 3, 3), QString());
    // An array formula's block is cleared whole or not at all.
    QVERIFY(doc.book().setArrayFormula({0, 0, 5}, 3, 1, "{1;2;3}"));
    doc.clearAreas(0, {CellRange{0, 1, 5, 9, 9}});
    QCOMPARE(shown(doc, 0, 2, 5), QStringLiteral("3"));
    QCOMPARE(doc.book().input({0, 2, 5}).arrayRows, 3);
    doc.clearAreas(0, {CellRange{0, 0, 5, 9, 9}});
    QCOMPARE(shown(doc, 0, 0, 5), QString());
    QVERIFY(!doc.book().hasFormula({0, 2, 5}));
}

void TestEmbeddedDocument::switchingSheetsResetsTheSelection()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    doc.setSelection({CellRange{0, 2, 2, 4, 4}});
    QSignalSpy sheet(&doc, &EmbeddedDocument::activeSheetChanged);
    doc.setActiveSheet(1);
    QCOMPARE(sheet.count(), 1);
    QCOMPARE(doc.selection(), QList<CellRange>({CellRange{1, 0, 0, 0, 0}}));
    doc.setActiveSheet(7); // no such sheet
    QCOMPARE(doc.activeSheet(), 1);
    doc.setSelection({});
    QCOMPARE(doc.selection().size(), 1);
}

void TestEmbeddedDocument::automationWritesRecalculateOnceForTheWindow()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    doc.editCell({0, 0, 1}, QStringLiteral("=A1*10"));
    int reports = 0;
    connect(&doc, &EmbeddedDocument::cellsChanged, [&reports] { ++reports; });
    QSignalSpy edited(&doc, &EmbeddedDocument::userEdited);
    EmbeddedRangeObject input(&doc, {CellRange{0, 0, 0, 0, 0}});
    for (int i = 1; i <= 5; ++i)
        QVERIFY(input.write(QStringLiteral("Value"), double(i)));
    QCOMPARE(reports, 0);
    QCoreApplication::processEvents();
    QCOMPARE(reports, 1);
    QCOMPARE(shown(doc, 0, 0, 1), QStringLiteral("50"));
    QCOMPARE(edited.count(), 0); // not the user's edit
    // Text written through automation is typed input: a formula stays a formula.
    EmbeddedRangeObject other(&doc, {CellRange{0, 1, 0, 1, 0}});
    QVERIFY(other.write(QStringLiteral("Value"), QStringLiteral("=A1+1")));
    QCOMPARE(other.read(QStringLiteral("HasFormula")).toBool(), true);
    QCOMPARE(other.read(QStringLiteral("Value")).toDouble(), 6.0);
    QVERIFY(!other.write(QStringLiteral("Formula"), 1));
}

void TestEmbeddedDocument::savingRenamesAndForgetsWhatCouldNotBeKept()
{
    QTemporaryDir dir;
    EmbeddedDocument doc(1, QStringLiteral("model.ods"), emptyBook());
    doc.setUnsupported({QStringLiteral("the OpenDocument format")});
    doc.editCell({1, 0, 0}, QStringLiteral("kept"));
    QSignalSpy renamed(&doc, &EmbeddedDocument::renamed);
    QString message;
    QVERIFY(doc.saveAs(dir.filePath(QStringLiteral("model.xlsx")), &message));
    QCOMPARE(doc.name(), QStringLiteral("model.xlsx"));
    QVERIFY(doc.unsupported().isEmpty());
    QVERIFY(!doc.isModified());
    QCOMPARE(renamed.count(), 1);
    QVERIFY(message.isEmpty());
    // What the file could not hold as it was is said, and the save still succeeds.
    doc.editCell({1, 0, 1}, QString(40000, QLatin1Char('x')));
    QVERIFY(doc.saveAs(dir.filePath(QStringLiteral("model.xlsx")), &message));
    QVERIFY2(message.contains(QStringLiteral("32,767")), qPrintable(message));
    QVERIFY(!doc.isModified());
    QVERIFY(!doc.saveAs(QStringLiteral("/nonexistent-folder/model.xlsx"), &message));
    QVERIFY(message.startsWith(QStringLiteral("cannot save ")));
    QCOMPARE(doc.name(), QStringLiteral("model.xlsx"));
}

void TestEmbeddedDocument::everyKindOfEditIsUndoneAndRedone()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    QUndoStack *history = doc.history();
    QSignalSpy edited(&doc, &EmbeddedDocument::userEdited);
    doc.editCell({0, 0, 0}, QStringLiteral("2"));
    doc.editCell({0, 0, 1}, QStringLiteral("=A1*10"));
    doc.pasteBlock({0, 1, 0}, {{QStringLiteral("x"), QStringLiteral("=A1+1")}});
    doc.clearAreas(0, {CellRange{0, 0, 0, 0, 0}});
    QCOMPARE(history->count(), 4);
    QCOMPARE(history->undoText(), QStringLiteral("Delete"));
    QCOMPARE(shown(doc, 0, 0, 1), QStringLiteral("0"));

    edited.clear();
    history->undo(); // the Delete
    QCOMPARE(shown(doc, 0, 0, 0), QStringLiteral("2"));
    QCOMPARE(shown(doc, 0, 0, 1), QStringLiteral("20"));
    QCOMPARE(edited.count(), 1); // the sheet's Change event follows an undo too
    history->undo(); // the paste
    QCOMPARE(shown(doc, 0, 1, 0), QString());
    QCOMPARE(shown(doc, 0, 1, 1), QString());
    QVERIFY(!doc.book().hasFormula({0, 1, 1}));
    history->undo(); // the formula
    QVERIFY(!doc.book().hasFormula({0, 0, 1}));
    history->redo();
    QCOMPARE(doc.book().input({0, 0, 1}).formula, std::string("A1*10"));
    history->redo();
    QCOMPARE(shown(doc, 0, 1, 1), QStringLiteral("3"));
    history->redo();
    QCOMPARE(shown(doc, 0, 0, 0), QString());
    QVERIFY(!history->canRedo());
    // A text that looks like a number comes back as that text.
    doc.book().setValue({0, 5, 5}, Value::text("007"));
    doc.editCell({0, 5, 5}, QStringLiteral("8"));
    history->undo();
    QVERIFY(doc.book().value({0, 5, 5}).isText());
    QCOMPARE(shown(doc, 0, 5, 5), QStringLiteral("007"));
}

void TestEmbeddedDocument::automationWritesStayOutOfTheHistory()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    doc.editCell({0, 0, 0}, QStringLiteral("1"));
    EmbeddedRangeObject cell(&doc, {CellRange{0, 0, 0, 0, 0}});
    for (int i = 0; i < 50; ++i)
        QVERIFY(cell.write(QStringLiteral("Value"), 0.5 * i));
    QCOMPARE(doc.history()->count(), 1);
    QCOMPARE(shown(doc, 0, 0, 0), QStringLiteral("24.5"));
    // Undoing the typing brings back what the cell held before it, whatever was written since.
    doc.history()->undo();
    QCOMPARE(shown(doc, 0, 0, 0), QString());
}

void TestEmbeddedDocument::fillCopiesWithRelativeReferencesShifted()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    doc.pasteBlock({0, 0, 0}, {{QStringLiteral("1"), QStringLiteral("=A1*2+$A$1"), QStringLiteral("label")},
                               {QStringLiteral("2")},
                               {QStringLiteral("3")}});
    QVERIFY(doc.fill(0, {CellRange{0, 0, 1, 2, 2}}, EmbeddedDocument::Fill::Down));
    QCOMPARE(doc.book().input({0, 2, 1}).formula, std::string("A3*2+$A$1"));
    QCOMPARE(shown(doc, 0, 2, 1), QStringLiteral("7"));
    QCOMPARE(shown(doc, 0, 1, 2), QStringLiteral("label"));
    // One row deep: from the row above.
    QVERIFY(doc.fill(0, {CellRange{0, 3, 1, 3, 1}}, EmbeddedDocument::Fill::Down));
    QCOMPARE(doc.book().input({0, 3, 1}).formula, std::string("A4*2+$A$1"));
    QVERIFY(doc.fill(0, {CellRange{0, 0, 1, 0, 3}}, EmbeddedDocument::Fill::Right));
    QCOMPARE(doc.book().input({0, 0, 3}).formula, std::string("C1*2+$A$1"));
    QCOMPARE(doc.book().input({0, 0, 2}).formula, std::string("B1*2+$A$1")); // over the label
    QCOMPARE(shown(doc, 0, 0, 3), QStringLiteral("15"));
    // Nothing above the first row: nothing to fill, no step in the history.
    QVERIFY(doc.fill(0, {CellRange{0, 0, 0, 0, 0}}, EmbeddedDocument::Fill::Down));
    QCOMPARE(shown(doc, 0, 0, 0), QStringLiteral("1"));
    QCOMPARE(doc.history()->undoText(), QStringLiteral("Fill Right"));
    doc.history()->undo();
    QCOMPARE(shown(doc, 0, 0, 3), QString());
    QCOMPARE(doc.history()->undoText(), QStringLiteral("Fill Down"));
}

void TestEmbeddedDocument::insertingAndDeletingIsUndoneWithWhatWasLost()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    doc.pasteBlock({0, 0, 0}, {{QStringLiteral("1"), QStringLiteral("=A2")},
                               {QStringLiteral("2"), QStringLiteral("=SUM(A1:A3)")},
                               {QStringLiteral("3")}});
    doc.editCell({1, 0, 0}, QStringLiteral("=First!A3*2"));
    doc.book().defineName("Two", "First!$A$2");
    CellStyle looks;
    looks.bold = true;
    const StyleIndex bold = doc.book().formats().addStyle(looks);
    doc.book().formats().setCellStyle(0, 1, 0, bold);
    QSignalSpy moved(&doc, &EmbeddedDocument::cellsMoved);
    using Axis = RowsColumnsChange::Axis;
    QVERIFY(doc.restructure(0, {Axis::Rows, 1, -1})); // the row holding 2
    QCOMPARE(moved.count(), 1);
    QCOMPARE(shown(doc, 0, 0, 1), QStringLiteral("#REF!"));
    QVERIFY(!doc.book().hasFormula({0, 1, 1})); // the SUM went with its row
    QCOMPARE(doc.book().input({0, 0, 1}).formula, std::string("#REF!"));
    QCOMPARE(shown(doc, 1, 0, 0), QStringLiteral("6"));
    QCOMPARE(doc.book().definedNames().front().expression, std::string("#REF!"));

    doc.history()->undo();
    QCOMPARE(moved.count(), 2);
    QCOMPARE(doc.book().formats().styleAt(0, 1, 0), bold); // the deleted row's looks came back
    QCOMPARE(doc.book().input({0, 0, 1}).formula, std::string("A2"));
    QCOMPARE(doc.book().input({0, 1, 1}).formula, std::string("SUM(A1:A3)"));
    QCOMPARE(shown(doc, 0, 1, 1), QStringLiteral("6"));
    QCOMPARE(doc.book().input({1, 0, 0}).formula, std::string("First!A3*2"));
    QCOMPARE(doc.book().definedNames().front().expression, std::string("First!$A$2"));
    doc.history()->redo();
    QCOMPARE(shown(doc, 0, 1, 0), QStringLiteral("3"));

    doc.history()->undo();
    QVERIFY(doc.restructure(0, {Axis::Columns, 0, 2}));
    QCOMPARE(doc.book().input({0, 1, 3}).formula, std::string("SUM(C1:C3)"));
    doc.history()->undo();
    QCOMPARE(doc.book().input({0, 1, 1}).formula, std::string("SUM(A1:A3)"));
    QVERIFY(!doc.book().hasFormula({0, 1, 3}));
    // Refused: nothing changes, nothing enters the history.
    doc.editCell({0, maxRows - 1, 0}, QStringLiteral("end"));
    const int steps = doc.history()->count();
    QString message;
    QVERIFY(!doc.restructure(0, {Axis::Rows, 0, 1}, &message));
    QVERIFY(!message.isEmpty());
    QCOMPARE(doc.history()->count(), steps);
}

void TestEmbeddedDocument::automationRangesFollowTheirCells()
{
    EmbeddedDocument doc(1, QStringLiteral("Book"), emptyBook());
    doc.editCell({0, 4, 2}, QStringLiteral("5"));
    EmbeddedWorksheetObject sheet(&doc, 0);
    QSignalSpy sheetMoved(&sheet, &AutomationObject::cellsMoved);
    EmbeddedRangeObject cell(&doc, {CellRange{0, 4, 2, 4, 2}});
    EmbeddedRangeObject block(&doc, {CellRange{0, 1, 1, 6, 3}});
    EmbeddedRangeObject other(&doc, {CellRange{1, 4, 2, 4, 2}});
    using Axis = RowsColumnsChange::Axis;
    QVERIFY(doc.restructure(0, {Axis::Rows, 0, 2}));
    QVERIFY(doc.restructure(0, {Axis::Columns, 1, 1}));
    QCOMPARE(sheetMoved.count(), 2);
    QCOMPARE(cell.read(QStringLiteral("Address")).toString(), QStringLiteral("D7"));
    QCOMPARE(cell.read(QStringLiteral("Value")).toDouble(), 5.0);
    QCOMPARE(block.read(QStringLiteral("Address")).toString(), QStringLiteral("C4:E9"));
    QCOMPARE(other.read(QStringLiteral("Address")).toString(), QStringLiteral("C5"));
    QVERIFY(doc.restructure(0, {Axis::Rows, 6, -1}));
    QVERIFY(cell.isNull()); // its cell is gone
    QCOMPARE(block.read(QStringLiteral("Address")).toString(), QStringLiteral("C4:E8"));
    doc.history()->undo();
    doc.history()->undo();
    QCOMPARE(block.read(QStringLiteral("Address")).toString(), QStringLiteral("B4:D9"));
}

QTEST_GUILESS_MAIN(TestEmbeddedDocument)
#include "tst_embedded_document.moc"
