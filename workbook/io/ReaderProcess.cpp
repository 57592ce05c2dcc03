#include "ReaderProcess.h"

#include "../ProgramBeside.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace workbook {

namespace {

const char readerName[] = "tarvio-reader";

class SpawnSetup
{
public:
    explicit SpawnSetup(int output)
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, output, 1);
        // The parser's own complaints would only clutter the caller's terminal.
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawnattr_init(&attributes);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigfillset(&defaults);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

} // namespace

std::string readerProgram()
{
    const std::string beside = programBeside(readerName);
#ifdef TARVIO_READER_IN_BUILD
    if (::access(beside.c_str(), X_OK) != 0)
        return TARVIO_READER_IN_BUILD;
#endif
    return beside;
}

ReaderProcess::~ReaderProcess()
{
    stop();
    finish();
}

bool ReaderProcess::start(const std::string &path, std::uint64_t memoryLimit, std::string &failure)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        failure = std::strerror(errno);
        return false;
    }
    const std::string program = readerProgram();
    std::vector<std::string> arguments = {program, "--parent", std::to_string(::getpid()), "--memory-limit",
                                          std::to_string(memoryLimit), "--", path};
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const SpawnSetup setup(pipeFds[1]);
    const int error = ::posix_spawn(&m_pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
    ::close(pipeFds[1]);
    if (error != 0) {
        ::close(pipeFds[0]);
        m_pid = -1;
        failure = "the reader program " + program + " cannot be started: " + std::strerror(error);
        return false;
    }
    m_output = pipeFds[0];
    return true;
}

void ReaderProcess::stop()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGKILL);
}

int ReaderProcess::finish()
{
    if (m_output >= 0) {
        ::close(m_output);
        m_output = -1;
    }
    int status = 0;
    if (m_pid > 0) {
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    return status;
}

} // namespace workbook
