#pragma once

#include "platform/base/Error.h"
#include "platform/base/URL.h"
#include "platform/files/HeldFolders.h"
#include "platform/files/Trash.h"

#include <QList>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace hb {

class FileManager;

// Consulted during moves, as the program's shift operation answers it.
class FileManagerDelegate {
public:
    virtual ~FileManagerDelegate() = default;
    virtual bool shouldMoveItem(FileManager&, const URL& /*source*/, const URL& /*destination*/) { return true; }
    // A move failed with `error` (for example, the destination exists): true lets it proceed
    // (an existing destination is then replaced).
    virtual bool shouldProceedAfterError(FileManager&, const Error& /*error*/, const URL& /*source*/,
                                         const URL& /*destination*/)
    {
        return false;
    }
};

enum DirectoryEnumerationOptions : unsigned {
    NSDirectoryEnumerationSkipsSubdirectoryDescendants = 1 << 0,
    NSDirectoryEnumerationSkipsPackageDescendants = 1 << 1,
    NSDirectoryEnumerationSkipsHiddenFiles = 1 << 2,
    // Streaming form only: folders are read on several threads and the visitor sees items in no
    // particular order (calls are serialised, never concurrent). For totals over large trees.
    DirectoryEnumerationUnordered = 1 << 16,
};

// One enumerated item with the prefetched values (same keys as resourceValue()).
struct EnumeratedItem {
    URL url;
    QVariantMap values;
    int statusError = 0;  // errno when the item's status could not be read (values then empty)
};

// What sizing a tree needs, without an item for each entry.
struct TreeTotals {
    quint64 bytes = 0;      // NSURLTotalFileSizeKey summed over every item that has it (all but folders)
    qint64 items = 0;       // the items summed
    qint64 unreadable = 0;  // items whose status could not be read (left out)
};

// Every operation resolves its paths beneath the grants of the access registry (GrantResolver) and acts
// on what it resolved; outside them it fails with the platform-style error (NSCocoaErrorDomain,
// 257 reading / 513 writing).
class FileManager {
public:
    static FileManager& defaultManager();
    FileManager();
    ~FileManager();
    // A manager for one operation on one thread: the folders it resolves are held open until it is
    // destroyed (HeldFolders), so the items of one folder are resolved beneath their grant once.
    static std::unique_ptr<FileManager> holdingFolders();

    FileManagerDelegate* delegate = nullptr;

    bool fileExists(const QString& path, bool* isDirectory = nullptr) const;  // final link not followed

    // renameat2(RENAME_NOREPLACE); across file systems fails (the caller copies). A move the delegate
    // refuses fails (nothing moved). On an existing destination the delegate decides whether it is
    // replaced; an item never replaces itself (two names of one item). With `replaced`, what the move
    // replaces goes to the trash (Trash) and is named there, and a move whose replaced item no trash can
    // keep fails with nothing changed; without it the replaced item is removed.
    bool moveItem(const URL& source, const URL& destination, Error* error = nullptr,
                  std::optional<TrashedItem>* replaced = nullptr);
    // Puts `newItem` in place of `original` atomically (RENAME_EXCHANGE), then removes the old item, or
    // with `replaced` moves it into the trash as moveItem() does (no backup is kept; the name is accepted
    // for the program's calls). On failure nothing is lost.
    bool replaceItem(const URL& original, const URL& newItem, const QString& backupItemName = {},
                     Error* error = nullptr, std::optional<TrashedItem>* replaced = nullptr);
    bool removeItem(const URL& url, Error* error = nullptr);  // recursive, never follows links
    bool createDirectory(const URL& url, bool withIntermediateDirectories, Error* error = nullptr);

    // Direct entries or the whole tree (depth first, parents before children, names sorted per
    // folder), hidden items included unless skipped, links never followed below the root. The root
    // itself is not listed. Folders that cannot be opened below the root are passed over. None when
    // the root cannot be opened.
    std::optional<QList<EnumeratedItem>> enumerate(const URL& directory, const QStringList& prefetchKeys,
                                                   unsigned options, Error* error = nullptr) const;
    // Streaming form for large trees, in directory order (not sorted): the visitor answers false to
    // stop. Returns false (with the error) only when the root cannot be opened.
    bool enumerate(const URL& directory, const QStringList& prefetchKeys, unsigned options,
                   const std::function<bool(const EnumeratedItem&)>& visitor, Error* error = nullptr) const;

    // The whole tree below `directory` summed for sizing (hidden items included, links not followed,
    // the folder itself not counted), read on several threads. None when the folder cannot be opened.
    std::optional<TreeTotals> totals(const URL& directory, Error* error = nullptr) const;

    // NSFileSystemFreeSize and friends for the file system holding `path`.
    std::optional<QVariantMap> attributesOfFileSystem(const QString& path, Error* error = nullptr) const;

private:
    HeldItem resolve(const QString& path, Need need) const;
    // The item at `path` resolved for a change, or false with the error.
    bool resolveForWriting(const QString& path, HeldItem& item, Error* error) const;
    // A folder held at `path` (or below it) is no longer there: its name must be resolved afresh.
    void movedAway(const QString& path);

    std::unique_ptr<HeldFolders> m_folders;
};

inline const QString NSFileSystemFreeSize = QStringLiteral("NSFileSystemFreeSize");
inline const QString NSFileSystemSize = QStringLiteral("NSFileSystemSize");

}  // namespace hb
