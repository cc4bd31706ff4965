#pragma once

#include "core/engine/ShiftDestinations.h"
#include "core/engine/ShiftScopes.h"
#include "platform/base/URL.h"

#include <QList>

#include <cstdint>
#include <functional>
#include <vector>

// What sizing read of a source that the item loop needs as well, so that its first pass reads it
// only once: one byte per source.
enum SourceFact : std::uint8_t {
    sourceFactKnown = 1,   // the source could be read; the other bit holds
    sourceFactCopied = 2,  // another volume than its destination folder's (or one that cannot be told), or locked
};

// What a shift announces before its first item: the bytes and the items of its sources (a folder
// counts its whole tree), and the bytes that will be copied rather than renamed, which the
// destination volume must have room for.
struct SourceTotals {
    std::uint64_t size = 0;
    std::uint64_t sizeToCopy = 0;
    std::uint64_t count = 0;
    bool stopped = false;             // asked to stop before every source was sized
    std::vector<std::uint8_t> facts;  // per source, SourceFact bits
};

// Sizes the sources of a shift on the shift's own thread, many sources shared out among a few helper
// threads. A source that cannot be read adds no bytes and counts one item; a volume that cannot be
// told counts as another one, and a lock flag that cannot be read as set (copied).
class HBSourceSizing {
public:
    // `stopped` is asked before each source, from whichever thread sizes it; once it answers true,
    // sizing ends.
    static SourceTotals measure(const QList<hb::URL>& sources, const ShiftDestinations& destinations, bool copying,
                                ShiftScopes& scopes, const std::function<bool()>& stopped);
};
