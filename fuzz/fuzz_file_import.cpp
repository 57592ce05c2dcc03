// Files from anywhere. The first byte picks the format; the parser runs in
// its child process, so what is checked here is everything around it: the
// pipe, the record, and building the workbook.
#include "io/WorkbookFiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const char *const endings[] = {".xlsx", ".ods", ".csv"};
    const std::string path = "/tmp/tarvio-fuzz-" + std::to_string(::getpid()) + endings[data[0] % 3];
    if (FILE *file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, file);
        std::fclose(file);
    }
    workbook::Workbook book;
    workbook::LoadOptions options;
    options.timeoutMilliseconds = 2000;
    options.memoryLimitBytes = std::size_t(2) << 30;
    workbook::loadWorkbookFile(path, book, options);
    std::remove(path.c_str());
    return 0;
}
