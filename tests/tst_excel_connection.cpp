#include "ExcelAttachment.h"
#include "VRKExcelObjects.h"
#include "EmbeddedTestSupport.h"
#include "ProgramDiagnostics.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace workbook;

namespace {

// The sheet wrapper of the front document, through the public road.
VRKExcelSheet *frontSheet(VRKExcelApplication &application)
{
    return application.activeWindow(false)->activeSheet(true);
}

} // namespace

class TestExcelConnection : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { closeAllDocuments(); }
    void rangesAreCachedOnlyWhenKept();
    void wrappersHandedOutWithoutKeepLiveUntilTheEventLoop();
    void userEditsRaiseOneChangeWithItsRange();
    void selectionFiltersForSlidersAndWatches();
    void labelsComeFromTheLeftAndAbove();
    void workbooksAndSheetsAreFoundByName();
    void windowsAttachInWindowOrderAndSwapOnSwitching();
    void aStaleWrapperReadsEmpty();
    void writeThenReadExchange();
    void malformedAddressesGiveNullObjects();
    void foregroundTitleNamesTheApplication();
};

void TestExcelConnection::rangesAreCachedOnlyWhenKept()
{
    backend().newDocument();
    VRKExcelApplication application;
    VRKExcelSheet *sheet = frontSheet(application);
    VRKExcelRange *first = sheet->range(QStringLiteral("B4"), false);
    VRKExcelRange *second = sheet->range(QStringLiteral("B4"), false);
    QVERIFY(first != second);
    VRKExcelRange *kept = sheet->range(QStringLiteral("B4"), true);
    QCOMPARE(sheet->range(QStringLiteral("B4"), true), kept);
    QCOMPARE(sheet->range(QStringLiteral("B4"), false), kept);
    QCOMPARE(kept->address(), QStringLiteral("B4"));
}

void TestExcelConnection::wrappersHandedOutWithoutKeepLiveUntilTheEventLoop()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->editCell({0, 0, 0}, QStringLiteral("42"));
    VRKExcelApplication application;
    QPointer<VRKExcelWindow> window = application.activeWindow(false);
    QPointer<VRKExcelRange> selection = window->rangeSelection(false);
    QCOMPARE(selection->address(), QStringLiteral("A1"));
    QCOMPARE(selection->value().toDouble(), 42.0);
    flushDeletes();
    QVERIFY(window.isNull());
    QVERIFY(selection.isNull());

    QPointer<VRKExcelWindow> kept = application.activeWindow(true);
    flushDeletes();
    QVERIFY(!kept.isNull());
}

void TestExcelConnection::userEditsRaiseOneChangeWithItsRange()
{
    EmbeddedDocument *doc = backend().newDocument();
    VRKExcelApplication application;
    VRKExcelSheet *sheet = frontSheet(application);
    QStringList addresses;
    QList<QPointer<VRKExcelRange>> ranges;
    connect(sheet, &VRKExcelSheet::rangeChanged, [&](VRKExcelRange *range) {
        addresses << range->address();
        ranges << range;
    });
    doc->pasteBlock({0, 1, 1}, {{QStringLiteral("1"), QStringLiteral("2")}, {QStringLiteral("3"), QStringLiteral("=B2+C2")}});
    QCOMPARE(addresses, QStringList({QStringLiteral("B2:C3")}));
    QVERIFY(ranges.first().isNull()); // gone once the signal returned
    doc->editCell({0, 9, 0}, QStringLiteral("x"));
    QCOMPARE(addresses.last(), QStringLiteral("A10"));
    // Writes through the automation layer are not the user's edits.
    sheet->range(QStringLiteral("A1"), false)->setValue(5.0);
    QCOMPARE(addresses.size(), 2);
}

void TestExcelConnection::selectionFiltersForSlidersAndWatches()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->editCell({0, 0, 0}, QStringLiteral("1"));
    doc->editCell({0, 0, 1}, QStringLiteral("=A1*2"));
    doc->book().setValue({0, 0, 2}, Value::text(""));
    doc->editCell({0, 1, 0}, QStringLiteral("label"));
    doc->setSelection({CellRange{0, 0, 0, 1, 3}});
    VRKExcelApplication application;
    VRKExcelWindow *window = application.activeWindow(false);
    // Sliders: no formulas, no empty text; a truly empty cell passes here.
    QCOMPARE(window->filteredSelection(false), QStringLiteral("A1;D1;A2;B2;C2;D2"));
    QCOMPARE(window->filteredSelection(true), QStringLiteral("B1"));

    doc->setSelection({CellRange{0, 0, 1, 0, 1}, CellRange{0, 0, 2, 0, 2}});
    QCOMPARE(window->filteredSelection(false), QString());
}

void TestExcelConnection::labelsComeFromTheLeftAndAbove()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->editCell({0, 0, 2}, QStringLiteral("Metres"));
    doc->editCell({0, 2, 0}, QStringLiteral("Speed"));
    doc->editCell({0, 2, 1}, QStringLiteral("5"));
    doc->editCell({0, 1, 2}, QStringLiteral("7"));
    VRKExcelApplication application;
    VRKExcelSheet *sheet = frontSheet(application);
    QCOMPARE(sheet->range(QStringLiteral("C3"), false)->findLabels(), QStringList({"Speed", "Metres"}));
    QCOMPARE(sheet->range(QStringLiteral("A3"), false)->findLabels(), QStringList({"", ""}));
    // An empty-text cell on the way ends the search.
    doc->book().setValue({0, 2, 1}, Value::text(""));
    QCOMPARE(sheet->range(QStringLiteral("C3"), false)->findLabels().first(), QString());
}

void TestExcelConnection::workbooksAndSheetsAreFoundByName()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->book().addSheet("Model");
    VRKExcelApplication application;
    VRKExcelWorkbook *book = application.workbooks()->item(doc->name(), true);
    QVERIFY(book);
    QCOMPARE(book->name(), doc->name());
    QCOMPARE(application.workbooks()->item(doc->name(), true), book);
    QVERIFY(!application.workbooks()->item(QStringLiteral("No such book"), false));
    VRKExcelWorksheet *model = book->worksheets()->item(QStringLiteral("Model"), true);
    QVERIFY(model);
    QCOMPARE(model->name(), QStringLiteral("Model"));
    QCOMPARE(model->workbook(), book);
    QVERIFY(!book->worksheets()->item(QStringLiteral("Nope"), false));

    const int before = backend().documents().size();
    VRKExcelWorkbook *added = application.workbooks()->add(false);
    QCOMPARE(backend().documents().size(), before + 1);
    QVERIFY(!added->name().isEmpty());
}

void TestExcelConnection::windowsAttachInWindowOrderAndSwapOnSwitching()
{
    EmbeddedDocument *first = backend().newDocument();
    EmbeddedDocument *second = backend().newDocument(); // now in front
    QList<VRKExcelApplication *> applications;
    QObject owner;
    ExcelAttachment attachment(applications, &owner);
    QCOMPARE(attachment.findExcelMainWindows(), QList<qint64>({second->id(), first->id()}));

    attachment.attachToFrontExcel();
    QCOMPARE(applications.size(), 1);
    VRKExcelApplication *forSecond = applications.first();
    attachment.attachToFrontExcel();
    QCOMPARE(applications.size(), 1); // already current

    backend().bringToFront(first);
    attachment.attachToFrontExcel();
    QCOMPARE(applications.size(), 2);
    VRKExcelApplication *forFirst = applications.first();
    QCOMPARE(forFirst->activeWorkbook(false)->name(), first->name());

    backend().bringToFront(second);
    attachment.attachToFrontExcel();
    QCOMPARE(applications.size(), 2);
    QCOMPARE(applications.first(), forSecond);
    QCOMPARE(applications.at(1), forFirst);
}

void TestExcelConnection::aStaleWrapperReadsEmpty()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->editCell({0, 0, 0}, QStringLiteral("3"));
    QList<VRKExcelApplication *> applications;
    QObject owner;
    ExcelAttachment attachment(applications, &owner);
    attachment.attachToFrontExcel();
    VRKExcelRange *cell = applications.first()->activeWindow(true)->activeSheet(true)->range(QStringLiteral("A1"), true);
    QCOMPARE(cell->value().toDouble(), 3.0);

    backend().closeDocument(doc);
    flushDeletes();
    QVERIFY(!cell->value().isValid());
    QVERIFY(!cell->hasFormula());
    cell->setValue(1.0); // writes nothing, says so
    QVERIFY(applications.first()->activeWindow(false)->rangeSelection(false)->address().isEmpty());
    // With no window left, the stale wrapper stays first.
    attachment.attachToFrontExcel();
    QCOMPARE(applications.size(), 1);
    // A new window is attached in front of it.
    backend().newDocument();
    attachment.attachToFrontExcel();
    QCOMPARE(applications.size(), 2);
}

void TestExcelConnection::writeThenReadExchange()
{
    EmbeddedDocument *doc = backend().newDocument();
    doc->editCell({0, 0, 1}, QStringLiteral("=A1*2+A2"));
    doc->editCell({0, 0, 2}, QStringLiteral("text"));
    VRKExcelApplication application;
    VRKExcelSheet *sheet = frontSheet(application);
    const QList<VRKExcelRange *> inputs = {sheet->range(QStringLiteral("A1"), true), sheet->range(QStringLiteral("A2"), true)};
    const QList<VRKExcelRange *> outputs = {sheet->range(QStringLiteral("B1"), true), sheet->range(QStringLiteral("C1"), true),
                                            sheet->range(QStringLiteral("D9"), true)};
    const QList<double> read = setCellValuesGetCellValues(inputs, {0.25, 10}, outputs);
    QCOMPARE(read.size(), 3);
    QCOMPARE(read.at(0), 10.5);
    QVERIFY(std::isnan(read.at(1)));
    QVERIFY(std::isnan(read.at(2)));
    // Results come back in single precision.
    const QList<double> third = setCellValuesGetCellValues({inputs.first()}, {1.0 / 3}, {inputs.first()});
    QCOMPARE(third.first(), double(float(1.0 / 3)));

    QTest::ignoreMessage(QtDebugMsg, "Incorrect data length in setCellValuesGetCellValues");
    QVERIFY(setCellValuesGetCellValues(inputs, {1, 2, 3}, outputs).isEmpty());
    QCOMPARE(doc->book().value({0, 0, 0}).asNumber(), double(1.0 / 3)); // nothing written
}

void TestExcelConnection::malformedAddressesGiveNullObjects()
{
    backend().newDocument();
    VRKExcelApplication application;
    VRKExcelSheet *sheet = frontSheet(application);
    for (const char *bad : {"bad text", "", "A0", "XFE1", "Sheet9!A1"}) {
        VRKExcelRange *range = sheet->range(QString::fromLatin1(bad), false);
        QVERIFY(range->address().isEmpty());
        QVERIFY(!range->value().isValid());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Invalid range interface")));
        range->setValue(1.0);
    }
    QCOMPARE(sheet->range(QStringLiteral("A1:B2;D4"), false)->address(), QStringLiteral("A1:B2;D4"));
    QCOMPARE(sheet->range(QStringLiteral("C:D"), false)->address(), QStringLiteral("C:D"));
}

void TestExcelConnection::foregroundTitleNamesTheApplication()
{
    EmbeddedDocument *doc = backend().newDocument();
    backend().activeDocumentWindow = [doc] { return doc; };
    QVERIFY(ExcelAttachment::isExcelForeground());
    QVERIFY(ExcelAttachment::isForegroundTitle(QStringLiteral("Tarvio Workbook - B")));
    // Only 19 characters take part.
    QVERIFY(!ExcelAttachment::isForegroundTitle(QStringLiteral("Tarvio Workbook - Book")));
    backend().activeDocumentWindow = nullptr;
    QVERIFY(!ExcelAttachment::isExcelForeground());
    QVERIFY(ExcelAttachment::isExcelRunning());
}

QTEST_GUILESS_MAIN(TestExcelConnection)
#include "tst_excel_connection.moc"
