#include "embedded/EmbeddedBackend.h"
#include "embedded/EmbeddedDocument.h"
#include "embedded/EmbeddedObjects.h"

#include <QSignalSpy>
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
    QVERIFY(!doc.editCell({0, 0, 0}, QStringLiteral("=1+"), &message));
    QVERIFY(message.contains(QStringLiteral("position")));
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
    doc.clearArea(0, CellRange{0, 0, 0, 9, 9});
    QCOMPARE(edited.count(), 0);
    QVERIFY(!doc.isModified());
    doc.editCell({0, 3, 3}, QStringLiteral("x"));
    doc.clearArea(0, CellRange{0, 0, 0, maxRows - 1, 3}); // whole columns: only the filled cell is touched
    QCOMPARE(edited.count(), 2);
    QCOMPARE(shown(doc, 0, 3, 3), QString());
    // An array formula's block is cleared whole or not at all.
    QVERIFY(doc.book().setArrayFormula({0, 0, 5}, 3, 1, "{1;2;3}"));
    doc.clearArea(0, CellRange{0, 1, 5, 9, 9});
    QCOMPARE(shown(doc, 0, 2, 5), QStringLiteral("3"));
    QCOMPARE(doc.book().input({0, 2, 5}).arrayRows, 3);
    doc.clearArea(0, CellRange{0, 0, 5, 9, 9});
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

QTEST_GUILESS_MAIN(TestEmbeddedDocument)
#include "tst_embedded_document.moc"
