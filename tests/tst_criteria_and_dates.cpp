#include "FunctionTestSupport.h"
#include "Workbook.h"

#include <QTest>

using namespace workbook;

// Criteria, lookups, dates and text formats: the corners where spreadsheets
// differ from plain arithmetic. Each row is one formula and what the
// spreadsheet shows for it, over a small table:
//   A1:A6  10  20  "20"  TRUE  (empty)  "apple pie"
//   B1:B6  "a*b"  "a?b"  "ab"  "axb"  ""  "A*B"
//   C1:C4  1  3  5  7        D1:D4  "one" "three" "five" "seven"
class TestCriteriaAndDates : public QObject
{
    Q_OBJECT
private slots:
    void evaluates_data();
    void evaluates();
    void dateArithmetic_data();
    void dateArithmetic();
};

void TestCriteriaAndDates::evaluates_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("expected");
    const std::pair<const char *, const char *> cases[] = {
        // numbers match numbers only; text criteria compare as text
        {"=COUNTIF(A1:A6,20)", "1"},
        {"=COUNTIF(A1:A6,\"20\")", "1"},
        {"=COUNTIF(A1:A6,\">15\")", "1"},
        {"=COUNTIF(A1:A6,\"<>20\")", "5"},
        {"=COUNTIF(A1:A6,TRUE)", "1"},
        {"=COUNTIF(A1:A6,\"\")", "1"},
        {"=COUNTIF(A1:A6,\"=\")", "1"},
        {"=COUNTIF(A1:A6,\"<>\")", "5"},
        {"=COUNTIF(A1:A6,\"apple*\")", "1"},
        {"=COUNTIF(A1:A6,\"APPLE PIE\")", "1"},
        {"=COUNTIF(A1:A6,\"*pie\")", "1"},
        // wildcards and their escape
        {"=COUNTIF(B1:B6,\"a*b\")", "5"},
        {"=COUNTIF(B1:B6,\"a~*b\")", "2"},
        {"=COUNTIF(B1:B6,\"a?b\")", "4"},
        {"=COUNTIF(B1:B6,\"a~?b\")", "1"},
        {"=COUNTIF(B1:B6,\"??\")", "1"},
        {"=SUMIF(C1:C4,\">=3\",C1:C4)", "15"},
        {"=SUMIF(D1:D4,\"*e\",C1:C4)", "9"},
        {"=SUMIF(D1:D4,\"t*\",C1:C4)", "3"},
        {"=AVERAGEIF(C1:C4,\"<>3\")", "4.33333333333333"},
        {"=COUNTIFS(C1:C4,\">1\",D1:D4,\"*e*\")", "3"},
        {"=SUMIFS(C1:C4,C1:C4,\">1\",C1:C4,\"<7\")", "8"},
        {"=COUNTIFS(C1:C4,\">1\",D1:D3,\"*\")", "#VALUE!"},
        {"=COUNTIF(C1:C4,1/0)", "#DIV/0!"},
        // lookups: approximate on sorted data, exact with wildcards
        {"=VLOOKUP(4,C1:D4,2)", "three"},
        {"=VLOOKUP(0,C1:D4,2)", "#N/A"},
        {"=VLOOKUP(100,C1:D4,2)", "seven"},
        {"=VLOOKUP(\"f*\",D1:D4,1,FALSE)", "five"},
        {"=VLOOKUP(5,C1:D4,2,FALSE)", "five"},
        {"=MATCH(6,C1:C4,1)", "3"},
        {"=MATCH(\"THREE\",D1:D4,0)", "2"},
        {"=INDEX(C1:D4,MATCH(7,C1:C4,0),2)", "seven"},
        {"=HLOOKUP(\"ab\",B3:B3,1,FALSE)", "ab"},
        // the 1900 date system, its phantom leap day included
        {"=DATE(1900,2,28)", "59"},
        {"=DATE(1900,2,29)", "60"},
        {"=DATE(1900,3,1)", "61"},
        {"=DAY(59)&\"/\"&MONTH(59)", "28/2"},
        {"=DAY(60)&\"/\"&MONTH(60)", "29/2"},
        {"=DAY(61)&\"/\"&MONTH(61)", "1/3"},
        {"=DATE(99,1,1)", "36161"},
        {"=DATE(2024,0,1)", "45261"},
        {"=DATE(2024,1,0)", "45291"},
        {"=DATE(2023,14,1)", "45323"},
        {"=YEAR(DATE(9999,12,31))", "9999"},
        {"=DATE(10000,1,1)", "#NUM!"},
        {"=EDATE(DATE(2024,3,31),-1)", "45351"},
        {"=EOMONTH(DATE(2023,2,10),0)", "44985"},
        {"=EOMONTH(DATE(2024,12,1),1)", "45688"},
        {"=WEEKDAY(1)", "1"},
        {"=WEEKDAY(DATE(2024,3,3),3)", "6"},
        {"=DAYS(\"45300\",45292)", "8"},
        {"=HOUR(\"x\")", "#VALUE!"},
        {"=TIME(25,0,0)", "0.0416666666666667"},
        {"=TIME(-1,0,0)", "#NUM!"},
        // text formats
        {"=TEXT(-1234.5,\"#,##0\")", "-1,235"},
        {"=TEXT(0.5,\"0%\")", "50%"},
        {"=TEXT(DATE(2024,7,4),\"dddd, mmmm d\")", "Thursday, July 4"},
        {"=TEXT(DATE(2024,7,4),\"ddd dd/mm/yy\")", "Thu 04/07/24"},
        {"=TEXT(0.75,\"h:mm AM/PM\")", "6:00 PM"},
        {"=TEXT(1/86400*61,\"mm:ss\")", "01:01"},
        {"=TEXT(\"abc\",\"0.00\")", "abc"},
        {"=TEXT(1,\"zz\")", "#VALUE!"},
        // whole columns: every empty cell of a million rows counts
        {"=COUNTIF(A:A,\"\")", "1048571"},
        {"=COUNTIF(A:A,\"<>20\")", "1048575"},
        {"=COUNTIF(A:A,\"<>\")", "5"},
        {"=COUNTIF(A:J,\"\")", "10485742"},
        {"=COUNTIFS(A:A,\"\",B:B,\"\")", "1048571"},
        {"=COUNTIFS(E:E,\"\",C:C,\">2\")", "3"},
        {"=SUMIF(E:E,\"\",C:C)", "16"},
        {"=AVERAGEIF(E:E,\"\",C:C)", "4"},
        {"=SUMIFS(C:C,E:E,\"\",D:D,\"<>three\")", "13"},
        {"=AVERAGEIFS(C:C,E:E,\"=\",A:A,\"<>10\")", "5"},
        // many wildcards against a long text finish
        {"=SEARCH(REPT(\"*a\",20)&\"b\",REPT(\"a\",300))", "#VALUE!"},
        {"=SEARCH(REPT(\"*a\",20)&\"b\",REPT(\"a\",300)&\"b\")", "1"},
        {"=SEARCH(\"a?c*e\",\"xxABCDE\")", "3"},
        {"=SEARCH(\"c\",\"abcabc\",4)", "6"},
        {"=SEARCH(\"~*\",\"a*b\")", "2"},
        {"=SEARCH(\"\",\"abc\",2)", "2"},
        {"=COUNTIF(B1:B6,\"*~?*\")", "1"},
        {"=COUNTIF(B1:B6,\"a**b\")", "5"},
    };
    for (const auto &[formula, expected] : cases)
        QTest::newRow(formula) << QString::fromUtf8(formula) << QString::fromUtf8(expected);
}

void TestCriteriaAndDates::evaluates()
{
    QFETCH(QString, formula);
    QFETCH(QString, expected);
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setValue({s, 0, 0}, Value::number(10));
    book.setValue({s, 1, 0}, Value::number(20));
    book.setValue({s, 2, 0}, Value::text("20"));
    book.setValue({s, 3, 0}, Value::boolean(true));
    book.setValue({s, 5, 0}, Value::text("apple pie"));
    const char *patterns[] = {"a*b", "a?b", "ab", "axb", "", "A*B"};
    for (int r = 0; r < 6; ++r)
        book.setValue({s, r, 1}, Value::text(patterns[r]));
    const char *names[] = {"one", "three", "five", "seven"};
    for (int r = 0; r < 4; ++r) {
        book.setValue({s, r, 2}, Value::number(2 * r + 1));
        book.setValue({s, r, 3}, Value::text(names[r]));
    }
    std::string message;
    QVERIFY2(book.setFormula({s, 50, 10}, formula.toStdString(), &message), message.c_str());
    QCOMPARE(QString::fromStdString(displayText(book.value({s, 50, 10}))), expected);
}

// Differences, working days, year fractions, week numbers and dates read
// from text, on the spreadsheet's published examples. Holidays: A1:A3
// 2012-11-22, 2012-12-04, 2013-01-21; A4:A6 2008-11-26, 2008-12-04,
// 2009-01-21; A7:A8 2006-01-02, 2006-01-16.
void TestCriteriaAndDates::dateArithmetic_data()
{
    addFormulaRows({
        {"=DATEDIF(DATE(2001,1,1),DATE(2003,1,1),\"Y\")", "2"},
        {"=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"D\")", "440"},
        {"=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"YD\")", "75"},
        {"=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"md\")", "14"},
        {"=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"M\")", "14"},
        {"=DATEDIF(DATE(2001,6,1),DATE(2002,8,15),\"YM\")", "2"},
        {"=DATEDIF(DATE(2001,6,15),DATE(2002,8,1),\"MD\")", "17"},
        {"=DATEDIF(DATE(2003,1,1),DATE(2001,1,1),\"Y\")", "#NUM!"},
        {"=DATEDIF(DATE(2001,1,1),DATE(2003,1,1),\"W\")", "#NUM!"},
        {"=NETWORKDAYS(DATE(2012,10,1),DATE(2013,3,1))", "110"},
        {"=NETWORKDAYS(DATE(2012,10,1),DATE(2013,3,1),A1)", "109"},
        {"=NETWORKDAYS(DATE(2012,10,1),DATE(2013,3,1),A1:A3)", "107"},
        {"=NETWORKDAYS(DATE(2013,3,1),DATE(2012,10,1))", "-110"},
        {"=NETWORKDAYS.INTL(DATE(2006,1,1),DATE(2006,1,31))", "22"},
        {"=NETWORKDAYS.INTL(DATE(2006,1,1),DATE(2006,2,1),7,A7:A8)", "22"},
        {"=NETWORKDAYS.INTL(DATE(2006,1,1),DATE(2006,2,1),\"0010001\",A7:A8)", "20"},
        {"=NETWORKDAYS.INTL(DATE(2006,2,28),DATE(2006,1,31))", "-21"},
        {"=NETWORKDAYS.INTL(DATE(2006,1,1),DATE(2006,1,31),\"1111111\")", "#VALUE!"},
        {"=NETWORKDAYS.INTL(DATE(2006,1,1),DATE(2006,1,31),8)", "#NUM!"},
        {"=WORKDAY(DATE(2008,10,1),151)", "39933"},
        {"=WORKDAY(DATE(2008,10,1),151,A4:A6)", "39938"},
        {"=WORKDAY(DATE(2008,10,1),-5)", "39715"},
        {"=WORKDAY(DATE(2008,10,4),0)", "39725"},
        {"=WORKDAY.INTL(DATE(2012,1,1),30,0)", "#NUM!"},
        {"=WORKDAY.INTL(DATE(2012,1,1),90,11)", "41013"},
        {"=WORKDAY.INTL(DATE(2012,1,1),30,17)", "40944"},
        {"=WORKDAY(DATE(9999,12,30),5)", "#NUM!"},
        {"=YEARFRAC(DATE(2012,1,1),DATE(2012,7,30))", "0.58055555555555556"},
        {"=YEARFRAC(DATE(2012,1,1),DATE(2012,7,30),1)", "0.57650273224043716"},
        {"=YEARFRAC(DATE(2012,1,1),DATE(2012,7,30),3)", "0.57808219178082192"},
        {"=YEARFRAC(DATE(2012,1,1),DATE(2012,7,30),2)", "0.58611111111111111"},
        {"=YEARFRAC(DATE(2012,7,30),DATE(2012,1,1),4)", "0.58055555555555556"},
        {"=YEARFRAC(DATE(2011,1,1),DATE(2014,1,1),1)", "3.0006844626967830"},
        {"=YEARFRAC(DATE(2011,6,1),DATE(2012,3,1),1)", "0.74863387978142077"},
        {"=YEARFRAC(DATE(2012,2,29),DATE(2012,3,31))", "0.083333333333333333"},
        {"=YEARFRAC(DATE(2012,1,1),DATE(2012,7,30),5)", "#NUM!"},
        {"=YEARFRAC(1,2,1E+300)", "#NUM!"},
        {"=WEEKDAY(1,2147483648E1)", "#NUM!"},
        {"=WEEKNUM(1,1E+300)", "#NUM!"},
        {"=DAYS360(DATE(2011,1,30),DATE(2011,2,1))", "1"},
        {"=DAYS360(DATE(2011,1,1),DATE(2011,12,31))", "360"},
        {"=DAYS360(DATE(2011,1,1),DATE(2011,12,31),TRUE)", "359"},
        {"=DAYS360(DATE(2011,2,28),DATE(2011,3,31))", "30"},
        {"=WEEKNUM(DATE(2012,3,9))", "10"},
        {"=WEEKNUM(DATE(2012,3,9),2)", "11"},
        {"=WEEKNUM(DATE(2021,1,1),21)", "53"},
        {"=WEEKNUM(DATE(2012,3,9),3)", "#NUM!"},
        {"=ISOWEEKNUM(DATE(2012,3,9))", "10"},
        {"=ISOWEEKNUM(DATE(2021,1,1))", "53"},
        {"=ISOWEEKNUM(DATE(2024,12,30))", "1"},
        {"=DATEVALUE(\"8/22/2011\")", "40777"},
        {"=DATEVALUE(\"22-MAY-2011\")", "40685"},
        {"=DATEVALUE(\"2011/02/23\")", "40597"},
        {"=DATEVALUE(\"2011-02-23\")", "40597"},
        {"=DATEVALUE(\"August 22, 2011\")", "40777"},
        {"=DATEVALUE(\"22-Aug-2011 6:35 AM\")", "40777"},
        {"=DATEVALUE(\"2/30/2011\")", "#VALUE!"},
        {"=DATEVALUE(\"soon\")", "#VALUE!"},
        {"=TIMEVALUE(\"2:24 AM\")", "0.1"},
        {"=TIMEVALUE(\"22-Aug-2011 6:35 AM\")", "0.27430555555555556"},
        {"=TIMEVALUE(\"18:00\")", "0.75"},
        {"=TIMEVALUE(\"12:00 AM\")", "0"},
        {"=TIMEVALUE(\"25:00\")", "#VALUE!"},
    });
}

void TestCriteriaAndDates::dateArithmetic()
{
    QFETCH(QString, formula);
    QFETCH(QString, expected);
    FunctionSheet sheet;
    sheet.column(0, {n(41235), n(41247), n(41295), n(39778), n(39786), n(39834), n(38719), n(38733)});
    compareFormulaResult(QString::fromStdString(sheet.evaluate(formula.toStdString())), expected);
}

QTEST_GUILESS_MAIN(TestCriteriaAndDates)
#include "tst_criteria_and_dates.moc"
