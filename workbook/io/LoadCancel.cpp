#include "LoadCancel.h"

#include <cstdint>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace workbook {

LoadCancel::LoadCancel() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

LoadCancel::~LoadCancel()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void LoadCancel::cancel()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

bool LoadCancel::cancelled() const
{
    pollfd p{m_fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

} // namespace workbook
