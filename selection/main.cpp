// harbrill-selection: prints the paths of the items selected in the file-manager window the person was
// in when they called Harbrill up, each ended by a NUL byte (names may hold new lines). Harbrill names
// that window in HARBRILL_FRONT_WINDOW: an X11 window id (with its process in HARBRILL_FRONT_PID), or
// "active" where it cannot see other programs' windows (Wayland), for the active window on the
// accessibility bus. With no window named, or one that is not a file manager's, it prints nothing.
#include <QCoreApplication>

#include "app/identity/HarbrillIdentity.h"
#include "platform/selection/AccessibleSelection.h"
#include "platform/selection/CopiedSelection.h"

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>

namespace {

long numberFromEnvironment(const char* name)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value > 0 ? value : 0;
}

int printPaths(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        std::fwrite(path.data(), 1, path.size(), stdout);
        std::fputc('\0', stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    hb::setProgramIdentity(harbrillIdentity());
    if (argc > 1) {
        std::fprintf(stderr, "usage: %s (the window comes from HARBRILL_FRONT_WINDOW)\n", argv[0]);
        return 2;
    }
    const char* front = std::getenv("HARBRILL_FRONT_WINDOW");
    if (front && std::strcmp(front, "active") == 0) {
        QCoreApplication application(argc, argv);
        const auto result = hb::selection::AccessibleSelection::read();
        if (result.failure)
            std::fprintf(stderr, "harbrill-selection: %s\n", hb::selection::describe(*result.failure));
        return printPaths(result.paths);
    }
    const long window = numberFromEnvironment("HARBRILL_FRONT_WINDOW");
    if (window == 0)
        return 0;
    const auto x = hb::selection::XDisplay::open();
    if (!x) {
        std::fprintf(stderr, "harbrill-selection: no X display to ask\n");
        return 1;
    }
    const auto result = hb::selection::CopiedSelection::read(*x, static_cast<Window>(window),
                                                             numberFromEnvironment("HARBRILL_FRONT_PID"));
    if (result.failure)
        std::fprintf(stderr, "harbrill-selection: %s\n", hb::selection::describe(*result.failure));
    return printPaths(result.paths);
}
