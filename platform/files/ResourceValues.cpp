#include "platform/files/ResourceValues.h"

#include "platform/files/AccessRegistry.h"
#include "platform/files/GrantResolver.h"
#include "platform/files/HeldFolders.h"
#include "platform/files/StatValues.h"
#include "platform/files/Volumes.h"

#include <QDateTime>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace hb {

namespace {

// The Finder lock: statx reports the immutable flag where the file system knows it; otherwise ask
// FS_IOC_GETFLAGS. File systems without the flag (tmpfs) are never locked.
QVariant isImmutable(const StatValues::ItemAt& item, const struct statx& st)
{
    if (st.stx_attributes_mask & STATX_ATTR_IMMUTABLE)
        return bool(st.stx_attributes & STATX_ATTR_IMMUTABLE);
    if (!S_ISREG(st.stx_mode) && !S_ISDIR(st.stx_mode))
        return false;
    const Descriptor fd(::openat(item.folder, item.name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!fd.isOpen())
        return {};
    int flags = 0;
    const int result = ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags);
    const int error = errno;
    if (result == 0)
        return bool(flags & FS_IMMUTABLE_FL);
    if (error == ENOTTY || error == EOPNOTSUPP || error == EINVAL || error == ENOSYS)
        return false;
    return {};
}

// Whether the process may read (or write) the item: the file's own permissions, and a grant. A link is
// judged by what it points to, which must itself lie beneath a grant.
bool isAccessible(const StatValues::ItemAt& item, const struct statx& st, bool writing)
{
    const int mode = writing ? W_OK : R_OK;
    const Need need = writing ? Need::writing : Need::reading;
    if (S_ISLNK(st.stx_mode)) {
        const OpenedItem target = GrantResolver::open(item.path, need);
        return target && ::faccessat(target.fd.get(), "", mode, AT_EACCESS | AT_EMPTY_PATH) == 0;
    }
    if (::faccessat(item.folder, item.name, mode, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    // Read access was checked when the item was reached; write access may be missing (a read-only grant).
    return !writing || AccessRegistry::hasAccess(item.path, false);
}

QVariant volumeValue(const QString& path, const QString& key)
{
    if (key == NSURLIsVolumeKey)
        return Volumes::isMountRoot(path);
    const auto volume = Volumes::volumeForPath(path);
    if (!volume)
        return {};
    if (key == NSURLVolumeURLKey)
        return QVariant::fromValue(volume->root);
    if (key == NSURLVolumeIsInternalKey)
        return volume->isInternal;
    if (key == NSURLVolumeIsReadOnlyKey)
        return volume->isReadOnly;
    if (key == NSURLVolumeIsRemovableKey)
        return volume->isRemovable;
    if (key == NSURLVolumeIsEjectableKey)
        return volume->isEjectable;
    if (key == NSURLVolumeIsBrowsableKey)
        return volume->isBrowsable;
    if (key == NSURLVolumeLocalizedNameKey)
        return volume->localizedName;
    return {};
}

}  // namespace

namespace StatValues {

bool read(int dirFd, const char* name, struct statx* st)
{
    return ::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask, st) == 0;
}

quint64 deviceOf(const struct statx& st)
{
    return makedev(st.stx_dev_major, st.stx_dev_minor);
}

bool isVolumeKey(const QString& key)
{
    return key == NSURLIsVolumeKey || key == NSURLVolumeURLKey || key == NSURLVolumeIsInternalKey
           || key == NSURLVolumeIsReadOnlyKey || key == NSURLVolumeIsRemovableKey || key == NSURLVolumeIsEjectableKey
           || key == NSURLVolumeIsBrowsableKey || key == NSURLVolumeLocalizedNameKey;
}

QVariant value(const ItemAt& item, const struct statx& st, const QString& key)
{
    const QString& path = item.path;
    if (key == NSURLIsDirectoryKey)
        return S_ISDIR(st.stx_mode);
    if (key == NSURLTotalFileSizeKey || key == NSURLFileSizeKey)
        return S_ISDIR(st.stx_mode) ? QVariant() : QVariant(quint64(st.stx_size));
    if (key == NSURLIsSymbolicLinkKey)
        return S_ISLNK(st.stx_mode);
    if (key == NSURLIsRegularFileKey)
        return S_ISREG(st.stx_mode);
    if (key == NSURLNameKey)
        return Path::lastComponent(path);
    if (key == NSURLIsHiddenKey)
        return Path::lastComponent(path).startsWith(QLatin1Char('.'));
    if (key == NSURLVolumeIdentifierKey)
        return deviceOf(st);
    if (key == NSURLFileResourceIdentifierKey)
        return QStringLiteral("%1:%2").arg(deviceOf(st)).arg(quint64(st.stx_ino));
    if (key == NSURLContentModificationDateKey)
        return QDateTime::fromMSecsSinceEpoch(qint64(st.stx_mtime.tv_sec) * 1000 + st.stx_mtime.tv_nsec / 1000000);
    if (key == HBURLContentModificationNanosecondsKey)
        return qint64(st.stx_mtime.tv_sec) * 1'000'000'000 + st.stx_mtime.tv_nsec;
    if (key == NSURLIsUserImmutableKey)
        return isImmutable(item, st);
    if (key == NSURLIsReadableKey)
        return isAccessible(item, st, false);
    if (key == NSURLIsWritableKey)
        return isAccessible(item, st, true);
    if (isVolumeKey(key))
        return volumeValue(path, key);
    return {};
}

}  // namespace StatValues

namespace {

std::optional<QVariantMap> valuesOf(const HeldItem& item, const QString& path, const QStringList& keys, Error* error)
{
    const auto failWith = [&](int code) {
        if (error)
            *error = Error::fromErrno(code, path, false);
        return std::nullopt;
    };
    if (!item)
        return failWith(item.error);
    struct statx st {};
    if (!StatValues::read(item.folder, item.name.c_str(), &st))
        return failWith(errno);
    const StatValues::ItemAt at{item.folder, item.name.c_str(), path};
    QVariantMap values;
    for (const QString& key : keys) {
        QVariant value = StatValues::value(at, st, key);
        if (value.isValid())
            values.insert(key, std::move(value));
    }
    return values;
}

}  // namespace

std::optional<QVariantMap> resourceValues(const URL& url, const QStringList& keys, Error* error)
{
    const QString& path = url.path();
    if (path.isEmpty())
        return valuesOf(HeldItem{-1, {}, ENOENT, {}}, path, keys, error);
    ResolvedItem item = GrantResolver::item(path, Need::reading);
    // The volume keys of a mount root need no access: the volume list shows every mounted volume.
    const bool onlyVolumeKeys = std::all_of(keys.begin(), keys.end(), StatValues::isVolumeKey);
    if (!item && item.error == EACCES && onlyVolumeKeys && Volumes::isMountRoot(path))
        item = {Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)), path.toUtf8().toStdString()};
    return valuesOf(HeldItem::from(std::move(item)), path, keys, error);
}

std::optional<QVariantMap> resourceValues(const URL& url, const QStringList& keys, HeldFolders& folders, Error* error)
{
    const QString& path = url.path();
    if (path.isEmpty())
        return valuesOf(HeldItem{-1, {}, ENOENT, {}}, path, keys, error);
    return valuesOf(folders.item(path, Need::reading), path, keys, error);
}

std::optional<QVariant> resourceValue(const URL& url, const QString& key, Error* error)
{
    const auto values = resourceValues(url, {key}, error);
    if (!values)
        return std::nullopt;
    return values->value(key);
}

bool checkResourceIsReachable(const URL& url, Error* error)
{
    return resourceValues(url, {}, error).has_value();
}

}  // namespace hb
