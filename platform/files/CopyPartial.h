#pragma once

#include <string>

// Items being copied are written under a temporary sibling name that marks them as partial. A name
// alone proves nothing (a user may have such a file): while it writes, the copy holds a lock on a
// record of the partial item in the program's container, and only an item with a record nobody holds
// is the leftover of a killed copy.
namespace hb::copying {

// A fresh partial name for `name`, unique to this process, within the file-name length limit.
std::string partialName(const std::string& name);

// The record of one partial item, locked for the life of this object (the copy that writes it).
class PartialRecord {
public:
    PartialRecord(int directory, const std::string& partial);
    ~PartialRecord();
    PartialRecord(const PartialRecord&) = delete;
    PartialRecord& operator=(const PartialRecord&) = delete;

private:
    std::string m_path;
    int m_fd = -1;
};

// Removes the partial items in the folder `directory` whose record no running copy holds.
void removeLeftovers(int directory);

// Removes the item `name` of the folder `directory`, a whole tree for a folder, never following
// links. Folders we cannot empty are made writable to us first.
void removeItem(int directory, const std::string& name);

}  // namespace hb::copying
