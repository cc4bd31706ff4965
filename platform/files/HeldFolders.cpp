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
        Folders& folders = held(need);
        const QString text = folder.toString();
        auto found = folders.find(text);
        if (found == folders.end()) {
            // A folder beneath a grant holds only items beneath it: grants cover whole subtrees.
            OpenedItem opened = GrantResolver::open(text, need, O_PATH | O_DIRECTORY);
            found = folders.emplace(text, opened ? std::move(opened.fd) : Descriptor()).first;
        }
        fd = found->second.get();
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

void HeldFolders::forget(const QString& folder)
{
    const auto within = [&folder](const QString& text) {
        return text.startsWith(folder) && (text.size() == folder.size() || text[folder.size()] == u'/');
    };
    for (Folders* folders : {&m_reading, &m_writing}) {
        for (auto it = folders->begin(); it != folders->end();)
            it = within(it->first) ? folders->erase(it) : std::next(it);
    }
    for (int slot : {0, 1}) {
        if (within(m_last[slot])) {
            m_last[slot].clear();
            m_lastFd[slot] = -1;
        }
    }
}

}  // namespace hb
