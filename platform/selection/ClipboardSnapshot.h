#pragma once

#include "platform/selection/SelectionTransfer.h"

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

namespace hb::selection {

// What the clipboard held at one moment: every target its owner offered, with its data, so the clipboard
// can be put back as it was after the reader has borrowed it.
struct ClipboardSnapshot {
    struct Target {
        std::string name;  // atom name: atoms are per server, and the keeper opens its own connection
        SelectionData data;
    };
    bool hadOwner = false;
    std::vector<Target> targets;

    // None when the owner did not answer in time or offers more than `maximumSize` bytes in all: then
    // the clipboard cannot be put back, and must not be borrowed.
    static std::optional<ClipboardSnapshot> take(XDisplay& x, Time time, const Deadline& deadline,
                                                 std::size_t maximumSize = 64u << 20);
};

}  // namespace hb::selection
