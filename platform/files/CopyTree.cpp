#include "platform/files/CopyTree.h"

#include "platform/files/CopyPartial.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace hb::copying {

namespace {

constexpr std::size_t kChunk = 8 << 20;   // data between two progress reports
constexpr std::size_t kBuffer = 1 << 20;  // read/write fallback

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Answers other than continue and skip stop the copy.
Outcome fromAnswer(int answer)
{
    if (answer == COPYFILE_CONTINUE)
        return Outcome::done;
    return answer == COPYFILE_SKIP ? Outcome::skipped : Outcome::cancelled;
}

// The item as "/proc/self/fd/<folder>/<name>": the l*xattr calls judge only its final component
// themselves, whatever the depth of the folder.
std::string shortPath(const Place& place)
{
    if (place.directory == AT_FDCWD)
        return place.name;
    return "/proc/self/fd/" + std::to_string(place.directory) + '/' + place.name;
}

bool ignorableAttributeError(int error, const char* name)
{
    if (error == ENOTSUP)
        return true;  // the destination file system keeps no such attributes
    // Only the user's own attributes must always come along; the rest go where permitted.
    return (error == EPERM || error == EACCES) && std::strncmp(name, "user.", 5) != 0;
}

}  // namespace

Outcome CopyTree::fail(int error)
{
    m_error = error;
    return Outcome::failed;
}

int CopyTree::report(int what, int stage, const std::string& source, const std::string& destination)
{
    if (!m_state->callback)
        return COPYFILE_CONTINUE;
    return m_state->callback(what, stage, m_state, source.c_str(), destination.c_str(), m_state->context);
}

int CopyTree::reportError(int what, const std::string& source, const std::string& destination, int error)
{
    if (!m_state->callback)
        return COPYFILE_QUIT;
    errno = error;
    return m_state->callback(what, COPYFILE_ERR, m_state, source.c_str(), destination.c_str(), m_state->context);
}

Outcome CopyTree::copy(const Place& source, const struct stat& status, const Place& destination,
                       const std::string& reported, const std::function<int()>& commit)
{
    const int what = S_ISDIR(status.st_mode) ? COPYFILE_RECURSE_DIR : COPYFILE_RECURSE_FILE;
    m_state->copied = 0;
    Outcome outcome = fromAnswer(report(what, COPYFILE_START, source.path, reported));
    if (outcome != Outcome::done)
        return outcome;

    if (S_ISDIR(status.st_mode))
        outcome = copyFolder(source, destination, reported);
    else if (S_ISREG(status.st_mode))
        outcome = copyFile(source, destination, reported);
    else if (S_ISLNK(status.st_mode))
        outcome = copyLink(source, status, destination, reported);
    else
        outcome = copySpecial(source, status, destination, reported);
    if (outcome == Outcome::done && commit) {
        if (const int error = commit())
            outcome = fail(error);
    }

    switch (outcome) {
    case Outcome::done:
        break;
    case Outcome::failed: {
        const int error = m_error;
        removeItem(destination.directory, destination.name);
        const int answer = reportError(what, source.path, reported, error);
        m_error = error;
        return answer == COPYFILE_CONTINUE || answer == COPYFILE_SKIP ? Outcome::leftOut : Outcome::aborted;
    }
    case Outcome::skipped:
        removeItem(destination.directory, destination.name);
        return outcome;
    default:
        return outcome;
    }
    // Once in place, the item stays: a quit at its finish report only stops what follows.
    const Outcome answer = fromAnswer(report(what, COPYFILE_FINISH, source.path, reported));
    return answer == Outcome::cancelled && !commit ? Outcome::cancelled : Outcome::done;
}

Outcome CopyTree::copyFolder(const Place& source, const Place& destination, const std::string& reported)
{
    // Private until finished, so a read-only source folder can still be filled.
    if (mkdirat(destination.directory, destination.name.c_str(), S_IRWXU) != 0)
        return fail(errno);
    Fd out(openat(destination.directory, destination.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (out.get() < 0)
        return fail(errno);
    if (m_topInode == 0) {
        struct stat created;
        if (fstat(out.get(), &created) != 0)
            return fail(errno);
        m_topDevice = created.st_dev;
        m_topInode = created.st_ino;
    }
    Fd in(openat(source.directory, source.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (in.get() < 0)
        return fail(errno);
    struct stat status;
    if (fstat(in.get(), &status) != 0)
        return fail(errno);

    if (m_flags & COPYFILE_RECURSIVE) {
        const Outcome outcome = copyEntries(in.get(), source, out.get(), destination, reported);
        if (outcome != Outcome::done)
            return outcome;
    }

    m_state->copied = 0;
    if (fromAnswer(report(COPYFILE_RECURSE_DIR_CLEANUP, COPYFILE_START, source.path, reported)) == Outcome::cancelled)
        return Outcome::cancelled;
    const Outcome outcome = copyMetadata(source, in.get(), status, destination, out.get(), reported);
    if (outcome != Outcome::done)
        return outcome;
    if (fromAnswer(report(COPYFILE_RECURSE_DIR_CLEANUP, COPYFILE_FINISH, source.path, reported)) == Outcome::cancelled)
        return Outcome::cancelled;
    return Outcome::done;
}

Outcome CopyTree::copyEntries(int in, const Place& source, int out, const Place& destination,
                              const std::string& reported)
{
    std::vector<std::string> names;
    {
        const int listing = dup(in);
        DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr;
        if (!dir) {
            const int error = errno;
            if (listing >= 0)
                close(listing);
            return fail(error);
        }
        errno = 0;
        while (const dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
            errno = 0;
        }
        const int error = errno;
        closedir(dir);
        if (error != 0)
            return fail(error);
    }

    for (const std::string& name : names) {
        const Place from{in, name, source.path + '/' + name};
        const Place to{out, name, destination.path + '/' + name};
        const std::string shown = reported + '/' + name;
        struct stat status;
        if (fstatat(in, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            const int error = errno;
            if (error == ENOENT)
                continue;  // gone since the folder was read
            const int answer = reportError(COPYFILE_RECURSE_FILE, from.path, shown, error);
            m_error = error;
            if (answer != COPYFILE_CONTINUE && answer != COPYFILE_SKIP)
                return Outcome::aborted;
            continue;
        }
        if (status.st_dev == m_topDevice && status.st_ino == m_topInode)
            continue;
        const Outcome outcome = copy(from, status, to, shown, {});
        if (outcome == Outcome::aborted || outcome == Outcome::cancelled)
            return outcome;
    }
    return Outcome::done;
}

Outcome CopyTree::copyFile(const Place& source, const Place& destination, const std::string& reported)
{
    // Non-blocking, so that a file replaced by a pipe meanwhile cannot hang the copy.
    Fd in(openat(source.directory, source.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (in.get() < 0)
        return fail(errno);
    struct stat status;
    if (fstat(in.get(), &status) != 0)
        return fail(errno);
    if (!S_ISREG(status.st_mode))
        return fail(EINVAL);
    Fd out(openat(destination.directory, destination.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                  S_IRUSR | S_IWUSR));
    if (out.get() < 0)
        return fail(errno);
    if (m_flags & COPYFILE_DATA) {
        const Outcome outcome = copyData(in.get(), out.get(), status, source.path, reported);
        if (outcome != Outcome::done)
            return outcome;
    }
    const Outcome outcome = copyMetadata(source, in.get(), status, destination, out.get(), reported);
    if (outcome != Outcome::done)
        return outcome;
    if (close(out.release()) != 0)
        return fail(errno);
    return Outcome::done;
}

Outcome CopyTree::copyData(int in, int out, const struct stat& status, const std::string& source,
                           const std::string& reported)
{
    if (status.st_dev != m_sourceDevice) {
        m_sourceDevice = status.st_dev;
        m_cloneFails = false;
        m_rangeFails = false;
    }
    off_t& copied = m_state->copied;
    if (status.st_size > 0 && !m_cloneFails) {
        if (ioctl(out, FICLONE, in) == 0) {
            copied = status.st_size;
            return fromAnswer(report(COPYFILE_COPY_DATA, COPYFILE_PROGRESS, source, reported));
        }
        m_cloneFails = errno == EOPNOTSUPP || errno == ENOTTY || errno == EINVAL || errno == EXDEV || errno == ENOSYS;
    }
    // Up to the size seen at the start; a file that reports no size may still hold data.
    while (status.st_size == 0 || copied < status.st_size) {
        long moved;
        if (!m_rangeFails) {
            moved = copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
            if (moved < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                m_rangeFails = true;
                continue;
            }
        } else {
            moved = readWrite(in, out, kChunk);
        }
        if (moved < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (moved == 0)
            break;
        copied += moved;
        const Outcome outcome = fromAnswer(report(COPYFILE_COPY_DATA, COPYFILE_PROGRESS, source, reported));
        if (outcome != Outcome::done)
            return outcome;
    }
    return Outcome::done;
}

long CopyTree::readWrite(int in, int out, std::size_t length)
{
    if (!m_buffer)
        m_buffer = std::make_unique<char[]>(kBuffer);
    std::size_t moved = 0;
    while (moved < length) {
        const ssize_t got = read(in, m_buffer.get(), std::min(kBuffer, length - moved));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = write(out, m_buffer.get() + written, got - written);
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return -1;
            }
            written += put;
        }
        moved += got;
    }
    return static_cast<long>(moved);
}

Outcome CopyTree::copyLink(const Place& source, const struct stat& status, const Place& destination,
                           const std::string& reported)
{
    std::string target(std::max<off_t>(status.st_size, 255) + 1, '\0');
    for (;;) {
        const ssize_t length = readlinkat(source.directory, source.name.c_str(), target.data(), target.size());
        if (length < 0)
            return fail(errno);
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(length);
            break;
        }
        target.resize(target.size() * 2);
    }
    if (symlinkat(target.c_str(), destination.directory, destination.name.c_str()) != 0)
        return fail(errno);
    return copyMetadata(source, -1, status, destination, -1, reported);
}

Outcome CopyTree::copySpecial(const Place& source, const struct stat& status, const Place& destination,
                              const std::string& reported)
{
    const int made = S_ISFIFO(status.st_mode)
        ? mkfifoat(destination.directory, destination.name.c_str(), S_IRUSR | S_IWUSR)
        : mknodat(destination.directory, destination.name.c_str(), (status.st_mode & S_IFMT) | S_IRUSR | S_IWUSR,
                  status.st_rdev);
    if (made != 0)
        return fail(errno);
    return copyMetadata(source, -1, status, destination, -1, reported);
}

Outcome CopyTree::copyMetadata(const Place& source, int sourceFd, const struct stat& status,
                               const Place& destination, int fd, const std::string& reported)
{
    const char* name = destination.name.c_str();
    bool owned = true;
    if (m_flags & COPYFILE_STAT) {
        const int changed = fd >= 0 ? fchown(fd, status.st_uid, status.st_gid)
                                    : fchownat(destination.directory, name, status.st_uid, status.st_gid,
                                               AT_SYMLINK_NOFOLLOW);
        if (changed != 0) {
            if (errno != EPERM)
                return fail(errno);
            owned = false;
        }
    }
    // Attributes before the mode: an access list's mask then follows the copied group bits.
    const Outcome outcome = copyAttributes(source, sourceFd, destination, fd, reported);
    if (outcome != Outcome::done)
        return outcome;
    if (!S_ISLNK(status.st_mode)) {
        mode_t mode = status.st_mode & 07777;
        if (!owned)
            mode &= ~(S_ISUID | S_ISGID);  // never hand someone else's set-id bits to our copy
        if ((fd >= 0 ? fchmod(fd, mode) : fchmodat(destination.directory, name, mode, 0)) != 0)
            return fail(errno);
    }
    if (m_flags & COPYFILE_STAT) {
        const timespec times[2] = {status.st_atim, status.st_mtim};
        if ((fd >= 0 ? futimens(fd, times) : utimensat(destination.directory, name, times, AT_SYMLINK_NOFOLLOW)) != 0)
            return fail(errno);
    }
    return Outcome::done;
}

Outcome CopyTree::copyAttributes(const Place& source, int sourceFd, const Place& destination, int fd,
                                 const std::string& reported)
{
    if (!(m_flags & (COPYFILE_XATTR | COPYFILE_ACL)))
        return Outcome::done;
    // Items without a descriptor (links, pipes, devices) are reached through their open folder, so
    // the path stays short however deep the tree.
    const std::string sourceAt = shortPath(source);
    const std::string destinationAt = shortPath(destination);
    const char* sourcePath = sourceAt.c_str();
    const char* destinationPath = destinationAt.c_str();
    const auto list = [&](char* names, std::size_t capacity) {
        return sourceFd >= 0 ? flistxattr(sourceFd, names, capacity) : llistxattr(sourcePath, names, capacity);
    };
    if (m_names.empty()) {
        m_names.resize(4096);
        m_value.resize(64 << 10);  // the largest value Linux keeps
    }
    ssize_t size;
    for (;;) {
        size = list(m_names.data(), m_names.size());
        if (size >= 0)
            break;
        if (errno == ENOTSUP)
            return Outcome::done;
        if (errno != ERANGE)
            return fail(errno);
        const ssize_t needed = list(nullptr, 0);
        if (needed < 0)
            return fail(errno);
        m_names.resize(needed + 256);
    }
    for (const char* name = m_names.data(); name < m_names.data() + size; name += std::strlen(name) + 1) {
        const bool accessList = std::strncmp(name, "system.posix_acl_", 17) == 0;
        if (!(m_flags & (accessList ? COPYFILE_ACL : COPYFILE_XATTR)))
            continue;
        const Outcome answer = fromAnswer(report(COPYFILE_COPY_XATTR, COPYFILE_START, source.path, reported));
        if (answer == Outcome::cancelled)
            return answer;
        if (answer == Outcome::skipped)
            continue;
        ssize_t length;
        for (;;) {
            length = sourceFd >= 0 ? fgetxattr(sourceFd, name, m_value.data(), m_value.size())
                                   : lgetxattr(sourcePath, name, m_value.data(), m_value.size());
            if (length >= 0 || errno != ERANGE)
                break;
            m_value.resize(m_value.size() * 2);
        }
        if (length < 0) {
            if (errno == ENODATA)
                continue;  // removed meanwhile
            return fail(errno);
        }
        const int set = fd >= 0 ? fsetxattr(fd, name, m_value.data(), length, 0)
                                : lsetxattr(destinationPath, name, m_value.data(), length, 0);
        if (set != 0 && !ignorableAttributeError(errno, name))
            return fail(errno);
        if (fromAnswer(report(COPYFILE_COPY_XATTR, COPYFILE_FINISH, source.path, reported)) == Outcome::cancelled)
            return Outcome::cancelled;
    }
    return Outcome::done;
}

}  // namespace hb::copying
