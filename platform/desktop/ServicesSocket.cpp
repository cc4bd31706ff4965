#include "platform/desktop/ServicesSocket.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace hb::ServicesSocket {

namespace {

// False with errno ENAMETOOLONG when the path does not fit a socket address.
bool addressOf(const QString& path, sockaddr_un& address)
{
    const QByteArray native = QFile::encodeName(path);
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (native.size() >= qsizetype(sizeof address.sun_path)) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    return true;
}

}  // namespace

int connectTo(const QString& path)
{
    sockaddr_un address;
    if (!addressOf(path, address))
        return -1;
    // Non-blocking: a full queue answers at once instead of leaving the caller waiting without end.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int listenAt(const QString& path)
{
    sockaddr_un address;
    if (!addressOf(path, address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    const mode_t mask = ::umask(0177);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int bindError = errno;
    ::umask(mask);
    if (!bound || ::listen(fd, SOMAXCONN) != 0) {
        const int error = bound ? errno : bindError;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace hb::ServicesSocket
