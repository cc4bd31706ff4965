#include "platform/files/GrantResolver.h"

#include "platform/files/AccessRegistry.h"
#include "platform/files/PathText.h"

#include <QDir>

#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <vector>

namespace hb {

namespace {

std::atomic<bool> openat2Missing{false};

int openBeneath(int directory, const char* path, int flags, std::uint64_t resolve)
{
    open_how how{};
    how.flags = std::uint64_t(flags | O_CLOEXEC);
    how.resolve = resolve;
    for (int attempt = 0;; ++attempt) {
        const int fd = int(::syscall(SYS_openat2, directory, path, &how, sizeof how));
        // EAGAIN: a rename elsewhere raced a ".." of the walk; the kernel asks us to try again.
        if (fd >= 0 || errno != EAGAIN || attempt == 3)
            return fd;
    }
}

// openat2 itself is refused: an old kernel, or flags it does not know.
bool missingOpenat2(int error)
{
    return error == ENOSYS || error == E2BIG || error == EPERM;
}

std::string absolute(std::string_view path)
{
    std::string result;
    if (path.empty() || path.front() != '/') {
        result = QDir::currentPath().toStdString();
        result += '/';
    }
    result.append(path);
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::string_view parentOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == 0 ? std::string_view("/") : path.substr(0, slash);
}

// The part of `path` below `root` (which holds it by whole components); empty for the root itself.
std::string_view below(std::string_view path, std::string_view root)
{
    if (path.size() == root.size())
        return {};
    return path.substr(root.size() == 1 ? 1 : root.size() + 1);
}

using PathText::appendComponent;

// The end of a walk from "/": the place reached, opened with O_PATH, and its canonical name.
struct Walked {
    Descriptor fd;
    std::string text;
    int error = 0;
};

// Walks `path` from "/" one component at a time, reading each link and walking its target in turn (so
// `text` names where the walk really went), "..", as the kernel does, to the folder the walk came from.
// A walk that stops at a missing component answers EACCES when the rest would lie outside every grant,
// so the error tells nothing about places without access.
Walked walkFromRoot(std::string_view path, Need need)
{
    struct Level {
        Descriptor fd;
        std::size_t textSize;
    };
    std::vector<Level> levels;
    levels.push_back({Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)), 1});
    std::string text = "/";
    std::vector<std::string> pending;  // the components still to walk, the next one last
    const auto push = [&](std::string_view part) {
        std::vector<std::string> components;
        std::size_t start = 0;
        while (start <= part.size()) {
            const auto slash = std::min(part.find('/', start), part.size());
            if (slash > start)
                components.emplace_back(part.substr(start, slash - start));
            start = slash + 1;
        }
        pending.insert(pending.end(), components.rbegin(), components.rend());
    };
    push(path);
    int links = 0;
    const auto stopped = [&](int error, const std::string& at) {
        std::string wouldBe = text;
        appendComponent(wouldBe, at);
        for (auto it = pending.rbegin(); it != pending.rend(); ++it)
            appendComponent(wouldBe, *it);
        const bool covered = AccessRegistry::covers(wouldBe, need == Need::writing);
        return Walked{{}, {}, covered ? error : EACCES};
    };
    while (!pending.empty()) {
        const std::string component = std::move(pending.back());
        pending.pop_back();
        if (component == ".")
            continue;
        if (component == "..") {
            if (levels.size() > 1) {
                levels.pop_back();
                text.resize(levels.back().textSize);
            }
            continue;
        }
        Descriptor next(::openat(levels.back().fd.get(), component.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!next.isOpen() || ::fstat(next.get(), &st) != 0)
            return stopped(errno, component);
        if (S_ISLNK(st.st_mode)) {
            if (++links > 40)
                return stopped(ELOOP, component);
            char target[PATH_MAX];
            const ssize_t length = ::readlinkat(next.get(), "", target, sizeof target);
            if (length <= 0 || length >= ssize_t(sizeof target))
                return stopped(length < 0 ? errno : ENAMETOOLONG, component);
            if (target[0] == '/') {
                levels.resize(1);
                text.assign(1, '/');  // not = "/": GCC 12 warns falsely on that
            }
            push(std::string_view(target, std::size_t(length)));
            continue;
        }
        if (!S_ISDIR(st.st_mode) && !pending.empty())
            return stopped(ENOTDIR, component);
        appendComponent(text, component);
        levels.push_back({std::move(next), text.size()});
    }
    return {std::move(levels.back().fd), std::move(text), 0};
}

// The walk's end reopened with `flags` when O_PATH is not enough.
OpenedItem reopened(Descriptor fd, int flags)
{
    if (flags & O_PATH) {
        struct stat st {};
        if ((flags & O_DIRECTORY) && (::fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode)))
            return {{}, ENOTDIR};
        return {std::move(fd), 0};
    }
    Descriptor opened(::openat(fd.get(), ".", flags | O_CLOEXEC));
    if (!opened.isOpen())
        return {{}, errno};
    return {std::move(opened), 0};
}

// The grant's root exactly where the grant names it: roots are canonical, so a link on the way means
// the path was changed since and only the walk from "/" can judge it.
Descriptor openRoot(std::string_view root, int flags)
{
    return Descriptor(openBeneath(AT_FDCWD, std::string(root).c_str(), flags | O_DIRECTORY,
                                  RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS));
}

// Errors after which only the walk from "/" can tell: a link or ".." that leaves the root (EXDEV), a
// link where the root's canonical name had none (ELOOP), a kernel without openat2.
bool walkInstead(int error)
{
    if (missingOpenat2(error)) {
        openat2Missing.store(true, std::memory_order_relaxed);
        return true;
    }
    return error == EXDEV || error == ELOOP || error == EAGAIN;
}

bool hasDotComponents(std::string_view path)
{
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view component = path.substr(start, end - start);
        if (component == "." || component == "..")
            return true;
        start = end + 1;
    }
    return false;
}

// `path` opened with `flags` beneath `root`, the deepest grant that holds its text; false when only
// the walk from "/" can tell.
bool openBelowRoot(const std::string& path, const std::string& root, int flags, OpenedItem& result)
{
    if (root.empty() || openat2Missing.load(std::memory_order_relaxed))
        return false;
    const std::string_view rest = below(path, root);
    // The usual path holds no link and no "..": reached without following one, the place is where its
    // text says, and the root holds that text. One system call.
    if (!hasDotComponents(rest)) {
        Descriptor direct(openBeneath(AT_FDCWD, path.c_str(), flags, RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS));
        if (direct.isOpen()) {
            result = {std::move(direct), 0};
            return true;
        }
        if (errno != ELOOP) {
            const int error = errno;
            if (walkInstead(error))
                return false;
            result = {{}, error};
            return true;
        }
    }
    // A link on the way: followed only while it stays beneath the root.
    Descriptor fd = openRoot(root, rest.empty() ? flags : O_PATH);
    if (fd.isOpen() && !rest.empty())
        fd = Descriptor(
            openBeneath(fd.get(), std::string(rest).c_str(), flags, RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS));
    if (fd.isOpen()) {
        result = {std::move(fd), 0};
        return true;
    }
    const int error = errno;
    if (walkInstead(error))
        return false;
    result = {{}, error};
    return true;
}

// A quick "no" for a path whose text lies under no grant: the kernel's own name of its existing part,
// read once, lies outside every grant too. Only a "yes" needs the walk from "/", a "no" at one moment
// is a sound answer.
bool plainlyOutside(const std::string& existing, std::string_view name, bool writing)
{
    std::string text = PathText::realPath(existing);
    if (text.empty())
        return false;
    appendComponent(text, name);
    return !AccessRegistry::covers(text, writing);
}

bool isNamed(std::string_view name)
{
    return !name.empty() && name != "." && name != "..";
}

}  // namespace

namespace GrantResolver {

OpenedItem open(std::string_view path, Need need, int flags)
{
    if (path.empty())
        return {{}, EACCES};
    const std::string full = absolute(path);
    const bool writing = need == Need::writing;
    OpenedItem result;
    const std::string root = AccessRegistry::deepestRootCovering(full, writing);
    if (openBelowRoot(full, root, flags, result))
        return result;
    if (root.empty() && plainlyOutside(full, {}, writing))
        return {{}, EACCES};
    Walked walked = walkFromRoot(full, need);
    if (walked.error)
        return {{}, walked.error};
    if (!AccessRegistry::covers(walked.text, writing))
        return {{}, EACCES};
    return reopened(std::move(walked.fd), flags);
}

ResolvedItem item(std::string_view path, Need need, int folderFlags)
{
    if (path.empty())
        return {{}, {}, EACCES};
    const std::string full = absolute(path);
    const std::string_view name = std::string_view(full).substr(full.rfind('/') + 1);
    if (!isNamed(name)) {
        OpenedItem itself = open(full, need, folderFlags | O_DIRECTORY);
        return {std::move(itself.fd), ".", itself.error};
    }
    const bool writing = need == Need::writing;
    const std::string folder(parentOf(full));
    const std::string root = AccessRegistry::deepestRootCovering(full, writing);
    if (root == full) {
        // The item is a grant's root: it lies in a folder outside the grant, of which only the item's
        // own name is used.
        Descriptor fd = openRoot(folder, folderFlags);
        const int error = fd.isOpen() ? 0 : errno;
        if (!walkInstead(error))
            return {std::move(fd), std::string(name), error};
    } else {
        OpenedItem opened;
        if (openBelowRoot(folder, root, folderFlags | O_DIRECTORY, opened))
            return {std::move(opened.fd), std::string(name), opened.error};
        if (root.empty() && plainlyOutside(folder, name, writing))
            return {{}, {}, EACCES};
    }
    Walked walked = walkFromRoot(folder, need);
    if (walked.error)
        return {{}, {}, walked.error};
    std::string itemText = walked.text;
    appendComponent(itemText, name);
    if (!AccessRegistry::covers(itemText, writing))
        return {{}, {}, EACCES};
    OpenedItem opened = reopened(std::move(walked.fd), folderFlags | O_DIRECTORY);
    return {std::move(opened.fd), std::string(name), opened.error};
}

ResolvedItem item(const QString& path, Need need, int folderFlags)
{
    const QByteArray native = path.toUtf8();
    return item(std::string_view(native.constData(), std::size_t(native.size())), need, folderFlags);
}

OpenedItem open(const QString& path, Need need, int flags)
{
    const QByteArray native = path.toUtf8();
    return open(std::string_view(native.constData(), std::size_t(native.size())), need, flags);
}

}  // namespace GrantResolver

}  // namespace hb
