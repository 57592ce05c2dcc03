#include "FunctionTestSupport.h"

using namespace workbook;

// Lookups (LOOKUP, XLOOKUP, XMATCH), text conversions and the information
// functions. The sheet:
//   A1:A5  10 20 30 40 50        B1:B5  a b c d e
//   C1:E1  1 2 3                 C2:E2  x y z
//   F1:F6  apple Banana cherry banana 7 3     G1:G6  1 2 3 4 5 6
//   H1     =1+1; a second sheet "Second"
class TestLookupTextFunctions : public QObject
{
    Q_OBJECT
private slots:
    void lookups_data();
    void lookups();
    void text_data();
    void text();
    void information_data();
    void information();

private:
    void check();
};

void TestLookupTextFunctions::check()
{
    QFETCH(QString, formula);
    QFETCH(QString, expected);
    FunctionSheet sheet;
    sheet.column(0, {n(10), n(20), n(30), n(40), n(50)});
    sheet.column(1, {t("a"), t("b"), t("c"), t("d"), t("e")});
    sheet.column(2, {n(1), t("x")});
    sheet.column(3, {n(2), t("y")});
    sheet.column(4, {n(3), t("z")});
    sheet.column(5, {t("apple"), t("Banana"), t("cherry"), t("banana"), n(7), n(3)});
    sheet.column(6, {n(1), n(2), n(3), n(4), n(5), n(6)});
    sheet.formula(0, 7, "=1+1");
    sheet.addSheet("Second");
    compareFormulaResult(QString::fromStdString(sheet.evaluate(formula.toStdString())), expected);
}

void TestLookupTextFunctions::lookups_data()
{
    addFormulaRows({
        {"=XLOOKUP(30,A1:A5,B1:B5)", "c"},
        {"=XLOOKUP(35,A1:A5,B1:B5)", "#N/A"},
        {"=XLOOKUP(35,A1:A5,B1:B5,\"none\")", "none"},
        {"=XLOOKUP(35,A1:A5,B1:B5,,-1)", "c"},
        {"=XLOOKUP(35,A1:A5,B1:B5,,1)", "d"},
        {"=XLOOKUP(\"banana\",F1:F6,G1:G6)", "2"},
        {"=XLOOKUP(\"banana\",F1:F6,G1:G6,,0,-1)", "4"},
        {"=XLOOKUP(\"b*\",F1:F6,G1:G6,,2)", "2"},
        {"=XLOOKUP(\"b*\",F1:F6,G1:G6,,2,-1)", "4"},
        {"=XLOOKUP(\"b*\",F1:F6,G1:G6)", "#N/A"},
        {"=XLOOKUP(5,F1:F6,G1:G6,,-1)", "6"},
        {"=XLOOKUP(5,F1:F6,G1:G6,,1)", "5"},
        {"=XLOOKUP(2,C1:E1,C2:E2)", "y"},
        {"=XLOOKUP(40,A:A,B:B)", "d"},
        {"=XLOOKUP(40,A:A,B:B,,0,-1)", "d"},
        {"=XLOOKUP(2,C1:E1,C2:E3)", "#VALUE!"},
        {"=XLOOKUP(1,A1:B5,B1:B5)", "#VALUE!"},
        {"=XLOOKUP(30,A1:A5,B1:B5,,3)", "#VALUE!"},
        {"=XLOOKUP(30,A1:A5,B1:B5,,0,0)", "#VALUE!"},
        {"=XLOOKUP(1/0,A1:A5,B1:B5)", "#DIV/0!"},
        {"=XMATCH(40,A1:A5)", "4"},
        {"=XMATCH(41,A1:A5,1)", "5"},
        {"=XMATCH(41,A1:A5,-1)", "4"},
        {"=XMATCH(41,A1:A5)", "#N/A"},
        {"=XMATCH(\"banana\",F1:F6,0,-1)", "4"},
        {"=XMATCH(3,C1:E1)", "3"},
        {"=LOOKUP(35,A1:A5,B1:B5)", "c"},
        {"=LOOKUP(5,A1:A5,B1:B5)", "#N/A"},
        {"=LOOKUP(99,A1:A5,B1:B5)", "e"},
        {"=LOOKUP(20,A1:B5)", "b"},
        {"=LOOKUP(2,C1:E2)", "y"},
        {"=LOOKUP(35,A1:A5,C2:E2)", "z"},
        {"=LOOKUP(45,A:A,B:B)", "d"},
    });
}

void TestLookupTextFunctions::lookups() { check(); }

void TestLookupTextFunctions::text_data()
{
    addFormulaRows({
        {"=FIXED(1234.567,1)", "1,234.6"},
        {"=FIXED(1234.567,-1)", "1,230"},
        {"=FIXED(-1234.567,-1,TRUE)", "-1230"},
        {"=FIXED(44.332)", "44.33"},
        {"=FIXED(-0.001,2)", "0.00"},
        {"=FIXED(2.675,2)", "2.68"},
        {"=FIXED(1,31)", "#VALUE!"},
        {"=DOLLAR(1234.567,2)", "$1,234.57"},
        {"=DOLLAR(1234.567,-2)", "$1,200"},
        {"=DOLLAR(-1234.567,-2)", "($1,200)"},
        {"=DOLLAR(-0.123,4)", "($0.1230)"},
        {"=DOLLAR(99.888)", "$99.89"},
        {"=CLEAN(CHAR(9)&\"Monthly report\"&CHAR(10))", "Monthly report"},
        {"=UNICHAR(66)", "B"},
        {"=UNICHAR(8364)", "€"},
        {"=UNICHAR(0)", "#VALUE!"},
        {"=UNICHAR(55296)", "#VALUE!"},
        {"=UNICODE(\"B\")", "66"},
        {"=UNICODE(\"€uro\")", "8364"},
        {"=UNICODE(\"\")", "#VALUE!"},
        {"=NUMBERVALUE(\"2.500,27\",\",\",\".\")", "2500.27"},
        {"=NUMBERVALUE(\"3.5%\")", "0.035"},
        {"=NUMBERVALUE(\"12%%\")", "0.0012"},
        {"=NUMBERVALUE(\" 1 234 \")", "1234"},
        {"=NUMBERVALUE(\"1,234.5\")", "1234.5"},
        {"=NUMBERVALUE(\"\")", "0"},
        {"=NUMBERVALUE(\"1.2.3\")", "#VALUE!"},
        {"=NUMBERVALUE(\"1.234,5\")", "#VALUE!"},
        {"=NUMBERVALUE(\"5%1\")", "#VALUE!"},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"hood\")", "Little red riding "},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"red\",2)", "Little red riding hood's "},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"red\",-2)", "Little "},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"RED\",1,1)", "Little "},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"RED\")", "#N/A"},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"red\",3)", "#N/A"},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"red\",3,0,TRUE)", "Little red riding hood's red hood"},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"basket\",1,0,FALSE,\"none\")", "none"},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"red\",0)", "#VALUE!"},
        {"=TEXTBEFORE(\"Little red riding hood's red hood\",\"\")", ""},
        {"=TEXTAFTER(\"Little red riding hood's red hood\",\"hood\")", "'s red hood"},
        {"=TEXTAFTER(\"Little red riding hood's red hood\",\"red\",-1)", " hood"},
        {"=TEXTAFTER(\"Little red riding hood's red hood\",\"red\",2)", " hood"},
        {"=TEXTAFTER(\"Little red riding hood's red hood\",\"red\",3,0,TRUE)", ""},
        {"=TEXTAFTER(\"Little red riding hood's red hood\",\"red\",-3,0,TRUE)", "Little red riding hood's red hood"},
        {"=TEXTAFTER(\"Little red riding hood's red hood\",\"\")", "Little red riding hood's red hood"},
        {"=TEXTAFTER(\"a-b-c\",\"-\",-1)", "c"},
    });
}

void TestLookupTextFunctions::text() { check(); }

void TestLookupTextFunctions::information_data()
{
    addFormulaRows({
        {"=ERROR.TYPE(#NULL!)", "1"},
        {"=ERROR.TYPE(1/0)", "2"},
        {"=ERROR.TYPE(#REF!)", "4"},
        {"=ERROR.TYPE(NA())", "7"},
        {"=ERROR.TYPE(1)", "#N/A"},
        {"=ISNONTEXT(\"a\")", "FALSE"},
        {"=ISNONTEXT(1)", "TRUE"},
        {"=ISNONTEXT(Z99)", "TRUE"},
        {"=ISFORMULA(H1)", "TRUE"},
        {"=ISFORMULA(A1)", "FALSE"},
        {"=ISFORMULA(Z99)", "FALSE"},
        {"=ISFORMULA(1)", "#VALUE!"},
        {"=SHEET()", "1"},
        {"=SHEET(Second!A1)", "2"},
        {"=SHEET(\"second\")", "2"},
        {"=SHEET(\"Nowhere\")", "#N/A"},
        {"=SHEETS()", "2"},
        {"=SHEETS(A1:B2)", "1"},
        {"=SHEETS(1)", "#REF!"},
    });
}

void TestLookupTextFunctions::information() { check(); }

QTEST_GUILESS_MAIN(TestLookupTextFunctions)
#include "tst_lookup_text_functions.moc"
