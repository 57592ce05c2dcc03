#include "ProgramBeside.h"

#include <climits>

#include <unistd.h>

namespace workbook {

std::string programBeside(const std::string &name)
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return name;
    const std::string program(self, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/') + 1) + name;
}

} // namespace workbook
