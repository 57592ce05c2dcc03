// Files read without losing what they hold: every cell arrives where the file
// put it, formulas this program cannot evaluate keep their text and result,
// and what cannot be read is reported with where it was. The fixtures are made
// by tests/fixtures/make-fixtures.sh.
#include "Workbook.h"
#include "io/BuildWorkbook.h"
#include "io/WorkbookFiles.h"
#include "io/XlsxSheetNames.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <set>

#include <QTemporaryDir>
#include <QTest>

using namespace workbook;

namespace {

const std::string fixtures = TARVIO_FIXTURES;

// Reads a file as the program does, through the reader program.
LoadReport readFile(const std::string &path, Workbook &book)
{
    return loadWorkbookFile(path, book);
}

CellLocation at(Workbook &book, const char *reference)
{
    const auto range = parseRangeReference(reference);
    const SheetIndex sheet = range->sheet.empty() ? 0 : book.findSheet(range->sheet);
    return {sheet, range->first.row, range->first.column};
}

std::string shown(Workbook &book, const char *reference)
{
    return displayText(book.value(at(book, reference)));
}

double number(Workbook &book, const char *reference)
{
    const Value v = book.value(at(book, reference));
    return v.isNumber() ? v.asNumber() : std::nan("");
}

bool mentions(const std::vector<std::string> &lines, const std::string &text)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) { return line.find(text) != std::string::npos; });
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string all;
    for (const std::string &line : lines)
        all += line + "\n";
    return all;
}

size_t cellCount(Workbook &book)
{
    size_t count = 0;
    for (SheetIndex s = 0; s < book.sheetCount(); ++s)
        book.forEachCell(s, [&count](int, int) { ++count; });
    return count;
}

// Every cell of `before` as `after` holds it, under the names saving gave the sheets.
void compareAfterSaving(Workbook &before, Workbook &after)
{
    std::vector<std::string> names;
    for (SheetIndex s = 0; s < before.sheetCount(); ++s)
        names.push_back(before.sheetName(s));
    const XlsxSheetNames saved(names);
    QCOMPARE(after.sheetCount(), before.sheetCount());
    QCOMPARE(cellCount(after), cellCount(before));
    for (SheetIndex s = 0; s < before.sheetCount(); ++s) {
        QCOMPARE(after.sheetName(s), saved.name(s));
        before.forEachCell(s, [&](int row, int column) {
            const CellLocation where{s, row, column};
            const CellInput was = before.input(where), is = after.input(where);
            const std::string cell = before.sheetName(s) + "!" + cellText({row, column});
            QVERIFY2(is.isFormula == was.isFormula && is.isKept == was.isKept, cell.c_str());
            if (was.isFormula)
                QVERIFY2(is.formula == saved.formula(was.formula), (cell + ": " + is.formula).c_str());
            QVERIFY2(after.value(where) == before.value(where),
                     (cell + ": " + displayText(after.value(where)) + " was " + displayText(before.value(where))).c_str());
        });
    }
}

} // namespace

class TestImportFidelity : public QObject
{
    Q_OBJECT
private slots:
    void xlsxCellsOfEveryKindArrive();
    void cellsOffTheSheetOrWithBrokenAddressesAreSkippedAndReported();
    void aTextColumnOfAFullHeightSheetArrives();
    void formulasThisProgramCannotEvaluateKeepTheirTextAndResult();
    void keptFormulasSurviveAnEditAndASave();
    void aKeptFormulaIsReplacedByAnyOtherWrite();
    void arrayConstantsAndArrayFormulasArriveEvaluatedAndSurviveASave();
    void openDocumentArraysAndMatrixFormulasArriveEvaluated();
    void openDocumentCellsArriveWhereTheFilePutThem();
    void openDocumentTextKeepsSpacesTabsBreaksAndParagraphs();
    void csvAsTheSpreadsheetWritesItReadsWhole();
    void openDocumentFunctionsComputeAsTheirXlsxTwins();
    void malformedCsvIsReadAsWellAsItCanAndReportedByLine();
    void longSheetNamesAreKeptAndShortenedForXlsx();
    void sheetNamesTheWorkbookCannotTakeAreReported();
    void everyFixtureSurvivesSavingAndReading_data();
    void everyFixtureSurvivesSavingAndReading();

private:
    QTemporaryDir m_dir;
    std::string path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)).toStdString(); }
};

void TestImportFidelity::xlsxCellsOfEveryKindArrive()
{
    Workbook book;
    const LoadReport report = readFile(fixtures + "/import-cells.xlsx", book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(shown(book, "A1"), std::string("inline text"));
    QCOMPARE(shown(book, "B1"), std::string("#DIV/0!"));
    QVERIFY(book.value(at(book, "B1")).isError());
    QCOMPARE(number(book, "C1"), 45366.5); // 2024-03-15 noon, as the spreadsheet numbers it
    QCOMPARE(shown(book, "D1"), std::string("5"));
    QCOMPARE(shown(book, "E1"), std::string("rich text & more"));
    QCOMPARE(shown(book, "F1"), std::string("漢字")); // without its reading aid
    QCOMPARE(shown(book, "G1"), std::string("#N/A"));
    QCOMPARE(shown(book, "H1"), std::string("TRUE"));
    QCOMPARE(number(book, "A2"), 45366.0);
    QCOMPARE(number(book, "B2"), 45366.25);
    QCOMPARE(shown(book, "C2"), std::string("no address")); // next to B2
    QCOMPARE(shown(book, "A1048576"), std::string("last row"));
}

void TestImportFidelity::cellsOffTheSheetOrWithBrokenAddressesAreSkippedAndReported()
{
    Workbook book;
    const LoadReport report = readFile(fixtures + "/import-cells.xlsx", book);
    QVERIFY2(report.ok, report.message.c_str());
    // Nothing lands in A1 that the file did not put there, and the row goes on after the broken cells.
    QCOMPARE(shown(book, "A1"), std::string("inline text"));
    QCOMPARE(shown(book, "A3"), std::string());
    QCOMPARE(shown(book, "B3"), std::string("8"));
    QCOMPARE(shown(book, "C3"), std::string("after the broken ones"));
    QCOMPARE(shown(book, "A9"), std::string());
    QCOMPARE(shown(book, "XFD4"), std::string("11"));
    const std::string lines = joined(report.notRead);
    QVERIFY2(mentions(report.notRead, "Cells row 3: the cell at \"ZZ!3\", not a cell address, is not read"), lines.c_str());
    QVERIFY2(mentions(report.notRead, "Cells row 3: the cell at \"A9\", in another row, is not read"), lines.c_str());
    QVERIFY2(mentions(report.notRead, "Cells!XFE4 is right of the sheet's last column, XFD, and is not read"), lines.c_str());
    QVERIFY2(mentions(report.notRead, "Cells!ZZZZ4 is right of"), lines.c_str());
    QVERIFY2(mentions(report.notRead, "Cells!A1048577 is below the sheet's last row, 1048576, and is not read"), lines.c_str());
    QCOMPARE(report.notRead.size(), size_t(5));
    // Saving over the file would lose them: the caller is told.
    QVERIFY(mentions(report.unsupported, "cells with broken addresses"));
    QVERIFY(mentions(report.unsupported, "cells beyond the sheet's last row or column"));
}

void TestImportFidelity::aTextColumnOfAFullHeightSheetArrives()
{
    // Written as libxlsxwriter writes large sheets: every text an inline string.
    const std::string file = path("tall.xlsx");
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *out = workbook_new_opt(file.c_str(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(out, "Tall");
    for (lxw_row_t row = 0; row < lxw_row_t(maxRows); ++row)
        worksheet_write_string(sheet, row, 1, row % 2 ? "odd" : "even", nullptr);
    QCOMPARE(workbook_close(out), LXW_NO_ERROR);

    Workbook book;
    const LoadReport report = readFile(file, book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(cellCount(book), size_t(maxRows));
    QCOMPARE(shown(book, "B1"), std::string("even"));
    QCOMPARE(shown(book, "B1048576"), std::string("odd"));
    QVERIFY(report.notRead.empty());
}

void TestImportFidelity::formulasThisProgramCannotEvaluateKeepTheirTextAndResult()
{
    Workbook book;
    const LoadReport report = readFile(fixtures + "/kept-formulas.xlsx", book);
    QVERIFY2(report.ok, report.message.c_str());
    // Each shows the result the file cached, of the kind it cached.
    QCOMPARE(shown(book, "B1"), std::string("42"));
    QCOMPARE(shown(book, "B2"), std::string("#REF!"));
    QVERIFY(book.value(at(book, "B2")).isError());
    QCOMPARE(shown(book, "B3"), std::string("2024"));
    QCOMPARE(shown(book, "B4"), std::string("TRUE"));
    QVERIFY(book.value(at(book, "B4")).isBoolean());
    QCOMPARE(shown(book, "C1"), std::string("5"));
    const CellInput kept = book.input(at(book, "B1"));
    QVERIFY(kept.isFormula && kept.isKept);
    QCOMPARE(kept.formula, std::string("[1]Prices!$A$1*2"));
    QVERIFY(book.hasFormula(at(book, "B3")));
    // Formulas that can be evaluated are, whatever the file cached; they read the kept results.
    QCOMPARE(shown(book, "B5"), std::string("#DIV/0!"));
    QVERIFY(!book.input(at(book, "B5")).isKept);
    QCOMPARE(shown(book, "B7"), std::string("44"));
    QCOMPARE(report.unreadableFormulas, size_t(5));
    QCOMPARE(std::set<std::string>(report.unreadableFormulaCells.begin(), report.unreadableFormulaCells.end()),
             (std::set<std::string>{"Model!B1", "Model!C1", "Model!B2", "Model!B3", "Model!B4"}));
    // A copy of a shared formula whose text cannot be moved keeps only its value; the name outside keeps nothing.
    QCOMPARE(shown(book, "C2"), std::string("6"));
    QVERIFY(!book.hasFormula(at(book, "C2")));
    QVERIFY2(mentions(report.notRead, "Model!C2: the formula it shares with C1 cannot be read here; its value is kept"),
             joined(report.notRead).c_str());
    QVERIFY2(mentions(report.notRead, "the name Outside ([1]Prices!$A$1) cannot be read"), joined(report.notRead).c_str());
    QVERIFY(mentions(report.unsupported, "shared formulas that cannot be read"));
    QVERIFY(mentions(report.unsupported, "names that cannot be read"));
}

void TestImportFidelity::keptFormulasSurviveAnEditAndASave()
{
    Workbook book;
    QVERIFY(readFile(fixtures + "/kept-formulas.xlsx", book).ok);
    book.setValue(at(book, "A1"), Value::number(3));
    QCOMPARE(shown(book, "B6"), std::string("9"));
    QCOMPARE(shown(book, "B1"), std::string("42")); // recalculation leaves it alone
    book.recalculateAll();
    QCOMPARE(shown(book, "B1"), std::string("42"));
    QCOMPARE(shown(book, "B7"), std::string("45"));

    const std::string file = path("kept.xlsx");
    std::string message;
    QVERIFY2(saveWorkbookXlsx(book, file, message), message.c_str());
    Workbook again;
    const LoadReport report = readFile(file, again);
    QVERIFY2(report.ok, report.message.c_str());
    for (const char *cell : {"B1", "B2", "B3", "B4", "C1"}) {
        QCOMPARE(again.input(at(again, cell)).formula, book.input(at(book, cell)).formula);
        QVERIFY(again.input(at(again, cell)).isKept);
        QVERIFY2(again.value(at(again, cell)) == book.value(at(book, cell)), cell);
    }
    QCOMPARE(shown(again, "A1"), std::string("3"));
    QCOMPARE(shown(again, "B6"), std::string("9"));
    QCOMPARE(report.unreadableFormulas, size_t(5));
}

void TestImportFidelity::aKeptFormulaIsReplacedByAnyOtherWrite()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    QVERIFY(book.setKeptFormula({s, 0, 0}, "=[2]Other!A1", Value::number(7)));
    QVERIFY(book.setFormula({s, 0, 1}, "A1*2"));
    QCOMPARE(displayText(book.value({s, 0, 1})), std::string("14"));
    QCOMPARE(book.input({s, 0, 0}).formula, std::string("[2]Other!A1"));
    // The same value typed over it is a constant now.
    QVERIFY(book.setValue({s, 0, 0}, Value::number(7)));
    QVERIFY(!book.hasFormula({s, 0, 0}));
    QVERIFY(!book.input({s, 0, 0}).isFormula);
    QVERIFY(book.setKeptFormula({s, 1, 0}, "[2]Other!A2", Value()));
    QVERIFY(book.setFormula({s, 1, 0}, "5"));
    QVERIFY(!book.input({s, 1, 0}).isKept);
    QVERIFY(book.setKeptFormula({s, 2, 0}, "[2]Other!A3", Value::text("x")));
    book.clearCell({s, 2, 0});
    QVERIFY(!book.hasFormula({s, 2, 0}));
    int cells = 0;
    book.forEachCell(s, [&cells](int, int) { ++cells; });
    QCOMPARE(cells, 3); // A1, B1 and A2
}

void TestImportFidelity::openDocumentCellsArriveWhereTheFilePutThem()
{
    Workbook book;
    const LoadReport report = readFile(fixtures + "/ods-cells.ods", book);
    QVERIFY2(report.ok, report.message.c_str());
    // Merged cells take their columns: what follows stays in place.
    QCOMPARE(shown(book, "B1"), std::string("merged"));
    QCOMPARE(shown(book, "C1"), std::string());
    QCOMPARE(shown(book, "D1"), std::string("4"));
    QCOMPARE(shown(book, "E1"), std::string("8"));
    QCOMPARE(book.input(at(book, "E1")).formula, std::string("D1*2"));
    // Repeated rows are all there.
    for (const char *cell : {"A2", "A3", "A4"})
        QCOMPARE(shown(book, cell), std::string("5"));
    QCOMPARE(shown(book, "C4"), std::string("0.5"));
    QCOMPARE(shown(book, "D2"), std::string()); // nothing past them
    // Repeats past a thousand columns.
    QCOMPARE(shown(book, (columnLetters(1999) + "5").c_str()), std::string("TRUE"));
    QCOMPARE(shown(book, (columnLetters(2000) + "5").c_str()), std::string());
    QCOMPARE(shown(book, (columnLetters(1499) + "6").c_str()), std::string("2.5"));
    // Times as fractions of a day; dates counted from 1899-12-30.
    QCOMPARE(number(book, "A7"), 12.5 / 24);
    QCOMPARE(number(book, "B7"), 1.5);
    QCOMPARE(number(book, "C7"), 0.0);
    QCOMPARE(number(book, "D7"), 45366.25);
    QCOMPARE(shown(book, "A9"), std::string("#DIV/0!"));
    QCOMPARE(shown(book, "B9"), std::string("15"));
    QCOMPARE(shown(book, "Column!A100000"), std::string("1"));
    QCOMPARE(shown(book, "Column!A100001"), std::string());
    QVERIFY(report.notRead.empty());
    QVERIFY(mentions(report.unsupported, "comments"));
}

void TestImportFidelity::openDocumentTextKeepsSpacesTabsBreaksAndParagraphs()
{
    Workbook book;
    QVERIFY(readFile(fixtures + "/ods-cells.ods", book).ok);
    QCOMPARE(shown(book, "A8"), std::string("a   b\tc\nd\nsecond"));
    QCOMPARE(shown(book, "B8"), std::string("x y"));
    QCOMPARE(shown(book, "C8"), std::string("shown")); // the comment is not the cell's text
    QCOMPARE(shown(book, "D8"), std::string("one two"));
}

void TestImportFidelity::csvAsTheSpreadsheetWritesItReadsWhole()
{
    Workbook book;
    const LoadReport report = readFile(fixtures + "/excel.csv", book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(shown(book, "A1"), std::string("name")); // no byte-order mark
    QCOMPARE(shown(book, "C1"), std::string("note"));
    QCOMPARE(shown(book, "C2"), std::string("plain"));
    QCOMPARE(shown(book, "C3"), std::string("with \"quotes\", and comma"));
    QCOMPARE(shown(book, "B4"), std::string("3.5"));
    QCOMPARE(shown(book, "C4"), std::string("two\nlines"));
    QCOMPARE(cellCount(book), size_t(12));
    for (SheetIndex s = 0; s < book.sheetCount(); ++s)
        book.forEachCell(s, [&](int row, int column) {
            QVERIFY(displayText(book.value({s, row, column})).find('\r') == std::string::npos);
        });
    QVERIFY2(report.notRead.empty(), joined(report.notRead).c_str());
}

// Legacy, Microsoft, office and OpenFormula names on one side, the xlsx
// names on the other: both files compute the same numbers (neither caches any).
void TestImportFidelity::openDocumentFunctionsComputeAsTheirXlsxTwins()
{
    Workbook ods, xlsx;
    const LoadReport odsReport = readFile(fixtures + "/function-twins.ods", ods);
    const LoadReport xlsxReport = readFile(fixtures + "/function-twins.xlsx", xlsx);
    QVERIFY2(odsReport.ok, odsReport.message.c_str());
    QVERIFY2(xlsxReport.ok, xlsxReport.message.c_str());
    QCOMPARE(odsReport.unreadableFormulas, 0);
    for (int row = 1; row <= 12; ++row) {
        const std::string cell = "B" + std::to_string(row);
        const Value fromOds = ods.value(at(ods, cell.c_str())), fromXlsx = xlsx.value(at(xlsx, cell.c_str()));
        QVERIFY2(fromOds.isNumber() && fromOds.asNumber() != 0, (cell + ": " + displayText(fromOds)).c_str());
        QCOMPARE(fromOds.asNumber(), fromXlsx.asNumber());
        QCOMPARE(ods.input(at(ods, cell.c_str())).formula, xlsx.input(at(xlsx, cell.c_str())).formula);
    }
}

void TestImportFidelity::malformedCsvIsReadAsWellAsItCanAndReportedByLine()
{
    Workbook book;
    const LoadReport report = readFile(fixtures + "/malformed.csv", book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(shown(book, "B2"), std::string("xy"));
    QCOMPARE(shown(book, "B3"), std::string("=1+"));
    QCOMPARE(shown(book, "XFD4"), std::string("lastcol"));
    QCOMPARE(shown(book, "B5"), std::string("after"));
    QCOMPARE(shown(book, "B6"), std::string("\"never closed"));
    QCOMPARE(shown(book, "A7"), std::string("7"));
    QCOMPARE(shown(book, "B7"), std::string("last"));
    const std::string lines = joined(report.notRead);
    QVERIFY2(mentions(report.notRead, "line 2: text after a field's closing quote (column B) is read as part of the field"),
             lines.c_str());
    QVERIFY2(mentions(report.notRead, "line 3: data!B3 is not a formula this program reads; it is kept as text"), lines.c_str());
    QVERIFY2(mentions(report.notRead, "line 4: 2 fields right of column XFD are not read"), lines.c_str());
    QVERIFY2(mentions(report.notRead, "line 6: a quote that is never closed is read as text"), lines.c_str());
    QCOMPARE(report.notRead.size(), size_t(4));
    QVERIFY(mentions(report.unsupported, "fields right of column XFD"));
}

void TestImportFidelity::longSheetNamesAreKeptAndShortenedForXlsx()
{
    Workbook book;
    const LoadReport report = readFile(fixtures + "/long-sheet-names.ods", book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(book.sheetName(0), std::string("Quarterly revenue by region and product line"));
    QCOMPARE(book.sheetName(1), std::string("Quarterly revenue by region and product mix"));
    QCOMPARE(shown(book, "Summary!A1"), std::string("30"));

    const std::string file = path("long-names.xlsx");
    std::string message;
    QVERIFY2(saveWorkbookXlsx(book, file, message), message.c_str());
    QCOMPARE(message, std::string("the sheet \"Quarterly revenue by region and product line\" is saved as \"Quarterly revenue by region and\"; "
                                  "the sheet \"Quarterly revenue by region and product mix\" is saved as \"Quarterly revenue by region a~2\" "
                                  "(an xlsx sheet name holds at most 31 characters; formulas name the sheets so)"));
    Workbook again;
    QVERIFY(readFile(file, again).ok);
    QCOMPARE(again.sheetName(1), std::string("Quarterly revenue by region a~2"));
    QCOMPARE(again.input(at(again, "Summary!A1")).formula,
             std::string("'Quarterly revenue by region and'!A1+'Quarterly revenue by region a~2'!A1"));
    again.setValue({1, 0, 0}, Value::number(25));
    QCOMPARE(shown(again, "Summary!A1"), std::string("35"));

    // Quoted names with quotes in them, names inside text and unquoted names.
    const XlsxSheetNames names({"It's a sheet name of more than 31 characters", "LongNameWithoutSpacesThatGoesOnAndOn", "S"});
    QCOMPARE(names.formula("='It''s a sheet name of more than 31 characters'!A1&\"It's a sheet name of more than 31 characters!\""
                           "+LongNameWithoutSpacesThatGoesOnAndOn!B2+S!C3+longnamewithoutspacesthatgoesonandon!D4"),
             std::string("='It''s a sheet name of more than'!A1&\"It's a sheet name of more than 31 characters!\""
                         "+LongNameWithoutSpacesThatGoesOn!B2+S!C3+LongNameWithoutSpacesThatGoesOn!D4"));
}

void TestImportFidelity::sheetNamesTheWorkbookCannotTakeAreReported()
{
    ImportedData data;
    data.sheets.push_back(ImportedSheet{"Data", {}, {}, {}, {}, {}});
    data.sheets.push_back(ImportedSheet{"DATA", {}, {}, {}, {}, {}});
    Workbook book;
    const LoadReport report = buildWorkbook(data, book);
    QCOMPARE(book.sheetName(1), std::string("Sheet2"));
    QCOMPARE(report.notRead, std::vector<std::string>{"the sheet \"DATA\" is named Sheet2: a sheet name cannot be empty, "
                                                      "repeat another or hold : \\ / ? * [ ]"});
    QVERIFY(mentions(report.unsupported, "sheet names this program cannot take"));
}

void TestImportFidelity::arrayConstantsAndArrayFormulasArriveEvaluatedAndSurviveASave()
{
    Workbook book;
    const LoadReport report = readFile(fixtures + "/array-formulas.xlsx", book);
    QVERIFY2(report.ok, report.message.c_str());
    // CORREL of a constant series divides by its zero spread.
    QCOMPARE(shown(book, "C1"), std::string("#DIV/0!"));
    QVERIFY(!book.input(at(book, "C1")).isKept);
    QCOMPARE(shown(book, "C3"), std::string("31"));
    QCOMPARE(shown(book, "E1"), std::string("11"));
    QCOMPARE(shown(book, "E2"), std::string("10"));
    for (const auto &[cell, value] : {std::pair{"D1", "2"}, {"D2", "4"}, {"D3", "6"}}) {
        QCOMPARE(shown(book, cell), std::string(value));
        QCOMPARE(book.input(at(book, cell)).arrayRows, 3);
    }
    QCOMPARE(book.input(at(book, "D3")).arrayRow, 2);
    // An unknown function keeps the text and result, array constant and all.
    QCOMPARE(shown(book, "C2"), std::string("7"));
    QCOMPARE(shown(book, "E3"), std::string("kept"));
    QCOMPARE(book.input(at(book, "E3")).formula, std::string("NOSUCHFUNCTION({1,\"a\";TRUE,#N/A})"));
    QCOMPARE(std::set<std::string>(report.unreadableFormulaCells.begin(), report.unreadableFormulaCells.end()),
             (std::set<std::string>{"Arrays!C2", "Arrays!E3"}));

    book.setValue(at(book, "A1"), Value::number(5));
    QCOMPARE(shown(book, "D1"), std::string("10"));
    QCOMPARE(shown(book, "C3"), std::string("39"));
    QCOMPARE(shown(book, "E1"), std::string("13"));
    const std::string file = path("arrays.xlsx");
    std::string message;
    QVERIFY2(saveWorkbookXlsx(book, file, message), message.c_str());
    Workbook again;
    const LoadReport second = readFile(file, again);
    QVERIFY2(second.ok, second.message.c_str());
    QCOMPARE(second.unreadableFormulas, size_t(2));
    for (const char *cell : {"C1", "C2", "C3", "D1", "D2", "D3", "E1", "E2", "E3"}) {
        const CellInput was = book.input(at(book, cell)), is = again.input(at(again, cell));
        QVERIFY2(is.formula == was.formula && is.isKept == was.isKept && is.arrayRows == was.arrayRows, cell);
        QVERIFY2(again.value(at(again, cell)) == book.value(at(book, cell)), cell);
    }
}

void TestImportFidelity::openDocumentArraysAndMatrixFormulasArriveEvaluated()
{
    Workbook book;
    const LoadReport report = readFile(fixtures + "/array-formulas.ods", book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(book.input(at(book, "B1")).formula, std::string("SUM({1,2;3,4})"));
    QCOMPARE(shown(book, "B1"), std::string("10"));
    QCOMPARE(shown(book, "B2"), std::string("#DIV/0!"));
    QCOMPARE(book.input(at(book, "C2")).arrayRows, 2);
    book.setValue(at(book, "A2"), Value::number(5));
    QCOMPARE(shown(book, "C2"), std::string("10"));
    QVERIFY(book.input(at(book, "D1")).isKept);
    QCOMPARE(shown(book, "D1"), std::string());
    QCOMPARE(report.unreadableFormulaCells, std::vector<std::string>{"Arrays!D1"});
}

void TestImportFidelity::everyFixtureSurvivesSavingAndReading_data()
{
    QTest::addColumn<QString>("fixture");
    for (const char *name : {"import-cells.xlsx", "kept-formulas.xlsx", "array-formulas.xlsx", "array-formulas.ods",
                             "ods-cells.ods", "long-sheet-names.ods", "excel.csv", "malformed.csv", "model.ods",
                             "function-twins.ods", "function-twins.xlsx"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestImportFidelity::everyFixtureSurvivesSavingAndReading()
{
    QFETCH(QString, fixture);
    Workbook book;
    const LoadReport report = readFile(fixtures + "/" + fixture.toStdString(), book);
    QVERIFY2(report.ok, report.message.c_str());
    // What was not read is told, and makes saving over the file a loss the caller is told of.
    QVERIFY(report.notRead.empty() || !report.unsupported.empty());
    const std::string file = path("round-trip.xlsx");
    std::string message;
    QVERIFY2(saveWorkbookXlsx(book, file, message), message.c_str());
    Workbook again;
    const LoadReport second = readFile(file, again);
    QVERIFY2(second.ok, second.message.c_str());
    QVERIFY2(second.notRead.empty(), joined(second.notRead).c_str());
    QCOMPARE(second.unreadableFormulas, report.unreadableFormulas);
    compareAfterSaving(book, again);
}

QTEST_GUILESS_MAIN(TestImportFidelity)
#include "tst_import_fidelity.moc"
