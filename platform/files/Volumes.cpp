#include "platform/files/Volumes.h"

#include "platform/files/AccessRegistry.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace hb {

namespace {

struct Mount {
    QString mountPoint;
    QString fsType;
    dev_t device = 0;
    VolumeInfo info;
};

const QSet<QString>& pseudoTypes()
{
    static const QSet<QString> types = {"proc",      "sysfs",       "cgroup",          "cgroup2",    "devpts",
                                        "devtmpfs",  "mqueue",      "debugfs",         "tracefs",    "securityfs",
                                        "pstore",    "bpf",         "configfs",        "fusectl",    "hugetlbfs",
                                        "autofs",    "binfmt_misc", "efivarfs",        "rpc_pipefs", "nsfs",
                                        "selinuxfs", "tmpfs",       "ramfs",           "overlay",    "squashfs",
                                        "nfsd",      "fuse.portal", "fuse.gvfsd-fuse", "fuse.lxcfs", "swap"};
    return types;
}

bool isNetworkType(const QString& type)
{
    static const QSet<QString> types = {
        "nfs", "nfs4",  "cifs",   "smb3",       "smbfs",       "ncpfs",     "afs",         "ceph",          "glusterfs",
        "9p",  "davfs", "lustre", "fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.davfs2", "fuse.glusterfs"};
    return types.contains(type);
}

bool underSystemFolder(const QString& path)
{
    static const char* const roots[] = {"/proc", "/sys",     "/dev",      "/run", "/boot",
                                        "/snap", "/var/lib", "/var/snap", "/efi"};
    if (path.startsWith(QLatin1String("/run/media/")))
        return false;
    for (const char* root : roots) {
        const QLatin1String r(root);
        if (path == r || (path.startsWith(r) && path.at(r.size()) == QLatin1Char('/')))
            return true;
    }
    return false;
}

// mountinfo escapes space, tab, newline and backslash as \ooo.
QString unescapeOctal(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && value < 256) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QString::fromUtf8(out);
}

// udev writes unsafe characters of labels as \xNN.
QString unescapeHex(const QByteArray& name)
{
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            bool ok = false;
            const int value = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(name[i]);
    }
    return QString::fromUtf8(out);
}

QHash<dev_t, QString> readLabels()
{
    QHash<dev_t, QString> labels;
    DIR* dir = ::opendir("/dev/disk/by-label");
    if (!dir)
        return labels;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISBLK(st.st_mode))
            labels.insert(st.st_rdev, unescapeHex(QByteArray(entry->d_name)));
    }
    ::closedir(dir);
    return labels;
}

QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64).trimmed();
}

struct BlockTraits {
    bool removable = false;
    bool diskImage = false;
};

BlockTraits blockTraits(dev_t device)
{
    BlockTraits traits;
    if (major(device) == 0)
        return traits;
    char buffer[PATH_MAX];
    const QByteArray link = QStringLiteral("/sys/dev/block/%1:%2").arg(major(device)).arg(minor(device)).toUtf8();
    if (!::realpath(link.constData(), buffer))
        return traits;
    QString sysPath = QString::fromUtf8(buffer);
    if (QFile::exists(sysPath + "/partition"))
        sysPath = sysPath.left(sysPath.lastIndexOf('/'));
    const QString diskName = sysPath.mid(sysPath.lastIndexOf('/') + 1);
    traits.diskImage = diskName.startsWith(QLatin1String("loop"));
    traits.removable = readSmallFile(sysPath + "/removable") == "1" || sysPath.contains(QLatin1String("/usb"));
    return traits;
}

QList<Mount> parseMountInfo(const QByteArray& text)
{
    const QHash<dev_t, QString> labels = readLabels();
    QList<Mount> mounts;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 7 || separator < 6 || separator + 2 >= fields.size())
            continue;
        const QList<QByteArray> numbers = fields[2].split(':');
        if (numbers.size() != 2)
            continue;
        Mount mount;
        mount.device = makedev(numbers[0].toUInt(), numbers[1].toUInt());
        mount.mountPoint = unescapeOctal(fields[4]);
        mount.fsType = QString::fromUtf8(fields[separator + 1]);
        const QString source = unescapeOctal(fields[separator + 2]);
        const bool bindOfSubfolder = fields[3] != "/";
        const bool isRoot = mount.mountPoint == QLatin1String("/");

        dev_t block = mount.device;
        struct stat st {};
        if (source.startsWith(QLatin1String("/dev/")) && ::stat(source.toUtf8().constData(), &st) == 0
            && S_ISBLK(st.st_mode))
            block = st.st_rdev;
        const BlockTraits traits = blockTraits(block);

        VolumeInfo& info = mount.info;
        info.root = URL::fileURLWithPath(mount.mountPoint, true);
        info.deviceId = mount.device;
        info.isReadOnly = fields[5].split(',').contains("ro");
        info.isRemovable = traits.removable;
        info.isEjectable = traits.removable || traits.diskImage;
        info.isInternal = !traits.removable && !traits.diskImage && !isNetworkType(mount.fsType);
        info.isBrowsable = isRoot
                           || (!pseudoTypes().contains(mount.fsType) && !underSystemFolder(mount.mountPoint)
                               && !bindOfSubfolder);
        info.localizedName = labels.value(block);
        if (info.localizedName.isEmpty())
            info.localizedName = isRoot ? QStringLiteral("Computer") : info.root.lastPathComponent();
        mounts.append(mount);
    }
    // A later mount on the same folder hides the earlier one.
    QList<Mount> visible;
    for (qsizetype i = mounts.size() - 1; i >= 0; --i) {
        const bool shadowed = std::any_of(visible.begin(), visible.end(),
                                          [&](const Mount& m) { return m.mountPoint == mounts[i].mountPoint; });
        if (!shadowed)
            visible.prepend(mounts[i]);
    }
    return visible;
}

// The mount table, read again only when the kernel reports a change of it.
class MountTable {
public:
    QList<Mount> mounts()
    {
        std::lock_guard lock(m_mutex);
        if (m_fd < 0)
            m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        bool changed = !m_loaded;
        if (m_fd >= 0 && !changed) {
            pollfd p{m_fd, POLLPRI, 0};
            changed = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR));
        }
        if (changed) {
            m_mounts = parseMountInfo(readAll());
            m_loaded = true;
        }
        return m_mounts;
    }

private:
    QByteArray readAll()
    {
        QByteArray text;
        if (m_fd < 0 || ::lseek(m_fd, 0, SEEK_SET) < 0)
            return text;
        char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            text.append(buffer, n);
        }
        return text;
    }

    std::mutex m_mutex;
    int m_fd = -1;
    bool m_loaded = false;
    QList<Mount> m_mounts;
};

MountTable& mountTable()
{
    static MountTable table;
    return table;
}

bool pathInside(const QString& path, const QString& root)
{
    if (root == QLatin1String("/"))
        return true;
    return path.startsWith(root) && (path.size() == root.size() || path.at(root.size()) == QLatin1Char('/'));
}

}  // namespace

namespace Volumes {

QList<VolumeInfo> mountedVolumes(bool skipHidden)
{
    QList<VolumeInfo> volumes;
    for (const Mount& mount : mountTable().mounts()) {
        if (skipHidden && !mount.info.isBrowsable)
            continue;
        if (mount.mountPoint == QLatin1String("/"))
            volumes.prepend(mount.info);
        else
            volumes.append(mount.info);
    }
    return volumes;
}

std::optional<VolumeInfo> volumeForPath(const QString& path)
{
    const QString target = AccessRegistry::canonicalPath(path, false);
    std::optional<VolumeInfo> best;
    qsizetype bestLength = -1;
    for (const Mount& mount : mountTable().mounts()) {
        if (mount.mountPoint.size() > bestLength && pathInside(target, mount.mountPoint)) {
            best = mount.info;
            bestLength = mount.mountPoint.size();
        }
    }
    return best;
}

bool isMountRoot(const QString& path)
{
    const QString target = AccessRegistry::canonicalPath(path, true);
    const auto mounts = mountTable().mounts();
    return std::any_of(mounts.begin(), mounts.end(), [&](const Mount& m) { return m.mountPoint == target; });
}

std::optional<quint64> freeSize(const QString& path, Error* error)
{
    struct statvfs st {};
    if (::statvfs(path.toUtf8().constData(), &st) != 0) {
        if (error)
            *error = Error::fromErrno(errno, path, false);
        return std::nullopt;
    }
    return quint64(st.f_bavail) * quint64(st.f_frsize);
}

}  // namespace Volumes

}  // namespace hb
