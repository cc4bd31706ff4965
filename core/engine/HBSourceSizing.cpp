#include "core/engine/HBSourceSizing.h"

#include "core/store/HBURL.h"
#include "platform/files/ResourceValues.h"

#include <algorithm>

SourceTotals HBSourceSizing::measure(const QList<hb::URL>& sources, const ShiftDestinations& destinations,
                                     bool copying, ShiftScopes& scopes, const std::function<bool()>& stopped)
{
    // Every scope is looked up before any is opened; asked again below, they answer from memory.
    for (qsizetype i = 0; i < sources.size(); ++i) {
        scopes.scopeFor(sources[i]);
        if (!copying)
            scopes.scopeFor(destinations.folderAt(i));
    }
    // A move within one volume renames and needs no room: only what will be copied counts for the
    // space check (a copy, or an item that has to be copied to reach its destination).
    const auto willBeCopied = [&](qsizetype i, const QVariantMap& values) {
        const hb::URL folder = destinations.folderAt(i);
        if (copying || !scopes.open(scopes.scopeFor(folder)))
            return true;
        const QVariant volume = values.value(hb::NSURLVolumeIdentifierKey);
        const QVariant locked = values.value(hb::NSURLIsUserImmutableKey);
        return !volume.isValid() || volume != scopes.volumeOf(folder) || !locked.isValid() || locked.toBool();
    };

    SourceTotals totals;
    totals.facts.resize(std::size_t(sources.size()), 0);
    QList<std::pair<hb::URL, bool>> folders;
    static const QStringList keys{hb::NSURLIsDirectoryKey, hb::NSURLTotalFileSizeKey, hb::NSURLVolumeIdentifierKey,
                                  hb::NSURLIsUserImmutableKey};
    for (qsizetype i = 0; i < sources.size(); ++i) {
        if (stopped()) {
            totals.stopped = true;
            break;
        }
        const std::optional<QVariantMap> values =
            scopes.open(scopes.scopeFor(sources[i])) ? hb::resourceValues(sources[i], keys) : std::nullopt;
        if (!values) {
            totals.count += 1;
            continue;
        }
        const bool copied = willBeCopied(i, *values);
        totals.facts[std::size_t(i)] = sourceFactKnown | (copied ? sourceFactCopied : 0);
        if (values->value(hb::NSURLIsDirectoryKey).toBool()) {
            folders.append({sources[i], copied});
            continue;
        }
        const std::uint64_t itemSize = values->value(hb::NSURLTotalFileSizeKey).toULongLong();
        totals.size += itemSize;
        if (copied)
            totals.sizeToCopy += itemSize;
        totals.count += 1;
    }
    // The store sizes a folder inside its own scope; ours are closed first.
    scopes.close();
    for (const auto& [folder, copied] : folders) {
        if (stopped()) {
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
