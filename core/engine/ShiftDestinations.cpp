#include "core/engine/ShiftDestinations.h"

#include <algorithm>

ShiftDestinations ShiftDestinations::intoFolder(const hb::URL& folder)
{
    ShiftDestinations destinations;
    destinations.m_folder = folder;
    return destinations;
}

ShiftDestinations ShiftDestinations::each(const QList<hb::URL>& urls)
{
    ShiftDestinations destinations;
    destinations.m_each = urls;
    // Items put back after an undo usually all came from one folder: it is then worked out once.
    if (!urls.isEmpty()) {
        const hb::URL folder = urls.first().deletingLastPathComponent();
        const QString& prefix = folder.path() == QStringLiteral("/") ? QString() : folder.path();
        const bool shared = std::all_of(urls.begin(), urls.end(), [&](const hb::URL& url) {
            const QString& path = url.path();
            return path.size() > prefix.size() + 1 && path.startsWith(prefix) && path[prefix.size()] == u'/'
                   && path.indexOf(u'/', prefix.size() + 1) < 0;
        });
        if (shared)
            destinations.m_folder = folder;
    }
    return destinations;
}

hb::URL ShiftDestinations::at(qsizetype index, const hb::URL& source) const
{
    if (!m_renamed.isEmpty()) {
        if (const auto renamed = m_renamed.constFind(index); renamed != m_renamed.constEnd())
            return *renamed;
    }
    if (!m_each.isEmpty())
        return m_each.at(index);
    return m_folder.appendingPathComponent(source.lastPathComponent());
}

hb::URL ShiftDestinations::folderAt(qsizetype index) const
{
    // A " Copy" name stays in the folder of the name it replaces.
    if (m_folder.isEmpty())
        return m_each.at(index).deletingLastPathComponent();
    return m_folder;
}

void ShiftDestinations::rename(qsizetype index, const hb::URL& destination)
{
    m_renamed.insert(index, destination);
}
