#include "platform/files/CopyPartial.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <vector>

namespace hb::copying {

namespace {

const char kPrefix[] = ".harbrill-partial-";

bool processRuns(pid_t pid)
{
    return kill(pid, 0) == 0 || errno != ESRCH;
}

// The writer's pid of a partial name, or 0 when the name is not one of ours.
pid_t writerOf(const char* name)
{
    if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) != 0)
        return 0;
    const char* digits = name + sizeof kPrefix - 1;
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(digits, &end, 10);
    if (errno != 0 || end == digits || *end != '-' || pid <= 0 || pid > INT_MAX)
        return 0;
    return static_cast<pid_t>(pid);
}

std::vector<std::string> entriesOf(int directory)
{
    std::vector<std::string> names;
    const int fd = dup(directory);
    if (fd < 0)
        return names;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return names;
    }
    rewinddir(dir);
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

}  // namespace

std::string partialName(const std::string& name)
{
    unsigned random = 0;
    if (getrandom(&random, sizeof random, 0) != sizeof random)
        random = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&random)) ^ static_cast<unsigned>(clock());
    char head[64];
    std::snprintf(head, sizeof head, "%s%d-%08x-", kPrefix, static_cast<int>(getpid()), random);
    std::string result = head;
    result += name.substr(0, NAME_MAX - result.size());
    return result;
}

void removeLeftovers(int directory)
{
    const pid_t self = getpid();
    for (const std::string& name : entriesOf(directory)) {
        const pid_t writer = writerOf(name.c_str());
        if (writer != 0 && writer != self && !processRuns(writer))
            removeItem(directory, name);
    }
}

void removeItem(int directory, const std::string& name)
{
    struct stat status;
    if (fstatat(directory, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (S_ISDIR(status.st_mode)) {
        const int folder = openat(directory, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder >= 0) {
            // A copied read-only folder keeps its entries from us until we may write to it again.
            if ((status.st_mode & S_IRWXU) != S_IRWXU)
                fchmod(folder, S_IRWXU);
            for (const std::string& entry : entriesOf(folder))
                removeItem(folder, entry);
            close(folder);
        }
        unlinkat(directory, name.c_str(), AT_REMOVEDIR);
    } else {
        unlinkat(directory, name.c_str(), 0);
    }
}

}  // namespace hb::copying
