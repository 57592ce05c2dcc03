#include "WorkbookFiles.h"

#include "../FormulaParser.h"
#include "ImportedData.h"
#include "OrcusImport.h"
#include "ReaderSteps.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <map>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace workbook {

namespace {

bool writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

[[noreturn]] void runReaderChild(int fd, const std::string &path, FileFormat format, std::size_t memoryLimit)
{
    rlimit limit{memoryLimit, memoryLimit};
    setrlimit(RLIMIT_AS, &limit);
    writeAll(fd, readerAnswer(path, format));
    ::close(fd);
    _exit(0);
}

// What the child said, or why there is nothing to hear.
bool readFromChild(int fd, pid_t child, int timeoutMilliseconds, std::string &reply, std::string &failure)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(child, SIGKILL);
            failure = "reading took longer than " + std::to_string(timeoutMilliseconds / 1000) + " s";
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue; // the deadline check above ends it
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return true;
        reply.append(buffer, static_cast<size_t>(n));
    }
}

// Parts of an xlsx that the reader does not pass on but saving would lose.
// Zip entry names are stored as plain text, so a look at the bytes finds them.
void noteUnreadParts(const std::string &path, std::vector<std::string> &unsupported)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    static const std::pair<const char *, const char *> parts[] = {
        {"xl/charts/", "charts"}, {"xl/media/", "pictures"}, {"xl/comments", "comments"},
        {"xl/pivotTables/", "pivot tables"}, {"xl/vbaProject.bin", "macros"},
    };
    for (const auto &[entry, what] : parts)
        if (bytes.find(entry) != std::string::npos)
            unsupported.push_back(what);
}

void fillWorkbook(const ImportedData &data, Workbook &book, LoadReport &report)
{
    std::vector<SheetIndex> sheets;
    for (size_t i = 0; i < data.sheets.size(); ++i) {
        SheetIndex index = book.addSheet(data.sheets[i].name);
        for (int n = 1; index < 0; ++n)
            index = book.addSheet("Sheet" + std::to_string(i + n));
        sheets.push_back(index);
    }
    for (const ImportedName &name : data.names) {
        const SheetIndex scope = name.scope >= 0 && static_cast<size_t>(name.scope) < sheets.size() ? sheets[name.scope] : -1;
        book.defineName(name.name, name.expression, scope);
    }
    for (size_t i = 0; i < data.sheets.size(); ++i) {
        // Shared formulas: the first cell of a group carries the text, the others its index.
        for (const auto &[column, width] : data.sheets[i].columnWidths)
            book.setColumnWidth(sheets[i], column, width);
        std::map<std::int32_t, const ImportedCell *> masters;
        for (const ImportedCell &cell : data.sheets[i].cells)
            if (cell.kind == ImportedCell::Kind::Formula && cell.shared >= 0)
                masters.emplace(cell.shared, &cell);
        for (const ImportedCell &cell : data.sheets[i].cells) {
            const CellLocation where{sheets[i], cell.row, cell.column};
            switch (cell.kind) {
            case ImportedCell::Kind::Number:
                book.setValue(where, Value::number(cell.number));
                break;
            case ImportedCell::Kind::Boolean:
                book.setValue(where, Value::boolean(cell.number != 0));
                break;
            case ImportedCell::Kind::Text:
                book.setValue(where, Value::text(cell.text));
                break;
            case ImportedCell::Kind::Raw:
                book.setInput(where, cell.text);
                break;
            case ImportedCell::Kind::Formula:
            case ImportedCell::Kind::SharedFormula: {
                std::string text = formulaFromFile(cell.text);
                if (cell.kind == ImportedCell::Kind::SharedFormula) {
                    const auto master = masters.find(cell.shared);
                    if (master != masters.end())
                        text = shiftFormula(formulaFromFile(master->second->text), cell.row - master->second->row,
                                            cell.column - master->second->column);
                }
                if (text.empty() || !book.setFormula(where, text)) {
                    // What cannot be evaluated keeps the value the file cached.
                    ++report.unreadableFormulas;
                    book.setValue(where, cell.cachedIsNumber ? Value::number(cell.number)
                                         : cell.cached.empty() ? Value() : Value::text(cell.cached));
                }
                break;
            }
            }
        }
    }
    if (book.sheetCount() == 0)
        book.addSheet("Sheet1");
    book.recalculateAll();
}

LoadReport cannotRead(const std::string &path, const std::string &reason)
{
    LoadReport report;
    report.message = "cannot read " + path + ": " + reason;
    return report;
}

} // namespace

std::string readerAnswer(const std::string &path, FileFormat format)
{
    try {
        ImportedData data;
        importWithOrcus(path, format, data);
        return "K" + serialize(data);
    } catch (const std::exception &e) {
        return std::string("E") + (e.what()[0] ? e.what() : "the parser gave up");
    } catch (...) {
        return "Ethe parser gave up";
    }
}

LoadReport loadFromAnswer(const std::string &path, FileFormat format, const std::string &answer, Workbook &book)
{
    const auto fail = [&](const std::string &reason) { return cannotRead(path, reason); };
    if (answer.empty() || (answer[0] != 'K' && answer[0] != 'E'))
        return fail("the reader stopped without an answer");
    if (answer[0] == 'E')
        return fail(answer.substr(1));
    ImportedData data;
    if (!deserialize(answer.substr(1), data))
        return fail("the reader's answer was incomplete");

    LoadReport report;
    fillWorkbook(data, book, report);
    book.filePath = path;
    const size_t slash = path.find_last_of('/');
    book.name = slash == std::string::npos ? path : path.substr(slash + 1);
    report.unsupported = data.unsupported;
    if (format == FileFormat::Xlsx)
        noteUnreadParts(path, report.unsupported);
    report.ok = true;
    return report;
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

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return fail(std::strerror(errno));
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return fail(std::strerror(errno));
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        runReaderChild(pipeFds[1], path, format, options.memoryLimitBytes);
    }
    ::close(pipeFds[1]);
    std::string reply, failure;
    const bool heard = readFromChild(pipeFds[0], child, options.timeoutMilliseconds, reply, failure);
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!heard)
        return fail(failure);
    if (WIFSIGNALED(status) && reply.empty())
        return fail(std::string("the reader crashed (") + strsignal(WTERMSIG(status)) + ")");
    return loadFromAnswer(path, format, reply, book);
}

} // namespace workbook
