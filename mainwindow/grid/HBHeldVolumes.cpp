#include "mainwindow/grid/HBHeldVolumes.h"

#include "core/store/HBURL.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/ResourceValues.h"

HBHeldVolumes::HBHeldVolumes(const QList<hb::URL>& items)
{
    QSet<QString> folders;
    for (const hb::URL& item : items) {
        const QString folder = item.deletingLastPathComponent().path();
        if (folders.contains(folder))
            continue;
        folders.insert(folder);
        const QVariant volume = volumeOf(item);
        if (volume.isValid())
            m_volumes.insert(volume.toULongLong());
    }
}

bool HBHeldVolumes::anyOnAnotherVolumeThan(const hb::URL& folder) const
{
    if (m_volumes.isEmpty())
        return false;
    const QVariant volume = volumeOf(folder);
    if (!volume.isValid())
        return false;
    return m_volumes.size() > 1 || !m_volumes.contains(volume.toULongLong());
}

QVariant HBHeldVolumes::volumeOf(const hb::URL& item)
{
    const std::optional<hb::URL> scoped = HBURL::shared().bookmarkedURL(item);
    const bool started = scoped && hb::startAccessingSecurityScopedResource(*scoped);
    const QVariant volume = hb::resourceValue(item, hb::NSURLVolumeIdentifierKey).value_or(QVariant());
    if (started)
        hb::stopAccessingSecurityScopedResource(*scoped);
    return volume;
}
