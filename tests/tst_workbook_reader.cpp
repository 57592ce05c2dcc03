#include "Workbook.h"
#include "io/ReaderChecks.h"
#include "io/ReaderProcess.h"
#include "io/ReaderRecord.h"
#include "io/WorkbookFiles.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

extern char **environ;

using namespace workbook;

namespace {

const QString broken = QStringLiteral(TARVIO_FIXTURES "/broken/");

QString messageOf(const QString &path, const LoadOptions &options = LoadOptions())
{
    Workbook book;
    const LoadReport report = loadWorkbookFile(path.toStdString(), book, options);
    return report.ok ? QString() : QString::fromStdString(report.message);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t le32(const QByteArray &bytes, qsizetype at)
{
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.constData() + at, 4);
    return v;
}

void putLe32(QByteArray &bytes, qsizetype at, std::uint32_t v) { bytes.replace(at, 4, reinterpret_cast<const char *>(&v), 4); }
void putLe16(QByteArray &bytes, qsizetype at, std::uint16_t v) { bytes.replace(at, 2, reinterpret_cast<const char *>(&v), 2); }

// `zip` with one more stored part of `size` bytes, left as a hole in the file.
bool writeWithHugePart(const QByteArray &zip, const QString &path, const QByteArray &name, std::uint32_t size)
{
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    const std::uint32_t directoryOffset = le32(zip, end + 16);
    const std::uint32_t directorySize = le32(zip, end + 12);
    QByteArray local(30, '\0');
    putLe32(local, 0, 0x04034b50);
    putLe32(local, 18, size);
    putLe32(local, 22, size);
    putLe16(local, 26, std::uint16_t(name.size()));
    QByteArray entry(46, '\0');
    putLe32(entry, 0, 0x02014b50);
    putLe32(entry, 20, size);
    putLe32(entry, 24, size);
    putLe16(entry, 28, std::uint16_t(name.size()));
    putLe32(entry, 42, directoryOffset);
    const std::uint64_t newDirectory = std::uint64_t(directoryOffset) + local.size() + name.size() + size;
    QByteArray tail = zip.mid(directoryOffset, directorySize) + entry + name + zip.mid(end);
    const qsizetype newEnd = directorySize + entry.size() + name.size();
    putLe16(tail, newEnd + 8, std::uint16_t(le32(zip, end + 8) + 1));
    putLe16(tail, newEnd + 10, std::uint16_t(le32(zip, end + 10) + 1));
    putLe32(tail, newEnd + 12, std::uint32_t(directorySize + entry.size() + name.size()));
    putLe32(tail, newEnd + 16, std::uint32_t(newDirectory));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(zip.left(directoryOffset) + local + name) < 0)
        return false;
    return file.resize(qint64(newDirectory)) && file.seek(qint64(newDirectory)) && file.write(tail) == tail.size();
}

ImportedData manyCells(int sheets, int cellsPerSheet)
{
    ImportedData data;
    for (int s = 0; s < sheets; ++s) {
        ImportedSheet sheet;
        sheet.name = "S" + std::to_string(s);
        for (int i = 0; i < cellsPerSheet; ++i) {
            ImportedCell cell;
            cell.row = i;
            cell.kind = i % 2 ? ImportedCell::Kind::Text : ImportedCell::Kind::Number;
            cell.number = i;
            if (i % 2)
                cell.text = "t" + std::to_string(i);
            sheet.cells.push_back(cell);
        }
        data.sheets.push_back(sheet);
    }
    data.names.push_back({"Rate", -1, "S0!$A$1"});
    return data;
}

long peakMemoryKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestWorkbookReader : public QObject
{
    Q_OBJECT
private slots:
    void brokenFilesSayWhy_data();
    void brokenFilesSayWhy();
    void memoryBeyondTheCeilingIsNamed();
    void theRecordArrivesInFrames();
    void recordsBeyondTheCeilingAreRefusedOnArrival();
    void theCallerReadsOnlyTheZipDirectory();
    void aCancelledLoadStopsTheReader();
    void theReaderDiesWithItsParent();

private:
    QTemporaryDir m_dir;
};

void TestWorkbookReader::brokenFilesSayWhy_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not a zip") << "not-a-zip.xlsx" << "not an xlsx file: it is not a zip archive";
    QTest::newRow("empty") << "empty.xlsx" << "not an xlsx file: it is empty";
    QTest::newRow("older binary") << "older-binary.xlsx"
                                  << "not an xlsx file: it is an older binary office file (.xls) or a password-protected workbook";
    QTest::newRow("no package relationships") << "no-package-relationships.xlsx" << "the xlsx is damaged: _rels/.rels is missing";
    QTest::newRow("no workbook part") << "no-workbook-part.xlsx" << "the xlsx is damaged: xl/workbook.xml is missing";
    QTest::newRow("no sheet part") << "no-sheet-part.xlsx" << "the xlsx is damaged: xl/worksheets/sheet1.xml is missing";
    QTest::newRow("malformed xml") << "malformed-xml.xlsx" << "the xlsx is damaged: it holds malformed XML: ";
    QTest::newRow("part claims 4 GB") << "part-claims-4gb.xlsx"
                                      << "the xlsx is damaged: the part xl/_rels/workbook.xml.rels claims 4294963200 bytes, "
                                         "more than the file holds";
    QTest::newRow("part claims 2 GB unpacked")
        << "part-claims-2gb-unpacked.xlsx"
        << "the xlsx is damaged: the part xl/worksheets/sheet1.xml claims to unpack to 2147479552 bytes, "
           "more than its packed data can hold";
    QTest::newRow("no content") << "no-content.ods" << "the ods is damaged: content.xml is missing";
    QTest::newRow("cut-off content") << "cut-off-content.ods"
                                     << "the ods is damaged: content.xml ends before its last element closes";
}

void TestWorkbookReader::brokenFilesSayWhy()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    const QString message = messageOf(broken + file);
    QVERIFY2(message.startsWith(QStringLiteral("cannot read ") + broken + file + QStringLiteral(": ") + reason), qPrintable(message));
    // The same parts, whole, read fine.
    QCOMPARE(messageOf(broken + QStringLiteral("good.xlsx")), QString());
}

void TestWorkbookReader::memoryBeyondTheCeilingIsNamed()
{
    // Parts whose unpacked size exceeds the ceiling are refused before parsing.
    QCOMPARE(QString::fromStdString(whyUnreadable((broken + "good.xlsx").toStdString(), FileFormat::Xlsx, 1000)),
             QStringLiteral("the file would need more than 0.977 kB"));
    // A million cells from a 2 MB file overrun the reader's own limit while parsing.
    QByteArray rows;
    for (int r = 0; r < 1000; ++r)
        rows += QByteArray("1,").repeated(999) + "1\n";
    const QString csv = m_dir.filePath(QStringLiteral("million.csv"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(rows) == rows.size());
    file.close();
    LoadOptions options;
    options.memoryLimitBytes = std::size_t(64) << 20;
    const QString message = messageOf(csv, options);
    QVERIFY2(message.endsWith(QStringLiteral(": the file would need more than 64 MB")), qPrintable(message));
    QCOMPARE(messageOf(csv), QString());
}

void TestWorkbookReader::theRecordArrivesInFrames()
{
    ImportedData data = manyCells(2, 150000);
    std::vector<std::string> frames;
    QVERIFY(sendRecord(ImportedData(data), [&frames](const char *bytes, std::size_t size) {
        frames.emplace_back(bytes, size);
        return true;
    }));
    std::size_t total = 0, largest = 0;
    for (const std::string &frame : frames) {
        total += frame.size();
        largest = std::max(largest, frame.size());
    }
    // No frame is more than a slice of the whole, so the receiver never holds the whole.
    QVERIFY2(largest * 4 < total, qPrintable(QStringLiteral("%1 of %2 bytes").arg(largest).arg(total)));

    RecordDecoder decoder(std::uint64_t(1) << 30);
    std::uint64_t lastCount = 0;
    int progressSteps = 0;
    for (const std::string &frame : frames) {
        for (std::size_t at = 0; at < frame.size(); at += 4093)
            QVERIFY(decoder.feed(frame.data() + at, std::min<std::size_t>(4093, frame.size() - at)));
        if (decoder.cellsReceived() != lastCount)
            ++progressSteps;
        lastCount = decoder.cellsReceived();
    }
    QCOMPARE(decoder.cellsTotal(), std::uint64_t(300000));
    QCOMPARE(decoder.state(), RecordDecoder::State::Complete);
    QVERIFY(progressSteps > 2);
    const ImportedData received = decoder.take();
    QCOMPARE(serialize(received), serialize(data));
}

void TestWorkbookReader::recordsBeyondTheCeilingAreRefusedOnArrival()
{
    // The first frame: its header, then its bytes.
    std::string firstFrame;
    int sends = 0;
    sendRecord(manyCells(1, 100000), [&](const char *bytes, std::size_t size) {
        if (sends++ < 2)
            firstFrame.append(bytes, size);
        return true;
    });
    // The workbook frame announces 100,000 cells: more than a 1 MB ceiling holds.
    RecordDecoder decoder(std::uint64_t(1) << 20);
    QVERIFY(!decoder.feed(firstFrame.data(), firstFrame.size()));
    QCOMPARE(decoder.state(), RecordDecoder::State::Refused);
    QCOMPARE(decoder.failure(), needsMoreThan(std::uint64_t(1) << 20));
    QCOMPARE(QString::fromStdString(decoder.failure()), QStringLiteral("the file would need more than 1 MB"));

    // A frame claiming more bytes than the ceiling is refused by its header.
    RecordDecoder small(1000);
    const char header[9] = {'C', 0, 0, 0, 0, 1, 0, 0, 0};
    QVERIFY(!small.feed(header, sizeof header));
    QCOMPARE(small.state(), RecordDecoder::State::Refused);
}

void TestWorkbookReader::theCallerReadsOnlyTheZipDirectory()
{
    // A small workbook with a 3 GB picture, stored: the picture is a hole in the file.
    const QString path = m_dir.filePath(QStringLiteral("with-huge-picture.xlsx"));
    QVERIFY(writeWithHugePart(readAll(broken + "good.xlsx"), path, "xl/media/image1.png", 3u << 30));
    const long before = peakMemoryKilobytes();
    Workbook book;
    const LoadReport report = loadWorkbookFile(path.toStdString(), book);
    QVERIFY2(report.ok, report.message.c_str());
    QCOMPARE(displayText(book.value({0, 0, 0})), std::string("42"));
    QCOMPARE(report.unsupported, std::vector<std::string>{"pictures"});
    const long grown = peakMemoryKilobytes() - before;
    QVERIFY2(grown < 256 * 1024, qPrintable(QStringLiteral("the caller grew by %1 kB").arg(grown)));
}

void TestWorkbookReader::aCancelledLoadStopsTheReader()
{
    LoadCancel cancel;
    LoadOptions options;
    options.cancel = &cancel;
    std::vector<LoadProgress::Stage> stages;
    // Cancelled as soon as the reader runs: whatever it has sent by then is dropped.
    options.progress = [&](const LoadProgress &progress) {
        stages.push_back(progress.stage);
        cancel.cancel();
    };
    Workbook book;
    const LoadReport report = loadWorkbookFile((broken + "good.xlsx").toStdString(), book, options);
    QVERIFY(!report.ok);
    QVERIFY(report.cancelled);
    QCOMPARE(stages, std::vector<LoadProgress::Stage>{LoadProgress::Stage::Reading});
    QCOMPARE(book.sheetCount(), 0);
    // The reader was reaped: this process has no child left.
    QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
    QCOMPARE(errno, ECHILD);

    // Not cancelled, the same load goes through every stage.
    LoadOptions watched;
    stages.clear();
    watched.progress = [&](const LoadProgress &progress) { stages.push_back(progress.stage); };
    QVERIFY(loadWorkbookFile((broken + "good.xlsx").toStdString(), book, watched).ok);
    QCOMPARE(stages.front(), LoadProgress::Stage::Reading);
    QCOMPARE(stages.back(), LoadProgress::Stage::Building);
}

void TestWorkbookReader::theReaderDiesWithItsParent()
{
    // Orphans come to this process, so the reader's end can be seen here.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    // A pipe named like a workbook: the reader waits in it for bytes that never come.
    const QByteArray fifo = m_dir.filePath(QStringLiteral("waiting.xlsx")).toLocal8Bit();
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    // The reader's parent is a shell that says the reader's number and waits.
    int said[2];
    QCOMPARE(::pipe(said), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, said[1], 1);
    const std::string reader = readerProgram();
    const char *argv[] = {"/bin/sh", "-c", "\"$0\" --parent $$ -- \"$1\" & echo $!; wait", reader.c_str(), fifo.constData(), nullptr};
    pid_t shell = -1;
    QCOMPARE(::posix_spawn(&shell, "/bin/sh", &actions, nullptr, const_cast<char **>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(said[1]);
    char number[32] = {};
    QVERIFY(::read(said[0], number, sizeof number - 1) > 0);
    ::close(said[0]);
    const pid_t readerPid = static_cast<pid_t>(std::atol(number));
    QVERIFY(readerPid > 0);
    // Opening the pipe for writing succeeds once the reader waits in it, past its start.
    int writer = -1;
    QTRY_VERIFY_WITH_TIMEOUT((writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK)) >= 0, 30000);
    QCOMPARE(::kill(shell, SIGKILL), 0);
    QCOMPARE(::waitpid(shell, nullptr, 0), shell);
    int status = 0;
    bool reaped = false;
    QTRY_VERIFY_WITH_TIMEOUT(reaped || (reaped = ::waitpid(readerPid, &status, WNOHANG) == readerPid), 30000);
    ::close(writer);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), SIGKILL);

    // Started for a parent that is not its own, the reader ends at once.
    QProcess stranger;
    stranger.start(QString::fromStdString(readerProgram()),
                   {QStringLiteral("--parent"), QStringLiteral("1"), QStringLiteral("--"), QString::fromLocal8Bit(fifo)});
    QVERIFY(stranger.waitForFinished(30000));
    QCOMPARE(stranger.exitCode(), 3);
}

QTEST_GUILESS_MAIN(TestWorkbookReader)
#include "tst_workbook_reader.moc"
