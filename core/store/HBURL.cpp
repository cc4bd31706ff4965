#include "core/store/HBURL.h"

#include "platform/base/Log.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/Bookmark.h"
#include "platform/files/FileManager.h"
#include "platform/files/ResourceValues.h"

#include <QHash>

namespace {

// A refresh that keeps finding the item moved again (it is being renamed meanwhile) gives up.
constexpr int kMaxRefreshes = 8;

// The values every bookmark of the store carries.
const QStringList& bookmarkKeys()
{
    static const QStringList keys{hb::NSURLTotalFileSizeKey};
    return keys;
}

std::optional<QByteArray> makeBookmark(const hb::URL& url, hb::Bookmark::Maker& maker)
{
    return maker.create(url, hb::NSURLBookmarkCreationWithSecurityScope, bookmarkKeys());
}

std::optional<QByteArray> makeBookmark(const hb::URL& url)
{
    hb::Bookmark::Maker maker;
    return makeBookmark(url, maker);
}

std::optional<QByteArray> storedBookmark(const QString& path)
{
    const QByteArray data = hb::UserDefaults::standard().dataForKey(path);
    if (data.isEmpty())
        return std::nullopt;
    return data;
}

// Writes that would change nothing are skipped, so resolving an unchanged entry costs no file write.
void storeBookmark(const QString& path, const QByteArray& data)
{
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    if (defaults.object(path) == QVariant(data))
        return;
    defaults.setObject(path, data);
    defaults.synchronize();
}

void removeBookmark(const QString& path)
{
    hb::UserDefaults& defaults = hb::UserDefaults::standard();
    if (!defaults.object(path).isValid())
        return;
    defaults.removeObject(path);
    defaults.synchronize();
}

// Runs `work` while the scope of `scoped` is open; the scope is closed on every path.
template <typename Work>
auto withAccess(const hb::URL& scoped, Work work)
{
    const bool started = hb::startAccessingSecurityScopedResource(scoped);
    auto result = work(started);
    hb::stopAccessingSecurityScopedResource(scoped);
    return result;
}

}  // namespace

HBURL& HBURL::shared()
{
    static HBURL instance;
    return instance;
}

std::optional<QByteArray> HBURL::bookmark(const hb::URL& url, bool renew)
{
    std::lock_guard lock(m_lock);
    const QString& key = url.path();
    if (!renew) {
        if (auto data = storedBookmark(key))
            return data;
    } else {
        removeBookmark(key);
        hb::startAccessingSecurityScopedResource(url);
    }
    const auto data = makeBookmark(url);
    if (data)
        storeBookmark(key, *data);
    if (renew)
        hb::stopAccessingSecurityScopedResource(url);
    return data;
}

std::pair<std::optional<hb::URL>, bool> HBURL::resolveBookmark(const QByteArray& data)
{
    bool stale = false;
    const auto url = hb::Bookmark::resolve(data, hb::NSURLBookmarkResolutionWithSecurityScope, &stale);
    if (!url || !stale)
        return {url, stale};
    const auto values = hb::Bookmark::resourceValues(data, {hb::NSURLVolumeIsInternalKey});
    if (!values || values->value(hb::NSURLVolumeIsInternalKey).toBool())
        return {url, true};
    return {std::nullopt, true};
}

bool HBURL::isOnAbsentVolume(const QByteArray& data) const
{
    return hb::Bookmark::isOnAbsentVolume(data);
}

std::optional<hb::URL> HBURL::resolveStoredBookmark(const QByteArray& data, const hb::URL& storedFor)
{
    std::lock_guard lock(m_lock);
    // After a refresh the fresh data is what gets stored under the new path: storing the stale data
    // again would make every later lookup through a renamed ancestor refresh (and write) once more.
    QByteArray current = data;
    auto [url, stale] = resolveBookmark(current);
    for (int refreshes = 0; stale; ++refreshes) {
        if (!url || refreshes == kMaxRefreshes)
            return std::nullopt;
        removeBookmark(storedFor.path());
        const auto fresh = bookmark(*url, true);
        if (!fresh)
            return std::nullopt;
        current = *fresh;
        std::tie(url, stale) = resolveBookmark(current);
    }
    if (!url)
        return std::nullopt;
    if (url->path() != storedFor.path()) {
        removeBookmark(storedFor.path());
        storeBookmark(url->path(), current);
    }
    return url;
}

std::optional<hb::URL> HBURL::bookmarkedURL(const hb::URL& url)
{
    std::lock_guard lock(m_lock);
    if (url.isEmpty())
        return std::nullopt;
    if (const auto data = storedBookmark(url.path()))
        return resolveStoredBookmark(*data, url);
    // A folder above that is bookmarked already covers the item, and no entry is made for the item
    // itself: thousands of files handed over from a granted folder would otherwise each write the
    // settings anew (and stay in them for good).
    if (const auto covering = storedAncestorURL(url))
        return *covering;
    if (const auto data = bookmark(url, false))
        return resolveStoredBookmark(*data, url);
    if (url.path() == QLatin1String("/"))
        return std::nullopt;
    // The root, made when the process has access to it.
    const auto root = bookmark(hb::URL::fileURLWithPath(QStringLiteral("/"), true), false);
    return root ? resolveStoredBookmark(*root, url) : std::nullopt;
}

std::optional<std::optional<hb::URL>> HBURL::storedAncestorURL(const hb::URL& url)
{
    if (url.path() == QLatin1String("/"))
        return std::nullopt;
    for (QString parent = hb::Path::parent(url.path());; parent = hb::Path::parent(parent)) {
        if (const auto data = storedBookmark(parent))
            return resolveStoredBookmark(*data, url);
        if (parent == QLatin1String("/"))
            return std::nullopt;
    }
}

QList<std::optional<hb::URL>> HBURL::bookmarkedURLs(const QList<hb::URL>& urls)
{
    std::lock_guard lock(m_lock);
    // The walk up from a folder is made once for the items of that folder without entries of their own.
    QHash<QString, std::optional<std::optional<hb::URL>>> byFolder;
    QList<std::optional<hb::URL>> scopes;
    scopes.reserve(urls.size());
    for (const hb::URL& url : urls) {
        const QString& path = url.path();
        if (url.isEmpty() || path == QLatin1String("/") || storedBookmark(path)) {
            byFolder.clear();  // the lookup may store or move entries that a walk would find
            scopes << bookmarkedURL(url);
            continue;
        }
        const QString folder = hb::Path::parent(path);
        auto known = byFolder.constFind(folder);
        if (known == byFolder.constEnd())
            known = byFolder.insert(folder, storedAncestorURL(url));
        if (*known) {
            scopes << **known;
            continue;
        }
        byFolder.clear();
        scopes << bookmarkedURL(url);
    }
    return scopes;
}

bool HBURL::boolResource(const hb::URL& url, const QString& key)
{
    const auto scoped = bookmarkedURL(url);
    if (!scoped)
        return false;
    return withAccess(*scoped, [&](bool started) {
        if (!started)
            return false;
        const auto value = hb::resourceValue(url, key);
        return value && value->isValid() && value->toBool();
    });
}

bool HBURL::isReadable(const hb::URL& url)
{
    return boolResource(url, hb::NSURLIsReadableKey);
}

bool HBURL::isWritable(const hb::URL& url)
{
    return boolResource(url, hb::NSURLIsWritableKey);
}

bool HBURL::isVolume(const hb::URL& url)
{
    return boolResource(url, hb::NSURLIsVolumeKey);
}

qint64 HBURL::directoryContents(const hb::URL& url)
{
    const auto scoped = bookmarkedURL(url);
    if (!scoped)
        return 0;
    return withAccess(*scoped, [&](bool) {
        qint64 count = 0;
        const bool opened = hb::FileManager::defaultManager().enumerate(
            url, {}, hb::NSDirectoryEnumerationSkipsSubdirectoryDescendants, [&](const hb::EnumeratedItem&) {
                ++count;
                return true;
            });
        return opened ? count : qint64(0);
    });
}

std::pair<quint64, qint64> HBURL::directorySize(const hb::URL& url)
{
    const auto scoped = bookmarkedURL(url);
    if (!scoped)
        return {0, 0};
    return withAccess(*scoped, [&](bool) {
        const std::optional<hb::TreeTotals> totals = hb::FileManager::defaultManager().totals(url);
        if (!totals)
            return std::pair<quint64, qint64>{0, 0};
        for (qint64 i = 0; i < totals->unreadable; ++i)
            HBDebug() << "Error in calculating directory size";
        return std::pair{totals->bytes, totals->items};
    });
}

std::optional<QByteArray> HBURL::scopedBookmarkData(const hb::URL& url)
{
    const auto scoped = bookmarkedURL(url);
    if (!scoped)
        return std::nullopt;
    return withAccess(*scoped, [&](bool) { return makeBookmark(url); });
}

std::optional<QByteArray> HBURL::scopedBookmarkDataInOpenScope(const hb::URL& url, hb::Bookmark::Maker& maker)
{
    return maker.createIfReadable(url, hb::NSURLBookmarkCreationWithSecurityScope, bookmarkKeys());
}

std::optional<hb::URL> HBURL::resolveRefreshingBookmark(const QByteArray& data)
{
    std::lock_guard lock(m_lock);
    auto [url, stale] = resolveBookmark(data);
    for (int refreshes = 0; stale; ++refreshes) {
        if (!url || refreshes == kMaxRefreshes)
            return std::nullopt;
        const auto scoped = bookmarkedURL(*url);
        if (!scoped)
            return std::nullopt;
        const auto fresh = withAccess(*scoped, [&](bool) { return makeBookmark(*url); });
        if (!fresh)
            return std::nullopt;
        std::tie(url, stale) = resolveBookmark(*fresh);
    }
    return url;
}
