#include "platform/files/PathText.h"

#include "platform/files/Descriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace hb::PathText {

void appendComponent(std::string& path, std::string_view component)
{
    if (component.empty() || component == ".")
        return;
    if (component == "..") {
        const auto slash = path.rfind('/');
        path.resize(slash == 0 ? 1 : slash);
        return;
    }
    if (path.size() > 1)
        path += '/';
    path.append(component);
}

std::string nameOf(int fd)
{
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(link, buffer, sizeof buffer - 1);
    if (length > 0 && length < ssize_t(sizeof buffer - 1) && buffer[0] == '/')  // else possibly cut short
        return std::string(buffer, size_t(length));
    return {};
}

// Two system calls where realpath() reads every component's link.
std::string realPath(const std::string& path)
{
    const Descriptor fd(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (std::string name = fd.isOpen() ? nameOf(fd.get()) : std::string(); !name.empty())
        return name;
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer))
        return buffer;
    return {};
}

}  // namespace hb::PathText
