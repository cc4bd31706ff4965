#include "platform/files/Trash.h"

#include "platform/base/Locations.h"
#include "platform/base/URL.h"
#include "platform/files/Descriptor.h"
#include "platform/files/GrantResolver.h"
#include "platform/files/Volumes.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

namespace hb::Trash {

namespace {

bool fail(Error* error, int posixError, const QString& path)
{
    if (error)
        *error = Error::fromErrno(posixError, path, true);
    return false;
}

bool failUnkept(Error* error, const QString& path)
{
    if (error)
        *error = Error{
            NSCocoaErrorDomain,
            NSFileWriteUnknownError,
            {{NSLocalizedDescriptionKey,
              QStringLiteral("\u201c%1\u201d cannot be kept in the trash").arg(Path::lastComponent(path))},
             {NSLocalizedRecoverySuggestionErrorKey, QStringLiteral("No trash can hold items of the volume it is on.")},
             {NSFilePathErrorKey, path}}};
    return false;
}

std::optional<quint64> mountOf(int folder, const char* name, int flags)
{
    struct statx status {};
    if (::statx(folder, name, flags | AT_NO_AUTOMOUNT, STATX_MNT_ID, &status) != 0 || !(status.stx_mask & STATX_MNT_ID))
        return std::nullopt;
    return status.stx_mnt_id;
}

// The folder `name` of the open folder `parent`, made (private to the user) when missing; it must be a
// folder of the user's, not a link.
Descriptor ownFolder(int parent, const char* name)
{
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return {};
    Descriptor folder(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!folder.isOpen() || ::fstat(folder.get(), &status) != 0 || status.st_uid != ::getuid())
        return {};
    return folder;
}

// The trash that keeps items of the mount `mount` (the folder at `folderPath` lies on it), with the
// folder its info files name paths from (empty: they name absolute paths).
struct TrashFolder {
    Descriptor root;
    QString topdir;
    QString rootPath;
};

std::optional<TrashFolder> homeTrash(quint64 mount)
{
    QString existing = Locations::dataHome();
    while (existing.size() > 1 && !QFileInfo::exists(existing))
        existing = Path::parent(existing);
    if (mountOf(AT_FDCWD, existing.toUtf8().constData(), 0) != mount || !QDir().mkpath(Locations::dataHome()))
        return std::nullopt;
    const Descriptor data(::open(Locations::dataHome().toUtf8().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!data.isOpen())
        return std::nullopt;
    Descriptor root = ownFolder(data.get(), "Trash");
    if (!root.isOpen())
        return std::nullopt;
    return TrashFolder{std::move(root), {}, Locations::dataHome() + QStringLiteral("/Trash")};
}

std::optional<TrashFolder> topdirTrash(const QString& folderPath, quint64 mount)
{
    const std::optional<VolumeInfo> volume = Volumes::volumeForPath(folderPath);
    if (!volume)
        return std::nullopt;
    const QString topdir = volume->root.path();
    const Descriptor top(::open(topdir.toUtf8().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.isOpen() || mountOf(top.get(), "", AT_EMPTY_PATH) != mount)
        return std::nullopt;
    const std::string uid = std::to_string(::getuid());
    const QString topPrefix = topdir == u"/" ? QString() : topdir;
    // An administrator's $topdir/.Trash: a real folder with the sticky bit, holding one folder per user.
    struct stat shared {};
    if (::fstatat(top.get(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode)
        && (shared.st_mode & S_ISVTX)) {
        const Descriptor sharedFolder(::openat(top.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sharedFolder.isOpen()) {
            if (Descriptor root = ownFolder(sharedFolder.get(), uid.c_str()); root.isOpen())
                return TrashFolder{std::move(root), topdir,
                                   topPrefix + QStringLiteral("/.Trash/") + QString::fromStdString(uid)};
        }
    }
    const std::string own = ".Trash-" + uid;
    Descriptor root = ownFolder(top.get(), own.c_str());
    if (!root.isOpen())
        return std::nullopt;
    return TrashFolder{std::move(root), topdir, topPrefix + u'/' + QString::fromStdString(own)};
}

// The path as the info file spells it: bytes outside the unreserved characters of URLs escaped.
QByteArray escaped(const QString& path)
{
    return QUrl::toPercentEncoding(path, "/");
}

// "name", then "name.2", "name.3" and so on before the extension, within the file-name limit with room
// for the info file's ".trashinfo".
std::string candidateName(const std::string& name, int n)
{
    constexpr std::size_t limit = NAME_MAX - 10;
    if (n == 1)
        return name.substr(0, limit);
    const std::size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    const std::string suffix = '.' + std::to_string(n) + extension;
    return stem.substr(0, limit > suffix.size() ? limit - suffix.size() : 0) + suffix;
}

}  // namespace

Reservation::Reservation(Reservation&& other) noexcept
    : m_files(std::exchange(other.m_files, -1)),
      m_info(std::exchange(other.m_info, -1)),
      m_name(std::move(other.m_name)),
      m_trashed(std::move(other.m_trashed)),
      m_filled(std::exchange(other.m_filled, true))
{
}

Reservation::~Reservation()
{
    if (!m_filled && m_info >= 0)
        ::unlinkat(m_info, (m_name + ".trashinfo").c_str(), 0);
    if (m_files >= 0)
        ::close(m_files);
    if (m_info >= 0)
        ::close(m_info);
}

bool Reservation::moveIn(int folder, const std::string& name, Error* error)
{
    if (::renameat2(folder, name.c_str(), m_files, m_name.c_str(), RENAME_NOREPLACE) != 0)
        return fail(error, errno, m_trashed.originalPath);
    m_filled = true;
    return true;
}

std::optional<Reservation> reserve(int folder, const QString& originalPath, Error* error)
{
    const std::optional<quint64> mount = mountOf(folder, "", AT_EMPTY_PATH);
    const QString folderPath = Path::parent(originalPath);
    std::optional<TrashFolder> trash = mount ? homeTrash(*mount) : std::nullopt;
    if (!trash && mount)
        trash = topdirTrash(folderPath, *mount);
    if (!trash) {
        failUnkept(error, originalPath);
        return std::nullopt;
    }
    Descriptor files = ownFolder(trash->root.get(), "files");
    Descriptor info = ownFolder(trash->root.get(), "info");
    if (!files.isOpen() || !info.isOpen() || mountOf(files.get(), "", AT_EMPTY_PATH) != mount) {
        failUnkept(error, originalPath);
        return std::nullopt;
    }

    const QString relative = trash->topdir.isEmpty() ? originalPath
                             : trash->topdir == u"/" ? originalPath.mid(1)
                                                     : originalPath.mid(trash->topdir.size() + 1);
    const QByteArray contents
        = "[Trash Info]\nPath=" + escaped(relative) + "\nDeletionDate="
          + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + '\n';
    const std::string name = Path::lastComponent(originalPath).toStdString();
    for (int n = 1; n < 10000; ++n) {
        const std::string candidate = candidateName(name, n);
        struct stat taken {};
        if (::fstatat(files.get(), candidate.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        const std::string infoName = candidate + ".trashinfo";
        const Descriptor written(::openat(info.get(), infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!written.isOpen()) {
            if (errno == EEXIST)
                continue;
            fail(error, errno, originalPath);
            return std::nullopt;
        }
        Reservation reservation;
        reservation.m_files = files.release();
        reservation.m_info = info.release();
        reservation.m_name = candidate;
        reservation.m_trashed = TrashedItem{
            trash->rootPath + QStringLiteral("/files/") + QString::fromStdString(candidate),
            trash->rootPath + QStringLiteral("/info/") + QString::fromStdString(infoName), originalPath};
        if (::write(written.get(), contents.constData(), std::size_t(contents.size())) != contents.size()) {
            fail(error, errno ? errno : EIO, originalPath);
            return std::nullopt;  // the reservation gives its info file back
        }
        return reservation;
    }
    fail(error, EEXIST, originalPath);
    return std::nullopt;
}

bool canKeepItemsIn(const QString& folderPath)
{
    const OpenedItem folder = GrantResolver::open(folderPath, Need::writing, O_RDONLY | O_DIRECTORY);
    if (!folder)
        return false;
    const std::optional<quint64> mount = mountOf(folder.fd.get(), "", AT_EMPTY_PATH);
    if (!mount)
        return false;
    std::optional<TrashFolder> trash = homeTrash(*mount);
    if (!trash)
        trash = topdirTrash(folderPath, *mount);
    return trash && ownFolder(trash->root.get(), "files").isOpen() && ownFolder(trash->root.get(), "info").isOpen();
}

bool restore(const TrashedItem& trashed, Error* error)
{
    const ResolvedItem place = GrantResolver::item(trashed.originalPath, Need::writing);
    if (!place)
        return fail(error, place.error, trashed.originalPath);
    const Descriptor files(::open(Path::parent(trashed.item).toUtf8().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!files.isOpen())
        return fail(error, errno, trashed.item);
    const std::string name = Path::lastComponent(trashed.item).toStdString();
    if (::renameat2(files.get(), name.c_str(), place.folder.get(), place.name.c_str(), RENAME_NOREPLACE) != 0)
        return fail(error, errno, errno == EEXIST ? trashed.originalPath : trashed.item);
    ::unlink(trashed.info.toUtf8().constData());
    return true;
}

}  // namespace hb::Trash
