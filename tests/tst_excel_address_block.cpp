#include "ExcelAddressBlock.h"
#include "ProgramDiagnostics.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

namespace {

// Records what a listener on the top block hears, as address texts.
struct Reports
{
    QStringList addresses;
    QList<bool> singleCells;
};

Reports parseAndListen(const QString &address, bool iterate)
{
    Reports reports;
    ExcelAddressBlock block;
    QObject::connect(&block, &ExcelAddressBlock::rangeIterated, [&reports](ExcelAddressBlock *reported) {
        reports.addresses << reported->address();
        reports.singleCells << reported->isSingleCell();
    });
    block.setAddress(address, iterate);
    return reports;
}

} // namespace

class TestExcelAddressBlock : public QObject
{
    Q_OBJECT
private slots:
    void columnNamesAndCellNames_data();
    void columnNamesAndCellNames();
    void columnNameAndParseCellAreInverse();
    void parseCellReadsRowsAndColumns();
    void parseCellRefusesCellsBeyondTheSheet();
    void singleCellReportsItselfOnce();
    void rectangleReportsCellsRowByRowThenItself();
    void severalPartsReportInOrder();
    void withoutIterationOnlyBlocksAreReported();
    void reversedRangeIsInvalid();
    void wholeRowsAndColumnsAreNotBrokenIntoCells();
    void emptyMiddlePartInvalidatesTheRest();
    void emptyAndRepeatedAddressesParseOnce();
    void textOutsideThePatternIsAnUnbrokenWholeSheet_data();
    void textOutsideThePatternIsAnUnbrokenWholeSheet();
    void childrenAreKeptAndReplacedOnReparse();
    void iterationStopsAfterTheCellLimit();
    void hostileAddressesFinish();
};

void TestExcelAddressBlock::columnNamesAndCellNames_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::newRow("A") << 1 << "A";
    QTest::newRow("Z") << 26 << "Z";
    QTest::newRow("AA") << 27 << "AA";
    QTest::newRow("AZ") << 52 << "AZ";
    QTest::newRow("BA") << 53 << "BA";
    QTest::newRow("ZZ") << 702 << "ZZ";
    QTest::newRow("AAA") << 703 << "AAA";
    QTest::newRow("XFD") << 16384 << "XFD";
    QTest::newRow("zero is the character before A") << 0 << "@";
}

void TestExcelAddressBlock::columnNamesAndCellNames()
{
    QFETCH(int, column);
    QFETCH(QString, name);
    QCOMPARE(ExcelAddressBlock::columnName(column), name);
    QCOMPARE(ExcelAddressBlock::cellName(7, column), name + QStringLiteral("7"));
}

void TestExcelAddressBlock::columnNameAndParseCellAreInverse()
{
    QCOMPARE(ExcelAddressBlock::cellName(10, 28), QStringLiteral("AB10"));
    for (int column = 1; column <= ExcelAddressBlock::maxColumn; ++column) {
        const ExcelCell cell = ExcelAddressBlock::parseCell(ExcelAddressBlock::cellName(5, column));
        QVERIFY(cell.valid);
        QCOMPARE(cell.row, 5);
        QCOMPARE(cell.column, column);
    }
}

void TestExcelAddressBlock::parseCellReadsRowsAndColumns()
{
    struct Case
    {
        const char *text;
        int row;
        int column;
    };
    const Case cases[] = {
        {"AB10", 10, 28}, {"AAA1", 1, 703}, {"ab10", 10, 28}, {"12", 12, 0}, {"C", 0, 3},
        {"", 0, 0},       {"A1x", 0, 1},    {"A-1", 0, 1},    {"A0", 0, 1},  {"A007", 7, 1},
    };
    for (const Case &c : cases) {
        const ExcelCell cell = ExcelAddressBlock::parseCell(QString::fromLatin1(c.text));
        QVERIFY2(cell.valid, c.text);
        QCOMPARE(cell.row, c.row);
        QCOMPARE(cell.column, c.column);
    }
}

void TestExcelAddressBlock::parseCellRefusesCellsBeyondTheSheet()
{
    QVERIFY(ExcelAddressBlock::parseCell(QStringLiteral("XFD1048576")).valid);
    QVERIFY(!ExcelAddressBlock::parseCell(QStringLiteral("XFE1")).valid);
    QVERIFY(!ExcelAddressBlock::parseCell(QStringLiteral("A1048577")).valid);
    QVERIFY(!ExcelAddressBlock::parseCell(QString(10000, QLatin1Char('Z'))).valid);
    QVERIFY(!ExcelAddressBlock::parseCell(QStringLiteral("A") + QString(10000, QLatin1Char('9'))).valid);

    QTest::ignoreMessage(QtDebugMsg, "Invalid address: \"A1:XFE2\"");
    ExcelAddressBlock block(QStringLiteral("A1:XFE2"), true);
    QVERIFY(!block.isValid());
    QVERIFY(block.children().isEmpty());
}

void TestExcelAddressBlock::singleCellReportsItselfOnce()
{
    ExcelAddressBlock block;
    QSignalSpy spy(&block, &ExcelAddressBlock::rangeIterated);
    block.setAddress(QStringLiteral("B3"), true);
    QCOMPARE(spy.count(), 1);
    QVERIFY(block.isSingleCell());
    QCOMPARE(block.startRow(), 3);
    QCOMPARE(block.startColumn(), 2);
    QCOMPARE(block.endRow(), 3);
    QCOMPARE(block.endColumn(), 2);
    QVERIFY(block.children().isEmpty());
}

void TestExcelAddressBlock::rectangleReportsCellsRowByRowThenItself()
{
    const Reports reports = parseAndListen(QStringLiteral("A1:B2"), true);
    QCOMPARE(reports.addresses, QStringList({"A1", "B1", "A2", "B2", "A1:B2"}));
    QCOMPARE(reports.singleCells, QList<bool>({true, true, true, true, false}));

    ExcelAddressBlock block(QStringLiteral("A1:B2"), true);
    QVERIFY(block.isValid());
    QVERIFY(block.isSimple());
    QCOMPARE(block.children().size(), 4);
    QCOMPARE(block.children().at(1)->address(), QStringLiteral("B1"));
}

void TestExcelAddressBlock::severalPartsReportInOrder()
{
    const Reports reports = parseAndListen(QStringLiteral("A1;C3:C4"), true);
    QCOMPARE(reports.addresses, QStringList({"A1", "C3", "C4", "C3:C4", "A1;C3:C4"}));

    ExcelAddressBlock block(QStringLiteral("A1;C3:C4"), true);
    QVERIFY(block.isValid());
    QVERIFY(!block.isSimple());
    QVERIFY(!block.isSingleCell());
    QCOMPARE(block.children().size(), 2);
    QCOMPARE(block.children().at(1)->children().size(), 2);
}

void TestExcelAddressBlock::withoutIterationOnlyBlocksAreReported()
{
    QCOMPARE(parseAndListen(QStringLiteral("A1:B2"), false).addresses, QStringList({"A1:B2"}));
    QCOMPARE(parseAndListen(QStringLiteral("A1;C3:C4"), false).addresses, QStringList({"A1", "C3:C4", "A1;C3:C4"}));
}

void TestExcelAddressBlock::reversedRangeIsInvalid()
{
    QTest::ignoreMessage(QtDebugMsg, "Invalid address: \"B3:A1\"");
    ExcelAddressBlock block;
    QSignalSpy spy(&block, &ExcelAddressBlock::rangeIterated);
    block.setAddress(QStringLiteral("B3:A1"), true);
    QVERIFY(!block.isValid());
    QCOMPARE(spy.count(), 1);
}

void TestExcelAddressBlock::wholeRowsAndColumnsAreNotBrokenIntoCells()
{
    ExcelAddressBlock columns(QStringLiteral("A:C"), true);
    QVERIFY(columns.isValid());
    QVERIFY(columns.wholeColumns());
    QVERIFY(!columns.wholeRows());
    QCOMPARE(columns.startColumn(), 1);
    QCOMPARE(columns.endColumn(), 3);
    QVERIFY(columns.children().isEmpty());

    ExcelAddressBlock rows(QStringLiteral("3:5"), true);
    QVERIFY(rows.isValid());
    QVERIFY(rows.wholeRows());
    QVERIFY(!rows.wholeColumns());
    QCOMPARE(rows.startRow(), 3);
    QCOMPARE(rows.endRow(), 5);
    QVERIFY(rows.children().isEmpty());
    QVERIFY(!rows.isSingleCell());
}

void TestExcelAddressBlock::emptyMiddlePartInvalidatesTheRest()
{
    QTest::ignoreMessage(QtDebugMsg, "Invalid block \"\"");
    QTest::ignoreMessage(QtDebugMsg, "Invalid block \"B2\"");
    Reports reports;
    ExcelAddressBlock block;
    QObject::connect(&block, &ExcelAddressBlock::rangeIterated,
                     [&reports](ExcelAddressBlock *reported) { reports.addresses << reported->address(); });
    block.setAddress(QStringLiteral("A1;;B2"), true);
    QVERIFY(!block.isValid());
    QCOMPARE(reports.addresses, QStringList({"A1", "B2", "A1;;B2"}));
    QCOMPARE(block.children().size(), 1);
}

void TestExcelAddressBlock::emptyAndRepeatedAddressesParseOnce()
{
    ExcelAddressBlock empty;
    QVERIFY(!empty.isValid());

    ExcelAddressBlock block;
    QSignalSpy spy(&block, &ExcelAddressBlock::rangeIterated);
    block.setAddress(QString(), true);
    QCOMPARE(spy.count(), 0);
    block.setAddress(QStringLiteral("A1:A3"), true);
    QCOMPARE(spy.count(), 4);
    block.setAddress(QStringLiteral("A1:A3"), true);
    QCOMPARE(spy.count(), 4);
}

void TestExcelAddressBlock::textOutsideThePatternIsAnUnbrokenWholeSheet_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("lower case") << "a1:b2";
    QTest::newRow("dollar signs") << "$A$1:$B$2";
    QTest::newRow("sheet name") << "Sheet1!A1";
    QTest::newRow("spaces") << "A1 : B2";
}

void TestExcelAddressBlock::textOutsideThePatternIsAnUnbrokenWholeSheet()
{
    QFETCH(QString, address);
    ExcelAddressBlock block;
    QSignalSpy spy(&block, &ExcelAddressBlock::rangeIterated);
    block.setAddress(address, true);
    QVERIFY(block.isValid());
    QVERIFY(block.wholeRows());
    QVERIFY(block.wholeColumns());
    QVERIFY(!block.isSingleCell());
    QCOMPARE(block.startRow(), 0);
    QCOMPARE(block.endColumn(), 0);
    QCOMPARE(spy.count(), 1);
}

void TestExcelAddressBlock::childrenAreKeptAndReplacedOnReparse()
{
    ExcelAddressBlock block(QStringLiteral("A1:B1"), true);
    QCOMPARE(block.children().size(), 2);
    QPointer<ExcelAddressBlock> firstChild = block.children().first();
    block.setAddress(QStringLiteral("C1"), true);
    QVERIFY(block.children().isEmpty());
    QVERIFY(firstChild.isNull());
    QVERIFY(block.isSingleCell());
}

void TestExcelAddressBlock::iterationStopsAfterTheCellLimit()
{
    QTest::ignoreMessage(QtDebugMsg, "Too many cells, iteration stopped after 10000 cells");
    Reports reports;
    ExcelAddressBlock block;
    QObject::connect(&block, &ExcelAddressBlock::rangeIterated,
                     [&reports](ExcelAddressBlock *reported) { reports.addresses << reported->address(); });
    block.setAddress(QStringLiteral("A1:XFD1048576"), true);
    QVERIFY(block.isValid());
    QCOMPARE(block.children().size(), ExcelAddressBlock::maxIteratedCells);
    QCOMPARE(reports.addresses.size(), ExcelAddressBlock::maxIteratedCells + 1);
    QCOMPARE(reports.addresses.at(9999), ExcelAddressBlock::cellName(1, 10000));
    QCOMPARE(reports.addresses.last(), QStringLiteral("A1:XFD1048576"));
}

void TestExcelAddressBlock::hostileAddressesFinish()
{
    // 10,000 parts, each a rectangle: the cell limit covers all parts together.
    QStringList parts;
    for (int i = 1; i <= 10000; ++i)
        parts << QStringLiteral("A%1:J%1").arg(i);
    QTest::ignoreMessage(QtDebugMsg, "Too many cells, iteration stopped after 10000 cells");
    ExcelAddressBlock many(parts.join(QLatin1Char(';')), true);
    QVERIFY(many.isValid());
    QCOMPARE(many.children().size(), 10000);
    int cells = 0;
    for (ExcelAddressBlock *child : many.children())
        cells += child->children().size();
    QCOMPARE(cells, ExcelAddressBlock::maxIteratedCells);

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Invalid address: ")));
    ExcelAddressBlock letters(QString(10000, QLatin1Char('A')) + QStringLiteral("1"), true);
    QVERIFY(!letters.isValid());
}

QTEST_GUILESS_MAIN(TestExcelAddressBlock)
#include "tst_excel_address_block.moc"
