#pragma once

#include "platform/base/Error.h"
#include "platform/base/URL.h"

#include <QList>
#include <QStringList>
#include <QVariantMap>

#include <functional>
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
                                         const URL& /*destination*/) { return false; }
};

enum DirectoryEnumerationOptions : unsigned {
    NSDirectoryEnumerationSkipsSubdirectoryDescendants = 1 << 0,
    NSDirectoryEnumerationSkipsPackageDescendants = 1 << 1,
    NSDirectoryEnumerationSkipsHiddenFiles = 1 << 2,
};

// One enumerated item with the prefetched values (same keys as resourceValue()).
struct EnumeratedItem {
    URL url;
    QVariantMap values;
};

// Every operation checks the access registry and fails with the platform-style error
// (NSCocoaErrorDomain, 257 reading / 513 writing) outside it.
class FileManager {
public:
    static FileManager& defaultManager();
    FileManager() = default;

    FileManagerDelegate* delegate = nullptr;

    bool fileExists(const QString& path, bool* isDirectory = nullptr) const;  // final link not followed

    // renameat2(RENAME_NOREPLACE); across file systems fails (the caller copies). On an existing
    // destination the delegate decides whether it is replaced.
    bool moveItem(const URL& source, const URL& destination, Error* error = nullptr);
    // Puts `newItem` in place of `original` atomically (RENAME_EXCHANGE), then removes the old item.
    // On failure nothing is lost.
    bool replaceItem(const URL& original, const URL& newItem, const QString& backupItemName = {},
                     Error* error = nullptr);
    bool removeItem(const URL& url, Error* error = nullptr);  // recursive, never follows links
    bool createDirectory(const URL& url, bool withIntermediateDirectories, Error* error = nullptr);

    // Direct entries (names sorted) or the whole tree (depth first, parents before children),
    // hidden items included unless skipped. The root itself is not listed. None when the folder
    // cannot be opened.
    std::optional<QList<EnumeratedItem>> enumerate(const URL& directory, const QStringList& prefetchKeys,
                                                   unsigned options, Error* error = nullptr) const;
    // Streaming form for large trees: the visitor answers false to stop.
    bool enumerate(const URL& directory, const QStringList& prefetchKeys, unsigned options,
                   const std::function<bool(const EnumeratedItem&)>& visitor, Error* error = nullptr) const;

    // NSFileSystemFreeSize and friends for the file system holding `path`.
    std::optional<QVariantMap> attributesOfFileSystem(const QString& path, Error* error = nullptr) const;
};

inline const QString NSFileSystemFreeSize = QStringLiteral("NSFileSystemFreeSize");
inline const QString NSFileSystemSize = QStringLiteral("NSFileSystemSize");

}  // namespace hb
