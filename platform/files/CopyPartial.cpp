#include "platform/files/CopyPartial.h"

#include "platform/base/Locations.h"
#include "platform/base/ProgramIdentity.h"
#include "platform/files/GrantResolver.h"

#include <QCryptographicHash>
#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <vector>

namespace hb::copying {

namespace {

// ".<command>-partial-": hidden, and known as the program's by its name.
const std::string& partialPrefix()
{
    static const std::string prefix = '.' + programIdentity().command.toStdString() + "-partial-";
    return prefix;
}

bool isPartialName(const char* name)
{
    return std::strncmp(name, partialPrefix().c_str(), partialPrefix().size()) == 0;
}

QString recordsFolder()
{
    return Locations::containerDirectory() + QStringLiteral("/partial-copies");
}

// Where the record of the partial item `name` in the folder `directory` lives: one file per item,
// named after the folder's identity and the item's name.
std::string recordPath(int directory, const std::string& name)
{
    struct stat folder;
    if (fstat(directory, &folder) != 0)
        return {};
    const QString records = recordsFolder();
    const QByteArray key = QByteArray::number(quint64(folder.st_dev)) + ':' + QByteArray::number(quint64(folder.st_ino))
                           + ':' + QByteArray::fromStdString(name);
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
    return (records + QLatin1Char('/')).toStdString() + hash.toStdString();
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

// What a record holds: the folder's device and inode, its path and the item's name, each ended by a
// zero byte (a path holds none).
std::string recordContents(int directory, const std::string& partial)
{
    struct stat folder;
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(directory);
    const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
    if (fstat(directory, &folder) != 0 || length <= 0 || path[0] != '/')
        return {};
    std::string contents = std::to_string(folder.st_dev) + ' ' + std::to_string(folder.st_ino);
    contents += '\0';
    contents.append(path, std::size_t(length));
    contents += '\0';
    contents += partial;
    contents += '\0';
    return contents;
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

std::optional<Leftover> leftoverOf(const std::string& record, const std::string& contents)
{
    const std::size_t first = contents.find('\0');
    const std::size_t second = first == std::string::npos ? first : contents.find('\0', first + 1);
    const std::size_t third = second == std::string::npos ? second : contents.find('\0', second + 1);
    if (third == std::string::npos || third + 1 != contents.size())
        return std::nullopt;
    Leftover leftover;
    leftover.record = record;
    if (std::sscanf(contents.c_str(), "%llu %llu", &leftover.device, &leftover.inode) != 2)
        return std::nullopt;
    leftover.folder = QString::fromStdString(contents.substr(first + 1, second - first - 1));
    leftover.name = contents.substr(second + 1, third - second - 1);
    if (!leftover.folder.startsWith(u'/') || !isPartialName(leftover.name.c_str())
        || leftover.name.find('/') != std::string::npos)
        return std::nullopt;
    return leftover;
}

}  // namespace

std::string partialName(const std::string& name)
{
    unsigned random = 0;
    if (getrandom(&random, sizeof random, 0) != sizeof random)
        random = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&random)) ^ static_cast<unsigned>(clock());
    char head[64];
    std::snprintf(head, sizeof head, "%s%d-%08x-", partialPrefix().c_str(), static_cast<int>(getpid()), random);
    std::string result = head;
    result += name.substr(0, NAME_MAX - result.size());
    return result;
}

PartialRecord::PartialRecord(int directory, const std::string& partial) : m_path(recordPath(directory, partial))
{
    if (m_path.empty())
        return;
    m_fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (m_fd < 0 && errno == ENOENT && QDir().mkpath(recordsFolder()))
        m_fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0) {
        close(m_fd);
        m_fd = -1;
    }
    // A record that names nothing is left to the next copy into its folder.
    if (m_fd >= 0 && ftruncate(m_fd, 0) == 0 && !writeAll(m_fd, recordContents(directory, partial))) [[maybe_unused]]
        const int emptied = ftruncate(m_fd, 0);
}

std::vector<Leftover> leftoversOfKilledCopies()
{
    std::vector<Leftover> leftovers;
    const std::string folder = recordsFolder().toStdString();
    const int records = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (records < 0)
        return leftovers;
    for (const std::string& name : entriesOf(records)) {
        const int fd = openat(records, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        // Held: a copy (of this process or another) is still writing it.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            std::string contents;
            char buffer[4096];
            ssize_t n;
            while ((n = read(fd, buffer, sizeof buffer)) > 0 && contents.size() < 2 * PATH_MAX)
                contents.append(buffer, std::size_t(n));
            if (std::optional<Leftover> leftover = leftoverOf(folder + '/' + name, contents))
                leftovers.push_back(std::move(*leftover));
        }
        close(fd);
    }
    close(records);
    return leftovers;
}

bool removeLeftover(const Leftover& leftover)
{
    const OpenedItem folder = GrantResolver::open(leftover.folder, Need::writing, O_RDONLY | O_DIRECTORY);
    struct stat status;
    if (!folder || fstat(folder.fd.get(), &status) != 0 || status.st_dev != leftover.device
        || status.st_ino != leftover.inode)
        return false;
    const int record = open(leftover.record.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (record < 0)
        return true;  // removed meanwhile, with its item
    // Taken again meanwhile: not a leftover after all.
    const bool unheld = flock(record, LOCK_EX | LOCK_NB) == 0;
    if (unheld) {
        removeItem(folder.fd.get(), leftover.name);
        unlink(leftover.record.c_str());
    }
    close(record);
    return unheld;
}

PartialRecord::~PartialRecord()
{
    if (m_fd < 0)
        return;
    unlink(m_path.c_str());
    close(m_fd);
}

namespace {

// Whether some record is held by no copy: only then can any folder hold a leftover.
bool anyRecordFree()
{
    const std::string records = recordsFolder().toStdString();
    DIR* folder = opendir(records.c_str());
    if (!folder)
        return false;
    bool free = false;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;
        const int fd = openat(dirfd(folder), entry->d_name, O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0)
            close(fd);
        if (free)
            break;
    }
    closedir(folder);
    return free;
}

}  // namespace

void removeLeftovers(int directory)
{
    // Copies into one folder follow each other by the thousand: its entries are read only when there
    // can be something to find.
    if (!anyRecordFree())
        return;
    for (const std::string& name : entriesOf(directory)) {
        if (!isPartialName(name.c_str()))
            continue;
        const std::string record = recordPath(directory, name);
        const int fd = record.empty() ? -1 : open(record.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;  // no record: not written by us
        // Held: a copy (of this process or another) is still writing it.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            removeItem(directory, name);
            unlink(record.c_str());
        }
        close(fd);
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
