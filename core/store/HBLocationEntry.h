#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <optional>

// One destination of the grid: "Name", "Path", "Rule", "Icon" and "permissionStatus", all strings.
// The pseudo entry (the add/choose-folder tile, always first) is the one with an empty "Path".
using HBLocationEntry = QMap<QString, QString>;
using HBLocationList = QList<HBLocationEntry>;

namespace HBLocationEntryKey {
inline const QString name = QStringLiteral("Name");
inline const QString path = QStringLiteral("Path");
inline const QString rule = QStringLiteral("Rule");
inline const QString icon = QStringLiteral("Icon");
inline const QString permissionStatus = QStringLiteral("permissionStatus");
}  // namespace HBLocationEntryKey

namespace HBLocationEntries {
// "Add Folder"/"addfolder" when `addFolder`, else "Choose Folder"/"choosefolder".
HBLocationEntry pseudoEntry(bool addFolder = true);
bool isPseudoEntry(const HBLocationEntry& entry);
// A usable folder entry: "Name" its last path component, icon "folder", permission "true".
HBLocationEntry folderEntry(const QString& path);

// The stored form: an array of dictionaries of strings.
QVariantList toVariantList(const HBLocationList& entries);
// An entry from its stored form; none unless it is a dictionary of strings with "Name" and a "Path"
// that is empty (the pseudo entry) or absolute.
std::optional<HBLocationEntry> fromVariant(const QVariant& value);
}  // namespace HBLocationEntries
