#include "core/engine/ShiftedItems.h"

#include "platform/files/FileManager.h"
#include "platform/files/GrantResolver.h"
#include "platform/files/ResourceValues.h"

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

// Read from the folder found beneath the grant, never by the path again.
std::optional<StatusTimes> statusTimes(const QString& path)
{
    const hb::ResolvedItem item = hb::GrantResolver::item(path, hb::Need::reading);
    struct stat status {};
    if (!item || ::fstatat(item.folder.get(), item.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
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
            fingerprint.latestModificationNs,
            item.values.value(hb::HBURLContentModificationNanosecondsKey).toLongLong());
        return true;
    });
    if (!readable)
        return std::nullopt;
    return fingerprint;
}

static QList<hb::URL> urlsOf(const QList<ShiftedItem>& items, hb::URL ShiftedItem::*member)
{
    QList<hb::URL> urls;
    urls.reserve(items.size());
    for (const ShiftedItem& item : items)
        urls << item.*member;
    return urls;
}

QList<hb::URL> sourcesOf(const QList<ShiftedItem>& items)
{
    return urlsOf(items, &ShiftedItem::source);
}

QList<hb::URL> destinationsOf(const QList<ShiftedItem>& items)
{
    return urlsOf(items, &ShiftedItem::destination);
}

ShiftedItems::ShiftedItems(QList<hb::URL> sources, ShiftDestinations destinations)
    : m_sources(std::move(sources)), m_destinations(std::move(destinations))
{
}

ShiftedItems ShiftedItems::fromList(const QList<ShiftedItem>& items)
{
    ShiftedItems shifted(sourcesOf(items), ShiftDestinations::each(destinationsOf(items)));
    for (qsizetype i = 0; i < items.size(); ++i)
        shifted.append(i, items[i].action, items[i].copyFingerprint, items[i].replaced);
    return shifted;
}

void ShiftedItems::append(qsizetype sourceIndex, Action action, std::optional<ItemFingerprint> fingerprint,
                          std::optional<hb::TrashedItem> replaced)
{
    if (fingerprint)
        m_fingerprints.insert(size(), *fingerprint);
    if (replaced)
        m_replaced.insert(size(), std::move(*replaced));
    m_records.push_back(Record{std::uint32_t(sourceIndex), action});
}

hb::URL ShiftedItems::destination(qsizetype k) const
{
    const std::uint32_t index = m_records[std::size_t(k)].index;
    return m_destinations.at(index, m_sources.at(index));
}

std::optional<ItemFingerprint> ShiftedItems::fingerprint(qsizetype k) const
{
    if (const auto found = m_fingerprints.constFind(k); found != m_fingerprints.constEnd())
        return *found;
    return std::nullopt;
}

std::optional<hb::TrashedItem> ShiftedItems::replaced(qsizetype k) const
{
    if (const auto found = m_replaced.constFind(k); found != m_replaced.constEnd())
        return *found;
    return std::nullopt;
}

ShiftedItem ShiftedItems::at(qsizetype k) const
{
    return ShiftedItem{source(k), destination(k), action(k), fingerprint(k), replaced(k)};
}

QList<ShiftedItem> ShiftedItems::toList() const
{
    QList<ShiftedItem> items;
    items.reserve(size());
    for (qsizetype k = 0; k < size(); ++k)
        items << at(k);
    return items;
}
