#include "platform/selection/FileManagers.h"

#include <algorithm>
#include <array>
#include <climits>
#include <unistd.h>

namespace hb::selection {

namespace {
constexpr std::array<std::string_view, 8> kPrograms{"nautilus", "dolphin", "thunar",  "Thunar",
                                                    "nemo",     "caja",    "pcmanfm", "pcmanfm-qt"};
}

bool isFileManagerProgram(std::string_view programName)
{
    return std::find(kPrograms.begin(), kPrograms.end(), programName) != kPrograms.end();
}

std::string programNameOfProcess(long pid)
{
    if (pid <= 0)
        return {};
    char target[PATH_MAX];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0)
        return {};
    std::string path(target, static_cast<std::size_t>(length));
    // A program replaced by an upgrade while it runs.
    constexpr std::string_view deleted = " (deleted)";
    if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
    return path.substr(path.rfind('/') + 1);
}

}  // namespace hb::selection
