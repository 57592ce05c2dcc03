#include "FormulaParser.h"
#include "RowsColumns.h"
#include "Workbook.h"

#include <QTest>

using namespace workbook;

namespace {

RowsColumnsChange rows(int first, int count)
{
    return {RowsColumnsChange::Axis::Rows, first, count};
}

RowsColumnsChange columns(int first, int count)
{
    return {RowsColumnsChange::Axis::Columns, first, count};
}

QString formulaAt(Workbook &book, SheetIndex sheet, int row, int column)
{
    const CellInput input = book.input({sheet, row, column});
    return input.isFormula ? QString::fromStdString(input.formula) : QStringLiteral("(no formula)");
}

QString shown(Workbook &book, SheetIndex sheet, int row, int column)
{
    return QString::fromStdString(displayText(book.value({sheet, row, column})));
}

} // namespace

// Inserting and deleting rows and columns: cells move, references follow them.
class TestRowsColumns : public QObject
{
    Q_OBJECT
private slots:
    void spansMoveGrowAndShrink();
    void referencesFollowTheirCells_data();
    void referencesFollowTheirCells();
    void cellsFormulasAndNamesMoveTogether();
    void otherSheetsFollowTooAndColumnsKeepTheirWidths();
    void anInsertThatWouldLoseCellsIsRefused();
    void looksMoveWithTheirCells();
};

void TestRowsColumns::spansMoveGrowAndShrink()
{
    using Span = std::optional<std::pair<int, int>>;
    // Two rows inserted before row 5 (0-based 4).
    QCOMPARE(rows(4, 2).moveSpan(0, 3), Span({0, 3}));  // above: stays, does not grow
    QCOMPARE(rows(4, 2).moveSpan(2, 4), Span({2, 6}));  // across: grows
    QCOMPARE(rows(4, 2).moveSpan(4, 9), Span({6, 11})); // from it on: moves
    QCOMPARE(rows(maxRows - 1, 1).moveSpan(maxRows - 1, maxRows - 1), Span()); // pushed off
    // Rows 5..7 (0-based 4..6) deleted.
    QCOMPARE(rows(4, -3).moveSpan(0, 3), Span({0, 3}));
    QCOMPARE(rows(4, -3).moveSpan(2, 5), Span({2, 3}));  // loses its end
    QCOMPARE(rows(4, -3).moveSpan(5, 9), Span({4, 6}));  // loses its start
    QCOMPARE(rows(4, -3).moveSpan(2, 9), Span({2, 6}));  // loses its middle
    QCOMPARE(rows(4, -3).moveSpan(4, 6), Span());        // gone whole
    QCOMPARE(rows(4, -3).moveSpan(8, 8), Span({5, 5}));
    const auto range = columns(1, 1).moveRange(CellRange{0, 2, 0, 3, 4});
    QVERIFY(range);
    QCOMPARE(*range, (CellRange{0, 2, 0, 3, 5}));
}

void TestRowsColumns::referencesFollowTheirCells_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("rowsAxis");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("below moves") << "A5*2" << true << 2 << 1 << "A6*2";
    QTest::newRow("absolute moves too") << "$B$5+B$5+$B5" << true << 2 << 2 << "$B$7+B$7+$B7";
    QTest::newRow("above stays") << "A2" << true << 2 << 1 << "A2";
    QTest::newRow("range grows") << "SUM(A1:A10)" << true << 4 << 3 << "SUM(A1:A13)";
    QTest::newRow("range shrinks") << "SUM(A1:A10)" << true << 4 << -3 << "SUM(A1:A7)";
    QTest::newRow("deleted cell") << "A5+1" << true << 4 << -1 << "#REF!+1";
    QTest::newRow("deleted range") << "SUM(B2:C3)" << false << 1 << -2 << "SUM(#REF!)";
    QTest::newRow("columns") << "C1+$D$2+B1" << false << 2 << 1 << "D1+$E$2+B1";
    QTest::newRow("whole columns") << "SUM(B:D)" << false << 0 << 1 << "SUM(C:E)";
    QTest::newRow("whole columns across rows") << "SUM(B:D)" << true << 0 << 5 << "SUM(B:D)";
    QTest::newRow("whole rows") << "SUM(3:5)" << true << 3 << -1 << "SUM(3:4)";
    QTest::newRow("other sheet untouched") << "Other!A5+A5" << true << 0 << 1 << "Other!A5+A6";
    QTest::newRow("own sheet by name") << "'My data'!A5" << true << 0 << 1 << "'My data'!A6";
    QTest::newRow("text literal untouched") << "\"A5\"&A5" << true << 0 << 1 << "\"A5\"&A6";
}

void TestRowsColumns::referencesFollowTheirCells()
{
    QFETCH(QString, formula);
    QFETCH(bool, rowsAxis);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QString, expected);
    const RowsColumnsChange change = rowsAxis ? rows(first, count) : columns(first, count);
    const std::string moved = moveReferences(formula.toStdString(), change, [](const std::string &sheet) {
        return sheet.empty() || sheet == "My data";
    });
    QCOMPARE(QString::fromStdString(moved), expected);
}

void TestRowsColumns::cellsFormulasAndNamesMoveTogether()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    for (int r = 0; r < 5; ++r)
        book.setValue({s, r, 0}, Value::number(r + 1)); // A1..A5: 1..5
    book.setFormula({s, 0, 1}, "SUM(A1:A5)");
    book.setFormula({s, 4, 1}, "A5*10");
    book.setFormula({s, 1, 2}, "A3");
    book.defineName("Total", "S!$B$1");
    book.defineName("Third", "S!$A$3");
    book.setFormula({s, 0, 3}, "Total+Third");
    QCOMPARE(shown(book, s, 0, 3), QStringLiteral("18"));

    QVERIFY(book.restructure(s, rows(2, 2))); // two rows before row 3
    QCOMPARE(shown(book, s, 4, 0), QStringLiteral("3"));
    QCOMPARE(shown(book, s, 2, 0), QString());
    QCOMPARE(formulaAt(book, s, 0, 1), QStringLiteral("SUM(A1:A7)"));
    QCOMPARE(formulaAt(book, s, 6, 1), QStringLiteral("A7*10"));
    QCOMPARE(formulaAt(book, s, 1, 2), QStringLiteral("A5"));
    QCOMPARE(QString::fromStdString(book.definedNames().at(1).expression), QStringLiteral("S!$A$5"));
    book.setValue({s, 2, 0}, Value::number(100)); // inside the grown range
    QCOMPARE(shown(book, s, 0, 1), QStringLiteral("115"));

    QVERIFY(book.restructure(s, rows(4, -1))); // the row that held 3
    QCOMPARE(formulaAt(book, s, 1, 2), QStringLiteral("#REF!"));
    QCOMPARE(shown(book, s, 1, 2), QStringLiteral("#REF!"));
    QCOMPARE(QString::fromStdString(book.definedNames().at(1).expression), QStringLiteral("#REF!"));
    QCOMPARE(shown(book, s, 0, 3), QStringLiteral("#REF!"));
    QCOMPARE(formulaAt(book, s, 0, 1), QStringLiteral("SUM(A1:A6)"));
    QCOMPARE(shown(book, s, 0, 1), QStringLiteral("112"));
    QCOMPARE(formulaAt(book, s, 5, 1), QStringLiteral("A6*10"));
    QCOMPARE(shown(book, s, 5, 1), QStringLiteral("50"));
}

void TestRowsColumns::otherSheetsFollowTooAndColumnsKeepTheirWidths()
{
    Workbook book;
    const SheetIndex data = book.addSheet("Data");
    const SheetIndex report = book.addSheet("Report");
    book.setValue({data, 0, 2}, Value::number(3)); // C1
    book.setColumnWidth(data, 2, 20);
    book.setFormula({report, 0, 0}, "Data!C1*2");
    book.setFormula({report, 0, 1}, "C1"); // the report's own C1
    QVERIFY(book.restructure(data, columns(0, -1)));
    QCOMPARE(formulaAt(book, report, 0, 0), QStringLiteral("Data!B1*2"));
    QCOMPARE(shown(book, report, 0, 0), QStringLiteral("6"));
    QCOMPARE(formulaAt(book, report, 0, 1), QStringLiteral("C1"));
    QCOMPARE(book.columnWidths(data).count(1), size_t(1));
    QCOMPARE(book.columnWidths(data).count(2), size_t(0));
}

void TestRowsColumns::anInsertThatWouldLoseCellsIsRefused()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setValue({s, maxRows - 1, 0}, Value::number(1));
    book.setValue({s, 0, 0}, Value::number(2));
    std::string message;
    QVERIFY(!book.restructure(s, rows(0, 1), &message));
    QVERIFY(!message.empty());
    QCOMPARE(shown(book, s, 0, 0), QStringLiteral("2"));
    QVERIFY(book.restructure(s, columns(0, 1)));
    QCOMPARE(shown(book, s, maxRows - 1, 1), QStringLiteral("1"));
}

void TestRowsColumns::looksMoveWithTheirCells()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    CellFormats &formats = book.formats();
    CellStyle percent;
    percent.numberFormat = "0%";
    CellStyle bold;
    bold.bold = true;
    const StyleIndex p = formats.addStyle(percent), b = formats.addStyle(bold);
    book.setValue({s, 2, 1}, Value::number(0.05)); // B3, shown 5%
    formats.setCellStyle(s, 2, 1, p);
    formats.setRowStyle(s, 4, b);
    formats.setRowHeight(s, 4, 30);
    formats.setColumnStyle(s, 3, b);
    formats.addMergedArea(s, {5, 0, 5, 2}); // A6:C6
    formats.addMergedArea(s, {7, 0, 8, 0}); // A8:A9

    QVERIFY(book.restructure(s, rows(1, 2))); // two rows before row 2
    QCOMPARE(formats.styleAt(s, 4, 1), p);     // B5 holds the 5% now
    QCOMPARE(formats.styleAt(s, 2, 1), defaultStyle);
    QCOMPARE(formats.rowStyles(s).count(6), size_t(1));
    QCOMPARE(formats.rowHeights(s).at(6), 30.0);
    QCOMPARE(formats.mergedAreas(s).front(), (MergedArea{7, 0, 7, 2}));

    QVERIFY(book.restructure(s, rows(10, -1))); // A11, the lower half of A10:A11
    QCOMPARE(formats.mergedAreas(s).size(), size_t(1)); // a single cell is no merged area

    QVERIFY(book.restructure(s, columns(0, -1)));
    QCOMPARE(formats.styleAt(s, 4, 0), p); // A5
    QCOMPARE(formats.columnStyles(s).count(2), size_t(1));
    QCOMPARE(formats.mergedAreas(s).front(), (MergedArea{7, 0, 7, 1}));
}

QTEST_APPLESS_MAIN(TestRowsColumns)
#include "tst_rows_columns.moc"
