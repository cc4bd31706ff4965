#pragma once

#include <string>

// Items being copied are written under a temporary sibling name that marks them as partial and
// names the writing process, so that leftovers of a killed copy can be recognised and removed.
namespace hb::copying {

// A fresh partial name for `name`, unique to this process, within the file-name length limit.
std::string partialName(const std::string& name);

// Removes the partial items in the folder `directory` whose writing process no longer runs.
void removeLeftovers(int directory);

// Removes the item `name` of the folder `directory`, a whole tree for a folder, never following
// links. Folders we cannot empty are made writable to us first.
void removeItem(int directory, const std::string& name);

}  // namespace hb::copying
