#include "platform/files/CopyFile.h"

#include "platform/files/CopyPartial.h"
#include "platform/files/CopyPriority.h"
#include "platform/files/CopyTree.h"
#include "platform/files/Descriptor.h"
#include "platform/files/GrantResolver.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

namespace hb {

using copying::CopyTree;
using copying::Outcome;
using copying::Place;

copyfile_state_t copyfile_state_alloc()
{
    return new copyfile_state;
}

int copyfile_state_free(copyfile_state_t state)
{
    delete state;
    return 0;
}

int copyfile_state_set(copyfile_state_t state, std::uint32_t flag, const void* value)
{
    if (!state) {
        errno = EINVAL;
        return -1;
    }
    switch (flag) {
    case COPYFILE_STATE_STATUS_CB:
        state->callback = reinterpret_cast<copyfile_callback_t>(const_cast<void*>(value));
        return 0;
    case COPYFILE_STATE_STATUS_CTX:
        state->context = const_cast<void*>(value);
        return 0;
    default:
        errno = EINVAL;
        return -1;
    }
}

int copyfile_state_get(copyfile_state_t state, std::uint32_t flag, void* result)
{
    if (!state || !result) {
        errno = EINVAL;
        return -1;
    }
    switch (flag) {
    case COPYFILE_STATE_STATUS_CB:
        *static_cast<copyfile_callback_t*>(result) = state->callback;
        return 0;
    case COPYFILE_STATE_STATUS_CTX:
        *static_cast<void**>(result) = state->context;
        return 0;
    case COPYFILE_STATE_COPIED:
        *static_cast<off_t*>(result) = state->copied;
        return 0;
    default:
        errno = EINVAL;
        return -1;
    }
}

namespace {

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

QString text(const std::string& path)
{
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

bool isExactText(const std::string& path)
{
    return text(path).toStdString() == path;
}

// A file of no name in `folder`, or -1 where the file system makes none or it could not be named
// later (that goes through /proc, which may be missing).
int openUnnamed(int folder)
{
    static const bool nameable = access("/proc/self/fd", X_OK) == 0;
    return nameable ? openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR) : -1;
}

int nameWithoutReplacing(int file, int folder, const std::string& name)
{
    const std::string path = "/proc/self/fd/" + std::to_string(file);
    return linkat(AT_FDCWD, path.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int placeWithoutReplacing(int folder, const std::string& partial, const std::string& name)
{
    if (renameat2(folder, partial.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without no-replace renames: the best we can do is look first.
    struct stat existing;
    if (fstatat(folder, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return renameat(folder, partial.c_str(), folder, name.c_str()) == 0 ? 0 : errno;
}

}  // namespace

int copyfile(const char* from, const char* to, copyfile_state_t state, copyfile_flags_t flags)
{
    if (!from || !to || !*from || !*to) {
        errno = EINVAL;
        return -1;
    }
    copyfile_state ownState;
    if (!state)
        state = &ownState;
    state->copied = 0;
    CopyTree tree(state, flags);
    const std::string source = withoutTrailingSlashes(from);
    const std::string destination = withoutTrailingSlashes(to);
    const auto failWith = [&](int what, int error) {
        tree.reportError(what, source, destination, error);
        errno = error;
        return -1;
    };

    // The access checks judge text; a path whose bytes are not that text exactly (not valid UTF-8)
    // would be judged as another path than the one the system calls use.
    if (!isExactText(source) || !isExactText(destination))
        return failWith(COPYFILE_RECURSE_FILE, EILSEQ);
    // A link is copied as a link, not followed: the source is judged where it lies.
    const ResolvedItem sourceItem = GrantResolver::item(source, Need::reading);
    if (!sourceItem)
        return failWith(COPYFILE_RECURSE_FILE, sourceItem.error);
    struct stat status;
    if (fstatat(sourceItem.folder.get(), sourceItem.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return failWith(COPYFILE_RECURSE_FILE, errno);
    const int what = S_ISDIR(status.st_mode) ? COPYFILE_RECURSE_DIR : COPYFILE_RECURSE_FILE;
    // A tree's data goes through its workers; a large file's through the calling thread.
    std::optional<copying::LowIoPriority> lowIo;
    if (S_ISREG(status.st_mode) && status.st_size > off_t(copying::kDataChunk))
        lowIo.emplace();
    const std::string folderPath = parentOf(destination);
    const std::string name = nameOf(destination);
    if (name.empty() || name == "." || name == "..")
        return failWith(what, EINVAL);
    // The copy is written into the destination folder before it has its name, so the folder itself
    // must lie beneath a grant, not only the name it will have.
    const OpenedItem destinationFolder = GrantResolver::open(folderPath, Need::writing, O_RDONLY | O_DIRECTORY);
    if (!destinationFolder)
        return failWith(what, destinationFolder.error);
    const int folder = destinationFolder.fd.get();
    copying::removeLeftovers(folder);
    struct stat existing;
    const int taken = fstatat(folder, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 ? EEXIST
                      : errno == ENOENT                                                  ? 0
                                                                                         : errno;
    if (taken)
        return failWith(what, taken);

    const Place item{sourceItem.folder.get(), sourceItem.name, source};
    Outcome outcome;
    const Descriptor unnamed(S_ISREG(status.st_mode) ? openUnnamed(folder) : -1);
    if (unnamed.isOpen()) {
        // Nothing is seen at the destination before the copy is complete, and nothing is left of it
        // when it fails or its process is killed.
        outcome = tree.copyUnnamed(item, unnamed.get(), destination,
                                   [&] { return nameWithoutReplacing(unnamed.get(), folder, name); });
    } else {
        const std::string partial = copying::partialName(name);
        const copying::PartialRecord record(folder, partial);
        outcome = tree.copy(item, status, Place{folder, partial, folderPath + '/' + partial}, destination,
                            [&] { return placeWithoutReplacing(folder, partial, name); });
        if (outcome != Outcome::done && outcome != Outcome::skipped)
            copying::removeItem(folder, partial);
    }
    if (outcome == Outcome::done || outcome == Outcome::skipped)
        return 0;
    errno = outcome == Outcome::cancelled ? ECANCELED : tree.error();
    return -1;
}

}  // namespace hb
