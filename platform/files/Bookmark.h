#pragma once

#include "platform/base/Error.h"
#include "platform/base/URL.h"

#include <QByteArray>
#include <QStringList>
#include <QVariantMap>

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
std::optional<QByteArray> create(const URL& url, unsigned options, const QStringList& keys,
                                 Error* error = nullptr);
std::optional<URL> resolve(const QByteArray& data, unsigned options, bool* isStale, Error* error = nullptr);
// The resource values stored in the data, without touching the disk; none when the data is malformed.
std::optional<QVariantMap> resourceValues(const QByteArray& data, const QStringList& keys);
}  // namespace Bookmark

}  // namespace hb
