#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hb::selection {

// The selection of the active file-manager window, read through the accessibility bus (AT-SPI):
// the way where the program cannot see other programs' windows (Wayland sessions). GNOME Files is the
// one file manager that gives enough there: its view names the selected items, and its FileManager1
// service the folders its windows show. An answer is given only when every selected item can be named
// and exactly one of those folders holds them all; a search, the recent files or the trash give none.
class AccessibleSelection {
public:
    enum class Failure {
        noAccessibilityBus,
        noActiveFileManager,     // the active window is no file manager's
        fileManagerUnsupported,  // a file manager that names no folder for its windows
        noView,
        incomplete,  // more items selected than the view shows to accessibility
        noFolder,    // no shown folder (or more than one) holds the named items
    };

    struct Result {
        std::vector<std::string> paths;
        std::optional<Failure> failure;
    };

    static Result read();
};

const char* describe(AccessibleSelection::Failure failure);

}  // namespace hb::selection
