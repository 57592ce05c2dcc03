#include "Workbook.h"
#include "io/WorkbookFiles.h"

#include <algorithm>
#include <cmath>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace workbook;

namespace {

std::string shown(Workbook &book, SheetIndex sheet, const char *cell)
{
    const auto position = parseCellPosition(cell);
    return displayText(book.value({sheet, position->row, position->column}));
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A workbook of one sheet "S" whose A1 holds `number`.
void fillOneCell(Workbook &book, double number)
{
    const SheetIndex s = book.addSheet("S");
    book.setValue({s, 0, 0}, Value::number(number));
}

std::string firstCellOf(const std::string &file)
{
    Workbook loaded;
    const LoadReport report = loadWorkbookFile(file, loaded);
    return report.ok ? shown(loaded, 0, "A1") : report.message;
}

QStringList savingLeftovers(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).filter(QStringLiteral(".saving-"));
}

} // namespace

class TestWorkbookFiles : public QObject
{
    Q_OBJECT
private slots:
    void xlsxRoundTripKeepsValuesFormulasAndNames();
    void savingReplacesTheFileWhole();
    void failedSaveSaysWhyAndLeavesNothing();
    void savingKeepsModeAndOwner();
    void readOnlyFilesAreRefused();
    void savingWritesThroughSymbolicLinks();
    void aFullDiskIsNamed();
    void leftoverTemporaryFilesAreClearedUnlessInUse();
    void overlongTextIsCutAndToldNotRefused();
    void reportsWhatSavingWouldLose();
    void readsOpenDocument();
    void readsCsvAsTypedText();
    void unreadableFilesGiveAMessageAndNoWorkbook_data();
    void unreadableFilesGiveAMessageAndNoWorkbook();
    void slowReadsAreStopped();

private:
    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
};

void TestWorkbookFiles::xlsxRoundTripKeepsValuesFormulasAndNames()
{
    const std::string file = path("round.xlsx").toStdString();
    {
        Workbook book;
        const SheetIndex model = book.addSheet("Model");
        const SheetIndex other = book.addSheet("Other sheet");
        book.setValue({model, 0, 0}, Value::number(0.3));
        book.setValue({model, 1, 0}, Value::text("label"));
        book.setValue({model, 2, 0}, Value::boolean(true));
        book.setValue({model, 3, 0}, Value::error(ErrorCode::NA));
        book.setFormula({model, 0, 1}, "=SIN(A1)*2+Rate");
        book.setFormula({model, 1, 1}, "=CONCAT(A2,\"!\",TEXTJOIN(\"-\",TRUE,A1:A3))");
        book.setFormula({model, 2, 1}, "=IF(A3,'Other sheet'!B2*2,0)");
        book.setFormula({model, 3, 1}, "=IFNA(A4,\"none\")");
        book.setValue({other, 1, 1}, Value::number(21));
        book.defineName("Rate", "=Model!$A$1");
        book.defineName("Local", "=5", other);
        book.setFormula({other, 0, 0}, "=Local*2");
        book.setColumnWidth(model, 0, 30);
        book.setColumnWidth(model, 3, 8.5);
        std::string message;
        QVERIFY2(saveWorkbookXlsx(book, file, message), message.c_str());
    }
    Workbook loaded;
    const LoadReport report = loadWorkbookFile(file, loaded);
    QVERIFY2(report.ok, report.message.c_str());
    QVERIFY(report.unsupported.empty());
    QCOMPARE(loaded.sheetCount(), 2);
    QCOMPARE(loaded.sheetName(1), std::string("Other sheet"));
    QCOMPARE(shown(loaded, 0, "A1"), std::string("0.3"));
    QCOMPARE(shown(loaded, 0, "A2"), std::string("label"));
    QCOMPARE(shown(loaded, 0, "A3"), std::string("TRUE"));
    QCOMPARE(shown(loaded, 0, "A4"), std::string("#N/A"));
    QCOMPARE(shown(loaded, 0, "B1"), std::string("0.891040413322679"));
    QCOMPARE(shown(loaded, 0, "B2"), std::string("label!0.3-label-TRUE"));
    QCOMPARE(shown(loaded, 0, "B3"), std::string("42"));
    QCOMPARE(shown(loaded, 0, "B4"), std::string("none"));
    QCOMPARE(shown(loaded, 1, "A1"), std::string("10"));
    QCOMPARE(loaded.input({0, 0, 1}).formula, std::string("SIN(A1)*2+Rate"));
    // Column widths come back to the pixel.
    QCOMPARE(loaded.columnWidths(0).size(), size_t(2));
    QCOMPARE(loaded.columnWidths(0).at(0), 30.0);
    QVERIFY(std::abs(loaded.columnWidths(0).at(3) - 8.5) < 1.0 / 7);
    QCOMPARE(loaded.input({0, 1, 1}).formula, std::string("CONCAT(A2,\"!\",TEXTJOIN(\"-\",TRUE,A1:A3))"));
    // The loaded workbook recalculates like the original.
    loaded.setValue({0, 0, 0}, Value::number(0.5));
    QCOMPARE(shown(loaded, 0, "B1"), std::string("1.45885107720841"));
}

void TestWorkbookFiles::savingReplacesTheFileWhole()
{
    const std::string file = path("replace.xlsx").toStdString();
    writeBytes(path("replace.xlsx"), "old contents");
    Workbook book;
    const SheetIndex s = book.addSheet("S");
    book.setValue({s, 0, 0}, Value::number(1));
    std::string message;
    QVERIFY(saveWorkbookXlsx(book, file, message));
    Workbook loaded;
    QVERIFY(loadWorkbookFile(file, loaded).ok);
    QCOMPARE(shown(loaded, 0, "A1"), std::string("1"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("saving")).size(), 0);
}

void TestWorkbookFiles::failedSaveSaysWhyAndLeavesNothing()
{
    Workbook book;
    book.addSheet("S");
    std::string message;
    QVERIFY(!saveWorkbookXlsx(book, "/nonexistent-folder/out.xlsx", message));
    QCOMPARE(message, std::string("cannot save /nonexistent-folder/out.xlsx: the folder /nonexistent-folder does not exist"));
    QVERIFY(!QFile::exists(QStringLiteral("/nonexistent-folder/out.xlsx")));
    const std::string folder = path("a-folder.xlsx").toStdString();
    QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
    QVERIFY(!saveWorkbookXlsx(book, folder, message));
    QCOMPARE(message, "cannot save " + folder + ": a-folder.xlsx is a folder");
    QVERIFY(savingLeftovers(m_dir.path()).isEmpty());
}

void TestWorkbookFiles::savingKeepsModeAndOwner()
{
    const QString file = path("private.xlsx");
    writeBytes(file, "old contents");
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    // Running as root, the test can give the file to someone else and see it stay theirs.
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(QFile::encodeName(file).constData(), 1, 1), 0);
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &before), 0);
    Workbook book;
    fillOneCell(book, 7);
    std::string message;
    QVERIFY2(saveWorkbookXlsx(book, file.toStdString(), message), message.c_str());
    QVERIFY2(message.empty(), message.c_str());
    QCOMPARE(firstCellOf(file.toStdString()), std::string("7"));
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &after), 0);
    QCOMPARE(after.st_mode & 07777, mode_t(0640));
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
}

void TestWorkbookFiles::readOnlyFilesAreRefused()
{
    // The owner's write bit decides, whoever runs the program: root could replace it anyway.
    const QString file = path("protected.xlsx");
    writeBytes(file, "old contents");
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    Workbook book;
    fillOneCell(book, 7);
    std::string message;
    QVERIFY(!saveWorkbookXlsx(book, file.toStdString(), message));
    QCOMPARE(message, "cannot save " + file.toStdString() + ": protected.xlsx is read-only");
    QCOMPARE(readBytes(file), QByteArray("old contents"));
    QVERIFY(savingLeftovers(m_dir.path()).isEmpty());
}

void TestWorkbookFiles::savingWritesThroughSymbolicLinks()
{
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("real")));
    const QString target = path("real/model.xlsx");
    writeBytes(target, "old contents");
    const QString link = path("link.xlsx");
    QVERIFY(QFile::link(QStringLiteral("real/model.xlsx"), link)); // relative, as users make them
    Workbook book;
    fillOneCell(book, 8);
    std::string message;
    QVERIFY2(saveWorkbookXlsx(book, link.toStdString(), message), message.c_str());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(firstCellOf(target.toStdString()), std::string("8"));
    QCOMPARE(firstCellOf(link.toStdString()), std::string("8"));
    QVERIFY(savingLeftovers(m_dir.path()).isEmpty());
    QVERIFY(savingLeftovers(path("real")).isEmpty());

    // A link to a file not yet there makes the file.
    const QString dangling = path("new-link.xlsx");
    QVERIFY(QFile::link(QStringLiteral("real/new.xlsx"), dangling));
    QVERIFY2(saveWorkbookXlsx(book, dangling.toStdString(), message), message.c_str());
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(firstCellOf(path("real/new.xlsx").toStdString()), std::string("8"));
}

void TestWorkbookFiles::aFullDiskIsNamed()
{
    // /dev/full fails every write with "no space left on device", for any user: a link to it is a
    // file on a full disk. It is written in place, as a device cannot be replaced.
    const QString link = path("full.xlsx");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), link));
    Workbook book;
    fillOneCell(book, 9);
    std::string message;
    QVERIFY(!saveWorkbookXlsx(book, link.toStdString(), message));
    QCOMPARE(message, "cannot save " + link.toStdString() + ": the disk is full");
    struct stat device {};
    QCOMPARE(::stat("/dev/full", &device), 0);
    QVERIFY(S_ISCHR(device.st_mode));
    QVERIFY(savingLeftovers(m_dir.path()).isEmpty());
}

void TestWorkbookFiles::leftoverTemporaryFilesAreClearedUnlessInUse()
{
    // A save that was killed left its temporary file; one that is running holds a lock on its own.
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("leftovers")));
    const QString file = path("leftovers/book.xlsx");
    const QString killed = path("leftovers/.book.xlsx.saving-4000001.xlsx");
    const QString running = path("leftovers/.book.xlsx.saving-4000002.xlsx");
    const QString ours = path("leftovers/.book.xlsx.saving-%1.xlsx").arg(::getpid());
    const QString unrelated = path("leftovers/.other.xlsx.saving-4000001.xlsx");
    for (const QString &name : {killed, running, ours, unrelated})
        writeBytes(name, "half written");
    const int held = ::open(QFile::encodeName(running).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(held >= 0);
    QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
    Workbook book;
    fillOneCell(book, 10);
    std::string message;
    const bool saved = saveWorkbookXlsx(book, file.toStdString(), message);
    ::close(held);
    QVERIFY2(saved, message.c_str());
    QCOMPARE(firstCellOf(file.toStdString()), std::string("10"));
    QVERIFY(!QFile::exists(killed));
    QVERIFY(!QFile::exists(ours));
    QCOMPARE(readBytes(running), QByteArray("half written"));
    QCOMPARE(readBytes(unrelated), QByteArray("half written"));
}

void TestWorkbookFiles::overlongTextIsCutAndToldNotRefused()
{
    // An xlsx cell holds at most 32,767 characters; a longer text (a CSV may bring one) is cut there.
    const std::string file = path("long.xlsx").toStdString();
    Workbook book;
    const SheetIndex s = book.addSheet("data");
    std::string umlauts;
    for (int i = 0; i < 40000; ++i)
        umlauts += "\xc3\xa4";
    book.setValue({s, 1, 0}, Value::text(std::string(40000, 'x')));
    book.setValue({s, 2, 1}, Value::text(umlauts));
    book.setValue({s, 3, 0}, Value::text(std::string(32767, 'y')));
    book.setValue({s, 4, 0}, Value::number(11));
    std::string message;
    QVERIFY2(saveWorkbookXlsx(book, file, message), message.c_str());
    QCOMPARE(message, std::string("the text of data!A2, data!B3 is cut to 32,767 characters, the most an xlsx cell holds"));
    Workbook loaded;
    const LoadReport report = loadWorkbookFile(file, loaded);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(shown(loaded, 0, "A2"), std::string(32767, 'x'));
    QCOMPARE(shown(loaded, 0, "B3"), umlauts.substr(0, 2 * 32767));
    QCOMPARE(shown(loaded, 0, "A4"), std::string(32767, 'y'));
    QCOMPARE(shown(loaded, 0, "A5"), std::string("11"));
}

void TestWorkbookFiles::reportsWhatSavingWouldLose()
{
    // A file with a chart and a bold cell, written by libxlsxwriter directly.
    const std::string file = path("chart.xlsx").toStdString();
    lxw_workbook *out = workbook_new(file.c_str());
    lxw_worksheet *sheet = workbook_add_worksheet(out, "Data");
    lxw_format *bold = workbook_add_format(out);
    format_set_bold(bold);
    for (int r = 0; r < 3; ++r)
        worksheet_write_number(sheet, r, 0, r + 1, r == 0 ? bold : nullptr);
    lxw_chart *chart = workbook_add_chart(out, LXW_CHART_LINE);
    chart_add_series(chart, nullptr, "=Data!$A$1:$A$3");
    worksheet_insert_chart(sheet, 0, 2, chart);
    QCOMPARE(workbook_close(out), LXW_NO_ERROR);

    Workbook book;
    const LoadReport report = loadWorkbookFile(file, book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(shown(book, 0, "A3"), std::string("3"));
    const auto has = [&report](const char *what) {
        return std::find(report.unsupported.begin(), report.unsupported.end(), what) != report.unsupported.end();
    };
    QVERIFY(has("charts"));
    // The bold cell is kept: formats are no loss.
    QCOMPARE(report.unsupported.size(), std::size_t(1));
    QVERIFY(book.formats().style(book.formats().styleAt(0, 0, 0)).bold);
}

void TestWorkbookFiles::readsOpenDocument()
{
    Workbook book;
    const LoadReport report = loadWorkbookFile(TARVIO_FIXTURES "/model.ods", book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(book.sheetCount(), 2);
    QCOMPARE(shown(book, 0, "C1"), std::string("6"));
    QCOMPARE(shown(book, 0, "B2"), std::string("yes"));
    // Booleans, percentages and currencies, which the parser library skips, are read too.
    QCOMPARE(shown(book, 0, "A2"), std::string("TRUE"));
    QCOMPARE(shown(book, 0, "C2"), std::string("0.25"));
    QCOMPARE(shown(book, 0, "D2"), std::string("12.5"));
    QCOMPARE(shown(book, 0, "E2"), std::string("12.5"));
    QCOMPARE(shown(book, 1, "A1"), std::string("10"));
    QCOMPARE(book.input({1, 0, 0}).formula, std::string("SUM(Inputs!A1:C1,Inputs!A1)"));
    // Saving would drop what only OpenDocument holds; the caller is told.
    QVERIFY(!report.unsupported.empty());
}

void TestWorkbookFiles::readsCsvAsTypedText()
{
    writeBytes(path("table.csv"), "name,x,y\nfirst,1.5,=B2*2\nsecond,TRUE,=SUM(B2:B3)\n");
    Workbook book;
    const LoadReport report = loadWorkbookFile(path("table.csv").toStdString(), book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(book.sheetName(0), std::string("data"));
    QCOMPARE(shown(book, 0, "A2"), std::string("first"));
    QCOMPARE(shown(book, 0, "C2"), std::string("3"));
    QCOMPARE(shown(book, 0, "B3"), std::string("TRUE"));
    QCOMPARE(shown(book, 0, "C3"), std::string("1.5"));
}

void TestWorkbookFiles::unreadableFilesGiveAMessageAndNoWorkbook_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing.xlsx" << QByteArray() << "No such file or directory";
    QTest::newRow("not a workbook") << "notes.txtx" << QByteArray("hello") << "not a workbook";
    QTest::newRow("text named xlsx") << "text.xlsx" << QByteArray("just some text, not a zip") << "";
    QTest::newRow("random bytes") << "random.ods" << QByteArray(4096, '\x9c') << "";
    QByteArray zipHeaderOnly("PK\x03\x04", 4);
    zipHeaderOnly.append(200, '\0');
    QTest::newRow("corrupt zip") << "corrupt.xlsx" << zipHeaderOnly << "";
}

void TestWorkbookFiles::unreadableFilesGiveAMessageAndNoWorkbook()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString file = m_dir.filePath(name);
    if (!bytes.isEmpty())
        writeBytes(file, bytes);
    Workbook book;
    const LoadReport report = loadWorkbookFile(file.toStdString(), book);
    QVERIFY(!report.ok);
    const QString message = QString::fromStdString(report.message);
    QVERIFY2(message.startsWith(QStringLiteral("cannot read ") + file + QStringLiteral(": ")), qPrintable(message));
    QVERIFY2(message.contains(reason), qPrintable(message));
    QCOMPARE(book.sheetCount(), 0);
}

void TestWorkbookFiles::slowReadsAreStopped()
{
    QByteArray big;
    for (int i = 0; i < 200000; ++i)
        big += "1,2,3,4,5,6,7,8\n";
    writeBytes(path("big.csv"), big);
    Workbook book;
    LoadOptions options;
    options.timeoutMilliseconds = 1;
    const LoadReport report = loadWorkbookFile(path("big.csv").toStdString(), book, options);
    QVERIFY(!report.ok);
    QVERIFY2(report.message.find("took longer than") != std::string::npos, report.message.c_str());
    QCOMPARE(book.sheetCount(), 0);
}

QTEST_GUILESS_MAIN(TestWorkbookFiles)
#include "tst_workbook_files.moc"
