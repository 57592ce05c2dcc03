#include "format/BuiltinFormats.h"
#include "format/GeneralNumber.h"
#include "format/NumberFormat.h"

#include <QTest>

using namespace workbook;

// Number formats as the spreadsheet shows them, a family per test: each row
// is a format code, a number and the text the spreadsheet displays.
class TestNumberFormat : public QObject
{
    Q_OBJECT
private slots:
    void general_data();
    void general();
    void numbers_data();
    void numbers();
    void datesAndTimes_data();
    void datesAndTimes();
    void everydayCodes_data();
    void everydayCodes();
    void sectionsAndColours();
    void texts();
    void narrowColumns();
    void builtinIds();
};

namespace {

struct Row
{
    const char *code;
    double value;
    const char *shown;
};

void addRows(std::initializer_list<Row> rows)
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    for (const Row &r : rows)
        QTest::addRow("%s | %.17g", r.code, r.value) << QString::fromUtf8(r.code) << r.value << QString::fromUtf8(r.shown);
}

QString shown(const char *code, double value, int width = 0)
{
    return QString::fromStdString(NumberFormat(code).number(value, width).text);
}

} // namespace

void TestNumberFormat::general_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("shown");
    const std::tuple<double, int, const char *> rows[] = {
        {0, 0, "0"}, {1.5, 0, "1.5"}, {-2.25, 0, "-2.25"}, {0.1 + 0.2, 0, "0.3"},
        {1.0 / 3, 0, "0.333333333"}, {2.0 / 3, 0, "0.666666667"}, {-1.0 / 3, 0, "-0.333333333"},
        {12345678901, 0, "12345678901"}, {123456789012, 0, "1.23457E+11"}, {1e15, 0, "1E+15"},
        {0.0000123, 0, "0.0000123"}, {0.000000001234, 0, "1.234E-09"}, {1e-10, 0, "1E-10"},
        {1e100, 0, "1E+100"}, {-1.5e-20, 0, "-1.5E-20"}, {123456.789, 0, "123456.789"},
        // shortened to the column
        {1234.5678, 6, "1234.6"}, {1.0 / 3, 5, "0.333"}, {123456789, 6, "1E+08"}, {123456789, 8, "1.23E+08"},
        {-123456789, 8, "-1.2E+08"}, {99.99, 3, "100"}, {123456, 4, "####"}, {0.5, 1, "1"},
    };
    for (const auto &[value, width, text] : rows)
        QTest::addRow("%.17g in %d", value, width) << value << width << QString(text);
}

void TestNumberFormat::general()
{
    QFETCH(double, value);
    QFETCH(int, width);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(generalNumber(value, width)), shown);
    QCOMPARE(QString::fromStdString(NumberFormat("General").number(value, width).text), shown);
}

void TestNumberFormat::numbers_data()
{
    addRows({
        // fixed decimals, halves away from zero on the decimal digits
        {"0", 2.5, "3"}, {"0", -2.5, "-3"}, {"0.00", 2.675, "2.68"}, {"0.00", 1.005, "1.01"}, {"0.0", 0.05, "0.1"},
        {"0.00", -0.001, "0.00"}, {"000", 7, "007"}, {"#", 0, ""}, {"#.##", 5, "5."}, {"#.##", 0.5, ".5"},
        {"0.0#", 3.14159, "3.14"}, {"0.0#", 3, "3.0"}, {"?.??", 1.5, "1.5 "}, {".00", 12.5, "12.50"},
        {"0.00", 9.999, "10.00"}, {"0.0", 1e20, "100000000000000000000.0"},
        // thousands
        {"#,##0", 1234567.891, "1,234,568"}, {"#,##0.00", -1234.5, "-1,234.50"}, {"#,##0", 999, "999"},
        {"#,##0", 0, "0"}, {"0,000", 5, "0,005"}, {"#,##0,", 1234567, "1,235"}, {"0.0,,\" M\"", 12345678, "12.3 M"},
        // percent
        {"0%", 0.256, "26%"}, {"0.00%", 0.12345, "12.35%"}, {"0%", -0.5, "-50%"}, {"0.0%", 1, "100.0%"},
        // scientific
        {"0.00E+00", 12345, "1.23E+04"}, {"0.00E+00", 0.000123, "1.23E-04"}, {"0.00E-00", 12345, "1.23E04"},
        {"0.00E+00", 0, "0.00E+00"}, {"0.00E+00", 9.999e9, "1.00E+10"}, {"##0.0E+0", 12345, "12.3E+3"},
        {"##0.0E+0", 0.001234, "1.2E-3"}, {"0.0E+0", -5e-7, "-5.0E-7"},
        // currency and literals
        {"$#,##0.00", 1234.5, "$1,234.50"}, {"$#,##0.00", -1234.5, "-$1,234.50"}, {"[$€-407] #,##0.00", 3.5, "€ 3.50"},
        {"#,##0.00 [$€-407]", 3.5, "3.50 €"}, {"\"kr\" 0", 12, "kr 12"}, {"0\\ \\k\\g", 5, "5 kg"},
        {"$#,##0_);($#,##0)", -1234, "($1,234)"}, {"$#,##0_);($#,##0)", 1234, "$1,234 "}, {"000-00-0000", 123456789, "123-45-6789"},
        // fractions
        {"# ?/?", 1.5, "1 1/2"}, {"# ?/?", 0.75, " 3/4"}, {"# ?\?/??", 5.25, "5  1/4 "}, {"# ?/?", 3, "3    "},
        {"?/?", 1.5, "3/2"}, {"# ?/8", 2.3, "2 2/8"}, {"# ?\?/100", 0.37, " 37/100"}, {"# ??\?/???", 3.14159265, "3  16/113"},
        {"# ?/?", -1.25, "-1 1/4"}, {"# ?/?", 0.99, "1    "},
    });
}

void TestNumberFormat::numbers()
{
    QFETCH(QString, code);
    QFETCH(double, value);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(NumberFormat(code.toStdString()).number(value).text), shown);
}

void TestNumberFormat::datesAndTimes_data()
{
    addRows({
        {"yyyy-mm-dd", 45292, "2024-01-01"}, {"d-mmm-yy", 45477, "4-Jul-24"}, {"dddd, mmmm d, yyyy", 45477, "Thursday, July 4, 2024"},
        {"m/d/yyyy", 1, "1/1/1900"}, {"yyyy-mm-dd", 0, "1900-01-00"}, {"m/d/yyyy", 59, "2/28/1900"},
        {"m/d/yyyy", 60, "2/29/1900"}, {"m/d/yyyy", 61, "3/1/1900"}, {"ddd", 60, "Wed"}, {"ddd", 1, "Sun"},
        {"mmmmm", 45477, "J"}, {"yy", 2958465, "99"}, {"dd/mm/yyyy", 2958465, "31/12/9999"},
        {"h:mm", 0.75, "18:00"}, {"h:mm AM/PM", 0.75, "6:00 PM"}, {"h:mm am/pm", 0.25, "6:00 am"}, {"hh:mm A/P", 0.5, "12:00 P"},
        {"h:mm:ss", 0.5 + 1.0 / 86400 * 61, "12:01:01"}, {"mm:ss", 1.0 / 86400 * 61, "01:01"}, {"mm:ss.0", 1.25 / 86400, "00:01.3"},
        {"h:mm:ss", 0.99999999, "0:00:00"}, {"h:mm", 10.0 / 24 + 29.0 / 1440 + 59.0 / 86400, "10:29"},
        {"yyyy-mm-dd hh:mm", 45292.999999, "2024-01-02 00:00"},
        // elapsed
        {"[h]:mm", 1.5, "36:00"}, {"[h]:mm:ss", 2 + 1.0 / 86400, "48:00:01"}, {"[mm]:ss", 1.0 / 24, "60:00"},
        {"[ss]", 1.0 / 1440, "60"}, {"[h]", 0.25, "6"},
        // no date before the first day or after the last
        {"yyyy-mm-dd", -1, "#"}, {"yyyy-mm-dd", 2958466, "#"},
    });
}

void TestNumberFormat::datesAndTimes()
{
    QFETCH(QString, code);
    QFETCH(double, value);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(NumberFormat(code.toStdString()).number(value).text), shown);
    QVERIFY(NumberFormat(code.toStdString()).showsDate());
}

void TestNumberFormat::everydayCodes_data()
{
    // Codes as spreadsheets offer them in their format dialogs.
    addRows({
        {"[<=9999999]###-####;(###) ###-####", 5551234, "555-1234"},
        {"[<=9999999]###-####;(###) ###-####", 2125551234, "(212) 555-1234"},
        {"00000", 123, "00123"}, {"00000-0000", 123456789, "12345-6789"},
        {"[$-409]mmmm d, yyyy;@", 45292, "January 1, 2024"}, {"[$-F800]dddd, mmmm dd, yyyy", 45292, "Monday, January 01, 2024"},
        {"#,##0.00 \"€\";-#,##0.00 \"€\"", -1234.5, "-1,234.50 €"}, {"0.00\\ \"kg\"", 2, "2.00 kg"},
        {"h:mm:ss AM/PM", 0.5, "12:00:00 PM"}, {"h:mm:ss AM/PM", 0, "12:00:00 AM"}, {"mmm-yy", 45292, "Jan-24"},
        {"dd/mm/yyyy hh:mm:ss", 45292.5, "01/01/2024 12:00:00"}, {"[mm]:ss", 1.5 / 24, "90:00"},
        {"0.000E+00", -0.000123456, "-1.235E-04"}, {"General", 1e-5, "0.00001"}, {"General", 1e11, "1E+11"},
        {"[Red]0.0;[Blue]-0.0", -2.25, "-2.3"}, {"0%;-0%;\"nil\"", 0, "nil"}, {"#,##0;(#,##0);-", 0, "-"},
    });
}

void TestNumberFormat::everydayCodes()
{
    numbers();
}

void TestNumberFormat::sectionsAndColours()
{
    // positive; negative; zero
    const char *code = "#,##0.00;[Red](#,##0.00);\"zero\"";
    QCOMPARE(shown(code, 1234.5), QString("1,234.50"));
    QCOMPARE(shown(code, -1234.5), QString("(1,234.50)"));
    QCOMPARE(shown(code, 0), QString("zero"));
    QCOMPARE(NumberFormat(code).number(-1).colour, 0xFF0000);
    QCOMPARE(NumberFormat(code).number(1).colour, -1);
    // two sections: zero takes the first; an empty section hides its numbers
    QCOMPARE(shown("0.0;-0.00", 0), QString("0.0"));
    QCOMPARE(shown("0;;", -5), QString(""));
    QCOMPARE(shown("0;;;", 0), QString(""));
    // colours by name and by palette number
    QCOMPARE(NumberFormat("[Blue]0").number(1).colour, 0x0000FF);
    QCOMPARE(NumberFormat("[Color 10]0").number(1).colour, 0x008000);
    QCOMPARE(NumberFormat("[color53]0").number(1).colour, 0x993300);
    QCOMPARE(NumberFormat("[Green]0;[Magenta]0").number(-1).colour, 0xFF00FF);
    // conditions
    const char *tiered = "[Red][>100]0\" big\";[Blue][<=-100]0\" low\";0.0";
    QCOMPARE(shown(tiered, 150), QString("150 big"));
    QCOMPARE(NumberFormat(tiered).number(150).colour, 0xFF0000);
    QCOMPARE(shown(tiered, -150), QString("-150 low"));
    QCOMPARE(shown(tiered, 50), QString("50.0"));
    QCOMPARE(shown("[>=1000]#,##0,\"K\";0", 25000), QString("25K"));
    QCOMPARE(shown("[>=1000]#,##0,\"K\";0", 999), QString("999"));
    QCOMPARE(shown("[=1]\"one\";[=2]\"two\";0", 2), QString("two"));
}

void TestNumberFormat::texts()
{
    // a text section shows text through it; else text shows as it is
    QCOMPARE(NumberFormat("0.00;-0.00;0;\"[\"@\"]\"").text("abc").text, std::string("[abc]"));
    QCOMPARE(NumberFormat("\"Name: \"@").text("Ann").text, std::string("Name: Ann"));
    QCOMPARE(NumberFormat("0%").text("abc").text, std::string("abc"));
    QCOMPARE(NumberFormat("0.00").text("12").text, std::string("12"));
    QCOMPARE(NumberFormat("0;0;0;[Red]@").text("x").colour, 0xFF0000);
    // "@" alone shows numbers as General
    QCOMPARE(shown("@", 1.5), QString("1.5"));
    QCOMPARE(NumberFormat("@").text("007").text, std::string("007"));
}

void TestNumberFormat::narrowColumns()
{
    QCOMPARE(shown("#,##0.00", 1234567.5, 8), QString("########"));
    QCOMPARE(shown("#,##0.00", 1234.5, 8), QString("1,234.50"));
    QCOMPARE(shown("yyyy-mm-dd", 45292, 6), QString("######"));
    QCOMPARE(shown("0%", 0.5, 3), QString("50%"));
    QCOMPARE(shown("General", 123456789, 5), QString("1E+08"));
    QCOMPARE(shown("General", 123456789, 4), QString("####"));
    QCOMPARE(QString::fromStdString(hashes(0)), QString("#"));
    // text never becomes "#"
    QCOMPARE(NumberFormat("0.00").text("a long text").text, std::string("a long text"));
}

void TestNumberFormat::builtinIds()
{
    QCOMPARE(QString::fromStdString(builtinFormatCode(0)), QString("General"));
    QCOMPARE(QString::fromStdString(builtinFormatCode(14)), QString("m/d/yyyy"));
    QCOMPARE(QString::fromStdString(builtinFormatCode(49)), QString("@"));
    QCOMPARE(QString::fromStdString(builtinFormatCode(100)), QString());
    QCOMPARE(shown(builtinFormatCode(10).c_str(), 0.5), QString("50.00%"));
    QCOMPARE(shown(builtinFormatCode(46).c_str(), 1.5), QString("36:00:00"));
    QCOMPARE(shown(builtinFormatCode(38).c_str(), -1234), QString("(1,234)"));
    QCOMPARE(shown(builtinFormatCode(43).c_str(), 0), QString(" -   "));
}

QTEST_APPLESS_MAIN(TestNumberFormat)
#include "tst_number_format.moc"
