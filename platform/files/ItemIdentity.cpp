#include "platform/files/ItemIdentity.h"

#include "platform/files/AccessRegistry.h"
#include "platform/files/GrantResolver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hb {

namespace {

ItemIdentity identityOf(const struct stat& st)
{
    return ItemIdentity{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
}

}  // namespace

std::optional<ItemIdentity> ItemIdentity::of(const URL& url, bool followFinalLink)
{
    const QString& path = url.path();
    struct stat st {};
    if (followFinalLink) {
        const OpenedItem item = GrantResolver::open(path, Need::reading);
        if (!item || ::fstat(item.fd.get(), &st) != 0)
            return std::nullopt;
    } else {
        const ResolvedItem item = GrantResolver::item(path, Need::reading);
        if (!item || ::fstatat(item.folder.get(), item.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return std::nullopt;
    }
    return identityOf(st);
}

QList<ItemIdentity> ItemIdentity::chain(const URL& url, bool followFinalLink)
{
    const std::optional<ItemIdentity> item = of(url, followFinalLink);
    if (!item)
        return {};
    QList<ItemIdentity> identities{*item};
    const QString real = followFinalLink ? AccessRegistry::canonicalPath(url.path(), true) : url.path();
    int fd = ::open(Path::parent(real).toUtf8().constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    while (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || (identities.size() > 1 && identities.last() == identityOf(st)))
            break;  // the root is its own parent
        identities << identityOf(st);
        const int parent = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
    }
    if (fd >= 0)
        ::close(fd);
    return identities;
}

}  // namespace hb
