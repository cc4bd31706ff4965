#include "platform/files/FileManager.h"

#include "platform/base/Log.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/StatValues.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace hb {

namespace {

struct Entry {
    std::string name;
    unsigned char type;
};

// All entries of an open folder but "." and "..", read with getdents64.
bool readEntries(int fd, std::vector<Entry>& entries)
{
    alignas(8) char buffer[32768];
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        for (ssize_t offset = 0; offset < n;) {
            const auto* d = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += d->d_reclen;
            if (d->d_name[0] == '.' && (d->d_name[1] == 0 || (d->d_name[1] == '.' && d->d_name[2] == 0)))
                continue;
            entries.push_back({d->d_name, d->d_type});
        }
    }
}

bool fail(Error* error, int posixError, const QString& path, bool writing)
{
    if (error)
        *error = Error::fromErrno(posixError, path, writing);
    return false;
}

// Empties the open folder `fd` (at `path`, for error messages) without following any link.
bool removeContents(int fd, const QString& path, Error* error)
{
    std::vector<Entry> entries;
    if (!readEntries(fd, entries))
        return fail(error, errno, path, true);
    for (const Entry& entry : entries) {
        bool isDirectory = entry.type == DT_DIR;
        if (entry.type == DT_UNKNOWN) {
            struct stat st {};
            isDirectory = ::fstatat(fd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        const QString child = Path::join(path, QString::fromStdString(entry.name));
        if (isDirectory) {
            const int childFd = ::openat(fd, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (childFd >= 0) {
                const bool emptied = removeContents(childFd, child, error);
                ::close(childFd);
                if (!emptied)
                    return false;
                if (::unlinkat(fd, entry.name.c_str(), AT_REMOVEDIR) != 0)
                    return fail(error, errno, child, true);
                continue;
            }
            if (errno != ELOOP && errno != ENOTDIR)  // replaced by a link or file meanwhile: unlink it
                return fail(error, errno, child, true);
        }
        if (::unlinkat(fd, entry.name.c_str(), 0) != 0 && errno != ENOENT)
            return fail(error, errno, child, true);
    }
    return true;
}

bool removePath(const QString& path, Error* error)
{
    const QByteArray native = path.toUtf8();
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return fail(error, errno, path, true);
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(native.constData()) != 0)
            return fail(error, errno, path, true);
        return true;
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return fail(error, errno, path, true);
    const bool emptied = removeContents(fd, path, error);
    ::close(fd);
    if (!emptied)
        return false;
    if (::rmdir(native.constData()) != 0)
        return fail(error, errno, path, true);
    return true;
}

bool isDirectoryNoFollow(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Puts `newItem` in place of `original` (which may be missing) by exchanging the two, then removes the
// old item. The old item stays whole until the new one sits in its place, so a failure loses nothing.
bool sameItem(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool failSelfReplace(Error* error, const QString& path)
{
    if (error)
        *error = Error{NSCocoaErrorDomain, NSFileWriteUnknownError,
                       {{NSLocalizedDescriptionKey,
                         QStringLiteral("“%1” cannot replace itself").arg(Path::lastComponent(path))},
                        {NSFilePathErrorKey, path}}};
    return false;
}

bool replaceExisting(const QString& original, const QString& newItem, Error* error)
{
    const QByteArray to = original.toUtf8();
    const QByteArray from = newItem.toUtf8();
    // Two names of one item (a link in the path, a hard link): exchanging them changes nothing, and
    // removing the "old" one would remove the only copy.
    struct stat before {};
    const bool hadOriginal = ::lstat(to.constData(), &before) == 0;
    struct stat replacement {};
    if (hadOriginal && ::lstat(from.constData(), &replacement) == 0 && sameItem(before, replacement))
        return failSelfReplace(error, original);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        AccessRegistry::folderNamesChanged();
        struct stat swapped {};
        if (!hadOriginal || ::lstat(from.constData(), &swapped) != 0 || !sameItem(swapped, before))
            return failSelfReplace(error, original);
        // The exchange is done, so a leftover of the old item is logged, not reported as a failed replace.
        Error removal;
        if (!removePath(newItem, &removal))
            HBDebug() << "Could not remove the replaced item at" << newItem << removal.localizedDescription();
        return true;
    }
    const int exchangeError = errno;
    struct stat st {};
    int result = -1;
    if (exchangeError == ENOENT && ::lstat(from.constData(), &st) == 0) {
        // Nothing to replace (any more): a plain move that still never overwrites.
        result = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    } else if ((exchangeError == EINVAL || exchangeError == ENOSYS) && !isDirectoryNoFollow(to)
               && !isDirectoryNoFollow(from)) {
        // File systems without exchanging renames still replace a file atomically.
        result = ::rename(from.constData(), to.constData());
    } else {
        return fail(error, exchangeError, exchangeError == ENOENT ? newItem : original, true);
    }
    if (result != 0)
        return fail(error, errno, original, true);
    AccessRegistry::folderNamesChanged();
    return true;
}

// One entry of a folder turned into an enumerated item; `isDirectory` tells whether to descend.
struct Visit {
    EnumeratedItem item;
    bool isDirectory = false;
    quint64 device = 0;
    quint64 inode = 0;
};

Visit visitEntry(int fd, const QString& folder, const Entry& entry, const QStringList& keys, bool needIdentity)
{
    Visit visit;
    const QString path = Path::join(folder, QString::fromStdString(entry.name));
    visit.isDirectory = entry.type == DT_DIR;
    if (!keys.isEmpty() || entry.type == DT_UNKNOWN || (needIdentity && visit.isDirectory)) {
        struct statx st {};
        if (StatValues::read(fd, entry.name.c_str(), &st)) {
            visit.isDirectory = S_ISDIR(st.stx_mode);
            visit.device = StatValues::deviceOf(st);
            visit.inode = st.stx_ino;
            for (const QString& key : keys) {
                QVariant value = StatValues::value(path, st, key);
                if (value.isValid())
                    visit.item.values.insert(key, std::move(value));
            }
        } else {
            visit.item.statusError = errno;
            visit.isDirectory = false;
        }
    }
    visit.item.url = URL::fileURLWithPath(path, visit.isDirectory);
    return visit;
}

class Walker {
public:
    Walker(const QStringList& keys, unsigned options, bool sorted,
           const std::function<bool(const EnumeratedItem&)>& visitor)
        : m_keys(keys), m_options(options), m_sorted(sorted), m_visitor(visitor)
    {
    }

    // False when the visitor stopped the walk.
    bool walk(int fd, const QString& path)
    {
        std::vector<Entry> entries;
        if (!readEntries(fd, entries))
            return true;
        if (m_sorted)
            std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
        const bool skipHidden = m_options & NSDirectoryEnumerationSkipsHiddenFiles;
        const bool descend = !(m_options & NSDirectoryEnumerationSkipsSubdirectoryDescendants);
        for (const Entry& entry : entries) {
            if (skipHidden && entry.name[0] == '.')
                continue;
            const Visit visit = visitEntry(fd, path, entry, m_keys, false);
            if (!m_visitor(visit.item))
                return false;
            if (visit.isDirectory && descend) {
                const int childFd = ::openat(fd, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (childFd < 0)
                    continue;
                const bool goOn = walk(childFd, visit.item.url.path());
                ::close(childFd);
                if (!goOn)
                    return false;
            }
        }
        return true;
    }

private:
    const QStringList& m_keys;
    unsigned m_options;
    bool m_sorted;
    const std::function<bool(const EnumeratedItem&)>& m_visitor;
};

// Reads folders on several threads; the visitor's calls are serialised. A folder is opened by path
// without following a final link and must still be the folder its parent listed, so a link swapped
// in meanwhile leads nowhere.
class ParallelWalker {
public:
    ParallelWalker(const QStringList& keys, unsigned options, const std::function<bool(const EnumeratedItem&)>& visitor)
        : m_keys(keys), m_options(options), m_visitor(visitor)
    {
    }

    void run(int rootFd, const QString& rootPath)
    {
        list(rootFd, rootPath);
        const unsigned count = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
        std::vector<std::thread> threads;
        for (unsigned i = 0; i < count; ++i)
            threads.emplace_back([this] { work(); });
        for (auto& thread : threads)
            thread.join();
    }

private:
    struct Folder {
        QString path;
        quint64 device;
        quint64 inode;
    };

    void work()
    {
        for (;;) {
            Folder folder;
            {
                std::unique_lock lock(m_queueMutex);
                m_wake.wait(lock, [this] { return !m_queue.empty() || m_busy == 0 || m_stopped; });
                if (m_stopped || m_queue.empty())
                    return;
                folder = std::move(m_queue.back());
                m_queue.pop_back();
                ++m_busy;
            }
            const int fd = ::open(folder.path.toUtf8().constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            struct stat st {};
            if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == folder.device && st.st_ino == folder.inode)
                list(fd, folder.path);
            if (fd >= 0)
                ::close(fd);
            {
                std::lock_guard lock(m_queueMutex);
                --m_busy;
            }
            m_wake.notify_all();
        }
    }

    void list(int fd, const QString& path)
    {
        std::vector<Entry> entries;
        if (!readEntries(fd, entries))
            return;
        const bool skipHidden = m_options & NSDirectoryEnumerationSkipsHiddenFiles;
        const bool descend = !(m_options & NSDirectoryEnumerationSkipsSubdirectoryDescendants);
        std::vector<Folder> found;
        for (const Entry& entry : entries) {
            if (skipHidden && entry.name[0] == '.')
                continue;
            Visit visit = visitEntry(fd, path, entry, m_keys, descend);
            {
                std::lock_guard lock(m_visitorMutex);
                if (m_stopped || !m_visitor(visit.item)) {
                    std::lock_guard queueLock(m_queueMutex);
                    m_stopped = true;
                    m_wake.notify_all();
                    return;
                }
            }
            if (visit.isDirectory && descend && visit.inode != 0)
                found.push_back({visit.item.url.path(), visit.device, visit.inode});
        }
        if (found.empty())
            return;
        {
            std::lock_guard lock(m_queueMutex);
            for (auto& folder : found)
                m_queue.push_back(std::move(folder));
        }
        m_wake.notify_all();
    }

    const QStringList& m_keys;
    unsigned m_options;
    const std::function<bool(const EnumeratedItem&)>& m_visitor;
    std::mutex m_visitorMutex;
    std::mutex m_queueMutex;
    std::condition_variable m_wake;
    std::vector<Folder> m_queue;
    int m_busy = 0;
    bool m_stopped = false;
};

bool enumerateTree(const URL& directory, const QStringList& keys, unsigned options, bool sorted,
                   const std::function<bool(const EnumeratedItem&)>& visitor, Error* error)
{
    const QString& path = directory.path();
    if (path.isEmpty() || !AccessRegistry::hasReadAccess(path))
        return fail(error, EACCES, path, false);
    const int fd = ::open(path.toUtf8().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail(error, errno, path, false);
    if (!sorted && (options & DirectoryEnumerationUnordered))
        ParallelWalker(keys, options, visitor).run(fd, path);
    else
        Walker(keys, options, sorted, visitor).walk(fd, path);
    ::close(fd);
    return true;
}

}  // namespace

FileManager& FileManager::defaultManager()
{
    static FileManager manager;
    return manager;
}

bool FileManager::fileExists(const QString& path, bool* isDirectory) const
{
    struct stat st {};
    if (path.isEmpty() || !AccessRegistry::hasReadAccess(path, false) || ::lstat(path.toUtf8().constData(), &st) != 0)
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

bool FileManager::moveItem(const URL& source, const URL& destination, Error* error, ItemKind sourceKind)
{
    const QString& from = source.path();
    const QString& to = destination.path();
    if (from.isEmpty() || !AccessRegistry::hasAccess(from, false))
        return fail(error, EACCES, from, true);
    if (to.isEmpty() || !AccessRegistry::hasAccess(to, false))
        return fail(error, EACCES, to, true);
    if (delegate && !delegate->shouldMoveItem(*this, source, destination))
        return fail(error, ECANCELED, from, true);
    const QByteArray fromNative = from.toUtf8();
    const QByteArray toNative = to.toUtf8();
    bool movesFolderName = sourceKind != ItemKind::regularFile;
    if (sourceKind == ItemKind::unknown) {
        struct stat moved {};
        movesFolderName = ::lstat(fromNative.constData(), &moved) != 0 || !S_ISREG(moved.st_mode);
    }
    int result = ::renameat2(AT_FDCWD, fromNative.constData(), AT_FDCWD, toNative.constData(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL) {
        // File systems without RENAME_NOREPLACE: check, then rename.
        struct stat st {};
        if (::lstat(toNative.constData(), &st) == 0)
            errno = EEXIST;
        else
            result = ::rename(fromNative.constData(), toNative.constData());
    }
    if (result == 0) {
        if (movesFolderName)
            AccessRegistry::folderNamesChanged();
        return true;
    }
    if (errno != EEXIST)
        return fail(error, errno, errno == ENOENT ? from : to, true);
    const Error exists = Error::fromErrno(EEXIST, to, true);
    if (delegate && delegate->shouldProceedAfterError(*this, exists, source, destination))
        return replaceExisting(to, from, error);
    if (error)
        *error = exists;
    return false;
}

bool FileManager::replaceItem(const URL& original, const URL& newItem, const QString& /*backupItemName*/, Error* error)
{
    const QString& target = original.path();
    const QString& replacement = newItem.path();
    if (target.isEmpty() || !AccessRegistry::hasAccess(target, false))
        return fail(error, EACCES, target, true);
    if (replacement.isEmpty() || !AccessRegistry::hasAccess(replacement, false))
        return fail(error, EACCES, replacement, true);
    return replaceExisting(target, replacement, error);
}

bool FileManager::removeItem(const URL& url, Error* error)
{
    const QString& path = url.path();
    if (path.isEmpty() || !AccessRegistry::hasAccess(path, false))
        return fail(error, EACCES, path, true);
    const bool removed = removePath(path, error);
    AccessRegistry::folderNamesChanged();
    return removed;
}

bool FileManager::createDirectory(const URL& url, bool withIntermediateDirectories, Error* error)
{
    const QString& path = url.path();
    if (path.isEmpty() || !AccessRegistry::hasAccess(path))
        return fail(error, EACCES, path, true);
    if (!withIntermediateDirectories) {
        if (::mkdir(path.toUtf8().constData(), 0777) != 0)
            return fail(error, errno, path, true);
        return true;
    }
    const QStringList components = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current;
    for (const QString& component : components) {
        current += QLatin1Char('/') + component;
        const QByteArray native = current.toUtf8();
        if (::mkdir(native.constData(), 0777) == 0)
            continue;
        const int mkdirError = errno;
        struct stat st {};
        if (mkdirError == EEXIST && ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        return fail(error, mkdirError, current, true);
    }
    return true;
}

std::optional<QList<EnumeratedItem>> FileManager::enumerate(const URL& directory, const QStringList& prefetchKeys,
                                                            unsigned options, Error* error) const
{
    QList<EnumeratedItem> items;
    const bool opened = enumerateTree(directory, prefetchKeys, options, true, [&](const EnumeratedItem& item) {
        items.append(item);
        return true;
    }, error);
    if (!opened)
        return std::nullopt;
    return items;
}

bool FileManager::enumerate(const URL& directory, const QStringList& prefetchKeys, unsigned options,
                            const std::function<bool(const EnumeratedItem&)>& visitor, Error* error) const
{
    return enumerateTree(directory, prefetchKeys, options, false, visitor, error);
}

std::optional<QVariantMap> FileManager::attributesOfFileSystem(const QString& path, Error* error) const
{
    if (path.isEmpty() || !AccessRegistry::hasReadAccess(path)) {
        fail(error, EACCES, path, false);
        return std::nullopt;
    }
    struct statvfs st {};
    if (::statvfs(path.toUtf8().constData(), &st) != 0) {
        fail(error, errno, path, false);
        return std::nullopt;
    }
    return QVariantMap{{NSFileSystemFreeSize, quint64(st.f_bavail) * st.f_frsize},
                       {NSFileSystemSize, quint64(st.f_blocks) * st.f_frsize}};
}

}  // namespace hb
