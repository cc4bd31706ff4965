#include "core/engine/HBSourceSizing.h"

#include "core/engine/InShares.h"
#include "core/store/HBURL.h"
#include "platform/files/HeldFolders.h"
#include "platform/files/ResourceValues.h"

#include <algorithm>
#include <atomic>
#include <mutex>

SourceTotals HBSourceSizing::measure(const QList<hb::URL>& sources, const ShiftDestinations& destinations, bool copying,
                                     ShiftScopes& scopes, const std::function<bool()>& stopped)
{
    // Every scope is looked up before any is opened; asked again below, they answer from memory.
    for (qsizetype i = 0; i < sources.size(); ++i) {
        scopes.scopeFor(sources[i]);
        if (!copying)
            scopes.scopeFor(destinations.folderAt(i));
    }
    // What the scopes say of each source is asked here, on this thread: they remember answers. A move
    // keeps the volume of each source's destination folder where it can be told; where it cannot, or in
    // a copy, the source counts as copied.
    const std::size_t count = std::size_t(sources.size());
    std::vector<bool> readable(count, false);
    std::vector<QVariant> folderVolume(copying ? 0 : count);
    for (qsizetype i = 0; i < sources.size(); ++i) {
        readable[std::size_t(i)] = scopes.open(scopes.scopeFor(sources[i]));
        const hb::URL folder = destinations.folderAt(i);
        if (readable[std::size_t(i)] && !copying && scopes.open(scopes.scopeFor(folder)))
            folderVolume[std::size_t(i)] = scopes.volumeOf(folder);
    }
    // A move within one volume renames and needs no room: only what will be copied counts for the
    // space check (a copy, or an item that has to be copied to reach its destination).
    const auto willBeCopied = [&](qsizetype i, const QVariantMap& values) {
        if (copying || !folderVolume[std::size_t(i)].isValid())
            return true;
        const QVariant volume = values.value(hb::NSURLVolumeIdentifierKey);
        const QVariant locked = values.value(hb::NSURLIsUserImmutableKey);
        return !volume.isValid() || volume != folderVolume[std::size_t(i)] || !locked.isValid() || locked.toBool();
    };

    SourceTotals totals;
    totals.facts.resize(std::size_t(sources.size()), 0);
    QList<std::pair<hb::URL, bool>> folders;
    std::mutex merging;
    std::atomic<bool> stop{false};
    static const QStringList keys{hb::NSURLIsDirectoryKey, hb::NSURLTotalFileSizeKey, hb::NSURLVolumeIdentifierKey,
                                  hb::NSURLIsUserImmutableKey};
    // Reading each source's status waits on the disk: the sources are shared out among a few threads.
    inShares(sources.size(), 2048, 8, [&](qsizetype from, qsizetype to) {
        hb::HeldFolders held;
        SourceTotals share;
        QList<std::pair<hb::URL, bool>> shareFolders;
        for (qsizetype i = from; i < to; ++i) {
            if (stop.load(std::memory_order_relaxed) || stopped()) {
                stop = true;
                break;
            }
            const std::optional<QVariantMap> values = readable[std::size_t(i)]
                                                          ? hb::resourceValues(sources[i], keys, held)
                                                          : std::nullopt;
            if (!values) {
                share.count += 1;
                continue;
            }
            const bool copied = willBeCopied(i, *values);
            totals.facts[std::size_t(i)] = sourceFactKnown | (copied ? sourceFactCopied : 0);
            if (values->value(hb::NSURLIsDirectoryKey).toBool()) {
                shareFolders.append({sources[i], copied});
                continue;
            }
            const std::uint64_t itemSize = values->value(hb::NSURLTotalFileSizeKey).toULongLong();
            share.size += itemSize;
            if (copied)
                share.sizeToCopy += itemSize;
            share.count += 1;
        }
        std::lock_guard lock(merging);
        totals.size += share.size;
        totals.sizeToCopy += share.sizeToCopy;
        totals.count += share.count;
        folders += shareFolders;
    });
    totals.stopped = stop;
    // The store sizes a folder inside its own scope; ours are closed first.
    scopes.close();
    for (const auto& [folder, copied] : folders) {
        if (totals.stopped || stopped()) {
            totals.stopped = true;
            break;
        }
        const auto [folderSize, folderCount] = HBURL::shared().directorySize(folder);
        totals.size += folderSize;
        if (copied)
            totals.sizeToCopy += folderSize;
        totals.count += static_cast<std::uint64_t>(std::max<qint64>(0, folderCount));
    }
    return totals;
}
