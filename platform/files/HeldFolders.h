#pragma once

#include "platform/files/Descriptor.h"
#include "platform/files/GrantResolver.h"

#include <QHashFunctions>
#include <QString>

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>

namespace hb {

// An item found beneath its grant: the folder that holds it, open, and its name there. `folder` is
// borrowed from the HeldFolders that found it, or owned here when that folder could not be held.
struct HeldItem {
    int folder = -1;
    std::string name;
    int error = 0;  // as ResolvedItem's
    Descriptor own;
    explicit operator bool() const { return error == 0; }

    static HeldItem from(ResolvedItem resolved);
};

// The folders of a run of items, resolved beneath their grants once and held open, so that the
// thousands of items of one folder are not each walked to from a grant's root. Only the folders used
// last are held (at most `capacity` for each need): the one used longest ago is let go and resolved
// again when next asked for, so items from any number of folders cost a bounded number of descriptors.
// A held folder stays the folder that was resolved, even when renamed meanwhile: hold folders for the
// length of one operation, while the scopes it works in are open. For one thread.
class HeldFolders {
public:
    // Enough for the two folders an item and its destination need at once, and for runs that go back
    // and forth between a few folders.
    static constexpr std::size_t capacity = 16;

    HeldFolders() = default;
    HeldFolders(const HeldFolders&) = delete;
    HeldFolders& operator=(const HeldFolders&) = delete;

    // As GrantResolver::item with O_PATH folders, the item's folder resolved only while it is not held.
    // The folder of the item is borrowed: it stays open until the next call asks for a folder of
    // `capacity` others.
    HeldItem item(const QString& path, Need need);
    // Lets go of `folder` and of the folders held below it (the text of its path, as items name it):
    // they are resolved again when next asked for.
    void forget(const QString& folder);

private:
    // A folder that could not be held (outside every grant while the item is a grant's root, or not
    // there) is remembered as closed: its items are resolved one by one, as they would be without this.
    struct TextHash {
        std::size_t operator()(const QString& text) const { return qHash(text); }
    };
    struct Held {
        Descriptor fd;
        std::list<QString>::iterator use;  // its place in `uses`
    };
    struct Folders {
        std::unordered_map<QString, Held, TextHash> byPath;
        std::list<QString> uses;  // the folder used last first
    };
    Folders& held(Need need) { return need == Need::writing ? m_writing : m_reading; }
    // The descriptor of `folder`, held from now on (letting go of the one used longest ago when full).
    static int hold(Folders& folders, const QString& folder, Need need);
    Folders m_reading;
    Folders m_writing;
    // The folder last asked about for each need, compared before any hashing.
    QString m_last[2];
    int m_lastFd[2] = {-1, -1};
};

}  // namespace hb
