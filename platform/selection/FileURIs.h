#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hb::selection {

// The local paths of a file list as file managers put it on the clipboard: text/uri-list (RFC 2483),
// or x-special/gnome-copied-files with its "copy"/"cut" line first. Paths are bytes, percent-decoded
// exactly (a name need not be UTF-8, and may hold a new line). Items without a local path (trash,
// network shares, archives, search or recent views) give nothing rather than a wrong path.
std::vector<std::string> localPathsFromURIList(std::string_view list);

// The path of one file URI of this machine; empty when the URI has another scheme or host, or does not
// decode to an absolute path without NUL bytes.
std::string localPathFromURI(std::string_view uri);

}  // namespace hb::selection
