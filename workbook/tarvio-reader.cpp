// tarvio-reader: reads one workbook file for the program that started it
// and writes the record, or why the file cannot be read, to its standard
// output. Parsing happens here, in a process of its own under a memory
// limit, so that a hostile file can crash, hang or bloat only this.
//   tarvio-reader [--parent PID] [--memory-limit BYTES] [--] FILE
// With --parent the reader ends as soon as that process is gone.
#include "io/OrcusImport.h"
#include "io/ReaderSteps.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace workbook;

namespace {

bool writeAll(const char *bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

struct Arguments
{
    pid_t parent = 0;
    std::uint64_t memoryLimit = LoadOptions().memoryLimitBytes;
    std::string path;
};

bool parse(int argc, char **argv, Arguments &arguments)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--parent" && i + 1 < argc)
            arguments.parent = static_cast<pid_t>(std::strtol(argv[++i], nullptr, 10));
        else if (argument == "--memory-limit" && i + 1 < argc)
            arguments.memoryLimit = std::strtoull(argv[++i], nullptr, 10);
        else if (argument == "--" && i + 2 == argc)
            arguments.path = argv[++i];
        else if (argument[0] != '-' && i + 1 == argc)
            arguments.path = argument;
        else
            return false;
    }
    return !arguments.path.empty() && arguments.memoryLimit > 0;
}

} // namespace

int main(int argc, char **argv)
{
    Arguments arguments;
    if (!parse(argc, argv, arguments)) {
        std::cerr << "usage: tarvio-reader [--parent PID] [--memory-limit BYTES] [--] FILE\n";
        return 1;
    }
    if (arguments.parent > 0) {
        // Killed with the parent; one that died before this line is seen here.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != arguments.parent)
            return 3;
    }
    const rlimit limit{arguments.memoryLimit, arguments.memoryLimit};
    ::setrlimit(RLIMIT_AS, &limit);
    return sendReaderAnswer(arguments.path, formatOfPath(arguments.path), arguments.memoryLimit, writeAll) ? 0 : 2;
}
