// Files from anywhere, read in this process so that the sanitizers see the
// parser: the first byte picks the format, the rest is the file. The reader's
// record must come through the bytes of the pipe unchanged, and the workbook
// is built from it as the program builds it.
#include "io/ReaderRecord.h"
#include "io/ReaderSteps.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const workbook::FileFormat formats[] = {workbook::FileFormat::Xlsx, workbook::FileFormat::Ods,
                                                   workbook::FileFormat::Csv};
    const workbook::FileFormat format = formats[data[0] % 3];
    const std::string &path = memoryFile(data + 1, size - 1);

    // Within the fuzzer's own memory limit: what needs more is refused.
    constexpr std::uint64_t ceiling = std::uint64_t(256) << 20;
    const std::string answer = workbook::readerAnswer(path, format, ceiling);
    workbook::RecordDecoder decoder(ceiling);
    decoder.feed(answer.data(), answer.size());
    if (decoder.state() == workbook::RecordDecoder::State::Complete) {
        std::string again;
        workbook::sendRecord(decoder.take(), [&again](const char *bytes, std::size_t n) {
            again.append(bytes, n);
            return true;
        });
        if (again != answer)
            std::abort();
    } else if (decoder.state() != workbook::RecordDecoder::State::Refused) {
        std::abort(); // the reader answers with a whole record or with why not
    }
    workbook::Workbook book;
    workbook::loadFromAnswer(path, format, answer, book);
    return 0;
}
