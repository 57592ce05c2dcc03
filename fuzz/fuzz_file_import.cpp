// Files from anywhere, read in this process so that the sanitizers see the
// parser: the first byte picks the format, the rest is the file. The reader's
// record must come through the bytes of the pipe unchanged, and the workbook
// is built from it as the program builds it.
#include "io/ImportedData.h"
#include "io/ReaderSteps.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// The file lives in memory: nothing is left on the disk when a run stops.
const std::string &memoryFile(const std::uint8_t *data, std::size_t size)
{
    static const int fd = ::memfd_create("tarvio-fuzz-file", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    return path;
}

// Known fault, left to the reader's memory ceiling: orcus allocates and fills
// as many bytes as a zip entry's header claims, so a 3 kB file claiming 4 GB
// takes 4 GB. Such files are passed over here, so that the fuzzer looks past
// them; remove this once the reader refuses them.
bool claimsHugeZipEntry(const std::uint8_t *data, std::size_t size)
{
    constexpr std::uint32_t most = 64u << 20;
    const auto field = [&](std::size_t at) {
        std::uint32_t v = 0;
        if (at + 4 <= size)
            std::memcpy(&v, data + at, 4);
        return v;
    };
    for (std::size_t at = 0; at + 4 <= size; ++at) {
        if (data[at] != 'P' || data[at + 1] != 'K')
            continue;
        const std::uint16_t kind = static_cast<std::uint16_t>(data[at + 2] | data[at + 3] << 8);
        if ((kind == 0x0403 && (field(at + 18) > most || field(at + 22) > most))
            || (kind == 0x0201 && (field(at + 20) > most || field(at + 24) > most)))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const workbook::FileFormat formats[] = {workbook::FileFormat::Xlsx, workbook::FileFormat::Ods,
                                                   workbook::FileFormat::Csv};
    const workbook::FileFormat format = formats[data[0] % 3];
    if (format != workbook::FileFormat::Csv && claimsHugeZipEntry(data + 1, size - 1))
        return 0;
    const std::string &path = memoryFile(data + 1, size - 1);

    const std::string answer = workbook::readerAnswer(path, format);
    if (answer[0] == 'K') {
        const std::string record = answer.substr(1);
        workbook::ImportedData imported;
        if (!workbook::deserialize(record, imported) || workbook::serialize(imported) != record)
            std::abort();
    }
    workbook::Workbook book;
    workbook::loadFromAnswer(path, format, answer, book);
    return 0;
}
