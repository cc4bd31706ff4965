#include "platform/files/CopyTreeItem.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace hb::copying {

namespace {

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

bool ignorableAttributeError(int error, const char* name)
{
    if (error == ENOTSUP)
        return true;  // the destination file system keeps no such attributes
    // Only the user's own attributes must always come along; the rest go where permitted.
    return (error == EPERM || error == EACCES) && std::strncmp(name, "user.", 5) != 0;
}

}  // namespace

Outcome fromAnswer(int answer)
{
    if (answer == COPYFILE_CONTINUE)
        return Outcome::done;
    return answer == COPYFILE_SKIP ? Outcome::skipped : Outcome::cancelled;
}

std::string shortPath(const Place& place)
{
    if (place.directory == AT_FDCWD)
        return place.name;
    return "/proc/self/fd/" + std::to_string(place.directory) + '/' + place.name;
}

Outcome ItemCopy::fail(int error)
{
    m_error = error;
    return Outcome::failed;
}

int openSource(const Place& place)
{
    return openat(place.directory, place.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

namespace {

// The regular file of `source`, open, and its status; -1 with errno set on failure.
int openRegular(const Place& source, struct stat& status)
{
    Fd in(openSource(source));
    if (in.get() < 0 || fstat(in.get(), &status) != 0)
        return -1;
    if (!S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    return in.release();
}

}  // namespace

Outcome ItemCopy::copyFile(const Place& source, const Place& destination, ItemReports& reports)
{
    struct stat status;
    Fd in(openRegular(source, status));
    if (in.get() < 0)
        return fail(errno);
    return copyFile(source, in.get(), status, destination, reports);
}

Outcome ItemCopy::copyFile(const Place& source, int in, const struct stat& status, const Place& destination,
                           ItemReports& reports)
{
    if (!S_ISREG(status.st_mode))
        return fail(EINVAL);
    Fd out(openat(destination.directory, destination.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                  S_IRUSR | S_IWUSR));
    if (out.get() < 0)
        return fail(errno);
    const Outcome outcome = writeFile(source, in, status, out.get(), destination, reports);
    if (outcome != Outcome::done)
        return outcome;
    if (close(out.release()) != 0)
        return fail(errno);
    return Outcome::done;
}

Outcome ItemCopy::copyFileInto(const Place& source, int out, ItemReports& reports)
{
    struct stat status;
    Fd in(openRegular(source, status));
    if (in.get() < 0)
        return fail(errno);
    return writeFile(source, in.get(), status, out, Place{AT_FDCWD, {}, {}}, reports);
}

Outcome ItemCopy::writeFile(const Place& source, int in, const struct stat& status, int out, const Place& destination,
                            ItemReports& reports)
{
    if (m_flags & COPYFILE_DATA) {
        const Outcome outcome = copyData(in, out, status, reports);
        if (outcome != Outcome::done)
            return outcome;
    }
    return copyMetadata(source, in, status, destination, out, reports);
}

Outcome ItemCopy::copyData(int in, int out, const struct stat& status, ItemReports& reports)
{
    if (status.st_dev != m_sourceDevice) {
        m_sourceDevice = status.st_dev;
        m_cloneFails = false;
        m_rangeFails = false;
        m_sendFails = false;
    }
    if (status.st_size > 0 && !m_cloneFails) {
        if (ioctl(out, FICLONE, in) == 0)
            return fromAnswer(reports.progress(status.st_size));
        m_cloneFails = errno == EOPNOTSUPP || errno == ENOTTY || errno == EINVAL || errno == EXDEV || errno == ENOSYS;
    }
    // A file read in several steps is read ahead further, as the system's own copy does.
    if (status.st_size > off_t(kDataChunk))
        posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    // Only a file whose blocks cannot hold all its bytes may have holes worth looking for. A file that
    // reports no size may still hold data: it is read to its end.
    const bool sized = status.st_size > 0;
    const bool mayHaveHoles = sized && off_t(status.st_blocks) * 512 < status.st_size;
    const off_t size = sized ? status.st_size : std::numeric_limits<off_t>::max();
    off_t position = 0;
    off_t outPosition = 0;
    off_t reported = 0;
    bool ended = false;
    while (position < size && !ended) {
        off_t end = size;
        if (mayHaveHoles) {
            const off_t data = lseek(in, position, SEEK_DATA);
            if (data < 0 && errno == ENXIO)
                break;  // nothing but a hole up to the end
            if (data >= 0) {
                position = data;
                const off_t hole = lseek(in, data, SEEK_HOLE);
                if (hole > data)
                    end = std::min(hole, size);
            }
        }
        while (position < end) {
            const std::size_t length = std::size_t(std::min<off_t>(end - position, kDataChunk));
            // The kernel copies only up to the size it knows.
            const long moved = sized ? copyChunk(in, out, position, length, outPosition)
                                     : readWrite(in, out, position, length);
            if (moved < 0) {
                if (errno == EINTR)
                    continue;
                return fail(errno);
            }
            if (moved == 0) {
                ended = true;  // shorter than it was: the copy is as long as what was there
                break;
            }
            position += moved;
            reported = position;
            const Outcome outcome = fromAnswer(reports.progress(position));
            if (outcome != Outcome::done)
                return outcome;
        }
    }
    if (!mayHaveHoles)
        return Outcome::done;
    // The holes at the end; the size the copy found when the file was cut short meanwhile.
    const off_t length = ended ? position : size;
    if (ftruncate(out, length) != 0)
        return fail(errno);
    return reported < length ? fromAnswer(reports.progress(length)) : Outcome::done;
}

long ItemCopy::copyChunk(int in, int out, off_t offset, std::size_t length, off_t& outPosition)
{
    if (!m_rangeFails) {
        off_t from = offset;
        off_t to = offset;
        const long moved = copy_file_range(in, &from, out, &to, length, 0);
        if (moved >= 0 || !(errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            return moved;
        m_rangeFails = true;
    }
    if (!m_sendFails) {
        // Between file systems: still the kernel's copy, written at the file position.
        if (outPosition != offset) {
            if (lseek(out, offset, SEEK_SET) < 0)
                return -1;
            outPosition = offset;
        }
        off_t from = offset;
        const long moved = sendfile(out, in, &from, length);
        if (moved >= 0) {
            outPosition += moved;
            return moved;
        }
        if (!(errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            return -1;
        m_sendFails = true;
    }
    return readWrite(in, out, offset, length);
}

long ItemCopy::readWrite(int in, int out, off_t offset, std::size_t length)
{
    if (!m_buffer)
        m_buffer = std::make_unique<char[]>(kBuffer);
    std::size_t moved = 0;
    while (moved < length) {
        const ssize_t got = pread(in, m_buffer.get(), std::min(kBuffer, length - moved), offset + off_t(moved));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = pwrite(out, m_buffer.get() + written, got - written, offset + off_t(moved) + written);
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

Outcome ItemCopy::copyLink(const Place& source, const struct stat& status, const Place& destination,
                           ItemReports& reports)
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
    return copyMetadata(source, -1, status, destination, -1, reports);
}

Outcome ItemCopy::copySpecial(const Place& source, const struct stat& status, const Place& destination,
                              ItemReports& reports)
{
    const int made = S_ISFIFO(status.st_mode)
                         ? mkfifoat(destination.directory, destination.name.c_str(), S_IRUSR | S_IWUSR)
                         : mknodat(destination.directory, destination.name.c_str(),
                                   (status.st_mode & S_IFMT) | S_IRUSR | S_IWUSR, status.st_rdev);
    if (made != 0)
        return fail(errno);
    return copyMetadata(source, -1, status, destination, -1, reports);
}

Outcome ItemCopy::copyMetadata(const Place& source, int sourceFd, const struct stat& status, const Place& destination,
                               int fd, ItemReports& reports)
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
    const Outcome outcome = copyAttributes(source, sourceFd, destination, fd, reports);
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

Outcome ItemCopy::copyAttributes(const Place& source, int sourceFd, const Place& destination, int fd,
                                 ItemReports& reports)
{
    if (!(m_flags & (COPYFILE_XATTR | COPYFILE_ACL)))
        return Outcome::done;
    // Items without a descriptor (links, pipes, devices) are reached through their open folder, so
    // the path stays short however deep the tree.
    const std::string sourceAt = sourceFd >= 0 ? std::string() : shortPath(source);
    const std::string destinationAt = fd >= 0 ? std::string() : shortPath(destination);
    const char* sourcePath = sourceAt.c_str();
    const char* destinationPath = destinationAt.c_str();
    const auto list = [&](char* names, std::size_t capacity) {
        return sourceFd >= 0 ? flistxattr(sourceFd, names, capacity) : llistxattr(sourcePath, names, capacity);
    };
    // Most items have no attributes: the buffers grow as the first ones need them.
    if (m_names.empty())
        m_names.resize(1024);
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
    if (size > 0 && m_value.empty())
        m_value.resize(1024);
    for (const char* name = m_names.data(); name < m_names.data() + size; name += std::strlen(name) + 1) {
        const bool accessList = std::strncmp(name, "system.posix_acl_", 17) == 0;
        if (!(m_flags & (accessList ? COPYFILE_ACL : COPYFILE_XATTR)))
            continue;
        const Outcome answer = fromAnswer(reports.report(COPYFILE_COPY_XATTR, COPYFILE_START, name));
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
        if (fromAnswer(reports.report(COPYFILE_COPY_XATTR, COPYFILE_FINISH, name)) == Outcome::cancelled)
            return Outcome::cancelled;
    }
    return Outcome::done;
}

}  // namespace hb::copying
