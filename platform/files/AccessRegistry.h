#pragma once

#include "platform/base/URL.h"
#include "platform/files/ItemIdentity.h"

#include <QString>

#include <string>
#include <string_view>

namespace hb {

// The process-wide sandbox: the program's own file operations may touch a path only while it lies
// inside a standing grant or an open security scope, by whole path components, after the existing
// prefix of the path has been made canonical (so a symlink cannot lead out of a grant).
namespace AccessRegistry {
// Standing grants last until the process ends: the container, the bundle, the Application Scripts
// folder (read only) and every item chosen in an open panel. Container and scripts folder are granted
// on first use of the registry.
void grantStanding(const QString& path);
// Opens the URL's subtree when it came from resolving a security-scoped bookmark (reference counted);
// false for a plain URL. A URL naming a link opens the link itself, never what it points to. When its
// resolution noted the item, the scope opens on that item only: false (nothing opened, the count
// still kept for the matching stop) when the path names another item by now.
bool startAccessing(const URL& url);
// Bookmark resolution notes which item a scoped URL names.
void noteResolvedItem(const QString& path, const ItemIdentity& item);
void stopAccessing(const URL& url);  // without a matching start does nothing
// `followFinalLink` false judges a link by where it lies, not where it points (for operations on
// the link itself: remove, move, lstat). The answer holds for the moment of the call: the layer's own
// operations do not ask first and act later, they resolve the path beneath its grant (GrantResolver).
bool hasAccess(const QString& path, bool followFinalLink = true);
bool hasReadAccess(const QString& path, bool followFinalLink = true);  // also true inside read-only grants
// The absolute path with every symlink of its existing prefix resolved (the final component only
// when `followFinalLink`); the missing rest is appended as normalised text.
QString canonicalPath(const QString& path, bool followFinalLink = true);
// For the resolver: the root of the deepest grant whose text holds `absolutePath` by whole components
// (empty when none), and whether a canonical path lies inside a grant.
std::string deepestRootCovering(std::string_view absolutePath, bool writing);
bool covers(std::string_view canonicalPath, bool writing);
// Tests start from a clean registry (after redirecting the roots).
void resetForTesting();
}  // namespace AccessRegistry

// The program's spelling of the scope calls.
inline bool startAccessingSecurityScopedResource(const URL& url)
{
    return AccessRegistry::startAccessing(url);
}
inline void stopAccessingSecurityScopedResource(const URL& url)
{
    AccessRegistry::stopAccessing(url);
}

}  // namespace hb
