#include "platform/files/CopyPartial.h"

#include "platform/base/Locations.h"

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
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <vector>

namespace hb::copying {

namespace {

const char kPrefix[] = ".harbrill-partial-";

bool isPartialName(const char* name)
{
    return std::strncmp(name, kPrefix, sizeof kPrefix - 1) == 0;
}

QString recordsFolder() { return Locations::containerDirectory() + QStringLiteral("/partial-copies"); }

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

PartialRecord::PartialRecord(int directory, const std::string& partial)
    : m_path(recordPath(directory, partial))
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
}

PartialRecord::~PartialRecord()
{
    if (m_fd < 0)
        return;
    unlink(m_path.c_str());
    close(m_fd);
}

void removeLeftovers(int directory)
{
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
