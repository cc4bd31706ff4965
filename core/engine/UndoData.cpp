#include "core/engine/UndoData.h"

#include "core/store/HBURL.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/FileManager.h"
#include "platform/files/ResourceValues.h"

#include <QHash>

#include <sys/stat.h>

#include <algorithm>

namespace {

// Nanosecond times are not among the resource values; the fingerprint needs them, since a copy
// changed within the same second must not look unchanged.
struct StatusTimes {
    std::uint64_t size;
    bool isFile;
    bool isDirectory;
    std::int64_t modificationNs;
};

std::optional<StatusTimes> statusTimes(const QString& path)
{
    struct stat status {};
    if (::lstat(path.toLocal8Bit().constData(), &status) != 0)
        return std::nullopt;
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return StatusTimes{static_cast<std::uint64_t>(status.st_size), S_ISREG(status.st_mode), S_ISDIR(status.st_mode),
                       nanoseconds(status.st_mtim)};
}

}  // namespace

std::optional<ItemFingerprint> ItemFingerprint::of(const hb::URL& url)
{
    if (!hb::AccessRegistry::hasReadAccess(url.path(), false))
        return std::nullopt;
    const std::optional<StatusTimes> root = statusTimes(url.path());
    if (!root)
        return std::nullopt;
    ItemFingerprint fingerprint{root->isFile ? root->size : 0, 1, root->modificationNs};
    if (!root->isDirectory)
        return fingerprint;
    // The walker reads each entry from its open folder by its real name: a name that is not valid
    // text has no path of its own to read it by.
    static const QStringList keys{hb::NSURLIsRegularFileKey, hb::NSURLTotalFileSizeKey,
                                  hb::HBURLContentModificationNanosecondsKey};
    bool readable = true;
    hb::FileManager::defaultManager().enumerate(url, keys, 0, [&](const hb::EnumeratedItem& item) {
        if (item.statusError != 0) {
            readable = false;
            return false;
        }
        if (item.values.value(hb::NSURLIsRegularFileKey).toBool())
            fingerprint.size += item.values.value(hb::NSURLTotalFileSizeKey).toULongLong();
        fingerprint.entries += 1;
        fingerprint.latestModificationNs = std::max<std::int64_t>(
            fingerprint.latestModificationNs, item.values.value(hb::HBURLContentModificationNanosecondsKey).toLongLong());
        return true;
    });
    if (!readable)
        return std::nullopt;
    return fingerprint;
}

UndoData::UndoData(const QList<ShiftedItem>& items, Action type) : m_items(items), m_type(type)
{
    HBURL& store = HBURL::shared();
    // Every scope is looked up before any is opened (inside an open scope a lookup would store a
    // bookmark of each item), then each is opened once for all the items it covers.
    const QList<std::optional<hb::URL>> scopes = store.bookmarkedURLs(destinationsOf(m_items));
    QList<std::pair<hb::URL, QList<qsizetype>>> groups;
    QHash<QString, qsizetype> groupOfScope;
    for (qsizetype i = 0; i < scopes.size(); ++i) {
        if (!scopes[i])
            continue;
        auto group = groupOfScope.constFind(scopes[i]->path());
        if (group == groupOfScope.constEnd()) {
            group = groupOfScope.insert(scopes[i]->path(), groups.size());
            groups.append({*scopes[i], {}});
        }
        groups[*group].second.append(i);
    }
    hb::Bookmark::Maker maker;
    for (const auto& [scope, members] : groups) {
        if (hb::startAccessingSecurityScopedResource(scope)) {
            for (const qsizetype i : members) {
                const hb::URL& destination = m_items[i].destination;
                const std::optional<QVariant> readable = hb::resourceValue(destination, hb::NSURLIsReadableKey);
                if (!readable || !readable->toBool())
                    continue;
                if (const auto data = store.scopedBookmarkDataInOpenScope(destination, maker))
                    m_bookmarks.insert(destination.path(), *data);
            }
        }
        hb::stopAccessingSecurityScopedResource(scope);
    }
}

QList<hb::URL> sourcesOf(const QList<ShiftedItem>& items)
{
    QList<hb::URL> urls;
    urls.reserve(items.size());
    for (const ShiftedItem& item : items)
        urls << item.source;
    return urls;
}

QList<hb::URL> destinationsOf(const QList<ShiftedItem>& items)
{
    QList<hb::URL> urls;
    urls.reserve(items.size());
    for (const ShiftedItem& item : items)
        urls << item.destination;
    return urls;
}
