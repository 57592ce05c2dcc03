#include "Evaluator.h"
#include "FormulaParser.h"
#include "Reference.h"
#include "Value.h"
#include "io/ImportedData.h"

#include <QTest>

#include <cmath>
#include <stdexcept>

using namespace workbook;

class TestFormulaText : public QObject
{
    Q_OBJECT
private slots:
    void shiftingMovesOnlyRelativeParts_data();
    void shiftingMovesOnlyRelativeParts();
    void newerFunctionsCarryTheirFilePrefix();
    void everyFunctionNameIsRegisteredOnce();
    void openDocumentFormulasBecomeTypedOnes_data();
    void openDocumentFormulasBecomeTypedOnes();
    void referencesParseAndPrint_data();
    void referencesParseAndPrint();
    void sheetNamesAreQuotedWhenNeeded();
    void numbersPrintWithFifteenDigits();
    void importedRecordsSurviveThePipeOrFailWhole();
};

void TestFormulaText::shiftingMovesOnlyRelativeParts_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("shifted");
    QTest::newRow("mixed anchors") << "A1+$B$2+B$3+$C4" << 2 << 1 << "B3+$B$2+C$3+$C6";
    QTest::newRow("range") << "SUM(A1:B2)*2" << 2 << 1 << "SUM(B3:C4)*2";
    QTest::newRow("whole columns move sideways only") << "SUM(A:B)" << 5 << 1 << "SUM(B:C)";
    QTest::newRow("whole rows move down only") << "SUM(3:4)" << 1 << 7 << "SUM(4:5)";
    QTest::newRow("off the sheet") << "A1+1" << -1 << 0 << "#REF!+1";
    QTest::newRow("text is not a reference") << "\"A1\"&A1" << 1 << 0 << "\"A1\"&A2";
    QTest::newRow("other sheet") << "'My sheet'!A1*Data!B2" << 1 << 0 << "'My sheet'!A2*Data!B3";
    QTest::newRow("function names are kept") << "LOG10(A1)+ATAN2(A1,B1)" << 1 << 0 << "LOG10(A2)+ATAN2(A2,B2)";
    QTest::newRow("leading equals kept") << "=A1" << 0 << 1 << "=B1";
}

void TestFormulaText::shiftingMovesOnlyRelativeParts()
{
    QFETCH(QString, formula);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QString, shifted);
    QCOMPARE(QString::fromStdString(shiftFormula(formula.toStdString(), rows, columns)), shifted);
}

void TestFormulaText::newerFunctionsCarryTheirFilePrefix()
{
    const std::string typed = "CONCAT(A1,IFS(TRUE,1))+SUM(STDEV.S(B1:B3))";
    const std::string stored = formulaForFile(typed);
    QCOMPARE(stored, std::string("_xlfn.CONCAT(A1,_xlfn.IFS(TRUE,1))+SUM(_xlfn.STDEV.S(B1:B3))"));
    QCOMPARE(formulaFromFile(stored), typed);
    QCOMPARE(formulaFromFile("SUM(A1)"), std::string("SUM(A1)"));
    QVERIFY(parseFormula(stored).ok);

    // The newer statistics, lookups and dates too; ISO.CEILING, DATEDIF and
    // SUBTOTAL are stored by their plain names.
    const std::string modern = "XLOOKUP(1,A1:A2,B1:B2)+T.DIST(1,2,TRUE)+ISO.CEILING(1)+MAXIFS(A1:A2,B1:B2,1)"
                               "+DATEDIF(1,2,\"d\")+SUBTOTAL(9,A1)+WORKDAY.INTL(1,2)";
    QCOMPARE(formulaForFile(modern),
             std::string("_xlfn.XLOOKUP(1,A1:A2,B1:B2)+_xlfn.T.DIST(1,2,TRUE)+ISO.CEILING(1)+_xlfn.MAXIFS(A1:A2,B1:B2,1)"
                         "+DATEDIF(1,2,\"d\")+SUBTOTAL(9,A1)+_xlfn.WORKDAY.INTL(1,2)"));
    QCOMPARE(formulaFromFile(formulaForFile(modern)), modern);
}

// A name listed twice in the families would leave one of its functions
// unreachable (the registry keeps the first).
void TestFormulaText::everyFunctionNameIsRegisteredOnce()
{
    int count = 0;
    try {
        for (;; ++count)
            functionInfo(count);
    } catch (const std::out_of_range &) {
    }
    QVERIFY(count >= 300);
    for (int i = 0; i < count; ++i)
        QVERIFY2(findFunction(functionInfo(i).name) == i, std::string(functionInfo(i).name).c_str());
}

void TestFormulaText::openDocumentFormulasBecomeTypedOnes_data()
{
    QTest::addColumn<QString>("odf");
    QTest::addColumn<QString>("typed");
    QTest::newRow("ranges and separators") << "of:=SUM([.A1:.B2];[$Sheet2.C3])" << "SUM(A1:B2,Sheet2!C3)";
    QTest::newRow("quoted sheet") << "of:=[$'My sheet'.A1]*2" << "'My sheet'!A1*2";
    QTest::newRow("text keeps brackets and semicolons") << "of:=CONCATENATE(\"a;[b]\";[.A1])" << "CONCATENATE(\"a;[b]\",A1)";
    QTest::newRow("anchors") << "of:=[.$A$1]+[.B$2]" << "$A$1+B$2";
    QTest::newRow("sheet range") << "of:=SUM([$Data.A1:.A9])" << "SUM(Data!A1:A9)";
    // functions stored under other names
    QTest::newRow("legacy") << "of:=LEGACY.NORMSDIST([.A1])+LEGACY.FDIST(1;2;3)" << "NORMSDIST(A1)+FDIST(1,2,3)";
    QTest::newRow("microsoft") << "of:=COM.MICROSOFT.CHISQ.DIST([.A1];2;1)" << "CHISQ.DIST(A1,2,1)";
    QTest::newRow("microsoft ceiling") << "of:=COM.MICROSOFT.CEILING([.A1];2)" << "CEILING(A1,2)";
    QTest::newRow("left-tailed F") << "of:=FDIST([.A1];2;3;1)+FINV(0.5;2;3)" << "F.DIST(A1,2,3,1)+F.INV(0.5,2,3)";
    QTest::newRow("binomial range") << "of:=[.B1]+B(10;0.5;3;5)" << "B1+BINOM.DIST.RANGE(10,0.5,3,5)";
    QTest::newRow("population skew") << "of:=SKEWP([.A1:.A5])" << "SKEW.P(A1:A5)";
    QTest::newRow("office functions we have") << "of:=ORG.OPENOFFICE.ISOWEEKNUM(1)" << "ISOWEEKNUM(1)";
    QTest::newRow("office functions we lack") << "of:=ORG.OPENOFFICE.ERRORTYPE([.A1])" << "ORG.OPENOFFICE.ERRORTYPE(A1)";
}

void TestFormulaText::openDocumentFormulasBecomeTypedOnes()
{
    QFETCH(QString, odf);
    QFETCH(QString, typed);
    QCOMPARE(QString::fromStdString(formulaFromOpenDocument(odf.toStdString())), typed);
    QVERIFY(parseFormula(typed.toStdString()).ok);
}

void TestFormulaText::referencesParseAndPrint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("printed");
    QTest::newRow("cell") << "b7" << "B7";
    QTest::newRow("anchored") << "$A$1" << "$A$1";
    QTest::newRow("reversed corners") << "C3:A1" << "A1:C3";
    QTest::newRow("columns") << "A:C" << "A:C";
    QTest::newRow("rows") << "3:5" << "3:5";
    QTest::newRow("sheet") << "Data!A1:B2" << "Data!A1:B2";
    QTest::newRow("quoted sheet") << "'O''Neil data'!A1" << "'O''Neil data'!A1";
    QTest::newRow("last cell") << "XFD1048576" << "XFD1048576";
    for (const char *bad : {"A0", "XFE1", "A1048577", "AAAA1", "A1:", ":A1", "!A1", "A1B", "1A", ""})
        QTest::newRow(bad[0] ? bad : "empty") << QString::fromLatin1(bad) << QString();
}

void TestFormulaText::referencesParseAndPrint()
{
    QFETCH(QString, text);
    QFETCH(QString, printed);
    const auto range = parseRangeReference(text.toStdString());
    if (printed.isEmpty()) {
        QVERIFY(!range);
        return;
    }
    QVERIFY(range);
    QCOMPARE(QString::fromStdString(rangeText(*range)), printed);
}

void TestFormulaText::sheetNamesAreQuotedWhenNeeded()
{
    QCOMPARE(quotedSheetName("Sheet1"), std::string("Sheet1"));
    QCOMPARE(quotedSheetName("My sheet"), std::string("'My sheet'"));
    QCOMPARE(quotedSheetName("O'Neil"), std::string("'O''Neil'"));
    QCOMPARE(quotedSheetName("1st"), std::string("'1st'"));
    QCOMPARE(columnLetters(0), std::string("A"));
    QCOMPARE(columnLetters(16383), std::string("XFD"));
    QCOMPARE(columnFromLetters("xfd"), 16383);
    QCOMPARE(columnFromLetters("XFE"), -1);
}

void TestFormulaText::numbersPrintWithFifteenDigits()
{
    QCOMPARE(formatNumber(0.1 + 0.2), std::string("0.3"));
    QCOMPARE(formatNumber(1.0 / 3), std::string("0.333333333333333"));
    QCOMPARE(formatNumber(1e20), std::string("1E+20"));
    QCOMPARE(formatNumber(-2.5e-7), std::string("-2.5E-07"));
    QCOMPARE(formatNumber(123456789012345.0), std::string("123456789012345"));
    QCOMPARE(displayText(Value::number(-0.0)), std::string("0"));
    QCOMPARE(displayText(Value::boolean(false)), std::string("FALSE"));
    QCOMPARE(displayText(Value::number(std::nan(""))), std::string("#NUM!"));
    QCOMPARE(displayText(Value::error(ErrorCode::Circular)), std::string("#CIRCULAR!"));
}

void TestFormulaText::importedRecordsSurviveThePipeOrFailWhole()
{
    ImportedData data;
    data.sheets.push_back({"Model", {}, {{3, 12.5}}, {{2, 30}}, {}, {}});
    ImportedCell formula;
    formula.row = 3;
    formula.column = 2;
    formula.kind = ImportedCell::Kind::Formula;
    formula.text = "A1*2";
    formula.shared = 4;
    formula.number = 7;
    formula.cachedIsNumber = true;
    formula.arrayRows = 3;
    formula.arrayColumns = 2;
    data.sheets[0].cells.push_back(formula);
    ImportedCell text;
    text.kind = ImportedCell::Kind::Text;
    text.text = std::string("a\0b", 3);
    data.sheets[0].cells.push_back(text);
    data.names.push_back({"Rate", 0, "Model!$A$1"});
    data.unsupported.push_back("charts");
    CellStyle boxed;
    boxed.numberFormat = "0.00%";
    boxed.italic = true;
    boxed.fill = 0x00FF00;
    boxed.alignment = HorizontalAlignment::Right;
    boxed.bottom = {BorderLine::Double, 0x0000FF};
    boxed.fontName = "Georgia";
    boxed.fontSize = 14;
    boxed.vertical = VerticalAlignment::Top;
    boxed.wrap = boxed.underline = true;
    data.styles = {CellStyle(), boxed};
    data.sheets[0].styled.push_back({{1, 2, 3, 4}, 1});
    data.sheets[0].merged.push_back({5, 6, 7, 8});

    const std::string bytes = serialize(data);
    ImportedData back;
    QVERIFY(deserialize(bytes, back));
    QCOMPARE(back.sheets.size(), size_t(1));
    QCOMPARE(back.sheets[0].cells.size(), size_t(2));
    QCOMPARE(back.sheets[0].cells[0].text, std::string("A1*2"));
    QCOMPARE(back.sheets[0].cells[0].shared, 4);
    QVERIFY(back.sheets[0].cells[0].cachedIsNumber);
    QCOMPARE(back.sheets[0].cells[1].text, std::string("a\0b", 3));
    QCOMPARE(back.names[0].expression, std::string("Model!$A$1"));
    QCOMPARE(back.sheets[0].columnWidths.size(), size_t(1));
    QCOMPARE(back.sheets[0].columnWidths[0].second, 12.5);
    QCOMPARE(back.styles.size(), size_t(2));
    QVERIFY(back.styles[1] == boxed);
    QCOMPARE(back.sheets[0].styled.size(), size_t(1));
    QCOMPARE(back.sheets[0].styled[0].area.lastColumn, 4);
    QCOMPARE(back.sheets[0].styled[0].style, 1);
    QCOMPARE(back.sheets[0].merged[0].lastRow, 7);
    QCOMPARE(back.sheets[0].rowHeights.at(0).second, 30.0);
    QCOMPARE(back.sheets[0].cells[0].arrayRows, 3);
    QCOMPARE(back.sheets[0].cells[0].arrayColumns, 2);

    // A record cut anywhere, or with garbage, is refused as a whole.
    for (size_t cut : {size_t(0), size_t(7), bytes.size() / 2, bytes.size() - 1})
        QVERIFY(!deserialize(bytes.substr(0, cut), back));
    QVERIFY(!deserialize(bytes + "x", back));
    std::string huge = bytes;
    huge[8] = '\x7f'; // a sheet count far beyond the bytes
    QVERIFY(!deserialize(huge, back));
}

QTEST_GUILESS_MAIN(TestFormulaText)
#include "tst_formula_text.moc"
