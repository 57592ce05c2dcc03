#include "FunctionTestSupport.h"

using namespace workbook;

// Rounding, combinatorics, series and trigonometry, and the engineering
// family (bases, bits, units), with the spreadsheet's published examples.
class TestMathFunctions : public QObject
{
    Q_OBJECT
private slots:
    void math_data();
    void math();
    void engineering_data();
    void engineering();

private:
    void check();
};

void TestMathFunctions::check()
{
    QFETCH(QString, formula);
    QFETCH(QString, expected);
    FunctionSheet sheet;
    sheet.column(0, {n(1), n(-0.5), n(1.0 / 24), n(-1.0 / 720)});
    sheet.column(1, {n(2), n(3), n(9), n(1), n(8), n(7), n(5)});
    sheet.column(2, {n(6), n(5), n(11), n(7), n(5), n(4), n(4)});
    compareFormulaResult(QString::fromStdString(sheet.evaluate(formula.toStdString())), expected);
}

void TestMathFunctions::math_data()
{
    addFormulaRows({
        // rounding to multiples, negative numbers either way
        {"=CEILING.MATH(24.3,5)", "25"}, {"=CEILING.MATH(6.7)", "7"}, {"=CEILING.MATH(-8.1,2)", "-8"},
        {"=CEILING.MATH(-5.5,2,-1)", "-6"}, {"=FLOOR.MATH(24.3,5)", "20"}, {"=FLOOR.MATH(6.7)", "6"},
        {"=FLOOR.MATH(-8.1,2)", "-10"}, {"=FLOOR.MATH(-5.5,2,-1)", "-4"}, {"=FLOOR.MATH(5,0)", "0"},
        {"=FLOOR.PRECISE(-3.2,-1)", "-4"}, {"=FLOOR.PRECISE(3.2,1)", "3"}, {"=FLOOR.PRECISE(-3.2,1)", "-4"},
        {"=FLOOR.PRECISE(3.2,-1)", "3"}, {"=FLOOR.PRECISE(3.2)", "3"}, {"=CEILING.PRECISE(4.3)", "5"},
        {"=CEILING.PRECISE(-4.3)", "-4"}, {"=CEILING.PRECISE(4.3,-2)", "6"}, {"=CEILING.PRECISE(-4.3,-2)", "-4"},
        {"=ISO.CEILING(4.3)", "5"}, {"=ISO.CEILING(-4.3,2)", "-4"}, {"=CEILING.MATH(0.3,0.1)", "0.3"},
        // pairs and series
        {"=SUMX2MY2(B1:B7,C1:C7)", "-55"}, {"=SUMX2PY2(B1:B7,C1:C7)", "521"}, {"=SUMXMY2(B1:B7,C1:C7)", "79"},
        {"=SUMXMY2(B1:B7,C1:C6)", "#N/A"}, {"=SERIESSUM(PI()/4,0,2,A1:A4)", "0.70710321482284565"},
        // counting
        {"=MULTINOMIAL(2,3,4)", "1260"}, {"=MULTINOMIAL(-1,2)", "#NUM!"}, {"=FACTDOUBLE(6)", "48"},
        {"=FACTDOUBLE(7)", "105"}, {"=FACTDOUBLE(-1)", "#NUM!"}, {"=COMBINA(4,3)", "20"}, {"=COMBINA(10,3)", "220"},
        {"=COMBINA(3,0)", "1"}, {"=PERMUT(100,3)", "970200"}, {"=PERMUT(3,2)", "6"}, {"=PERMUT(2,3)", "#NUM!"},
        {"=PERMUTATIONA(3,2)", "9"}, {"=PERMUTATIONA(2,2)", "4"}, {"=PERMUT(1E+300,2)", "#NUM!"},
        // trigonometry
        {"=SQRTPI(2)", "2.5066282746310005"}, {"=SQRTPI(-1)", "#NUM!"}, {"=SEC(45)", "1.9035944074044247"},
        {"=COT(30)", "-0.15611995216165922"}, {"=CSC(15)", "1.5377805615408536"}, {"=SECH(45)", "5.7250371610987873e-20"},
        {"=CSCH(1.5)", "0.46964244059522458"}, {"=COTH(2)", "1.0373147207275481"}, {"=ACOT(2)", "0.46364760900080612"},
        {"=ACOTH(6)", "0.16823611831060647"}, {"=ACOTH(0.5)", "#NUM!"}, {"=COT(0)", "#DIV/0!"}, {"=CSC(0)", "#DIV/0!"},
        // bases
        {"=BASE(7,2)", "111"}, {"=BASE(100,16)", "64"}, {"=BASE(15,2,10)", "0000001111"}, {"=BASE(-1,2)", "#NUM!"},
        {"=BASE(5,37)", "#NUM!"}, {"=DECIMAL(\"FF\",16)", "255"}, {"=DECIMAL(111,2)", "7"}, {"=DECIMAL(\"zap\",36)", "45745"},
        {"=DECIMAL(\"12\",2)", "#NUM!"},
        // Roman numerals, classic and ever more concise
        {"=ROMAN(499)", "CDXCIX"}, {"=ROMAN(499,1)", "LDVLIV"}, {"=ROMAN(499,2)", "XDIX"}, {"=ROMAN(499,3)", "VDIV"},
        {"=ROMAN(499,4)", "ID"}, {"=ROMAN(499,TRUE)", "CDXCIX"}, {"=ROMAN(499,FALSE)", "ID"}, {"=ROMAN(2024)", "MMXXIV"},
        {"=ROMAN(3999)", "MMMCMXCIX"}, {"=ROMAN(1999,4)", "MIM"}, {"=ROMAN(0)", ""}, {"=ROMAN(4000)", "#VALUE!"},
        {"=ROMAN(5,5)", "#VALUE!"}, {"=ARABIC(\"LVII\")", "57"}, {"=ARABIC(\" mcmxii \")", "1912"},
        {"=ARABIC(\"ID\")", "499"}, {"=ARABIC(\"-MMXI\")", "-2011"}, {"=ARABIC(\"\")", "0"}, {"=ARABIC(\"ABC\")", "#VALUE!"},
        {"=ARABIC(ROMAN(1999,3))", "1999"},
    });
}

void TestMathFunctions::math() { check(); }

void TestMathFunctions::engineering_data()
{
    addFormulaRows({
        {"=DEC2BIN(9,4)", "1001"}, {"=DEC2BIN(-100)", "1110011100"}, {"=DEC2BIN(512)", "#NUM!"}, {"=DEC2BIN(9,2)", "#NUM!"},
        {"=DEC2HEX(100,4)", "0064"}, {"=DEC2HEX(-54)", "FFFFFFFFCA"}, {"=DEC2OCT(58,3)", "072"}, {"=DEC2OCT(-100)", "7777777634"},
        {"=BIN2DEC(1100100)", "100"}, {"=BIN2DEC(1111111111)", "-1"}, {"=BIN2DEC(2)", "#NUM!"}, {"=BIN2DEC(TRUE)", "#VALUE!"},
        {"=BIN2HEX(11111011,4)", "00FB"}, {"=BIN2HEX(1110)", "E"}, {"=BIN2HEX(1111111111)", "FFFFFFFFFF"},
        {"=BIN2OCT(1001,3)", "011"}, {"=BIN2OCT(1100100)", "144"}, {"=BIN2OCT(1111111111)", "7777777777"},
        {"=HEX2BIN(\"F\",8)", "00001111"}, {"=HEX2BIN(\"B7\")", "10110111"}, {"=HEX2BIN(\"FFFFFFFE00\")", "1000000000"},
        {"=HEX2BIN(\"200\")", "#NUM!"}, {"=HEX2DEC(\"A5\")", "165"}, {"=HEX2DEC(\"FFFFFFFF5B\")", "-165"},
        {"=HEX2DEC(\"3DA408B9\")", "1034160313"}, {"=HEX2DEC(\"G\")", "#NUM!"}, {"=HEX2DEC(\"1FFFFFFFFFF\")", "#NUM!"},
        {"=HEX2OCT(\"F\",3)", "017"}, {"=HEX2OCT(\"3B4E\")", "35516"}, {"=HEX2OCT(\"FFFFFFFF00\")", "7777777400"},
        {"=OCT2BIN(3,3)", "011"}, {"=OCT2BIN(7777777000)", "1000000000"}, {"=OCT2DEC(54)", "44"},
        {"=OCT2DEC(7777777533)", "-165"}, {"=OCT2HEX(100,4)", "0040"}, {"=OCT2HEX(7777777533)", "FFFFFFFF5B"},
        {"=BITAND(1,5)", "1"}, {"=BITAND(13,25)", "9"}, {"=BITOR(23,10)", "31"}, {"=BITXOR(5,3)", "6"},
        {"=BITLSHIFT(4,2)", "16"}, {"=BITRSHIFT(13,2)", "3"}, {"=BITLSHIFT(13,-2)", "3"}, {"=BITAND(-1,1)", "#NUM!"},
        {"=BITAND(1.5,1)", "#NUM!"}, {"=BITLSHIFT(2^47,1)", "#NUM!"},
        {"=DELTA(5,4)", "0"}, {"=DELTA(5,5)", "1"}, {"=DELTA(0.5)", "0"}, {"=GESTEP(5,4)", "1"}, {"=GESTEP(5,5)", "1"},
        {"=GESTEP(-4,-5)", "1"}, {"=GESTEP(-1)", "0"}, {"=ERFC.PRECISE(1)", "0.15729920705028513"},
        {"=ERF.PRECISE(0.745)", "0.70792892009573768"},
        // units
        {"=CONVERT(1,\"lbm\",\"kg\")", "0.45359237"}, {"=CONVERT(68,\"F\",\"C\")", "20"}, {"=CONVERT(2.5,\"ft\",\"sec\")", "#N/A"},
        {"=CONVERT(CONVERT(100,\"ft\",\"m\"),\"ft\",\"m\")", "9.290304"}, {"=CONVERT(1,\"mi\",\"km\")", "1.609344"},
        {"=CONVERT(1,\"gal\",\"l\")", "3.785411784"}, {"=CONVERT(1,\"kbyte\",\"bit\")", "8000"},
        {"=CONVERT(1,\"kibyte\",\"bit\")", "8192"}, {"=CONVERT(100,\"C\",\"K\")", "373.15"}, {"=CONVERT(1,\"cm2\",\"m2\")", "0.0001"},
        {"=CONVERT(1,\"km3\",\"m3\")", "1000000000"}, {"=CONVERT(1,\"hr\",\"mn\")", "60"}, {"=CONVERT(1,\"atm\",\"Pa\")", "101325"},
        {"=CONVERT(1,\"nm\",\"ang\")", "10"}, {"=CONVERT(212,\"F\",\"Rank\")", "671.67"}, {"=CONVERT(1,\"ft\",\"in\")", "12"},
        {"=CONVERT(1,\"kft\",\"m\")", "#N/A"}, {"=CONVERT(1,\"xyz\",\"m\")", "#N/A"}, {"=CONVERT(1,\"kibit\",\"kim\")", "#N/A"},
    });
}

void TestMathFunctions::engineering() { check(); }

QTEST_GUILESS_MAIN(TestMathFunctions)
#include "tst_math_functions.moc"
