#include "CalcBackend.h"
#include "CalcDocument.h"
#include "PrivateOffice.h"
#include "VRKExcelObjects.h"
#include "embedded/EmbeddedBackend.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

#include <com/sun/star/container/XNameContainer.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDispatch.hpp>
#include <com/sun/star/frame/XDispatchProvider.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/util/URL.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

#include <cmath>
#include <memory>
#include <thread>

using namespace com::sun::star;
using uno::Reference;
using uno::UNO_QUERY_THROW;

namespace {

Reference<sheet::XSpreadsheet> sheetOf(CalcDocument *document, int index)
{
    return document->sheet(index);
}

void setFormula(CalcDocument *document, int sheet, const char *cell, const QString &formula)
{
    const Reference<sheet::XSpreadsheet> onSheet = sheetOf(document, sheet);
    QVERIFY(onSheet.is());
    onSheet->getCellRangeByName(rtl::OUString::createFromAscii(cell))->getCellByPosition(0, 0)->setFormula(toOUString(formula));
}

void select(CalcDocument *document, const uno::Any &what)
{
    const Reference<view::XSelectionSupplier> view(
        Reference<frame::XModel>(document->model(), UNO_QUERY_THROW)->getCurrentController(), UNO_QUERY_THROW);
    view->select(what);
}

void selectRange(CalcDocument *document, int sheet, const char *range)
{
    select(document, uno::Any(sheetOf(document, sheet)->getCellRangeByName(rtl::OUString::createFromAscii(range))));
}

// A command given in Calc's window, as the user gives it.
void userCommand(CalcDocument *document, const char *command, const char *argument, const uno::Any &value)
{
    const Reference<frame::XFrame> frame =
        Reference<frame::XModel>(document->model(), UNO_QUERY_THROW)->getCurrentController()->getFrame();
    util::URL url;
    url.Protocol = ".uno:";
    url.Path = rtl::OUString::createFromAscii(command);
    url.Main = url.Complete = url.Protocol + url.Path;
    const Reference<frame::XDispatch> dispatch = Reference<frame::XDispatchProvider>(frame, UNO_QUERY_THROW)->queryDispatch(url, "", 0);
    QVERIFY(dispatch.is());
    beans::PropertyValue parameter;
    parameter.Name = rtl::OUString::createFromAscii(argument);
    parameter.Value = value;
    dispatch->dispatch(url, uno::Sequence<beans::PropertyValue>(&parameter, 1));
}

} // namespace

class TestLibreOfficeBackend : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void addressFormsBecomeRelative();
    void attachesToTheRunningOfficeAndStartsOneOnlyWhenNoneRuns();
    void selectionsReachTheLayerInEveryForm();
    void labelsAndTheFormulaTestReadCalc();
    void oneExchangeBatchesItsCellsBySheet();
    void calcAndEmbeddedCellsShareOneExchange();
    void aCalcEditRaisesTheWorksheetChange();
    void aClosedDocumentLetsItsCellsGo();
    void aKilledOfficeDuringMovesReadsNothingAndSaysSoOnce();
    void aHungOfficeIsReleasedByTheWatchdog();
    void tarvioCalcRunsItsCommandsInTheOffice();

private:
    CalcDocument *openBook();
    std::unique_ptr<PrivateOffice> office;
    std::unique_ptr<CalcBackend> backend;
};

void TestLibreOfficeBackend::init()
{
    office = std::make_unique<PrivateOffice>(QString::fromLatin1(QTest::currentTestFunction()).left(20));
}

void TestLibreOfficeBackend::cleanup()
{
    AutomationBackend::setCurrent(nullptr);
    backend.reset();
    // Always, passed or failed: no office outlives its test.
    office.reset();
}

CalcDocument *TestLibreOfficeBackend::openBook()
{
    office->start();
    backend = std::make_unique<CalcBackend>(office->pipe(), office->arguments());
    if (!backend->connectOffice(false)) {
        // The office listens a moment after it starts.
        for (int i = 0; i < 600 && !backend->connectOffice(false); ++i)
            QThread::msleep(100);
    }
    return backend->newDocument();
}

void TestLibreOfficeBackend::addressFormsBecomeRelative()
{
    QString sheet;
    QCOMPARE(CalcAddress::relative(QStringLiteral("$Sheet1.$B$2"), &sheet), QStringLiteral("B2"));
    QCOMPARE(sheet, QStringLiteral("Sheet1"));
    QCOMPARE(CalcAddress::relative(QStringLiteral("$Sheet1.$A$1:$B$3")), QStringLiteral("A1:B3"));
    QCOMPARE(CalcAddress::relative(QStringLiteral("Sheet1.B2:B4,Sheet1.C2:C3")), QStringLiteral("B2:B4;C2:C3"));
    QCOMPARE(CalcAddress::relative(QStringLiteral("$'My Sheet'.$D$5"), &sheet), QStringLiteral("D5"));
    QCOMPARE(sheet, QStringLiteral("My Sheet"));
    QCOMPARE(CalcAddress::relative(QStringLiteral("$'It''s, here'.$A$1,$'It''s, here'.$C$3"), &sheet),
             QStringLiteral("A1;C3"));
    QCOMPARE(sheet, QStringLiteral("It's, here"));

    const QList<CalcArea> areas = CalcAddress::parse(QStringLiteral("B2:C4;E5"), 1);
    QCOMPARE(areas.size(), 2);
    QCOMPARE(areas[0].firstRow, 1);
    QCOMPARE(areas[0].lastColumn, 2);
    QCOMPARE(areas[1].sheet, 1);
    QCOMPARE(CalcAddress::relative(areas), QStringLiteral("B2:C4;E5"));
    QCOMPARE(CalcAddress::relative(CalcAddress::parse(QStringLiteral("A:C"), 0)), QStringLiteral("A:C"));
    QCOMPARE(CalcAddress::relative(CalcAddress::parse(QStringLiteral("3:5"), 0)), QStringLiteral("3:5"));
    QVERIFY(CalcAddress::parse(QStringLiteral("B3:A1"), 0).isEmpty());
    QVERIFY(CalcAddress::parse(QStringLiteral("$A$1"), 0).isEmpty());
    QVERIFY(CalcAddress::parse(QStringLiteral("A1;;B2"), 0).isEmpty());
}

void TestLibreOfficeBackend::attachesToTheRunningOfficeAndStartsOneOnlyWhenNoneRuns()
{
    // None runs: the backend starts one, on the profile it was given.
    {
        CalcBackend starting(office->pipe(), office->arguments());
        QVERIFY(!starting.connectOffice(false));
        QVERIFY(starting.connectOffice(true));
        QVERIFY(!office->pids().isEmpty());
    }
    office->stop();
    QVERIFY(office->pids().isEmpty());

    // One runs, listening elsewhere: it takes the backend's pipe, no second office starts.
    office->start();
    CalcBackend first(office->pipe(), office->arguments());
    for (int i = 0; i < 600 && !first.connectOffice(false); ++i)
        QThread::msleep(100);
    const QList<qint64> before = office->pids(); // the launcher and the office
    QVERIFY(!before.isEmpty());
    CalcBackend second(office->pipe() + QStringLiteral("-other"), office->arguments());
    QVERIFY(second.connectOffice(true));
    QVERIFY(second.newDocument());
    // The other pipe reaches the same office: the document is there for both.
    QCOMPARE(first.mainWindows().size(), 1);
    QTRY_COMPARE(office->pids(), before);
}

void TestLibreOfficeBackend::selectionsReachTheLayerInEveryForm()
{
    CalcDocument *book = openBook();
    QVERIFY(book);
    AutomationBackend::setCurrent(backend.get());
    VRKExcelApplication application;
    const auto selectionAddress = [&] {
        VRKExcelWindow *window = application.activeWindow(false);
        return window->rangeSelection(false)->address();
    };
    selectRange(book, 0, "B2");
    QCOMPARE(selectionAddress(), QStringLiteral("B2"));
    selectRange(book, 0, "A1:B3");
    QCOMPARE(selectionAddress(), QStringLiteral("A1:B3"));

    const Reference<sheet::XSheetCellRangeContainer> areas(
        Reference<lang::XMultiServiceFactory>(book->model(), UNO_QUERY_THROW)->createInstance("com.sun.star.sheet.SheetCellRanges"),
        UNO_QUERY_THROW);
    areas->addRangeAddress(table::CellRangeAddress(0, 1, 1, 1, 3), false);
    areas->addRangeAddress(table::CellRangeAddress(0, 2, 1, 2, 2), false);
    select(book, uno::Any(areas));
    QCOMPARE(selectionAddress(), QStringLiteral("B2:B4;C2:C3"));

    book->model()->getSheets()->insertNewByName("My Sheet", 1);
    Reference<frame::XModel>(book->model(), UNO_QUERY_THROW);
    selectRange(book, 1, "D5");
    QCOMPARE(selectionAddress(), QStringLiteral("D5"));
    QCOMPARE(application.activeWindow(false)->activeSheet(false)->name(), QStringLiteral("My Sheet"));
    // The selection's range lies on the quoted sheet.
    QCOMPARE(application.activeWindow(false)->rangeSelection(false)->worksheet(false)->name(), QStringLiteral("My Sheet"));
}

void TestLibreOfficeBackend::labelsAndTheFormulaTestReadCalc()
{
    CalcDocument *book = openBook();
    QVERIFY(book);
    setFormula(book, 0, "A2", QStringLiteral("Speed"));
    setFormula(book, 0, "B1", QStringLiteral("Launch"));
    setFormula(book, 0, "B2", QStringLiteral("12.5"));
    setFormula(book, 0, "C2", QStringLiteral("=B2*2"));
    setFormula(book, 0, "D2", QStringLiteral("=\"text\""));
    AutomationBackend::setCurrent(backend.get());
    VRKExcelApplication application;
    selectRange(book, 0, "A2:D2");
    VRKExcelWindow *window = application.activeWindow(false);
    QCOMPARE(window->filteredSelection(false), QStringLiteral("A2;B2"));
    QCOMPARE(window->filteredSelection(true), QStringLiteral("C2;D2"));

    VRKExcelSheet *sheet = window->activeSheet(true);
    VRKExcelRange *input = sheet->range(QStringLiteral("B2"), true);
    QCOMPARE(input->findLabels(), (QStringList{QStringLiteral("Speed"), QStringLiteral("Launch")}));
    QCOMPARE(input->value(), QVariant(12.5));
    QCOMPARE(sheet->range(QStringLiteral("C2"), false)->value(), QVariant(25.0));
    QCOMPARE(sheet->range(QStringLiteral("D2"), false)->value(), QVariant(QStringLiteral("text")));
    QVERIFY(!sheet->range(QStringLiteral("E9"), false)->value().isValid());
    QCOMPARE(sheet->range(QStringLiteral("A2"), false)->text(), QVariant(QStringLiteral("Speed")));
    QVERIFY(sheet->range(QStringLiteral("C2"), false)->hasFormula());
    QVERIFY(!input->hasFormula());
    QCOMPARE(application.activeWorkbook(false)->name(), book->name());
    QVERIFY(application.workbooks()->item(book->name(), false));
    QVERIFY(application.activeWorkbook(false)->worksheets()->item(QStringLiteral("Sheet1"), false));
    QVERIFY(!application.activeWorkbook(false)->worksheets()->item(QStringLiteral("Nope"), false));

    // A value written is the number itself, not a rounded one.
    input->setValue(0.1 + 0.2);
    QCOMPARE(sheetOf(book, 0)->getCellByPosition(1, 1)->getValue(), 0.1 + 0.2);
    QVERIFY(!application.activeWorkbook(false)->isSaved());
    application.activeWorkbook(false)->setSaved(true);
    QVERIFY(application.activeWorkbook(false)->isSaved());
}

void TestLibreOfficeBackend::oneExchangeBatchesItsCellsBySheet()
{
    CalcDocument *book = openBook();
    QVERIFY(book);
    book->model()->getSheets()->insertNewByName("Second", 1);
    setFormula(book, 0, "B1", QStringLiteral("=A1*2"));
    setFormula(book, 0, "C1", QStringLiteral("=A1+A2"));
    setFormula(book, 0, "E7", QStringLiteral("=\"no number\""));
    setFormula(book, 1, "B1", QStringLiteral("=$Sheet1.A2*10"));
    AutomationBackend::setCurrent(backend.get());
    VRKExcelApplication application;
    VRKExcelWorkbook *workbook = application.activeWorkbook(true);
    VRKExcelWorksheet *first = workbook->worksheets()->item(QStringLiteral("Sheet1"), true);
    VRKExcelWorksheet *second = workbook->worksheets()->item(QStringLiteral("Second"), true);
    const QList<VRKExcelRange *> inputs{first->range(QStringLiteral("A1"), true), first->range(QStringLiteral("A2"), true)};
    const QList<VRKExcelRange *> watched{first->range(QStringLiteral("C1"), true), first->range(QStringLiteral("B1"), true),
                                         second->range(QStringLiteral("B1"), true), first->range(QStringLiteral("E7"), true)};

    QList<double> read = setCellValuesGetCellValues(inputs, {1.5, 2}, watched);
    QCOMPARE(read.size(), 4);
    QCOMPARE(read[0], 3.5);
    QCOMPARE(read[1], 3.0);
    QCOMPARE(read[2], 20.0);
    QVERIFY(std::isnan(read[3]));

    // Once the cells are known, a move costs one write for the two inputs and
    // one read per sheet, however many cells.
    const quint64 before = backend->bridgeCalls();
    read = setCellValuesGetCellValues(inputs, {0.25, 10}, watched);
    QCOMPARE(backend->bridgeCalls() - before, quint64(3));
    QCOMPARE(read[0], 10.25);
    QCOMPARE(read[1], 0.5);
    QCOMPARE(read[2], 100.0);
    QCOMPARE(sheetOf(book, 0)->getCellByPosition(0, 0)->getValue(), 0.25);
}

void TestLibreOfficeBackend::calcAndEmbeddedCellsShareOneExchange()
{
    CalcDocument *book = openBook();
    QVERIFY(book);
    setFormula(book, 0, "B1", QStringLiteral("=A1*3"));
    AutomationBackend::setCurrent(backend.get());
    VRKExcelApplication calc;
    VRKExcelSheet *calcSheet = calc.activeWindow(true)->activeSheet(true);

    EmbeddedDocument *embedded = EmbeddedBackend::instance().newDocument();
    embedded->editCell({0, 0, 1}, QStringLiteral("=A1+100"));
    AutomationBackend::setCurrent(&EmbeddedBackend::instance());
    VRKExcelApplication ours;
    VRKExcelSheet *ourSheet = ours.activeWindow(true)->activeSheet(true);
    AutomationBackend::setCurrent(nullptr);

    // Each cell goes to its own spreadsheet, whichever is current.
    const QList<double> read = setCellValuesGetCellValues(
        {calcSheet->range(QStringLiteral("A1"), true), ourSheet->range(QStringLiteral("A1"), true)}, {2, 5},
        {ourSheet->range(QStringLiteral("B1"), true), calcSheet->range(QStringLiteral("B1"), true)});
    QCOMPARE(read, (QList<double>{105, 6}));
    QCOMPARE(sheetOf(book, 0)->getCellByPosition(0, 0)->getValue(), 2.0);
    EmbeddedBackend::instance().closeDocument(embedded);
}

void TestLibreOfficeBackend::aCalcEditRaisesTheWorksheetChange()
{
    CalcDocument *book = openBook();
    QVERIFY(book);
    AutomationBackend::setCurrent(backend.get());
    VRKExcelApplication application;
    VRKExcelSheet *sheet = application.activeWindow(true)->activeSheet(true);
    QStringList changed;
    connect(sheet, &VRKExcelSheet::rangeChanged, this, [&](VRKExcelRange *range) { changed << range->address(); });

    // Our own writes do not come back as edits.
    sheet->range(QStringLiteral("C5"), false)->setValue(3.0);
    QTest::qWait(200);
    QVERIFY(changed.isEmpty());

    // The user types into C5 in Calc.
    selectRange(book, 0, "C5");
    userCommand(book, "EnterString", "StringName", uno::Any(rtl::OUString("12")));
    QTRY_COMPARE(changed, QStringList{QStringLiteral("C5")});
    QCOMPARE(sheetOf(book, 0)->getCellByPosition(2, 4)->getValue(), 12.0);
}

void TestLibreOfficeBackend::aClosedDocumentLetsItsCellsGo()
{
    CalcDocument *book = openBook();
    QVERIFY(book);
    AutomationBackend::setCurrent(backend.get());
    VRKExcelApplication application;
    VRKExcelSheet *sheet = application.activeWindow(true)->activeSheet(true);
    VRKExcelRange *cell = sheet->range(QStringLiteral("A1"), true);
    cell->setValue(4.0);
    QCOMPARE(setCellValuesGetCellValues({}, {}, {cell}), QList<double>{4.0});

    Reference<util::XCloseable>(book->model(), UNO_QUERY_THROW)->close(true);
    QTRY_VERIFY(!cell->isAvailable());
    const QList<double> read = setCellValuesGetCellValues({cell}, {5.0}, {cell});
    QCOMPARE(read.size(), 1);
    QVERIFY(std::isnan(read[0]));
    QVERIFY(backend->mainWindows().isEmpty());
}

void TestLibreOfficeBackend::aKilledOfficeDuringMovesReadsNothingAndSaysSoOnce()
{
    CalcDocument *book = openBook();
    QVERIFY(book);
    setFormula(book, 0, "B1", QStringLiteral("=A1*2"));
    AutomationBackend::setCurrent(backend.get());
    QSignalSpy lost(backend.get(), &CalcBackend::officeLost);
    VRKExcelApplication application;
    VRKExcelSheet *sheet = application.activeWindow(true)->activeSheet(true);
    VRKExcelRange *input = sheet->range(QStringLiteral("A1"), true);
    VRKExcelRange *output = sheet->range(QStringLiteral("B1"), true);
    QCOMPARE(setCellValuesGetCellValues({input}, {1}, {output}), QList<double>{2});

    // The office dies while the moves go on.
    std::thread killer([this] {
        QThread::msleep(100);
        office->signal(SIGKILL);
    });
    int moves = 0;
    for (; moves < 100000 && lost.isEmpty(); ++moves) {
        setCellValuesGetCellValues({input}, {double(moves)}, {output});
        QCoreApplication::processEvents();
    }
    killer.join();
    QCOMPARE(lost.size(), 1);
    const QList<double> read = setCellValuesGetCellValues({input}, {7}, {output});
    QVERIFY(std::isnan(read.value(0)));
    QVERIFY(!output->isAvailable());
    QCoreApplication::processEvents();
    QCOMPARE(lost.size(), 1);
}

void TestLibreOfficeBackend::aHungOfficeIsReleasedByTheWatchdog()
{
    CalcDocument *book = openBook();
    QVERIFY(book);
    AutomationBackend::setCurrent(backend.get());
    QSignalSpy lost(backend.get(), &CalcBackend::officeLost);
    VRKExcelApplication application;
    VRKExcelRange *cell = application.activeWindow(true)->activeSheet(true)->range(QStringLiteral("A1"), true);
    QCOMPARE(setCellValuesGetCellValues({cell}, {3}, {cell}), QList<double>{3});

    office->signal(SIGSTOP);
    QElapsedTimer released;
    released.start();
    const QList<double> read = setCellValuesGetCellValues({cell}, {4}, {cell});
    // The watchdog lets go after 3 s; only a far longer wait is a fault.
    QVERIFY2(released.elapsed() < 10000, qPrintable(QString::number(released.elapsed())));
    QVERIFY(std::isnan(read.value(0)));
    QCOMPARE(lost.size(), 1);
    QVERIFY(lost.first().first().toString().contains(QStringLiteral("stopped answering")));
    QVERIFY(!cell->isAvailable());
}

namespace {

struct CalcRun
{
    int status = -1;
    QByteArray out, err;
};

CalcRun runTarvioCalc(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TARVIO_CALC), arguments);
    process.waitForFinished(300000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace

void TestLibreOfficeBackend::tarvioCalcRunsItsCommandsInTheOffice()
{
    QTemporaryDir folder;
    const QString model = folder.filePath(QStringLiteral("projectile.xlsx"));
    QVERIFY(QFile::copy(QStringLiteral(TARVIO_EXAMPLES "/projectile.xlsx"), model));
    office->start();
    backend = std::make_unique<CalcBackend>(office->pipe(), office->arguments());
    for (int i = 0; i < 600 && !backend->connectOffice(false); ++i)
        QThread::msleep(100);
    QVERIFY(backend->connectOffice(false));

    // The same numbers, digit for digit, as the embedded engine's; text as shown.
    const QStringList scan{model, QStringLiteral("--set"), QStringLiteral("B4=25"), QStringLiteral("--scan"),
                           QStringLiteral("B3=10:80:8"), QStringLiteral("--get"), QStringLiteral("B9,B11,A1")};
    const CalcRun embedded = runTarvioCalc(scan);
    const CalcRun inOffice = runTarvioCalc(scan + QStringList{QStringLiteral("--office"), QStringLiteral("--pipe"), office->pipe()});
    QCOMPARE(inOffice.status, 0);
    QCOMPARE(inOffice.out, embedded.out);
    QVERIFY(inOffice.out.contains("Projectile without air resistance"));
    QVERIFY2(inOffice.err.contains("points: 8  seconds: "), inOffice.err.constData());
    // The office it was pointed at keeps running, without the file, and the file is unchanged.
    QVERIFY(!office->pids().isEmpty());
    QVERIFY(backend->documents().isEmpty());
    QCOMPARE(runTarvioCalc({model, QStringLiteral("--get"), QStringLiteral("B4")}).out, QByteArray("30\n"));

    // The user's open copy is never written or closed under them.
    QVERIFY(backend->openDocument(model, nullptr));
    const CalcRun open = runTarvioCalc({model, QStringLiteral("--office"), QStringLiteral("--pipe"), office->pipe(),
                                        QStringLiteral("--get"), QStringLiteral("B9")});
    QCOMPARE(open.status, 2);
    QVERIFY2(open.err.contains("is open in that office"), open.err.constData());
    QCOMPARE(backend->documents().size(), 1);

    const CalcRun nobody = runTarvioCalc({model, QStringLiteral("--office"), QStringLiteral("--pipe"),
                                          office->pipe() + QStringLiteral("-nobody"), QStringLiteral("--get"),
                                          QStringLiteral("B9")});
    QCOMPARE(nobody.status, 2);
    QVERIFY2(nobody.err.contains("no office listens"), nobody.err.constData());
}

QTEST_MAIN(TestLibreOfficeBackend)
#include "tst_libreoffice_backend.moc"
