#pragma once

#include "platform/selection/Deadline.h"
#include "platform/selection/XDisplay.h"

#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace hb::selection {

// One target of a selection as its owner gave it: the type and format the owner named and the bytes.
struct SelectionData {
    Atom type = None;
    int format = 8;
    std::string bytes;
};

enum class TransferFailure { refused, tooLarge, timedOut };

// Asks the owner of `selection` for `target` and collects the answer, also when the owner sends it in
// pieces (INCR). None, and why in `failure`, when there is no owner or it refuses the target, the
// answer grows beyond `maximumSize`, or the deadline passes first.
std::optional<SelectionData> convertSelection(XDisplay& x, Atom selection, Atom target, Time time,
                                              const Deadline& deadline, std::size_t maximumSize,
                                              TransferFailure* failure = nullptr);

// The bytes of a property item of `format` bits: Xlib hands 32-bit items as longs.
std::size_t bytesPerItem(int format);

}  // namespace hb::selection
