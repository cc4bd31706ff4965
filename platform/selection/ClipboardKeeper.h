#pragma once

#include "platform/selection/ClipboardSnapshot.h"

namespace hb::selection {

// Puts a snapshot back on the clipboard. An X client that loses the clipboard drops its data, so
// whoever puts it back must stay to answer for it: a process of its own, in a session of its own (the
// end of the script's process group must not end it), owns the clipboard until another client takes
// it, as a copy in any program would.
class ClipboardKeeper {
public:
    // True once the clipboard is as the snapshot says: the keeper owns it with the snapshot's targets,
    // or, when the snapshot had no owner, nobody owns it.
    static bool restore(const ClipboardSnapshot& snapshot, XDisplay& x, const Deadline& deadline);

    // The keeper's own loop, in the keeper process: owns the clipboard on a connection of its own and
    // answers requests until another client takes it over. `ready` is told once ownership holds.
    static int serve(const ClipboardSnapshot& snapshot, int readyFd);
};

}  // namespace hb::selection
