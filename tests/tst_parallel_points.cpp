#include "ParallelPoints.h"
#include "Workbook.h"
#include "io/WorkbookFiles.h"

#include <QTest>

#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>

using namespace workbook;

namespace {

// Type and content alike, numbers to the bit.
bool sameBits(const Value &a, const Value &b)
{
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case ValueType::Number:
    case ValueType::Boolean: {
        const double x = a.asNumber(), y = b.asNumber();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    case ValueType::Text:
        return a.asText() == b.asText();
    case ValueType::Error:
        return a.asError() == b.asError();
    case ValueType::Empty:
        return true;
    }
    return false;
}

// A1 and A2 are the inputs; column B reads them through arithmetic, text,
// lookups, errors, a name, a circular pair and an unknown function.
void buildMixedModel(Workbook &book)
{
    const SheetIndex s = book.addSheet("M");
    book.setValue({s, 0, 0}, Value::number(1));
    book.setValue({s, 1, 0}, Value::number(2));
    const char *const labels[] = {"zero", "one", "two", "three", "four"};
    for (int i = 0; i < 5; ++i) {
        book.setValue({s, i, 3}, Value::number(i));
        book.setValue({s, i, 4}, Value::text(labels[i]));
    }
    book.defineName("Rate", "=M!$A$1*2");
    const char *const formulas[] = {
        "=A1*A2-3",
        "=IF(B1>0,\"pos\",\"neg\")",
        "=B2&\"/\"&A1",
        "=1/(A1-A2)",
        "=VLOOKUP(ROUND(A1,0),D1:E5,2,FALSE)",
        "=C6+1",
        "=SQRT(A1-A2)",
        "=Rate+A2",
        "=SUM(B1:B4)",
        "=LEN(B3)",
        "=MATCH(A2,D1:D5,1)",
        "=INDEX(E1:E5,2)&A2",
        "=IFERROR(B4,\"none\")",
        "=COUNTIF(D1:D5,\">\"&A1)",
        "=SUM(A1:A2)*B8",
        "=FOO(A1)",
        "=B13&B5",
    };
    int row = 0;
    for (const char *formula : formulas)
        QVERIFY(book.setFormula({s, row++, 1}, formula));
    QVERIFY(book.setFormula({s, 5, 2}, "=B6*A1")); // C6 and B6 read each other
    book.recalculate();
}

std::vector<CellLocation> columnB(SheetIndex sheet, int rows)
{
    std::vector<CellLocation> cells;
    for (int row = 0; row < rows; ++row)
        cells.push_back({sheet, row, 1});
    cells.push_back({sheet, 5, 2});
    return cells;
}

// Every point of a grid over two inputs, first axis fastest: consecutive
// points mostly change one input, at each row's end both.
std::vector<double> grid(double from, double to, int count)
{
    std::vector<double> points;
    for (int j = 0; j < count; ++j)
        for (int i = 0; i < count; ++i) {
            points.push_back(from + (to - from) * i / (count - 1));
            points.push_back(from + (to - from) * j / (count - 1));
        }
    return points;
}

// The outputs of each point through ordinary writes and reads.
std::vector<Value> serially(Workbook &book, const std::vector<CellLocation> &inputs,
                            const std::vector<CellLocation> &outputs, const std::vector<double> &points)
{
    std::vector<Value> results;
    for (size_t p = 0; p < points.size() / inputs.size(); ++p) {
        for (size_t i = 0; i < inputs.size(); ++i)
            book.setValue(inputs[i], Value::number(points[p * inputs.size() + i]));
        for (const CellLocation &where : outputs)
            results.push_back(book.value(where));
    }
    return results;
}

// Collects what the workers deliver, in point order.
struct Collected
{
    explicit Collected(size_t width) : width(width) {}
    ParallelPoints::Delivery delivery()
    {
        return [this](size_t first, size_t count, std::vector<Value> &&values) {
            std::lock_guard<std::mutex> lock(mutex);
            if (results.size() < (first + count) * width)
                results.resize((first + count) * width);
            std::move(values.begin(), values.end(), results.begin() + first * width);
        };
    }
    size_t width;
    std::mutex mutex;
    std::vector<Value> results;
};

std::vector<Value> inParallel(Workbook &book, const std::vector<CellLocation> &inputs,
                              const std::vector<CellLocation> &outputs, const std::vector<double> &points, int threads)
{
    Collected collected(outputs.size());
    ParallelPoints parallel(book, inputs, outputs, threads, collected.delivery());
    if (!parallel.usable())
        return {};
    parallel.submit(points);
    parallel.finish();
    return collected.results;
}

void compareBitForBit(const std::vector<Value> &parallel, const std::vector<Value> &serial)
{
    QCOMPARE(parallel.size(), serial.size());
    for (size_t i = 0; i < serial.size(); ++i)
        QVERIFY2(sameBits(parallel[i], serial[i]),
                 qPrintable(QStringLiteral("result %1: %2 against %3")
                                .arg(i)
                                .arg(QString::fromStdString(displayText(parallel[i])),
                                     QString::fromStdString(displayText(serial[i])))));
}

} // namespace

class TestParallelPoints : public QObject
{
    Q_OBJECT
private slots:
    void mixedModelMatchesSerialBitForBit_data();
    void mixedModelMatchesSerialBitForBit();
    void examplesMatchSerialBitForBit_data();
    void examplesMatchSerialBitForBit();
    void theWorkbookItselfIsNotWritten();
    void volatileFunctionsDrawAtEveryPoint();
    void anInputHoldingAFormulaIsRefused();
    void cellsReadThroughOffsetOrIndirectAreLeftToTheWorkbook();
    void aChangeWaitsForTheWorkersAndLaterPointsSeeIt();
    void aClosedWorkbookIsLetGo();
};

void TestParallelPoints::mixedModelMatchesSerialBitForBit_data()
{
    QTest::addColumn<int>("threads");
    QTest::newRow("one worker") << 1;
    QTest::newRow("two workers") << 2;
    QTest::newRow("five workers") << 5;
}

void TestParallelPoints::mixedModelMatchesSerialBitForBit()
{
    QFETCH(int, threads);
    Workbook serialBook, parallelBook;
    buildMixedModel(serialBook);
    buildMixedModel(parallelBook);
    const std::vector<CellLocation> inputs{{0, 0, 0}, {0, 1, 0}};
    const std::vector<CellLocation> outputs = columnB(0, 17);
    const std::vector<double> points = grid(-2, 4, 13);
    const std::vector<Value> serial = serially(serialBook, inputs, outputs, points);
    // The model does reach every kind of value.
    std::set<ValueType> kinds;
    for (const Value &v : serial)
        kinds.insert(v.type());
    QVERIFY(kinds == (std::set<ValueType>{ValueType::Number, ValueType::Text, ValueType::Error}));
    compareBitForBit(inParallel(parallelBook, inputs, outputs, points, threads), serial);
}

void TestParallelPoints::examplesMatchSerialBitForBit_data()
{
    QTest::addColumn<QString>("file");
    for (const char *name : {"projectile", "loan", "oscillator"})
        QTest::newRow(name) << QStringLiteral(TARVIO_EXAMPLES "/%1.xlsx").arg(QLatin1String(name));
}

void TestParallelPoints::examplesMatchSerialBitForBit()
{
    QFETCH(QString, file);
    Workbook serialBook, parallelBook;
    QVERIFY(loadWorkbookFile(file.toStdString(), serialBook).ok);
    QVERIFY(loadWorkbookFile(file.toStdString(), parallelBook).ok);
    // The first two inputs of each example, its results below them.
    const std::vector<CellLocation> inputs{{0, 2, 1}, {0, 3, 1}};
    std::vector<CellLocation> outputs;
    for (int row = 6; row < 14; ++row)
        outputs.push_back({0, row, 1});
    const std::vector<double> points = grid(-1, 60, 21);
    const std::vector<Value> serial = serially(serialBook, inputs, outputs, points);
    compareBitForBit(inParallel(parallelBook, inputs, outputs, points, 2), serial);
}

void TestParallelPoints::theWorkbookItselfIsNotWritten()
{
    Workbook book;
    buildMixedModel(book);
    const Value before = book.value({0, 0, 1});
    QVERIFY(!inParallel(book, {{0, 0, 0}, {0, 1, 0}}, columnB(0, 17), grid(-2, 4, 5), 2).empty());
    QCOMPARE(book.value({0, 0, 0}).asNumber(), 1.0);
    QCOMPARE(book.value({0, 1, 0}).asNumber(), 2.0);
    QVERIFY(sameBits(book.value({0, 0, 1}), before));
    // An input cell that did not exist is made empty, as a write would make it.
    QVERIFY(!inParallel(book, {{0, 30, 0}}, {{0, 30, 0}}, {7}, 2).empty());
    QVERIFY(book.value({0, 30, 0}).isEmpty());
}

void TestParallelPoints::volatileFunctionsDrawAtEveryPoint()
{
    Workbook book;
    const SheetIndex s = book.addSheet("V");
    book.setValue({s, 0, 0}, Value::number(1));
    QVERIFY(book.setFormula({s, 0, 1}, "=RAND()+A1*0"));
    QVERIFY(book.setFormula({s, 0, 2}, "=B1*2"));
    // Every point writes the same number: the draw is still the point's own.
    const std::vector<double> points(400, 1.0);
    const std::vector<Value> results = inParallel(book, {{s, 0, 0}}, {{s, 0, 1}, {s, 0, 2}}, points, 2);
    QCOMPARE(results.size(), size_t(800));
    std::set<double> draws;
    for (size_t p = 0; p < 400; ++p) {
        draws.insert(results[2 * p].asNumber());
        QCOMPARE(results[2 * p + 1].asNumber(), results[2 * p].asNumber() * 2); // what it feeds follows
    }
    QCOMPARE(draws.size(), size_t(400));
}

void TestParallelPoints::anInputHoldingAFormulaIsRefused()
{
    Workbook book;
    buildMixedModel(book);
    Collected collected(1);
    ParallelPoints parallel(book, {{0, 0, 1}}, {{0, 1, 1}}, 2, collected.delivery());
    QVERIFY(!parallel.usable());
    QVERIFY(book.hasFormula({0, 0, 1}));
}

void TestParallelPoints::cellsReadThroughOffsetOrIndirectAreLeftToTheWorkbook()
{
    // C1 reads B1 through INDIRECT: no order fixed in advance knows that.
    Workbook book;
    const SheetIndex s = book.addSheet("D");
    book.setValue({s, 0, 0}, Value::number(1));
    QVERIFY(book.setFormula({s, 0, 1}, "=A1*2"));
    QVERIFY(book.setFormula({s, 0, 2}, "=INDIRECT(\"B1\")+1"));
    Collected collected(1);
    ParallelPoints indirect(book, {{s, 0, 0}}, {{s, 0, 2}}, 2, collected.delivery());
    QVERIFY(!indirect.usable());
    // Through a name too.
    QVERIFY(book.defineName("Moved", "OFFSET(D!A1,0,1)"));
    QVERIFY(book.setFormula({s, 0, 2}, "=Moved+1"));
    ParallelPoints named(book, {{s, 0, 0}}, {{s, 0, 2}}, 2, collected.delivery());
    QVERIFY(!named.usable());
    QVERIFY(book.setFormula({s, 0, 2}, "=B1+1"));
    ParallelPoints plain(book, {{s, 0, 0}}, {{s, 0, 2}}, 2, collected.delivery());
    QVERIFY(plain.usable());
}

void TestParallelPoints::aChangeWaitsForTheWorkersAndLaterPointsSeeIt()
{
    Workbook book;
    const SheetIndex s = book.addSheet("C");
    book.setValue({s, 0, 0}, Value::number(1));
    book.setValue({s, 0, 1}, Value::number(10));
    QVERIFY(book.setFormula({s, 0, 2}, "=A1+B1"));
    Collected collected(1);
    ParallelPoints parallel(book, {{s, 0, 0}}, {{s, 0, 2}}, 2, collected.delivery());
    parallel.submit({1, 2, 3});
    parallel.finish();
    QVERIFY(!parallel.isPaused());

    // The change pauses the workers; points queued meanwhile wait for the resume.
    book.setValue({s, 0, 1}, Value::number(100));
    QVERIFY(parallel.isPaused());
    parallel.submit({4, 5});
    parallel.finish();
    QCOMPARE(collected.results.size(), size_t(3));
    QVERIFY(parallel.resume());
    parallel.finish();
    QCOMPARE(collected.results.size(), size_t(5));
    QCOMPARE(collected.results[2].asNumber(), 13.0);
    QCOMPARE(collected.results[3].asNumber(), 104.0);
    QCOMPARE(collected.results[4].asNumber(), 105.0);

    // A formula typed into the input: points can no longer be evaluated apart.
    QVERIFY(book.setFormula({s, 0, 0}, "=B1"));
    QVERIFY(!parallel.resume());
    QVERIFY(!parallel.usable());
}

void TestParallelPoints::aClosedWorkbookIsLetGo()
{
    auto book = std::make_unique<Workbook>();
    buildMixedModel(*book);
    const std::vector<CellLocation> outputs = columnB(0, 17);
    Collected collected(outputs.size());
    ParallelPoints parallel(*book, {{0, 0, 0}, {0, 1, 0}}, outputs, 2, collected.delivery());
    parallel.submit(grid(-2, 4, 40));
    book.reset();
    QVERIFY(!parallel.usable());
    QVERIFY(!parallel.resume());
    parallel.finish();
    // Whatever was delivered came whole, before the workbook went.
    QCOMPARE(collected.results.size() % outputs.size(), size_t(0));
}

QTEST_GUILESS_MAIN(TestParallelPoints)
#include "tst_parallel_points.moc"
