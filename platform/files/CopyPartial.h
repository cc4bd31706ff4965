#pragma once

#include <QString>

#include <string>
#include <vector>

// Items being copied are written under a temporary sibling name that marks them as partial. A name
// alone proves nothing (a user may have such a file): while it writes, the copy holds a lock on a
// record of the partial item in the program's container, and only an item with a record nobody holds
// is the leftover of a killed copy. The record says where the item is, so that leftovers are found
// without waiting for the next copy into their folder.
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

// A partial item whose record no running copy holds, as its record says: the folder's path when the
// copy began (the folder must still be the same one) and the item's name in it.
struct Leftover {
    QString folder;
    std::string name;
    std::string record;  // the record's own path
    unsigned long long device = 0;
    unsigned long long inode = 0;
};
// Every leftover that the records in the container name (records of older versions name none).
std::vector<Leftover> leftoversOfKilledCopies();
// Removes the leftover and its record. The folder is reached beneath the grants, so the caller holds
// access to it. False, with the record kept for a later try, when the folder is not there now (its
// volume unmounted, say) or is another folder by now.
bool removeLeftover(const Leftover& leftover);

// Removes the item `name` of the folder `directory`, a whole tree for a folder, never following
// links. Folders we cannot empty are made writable to us first.
void removeItem(int directory, const std::string& name);

}  // namespace hb::copying
