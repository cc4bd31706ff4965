#include "platform/selection/ClipboardSnapshot.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace hb::selection {

namespace {
// Targets that are requests or answers about the transfer itself, not data to keep.
constexpr std::array kProtocolTargets{"TARGETS", "TIMESTAMP",        "MULTIPLE",        "SAVE_TARGETS",
                                      "DELETE",  "INSERT_SELECTION", "INSERT_PROPERTY", "INCR"};

bool isProtocolTarget(const char* name)
{
    return std::any_of(kProtocolTargets.begin(), kProtocolTargets.end(),
                       [&](const char* p) { return std::strcmp(p, name) == 0; });
}
}  // namespace

std::optional<ClipboardSnapshot> ClipboardSnapshot::take(XDisplay& x, Time time, const Deadline& deadline,
                                                         std::size_t maximumSize)
{
    const Atom clipboard = x.atom("CLIPBOARD");
    ClipboardSnapshot snapshot;
    if (XGetSelectionOwner(x.display(), clipboard) == None)
        return snapshot;
    snapshot.hadOwner = true;

    const auto targets = convertSelection(x, clipboard, x.atom("TARGETS"), time, deadline, 1u << 20);
    if (!targets || targets->format != 32)
        return std::nullopt;
    const auto* atoms = reinterpret_cast<const long*>(targets->bytes.data());
    const std::size_t count = targets->bytes.size() / sizeof(long);

    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        char* name = XGetAtomName(x.display(), static_cast<Atom>(atoms[i]));
        if (!name)
            continue;
        const std::string targetName = name;
        XFree(name);
        if (isProtocolTarget(targetName.c_str()))
            continue;
        if (std::any_of(snapshot.targets.begin(), snapshot.targets.end(),
                        [&](const Target& t) { return t.name == targetName; }))
            continue;
        TransferFailure failure{};
        auto data = convertSelection(x, clipboard, static_cast<Atom>(atoms[i]), time, deadline, maximumSize - total,
                                     &failure);
        if (!data) {
            // A target the owner offers but will not give is lost either way; a partial copy is not made.
            if (failure != TransferFailure::refused)
                return std::nullopt;
            continue;
        }
        total += data->bytes.size();
        snapshot.targets.push_back({targetName, std::move(*data)});
    }
    return snapshot;
}

}  // namespace hb::selection
