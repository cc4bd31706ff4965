#pragma once

#include "platform/desktop/MetadataItem.h"
#include "platform/desktop/MetadataPredicate.h"

#include <QString>

#include <atomic>
#include <vector>

namespace hb {

// The items below a folder that a predicate accepts, gathered by several threads at once. Hidden items
// (names starting with a dot) and everything inside hidden folders are skipped; links are listed but
// never followed; folders of another file system mounted inside are listed but not entered; folders
// that cannot be read are passed over; names that do not read as UTF-8 are left out with their
// contents, since no path the program handles can reach them. An item's date added is its birth
// time, else (file systems that keep none) its status-change time. Type and kind are worked out only
// for items the predicate asks about, after the cheaper clauses before them.
namespace MetadataWalk {
// The order of the result is not defined. Stops early, with what it has, once `cancelled` is set.
std::vector<MetadataItem> gather(const QString& root, const MetadataPredicate& predicate,
                                 const std::atomic<bool>& cancelled, int threads = 0);
}  // namespace MetadataWalk

}  // namespace hb
