#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run calc(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TARVIO_CALC), arguments);
    process.waitForFinished(30000);
    return Run{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
               QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class TestTarvioCalc : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dumpsEveryCellRowByRow();
    void dumpsFormulasItKeepsAndArrayFormulas();
    void printsNumbersThatReadBackExactly();
    void dumpsWhatCellsShow();
    void setsAndGets();
    void scansTheGridFirstAxisFastest();
    void scansGiveTheSameOutputOnAnyNumberOfThreads();
    void badArgumentsExitWithOne_data();
    void badArgumentsExitWithOne();
    void unreadableFilesExitWithTwo();
    void scansBeyondMemoryAreRefused();

private:
    QTemporaryDir m_dir;
    QString m_model;
};

void TestTarvioCalc::initTestCase()
{
    m_model = m_dir.filePath(QStringLiteral("model.csv"));
    QFile file(m_model);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x,y,sum\n1,2,=A2+B2\n0.5,TRUE,=A3*2\n");
}

void TestTarvioCalc::dumpsEveryCellRowByRow()
{
    const Run run = calc({m_model, QStringLiteral("--dump")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("data!A1\tx\ndata!B1\ty\ndata!C1\tsum\n"
                                     "data!A2\t1\ndata!B2\t2\ndata!C2\t3\n"
                                     "data!A3\t0.5\ndata!B3\tTRUE\ndata!C3\t1\n"));
}

void TestTarvioCalc::dumpsFormulasItKeepsAndArrayFormulas()
{
    // D1 names an unknown function and the file saved no result for it: it is kept, and shown empty.
    const Run run = calc({QStringLiteral(TARVIO_FIXTURES "/array-formulas.ods"), QStringLiteral("--dump")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("Arrays!A1\t1\nArrays!B1\t10\nArrays!C1\t2\nArrays!D1\t\n"
                                     "Arrays!A2\t2\nArrays!B2\t#DIV/0!\nArrays!C2\t4\n"));
    const Run set = calc({QStringLiteral(TARVIO_FIXTURES "/array-formulas.ods"), QStringLiteral("--set"),
                          QStringLiteral("Arrays!A2=5"), QStringLiteral("--get"), QStringLiteral("Arrays!C2")});
    QCOMPARE(set.out, QStringLiteral("10\n"));
}

void TestTarvioCalc::printsNumbersThatReadBackExactly()
{
    const QString numbers = m_dir.filePath(QStringLiteral("numbers.csv"));
    QFile file(numbers);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("1.0000000000000002,0.1,1e20,123456789012345678,-2.5e-7,=A1-1,=0.1+0.2,=1/3\n");
    file.close();
    const Run dump = calc({numbers, QStringLiteral("--dump")});
    QCOMPARE(dump.exitCode, 0);
    QCOMPARE(dump.out, QStringLiteral("data!A1\t1.0000000000000002\ndata!B1\t0.1\ndata!C1\t1E+20\n"
                                      "data!D1\t1.2345678901234568E+17\ndata!E1\t-2.5E-07\n"
                                      "data!F1\t2.220446049250313E-16\ndata!G1\t0.30000000000000004\n"
                                      "data!H1\t0.3333333333333333\n"));
    const Run get = calc({numbers, QStringLiteral("--get"), QStringLiteral("A1,G1")});
    QCOMPARE(get.exitCode, 0);
    QCOMPARE(get.out, QStringLiteral("1.0000000000000002\t0.30000000000000004\n"));
}

void TestTarvioCalc::dumpsWhatCellsShow()
{
    // Through each cell's format, in its column's width where the file gives one.
    const Run run = calc({QStringLiteral(TARVIO_FIXTURES "/formats.xlsx"), QStringLiteral("--dump"), QStringLiteral("--text")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("Formats!A1\t-1,234.50\nFormats!B1\t2024-01-01\nFormats!C1\t25.60%\nFormats!D1\tTitle\n"
                                     "Formats!A2\tcentred\nFormats!B2\t36:00\nFormats!E2\t3.00\n"
                                     "Formats!A3\t-2,469.00\nFormats!B3\tmerged\nFormats!A4\ta note in Georgia\n"
                                     "Formats!B6\t50.00%\n"));
}

void TestTarvioCalc::setsAndGets()
{
    const Run run = calc({m_model, QStringLiteral("--set"), QStringLiteral("A2=10"), QStringLiteral("--set"),
                          QStringLiteral("data!B2==A2*3"), QStringLiteral("--get"), QStringLiteral("C2,data!B2,A1")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("40\t30\tx\n"));
}

void TestTarvioCalc::scansTheGridFirstAxisFastest()
{
    const Run run = calc({m_model, QStringLiteral("--scan"), QStringLiteral("A2=0:1:3"), QStringLiteral("--scan"),
                          QStringLiteral("B2=10:20:2"), QStringLiteral("--get"), QStringLiteral("C2")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("0\t10\t10\n0.5\t10\t10.5\n1\t10\t11\n0\t20\t20\n0.5\t20\t20.5\n1\t20\t21\n"));
    QVERIFY2(QRegularExpression(QStringLiteral("^points: 6  seconds: [0-9.]+  points/s: [0-9]+\\n$")).match(run.err).hasMatch(),
             qPrintable(run.err));
}

void TestTarvioCalc::scansGiveTheSameOutputOnAnyNumberOfThreads()
{
    // Text, a lookup, errors and a circular pair, all fed by A1 and B1.
    const QString mixed = m_dir.filePath(QStringLiteral("mixed.csv"));
    QFile file(mixed);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("1,2,=A1*B1-3,\"=IF(C1>0,\"\"pos\"\",\"\"neg\"\")&A1\",=1/(A1-B1),=F2+A1\n"
               "0,zero,\"=VLOOKUP(ROUND(A1,0),A2:B4,2,FALSE)\",=SQRT(A1-B1),=E1*B1,=SUM(C1:E1)+F1\n"
               "1,one\n2,two\n");
    file.close();
    const QStringList scan{mixed, QStringLiteral("--scan"), QStringLiteral("A1=-1:3:41"), QStringLiteral("--scan"),
                           QStringLiteral("B1=-1:3:37"), QStringLiteral("--get"), QStringLiteral("C1,D1,E1,F1,C2,D2,E2,F2")};
    const Run serial = calc(scan + QStringList{QStringLiteral("--threads"), QStringLiteral("1")});
    QCOMPARE(serial.exitCode, 0);
    QCOMPARE(serial.out.count(QLatin1Char('\n')), 41 * 37);
    for (const char *error : {"#DIV/0!", "#NUM!", "#N/A", "#CIRCULAR!", "pos", "neg"})
        QVERIFY2(serial.out.contains(QLatin1String(error)), error);
    for (const QStringList &threads : {QStringList(), QStringList{QStringLiteral("--threads"), QStringLiteral("3")}}) {
        const Run parallel = calc(scan + threads);
        QCOMPARE(parallel.exitCode, 0);
        QVERIFY(parallel.out == serial.out);
    }
}

void TestTarvioCalc::badArgumentsExitWithOne_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("neither dump nor get") << QStringList({"FILE"});
    QTest::newRow("both") << QStringList({"FILE", "--dump", "--get", "A1"});
    QTest::newRow("text without dump") << QStringList({"FILE", "--text", "--get", "A1"});
    QTest::newRow("unknown option") << QStringList({"FILE", "--frobnicate"});
    QTest::newRow("set without equals") << QStringList({"FILE", "--set", "A1", "--get", "A1"});
    QTest::newRow("no such cell") << QStringList({"FILE", "--get", "Nowhere!A1"});
    QTest::newRow("scan count zero") << QStringList({"FILE", "--scan", "A2=0:1:0", "--get", "C2"});
    QTest::newRow("scan not numbers") << QStringList({"FILE", "--scan", "A2=a:b:3", "--get", "C2"});
    QTest::newRow("threads zero") << QStringList({"FILE", "--scan", "A2=0:1:3", "--threads", "0", "--get", "C2"});
    QTest::newRow("threads not a number") << QStringList({"FILE", "--scan", "A2=0:1:3", "--threads", "all", "--get", "C2"});
    QTest::newRow("scan too large") << QStringList({"FILE", "--scan", "A2=0:1:100000", "--scan", "B2=0:1:100000", "--get", "C2"});
    QTest::newRow("bad formula") << QStringList({"FILE", "--set", "A2==SUM(", "--get", "C2"});
}

void TestTarvioCalc::badArgumentsExitWithOne()
{
    QFETCH(QStringList, arguments);
    if (!arguments.isEmpty())
        arguments[0] = m_model;
    const Run run = calc(arguments);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.startsWith(QStringLiteral("tarvio-calc: ")));
    QVERIFY(run.out.isEmpty());
}

void TestTarvioCalc::unreadableFilesExitWithTwo()
{
    const Run missing = calc({m_dir.filePath(QStringLiteral("missing.xlsx")), QStringLiteral("--dump")});
    QCOMPARE(missing.exitCode, 2);
    QVERIFY(missing.err.contains(QStringLiteral("cannot read ")));
    QFile notZip(m_dir.filePath(QStringLiteral("broken.xlsx")));
    QVERIFY(notZip.open(QIODevice::WriteOnly));
    notZip.write("not a zip at all");
    notZip.close();
    QCOMPARE(calc({notZip.fileName(), QStringLiteral("--get"), QStringLiteral("A1")}).exitCode, 2);
}

void TestTarvioCalc::scansBeyondMemoryAreRefused()
{
    // 100,000,000 points of 400 results each: terabytes, more than any machine holds.
    QStringList outputs;
    for (int i = 0; i < 400; ++i)
        outputs << QStringLiteral("C2");
    const Run run = calc({m_model, QStringLiteral("--scan"), QStringLiteral("A2=0:1:100000000"), QStringLiteral("--get"),
                          outputs.join(QLatin1Char(','))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.startsWith(QStringLiteral("tarvio-calc: the scan's results need ")), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("GB of memory")), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestTarvioCalc)
#include "tst_tarvio_calc.moc"
