#pragma once

#include "platform/files/Descriptor.h"

#include <QString>

#include <fcntl.h>

#include <string>
#include <string_view>

namespace hb {

enum class Need { reading, writing };

// An item found beneath the grant that covers it: the folder that holds it, opened, and the item's
// name in that folder ("." when the item is that folder itself, as for a path ending in "..").
// Operations act on these, never on the path again, so a folder swapped for a link after the check
// cannot lead them outside the grant.
struct ResolvedItem {
    Descriptor folder;
    std::string name;
    int error = 0;  // errno when not resolved: EACCES outside every grant, else why the walk stopped
    explicit operator bool() const { return error == 0; }
};

// An item opened beneath the grant that covers it, with a final link followed (within the grants).
struct OpenedItem {
    Descriptor fd;
    int error = 0;
    explicit operator bool() const { return error == 0; }
};

// Resolves paths beneath the grants of the access registry: opens the root of the grant that covers the
// path's text and walks the rest below it with openat2(RESOLVE_BENEATH). Where that cannot answer (an
// absolute link or a ".." that leaves the root, a path reaching a grant through a link, a kernel without
// openat2), the path is walked from "/" one component at a time without following links blindly: each
// link is read and its target walked in turn, and the place reached is judged against the grants.
namespace GrantResolver {
// The item judged where it lies: a final link is not followed. `folderFlags` is O_PATH, or O_RDONLY
// for a folder whose entries are read.
ResolvedItem item(std::string_view path, Need need, int folderFlags = O_PATH);
// The item itself opened with `flags` (O_PATH, or O_RDONLY | O_DIRECTORY for a folder to read).
OpenedItem open(std::string_view path, Need need, int flags = O_PATH);
ResolvedItem item(const QString& path, Need need, int folderFlags = O_PATH);
OpenedItem open(const QString& path, Need need, int flags = O_PATH);
}  // namespace GrantResolver

}  // namespace hb
