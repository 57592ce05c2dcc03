// Arrays and references as the spreadsheet evaluates them: array constants,
// element-by-element operators where arrays are wanted, broadcasting of a row
// against a column, #N/A where sizes differ, array formulas over blocks, the
// matrix functions, and references that functions give (INDEX, OFFSET,
// INDIRECT, CHOOSE, IF) usable wherever a range is.
#include "Workbook.h"

#include <QTest>

using namespace workbook;

namespace {

// Data: A1..A5 1..5, B1..B5 10..50, C1..C3 "a" "b" "a". Other: A1 7.
struct Fixture
{
    Workbook book;
    SheetIndex data = book.addSheet("Data");
    SheetIndex other = book.addSheet("Other");

    Fixture()
    {
        for (int r = 0; r < 5; ++r) {
            book.setValue({data, r, 0}, Value::number(r + 1));
            book.setValue({data, r, 1}, Value::number(10 * (r + 1)));
        }
        const char *letters[] = {"a", "b", "a"};
        for (int r = 0; r < 3; ++r)
            book.setValue({data, r, 2}, Value::text(letters[r]));
        book.setValue({other, 0, 0}, Value::number(7));
    }

    std::string shown(const CellLocation &where) { return displayText(book.value(where)); }

    std::string evaluate(const std::string &formula)
    {
        std::string message;
        if (!book.setFormula({data, 99, 25}, formula, &message))
            return "parse error: " + message;
        return shown({data, 99, 25});
    }
};

} // namespace

class TestArrays : public QObject
{
    Q_OBJECT
private slots:
    void evaluates_data();
    void evaluates();
    void malformedArraysAreRefused();
    void arrayFormulasFillTheirBlock();
    void arrayFormulasFollowTheirInputs();
    void offsetAndIndirectFollowTheCellsTheyReach();
};

void TestArrays::evaluates_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("expected");
    const char *const cases[][2] = {
        // Array constants, rows by ";", and what aggregates take from them.
        {"=SUM({1,2;3,4})", "10"}, {"=ROWS({1,2;3,4})", "2"}, {"=COLUMNS({1,2,3})", "3"},
        {"=INDEX({1,2;3,4},2,1)", "3"}, {"=SUM({1,\"a\",TRUE})", "1"}, {"={1,2,3}", "1"}, {"=SUM({-1,2.5})", "1.5"},
        // Broadcasting: a row against a column fills the rectangle; a value fills anything.
        {"=SUM({1,2,3}*{10;20})", "180"}, {"=SUM({1,2,3}*2)", "12"}, {"=SUM(-{1,2})", "-3"},
        // Sizes that differ give #N/A where one has no element.
        {"=SUM({1,2,3}+{1,2})", "#N/A"}, {"=INDEX({1,2,3}+{1,2},1,2)", "4"},
        // SUMPRODUCT takes its arguments element by element.
        {"=SUMPRODUCT(--(A1:A5>3))", "2"}, {"=SUMPRODUCT((C1:C3=\"a\")*B1:B3)", "40"},
        {"=SUMPRODUCT(A1:A5,B1:B5)", "550"}, {"=SUMPRODUCT((A1:A5>2)*(B1:B5<50))", "2"},
        {"=SUMPRODUCT(A1:A3*{1;2;3})", "14"}, {"=SUMPRODUCT(ABS(-A1:A3))", "6"}, {"=SUMPRODUCT(A1:A2*B1:B3)", "#N/A"},
        {"=SUMPRODUCT(A1:A5>3)", "0"},
        {"=SUMPRODUCT(--(MOD(ROW(A1:A5),2)=0))", "2"}, {"=SUMPRODUCT(COLUMN(A1:C1))", "6"}, {"=ROW(B3:B9)", "3"},
        // Outside an array context a range still gives the cell in the caller's row: #VALUE! from row 100.
        {"=SUM(A1:A5*2)", "#VALUE!"},
        // Matrix functions, with the worked examples of their documentation.
        {"=MMULT({1,2;3,4},{5;6})", "17"}, {"=INDEX(MMULT({1,2;3,4},{5;6}),2,1)", "39"}, {"=MMULT({1,2},{1,2})", "#VALUE!"},
        {"=MDETERM({1,2;3,4})", "-2"}, {"=MDETERM({3,6,1;1,1,0;3,10,2})", "1"}, {"=MDETERM({1,2})", "#VALUE!"},
        {"=INDEX(MINVERSE({4,7;2,6}),1,1)", "0.6"}, {"=INDEX(MINVERSE({4,7;2,6}),1,2)", "-0.7"},
        {"=MINVERSE({1,2;2,4})", "#NUM!"}, 
        // A thousand-square product is more work than one formula may take.
        {"=MDETERM(ROW(A1001:A2000)*COLUMN(A1:ALL1))", "#NUM!"}, {"=MMULT(ROW(A1001:A2000)*COLUMN(A1:ALL1),ROW(A1001:A2000)*COLUMN(A1:ALL1))", "#NUM!"},
        {"=MDETERM(ROW(1:3)+COLUMN(A1:C1)^2)", "0"}, {"=INDEX(TRANSPOSE({1,2,3}),3,1)", "3"},
        {"=ROWS(TRANSPOSE(A1:B5))", "2"},
        {"=SUM(FREQUENCY({1,2,3,4,5},{2,4}))", "5"}, {"=INDEX(FREQUENCY({1,2,3,4,5},{2,4}),2)", "2"},
        {"=INDEX(FREQUENCY({1,2,3,4,5},{4,2}),1)", "2"}, {"=ROWS(FREQUENCY(A1:A5,{2,4}))", "3"},
        {"=INDEX(LINEST({2,4,6},{1,2,3}),1)", "2"}, {"=INDEX(LINEST({3,5,7},{1,2,3}),2)", "1"},
        {"=INDEX(LINEST({3,5,7}),1)", "2"}, {"=LINEST({1,2},{1,1})", "#DIV/0!"},
        {"=TREND({2,4,6},{1,2,3},4)", "8"}, {"=SUM(TREND(B1:B5))", "150"}, {"=GROWTH({2,4,8},{1,2,3},4)", "16"},
        {"=GROWTH({2,-4},{1,2})", "#NUM!"},
        // References that functions give, usable where a range is.
        {"=SUM(CHOOSE(2,A1:A2,A3:A4))", "7"}, {"=SUM(INDEX(A1:B5,0,2))", "150"}, {"=SUM(INDEX(A1:B5,2,0))", "22"},
        {"=SUM(INDEX(A1:B5,2,1):B3)", "55"}, {"=SUM(A1:INDEX(B1:B5,2))", "33"}, {"=ROWS(INDEX(A1:B5,0,1))", "5"},
        {"=INDEX(A1:B5,6,1)", "#REF!"}, {"=INDEX((A1:A2,B1:B2),2,1,2)", "20"}, {"=INDEX((A1:A2,B1:B2),1,1,3)", "#REF!"},
        {"=SUM(IF(TRUE,A1:A2,B1:B2))", "3"}, {"=SUM(IF(FALSE,A1:A2,B1:B2))", "30"}, {"=IF(TRUE,)", "0"},
        {"=IF(FALSE,1)", "FALSE"},
        // Intersection (space) and union (comma inside parentheses).
        {"=SUM(A1:A5 A3:B3)", "3"}, {"=A1:A2 B1:B2", "#NULL!"}, {"=SUM((A1:A2,B1:B2))", "33"},
        {"=AREAS((A1:A2,B1:B2,C1))", "3"}, {"=AREAS(A1:B5)", "1"}, {"=SUM((A1,1))", "#VALUE!"},
        {"=ISREF(A1)", "TRUE"}, {"=ISREF(5)", "FALSE"}, {"=ISREF(INDEX(A1:A5,2))", "TRUE"},
        {"=ADDRESS(2,3)", "$C$2"}, {"=ADDRESS(2,3,4)", "C2"}, {"=ADDRESS(2,3,2)", "C$2"}, {"=ADDRESS(2,3,2,FALSE)", "R2C[3]"},
        {"=ADDRESS(1,1,1,TRUE,\"My sheet\")", "'My sheet'!$A$1"}, {"=ADDRESS(0,1)", "#VALUE!"},
        {"=SUM(OFFSET(A1,1,1,2,1))", "50"}, {"=OFFSET(A1,2,1)", "30"}, {"=OFFSET(A1,-1,0)", "#REF!"},
        {"=OFFSET(A1,0,0,0,1)", "#REF!"}, {"=OFFSET(5,0,0)", "#VALUE!"},
        {"=INDIRECT(\"A3\")", "3"}, {"=SUM(INDIRECT(\"A1:A3\"))", "6"}, {"=INDIRECT(\"Other!A1\")", "7"},
        {"=INDIRECT(\"Missing!A1\")", "#REF!"}, {"=INDIRECT(\"nonsense\")", "#REF!"}, {"=INDIRECT(ADDRESS(4,2))", "40"},
    };
    for (const auto &c : cases)
        QTest::newRow(c[0]) << QString::fromUtf8(c[0]) << QString::fromUtf8(c[1]);
}

void TestArrays::evaluates()
{
    QFETCH(QString, formula);
    QFETCH(QString, expected);
    Fixture f;
    QCOMPARE(QString::fromStdString(f.evaluate(formula.toStdString())), expected);
}

void TestArrays::malformedArraysAreRefused()
{
    Fixture f;
    for (const char *formula : {"={1,2;3}", "={1,A1}", "={1,2", "={}", "={-\"a\"}", "={1;;2}"}) {
        const std::string shown = f.evaluate(formula);
        QVERIFY2(shown.rfind("parse error", 0) == 0, (std::string(formula) + " gave " + shown).c_str());
    }
    // A sheet name with a space but no quotes is no intersection.
    QVERIFY(f.evaluate("=Other sheet!A1").rfind("parse error", 0) == 0);
}

void TestArrays::arrayFormulasFillTheirBlock()
{
    Fixture f;
    const SheetIndex d = f.data;
    // Single-cell array formulas: SUM(IF(...)) and MAX(IF(...)) over ranges.
    QVERIFY(f.book.setArrayFormula({d, 0, 10}, 1, 1, "=SUM(IF(A1:A5>2,A1:A5))"));
    QCOMPARE(f.shown({d, 0, 10}), std::string("12"));
    QVERIFY(f.book.setArrayFormula({d, 1, 10}, 1, 1, "MAX(IF(C1:C3=\"a\",B1:B3))"));
    QCOMPARE(f.shown({d, 1, 10}), std::string("30"));
    QVERIFY(f.book.setArrayFormula({d, 2, 10}, 1, 1, "SUM(A1:A3*B1:B3)"));
    QCOMPARE(f.shown({d, 2, 10}), std::string("140"));
    // A block one row longer than the result: #N/A there.
    QVERIFY(f.book.setArrayFormula({d, 0, 3}, 4, 1, "A1:A3*10"));
    QCOMPARE(f.shown({d, 0, 3}), std::string("10"));
    QCOMPARE(f.shown({d, 2, 3}), std::string("30"));
    QCOMPARE(f.shown({d, 3, 3}), std::string("#N/A"));
    // A row of results from a column; a single value fills the block.
    QVERIFY(f.book.setArrayFormula({d, 10, 0}, 1, 3, "TRANSPOSE(A1:A3)"));
    QCOMPARE(f.shown({d, 10, 2}), std::string("3"));
    QVERIFY(f.book.setArrayFormula({d, 11, 0}, 2, 2, "5"));
    QCOMPARE(f.shown({d, 12, 1}), std::string("5"));
    QVERIFY(f.book.setArrayFormula({d, 13, 0}, 2, 2, "MINVERSE({4,7;2,6})"));
    QCOMPARE(f.shown({d, 14, 0}), std::string("-0.2"));
    QCOMPARE(f.shown({d, 14, 1}), std::string("0.4"));
    const CellInput input = f.book.input({d, 14, 1});
    QVERIFY(input.isFormula);
    QCOMPARE(input.formula, std::string("MINVERSE({4,7;2,6})"));
    QCOMPARE(input.arrayRows, 2);
    QCOMPARE(input.arrayRow, 1);
    QCOMPARE(input.arrayColumn, 1);
    // A parse error changes nothing; a block off the sheet is refused.
    std::string message;
    QVERIFY(!f.book.setArrayFormula({d, 0, 3}, 2, 1, "A1:A3*", &message));
    QVERIFY(!message.empty());
    QCOMPARE(f.shown({d, 1, 3}), std::string("20"));
    QVERIFY(!f.book.setArrayFormula({d, maxRows - 1, 0}, 2, 1, "1"));
}

void TestArrays::arrayFormulasFollowTheirInputs()
{
    Fixture f;
    const SheetIndex d = f.data;
    QVERIFY(f.book.setArrayFormula({d, 0, 3}, 3, 1, "A1:A3*B1:B3"));
    QVERIFY(f.book.setFormula({d, 0, 4}, "SUM(D1:D3)"));
    QCOMPARE(f.shown({d, 0, 4}), std::string("140"));
    f.book.setValue({d, 1, 0}, Value::number(4));
    QCOMPARE(f.shown({d, 1, 3}), std::string("80"));
    QCOMPARE(f.shown({d, 0, 4}), std::string("180"));
    // Typed input: a block changes as a whole, in braces, from any of its cells.
    std::string message;
    QVERIFY(!f.book.setInput({d, 2, 3}, "7", &message));
    QCOMPARE(message, std::string("The cell is part of the array formula over D1:D3: change it as a whole, typed as {=...}"));
    QCOMPARE(f.shown({d, 2, 3}), std::string("90"));
    QVERIFY(f.book.setInput({d, 2, 3}, "{=A1:A3*B1:B3+1}"));
    QCOMPARE(f.shown({d, 0, 3}), std::string("11"));
    QCOMPARE(f.book.input({d, 0, 3}).arrayRows, 3);
    QVERIFY(f.book.setInput({d, 0, 5}, "{=SUM(A1:A3*2)}"));
    QCOMPARE(f.shown({d, 0, 5}), std::string("16"));
    QVERIFY(f.book.setInput({d, 0, 5}, "4")); // a single cell's array formula is replaced as any formula
    QCOMPARE(f.book.input({d, 0, 5}).arrayRows, 0);
    // A new sheet recompiles every formula; blocks stay blocks.
    f.book.addSheet("Third");
    QCOMPARE(f.book.input({d, 2, 3}).arrayRow, 2);
    QCOMPARE(f.shown({d, 2, 3}), std::string("91"));
}

void TestArrays::offsetAndIndirectFollowTheCellsTheyReach()
{
    Fixture f;
    const SheetIndex d = f.data;
    QVERIFY(f.book.setFormula({d, 0, 6}, "INDIRECT(\"B\"&A1)"));
    QVERIFY(f.book.setFormula({d, 1, 6}, "G1*2"));
    QVERIFY(f.book.setFormula({d, 2, 6}, "SUM(OFFSET(A1,0,1,A2,1))"));
    QCOMPARE(f.shown({d, 1, 6}), std::string("20"));
    QCOMPARE(f.shown({d, 2, 6}), std::string("30"));
    // Neither names the cell it reads, yet each follows it.
    f.book.setValue({d, 0, 1}, Value::number(11));
    QCOMPARE(f.shown({d, 0, 6}), std::string("11"));
    QCOMPARE(f.shown({d, 1, 6}), std::string("22"));
    QCOMPARE(f.shown({d, 2, 6}), std::string("31"));
    f.book.setValue({d, 0, 0}, Value::number(3));
    QCOMPARE(f.shown({d, 1, 6}), std::string("60"));
    f.book.setValue({d, 1, 0}, Value::number(3));
    QCOMPARE(f.shown({d, 2, 6}), std::string("61"));
    // A formula read through INDIRECT before the chain reached it is read again after.
    QVERIFY(f.book.setFormula({d, 4, 6}, "INDIRECT(\"H1\")*10"));
    QVERIFY(f.book.setFormula({d, 0, 7}, "A1+1"));
    QCOMPARE(f.shown({d, 4, 6}), std::string("40"));
    f.book.setValue({d, 0, 0}, Value::number(5));
    QCOMPARE(f.shown({d, 4, 6}), std::string("60"));
    // Through a name, as dynamic ranges are written.
    QVERIFY(f.book.defineName("Picked", "INDIRECT(\"B\"&Data!$A$2)"));
    QVERIFY(f.book.setFormula({d, 5, 6}, "Picked+1"));
    QCOMPARE(f.shown({d, 5, 6}), std::string("31"));
    f.book.setValue({d, 2, 1}, Value::number(33));
    QCOMPARE(f.shown({d, 5, 6}), std::string("34"));
    // Pointed at a sheet that does not exist, then at one that does.
    QVERIFY(f.book.setFormula({d, 3, 6}, "INDIRECT(\"Later!A1\")"));
    QCOMPARE(f.shown({d, 3, 6}), std::string("#REF!"));
    const SheetIndex later = f.book.addSheet("Later");
    f.book.setValue({later, 0, 0}, Value::number(9));
    QCOMPARE(f.shown({d, 3, 6}), std::string("9"));
}

QTEST_GUILESS_MAIN(TestArrays)
#include "tst_arrays.moc"
