#include "MainWindowTestSupport.h"
#include "MainWindow.h"
#include "MinMaxMultiDimData.h"
#include "VRKExcelCellSliderView.h"
#include "VRKExcelWatchView.h"
#include "VRKSlider.h"

#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QThread>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <set>

using namespace workbook;

namespace {

// Every watch's stored values, in watch order.
QList<QList<double>> storesOf(const MainWindow &window)
{
    QList<QList<double>> stores;
    for (VRKExcelWatchView *watch : window.watches())
        stores << watch->data()->values();
    return stores;
}

bool sameBits(const QList<QList<double>> &a, const QList<QList<double>> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].size() != b[i].size() || std::memcmp(a[i].data(), b[i].data(), sizeof(double) * a[i].size()) != 0)
            return false;
    return true;
}

} // namespace

class TestParallelScan : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void parallelAndSerialStoresAreIdentical_data();
    void parallelAndSerialStoresAreIdentical();
    void aStopHonoursTheSoftDeadlineAndItsPoints();
    void aStopPastTheHardDeadlineComesAtTheNextPoint();
    void volatileFunctionsDrawAtEveryPoint();
    void pointsStoredAfterAChangeSeeIt();
    void closingTheWorkbookMidScanReadsNothingMore();
    void cellsOfTwoWorkbooksScanPointByPoint();

private:
    QPushButton *graphButton() const { return m_window->findChild<QPushButton *>(QStringLiteral("pushButton_Graph")); }
    // Sliders on the cells of `inputs` (selected, each swept over `from` .. `to`)
    // and watches on the cells of `watched`.
    void makeScan(EmbeddedDocument *doc, const CellRange &inputs, const CellRange &watched, double from, double to);
    // Scans once with `threads` workers; the cells the workbook reported changed meanwhile.
    int scanWith(int threads, EmbeddedDocument *doc);
    void atPoint(int point, const std::function<void()> &action);
    void buildMixedModel(Workbook &book);

    std::unique_ptr<MainWindowSession> m_session;
    MainWindow *m_window = nullptr;
};

void TestParallelScan::init()
{
    m_session = std::make_unique<MainWindowSession>();
    QVERIFY(m_session->exposed);
    m_window = m_session->window.get();
    backend().setScanThreads(2);
}

void TestParallelScan::cleanup()
{
    m_session.reset();
    backend().setScanThreads(QThread::idealThreadCount());
}

void TestParallelScan::makeScan(EmbeddedDocument *doc, const CellRange &inputs, const CellRange &watched, double from,
                                double to)
{
    doc->setSelection({inputs});
    m_window->on_pushButton_newSlider_clicked();
    doc->setSelection({watched});
    m_window->on_pushButton_newWatch_clicked();
    QCOMPARE(m_window->sliders().size(), inputs.rows() * inputs.columns());
    QCOMPARE(m_window->watches().size(), watched.rows() * watched.columns());
    for (VRKExcelCellSliderView *view : m_window->sliders()) {
        view->slider()->setConfig(from, to, (to - from) / 1000);
        emit view->watch()->graphClicked();
    }
    m_window->findChild<QSlider *>(QStringLiteral("horizontalSlider_scanZoom"))->setValue(24);
    QTRY_VERIFY(!m_window->scanZoomTimerForTests()->isActive());
}

int TestParallelScan::scanWith(int threads, EmbeddedDocument *doc)
{
    backend().setScanThreads(threads);
    doc->book().recalculate();
    auto changes = std::make_shared<int>(0);
    auto counting = std::make_shared<bool>(true);
    doc->book().addObserver([changes, counting](const std::vector<CellLocation> &changed) {
        if (*counting)
            *changes += int(changed.size());
    });
    graphButton()->click();
    doc->book().recalculate();
    *counting = false;
    return *changes;
}

void TestParallelScan::atPoint(int point, const std::function<void()> &action)
{
    auto done = std::make_shared<bool>(false);
    connect(m_window, &MainWindow::scanPointEvaluated, m_window, [point, action, done](int points) {
        if (points == point && !*done) {
            *done = true;
            action();
        }
    });
}

// A1 and A2 feed column B through text, lookups, errors, a name and a circular pair.
void TestParallelScan::buildMixedModel(Workbook &book)
{
    const char *const labels[] = {"zero", "one", "two", "three", "four"};
    for (int i = 0; i < 5; ++i) {
        book.setValue({0, i, 3}, Value::number(i));
        book.setValue({0, i, 4}, Value::text(labels[i]));
    }
    book.setValue({0, 0, 0}, Value::number(1));
    book.setValue({0, 1, 0}, Value::number(2));
    book.defineName("Rate", "=Sheet1!$A$1*2");
    const char *const formulas[] = {
        "=A1*A2-3",      "=IF(B1>0,\"pos\",\"neg\")", "=LEN(B2)+A1", "=1/(A1-A2)", "=VLOOKUP(ROUND(A1,0),D1:E5,2,FALSE)",
        "=C6+1",         "=SQRT(A1-A2)",              "=Rate+A2",    "=SUM(B1:B4)", "=MATCH(A2,D1:D5,1)",
        "=IFERROR(B4,\"none\")", "=COUNTIF(D1:D5,\">\"&A1)&\"\"",
    };
    int row = 0;
    for (const char *formula : formulas)
        QVERIFY(book.setFormula({0, row++, 1}, formula));
    QVERIFY(book.setFormula({0, 5, 2}, "=B6*A1"));
    book.recalculate();
}

void TestParallelScan::parallelAndSerialStoresAreIdentical_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("firstResult");
    QTest::newRow("projectile") << QStringLiteral("projectile") << 8;
    QTest::newRow("loan") << QStringLiteral("loan") << 7;
    QTest::newRow("oscillator") << QStringLiteral("oscillator") << 8;
    QTest::newRow("lookups, text, errors, cycles") << QString() << 0;
}

void TestParallelScan::parallelAndSerialStoresAreIdentical()
{
    QFETCH(QString, file);
    QFETCH(int, firstResult);
    EmbeddedDocument *doc = m_session->document;
    CellRange inputs{0, 2, 1, 3, 1};
    CellRange watched{0, firstResult, 1, firstResult + 2, 1};
    if (file.isEmpty()) {
        buildMixedModel(doc->book());
        inputs = CellRange{0, 0, 0, 1, 0};
        watched = CellRange{0, 0, 1, 11, 1};
    } else {
        QString message;
        doc = backend().openDocument(QStringLiteral(TARVIO_EXAMPLES "/%1.xlsx").arg(file), &message);
        QVERIFY2(doc, qPrintable(message));
    }
    makeScan(doc, inputs, watched, -1, 50);
    const QList<double> before{doc->book().value({0, inputs.firstRow, inputs.firstColumn}).asNumber(),
                               doc->book().value({0, inputs.lastRow, inputs.firstColumn}).asNumber()};

    // The parallel scan writes nothing into the workbook the user sees: the
    // cells already hold the sliders' values it gives back.
    QCOMPARE(scanWith(2, doc), 0);
    QVERIFY(m_window->watches().first()->data()->dataComplete());
    const QList<QList<double>> parallel = storesOf(*m_window);
    QVERIFY(scanWith(1, doc) > 0); // point by point, through the workbook itself
    QVERIFY(sameBits(parallel, storesOf(*m_window)));
    // The stores hold numbers and NaN alike, and the cells their old values.
    QVERIFY(std::any_of(parallel.begin(), parallel.end(), [](const QList<double> &store) {
        return std::any_of(store.begin(), store.end(), [](double v) { return !std::isnan(v); });
    }));
    QCOMPARE(doc->book().value({0, inputs.firstRow, inputs.firstColumn}).asNumber(), before[0]);
    QCOMPARE(doc->book().value({0, inputs.lastRow, inputs.firstColumn}).asNumber(), before[1]);
}

void TestParallelScan::aStopHonoursTheSoftDeadlineAndItsPoints()
{
    EmbeddedDocument *doc = m_session->document;
    buildMixedModel(doc->book());
    makeScan(doc, CellRange{0, 0, 0, 1, 0}, CellRange{0, 0, 1, 0, 1}, 0, 10);
    m_window->findChild<QSlider *>(QStringLiteral("horizontalSlider_scanZoom"))->setValue(100);
    QTRY_VERIFY(!m_window->scanZoomTimerForTests()->isActive());
    // Stop requests are looked at before every point and honoured once the
    // first 100 points are in, however fast or slow the workers.
    m_window->setScanTiming({0, 0, std::numeric_limits<qint64>::max()});
    atPoint(40, [this] { QTest::keyClick(m_window, Qt::Key_Escape); });
    graphButton()->click();
    QCOMPARE(m_window->scanPoints(), 100);
    QVERIFY(!m_window->watches().first()->data()->dataComplete());
    QCOMPARE(doc->book().value({0, 0, 0}).asNumber(), 1.0);
    QCOMPARE(doc->book().value({0, 1, 0}).asNumber(), 2.0);
}

void TestParallelScan::aStopPastTheHardDeadlineComesAtTheNextPoint()
{
    EmbeddedDocument *doc = m_session->document;
    buildMixedModel(doc->book());
    makeScan(doc, CellRange{0, 0, 0, 1, 0}, CellRange{0, 0, 1, 0, 1}, 0, 10);
    m_window->setScanTiming({0, std::numeric_limits<qint64>::max(), 0});
    atPoint(30, [this] { QTest::keyClick(m_window, Qt::Key_Escape); });
    graphButton()->click();
    QCOMPARE(m_window->scanPoints(), 30);
    QCOMPARE(doc->book().value({0, 0, 0}).asNumber(), 1.0);
    // The next scan starts afresh on the same workers' kind.
    m_window->setScanTiming({});
    graphButton()->click();
    QVERIFY(m_window->watches().first()->data()->dataComplete());
}

void TestParallelScan::volatileFunctionsDrawAtEveryPoint()
{
    EmbeddedDocument *doc = m_session->document;
    doc->book().setValue({0, 0, 0}, Value::number(1));
    QVERIFY(doc->book().setFormula({0, 0, 1}, "=RAND()+A1*0"));
    makeScan(doc, CellRange{0, 0, 0, 0, 0}, CellRange{0, 0, 1, 0, 1}, 0, 10);
    QCOMPARE(scanWith(2, doc), 0);
    const QList<double> draws = m_window->watches().first()->data()->values();
    QCOMPARE(draws.size(), m_window->scannedAxes().first().points());
    QCOMPARE(std::set<double>(draws.begin(), draws.end()).size(), size_t(draws.size()));
}

void TestParallelScan::pointsStoredAfterAChangeSeeIt()
{
    EmbeddedDocument *doc = m_session->document;
    Workbook &book = doc->book();
    book.setValue({0, 0, 0}, Value::number(1));
    book.setValue({0, 1, 0}, Value::number(2));
    QVERIFY(book.setFormula({0, 0, 2}, "=A1*10+A2+E1"));
    makeScan(doc, CellRange{0, 0, 0, 1, 0}, CellRange{0, 0, 2, 0, 2}, 0, 10);
    m_window->findChild<QSlider *>(QStringLiteral("horizontalSlider_scanZoom"))->setValue(60);
    QTRY_VERIFY(!m_window->scanZoomTimerForTests()->isActive());
    constexpr int storedBefore = 150;
    atPoint(storedBefore, [&book] { book.setValue({0, 0, 4}, Value::number(1000)); });
    graphButton()->click();
    MinMaxMultiDimData *data = m_window->watches().first()->data();
    QVERIFY(data->dataComplete());
    // Every point stored after the change reads it, however far the workers had gone.
    const ScanAxis x = m_window->scannedAxes().at(0), y = m_window->scannedAxes().at(1);
    int changed = 0;
    for (int j = 0; j < y.points(); ++j)
        for (int i = 0; i < x.points(); ++i) {
            const double rest = data->value({i, j}) - float(x.valueAt(i) * 10 + y.valueAt(j));
            QVERIFY(std::abs(rest) < 0.01 || std::abs(rest - 1000) < 0.01);
            changed += rest > 500 ? 1 : 0;
        }
    QCOMPARE(changed, x.points() * y.points() - storedBefore);
}

void TestParallelScan::closingTheWorkbookMidScanReadsNothingMore()
{
    EmbeddedDocument *doc = m_session->document;
    buildMixedModel(doc->book());
    makeScan(doc, CellRange{0, 0, 0, 1, 0}, CellRange{0, 0, 1, 0, 1}, 0, 10);
    atPoint(60, [doc] {
        backend().closeDocument(doc);
        flushDeletes();
    });
    graphButton()->click();
    const int points = m_window->scannedAxes().at(0).points() * m_window->scannedAxes().at(1).points();
    QCOMPARE(m_window->scanPoints(), points);
    const QList<double> stored = m_window->watches().first()->data()->values();
    QVERIFY(std::any_of(stored.begin(), stored.end(), [](double v) { return !std::isnan(v); }));
    QVERIFY(std::any_of(stored.begin(), stored.end(), [](double v) { return std::isnan(v); }));
}

void TestParallelScan::cellsOfTwoWorkbooksScanPointByPoint()
{
    // The sliders in one workbook, the watch in another: no one backend's
    // workers can evaluate that, so every point is an exchange of its own.
    EmbeddedDocument *sliders = m_session->document;
    sliders->book().setValue({0, 0, 0}, Value::number(1));
    EmbeddedDocument *watched = backend().newDocument();
    QVERIFY(watched->book().setFormula({0, 0, 0}, "=3+4"));
    backend().bringToFront(sliders);
    sliders->setSelection({CellRange{0, 0, 0, 0, 0}});
    m_window->on_pushButton_newSlider_clicked();
    backend().bringToFront(watched);
    watched->setSelection({CellRange{0, 0, 0, 0, 0}});
    m_window->on_pushButton_newWatch_clicked();
    QCOMPARE(m_window->watches().size(), 1);
    m_window->sliders().first()->slider()->setConfig(0, 10, 0.01);
    emit m_window->sliders().first()->watch()->graphClicked();
    QVERIFY(scanWith(2, sliders) > 0); // its cell was written point by point
    QVERIFY(m_window->watches().first()->data()->dataComplete());
    QCOMPARE(m_window->watches().first()->data()->values().first(), 7.0);
}

QTEST_MAIN(TestParallelScan)
#include "tst_parallel_scan.moc"
