#include "Workbook.h"

#include <QTest>

using namespace workbook;

namespace {

// What the last recalculation reported as changed.
struct ChangeLog
{
    std::vector<CellLocation> last;
    int reports = 0;
    explicit ChangeLog(Workbook &book)
    {
        book.addObserver([this](const std::vector<CellLocation> &cells) {
            last = cells;
            ++reports;
        });
    }
};

} // namespace

class TestRecalculation : public QObject
{
    Q_OBJECT
private slots:
    void readsReflectEveryWrite();
    void onlyDependentsAreRecalculated();
    void observersLearnWhatChanged();
    void cyclesAreMarkedAndTheRestWorks();
    void breakingACycleHeals();
    void millionCellChainEvaluatesWithoutRecursion();
    void namesAndSheetsResolve();
    void volatileFunctionsRecomputeOnEveryRecalculation();
    void typedInputIsInterpreted();
    void addressesOutsideTheSheetAreRefused();
    void doublingTextStopsAtTheCellLimit();
    void rangesFollowTheirCellsNarrowOrWide();
    void aReplacedFormulaStopsListening();
    void columnWidthsAreKeptWithinReason();
};

void TestRecalculation::readsReflectEveryWrite()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setValue({s, 0, 0}, Value::number(2));
    QVERIFY(book.setFormula({s, 0, 1}, "=A1*10"));
    QVERIFY(book.setFormula({s, 0, 2}, "B1+A1"));
    QCOMPARE(book.value({s, 0, 2}).asNumber(), 22.0);
    book.setValue({s, 0, 0}, Value::number(3));
    QCOMPARE(book.value({s, 0, 2}).asNumber(), 33.0);
    // A formula written before the cells it reads.
    QVERIFY(book.setFormula({s, 5, 5}, "=SUM(G1:G3)"));
    book.setValue({s, 1, 6}, Value::number(4));
    QCOMPARE(book.value({s, 5, 5}).asNumber(), 4.0);
    // Replacing a formula by a constant cuts its old dependencies.
    book.setValue({s, 0, 1}, Value::number(1));
    book.setValue({s, 0, 0}, Value::number(100));
    QCOMPARE(book.value({s, 0, 2}).asNumber(), 101.0);
    QCOMPARE(book.input({s, 0, 2}).formula, std::string("B1+A1"));
}

void TestRecalculation::onlyDependentsAreRecalculated()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setFormula({s, 0, 1}, "=A1+1");
    book.setFormula({s, 0, 2}, "=RAND()*0+COUNTA(Z1:Z1000)"); // unrelated, but volatile
    book.setFormula({s, 1, 1}, "=A2+1");
    book.recalculate();
    ChangeLog log(book);
    book.setValue({s, 0, 0}, Value::number(5));
    book.recalculate();
    // The written cell, its dependent, and the volatile cell, never B2.
    bool sawB2 = false, sawB1 = false;
    for (const CellLocation &c : log.last) {
        sawB2 = sawB2 || (c.row == 1 && c.column == 1);
        sawB1 = sawB1 || (c.row == 0 && c.column == 1);
    }
    QVERIFY(sawB1);
    QVERIFY(!sawB2);
}

void TestRecalculation::observersLearnWhatChanged()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setFormula({s, 0, 1}, "=A1>0");
    book.recalculate();
    ChangeLog log(book);
    book.setValue({s, 0, 0}, Value::number(1));
    book.recalculate();
    QCOMPARE(log.reports, 1);
    QCOMPARE(log.last.size(), size_t(2)); // A1 and B1
    // B1 stays TRUE: only the written cell is reported.
    book.setValue({s, 0, 0}, Value::number(2));
    book.recalculate();
    QCOMPARE(log.reports, 2);
    QCOMPARE(log.last.size(), size_t(1));
    // Nothing written, nothing reported.
    book.recalculate();
    QCOMPARE(log.reports, 2);
}

void TestRecalculation::cyclesAreMarkedAndTheRestWorks()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setFormula({s, 0, 0}, "=B1+1");
    book.setFormula({s, 0, 1}, "=C1+1");
    book.setFormula({s, 0, 2}, "=A1+1");
    book.setFormula({s, 1, 0}, "=A2*2"); // refers to itself
    book.setFormula({s, 2, 0}, "=A1+5"); // downstream of the cycle, not on it
    book.setValue({s, 3, 0}, Value::number(4));
    book.setFormula({s, 4, 0}, "=A4*2");
    QCOMPARE(displayText(book.value({s, 0, 0})), std::string("#CIRCULAR!"));
    QCOMPARE(displayText(book.value({s, 0, 2})), std::string("#CIRCULAR!"));
    QCOMPARE(displayText(book.value({s, 1, 0})), std::string("#CIRCULAR!"));
    QCOMPARE(displayText(book.value({s, 2, 0})), std::string("#CIRCULAR!")); // the error propagates
    QCOMPARE(book.value({s, 4, 0}).asNumber(), 8.0);
    QCOMPARE(book.circularCells().size(), size_t(4));
}

void TestRecalculation::breakingACycleHeals()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setFormula({s, 0, 0}, "=B1+1");
    book.setFormula({s, 0, 1}, "=A1+1");
    QVERIFY(book.value({s, 0, 0}).isError());
    book.setValue({s, 0, 1}, Value::number(1));
    QCOMPARE(book.value({s, 0, 0}).asNumber(), 2.0);
    QVERIFY(book.circularCells().empty());
}

void TestRecalculation::millionCellChainEvaluatesWithoutRecursion()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    const int n = 1000000;
    book.setValue({s, 0, 0}, Value::number(1));
    for (int r = 1; r < n; ++r)
        book.setFormula({s, r, 0}, "=A" + std::to_string(r) + "+1");
    QCOMPARE(book.value({s, n - 1, 0}).asNumber(), double(n));
    book.setValue({s, 0, 0}, Value::number(0));
    QCOMPARE(book.value({s, n - 1, 0}).asNumber(), double(n - 1));
    // A million-cell cycle is found without recursion too.
    book.setFormula({s, 0, 0}, "=A" + std::to_string(n));
    QCOMPARE(displayText(book.value({s, n / 2, 0})), std::string("#CIRCULAR!"));
}

void TestRecalculation::namesAndSheetsResolve()
{
    Workbook book;
    const SheetIndex inputs = book.addSheet("Inputs");
    const SheetIndex model = book.addSheet("My Model");
    book.setValue({inputs, 0, 0}, Value::number(0.25));
    std::string message;
    QVERIFY(book.defineName("Rate", "=Inputs!$A$1", -1, &message));
    QVERIFY(book.setFormula({model, 0, 0}, "=Rate*100"));
    QCOMPARE(book.value({model, 0, 0}).asNumber(), 25.0);
    book.setValue({inputs, 0, 0}, Value::number(0.5));
    QCOMPARE(book.value({model, 0, 0}).asNumber(), 50.0);
    // A sheet-local name hides the global one on its sheet only.
    QVERIFY(book.defineName("Rate", "=2", model));
    QCOMPARE(book.value({model, 0, 0}).asNumber(), 200.0);
    QVERIFY(book.setFormula({inputs, 5, 0}, "=Rate"));
    QCOMPARE(book.value({inputs, 5, 0}).asNumber(), 0.5);
    // Names that loop give #NAME? rather than hanging.
    QVERIFY(book.defineName("Loop", "=Loop+1"));
    QVERIFY(book.setFormula({model, 1, 0}, "=Loop"));
    QVERIFY(book.value({model, 1, 0}).isError());
    // Names using names many times finish: ten uses a level, ten levels deep.
    QVERIFY(book.defineName("Fan", "=Fan+Fan+Fan+Fan+Fan+Fan+Fan+Fan+Fan+Fan"));
    QVERIFY(book.setFormula({model, 2, 0}, "=Fan"));
    QCOMPARE(displayText(book.value({model, 2, 0})), std::string("#NAME?"));
    for (int level = 1; level < 10; ++level) {
        std::string uses;
        for (int k = 0; k < 10; ++k)
            uses += (k ? "+Tier_" : "=Tier_") + std::to_string(level + 1);
        QVERIFY(book.defineName("Tier_" + std::to_string(level), uses));
    }
    QVERIFY(book.defineName("Tier_10", "=Inputs!$A$1*2"));
    QVERIFY(book.setFormula({model, 3, 0}, "=Tier_1"));
    QCOMPARE(book.value({model, 3, 0}).asNumber(), 1e9);
    QVERIFY(!book.defineName("A1", "=1", -1, &message));
    QVERIFY(!book.defineName("Bad", "=1+", -1, &message));
    QVERIFY(book.setFormula({inputs, 6, 0}, "='My Model'!A1+1"));
    QCOMPARE(book.value({inputs, 6, 0}).asNumber(), 201.0);
    // A sheet added later makes references to it work.
    QVERIFY(book.setFormula({inputs, 7, 0}, "=Later!A1+1"));
    QCOMPARE(displayText(book.value({inputs, 7, 0})), std::string("#REF!"));
    const SheetIndex later = book.addSheet("Later");
    book.setValue({later, 0, 0}, Value::number(9));
    QCOMPARE(book.value({inputs, 7, 0}).asNumber(), 10.0);
    QCOMPARE(book.addSheet("later"), -1);
    QCOMPARE(book.addSheet("bad[name]"), -1);
}

void TestRecalculation::volatileFunctionsRecomputeOnEveryRecalculation()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setFormula({s, 0, 0}, "=RAND()");
    const double first = book.value({s, 0, 0}).asNumber();
    QCOMPARE(book.value({s, 0, 0}).asNumber(), first); // a read alone does not recalculate
    bool moved = false;
    for (int i = 0; i < 5 && !moved; ++i) {
        book.setValue({s, 5, 5}, Value::number(i));
        moved = book.value({s, 0, 0}).asNumber() != first;
    }
    QVERIFY(moved);
}

void TestRecalculation::typedInputIsInterpreted()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setInput({s, 0, 0}, "12.5");
    book.setInput({s, 1, 0}, "true");
    book.setInput({s, 2, 0}, "#N/A");
    book.setInput({s, 3, 0}, "hello");
    book.setInput({s, 4, 0}, "=A1*2");
    book.setInput({s, 5, 0}, "1e3");
    book.setInput({s, 6, 0}, "=");
    QVERIFY(book.value({s, 0, 0}).isNumber());
    QVERIFY(book.value({s, 1, 0}).isBoolean());
    QCOMPARE(displayText(book.value({s, 2, 0})), std::string("#N/A"));
    QVERIFY(book.value({s, 3, 0}).isText());
    QCOMPARE(book.value({s, 4, 0}).asNumber(), 25.0);
    QCOMPARE(book.value({s, 5, 0}).asNumber(), 1000.0);
    QCOMPARE(book.value({s, 6, 0}).asText(), std::string("="));
    std::string message;
    QVERIFY(!book.setInput({s, 0, 0}, "=SUM(", &message));
    QVERIFY(!message.empty());
    QCOMPARE(book.value({s, 0, 0}).asNumber(), 12.5);
}

void TestRecalculation::addressesOutsideTheSheetAreRefused()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    QVERIFY(!book.setValue({s, maxRows, 0}, Value::number(1)));
    QVERIFY(!book.setValue({s, 0, maxColumns}, Value::number(1)));
    QVERIFY(!book.setValue({7, 0, 0}, Value::number(1)));
    QVERIFY(!book.setFormula({s, -1, 0}, "=1"));
    QVERIFY(book.value({s, 5, 5}).isEmpty());
    QVERIFY(book.value({9, 5, 5}).isEmpty());
}

void TestRecalculation::doublingTextStopsAtTheCellLimit()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setValue({s, 0, 0}, Value::text("ab"));
    for (int r = 1; r < 40; ++r)
        book.setFormula({s, r, 0}, "=A" + std::to_string(r) + "&A" + std::to_string(r));
    QCOMPARE(book.value({s, 10, 0}).asText().size(), size_t(2048));
    QCOMPARE(displayText(book.value({s, 39, 0})), std::string("#VALUE!"));
    QCOMPARE(displayText(book.value({s, 20, 0})), std::string("#VALUE!"));
}

void TestRecalculation::rangesFollowTheirCellsNarrowOrWide()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setFormula({s, 5, 0}, "=SUM(A1:C3)");     // filed under three columns
    book.setFormula({s, 5, 1}, "=SUM(A1:CZ1)");    // wider than a few dozen columns
    book.setFormula({s, 5, 2}, "=COUNT(2:2)");     // a whole row
    book.setFormula({s, 5, 3}, "=SUM(B:B)");       // a whole column
    book.setValue({s, 0, 101}, Value::number(5));  // CX1
    book.setValue({s, 1, 1}, Value::number(7));    // B2
    book.setValue({s, 2, 2}, Value::number(1));    // C3
    QCOMPARE(book.value({s, 5, 0}).asNumber(), 8.0);
    QCOMPARE(book.value({s, 5, 1}).asNumber(), 5.0);
    QCOMPARE(book.value({s, 5, 2}).asNumber(), 1.0);
    QCOMPARE(book.value({s, 5, 3}).asNumber(), 12.0); // B2 and the wide sum in B6
    book.setValue({s, 1, 1}, Value::number(1));
    QCOMPARE(book.value({s, 5, 0}).asNumber(), 2.0);
    QCOMPARE(book.value({s, 5, 3}).asNumber(), 6.0);
    // A cell outside every range wakes nobody.
    ChangeLog log(book);
    book.setValue({s, 9, 9}, Value::number(3));
    book.recalculate();
    QCOMPARE(log.last.size(), size_t(1));
}

void TestRecalculation::aReplacedFormulaStopsListening()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setFormula({s, 0, 1}, "=SUM(A1:A10)");
    book.setFormula({s, 0, 1}, "=SUM(C1:C10)");
    book.setValue({s, 0, 2}, Value::number(4));
    QCOMPARE(book.value({s, 0, 1}).asNumber(), 4.0);
    ChangeLog log(book);
    book.setValue({s, 0, 0}, Value::number(9)); // the old range: no longer read
    book.recalculate();
    QCOMPARE(log.last.size(), size_t(1));
    QCOMPARE(book.value({s, 0, 1}).asNumber(), 4.0);
    // A name's range is followed, and forgotten when the name changes.
    book.defineName("Data", "=S!$D$1:$D$3");
    book.setFormula({s, 4, 4}, "=SUM(Data)");
    book.setValue({s, 1, 3}, Value::number(2));
    QCOMPARE(book.value({s, 4, 4}).asNumber(), 2.0);
    book.defineName("Data", "=S!$F$1:$F$3");
    book.setValue({s, 0, 5}, Value::number(6));
    QCOMPARE(book.value({s, 4, 4}).asNumber(), 6.0);
    book.setValue({s, 1, 3}, Value::number(100));
    QCOMPARE(book.value({s, 4, 4}).asNumber(), 6.0);
}

void TestRecalculation::columnWidthsAreKeptWithinReason()
{
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setColumnWidth(s, 2, 12.5);
    book.setColumnWidth(s, 3, -1);
    book.setColumnWidth(s, 4, 1e9);
    book.setColumnWidth(s, maxColumns, 10);
    book.setColumnWidth(7, 0, 10);
    QCOMPARE(book.columnWidths(s).size(), size_t(1));
    QCOMPARE(book.columnWidths(s).at(2), 12.5);
}

QTEST_GUILESS_MAIN(TestRecalculation)
#include "tst_recalculation.moc"
