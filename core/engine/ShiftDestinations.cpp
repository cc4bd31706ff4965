#include "core/engine/ShiftDestinations.h"

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
    if (!m_each.isEmpty())
        return m_each.at(index).deletingLastPathComponent();
    return m_folder;
}

void ShiftDestinations::rename(qsizetype index, const hb::URL& destination)
{
    m_renamed.insert(index, destination);
}
