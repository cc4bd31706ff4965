#include "platform/base/Locations.h"

#include "platform/base/Log.h"
#include "platform/base/ProgramIdentity.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hb::Locations {

namespace {

std::mutex& homeMutex()
{
    static std::mutex mutex;
    return mutex;
}

QString& redirectedHome()
{
    static QString path;
    return path;
}

QString databaseHome()
{
    const long size = std::max(16384L, sysconf(_SC_GETPW_R_SIZE_MAX));
    std::string buffer(static_cast<size_t>(size), '\0');
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) != 0 || result == nullptr
        || result->pw_dir == nullptr)
        return {};
    return QString::fromLocal8Bit(result->pw_dir);
}

// $HOME when it names an absolute folder, as the shell and GLib take it; the user database otherwise.
QString environmentHome()
{
    const QString path = qEnvironmentVariable("HOME");
    return path.startsWith(u'/') ? QDir::cleanPath(path) : QString();
}

QString home()
{
    const QString path = environmentHome();
    return path.isEmpty() ? userDatabaseHome() : path;
}

// XDG base variables count only when set to an absolute path.
QString xdg(const char* variable, const QString& fallbackBelowHome)
{
    const QString path = qEnvironmentVariable(variable);
    if (path.startsWith(u'/'))
        return QDir::cleanPath(path);
    return QDir::cleanPath(home() + u'/' + fallbackBelowHome);
}

// A folder only this user can enter: ours, a real directory (not a link) and mode 0700.
bool ensurePrivateFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid())
        return false;
    if ((info.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

}  // namespace

QString userDatabaseHome()
{
    {
        std::lock_guard lock(homeMutex());
        if (!redirectedHome().isEmpty())
            return redirectedHome();
    }
    const QString fromEnvironment = environmentHome();
    return fromEnvironment.isEmpty() ? databaseHome() : fromEnvironment;
}

void setUserDatabaseHome(const QString& path)
{
    std::lock_guard lock(homeMutex());
    redirectedHome() = path;
}

QString configHome()
{
    return xdg("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString dataHome()
{
    return xdg("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString cacheHome()
{
    return xdg("XDG_CACHE_HOME", QStringLiteral(".cache"));
}

QString runtimeDirectory()
{
    const QString path = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (path.startsWith(u'/'))
        return QDir::cleanPath(path);
    const QString shared = QDir::tempPath() + QStringLiteral("/%1-%2").arg(programIdentity().command).arg(getuid());
    if (ensurePrivateFolder(shared))
        return shared;
    // Someone else holds the name in the shared temporary folder: stay inside the user's own cache folder instead.
    const QString own = cacheHome() + u'/' + programIdentity().command + QStringLiteral("-runtime");
    QDir().mkpath(cacheHome());
    if (!ensurePrivateFolder(own))
        qCWarning(hbLog) << "no private runtime folder at" << shared << "or" << own;
    return own;
}

QString applicationConfigDirectory()
{
    return configHome() + u'/' + programIdentity().command;
}

namespace {
QString applicationDataDirectory()
{
    return dataHome() + u'/' + programIdentity().command;
}
}  // namespace

QString containerDirectory()
{
    return applicationDataDirectory() + QStringLiteral("/container");
}

QString applicationScriptsDirectory()
{
    return applicationDataDirectory() + QStringLiteral("/Application Scripts");
}

}  // namespace hb::Locations
