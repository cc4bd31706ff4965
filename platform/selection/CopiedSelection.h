#pragma once

#include "platform/selection/XDisplay.h"

#include <optional>
#include <string>
#include <vector>

namespace hb::selection {

// The selection of an X11 file-manager window, read the way the person would hand it over: the window
// copies it (Ctrl+C), the file list is read off the clipboard, and the clipboard is put back as it was
// before. Works for every file manager, whatever its view (icons, list, search results), and gives each
// item's path exactly as the file manager holds it.
class CopiedSelection {
public:
    enum class Failure {
        notAFileManager,  // the window is not a file manager's (or is gone): nothing to read
        notFocused,       // the window no longer has the focus: a key would go elsewhere
        notResponding,    // the file manager hangs: it would copy whenever it wakes up
        clipboardBusy,    // the clipboard's owner did not answer, so it could not be put back
        nothingCopied,    // the window copied nothing (no selection, or a text field had the focus)
        clipboardNotRestored,
    };

    struct Result {
        std::vector<std::string> paths;
        std::optional<Failure> failure;
    };

    // `window` is the file manager's top-level window; `pid` its process when known (else read from
    // the window).
    static Result read(XDisplay& x, Window window, long pid);
};

const char* describe(CopiedSelection::Failure failure);

}  // namespace hb::selection
