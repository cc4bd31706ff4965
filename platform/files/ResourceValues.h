#pragma once

#include "platform/base/Error.h"
#include "platform/base/URL.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace hb {

class HeldFolders;

inline const QString NSURLIsDirectoryKey = QStringLiteral("NSURLIsDirectoryKey");
inline const QString NSURLTotalFileSizeKey = QStringLiteral("NSURLTotalFileSizeKey");  // quint64, files only
inline const QString NSURLFileSizeKey = QStringLiteral("NSURLFileSizeKey");
inline const QString NSURLVolumeIdentifierKey = QStringLiteral("NSURLVolumeIdentifierKey");  // quint64 st_dev
inline const QString NSURLFileResourceIdentifierKey = QStringLiteral("NSURLFileResourceIdentifierKey");  // "dev:ino"
inline const QString NSURLIsUserImmutableKey = QStringLiteral("NSURLIsUserImmutableKey");
inline const QString NSURLIsReadableKey = QStringLiteral("NSURLIsReadableKey");
inline const QString NSURLIsWritableKey = QStringLiteral("NSURLIsWritableKey");
inline const QString NSURLIsHiddenKey = QStringLiteral("NSURLIsHiddenKey");
inline const QString NSURLIsSymbolicLinkKey = QStringLiteral("NSURLIsSymbolicLinkKey");
inline const QString NSURLIsRegularFileKey = QStringLiteral("NSURLIsRegularFileKey");
inline const QString NSURLContentModificationDateKey = QStringLiteral("NSURLContentModificationDateKey");  // QDateTime
// The modification time in nanoseconds (qint64): telling a change within one millisecond apart.
inline const QString HBURLContentModificationNanosecondsKey = QStringLiteral("HBURLContentModificationNanosecondsKey");
inline const QString NSURLNameKey = QStringLiteral("NSURLNameKey");
inline const QString NSURLIsVolumeKey = QStringLiteral("NSURLIsVolumeKey");
inline const QString NSURLVolumeURLKey = QStringLiteral("NSURLVolumeURLKey");  // QVariant::fromValue(URL)
inline const QString NSURLVolumeIsInternalKey = QStringLiteral("NSURLVolumeIsInternalKey");
inline const QString NSURLVolumeIsReadOnlyKey = QStringLiteral("NSURLVolumeIsReadOnlyKey");
inline const QString NSURLVolumeIsRemovableKey = QStringLiteral("NSURLVolumeIsRemovableKey");
inline const QString NSURLVolumeIsEjectableKey = QStringLiteral("NSURLVolumeIsEjectableKey");
inline const QString NSURLVolumeIsBrowsableKey = QStringLiteral("NSURLVolumeIsBrowsableKey");
inline const QString NSURLVolumeLocalizedNameKey = QStringLiteral("NSURLVolumeLocalizedNameKey");

// Reads one resource value of the item at `url` (links are not followed). Reading needs access
// (AccessRegistry::hasReadAccess) to the item, except for the volume keys of a mount root.
// A missing item or no access gives none and the platform-style error; a value that does not apply
// (the size of a folder) gives an invalid QVariant and no error.
std::optional<QVariant> resourceValue(const URL& url, const QString& key, Error* error = nullptr);
// Several values from one status read; keys that do not apply are left out of the map.
std::optional<QVariantMap> resourceValues(const URL& url, const QStringList& keys, Error* error = nullptr);
// The same for one of a run of items on one thread, whose folders `folders` resolves once.
std::optional<QVariantMap> resourceValues(const URL& url, const QStringList& keys, HeldFolders& folders,
                                          Error* error = nullptr);

// Whether anything is at the URL (reachable without following a final link).
bool checkResourceIsReachable(const URL& url, Error* error = nullptr);

}  // namespace hb
