#include "platform/files/FileManager.h"

#include "platform/base/Log.h"
#include "platform/files/GrantResolver.h"
#include "platform/files/StatValues.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
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

// Calls `visit` with each entry of the open folder `fd` but "." and ".."; false when reading failed.
template <typename Visit>
bool forEachEntry(int fd, Visit&& visit)
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
            visit(*d);
        }
    }
}

// All entries of an open folder but "." and "..".
bool readEntries(int fd, std::vector<Entry>& entries)
{
    return forEachEntry(fd, [&](const dirent64& d) { entries.push_back({d.d_name, d.d_type}); });
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

// Removes the entry `name` of the open folder `folder` (a whole tree for a folder) without following links.
bool removeAt(int folder, const std::string& name, const QString& path, Error* error)
{
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(error, errno, path, true);
    if (S_ISDIR(st.st_mode)) {
        const Descriptor fd(::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.isOpen())
            return fail(error, errno, path, true);
        if (!removeContents(fd.get(), path, error))
            return false;
    }
    if (::unlinkat(folder, name.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0)
        return fail(error, errno, path, true);
    return true;
}

bool statAt(const HeldItem& item, struct stat* st)
{
    return ::fstatat(item.folder, item.name.c_str(), st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool isDirectoryAt(const HeldItem& item)
{
    struct stat st {};
    return statAt(item, &st) && S_ISDIR(st.st_mode);
}

// Puts `newItem` in place of `original` (which may be missing) by exchanging the two, then removes the
// old item. The old item stays whole until the new one sits in its place, so a failure loses nothing.
bool sameItem(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool failSelfReplace(Error* error, const QString& path)
{
    if (error)
        *error = Error{
            NSCocoaErrorDomain,
            NSFileWriteUnknownError,
            {{NSLocalizedDescriptionKey, QStringLiteral("“%1” cannot replace itself").arg(Path::lastComponent(path))},
             {NSFilePathErrorKey, path}}};
    return false;
}

// With `replaced`, the old item goes to the trash instead: its place there is taken before anything
// changes, and an old item that cannot go there is put back in its own place.
bool replaceExisting(const HeldItem& original, const QString& originalPath, const HeldItem& newItem,
                     const QString& newPath, Error* error, std::optional<TrashedItem>* replaced)
{
    const int toFolder = original.folder;
    const int fromFolder = newItem.folder;
    const char* to = original.name.c_str();
    const char* from = newItem.name.c_str();
    // Two names of one item (a link in the path, a hard link): exchanging them changes nothing, and
    // removing the "old" one would remove the only copy.
    struct stat before {};
    const bool hadOriginal = statAt(original, &before);
    struct stat replacement {};
    if (hadOriginal && statAt(newItem, &replacement) && sameItem(before, replacement))
        return failSelfReplace(error, originalPath);
    if (replaced)
        replaced->reset();
    std::optional<Trash::Reservation> trash = replaced && hadOriginal ? Trash::reserve(toFolder, originalPath, error)
                                                                      : std::nullopt;
    if (replaced && hadOriginal && !trash)
        return false;
    if (::renameat2(fromFolder, from, toFolder, to, RENAME_EXCHANGE) == 0) {
        struct stat swapped {};
        if (!hadOriginal || !statAt(newItem, &swapped) || !sameItem(swapped, before))
            return failSelfReplace(error, originalPath);
        if (trash) {
            if (trash->moveIn(fromFolder, newItem.name, error)) {
                *replaced = trash->trashed();
                return true;
            }
            ::renameat2(fromFolder, from, toFolder, to, RENAME_EXCHANGE);  // the old item back in its place
            return false;
        }
        // The exchange is done, so a leftover of the old item is logged, not reported as a failed replace.
        Error removal;
        if (!removeAt(fromFolder, newItem.name, newPath, &removal))
            HBDebug() << "Could not remove the replaced item at" << newPath << removal.localizedDescription();
        return true;
    }
    const int exchangeError = errno;
    struct stat st {};
    int result = -1;
    if (exchangeError == ENOENT && statAt(newItem, &st)) {
        // Nothing to replace (any more): a plain move that still never overwrites.
        result = ::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE);
    } else if ((exchangeError == EINVAL || exchangeError == ENOSYS) && !isDirectoryAt(original)
               && !isDirectoryAt(newItem)) {
        // File systems without exchanging renames still replace a file atomically; one that is kept goes
        // to the trash first, and comes back should the new one not take its place.
        if (trash) {
            if (!trash->moveIn(toFolder, original.name, error))
                return false;
            if (::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE) != 0) {
                const int moveError = errno;
                Trash::restore(trash->trashed());
                return fail(error, moveError, originalPath, true);
            }
            *replaced = trash->trashed();
            return true;
        }
        result = ::renameat(fromFolder, from, toFolder, to);
    } else {
        return fail(error, exchangeError, exchangeError == ENOENT ? newPath : originalPath, true);
    }
    if (result != 0)
        return fail(error, errno, originalPath, true);
    return true;
}

// One entry of a folder turned into an enumerated item; `isDirectory` tells whether to descend.
struct Visit {
    EnumeratedItem item;
    bool isDirectory = false;
};

Visit visitEntry(int fd, const QString& folder, const Entry& entry, const QStringList& keys)
{
    Visit visit;
    const QString path = Path::join(folder, QString::fromStdString(entry.name));
    visit.isDirectory = entry.type == DT_DIR;
    if (!keys.isEmpty() || entry.type == DT_UNKNOWN) {
        struct statx st {};
        if (StatValues::read(fd, entry.name.c_str(), &st)) {
            visit.isDirectory = S_ISDIR(st.stx_mode);
            const StatValues::ItemAt at{fd, entry.name.c_str(), path};
            for (const QString& key : keys) {
                QVariant value = StatValues::value(at, st, key);
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

Descriptor openChildFolder(int folder, const char* name)
{
    return Descriptor(::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
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
            const Visit visit = visitEntry(fd, path, entry, m_keys);
            if (!m_visitor(visit.item))
                return false;
            if (visit.isDirectory && descend) {
                const Descriptor child = openChildFolder(fd, entry.name.c_str());
                if (child.isOpen() && !walk(child.get(), visit.item.url.path()))
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

// A folder still to read: its name in the opened folder that listed it, so the walk never leaves that
// folder by a path (a link swapped in for the name is not followed).
struct PendingFolder {
    std::shared_ptr<const Descriptor> parent;
    std::string name;
    QString path;  // for listers that build items; empty otherwise
};

unsigned workerCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    const int usable = ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
    return unsigned(std::clamp(usable, 1, 4));
}

// Reads the folders of a tree on as many threads as the process may run on (at most four): the calling
// thread, and helpers started only once folders wait in the queue (a small tree costs no thread).
// `Lister` reads one opened folder: `bool list(int fd, const QString& path, std::vector<PendingFolder>& found)`
// adds the subfolders to descend (their parent left empty) and answers false to stop the walk.
template <typename Lister>
class ParallelWalker {
public:
    explicit ParallelWalker(Lister& lister) : m_lister(lister), m_limit(workerCount()) {}

    void run(Descriptor root, const QString& rootPath)
    {
        list(std::make_shared<const Descriptor>(std::move(root)), rootPath);
        work();
        // Helpers are started only from list(), which no thread runs any more once work() has returned here.
        for (auto& helper : m_helpers)
            helper.join();
    }

private:
    void work()
    {
        for (;;) {
            PendingFolder folder;
            {
                std::unique_lock lock(m_queueMutex);
                m_wake.wait(lock, [this] { return !m_queue.empty() || m_busy == 0 || m_stopped; });
                if (m_stopped || m_queue.empty())
                    return;
                folder = std::move(m_queue.back());
                m_queue.pop_back();
                ++m_busy;
            }
            Descriptor fd = openChildFolder(folder.parent->get(), folder.name.c_str());
            folder.parent.reset();
            if (fd.isOpen())
                list(std::make_shared<const Descriptor>(std::move(fd)), folder.path);
            {
                std::lock_guard lock(m_queueMutex);
                --m_busy;
            }
            m_wake.notify_all();
        }
    }

    void list(const std::shared_ptr<const Descriptor>& fd, const QString& path)
    {
        std::vector<PendingFolder> found;
        if (!m_lister.list(fd->get(), path, found)) {
            std::lock_guard lock(m_queueMutex);
            m_stopped = true;
            m_wake.notify_all();
            return;
        }
        if (found.empty())
            return;
        {
            std::lock_guard lock(m_queueMutex);
            for (auto& folder : found) {
                folder.parent = fd;
                m_queue.push_back(std::move(folder));
            }
            if (m_queue.size() > 1 && m_helpers.size() + 1 < m_limit)
                m_helpers.emplace_back([this] { work(); });
        }
        m_wake.notify_all();
    }

    Lister& m_lister;
    const unsigned m_limit;
    std::vector<std::thread> m_helpers;
    std::mutex m_queueMutex;
    std::condition_variable m_wake;
    std::vector<PendingFolder> m_queue;
    int m_busy = 0;
    bool m_stopped = false;
};

// Builds an item for each entry and hands it to the visitor, one call at a time.
class ItemLister {
public:
    ItemLister(const QStringList& keys, unsigned options, const std::function<bool(const EnumeratedItem&)>& visitor)
        : m_keys(keys), m_options(options), m_visitor(visitor)
    {
    }

    bool list(int fd, const QString& path, std::vector<PendingFolder>& found)
    {
        std::vector<Entry> entries;
        if (!readEntries(fd, entries))
            return true;
        const bool skipHidden = m_options & NSDirectoryEnumerationSkipsHiddenFiles;
        const bool descend = !(m_options & NSDirectoryEnumerationSkipsSubdirectoryDescendants);
        for (const Entry& entry : entries) {
            if (skipHidden && entry.name[0] == '.')
                continue;
            Visit visit = visitEntry(fd, path, entry, m_keys);
            {
                std::lock_guard lock(m_visitorMutex);
                if (m_stopped || !m_visitor(visit.item)) {
                    m_stopped = true;
                    return false;
                }
            }
            if (visit.isDirectory && descend)
                found.push_back({nullptr, entry.name, visit.item.url.path()});
        }
        return true;
    }

private:
    const QStringList& m_keys;
    unsigned m_options;
    const std::function<bool(const EnumeratedItem&)>& m_visitor;
    std::mutex m_visitorMutex;
    bool m_stopped = false;
};

// Sums sizes straight from the folder's entries: no item, path or value map per entry, and no status
// read for folders (the entry's type says it is one, and folders have no size to add).
class TotalsLister {
public:
    bool list(int fd, const QString&, std::vector<PendingFolder>& found)
    {
        TreeTotals local;
        forEachEntry(fd, [&](const dirent64& d) {
            if (d.d_type == DT_DIR) {
                found.push_back({nullptr, d.d_name, {}});
                return;
            }
            struct statx st {};
            if (::statx(fd, d.d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_SIZE, &st) != 0) {
                ++local.unreadable;
            } else if (S_ISDIR(st.stx_mode)) {
                found.push_back({nullptr, d.d_name, {}});
            } else {
                local.bytes += st.stx_size;
                ++local.items;
            }
        });
        std::lock_guard lock(m_mutex);
        m_totals.bytes += local.bytes;
        m_totals.items += local.items;
        m_totals.unreadable += local.unreadable;
        return true;
    }

    TreeTotals totals() const { return m_totals; }

private:
    std::mutex m_mutex;
    TreeTotals m_totals;
};

bool enumerateTree(const URL& directory, const QStringList& keys, unsigned options, bool sorted,
                   const std::function<bool(const EnumeratedItem&)>& visitor, Error* error)
{
    const QString& path = directory.path();
    OpenedItem root = GrantResolver::open(path, Need::reading, O_RDONLY | O_DIRECTORY);
    if (!root)
        return fail(error, root.error, path, false);
    if (!sorted && (options & DirectoryEnumerationUnordered)) {
        ItemLister lister(keys, options, visitor);
        ParallelWalker(lister).run(std::move(root.fd), path);
    } else {
        Walker(keys, options, sorted, visitor).walk(root.fd.get(), path);
    }
    return true;
}

}  // namespace

FileManager& FileManager::defaultManager()
{
    static FileManager manager;
    return manager;
}

FileManager::FileManager() = default;

FileManager::~FileManager() = default;

std::unique_ptr<FileManager> FileManager::holdingFolders()
{
    auto manager = std::make_unique<FileManager>();
    manager->m_folders = std::make_unique<HeldFolders>();
    return manager;
}

HeldItem FileManager::resolve(const QString& path, Need need) const
{
    return m_folders ? m_folders->item(path, need) : HeldItem::from(GrantResolver::item(path, need));
}

void FileManager::movedAway(const QString& path)
{
    if (m_folders)
        m_folders->forget(path);
}

bool FileManager::resolveForWriting(const QString& path, HeldItem& item, Error* error) const
{
    item = resolve(path, Need::writing);
    return item || fail(error, item.error, path, true);
}

bool FileManager::fileExists(const QString& path, bool* isDirectory) const
{
    const HeldItem item = resolve(path, Need::reading);
    struct stat st {};
    if (!item || !statAt(item, &st))
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

bool FileManager::moveItem(const URL& source, const URL& destination, Error* error,
                           std::optional<TrashedItem>* replaced)
{
    const QString& from = source.path();
    const QString& to = destination.path();
    HeldItem fromItem;
    HeldItem toItem;
    if (!resolveForWriting(from, fromItem, error) || !resolveForWriting(to, toItem, error))
        return false;
    if (delegate && !delegate->shouldMoveItem(*this, source, destination))
        return fail(error, ECANCELED, from, true);
    const int fromFolder = fromItem.folder;
    const int toFolder = toItem.folder;
    int result = ::renameat2(fromFolder, fromItem.name.c_str(), toFolder, toItem.name.c_str(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL) {
        // File systems without RENAME_NOREPLACE: check, then rename.
        struct stat st {};
        if (statAt(toItem, &st))
            errno = EEXIST;
        else
            result = ::renameat(fromFolder, fromItem.name.c_str(), toFolder, toItem.name.c_str());
    }
    if (result == 0) {
        movedAway(from);
        return true;
    }
    if (errno != EEXIST)
        return fail(error, errno, errno == ENOENT ? from : to, true);
    const Error exists = Error::fromErrno(EEXIST, to, true);
    if (delegate && delegate->shouldProceedAfterError(*this, exists, source, destination)) {
        const bool done = replaceExisting(toItem, to, fromItem, from, error, replaced);
        movedAway(from);
        return done;
    }
    if (error)
        *error = exists;
    return false;
}

bool FileManager::replaceItem(const URL& original, const URL& newItem, const QString& /*backupItemName*/, Error* error,
                              std::optional<TrashedItem>* replaced)
{
    const QString& target = original.path();
    const QString& replacement = newItem.path();
    HeldItem targetItem;
    HeldItem replacementItem;
    if (!resolveForWriting(target, targetItem, error) || !resolveForWriting(replacement, replacementItem, error))
        return false;
    const bool done = replaceExisting(targetItem, target, replacementItem, replacement, error, replaced);
    movedAway(replacement);
    movedAway(target);
    return done;
}

bool FileManager::removeItem(const URL& url, Error* error)
{
    const QString& path = url.path();
    HeldItem item;
    if (!resolveForWriting(path, item, error))
        return false;
    const bool removed = removeAt(item.folder, item.name, path, error);
    movedAway(path);
    return removed;
}

bool FileManager::createDirectory(const URL& url, bool withIntermediateDirectories, Error* error)
{
    const QString& path = url.path();
    ResolvedItem item = GrantResolver::item(path, Need::writing);
    if (!item && item.error == ENOENT && withIntermediateDirectories && path != u"/") {
        if (!createDirectory(url.deletingLastPathComponent(), true, error))
            return false;
        item = GrantResolver::item(path, Need::writing);
    }
    if (!item)
        return fail(error, item.error, path, true);
    if (::mkdirat(item.folder.get(), item.name.c_str(), 0777) == 0)
        return true;
    const int mkdirError = errno;
    // An existing folder (or a link to one within the grants) is what was asked for.
    if (mkdirError == EEXIST && withIntermediateDirectories
        && GrantResolver::open(path, Need::writing, O_PATH | O_DIRECTORY))
        return true;
    return fail(error, mkdirError, path, true);
}

std::optional<QList<EnumeratedItem>> FileManager::enumerate(const URL& directory, const QStringList& prefetchKeys,
                                                            unsigned options, Error* error) const
{
    QList<EnumeratedItem> items;
    const bool opened = enumerateTree(
        directory, prefetchKeys, options, true,
        [&](const EnumeratedItem& item) {
            items.append(item);
            return true;
        },
        error);
    if (!opened)
        return std::nullopt;
    return items;
}

bool FileManager::enumerate(const URL& directory, const QStringList& prefetchKeys, unsigned options,
                            const std::function<bool(const EnumeratedItem&)>& visitor, Error* error) const
{
    return enumerateTree(directory, prefetchKeys, options, false, visitor, error);
}

std::optional<TreeTotals> FileManager::totals(const URL& directory, Error* error) const
{
    const QString& path = directory.path();
    OpenedItem root = GrantResolver::open(path, Need::reading, O_RDONLY | O_DIRECTORY);
    if (!root) {
        fail(error, root.error, path, false);
        return std::nullopt;
    }
    TotalsLister lister;
    ParallelWalker(lister).run(std::move(root.fd), {});
    return lister.totals();
}

std::optional<QVariantMap> FileManager::attributesOfFileSystem(const QString& path, Error* error) const
{
    const OpenedItem item = GrantResolver::open(path, Need::reading);
    if (!item) {
        fail(error, item.error, path, false);
        return std::nullopt;
    }
    struct statvfs st {};
    if (::fstatvfs(item.fd.get(), &st) != 0) {
        fail(error, errno, path, false);
        return std::nullopt;
    }
    return QVariantMap{{NSFileSystemFreeSize, quint64(st.f_bavail) * st.f_frsize},
                       {NSFileSystemSize, quint64(st.f_blocks) * st.f_frsize}};
}

}  // namespace hb
