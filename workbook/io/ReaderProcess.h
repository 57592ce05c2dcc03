#pragma once

#include <cstdint>
#include <string>

#include <sys/types.h>

namespace workbook {

// Where the reader program is: beside the running program, or else where
// the build put it (for tests and tools run from the build tree).
std::string readerProgram();

// The reader program, started for one file with posix_spawn: it copies
// nothing of the caller, applies its own memory limit and dies with its
// parent. Its answer comes through output().
class ReaderProcess
{
public:
    ReaderProcess() = default;
    ReaderProcess(const ReaderProcess &) = delete;
    ReaderProcess &operator=(const ReaderProcess &) = delete;
    // A reader still running is stopped and reaped.
    ~ReaderProcess();

    // False, with why, when the program cannot be started.
    bool start(const std::string &path, std::uint64_t memoryLimit, std::string &failure);
    int output() const { return m_output; }
    void stop();
    // Waits for the reader to end and gives its wait status.
    int finish();

private:
    pid_t m_pid = -1;
    int m_output = -1;
};

} // namespace workbook
