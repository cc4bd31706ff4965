#include "core/store/HBLocationEntry.h"

#include "platform/base/URL.h"

namespace HBLocationEntries {

using namespace HBLocationEntryKey;

HBLocationEntry pseudoEntry(bool addFolder)
{
    return {{name, addFolder ? QStringLiteral("Add Folder") : QStringLiteral("Choose Folder")},
            {path, QString()},
            {rule, QStringLiteral("None")},
            {icon, addFolder ? QStringLiteral("addfolder") : QStringLiteral("choosefolder")},
            {permissionStatus, QStringLiteral("true")}};
}

bool isPseudoEntry(const HBLocationEntry& entry)
{
    return entry.value(path).isEmpty();
}

HBLocationEntry folderEntry(const QString& folderPath)
{
    return {{name, hb::URL::fileURLWithPath(folderPath).lastPathComponent()},
            {path, folderPath},
            {rule, QStringLiteral("None")},
            {icon, QStringLiteral("folder")},
            {permissionStatus, QStringLiteral("true")}};
}

QVariantList toVariantList(const HBLocationList& entries)
{
    QVariantList list;
    list.reserve(entries.size());
    for (const HBLocationEntry& entry : entries) {
        QVariantMap map;
        for (auto it = entry.cbegin(); it != entry.cend(); ++it)
            map.insert(it.key(), it.value());
        list << map;
    }
    return list;
}

std::optional<HBLocationEntry> fromVariant(const QVariant& value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = value.toMap();
    HBLocationEntry entry;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.value().typeId() != QMetaType::QString)
            return std::nullopt;
        entry.insert(it.key(), it.value().toString());
    }
    if (!entry.contains(path) || !entry.contains(name))
        return std::nullopt;
    // Read from a file: a folder named by a relative path would be looked for wherever the program runs.
    const QString folderPath = entry.value(path);
    if (!folderPath.isEmpty() && !folderPath.startsWith(u'/'))
        return std::nullopt;
    return entry;
}

}  // namespace HBLocationEntries
