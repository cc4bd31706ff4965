#pragma once

#include <QString>
#include <QVariant>

#include <sys/stat.h>

// Resource values computed from one statx() result (links not followed), shared by the single-item
// reader and the directory walker. Keys that need more than the status (access, lock, volume) are
// read on demand, relative to the folder that holds the item.
namespace hb::StatValues {
constexpr unsigned kMask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MTIME;
// An item as the caller reached it: its entry `name` in the open folder `folder`, and its path.
struct ItemAt {
    int folder;
    const char* name;
    const QString& path;
};
// statx of `name` relative to `dirFd` without following a final link; false with errno set.
bool read(int dirFd, const char* name, struct statx* st);
// The value of `key` for `item`; an invalid QVariant when it does not apply.
QVariant value(const ItemAt& item, const struct statx& st, const QString& key);
bool isVolumeKey(const QString& key);
quint64 deviceOf(const struct statx& st);
}  // namespace hb::StatValues
