#pragma once

#include "platform/base/URL.h"

#include <QList>

#include <optional>

namespace hb {

// Who an item is on disk, whatever path text names it: two paths that reach one item through a link
// or a bind mount have one identity.
struct ItemIdentity {
    quint64 device = 0;
    quint64 inode = 0;

    bool operator==(const ItemIdentity&) const = default;

    // The item at `url`, its final link followed or not. None when it cannot be read or lies outside
    // every grant.
    static std::optional<ItemIdentity> of(const URL& url, bool followFinalLink);
    // The item at `url` and every folder that really holds it, up to the root, found through ".."
    // (whatever links the path text went through). Empty when the item cannot be read.
    static QList<ItemIdentity> chain(const URL& url, bool followFinalLink);
};

}  // namespace hb
