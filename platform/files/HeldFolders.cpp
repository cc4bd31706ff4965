#include "platform/files/HeldFolders.h"

namespace hb {

HeldItem HeldItem::from(ResolvedItem resolved)
{
    HeldItem item;
    item.own = std::move(resolved.folder);
    item.folder = item.own.get();
    item.name = std::move(resolved.name);
    item.error = resolved.error;
    return item;
}

HeldItem HeldFolders::item(const QString& path, Need need)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView name = QStringView(path).mid(slash + 1);
    // Items of "/", relative paths and names that are not one plain component are resolved as they come.
    if (slash <= 0 || name.isEmpty() || name == u"." || name == u"..")
        return HeldItem::from(GrantResolver::item(path, need));
    const QStringView folder = QStringView(path).left(slash);
    const int slot = need == Need::writing ? 1 : 0;
    int fd = m_lastFd[slot];
    if (m_last[slot].isEmpty() || m_last[slot] != folder) {
        const QString text = folder.toString();
        fd = hold(held(need), text, need);
        m_last[slot] = text;
        m_lastFd[slot] = fd;
    }
    if (fd < 0)
        return HeldItem::from(GrantResolver::item(path, need));
    HeldItem item;
    item.folder = fd;
    item.name = name.toUtf8().toStdString();
    return item;
}

int HeldFolders::hold(Folders& folders, const QString& folder, Need need)
{
    if (const auto found = folders.byPath.find(folder); found != folders.byPath.end()) {
        folders.uses.splice(folders.uses.begin(), folders.uses, found->second.use);
        return found->second.fd.get();
    }
    if (folders.byPath.size() >= capacity) {
        folders.byPath.erase(folders.uses.back());
        folders.uses.pop_back();
    }
    // A folder beneath a grant holds only items beneath it: grants cover whole subtrees.
    OpenedItem opened = GrantResolver::open(folder, need, O_PATH | O_DIRECTORY);
    folders.uses.push_front(folder);
    const Held& held = folders.byPath
                           .emplace(folder, Held{opened ? std::move(opened.fd) : Descriptor(), folders.uses.begin()})
                           .first->second;
    return held.fd.get();
}

void HeldFolders::forget(const QString& folder)
{
    const auto within = [&folder](const QString& text) {
        return text.startsWith(folder) && (text.size() == folder.size() || text[folder.size()] == u'/');
    };
    for (Folders* folders : {&m_reading, &m_writing}) {
        for (auto it = folders->byPath.begin(); it != folders->byPath.end();) {
            if (within(it->first)) {
                folders->uses.erase(it->second.use);
                it = folders->byPath.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (int slot : {0, 1}) {
        if (within(m_last[slot])) {
            m_last[slot].clear();
            m_lastFd[slot] = -1;
        }
    }
}

}  // namespace hb
