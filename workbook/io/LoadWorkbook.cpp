#include "WorkbookFiles.h"

#include "BuildWorkbook.h"
#include "ImportedData.h"
#include "OrcusImport.h"
#include "ReaderChecks.h"
#include "ReaderProcess.h"
#include "ReaderSteps.h"
#include "ZipDirectory.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace workbook {

namespace {

// Parts of an xlsx that the reader does not pass on but saving would lose,
// by name from the zip directory: the parts themselves may be any size.
void noteUnreadParts(const std::string &path, std::vector<std::string> &unsupported)
{
    ZipDirectory directory;
    if (directory.read(path) != ZipDirectory::Outcome::Read)
        return;
    static const std::pair<const char *, const char *> parts[] = {
        {"xl/charts/", "charts"}, {"xl/media/", "pictures"}, {"xl/comments", "comments"},
        {"xl/pivotTables/", "pivot tables"}, {"xl/vbaProject.bin", "macros"}, {"xl/tables/", "tables"},
    };
    for (const auto &[entry, what] : parts)
        if (directory.hasEntryStartingWith(entry))
            unsupported.push_back(what);
    // Charts and pictures sit in drawings; drawings without either hold shapes.
    if (directory.hasEntryStartingWith("xl/drawings/") && !directory.hasEntryStartingWith("xl/charts/")
        && !directory.hasEntryStartingWith("xl/media/"))
        unsupported.push_back("shapes");
}

LoadReport cannotRead(const std::string &path, const std::string &reason)
{
    LoadReport report;
    report.message = "cannot read " + path + ": " + reason;
    return report;
}

LoadReport workbookFromRecord(const std::string &path, FileFormat format, const ImportedData &data, Workbook &book)
{
    LoadReport report = buildWorkbook(data, book);
    book.filePath = path;
    const size_t slash = path.find_last_of('/');
    book.name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (format == FileFormat::Xlsx)
        noteUnreadParts(path, report.unsupported);
    return report;
}

// What an unfinished record says about the reader's end.
std::string whyUnfinished(const RecordDecoder &decoder, bool receivedAny, int status)
{
    if (decoder.state() == RecordDecoder::State::Refused || decoder.state() == RecordDecoder::State::Broken)
        return decoder.failure();
    if (WIFSIGNALED(status))
        return std::string("the reader crashed (") + strsignal(WTERMSIG(status)) + ")";
    return receivedAny ? "the reader's answer was incomplete" : "the reader stopped without an answer";
}

// Reads the reader's answer into `decoder` until it ends, the deadline
// passes or the load is cancelled; the reader is stopped on the way out.
class AnswerWait
{
public:
    AnswerWait(ReaderProcess &reader, RecordDecoder &decoder, const LoadOptions &options)
        : m_reader(reader), m_decoder(decoder), m_options(options)
    {
    }

    // "" when the answer ended by itself; else why the wait was given up.
    std::string run()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.timeoutMilliseconds);
        char buffer[65536];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return giveUp("reading took longer than " + std::to_string(m_options.timeoutMilliseconds / 1000) + " s");
            pollfd watched[2] = {{m_reader.output(), POLLIN, 0}, {m_options.cancel ? m_options.cancel->fd() : -1, POLLIN, 0}};
            const int ready = ::poll(watched, 2, static_cast<int>(left.count()));
            if (ready <= 0)
                continue; // interrupted, or the deadline check above ends it
            if (watched[1].revents != 0)
                return giveUp("cancelled");
            const ssize_t n = ::read(m_reader.output(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return std::string();
            m_receivedAny = true;
            const std::uint64_t before = m_decoder.cellsReceived();
            if (!m_decoder.feed(buffer, static_cast<size_t>(n))) {
                m_reader.stop();
                return std::string();
            }
            if (m_decoder.cellsReceived() != before && m_options.progress)
                m_options.progress({LoadProgress::Stage::Receiving, m_decoder.cellsReceived(), m_decoder.cellsTotal()});
        }
    }

    bool receivedAny() const { return m_receivedAny; }

private:
    std::string giveUp(std::string why)
    {
        m_reader.stop();
        return why;
    }

    ReaderProcess &m_reader;
    RecordDecoder &m_decoder;
    const LoadOptions &m_options;
    bool m_receivedAny = false;
};

} // namespace

bool sendReaderAnswer(const std::string &path, FileFormat format, std::uint64_t memoryCeiling, const SendBytes &send)
{
    std::string reason;
    try {
        ImportedData data;
        reason = whyUnreadable(path, format, memoryCeiling);
        if (reason.empty()) {
            importWithOrcus(path, format, data);
            return sendRecord(std::move(data), send);
        }
    } catch (...) {
        // Even after part of the record went out: the receiver takes the failure at any point.
        reason = reasonOfCurrentException(format, memoryCeiling);
    }
    return sendFailure(reason, send);
}

std::string readerAnswer(const std::string &path, FileFormat format, std::uint64_t memoryCeiling)
{
    std::string answer;
    sendReaderAnswer(path, format, memoryCeiling, [&answer](const char *bytes, size_t size) {
        answer.append(bytes, size);
        return true;
    });
    return answer;
}

LoadReport loadFromAnswer(const std::string &path, FileFormat format, const std::string &answer, Workbook &book)
{
    RecordDecoder decoder(LoadOptions().memoryLimitBytes);
    decoder.feed(answer.data(), answer.size());
    if (decoder.state() != RecordDecoder::State::Complete)
        return cannotRead(path, whyUnfinished(decoder, !answer.empty(), 0));
    return workbookFromRecord(path, format, decoder.take(), book);
}

LoadReport loadWorkbookFile(const std::string &path, Workbook &book, const LoadOptions &options)
{
    const auto fail = [&](const std::string &reason) { return cannotRead(path, reason); };
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0)
        return fail(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return fail("not a file");
    if (::access(path.c_str(), R_OK) != 0)
        return fail(std::strerror(errno));
    const FileFormat format = formatOfPath(path);
    if (format == FileFormat::Unknown)
        return fail("not a workbook (expected .xlsx, .ods or .csv)");

    ReaderProcess reader;
    std::string failure;
    if (!reader.start(path, options.memoryLimitBytes, failure))
        return fail(failure);
    if (options.progress)
        options.progress({LoadProgress::Stage::Reading, 0, 0});
    RecordDecoder decoder(options.memoryLimitBytes);
    AnswerWait wait(reader, decoder, options);
    failure = wait.run();
    const int status = reader.finish();
    if (!failure.empty()) {
        LoadReport report = fail(failure);
        report.cancelled = options.cancel && options.cancel->cancelled();
        return report;
    }
    if (decoder.state() != RecordDecoder::State::Complete)
        return fail(whyUnfinished(decoder, wait.receivedAny(), status));
    if (options.progress)
        options.progress({LoadProgress::Stage::Building, decoder.cellsReceived(), decoder.cellsTotal()});
    return workbookFromRecord(path, format, decoder.take(), book);
}

} // namespace workbook
