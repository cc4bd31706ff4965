#include "core/engine/ShiftScopes.h"

#include "core/store/HBURL.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/ResourceValues.h"
#include "platform/files/Trash.h"

std::optional<hb::URL> ShiftScopes::scopeFor(const hb::URL& item)
{
    if (!m_byItem.isEmpty()) {
        if (const auto found = m_byItem.constFind(item.path()); found != m_byItem.constEnd())
            return *found;
    }
    const QString& path = item.path();
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView folderView = slash <= 0 ? QStringView(u"/") : QStringView(path).left(slash);
    for (const auto& [folder, scope] : m_recentFolders) {
        if (!folder.isEmpty() && folder == folderView)
            return scope;
    }
    const QString folder = folderView.toString();
    if (const auto found = m_byFolder.constFind(folder); found != m_byFolder.constEnd()) {
        remember(folder, *found);
        return *found;
    }
    std::optional<hb::URL> scope = HBURL::shared().bookmarkedURL(item);
    if (scope && scope->contains(hb::URL::fileURLWithPath(folder, true))) {
        m_byFolder.insert(folder, *scope);
        remember(folder, *scope);
    } else {
        m_byItem.insert(path, scope);
    }
    return scope;
}

void ShiftScopes::remember(const QString& folder, const hb::URL& scope)
{
    m_recentFolders[m_nextRecent] = {folder, scope};
    m_nextRecent = (m_nextRecent + 1) % std::size(m_recentFolders);
}

bool ShiftScopes::open(const std::optional<hb::URL>& scope)
{
    if (!scope)
        return false;
    if (!m_lastOpened.first.isEmpty() && m_lastOpened.first == scope->path())
        return m_lastOpened.second;
    if (const auto found = m_opened.constFind(scope->path()); found != m_opened.constEnd()) {
        m_lastOpened = {scope->path(), *found};
        return *found;
    }
    const bool started = hb::startAccessingSecurityScopedResource(*scope);
    if (started)
        m_toClose.push_back(*scope);
    else
        hb::stopAccessingSecurityScopedResource(*scope);
    m_opened.insert(scope->path(), started);
    m_lastOpened = {scope->path(), started};
    return started;
}

void ShiftScopes::close()
{
    for (auto scope = m_toClose.rbegin(); scope != m_toClose.rend(); ++scope)
        hb::stopAccessingSecurityScopedResource(*scope);
    m_toClose.clear();
    m_opened.clear();
    m_trashKeeps.clear();
    m_byItem.clear();
    m_byFolder.clear();
    m_volumes.clear();
    m_chains.clear();
    m_identities.clear();
    for (auto& recent : m_recentFolders)
        recent = {};
    m_lastOpened = {};
    m_lastVolume = {};
    m_lastIdentity = {};
}

const QList<hb::ItemIdentity>& ShiftScopes::chainOf(const hb::URL& folder)
{
    auto found = m_chains.find(folder.path());
    if (found == m_chains.end())
        found = m_chains.insert(folder.path(), hb::ItemIdentity::chain(folder, true));
    return *found;
}

std::optional<hb::ItemIdentity> ShiftScopes::identityOf(const hb::URL& folder)
{
    if (m_lastIdentity.first == folder.path() && !m_lastIdentity.first.isEmpty())
        return m_lastIdentity.second;
    auto found = m_identities.constFind(folder.path());
    if (found == m_identities.constEnd())
        found = m_identities.insert(folder.path(), hb::ItemIdentity::of(folder, true));
    m_lastIdentity = {folder.path(), *found};
    return *found;
}

QVariant ShiftScopes::volumeOf(const hb::URL& folder)
{
    if (!m_lastVolume.first.isEmpty() && m_lastVolume.first == folder.path())
        return m_lastVolume.second;
    if (const auto found = m_volumes.constFind(folder.path()); found != m_volumes.constEnd()) {
        m_lastVolume = {folder.path(), *found};
        return *found;
    }
    const QVariant volume = hb::resourceValue(folder, hb::NSURLVolumeIdentifierKey).value_or(QVariant());
    if (volume.isValid()) {
        m_volumes.insert(folder.path(), volume);
        m_lastVolume = {folder.path(), volume};
    }
    return volume;
}

bool ShiftScopes::trashKeepsItemsOf(const hb::URL& folder)
{
    auto found = m_trashKeeps.constFind(folder.path());
    if (found == m_trashKeeps.constEnd())
        found = m_trashKeeps.insert(folder.path(), hb::Trash::canKeepItemsIn(folder.path()));
    return *found;
}
