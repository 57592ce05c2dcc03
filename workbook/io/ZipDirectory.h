#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

// One part of a zip archive as its central directory describes it.
struct ZipEntry
{
    std::string name;
    std::uint16_t method = 0; // 0 stored, 8 deflated
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0; // uncompressed
    std::uint64_t headerOffset = 0;
};

// The list of parts of a zip archive, read from the central directory at the
// end of the file only: however large the parts, reading the list costs a few
// kilobytes.
class ZipDirectory
{
public:
    enum class Outcome { Read, NotZip, Damaged };

    // `problem` says what is wrong when the outcome is not Read.
    Outcome read(const std::string &path);
    const std::string &problem() const { return m_problem; }

    const std::vector<ZipEntry> &entries() const { return m_entries; }
    const ZipEntry *find(std::string_view name) const;
    bool hasEntryStartingWith(std::string_view prefix) const;

private:
    Outcome fail(Outcome outcome, std::string problem);

    std::vector<ZipEntry> m_entries;
    std::string m_problem;
};

} // namespace workbook
