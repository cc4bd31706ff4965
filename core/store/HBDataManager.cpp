#include "core/store/HBDataManager.h"

#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "core/ui/HBUIDelegate.h"
#include "platform/base/Bundle.h"
#include "platform/base/Locations.h"
#include "platform/base/Log.h"
#include "platform/base/MainQueue.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/ResourceValues.h"

#include <QPointer>
#include <QSet>
#include <QUrl>

using namespace HBLocationEntryKey;

namespace {

const QStringList homeFolderIcons = {QStringLiteral("Desktop"), QStringLiteral("Documents"), QStringLiteral("Music"),
                                     QStringLiteral("Pictures"), QStringLiteral("Movies")};

bool bundleHasImage(const QString& name)
{
    if (name.isEmpty())
        return false;
    return !hb::Bundle::resourcePath(QStringLiteral("images/%1.png").arg(name)).isEmpty()
           || !hb::Bundle::resourcePath(QStringLiteral("images/%1.svg").arg(name)).isEmpty();
}

hb::URL folderURL(const QString& path)
{
    return hb::URL::fileURLWithPath(path, true);
}

// Runs `body` inside the scope of the item's bookmark (its own or an ancestor's), when there is one.
template <typename Body>
auto withBookmarkScope(const hb::URL& url, Body body)
{
    const std::optional<hb::URL> scoped = HBURL::shared().bookmarkedURL(url);
    if (scoped)
        hb::startAccessingSecurityScopedResource(*scoped);
    auto result = body();
    if (scoped)
        hb::stopAccessingSecurityScopedResource(*scoped);
    return result;
}

// The file identity; read inside the item's bookmark scope when the process has no access of its own.
std::optional<QString> fileIdentifier(const hb::URL& url)
{
    auto read = [&]() -> std::optional<QString> {
        const auto value = hb::resourceValue(url, hb::NSURLFileResourceIdentifierKey);
        if (!value || !value->isValid())
            return std::nullopt;
        return value->toString();
    };
    if (auto identifier = read())
        return identifier;
    return withBookmarkScope(url, read);
}

std::optional<hb::URL> urlFromUserInfo(const QVariant& value)
{
    if (value.typeId() == qMetaTypeId<hb::URL>())
        return value.value<hb::URL>();
    if (value.typeId() == QMetaType::QUrl) {
        const hb::URL url = hb::URL::fromQUrl(value.toUrl());
        return url.isEmpty() ? std::nullopt : std::optional(url);
    }
    if (value.typeId() == QMetaType::QString && value.toString().startsWith(u'/'))
        return hb::URL::fileURLWithPath(value.toString());
    return std::nullopt;
}

std::optional<HBLocationList> defaultFolderList()
{
    const QVariant value = hb::Bundle::objectForInfoDictionaryKey(QStringLiteral("DefaultFolderlist"));
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    HBLocationList list;
    for (const QVariant& item : value.toList()) {
        const auto entry = HBLocationEntries::fromVariant(item);
        if (!entry)
            return std::nullopt;
        list << *entry;
    }
    return list;
}

}  // namespace

HBDataManager::HBDataManager(QObject* parent) : QObject(parent)
{
    m_defaultData = defaultFolderList();
    m_dropLocations = loadStoredLocations();
    hb::NotificationCenter::defaultCenter().addObserver(
        this, permissionGrantedNotification, nullptr,
        [this](const hb::Notification& notification) { permissionChanged(notification); });
}

HBDataManager::~HBDataManager()
{
    hb::NotificationCenter::defaultCenter().removeObserver(this, permissionGrantedNotification);
}

void HBDataManager::setDropLocations(const HBLocationList& locations)
{
    m_dropLocations = locations;
    emit dropLocationsChanged();
}

HBLocationList HBDataManager::loadStoredLocations()
{
    hb::UserDefaults* suite = hb::UserDefaults::suite(locationsSuiteName);
    if (!suite)
        return {};
    const QVariant stored = suite->object(sharedDataKey);
    if (!stored.isValid())
        return {};
    if (stored.typeId() != QMetaType::QVariantList) {
        // Kept aside, not overwritten by the next write of the list.
        qCWarning(hbLog) << "the stored destination list is not a list; kept as" << sharedDataKey + ".unreadable";
        suite->setObject(sharedDataKey + QStringLiteral(".unreadable"), stored);
        return {};
    }
    // Whatever is readable survives a damaged entry; the pseudo entry is put first. What cannot be read
    // is written back as it was, where it was.
    std::optional<HBLocationEntry> pseudo;
    HBLocationList folders;
    m_kept.clear();
    for (const QVariant& item : stored.toList()) {
        const auto entry = HBLocationEntries::fromVariant(item);
        if (!entry) {
            qCWarning(hbLog) << "a destination entry that cannot be read is kept as it is, not shown:" << item;
            m_kept.append({folders.isEmpty() ? QString() : folders.last().value(path), item, false});
        } else if (!HBLocationEntries::isPseudoEntry(*entry)) {
            folders << *entry;
        } else if (!pseudo) {
            pseudo = entry;
        }
    }
    if (folders.isEmpty() && !pseudo)
        return {};
    folders.prepend(pseudo.value_or(HBLocationEntries::pseudoEntry(true)));
    return folders;
}

QVariantList HBDataManager::storedList() const
{
    QVariantList list;
    QSet<QString> tiles;
    for (const HBLocationEntry& tile : m_dropLocations) {
        list << HBLocationEntries::toVariantList({tile}).first();
        tiles << tile.value(path);
        for (const KeptEntry& kept : m_kept) {
            if (kept.after == tile.value(path))
                list << kept.stored;
        }
    }
    // Those whose tile went by another way than this store's own revalidation.
    for (const KeptEntry& kept : m_kept) {
        if (!tiles.contains(kept.after))
            list << kept.stored;
    }
    return list;
}

qsizetype HBDataManager::endOfFollowers(const QString& tile) const
{
    for (qsizetype at = m_kept.size() - 1; at >= 0; --at) {
        if (m_kept[at].after == tile)
            return at + 1;
    }
    return m_kept.size();
}

QList<HBDataManager::KeptEntry> HBDataManager::takeFollowers(const QString& tile)
{
    QList<KeptEntry> followers;
    for (qsizetype at = m_kept.size() - 1; at >= 0; --at) {
        if (m_kept[at].after == tile)
            followers.prepend(m_kept.takeAt(at));
    }
    return followers;
}

void HBDataManager::dropTile(HBLocationList& list, qsizetype index, bool keepIt)
{
    const QString before = index > 0 ? list[index - 1].value(path) : QString();
    QList<KeptEntry> entries = takeFollowers(list[index].value(path));
    if (keepIt)
        entries.prepend({before, HBLocationEntries::toVariantList({list[index]}).first(), true});
    qsizetype position = endOfFollowers(before);
    for (KeptEntry& kept : entries) {
        kept.after = before;
        m_kept.insert(position++, kept);
    }
    list.removeAt(index);
}

void HBDataManager::bringBackReturned(HBLocationList& list)
{
    for (qsizetype at = 0; at < m_kept.size();) {
        const KeptEntry kept = m_kept[at];
        const std::optional<HBLocationEntry> entry = kept.onAbsentVolume ? HBLocationEntries::fromVariant(kept.stored)
                                                                         : std::nullopt;
        const hb::URL url = entry ? folderURL(entry->value(path)) : hb::URL();
        const std::optional<QByteArray> data = entry ? HBURL::shared().bookmark(url, false) : std::nullopt;
        if (!data || !HBURL::shared().resolveStoredBookmark(*data, url)) {
            // Its volume is back and it is not on it: gone while the volume was away.
            if (data && !HBURL::shared().isOnAbsentVolume(*data))
                m_kept.removeAt(at);
            else
                ++at;
            continue;
        }
        m_kept.removeAt(at);
        // Right behind the tile it followed; those kept after it follow it again.
        qsizetype tile = list.size();
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (list[i].value(path) == kept.after) {
                tile = i + 1;
                break;
            }
        }
        list.insert(tile, *entry);
        QList<KeptEntry> following;
        for (qsizetype later = m_kept.size() - 1; later >= at; --later) {
            if (m_kept[later].after == kept.after) {
                following.prepend(m_kept.takeAt(later));
            }
        }
        for (KeptEntry& next : following) {
            next.after = entry->value(path);
            m_kept.insert(at++, next);
        }
        at = 0;  // what follows it may have come back with it
    }
}

void HBDataManager::fillDefaultData()
{
    if (m_dropLocations.isEmpty())
        addLocations({HBLocationEntries::pseudoEntry(true)});
}

void HBDataManager::syncData()
{
    hb::UserDefaults* suite = hb::UserDefaults::suite(locationsSuiteName);
    if (!suite)
        return;
    suite->setObject(sharedDataKey, storedList());
    suite->synchronize();
}

HBDataManager::AddOutcome HBDataManager::addLocation(const std::optional<hb::URL>& url,
                                                     const std::optional<QString>& imageName)
{
    if (!url || url->isEmpty())
        return AddOutcome::none;
    if (!HBURL::shared().isWritable(*url)) {
        hb::MainQueue::async([store = QPointer(this), url = *url] {
            if (store)
                store->showNoWriteAccessAlert(url);
        });
        return AddOutcome::notWritable;
    }
    if (!HBURL::shared().isReadable(*url)) {
        hb::MainQueue::async([store = QPointer(this), url = *url] {
            if (store)
                store->showNoReadAccessAlert(url);
        });
        return AddOutcome::notReadable;
    }
    HBLocationEntry entry = HBLocationEntries::folderEntry(url->path());
    if (imageName) {
        entry[icon] = *imageName;
    } else if (HBURL::shared().isVolume(*url)) {
        entry[icon] = QStringLiteral("drive");
    } else {
        const QString home = hb::Locations::userDatabaseHome();
        const QString name = url->lastPathComponent();
        if (!home.isEmpty() && homeFolderIcons.contains(name)
            && url->path() == hb::URL::normalisedPath(home) + u'/' + name)
            entry[icon] = name;
    }
    addLocations({entry});
    // The newest entry stands right after the pseudo entry.
    return m_dropLocations.value(1).value(permissionStatus) == QLatin1String("true") ? AddOutcome::added
                                                                                     : AddOutcome::addedWithoutAccess;
}

void HBDataManager::addLocations(const HBLocationList& entries)
{
    HBLocationList list = m_dropLocations;
    for (HBLocationEntry entry : entries) {
        if (HBLocationEntries::isPseudoEntry(entry)) {
            if (!list.isEmpty() && HBLocationEntries::isPseudoEntry(list.first()))
                list.first() = entry;
            else
                list.prepend(entry);
            continue;
        }
        const hb::URL url = folderURL(entry.value(path));
        const bool stored = withBookmarkScope(url, [&] { return HBURL::shared().bookmark(url, false).has_value(); });
        entry[permissionStatus] = stored ? QStringLiteral("true") : QStringLiteral("false");
        if (!stored)
            markEntryNeedsPermission(entry);
        if (list.isEmpty() || !HBLocationEntries::isPseudoEntry(list.first()))
            list.prepend(HBLocationEntries::pseudoEntry(true));
        list.insert(1, entry);
    }
    setDropLocations(list);
    syncData();
}

void HBDataManager::addToLocationWithURLAndImage(const hb::URL& url, const std::optional<QString>& imageName,
                                                 bool suppressMessage)
{
    if (!doesLocationExist(url))
        addLocation(url, imageName);
    else if (!suppressMessage)
        hb::MainQueue::async([store = QPointer(this), url] {
            if (store)
                store->showAlreadyPresentAlert(url);
        });
    syncData();
}

bool HBDataManager::doesLocationExist(const hb::URL& url)
{
    if (m_dropLocations.isEmpty())
        return false;
    const std::optional<QString> identifier = fileIdentifier(url);
    if (!identifier)
        return false;
    for (const HBLocationEntry& entry : m_dropLocations) {
        if (HBLocationEntries::isPseudoEntry(entry))
            continue;
        if (fileIdentifier(folderURL(entry.value(path))) == identifier)
            return true;
    }
    return false;
}

void HBDataManager::updateData()
{
    HBLocationList list = m_dropLocations;
    const qsizetype keptBefore = m_kept.size();
    bringBackReturned(list);
    bool changed = m_kept.size() != keptBefore;
    for (qsizetype index = list.size() - 1; index >= 0; --index) {
        HBLocationEntry& entry = list[index];
        if (HBLocationEntries::isPseudoEntry(entry))
            continue;
        const hb::URL url = folderURL(entry.value(path));
        const std::optional<QByteArray> data = HBURL::shared().bookmark(url, false);
        const std::optional<hb::URL> resolved = data ? HBURL::shared().resolveStoredBookmark(*data, url) : std::nullopt;
        if (!resolved && data && HBURL::shared().isOnAbsentVolume(*data)) {
            dropTile(list, index, true);
            changed = true;
        } else if (!resolved) {
            dropTile(list, index, false);
            changed = true;
        } else if (resolved->path() != entry.value(path)) {
            entry[path] = resolved->path();
            entry[name] = resolved->lastPathComponent();
            changed = true;
        }
    }
    if (changed)
        setDropLocations(list);
    syncData();
}

void HBDataManager::moveItem(qsizetype fromIndex, qsizetype toIndex)
{
    const qsizetype count = m_dropLocations.size();
    if (fromIndex < 1 || fromIndex >= count || toIndex < 1 || toIndex >= count || fromIndex == toIndex)
        return;
    HBLocationList list = m_dropLocations;
    list.move(fromIndex, toIndex);
    setDropLocations(list);
}

void HBDataManager::removeFromLocation(qsizetype index)
{
    if (index < 1 || index >= m_dropLocations.size())
        return;
    HBLocationList list = m_dropLocations;
    list.removeAt(index);
    setDropLocations(list);
    syncData();
}

void HBDataManager::permissionChanged(const hb::Notification& notification)
{
    const std::optional<hb::URL> url = urlFromUserInfo(notification.userInfo.value(urlUserInfoKey));
    if (!url)
        return;
    for (qsizetype index = 0; index < m_dropLocations.size(); ++index) {
        if (HBLocationEntries::isPseudoEntry(m_dropLocations[index])
            || m_dropLocations[index].value(path) != url->path())
            continue;
        HBLocationList list = m_dropLocations;
        refreshLocation(list[index]);
        if (list[index] != m_dropLocations[index])
            setDropLocations(list);
        return;
    }
}

void HBDataManager::refreshLocation(HBLocationEntry& entry)
{
    const hb::URL url = folderURL(entry.value(path));
    const bool stored = withBookmarkScope(url, [&] { return HBURL::shared().bookmark(url, false).has_value(); });
    if (!stored)
        return;
    const QString folderName = url.lastPathComponent();
    entry[permissionStatus] = QStringLiteral("true");
    entry[name] = folderName;
    entry[icon] = bundleHasImage(folderName) ? folderName : QStringLiteral("folder");
}

void HBDataManager::markEntryNeedsPermission(HBLocationEntry& entry)
{
    const QString oldName = entry.value(name);
    entry[name] = QStringLiteral("Add ") + oldName;
    const QString altIcon = QStringLiteral("Alt") + oldName;
    entry[icon] = bundleHasImage(altIcon) ? altIcon : QStringLiteral("AltGenericIcon");
}

void HBDataManager::setFirstItem(bool addFolder)
{
    if (m_dropLocations.isEmpty())
        return;
    const HBLocationEntry wanted = HBLocationEntries::pseudoEntry(addFolder);
    if (m_dropLocations.first().value(name) == wanted.value(name))
        return;
    HBLocationList list = m_dropLocations;
    list.first()[name] = wanted.value(name);
    list.first()[icon] = wanted.value(icon);
    setDropLocations(list);
}

void HBDataManager::dangerousCleanAll()
{
    hb::UserDefaults* suite = hb::UserDefaults::suite(locationsSuiteName);
    if (!suite)
        return;
    suite->removeObject(sharedDataKey);
    suite->synchronize();
}

void HBDataManager::showAlert(const QString& messageText, const QString& informativeText) const
{
    if (m_uiDelegate)
        m_uiDelegate->runAlert({messageText, informativeText, {}});
}

void HBDataManager::showNoWriteAccessAlert(const hb::URL& url) const
{
    showAlert(QStringLiteral("Folder \"%1\" does not have write access").arg(url.lastPathComponent()),
              QStringLiteral(" Folder added has no permission to write. Go to the file manager -> Properties -> "
                             "Permissions and change the permission "));
}

void HBDataManager::showNoReadAccessAlert(const hb::URL& url) const
{
    showAlert(QStringLiteral("Folder %1 does not have read access").arg(url.lastPathComponent()),
              QStringLiteral(" Folder added has no permission to read. Go to the file manager -> Properties -> "
                             "Permissions and change the permission "));
}

void HBDataManager::showAlreadyPresentAlert(const hb::URL& url) const
{
    showAlert(QStringLiteral("\"%1 \" already present in Harbrill").arg(url.lastPathComponent()),
              QStringLiteral("The folder you have selected to add is already present in Harbrill"));
}
