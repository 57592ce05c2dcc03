#include "ZipDirectory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace workbook {

namespace {

constexpr std::size_t endRecordSize = 22;
constexpr std::size_t longestComment = 0xffff;
constexpr std::size_t entryHeaderSize = 46;
constexpr std::size_t localHeaderSize = 30;
// Far beyond what the 65,535 parts a directory can list take with sensible
// names; a larger one is not a workbook's.
constexpr std::uint64_t largestDirectory = std::uint64_t(64) << 20;
// Deflate cannot expand data by more than 1032 to 1.
constexpr std::uint64_t deflateMaximumRatio = 1032;

std::uint16_t le16(const unsigned char *p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t le32(const unsigned char *p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8
        | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

class File
{
public:
    explicit File(const std::string &path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    std::uint64_t size() const
    {
        struct stat info{};
        return ::fstat(m_fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    }
    bool readAt(std::uint64_t offset, std::vector<unsigned char> &bytes) const
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pread(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
};

// Where the end record starts in `tail`, searched from the end as zip readers do.
std::size_t findEndRecord(const std::vector<unsigned char> &tail)
{
    for (std::size_t at = tail.size() - endRecordSize + 1; at-- > 0;)
        if (tail[at] == 'P' && tail[at + 1] == 'K' && tail[at + 2] == 5 && tail[at + 3] == 6)
            return at;
    return std::string::npos;
}

} // namespace

ZipDirectory::Outcome ZipDirectory::fail(Outcome outcome, std::string problem)
{
    m_entries.clear();
    m_problem = std::move(problem);
    return outcome;
}

ZipDirectory::Outcome ZipDirectory::read(const std::string &path)
{
    m_entries.clear();
    m_problem.clear();
    const File file(path);
    if (!file.isOpen())
        return fail(Outcome::Damaged, std::strerror(errno));
    const std::uint64_t fileSize = file.size();
    if (fileSize < endRecordSize)
        return fail(Outcome::NotZip, fileSize == 0 ? "it is empty" : "it is not a zip archive");

    std::vector<unsigned char> tail(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, endRecordSize + longestComment)));
    const std::uint64_t tailOffset = fileSize - tail.size();
    if (!file.readAt(tailOffset, tail))
        return fail(Outcome::Damaged, "it cannot be read to the end");
    const std::size_t end = findEndRecord(tail);
    if (end == std::string::npos)
        return fail(Outcome::NotZip, "it is not a zip archive");
    const unsigned char *record = tail.data() + end;
    const std::uint16_t count = le16(record + 10);
    const std::uint32_t directorySize = le32(record + 12);
    const std::uint32_t directoryOffset = le32(record + 16);
    if (count == 0xffff || directorySize == 0xffffffffu || directoryOffset == 0xffffffffu)
        return fail(Outcome::Damaged, "it is a ZIP64 archive (parts over 4 GB), which cannot be read");
    const std::uint64_t endOffset = tailOffset + end;
    if (std::uint64_t(directoryOffset) + directorySize > endOffset)
        return fail(Outcome::Damaged, "its zip directory lies outside the file");
    if (directorySize > largestDirectory)
        return fail(Outcome::Damaged, "its zip directory is larger than any workbook's");

    std::vector<unsigned char> directory(directorySize);
    if (!file.readAt(directoryOffset, directory))
        return fail(Outcome::Damaged, "its zip directory cannot be read");
    std::size_t at = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (directory.size() - at < entryHeaderSize || le32(&directory[at]) != 0x02014b50)
            return fail(Outcome::Damaged, "its zip directory is cut short");
        const unsigned char *header = &directory[at];
        ZipEntry entry;
        entry.method = le16(header + 10);
        entry.compressedSize = le32(header + 20);
        entry.size = le32(header + 24);
        const std::size_t nameLength = le16(header + 28);
        const std::size_t extraLength = le16(header + 30);
        const std::size_t commentLength = le16(header + 32);
        entry.headerOffset = le32(header + 42);
        const std::size_t length = entryHeaderSize + nameLength + extraLength + commentLength;
        if (directory.size() - at < length)
            return fail(Outcome::Damaged, "its zip directory is cut short");
        entry.name.assign(reinterpret_cast<const char *>(header + entryHeaderSize), nameLength);
        if (entry.compressedSize == 0xffffffffu || entry.size == 0xffffffffu)
            return fail(Outcome::Damaged, "it is a ZIP64 archive (parts over 4 GB), which cannot be read");
        // The zip reader allocates what a part claims before it reads a byte:
        // a claim the file cannot back is refused here.
        if (entry.headerOffset + localHeaderSize + entry.compressedSize > directoryOffset)
            return fail(Outcome::Damaged,
                        "the part " + entry.name + " claims " + std::to_string(entry.compressedSize)
                            + " bytes, more than the file holds");
        if (entry.method == 8 && entry.size > entry.compressedSize * deflateMaximumRatio + 1024)
            return fail(Outcome::Damaged,
                        "the part " + entry.name + " claims to unpack to " + std::to_string(entry.size)
                            + " bytes, more than its packed data can hold");
        m_entries.push_back(std::move(entry));
        at += length;
    }
    return Outcome::Read;
}

const ZipEntry *ZipDirectory::find(std::string_view name) const
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(), [name](const ZipEntry &e) { return e.name == name; });
    return found == m_entries.end() ? nullptr : &*found;
}

bool ZipDirectory::hasEntryStartingWith(std::string_view prefix) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [prefix](const ZipEntry &e) { return e.name.compare(0, prefix.size(), prefix) == 0; });
}

} // namespace workbook
