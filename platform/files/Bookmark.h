#pragma once

#include "platform/base/Error.h"
#include "platform/base/URL.h"

#include <QByteArray>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

namespace hb {

enum BookmarkCreationOptions : unsigned { NSURLBookmarkCreationWithSecurityScope = 0x800 };
enum BookmarkResolutionOptions : unsigned { NSURLBookmarkResolutionWithSecurityScope = 0x400 };

// Bookmark data of our own opaque format. Creation succeeds only for an existing item the process
// has access to; the resource values named in `keys` are stored in the data (plus the volume's
// internal flag, always). Resolution follows a renamed or moved ancestor by inode and reports
// stale when the item is found at another path; with the security-scope option the URL it gives
// can open a scope. Data read from disk is parsed defensively: malformed data fails, never crashes.
namespace Bookmark {
std::optional<QByteArray> create(const URL& url, unsigned options, const QStringList& keys, Error* error = nullptr);
std::optional<URL> resolve(const QByteArray& data, unsigned options, bool* isStale, Error* error = nullptr);
// The resource values stored in the data, without touching the disk; none when the data is malformed.
std::optional<QVariantMap> resourceValues(const QByteArray& data, const QStringList& keys);
// Whether the item's volume is not mounted where it was when the data was made: the nearest of its
// recorded folders still in place lies on another volume than the item (a drive unmounted, so its
// mount folder is gone or an empty folder of the disk below). False for malformed data, and for an
// item gone from a volume that is there.
bool isOnAbsentVolume(const QByteArray& data);

// Makes the same data as create() for a run of items, reading what they share once: the folders
// above the items of one folder, resolved beneath their grant and held (HeldFolders), and the internal
// flag of each file system's volume. Each item's own status and access are read every time. For one
// short run on one thread; a remembered folder is checked against the folder now at its path before
// each use.
class Maker {
public:
    Maker();
    ~Maker();
    std::optional<QByteArray> create(const URL& url, unsigned options, const QStringList& keys, Error* error = nullptr);
    // As create(), for an item the process may read (NSURLIsReadableKey) only, judged from the same
    // status read; none for another.
    std::optional<QByteArray> createIfReadable(const URL& url, unsigned options, const QStringList& keys,
                                               Error* error = nullptr);

private:
    std::optional<QByteArray> make(const URL& url, unsigned options, const QStringList& keys, bool onlyReadable,
                                   Error* error);

    struct Folders;
    std::unique_ptr<Folders> m_folders;
};
}  // namespace Bookmark

}  // namespace hb
