#pragma once

#include "platform/base/Error.h"
#include "platform/base/URL.h"

#include <QList>
#include <QString>

#include <optional>

namespace hb {

struct VolumeInfo {
    URL root;
    QString localizedName;  // file-system label, else the mount folder's name; "/" always has one
    bool isInternal = true;
    bool isReadOnly = false;
    bool isRemovable = false;
    bool isEjectable = false;
    bool isBrowsable = true;  // pseudo and system mounts are hidden volumes (not browsable)
    quint64 deviceId = 0;
};

namespace Volumes {
// Mounted volumes from /proc/self/mountinfo, "/" first; with skipHidden, only browsable ones.
QList<VolumeInfo> mountedVolumes(bool skipHidden = true);
// The volume holding `path` (the mount root with the longest matching prefix), hidden ones included.
// A final link counts as lying on the volume of its folder.
std::optional<VolumeInfo> volumeForPath(const QString& path);
// Whether `path` is the root of a mounted file system (hidden ones included).
bool isMountRoot(const QString& path);
// NSFileSystemFreeSize: statvfs f_bavail * f_frsize of the file system holding `path`.
std::optional<quint64> freeSize(const QString& path, Error* error = nullptr);
}  // namespace Volumes

}  // namespace hb
