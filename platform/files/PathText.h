#pragma once

#include <string>
#include <string_view>

// Path text of the access checks: absolute, UTF-8, "/" between components.
namespace hb::PathText {
// Appends `component`, resolving "." and ".." as text.
void appendComponent(std::string& path, std::string_view component);
// The kernel's own name of the opened item; empty when it cannot be read whole.
std::string nameOf(int fd);
// The kernel's own name of the item at `path`, every link on the way resolved; empty when it cannot be read.
std::string realPath(const std::string& path);
}  // namespace hb::PathText
